/*
 * tst_sms_chaos.c - seeded random faults against SMS Send, SMS Receive and USSD.
 *
 * Per seed the modem comes up; then a bounded number of random steps mix application requests
 * (sends of short, 160-character and multi-line texts with and without delivery reports, cancels,
 * USSD queries, menu replies and session cancels) and messages from the network (one or several at
 * once, announced or stored silently, until the store is full) with faults: modem restart and hang,
 * garbage, small fragments and lost bytes on the line, refused commands, lost prompts and results,
 * failed reads, registration loss, slow send results and USSD answers (within the modem's longest
 * response times). Events are checked as they come: every accepted send and USSD request gets
 * exactly one final event within a bounded time and nothing comes for a request never made; a
 * received message is reported once, with the sender and text the network delivered, from the index
 * it was stored at (a read that lost bytes on the line may be garbled); texts stay inside their
 * buffers. The store is on the SIM: it survives restarts. Once the faults end the library must come
 * back by itself: a send succeeds, a USSD query gets its answer, a new message is reported and the
 * store is empty.
 *
 * CHAOS_SEED=<n> runs seed n alone, CHAOS_SEEDS=<n> seeds 1..n; CHAOS_LOG=1 prints every seed's steps
 * and AT dialogue (a failing seed prints its steps and the last commands anyway).
 */
#include <stdlib.h>
#include <string.h>

#include "chaos.h"
#include "sms_support.h"

#ifndef SMS_CHAOS_SEEDS
#define SMS_CHAOS_SEEDS 600
#endif
#define STEPS 30
#define MSG_MAX 128
/* From an accepted request to its final event, faults included: the registration wait (120 s), the
 * set-up, prompt and result (60 s) or the doubled USSD answer time, with a restart on top. */
#define SEND_BOUND_MS 330000u
#define USSD_BOUND_MS 300000u
#define RECOVER_MS 300000u
/* Lost bytes may garble what the library reads until this long after the loss ended. */
#define GARBLE_MS 10000u

#define SCTS "24/05/01,12:34:56+08"
enum { STORED, REPORTED, GARBLED };

static struct
{
    unsigned sends, send_results[8], reports, ussd, ussd_results[12], delivered, reported, garbled, full, faults;
    double simulated_s;
} s_stats;

static struct
{
    SimModem* sim;
    SimSmsCentre* sms;
    SimUssd* ussd;
    /* the accepted send and what the network had taken before it */
    bool send_pending, send_overdue;
    uint32_t send_since;
    int sent_before, send_mr, send_result;
    const char* send_text;
    uint8_t awaiting[64]; /* message references of successful sends whose final report is due */
    int awaiting_count;
    /* the accepted USSD request; the menu as the events told it; a cancel whose event is due */
    bool ussd_pending, ussd_overdue, ussd_sent, ussd_cancelled, menu, cancel_owed, late_answer;
    uint32_t ussd_since;
    const char* ussd_code;
    int ussd_status;
    /* messages the network stored */
    struct { int index, state; char sender[24]; char text[170]; } msg[MSG_MAX];
    int msgs;
    uint32_t garble_until;
    bool state_reported;
} c;

static bool garbling(void) { return (int32_t)(chaos_now() - c.garble_until) < 0; }

/* ---- the events, checked as they come ---------------------------------------------------------- */

static void on_send(const SmsEvent* e)
{
    int i, taken = sim_sms_sent_count(c.sms) - c.sent_before;
    if (e->type == GSM_SmsSend_EventType_DeliveryStatusReport)
    {
        s_stats.reports++;
        for (i = 0; i < c.awaiting_count && c.awaiting[i] != e->a; i++)
        {
        }
        chaos_note("delivery report mr %d status %d%s", e->a, e->b, e->flag ? " (matched)" : "");
        CHECK(!e->flag || i < c.awaiting_count); /* matched: a message this instance sent */
        if (e->flag && i < c.awaiting_count && e->dcs != GSM_SmsSend_DeliveryStatusReportType_Pending)
        {
            c.awaiting[i] = c.awaiting[--c.awaiting_count];
        }
        return;
    }
    chaos_note("send ends: %s %d/%d, the network took %d", e->type == GSM_SmsSend_EventType_SendSuccess ? "success" : "failure",
         e->a, e->b, taken);
    CHECK(c.send_pending); /* no result without an accepted send, one per send */
    CHECK(taken <= 1);     /* never sent twice */
    c.send_pending = false;
    c.send_result = e->type == GSM_SmsSend_EventType_SendSuccess ? -1 : e->a;
    s_stats.send_results[(c.send_result + 1) & 7]++;
    if (e->type == GSM_SmsSend_EventType_SendSuccess)
    {
        CHECK_EQ_INT(taken, 1);
        if (taken == 1)
        {
            CHECK_EQ_STR(sim_sms_sent_text(c.sms, sim_sms_sent_count(c.sms) - 1), c.send_text);
        }
        CHECK(garbling() || e->a == c.send_mr);
        if (c.awaiting_count < (int)sizeof c.awaiting)
        {
            c.awaiting[c.awaiting_count++] = (uint8_t)e->a;
        }
    }
    else if (e->a == GSM_SmsSend_FailReason_NotRegistered || e->a == GSM_SmsSend_FailReason_NoPrompt ||
             e->a == GSM_SmsSend_FailReason_Cancelled)
    {
        CHECK_EQ_INT(taken, 0); /* these promise that nothing was sent */
    }
}

