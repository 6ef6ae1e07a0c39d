/*
 * Scenario tests of SMS Receive: messages stored before start-up, +CMTI announcements, read and
 * delete, long and multi-line bodies, lost announcements, read errors, a restart of the modem and a
 * line buffer too small for the header, on the 2G, LTE-Q and LTE-A profiles.
 */
#include <stdlib.h>
#include <string.h>

#include "sms_support.h"

#define SENDER "+491701234567"
#define SCTS   "24/05/01,12:34:56+08"
#define SCTS_UTC 1714559696u

static int base_of(int family) { return family == 0 ? 1 : 0; }
static const SmsEvent* read_event(int n) { return sms_nth("READ", GSM_SmsRead_EventType_ReadSuccess, n); }

static void check_message(const SmsEvent* e, const char* sender, const char* text, int index)
{
    CHECK(e != NULL);
    if (!e)
    {
        return;
    }
    CHECK_EQ_STR(e->sender, sender);
    CHECK_EQ_STR(e->text, text);
    CHECK_EQ_STR(e->timestamp, SCTS);
    CHECK_EQ_INT(e->utc, SCTS_UTC);
    CHECK_EQ_INT(e->b, 8);
    CHECK(!e->flag);
    if (index >= 0)
    {
        CHECK_EQ_INT(e->a, index);
    }
}

FAMILY_TEST(storedMessagesAreReadAndDeletedAtStartUpButDraftsStay)
{
    SimModem* sim;
    char cmd[32];
    long i;
    int draft;
    sim = sms_start_only(f, NULL, NULL);
    CHECK_EQ_INT(sim_sms_store(sms_centre(), SENDER, SCTS, "First"), base_of(f));
    draft = sim_sms_store_draft(sms_centre(), "+4930123456", "Draft");
    CHECK_EQ_INT(sim_sms_store(sms_centre(), "Operator", SCTS, "Second"), base_of(f) + 2);
    CHECK(harness_run_until(gsmmgrNetworkRegistrationIsRegistered, 90000));
    CHECK(sms_wait_event("READ", GSM_SmsRead_EventType_ReadSuccess, 2, 20000));
    harness_poll(5000);
    CHECK_EQ_INT(sms_count("READ", GSM_SmsRead_EventType_ReadSuccess), 2);
    check_message(read_event(0), SENDER, "First", base_of(f));
    check_message(read_event(1), "Operator", "Second", base_of(f) + 2);
    /* set-up, then store selection with its fill level before the first read */
    i = harness_find_command("AT+CMGF=1", 0);
    CHECK(i >= 0);
    CHECK_EQ_STR(sim_command(sim, (size_t)i + 1), "AT+CSCS=\"IRA\"");
    CHECK_EQ_STR(sim_command(sim, (size_t)i + 2), "AT+CSDH=1");
    CHECK_EQ_STR(sim_command(sim, (size_t)i + 3), "AT+CNMI=2,1,0,1,0");
    CHECK_EQ_STR(sim_command(sim, (size_t)i + 4), "AT+CPMS=\"SM\",\"SM\",\"SM\"");
    CHECK_EQ_STR(sim_command(sim, (size_t)i + 5), "AT+CMGR=0");
    snprintf(cmd, sizeof cmd, "AT+CMGR=%d", base_of(f));
    CHECK(harness_find_command(cmd, 0) > i);
    snprintf(cmd, sizeof cmd, "AT+CMGD=%d", base_of(f));
    CHECK(harness_find_command(cmd, 0) > harness_find_command("AT+CMGR=0", 0));
    /* the draft was read but neither reported nor deleted */
    CHECK_EQ_INT(sim_sms_stored_count(sms_centre()), 1);
    CHECK(sim_sms_index_used(sms_centre(), draft));
    snprintf(cmd, sizeof cmd, "AT+CMGD=%d", draft);
    CHECK_EQ_INT(harness_count_command(cmd), 0);
    /* the walk stopped after the last stored message */
    snprintf(cmd, sizeof cmd, "AT+CMGR=%d", base_of(f) + 3);
    CHECK_EQ_INT(harness_count_command(cmd), 0);
}

