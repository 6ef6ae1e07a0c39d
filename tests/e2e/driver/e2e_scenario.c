/*
 * e2e_scenario.c - the firmware side of an end-to-end test: a main() that drives a generated
 * gsm_manager (gsmmgrInit / gsmmgrPoll and the gsmmgr... convenience functions) against the modem
 * simulator and checks what the generated event handlers report.
 *
 * Plain C99 that also compiles as C++: for a C++ project it is built with the C++ compiler, as a
 * firmware's main.cpp would be, because the manager's functions then have C++ linkage.
 *
 * The build passes what the project was generated with:
 *   E2E_ECHO          Basic Comms echo option (0/1)
 *   E2E_RESET_PIN     Power reset line option (0/1)
 *   E2E_PROMPT_BUFFER, E2E_ECHO_BUFFER, E2E_CIRC_TX, E2E_CIRC_RX   Prompt buffer options (0/1)
 *   E2E_SET_LTE       SMS Send, SMS Receive, USSD, Internet Connection (LTE, APN required), HTTP, MQTT
 *   E2E_SET_2G        Internet Connection (2G, no APN), HTTP
 *   E2E_DEBUG_OUTPUT  the Start module's debug output option (0/1)
 *   E2E_LIBRARY_DEBUG the library's debug text (GSM_DEBUG) is on (0/1)
 * Exit status 0 when every check passed.
 */
#include <stdio.h>
#include <string.h>

#include "gsm_manager.h"

/* defined in the Miscellaneous USER CODE section of the generated header */
#ifndef GSM_MANAGER_E2E_BOARD
#error "gsm_manager.h lacks the USER CODE of the end-to-end board"
#endif

#include "e2e_hal.h"
#include "modem_sim.h"

#if !defined(E2E_ECHO) || !defined(E2E_RESET_PIN) || !defined(E2E_PROMPT_BUFFER) || !defined(E2E_ECHO_BUFFER) \
    || !defined(E2E_CIRC_TX) || !defined(E2E_CIRC_RX)
#error "the option set of the generated project must be given"
#endif
#ifndef E2E_SET_LTE
#define E2E_SET_LTE 0
#endif
#ifndef E2E_SET_2G
#define E2E_SET_2G 0
#endif
#if !defined(E2E_DEBUG_OUTPUT) || !defined(E2E_LIBRARY_DEBUG)
#error "the debug options of the generated project must be given"
#endif
#define E2E_NET (E2E_SET_LTE || E2E_SET_2G)

#if E2E_NET
#include "sim_http.h"
#include "sim_net.h"
#endif
#if E2E_SET_LTE
#include "sim_mqtt.h"
#include "sim_sms.h"
#include "sim_ussd.h"
#endif

/* The manager's instances (defined by the generated source). */
extern GSM_Power_Instance mGsmPwrInst;
extern GSM_Prompt_Instance mGsmPromptInst;
extern GSM_BasicComms_Instance mGsmBasicCommsInst;

static int g_checks;
static int g_failures;
static const char* g_step = "start";

#define CHECK(cond) check_((cond) ? 1 : 0, #cond, __LINE__)
#define CHECK_EQ(a, b) check_eq_((long)(a), (long)(b), #a " == " #b, __LINE__)
#define CHECK_STR(a, b) check_str_((a), (b), #a " == " #b, __LINE__)

static void check_(int ok, const char* what, int line)
{
    g_checks++;
    if (!ok)
    {
        g_failures++;
        printf("FAIL [%s] line %d: %s\n", g_step, line, what);
    }
}

static void check_eq_(long a, long b, const char* what, int line)
{
    g_checks++;
    if (a != b)
    {
        g_failures++;
        printf("FAIL [%s] line %d: %s (%ld != %ld)\n", g_step, line, what, a, b);
    }
}

#if E2E_NET
static void check_str_(const char* a, const char* b, const char* what, int line)
{
    g_checks++;
    if (a == NULL || b == NULL || strcmp(a, b) != 0)
    {
        g_failures++;
        printf("FAIL [%s] line %d: %s (\"%s\" != \"%s\")\n", g_step, line, what, a ? a : "(null)", b ? b : "(null)");
    }
}
#endif

static SimModem* g_sim;
#if E2E_NET
static SimNet* g_net;
static SimHttp* g_http;
#endif
#if E2E_SET_LTE
static SimSmsCentre* g_sms;
static SimUssd* g_ussd;
static SimMqtt* g_mqtt;
#endif

