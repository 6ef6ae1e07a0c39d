/*
 * Scenario tests of SMS Send: bytes on the wire, the events of every outcome, delivery reports,
 * cancelling, refused texts and numbers, on the 2G, LTE-Q and LTE-A profiles.
 */
#include <stdlib.h>
#include <string.h>

#include "sms_support.h"

#define NUMBER "+491701234567"

static const SmsEvent* last_send(int type) { return sms_nth("SEND", type, -1); }
static bool cmd_sent_cmgs(void) { return harness_find_command("AT+CMGS=\"" NUMBER "\"", 0) >= 0; }
static bool text_sent(void) { return sms_tx_contains(harness_sim(), "\x1A", 1); }

/* ---- success ---------------------------------------------------------------------------------- */

FAMILY_TEST(sendWritesSetupCommandTextAndCtrlZThenReportsReference)
{
    static const size_t kFragments[] = {0, 1, 3, 7};
    size_t k;
    for (k = 0; k < sizeof kFragments / sizeof kFragments[0]; k++)
    {
        SimModem* sim;
        const SmsEvent* e;
        long cmgs;
        static const char kWire[] = "AT+CMGS=\"" NUMBER "\"\rHello from Velkor\x1A";
        sim = sms_start(f, NULL, NULL);
        sim_set_fragment(sim, kFragments[k]);
        sim_tx_clear(sim);
        CHECK(gsmmgrSmsSend(s(NUMBER), s("Hello from Velkor")));
        CHECK(gsmSmsSendBusy(&mGsmSmsSendInst));
        CHECK(sms_wait_event("SEND", GSM_SmsSend_EventType_SendSuccess, 1, 20000));
        CHECK_EQ_INT(sms_event_count(), 1);
        e = last_send(GSM_SmsSend_EventType_SendSuccess);
        CHECK(e && e->a == 42);
        CHECK(!gsmSmsSendBusy(&mGsmSmsSendInst));
        /* set-up of this session, in order, before the send */
        cmgs = harness_find_command("AT+CMGS=\"" NUMBER "\"", 0);
        CHECK(cmgs >= 4);
        CHECK_EQ_STR(sim_command(sim, (size_t)cmgs - 4), "AT+CMGF=1");
        CHECK_EQ_STR(sim_command(sim, (size_t)cmgs - 3), "AT+CSCS=\"IRA\"");
        CHECK_EQ_STR(sim_command(sim, (size_t)cmgs - 2), "AT+CSMP=49,167,0,0");
        CHECK_EQ_STR(sim_command(sim, (size_t)cmgs - 1), "AT+CNMI=2,1,0,1,0");
        /* the command ends with CR only, the text follows the prompt and ends with Ctrl-Z */
        CHECK(sms_tx_contains(sim, kWire, sizeof kWire - 1));
        CHECK_EQ_INT(sim_sms_sent_count(sms_centre()), 1);
        CHECK_EQ_STR(sim_sms_sent_number(sms_centre(), 0), NUMBER);
        CHECK_EQ_STR(sim_sms_sent_text(sms_centre(), 0), "Hello from Velkor");
        CHECK(sim_sms_csmp_fo(sms_centre()) == 49 && sim_sms_cnmi_ds(sms_centre()) == 1);

        /* the delivery report follows, matched to the message */
        CHECK(sms_wait_event("SEND", GSM_SmsSend_EventType_DeliveryStatusReport, 1, 10000));
        e = last_send(GSM_SmsSend_EventType_DeliveryStatusReport);
        CHECK(e != NULL);
        if (e)
        {
            CHECK_EQ_INT(e->a, 42);
            CHECK_EQ_INT(e->b, 0);
            CHECK(e->flag);
            CHECK_EQ_STR(e->text, NUMBER);
            CHECK_EQ_INT(e->dcs, GSM_SmsSend_DeliveryStatusReportType_Delivered);
            /* "24/05/01,12:00:03+08" = 10:00:03 UTC */
            CHECK_EQ_INT(e->utc, 1714557603u);
        }

        /* a second message: the set-up is repeated once before it, the next reference */
        sim_tx_clear(sim);
        CHECK(gsmmgrSmsSend(s(NUMBER), s("Second")));
        CHECK(sms_wait_event("SEND", GSM_SmsSend_EventType_SendSuccess, 2, 20000));
        e = last_send(GSM_SmsSend_EventType_SendSuccess);
        CHECK(e && e->a == 43);
        CHECK_EQ_INT(harness_count_command("AT+CMGF=1"), 1);
        CHECK_EQ_INT(harness_count_command("AT+CSMP=49,167,0,0"), 1);
        CHECK(harness_find_command("AT+CSMP=49,167,0,0", 0) < harness_find_command("AT+CMGS=\"" NUMBER "\"", 0));
        CHECK_EQ_INT(harness_count_command("AT+CMGS=\"" NUMBER "\""), 1);
        CHECK_EQ_INT(sms_count("SEND", GSM_SmsSend_EventType_SendFailed), 0);
    }
}