FAMILY_TEST(announcedMessageIsReadDeletedAndReportedWhateverTheFragmentation)
{
    static const size_t kFragments[] = {0, 1, 2, 5};
    size_t k;
    for (k = 0; k < sizeof kFragments / sizeof kFragments[0]; k++)
    {
        SimModem* sim;
        char cmd[32];
        int idx;
        long i;
        sim = sms_start(f, NULL, NULL);
        CHECK_EQ_INT(sim_sms_cnmi_mt(sms_centre()), 1);
        sim_set_fragment(sim, kFragments[k]);
        sim_tx_clear(sim);
        idx = sim_sms_receive(sms_centre(), SENDER, SCTS, "Status?");
        CHECK(sms_wait_event("READ", GSM_SmsRead_EventType_ReadSuccess, 1, 10000));
        check_message(read_event(0), SENDER, "Status?", idx);
        harness_poll(2000);
        /* the announcement makes the module walk the store: the message is read, then deleted */
        snprintf(cmd, sizeof cmd, "AT+CMGR=%d", idx);
        i = harness_find_command(cmd, 0);
        CHECK(i > 0);
        CHECK_EQ_STR(sim_command(sim, (size_t)i - 1u - (size_t)idx), "AT+CPMS=\"SM\",\"SM\",\"SM\"");
        snprintf(cmd, sizeof cmd, "AT+CMGD=%d", idx);
        CHECK_EQ_STR(sim_command(sim, (size_t)i + 1u), cmd);
        CHECK_EQ_INT(harness_count_command(cmd), 1);
        CHECK_EQ_INT(sim_sms_stored_count(sms_centre()), 0);
    }
    /* time stamps without a zone, and cut ones (0: not parseable), as printed */
    {
        static const struct
        {
            const char* scts;
            uint32_t utc;
        } kStamps[] = {
            {"24/05/01,12:34:56", SCTS_UTC + 7200u},
            {"24/05/01,12:34:5", 0u},
            {"24/05/01,12:34:56+", 0u},
            {"24/05/01,12:34:56+0", 0u},
            {"24/05/01,12:34:56-28", SCTS_UTC + 7200u + 25200u},
        };
        size_t i;
        int n = sms_count("READ", GSM_SmsRead_EventType_ReadSuccess);
        for (i = 0; i < sizeof kStamps / sizeof kStamps[0]; i++, n++)
        {
            const SmsEvent* e;
            sim_sms_receive(sms_centre(), SENDER, kStamps[i].scts, "Stamp");
            CHECK(sms_wait_event("READ", GSM_SmsRead_EventType_ReadSuccess, n + 1, 10000));
            e = read_event(n);
            CHECK(e && strcmp(e->timestamp, kStamps[i].scts) == 0 && e->utc == kStamps[i].utc);
        }
    }
}

