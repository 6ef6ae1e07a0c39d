/*
 * Scenario tests of the internet connection (LTE and 2G), the HTTP client and the MQTT client against
 * the modem simulator with its packet data, HTTP and MQTT services. Built per family and echo setting:
 * NET_WITH_MQTT=1 with the generated LTE manager (LTE-Q and LTE-A profiles), 0 with the generated 2G
 * manager (whose HTTP client reaches the 2G connection through the LTE instance name).
 */
#include <stdlib.h>
#include <string.h>

#include "check.h"
#include "gsm_manager.h"
#include "harness.h"
#include "modem_sim.h"
#include "net_support.h"
#include "sim_http.h"
#include "sim_mqtt.h"
#include "sim_net.h"

#ifndef HARNESS_ECHO_ON
#define HARNESS_ECHO_ON 1
#endif

bool net_support_guards_intact(void);

extern GSM_HttpClientSimcom_Instance mGsmHttpClientSimcomInst;
#if NET_WITH_MQTT
extern GSM_InternetConnectionSimcom_Instance mGsmInternetConnectionSimcomInst;
static const SimFamily kFamilies[] = {SIM_FAMILY_LTE_Q, SIM_FAMILY_LTE_A};
static const char* const kFamilyNames[] = {"LTE-Q", "LTE-A"};
#define FAMILY_COUNT 2
#define IsConnected gsmmgrInternetConnectionSimcomIsConnected
#else
extern GSM_InternetConnectionSimcom2G_Instance mGsmInternetConnectionSimcom2GInst;
static const SimFamily kFamilies[] = {SIM_FAMILY_2G};
static const char* const kFamilyNames[] = {"2G"};
#define FAMILY_COUNT 1
#define IsConnected gsmmgrInternetConnectionSimcom2GIsConnected
#endif

static SimModem* g_sim;
static SimNet* g_net;
static SimHttp* g_http;
static SimMqtt* g_mqtt;

void family_begin(const char* test, int family)
{
    check_context("%s/%s/echo%d", test, kFamilyNames[family], HARNESS_ECHO_ON);
}

/* NET_DEBUG=1 in the environment prints the modem transcript of each test. */
static void debug_dump(void)
{
    size_t len, i;
    const char* rx;
    if (g_sim == NULL || getenv("NET_DEBUG") == NULL)
    {
        return;
    }
    for (i = 0; i < sim_command_count(g_sim); i++)
    {
        fprintf(stderr, "H %s\n", sim_command(g_sim, i));
    }
    rx = sim_rx(g_sim, &len);
    fprintf(stderr, "M ");
    check_print_escaped(rx);
    fprintf(stderr, "\n");
    for (i = 0; i < harness_event_count(); i++)
    {
        fprintf(stderr, "E %s %d %d %d @%u\n", harness_event(i)->module, harness_event(i)->type, (int)harness_event(i)->a,
                (int)harness_event(i)->b, (unsigned)harness_event(i)->time);
    }
}

static void teardown(void)
{
    debug_dump();
    if (g_sim)
    {
        sim_destroy(g_sim);
        sim_net_detach(g_net);
        sim_http_detach(g_http);
        sim_mqtt_detach(g_mqtt);
        g_sim = NULL;
    }
}

void family_end(void) { teardown(); }

/* A modem of `family` whose network wants `required_apn`; the library hands over `apn`. The modem
 * registers `register_ms` after its SIM is ready (0: the simulator's default). */
static void start_registering(int family, const char* required_apn, const char* apn, size_t http_buf, size_t mqtt_buf,
                              uint32_t register_ms)
{
    SimConfig cfg;
    teardown();
    sim_config_default(&cfg, kFamilies[family]);
    if (register_ms != 0)
    {
        cfg.register_ms = register_ms;
    }
    g_sim = sim_create(&cfg);
    g_net = sim_net_attach(g_sim, required_apn);
    g_http = sim_http_attach(g_sim, g_net);
    g_mqtt = sim_mqtt_attach(g_sim);
    net_support_reset();
    net_support_set_apn(apn);
    net_support_set_buffers(http_buf, mqtt_buf);
    harness_start(g_sim, NULL);
}

static void start(int family, const char* required_apn, const char* apn, size_t http_buf, size_t mqtt_buf)
{
    start_registering(family, required_apn, apn, http_buf, mqtt_buf, 0);
}

static bool connected(void) { return IsConnected(); }
static bool disconnected(void) { return !IsConnected(); }
static bool http_idle(void) { return !gsmmgrHttpClientSimcomHttpOperationPending(); }

/* Starts and runs until the packet data connection is up. */
static bool start_connected(int family, size_t http_buf, size_t mqtt_buf)
{
    start(family, "internet", "internet", http_buf, mqtt_buf);
    return harness_run_until(connected, 60000);
}

/* The commands starting with "AT+<group>" since the last sim_tx_clear, in order, must be `expected`. */
static void check_group(const char* group, const char* const* expected)
{
    size_t i, k = 0;
    for (i = 0; i < sim_command_count(g_sim); i++)
    {
        const char* c = sim_command(g_sim, i);
        if (strncmp(c, group, strlen(group)) == 0)
        {
            if (expected[k] == NULL)
            {
                CHECK_EQ_STR(c, "(no further command)");
                return;
            }
            CHECK_EQ_STR(c, expected[k]);
            k++;
        }
    }
    if (expected[k] != NULL)
    {
        CHECK_EQ_STR("(missing)", expected[k]);
    }
}

/* ---- internet connection ------------------------------------------------------------------------ */

/* With an APN it is set before the network is opened; without one the modem's own stays. */
FAMILY_TEST(connectionComesUpWithApnAndAddress)
{
    int with_apn;
    for (with_apn = 1; with_apn >= 0; with_apn--)
    {
        GSM_IPv4 ip;
        char text[GSM_IPV4_STR_SIZE];
        start(f, with_apn ? "internet" : NULL, with_apn ? "internet" : NULL, 256, 256);
        CHECK(harness_run_until(connected, 60000));
#if NET_WITH_MQTT
        {
            static const char* const kLte[] = {"AT+CGDCONT=1,\"IP\",\"internet\"", NULL};
            check_group("AT+CGDCONT", with_apn ? kLte : kLte + 1);
            CHECK(harness_find_command("AT+NETOPEN", 0) > harness_find_command(kLte[0], 0));
            CHECK(harness_find_command("AT+IPADDR", 0) > harness_find_command("AT+NETOPEN", 0));
            CHECK(gsmInternetConnectionSimcomGetIPv4(&mGsmInternetConnectionSimcomInst, &ip));
        }
#else
        {
            static const char* const k2g[] = {"AT+SAPBR=3,1,\"Contype\",\"GPRS\"", "AT+SAPBR=3,1,\"APN\",\"internet\"",
                                              "AT+SAPBR=1,1", "AT+SAPBR=2,1", NULL};
            static const char* const k2gNoApn[] = {"AT+SAPBR=3,1,\"Contype\",\"GPRS\"", "AT+SAPBR=1,1", "AT+SAPBR=2,1", NULL};
            check_group("AT+SAPBR", with_apn ? k2g : k2gNoApn);
            CHECK(gsmInternetConnectionSimcom2GGetIPv4(&mGsmInternetConnectionSimcom2GInst, &ip));
        }
#endif
        CHECK(gsmInternetHelperIPv4ToStr(&ip, text, sizeof text) > 0);
        CHECK_EQ_STR(text, "10.148.0.17");
        CHECK_EQ_STR(sim_net_apn(g_net), with_apn ? "internet" : "");
    }
}

/* A wrong APN never connects; the attempts are spaced by a growing pause. */
FAMILY_TEST(wrongApnRetriesWithGrowingPause)
{
    int a1, a2, a3;
    start(f, "iot.example", "internet", 256, 256);
    harness_poll(30000);
    CHECK(!IsConnected());
    a1 = sim_net_open_attempts(g_net);
    CHECK(a1 >= 2);
    harness_poll(60000);
    a2 = sim_net_open_attempts(g_net) - a1;
    harness_poll(60000);
    a3 = sim_net_open_attempts(g_net) - a1 - a2;
    CHECK(!IsConnected());
    /* back-off: the pause reaches its 60 s ceiling, so later minutes see at most a few attempts */
    CHECK(a2 >= 1);
    CHECK(a3 <= 4);
    CHECK(a1 + a2 + a3 < 30);
}

/* An "https:" URL selects TLS. 2G modems are told so with AT+HTTPSSL=1 before each
 * such request and AT+HTTPSSL=0 before any other, which a firmware without TLS refuses without harm
 * (its https requests end with CommandError); LTE modems go by the URL, and before an https request
 * are asked to send the server name in the handshake (AT+CSSLCFG="enableSNI",0,1), which the servers
 * of the simulator need on LTE-A and which LTE-Q refuses without harm. */
FAMILY_TEST(httpsUrlsSelectTls)
{
    static const struct
    {
        const char* url;
        bool no_tls_firmware;
        int result_2g; /* LTE: always Success */
    } kCases[] = {{"https://example.com/s", false, GSM_HttpClientSimcom_Result_Success},
                  {"http://example.com/x", false, GSM_HttpClientSimcom_Result_Success}, /* TLS off again */
                  {"http://example.com/x", true, GSM_HttpClientSimcom_Result_Success},
                  {"https://example.com/s", true, GSM_HttpClientSimcom_Result_CommandError}};
    bool g2 = kFamilies[f] == SIM_FAMILY_2G;
    int keep;
    size_t c;
    /* each request sets TLS, also in a session kept from the request before */
    for (keep = 0; keep <= 1; keep++)
    {
        CHECK(start_connected(f, 256, 256));
        gsmmgrHttpClientSimcomHttpTermWhenDone(keep == 0);
        sim_http_add(g_http, "https://example.com/s", 200, "tls", 3, 500, false);
        sim_http_add(g_http, "http://example.com/x", 200, "plain", 5, 500, false);
        for (c = 0; c < sizeof kCases / sizeof kCases[0]; c++)
        {
            bool tls = kCases[c].url[4] != ':';
            int result = g2 ? kCases[c].result_2g : GSM_HttpClientSimcom_Result_Success;
            int actions = sim_http_actions(g_http);
            check_context("httpsUrlsSelectTls/%s%s%s/%s/echo%d", kCases[c].url, kCases[c].no_tls_firmware ? " (no TLS)" : "",
                          keep ? " (kept session)" : "", kFamilyNames[f], HARNESS_ECHO_ON);
            net_http_log_clear();
            sim_tx_clear(g_sim);
            if (kCases[c].no_tls_firmware)
            {
                sim_http_refuse_ssl(g_http);
            }
            CHECK(gsmmgrHttpClientSimcomGet((char*)kCases[c].url));
            CHECK(harness_run_until(http_idle, 30000));
            CHECK_EQ_INT(net_http_log()->lasts, 1);
            CHECK_EQ_INT(net_http_log()->result, result);
            CHECK_EQ_INT(net_http_log()->body_len, result == GSM_HttpClientSimcom_Result_Success ? (tls ? 3 : 5) : 0);
            CHECK_EQ_INT(harness_count_command(tls ? "AT+HTTPSSL=1" : "AT+HTTPSSL=0"), g2 ? 1 : 0);
            CHECK_EQ_INT(harness_count_command(tls ? "AT+HTTPSSL=0" : "AT+HTTPSSL=1"), 0);
            CHECK_EQ_INT(harness_count_command("AT+CSSLCFG=\"enableSNI\",0,1"), (tls && !g2) ? 1 : 0);
            CHECK_EQ_INT(sim_http_actions(g_http) - actions, result == GSM_HttpClientSimcom_Result_Success ? 1 : 0);
        }
    }
}

/* LTE: a failed open is retried, and an open that finds the network already open counts as up. 2G:
 * after three failed opens the bearer is closed and the sequence starts over. */
