/*
 * Scenario tests of USSD: final answers, menus over several steps with multi-line texts, cancelling
 * by the application and by the network, error answers, time-outs, missing registration, a modem
 * that goes away, and the +CUSD decoder, on the 2G, LTE-Q and LTE-A profiles.
 */
#include <stdlib.h>
#include <string.h>

#include "sms_support.h"

static const SmsEvent* nth(int type, int n) { return sms_nth("USSD", type, n); }

static void check_answer(const SmsEvent* e, int status, const char* text)
{
    CHECK(e != NULL);
    if (e)
    {
        CHECK_EQ_INT(e->a, status);
        CHECK_EQ_STR(e->text, text);
        CHECK(!e->flag);
    }
}

static uint32_t answer_timeout(int family)
{
    return family == 0 ? GSM_USSD_RESPONSE_TIMEOUT_MS : 2u * GSM_USSD_RESPONSE_TIMEOUT_MS;
}

FAMILY_TEST(finalAnswerFollowsTheSentEvent)
{
    static const size_t kFragments[] = {0, 1, 4};
    size_t k;
    for (k = 0; k < sizeof kFragments / sizeof kFragments[0]; k++)
    {
        SimModem* sim;
        const SmsEvent* e;
        long sent;
        long resp;
        sim = sms_start(f, NULL, NULL);
        sim_set_fragment(sim, kFragments[k]);
        sim_tx_clear(sim);
        CHECK(gsmmgrUssdSend(s("*100#")));
        CHECK(gsmUssdBusy(&mGsmUssdInst));
        CHECK(sms_wait_event("USSD", GSM_USSD_EventType_UssdResponse, 1, 15000));
        sent = sms_find("USSD", GSM_USSD_EventType_UssdSent, 0);
        resp = sms_find("USSD", GSM_USSD_EventType_UssdResponse, 0);
        CHECK(sent >= 0 && sent < resp);
        CHECK(sent >= 0 && sms_event((size_t)sent)->null_data);
        e = sms_event((size_t)resp);
        check_answer(e, GSM_USSD_Status_Final, "Your balance is 5.00 EUR. Valid until 31.12.2024");
        CHECK(e && e->dcs == 15 && e->b == -1);
        CHECK(sms_tx_contains(sim, "AT+CUSD=1,\"*100#\",15\r", 21));
        CHECK_EQ_INT(sms_event_count(), 2);
        CHECK(!gsmUssdBusy(&mGsmUssdInst));
        CHECK(!gsmmgrUssdCancelSession()); /* nothing open */
    }
}

/* A menu over several steps, then the ways a session ends: cancelled by the application, ended by the
 * network (a menu choice, by itself, a rejected code). */
