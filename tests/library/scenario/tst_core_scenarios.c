/*
 * Scenario tests of the core library modules (Power, Prompt, Basic Comms, PIN, Signal Quality,
 * Network Registration) against the modem simulator, for the 2G, LTE-Q and LTE-A profiles.
 * Built twice: with the Basic Comms echo option on and off (HARNESS_ECHO_ON).
 */
#include <stdlib.h>
#include <string.h>

#include "check.h"
#include "gsm_manager.h"
#include "harness.h"
#include "modem_sim.h"

#ifndef HARNESS_ECHO_ON
#define HARNESS_ECHO_ON 1
#endif

extern GSM_Power_Instance mGsmPwrInst;
extern GSM_Prompt_Instance mGsmPromptInst;
extern GSM_BasicComms_Instance mGsmBasicCommsInst;
extern GSM_NetworkRegistration_Instance mGsmNetworkRegistrationInst;

static const SimFamily kFamilies[] = {SIM_FAMILY_2G, SIM_FAMILY_LTE_Q, SIM_FAMILY_LTE_A};
static const char* const kFamilyNames[] = {"2G", "LTE-Q", "LTE-A"};
#define FAMILY_COUNT 3

SimModem* g_sim;

/* Tests of the prompt's command channel (tst_prompt_scenarios.c). */
extern const CheckTest g_prompt_tests[];
extern const size_t g_prompt_test_count;

void family_end(void) {}

void family_begin(const char* test, int family)
{
    check_context("%s/%s/echo%d", test, kFamilyNames[family], HARNESS_ECHO_ON);
}

/* The clock of the next start_with begins here (to cross the 32-bit wrap); once. */
static uint32_t g_start_time;

SimModem* start_with(SimConfig* cfg, const HarnessOptions* opt)
{
    if (g_sim)
    {
        sim_destroy(g_sim);
    }
    g_sim = sim_create(cfg);
    sim_set_time(g_sim, g_start_time);
    g_start_time = 0;
    harness_start(g_sim, opt);
    return g_sim;
}

static SimModem* start_family(int family)
{
    SimConfig cfg;
    sim_config_default(&cfg, kFamilies[family]);
    return start_with(&cfg, NULL);
}

static bool established(void) { return gsmmgrBasicCommsCommunicationEstablished(); }
static bool registered(void) { return gsmmgrNetworkRegistrationIsRegistered(); }
static bool sim_known(void) { return gsmmgrPinStatus() != GSM_PIN_SimStatus_Unknown; }
static bool comms_lost(void) { return !gsmmgrBasicCommsCommunicationEstablished(); }

/* Runs until communication is up and PIN / registration have done their set-up. */
bool bring_up(void)
{
    if (!harness_run_until(established, 60000))
    {
        return false;
    }
    if (!harness_run_until(sim_known, 10000))
    {
        return false;
    }
    harness_poll(1000); /* registration set-up */
    return true;
}

/* Index of the first command after the leading "AT" handshake attempts. */
static size_t after_handshake(const SimModem* sim)
{
    size_t i = 0;
    while (sim_command(sim, i) && strcmp(sim_command(sim, i), "AT") == 0)
    {
        i++;
    }
    return i;
}

/* Queries the signal quality while the modem reports rssi,ber; the success event must carry both. */
static void check_signal_query(SimModem* sim, int rssi, int ber, uint32_t wait_ms)
{
    long ev;
    harness_events_clear();
    sim_set_csq(sim, rssi, ber);
    CHECK(gsmmgrSignalQualityQuery());
    harness_poll(wait_ms);
    ev = harness_find_event("CSQ", GSM_SignalQuality_EventType_QuerySuccess, 0);
    CHECK(ev >= 0);
    CHECK(ev < 0 || (harness_event((size_t)ev)->a == rssi && harness_event((size_t)ev)->b == ber));
}

/* The first event of module/type must exist and carry `a`; returns its index (or -1). */
static long check_event(const char* module, int type, long a)
{
    long ev = harness_find_event(module, type, 0);
    CHECK(ev >= 0);
    CHECK(ev < 0 || harness_event((size_t)ev)->a == a);
    return ev;
}

static const char* echo_cmd(void) { return HARNESS_ECHO_ON ? "ATE1" : "ATE0"; }

/* ---- start-up ---------------------------------------------------------------------------------- */