/* ASCII characters whose GSM alphabet codes differ from ASCII ('@' '$' '_'), or that the GSM
 * alphabet keeps behind an escape ("[]{}~^|\\"), arrive as written in both directions: the modem
 * converts between ASCII and the GSM alphabet. */
FAMILY_TEST(asciiPunctuationIsSentAndReceivedAsWritten)
{
    static const char kText[] = "Pay $5 to a_b@example.com [ref {7}] ~x^y|z\\";
    const SmsEvent* e;
    sms_start(f, NULL, NULL);
    CHECK(gsmmgrSmsSend(s(NUMBER), s(kText)));
    CHECK(sms_wait_event("SEND", GSM_SmsSend_EventType_SendSuccess, 1, 20000));
    CHECK_EQ_STR(sim_sms_sent_text(sms_centre(), 0), kText);
    sim_sms_receive(sms_centre(), NUMBER, "24/05/01,12:34:56+08", kText);
    CHECK(sms_wait_event("READ", GSM_SmsRead_EventType_ReadSuccess, 1, 20000));
    e = sms_nth("READ", GSM_SmsRead_EventType_ReadSuccess, 0);
    CHECK_EQ_STR(e ? e->text : NULL, kText);
    CHECK(e && !e->flag);
}

FAMILY_TEST(reportsArePendingUntilFinalAndUnknownReferencesAreUnmatched)
{
    static const int kStatuses[] = {32, 70};
    SimModem* sim;
    const SmsEvent* e;
    sim = sms_start(f, NULL, NULL);
    sim_sms_set_reports(sms_centre(), kStatuses, 2, 4000);
    sim_sms_set_next_mr(sms_centre(), 255);
    CHECK(gsmmgrSmsSend(s(NUMBER), s("Report me")));
    CHECK(sms_wait_event("SEND", GSM_SmsSend_EventType_DeliveryStatusReport, 2, 30000));
    e = sms_nth("SEND", GSM_SmsSend_EventType_DeliveryStatusReport, 0);
    CHECK(e && e->a == 255 && e->b == 32 && e->flag && e->dcs == GSM_SmsSend_DeliveryStatusReportType_Pending);
    e = last_send(GSM_SmsSend_EventType_DeliveryStatusReport);
    CHECK(e && e->a == 255 && e->b == 70 && e->flag && e->dcs == GSM_SmsSend_DeliveryStatusReportType_Failed);
    /* after the final report the reference is free: another report for it is not ours */
    sim_inject_urc(sim, "+CDS: 6,255,\"" NUMBER "\",145,\"24/05/01,12:00:01+08\",\"24/05/01,12:00:03+08\",0");
    harness_poll(50);
    e = last_send(GSM_SmsSend_EventType_DeliveryStatusReport);
    CHECK(e && e->b == 0 && !e->flag);
    /* a report with an unparseable discharge time still arrives, with time 0 */
    sim_inject_urc(sim, "+CDS: 6,7,\"" NUMBER "\",145,\"2011/10/13 13:08:35+14\",\"2011/10/13 13:08:35+14\",0");
    harness_poll(50);
    e = last_send(GSM_SmsSend_EventType_DeliveryStatusReport);
    CHECK(e && e->a == 7 && e->utc == 0 && !e->flag);
    /* malformed reports raise nothing */
    sim_inject_urc(sim, "+CDS: 6");
    sim_inject_urc(sim, "+CDS: 6,300,\"1\",145,\"\",\"\",0");
    harness_poll(50);
    CHECK_EQ_INT(sms_count("SEND", GSM_SmsSend_EventType_DeliveryStatusReport), 4);
    /* the recipient comes whole when it fits (21 characters), else as "": too long, or missing */
    sim_inject_urc(sim, "+CDS: 6,8,\"+49170123456789012345\",145,,,0");
    harness_poll(50);
    e = last_send(GSM_SmsSend_EventType_DeliveryStatusReport);
    CHECK(e && e->a == 8);
    CHECK_EQ_STR(e ? e->text : NULL, "+49170123456789012345");
    sim_inject_urc(sim, "+CDS: 6,9,\"+491701234567890123456\",145,,,0");
    harness_poll(50);
    e = last_send(GSM_SmsSend_EventType_DeliveryStatusReport);
    CHECK(e && e->a == 9);
    CHECK_EQ_STR(e ? e->text : NULL, "");
    sim_inject_urc(sim, "+CDS: 6,10,,145,,,0");
    harness_poll(50);
    e = last_send(GSM_SmsSend_EventType_DeliveryStatusReport);
    CHECK(e && e->a == 10);
    CHECK_EQ_STR(e ? e->text : NULL, "");
}