/* One millisecond of firmware main loop per step: the UART delivers a few bytes, the manager polls,
 * time moves on. */
static void poll_ms(uint32_t ms)
{
    while (ms-- > 0)
    {
        sim_host_new_poll(g_sim);
        gsmmgrPoll();
        sim_advance(g_sim, 1);
    }
}

static bool run_until(bool (*cond)(void), uint32_t timeout_ms)
{
    uint32_t t;
    for (t = 0; t < timeout_ms; t++)
    {
        if (cond())
        {
            return true;
        }
        poll_ms(1);
    }
    return cond();
}

static const char* g_wait_module;
static int g_wait_type;
static size_t g_wait_from;

static bool event_seen(void)
{
    return e2e_find_event(g_wait_module, g_wait_type, g_wait_from) >= 0;
}

/* Runs until the event module/type is logged at or after index `from`; returns its index or -1. */
static long wait_event(const char* module, int type, size_t from, uint32_t timeout_ms)
{
    g_wait_module = module;
    g_wait_type = type;
    g_wait_from = from;
    if (!run_until(event_seen, timeout_ms))
    {
        printf("     [%s] no %s event %d within %lu ms\n", g_step, module, type, (unsigned long)timeout_ms);
        return -1;
    }
    return e2e_find_event(module, type, from);
}

static bool sent_command(const char* cmd)
{
    size_t i;
    for (i = 0; i < sim_command_count(g_sim); i++)
    {
        if (strcmp(sim_command(g_sim, i), cmd) == 0)
        {
            return true;
        }
    }
    return false;
}

static bool established(void) { return gsmmgrBasicCommsCommunicationEstablished(); }
static bool comms_lost(void) { return !gsmmgrBasicCommsCommunicationEstablished(); }
static bool registered(void) { return gsmmgrNetworkRegistrationIsRegistered(); }
static bool sim_status_known(void) { return gsmmgrPinStatus() != GSM_PIN_SimStatus_Unknown; }
#if E2E_SET_LTE
static bool connected(void) { return gsmmgrInternetConnectionSimcomIsConnected(); }
#elif E2E_SET_2G
static bool connected(void) { return gsmmgrInternetConnectionSimcom2GIsConnected(); }
#endif
#if E2E_NET
static bool http_idle(void) { return !gsmmgrHttpClientSimcomHttpOperationPending(); }
#endif

/* ---- steps ------------------------------------------------------------------------------------- */

static void check_wiring(void)
{
    g_step = "wiring";
    /* the generated gsmmgrInit ran its own part and the Init USER CODE */
    CHECK_EQ(e2e_hal_manager_init_count(), 1);
    CHECK((mGsmPwrInst.SetReset != NULL) == (E2E_RESET_PIN != 0));
    CHECK(mGsmPwrInst.ReadStatus != NULL);
    CHECK_EQ(mGsmBasicCommsInst.EchoOn, E2E_ECHO);
    CHECK((mGsmPromptInst.DataBuffer != NULL) == (E2E_PROMPT_BUFFER != 0));
    CHECK_EQ(mGsmPromptInst.DataBufferSize, E2E_PROMPT_BUFFER ? 1024 : 0);
    CHECK((mGsmPromptInst.EchoCancellationBuffer != NULL) == (E2E_ECHO_BUFFER != 0));
    CHECK_EQ(mGsmPromptInst.EchoCancellationBufferSize, E2E_ECHO_BUFFER ? 1024 : 0);
}

static void bring_up_with_pin(int boot)
{
    long ev;
    size_t from;
    g_step = boot == 0 ? "boot" : "boot after recovery";
    CHECK(run_until(established, 60000));
    CHECK(sim_is_on(g_sim));
    CHECK_EQ(sim_echo(g_sim), E2E_ECHO);

    g_step = boot == 0 ? "pin" : "pin after recovery";
    CHECK(run_until(sim_status_known, 15000));
    CHECK_EQ(gsmmgrPinStatus(), GSM_PIN_SimStatus_SimPin);
    /* the PIN event handler was told that the SIM wants its PIN */
    ev = e2e_find_event("PIN", GSM_PIN_EventType_SimStatus, 0);
    while (ev >= 0 && e2e_event_at((size_t)ev)->a != GSM_PIN_SimStatus_SimPin)
    {
        ev = e2e_find_event("PIN", GSM_PIN_EventType_SimStatus, (size_t)ev + 1);
    }
    CHECK(ev >= 0);
    poll_ms(2000);
    CHECK(!registered()); /* the SIM is locked: no network yet */
    from = e2e_event_count();
    sim_tx_clear(g_sim);
    gsmmgrPinEnter(123); /* a four-digit PIN with a leading zero */
    CHECK(wait_event("PIN", GSM_PIN_EventType_PinSuccess, from, 15000) >= 0);
    CHECK(sent_command("AT+CPIN=\"0123\""));
    CHECK(e2e_find_event("PIN", GSM_PIN_EventType_PinFailed, from) < 0);
    CHECK_EQ(gsmmgrPinStatus(), GSM_PIN_SimStatus_Ready);

    g_step = boot == 0 ? "registration" : "registration after recovery";
    CHECK(run_until(registered, 30000));
}

