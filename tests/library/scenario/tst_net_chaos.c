/*
 * tst_net_chaos.c - seeded random faults against the internet connection, the HTTP client and (LTE
 * wiring) the MQTT client.
 *
 * Per seed the modem comes up with a connection and an MQTT session; then a bounded number of random
 * steps mix application requests (GET / POST of canned URLs, bodies larger than the body buffer, MQTT
 * connect / subscribe / publish / unsubscribe / disconnect, cancels, messages from the broker) with
 * faults of the modem (restart, hang, refused commands, slow or failing HTTP answers, broker connection
 * loss), of the network (registration, context and connection loss) and of the line (garbage, bytes
 * in small fragments, lost bytes). Every event is checked as it arrives against the requests that
 * were accepted: each accepted request gets exactly one last event within a bounded time, nothing
 * comes for a request never made or cancelled, body windows stay inside the buffer and the announced
 * length. Once the faults end the library must come back by itself: the connection comes up, a GET
 * returns the whole body and an MQTT session makes a publish / subscribe round trip.
 *
 * CHAOS_SEED=<n> runs seed n alone, CHAOS_SEEDS=<n> seeds 1..n; CHAOS_LOG=1 prints every seed's steps
 * and AT dialogue (a failing seed prints its steps and the last commands anyway).
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "chaos.h"
#include "check.h"
#include "gsm_manager.h"
#include "harness.h"
#include "modem_sim.h"
#include "net_support.h"
#include "sim_http.h"
#include "sim_mqtt.h"
#include "sim_net.h"

bool net_support_guards_intact(void);
void randomFaultsEndInWorkingInternet(void);

#if NET_WITH_MQTT
static const SimFamily kFamilies[] = {SIM_FAMILY_LTE_Q, SIM_FAMILY_LTE_A};
static const char* const kFamilyNames[] = {"LTE-Q", "LTE-A"};
#define IsConnected gsmmgrInternetConnectionSimcomIsConnected
#else
static const SimFamily kFamilies[] = {SIM_FAMILY_2G};
static const char* const kFamilyNames[] = {"2G"};
#define IsConnected gsmmgrInternetConnectionSimcom2GIsConnected
#endif

#define SEEDS 200
#define STEPS 30

/* From an accepted request to its last event, faults included: the longest time-outs (HTTP action
 * 150 s and a read window 130 s; an MQTT step up to 190 s) with a modem restart on top. */
#define HTTP_BOUND_MS 330000u
#define MQTT_BOUND_MS 400000u
/* From the end of the faults until the connection is up again. */
#define RECOVER_MS 300000u

enum { OP_CONN, OP_SUB, OP_UNSUB, OP_PUB, OP_DISC, OP_COUNT }; /* as GSM_MqttClientSimcom_Operation */

/* What the seeds did, for the summary line. */
static struct
{
    unsigned http_requests, http_results[8], mqtt_operations, mqtt_events[16], faults;
    double simulated_s;
} s_stats;

static struct
{
    SimModem* sim;
    SimNet* net;
    SimHttp* http;
    SimMqtt* mqtt;
    size_t http_cap, mqtt_cap;
    /* the accepted HTTP request whose last event is due, and the body offset it reached */
    bool http_pending, http_overdue;
    uint32_t http_since, http_offset;
    int http_result, http_status;
    /* accepted MQTT operations whose event is due; the session as the events told it */
    bool mq_pending[OP_COUNT], mq_overdue[OP_COUNT];
    uint32_t mq_since[OP_COUNT];
    bool mq_session;
    bool state_reported;
} c;

/* ---- the events, checked as they come ---------------------------------------------------------- */