/* Bodies that look like result codes or URCs stay text; over-long bodies and senders are cut. */
FAMILY_TEST(bodiesThatLookLikeResultCodesOrUrcsStayText)
{
    static const struct
    {
        const char* body;
        const char* text;
    } kRows[] = {
        {"OK", "OK"},
        {"ERROR", "ERROR"},
        {"Yes\nOK\nsee you", "Yes\nOK\nsee you"},
        {"Yes\r\nERROR\r\n+CMS ERROR: 500\r\nsee you", "Yes\nERROR\n+CMS ERROR: 500\nsee you"},
        {"Hi\n+CMTI: \"SM\",7\n+CDS: 6,42,\"+49\",145,\"24/05/01,12:00:01+08\",\"24/05/01,12:00:03+08\",0", /* URC look-alikes */
         "Hi\n+CMTI: \"SM\",7\n+CDS: 6,42,\"+49\",145,\"24/05/01,12:00:01+08\",\"24/05/01,12:00:03+08\",0"},
        {"a\n\nb\r\n\r\nc", "a\n\nb\n\nc"},                  /* empty lines */
        {"\nfirst line empty", "\nfirst line empty"},
        {"ends with a break\r\n", "ends with a break\n"},
        {"x\r\n\r\nOK\r\n", "x\n\nOK\n"},                      /* the very bytes that end a read */
        {"CR\ronly", "CR\nonly"},
        {"> not a prompt\nRING\nNO CARRIER", "> not a prompt\nRING\nNO CARRIER"},
        {"OK then", "OK then"},
        {"Line one\n+CMGR: fake\nOKAY", "Line one\n+CMGR: fake\nOKAY"}, /* the read's own answer prefix */
        {"", ""},
    };
    static const size_t kFragments[] = {0, 1, 3};
    size_t i;
    SimModem* sim;
    sim = sms_start(f, NULL, NULL);
    sim_tx_clear(sim);
    for (i = 0; i < sizeof kRows / sizeof kRows[0]; i++)
    {
        const SmsEvent* e;
        sim_set_fragment(sim, kFragments[i % 3]);
        sim_sms_receive(sms_centre(), SENDER, SCTS, kRows[i].body);
        CHECK(sms_wait_event("READ", GSM_SmsRead_EventType_ReadSuccess, (int)i + 1, 10000));
        e = read_event((int)i);
        CHECK(e != NULL);
        if (e)
        {
            CHECK_EQ_STR(e->text, kRows[i].text);
            CHECK_EQ_INT(e->len, strlen(kRows[i].text));
            CHECK(!e->flag);
        }
        harness_poll(1000);
        CHECK_EQ_INT(sim_sms_stored_count(sms_centre()), 0);
    }
    CHECK_EQ_INT(sms_count("READ", GSM_SmsRead_EventType_ReadSuccess), (int)(sizeof kRows / sizeof kRows[0]));
    /* the body lines were no announcements or reports */
    CHECK_EQ_INT(harness_count_command("AT+CMGR=7"), 0);
    CHECK_EQ_INT(sms_count("SEND", GSM_SmsSend_EventType_DeliveryStatusReport), 0);
    /* the modem's own final result after such a body did not disturb the next command */
    CHECK(sms_next_command_works());

    /* a body and a sender longer than their buffers are cut, and the event says so */
    {
        char body[301];
        const SmsEvent* e;
        memset(body, 'x', 300);
        body[300] = '\0';
        sim_sms_receive(sms_centre(), "+1234567890123456789012345678901234567890", SCTS, body);
        CHECK(sms_wait_event("READ", GSM_SmsRead_EventType_ReadSuccess, (int)i + 1, 10000));
        e = read_event((int)i);
        CHECK(e && e->flag);
        CHECK(e && e->len == GSM_SMSREAD_TEXT_SIZE - 1);
        CHECK(e && strlen(e->sender) == GSM_SMSREAD_SENDER_SIZE - 1);
        CHECK(e && strncmp(e->sender, "+1234567890", 11) == 0);
        harness_poll(1000);
        CHECK_EQ_INT(sim_sms_stored_count(sms_centre()), 0);
    }
}

/* A message whose lines look like the modem's boot or shutdown messages, on a firmware that prints a
 * stored LF as CR LF (so that its last line comes after the counted body): the lines are text. Taken
 * for a restart, such a message would be read again in every new session, for ever. */
FAMILY_TEST(bodyLinesLikeBootMessagesAreTextNotARestart)
{
    /* (as many line breaks before the last line as it has characters: the count ends where it begins) */
    static const char* const kTexts[] = {"x\nx\nx\nRDY", "x\nx\nx\nx\nx\nx\nx\nx\nx\nx\nx\nx\nx\nx\nx\nx\nx\nNORMAL POWER DOWN"};
    static const char* const kNames[] = {"boot message", "shutdown message"};
    size_t i;
    for (i = 0; i < sizeof kTexts / sizeof kTexts[0]; i++)
    {
        uint32_t boots;
        uint32_t presses;
        family_begin(kNames[i], f);
        sms_start(f, NULL, NULL);
        sim_sms_set_expand_lf(sms_centre(), true);
        boots = sim_boot_count(harness_sim());
        presses = sim_pwrkey_presses(harness_sim());
        sim_sms_receive(sms_centre(), SENDER, SCTS, kTexts[i]);
        CHECK(sms_wait_event("READ", GSM_SmsRead_EventType_ReadSuccess, 1, 10000));
        harness_poll(20000);
        check_message(read_event(0), SENDER, kTexts[i], -1);
        CHECK_EQ_INT(sms_count("READ", GSM_SmsRead_EventType_ReadSuccess), 1);
        CHECK_EQ_INT(sim_sms_stored_count(sms_centre()), 0);
        CHECK_EQ_INT(sim_boot_count(harness_sim()), boots);
        CHECK_EQ_INT(sim_pwrkey_presses(harness_sim()), presses);
        CHECK(gsmmgrBasicCommsCommunicationEstablished());
    }
}