/* The start-up of each family, byte by byte; on LTE-Q the clock wraps during the boot. */
FAMILY_TEST(startupSendsHandshakeEchoAndSetupInOrder)
{
    SimModem* sim;
    char expected_tx[512];
    g_start_time = f == 1 ? 0xFFFFFFFFu - 5000u : 0u;
    sim = start_family(f);
    CHECK(bring_up());
    /* the power key was pressed once, for the default power-on length */
    CHECK_EQ_INT(sim_pwrkey_presses(sim), 1);
    CHECK(sim_is_on(sim));
    CHECK(after_handshake(sim) >= 1);
    /* exact bytes on the wire: commands end with CR only; handshake attempts sent while the
     * modem was still booting reached no command parser, so count them on the wire */
    expected_tx[0] = '\0';
    {
        const char* tx = sim_tx(sim, NULL);
        while (strncmp(tx, "AT\r", 3) == 0 && strlen(expected_tx) < 300)
        {
            strcat(expected_tx, "AT\r");
            tx += 3;
        }
    }
    strcat(expected_tx, HARNESS_ECHO_ON ? "ATE1\r" : "ATE0\r");
    strcat(expected_tx, "AT+CMEE=1\rAT+CPIN?\rAT+CREG=1\rAT+CGREG=1\rAT+CEREG=1\rAT+CREG?\rAT+CGREG?\r");
    if (f != 0)
    {
        strcat(expected_tx, "AT+CEREG?\r");
    }
    CHECK_EQ_STR(sim_tx(sim, NULL), expected_tx);
    CHECK_EQ_INT(sim_echo(sim), HARNESS_ECHO_ON);
    CHECK_EQ_INT(sim_cmee(sim), 1);
    /* events: the SIM status once */
    CHECK(harness_find_event("PIN", GSM_PIN_EventType_SimStatus, 0) >= 0);
    CHECK_EQ_INT(harness_event(0)->a, GSM_PIN_SimStatus_Ready);
    CHECK_EQ_INT(harness_event_count(), 1);
    CHECK(harness_run_until(registered, 10000));
    CHECK(sim_now(sim) < 0x10000000u);
    CHECK_EQ_INT(gsmNetworkRegistrationIfIsLte(&mGsmNetworkRegistrationInst._i), f != 0);
    /* no PIN needed: an entry is refused without sending anything */
    sim_tx_clear(sim);
    harness_events_clear();
    gsmmgrPinEnter(1234);
    harness_poll(500);
    check_event("PIN", GSM_PIN_EventType_PinFailed, GSM_PIN_FailReason_NotRequired);
    CHECK(strstr(sim_tx(sim, NULL), "AT+CPIN=") == NULL);
}

static void autobaudModemAnswersAfterLostAttempts(void)
{
    SimConfig cfg;
    SimModem* sim;
    g_check_context = __func__;
    sim_config_default(&cfg, SIM_FAMILY_2G);
    cfg.autobaud = true;
    cfg.autobaud_lost_at = 2;
    sim = start_with(&cfg, NULL);
    CHECK(bring_up());
    CHECK(after_handshake(sim) >= 3); /* two ignored, one answered */
    CHECK_EQ_STR(sim_command(sim, after_handshake(sim)), echo_cmd());
}

/* Without STATUS the modem is probed before the key is pressed: a stopped one gets one press, one
 * that already runs (switched on before the microcontroller started) none. A reset line does not
 * start a stopped modem: the key follows a reset that did not help. */
static void noStatusPinProbesBeforePressingPowerKey(void)
{
    static const struct
    {
        int running;
        bool reset_pin;
        SimFamily family;
    } rows[] = {{0, false, SIM_FAMILY_2G}, {1, true, SIM_FAMILY_LTE_A}, {0, true, SIM_FAMILY_LTE_A}};
    size_t r;
    for (r = 0; r < sizeof rows / sizeof rows[0]; r++)
    {
        SimConfig cfg;
        SimModem* sim;
        HarnessOptions o = harness_default_options();
        check_context("%s/running%d/reset%d/echo%d", __func__, rows[r].running, rows[r].reset_pin,
                      HARNESS_ECHO_ON);
        o.status_pin = false;
        o.reset_pin = rows[r].reset_pin;
        sim_config_default(&cfg, rows[r].family);
        if (g_sim)
        {
            sim_destroy(g_sim);
        }
        sim = g_sim = sim_create(&cfg);
        if (rows[r].running)
        {
            sim_set_pwrkey(sim, true);
            sim_advance(sim, 600);
            sim_set_pwrkey(sim, false);
            sim_advance(sim, 10000);
        }
        harness_start(sim, &o);
        harness_poll(1000);
        CHECK_EQ_INT(sim_pwrkey_presses(sim), rows[r].running);
        /* an unanswered probe means a modem that is off: the key starts it (the reset line cannot) */
        CHECK(harness_run_until(established, 20000));
        CHECK(bring_up());
        CHECK_EQ_INT(sim_pwrkey_presses(sim), 1);
        CHECK(sim_is_on(sim));
    }
}

/* ---- power ---------------------------------------------------------------------------------------- */

/* A power-on press too short for the board is retried (after the reset line did not help either)
 * with the press length set meanwhile; switching off and on uses the set lengths too. */
static void powerPressesUseConfiguredLengthsAndAreRetried(void)
{
    SimConfig cfg;
    SimModem* sim;
    uint32_t t0;
    g_check_context = __func__;
    sim_config_default(&cfg, SIM_FAMILY_2G);
    cfg.min_on_press_ms = 1500; /* the default 1.2 s press is too short for this board */
    sim = start_with(&cfg, NULL);
    harness_poll(GSM_POWER_STATUS_TIMEOUT_MS + 3000);
    CHECK(!sim_is_on(sim));
    CHECK_EQ_INT(sim_pwrkey_presses(sim), 1);
    gsmmgrPowerSetPowerKeyPressDurations(1600, 2600);
    CHECK(harness_run_until(established, 2 * GSM_POWER_STATUS_TIMEOUT_MS + GSM_POWER_RETRY_DELAY_MS + 10000));
    CHECK_EQ_INT(sim_pwrkey_presses(sim), 2);
    CHECK(bring_up());
    gsmmgrPowerSet(false);
    t0 = sim_now(sim);
    harness_poll(2599);
    CHECK(sim_is_on(sim)); /* key still held */
    harness_poll(30000);
    CHECK(!sim_is_on(sim));
    CHECK(!gsmmgrPowerGet());
    CHECK(!established());
    CHECK(sim_now(sim) - t0 >= 2600);
    gsmmgrPowerSet(true);
    CHECK(bring_up());
    CHECK(gsmmgrPowerGet());
    CHECK_EQ_INT(sim_pwrkey_presses(sim), 4);
}