static void on_http(int type, const GSM_HttpClientSimcom_Event_HttpResult* ev)
{
    CHECK(type == GSM_HttpClientSimcom_EventType_HttpResult && ev != NULL);
    if (ev == NULL)
    {
        return;
    }
    if (ev->Last)
    {
        chaos_note("HTTP last event: result %d, status %d, length %u, %u bytes delivered", ev->Result, ev->HttpStatus,
             (unsigned)ev->ContentLength, (unsigned)(ev->DataOffset + ev->DataLen));
    }
    CHECK(c.http_pending); /* no event without an accepted request, none after its last or a cancel */
    CHECK(ev->DataLen <= c.http_cap);
    CHECK((ev->Data == NULL) == (ev->DataLen == 0));
    if (ev->DataLen > 0)
    {
        CHECK_EQ_INT(ev->DataOffset, c.http_offset);
        c.http_offset = ev->DataOffset + ev->DataLen;
    }
    CHECK(ev->ContentLength == 0 || c.http_offset <= ev->ContentLength);
    if (ev->Last)
    {
        /* Success promises the whole body */
        CHECK(ev->Result != GSM_HttpClientSimcom_Result_Success || ev->ContentLength == 0 || c.http_offset == ev->ContentLength);
        c.http_pending = false;
        s_stats.http_results[ev->Result & 7u]++;
        c.http_result = ev->Result;
        c.http_status = ev->HttpStatus;
    }
}

static void mq_ended(int op)
{
    CHECK(op >= 0 && op < OP_COUNT && c.mq_pending[op]); /* no event for an operation never accepted or cancelled */
    if (op >= 0 && op < OP_COUNT)
    {
        c.mq_pending[op] = false;
    }
}

/* The session ended: every pending operation with it. */
static void mq_all_ended(void)
{
    memset(c.mq_pending, 0, sizeof c.mq_pending);
    c.mq_session = false;
}

static void on_mqtt(int type, const void* data)
{
    const GSM_MqttClientSimcom_Event_MsgRxTopic* topic = (const GSM_MqttClientSimcom_Event_MsgRxTopic*)data;
    const GSM_MqttClientSimcom_Event_MsgRxPayload* payload = (const GSM_MqttClientSimcom_Event_MsgRxPayload*)data;
    const GSM_MqttClientSimcom_Event_ErrorResponse* err = (const GSM_MqttClientSimcom_Event_ErrorResponse*)data;
    if (type != GSM_MqttClientSimcom_EventType_MsgRxTopic && type != GSM_MqttClientSimcom_EventType_MsgRxPayload)
    {
        chaos_note("MQTT event %d%s%d", type, type == GSM_MqttClientSimcom_EventType_ErrorResponse ? " op/code " : "",
             type == GSM_MqttClientSimcom_EventType_ErrorResponse ? err->Operation * 1000 + err->ErrorCode : 0);
    }
    s_stats.mqtt_events[type & 15]++;
    switch (type)
    {
    case GSM_MqttClientSimcom_EventType_ConnectSuccess:
        mq_ended(OP_CONN);
        c.mq_session = true;
        break;
    case GSM_MqttClientSimcom_EventType_SubscribeSuccess: mq_ended(OP_SUB); break;
    case GSM_MqttClientSimcom_EventType_UnsubscribeSuccess: mq_ended(OP_UNSUB); break;
    case GSM_MqttClientSimcom_EventType_PublishSuccess: mq_ended(OP_PUB); break;
    case GSM_MqttClientSimcom_EventType_DisconnectSuccess:
        mq_ended(OP_DISC);
        mq_all_ended();
        break;
    case GSM_MqttClientSimcom_EventType_ErrorResponse:
        mq_ended(err->Operation);
        if (err->Operation == OP_DISC)
        {
            mq_all_ended();
        }
        break;
    case GSM_MqttClientSimcom_EventType_ConnectionLost:
    case GSM_MqttClientSimcom_EventType_NoNetwork:
        /* only a session, a connect or a disconnect can end so */
        CHECK(c.mq_session || c.mq_pending[OP_CONN] || c.mq_pending[OP_DISC]);
        mq_all_ended();
        break;
    case GSM_MqttClientSimcom_EventType_MsgRxTopic:
        CHECK(topic->Length <= c.mqtt_cap && topic->Offset + topic->Length <= topic->TotalLength);
        break;
    case GSM_MqttClientSimcom_EventType_MsgRxPayload:
        CHECK(payload->Length <= c.mqtt_cap && payload->Offset + payload->Length <= payload->TotalLength);
        break;
    default: break;
    }
}

/* ---- application side ------------------------------------------------------------------------- */

