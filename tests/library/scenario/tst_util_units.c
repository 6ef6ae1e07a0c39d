/*
 * Unit tests of the library's pure functions: date/time conversion, number formatting, field
 * parsing and the line decoders of PIN, Signal Quality and Network Registration.
 */
#include <string.h>

#include "check.h"
#include "GSM_NetworkRegistration.h"
#include "GSM_PIN.h"
#include "GSM_SignalQuality.h"
#include "GSM_Util.h"

uint32_t gsm__SysTime_ms(void)
{
    return 0u;
}

static void dateTimeStringsConvertToUtcEpoch(void)
{
    static const struct
    {
        const char* text;
        bool ok;
        uint32_t epoch;
        int8_t tz;
    } rows[] = {
        {"00/01/01,00:00:00+00", true, 946684800u, 0},
        {"24/02/29,12:30:45+00", true, 1709209845u, 0},
        {"\"24/02/29,12:30:45+08\"", true, 1709209845u - 7200u, 8},   /* +2 h: UTC is earlier */
        {"24/02/29,12:30:45-20", true, 1709209845u + 18000u, -20},     /* -5 h */
        {"24/02/29,12:30:45", true, 1709209845u, 0},                   /* no zone */
        {"23/02/29,12:30:45+00", false, 0u, 0},                        /* no 29 Feb in 2023 */
        {"24/13/01,00:00:00+00", false, 0u, 0},
        {"24/12/31,24:00:00+00", false, 0u, 0},
        {"24/12/31,23:59:60+00", false, 0u, 0},
        {"24/12/31,23:59:59+99", false, 0u, 0},
        {"24/12/31 23:59:59", false, 0u, 0},
        {"24/1/31,23:59:59", false, 0u, 0},
        {"\"24/01/31,23:59:59", false, 0u, 0},
        {"", false, 0u, 0},
        {"99/12/31,23:59:59+00", true, 4102444799u, 0},
    };
    size_t i;
    for (i = 0; i < sizeof rows / sizeof rows[0]; i++)
    {
        uint32_t e = 12345u;
        int8_t tz = 77;
        bool ok = gsmUtilDateTimeToEpoch(rows[i].text, (uint16_t)strlen(rows[i].text), &e, &tz);
        g_check_context = rows[i].text;
        CHECK_EQ_INT(ok, rows[i].ok);
        if (rows[i].ok)
        {
            CHECK_EQ_INT(e, rows[i].epoch);
            CHECK_EQ_INT(tz, rows[i].tz);
        }
        else
        {
            CHECK_EQ_INT(e, 12345u); /* untouched */
        }
    }
    CHECK(!gsmUtilDateTimeToEpoch(NULL, 5, &(uint32_t){0}, NULL));
    CHECK_EQ_INT(gsmUtilCalendarToEpoch(1970, 1, 1, 0, 0, 0), 0);
    CHECK_EQ_INT(gsmUtilCalendarToEpoch(2100, 2, 29, 0, 0, 0), 0); /* 2100 is no leap year */
}

static void numbersFormatWithPaddingAndBounds(void)
{
    char b[12];
    CHECK_EQ_INT(gsmUtilUintToStr(b, sizeof b, 123u, 4u), 4);
    CHECK_EQ_STR(b, "0123");
    CHECK_EQ_INT(gsmUtilUintToStr(b, sizeof b, 0u, 0u), 1);
    CHECK_EQ_STR(b, "0");
    CHECK_EQ_INT(gsmUtilUintToStr(b, sizeof b, 4294967295u, 1u), 10);
    CHECK_EQ_STR(b, "4294967295");
    CHECK_EQ_INT(gsmUtilUintToStr(b, 4u, 1234u, 1u), 0); /* does not fit with its terminator */
    CHECK_EQ_STR(b, "");
    CHECK_EQ_INT(gsmUtilUintToStr(b, 5u, 1234u, 1u), 4);
    CHECK_EQ_INT(gsmUtilIntToStr(b, sizeof b, -2147483647 - 1), 11);
    CHECK_EQ_STR(b, "-2147483648");
    CHECK_EQ_INT(gsmUtilIntToStr(b, sizeof b, -7), 2);
    CHECK_EQ_STR(b, "-7");
    CHECK_EQ_INT(gsmUtilUintToStr(NULL, 5u, 1u, 1u), 0);
}