static void on_read(const SmsEvent* e)
{
    int i;
    CHECK(e->len < GSM_SMSREAD_TEXT_SIZE);
    for (i = 0; i < c.msgs; i++)
    {
        if (c.msg[i].state == STORED && c.msg[i].index == e->a && strcmp(c.msg[i].sender, e->sender) == 0 &&
            strcmp(c.msg[i].text, e->text) == 0)
        {
            break;
        }
    }
    chaos_note("message %d reported from index %d%s", i < c.msgs ? i : -1, e->a, i < c.msgs ? "" : " (no such message stored)");
    if (i < c.msgs)
    {
        CHECK(!e->flag);
        c.msg[i].state = REPORTED;
        s_stats.reported++;
        return;
    }
    /* Read line by line (the header carries no length: AT+CSDH=1 was refused), a body line "OK" ends
     * the answer: the text is cut before it. */
    for (i = 0; i < c.msgs; i++)
    {
        const char* text = c.msg[i].text;
        if (c.msg[i].state == STORED && c.msg[i].index == e->a && !sim_sms_long_headers(c.sms) &&
            strncmp(text, e->text, e->len) == 0 && strncmp(text + e->len, "\nOK\n", 4) == 0)
        {
            chaos_note("message %d reported from index %d, cut at its line \"OK\"", i, e->a);
            c.msg[i].state = REPORTED;
            s_stats.reported++;
            return;
        }
    }
    /* not a message of the store: tolerated only as one garbled by lost bytes, which it replaces */
    CHECK(garbling());
    for (i = 0; i < c.msgs && !(c.msg[i].state == STORED && c.msg[i].index == e->a); i++)
    {
    }
    if (i < c.msgs && garbling())
    {
        c.msg[i].state = GARBLED;
        s_stats.garbled++;
    }
}