FAMILY_TEST(menuSessionRunsOverSeveralStepsAndEnds)
{
    SimModem* sim;
    const SmsEvent* e;
    sim = sms_start(f, NULL, NULL);
    CHECK(gsmmgrUssdSend(s("*123#")));
    CHECK(sms_wait_event("USSD", GSM_USSD_EventType_UssdResponse, 1, 15000));
    check_answer(nth(GSM_USSD_EventType_UssdResponse, 0), GSM_USSD_Status_ActionRequired, "1 Balance\n2 Bundles\n3 Exit");
    CHECK(gsmUssdBusy(&mGsmUssdInst)); /* the menu is open */
    CHECK(sim_ussd_session_open(sms_ussd()));
    sim_tx_clear(sim);
    CHECK(gsmmgrUssdSend(s("2")));
    CHECK(sms_wait_event("USSD", GSM_USSD_EventType_UssdResponse, 2, 15000));
    check_answer(nth(GSM_USSD_EventType_UssdResponse, 1), GSM_USSD_Status_ActionRequired, "1 Day pass\n2 Week pass");
    CHECK(sms_tx_contains(sim, "AT+CUSD=1,\"2\",15\r", 17));
    CHECK(gsmmgrUssdSend(s("1")));
    CHECK(sms_wait_event("USSD", GSM_USSD_EventType_UssdResponse, 3, 15000));
    check_answer(nth(GSM_USSD_EventType_UssdResponse, 2), GSM_USSD_Status_Final, "Bundle ordered");
    CHECK_EQ_INT(sms_count("USSD", GSM_USSD_EventType_UssdSent), 3);
    CHECK_EQ_INT(sms_count("USSD", GSM_USSD_EventType_UssdCancelled), 0);
    CHECK(!gsmUssdBusy(&mGsmUssdInst));
    sms_events_clear();

    /* the application cancels the open menu */
    CHECK(gsmmgrUssdSend(s("*123#")));
    CHECK(sms_wait_event("USSD", GSM_USSD_EventType_UssdResponse, 1, 15000));
    sim_tx_clear(sim);
    CHECK(gsmmgrUssdCancelSession());
    CHECK(sms_wait_event("USSD", GSM_USSD_EventType_UssdCancelled, 1, 10000));
    e = nth(GSM_USSD_EventType_UssdCancelled, 0);
    CHECK(e && e->a == GSM_USSD_Status_Cancelled && e->text[0] == '\0');
    CHECK_EQ_STR(sim_command(sim, 0), "AT+CUSD=2");
    CHECK(!sim_ussd_session_open(sms_ussd()));
    CHECK(!gsmUssdBusy(&mGsmUssdInst));

    /* the menu choice "Exit": the network ends the session */
    CHECK(gsmmgrUssdSend(s("*123#")));
    CHECK(sms_wait_event("USSD", GSM_USSD_EventType_UssdResponse, 2, 15000));
    CHECK(gsmmgrUssdSend(s("3")));
    CHECK(sms_wait_event("USSD", GSM_USSD_EventType_UssdCancelled, 2, 15000));
    e = nth(GSM_USSD_EventType_UssdCancelled, 1);
    CHECK(e && e->a == GSM_USSD_Status_TerminatedByNetwork);

    /* the network ends an open menu by itself */
    CHECK(gsmmgrUssdSend(s("*123#")));
    CHECK(sms_wait_event("USSD", GSM_USSD_EventType_UssdResponse, 3, 15000));
    harness_poll(5000);
    sim_ussd_network_cancel(sms_ussd());
    CHECK(sms_wait_event("USSD", GSM_USSD_EventType_UssdCancelled, 3, 1000));
    CHECK(!gsmUssdBusy(&mGsmUssdInst));

    /* a rejected code */
    CHECK(gsmmgrUssdSend(s("*999#")));
    CHECK(sms_wait_event("USSD", GSM_USSD_EventType_UssdCancelled, 4, 15000));
    e = nth(GSM_USSD_EventType_UssdCancelled, 3);
    CHECK(e && e->a == GSM_USSD_Status_TerminatedByNetwork);
    CHECK_EQ_INT(sms_count("USSD", GSM_USSD_EventType_UssdResponse), 3);
}

/* Other network statuses, a UCS2 text, and an answer longer than the buffer (cut and flagged). */
FAMILY_TEST(otherNetworkStatusesUcs2AndOverLongAnswers)
{
    static const struct
    {
        const char* code;
        int status;
        int dcs;
        const char* text; /* cut answers: the start */
        bool cut;
    } kRows[] = {
        {"*4#", GSM_USSD_Status_NotSupported, 0xFF, "", false},
        {"*6#", GSM_USSD_Status_Invalid, 0xFF, "", false},
        {"*72#", GSM_USSD_Status_Final, 72, "004200610006C0061006E00630065", false},
        {"*long#", GSM_USSD_Status_Final, 15, "ABCDEFGHIJKLMNOPQRSTUVWXYZABC", true},
    };
    size_t i;
    sms_start(f, NULL, NULL);
    for (i = 0; i < sizeof kRows / sizeof kRows[0]; i++)
    {
        const SmsEvent* e;
        CHECK(gsmmgrUssdSend(s(kRows[i].code)));
        CHECK(sms_wait_event("USSD", GSM_USSD_EventType_UssdResponse, (int)i + 1, 15000));
        e = nth(GSM_USSD_EventType_UssdResponse, (int)i);
        CHECK(e != NULL);
        if (e)
        {
            CHECK_EQ_INT(e->a, kRows[i].status);
            CHECK(strncmp(e->text, kRows[i].text, strlen(kRows[i].text)) == 0);
            CHECK_EQ_INT(e->len, kRows[i].cut ? GSM_USSD_RESPONSE_SIZE - 1u : strlen(kRows[i].text));
            CHECK_EQ_INT(e->flag, kRows[i].cut);
            CHECK_EQ_INT(e->dcs, kRows[i].dcs);
        }
        CHECK(!gsmUssdBusy(&mGsmUssdInst));
    }
}

/* Multi-line texts keep every line whatever it looks like; a network-initiated one whose closing
 * quote never comes ends after its pause. */