static void signal_quality(uint8_t rssi, uint8_t ber)
{
    size_t from = e2e_event_count();
    long ev;
    g_step = "signal quality";
    sim_set_csq(g_sim, rssi, ber);
    CHECK(gsmmgrSignalQualityQuery());
    ev = wait_event("CSQ", GSM_SignalQuality_EventType_QuerySuccess, from, 5000);
    CHECK(ev >= 0);
    if (ev >= 0)
    {
        CHECK_EQ(e2e_event_at((size_t)ev)->a, rssi);
        CHECK_EQ(e2e_event_at((size_t)ev)->b, ber);
    }
    CHECK_EQ(gsmmgrSignalQualityRssiTo_dBm(18), -77);
}

#if E2E_SET_LTE
static void sms_and_ussd(void)
{
    static char number[] = "+491701234567";
    static char text[] = "Hello from a generated project";
    static char ussd[] = "*100#";
    size_t from;
    long ev;

    g_step = "sms send";
    from = e2e_event_count();
    CHECK(gsmmgrSmsSend(number, text));
    ev = wait_event("SEND", GSM_SmsSend_EventType_SendSuccess, from, 20000);
    CHECK(ev >= 0);
    if (ev >= 0)
    {
        CHECK_EQ(e2e_event_at((size_t)ev)->a, 42);
    }
    CHECK_EQ(sim_sms_sent_count(g_sms), 1);
    CHECK_STR(sim_sms_sent_number(g_sms, 0), number);
    CHECK_STR(sim_sms_sent_text(g_sms, 0), text);
    ev = wait_event("SEND", GSM_SmsSend_EventType_DeliveryStatusReport, from, 15000);
    CHECK(ev >= 0);
    if (ev >= 0)
    {
        CHECK_EQ(e2e_event_at((size_t)ev)->a, 42);
        CHECK_EQ(e2e_event_at((size_t)ev)->b, GSM_SmsSend_DeliveryStatusReportType_Delivered);
        CHECK_STR(e2e_event_at((size_t)ev)->text, number);
    }
    CHECK(e2e_find_event("SEND", GSM_SmsSend_EventType_SendFailed, from) < 0);

    g_step = "sms receive";
    from = e2e_event_count();
    CHECK(sim_sms_receive(g_sms, "+4915112345678", "24/05/01,12:34:56+08", "Ping from the network") >= 0);
    ev = wait_event("READ", GSM_SmsRead_EventType_ReadSuccess, from, 20000);
    CHECK(ev >= 0);
    if (ev >= 0)
    {
        CHECK_STR(e2e_event_at((size_t)ev)->text, "+4915112345678: Ping from the network");
    }

    g_step = "ussd";
    from = e2e_event_count();
    CHECK(gsmmgrUssdSend(ussd));
    ev = wait_event("USSD", GSM_USSD_EventType_UssdResponse, from, 20000);
    CHECK(ev >= 0);
    if (ev >= 0)
    {
        CHECK_EQ(e2e_event_at((size_t)ev)->a, GSM_USSD_Status_Final);
        CHECK_STR(e2e_event_at((size_t)ev)->text, "Your balance is 5.00 EUR. Valid until 31.12.2024");
    }
}
#endif