FAMILY_TEST(openFailuresCloseAndStartOver)
{
    start(f, "internet", "internet", 256, 256);
#if NET_WITH_MQTT
    sim_net_fail_opens(g_net, 1);
    CHECK(harness_run_until(connected, 60000));
    CHECK_EQ_INT(sim_net_open_attempts(g_net), 2);
    /* the host restarts its side while the modem keeps the network open (which the modem reports in
     * words or, in the numeric error mode, as "+IP ERROR: 4") */
    {
        int numeric;
        for (numeric = 0; numeric <= 1; numeric++)
        {
            sim_net_numeric_ip_errors(g_net, numeric != 0);
            gsmInternetConnectionSimcomInit(&mGsmInternetConnectionSimcomInst);
            sim_tx_clear(g_sim);
            CHECK(harness_run_until(connected, 30000));
            CHECK_EQ_INT(harness_count_command("AT+NETOPEN"), 1);
            CHECK(harness_find_command("AT+IPADDR", 0) > harness_find_command("AT+NETOPEN", 0));
        }
    }
    /* the network drops while the address is read: the loss reported inside that answer counts */
    sim_net_drop_at_next_address(g_net);
    gsmInternetConnectionSimcomInit(&mGsmInternetConnectionSimcomInst);
    sim_tx_clear(g_sim);
    harness_poll(20000);
    CHECK(sim_net_is_open(g_net));
    CHECK(IsConnected());
    CHECK_EQ_INT(harness_count_command("AT+IPADDR"), 2);
#else
    sim_net_fail_opens(g_net, 3);
    CHECK(harness_run_until(connected, 120000));
    CHECK_EQ_INT(harness_count_command("AT+SAPBR=1,1"), 4);
    CHECK_EQ_INT(harness_count_command("AT+SAPBR=0,1"), 1);
    CHECK(harness_find_command("AT+SAPBR=0,1", 0) > harness_find_command("AT+SAPBR=3,1,\"Contype\",\"GPRS\"", 0));
#endif
}

/* A loss without any URC is found by the periodic check. */
FAMILY_TEST(silentLossIsFoundByPeriodicCheck)
{
    CHECK(start_connected(f, 256, 256));
    sim_net_drop_silently(g_net);
    CHECK(harness_run_until(disconnected, 70000));
    CHECK(harness_run_until(connected, 60000));
}

/* Out of coverage for longer than the millisecond clock's half range (about 25 days; the modem gives
 * the context up meanwhile): the connection comes back as soon as the modem registers again. */
FAMILY_TEST(reconnectsAfterAMonthWithoutRegistration)
{
    static const SimRegDomain kDomains[] = {SIM_REG_CS, SIM_REG_GPRS, SIM_REG_EPS};
    size_t d;
    uint32_t step;
    CHECK(start_connected(f, 256, 256));
    for (d = 0; d < 3; d++)
    {
        sim_set_registration(g_sim, kDomains[d], 2); /* searching */
    }
    CHECK(harness_run_until(disconnected, 60000));
    /* 26 days in steps of ten minutes, polled in between */
    for (step = 0; step < 26u * 24u * 6u; step++)
    {
        sim_set_time(g_sim, sim_now(g_sim) + 600000u);
        harness_poll(20);
    }
    for (d = 0; d < 3; d++)
    {
        sim_set_registration(g_sim, kDomains[d], 1);
    }
    CHECK(harness_run_until(connected, 120000));
}

/* Loss reports while the modem keeps the packet data service open: each one marks the connection
 * down and it comes back at once (on LTE after closing the dead context); other reports leave it up.
 * The HTTP and MQTT services' reports, also between requests, have the connection checked at once,
 * which finds the network gone. A network that closes between the check and the close is closed. */
FAMILY_TEST(lossReportsReopenTheConnection)
{
    enum { KEPT, GONE, CLOSES };
    static const struct
    {
        const char* urc;
        bool lost;
        int modem; /* what the modem's packet data service does */
    } kCases[] = {
#if NET_WITH_MQTT
        {"+CIPEVENT: NETWORK CLOSED UNEXPECTEDLY", true, KEPT},
        {"+CGEV: NW PDN DEACT 1", true, KEPT},
        {"+CGEV: ME DETACH", true, KEPT},
        {"+CGEV: ME PDN DEACT 1", true, KEPT},
        {"+CGEV: NW PDN DEACT 2", false, KEPT}, /* another context, e.g. IMS */
        {"+CGEV: ME PDN DEACT 3", false, KEPT},
        {"+CGEV: ME PDN ACT 1", false, KEPT},
        {"+CGEV: EPS PDN ACT 5", false, KEPT},
        {"+NETCLOSE: 0", false, KEPT},
        {"+HTTP_NONET_EVENT", true, GONE},
        {"+CMQTTNONET", true, GONE},
        {"+CIPEVENT: NETWORK CLOSED UNEXPECTEDLY", true, CLOSES}, /* "+NETCLOSE: 2", ERROR */
#else
        {"+SAPBR 1: DEACT", true, KEPT},
        {"+SAPBR 2: DEACT", false, KEPT},
#endif
    };
    size_t c;
    for (c = 0; c < sizeof kCases / sizeof kCases[0]; c++)
    {
        const GSM_InternetConnection_Interface* conn;
        uint8_t before;
        check_context("lossReportsReopenTheConnection/%s/%s/echo%d", kCases[c].urc, kFamilyNames[f], HARNESS_ECHO_ON);
        CHECK(start_connected(f, 256, 256));
#if NET_WITH_MQTT
        conn = &mGsmInternetConnectionSimcomInst._i;
#else
        conn = &mGsmInternetConnectionSimcom2GInst._i;
#endif
        before = conn->ConnectCount;
        sim_tx_clear(g_sim);
        if (kCases[c].modem == GONE)
        {
            sim_net_drop_silently(g_net);
        }
        else if (kCases[c].modem == CLOSES)
        {
            sim_net_drop_after_next_query(g_net);
        }
        sim_inject_urc(g_sim, kCases[c].urc);
        if (!kCases[c].lost)
        {
            harness_poll(3000);
            CHECK(IsConnected());
            CHECK_EQ_INT(conn->ConnectCount, before);
            continue;
        }
        CHECK(harness_run_until(disconnected, 1000));
        CHECK(harness_run_until(connected, 4000)); /* without the pause after a failed attempt */
        CHECK_EQ_INT(conn->ConnectCount, (uint8_t)(before + 1));
        CHECK(sim_net_is_open(g_net));
#if NET_WITH_MQTT
        CHECK_EQ_INT(harness_find_command("AT+NETCLOSE", 0) > harness_find_command("AT+NETOPEN?", 0), kCases[c].modem != GONE);
        CHECK(harness_find_command("AT+NETOPEN", 0) > harness_find_command("AT+NETOPEN?", 0));
#endif
    }
}

/* A loss of the registration alone leaves the connection as it is: the modem keeps its context
 * through a short one (cell change, edge of coverage), so nothing is closed or opened again and the
 * application sees no change, also when the periodic check falls into the loss. A long one ends the
 * connection when the modem gives the context up and says so; it comes back once registered. */
FAMILY_TEST(registrationLossEndsTheConnectionOnlyWithTheContext)
{
    static const struct
    {
        const char* name;
        bool all_domains;  /* +CREG too, else the packet domains only */
        uint32_t after_ms; /* from connected to the loss */
        uint32_t loss_ms;
        bool lost;
    } kCases[] = {
        {"packetDomains2s", false, 0, 2000, false},
        {"allDomains10sOverThePeriodicCheck", true, 55000, 10000, false},
        {"allDomains40s", true, 0, 40000, true},
    };
#if NET_WITH_MQTT
    static const SimRegDomain kPacket[] = {SIM_REG_GPRS, SIM_REG_EPS};
    static const char* const kReopen[] = {"AT+NETOPEN", "AT+NETCLOSE", "AT+CGDCONT=1,\"IP\",\"internet\""};
    const char* query = "AT+NETOPEN?";
    const GSM_InternetConnection_Interface* conn = &mGsmInternetConnectionSimcomInst._i;
#else
    static const SimRegDomain kPacket[] = {SIM_REG_GPRS};
    static const char* const kReopen[] = {"AT+SAPBR=1,1", "AT+SAPBR=0,1", "AT+SAPBR=3,1,\"Contype\",\"GPRS\""};
    const char* query = "AT+SAPBR=2,1";
    const GSM_InternetConnection_Interface* conn = &mGsmInternetConnectionSimcom2GInst._i;
#endif
    size_t c, d;
    for (c = 0; c < sizeof kCases / sizeof kCases[0]; c++)
    {
        uint8_t before;
        long down_at = -1;
        uint32_t t;
        check_context("registrationLossEndsTheConnectionOnlyWithTheContext/%s/%s/echo%d", kCases[c].name, kFamilyNames[f],
                      HARNESS_ECHO_ON);
        CHECK(start_connected(f, 256, 256));
        before = conn->ConnectCount;
        harness_poll(kCases[c].after_ms);
        sim_tx_clear(g_sim);
        for (d = 0; d < sizeof kPacket / sizeof kPacket[0]; d++)
        {
            sim_set_registration(g_sim, kPacket[d], 2);
        }
        if (kCases[c].all_domains)
        {
            sim_set_registration(g_sim, SIM_REG_CS, 2);
        }
        for (t = 0; t < kCases[c].loss_ms; t++)
        {
            harness_poll(1);
            if (down_at < 0 && !IsConnected())
            {
                down_at = (long)t;
            }
        }
        for (d = 0; d < sizeof kPacket / sizeof kPacket[0]; d++)
        {
            sim_set_registration(g_sim, kPacket[d], 1);
        }
        sim_set_registration(g_sim, SIM_REG_CS, 1);
        CHECK(harness_run_until(connected, 60000));
        if (kCases[c].lost)
        {
            CHECK(down_at >= (long)SIM_NET_CONTEXT_LOSS_MS); /* not before the modem gave the context up */
            CHECK_EQ_INT(conn->ConnectCount, (uint8_t)(before + 1));
            continue;
        }
        CHECK_EQ_INT(down_at, -1);
        CHECK_EQ_INT(conn->ConnectCount, before);
        CHECK(sim_net_is_open(g_net));
        for (d = 0; d < sizeof kReopen / sizeof kReopen[0]; d++)
        {
            CHECK_EQ_INT(harness_count_command(kReopen[d]), 0);
        }
        CHECK_EQ_INT(harness_count_command(query), kCases[c].after_ms != 0 ? 1 : 0);
    }
}

/* A modem that says it switches itself off ("POWERD DOWN", "NORMAL POWER DOWN") ends the connection at
 * once; it comes back once the modem is on again. */
FAMILY_TEST(modemSwitchingItselfOffEndsTheConnection)
{
    CHECK(start_connected(f, 256, 256));
    sim_inject_urc(g_sim, kFamilies[f] == SIM_FAMILY_2G ? "NORMAL POWER DOWN" : "POWERD DOWN");
    CHECK(harness_run_until(disconnected, 100));
    CHECK(harness_run_until(connected, 120000));
}

#if NET_WITH_MQTT
/* LTE: the APN goes to the modem before it attaches, so that the attach is made with it, after every
 * modem start; a network that refuses the attach without it lets the modem attach once it is set. */
FAMILY_TEST(apnIsSetBeforeTheAttach)
{
    static const struct
    {
        const char* name;
        bool refused;         /* the attach is refused until the APN is set */
        uint32_t register_ms; /* 0: the simulator's default */
    } kCases[] = {{"attachTakesTheApnSet", false, 0}, {"attachRefusedUntilTheApnIsSet", true, 1}};
    size_t c;
    for (c = 0; c < sizeof kCases / sizeof kCases[0]; c++)
    {
        check_context("apnIsSetBeforeTheAttach/%s/%s/echo%d", kCases[c].name, kFamilyNames[f], HARNESS_ECHO_ON);
        start_registering(f, "internet", "internet", 256, 256, kCases[c].register_ms);
        if (kCases[c].refused)
        {
            sim_net_attach_needs_apn(g_net);
        }
        CHECK(harness_run_until(connected, 60000));
        CHECK_EQ_STR(sim_net_attach_apn(g_net), "internet");
        CHECK_EQ_INT(sim_net_attaches(g_net), 1);
        /* a modem restart forgets the APN: it is set again before the new attach */
        sim_reboot(g_sim);
        CHECK(harness_run_until(disconnected, 60000));
        CHECK(harness_run_until(connected, 90000));
        CHECK_EQ_STR(sim_net_attach_apn(g_net), "internet");
        CHECK_EQ_INT(sim_net_attaches(g_net), 2);
    }
}

