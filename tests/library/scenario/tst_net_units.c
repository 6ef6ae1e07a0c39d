/*
 * Unit tests of the internet helper (IPv4 parsing and formatting, back-off) and of the connection
 * interface functions, without the simulator.
 */
#include <string.h>

#include "check.h"
#include "GSM_InternetConnection_Interface.h"
#include "GSM_Internet_Helper.h"

uint32_t gsm__SysTime_ms(void);
uint32_t gsm__SysTime_ms(void) { return 0u; }

static void parseIPv4AcceptsModemForms(void)
{
    static const struct
    {
        const char* text;
        bool ok;
        uint8_t o[4];
    } kCases[] = {
        {"10.148.0.17", true, {10, 148, 0, 17}},
        {"\"10.71.155.118\"", true, {10, 71, 155, 118}},
        {" 0.0.0.0 ", true, {0, 0, 0, 0}},
        {"255.255.255.255", true, {255, 255, 255, 255}},
        {"256.1.1.1", false, {0}},
        {"1.2.3", false, {0}},
        {"1.2.3.4.5", false, {0}},
        {"1..3.4", false, {0}},
        {"1.2.3.4x", false, {0}},
        {"1. 2.3.4", false, {0}},
        {"\"1.2.3.4", false, {0}},
        {"\"\"", false, {0}},
        {"", false, {0}},
    };
    size_t i;
    for (i = 0; i < sizeof kCases / sizeof kCases[0]; i++)
    {
        GSM_IPv4 ip = {{9, 9, 9, 9}};
        bool ok = gsmInternetHelperParseIPv4(kCases[i].text, (uint16_t)strlen(kCases[i].text), &ip);
        g_check_context = kCases[i].text;
        CHECK_EQ_INT(ok, kCases[i].ok);
        if (kCases[i].ok)
        {
            CHECK(memcmp(ip.Octet, kCases[i].o, 4) == 0);
        }
        else
        {
            CHECK(ip.Octet[0] == 9 && ip.Octet[3] == 9); /* unchanged on failure */
        }
    }
    CHECK(!gsmInternetHelperParseIPv4(NULL, 3, NULL));
    /* the length bounds the text: no reading past it */
    {
        GSM_IPv4 ip;
        CHECK(gsmInternetHelperParseIPv4("1.2.3.45678", 7, &ip));
        CHECK(ip.Octet[3] == 4);
    }
}

static void ipv4ToStrRespectsBufferSize(void)
{
    GSM_IPv4 ip = {{255, 255, 255, 255}};
    GSM_IPv4 small = {{1, 2, 3, 4}};
    char buf[GSM_IPV4_STR_SIZE];
    char tiny[7];
    CHECK_EQ_INT(gsmInternetHelperIPv4ToStr(&ip, buf, sizeof buf), 15);
    CHECK_EQ_STR(buf, "255.255.255.255");
    CHECK_EQ_INT(gsmInternetHelperIPv4ToStr(&ip, buf, 15), 0); /* no room for the terminator */
    CHECK_EQ_STR(buf, "");
    CHECK_EQ_INT(gsmInternetHelperIPv4ToStr(&small, tiny, 7), 0);
    CHECK_EQ_INT(gsmInternetHelperIPv4ToStr(&small, buf, 8), 7);
    CHECK_EQ_STR(buf, "1.2.3.4");
    CHECK_EQ_INT(gsmInternetHelperIPv4ToStr(NULL, buf, sizeof buf), 0);
    CHECK(gsmInternetHelperIPv4IsZero(NULL));
    gsmInternetHelperIPv4Clear(&ip);
    CHECK(gsmInternetHelperIPv4IsZero(&ip));
}

static void backoffDoublesUpToTheCeiling(void)
{
    CHECK_EQ_INT(gsmInternetHelperBackoff(0, 5000u, 60000u), 5000);
    CHECK_EQ_INT(gsmInternetHelperBackoff(1, 5000u, 60000u), 10000);
    CHECK_EQ_INT(gsmInternetHelperBackoff(3, 5000u, 60000u), 40000);
    CHECK_EQ_INT(gsmInternetHelperBackoff(4, 5000u, 60000u), 60000);
    CHECK_EQ_INT(gsmInternetHelperBackoff(255, 5000u, 60000u), 60000);
}