/* ---- PIN ------------------------------------------------------------------------------------------- */

FAMILY_TEST(pinRequiredIsEnteredWithLeadingZeros)
{
    SimConfig cfg;
    SimModem* sim;
    long ev;
    sim_config_default(&cfg, kFamilies[f]);
    cfg.card = SIM_CARD_PIN;
    cfg.pin = "0123";
    sim = start_with(&cfg, NULL);
    CHECK(bring_up());
    CHECK_EQ_INT(gsmmgrPinStatus(), GSM_PIN_SimStatus_SimPin);
    CHECK(!registered());
    sim_tx_clear(sim);
    harness_events_clear();
    gsmmgrPinEnter(123);
    harness_poll(5000);
    CHECK(strstr(sim_tx(sim, NULL), "AT+CPIN=\"0123\"\r") != NULL);
    ev = harness_find_event("PIN", GSM_PIN_EventType_PinSuccess, 0);
    CHECK(ev >= 0);
    CHECK(harness_find_event("PIN", GSM_PIN_EventType_SimStatus, 0) >= 0);
    CHECK_EQ_INT(gsmmgrPinStatus(), GSM_PIN_SimStatus_Ready);
    CHECK(harness_find_event("PIN", GSM_PIN_EventType_PinFailed, 0) < 0);
    CHECK(harness_run_until(registered, 15000));
}

/* A SIM that asks for its PIN and gives no "+CPIN: READY" after a correct one: a wrong PIN fails
 * with its CME error, the right one is confirmed by reading the status; after a restart the SIM is
 * locked again, and the third wrong PIN in a row locks it behind the PUK. */
FAMILY_TEST(pinFailuresConfirmationRestartAndPuk)
{
    SimConfig cfg;
    SimModem* sim;
    int i;
    long ev;
    sim_config_default(&cfg, kFamilies[f]);
    cfg.card = SIM_CARD_PIN;
    cfg.no_pin_ready_urc = true;
    sim = start_with(&cfg, NULL);
    CHECK(bring_up());
    sim_tx_clear(sim);
    for (i = 0; i < 5; i++)
    {
        harness_events_clear();
        gsmmgrPinEnter(i == 1 ? 1234 : 1111);
        harness_poll(3000);
        if (i == 1)
        {
            CHECK(harness_find_event("PIN", GSM_PIN_EventType_PinSuccess, 0) >= 0);
            CHECK_EQ_INT(gsmmgrPinStatus(), GSM_PIN_SimStatus_Ready);
            CHECK(harness_count_command("AT+CPIN?") >= 2); /* after the wrong PIN, and to confirm the right one */
            harness_events_clear();
            sim_reboot(sim);
            harness_poll(20000);
            CHECK(established());
            /* the new session read the SIM again and reported that it is locked */
            check_event("PIN", GSM_PIN_EventType_SimStatus, GSM_PIN_SimStatus_SimPin);
            CHECK(!registered());
            continue;
        }
        ev = check_event("PIN", GSM_PIN_EventType_PinFailed, GSM_PIN_FailReason_WrongPin);
        CHECK(ev < 0 || harness_event((size_t)ev)->b == 16);
    }
    CHECK_EQ_INT(sim_card(sim), SIM_CARD_PUK);
    CHECK_EQ_INT(gsmmgrPinStatus(), GSM_PIN_SimStatus_SimPuk);
    /* a further entry is refused without sending anything */
    sim_tx_clear(sim);
    harness_events_clear();
    gsmmgrPinEnter(1234);
    harness_poll(1000);
    check_event("PIN", GSM_PIN_EventType_PinFailed, GSM_PIN_FailReason_PukRequired);
    CHECK(strstr(sim_tx(sim, NULL), "AT+CPIN=") == NULL);
}

FAMILY_TEST(missingSimIsReported)
{
    SimConfig cfg;
    sim_config_default(&cfg, kFamilies[f]);
    cfg.card = SIM_CARD_ABSENT;
    start_with(&cfg, NULL);
    CHECK(bring_up());
    CHECK_EQ_INT(gsmmgrPinStatus(), GSM_PIN_SimStatus_NotInserted);
    CHECK(harness_find_event("PIN", GSM_PIN_EventType_SimStatus, 0) >= 0);
}

static void simBusyAnswerIsRetried(void)
{
    SimModem* sim;
    g_check_context = __func__;
    sim = start_family(2);
    harness_run_until(established, 60000);
    /* the first AT+CPIN? (the next command) answers +CME ERROR: 14 (SIM busy) */
    sim_fail_next_command(sim, 14);
    CHECK(harness_run_until(sim_known, 5000));
    CHECK_EQ_INT(gsmmgrPinStatus(), GSM_PIN_SimStatus_Ready);
    CHECK(harness_count_command("AT+CPIN?") == 2);
}