#define URL(path) "http://chaos.example.com/" path
static char kSmall[] = URL("small");
static char kBig[] = URL("big");
static char kChunked[] = URL("chunked");
static char kErr601[] = URL("e601");
static char kErr603[] = URL("e603");
static char kSlow[] = URL("slow");
static char kPost[] = URL("post");
static char kMissing[] = URL("missing");
static char* const kGetUrls[] = {kSmall, kBig, kBig, kChunked, kErr601, kErr603, kSlow, kMissing};
static uint8_t s_big_body[2500];
static char s_post_small[] = "k=v&t=21.5";
static char s_post_big[1501];

static void http_accepted(bool ok, const char* what)
{
    CHECK(!(ok && c.http_pending)); /* one request at a time */
    chaos_note("%s: %s", what, ok ? "accepted" : "refused");
    if (ok)
    {
        s_stats.http_requests++;
        c.http_pending = true;
        c.http_overdue = false;
        c.http_since = chaos_now();
        c.http_offset = 0;
    }
}

#if NET_WITH_MQTT
static GSM_MqttClientSimcom_Connect_Session s_session;
static char s_pub_big[3001];
static uint8_t s_broker_payload[700];

static void mq_accepted(int op, bool ok, const char* what)
{
    CHECK(!(ok && c.mq_pending[op]));
    chaos_note("%s: %s", what, ok ? "accepted" : "refused");
    if (ok)
    {
        s_stats.mqtt_operations++;
        c.mq_pending[op] = true;
        c.mq_overdue[op] = false;
        c.mq_since[op] = chaos_now();
    }
}

static void mq_cancelled(int op, bool ok, const char* what)
{
    CHECK_EQ_INT(ok, c.mq_pending[op]);
    chaos_note("%s: %s", what, ok ? "cancelled" : "nothing to cancel");
    c.mq_pending[op] = false;
}

static void mq_publish(char* topic, char* text, uint8_t qos)
{
    GSM_MqttClientSimcom_Publish_Parameters p = {topic, text, 0, qos, false, 0};
    mq_accepted(OP_PUB, gsmmgrMqttClientSimcomPublishEx(&p), text == s_pub_big ? "MQTT publish (3000 bytes)" : "MQTT publish");
}

static void mq_disconnect(void)
{
    bool ok = gsmmgrMqttClientSimcomDisconnect();
    mq_accepted(OP_DISC, ok, "MQTT disconnect");
    if (ok)
    {
        /* the operations still queued are dropped without their events */
        c.mq_pending[OP_CONN] = c.mq_pending[OP_SUB] = c.mq_pending[OP_UNSUB] = c.mq_pending[OP_PUB] = false;
    }
}
#endif

/* ---- time, with the checks that hold all along ------------------------------------------------ */

static bool anything_pending(void)
{
    int op;
    bool any = c.http_pending;
    for (op = 0; op < OP_COUNT; op++)
    {
        any = any || c.mq_pending[op];
    }
    return any;
}

static void check_bounds(void)
{
    int op;
    if (c.http_pending && !c.http_overdue && chaos_now() - c.http_since > HTTP_BOUND_MS)
    {
        c.http_overdue = true;
        chaos_note("HTTP request overdue");
        CHECK(!"an HTTP request got no last event within its bound");
    }
    for (op = 0; op < OP_COUNT; op++)
    {
        if (c.mq_pending[op] && !c.mq_overdue[op] && chaos_now() - c.mq_since[op] > MQTT_BOUND_MS)
        {
            c.mq_overdue[op] = true;
            chaos_note("MQTT operation %d overdue", op);
            CHECK(!"an MQTT operation got no event within its bound");
        }
    }
    /* what the library says matches the events it raised (told once a seed) */
    if (!c.state_reported)
    {
#if NET_WITH_MQTT
        int mq = c.mq_pending[OP_DISC] ? GSM_MQTT_ServerStatus_Disconnecting
                 : c.mq_pending[OP_CONN] ? GSM_MQTT_ServerStatus_Connecting
                 : c.mq_session          ? GSM_MQTT_ServerStatus_Connected
                                         : GSM_MQTT_ServerStatus_Disconnected;
        c.state_reported = (int)gsmmgrMqttClientServerConnectionState() != mq;
        CHECK_EQ_INT(gsmmgrMqttClientServerConnectionState(), mq);
#endif
        c.state_reported = c.state_reported || gsmmgrHttpClientSimcomHttpOperationPending() != c.http_pending;
        CHECK_EQ_INT(gsmmgrHttpClientSimcomHttpOperationPending(), c.http_pending);
    }
}

