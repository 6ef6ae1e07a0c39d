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
#include <stdarg.h>
#include <stdio.h>
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
    uint32_t rng;
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
    /* faults that end by themselves */
    uint32_t hung_until, reg_until, reg_boots;
    bool hung, reg_lost;
    bool state_reported;
    char trace[12000];
    size_t trace_len;
} c;

static uint32_t rnd(uint32_t n)
{
    c.rng = c.rng * 1664525u + 1013904223u;
    return ((c.rng >> 16) & 0x7FFFu) % n;
}

static uint32_t now(void) { return sim_now(c.sim); }

/* Adds a line to the seed's step trace. */
static void note(const char* format, ...) __attribute__((format(printf, 1, 2)));
static void note(const char* format, ...)
{
    va_list ap;
    int n;
    if (c.trace_len + 100 >= sizeof c.trace)
    {
        return;
    }
    n = snprintf(c.trace + c.trace_len, sizeof c.trace - c.trace_len, "  @%u ", (unsigned)now());
    va_start(ap, format);
    n += vsnprintf(c.trace + c.trace_len + n, sizeof c.trace - c.trace_len - (size_t)n, format, ap);
    va_end(ap);
    c.trace_len = strlen(c.trace);
    c.trace[c.trace_len++] = '\n';
    c.trace[c.trace_len] = '\0';
}

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
        note("HTTP last event: result %d, status %d, length %u, %u bytes delivered", ev->Result, ev->HttpStatus,
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
        note("MQTT event %d%s%d", type, type == GSM_MqttClientSimcom_EventType_ErrorResponse ? " op/code " : "",
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
    note("%s: %s", what, ok ? "accepted" : "refused");
    if (ok)
    {
        s_stats.http_requests++;
        c.http_pending = true;
        c.http_overdue = false;
        c.http_since = now();
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
    note("%s: %s", what, ok ? "accepted" : "refused");
    if (ok)
    {
        s_stats.mqtt_operations++;
        c.mq_pending[op] = true;
        c.mq_overdue[op] = false;
        c.mq_since[op] = now();
    }
}

static void mq_cancelled(int op, bool ok, const char* what)
{
    CHECK_EQ_INT(ok, c.mq_pending[op]);
    note("%s: %s", what, ok ? "cancelled" : "nothing to cancel");
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
    if (c.http_pending && !c.http_overdue && now() - c.http_since > HTTP_BOUND_MS)
    {
        c.http_overdue = true;
        note("HTTP request overdue");
        CHECK(!"an HTTP request got no last event within its bound");
    }
    for (op = 0; op < OP_COUNT; op++)
    {
        if (c.mq_pending[op] && !c.mq_overdue[op] && now() - c.mq_since[op] > MQTT_BOUND_MS)
        {
            c.mq_overdue[op] = true;
            note("MQTT operation %d overdue", op);
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

static void set_registration(uint8_t stat)
{
    sim_set_registration(c.sim, SIM_REG_CS, stat);
    sim_set_registration(c.sim, SIM_REG_GPRS, stat);
    sim_set_registration(c.sim, SIM_REG_EPS, stat);
}

/* The coverage is back. A modem that restarted meanwhile has registered by itself (a restart clears
 * the registration, and setting it during the boot would register a modem before it could). */
static void end_registration_loss(void)
{
    c.reg_lost = false;
    if (sim_boot_count(c.sim) == c.reg_boots)
    {
        set_registration(1);
        note("registration back");
    }
}

/* Runs `ms` in slices: ends the timed faults when due and checks the bounds and states. */
static void run(uint32_t ms)
{
    while (ms > 0)
    {
        uint32_t slice = ms < 10 ? ms : 10;
        harness_poll(slice);
        ms -= slice;
        if (c.hung && (int32_t)(now() - c.hung_until) >= 0)
        {
            c.hung = false;
            sim_set_hung(c.sim, false);
            note("hang ends");
        }
        if (c.reg_lost && (int32_t)(now() - c.reg_until) >= 0)
        {
            end_registration_loss();
        }
        check_bounds();
    }
}

/* Runs until cond() or `ms` passed; returns cond(). */
static bool run_until(bool (*cond)(void), uint32_t ms)
{
    uint32_t t;
    for (t = 0; t < ms && !cond(); t += 10)
    {
        run(10);
    }
    return cond();
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
    c.rng = seed * 2654435761u;
    sim_config_default(&cfg, kFamilies[f]);
    c.sim = sim_create(&cfg);
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
    c.http_cap = kHttpBuffers[rnd(4)];
    c.mqtt_cap = 16u + rnd(300);
    net_support_reset();
    net_support_set_apn("internet");
    net_support_set_buffers(c.http_cap, c.mqtt_cap);
    net_support_observe(on_http, on_mqtt);
    c.http_cap = c.http_cap ? c.http_cap : GSM_HTTPCLIENTSIMCOM_FALLBACK_SIZE;
    c.mqtt_cap = c.mqtt_cap ? c.mqtt_cap : GSM_MQTTCLIENTSIMCOM_FALLBACK_SIZE;
    harness_start(c.sim, NULL);
    note("start: HTTP buffer %u, MQTT buffer %u", (unsigned)c.http_cap, (unsigned)c.mqtt_cap);
}

static void app_step(void)
{
    switch (rnd(8))
    {
    case 0:
    case 1:
    {
        char* url = kGetUrls[rnd(sizeof kGetUrls / sizeof kGetUrls[0])];
        http_accepted(gsmmgrHttpClientSimcomGet(url), url);
        break;
    }
    case 2:
    {
        bool big = rnd(2) != 0;
        http_accepted(gsmmgrHttpClientSimcomPost(kPost, big ? s_post_big : s_post_small), big ? "POST (1500 bytes)" : "POST");
        break;
    }
    case 3:
    {
        bool ok = gsmmgrHttpClientSimcomCancel();
        CHECK_EQ_INT(ok, c.http_pending);
        note("HTTP cancel: %s", ok ? "cancelled" : "nothing to cancel");
        c.http_pending = false;
        break;
    }
#if NET_WITH_MQTT
    case 4:
        mq_accepted(OP_CONN, gsmmgrMqttClientSimcomConnect(&s_session), "MQTT connect");
        break;
    case 5:
        switch (rnd(4))
        {
        case 0: mq_accepted(OP_SUB, gsmmgrMqttClientSimcomSubscribe("chaos/#", (uint8_t)rnd(3)), "MQTT subscribe"); break;
        case 1: mq_accepted(OP_UNSUB, gsmmgrMqttClientSimcomUnsubscribe("chaos/#"), "MQTT unsubscribe"); break;
        case 2: mq_publish("chaos/out", rnd(3) == 0 ? s_pub_big : "reading 42", (uint8_t)rnd(3)); break;
        default: mq_disconnect(); break;
        }
        break;
    case 6:
        switch (rnd(4))
        {
        case 0: mq_cancelled(OP_PUB, gsmmgrMqttClientSimcomCancelPublish(), "MQTT cancel publish"); break;
        case 1: mq_cancelled(OP_SUB, gsmmgrMqttClientSimcomCancelSubscribe(), "MQTT cancel subscribe"); break;
        case 2: mq_cancelled(OP_UNSUB, gsmmgrMqttClientSimcomCancelUnsubscribe(), "MQTT cancel unsubscribe"); break;
        default:
            note("broker sends a message");
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
    switch (rnd(12))
    {
    case 0:
        note("modem restarts");
        sim_reboot(c.sim);
        break;
    case 1:
        c.hung = true;
        c.hung_until = now() + 1000u + rnd(25000);
        note("modem hangs until @%u", (unsigned)c.hung_until);
        sim_set_hung(c.sim, true);
        break;
    case 2:
    {
        uint8_t g[32];
        size_t i, n = 1u + rnd(sizeof g);
        for (i = 0; i < n; i++)
        {
            g[i] = (uint8_t)kGarbage[rnd(sizeof kGarbage - 1)];
        }
        note("%u garbage bytes", (unsigned)n);
        sim_inject_raw(c.sim, g, n);
        break;
    }
    case 3:
    {
        static const uint32_t kLoss[] = {2000, 12000, 45000}; /* short, over a check, past the context's life */
        static const uint8_t kStat[] = {0, 2, 3, 4};
        uint8_t stat = kStat[rnd(4)];
        if (c.reg_lost || !sim_is_on(c.sim) || sim_registration(c.sim, SIM_REG_GPRS) != 1)
        {
            break; /* out of coverage once the modem is registered (a booting modem is not yet) */
        }
        c.reg_lost = true;
        c.reg_until = now() + kLoss[rnd(3)];
        c.reg_boots = sim_boot_count(c.sim);
        note("registration %u until @%u", stat, (unsigned)c.reg_until);
        set_registration(stat);
        break;
    }
    case 4:
        switch (rnd(3))
        {
        case 0: note("network drops the connection"); sim_net_drop(c.net); break;
        case 1: note("connection gone silently"); sim_net_drop_silently(c.net); break;
        default: note("next opens fail"); sim_net_fail_opens(c.net, 1 + (int)rnd(3)); break;
        }
        break;
    case 5:
        note("next command refused");
        sim_fail_next_command(c.sim, rnd(2) ? 100 : 4);
        break;
    case 6:
    {
        const char* cmd = kHttpCmds[rnd(5)];
        /* a slow answer comes within the modem's longest response time (2G: a setting 5 s, a read
         * 10 s; LTE: 120 s): the modem takes no other command meanwhile */
        const char* slow = kHttpCmds[rnd(2) ? 4 : rnd(2)];
        uint32_t slow_ms = sim_family(c.sim) == SIM_FAMILY_2G ? (slow[0] == 'R' ? 9500u : 4500u) : 115000u;
        switch (rnd(6))
        {
        case 0: note("next AT+HTTP%s refused", cmd); sim_http_fail_next(c.http, cmd); break;
        case 1:
            slow_ms = 500u + rnd(slow_ms - 500u);
            note("next AT+HTTP%s answers after %u ms", slow, (unsigned)slow_ms);
            sim_http_delay_next(c.http, slow, slow_ms);
            break;
        case 2:
            note("next read fails after its OK");
            sim_http_fail_next_read_after_ok(c.http, sim_family(c.sim) == SIM_FAMILY_LTE_A && rnd(2) ? 705 : 0);
            break;
        case 3: note("next body cut short"); sim_http_cut_next_body(c.http, rnd(100)); break;
        case 4: note("next read loses bytes"); sim_http_lose_read_bytes(c.http, 1u + rnd(50)); break;
        default: note("HTTP service loses the network"); sim_http_nonet(c.http); break;
        }
        break;
    }
    case 7:
    {
        uint32_t frag = rnd(9);
        note("line fragments of %u bytes", (unsigned)frag);
        sim_set_fragment(c.sim, frag);
        break;
    }
    case 8:
    {
        uint32_t every = 3u + rnd(40), ms = 100u + rnd(2000);
        note("every %u. byte lost for %u ms", (unsigned)every, (unsigned)ms);
        sim_drop_rx_bytes(c.sim, every, ms);
        break;
    }
    case 9:
    {
        const char* urc = kUrcs[rnd(4)];
        note("URC %s inside the next answer", urc);
        sim_inject_urc_in_next_response(c.sim, urc, (SimInjectPos)rnd(3));
        break;
    }
#if NET_WITH_MQTT
    case 10:
        switch (rnd(4))
        {
        case 0: note("broker connection lost"); sim_mqtt_connection_lost(c.mqtt, 1 + (int)rnd(3)); break;
        case 1: note("keep-alive ping fails"); sim_mqtt_ping_failed(c.mqtt, 17); break;
        case 2: note("MQTT service loses the network"); sim_mqtt_nonet(c.mqtt); break;
        default:
        {
            static const char* const kCmds[] = {"CONNECT", "SUB", "UNSUB", "PUB", "DISC"};
            const char* cmd = kCmds[rnd(5)];
            note("next AT+CMQTT%s fails", cmd);
            sim_mqtt_fail_next(c.mqtt, cmd, rnd(2) ? 11 : 32);
            break;
        }
        }
        break;
    case 11:
    {
        uint32_t ms = 300u + rnd(8000);
        note("MQTT results take %u ms", (unsigned)ms);
        sim_mqtt_set_result_delay(c.mqtt, ms);
        break;
    }
#endif
    default: break;
    }
}

static void end_faults(void)
{
    note("faults end");
    c.hung = false;
    sim_set_hung(c.sim, false);
    if (c.reg_lost)
    {
        end_registration_loss();
    }
    sim_fail_next_command(c.sim, -1);
    sim_set_fragment(c.sim, 0);
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
    CHECK(run_until(mq_disconnected, MQTT_BOUND_MS));
    mq_accepted(OP_CONN, gsmmgrMqttClientSimcomConnect(&s_session), "MQTT connect");
    CHECK(run_until(settled, 60000));
    CHECK(c.mq_session);
    mq_accepted(OP_SUB, gsmmgrMqttClientSimcomSubscribe("check/#", 1), "MQTT subscribe");
    CHECK(run_until(settled, 60000));
    snprintf(payload, sizeof payload, "round trip of seed %u", (unsigned)seed);
    net_mqtt_log_clear();
    mq_publish("check/1", payload, 1);
    CHECK(run_until(settled, 60000));
    CHECK(run_until(mq_round_trip, 10000));
    CHECK_EQ_STR(net_mqtt_log()->topic, "check/1");
    CHECK_EQ_INT(net_mqtt_log()->payload_len, strlen(payload));
    CHECK(memcmp(net_mqtt_log()->payload, payload, strlen(payload)) == 0);
    CHECK(c.mq_session && !anything_pending());
}
#endif

/* The last `tail` bytes of a byte stream, escaped. */
static void print_stream(const char* name, const char* bytes, size_t len, size_t tail)
{
    size_t i;
    fprintf(stderr, "  %s ", name);
    for (i = len > tail ? len - tail : 0; i < len; i++)
    {
        unsigned char b = (unsigned char)bytes[i];
        fprintf(stderr, b == '\n' ? "\\n\n     " : (b < 0x20 || b >= 0x7F) ? "\\x%02X" : "%c", b);
    }
    fprintf(stderr, "\n");
}

static void print_dialogue(size_t last_commands, size_t tail)
{
    size_t i, len, n = sim_command_count(c.sim);
    const char* bytes;
    fprintf(stderr, "%s", c.trace);
    for (i = n > last_commands ? n - last_commands : 0; i < n; i++)
    {
        fprintf(stderr, "  H %s\n", sim_command(c.sim, i));
    }
    bytes = sim_tx(c.sim, &len);
    print_stream("host:", bytes, len, tail);
    bytes = sim_rx(c.sim, &len);
    print_stream("modem:", bytes, len, tail);
}

static void run_seed(uint32_t seed)
{
    int f = (int)(seed % (sizeof kFamilies / sizeof kFamilies[0]));
    int failures = g_check_failures;
    int step;
    check_context("randomFaultsEndInWorkingInternet/seed%u/%s/echo%d", (unsigned)seed, kFamilyNames[f], HARNESS_ECHO_ON);
    start(seed, f);
    CHECK(run_until(connected, 60000));
#if NET_WITH_MQTT
    mq_accepted(OP_CONN, gsmmgrMqttClientSimcomConnect(&s_session), "MQTT connect");
    CHECK(run_until(settled, 30000));
#endif
    for (step = 0; step < STEPS; step++)
    {
        if (rnd(2))
        {
            app_step();
        }
        else
        {
            s_stats.faults++;
            fault_step();
        }
        run(100u + rnd(3000));
    }
    end_faults();
    /* what was asked for ends, the connection comes back by itself */
    CHECK(run_until(settled, MQTT_BOUND_MS + 10000));
    CHECK(run_until(connected, RECOVER_MS));
    /* A command that the modem lost while it hung (the AT+HTTPTERM that closes a request, say) is
     * known only by its time-out, up to 130 s: the recovery is checked after that. */
    run(131000u);
    net_http_log_clear();
    http_accepted(gsmmgrHttpClientSimcomGet(kBig), kBig);
    CHECK(run_until(http_done, 60000));
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
        print_dialogue(getenv("CHAOS_LOG") != NULL ? sim_command_count(c.sim) : 60, getenv("CHAOS_LOG") != NULL ? 100000 : 2000);
    }
    s_stats.simulated_s += now() / 1000.0;
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