FAMILY_TEST(bodyLengthShortOrMissingFallsBackToLinesAlsoAfterARestart)
{
    const SmsEvent* e;
    int draft;
    sms_start(f, NULL, NULL);
    /* a firmware that prints a stored LF as CR LF but counts it once: the rest after the count
     * still belongs to the body */
    sim_sms_set_expand_lf(sms_centre(), true);
    sim_sms_receive(sms_centre(), SENDER, SCTS, "Yes\nsee you\nlater");
    CHECK(sms_wait_event("READ", GSM_SmsRead_EventType_ReadSuccess, 1, 10000));
    e = read_event(0);
    CHECK_EQ_STR(e ? e->text : NULL, "Yes\nsee you\nlater");
    CHECK(e && !e->flag);
    sim_sms_set_expand_lf(sms_centre(), false);
    harness_poll(1000);
    CHECK_EQ_INT(sim_sms_stored_count(sms_centre()), 0);

    /* a message stored while the modem restarts (no +CMTI: the modem was not set up) is found after
     * the restart; the new session refuses AT+CSDH=1, so there is no length: the body is read line
     * by line */
    sim_sms_refuse_csdh(sms_centre(), true);
    sim_reboot(harness_sim());
    harness_poll(200);
    sim_sms_store(sms_centre(), SENDER, SCTS, "Line one\r\nLine two");
    CHECK(sms_wait_event("READ", GSM_SmsRead_EventType_ReadSuccess, 2, 90000));
    check_message(read_event(1), SENDER, "Line one\nLine two", -1);
    harness_poll(1000);
    CHECK_EQ_INT(sim_sms_stored_count(sms_centre()), 0);
    CHECK_EQ_INT(sim_sms_cnmi_mt(sms_centre()), 1); /* set up again in the new session */
    sim_sms_refuse_csdh(sms_centre(), false);

    /* headers without the blank after "+CMGR:": the message is still told from a draft */
    sim_sms_set_compact_header(sms_centre(), true);
    draft = sim_sms_store_draft(sms_centre(), "+4930123456", "Draft");
    sim_sms_receive(sms_centre(), SENDER, SCTS, "Compact");
    CHECK(sms_wait_event("READ", GSM_SmsRead_EventType_ReadSuccess, 3, 10000));
    check_message(read_event(2), SENDER, "Compact", -1);
    harness_poll(1000);
    CHECK_EQ_INT(sim_sms_stored_count(sms_centre()), 1);
    CHECK(sim_sms_index_used(sms_centre(), draft));
    sim_sms_set_compact_header(sms_centre(), false);
}

/* A restart takes the AT+CMGD of a message just reported: the new session must not report it again,
 * and finds what was stored below it within a minute. If the delete had been done and only its
 * answer was lost, a new message the modem stored in the freed place during the restart is
 * reported, not deleted unseen. */
FAMILY_TEST(messageWhoseDeleteARestartTookIsReportedOnceAndItsPlaceStaysSafe)
{
    SimModem* sim = sms_start(f, NULL, NULL);
    int index;
    uint32_t t0;
    /* the modem hangs before it executes the delete of the second message, then restarts; the
     * network stores another message in the place of the first meanwhile */
    CHECK_EQ_INT(sim_sms_receive(sms_centre(), SENDER, SCTS, "First"), base_of(f));
    index = sim_sms_receive(sms_centre(), SENDER, SCTS, "Once");
    CHECK(sms_wait_event("READ", GSM_SmsRead_EventType_ReadSuccess, 2, 10000));
    sim_set_hung(sim, true);
    harness_poll(1000);
    CHECK(sim_sms_index_used(sms_centre(), index));
    sim_reboot(sim);
    harness_poll(200);
    CHECK_EQ_INT(sim_sms_store(sms_centre(), SENDER, SCTS, "Below"), base_of(f));
    t0 = sim_now(sim);
    /* by the walk that follows the first one (32.8 s later at the latest) */
    CHECK(sms_wait_event("READ", GSM_SmsRead_EventType_ReadSuccess, 3, 90000));
    CHECK(sim_now(sim) - t0 < 60000u);
    harness_poll(60000);
    CHECK_EQ_INT(sms_count("READ", GSM_SmsRead_EventType_ReadSuccess), 3);
    check_message(read_event(2), SENDER, "Below", base_of(f));
    CHECK_EQ_INT(sim_sms_stored_count(sms_centre()), 0);

    /* the delete is done, its answer lost, the modem restarts and stores a new message there */
    index = sim_sms_receive(sms_centre(), SENDER, SCTS, "Two");
    CHECK(sms_wait_event("READ", GSM_SmsRead_EventType_ReadSuccess, 4, 10000));
    sim_drop_rx_bytes(sim, 1u, 1000u);
    harness_poll(500);
    CHECK(!sim_sms_index_used(sms_centre(), index));
    sim_reboot(sim);
    harness_poll(200);
    CHECK_EQ_INT(sim_sms_store(sms_centre(), SENDER, SCTS, "Three"), index);
    CHECK(sms_wait_event("READ", GSM_SmsRead_EventType_ReadSuccess, 5, 90000));
    harness_poll(5000);
    CHECK_EQ_INT(sms_count("READ", GSM_SmsRead_EventType_ReadSuccess), 5);
    check_message(read_event(3), SENDER, "Two", index);
    check_message(read_event(4), SENDER, "Three", index);
    CHECK_EQ_INT(sim_sms_stored_count(sms_centre()), 0);
}