/* LTE: connected only with an IPv4 address; an answer without one (an IPv6 only context) fails the
 * attempt, and the next one asks again. */
FAMILY_TEST(connectedOnlyWithAnIPv4Address)
{
    GSM_IPv4 ip;
    start(f, "internet", "internet", 256, 256);
    sim_net_addressless_answers(g_net, 1);
    CHECK(harness_run_until(connected, 60000));
    CHECK_EQ_INT(harness_count_command("AT+IPADDR"), 2);
    CHECK(gsmInternetConnectionSimcomGetIPv4(&mGsmInternetConnectionSimcomInst, &ip));
    CHECK_EQ_INT(ip.Octet[0], 10);
    CHECK_EQ_INT(ip.Octet[3], 17);
}
#endif

/* ---- HTTP --------------------------------------------------------------------------------------- */

typedef struct HttpCase
{
    const char* name;
    int status;
    size_t body_len;   /* body generated with a pattern containing CR, LF, NUL and "OK" */
    size_t buffer;     /* HTTP body buffer (0: internal fallback) */
    bool chunked;
    int result;
    size_t frag; /* bytes per read of the serial line (0: all that is there) */
} HttpCase;

static const HttpCase kHttpCases[] = {
    {"empty200", 200, 0, 256, false, GSM_HttpClientSimcom_Result_Success, 0},
    {"small200", 200, 15, 256, false, GSM_HttpClientSimcom_Result_Success, 0},
    {"exactlyBuffer", 200, 64, 64, false, GSM_HttpClientSimcom_Result_Success, 0},
    {"largerThanBuffer", 200, 1000, 64, false, GSM_HttpClientSimcom_Result_Success, 0},
    {"severalModemBlocks", 200, 3000, 4096, false, GSM_HttpClientSimcom_Result_Success, 0},
    {"noBufferUsesFallback", 200, 100, 0, false, GSM_HttpClientSimcom_Result_Success, 0},
    {"notFound404", 404, 9, 256, false, GSM_HttpClientSimcom_Result_Success, 0},
    {"chunkedUnknownLength", 200, 700, 256, true, GSM_HttpClientSimcom_Result_Success, 0},
    {"networkError601", 601, 0, 256, false, GSM_HttpClientSimcom_Result_ModemError, 0},
    {"noNetwork717", 717, 0, 256, false, GSM_HttpClientSimcom_Result_ModemError, 0},
    {"networkError709", 709, 0, 256, false, GSM_HttpClientSimcom_Result_ModemError, 0},
    {"dnsError603", 603, 0, 256, false, GSM_HttpClientSimcom_Result_ModemError, 0},
    {"fragments1", 200, 600, 100, false, GSM_HttpClientSimcom_Result_Success, 1},
    {"fragments4", 200, 600, 100, false, GSM_HttpClientSimcom_Result_Success, 4},
    {"fragments7", 200, 600, 100, false, GSM_HttpClientSimcom_Result_Success, 7},
};

static void make_body(uint8_t* b, size_t n)
{
    static const char kPattern[] = "OK\r\n+CMTI: \"SM\",1\r\n\0ERROR\r\n>";
    size_t i;
    for (i = 0; i < n; i++)
    {
        b[i] = (uint8_t)(i % 7 == 6 ? (uint8_t)(i & 0xFF) : (uint8_t)kPattern[i % (sizeof kPattern - 1)]);
    }
}

FAMILY_TEST(httpGetDeliversBodyInChunks)
{
    size_t c;
    static uint8_t body[4000];
    for (c = 0; c < sizeof kHttpCases / sizeof kHttpCases[0]; c++)
    {
        const HttpCase* hc = &kHttpCases[c];
        NetHttpLog* log;
        size_t cap = hc->buffer ? hc->buffer : GSM_HTTPCLIENTSIMCOM_FALLBACK_SIZE;
        check_context("httpGetDeliversBodyInChunks/%s/%s/echo%d", hc->name, kFamilyNames[f], HARNESS_ECHO_ON);
        if ((hc->chunked || hc->status > 700) && kFamilies[f] == SIM_FAMILY_2G)
        {
            continue; /* the 2G service always announces the length and has no 7xx codes */
        }
        CHECK(start_connected(f, hc->buffer, 256));
        make_body(body, hc->body_len);
        sim_http_add(g_http, "http://example.com/x", hc->status, body, hc->body_len, 2000, hc->chunked);
        sim_set_fragment(g_sim, hc->frag);
        sim_tx_clear(g_sim);
        CHECK(gsmmgrHttpClientSimcomGet("http://example.com/x"));
        CHECK(gsmmgrHttpClientSimcomHttpOperationPending());
        CHECK(!gsmmgrHttpClientSimcomGet("http://example.com/x")); /* one request at a time */
        CHECK(harness_run_until(http_idle, 60000));
        log = net_http_log();
        CHECK_EQ_INT(log->lasts, 1);
        CHECK_EQ_INT(log->result, hc->result);
        CHECK_EQ_INT(log->status, hc->status);
        CHECK(log->offsets_ok);
        CHECK(log->null_data_ok);
        CHECK(log->max_chunk <= cap);
        if (hc->result == GSM_HttpClientSimcom_Result_Success)
        {
            CHECK_EQ_INT(log->body_len, hc->body_len);
            CHECK(memcmp(log->body, body, hc->body_len) == 0);
            CHECK(log->events >= (int)((hc->body_len + cap - 1) / cap));
        }
        else
        {
            CHECK_EQ_INT(log->body_len, 0);
            CHECK_EQ_INT(log->events, 1);
        }
        CHECK(net_support_guards_intact());
        CHECK_EQ_INT(harness_count_command("AT+HTTPINIT"), 1);
        CHECK(harness_find_command("AT+HTTPPARA=\"URL\",\"http://example.com/x\"", 0) > harness_find_command("AT+HTTPINIT", 0));
        CHECK_EQ_INT(harness_count_command("AT+HTTPACTION=0"), 1);
        CHECK_EQ_INT(harness_count_command("AT+HTTPPARA=\"CID\",1"), kFamilies[f] == SIM_FAMILY_2G ? 1 : 0);
        harness_poll(500);
        CHECK(!sim_http_initialised(g_http)); /* terminated after the request */
        CHECK(harness_find_command("AT+HTTPTERM", (size_t)harness_find_command("AT+HTTPACTION=0", 0)) > 0);
        /* the modem's "no network" results have the connection checked at once, no other result does */
        CHECK_EQ_INT(harness_find_command(kFamilies[f] == SIM_FAMILY_2G ? "AT+SAPBR=2,1" : "AT+NETOPEN?",
                                          (size_t)harness_find_command("AT+HTTPACTION=0", 0)) > 0,
                     hc->status == 601 || hc->status == 709 || hc->status == 717);
    }
}

FAMILY_TEST(httpPostSendsBodyAndContentTypeAndKeepsSessionWhenAsked)
{
    static char url2[] = "http://example.com/b";
    static char body[] = "{\"temp\":21.5,\"x\":1}";
    static char bigBody[8001];
    size_t len;
    const char* sent;
    char expected[40];
    CHECK(start_connected(f, 256, 256));
    sim_http_add(g_http, "http://example.com/api/data", 201, "OK", 2, 1000, false);
    sim_tx_clear(g_sim);
    CHECK(gsmmgrHttpClientSimcomPost("http://example.com/api/data", body));
    CHECK(harness_run_until(http_idle, 60000));
    CHECK_EQ_INT(net_http_log()->status, 201);
    CHECK_EQ_INT(net_http_log()->body_len, 2);
    CHECK_EQ_STR(sim_http_last_content_type(g_http), GSM_HTTPCLIENTSIMCOM_DEFAULT_CONTENT_TYPE);
    sent = sim_http_last_post(g_http, &len);
    CHECK_EQ_INT(len, strlen(body));
    CHECK(memcmp(sent, body, strlen(body)) == 0);
    /* the modem's input time covers the body at the UART (2G: 1 ms a byte and 10 s; LTE: 1 s a KiB and 30 s) */
    snprintf(expected, sizeof expected, "AT+HTTPDATA=%u,%s", (unsigned)strlen(body), kFamilies[f] == SIM_FAMILY_2G ? "10019" : "30");
    CHECK(harness_find_command(expected, 0) > 0);
    CHECK_EQ_INT(harness_count_command("AT+HTTPACTION=1"), 1);

    /* a set content type, and a body far larger than the transmit chunks, over a slow UART (4800 baud:
     * 16.7 s, more than a fixed 10 s input time) */
    memset(bigBody, 'a', sizeof bigBody - 1);
    bigBody[sizeof bigBody - 1] = '\0';
    net_http_log_clear();
    sim_tx_clear(g_sim);
    harness_set_baud(4800);
    gsmmgrHttpClientSimcomPostSetContentType("application/json");
    CHECK(gsmmgrHttpClientSimcomPost("http://example.com/api/data", bigBody));
    CHECK(harness_run_until(http_idle, 60000));
    harness_set_baud(0);
    CHECK_EQ_INT(net_http_log()->result, GSM_HttpClientSimcom_Result_Success);
    CHECK_EQ_STR(sim_http_last_content_type(g_http), "application/json");
    sent = sim_http_last_post(g_http, &len);
    CHECK_EQ_INT(len, sizeof bigBody - 1);
    CHECK(harness_find_command(kFamilies[f] == SIM_FAMILY_2G ? "AT+HTTPDATA=8000,18000" : "AT+HTTPDATA=8000,37", 0) >= 0);
    gsmmgrHttpClientSimcomPostSetContentType(NULL);

    /* the session is kept when asked: the next request starts from the result event without a new
     * AT+HTTPINIT */
    net_http_log_clear();
    sim_http_add(g_http, "http://example.com/a", 200, "A", 1, 500, false);
    sim_http_add(g_http, "http://example.com/b", 200, "BB", 2, 500, false);
    gsmmgrHttpClientSimcomHttpTermWhenDone(false);
    sim_tx_clear(g_sim);
    net_support_http_action_in_event(2, url2);
    CHECK(gsmmgrHttpClientSimcomGet("http://example.com/a"));
    harness_poll(100);
    CHECK(harness_run_until(http_idle, 30000));
    CHECK_EQ_INT(net_http_log()->lasts, 2);
    CHECK_EQ_INT(net_http_log()->body_len, 3);
    CHECK(memcmp(net_http_log()->body, "ABB", 3) == 0);
    CHECK_EQ_INT(harness_count_command("AT+HTTPINIT"), 1);
    CHECK(sim_http_initialised(g_http));

    /* in a kept session the modem still holds the last POST body: an empty POST starts a new session,
     * so that it posts nothing */
    net_http_log_clear();
    CHECK(gsmmgrHttpClientSimcomPost("http://example.com/a", body));
    CHECK(harness_run_until(http_idle, 30000));
    CHECK(gsmmgrHttpClientSimcomPost("http://example.com/a", ""));
    CHECK(harness_run_until(http_idle, 30000));
    CHECK_EQ_INT(net_http_log()->lasts, 2);
    CHECK_EQ_INT(net_http_log()->result, GSM_HttpClientSimcom_Result_Success);
    (void)sim_http_last_post(g_http, &len);
    CHECK_EQ_INT(len, 0);
    gsmmgrHttpClientSimcomHttpTermWhenDone(true);
}

