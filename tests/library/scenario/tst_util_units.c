/*
 * Unit tests of the library's pure functions: date/time conversion, number formatting, field
 * parsing and the line decoders of PIN, Signal Quality and Network Registration.
 */
#include <string.h>

#include "check.h"
#include "GSM_NetworkRegistration.h"
#include "GSM_PIN.h"
#include "GSM_Power.h"
#include "GSM_SignalQuality.h"
#include "GSM_Util.h"

static uint32_t g_now_ms;

uint32_t gsm__SysTime_ms(void)
{
    return g_now_ms;
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
        {"24/12/31,23:59:59+99", false, 0u, 0},
        {"24/1/31,23:59:59", false, 0u, 0},
        {"\"24/01/31,23:59:59", false, 0u, 0},
        {"24/02/29,12:30:45*08", false, 0u, 0},                        /* no zone sign */
        {"24/02/29-12:30:45+08", false, 0u, 0},                        /* a sign in place of ',' */
        {"24+02/29,12:30:45", false, 0u, 0},                           /* a sign in place of '/' */
        {"24/02/29,12:30:45+8", false, 0u, 0},
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
}

static void calendarChecksMonthLengthsAndYearRange(void)
{
    /* Month lengths and every valid day are counted by calendarCountsEveryDayOfTheRange; these are the
     * limits it does not reach: the years around the range, month and day 0, the time of day. */
    static const struct
    {
        uint16_t year;
        uint8_t month, day, hour, minute, second;
        uint32_t epoch; /* 0: rejected */
    } rows[] = {
        {1969, 12, 31, 23, 59, 59, 0u},
        {2024, 0, 1, 0, 0, 0, 0u},
        {2024, 1, 0, 0, 0, 0, 0u},
        {2024, 13, 1, 0, 0, 0, 0u},
        {2024, 1, 1, 24, 0, 0, 0u},
        {2024, 1, 1, 0, 60, 0, 0u},
        {2024, 1, 1, 0, 0, 60, 0u},
        {2024, 8, 31, 12, 0, 0, 1725105600u},
        {2024, 12, 31, 23, 59, 59, 1735689599u},
        {2105, 12, 31, 23, 59, 59, 4291747199u},
        {2106, 1, 1, 0, 0, 0, 0u},
    };
    size_t i;
    for (i = 0; i < sizeof rows / sizeof rows[0]; i++)
    {
        check_context("%u-%u-%u", rows[i].year, rows[i].month, rows[i].day);
        CHECK_EQ_INT(gsmUtilCalendarToEpoch(rows[i].year, rows[i].month, rows[i].day, rows[i].hour, rows[i].minute,
                                            rows[i].second),
                     rows[i].epoch);
    }
    g_check_context = NULL;
}

/* Every day from 1970 to 2105 is the day before it plus 86400 s, and the day after each month's last
 * day is rejected (month lengths by the Gregorian rules, counted here day by day). */