static bool connected(void) { return IsConnected() && sim_net_is_open(c.net); }
static bool settled(void) { return !anything_pending(); }
static bool http_done(void) { return !c.http_pending; }

/* ---- one seed ---------------------------------------------------------------------------------- */

static void start(uint32_t seed, int f)
{
    SimConfig cfg;
    static const size_t kHttpBuffers[] = {0, 64, 200, 512};
    memset(&c, 0, sizeof c);
    chaos_begin(seed, check_bounds);
    sim_config_default(&cfg, kFamilies[f]);
    c.sim = sim_create(&cfg);
    g_chaos.sim = c.sim;
    c.net = sim_net_attach(c.sim, "internet");
    c.http = sim_http_attach(c.sim, c.net);
    c.mqtt = sim_mqtt_attach(c.sim);
    sim_http_add(c.http, kSmall, 200, "hello, world", 12, 300, false);
    sim_http_add(c.http, kBig, 200, s_big_body, sizeof s_big_body, 1000, false);
    sim_http_add(c.http, kChunked, 200, s_big_body, 700, 600, true);
    sim_http_add(c.http, kErr601, 601, NULL, 0, 2000, false);
    sim_http_add(c.http, kErr603, 603, NULL, 0, 5000, false);
    sim_http_add(c.http, kSlow, 200, "late", 4, 170000, false); /* past the action time-out */
    sim_http_add(c.http, kPost, 201, "stored", 6, 500, false);
    c.http_cap = kHttpBuffers[chaos_rnd(4)];
    c.mqtt_cap = 16u + chaos_rnd(300);
    net_support_reset();
    net_support_set_apn("internet");
    net_support_set_buffers(c.http_cap, c.mqtt_cap);
    net_support_observe(on_http, on_mqtt);
    c.http_cap = c.http_cap ? c.http_cap : GSM_HTTPCLIENTSIMCOM_FALLBACK_SIZE;
    c.mqtt_cap = c.mqtt_cap ? c.mqtt_cap : GSM_MQTTCLIENTSIMCOM_FALLBACK_SIZE;
    harness_start(c.sim, NULL);
    chaos_note("start: HTTP buffer %u, MQTT buffer %u", (unsigned)c.http_cap, (unsigned)c.mqtt_cap);
}

static void app_step(void)
{
    switch (chaos_rnd(8))
    {
    case 0:
    case 1:
    {
        char* url = kGetUrls[chaos_rnd(sizeof kGetUrls / sizeof kGetUrls[0])];
        http_accepted(gsmmgrHttpClientSimcomGet(url), url);
        break;
    }
    case 2:
    {
        bool big = chaos_rnd(2) != 0;
        http_accepted(gsmmgrHttpClientSimcomPost(kPost, big ? s_post_big : s_post_small), big ? "POST (1500 bytes)" : "POST");
        break;
    }
    case 3:
    {
        bool ok = gsmmgrHttpClientSimcomCancel();
        CHECK_EQ_INT(ok, c.http_pending);
        chaos_note("HTTP cancel: %s", ok ? "cancelled" : "nothing to cancel");
        c.http_pending = false;
        break;
    }
#if NET_WITH_MQTT
    case 4:
        mq_accepted(OP_CONN, gsmmgrMqttClientSimcomConnect(&s_session), "MQTT connect");
        break;
    case 5:
        switch (chaos_rnd(4))
        {
        case 0: mq_accepted(OP_SUB, gsmmgrMqttClientSimcomSubscribe("chaos/#", (uint8_t)chaos_rnd(3)), "MQTT subscribe"); break;
        case 1: mq_accepted(OP_UNSUB, gsmmgrMqttClientSimcomUnsubscribe("chaos/#"), "MQTT unsubscribe"); break;
        case 2: mq_publish("chaos/out", chaos_rnd(3) == 0 ? s_pub_big : "reading 42", (uint8_t)chaos_rnd(3)); break;
        default: mq_disconnect(); break;
        }
        break;
    case 6:
        switch (chaos_rnd(4))
        {
        case 0: mq_cancelled(OP_PUB, gsmmgrMqttClientSimcomCancelPublish(), "MQTT cancel publish"); break;
        case 1: mq_cancelled(OP_SUB, gsmmgrMqttClientSimcomCancelSubscribe(), "MQTT cancel subscribe"); break;
        case 2: mq_cancelled(OP_UNSUB, gsmmgrMqttClientSimcomCancelUnsubscribe(), "MQTT cancel unsubscribe"); break;
        default:
            chaos_note("broker sends a message");
            sim_mqtt_inject_message(c.mqtt, "chaos/in", s_broker_payload, sizeof s_broker_payload);
            break;
        }
        break;
    default: mq_publish("chaos/out", "tick", 1); break;
#else
    default:
        http_accepted(gsmmgrHttpClientSimcomGet(kBig), kBig);
        break;
#endif
    }
}