/* A request that the modem does not finish ends with one result event naming why; the next request works. */
FAMILY_TEST(httpInterruptedRequestEndsWithItsResult)
{
    enum { SLOW, NONET, RESTART, LOST, CUT };
    static const uint8_t kLong[200] = {0};
    static const struct
    {
        const char* name;
        int fault;
        uint32_t delay_ms; /* of the answer */
        int result;
    } kCases[] = {{"timeout", SLOW, 200000, GSM_HttpClientSimcom_Result_Timeout},
                  {"noNetwork", NONET, 5000, GSM_HttpClientSimcom_Result_NoNetwork},
                  {"modemRestart", RESTART, 20000, GSM_HttpClientSimcom_Result_ModemRestart},
                  {"bodyBytesLost", LOST, 500, GSM_HttpClientSimcom_Result_Timeout},
                  /* the modem has 2 of the 4 bytes it announced: the last (empty) window says so */
                  {"bodyCutShort", CUT, 500, GSM_HttpClientSimcom_Result_BodyIncomplete}};
    size_t c;
    for (c = 0; c < sizeof kCases / sizeof kCases[0]; c++)
    {
        check_context("httpInterruptedRequestEndsWithItsResult/%s/%s/echo%d", kCases[c].name, kFamilyNames[f], HARNESS_ECHO_ON);
        CHECK(start_connected(f, 256, 256));
        /* the lost bytes: a whole block, so that it is still open at the time-out */
        sim_http_add(g_http, "http://example.com/x", 200, kCases[c].fault == LOST ? kLong : (const uint8_t*)"late",
                     kCases[c].fault == LOST ? sizeof kLong : 4, kCases[c].delay_ms, false);
        sim_http_add(g_http, "http://example.com/ok", 200, "fine", 4, 500, false);
        gsmmgrHttpClientSimcomSetTimeouts(kCases[c].fault == SLOW ? 10000 : 0, kCases[c].fault != NONET && kCases[c].fault != RESTART ? 5000 : 0);
        if (kCases[c].fault == LOST)
        {
            sim_http_lose_read_bytes(g_http, sizeof kLong); /* more than the answers of the commands that follow */
        }
        else if (kCases[c].fault == CUT)
        {
            sim_http_cut_next_body(g_http, 2);
        }
        CHECK(gsmmgrHttpClientSimcomGet("http://example.com/x"));
        CHECK(harness_run_until(gsmmgrHttpClientSimcomHttpOperationStarted, 10000));
        if (kCases[c].fault == NONET)
        {
            sim_http_nonet(g_http);
        }
        else if (kCases[c].fault == RESTART)
        {
            sim_reboot(g_sim);
        }
        CHECK(harness_run_until(http_idle, kCases[c].fault == NONET ? 2000 : kCases[c].fault == RESTART ? 60000 : 15000));
        CHECK_EQ_INT(net_http_log()->result, kCases[c].result);
        CHECK_EQ_INT(net_http_log()->lasts, 1);
        CHECK_EQ_INT(net_http_log()->body_len, kCases[c].fault == CUT ? 2 : 0);
        CHECK(harness_run_until(connected, 90000));
        net_http_log_clear();
        CHECK(gsmmgrHttpClientSimcomGet("http://example.com/ok"));
        CHECK(harness_run_until(http_idle, 60000));
        CHECK_EQ_INT(net_http_log()->result, GSM_HttpClientSimcom_Result_Success);
        CHECK_EQ_INT(net_http_log()->body_len, 4);
        gsmmgrHttpClientSimcomSetTimeouts(0, 0);
    }
}

/* Commands the modem answers late, but within its maximum response time (LTE: AT+HTTPINIT, AT+HTTPPARA
 * and AT+HTTPREAD up to 120 s; 2G: the settings up to 5 s, a read up to 10 s): the request succeeds. */
FAMILY_TEST(httpSlowAnswersWithinTheModemsMaximumSucceed)
{
    static const struct
    {
        const char* cmd;
        uint32_t lte_ms, g2_ms;
    } kCases[] = {{"INIT", 115000, 4500}, {"PARA", 115000, 4500}, {"READ", 115000, 9500}};
    size_t c;
    CHECK(start_connected(f, 256, 256));
    sim_http_add(g_http, "http://example.com/x", 200, "body", 4, 500, false);
    for (c = 0; c < sizeof kCases / sizeof kCases[0]; c++)
    {
        check_context("httpSlowAnswersWithinTheModemsMaximumSucceed/%s/%s/echo%d", kCases[c].cmd, kFamilyNames[f], HARNESS_ECHO_ON);
        net_http_log_clear();
        sim_http_delay_next(g_http, kCases[c].cmd, kFamilies[f] == SIM_FAMILY_2G ? kCases[c].g2_ms : kCases[c].lte_ms);
        CHECK(gsmmgrHttpClientSimcomGet("http://example.com/x"));
        CHECK(harness_run_until(http_idle, 150000));
        CHECK_EQ_INT(net_http_log()->lasts, 1);
        CHECK_EQ_INT(net_http_log()->result, GSM_HttpClientSimcom_Result_Success);
        CHECK_EQ_INT(net_http_log()->body_len, 4);
    }
}

/* The AT+HTTPTERM that closes a request gets no answer (the modem hung meanwhile): the modem may
 * still hold that session, so a request accepted meanwhile must not go on to AT+HTTPINIT as if it had
 * been closed. It ends as timed out, the session is terminated again, and the next request succeeds. */
FAMILY_TEST(unansweredClosingTermDoesNotStartTheNextRequest)
{
    CHECK(start_connected(f, 256, 256));
    sim_http_add(g_http, "http://example.com/x", 200, "body", 4, 500, false);
    CHECK(gsmmgrHttpClientSimcomGet("http://example.com/x"));
    CHECK(harness_run_until(http_idle, 30000));
    CHECK_EQ_INT(net_http_log()->result, GSM_HttpClientSimcom_Result_Success);
    sim_set_hung(g_sim, true); /* the closing AT+HTTPTERM is lost */
    harness_poll(1000);
    sim_set_hung(g_sim, false);
    net_http_log_clear();
    CHECK(gsmmgrHttpClientSimcomGet("http://example.com/x"));
    CHECK(harness_run_until(http_idle, 300000));
    CHECK_EQ_INT(net_http_log()->lasts, 1);
    CHECK_EQ_INT(net_http_log()->result, GSM_HttpClientSimcom_Result_Timeout);
    net_http_log_clear();
    CHECK(gsmmgrHttpClientSimcomGet("http://example.com/x"));
    CHECK(harness_run_until(http_idle, 60000));
    CHECK_EQ_INT(net_http_log()->result, GSM_HttpClientSimcom_Result_Success);
    CHECK_EQ_INT(net_http_log()->body_len, 4);
}

static long s_cancel_at;
static const char* s_data_command = "AT+HTTPDATA=";

/* Data bytes written after the s_data_command command line since the last sim_tx_clear; -1 before
 * that line is complete. */
static long upload_written(void)
{
    size_t len;
    const char* tx = sim_tx(g_sim, &len);
    const char* cmd = strstr(tx, s_data_command);
    const char* cr = cmd != NULL ? strchr(cmd, '\r') : NULL;
    return cr != NULL ? (long)(len - (size_t)(cr + 1 - tx)) : -1;
}

static bool upload_at_cancel_point(void) { return upload_written() >= s_cancel_at; }

/* Requests are refused without a connection and with missing arguments; a cancel stops the events
 * and terminates the session, also from inside the request's own body event and while a POST body
 * goes to the modem (which takes the exact count of bytes it announced, ESC included). A loss of the
 * network during the upload ends the request the same way, with its NoNetwork event. */
FAMILY_TEST(httpCancelStopsEventsAndTerminates)
{
    /* ends of an upload: bytes of the body written (0: the command only, before DOWNLOAD), and whether
     * the network is lost there instead of a cancel */
    static const struct
    {
        const char* name;
        long at;
        bool nonet;
    } kUploadCancels[] = {{"beforeDownload", 0, false}, {"midBody", 1000, false}, {"noNetworkMidBody", 1000, true}};
    static char upload[2001];
    size_t c;
    start(f, "internet", "internet", 256, 256);
    CHECK(!gsmmgrHttpClientSimcomGet("http://example.com/x"));
    CHECK(harness_run_until(connected, 60000));
    CHECK(!gsmmgrHttpClientSimcomGet(NULL));
    CHECK(!gsmmgrHttpClientSimcomGet(""));
    CHECK(!gsmmgrHttpClientSimcomPost("http://example.com/x", NULL));
    CHECK(!gsmmgrHttpClientSimcomHttpOperationPending());
    sim_http_add(g_http, "http://example.com/x", 200, "body", 4, 3000, false);
    CHECK(!gsmmgrHttpClientSimcomCancel()); /* nothing pending */
    CHECK(gsmmgrHttpClientSimcomGet("http://example.com/x"));
    CHECK(harness_run_until(gsmmgrHttpClientSimcomHttpOperationStarted, 10000));
    CHECK(gsmmgrHttpClientSimcomCancel());
    CHECK(!gsmmgrHttpClientSimcomHttpOperationPending());
    harness_poll(6000);
    CHECK_EQ_INT(net_http_log()->events, 0);
    CHECK(!sim_http_initialised(g_http));
    CHECK(gsmmgrHttpClientSimcomGet("http://example.com/x"));
    CHECK(harness_run_until(http_idle, 30000));
    CHECK_EQ_INT(net_http_log()->lasts, 1);
    CHECK_EQ_INT(net_http_log()->body_len, 4);

    /* cancelled from inside its own (first, not last) body event */
    net_http_log_clear();
    sim_http_add(g_http, "http://example.com/big", 200, "0123456789012345678901234567890123456789", 40, 500, false);
    mGsmHttpClientSimcomInst.BodyBufferSize = 16;
    net_support_http_action_in_event(1, NULL);
    CHECK(gsmmgrHttpClientSimcomGet("http://example.com/big"));
    CHECK(harness_run_until(http_idle, 30000));
    harness_poll(3000);
    CHECK_EQ_INT(net_http_log()->events, 1);
    CHECK(gsmmgrHttpClientSimcomGet("http://example.com/x")); /* usable again */
    CHECK(harness_run_until(http_idle, 30000));
    CHECK_EQ_INT(net_http_log()->lasts, 1);

    /* ... and another request started there: it runs whole, and nothing of the cancelled one follows */
    {
        int actions = sim_http_actions(g_http);
        static char url_x[] = "http://example.com/x";
        net_http_log_clear();
        sim_tx_clear(g_sim);
        net_support_http_action_in_event(3, url_x);
        CHECK(gsmmgrHttpClientSimcomGet("http://example.com/big"));
        CHECK(harness_run_until(http_idle, 30000));
        harness_poll(3000);
        CHECK(net_http_log()->get_in_event);
        CHECK_EQ_INT(sim_http_actions(g_http) - actions, 2);
        CHECK(harness_find_command("AT+HTTPPARA=\"URL\",\"http://example.com/x\"", 0) >= 0);
        CHECK_EQ_INT(net_http_log()->lasts, 1);
        CHECK_EQ_INT(net_http_log()->result, GSM_HttpClientSimcom_Result_Success);
        CHECK_EQ_INT(net_http_log()->body_len, 16 + 4);
        CHECK(memcmp(net_http_log()->body, "0123456789012345body", 20) == 0);
    }

    /* cancelled during the upload, and the next request started at once: it runs without delay, and
     * the cancelled one raises no event and never reaches AT+HTTPACTION */
    memset(upload, 'u', sizeof upload - 1);
    sim_http_add(g_http, "http://example.com/next", 200, "next", 4, 200, false);
    for (c = 0; c < sizeof kUploadCancels / sizeof kUploadCancels[0]; c++)
    {
        check_context("httpCancelStopsEventsAndTerminates/%s/%s/echo%d", kUploadCancels[c].name, kFamilyNames[f], HARNESS_ECHO_ON);
        net_http_log_clear();
        sim_tx_clear(g_sim);
        s_cancel_at = kUploadCancels[c].at;
        CHECK(gsmmgrHttpClientSimcomPost("http://example.com/p", upload));
        CHECK(harness_run_until(upload_at_cancel_point, 10000));
        CHECK(upload_written() < (long)strlen(upload));
        if (kUploadCancels[c].nonet)
        {
            sim_http_nonet(g_http);
            CHECK(harness_run_until(http_idle, 1000));
            CHECK_EQ_INT(net_http_log()->events, 1);
            CHECK_EQ_INT(net_http_log()->result, GSM_HttpClientSimcom_Result_NoNetwork);
            net_http_log_clear();
            CHECK(harness_run_until(connected, 60000));
        }
        else
        {
            CHECK(gsmmgrHttpClientSimcomCancel());
        }
        CHECK(gsmmgrHttpClientSimcomGet("http://example.com/next"));
        CHECK(harness_run_until(http_idle, 3000));
        CHECK_EQ_INT(net_http_log()->events, 1);
        CHECK_EQ_INT(net_http_log()->result, GSM_HttpClientSimcom_Result_Success);
        CHECK_EQ_INT(net_http_log()->body_len, 4);
        CHECK_EQ_INT(harness_count_command("AT+HTTPACTION=1"), 0);
    }
}