FAMILY_TEST(burstOfAnnouncementsIsReadCompletely)
{
    int i;
    char text[16];
    int seen[10] = {0};
    sms_start(f, NULL, NULL);
    for (i = 0; i < 9; i++)
    {
        snprintf(text, sizeof text, "Msg %d", i);
        sim_sms_receive(sms_centre(), SENDER, SCTS, text);
    }
    CHECK(sms_wait_event("READ", GSM_SmsRead_EventType_ReadSuccess, 9, 30000));
    harness_poll(3000);
    CHECK_EQ_INT(sms_count("READ", GSM_SmsRead_EventType_ReadSuccess), 9);
    for (i = 0; i < 9; i++)
    {
        const SmsEvent* e = read_event(i);
        int n = -1;
        if (e && sscanf(e->text, "Msg %d", &n) == 1 && n >= 0 && n < 9)
        {
            seen[n]++;
        }
    }
    for (i = 0; i < 9; i++)
    {
        CHECK_EQ_INT(seen[i], 1);
    }
    CHECK_EQ_INT(sim_sms_stored_count(sms_centre()), 0);
    /* a message every 0.7 s: the store never fills */
    for (i = 0; i < 30; i++)
    {
        CHECK(sim_sms_receive(sms_centre(), SENDER, SCTS, "Tick") >= 0);
        harness_poll(700);
    }
    CHECK(sms_wait_event("READ", GSM_SmsRead_EventType_ReadSuccess, 39, 10000));
    CHECK_EQ_INT(sim_sms_stored_count(sms_centre()), 0);
}

FAMILY_TEST(readErrorsAreRetriedThenGivenUp)
{
    SimModem* sim;
    char cmd[32];
    int idx;
    sim = sms_start(f, NULL, NULL);
    /* SIM busy once: the second attempt reads it */
    sim_sms_fail_next_read(sms_centre(), 314, 1);
    idx = sim_sms_receive(sms_centre(), SENDER, SCTS, "Retry me");
    CHECK(sms_wait_event("READ", GSM_SmsRead_EventType_ReadSuccess, 1, 15000));
    check_message(read_event(0), SENDER, "Retry me", idx);
    /* always failing: given up after the attempts, without an event; later messages still come,
     * and the walk they cause tries the given-up message again (now readable) */
    harness_poll(1000);
    sim_tx_clear(sim);
    sim_sms_fail_next_read(sms_centre(), 500, GSM_SMSREAD_ATTEMPTS);
    idx = sim_sms_receive(sms_centre(), SENDER, SCTS, "Broken");
    harness_poll(GSM_SMSREAD_ATTEMPTS * (GSM_SMSREAD_RETRY_MS + 500));
    snprintf(cmd, sizeof cmd, "AT+CMGR=%d", idx);
    CHECK_EQ_INT(harness_count_command(cmd), GSM_SMSREAD_ATTEMPTS);
    CHECK_EQ_INT(sms_count("READ", GSM_SmsRead_EventType_ReadSuccess), 1);
    CHECK(sim_sms_index_used(sms_centre(), idx));
    sim_sms_receive(sms_centre(), SENDER, SCTS, "Fine");
    CHECK(sms_wait_event("READ", GSM_SmsRead_EventType_ReadSuccess, 3, 15000));
    harness_poll(2000);
    CHECK_EQ_INT(sms_count("READ", GSM_SmsRead_EventType_ReadSuccess), 3);
    if (read_event(1) && read_event(2))
    {
        const char* t1 = read_event(1)->text;
        const char* t2 = read_event(2)->text;
        CHECK((strcmp(t1, "Fine") == 0 && strcmp(t2, "Broken") == 0) || (strcmp(t1, "Broken") == 0 && strcmp(t2, "Fine") == 0));
    }
    CHECK_EQ_INT(sim_sms_stored_count(sms_centre()), 0);
}