/* One outcome after the other on one modem: a network error after the text is reported with its
 * code and leaves the instance free; a missing result fails after the result time-out; a cancel
 * after the text is too late (and an idle cancel touches nothing, not even the next message);
 * without delivery reports the message asks for none, and switching them on again redoes the set-up. */
FAMILY_TEST(sendOutcomesOneAfterAnother)
{
    SimModem* sim;
    const SmsEvent* e;
    uint32_t t0;
    sim = sms_start(f, NULL, NULL);
    sim_sms_fail_next_send(sms_centre(), 330);
    CHECK(gsmmgrSmsSend(s(NUMBER), s("Test")));
    CHECK(sms_wait_event("SEND", GSM_SmsSend_EventType_SendFailed, 1, 20000));
    e = last_send(GSM_SmsSend_EventType_SendFailed);
    CHECK(e && e->a == GSM_SmsSend_FailReason_ErrorResponse && e->b == 330);
    CHECK_EQ_INT(sms_count("SEND", GSM_SmsSend_EventType_SendSuccess), 0);
    CHECK_EQ_INT(sim_sms_sent_count(sms_centre()), 0);
    CHECK(gsmmgrSmsSend(s(NUMBER), s("Again")));
    CHECK(sms_wait_event("SEND", GSM_SmsSend_EventType_SendSuccess, 1, 20000));

    sms_events_clear();
    sim_sms_drop_next_result(sms_centre());
    CHECK(gsmmgrSmsSend(s(NUMBER), s("Silence")));
    CHECK(harness_run_until(text_sent, 10000));
    t0 = sim_now(sim);
    CHECK(sms_wait_event("SEND", GSM_SmsSend_EventType_SendFailed, 1, GSM_SMSSEND_RESULT_TIMEOUT_MS + 5000));
    e = last_send(GSM_SmsSend_EventType_SendFailed);
    CHECK(e && e->a == GSM_SmsSend_FailReason_NoResult);
    CHECK(e && e->time - t0 >= GSM_SMSSEND_RESULT_TIMEOUT_MS - 100);
    CHECK_EQ_INT(sms_count("SEND", GSM_SmsSend_EventType_SendSuccess), 0);

    sms_events_clear();
    sim_tx_clear(sim);
    CHECK(gsmmgrSmsSend(s(NUMBER), s("Unstoppable")));
    CHECK(harness_run_until(text_sent, 10000));
    gsmmgrSmsSendCancel();
    CHECK(sms_wait_event("SEND", GSM_SmsSend_EventType_SendSuccess, 1, 20000));
    gsmmgrSmsSendCancel();
    harness_poll(100);
    CHECK(gsmmgrSmsSend(s(NUMBER), s("Next")));
    CHECK(sms_wait_event("SEND", GSM_SmsSend_EventType_SendSuccess, 2, 20000));
    CHECK_EQ_INT(sms_count("SEND", GSM_SmsSend_EventType_SendFailed), 0);
    harness_poll(15000); /* the reports of these messages */

    sms_events_clear();
    gsmSmsSendSetDeliveryReports(&mGsmSmsSendInst, false);
    CHECK(gsmmgrSmsSend(s(NUMBER), s("No report")));
    CHECK(sms_wait_event("SEND", GSM_SmsSend_EventType_SendSuccess, 1, 20000));
    CHECK(harness_find_command("AT+CSMP=17,167,0,0", 0) >= 0);
    harness_poll(15000);
    CHECK_EQ_INT(sms_count("SEND", GSM_SmsSend_EventType_DeliveryStatusReport), 0);
    sim_tx_clear(sim);
    gsmSmsSendSetDeliveryReports(&mGsmSmsSendInst, true);
    CHECK(gsmmgrSmsSend(s(NUMBER), s("Report")));
    CHECK(sms_wait_event("SEND", GSM_SmsSend_EventType_SendSuccess, 2, 20000));
    CHECK(harness_find_command("AT+CSMP=49,167,0,0", 0) >= 0);
    CHECK(sms_wait_event("SEND", GSM_SmsSend_EventType_DeliveryStatusReport, 1, 10000));
}