/* A command the modem refuses ends the request with CommandError; the next request works. */
FAMILY_TEST(httpRefusedCommandsEndTheRequest)
{
    /* "READ after OK": ERROR after the OK of the read; "READ error line": LTE-A's "+HTTPREAD: <err>" */
    static const char* const kCmds[] = {"INIT", "PARA", "DATA", "ACTION", "READ", "READ after OK", "READ error line"};
    static char body[] = "k=v";
    size_t c;
    CHECK(start_connected(f, 256, 256));
    sim_http_add(g_http, "http://example.com/p", 200, "done", 4, 500, false);
    for (c = 0; c < sizeof kCmds / sizeof kCmds[0]; c++)
    {
        check_context("httpRefusedCommandsEndTheRequest/%s/%s/echo%d", kCmds[c], kFamilyNames[f], HARNESS_ECHO_ON);
        net_http_log_clear();
        if (strncmp(kCmds[c], "READ ", 5) == 0)
        {
            sim_http_fail_next_read_after_ok(g_http, kCmds[c][5] == 'e' ? 705 : 0);
        }
        else
        {
            sim_http_fail_next(g_http, kCmds[c]);
        }
        CHECK(gsmmgrHttpClientSimcomPost("http://example.com/p", body));
        CHECK(harness_run_until(http_idle, 10000)); /* at once, not after a read time-out */
        CHECK_EQ_INT(net_http_log()->lasts, 1);
        CHECK_EQ_INT(net_http_log()->result, GSM_HttpClientSimcom_Result_CommandError);
        CHECK_EQ_INT(net_http_log()->body_len, 0);
        harness_poll(1000);
        CHECK(!sim_http_initialised(g_http)); /* the session was terminated */
        net_http_log_clear();
        CHECK(gsmmgrHttpClientSimcomPost("http://example.com/p", body));
        CHECK(harness_run_until(http_idle, 60000));
        CHECK_EQ_INT(net_http_log()->result, GSM_HttpClientSimcom_Result_Success);
        CHECK_EQ_INT(net_http_log()->body_len, 4);
    }
}

/* Texts with a byte that would end a quoted parameter ('"') or the command line (CR, LF, any byte
 * below 0x20), where the rest would run as a command of its own. */
static const char* const kUnquotable[] = {"\rAT+CFUN=0\r", "\n", "\"", "\x1f", "\x01"};

/* The number of commands the modem received since the last sim_tx_clear that contain `text`. */
static int commands_containing(const char* text)
{
    int n = 0;
    size_t i;
    for (i = 0; i < sim_command_count(g_sim); i++)
    {
        n += strstr(sim_command(g_sim, i), text) != NULL;
    }
    return n;
}

/* A URL or content type that cannot stand between the quotes of AT+HTTPPARA is refused (the call
 * returns false and nothing goes to the modem); bytes from the space on pass as they are. */
FAMILY_TEST(httpUnquotableUrlOrContentTypeIsRefused)
{
    static char good[] = "http://example.com/caf\xc3\xa9 ok";
    static char body[] = "k=v";
    char text[64];
    size_t c;
    CHECK(start_connected(f, 256, 256));
    sim_http_add(g_http, good, 200, "done", 4, 500, false);
    for (c = 0; c < sizeof kUnquotable / sizeof kUnquotable[0]; c++)
    {
        check_context("httpUnquotableUrlOrContentTypeIsRefused/%zu/%s/echo%d", c, kFamilyNames[f], HARNESS_ECHO_ON);
        sim_tx_clear(g_sim);
        snprintf(text, sizeof text, "http://example.com/x%sy", kUnquotable[c]);
        CHECK(!gsmmgrHttpClientSimcomGet(text));
        CHECK(!gsmmgrHttpClientSimcomPost(text, body));
        snprintf(text, sizeof text, "text/plain%s", kUnquotable[c]);
        gsmmgrHttpClientSimcomPostSetContentType(text);
        CHECK(!gsmmgrHttpClientSimcomPost(good, body));
        harness_poll(1000);
        CHECK_EQ_INT(sim_command_count(g_sim), 0);
        /* the content type is not the GET's business */
        CHECK(gsmmgrHttpClientSimcomGet(good));
        CHECK(harness_run_until(http_idle, 30000));
        harness_poll(3000); /* the session is terminated after the request */
        gsmmgrHttpClientSimcomPostSetContentType(NULL);
    }
    net_http_log_clear();
    sim_tx_clear(g_sim);
    CHECK(gsmmgrHttpClientSimcomPost(good, body));
    CHECK(harness_run_until(http_idle, 30000));
    CHECK_EQ_INT(net_http_log()->result, GSM_HttpClientSimcom_Result_Success);
    CHECK_EQ_INT(commands_containing("\"URL\",\"http://example.com/caf\xc3\xa9 ok\""), 1);
    CHECK_EQ_INT(commands_containing("AT+CFUN"), 0);
}

#if NET_WITH_MQTT
/* ---- MQTT --------------------------------------------------------------------------------------- */

static GSM_MqttClientSimcom_Connect_Session g_session;

static bool mqtt_connected(void) { return gsmmgrMqttClientServerConnectionState() == GSM_MQTT_ServerStatus_Connected; }
static bool mqtt_disconnected(void) { return gsmmgrMqttClientServerConnectionState() == GSM_MQTT_ServerStatus_Disconnected; }
static bool mqtt_message(void) { return net_mqtt_log()->messages > 0; }

static bool mqtt_event_seen(int type)
{
    return harness_find_event("MQTT", type, 0) >= 0;
}

static bool wait_event(int type, uint32_t ms) { return harness_wait_event("MQTT", type, ms); }

/* The default session with client id and broker, events cleared. */
static void mqtt_session(void)
{
    gsmmgrMqttClientSimcomInitConfigDefault(&g_session);
    g_session.ClientId = "velkor-01";
    g_session.ServerAddress = "tcp://broker.example.com:1883";
    harness_events_clear();
}

/* Connects the session (again) and waits for its success. */
static bool mqtt_connect(void)
{
    harness_events_clear();
    return gsmmgrMqttClientSimcomConnect(&g_session) && wait_event(GSM_MqttClientSimcom_EventType_ConnectSuccess, 30000);
}

static bool mqtt_start(int f, size_t rx_buf)
{
    if (!start_connected(f, 256, rx_buf))
    {
        return false;
    }
    mqtt_session();
    return mqtt_connect();
}

FAMILY_TEST(mqttPublishSubscribeRoundTrip)
{
    GSM_MqttClientSimcom_Publish_Parameters p;
    CHECK(start_connected(f, 256, 256));
    sim_mqtt_require_credentials(g_mqtt, "user", "secret");
    if (kFamilies[f] == SIM_FAMILY_LTE_A)
    {
        /* the broker speaks MQTT 3.1.1 only; LTE-Q answers ERROR to the version setting, which is ignored */
        sim_mqtt_require_version(g_mqtt, 4);
    }
    gsmmgrMqttClientSimcomInitConfigDefault(&g_session); /* keep-alive 60 s, clean session: see AT+CMQTTCONNECT */
    g_session.ClientId = "velkor-01";
    g_session.ServerAddress = "tcp://broker.example.com:1883";
    g_session.UserName = "user";
    g_session.Password = "secret";
    g_session.WillTopic = "dev/status";
    g_session.WillMessage = "offline";
    g_session.WillQoS = 1;
    sim_tx_clear(g_sim);
    harness_events_clear();
    CHECK(gsmmgrMqttClientSimcomConnect(&g_session));
    CHECK(!gsmmgrMqttClientSimcomConnect(&g_session));
    CHECK_EQ_INT(gsmmgrMqttClientServerConnectionState(), GSM_MQTT_ServerStatus_Connecting);
    CHECK(harness_run_until(mqtt_connected, 30000));
    CHECK(mqtt_event_seen(GSM_MqttClientSimcom_EventType_ConnectSuccess));
    {
        static const char* const kConnect[] = {"AT+CMQTTSTART", "AT+CMQTTACCQ=0,\"velkor-01\"", "AT+CMQTTCFG=\"version\",0,4",
                                               "AT+CMQTTWILLTOPIC=0,10", "AT+CMQTTWILLMSG=0,7,1",
                                               "AT+CMQTTCONNECT=0,\"tcp://broker.example.com:1883\",60,1,\"user\",\"secret\"", NULL};
        check_group("AT+CMQTT", kConnect);
    }
    CHECK_EQ_INT(sim_mqtt_version(g_mqtt), kFamilies[f] == SIM_FAMILY_LTE_A ? 4 : 3);
    CHECK_EQ_STR(sim_mqtt_will_topic(g_mqtt), "dev/status");
    CHECK_EQ_STR(sim_mqtt_will_message(g_mqtt), "offline");

    CHECK(gsmmgrMqttClientSimcomSubscribe("dev/1/#", 1));
    CHECK(!gsmmgrMqttClientSimcomSubscribe("dev/2", 1)); /* one pending subscribe */
    CHECK(wait_event(GSM_MqttClientSimcom_EventType_SubscribeSuccess, 30000));
    CHECK_EQ_INT(sim_mqtt_subscription_count(g_mqtt), 1);
    CHECK(harness_find_command("AT+CMQTTSUB=0,7,1", 0) >= 0);

    p.Topic = "dev/1/state";
    p.Message = "{\"temp\":21.5}";
    p.MessageLength = 0;
    p.QoS = 2;
    p.Retain = true;
    p.Timeout_s = 30;
    CHECK(gsmmgrMqttClientSimcomPublishEx(&p));
    CHECK(wait_event(GSM_MqttClientSimcom_EventType_PublishSuccess, 30000));
    CHECK(harness_find_command("AT+CMQTTTOPIC=0,11", 0) >= 0);
    CHECK(harness_find_command("AT+CMQTTPAYLOAD=0,13", 0) >= 0);
    CHECK(harness_find_command("AT+CMQTTPUB=0,2,30,1", 0) >= 0);
    CHECK_EQ_INT(sim_mqtt_published_count(g_mqtt), 1);
    CHECK_EQ_STR(sim_mqtt_published_topic(g_mqtt, 0), "dev/1/state");

    /* the broker sends our own message back: topic, then payload, then the end */
    CHECK(harness_run_until(mqtt_message, 10000));
    CHECK_EQ_STR(net_mqtt_log()->topic, "dev/1/state");
    CHECK_EQ_INT(net_mqtt_log()->payload_len, 13);
    CHECK(memcmp(net_mqtt_log()->payload, "{\"temp\":21.5}", 13) == 0);
    CHECK(net_mqtt_log()->order_ok);
    {
        long t = harness_find_event("MQTT", GSM_MqttClientSimcom_EventType_MsgRxTopic, 0);
        long p2 = harness_find_event("MQTT", GSM_MqttClientSimcom_EventType_MsgRxPayload, 0);
        long e = harness_find_event("MQTT", GSM_MqttClientSimcom_EventType_MsgRxEnd, 0);
        CHECK(t >= 0 && p2 > t && e > p2);
    }

    CHECK(gsmmgrMqttClientSimcomUnsubscribe("dev/1/#"));
    CHECK(wait_event(GSM_MqttClientSimcom_EventType_UnsubscribeSuccess, 30000));
    CHECK_EQ_INT(sim_mqtt_subscription_count(g_mqtt), 0);
    CHECK(harness_find_command("AT+CMQTTUNSUB=0,7,0", 0) >= 0);

    sim_tx_clear(g_sim);
    CHECK(gsmmgrMqttClientSimcomDisconnect());
    CHECK(harness_run_until(mqtt_disconnected, 30000));
    CHECK(mqtt_event_seen(GSM_MqttClientSimcom_EventType_DisconnectSuccess));
    {
        static const char* const kDisc[] = {"AT+CMQTTDISC=0,120", "AT+CMQTTREL=0", "AT+CMQTTSTOP", NULL};
        check_group("AT+CMQTT", kDisc);
    }
    CHECK(!sim_mqtt_started(g_mqtt));
    CHECK(!gsmmgrMqttClientSimcomPublish("a", "b")); /* not connected */
}