static void on_ussd(const SmsEvent* e)
{
    bool menu = false;
    if (e->type == GSM_USSD_EventType_UssdSent)
    {
        chaos_note("USSD sent");
        CHECK(c.ussd_pending && !c.ussd_sent);
        c.ussd_sent = true;
        c.late_answer = false; /* the modem took a new request: it holds no earlier one */
        return;
    }
    chaos_note("USSD %s status %d error %d: \"%.40s\"", e->type == GSM_USSD_EventType_UssdResponse ? "response" : "cancelled",
         e->a, e->b, e->text);
    CHECK(e->len < GSM_USSD_RESPONSE_SIZE);
    s_stats.ussd_results[e->a % 12]++;
    if (c.ussd_pending && !c.ussd_sent && e->a <= GSM_USSD_Status_Invalid)
    {
        /* a network answer before the request went out is not its answer, which still follows: the
         * end of the open menu or a late answer of an earlier request (a menu opens a session) */
        CHECK(c.late_answer || (c.menu && e->type == GSM_USSD_EventType_UssdCancelled));
        c.late_answer = false;
        c.menu = e->type == GSM_USSD_EventType_UssdResponse && e->a == GSM_USSD_Status_ActionRequired;
        return;
    }
    if (c.ussd_pending)
    {
        CHECK(!c.ussd_cancelled || e->type == GSM_USSD_EventType_UssdCancelled); /* a cancel ends it so */
        c.ussd_pending = false;
        c.ussd_status = e->a;
        if (e->a == GSM_USSD_Status_Final && strcmp(c.ussd_code, "*100#") == 0 && !garbling())
        {
            CHECK_EQ_STR(e->text, "Your balance is 5.00 EUR. Valid until 31.12.2024");
        }
        if (e->a == GSM_USSD_Status_Final && strcmp(c.ussd_code, "*long#") == 0)
        {
            CHECK(e->flag && e->len == GSM_USSD_RESPONSE_SIZE - 1u);
        }
        /* the modem may still hold the request after a re-handshake or a given-up wait: its
         * answer may come later, as a network-initiated one (so may that of an earlier request when
         * this one never went out) */
        c.late_answer = c.late_answer || e->a == GSM_USSD_Status_CommsLost || e->a == GSM_USSD_Status_NoResponse ||
                        e->a == GSM_USSD_Status_Cancelled;
        /* a menu, or a refusal that leaves a session open: the one the modem tells of ("operation not
         * allowed") or the menu the request replied to */
        menu = e->type == GSM_USSD_EventType_UssdResponse &&
               (e->a == GSM_USSD_Status_ActionRequired || (e->a == GSM_USSD_Status_ErrorResponse && (e->b == 3 || c.menu)));
    }
    else if (c.cancel_owed)
    {
        CHECK(e->type == GSM_USSD_EventType_UssdCancelled);
        /* a close the modem refused leaves its session: its end may come later */
        c.late_answer = c.late_answer || sim_ussd_session_open(c.ussd);
    }
    else
    {
        /* without a request only the end of an open menu (by the network or a restart) or a late
         * answer, which may open a menu */
        CHECK(c.late_answer || (c.menu && e->type == GSM_USSD_EventType_UssdCancelled &&
                                (e->a == GSM_USSD_Status_TerminatedByNetwork || e->a == GSM_USSD_Status_CommsLost)));
        c.late_answer = false;
        menu = e->type == GSM_USSD_EventType_UssdResponse && e->a == GSM_USSD_Status_ActionRequired;
    }
    c.cancel_owed = false;
    c.menu = menu;
}

static void on_event(const SmsEvent* e)
{
    if (strcmp(e->module, "SEND") == 0)
    {
        on_send(e);
    }
    else if (strcmp(e->module, "READ") == 0)
    {
        on_read(e);
    }
    else
    {
        on_ussd(e);
    }
}

/* ---- application side ------------------------------------------------------------------------- */

static char kNumber[] = "+491701234567";
static char s_text160[161];
static char* const kTexts[] = {"Pump 3 started", s_text160, "Line one\nline two\nOK\n+CMTI: \"SM\",1", "", "a{b}c[d]e~f|g^h\\i"};

static void send(void)
{
    char* text = kTexts[chaos_rnd(sizeof kTexts / sizeof kTexts[0])];
    bool was = c.send_pending, ok;
    int mr = (int)chaos_rnd(256);
    if (!was)
    {
        sim_sms_set_next_mr(c.sms, mr); /* the reference the network gives this message */
    }
    ok = gsmmgrSmsSend(kNumber, text);
    chaos_note("send of %u characters: %s", (unsigned)strlen(text), ok ? "accepted" : "refused");
    CHECK_EQ_INT(ok, !was); /* refused only while a send runs */
    if (ok)
    {
        s_stats.sends++;
        c.send_pending = true;
        c.send_overdue = false;
        c.send_since = chaos_now();
        c.sent_before = sim_sms_sent_count(c.sms);
        c.send_mr = mr;
        c.send_text = text;
    }
}

static void ussd(char* code)
{
    bool was = c.ussd_pending || c.cancel_owed, ok = gsmmgrUssdSend(code);
    chaos_note("USSD %s: %s", code, ok ? "accepted" : "refused");
    CHECK(!(ok && was));
    if (ok)
    {
        s_stats.ussd++;
        c.ussd_pending = true;
        c.ussd_overdue = c.ussd_sent = c.ussd_cancelled = false;
        c.ussd_since = chaos_now();
        c.ussd_code = code;
    }
}

static void ussd_cancel(void)
{
    bool ok = gsmmgrUssdCancelSession();
    chaos_note("USSD cancel: %s", ok ? "accepted" : "nothing to cancel");
    CHECK_EQ_INT(ok, c.ussd_pending || c.menu || c.cancel_owed);
    c.ussd_cancelled = c.ussd_pending;
    c.cancel_owed = ok && !c.ussd_pending;
    c.menu = false;
}