static void stayUnregistered(SimConfig* cfg) { cfg->register_ms = 0; }

/* Without registration a send waits: a cancel ends it, the time-out fails it, a late registration
 * lets it go; nothing reaches the modem before. */
FAMILY_TEST(unregisteredModemWaitsThenFailsOrSendsWithoutSendingBefore)
{
    SimModem* sim;
    const SmsEvent* e;
    uint32_t t0;
    sim = sms_start_only(f, stayUnregistered, NULL);
    CHECK(gsmmgrSmsSend(s(NUMBER), s("Never")));
    harness_poll(30000);
    gsmmgrSmsSendCancel();
    harness_poll(10);
    e = last_send(GSM_SmsSend_EventType_SendFailed);
    CHECK(e && e->a == GSM_SmsSend_FailReason_Cancelled);
    CHECK(!gsmSmsSendBusy(&mGsmSmsSendInst));
    harness_poll(GSM_SMSSEND_REGISTRATION_TIMEOUT_MS);
    CHECK_EQ_INT(sms_event_count(), 1); /* exactly one event per send */
    sms_events_clear();
    t0 = sim_now(sim);
    CHECK(gsmmgrSmsSend(s(NUMBER), s("Nobody hears")));
    CHECK(sms_wait_event("SEND", GSM_SmsSend_EventType_SendFailed, 1, GSM_SMSSEND_REGISTRATION_TIMEOUT_MS + 2000));
    e = last_send(GSM_SmsSend_EventType_SendFailed);
    CHECK(e && e->a == GSM_SmsSend_FailReason_NotRegistered && e->b == -1);
    CHECK(e && e->time - t0 >= GSM_SMSSEND_REGISTRATION_TIMEOUT_MS);
    CHECK_EQ_INT(harness_count_command("AT+CMGS=\"" NUMBER "\""), 0);
    sms_events_clear();
    CHECK(gsmmgrSmsSend(s(NUMBER), s("Patience")));
    harness_poll(40000);
    CHECK_EQ_INT(sms_event_count(), 0);
    sim_set_registration(sim, SIM_REG_CS, 5); /* roaming is fine */
    CHECK(sms_wait_event("SEND", GSM_SmsSend_EventType_SendSuccess, 1, 20000));
}

/* Text mode is refused before "SMS Ready" ("+CMS ERROR: 302"): the set-up is tried again, about once
 * a second, and the message goes once the modem is ready; a modem that never gets ready fails the
 * send as not registered when the waiting time ends. */
FAMILY_TEST(setupRefusedBeforeSmsReadyIsRetried)
{
    SimModem* sim;
    const SmsEvent* e;
    uint32_t t0;
    sim = sms_start(f, NULL, NULL);
    sim_tx_clear(sim);
    sim_sms_not_ready_for(sms_centre(), 6000);
    t0 = sim_now(sim);
    CHECK(gsmmgrSmsSend(s(NUMBER), s("Early")));
    CHECK(sms_wait_event("SEND", GSM_SmsSend_EventType_SendSuccess, 1, 20000));
    CHECK(sim_now(sim) - t0 >= 6000);
    CHECK_EQ_INT(sms_count("SEND", GSM_SmsSend_EventType_SendFailed), 0);
    CHECK(harness_count_command("AT+CMGF=1") >= 4);
    CHECK(harness_count_command("AT+CMGF=1") <= 15); /* not a busy loop */
    CHECK_EQ_INT(harness_count_command("AT+CMGS=\"" NUMBER "\""), 1);
    CHECK_EQ_STR(sim_sms_sent_text(sms_centre(), 0), "Early");

    sms_events_clear();
    sim_tx_clear(sim);
    sim_sms_not_ready_for(sms_centre(), 10u * GSM_SMSSEND_REGISTRATION_TIMEOUT_MS);
    t0 = sim_now(sim);
    CHECK(gsmmgrSmsSend(s(NUMBER), s("Never ready")));
    CHECK(sms_wait_event("SEND", GSM_SmsSend_EventType_SendFailed, 1, GSM_SMSSEND_REGISTRATION_TIMEOUT_MS + 5000));
    e = last_send(GSM_SmsSend_EventType_SendFailed);
    CHECK(e && e->a == GSM_SmsSend_FailReason_NotRegistered);
    CHECK(sim_now(sim) - t0 >= GSM_SMSSEND_REGISTRATION_TIMEOUT_MS);
    CHECK(harness_count_command("AT+CMGF=1") <= (int)(2u * GSM_SMSSEND_REGISTRATION_TIMEOUT_MS / 1000u + 2u));
    CHECK_EQ_INT(harness_count_command("AT+CMGS=\"" NUMBER "\""), 0);
}