static void fieldsAreSplitOutsideQuotes(void)
{
    const char* line = "+CMGR: \"REC UNREAD\",\"+4912,3\",,\"24/01/01,10:00:00+04\"";
    uint16_t len = (uint16_t)strlen(line);
    char out[32];
    uint32_t v;
    CHECK_EQ_INT(gsmUtilFieldCount(line, len), 4);
    CHECK(gsmUtilFieldCopy(line, len, 1, out, sizeof out));
    CHECK_EQ_STR(out, "+4912,3");
    CHECK(gsmUtilFieldCopy(line, len, 2, out, sizeof out));
    CHECK_EQ_STR(out, "");
    CHECK(gsmUtilFieldCopy(line, len, 3, out, sizeof out));
    CHECK_EQ_STR(out, "24/01/01,10:00:00+04");
    CHECK(!gsmUtilFieldCopy(line, len, 4, out, sizeof out));
    CHECK(!gsmUtilFieldCopy(line, len, 1, out, 7)); /* too small: refused, not cut */
    CHECK_EQ_STR(out, "");
    CHECK(gsmUtilFieldUint("+CSQ: 18,99", 11, 1, &v));
    CHECK_EQ_INT(v, 99);
    CHECK(!gsmUtilFieldUint("+CSQ: 18,9x", 11, 1, &v));
    CHECK(!gsmUtilFieldUint("+CSQ: 99999999999,1", 19, 0, &v)); /* overflow */
    CHECK_EQ_INT(gsmUtilFieldCount("+CSQ:", 5), 0);
    CHECK(gsmUtilEquals("OK", 2, "OK"));
    CHECK(!gsmUtilEquals("OKLAHOMA", 8, "OK"));
    CHECK(!gsmUtilStartsWith("+CS", 3, "+CSQ:"));
}

static void registrationLinesDecodeByRole(void)
{
    static const struct
    {
        const char* line;
        bool read;
        uint8_t stat;
    } rows[] = {
        {"+CREG: 1", false, 1},
        {"+CREG: 5,\"1A2B\",\"3C4D\"", false, 5},
        {"+CEREG: 1,\"3D0E\",\"0A1B2C3D\",7", false, 1},
        {"+CREG: 1,5", false, GSM_NETWORKREGISTRATION_STAT_UNKNOWN}, /* late read answer, not a URC */
        {"+CREG: 1,5", true, 5},
        {"+CGREG: 2,1,\"1A2B\",\"3C4D\"", true, 1},
        {"+CEREG: 0,3", true, 3},
        {"+CREG: 0", true, GSM_NETWORKREGISTRATION_STAT_UNKNOWN},
        {"+CREG: 12", false, GSM_NETWORKREGISTRATION_STAT_UNKNOWN},
        {"+CREG:", false, GSM_NETWORKREGISTRATION_STAT_UNKNOWN},
        {"+CREG: x", false, GSM_NETWORKREGISTRATION_STAT_UNKNOWN},
        {"+COPS: 0", false, GSM_NETWORKREGISTRATION_STAT_UNKNOWN},
    };
    size_t i;
    for (i = 0; i < sizeof rows / sizeof rows[0]; i++)
    {
        g_check_context = rows[i].line;
        CHECK_EQ_INT(gsmNetworkRegistrationDecodeStat(rows[i].line, (uint16_t)strlen(rows[i].line), rows[i].read), rows[i].stat);
    }
}