static void fault_step(void)
{
    static const char* const kHttpCmds[] = {"INIT", "PARA", "DATA", "ACTION", "READ"};
    static const char* const kUrcs[] = {"RING", "+CMTI: \"SM\",3", "+CGEV: EPS PDN ACT 5", "+HTTP_PEER_CLOSED"};
    static const char kGarbage[] = "\r\n\0\xff>+:,0123456789OKERROR CMQTTHTTPREAD";
    switch (chaos_rnd(12))
    {
    case 0:
        chaos_note("modem restarts");
        sim_reboot(c.sim);
        break;
    case 1:
        chaos_hang(25000);
        break;
    case 2: chaos_garbage(kGarbage, sizeof kGarbage - 1, 32); break;
    case 3:
    {
        static const uint32_t kLoss[] = {2000, 12000, 45000}; /* short, over a check, past the context's life */
        static const uint8_t kStat[] = {0, 2, 3, 4};
        (void)chaos_lose_registration(kStat[chaos_rnd(4)], kLoss, 3, SIM_REG_GPRS);
        break;
    }
    case 4:
        switch (chaos_rnd(3))
        {
        case 0: chaos_note("network drops the connection"); sim_net_drop(c.net); break;
        case 1: chaos_note("connection gone silently"); sim_net_drop_silently(c.net); break;
        default: chaos_note("next opens fail"); sim_net_fail_opens(c.net, 1 + (int)chaos_rnd(3)); break;
        }
        break;
    case 5:
        chaos_note("next command refused");
        sim_fail_next_command(c.sim, chaos_rnd(2) ? 100 : 4);
        break;
    case 6:
    {
        const char* cmd = kHttpCmds[chaos_rnd(5)];
        /* a slow answer comes within the modem's longest response time (2G: a setting 5 s, a read
         * 10 s; LTE: 120 s): the modem takes no other command meanwhile */
        const char* slow = kHttpCmds[chaos_rnd(2) ? 4 : chaos_rnd(2)];
        uint32_t slow_ms = sim_family(c.sim) == SIM_FAMILY_2G ? (slow[0] == 'R' ? 9500u : 4500u) : 115000u;
        switch (chaos_rnd(6))
        {
        case 0: chaos_note("next AT+HTTP%s refused", cmd); sim_http_fail_next(c.http, cmd); break;
        case 1:
            slow_ms = 500u + chaos_rnd(slow_ms - 500u);
            chaos_note("next AT+HTTP%s answers after %u ms", slow, (unsigned)slow_ms);
            sim_http_delay_next(c.http, slow, slow_ms);
            break;
        case 2:
            chaos_note("next read fails after its OK");
            sim_http_fail_next_read_after_ok(c.http, sim_family(c.sim) == SIM_FAMILY_LTE_A && chaos_rnd(2) ? 705 : 0);
            break;
        case 3: chaos_note("next body cut short"); sim_http_cut_next_body(c.http, chaos_rnd(100)); break;
        case 4: chaos_note("next read loses bytes"); sim_http_lose_read_bytes(c.http, 1u + chaos_rnd(50)); break;
        default: chaos_note("HTTP service loses the network"); sim_http_nonet(c.http); break;
        }
        break;
    }
    case 7: chaos_fragment(); break;
    case 8: (void)chaos_lose_bytes(); break;
    case 9:
    {
        const char* urc = kUrcs[chaos_rnd(4)];
        chaos_note("URC %s inside the next answer", urc);
        sim_inject_urc_in_next_response(c.sim, urc, (SimInjectPos)chaos_rnd(3));
        break;
    }
#if NET_WITH_MQTT
    case 10:
        switch (chaos_rnd(4))
        {
        case 0: chaos_note("broker connection lost"); sim_mqtt_connection_lost(c.mqtt, 1 + (int)chaos_rnd(3)); break;
        case 1: chaos_note("keep-alive ping fails"); sim_mqtt_ping_failed(c.mqtt, 17); break;
        case 2: chaos_note("MQTT service loses the network"); sim_mqtt_nonet(c.mqtt); break;
        default:
        {
            static const char* const kCmds[] = {"CONNECT", "SUB", "UNSUB", "PUB", "DISC"};
            const char* cmd = kCmds[chaos_rnd(5)];
            chaos_note("next AT+CMQTT%s fails", cmd);
            sim_mqtt_fail_next(c.mqtt, cmd, chaos_rnd(2) ? 11 : 32);
            break;
        }
        }
        break;
    case 11:
    {
        uint32_t ms = 300u + chaos_rnd(8000);
        chaos_note("MQTT results take %u ms", (unsigned)ms);
        sim_mqtt_set_result_delay(c.mqtt, ms);
        break;
    }
#endif
    default: break;
    }
}