FAMILY_TEST(withoutStoreSelectionTheDefaultStoreIsWalked)
{
    SimModem* sim;
    sim = sms_start_only(f, NULL, NULL);
    sim_sms_refuse_cpms_set(sms_centre(), true);
    sim_sms_store(sms_centre(), SENDER, SCTS, "Default store");
    CHECK(sms_wait_event("READ", GSM_SmsRead_EventType_ReadSuccess, 1, 90000));
    check_message(read_event(0), SENDER, "Default store", base_of(f));
    CHECK(harness_find_command("AT+CPMS?", 0) >= 0);
    /* an announced message is found the same way */
    harness_poll(1000);
    sim_tx_clear(sim);
    sim_sms_receive(sms_centre(), SENDER, SCTS, "Announced");
    CHECK(sms_wait_event("READ", GSM_SmsRead_EventType_ReadSuccess, 2, 10000));
    check_message(read_event(1), SENDER, "Announced", -1);
    CHECK(harness_find_command("AT+CPMS?", 0) >= 0);
    harness_poll(1000);
    CHECK_EQ_INT(sim_sms_stored_count(sms_centre()), 0);
}

FAMILY_TEST(headerTooLongForTheLineBufferLeavesTheMessageAndDraftsStored)
{
    HarnessOptions opt = harness_default_options();
    int reads;
    opt.data_buffer = false; /* the Prompt's small fallback line buffer: no "+CMGR:" header fits */
    sms_start(f, NULL, &opt);
    harness_poll(5000);
    (void)sim_sms_store_draft(sms_centre(), "+4930123456", "Draft");
    sim_sms_receive(sms_centre(), SENDER, SCTS, "Hi");
    harness_poll(5000);
    /* nothing to report, and nothing deleted that was never seen: the message and the draft stay */
    CHECK_EQ_INT(sms_count("READ", GSM_SmsRead_EventType_ReadSuccess), 0);
    CHECK_EQ_INT(sim_sms_stored_count(sms_centre()), 2);
    CHECK_EQ_INT(harness_count_command_prefix("AT+CMGD="), 0);
    /* the walk ends when both were seen: no reading in a loop */
    reads = harness_count_command_prefix("AT+CMGR=");
    CHECK(reads >= 2 && reads <= 6);
    harness_poll(20000);
    CHECK_EQ_INT(harness_count_command_prefix("AT+CMGR="), reads);
}

/* Messages stored without their announcements (lost on the line) until the store is full: the
 * network then announces nothing more, and without a look of its own the module would never read
 * the store again. It looks every 32.8 s; a walk of an empty store is one AT+CPMS. */
FAMILY_TEST(storeFilledWhileAnnouncementsWereLostIsReadWithinAMinute)
{
    int i, n = 0;
    SimModem* sim = sms_start(f, NULL, NULL);
    harness_poll(5000); /* the set-up walk is over */
    for (i = 0; i < 10; i++)
    {
        n += sim_sms_store(sms_centre(), SENDER, SCTS, "Stored unannounced") >= 0;
    }
    CHECK(n > 0);
    CHECK(sms_wait_event("READ", GSM_SmsRead_EventType_ReadSuccess, n, 70000));
    harness_poll(2000);
    CHECK_EQ_INT(sim_sms_stored_count(sms_centre()), 0);
    /* idle: one store query every 32.8 s, nothing more */
    sim_tx_clear(sim);
    harness_poll(100000);
    CHECK_EQ_INT(harness_count_command("AT+CPMS=\"SM\",\"SM\",\"SM\""), 3);
    CHECK_EQ_INT(harness_count_command("AT+CMGR=0"), 0);
}