/* "+CPIN:" URCs change the status at any time, also inside the answer of another module's command,
 * and a "+CPIN: READY" that comes before the OK of the PIN entry completes the entry once; a "+CREG:"
 * inside Signal Quality's answer goes to Network Registration, and the answer is still parsed. */
static void simStatusUrcsAreFollowed(void)
{
    static const SimInjectPos positions[] = {SIM_INJECT_BEFORE_ECHO, SIM_INJECT_AFTER_ECHO, SIM_INJECT_BEFORE_FINAL};
    size_t p;
    for (p = 0; p < 3; p++)
    {
        SimConfig cfg;
        SimModem* sim;
        long ev;
        check_context("%s/pos%u/echo%d", __func__, (unsigned)p, HARNESS_ECHO_ON);
        sim_config_default(&cfg, SIM_FAMILY_2G);
        cfg.card = SIM_CARD_PIN;
        cfg.no_pin_ready_urc = true;
        sim = start_with(&cfg, NULL);
        CHECK(bring_up());
        harness_poll(2000); /* registration set-up done: the PIN entry is the next command */
        harness_events_clear();
        sim_inject_urc_in_next_response(sim, "+CPIN: READY", positions[p]);
        gsmmgrPinEnter(1234);
        harness_poll(3000);
        ev = harness_find_event("PIN", GSM_PIN_EventType_PinSuccess, 0);
        CHECK(ev >= 0);
        CHECK(ev < 0 || harness_find_event("PIN", GSM_PIN_EventType_PinSuccess, (size_t)ev + 1u) < 0);
        CHECK(harness_find_event("PIN", GSM_PIN_EventType_PinFailed, 0) < 0);
        CHECK_EQ_INT(gsmmgrPinStatus(), GSM_PIN_SimStatus_Ready);
        CHECK(harness_run_until(registered, 15000));
        sim_inject_urc_in_next_response(sim, "+CREG: 2", positions[p]);
        check_signal_query(sim, 7, 3, 300);
        CHECK(!registered());

        /* the SIM is pulled while Signal Quality's command runs */
        harness_events_clear();
        sim_set_card(sim, SIM_CARD_ABSENT);
        sim_inject_urc_in_next_response(sim, "+CPIN: NOT INSERTED", positions[p]);
        CHECK(gsmmgrSignalQualityQuery());
        harness_poll(300);
        CHECK(harness_find_event("CSQ", GSM_SignalQuality_EventType_QuerySuccess, 0) >= 0);
        check_event("PIN", GSM_PIN_EventType_SimStatus, GSM_PIN_SimStatus_NotInserted);
        CHECK_EQ_INT(gsmmgrPinStatus(), GSM_PIN_SimStatus_NotInserted);
    }
}

/* ---- signal quality ------------------------------------------------------------------------------- */

/* A query before communication is refused; one at a time; the answer (echoed on the wire only with
 * echo on) gives rssi and ber; an error answer is a failure, not a lost modem. */
FAMILY_TEST(signalQueryReportsRssiAndBerOrFailure)
{
    SimModem* sim;
    long ev;
    size_t len;
    sim = start_family(f);
    harness_poll(100);
    CHECK(!gsmmgrSignalQualityQuery());
    CHECK(bring_up());
    sim_set_csq(sim, 18, 99);
    harness_events_clear();
    sim_tx_clear(sim);
    sim_rx_clear(sim);
    CHECK(gsmmgrSignalQualityQuery());
    CHECK(!gsmmgrSignalQualityQuery()); /* one at a time */
    harness_poll(300);
    CHECK_EQ_STR(sim_tx(sim, NULL), "AT+CSQ\r");
    CHECK_EQ_INT(strstr(sim_rx(sim, &len), "AT+CSQ\r") != NULL, HARNESS_ECHO_ON);
    ev = harness_find_event("CSQ", GSM_SignalQuality_EventType_QuerySuccess, 0);
    CHECK_EQ_INT(harness_event_count(), 1);
    CHECK(ev >= 0 && harness_event((size_t)ev)->a == 18 && harness_event((size_t)ev)->b == 99);
    CHECK(ev < 0 || gsmmgrSignalQualityRssiTo_dBm((uint8_t)harness_event((size_t)ev)->a) == -77);
    harness_events_clear();
    sim_fail_next_command(sim, 100);
    CHECK(gsmmgrSignalQualityQuery());
    harness_poll(300);
    CHECK(harness_find_event("CSQ", GSM_SignalQuality_EventType_QueryFailed, 0) >= 0);
    CHECK(harness_find_event("CSQ", GSM_SignalQuality_EventType_QuerySuccess, 0) < 0);
    CHECK(established());
}

/* ---- registration --------------------------------------------------------------------------------- */

/* Registered (roaming) before the library enables the URCs: the read at start finds it; then the
 * URCs are followed. */