/* Large and binary payloads arrive in chunks no larger than the receive buffer. */
FAMILY_TEST(mqttLargePayloadArrivesInChunks)
{
    static uint8_t payload[5000];
    static const struct
    {
        size_t rx;
        size_t part;
        size_t len;
        size_t frag; /* bytes per read of the serial line (0: all that is there) */
    } kCases[] = {{64, 1500, 5000, 0}, {0, 1000, 300, 0}, {256, 7, 256, 0}, {32, 1500, 0, 0}, {48, 100, 700, 3}, {16, 1500, 90, 1}};
    size_t c;
    for (c = 0; c < sizeof kCases / sizeof kCases[0]; c++)
    {
        size_t cap = kCases[c].rx ? kCases[c].rx : GSM_MQTTCLIENTSIMCOM_FALLBACK_SIZE;
        check_context("mqttLargePayloadArrivesInChunks/%zu/%s/echo%d", c, kFamilyNames[f], HARNESS_ECHO_ON);
        CHECK(mqtt_start(f, kCases[c].rx));
        CHECK(gsmmgrMqttClientSimcomSubscribe("sensors/+/raw", 0));
        CHECK(wait_event(GSM_MqttClientSimcom_EventType_SubscribeSuccess, 30000));
        make_body(payload, kCases[c].len);
        sim_mqtt_set_part_size(g_mqtt, kCases[c].part);
        net_mqtt_log_clear();
        sim_set_fragment(g_sim, kCases[c].frag);
        sim_mqtt_inject_message(g_mqtt, "sensors/outdoor-north-east-corner/raw", payload, kCases[c].len);
        CHECK(harness_run_until(mqtt_message, 20000));
        CHECK_EQ_STR(net_mqtt_log()->topic, "sensors/outdoor-north-east-corner/raw");
        CHECK_EQ_INT(net_mqtt_log()->payload_len, kCases[c].len);
        CHECK(memcmp(net_mqtt_log()->payload, payload, kCases[c].len) == 0);
        CHECK(net_mqtt_log()->order_ok);
        CHECK(net_mqtt_log()->max_chunk <= cap);
        CHECK(net_support_guards_intact());
        /* the prompt is still in step with the modem afterwards */
        CHECK(gsmmgrMqttClientSimcomPublish("x/y", "z"));
        CHECK(wait_event(GSM_MqttClientSimcom_EventType_PublishSuccess, 30000));
    }
}

static bool pub_sent(void) { return harness_find_command("AT+CMQTTPUB=0,0,60,0", 0) >= 0; }

/* On one session: a retained message arrives on subscribing; an empty message is refused (the modem
 * takes payloads of 1..10240 bytes), and an empty one that arrives gives the topic and the end; a
 * message that arrives between the OK of AT+CMQTTPUB and its result line is delivered whole before the
 * publish succeeds. */
FAMILY_TEST(mqttMessagesAroundPublishing)
{
    GSM_MqttClientSimcom_Publish_Parameters p = {"cfg/interval", "60", 0, 1, true, 0};
    CHECK(mqtt_start(f, 256));
    CHECK(gsmmgrMqttClientSimcomPublishEx(&p));
    CHECK(wait_event(GSM_MqttClientSimcom_EventType_PublishSuccess, 30000));
    CHECK(harness_find_command("AT+CMQTTPUB=0,1,60,1", 0) >= 0);
    CHECK_EQ_INT(net_mqtt_log()->messages, 0);
    CHECK(gsmmgrMqttClientSimcomSubscribe("cfg/#", 1));
    CHECK(harness_run_until(mqtt_message, 10000));
    CHECK_EQ_STR(net_mqtt_log()->topic, "cfg/interval");
    CHECK_EQ_INT(net_mqtt_log()->payload_len, 2);

    CHECK(wait_event(GSM_MqttClientSimcom_EventType_SubscribeSuccess, 30000));
    CHECK(gsmmgrMqttClientSimcomSubscribe("e/#", 0));
    harness_events_clear();
    CHECK(wait_event(GSM_MqttClientSimcom_EventType_SubscribeSuccess, 30000));
    sim_tx_clear(g_sim);
    net_mqtt_log_clear();
    CHECK(!gsmmgrMqttClientSimcomPublish("e/1", ""));
    p.Topic = "e/1";
    p.Message = "";
    CHECK(!gsmmgrMqttClientSimcomPublishEx(&p));
    harness_poll(1000);
    CHECK_EQ_INT(sim_command_count(g_sim), 0);
    CHECK_EQ_INT(sim_mqtt_published_count(g_mqtt), 1);
    sim_mqtt_inject_message(g_mqtt, "e/1", "", 0);
    CHECK(harness_run_until(mqtt_message, 10000));
    CHECK_EQ_STR(net_mqtt_log()->topic, "e/1");
    CHECK_EQ_INT(net_mqtt_log()->payload_len, 0);
    CHECK(!mqtt_event_seen(GSM_MqttClientSimcom_EventType_MsgRxPayloadError));

    sim_mqtt_set_result_delay(g_mqtt, 3000);
    sim_tx_clear(g_sim);
    harness_events_clear();
    net_mqtt_log_clear();
    CHECK(gsmmgrMqttClientSimcomPublish("out/x", "ping"));
    CHECK(harness_run_until(pub_sent, 10000));
    harness_poll(500);
    sim_mqtt_inject_message(g_mqtt, "e/y", "OK\r\n+CMQTTPUB: 0,0\r\n", 20);
    CHECK(harness_run_until(mqtt_message, 2000));
    CHECK(!mqtt_event_seen(GSM_MqttClientSimcom_EventType_PublishSuccess));
    CHECK(wait_event(GSM_MqttClientSimcom_EventType_PublishSuccess, 10000));
    CHECK_EQ_STR(net_mqtt_log()->topic, "e/y");
    CHECK_EQ_INT(net_mqtt_log()->payload_len, 20);
    CHECK(memcmp(net_mqtt_log()->payload, "OK\r\n+CMQTTPUB: 0,0\r\n", 20) == 0);
    CHECK(harness_find_event("MQTT", GSM_MqttClientSimcom_EventType_MsgRxEnd, 0) <
          harness_find_event("MQTT", GSM_MqttClientSimcom_EventType_PublishSuccess, 0));
}

/* Session texts that cannot stand between the quotes of AT+CMQTTACCQ / AT+CMQTTCONNECT are refused,
 * as are lengths outside what the modem takes (client id 1..128, server 9..256, user name and password
 * 1..256 when given): the connect returns false and nothing goes to the modem. Bytes from the space on
 * pass as they are. */
FAMILY_TEST(mqttUnquotableOrEmptySessionTextsAreRefused)
{
    enum { ID, SERVER, USER, PASSWORD };
    static char text[300];
    static const struct
    {
        int field;
        const char* value; /* NULL: one of kUnquotable inside a valid text */
        size_t repeat;     /* > 0: that many 'a' after the value */
    } kCases[] = {
        {ID, NULL, 0},         {SERVER, NULL, 0},        {USER, NULL, 0},  {PASSWORD, NULL, 0}, {ID, "", 129},
        {SERVER, "tcp://a:", 0}, {SERVER, "tcp://a:", 249}, {USER, "", 0}, {PASSWORD, "", 0},   {USER, "", 257},
        {PASSWORD, "", 257},
    };
    size_t c, k;
    CHECK(start_connected(f, 256, 256));
    for (c = 0; c < sizeof kCases / sizeof kCases[0]; c++)
    {
        for (k = 0; k < (kCases[c].value == NULL ? sizeof kUnquotable / sizeof kUnquotable[0] : 1u); k++)
        {
            char** fields[] = {&g_session.ClientId, &g_session.ServerAddress, &g_session.UserName, &g_session.Password};
            check_context("mqttUnquotableOrEmptySessionTextsAreRefused/%zu/%zu/%s/echo%d", c, k, kFamilyNames[f], HARNESS_ECHO_ON);
            mqtt_session();
            g_session.UserName = "user";
            g_session.Password = "secret";
            if (kCases[c].value == NULL)
            {
                snprintf(text, sizeof text, "%s%sx", *fields[kCases[c].field], kUnquotable[k]);
            }
            else
            {
                size_t n = strlen(kCases[c].value);
                memcpy(text, kCases[c].value, n);
                memset(text + n, 'a', kCases[c].repeat);
                text[n + kCases[c].repeat] = '\0';
            }
            *fields[kCases[c].field] = text;
            sim_tx_clear(g_sim);
            CHECK(!gsmmgrMqttClientSimcomConnect(&g_session));
            harness_poll(500);
            CHECK_EQ_INT(sim_command_count(g_sim), 0);
        }
    }
    check_context("mqttUnquotableOrEmptySessionTextsAreRefused/valid/%s/echo%d", kFamilyNames[f], HARNESS_ECHO_ON);
    mqtt_session();
    g_session.UserName = "my user";
    g_session.Password = "p\xc3\xa4ss word";
    sim_mqtt_require_credentials(g_mqtt, "my user", "p\xc3\xa4ss word");
    CHECK(mqtt_connect());
    CHECK_EQ_INT(commands_containing(",\"my user\",\"p\xc3\xa4ss word\""), 1);
}

/* Topics up to the modem's 1024 bytes make the whole round trip: subscribe, publish, and the message
 * the broker sends back, also when the modem splits the topic into parts. */
FAMILY_TEST(mqttLongTopicsMakeTheRoundTrip)
{
    static const struct
    {
        size_t len;
        size_t part; /* size of the modem's +CMQTTRXTOPIC parts */
    } kCases[] = {{600, 1500}, {1024, 300}};
    static char topic[1025];
    char cmd[32];
    size_t c, i;
    for (c = 0; c < sizeof kCases / sizeof kCases[0]; c++)
    {
        size_t len = kCases[c].len;
        check_context("mqttLongTopicsMakeTheRoundTrip/%zu/%s/echo%d", len, kFamilyNames[f], HARNESS_ECHO_ON);
        for (i = 0; i < len; i++)
        {
            topic[i] = (i % 16 == 15) ? '/' : (char)('a' + (i * 7) % 26);
        }
        topic[len] = '\0';
        CHECK(mqtt_start(f, 256));
        sim_mqtt_set_part_size(g_mqtt, kCases[c].part);
        CHECK(gsmmgrMqttClientSimcomSubscribe(topic, 1));
        CHECK(wait_event(GSM_MqttClientSimcom_EventType_SubscribeSuccess, 30000));
        CHECK(gsmmgrMqttClientSimcomPublish(topic, "long"));
        CHECK(wait_event(GSM_MqttClientSimcom_EventType_PublishSuccess, 30000));
        snprintf(cmd, sizeof cmd, "AT+CMQTTTOPIC=0,%zu", len);
        CHECK(harness_find_command(cmd, 0) >= 0);
        CHECK_EQ_INT(sim_mqtt_published_topic_length(g_mqtt, 0), len);
        CHECK(sim_mqtt_published_count(g_mqtt) == 1 && memcmp(sim_mqtt_published_topic(g_mqtt, 0), topic, len) == 0);
        CHECK(harness_run_until(mqtt_message, 10000));
        CHECK_EQ_INT(net_mqtt_log()->topic_len, len);
        CHECK(memcmp(net_mqtt_log()->topic, topic, len) == 0);
        CHECK_EQ_INT(net_mqtt_log()->payload_len, 4);
        CHECK(net_mqtt_log()->order_ok);
    }
}

typedef struct MqttFailCase
{
    const char* name;
    const char* cmd;  /* failing command */
    int code;
    bool before_ok;
    int operation;
    uint32_t delay_ms; /* of the result lines (0: the simulator's default) */
} MqttFailCase;