/* The pause of a connection that is down: over and registered tries again; over and unregistered
 * waits with the deadline kept at now, so that it never ages into one that reads as ahead. */
static void retryDueOnlyWhenThePauseIsOverAndTheNetworkIsThere(void)
{
    static const struct
    {
        uint32_t deadline;
        uint32_t now;
        bool registered;
        bool due;
        uint32_t deadline_after;
    } kRows[] = {
        {1000u, 999u, true, false, 1000u},
        {1000u, 1000u, true, true, 1000u},
        {1000u, 5000u, false, false, 5000u},
        {0xFFFFFF00u, 0x00000100u, true, true, 0xFFFFFF00u}, /* across the clock wrap */
        {5000u, 999u, false, false, 5000u},                  /* still in the pause: unchanged */
    };
    size_t i;
    g_check_context = __func__;
    for (i = 0; i < sizeof kRows / sizeof kRows[0]; i++)
    {
        uint32_t deadline = kRows[i].deadline;
        CHECK_EQ_INT(gsmInternetHelperRetryDue(&deadline, kRows[i].now, kRows[i].registered), kRows[i].due);
        CHECK_EQ_INT(deadline, kRows[i].deadline_after);
    }
}

/* A text for a quoted parameter: its length, or refused for a '"' or any byte below 0x20 anywhere
 * (the bytes from 0x20 on pass, UTF-8 too). */
static void quotedLengthRefusesBytesThatEndTheParameterOrTheLine(void)
{
    static const struct
    {
        const char* text;
        uint32_t length;
    } kRows[] = {
        {"", 0u},
        {"http://example.com/a b~", 23u},
        {"caf\xc3\xa9\x7f", 6u},
        {"a\rAT+CFUN=0\r", GSM_INTERNETHELPER_UNQUOTABLE},
        {"a\nb", GSM_INTERNETHELPER_UNQUOTABLE},
        {"\x1f", GSM_INTERNETHELPER_UNQUOTABLE},
        {"ab\"", GSM_INTERNETHELPER_UNQUOTABLE},
        {"\"", GSM_INTERNETHELPER_UNQUOTABLE},
    };
    size_t i;
    for (i = 0; i < sizeof kRows / sizeof kRows[0]; i++)
    {
        g_check_context = kRows[i].text;
        CHECK_EQ_INT(gsmInternetHelperQuotedLength(kRows[i].text), kRows[i].length);
    }
    CHECK_EQ_INT(gsmInternetHelperQuotedLength(NULL), 0);
}

static void interfaceReadsNullAsDisconnected(void)
{
    GSM_InternetConnection_Interface conn;
    GSM_IPv4 ip = {{1, 1, 1, 1}};
    memset(&conn, 0, sizeof conn);
    CHECK(!gsmInternetConnectionIfIsConnected(NULL));
    CHECK(!gsmInternetConnectionIfAddress(NULL, &ip));
    CHECK(gsmInternetHelperIPv4IsZero(&ip));
    CHECK_EQ_INT(gsmInternetConnectionIfFamily(NULL), GSM_InternetConnection_Family_Unknown);
    gsmInternetConnectionIfNotifyLost(NULL);
    conn.Connected = 1u;
    conn.Address.Octet[0] = 10u;
    CHECK(gsmInternetConnectionIfAddress(&conn, &ip));
    CHECK_EQ_INT(ip.Octet[0], 10);
    gsmInternetConnectionIfNotifyLost(&conn);
    CHECK_EQ_INT(conn.LostHint, 1);
}

static const CheckTest kTests[] = {
    {"parseIPv4AcceptsModemForms", parseIPv4AcceptsModemForms},
    {"ipv4ToStrRespectsBufferSize", ipv4ToStrRespectsBufferSize},
    {"backoffDoublesUpToTheCeiling", backoffDoublesUpToTheCeiling},
    {"retryDueOnlyWhenThePauseIsOverAndTheNetworkIsThere", retryDueOnlyWhenThePauseIsOverAndTheNetworkIsThere},
    {"quotedLengthRefusesBytesThatEndTheParameterOrTheLine", quotedLengthRefusesBytesThatEndTheParameterOrTheLine},
    {"interfaceReadsNullAsDisconnected", interfaceReadsNullAsDisconnected},
};

int main(int argc, char** argv)
{
    return check_run(kTests, sizeof kTests / sizeof kTests[0], argc, argv);
}