FAMILY_TEST(registrationFollowsUrcs)
{
    SimConfig cfg;
    SimModem* sim;
    sim_config_default(&cfg, kFamilies[f]);
    cfg.register_ms = 1;
    cfg.register_stat = 5;
    sim = start_with(&cfg, NULL);
    CHECK(bring_up());
    CHECK(registered());
    CHECK_EQ_INT(harness_count_command("AT+CREG?"), 1);
    sim_set_registration(sim, SIM_REG_CS, 2);
    sim_set_registration(sim, SIM_REG_GPRS, 2);
    sim_set_registration(sim, SIM_REG_EPS, 2);
    harness_poll(100);
    CHECK(!registered());
    sim_set_registration(sim, SIM_REG_CS, 5); /* roaming counts as registered */
    harness_poll(100);
    CHECK(registered());
    sim_set_registration(sim, SIM_REG_CS, 3); /* denied */
    harness_poll(100);
    CHECK(!registered());
    if (f != 0)
    {
        /* LTE: data registration alone is enough (data-only SIM) */
        sim_set_registration(sim, SIM_REG_EPS, 1);
        harness_poll(100);
        CHECK(registered());
        CHECK(gsmNetworkRegistrationIfIsRegisteredForData(&mGsmNetworkRegistrationInst._i));
    }
    else
    {
        /* 2G: GPRS attach alone is not a network registration */
        sim_set_registration(sim, SIM_REG_GPRS, 1);
        harness_poll(100);
        CHECK(!registered());
        CHECK(gsmNetworkRegistrationIfIsRegisteredForData(&mGsmNetworkRegistrationInst._i));
    }
}

static bool eps_read(void) { return harness_count_command("AT+CEREG?") > 0; }
static bool eps_enable_sent(void) { return harness_count_command("AT+CEREG=1") > 0; }

static bool gprs_enable_sent(void) { return harness_count_command("AT+CGREG=1") > 0; }

/* A modem of family `f` that registers as soon as it is asked. */
static SimModem* start_registering_at_once(int f)
{
    SimConfig cfg;
    sim_config_default(&cfg, kFamilies[f]);
    cfg.register_ms = 1;
    return start_with(&cfg, NULL);
}

/* A 2G modem answers AT+CEREG=1 with ERROR: it is not asked again. An LTE modem that refuses it for
 * the moment ("+CME ERROR") is asked again after the pause and counts as LTE, so that a data-only
 * registration (+CEREG alone) is followed. */
FAMILY_TEST(refusedEpsEnableTellsTwoGOnlyByPlainError)
{
    SimModem* sim = start_registering_at_once(f);
    CHECK(harness_run_until(gprs_enable_sent, 60000));
    if (f != 0)
    {
        sim_fail_next_command(sim, 100);
    }
    CHECK(harness_run_until(registered, 60000));
    harness_poll(GSM_NETWORKREGISTRATION_RETRY_MS + 5000);
    CHECK_EQ_INT(harness_count_command("AT+CEREG=1"), f != 0 ? 2 : 1);
    CHECK_EQ_INT(gsmNetworkRegistrationIfIsLte(&mGsmNetworkRegistrationInst._i), f != 0);
    if (f != 0)
    {
        sim_set_registration(sim, SIM_REG_CS, 3);
        sim_set_registration(sim, SIM_REG_GPRS, 0);
        sim_set_registration(sim, SIM_REG_EPS, 1);
        harness_poll(100);
        CHECK(registered());
    }
}

/* A "+CREG:" URC inside the answer of AT+CREG? is a URC: before the answer line the answer (newer)
 * decides, after it the URC does. */
FAMILY_TEST(registrationUrcInsideTheReadAnswerIsFollowed)
{
    static const struct
    {
        SimInjectPos pos;
        uint8_t stat;
    } rows[] = {{SIM_INJECT_AFTER_ECHO, 1}, {SIM_INJECT_BEFORE_FINAL, 2}};
    size_t i;
    for (i = 0; i < sizeof rows / sizeof rows[0]; i++)
    {
        SimModem* sim = start_registering_at_once(f);
        /* AT+CEREG=1 is answered (ERROR on 2G): the next command is AT+CREG? */
        CHECK(harness_run_until(eps_enable_sent, 60000));
        sim_inject_urc_in_next_response(sim, "+CREG: 2", rows[i].pos);
        harness_poll(2000);
        CHECK_EQ_INT(harness_count_command("AT+CREG?"), 1);
        CHECK_EQ_INT(gsmNetworkRegistrationIfStat(&mGsmNetworkRegistrationInst._i, GSM_NetworkRegistration_Domain_CS), rows[i].stat);
    }
}

/* LTE-A modems document up to 9 s for the answers of AT+CREG=1 ... AT+CEREG?: slow answers are
 * awaited, so the set-up runs once through, finds the LTE modem and reads every state. */
static void slowRegistrationAnswersAreAwaited(void)
{
    SimConfig cfg;
    SimModem* sim;
    g_check_context = __func__;
    sim_config_default(&cfg, SIM_FAMILY_LTE_A);
    sim = start_with(&cfg, NULL);
    sim_set_registration_reply_delay(sim, 3000);
    CHECK(harness_run_until(established, 60000));
    CHECK(harness_run_until(eps_read, 40000));
    CHECK(harness_run_until(registered, 10000));
    CHECK_EQ_INT(harness_count_command("AT+CREG=1"), 1);
    CHECK_EQ_INT(harness_count_command("AT+CEREG=1"), 1);
    CHECK(gsmNetworkRegistrationIfIsLte(&mGsmNetworkRegistrationInst._i));
}

/* ---- faults and recovery -------------------------------------------------------------------------- */