FAMILY_TEST(multiLineTextsKeepEveryLineWhateverItLooksLike)
{
    static const struct
    {
        const char* code;
        const char* text;
    } kRows[] = {
        {"*77#", "Menu\n\nOK\nERROR\n+CREG: 0\nRING\n+CUSD: 5\nend"},
        {"*78#", "\nOK\nERROR\n\n> x"},
        {"*123#", "1 Balance\n2 Bundles\n3 Exit"},
    };
    static const size_t kFragments[] = {0, 1, 4};
    size_t i;
    SimModem* sim;
    const SmsEvent* e;
    sim = sms_start(f, NULL, NULL);
    sim_tx_clear(sim);
    for (i = 0; i < sizeof kRows / sizeof kRows[0]; i++)
    {
        sim_set_fragment(sim, kFragments[i]);
        CHECK(gsmmgrUssdSend(s(kRows[i].code)));
        CHECK(sms_wait_event("USSD", GSM_USSD_EventType_UssdResponse, (int)i + 1, 15000));
        e = nth(GSM_USSD_EventType_UssdResponse, (int)i);
        CHECK(e != NULL);
        if (e)
        {
            CHECK_EQ_STR(e->text, kRows[i].text);
            CHECK_EQ_INT(e->len, strlen(kRows[i].text));
            CHECK_EQ_INT(e->dcs, 15);
            CHECK(!e->flag);
        }
    }
    CHECK(gsmmgrUssdCancelSession()); /* the *123# menu */
    CHECK(sms_wait_event("USSD", GSM_USSD_EventType_UssdCancelled, 1, 10000));
    /* one answer each; the "+CREG: 0" inside the text did not unregister the modem */
    CHECK_EQ_INT(sms_count("USSD", GSM_USSD_EventType_UssdResponse), 3);
    CHECK(gsmmgrNetworkRegistrationIsRegistered());
    CHECK(sms_next_command_works());

    /* network-initiated, and the closing quote never comes: the answer ends after its pause */
    sms_events_clear();
    sim_set_fragment(sim, 0);
    sim_inject_raw(sim, "\r\n+CUSD: 1,\"Promo\r\nline two\r\n", 29);
    harness_poll(GSM_USSD_CONTINUATION_MS + 100);
    e = nth(GSM_USSD_EventType_UssdResponse, 0);
    CHECK(e && e->a == GSM_USSD_Status_ActionRequired && e->flag);
    CHECK_EQ_STR(e ? e->text : NULL, "Promo\nline two\n"); /* the break before the pause is text */
    /* the subscription is back to +CUSD lines only: other modules' commands still work */
    CHECK(sms_next_command_works());
    CHECK(gsmmgrUssdCancelSession());
    CHECK(sms_wait_event("USSD", GSM_USSD_EventType_UssdCancelled, 1, 10000));
}

static void stayUnregistered(SimConfig* cfg) { cfg->register_ms = 0; }

static int requests_sent(const SimModem* sim)
{
    size_t i;
    int n = 0;
    for (i = 0; i < sim_command_count(sim); i++)
    {
        n += (strncmp(sim_command(sim, i), "AT+CUSD=1,", 10) == 0) ? 1 : 0;
    }
    return n;
}

static bool cusd_sent(void) { return harness_find_command("AT+CUSD=1,\"*100#\",15", 0) >= 0; }