/* A set-up command that is never answered is retried until the waiting time ends; the send then
 * fails as not registered, since nothing was sent, and the next send goes once the modem answers. */
/* A refusal that waiting does not mend (no service centre, a number the modem rejects, SIM busy)
 * fails the send at once with the modem's number; "not ready" (302) is waited out (above). */
FAMILY_TEST(lastingRefusalOfTheSendFailsAtOnceWithItsNumber)
{
    static const int kCodes[] = {330, 304, 314};
    size_t k;
    for (k = 0; k < sizeof kCodes / sizeof kCodes[0]; k++)
    {
        SimModem* sim = sms_start(f, NULL, NULL);
        const SmsEvent* e;
        uint32_t t0 = sim_now(sim);
        sim_tx_clear(sim);
        sim_sms_refuse_cmgs(sms_centre(), kCodes[k]);
        CHECK(gsmmgrSmsSend(s(NUMBER), s("Refused")));
        CHECK(sms_wait_event("SEND", GSM_SmsSend_EventType_SendFailed, 1, 10000));
        e = last_send(GSM_SmsSend_EventType_SendFailed);
        CHECK(e && e->a == GSM_SmsSend_FailReason_ErrorResponse);
        CHECK(e && e->b == kCodes[k]);
        CHECK(sim_now(sim) - t0 < 5000);
        CHECK_EQ_INT(harness_count_command("AT+CMGS=\"" NUMBER "\""), 1);
        CHECK(!sms_tx_contains(sim, "Refused", 7));
        sim_sms_refuse_cmgs(sms_centre(), 0);
    }
}

FAMILY_TEST(unansweredSetupFailsAsNotRegistered)
{
    SimModem* sim;
    const SmsEvent* e;
    uint32_t t0;
    sim = sms_start(f, NULL, NULL);
    sim_sms_set_silent_csmp(sms_centre(), true);
    t0 = sim_now(sim);
    CHECK(gsmmgrSmsSend(s(NUMBER), s("Stuck")));
    CHECK(sms_wait_event("SEND", GSM_SmsSend_EventType_SendFailed, 1,
                         GSM_SMSSEND_REGISTRATION_TIMEOUT_MS + GSM_SMSSEND_PROMPT_TIMEOUT_MS + 5000));
    e = last_send(GSM_SmsSend_EventType_SendFailed);
    CHECK(e && e->a == GSM_SmsSend_FailReason_NotRegistered && e->b == -1);
    CHECK(e && e->time - t0 >= GSM_SMSSEND_REGISTRATION_TIMEOUT_MS);
    CHECK(harness_count_command("AT+CSMP=49,167,0,0") >= 2); /* retried */
    CHECK_EQ_INT(harness_count_command("AT+CMGS=\"" NUMBER "\""), 0);
    CHECK_EQ_INT(sms_event_count(), 1);
    sim_sms_set_silent_csmp(sms_centre(), false);
    CHECK(gsmmgrSmsSend(s(NUMBER), s("Unstuck")));
    CHECK(sms_wait_event("SEND", GSM_SmsSend_EventType_SendSuccess, 1, 90000));
    CHECK_EQ_STR(sim_sms_sent_text(sms_centre(), 0), "Unstuck");
}

/* A prompt that never comes, or a cancel before it: the send fails, ESC ends the modem's data entry,
 * no text is typed, and the modem's answer to the ESC does not disturb the next send. */
FAMILY_TEST(sendEndedBeforeThePromptIsLeftWithEsc)
{
    size_t c;
    /* 0: the prompt is lost, 1: cancelled while waiting for it, 2: the prompt is lost and the
     * firmware does not answer the ESC */
    for (c = 0; c < 3; c++)
    {
        SimModem* sim = sms_start(f, NULL, NULL);
        const SmsEvent* e;
        sim_tx_clear(sim);
        if (c != 1)
        {
            sim_sms_drop_next_prompt(sms_centre());
        }
        sim_sms_set_silent_esc(sms_centre(), c == 2);
        CHECK(gsmmgrSmsSend(s(NUMBER), s("Never")));
        if (c == 1)
        {
            CHECK(harness_run_until(cmd_sent_cmgs, 10000));
            gsmmgrSmsSendCancel();
        }
        CHECK(sms_wait_event("SEND", GSM_SmsSend_EventType_SendFailed, 1, 20000));
        e = last_send(GSM_SmsSend_EventType_SendFailed);
        CHECK(e && e->a == (c == 1 ? GSM_SmsSend_FailReason_Cancelled : GSM_SmsSend_FailReason_NoPrompt));
        CHECK(!sms_tx_contains(sim, "Never", 5));
        CHECK(sms_tx_contains(sim, "\x1B", 1));
        harness_poll(2000);
        CHECK_EQ_INT(sim_sms_cancelled_count(sms_centre()), 1);
        CHECK_EQ_INT(sim_sms_sent_count(sms_centre()), 0);
        CHECK_EQ_INT(sms_event_count(), 1);
        CHECK(gsmmgrSmsSend(s(NUMBER), s("Found")));
        CHECK(sms_wait_event("SEND", GSM_SmsSend_EventType_SendSuccess, 1, 20000));
        CHECK_EQ_STR(sim_sms_sent_text(sms_centre(), 0), "Found");
    }
}