/* A hung modem is found by a failed application command (recovered by the reset line, or without it
 * by a power cycle) or, without any application activity, by the keep-alive probe. */
static void hungModemIsRecoveredWithoutApplicationCode(void)
{
    static const struct
    {
        const char* name;
        bool reset_pin;
        bool query;
        int family;
    } rows[] = {{"reset", true, true, 0}, {"powercycle", false, true, 0}, {"keepalive", true, false, 1}};
    size_t r;
    for (r = 0; r < sizeof rows / sizeof rows[0]; r++)
    {
        SimConfig cfg;
        SimModem* sim;
        HarnessOptions o = harness_default_options();
        uint32_t boots;
        check_context("%s/%s/echo%d", __func__, rows[r].name, HARNESS_ECHO_ON);
        o.reset_pin = rows[r].reset_pin;
        sim_config_default(&cfg, kFamilies[rows[r].family]);
        sim = start_with(&cfg, &o);
        CHECK(bring_up());
        CHECK(harness_run_until(registered, 10000));
        boots = sim_boot_count(sim);
        sim_set_hung(sim, true);
        if (rows[r].query)
        {
            CHECK(gsmmgrSignalQualityQuery());
            CHECK(harness_run_until(comms_lost, 10000));
            CHECK(harness_find_event("CSQ", GSM_SignalQuality_EventType_QueryFailed, 0) >= 0);
        }
        else
        {
            CHECK(harness_run_until(comms_lost, GSM_BASICCOMMS_KEEPALIVE_MS + 10000));
        }
        CHECK(harness_run_until(established, 60000));
        CHECK_EQ_INT(sim_boot_count(sim), boots + 1);
        CHECK_EQ_INT(sim_resets(sim), rows[r].reset_pin ? 1 : 0);
        CHECK(harness_run_until(registered, 15000));
        check_signal_query(sim, 11, 2, 300);
    }
}

FAMILY_TEST(modemRebootIsFollowedBySetupAgain)
{
    SimModem* sim;
    uint8_t session;
    sim = start_family(f);
    CHECK(bring_up());
    CHECK(harness_run_until(registered, 10000));
    session = gsmBasicCommsIfSession(&mGsmBasicCommsInst._i);
    sim_tx_clear(sim);
    harness_events_clear();
    sim_reboot(sim); /* brown-out: boot messages follow after the boot time */
    harness_poll(20000);
    CHECK(established());
    CHECK(gsmBasicCommsIfSession(&mGsmBasicCommsInst._i) != session);
    CHECK(harness_count_command(echo_cmd()) == 1); /* echo set again: a boot enables it */
    CHECK_EQ_INT(sim_echo(sim), HARNESS_ECHO_ON);
    CHECK(harness_count_command("AT+CPIN?") >= 1);
    CHECK(harness_count_command("AT+CREG=1") == 1);
    CHECK(harness_run_until(registered, 10000));
    CHECK(harness_find_event("PIN", GSM_PIN_EventType_SimStatus, 0) >= 0);
}

/* A 2G modem in auto-baud mode restarts silently (no "RDY", the boot messages are lost before the
 * rate is locked) and ignores every command until an "AT" locks the rate again: once a probe is
 * answered after unanswered commands (probes, or the command whose time-out started the probes),
 * the modem is set up again in a new session. Rows: the first "AT" after the restart is lost, or
 * it is answered. */
static void autobaudModemRestartIsFollowedBySetupAgain(void)
{
    uint8_t lost;
    for (lost = 0; lost < 2; lost++)
    {
        SimConfig cfg;
        SimModem* sim;
        uint8_t session;
        check_context("%s/lost%u/echo%d", __func__, (unsigned)lost, HARNESS_ECHO_ON);
        sim_config_default(&cfg, SIM_FAMILY_2G);
        cfg.autobaud = true;
        cfg.autobaud_lost_at = lost;
        sim = start_with(&cfg, NULL);
        CHECK(bring_up());
        CHECK(harness_run_until(registered, 10000));
        session = gsmBasicCommsIfSession(&mGsmBasicCommsInst._i);
        sim_reboot(sim);
        harness_poll(3000); /* booted, silent */
        sim_tx_clear(sim);
        harness_events_clear();
        CHECK(gsmmgrSignalQualityQuery());
        harness_poll(10000);
        CHECK(harness_find_event("CSQ", GSM_SignalQuality_EventType_QueryFailed, 0) >= 0);
        CHECK(established());
        CHECK(gsmBasicCommsIfSession(&mGsmBasicCommsInst._i) != session);
        CHECK_EQ_INT(sim_echo(sim), HARNESS_ECHO_ON);
        CHECK_EQ_INT(sim_cmee(sim), 1);
        CHECK_EQ_INT(harness_count_command("AT+CREG=1"), 1);
        CHECK(harness_find_event("PIN", GSM_PIN_EventType_SimStatus, 0) >= 0);
        CHECK(harness_run_until(registered, 10000));
        check_signal_query(sim, 14, 0, 300);
    }
}

static void modemPowerDownMessageLeadsToRestart(void)
{
    SimModem* sim;
    g_check_context = __func__;
    sim = start_family(0);
    CHECK(bring_up());
    /* the modem switches itself off (as after AT+CPOWD=1 or an under-voltage) */
    sim_set_pwrkey(sim, true);
    sim_advance(sim, 1600);
    sim_set_pwrkey(sim, false);
    CHECK(harness_run_until(comms_lost, 5000));
    CHECK(harness_run_until(established, 60000));
    CHECK(sim_is_on(sim));
}