static void end_faults(void)
{
    chaos_end_faults();
    sim_drop_rx_bytes(c.sim, 0, 0);
    sim_net_fail_opens(c.net, 0);
    sim_http_clear_faults(c.http);
    sim_mqtt_fail_next(c.mqtt, "", 0);
    sim_mqtt_set_result_delay(c.mqtt, 300);
}

#if NET_WITH_MQTT
static bool mq_disconnected(void) { return gsmmgrMqttClientServerConnectionState() == GSM_MQTT_ServerStatus_Disconnected && settled(); }
static bool mq_round_trip(void) { return net_mqtt_log()->messages > 0; }

/* A fresh session (the old one may be held by the library only, its loss lost on the line), a
 * subscription and a message that comes back. */
static void check_mqtt_works(uint32_t seed)
{
    static char payload[40];
    mq_disconnect();
    CHECK(chaos_run_until(mq_disconnected, MQTT_BOUND_MS));
    mq_accepted(OP_CONN, gsmmgrMqttClientSimcomConnect(&s_session), "MQTT connect");
    CHECK(chaos_run_until(settled, 60000));
    CHECK(c.mq_session);
    mq_accepted(OP_SUB, gsmmgrMqttClientSimcomSubscribe("check/#", 1), "MQTT subscribe");
    CHECK(chaos_run_until(settled, 60000));
    snprintf(payload, sizeof payload, "round trip of seed %u", (unsigned)seed);
    net_mqtt_log_clear();
    mq_publish("check/1", payload, 1);
    CHECK(chaos_run_until(settled, 60000));
    CHECK(chaos_run_until(mq_round_trip, 10000));
    CHECK_EQ_STR(net_mqtt_log()->topic, "check/1");
    CHECK_EQ_INT(net_mqtt_log()->payload_len, strlen(payload));
    CHECK(memcmp(net_mqtt_log()->payload, payload, strlen(payload)) == 0);
    CHECK(c.mq_session && !anything_pending());
}
#endif