static bool report_setup_sent(void) { return harness_find_command("AT+CSMP=49,167,0,0", 0) >= 0; }

/* A restart during the set-up is waited out and the message goes once; a restart while the result
 * of the text is awaited fails the send, and the next send sets text mode up again. */
FAMILY_TEST(modemRebootsDuringSetupAndDuringSend)
{
    SimModem* sim;
    const SmsEvent* e;
    sim = sms_start(f, NULL, NULL);
    sim_tx_clear(sim);
    CHECK(gsmmgrSmsSend(s(NUMBER), s("Set up twice")));
    CHECK(harness_run_until(report_setup_sent, 10000));
    sim_reboot(sim); /* before the answer of AT+CSMP */
    CHECK(sms_wait_event("SEND", GSM_SmsSend_EventType_SendSuccess, 1, 90000));
    harness_poll(2000);
    CHECK_EQ_INT(sms_count("SEND", GSM_SmsSend_EventType_SendFailed), 0);
    CHECK_EQ_INT(sms_count("SEND", GSM_SmsSend_EventType_SendSuccess), 1);
    /* nothing was sent before the restart: the set-up ran again, then the message went once */
    CHECK_EQ_INT(harness_count_command("AT+CSMP=49,167,0,0"), 2);
    CHECK_EQ_INT(harness_count_command("AT+CMGS=\"" NUMBER "\""), 1);
    CHECK_EQ_INT(sim_sms_sent_count(sms_centre()), 1);
    CHECK_EQ_STR(sim_sms_sent_text(sms_centre(), 0), "Set up twice");

    sms_events_clear();
    sim_sms_set_send_delay(sms_centre(), 8000);
    CHECK(gsmmgrSmsSend(s(NUMBER), s("Interrupted")));
    CHECK(harness_run_until(text_sent, 10000));
    harness_poll(500);
    sim_reboot(sim);
    CHECK(sms_wait_event("SEND", GSM_SmsSend_EventType_SendFailed, 1, GSM_SMSSEND_RESULT_TIMEOUT_MS + 5000));
    e = last_send(GSM_SmsSend_EventType_SendFailed);
    CHECK(e && (e->a == GSM_SmsSend_FailReason_CommsLost || e->a == GSM_SmsSend_FailReason_NoResult));
    CHECK_EQ_INT(sms_count("SEND", GSM_SmsSend_EventType_SendSuccess), 0);
    sim_tx_clear(sim);
    sim_sms_set_send_delay(sms_centre(), 3000);
    CHECK(gsmmgrSmsSend(s(NUMBER), s("After reboot")));
    CHECK(sms_wait_event("SEND", GSM_SmsSend_EventType_SendSuccess, 1, 90000));
    CHECK(harness_find_command("AT+CSMP=49,167,0,0", 0) >= 0);
    CHECK_EQ_STR(sim_sms_sent_text(sms_centre(), sim_sms_sent_count(sms_centre()) - 1), "After reboot");
}

/* ---- argument checks ------------------------------------------------------------------------ */

typedef struct TextCase
{
    const char* name;
    const char* number;
    const char* text;
    bool accepted;
    const char* typed; /* what reaches the modem when accepted (NULL: same as text) */
} TextCase;

static char g_long[4][200];