/* One to four messages from the network; some of them stored without an announcement (lost URC). */
static void messages_arrive(void)
{
    uint32_t i, n = 1u + chaos_rnd(4);
    for (i = 0; i < n && c.msgs < MSG_MAX - 1; i++) /* one left for the check at the end */
    {
        bool silent = chaos_rnd(5) == 0;
        int k = c.msgs, index;
        snprintf(c.msg[k].sender, sizeof c.msg[k].sender, chaos_rnd(4) ? "+4915%08d" : "Info%d", k);
        switch (chaos_rnd(3))
        {
        case 0: snprintf(c.msg[k].text, sizeof c.msg[k].text, "%.*s%d", 155, s_text160, 10000 + k); break;
        case 1: snprintf(c.msg[k].text, sizeof c.msg[k].text, "Alarm %d\nOK\n\nERROR\n+CMTI: \"SM\",4", k); break;
        default: snprintf(c.msg[k].text, sizeof c.msg[k].text, "Reading %d: 21.5 C", k); break;
        }
        index = silent ? sim_sms_store(c.sms, c.msg[k].sender, SCTS, c.msg[k].text)
                       : sim_sms_receive(c.sms, c.msg[k].sender, SCTS, c.msg[k].text);
        chaos_note("message %d arrives%s: index %d", k, silent ? " silently" : "", index);
        s_stats.full += index < 0 ? 1u : 0u;
        if (index >= 0)
        {
            c.msg[k].index = index;
            c.msg[k].state = STORED;
            c.msgs++;
            s_stats.delivered++;
        }
    }
}

static void app_step(void)
{
    static char* const kCodes[] = {"*100#", "*100#", "*123#", "*long#", "*999#", "*000#"};
    static char* const kReplies[] = {"1", "2", "3"};
    switch (chaos_rnd(9))
    {
    case 0:
    case 1: send(); break;
    case 2: chaos_note("send cancel"); gsmmgrSmsSendCancel(); break;
    case 3: ussd(kCodes[chaos_rnd(sizeof kCodes / sizeof kCodes[0])]); break;
    case 4:
        if (c.menu)
        {
            ussd(kReplies[chaos_rnd(3)]);
        }
        else
        {
            ussd_cancel();
        }
        break;
    case 5: ussd_cancel(); break;
    case 6:
    {
        bool on = chaos_rnd(2) != 0;
        chaos_note("delivery reports %s", on ? "on" : "off");
        gsmSmsSendSetDeliveryReports(&mGsmSmsSendInst, on);
        break;
    }
    default: messages_arrive(); break;
    }
}

/* ---- faults -------------------------------------------------------------------------------------- */

static void fault_step(void)
{
    static const char kGarbage[] = "\r\n\0\xff>+:,0123456789OKERROR CMEA"; /* cannot spell a URC of these modules */
    static const char* const kUrcs[] = {"RING", "+CMTI: \"SM\",2", "+CDS: 6,7,\"+4930\",145,\"" SCTS "\",\"" SCTS "\",0"};
    s_stats.faults++;
    switch (chaos_rnd(11))
    {
    case 0: chaos_note("modem restarts"); sim_reboot(c.sim); break;
    case 1: chaos_hang(25000); break;
    case 2:
        chaos_garbage(kGarbage, sizeof kGarbage - 1, 24);
        c.garble_until = chaos_now() + GARBLE_MS; /* it may join the line that follows */
        break;
    case 3:
    {
        static const uint32_t kLoss[] = {2000, 15000, 60000};
        (void)chaos_lose_registration((uint8_t)(chaos_rnd(2) ? 0 : 2 + chaos_rnd(3)), kLoss, 3, SIM_REG_CS);
        break;
    }
    case 4: chaos_note("next command refused"); sim_fail_next_command(c.sim, chaos_rnd(2) ? 100 : 4); break;
    case 5:
        switch (chaos_rnd(5))
        {
        case 0: chaos_note("next send fails"); sim_sms_fail_next_send(c.sms, chaos_rnd(2) ? 332 : 500); break;
        case 1: chaos_note("next prompt lost"); sim_sms_drop_next_prompt(c.sms); break;
        case 2: chaos_note("next send result lost"); sim_sms_drop_next_result(c.sms); break;
        case 3: chaos_note("next reads fail"); sim_sms_fail_next_read(c.sms, 500, 1 + (int)chaos_rnd(3)); break;
        default: chaos_note("USSD requests refused"); sim_ussd_refuse_requests(c.ussd, chaos_rnd(2) ? 30 : 100); break;
        }
        break;
    case 6:
    {
        /* within the longest response times: a send result 60 s, a USSD answer 30 s */
        static const int kReports[][2] = {{0, 0}, {32, 0}, {70, 0}};
        uint32_t send_ms = 1000u + chaos_rnd(57000), ussd_ms = 500u + chaos_rnd(25000), r = chaos_rnd(3);
        chaos_note("send results after %u ms, USSD answers after %u ms, reports %d,%d", (unsigned)send_ms, (unsigned)ussd_ms,
             kReports[r][0], r == 1 ? kReports[r][1] : -1);
        sim_sms_set_send_delay(c.sms, send_ms);
        sim_ussd_set_answer_delay(c.ussd, ussd_ms);
        sim_sms_set_reports(c.sms, kReports[r], r == 1 ? 2 : 1, 1000u + chaos_rnd(20000));
        break;
    }
    case 7: chaos_fragment(); break;
    case 8: c.garble_until = chaos_now() + chaos_lose_bytes() + GARBLE_MS; break;
    case 9:
    {
        const char* urc = kUrcs[chaos_rnd(3)];
        chaos_note("URC %s inside the next answer", urc);
        sim_inject_urc_in_next_response(c.sim, urc, (SimInjectPos)chaos_rnd(3));
        break;
    }
    default:
        if (sim_ussd_session_open(c.ussd))
        {
            chaos_note("network ends the USSD session");
            sim_ussd_network_cancel(c.ussd);
        }
        break;
    }
}