#if E2E_NET
static void http_get(void)
{
    static char url[] = "http://example.com/e2e/data.txt";
    static uint8_t body[1500];
    const uint8_t* got;
    size_t got_len = 0;
    size_t i;
    size_t from;
    long ev;

    g_step = "internet connection";
    CHECK(run_until(connected, 60000));
#if E2E_SET_LTE
    CHECK_STR(sim_net_apn(g_net), "internet"); /* handed over by gsmGetAPN */
#endif

    g_step = "http get";
    for (i = 0; i < sizeof body; i++)
    {
        body[i] = (uint8_t)('A' + (i * 7) % 26);
    }
    sim_http_add(g_http, url, 200, body, sizeof body, 800, false);
    e2e_body_clear();
    from = e2e_event_count();
    CHECK(gsmmgrHttpClientSimcomGet(url));
    CHECK(gsmmgrHttpClientSimcomHttpOperationPending());
    CHECK(run_until(http_idle, 60000));
    ev = e2e_find_event("HTTP", GSM_HttpClientSimcom_EventType_HttpResult, from);
    CHECK(ev >= 0);
    /* the last event closes the request: success, status 200, the whole body in order */
    {
        size_t n = e2e_event_count();
        const E2eEvent* last = n > from ? e2e_event_at(n - 1) : NULL;
        CHECK(last != NULL);
        if (last)
        {
            CHECK_STR(last->module, "HTTP");
            CHECK_EQ(last->a, GSM_HttpClientSimcom_Result_Success);
            CHECK_EQ(last->b, 200);
            CHECK_STR(last->text, "last");
        }
    }
    got = e2e_body(&got_len);
    CHECK_EQ(got_len, sizeof body);
    CHECK(got_len == sizeof body && memcmp(got, body, sizeof body) == 0);
    CHECK(e2e_body_in_order());
    CHECK_EQ(sim_http_actions(g_http), 1);
}
#endif

#if E2E_SET_LTE
static void mqtt_round_trip(void)
{
    static char client_id[] = "e2e-device";
    static char server[] = "tcp://broker.example.com:1883";
    static char filter[] = "e2e/#";
    static char topic[] = "e2e/echo";
    static char message[] = "round trip";
    GSM_MqttClientSimcom_Connect_Session session;
    const uint8_t* got;
    size_t got_len = 0;
    size_t from;
    long ev;

    g_step = "mqtt";
    gsmmgrMqttClientSimcomInitConfigDefault(&session);
    session.ClientId = client_id;
    session.ServerAddress = server;
    from = e2e_event_count();
    CHECK(gsmmgrMqttClientSimcomConnect(&session));
    CHECK(wait_event("MQTT", GSM_MqttClientSimcom_EventType_ConnectSuccess, from, 30000) >= 0);
    CHECK(sim_mqtt_connected(g_mqtt));
    CHECK_STR(sim_mqtt_client_id(g_mqtt), client_id);
    CHECK(gsmmgrMqttClientSimcomSubscribe(filter, 1));
    CHECK(wait_event("MQTT", GSM_MqttClientSimcom_EventType_SubscribeSuccess, from, 30000) >= 0);
    CHECK_EQ(sim_mqtt_subscription_count(g_mqtt), 1);
    e2e_body_clear();
    CHECK(gsmmgrMqttClientSimcomPublish(topic, message));
    CHECK(wait_event("MQTT", GSM_MqttClientSimcom_EventType_PublishSuccess, from, 30000) >= 0);
    CHECK_EQ(sim_mqtt_published_count(g_mqtt), 1);
    CHECK_STR(sim_mqtt_published_topic(g_mqtt, 0), topic);
    {
        size_t len = 0;
        const char* published = sim_mqtt_published_payload(g_mqtt, 0, &len);
        CHECK_EQ(len, strlen(message));
        CHECK(published != NULL && len == strlen(message) && memcmp(published, message, len) == 0);
    }
    /* the broker hands the message back to the subscriber: topic, payload, end */
    ev = wait_event("MQTT", GSM_MqttClientSimcom_EventType_MsgRxEnd, from, 30000);
    CHECK(ev >= 0);
    ev = e2e_find_event("MQTT", GSM_MqttClientSimcom_EventType_MsgRxTopic, from);
    CHECK(ev >= 0);
    if (ev >= 0)
    {
        CHECK_STR(e2e_event_at((size_t)ev)->text, topic);
    }
    got = e2e_body(&got_len);
    CHECK_EQ(got_len, strlen(message));
    CHECK(got_len == strlen(message) && memcmp(got, message, got_len) == 0);
    CHECK(e2e_find_event("MQTT", GSM_MqttClientSimcom_EventType_ErrorResponse, from) < 0);
    CHECK_EQ(gsmmgrMqttClientServerConnectionState(), GSM_MQTT_ServerStatus_Connected);
    CHECK(gsmmgrMqttClientSimcomDisconnect());
    CHECK(wait_event("MQTT", GSM_MqttClientSimcom_EventType_DisconnectSuccess, from, 30000) >= 0);
}
#endif