/* Boot and shutdown messages alone, without a real restart or switch-off of the modem: a boot
 * message sets the modem up again, a shutdown message makes the power control wait for STATUS to
 * drop, and look-alike lines (the voltage warnings, longer lines) change nothing. */
static void bootAndShutdownMessagesAreTold(void)
{
    enum
    {
        NOTHING,
        RESTART,
        SHUTDOWN
    };
    static const struct
    {
        const char* line;
        int kind;
    } rows[] = {
        {"RDY", RESTART},
        {"START", RESTART},
        {"*ATREADY: 1", RESTART},
        {"NORMAL POWER DOWN", SHUTDOWN},
        {"POWERD DOWN", SHUTDOWN},
        {"UNDER-VOLTAGE POWER DOWN", SHUTDOWN},
        {"OVER-VOLTAGE POWER DOWN", SHUTDOWN},
        {"+CMTE: 2", SHUTDOWN}, /* temperature */
        {"+CMTE: -2", SHUTDOWN},
        {"+CMTE: 1", NOTHING},
        {"+CMTE: -1", NOTHING},
        {"UNDER-VOLTAGE WARNNING", NOTHING},
        {"OVER-VOLTAGE WARNNING", NOTHING},
        {"RDY?", NOTHING},
        {"STARTED", NOTHING},
        {"*ATREADY: 0", NOTHING},
    };
    size_t i;
    for (i = 0; i < sizeof rows / sizeof rows[0]; i++)
    {
        SimModem* sim;
        uint8_t session;
        check_context("%s/%s", __func__, rows[i].line);
        sim = start_family(1);
        CHECK(bring_up());
        session = gsmBasicCommsIfSession(&mGsmBasicCommsInst._i);
        sim_inject_urc(sim, rows[i].line);
        harness_poll(50);
        if (rows[i].kind == SHUTDOWN)
        {
            CHECK(!established());
            CHECK_EQ_INT(gsmPowerIfState(&mGsmPwrInst._i), GSM_Power_State_SwitchingOff);
            continue;
        }
        CHECK_EQ_INT(gsmPowerIfState(&mGsmPwrInst._i), GSM_Power_State_On);
        CHECK(harness_run_until(established, 10000));
        if (rows[i].kind == RESTART)
        {
            CHECK(gsmBasicCommsIfSession(&mGsmBasicCommsInst._i) != session);
        }
        else
        {
            CHECK_EQ_INT(gsmBasicCommsIfSession(&mGsmBasicCommsInst._i), session);
        }
        CHECK(sim_is_on(sim));
    }
}

FAMILY_TEST(garbageBytesAreIgnored)
{
    static const uint8_t garbage[] = {0x00, 0xFF, 0xFE, 'O', 'K', 0x80, 0x01, '\r', '\n', 0xF0, 'x', 0x00};
    SimModem* sim;
    sim = start_family(f);
    harness_poll(3000);
    sim_inject_raw(sim, garbage, sizeof garbage); /* noise right after power-on */
    CHECK(bring_up());
    sim_inject_raw(sim, garbage, sizeof garbage);
    sim_inject_raw(sim, "\r\n+CSQ: 1,", 10); /* a partial line */
    harness_poll(50);
    check_signal_query(sim, 30, 0, 300);
}

static void linesSplitAtEveryBoundaryGiveSameResult(void)
{
    size_t frag;
    for (frag = 1; frag <= 24; frag++)
    {
        int f = (int)(frag % FAMILY_COUNT);
        SimModem* sim;
        check_context("%s/frag%u/%s/echo%d", __func__, (unsigned)frag, kFamilyNames[f], HARNESS_ECHO_ON);
        sim = start_family(f);
        sim_set_fragment(sim, frag); /* at most `frag` bytes per poll: responses split everywhere */
        CHECK(bring_up());
        CHECK(harness_run_until(registered, 10000));
        CHECK_EQ_INT(gsmmgrPinStatus(), GSM_PIN_SimStatus_Ready);
        check_signal_query(sim, 12, 5, 500);
    }
}

FAMILY_TEST(worksWithoutOptionalPromptBuffers)
{
    SimConfig cfg;
    SimModem* sim;
    HarnessOptions o = harness_default_options();
    o.data_buffer = false;
    o.echo_buffer = false;
    sim_config_default(&cfg, kFamilies[f]);
    cfg.card = SIM_CARD_PIN;
    sim = start_with(&cfg, &o);
    sim_set_fragment(sim, 3);
    CHECK(bring_up());
    gsmmgrPinEnter(1234);
    harness_poll(5000);
    CHECK(harness_find_event("PIN", GSM_PIN_EventType_PinSuccess, 0) >= 0);
    CHECK(harness_run_until(registered, 15000));
    check_signal_query(sim, 20, 1, 300);
}