static void end_faults(void)
{
    chaos_end_faults();
    sim_drop_rx_bytes(c.sim, 0, 0);
    sim_sms_clear_faults(c.sms);
    sim_ussd_refuse_requests(c.ussd, 0);
    sim_ussd_set_answer_delay(c.ussd, 2000);
}

/* ---- time, with the checks that hold all along ------------------------------------------------ */

static void check_bounds(void)
{
    if (c.send_pending && !c.send_overdue && chaos_now() - c.send_since > SEND_BOUND_MS)
    {
        c.send_overdue = true;
        chaos_note("send overdue");
        CHECK(!"a send got no result within its bound");
    }
    if (c.ussd_pending && !c.ussd_overdue && chaos_now() - c.ussd_since > USSD_BOUND_MS)
    {
        c.ussd_overdue = true;
        chaos_note("USSD request overdue");
        CHECK(!"a USSD request got no final event within its bound");
    }
    /* what the library says matches the events it raised (told once a seed) */
    if (!c.state_reported && (gsmSmsSendBusy(&mGsmSmsSendInst) != c.send_pending ||
                              gsmUssdBusy(&mGsmUssdInst) != (c.ussd_pending || c.menu || c.cancel_owed)))
    {
        c.state_reported = true;
        chaos_note("busy states differ from the events");
        CHECK_EQ_INT(gsmSmsSendBusy(&mGsmSmsSendInst), c.send_pending);
        CHECK_EQ_INT(gsmUssdBusy(&mGsmUssdInst), c.ussd_pending || c.menu || c.cancel_owed);
    }
}

static bool settled(void) { return !c.send_pending && !c.ussd_pending && !c.cancel_owed; }
static bool up(void) { return gsmmgrBasicCommsCommunicationEstablished() && gsmmgrNetworkRegistrationIsRegistered(); }
static bool store_empty(void) { return sim_sms_stored_count(c.sms) == 0; }
static bool all_reported(void) { return c.msgs > 0 && c.msg[c.msgs - 1].state != STORED; }

/* ---- one seed ---------------------------------------------------------------------------------- */