static void hang_and_recover(void)
{
    uint32_t boots = sim_boot_count(g_sim);
    uint32_t presses = sim_pwrkey_presses(g_sim);
    uint32_t resets = sim_resets(g_sim);
    size_t from;

    g_step = "hang";
    sim_set_hung(g_sim, true);
    from = e2e_event_count();
    /* the application only asks for the signal quality; it has no recovery code of its own */
    CHECK(gsmmgrSignalQualityQuery());
    CHECK(run_until(comms_lost, 30000));
    CHECK(e2e_find_event("CSQ", GSM_SignalQuality_EventType_QuerySuccess, from) < 0);
    CHECK(run_until(established, 90000));
    CHECK_EQ(sim_boot_count(g_sim), boots + 1);
#if E2E_RESET_PIN
    CHECK_EQ(sim_resets(g_sim), resets + 1); /* the reset line was pulsed */
    (void)presses;
#else
    CHECK_EQ(sim_resets(g_sim), resets);      /* no reset line: the power key cycled the modem */
    CHECK(sim_pwrkey_presses(g_sim) > presses);
#endif
    e2e_events_clear();
    bring_up_with_pin(1);
    signal_quality(25, 0);
#if E2E_NET
    g_step = "internet after recovery";
    CHECK(run_until(connected, 90000));
#endif
}

int main(void)
{
    SimConfig cfg;
    uint32_t simulated_ms;

#if E2E_SET_2G
    sim_config_default(&cfg, SIM_FAMILY_2G);
#else
    sim_config_default(&cfg, SIM_FAMILY_LTE_Q);
#endif
    cfg.card = SIM_CARD_PIN;
    cfg.pin = "0123";
    g_sim = sim_create(&cfg);
#if E2E_NET
#if E2E_SET_LTE
    g_net = sim_net_attach(g_sim, "internet");
#else
    g_net = sim_net_attach(g_sim, NULL);
#endif
    g_http = sim_http_attach(g_sim, g_net);
#endif
#if E2E_SET_LTE
    g_sms = sim_sms_attach(g_sim, 10);
    g_ussd = sim_ussd_attach(g_sim);
    g_mqtt = sim_mqtt_attach(g_sim);
#endif
    /* the UART hands over at most 16 bytes per millisecond (a little above 115200 baud) */
    sim_set_fragment(g_sim, 16);
    e2e_hal_bind(g_sim);

    gsmmgrInit();
    check_wiring();

    bring_up_with_pin(0);
    g_step = "power key";
    CHECK_EQ(sim_pwrkey_presses(g_sim), 1);
    CHECK(gsmmgrPowerGet());
    CHECK_EQ(sim_resets(g_sim), 0);
    signal_quality(18, 99);
#if E2E_SET_LTE
    sms_and_ussd();
#endif
#if E2E_NET
    http_get();
#endif
#if E2E_SET_LTE
    mqtt_round_trip();
#endif
    hang_and_recover();

    g_step = "debug output";
#if E2E_DEBUG_OUTPUT
    /* gsmDebugWriteText -> gsmDebugWrite -> debug buffer -> gsmDebugTxPoll -> the debug UART */
    CHECK(strstr(e2e_hal_debug_text(), "e2e: SIM status\r\n") != NULL);
#else
    CHECK_EQ(e2e_hal_debug_length(), 0);
#endif
#if E2E_LIBRARY_DEBUG
    CHECK(strstr(e2e_hal_debug_text(), "GSM power: on\r\n") != NULL);
#if E2E_RESET_PIN
    CHECK(strstr(e2e_hal_debug_text(), "GSM power: reset\r\n") != NULL);
#endif
#else
    CHECK(strstr(e2e_hal_debug_text(), "GSM power:") == NULL);
#endif

    g_step = "end";
    /* the manager's Poll USER CODE ran once per gsmmgrPoll() */
    CHECK_EQ(gsmmgrE2ePollCount(), sim_now(g_sim));
    CHECK_EQ(e2e_hal_overflows(), 0);
    simulated_ms = sim_now(g_sim);

#if E2E_SET_LTE
    sim_mqtt_detach(g_mqtt);
    sim_ussd_detach(g_ussd);
    sim_sms_detach(g_sms);
#endif
#if E2E_NET
    sim_http_detach(g_http);
    sim_net_detach(g_net);
#endif
    e2e_hal_bind(NULL);
    sim_destroy(g_sim);
    printf("e2e: %d checks, %d failed, %lu ms simulated\n", g_checks, g_failures, (unsigned long)simulated_ms);
    return g_failures == 0 ? 0 : 1;
}