static void registeredFollowsFamilyRules(void)
{
    GSM_NetworkRegistration_Interface r;
    memset(&r, 0xFF, sizeof r);
    r.EpsSupport = 2; /* 2G */
    r.Stat[GSM_NetworkRegistration_Domain_CS] = 5;
    CHECK(gsmNetworkRegistrationIfIsRegistered(&r));
    r.Stat[GSM_NetworkRegistration_Domain_CS] = 3;
    r.Stat[GSM_NetworkRegistration_Domain_GPRS] = 1;
    CHECK(!gsmNetworkRegistrationIfIsRegistered(&r));
    CHECK(gsmNetworkRegistrationIfIsRegisteredForData(&r));
    r.EpsSupport = 1; /* LTE: +CREG denied but data registered */
    CHECK(gsmNetworkRegistrationIfIsRegistered(&r));
    r.Stat[GSM_NetworkRegistration_Domain_CS] = 6; /* SMS only */
    r.Stat[GSM_NetworkRegistration_Domain_GPRS] = 2;
    CHECK(!gsmNetworkRegistrationIfIsRegistered(&r));
    CHECK(gsmNetworkRegistrationIfIsRegisteredForSms(&r));
    CHECK(!gsmNetworkRegistrationIfIsRegistered(NULL));
}

static void pinAndSignalLinesDecode(void)
{
    uint8_t r = 0;
    uint8_t b = 0;
    CHECK_EQ_INT(gsmPinDecodeStatus("+CPIN: READY", 12), GSM_PIN_SimStatus_Ready);
    CHECK_EQ_INT(gsmPinDecodeStatus("+CPIN: SIM PIN", 14), GSM_PIN_SimStatus_SimPin);
    CHECK_EQ_INT(gsmPinDecodeStatus("+CPIN: SIM PIN2", 15), GSM_PIN_SimStatus_SimPin2);
    CHECK_EQ_INT(gsmPinDecodeStatus("+CPIN: SIM PUK", 14), GSM_PIN_SimStatus_SimPuk);
    CHECK_EQ_INT(gsmPinDecodeStatus("+CPIN: NOT INSERTED", 19), GSM_PIN_SimStatus_NotInserted);
    CHECK_EQ_INT(gsmPinDecodeStatus("+CPIN: READY?", 13), GSM_PIN_SimStatus_Unknown);
    CHECK_EQ_INT(gsmPinDecodeStatus("+CPIN:", 6), GSM_PIN_SimStatus_Unknown);
    CHECK(gsmSignalQualityDecode("+CSQ: 18,99", 11, &r, &b));
    CHECK_EQ_INT(r, 18);
    CHECK_EQ_INT(b, 99);
    CHECK(!gsmSignalQualityDecode("+CSQ: 18", 8, &r, &b));
    CHECK(!gsmSignalQualityDecode("+CSQ: 300,0", 11, &r, &b));
    CHECK(!gsmSignalQualityDecode("+CSQ: 18,99,1", 13, &r, &b));
}

static void rssiConvertsToDbm(void)
{
    static const struct
    {
        uint8_t rssi;
        int16_t dbm;
    } rows[] = {{0, -113}, {1, -111}, {2, -109}, {15, -83}, {18, -77}, {30, -53}, {31, -51},
                {32, GSM_SIGNALQUALITY_DBM_UNKNOWN}, {99, GSM_SIGNALQUALITY_DBM_UNKNOWN}, {100, -116}, {101, -115},
                {190, -26}, {191, -25}, {199, GSM_SIGNALQUALITY_DBM_UNKNOWN}, {255, GSM_SIGNALQUALITY_DBM_UNKNOWN}};
    size_t i;
    for (i = 0; i < sizeof rows / sizeof rows[0]; i++)
    {
        CHECK_EQ_INT(gsmSignalQualityRssiTo_dBm(rows[i].rssi), rows[i].dbm);
    }
}

int main(int argc, char** argv)
{
    static const CheckTest tests[] = {
        {"dateTimeStringsConvertToUtcEpoch", dateTimeStringsConvertToUtcEpoch},
        {"numbersFormatWithPaddingAndBounds", numbersFormatWithPaddingAndBounds},
        {"fieldsAreSplitOutsideQuotes", fieldsAreSplitOutsideQuotes},
        {"registrationLinesDecodeByRole", registrationLinesDecodeByRole},
        {"registeredFollowsFamilyRules", registeredFollowsFamilyRules},
        {"pinAndSignalLinesDecode", pinAndSignalLinesDecode},
        {"rssiConvertsToDbm", rssiConvertsToDbm},
    };
    return check_run(tests, sizeof tests / sizeof tests[0], argc, argv);
}