static void run_seed(uint32_t seed)
{
    static const char* const kFamilyNames[] = {"2G", "LTE-Q", "LTE-A"};
    int f = (int)(seed % FAMILY_COUNT), failures = g_check_failures, step, i;
    bool log = getenv("CHAOS_LOG") != NULL;
    check_context("randomFaultsEndInWorkingSmsAndUssd/seed%u/%s/echo%d", (unsigned)seed, kFamilyNames[f], HARNESS_ECHO_ON);
    memset(&c, 0, sizeof c);
    chaos_begin(seed, check_bounds);
    sms_support_observe(on_event);
    c.sim = sms_start(f, NULL, NULL);
    g_chaos.sim = c.sim;
    c.sms = sms_centre();
    c.ussd = sms_ussd();
    for (step = 0; step < STEPS; step++)
    {
        if (chaos_rnd(2))
        {
            app_step();
        }
        else
        {
            fault_step();
        }
        chaos_run(100u + chaos_rnd(3000));
    }
    end_faults();
    /* what was asked for ends, the library comes back by itself */
    CHECK(chaos_run_until(settled, SEND_BOUND_MS + 10000));
    CHECK(chaos_run_until(up, RECOVER_MS));
    chaos_run(10000);
    if (c.menu)
    {
        ussd_cancel();
        CHECK(chaos_run_until(settled, 20000));
    }
    c.garble_until = chaos_now();
    send();
    CHECK(chaos_run_until(settled, 90000));
    CHECK_EQ_INT(c.send_result, -1);
    ussd("*100#");
    CHECK(chaos_run_until(settled, 90000));
    if (c.ussd_status == GSM_USSD_Status_ErrorResponse && c.menu)
    {
        /* the modem still held a session whose close was lost: the application ends it */
        ussd_cancel();
        CHECK(chaos_run_until(settled, 20000));
        ussd("*100#");
        CHECK(chaos_run_until(settled, 90000));
    }
    CHECK_EQ_INT(c.ussd_status, GSM_USSD_Status_Final);
    /* what is stored is read by the next walk of the store (once a minute without announcements:
     * those of a store filled while they were lost never come); then a new message is reported */
    CHECK(chaos_run_until(store_empty, 70000));
    i = c.msgs;
    snprintf(c.msg[i].sender, sizeof c.msg[i].sender, "+4930123456");
    snprintf(c.msg[i].text, sizeof c.msg[i].text, "after the faults of seed %u", (unsigned)seed);
    c.msg[i].index = sim_sms_receive(c.sms, c.msg[i].sender, SCTS, c.msg[i].text);
    CHECK(c.msg[i].index >= 0); /* the store has room again */
    c.msg[i].state = STORED;
    c.msgs++;
    CHECK(chaos_run_until(all_reported, 60000));
    chaos_run(10000);
    for (i = 0; i < c.msgs; i++)
    {
        if (c.msg[i].state == STORED)
        {
            chaos_note("message %d (index %d) never reported", i, c.msg[i].index);
            CHECK(!"a stored message was never reported");
        }
    }
    CHECK_EQ_INT(sim_sms_stored_count(c.sms), 0);
    if (g_check_failures != failures || log)
    {
        fprintf(stderr, "seed %u (%s, echo %d):\n", (unsigned)seed, kFamilyNames[f], HARNESS_ECHO_ON);
        chaos_print_dialogue(log ? sim_command_count(c.sim) : 60, log ? 1000000 : 2500);
    }
    s_stats.simulated_s += chaos_now() / 1000.0;
    sms_support_observe(NULL);
}

static void randomFaultsEndInWorkingSmsAndUssd(void)
{
    const char* one = getenv("CHAOS_SEED");
    const char* count = getenv("CHAOS_SEEDS");
    uint32_t first = one ? (uint32_t)atoi(one) : 1u, last = one ? first : count ? (uint32_t)atoi(count) : SMS_CHAOS_SEEDS;
    uint32_t seed;
    size_t i;
    for (i = 0; i < 160; i++)
    {
        s_text160[i] = (char)('a' + i % 26);
    }
    for (seed = first; seed <= last; seed++)
    {
        run_seed(seed);
    }
    printf("  %u faults; %u sends (%u success, %u error, %u not registered, %u no prompt, %u no result, %u comms lost, "
           "%u cancelled), %u delivery reports; %u USSD requests (%u final, %u menu, %u no response, %u comms lost, %u "
           "cancelled); %u messages stored, %u reported, %u garbled by lost bytes, %u held back by a full store; %.0f s "
           "simulated\n",
           s_stats.faults, s_stats.sends, s_stats.send_results[0], s_stats.send_results[1], s_stats.send_results[2],
           s_stats.send_results[3], s_stats.send_results[4], s_stats.send_results[5], s_stats.send_results[6],
           s_stats.reports, s_stats.ussd, s_stats.ussd_results[0], s_stats.ussd_results[1],
           s_stats.ussd_results[GSM_USSD_Status_NoResponse], s_stats.ussd_results[GSM_USSD_Status_CommsLost],
           s_stats.ussd_results[GSM_USSD_Status_Cancelled], s_stats.delivered, s_stats.reported, s_stats.garbled,
           s_stats.full, s_stats.simulated_s);
}

const CheckTest g_sms_chaos_tests[] = {
    {"randomFaultsEndInWorkingSmsAndUssd", randomFaultsEndInWorkingSmsAndUssd},
};
const size_t g_sms_chaos_test_count = sizeof g_sms_chaos_tests / sizeof g_sms_chaos_tests[0];