static void calendarCountsEveryDayOfTheRange(void)
{
    static const uint8_t kLen[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    uint32_t expect = 0u;
    uint16_t year;
    uint8_t month;
    uint8_t day;
    for (year = 1970u; year <= 2105u; year++)
    {
        bool leap = ((year % 4u) == 0u) && (((year % 100u) != 0u) || ((year % 400u) == 0u));
        for (month = 1u; month <= 12u; month++)
        {
            uint8_t len = (uint8_t)(kLen[month - 1u] + (((month == 2u) && leap) ? 1u : 0u));
            check_context("%u-%u", year, month);
            for (day = 1u; day <= len; day++)
            {
                if (gsmUtilCalendarToEpoch(year, month, day, 0u, 0u, 0u) != expect)
                {
                    CHECK_EQ_INT(gsmUtilCalendarToEpoch(year, month, day, 0u, 0u, 0u), expect);
                }
                expect += 86400u;
            }
            CHECK_EQ_INT(gsmUtilCalendarToEpoch(year, month, (uint8_t)(len + 1u), 0u, 0u, 0u), 0u);
        }
    }
    g_check_context = NULL;
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
    {
        /* the cutting copy: 1 whole, 2 cut, 0 missing (always terminated) */
        static const struct
        {
            uint8_t index;
            uint16_t size;
            uint8_t result;
            const char* text;
        } rows[] = {{1, 8, 1, "+4912,3"}, {1, 7, 2, "+4912,"}, {1, 1, 2, ""}, {2, 1, 1, ""}, {4, 8, 0, ""}};
        size_t i;
        for (i = 0; i < sizeof rows / sizeof rows[0]; i++)
        {
            memset(out, 'x', sizeof out);
            CHECK_EQ_INT(gsmUtilFieldCopyCut(line, len, rows[i].index, out, rows[i].size), rows[i].result);
            CHECK_EQ_STR(out, rows[i].text);
        }
        out[0] = 'x';
        CHECK_EQ_INT(gsmUtilFieldCopyCut(line, len, 1, out, 0), 0); /* no room: nothing written */
        CHECK(out[0] == 'x');
        CHECK_EQ_INT(gsmUtilFieldCopyCut(line, len, 1, NULL, 8), 0);
    }
    CHECK_EQ_INT(gsmUtilFieldCount("+CSQ:", 5), 0);
    CHECK(gsmUtilEquals("OK", 2, "OK"));
    CHECK(!gsmUtilEquals("OKLAHOMA", 8, "OK"));
    CHECK(!gsmUtilStartsWith("+CS", 3, "+CSQ:"));
}

static void fieldEdgeCases(void)
{
    static const struct
    {
        const char* line;
        uint8_t index;
        bool found;
        const char* text; /* the field without blanks and quotes */
        bool quoted;
    } rows[] = {
        {"+X: a , b ,c", 1, true, "b", false},
        {"+X: a,  \"q r\"  ", 1, true, "q r", true},
        {"+X: \"a,b\",c", 1, true, "c", false},
        {"+X: \"a,b\",c", 2, false, "", false},
        {"\"a:b\",c", 0, true, "a:b", true}, /* a ':' inside quotes does not start the fields */
        {"1,2,3", 2, true, "3", false},        /* no ':' at all: fields from the line start */
        {"+X: 1,", 1, true, "", false},
        {"+X: ", 0, true, "", false},
        {"+X:", 0, false, "", false},
        {"", 0, false, "", false},
        {"+X: \"\"", 0, true, "", true},
        {"+X: \"", 0, true, "\"", false}, /* a lone quote is no quoted field */
    };
    static const struct
    {
        const char* line;
        uint8_t index;
        uint32_t value; /* 7: refused */
    } numbers[] = {{"+CSQ: 18,99", 1, 99u},   {"+CSQ: 18,9x", 1, 7u},       {"+X: 4294967295", 0, 4294967295u},
                   {"+X: 4294967296", 0, 7u}, {"+X: 42949672950", 0, 7u},   {"+X: \"12\"", 0, 7u},
                   {"+X: 1,,3", 1, 7u},       {"+X: 1, 22 ,3", 1, 22u},     {"+X: 12:30,4", 0, 7u},
                   {"+X: 7\"1,2\"", 0, 7u},   {"+X: 7 8,4", 0, 7u}};
    size_t i;
    uint32_t v = 7u;
    uint16_t pos;
    for (i = 0; i < sizeof rows / sizeof rows[0]; i++)
    {
        uint16_t s = 0xFFFFu;
        uint16_t l = 0xFFFFu;
        bool q = !rows[i].quoted;
        bool found = gsmUtilField(rows[i].line, (uint16_t)strlen(rows[i].line), rows[i].index, &s, &l, &q);
        g_check_context = rows[i].line;
        CHECK_EQ_INT(found, rows[i].found);
        if (found)
        {
            CHECK_EQ_INT(l, strlen(rows[i].text));
            CHECK(strncmp(&rows[i].line[s], rows[i].text, l) == 0);
            CHECK_EQ_INT(q, rows[i].quoted);
        }
    }
    g_check_context = NULL;
    /* numbers: the whole field, 32 bits at most, never quoted; a field that holds more than one
     * number is none; on failure the result stays as it was */
    for (i = 0; i < sizeof numbers / sizeof numbers[0]; i++)
    {
        v = 7u;
        g_check_context = numbers[i].line;
        CHECK_EQ_INT(gsmUtilFieldUint(numbers[i].line, (uint16_t)strlen(numbers[i].line), numbers[i].index, &v),
                     numbers[i].value != 7u);
        CHECK_EQ_INT(v, numbers[i].value);
    }
    g_check_context = NULL;
    pos = 3;
    CHECK(gsmUtilParseUint("+X:  17,5", 9, &pos, &v));
    CHECK_EQ_INT(v, 17);
    CHECK_EQ_INT(pos, 7);
    pos = 7;
    CHECK(!gsmUtilParseUint("+X:  17,5", 9, &pos, &v));
    CHECK_EQ_INT(pos, 7);
    pos = 0;
    CHECK(gsmUtilParseUint("12345", 3, &pos, &v)); /* stops at the length */
    CHECK_EQ_INT(v, 123);
    /* text lists: exact matches only, also for lines holding a zero byte */
    CHECK_EQ_INT(gsmUtilMatchText("SIM PIN", 7, "READY\0SIM PIN\0SIM PIN2\0"), 2);
    CHECK_EQ_INT(gsmUtilMatchText("SIM PIN2", 8, "READY\0SIM PIN\0SIM PIN2\0"), 3);
    CHECK_EQ_INT(gsmUtilMatchText("SIM PI", 6, "READY\0SIM PIN\0"), 0);
    CHECK_EQ_INT(gsmUtilMatchText("READY\0SIM", 10, "READY\0SIM PIN\0"), 0);
    CHECK_EQ_INT(gsmUtilMatchText("", 0, "READY\0"), 0);
    CHECK(gsmUtilEquals("", 0, ""));
    CHECK(!gsmUtilEquals("O", 1, "OK"));
    CHECK(gsmUtilStartsWith("+CSQ: 1", 7, "+CSQ:"));
    CHECK_EQ_STR(gsmUtilListText("\0TERM\0INIT\0", 2), "INIT");
}

static void leadingNumberFieldsAndListRules(void)
{
    static const struct
    {
        const char* line;
        uint8_t result; /* count, | GSM_UTIL_FIELDS_MORE */
        uint32_t first;
        uint32_t second;
    } rows[] = {
        {"+CSQ: 18,99", 2u, 18u, 99u},
        {"+CSQ: 18,99,", 2u | GSM_UTIL_FIELDS_MORE, 18u, 99u},
        {"+CREG: 5,\"1A2B\",\"3C4D\"", 1u | GSM_UTIL_FIELDS_MORE, 5u, 0u},
        {"+X:  7 , 8 ", 2u, 7u, 8u},
        {"+X: 1,2,3", 3u, 1u, 2u}, /* counted beyond the values kept */
        {"+X: 4294967295", 1u, 4294967295u, 0u},
        {"+X: 4294967296", GSM_UTIL_FIELDS_MORE, 0u, 0u},
        {"+X: 42949672950", GSM_UTIL_FIELDS_MORE, 0u, 0u},
        {"+X: 1 2", GSM_UTIL_FIELDS_MORE, 0u, 0u},
        {"+X: 1,,3", 1u | GSM_UTIL_FIELDS_MORE, 1u, 0u},
        {"+X:", GSM_UTIL_FIELDS_MORE, 0u, 0u},
        {"", GSM_UTIL_FIELDS_MORE, 0u, 0u},
        {"3,4", 2u, 3u, 4u},                           /* no ':': fields from the line start */
        {"\"a:1\",2", GSM_UTIL_FIELDS_MORE, 0u, 0u},    /* a ':' inside quotes does not start them */
        {"+CME ERROR: 10", 1u, 10u, 0u},
        {"+CME ERROR: SIM busy", GSM_UTIL_FIELDS_MORE, 0u, 0u},
    };
    static const char kList[] = "OK\0+CME ERROR:\0RDY\0";
    static const struct
    {
        const char* line;
        uint8_t mode;
        uint8_t index;
    } matches[] = {
        {"OK", GSM_UTIL_MATCH_EXACT, 1u},          {"OKAY", GSM_UTIL_MATCH_EXACT, 0u},
        {"OKAY", GSM_UTIL_MATCH_COLON, 0u},        {"OKAY", GSM_UTIL_MATCH_PREFIX, 1u},
        {"+CME ERROR: 5", GSM_UTIL_MATCH_EXACT, 0u}, {"+CME ERROR: 5", GSM_UTIL_MATCH_COLON, 2u},
        {"+CME ERROR:", GSM_UTIL_MATCH_EXACT, 2u},  {"RDY", GSM_UTIL_MATCH_COLON, 3u},
        {"RDYX", GSM_UTIL_MATCH_COLON, 0u},        {"RD", GSM_UTIL_MATCH_PREFIX, 0u},
    };
    size_t i;
    for (i = 0; i < sizeof rows / sizeof rows[0]; i++)
    {
        uint32_t v[3] = {0u, 0u, 12345u};
        g_check_context = rows[i].line;
        CHECK_EQ_INT(gsmUtilUintFields(rows[i].line, (uint16_t)strlen(rows[i].line), v, 2u), rows[i].result);
        CHECK_EQ_INT(v[0], rows[i].first);
        CHECK_EQ_INT(v[1], rows[i].second);
        CHECK_EQ_INT(v[2], 12345u); /* nothing written past the values asked for */
    }
    for (i = 0; i < sizeof matches / sizeof matches[0]; i++)
    {
        g_check_context = matches[i].line;
        CHECK_EQ_INT(gsmUtilMatchList(matches[i].line, (uint16_t)strlen(matches[i].line), kList, matches[i].mode),
                     matches[i].index);
    }
    g_check_context = NULL;
    CHECK_EQ_INT(gsmUtilUintFields(NULL, 0u, NULL, 0u), GSM_UTIL_FIELDS_MORE);
    CHECK_EQ_INT(gsmUtilMatchList(NULL, 0u, kList, GSM_UTIL_MATCH_PREFIX), 0);
}

/* ---- power control with simulated hardware ---- */

static int g_key;         /* power key pressed */
static int g_key_presses; /* presses so far */
static uint32_t g_key_since;
static uint32_t g_last_press_ms; /* length of the last completed press */

static void fakeSetKey(GSM_Power_Instance* inst, bool activated)
{
    (void)inst;
    if (activated && !g_key)
    {
        g_key_presses++;
        g_key_since = g_now_ms;
    }
    else if (!activated && g_key)
    {
        g_last_press_ms = g_now_ms - g_key_since;
    }
    g_key = activated;
}

static void runPower(GSM_Power_Instance* p, uint32_t ms)
{
    while (ms-- > 0u)
    {
        g_now_ms++;
        gsmPowerPoll(p);
    }
}

static void powerPressLengthsAndToggleRecovery(void)
{
    /* Board without STATUS and reset line, clock near the 16-bit and 32-bit wraps: the modem is
     * assumed on at start (no press), a recovery is one press of the off length, then it is tried
     * as it is after the guard time. */
    static const struct
    {
        uint32_t start_ms;
        uint16_t set_off_ms;
        uint32_t press_ms; /* expected press length */
    } rows[] = {
        {0u, 0u, GSM_POWER_DEFAULT_OFF_PRESS_MS},
        {0xFFF0u, 2600u, 2600u},
        {0xFFFFFF00u, 1201u, 1250u},  /* rounded up to the press unit */
        {12345u, 60000u, 12750u},     /* limited */
    };
    size_t i;
    for (i = 0; i < sizeof rows / sizeof rows[0]; i++)
    {
        GSM_Power_Instance p;
        uint8_t starts;
        uint8_t seen;
        memset(&p, 0, sizeof p);
        p.SetPowerKey = &fakeSetKey;
        g_now_ms = rows[i].start_ms;
        g_key = 0;
        g_key_presses = 0;
        g_last_press_ms = 0u;
        gsmPowerInit(&p);
        gsmPowerSetPowerKeyPressDurations(&p, 0u, rows[i].set_off_ms);
        runPower(&p, GSM_POWER_STARTUP_DELAY_MS + 10u);
        CHECK(gsmPowerIfIsOn(&p._i));
        CHECK(gsmPowerIfOnUnconfirmed(&p._i));
        CHECK_EQ_INT(g_key_presses, 0);
        starts = gsmPowerIfStartCount(&p._i);
        seen = starts;
        CHECK(!gsmPowerIfRestarted(&p._i, &seen));
        CHECK(!gsmPowerIfRestarted(NULL, &seen));
        gsmPowerIfRequestRecovery(&p._i);
        runPower(&p, 1u);
        CHECK_EQ_INT(gsmPowerIfState(&p._i), GSM_Power_State_Resetting);
        CHECK(gsmPowerIfRestarted(&p._i, &seen)); /* not on: reported on every call */
        CHECK(gsmPowerIfRestarted(&p._i, &seen));
        CHECK_EQ_INT(seen, starts);
        CHECK_EQ_INT(g_key_presses, 1);
        runPower(&p, rows[i].press_ms + GSM_POWER_OFF_GUARD_MS + 10u);
        CHECK_EQ_INT(g_key, 0);
        CHECK_EQ_INT(g_last_press_ms, rows[i].press_ms);
        CHECK(gsmPowerIfIsOn(&p._i));
        CHECK(!gsmPowerIfOnUnconfirmed(&p._i));
        CHECK(gsmPowerGet(&p));
        CHECK_EQ_INT(gsmPowerIfStartCount(&p._i), (uint8_t)(starts + 1u));
        CHECK(gsmPowerIfRestarted(&p._i, &seen)); /* the restart, once */
        CHECK_EQ_INT(seen, (uint8_t)(starts + 1u));
        CHECK(!gsmPowerIfRestarted(&p._i, &seen));
        CHECK_EQ_INT(g_key_presses, 1);
        /* switched off by the application: one press, then off */
        gsmPowerSet(&p, false);
        runPower(&p, rows[i].press_ms + GSM_POWER_OFF_GUARD_MS + 10u);
        CHECK_EQ_INT(g_key_presses, 2);
        CHECK_EQ_INT(gsmPowerIfState(&p._i), GSM_Power_State_Off);
        CHECK(!gsmPowerGet(&p));
    }
}

static int g_reset; /* reset line asserted */
static int g_reset_pulses;

static bool fakeStatusLow(GSM_Power_Instance* inst)
{
    (void)inst;
    return false;
}

static void fakeSetReset(GSM_Power_Instance* inst, bool activated)
{
    (void)inst;
    if (activated && !g_reset)
    {
        g_reset_pulses++;
    }
    g_reset = activated;
}

/* Runs until the power state differs from `state` (at most `limit` ms); returns the time taken. */
static uint32_t runPowerWhile(GSM_Power_Instance* p, GSM_Power_State state, uint32_t limit)
{
    uint32_t t = 0u;
    while ((gsmPowerIfState(&p->_i) == state) && (t < limit))
    {
        runPower(p, 1u);
        t++;
    }
    return t;
}

static void powerStatusThatNeverRisesEndsEachAttemptOnTime(void)
{
    /* STATUS stays low after the press: the attempt ends after exactly the STATUS time-out counted
     * from the key release; with a reset line the reset pulse is tried once, then the attempt fails
     * and the key is pressed again after the retry delay. Clock near the 16-bit wrap. */
    static const struct
    {
        bool reset_line;
        uint32_t start_ms;
    } rows[] = {{false, 0u}, {true, 0xFFF0u}};
    size_t i;
    for (i = 0; i < sizeof rows / sizeof rows[0]; i++)
    {
        GSM_Power_Instance p;
        memset(&p, 0, sizeof p);
        p.SetPowerKey = &fakeSetKey;
        p.ReadStatus = &fakeStatusLow;
        if (rows[i].reset_line)
        {
            p.SetReset = &fakeSetReset;
        }
        g_now_ms = rows[i].start_ms;
        g_key = 0;
        g_key_presses = 0;
        g_reset = 0;
        g_reset_pulses = 0;
        gsmPowerInit(&p);
        runPower(&p, GSM_POWER_STARTUP_DELAY_MS); /* the key goes down in the last of these polls */
        CHECK_EQ_INT(g_key_presses, 1);
        CHECK_EQ_INT(gsmPowerIfState(&p._i), GSM_Power_State_SwitchingOn);
        runPower(&p, GSM_POWER_DEFAULT_ON_PRESS_MS);
        CHECK_EQ_INT(g_key, 0);
        CHECK_EQ_INT(runPowerWhile(&p, GSM_Power_State_SwitchingOn, 100000u), GSM_POWER_STATUS_TIMEOUT_MS);
        if (rows[i].reset_line)
        {
            CHECK_EQ_INT(gsmPowerIfState(&p._i), GSM_Power_State_Resetting);
            CHECK_EQ_INT(g_reset_pulses, 1);
            CHECK_EQ_INT(runPowerWhile(&p, GSM_Power_State_Resetting, 100000u), GSM_POWER_RESET_PULSE_MS);
            CHECK_EQ_INT(g_reset, 0);
            CHECK_EQ_INT(runPowerWhile(&p, GSM_Power_State_SwitchingOn, 100000u), GSM_POWER_STATUS_TIMEOUT_MS);
        }
        CHECK_EQ_INT(gsmPowerIfState(&p._i), GSM_Power_State_Failed);
        CHECK_EQ_INT(g_key_presses, 1);
        CHECK_EQ_INT(runPowerWhile(&p, GSM_Power_State_Failed, 100000u), GSM_POWER_RETRY_DELAY_MS);
        CHECK_EQ_INT(g_key_presses, 2);
        CHECK_EQ_INT(g_reset_pulses, rows[i].reset_line ? 1 : 0);
    }
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
    /* public decoders refuse missing arguments instead of dereferencing them */
    CHECK(!gsmSignalQualityDecode(NULL, 11, &r, &b));
    CHECK(!gsmSignalQualityDecode("+CSQ: 18,99", 11, NULL, &b));
    CHECK(!gsmSignalQualityDecode("+CSQ: 18,99", 11, &r, NULL));
    CHECK_EQ_INT(gsmPinDecodeStatus(NULL, 12), GSM_PIN_SimStatus_Unknown);
}

static void rssiConvertsToDbm(void)
{
    static const struct
    {
        uint8_t rssi;
        int16_t dbm;
    } rows[] = {{0, -113}, {15, -83}, {31, -51}, {32, GSM_SIGNALQUALITY_DBM_UNKNOWN}, {99, GSM_SIGNALQUALITY_DBM_UNKNOWN},
                {100, -116}, {191, -25}, {192, GSM_SIGNALQUALITY_DBM_UNKNOWN}, {255, GSM_SIGNALQUALITY_DBM_UNKNOWN}};
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
        {"calendarChecksMonthLengthsAndYearRange", calendarChecksMonthLengthsAndYearRange},
        {"calendarCountsEveryDayOfTheRange", calendarCountsEveryDayOfTheRange},
        {"numbersFormatWithPaddingAndBounds", numbersFormatWithPaddingAndBounds},
        {"fieldsAreSplitOutsideQuotes", fieldsAreSplitOutsideQuotes},
        {"fieldEdgeCases", fieldEdgeCases},
        {"leadingNumberFieldsAndListRules", leadingNumberFieldsAndListRules},
        {"powerPressLengthsAndToggleRecovery", powerPressLengthsAndToggleRecovery},
        {"powerStatusThatNeverRisesEndsEachAttemptOnTime", powerStatusThatNeverRisesEndsEachAttemptOnTime},
        {"registrationLinesDecodeByRole", registrationLinesDecodeByRole},
        {"registeredFollowsFamilyRules", registeredFollowsFamilyRules},
        {"pinAndSignalLinesDecode", pinAndSignalLinesDecode},
        {"rssiConvertsToDbm", rssiConvertsToDbm},
    };
    return check_run(tests, sizeof tests / sizeof tests[0], argc, argv);
}