FAMILY_TEST(errorAnswerAnswerBeforeOkRestartAndSwitchOff)
{
    const SmsEvent* e;
    long sent;
    long resp;
    SimModem* sim = sms_start(f, NULL, NULL);
    /* a new code while a menu is open goes to the menu, which refuses it ("operation not allowed"):
     * the menu stays open, and a reply still gets its answer */
    CHECK(gsmmgrUssdSend(s("*123#")));
    CHECK(sms_wait_event("USSD", GSM_USSD_EventType_UssdResponse, 1, 15000));
    CHECK(gsmmgrUssdSend(s("*100#")));
    CHECK(sms_wait_event("USSD", GSM_USSD_EventType_UssdResponse, 2, 15000));
    e = nth(GSM_USSD_EventType_UssdResponse, 1);
    CHECK(e && e->a == GSM_USSD_Status_ErrorResponse && e->b == 3);
    CHECK(gsmUssdBusy(&mGsmUssdInst));
    CHECK(sim_ussd_session_open(sms_ussd()));
    CHECK(gsmmgrUssdSend(s("1")));
    CHECK(sms_wait_event("USSD", GSM_USSD_EventType_UssdResponse, 3, 15000));
    check_answer(nth(GSM_USSD_EventType_UssdResponse, 2), GSM_USSD_Status_Final, "Balance: 5.00 EUR");
    CHECK(!gsmUssdBusy(&mGsmUssdInst));
    sms_events_clear();
    /* a session the module does not know of refuses the request the same way: it can be closed */
    sim_tx_clear(sim);
    sim_ussd_refuse_requests(sms_ussd(), 3);
    CHECK(gsmmgrUssdSend(s("*100#")));
    CHECK(sms_wait_event("USSD", GSM_USSD_EventType_UssdResponse, 1, 15000));
    e = nth(GSM_USSD_EventType_UssdResponse, 0);
    CHECK(e && e->a == GSM_USSD_Status_ErrorResponse && e->b == 3);
    sim_ussd_refuse_requests(sms_ussd(), 0);
    CHECK(gsmmgrUssdCancelSession());
    CHECK(sms_wait_event("USSD", GSM_USSD_EventType_UssdCancelled, 1, 10000));
    CHECK_EQ_INT(harness_count_command("AT+CUSD=2"), 1);
    CHECK(!gsmUssdBusy(&mGsmUssdInst));
    /* another error ends the request */
    sim_ussd_refuse_requests(sms_ussd(), 30);
    CHECK(gsmmgrUssdSend(s("*100#")));
    CHECK(sms_wait_event("USSD", GSM_USSD_EventType_UssdResponse, 2, 15000));
    e = nth(GSM_USSD_EventType_UssdResponse, 1);
    CHECK(e && e->a == GSM_USSD_Status_ErrorResponse && e->b == 30);
    CHECK(!gsmUssdBusy(&mGsmUssdInst));
    sim_ussd_refuse_requests(sms_ussd(), 0);
    sms_events_clear();
    /* some firmware prints the answer before OK: it still follows UssdSent */
    sim_ussd_answer_before_ok(sms_ussd());
    CHECK(gsmmgrUssdSend(s("*100#")));
    CHECK(sms_wait_event("USSD", GSM_USSD_EventType_UssdResponse, 1, 15000));
    sent = sms_find("USSD", GSM_USSD_EventType_UssdSent, 0);
    resp = sms_find("USSD", GSM_USSD_EventType_UssdResponse, 0);
    CHECK(sent >= 0 && sent < resp);
    check_answer(sms_event((size_t)resp), GSM_USSD_Status_Final, "Your balance is 5.00 EUR. Valid until 31.12.2024");
    /* the modem restarts by itself (no power switching) while a menu is open or an answer is
     * awaited: the session is gone, CommsLost follows without waiting for the answer time-out */
    {
        static const struct
        {
            const char* code;
            uint32_t answer_delay_ms;
            int reached; /* event that shows the state is reached */
            int ending;  /* event that ends the request or session (before the answer time-out) */
        } kRestarts[] = {
            {"*123#", 2000, GSM_USSD_EventType_UssdResponse, GSM_USSD_EventType_UssdCancelled},
            {"*100#", 20000, GSM_USSD_EventType_UssdSent, GSM_USSD_EventType_UssdResponse},
        };
        size_t i;
        for (i = 0; i < sizeof kRestarts / sizeof kRestarts[0]; i++)
        {
            CHECK(harness_run_until(gsmmgrNetworkRegistrationIsRegistered, 90000));
            sms_events_clear();
            sim_ussd_set_answer_delay(sms_ussd(), kRestarts[i].answer_delay_ms);
            CHECK(gsmmgrUssdSend(s(kRestarts[i].code)));
            CHECK(sms_wait_event("USSD", kRestarts[i].reached, 1, 15000));
            sim_reboot(harness_sim());
            CHECK(sms_wait_event("USSD", kRestarts[i].ending, 1, GSM_USSD_RESPONSE_TIMEOUT_MS - 5000u));
            e = nth(kRestarts[i].ending, -1);
            CHECK(e && e->a == GSM_USSD_Status_CommsLost);
            CHECK(!gsmUssdBusy(&mGsmUssdInst));
        }
        CHECK(harness_run_until(gsmmgrNetworkRegistrationIsRegistered, 90000));
    }
    /* the modem switched off while the answer is awaited */
    sms_events_clear();
    sim_ussd_set_answer_delay(sms_ussd(), 20000);
    CHECK(gsmmgrUssdSend(s("*100#")));
    CHECK(sms_wait_event("USSD", GSM_USSD_EventType_UssdSent, 1, 5000));
    gsmmgrPowerSet(false);
    CHECK(sms_wait_event("USSD", GSM_USSD_EventType_UssdResponse, 1, 15000));
    e = nth(GSM_USSD_EventType_UssdResponse, 0);
    CHECK(e && e->a == GSM_USSD_Status_CommsLost);
    CHECK(!gsmUssdBusy(&mGsmUssdInst));
}

/* Without registration the request fails after its wait, without an answer after the answer
 * time-out (twice as long on LTE), also across the clock wrap. */