static void refusedTextsAndNumbersRaiseNoEventAndAcceptedOnesArriveIntact(void)
{
    size_t i;
    memset(g_long[0], 'a', 160);  /* 160 characters: fits */
    g_long[0][160] = '\0';
    memset(g_long[1], 'a', 161);  /* 161: one too many */
    g_long[1][161] = '\0';
    memset(g_long[2], 'a', 159);  /* 159 + an escape-table character = 161 septets */
    g_long[2][159] = '[';
    g_long[2][160] = '\0';
    memset(g_long[3], '{', 80);   /* 80 escape-table characters = 160 septets */
    g_long[3][80] = '\0';
    {
        const TextCase kCases[] = {
            {"160 characters", NUMBER, g_long[0], true, NULL},
            {"161 characters", NUMBER, g_long[1], false, NULL},
            {"escape char overflows", NUMBER, g_long[2], false, NULL},
            {"80 escape chars", NUMBER, g_long[3], true, NULL},
            {"CR LF becomes LF", NUMBER, "Line 1\r\nLine 2", true, "Line 1\nLine 2"},
            {"lone CR becomes LF", NUMBER, "A\rB", true, "A\nB"},
            {"empty text", NUMBER, "", true, NULL},
            {"Ctrl-Z in text", NUMBER, "Stop\x1Ahere", false, NULL},
            {"ESC in text", NUMBER, "Esc\x1B", false, NULL},
            {"tab", NUMBER, "a\tb", false, NULL},
            {"UTF-8", NUMBER, "caf\xC3\xA9", false, NULL},
            {"back-tick", NUMBER, "`", false, NULL},
            {"national number", "01701234567", "Hi", true, NULL},
            {"20 digits", "+12345678901234567890", "Hi", true, NULL},
            {"21 digits", "123456789012345678901", "Hi", false, NULL},
            {"empty number", "", "Hi", false, NULL},
            {"plus only", "+", "Hi", false, NULL},
            {"blank in number", "0170 1234567", "Hi", false, NULL},
            {"quote in number", "\"+49\"", "Hi", false, NULL},
            {"letters", "0800CALLME", "Hi", false, NULL},
        };
        family_begin(__func__, 1);
        sms_start(1, NULL, NULL);
        CHECK(!gsmmgrSmsSend(NULL, s("x")));
        CHECK(!gsmmgrSmsSend(s(NUMBER), NULL));
        CHECK(!gsmSmsSend(NULL, s(NUMBER), s("x")));
        {
            /* an instance without its Prompt could never end the send: refused, no event */
            GSM_SmsSend_Instance unwired;
            memset(&unwired, 0, sizeof unwired);
            CHECK(!gsmSmsSend(&unwired, s(NUMBER), s("x")));
            CHECK(!gsmSmsSendBusy(&unwired));
        }
        for (i = 0; i < sizeof kCases / sizeof kCases[0]; i++)
        {
            char number[64];
            char text[256];
            int sent_before = sim_sms_sent_count(sms_centre());
            bool ok;
            check_context("%s/%s", __func__, kCases[i].name);
            sms_events_clear();
            /* the caller's buffers are copied: overwrite them right after the call */
            snprintf(number, sizeof number, "%s", kCases[i].number);
            snprintf(text, sizeof text, "%s", kCases[i].text);
            ok = gsmmgrSmsSend(number, text);
            memset(number, 'X', sizeof number - 1);
            memset(text, 'X', sizeof text - 1);
            CHECK_EQ_INT(ok, kCases[i].accepted);
            if (ok)
            {
                CHECK(!gsmmgrSmsSend(s(NUMBER), s("busy")));
                CHECK(sms_wait_event("SEND", GSM_SmsSend_EventType_SendSuccess, 1, 20000));
                CHECK_EQ_INT(sim_sms_sent_count(sms_centre()), sent_before + 1);
                CHECK_EQ_STR(sim_sms_sent_text(sms_centre(), sent_before), kCases[i].typed ? kCases[i].typed : kCases[i].text);
                CHECK_EQ_STR(sim_sms_sent_number(sms_centre(), sent_before), kCases[i].number);
            }
            else
            {
                harness_poll(200);
                CHECK_EQ_INT(sms_event_count(), 0);
                CHECK(!gsmSmsSendBusy(&mGsmSmsSendInst));
            }
        }
    }
}