/* Random faults for a while, then the library must be back to normal on its own. */
static void randomFaultsEndInWorkingCommunication(void)
{
    uint32_t seed;
    for (seed = 1; seed <= 48; seed++)
    {
        uint32_t rng = seed * 2654435761u;
        int f = (int)(seed % FAMILY_COUNT);
        SimModem* sim;
        int step;
#define NEXT_RANDOM() (rng = rng * 1664525u + 1013904223u, (rng >> 16) & 0x7FFFu)
        check_context("%s/seed%u/%s/echo%d", __func__, (unsigned)seed, kFamilyNames[f], HARNESS_ECHO_ON);
        sim = start_family(f);
        for (step = 0; step < 40; step++)
        {
            switch (NEXT_RANDOM() % 9u)
            {
            case 0: sim_reboot(sim); break;
            case 1: sim_set_hung(sim, (NEXT_RANDOM() & 1u) != 0u); break;
            case 2: sim_inject_raw(sim, "\xFF\x00garbage\r", 10); break;
            case 3: sim_inject_urc_in_next_response(sim, "+CREG: 5", (SimInjectPos)(NEXT_RANDOM() % 3u)); break;
            case 4: (void)gsmmgrSignalQualityQuery(); break;
            case 5: sim_set_registration(sim, SIM_REG_CS, (uint8_t)(NEXT_RANDOM() % 6u)); break;
            case 6: sim_set_fragment(sim, NEXT_RANDOM() % 9u); break;
            case 7: sim_inject_urc(sim, "RING"); break;
            default: sim_fail_next_command(sim, 100); break;
            }
            harness_poll(200 + NEXT_RANDOM() % 3000u);
        }
        /* faults end; a modem that was rebooting finishes its boot, the library notices what
         * happened meanwhile (boot message, silence) and sets everything up again */
        sim_set_hung(sim, false);
        sim_fail_next_command(sim, -1);
        sim_set_fragment(sim, 0);
        sim_set_registration(sim, SIM_REG_CS, 1);
        harness_poll(90000);
        CHECK(harness_run_until(established, 200000));
        CHECK(harness_run_until(registered, 60000));
        harness_events_clear();
        sim_set_csq(sim, 9, 1);
        CHECK(harness_run_until(gsmmgrSignalQualityQuery, 5000));
        harness_poll(2000);
        check_event("CSQ", GSM_SignalQuality_EventType_QuerySuccess, 9);
        CHECK_EQ_INT(sim_echo(sim), HARNESS_ECHO_ON);
        CHECK_EQ_INT(gsmmgrPinStatus(), GSM_PIN_SimStatus_Ready);
#undef NEXT_RANDOM
    }
}

static const CheckTest kTests[] = {
    {"startupSendsHandshakeEchoAndSetupInOrder", startupSendsHandshakeEchoAndSetupInOrder},
    {"autobaudModemAnswersAfterLostAttempts", autobaudModemAnswersAfterLostAttempts},
    {"noStatusPinProbesBeforePressingPowerKey", noStatusPinProbesBeforePressingPowerKey},
    {"powerPressesUseConfiguredLengthsAndAreRetried", powerPressesUseConfiguredLengthsAndAreRetried},
    {"pinRequiredIsEnteredWithLeadingZeros", pinRequiredIsEnteredWithLeadingZeros},
    {"pinFailuresConfirmationRestartAndPuk", pinFailuresConfirmationRestartAndPuk},
    {"missingSimIsReported", missingSimIsReported},
    {"simBusyAnswerIsRetried", simBusyAnswerIsRetried},
    {"simStatusUrcsAreFollowed", simStatusUrcsAreFollowed},
    {"signalQueryReportsRssiAndBerOrFailure", signalQueryReportsRssiAndBerOrFailure},
    {"registrationFollowsUrcs", registrationFollowsUrcs},
    {"refusedEpsEnableTellsTwoGOnlyByPlainError", refusedEpsEnableTellsTwoGOnlyByPlainError},
    {"slowRegistrationAnswersAreAwaited", slowRegistrationAnswersAreAwaited},
    {"registrationUrcInsideTheReadAnswerIsFollowed", registrationUrcInsideTheReadAnswerIsFollowed},
    {"hungModemIsRecoveredWithoutApplicationCode", hungModemIsRecoveredWithoutApplicationCode},
    {"modemRebootIsFollowedBySetupAgain", modemRebootIsFollowedBySetupAgain},
    {"autobaudModemRestartIsFollowedBySetupAgain", autobaudModemRestartIsFollowedBySetupAgain},
    {"modemPowerDownMessageLeadsToRestart", modemPowerDownMessageLeadsToRestart},
    {"bootAndShutdownMessagesAreTold", bootAndShutdownMessagesAreTold},
    {"garbageBytesAreIgnored", garbageBytesAreIgnored},
    {"linesSplitAtEveryBoundaryGiveSameResult", linesSplitAtEveryBoundaryGiveSameResult},
    {"worksWithoutOptionalPromptBuffers", worksWithoutOptionalPromptBuffers},
    {"randomFaultsEndInWorkingCommunication", randomFaultsEndInWorkingCommunication},
};

int main(int argc, char** argv)
{
    CheckTest all[64];
    int rc;
    memcpy(all, kTests, sizeof kTests);
    memcpy(all + sizeof kTests / sizeof kTests[0], g_prompt_tests, g_prompt_test_count * sizeof all[0]);
    rc = check_run(all, sizeof kTests / sizeof kTests[0] + g_prompt_test_count, argc, argv);
    if (g_sim)
    {
        sim_destroy(g_sim);
    }
    return rc;
}