FAMILY_TEST(timeoutsHoldAcrossTheClockWrap)
{
    SimModem* sim;
    const SmsEvent* e;
    uint32_t t0;
    /* registration wait of SMS Send and USSD crosses the wrap */
    sms_set_start_time(0xFFFFFFFFu - 60000u);
    sim = sms_start_only(f, stayUnregistered, NULL);
    harness_poll(30000);
    t0 = sim_now(sim);
    CHECK(gsmmgrUssdSend(s("*100#")));
    CHECK(gsmmgrSmsSend(s("+491701234567"), s("wrap")));
    harness_poll(GSM_USSD_REGISTRATION_TIMEOUT_MS - 1000u);
    CHECK_EQ_INT(sms_event_count(), 0); /* neither gave up early at the wrap */
    CHECK(sms_wait_event("USSD", GSM_USSD_EventType_UssdResponse, 1, 3000));
    CHECK(sms_wait_event("SEND", GSM_SmsSend_EventType_SendFailed, 1, GSM_SMSSEND_REGISTRATION_TIMEOUT_MS));
    e = nth(GSM_USSD_EventType_UssdResponse, 0);
    CHECK(e && e->a == GSM_USSD_Status_NotRegistered && (uint32_t)(e->time - t0) >= GSM_USSD_REGISTRATION_TIMEOUT_MS);
    CHECK(sim_now(sim) < t0); /* the clock did wrap */
    CHECK_EQ_INT(sms_count("USSD", GSM_USSD_EventType_UssdSent), 0); /* nothing was sent */
    CHECK_EQ_INT(harness_count_command("AT+CUSD=1,\"*100#\",15"), 0);

    /* the answer time-out crosses the wrap */
    sms_set_start_time(0xFFFFFFFFu - 30000u);
    sim = sms_start(f, NULL, NULL);
    CHECK(gsmmgrUssdSend(s("*000#")));
    CHECK(sms_wait_event("USSD", GSM_USSD_EventType_UssdSent, 1, 5000));
    t0 = sim_now(sim);
    harness_poll(answer_timeout(f) - 500u);
    CHECK_EQ_INT(sms_count("USSD", GSM_USSD_EventType_UssdResponse), 0);
    CHECK(sms_wait_event("USSD", GSM_USSD_EventType_UssdResponse, 1, 5000));
    e = nth(GSM_USSD_EventType_UssdResponse, 0);
    CHECK(e && e->a == GSM_USSD_Status_NoResponse && (uint32_t)(e->time - t0) >= answer_timeout(f));
    CHECK(e && e->time < t0); /* the clock wrapped during the wait */
    CHECK_EQ_INT(harness_count_command("AT+CUSD=2"), 1); /* the session that may be open is closed */
    CHECK(!gsmUssdBusy(&mGsmUssdInst));
}

/* ---- a cancel in every state of a request: one UssdCancelled, AT+CUSD=2 only when the modem may
 * hold a session ---- */

static bool cusd_close_sent(void) { return harness_find_command("AT+CUSD=2", 0) >= 0; }

FAMILY_TEST(cancelEndsTheRequestInEveryState)
{
    /* how the state is reached after the code was sent */
    enum { POLL, CUSD_SENT, SENT_EVENT, ANSWER, CLOSE_SENT };
    static const struct
    {
        const char* state;
        bool registered; /* else neither AT+CUSD=1 nor AT+CUSD=2 is sent */
        const char* code;
        uint32_t answer_delay_ms;
        int reach;
        bool cancel_first;
        int refuse; /* +CME ERROR of every request (0: none) */
    } kRows[] = {
        {"registration wait", false, "*100#", 2000, POLL, false, 0},
        {"request being sent", true, "*100#", 2000, CUSD_SENT, false, 0},
        {"answer awaited", true, "*100#", 20000, SENT_EVENT, false, 0},
        {"menu open", true, "*123#", 2000, ANSWER, false, 0},
        /* no answer: the session is being closed when the cancel comes (Cancelled, not NoResponse) */
        {"closing after no answer", true, "*000#", 2000, CLOSE_SENT, false, 0},
        {"cancel running", true, "*100#", 20000, SENT_EVENT, true, 0},
        /* refused for a session the module did not know of: it is open until closed */
        {"refused for an open session", true, "*100#", 2000, ANSWER, false, 3},
    };
    size_t i;
    for (i = 0; i < sizeof kRows / sizeof kRows[0]; i++)
    {
        SimModem* sim;
        const SmsEvent* e;
        int answers;
        family_begin(kRows[i].state, f);
        sim = kRows[i].registered ? sms_start(f, NULL, NULL) : sms_start_only(f, stayUnregistered, NULL);
        sim_tx_clear(sim);
        sim_ussd_set_answer_delay(sms_ussd(), kRows[i].answer_delay_ms);
        sim_ussd_refuse_requests(sms_ussd(), kRows[i].refuse);
        CHECK(gsmmgrUssdSend(s(kRows[i].code)));
        switch (kRows[i].reach)
        {
        case POLL: harness_poll(1000); break;
        case CUSD_SENT: CHECK(harness_run_until(cusd_sent, 5000)); break;
        case SENT_EVENT: CHECK(sms_wait_event("USSD", GSM_USSD_EventType_UssdSent, 1, 5000)); break;
        case ANSWER: CHECK(sms_wait_event("USSD", GSM_USSD_EventType_UssdResponse, 1, 15000)); break;
        default: CHECK(harness_run_until(cusd_close_sent, answer_timeout(f) + 5000)); break;
        }
        if (kRows[i].cancel_first)
        {
            CHECK(gsmmgrUssdCancelSession());
            CHECK(harness_run_until(cusd_close_sent, 5000));
        }
        answers = sms_count("USSD", GSM_USSD_EventType_UssdResponse);
        CHECK_EQ_INT(sms_count("USSD", GSM_USSD_EventType_UssdCancelled), 0);
        CHECK(gsmmgrUssdCancelSession());
        CHECK(sms_wait_event("USSD", GSM_USSD_EventType_UssdCancelled, 1, 10000));
        harness_poll(5000);
        e = nth(GSM_USSD_EventType_UssdCancelled, 0);
        CHECK(e && e->a == GSM_USSD_Status_Cancelled && e->text[0] == '\0' && e->b == -1);
        CHECK_EQ_INT(sms_count("USSD", GSM_USSD_EventType_UssdCancelled), 1);
        CHECK_EQ_INT(sms_count("USSD", GSM_USSD_EventType_UssdResponse), answers);
        CHECK_EQ_INT(requests_sent(sim), kRows[i].registered);
        CHECK_EQ_INT(harness_count_command("AT+CUSD=2"), kRows[i].registered);
        CHECK(!gsmUssdBusy(&mGsmUssdInst));
    }
}