static const MqttFailCase kMqttFails[] = {
    {"connectDnsError", "CONNECT", 25, false, GSM_MqttClientSimcom_Operation_Connect, 0},
    {"connectRefusedResultFirst", "CONNECT", 30, true, GSM_MqttClientSimcom_Operation_Connect, 0},
    /* the OK / ERROR after the result line comes once the modem is done: later than a plain OK */
    {"connectRefusedLateResultFirst", "CONNECT", 30, true, GSM_MqttClientSimcom_Operation_Connect, 20000},
    {"startFails", "START", 1, false, GSM_MqttClientSimcom_Operation_Connect, 0},
    {"subscribeFails", "SUB", 14, false, GSM_MqttClientSimcom_Operation_Subscribe, 0},
    {"subscribeRefusedInPlaceOfPrompt", "SUB", 11, true, GSM_MqttClientSimcom_Operation_Subscribe, 0},
    {"publishTopicRefusedInPlaceOfPrompt", "TOPIC", 22, true, GSM_MqttClientSimcom_Operation_Publish, 0},
    {"publishTimeout", "PUB", 17, false, GSM_MqttClientSimcom_Operation_Publish, 0},
    {"publishTimeoutResultFirst", "PUB", 17, true, GSM_MqttClientSimcom_Operation_Publish, 0},
    {"unsubscribeFails", "UNSUB", 11, false, GSM_MqttClientSimcom_Operation_Unsubscribe, 0},
};

FAMILY_TEST(mqttFailuresAreErrorResponses)
{
    size_t c;
    for (c = 0; c < sizeof kMqttFails / sizeof kMqttFails[0]; c++)
    {
        const MqttFailCase* fc = &kMqttFails[c];
        bool connect_fail = fc->operation == GSM_MqttClientSimcom_Operation_Connect;
        check_context("mqttFailuresAreErrorResponses/%s/%s/echo%d", fc->name, kFamilyNames[f], HARNESS_ECHO_ON);
        CHECK(start_connected(f, 256, 256));
        sim_mqtt_results_before_ok(g_mqtt, fc->before_ok);
        if (fc->delay_ms != 0)
        {
            sim_mqtt_set_result_delay(g_mqtt, fc->delay_ms);
        }
        mqtt_session();
        if (connect_fail)
        {
            sim_mqtt_fail_next(g_mqtt, fc->cmd, fc->code);
        }
        CHECK(gsmmgrMqttClientSimcomConnect(&g_session));
        if (!connect_fail)
        {
            CHECK(wait_event(GSM_MqttClientSimcom_EventType_ConnectSuccess, 30000));
            sim_mqtt_fail_next(g_mqtt, fc->cmd, fc->code);
            if (fc->operation == GSM_MqttClientSimcom_Operation_Subscribe)
            {
                CHECK(gsmmgrMqttClientSimcomSubscribe("a/b", 1));
            }
            else if (fc->operation == GSM_MqttClientSimcom_Operation_Unsubscribe)
            {
                CHECK(gsmmgrMqttClientSimcomUnsubscribe("a/b"));
            }
            else
            {
                CHECK(gsmmgrMqttClientSimcomPublish("a/b", "c"));
            }
        }
        CHECK(wait_event(GSM_MqttClientSimcom_EventType_ErrorResponse, 60000));
        CHECK_EQ_INT(net_mqtt_log()->last_error_operation, fc->operation);
        CHECK_EQ_INT(net_mqtt_log()->last_error_code, fc->code);
        CHECK_EQ_INT(gsmmgrMqttClientServerConnectionState(),
                     connect_fail ? GSM_MQTT_ServerStatus_Disconnected : GSM_MQTT_ServerStatus_Connected);
        if (connect_fail)
        {
            /* a second attempt works (the service is restarted first) */
            sim_mqtt_set_result_delay(g_mqtt, 300);
            CHECK(mqtt_connect());
        }
    }
}

static bool connect_sent(void) { return harness_find_command("AT+CMQTTCONNECT=0,\"tcp://broker.example.com:1883\",60,1", 0) >= 0; }

/* A connect before the packet data connection is up reports NoNetwork; invalid sessions are refused;
 * a connect after a disconnect that did not finish its work clears what the modem still holds. */
FAMILY_TEST(mqttConnectWithoutNetworkReportsNoNetwork)
{
    start(f, "internet", "internet", 256, 256);
    mqtt_session();
    CHECK(gsmmgrMqttClientSimcomConnect(&g_session));
    CHECK(wait_event(GSM_MqttClientSimcom_EventType_NoNetwork, 1000));
    CHECK_EQ_INT(gsmmgrMqttClientServerConnectionState(), GSM_MQTT_ServerStatus_Disconnected);
    /* invalid sessions are refused */
    g_session.ClientId = NULL;
    CHECK(!gsmmgrMqttClientSimcomConnect(&g_session));
    g_session.ClientId = "id";
    g_session.UserName = NULL;
    g_session.Password = "pw";
    CHECK(!gsmmgrMqttClientSimcomConnect(&g_session));
    g_session.UserName = "user";
    g_session.KeepAlive_s = 64801; /* AT+CMQTTCONNECT takes 1..64800 s */
    CHECK(!gsmmgrMqttClientSimcomConnect(&g_session));

    /* disconnect while the connect sequence runs: the state says Disconnecting at once, the sequence
     * is abandoned and the service stopped; a new connect works */
    CHECK(harness_run_until(connected, 60000));
    mqtt_session();
    CHECK(!gsmmgrMqttClientSimcomDisconnect()); /* nothing to disconnect */
    CHECK(gsmmgrMqttClientSimcomConnect(&g_session));
    harness_poll(100);
    CHECK_EQ_INT(gsmmgrMqttClientServerConnectionState(), GSM_MQTT_ServerStatus_Connecting);
    CHECK(gsmmgrMqttClientSimcomDisconnect());
    CHECK_EQ_INT(gsmmgrMqttClientServerConnectionState(), GSM_MQTT_ServerStatus_Disconnecting);
    CHECK(!gsmmgrMqttClientSimcomDisconnect());
    CHECK(!gsmmgrMqttClientSimcomConnect(&g_session));
    CHECK(!gsmmgrMqttClientSimcomPublish("a", "b"));
    CHECK(wait_event(GSM_MqttClientSimcom_EventType_DisconnectSuccess, 30000));
    CHECK_EQ_INT(gsmmgrMqttClientServerConnectionState(), GSM_MQTT_ServerStatus_Disconnected);
    CHECK(!mqtt_event_seen(GSM_MqttClientSimcom_EventType_ConnectSuccess));
    CHECK(!mqtt_event_seen(GSM_MqttClientSimcom_EventType_ErrorResponse));
    CHECK(!sim_mqtt_started(g_mqtt));

    /* disconnect while the modem works on AT+CMQTTCONNECT: the connect's result is awaited without
     * its event, and the connection it makes is closed before DisconnectSuccess */
    sim_mqtt_set_result_delay(g_mqtt, 5000);
    sim_tx_clear(g_sim);
    harness_events_clear();
    CHECK(gsmmgrMqttClientSimcomConnect(&g_session));
    CHECK(harness_run_until(connect_sent, 10000));
    harness_poll(200);
    CHECK(gsmmgrMqttClientSimcomDisconnect());
    CHECK(wait_event(GSM_MqttClientSimcom_EventType_DisconnectSuccess, 30000));
    CHECK(!sim_mqtt_started(g_mqtt));
    harness_poll(10000);
    CHECK(!sim_mqtt_connected(g_mqtt));
    CHECK(!mqtt_event_seen(GSM_MqttClientSimcom_EventType_ConnectSuccess));
    sim_mqtt_set_result_delay(g_mqtt, 300);
    CHECK(mqtt_connect());

    /* a disconnect the modem refuses (LTE-A <err> 35) ends as asked, but the connection, the client
     * and the service are still there: the next connect (here under another client id) clears them */
    sim_mqtt_fail_next(g_mqtt, "DISC", 35);
    CHECK(gsmmgrMqttClientSimcomDisconnect());
    CHECK(wait_event(GSM_MqttClientSimcom_EventType_DisconnectSuccess, 30000));
    CHECK(sim_mqtt_started(g_mqtt));
    g_session.ClientId = "velkor-03";
    CHECK(mqtt_connect());
    CHECK_EQ_STR(sim_mqtt_client_id(g_mqtt), "velkor-03");
}

static bool publish_command_sent(void)
{
    long i;
    for (i = 0; i < (long)sim_command_count(g_sim); i++)
    {
        if (strncmp(sim_command(g_sim, (size_t)i), "AT+CMQTTPUB=", 12) == 0)
        {
            return true;
        }
    }
    return false;
}

static bool mqtt_subscribed(void) { return sim_mqtt_subscription_count(g_mqtt) > 0; }

/* A cancel drops pending operations; the session ends by a connection loss, a loss of the network
 * and a modem restart, each with its event. */