static void run_seed(uint32_t seed)
{
    int f = (int)(seed % (sizeof kFamilies / sizeof kFamilies[0]));
    int failures = g_check_failures;
    int step;
    check_context("randomFaultsEndInWorkingInternet/seed%u/%s/echo%d", (unsigned)seed, kFamilyNames[f], HARNESS_ECHO_ON);
    start(seed, f);
    CHECK(chaos_run_until(connected, 60000));
#if NET_WITH_MQTT
    mq_accepted(OP_CONN, gsmmgrMqttClientSimcomConnect(&s_session), "MQTT connect");
    CHECK(chaos_run_until(settled, 30000));
#endif
    for (step = 0; step < STEPS; step++)
    {
        if (chaos_rnd(2))
        {
            app_step();
        }
        else
        {
            s_stats.faults++;
            fault_step();
        }
        chaos_run(100u + chaos_rnd(3000));
    }
    end_faults();
    /* what was asked for ends, the connection comes back by itself */
    CHECK(chaos_run_until(settled, MQTT_BOUND_MS + 10000));
    CHECK(chaos_run_until(connected, RECOVER_MS));
    /* A command that the modem lost while it hung (the AT+HTTPTERM that closes a request, say) is
     * known only by its time-out, up to 130 s: the recovery is checked after that. */
    chaos_run(131000u);
    net_http_log_clear();
    http_accepted(gsmmgrHttpClientSimcomGet(kBig), kBig);
    CHECK(chaos_run_until(http_done, 60000));
    CHECK_EQ_INT(c.http_result, GSM_HttpClientSimcom_Result_Success);
    CHECK_EQ_INT(c.http_status, 200);
    CHECK_EQ_INT(net_http_log()->body_len, sizeof s_big_body);
    CHECK(memcmp(net_http_log()->body, s_big_body, sizeof s_big_body) == 0);
#if NET_WITH_MQTT
    check_mqtt_works(seed);
#endif
    CHECK(net_support_guards_intact());
    if (g_check_failures != failures || getenv("CHAOS_LOG") != NULL)
    {
        fprintf(stderr, "seed %u (%s, echo %d): %d attaches, the last with APN \"%s\"; %d opens\n", (unsigned)seed,
                kFamilyNames[f], HARNESS_ECHO_ON, sim_net_attaches(c.net), sim_net_attach_apn(c.net), sim_net_open_attempts(c.net));
        chaos_print_dialogue(getenv("CHAOS_LOG") != NULL ? sim_command_count(c.sim) : 60, getenv("CHAOS_LOG") != NULL ? 100000 : 2000);
    }
    s_stats.simulated_s += chaos_now() / 1000.0;
    net_support_observe(NULL, NULL);
    sim_destroy(c.sim);
    sim_net_detach(c.net);
    sim_http_detach(c.http);
    sim_mqtt_detach(c.mqtt);
}

void randomFaultsEndInWorkingInternet(void)
{
    const char* one = getenv("CHAOS_SEED");
    const char* count = getenv("CHAOS_SEEDS");
    uint32_t seed, last = count != NULL ? (uint32_t)atoi(count) : SEEDS;
    size_t i;
    for (i = 0; i < sizeof s_big_body; i++)
    {
        s_big_body[i] = i % 7 == 6 ? (uint8_t)i : (uint8_t)"OK\r\n+HTTPREAD: 0\r\n"[i % 19];
    }
    memset(s_post_big, 'p', sizeof s_post_big - 1);
#if NET_WITH_MQTT
    memset(s_pub_big, 'q', sizeof s_pub_big - 1);
    memcpy(s_broker_payload, s_big_body, sizeof s_broker_payload);
    gsmmgrMqttClientSimcomInitConfigDefault(&s_session);
    s_session.ClientId = "chaos-01";
    s_session.ServerAddress = "tcp://broker.example.com:1883";
#endif
    for (seed = one != NULL ? (uint32_t)atoi(one) : 1u; seed <= (one != NULL ? (uint32_t)atoi(one) : last); seed++)
    {
        run_seed(seed);
    }
    printf("  %u random faults, %u HTTP requests (results: %u success, %u modem error, %u refused command, %u time-out, "
           "%u no network, %u modem restart, %u body incomplete), %u MQTT operations (%u connected, %u errors, %u lost, "
           "%u no network), %.0f s simulated\n",
           s_stats.faults, s_stats.http_requests, s_stats.http_results[0], s_stats.http_results[1], s_stats.http_results[2],
           s_stats.http_results[3], s_stats.http_results[4], s_stats.http_results[5], s_stats.http_results[6],
           s_stats.mqtt_operations, s_stats.mqtt_events[GSM_MqttClientSimcom_EventType_ConnectSuccess],
           s_stats.mqtt_events[GSM_MqttClientSimcom_EventType_ErrorResponse],
           s_stats.mqtt_events[GSM_MqttClientSimcom_EventType_ConnectionLost],
           s_stats.mqtt_events[GSM_MqttClientSimcom_EventType_NoNetwork], s_stats.simulated_s);
}