/* A "+CUSD:" while a request still waits for the registration is network-initiated: it is reported
 * at once and the request goes on (it is sent once registered and gets its own answer). */
FAMILY_TEST(networkAnswerWhileTheRequestWaitsForRegistration)
{
    SimModem* sim;
    long sent;
    sim = sms_start_only(f, stayUnregistered, NULL);
    harness_poll(30000); /* the modem is up, not registered */
    CHECK(gsmmgrUssdSend(s("*100#")));
    harness_poll(1000);
    sim_inject_urc(sim, "+CUSD: 0,\"Promo\",15");
    CHECK(sms_wait_event("USSD", GSM_USSD_EventType_UssdResponse, 1, 1000));
    check_answer(nth(GSM_USSD_EventType_UssdResponse, 0), GSM_USSD_Status_Final, "Promo");
    CHECK(gsmUssdBusy(&mGsmUssdInst));
    CHECK_EQ_INT(sms_count("USSD", GSM_USSD_EventType_UssdSent), 0);
    sim_set_registration(sim, SIM_REG_CS, 1);
    CHECK(sms_wait_event("USSD", GSM_USSD_EventType_UssdResponse, 2, 20000));
    sent = sms_find("USSD", GSM_USSD_EventType_UssdSent, 0);
    CHECK(sent >= 0 && sent < sms_find("USSD", GSM_USSD_EventType_UssdResponse, 1));
    check_answer(nth(GSM_USSD_EventType_UssdResponse, 1), GSM_USSD_Status_Final, "Your balance is 5.00 EUR. Valid until 31.12.2024");
    CHECK(!gsmUssdBusy(&mGsmUssdInst));
}

/* A reply the modem refuses leaves the menu open: gsmUssdCancelSession() still closes it. Unless the
 * network ended the menu while the reply waited for the registration: then nothing is open. */