FAMILY_TEST(mqttCancelDropsPendingOperationsAndLossesEndTheSession)
{
    static char payload[2001];
    int i, published;
    size_t len = 0;
    CHECK(mqtt_start(f, 256));
    CHECK(!gsmmgrMqttClientSimcomCancelPublish());
    CHECK(gsmmgrMqttClientSimcomSubscribe("a/#", 0));
    CHECK(gsmmgrMqttClientSimcomPublish("a/b", "hello"));
    CHECK(gsmmgrMqttClientSimcomCancelPublish());
    CHECK(gsmmgrMqttClientSimcomCancelSubscribe());
    CHECK(!gsmmgrMqttClientSimcomCancelUnsubscribe());
    harness_poll(5000);
    CHECK_EQ_INT(sim_mqtt_published_count(g_mqtt), 0);
    CHECK(!mqtt_event_seen(GSM_MqttClientSimcom_EventType_PublishSuccess));
    CHECK(!mqtt_event_seen(GSM_MqttClientSimcom_EventType_SubscribeSuccess));
    /* a publish cancelled while it runs */
    CHECK(gsmmgrMqttClientSimcomPublish("a/b", "hello"));
    harness_poll(30);
    CHECK(gsmmgrMqttClientSimcomCancelPublish());
    harness_poll(5000);
    CHECK(gsmmgrMqttClientSimcomPublish("a/b", "again"));
    CHECK(wait_event(GSM_MqttClientSimcom_EventType_PublishSuccess, 30000));
    CHECK_EQ_INT(sim_mqtt_published_count(g_mqtt), 1);
    /* a publish cancelled after the modem took it, before (i 0) and after (i 1) its OK arrived: its
     * late result does not pass for the next publish's, which fails here */
    for (i = 0; i < 2; i++)
    {
        harness_events_clear();
        sim_tx_clear(g_sim);
        sim_mqtt_set_result_delay(g_mqtt, 2000);
        CHECK(gsmmgrMqttClientSimcomPublish("a/b", "taken"));
        CHECK(harness_run_until(publish_command_sent, 5000));
        harness_poll((uint32_t)i * 200u);
        CHECK(gsmmgrMqttClientSimcomCancelPublish());
        sim_mqtt_fail_next(g_mqtt, "PUB", 11);
        CHECK(gsmmgrMqttClientSimcomPublish("a/b", "next"));
        CHECK(wait_event(GSM_MqttClientSimcom_EventType_ErrorResponse, 30000));
        CHECK_EQ_INT(net_mqtt_log()->last_error_code, 11);
        CHECK(!mqtt_event_seen(GSM_MqttClientSimcom_EventType_PublishSuccess));
        CHECK_EQ_INT(sim_mqtt_published_count(g_mqtt), 2 + i); /* the cancelled ones went out, the refused ones not */
    }
    /* the same for a subscribe cancelled after its topic went out, before its OK arrived */
    harness_events_clear();
    CHECK(gsmmgrMqttClientSimcomSubscribe("s/1", 0));
    CHECK(harness_run_until(mqtt_subscribed, 5000));
    CHECK(gsmmgrMqttClientSimcomCancelSubscribe());
    sim_mqtt_fail_next(g_mqtt, "SUB", 14);
    CHECK(gsmmgrMqttClientSimcomSubscribe("s/2", 0));
    CHECK(wait_event(GSM_MqttClientSimcom_EventType_ErrorResponse, 30000));
    CHECK_EQ_INT(net_mqtt_log()->last_error_code, 14);
    CHECK(!mqtt_event_seen(GSM_MqttClientSimcom_EventType_SubscribeSuccess));
    sim_mqtt_set_result_delay(g_mqtt, 300);

    /* a publish cancelled while its payload goes to the modem (which takes the exact count of bytes it
     * announced, ESC included): the payload is written to its end, and the next publish goes out as sent */
    memset(payload, 'p', sizeof payload - 1);
    harness_events_clear();
    sim_tx_clear(g_sim);
    published = sim_mqtt_published_count(g_mqtt);
    CHECK(gsmmgrMqttClientSimcomPublish("a/b", payload));
    s_data_command = "AT+CMQTTPAYLOAD=";
    s_cancel_at = 1000;
    CHECK(harness_run_until(upload_at_cancel_point, 10000));
    s_data_command = "AT+HTTPDATA=";
    CHECK(upload_written() < (long)strlen(payload));
    CHECK(gsmmgrMqttClientSimcomCancelPublish());
    CHECK(gsmmgrMqttClientSimcomPublish("a/c", "after"));
    CHECK(wait_event(GSM_MqttClientSimcom_EventType_PublishSuccess, 30000));
    CHECK_EQ_INT(sim_mqtt_published_count(g_mqtt), published + 1);
    CHECK_EQ_STR(sim_mqtt_published_topic(g_mqtt, published), "a/c");
    CHECK(memcmp(sim_mqtt_published_payload(g_mqtt, published, &len), "after", 5) == 0);
    CHECK_EQ_INT(len, 5);

    /* connection loss, loss of the network and a modem restart end the session with their event */
    harness_events_clear();
    CHECK(gsmmgrMqttClientSimcomPublish("a/b", "c"));
    sim_mqtt_connection_lost(g_mqtt, 3);
    CHECK(wait_event(GSM_MqttClientSimcom_EventType_ConnectionLost, 1000));
    CHECK_EQ_INT(net_mqtt_log()->lost_cause, 3);
    CHECK_EQ_INT(gsmmgrMqttClientServerConnectionState(), GSM_MQTT_ServerStatus_Disconnected);
    CHECK(!gsmmgrMqttClientSimcomCancelPublish()); /* dropped with the connection */

    /* the application reconnects, here under another client id: the client still acquired with the
     * old one is released first */
    g_session.ClientId = "velkor-02";
    CHECK(mqtt_connect());
    CHECK_EQ_STR(sim_mqtt_client_id(g_mqtt), "velkor-02");

    harness_events_clear();
    sim_mqtt_nonet(g_mqtt);
    CHECK(wait_event(GSM_MqttClientSimcom_EventType_NoNetwork, 1000));
    CHECK_EQ_INT(gsmmgrMqttClientServerConnectionState(), GSM_MQTT_ServerStatus_Disconnected);
    harness_events_clear();
    sim_tx_clear(g_sim);
    CHECK(gsmmgrMqttClientSimcomConnect(&g_session));
    CHECK(wait_event(GSM_MqttClientSimcom_EventType_ConnectSuccess, 30000));
    CHECK(harness_find_command("AT+CMQTTSTOP", 0) >= 0);
    CHECK(harness_find_command("AT+CMQTTSTART", 0) > harness_find_command("AT+CMQTTSTOP", 0));

    /* a failed keep-alive ping ends the session; the modem still holds the connection, which the
     * next connect disconnects first */
    harness_events_clear();
    sim_mqtt_ping_failed(g_mqtt, 17);
    CHECK(wait_event(GSM_MqttClientSimcom_EventType_ConnectionLost, 1000));
    CHECK_EQ_INT(gsmmgrMqttClientServerConnectionState(), GSM_MQTT_ServerStatus_Disconnected);
    sim_tx_clear(g_sim);
    CHECK(mqtt_connect());
    {
        static const char* const kReconnect[] = {"AT+CMQTTDISC=0,120", "AT+CMQTTREL=0", "AT+CMQTTSTOP", "AT+CMQTTSTART",
                                                 "AT+CMQTTACCQ=0,\"velkor-02\"", "AT+CMQTTCFG=\"version\",0,4",
                                                 "AT+CMQTTCONNECT=0,\"tcp://broker.example.com:1883\",60,1", NULL};
        check_group("AT+CMQTT", kReconnect);
    }

    /* a modem restart ends the session with ConnectionLost */
    harness_events_clear();
    sim_reboot(g_sim);
    CHECK(wait_event(GSM_MqttClientSimcom_EventType_ConnectionLost, 60000));
    CHECK(harness_run_until(connected, 90000)); /* the internet connection comes back by itself */
    CHECK(mqtt_connect());
}

/* Faulty receive groups: the events name the fault (one fault per message) and the stream stays in step. */
FAMILY_TEST(mqttReceiveFramingFaultsAreReported)
{
    static const struct
    {
        const char* raw;
        int event;
        int absent;          /* an event that must not follow (-1: none) */
        size_t payload_len;  /* payload bytes delivered */
    } kCases[] = {
        {"\r\n+CMQTTRXSTART: 0,3,2\r\n\r\n+CMQTTRXTOPIC: 0,x\r\n\r\n+CMQTTRXEND: 0\r\n", GSM_MqttClientSimcom_EventType_MsgRxTopicHeaderError,
         GSM_MqttClientSimcom_EventType_MsgRxPayloadError, 0},
        {"\r\n+CMQTTRXSTART: 0,3,2\r\n\r\n+CMQTTRXTOPIC: 0,5\r\nabcde\r\n+CMQTTRXEND: 0\r\n", GSM_MqttClientSimcom_EventType_MsgRxTopicError,
         GSM_MqttClientSimcom_EventType_MsgRxPayloadError, 0},
        {"\r\n+CMQTTRXSTART: 0,3,2\r\n\r\n+CMQTTRXTOPIC: 0,3\r\nabc\r\n+CMQTTRXPAYLOAD: 0,\r\n\r\n+CMQTTRXEND: 0\r\n",
         GSM_MqttClientSimcom_EventType_MsgRxPayloadHeaderError, GSM_MqttClientSimcom_EventType_MsgRxPayloadError, 0},
        {"\r\n+CMQTTRXSTART: 0,3,2\r\n\r\n+CMQTTRXTOPIC: 0,3\r\nabc\r\n+CMQTTRXPAYLOAD: 0,9\r\nOK\r\nERROR\r\n+CMQTTRXEND: 0\r\n",
         GSM_MqttClientSimcom_EventType_MsgRxPayloadError, -1, 0},
        {"\r\n+CMQTTRXSTART: 0,3,2\r\n\r\n+CMQTTRXTOPIC: 0,3\r\nabc\r\n+CMQTTRXEND: 0\r\n", GSM_MqttClientSimcom_EventType_MsgRxPayloadError,
         GSM_MqttClientSimcom_EventType_MsgRxTopicError, 0},
        {"\r\n+CMQTTRXSTART: 0,3,0\r\n\r\n+CMQTTRXTOPIC: 0,3\r\nabc\r\n+CMQTTRXEND: 0\r\n", GSM_MqttClientSimcom_EventType_MsgRxEnd,
         GSM_MqttClientSimcom_EventType_MsgRxPayloadError, 0},
        /* a short topic ended by the end of the message: the topic fault only */
        {"\r\n+CMQTTRXSTART: 0,3,2\r\n\r\n+CMQTTRXTOPIC: 0,2\r\nab\r\n+CMQTTRXEND: 0\r\n", GSM_MqttClientSimcom_EventType_MsgRxTopicError,
         GSM_MqttClientSimcom_EventType_MsgRxPayloadError, 0},
        /* a short topic followed by its payload: the topic fault, the payload still arrives */
        {"\r\n+CMQTTRXSTART: 0,3,2\r\n\r\n+CMQTTRXTOPIC: 0,2\r\nab\r\n+CMQTTRXPAYLOAD: 0,2\r\nxy\r\n+CMQTTRXEND: 0\r\n",
         GSM_MqttClientSimcom_EventType_MsgRxTopicError, GSM_MqttClientSimcom_EventType_MsgRxPayloadError, 2},
    };
    size_t c;
    CHECK(mqtt_start(f, 256));
    for (c = 0; c < sizeof kCases / sizeof kCases[0]; c++)
    {
        check_context("mqttReceiveFramingFaultsAreReported/%zu/%s/echo%d", c, kFamilyNames[f], HARNESS_ECHO_ON);
        harness_events_clear();
        net_mqtt_log_clear();
        sim_mqtt_inject_raw(g_mqtt, kCases[c].raw, strlen(kCases[c].raw));
        harness_poll(200);
        CHECK(mqtt_event_seen(kCases[c].event));
        CHECK(mqtt_event_seen(GSM_MqttClientSimcom_EventType_MsgRxEnd));
        CHECK(kCases[c].absent < 0 || !mqtt_event_seen(kCases[c].absent));
        CHECK_EQ_INT(net_mqtt_log()->payload_len, kCases[c].payload_len);
        CHECK(gsmmgrMqttClientSimcomPublish("x", "y"));
        CHECK(wait_event(GSM_MqttClientSimcom_EventType_PublishSuccess, 30000));
    }
}

#endif

void randomFaultsEndInWorkingInternet(void); /* tst_net_chaos.c */

static const CheckTest kTests[] = {
    {"connectionComesUpWithApnAndAddress", connectionComesUpWithApnAndAddress},
    {"wrongApnRetriesWithGrowingPause", wrongApnRetriesWithGrowingPause},
    {"silentLossIsFoundByPeriodicCheck", silentLossIsFoundByPeriodicCheck},
    {"lossReportsReopenTheConnection", lossReportsReopenTheConnection},
    {"httpGetDeliversBodyInChunks", httpGetDeliversBodyInChunks},
    {"httpPostSendsBodyAndContentTypeAndKeepsSessionWhenAsked", httpPostSendsBodyAndContentTypeAndKeepsSessionWhenAsked},
    {"httpInterruptedRequestEndsWithItsResult", httpInterruptedRequestEndsWithItsResult},
    {"httpSlowAnswersWithinTheModemsMaximumSucceed", httpSlowAnswersWithinTheModemsMaximumSucceed},
    {"unansweredClosingTermDoesNotStartTheNextRequest", unansweredClosingTermDoesNotStartTheNextRequest},
    {"httpCancelStopsEventsAndTerminates", httpCancelStopsEventsAndTerminates},
    {"httpRefusedCommandsEndTheRequest", httpRefusedCommandsEndTheRequest},
    {"httpsUrlsSelectTls", httpsUrlsSelectTls},
    {"reconnectsAfterAMonthWithoutRegistration", reconnectsAfterAMonthWithoutRegistration},
    {"openFailuresCloseAndStartOver", openFailuresCloseAndStartOver},
    {"registrationLossEndsTheConnectionOnlyWithTheContext", registrationLossEndsTheConnectionOnlyWithTheContext},
    {"modemSwitchingItselfOffEndsTheConnection", modemSwitchingItselfOffEndsTheConnection},
    {"httpUnquotableUrlOrContentTypeIsRefused", httpUnquotableUrlOrContentTypeIsRefused},
    {"randomFaultsEndInWorkingInternet", randomFaultsEndInWorkingInternet},
#if NET_WITH_MQTT
    {"apnIsSetBeforeTheAttach", apnIsSetBeforeTheAttach},
    {"connectedOnlyWithAnIPv4Address", connectedOnlyWithAnIPv4Address},
    {"mqttUnquotableOrEmptySessionTextsAreRefused", mqttUnquotableOrEmptySessionTextsAreRefused},
    {"mqttLongTopicsMakeTheRoundTrip", mqttLongTopicsMakeTheRoundTrip},
    {"mqttPublishSubscribeRoundTrip", mqttPublishSubscribeRoundTrip},
    {"mqttLargePayloadArrivesInChunks", mqttLargePayloadArrivesInChunks},
    {"mqttMessagesAroundPublishing", mqttMessagesAroundPublishing},
    {"mqttFailuresAreErrorResponses", mqttFailuresAreErrorResponses},
    {"mqttConnectWithoutNetworkReportsNoNetwork", mqttConnectWithoutNetworkReportsNoNetwork},
    {"mqttCancelDropsPendingOperationsAndLossesEndTheSession", mqttCancelDropsPendingOperationsAndLossesEndTheSession},
    {"mqttReceiveFramingFaultsAreReported", mqttReceiveFramingFaultsAreReported},
#endif
};

int main(int argc, char** argv)
{
    return check_run(kTests, sizeof kTests / sizeof kTests[0], argc, argv);
}