static void statusClassesFollowTheStandard(void)
{
    static const struct
    {
        int status;
        GSM_SmsSend_DeliveryStatusReportType type;
    } kRows[] = {
        {0, GSM_SmsSend_DeliveryStatusReportType_Delivered},   {1, GSM_SmsSend_DeliveryStatusReportType_Delivered},
        {2, GSM_SmsSend_DeliveryStatusReportType_Delivered},   {31, GSM_SmsSend_DeliveryStatusReportType_Delivered},
        {32, GSM_SmsSend_DeliveryStatusReportType_Pending},    {37, GSM_SmsSend_DeliveryStatusReportType_Pending},
        {63, GSM_SmsSend_DeliveryStatusReportType_Pending},    {64, GSM_SmsSend_DeliveryStatusReportType_Failed},
        {70, GSM_SmsSend_DeliveryStatusReportType_Failed},     {96, GSM_SmsSend_DeliveryStatusReportType_Failed},
        {101, GSM_SmsSend_DeliveryStatusReportType_Failed},    {127, GSM_SmsSend_DeliveryStatusReportType_Failed},
        {128, GSM_SmsSend_DeliveryStatusReportType_Unknown},   {255, GSM_SmsSend_DeliveryStatusReportType_Unknown},
    };
    size_t i;
    GSM_SmsSend_Event_DeliveryStatusReport r;
    memset(&r, 0, sizeof r);
    for (i = 0; i < sizeof kRows / sizeof kRows[0]; i++)
    {
        r.Status = (uint8_t)kRows[i].status;
        CHECK_EQ_INT(gsmmgrSmsSendGetDeliveryStatusReportType(&r), kRows[i].type);
    }
    CHECK_EQ_INT(gsmSmsSendGetDeliveryStatusReportType(NULL), GSM_SmsSend_DeliveryStatusReportType_Unknown);
}

static void cdsDecoderChecksFieldsAndBuffer(void)
{
    GSM_SmsSend_Event_DeliveryStatusReport r;
    char ra[8];
    const char* line = "+CDS: 6,42,\"+491701234567\",145,\"24/05/01,12:00:01+08\",\"24/05/01,12:00:03+08\",0";
    memset(&r, 0, sizeof r); /* a failed decode leaves Recipient NULL: reported, not dereferenced */
    CHECK(gsmSmsSendDecodeCds(line, (uint16_t)strlen(line), &r, ra, sizeof ra));
    CHECK(r.MessageReference == 42 && r.Status == 0);
    CHECK_EQ_STR(r.Recipient, ""); /* does not fit into 8 bytes: left out, nothing written past */
    line = "+CDS: 6,42,,,\"24/05/01,12:00:01+08\",\"24/05/01,12:00:03-28\",64";
    CHECK(gsmSmsSendDecodeCds(line, (uint16_t)strlen(line), &r, ra, sizeof ra));
    CHECK(r.Status == 64 && r.DischargeTime == 1714590003u);
    CHECK(!gsmSmsSendDecodeCds("+CDS: 6,42", 10, &r, ra, sizeof ra));
    CHECK(!gsmSmsSendDecodeCds("+CMTI: 6,42,,,,,0", 17, &r, ra, sizeof ra));
    CHECK(!gsmSmsSendDecodeCds("+CDS: 6,x,,,,,0", 15, &r, ra, sizeof ra));
    CHECK(!gsmSmsSendDecodeCds("", 0, &r, ra, sizeof ra));
}

const CheckTest g_sms_send_tests[] = {
    {"sendWritesSetupCommandTextAndCtrlZThenReportsReference", sendWritesSetupCommandTextAndCtrlZThenReportsReference},
    {"asciiPunctuationIsSentAndReceivedAsWritten", asciiPunctuationIsSentAndReceivedAsWritten},
    {"lastingRefusalOfTheSendFailsAtOnceWithItsNumber", lastingRefusalOfTheSendFailsAtOnceWithItsNumber},
    {"reportsArePendingUntilFinalAndUnknownReferencesAreUnmatched", reportsArePendingUntilFinalAndUnknownReferencesAreUnmatched},
    {"sendOutcomesOneAfterAnother", sendOutcomesOneAfterAnother},
    {"unregisteredModemWaitsThenFailsOrSendsWithoutSendingBefore", unregisteredModemWaitsThenFailsOrSendsWithoutSendingBefore},
    {"unansweredSetupFailsAsNotRegistered", unansweredSetupFailsAsNotRegistered},
    {"setupRefusedBeforeSmsReadyIsRetried", setupRefusedBeforeSmsReadyIsRetried},
    {"sendEndedBeforeThePromptIsLeftWithEsc", sendEndedBeforeThePromptIsLeftWithEsc},
    {"modemRebootsDuringSetupAndDuringSend", modemRebootsDuringSetupAndDuringSend},
    {"refusedTextsAndNumbersRaiseNoEventAndAcceptedOnesArriveIntact", refusedTextsAndNumbersRaiseNoEventAndAcceptedOnesArriveIntact},
    {"statusClassesFollowTheStandard", statusClassesFollowTheStandard},
    {"cdsDecoderChecksFieldsAndBuffer", cdsDecoderChecksFieldsAndBuffer},
};
const size_t g_sms_send_test_count = sizeof g_sms_send_tests / sizeof g_sms_send_tests[0];