FAMILY_TEST(menuStaysOpenWhenItsReplyIsRefused)
{
    static const struct
    {
        const char* state;
        bool every_request; /* refused by the USSD service (else only the next command) */
        int error;
        bool ended_first; /* the network ends the menu while the reply waits for the registration */
    } kRows[] = {
        {"reply refused", false, 4, false},
        {"reply refused for no service", true, 30, false},
        {"menu ended, then its reply refused", true, 4, true},
    };
    size_t i;
    for (i = 0; i < sizeof kRows / sizeof kRows[0]; i++)
    {
        SimModem* sim;
        const SmsEvent* e;
        int d;
        family_begin(kRows[i].state, f);
        sim = sms_start(f, NULL, NULL);
        CHECK(gsmmgrUssdSend(s("*123#")));
        CHECK(sms_wait_event("USSD", GSM_USSD_EventType_UssdResponse, 1, 15000));
        for (d = SIM_REG_CS; kRows[i].ended_first && d <= SIM_REG_EPS; d++)
        {
            sim_set_registration(sim, (SimRegDomain)d, 0);
        }
        if (kRows[i].every_request)
        {
            sim_ussd_refuse_requests(sms_ussd(), kRows[i].error);
        }
        else
        {
            sim_fail_next_command(sim, kRows[i].error);
        }
        CHECK(gsmmgrUssdSend(s("1")));
        if (kRows[i].ended_first)
        {
            harness_poll(2000);
            sim_ussd_network_cancel(sms_ussd());
            CHECK(sms_wait_event("USSD", GSM_USSD_EventType_UssdCancelled, 1, 1000));
            for (d = SIM_REG_CS; d <= SIM_REG_EPS; d++)
            {
                sim_set_registration(sim, (SimRegDomain)d, 1);
            }
            CHECK(harness_run_until(gsmmgrNetworkRegistrationIsRegistered, 5000));
        }
        CHECK(sms_wait_event("USSD", GSM_USSD_EventType_UssdResponse, 2, 10000));
        e = nth(GSM_USSD_EventType_UssdResponse, 1);
        CHECK(e && e->a == GSM_USSD_Status_ErrorResponse && e->b == kRows[i].error);
        sim_ussd_refuse_requests(sms_ussd(), 0);
        CHECK_EQ_INT(sim_ussd_session_open(sms_ussd()), !kRows[i].ended_first);
        CHECK_EQ_INT(gsmUssdBusy(&mGsmUssdInst), !kRows[i].ended_first);
        if (!kRows[i].ended_first)
        {
            sim_tx_clear(sim);
            CHECK(gsmmgrUssdCancelSession());
            CHECK(sms_wait_event("USSD", GSM_USSD_EventType_UssdCancelled, 1, 10000));
            e = nth(GSM_USSD_EventType_UssdCancelled, 0);
            CHECK(e && e->a == GSM_USSD_Status_Cancelled);
            CHECK(sms_tx_contains(sim, "AT+CUSD=2\r", 10));
            CHECK(!sim_ussd_session_open(sms_ussd()));
            CHECK(!gsmUssdBusy(&mGsmUssdInst));
        }
    }
}

/* An LTE modem whose +CREG answer was lost is registered through its other domains: the +CREG state
 * stays unknown until the next read, and that is no restart - requests and menus go on. */
extern GSM_NetworkRegistration_Instance mGsmNetworkRegistrationInst;
static void registerAtOnce(SimConfig* cfg) { cfg->register_ms = 1; } /* before the URCs are switched on */
static bool cereg_enabled(void) { return harness_find_command("AT+CEREG=1", 0) >= 0; }

static void requestsGoOnWhileTheCregStateIsUnknown(void)
{
    int f;
    for (f = 1; f < FAMILY_COUNT; f++)
    {
        SimModem* sim;
        family_begin(__func__, f);
        sim = sms_start_only(f, registerAtOnce, NULL);
        CHECK(harness_run_until(cereg_enabled, 30000));
        sim_fail_next_command(sim, 100); /* AT+CREG? */
        CHECK(harness_run_until(gsmmgrNetworkRegistrationIsRegistered, 5000));
        sim_ussd_set_answer_delay(sms_ussd(), 5000);
        CHECK(gsmmgrUssdSend(s("*100#")));
        CHECK(sms_wait_event("USSD", GSM_USSD_EventType_UssdResponse, 1, 15000));
        check_answer(nth(GSM_USSD_EventType_UssdResponse, 0), GSM_USSD_Status_Final,
                     "Your balance is 5.00 EUR. Valid until 31.12.2024");
        CHECK(gsmmgrUssdSend(s("*123#")));
        CHECK(sms_wait_event("USSD", GSM_USSD_EventType_UssdResponse, 2, 15000));
        harness_poll(3000);
        CHECK(gsmmgrUssdSend(s("1")));
        CHECK(sms_wait_event("USSD", GSM_USSD_EventType_UssdResponse, 3, 15000));
        check_answer(nth(GSM_USSD_EventType_UssdResponse, 2), GSM_USSD_Status_Final, "Balance: 5.00 EUR");
        CHECK_EQ_INT(sms_count("USSD", GSM_USSD_EventType_UssdResponse), 3);
        CHECK_EQ_INT(sms_count("USSD", GSM_USSD_EventType_UssdCancelled), 0);
        /* (the state was unknown all along) */
        CHECK_EQ_INT(gsmNetworkRegistrationIfStat(&mGsmNetworkRegistrationInst._i, GSM_NetworkRegistration_Domain_CS),
                     GSM_NETWORKREGISTRATION_STAT_UNKNOWN);
    }
}