static void decodersRejectMalformedLinesAndRespectBuffers(void)
{
    char sender[8];
    char ts[24];
    bool cut = false;
    uint8_t idx = 0;
    const char* l1 = "+CMGR: \"REC UNREAD\",\"+491701234567\",\"\",\"24/05/01,12:34:56+08\"";
    const char* l2 = "+CMGR: \"REC READ\",\"+49\",,\"24/05/01,12:34:56+08\",145,4,0,0,\"+491710760000\",145,5";
    memset(sender, 'Z', sizeof sender);
    CHECK(gsmSmsReadDecodeCmgr(l1, (uint16_t)strlen(l1), sender, sizeof sender, ts, sizeof ts, &cut));
    CHECK(cut);
    CHECK_EQ_STR(sender, "+491701");
    CHECK_EQ_STR(ts, "24/05/01,12:34:56+08");
    CHECK(gsmSmsReadDecodeCmgr(l2, (uint16_t)strlen(l2), sender, sizeof sender, ts, sizeof ts, &cut));
    CHECK(!cut);
    CHECK_EQ_STR(sender, "+49");
    CHECK(!gsmSmsReadDecodeCmgr("+CMGR: \"STO UNSENT\",\"+49\",", 26, sender, sizeof sender, ts, sizeof ts, &cut));
    CHECK(!gsmSmsReadDecodeCmgr("+CMGR: \"REC READ\",\"+49\"", 23, sender, sizeof sender, ts, sizeof ts, &cut));
    CHECK(!gsmSmsReadDecodeCmgr("+CMGR:", 6, sender, sizeof sender, ts, sizeof ts, &cut));
    CHECK(!gsmSmsReadDecodeCmgr("", 0, sender, sizeof sender, ts, sizeof ts, &cut));
    CHECK(gsmSmsReadDecodeCmti("+CMTI: \"SM\",3", 13, &idx) && idx == 3);
    CHECK(gsmSmsReadDecodeCmti("+CMTI: \"ME\",0", 13, &idx) && idx == 0);
    CHECK(!gsmSmsReadDecodeCmti("+CMTI: \"SM\",256", 15, &idx));
    CHECK(!gsmSmsReadDecodeCmti("+CMTI: \"SM\"", 11, &idx));
    CHECK(!gsmSmsReadDecodeCmti("+CMTI: \"SM\",-1", 14, &idx));
}

const CheckTest g_sms_read_tests[] = {
    {"storedMessagesAreReadAndDeletedAtStartUpButDraftsStay", storedMessagesAreReadAndDeletedAtStartUpButDraftsStay},
    {"announcedMessageIsReadDeletedAndReportedWhateverTheFragmentation", announcedMessageIsReadDeletedAndReportedWhateverTheFragmentation},
    {"bodiesThatLookLikeResultCodesOrUrcsStayText", bodiesThatLookLikeResultCodesOrUrcsStayText},
    {"bodyLinesLikeBootMessagesAreTextNotARestart", bodyLinesLikeBootMessagesAreTextNotARestart},
    {"bodyLengthShortOrMissingFallsBackToLinesAlsoAfterARestart", bodyLengthShortOrMissingFallsBackToLinesAlsoAfterARestart},
    {"messageWhoseDeleteARestartTookIsReportedOnceAndItsPlaceStaysSafe", messageWhoseDeleteARestartTookIsReportedOnceAndItsPlaceStaysSafe},
    {"burstOfAnnouncementsIsReadCompletely", burstOfAnnouncementsIsReadCompletely},
    {"readErrorsAreRetriedThenGivenUp", readErrorsAreRetriedThenGivenUp},
    {"withoutStoreSelectionTheDefaultStoreIsWalked", withoutStoreSelectionTheDefaultStoreIsWalked},
    {"headerTooLongForTheLineBufferLeavesTheMessageAndDraftsStored", headerTooLongForTheLineBufferLeavesTheMessageAndDraftsStored},
    {"storeFilledWhileAnnouncementsWereLostIsReadWithinAMinute", storeFilledWhileAnnouncementsWereLostIsReadWithinAMinute},
    {"decodersRejectMalformedLinesAndRespectBuffers", decodersRejectMalformedLinesAndRespectBuffers},
};
const size_t g_sms_read_test_count = sizeof g_sms_read_tests / sizeof g_sms_read_tests[0];