static void invalidPayloadsAreRefused(void)
{
    static const char* const kBad[] = {"", "*1\"#", "*1\r#", "0123456789012345678901234567890123", "caf\xC3\xA9"};
    size_t i;
    family_begin(__func__, 0);
    sms_start(0, NULL, NULL);
    CHECK(!gsmmgrUssdSend(NULL));
    CHECK(!gsmUssdSend(NULL, s("*100#")));
    CHECK(!gsmUssdCancelSession(NULL));
    for (i = 0; i < sizeof kBad / sizeof kBad[0]; i++)
    {
        CHECK(!gsmmgrUssdSend(s(kBad[i])));
    }
    CHECK(gsmmgrUssdSend(s("0123456789012345678901234567890"))); /* 31 characters fit */
    CHECK(!gsmmgrUssdSend(s("*100#")));                           /* busy */
    harness_poll(10000);
    CHECK_EQ_INT(sms_count("USSD", GSM_USSD_EventType_UssdCancelled), 1);
    CHECK_EQ_INT(sms_count("USSD", GSM_USSD_EventType_UssdResponse) + sms_count("USSD", GSM_USSD_EventType_UssdCancelled), 1);
}

static void decoderHandlesEveryLineShape(void)
{
    static const struct
    {
        const char* line;
        bool ok;
        int m;
        const char* text;
        int dcs;
        bool truncated;
    } kRows[] = {
        {"+CUSD: 0,\"Bal 5\",15", true, 0, "Bal 5", 15, false},
        {"+CUSD: 2", true, 2, "", 0xFF, false},
        {"+CUSD:1,\"x\",72", true, 1, "x", 72, false},
        {"+CUSD: 1,\"open", true, 1, "open", 0xFF, true},
        {"+CUSD: 0,\"a,b\"", true, 0, "a,b", 0xFF, false},
        {"+CUSD: 0,\"0123456789\",15", true, 0, "0123456", 15, true},
        {"+CUSD: 999", true, 0xFF, "", 0xFF, false},
        {"+CUSD: ", false, 0, "", 0xFF, false},
        {"+CUSD: x", false, 0, "", 0xFF, false},
        {"+CMTI: 1", false, 0, "", 0xFF, false},
        {"", false, 0, "", 0xFF, false},
    };
    size_t i;
    g_check_context = __func__;
    for (i = 0; i < sizeof kRows / sizeof kRows[0]; i++)
    {
        char text[8];
        uint16_t tl = 99;
        uint8_t m = 77;
        uint8_t dcs = 0;
        bool tr = false;
        bool ok = gsmUssdDecodeCusd(kRows[i].line, (uint16_t)strlen(kRows[i].line), &m, text, sizeof text, &tl, &dcs, &tr);
        CHECK_EQ_INT(ok, kRows[i].ok);
        if (ok)
        {
            CHECK_EQ_INT(m, kRows[i].m);
            CHECK_EQ_STR(text, kRows[i].text);
            CHECK_EQ_INT(tl, strlen(kRows[i].text));
            CHECK_EQ_INT(dcs, kRows[i].dcs);
            CHECK_EQ_INT(tr, kRows[i].truncated);
        }
    }
}

const CheckTest g_ussd_tests[] = {
    {"finalAnswerFollowsTheSentEvent", finalAnswerFollowsTheSentEvent},
    {"menuSessionRunsOverSeveralStepsAndEnds", menuSessionRunsOverSeveralStepsAndEnds},
    {"otherNetworkStatusesUcs2AndOverLongAnswers", otherNetworkStatusesUcs2AndOverLongAnswers},
    {"multiLineTextsKeepEveryLineWhateverItLooksLike", multiLineTextsKeepEveryLineWhateverItLooksLike},
    {"errorAnswerAnswerBeforeOkRestartAndSwitchOff", errorAnswerAnswerBeforeOkRestartAndSwitchOff},
    {"timeoutsHoldAcrossTheClockWrap", timeoutsHoldAcrossTheClockWrap},
    {"cancelEndsTheRequestInEveryState", cancelEndsTheRequestInEveryState},
    {"networkAnswerWhileTheRequestWaitsForRegistration", networkAnswerWhileTheRequestWaitsForRegistration},
    {"menuStaysOpenWhenItsReplyIsRefused", menuStaysOpenWhenItsReplyIsRefused},
    {"requestsGoOnWhileTheCregStateIsUnknown", requestsGoOnWhileTheCregStateIsUnknown},
    {"invalidPayloadsAreRefused", invalidPayloadsAreRefused},
    {"decoderHandlesEveryLineShape", decoderHandlesEveryLineShape},
};
const size_t g_ussd_test_count = sizeof g_ussd_tests / sizeof g_ussd_tests[0];
