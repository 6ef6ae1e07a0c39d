/*
 * Scenario tests of the prompt's command channel as the feature modules use it: unprefixed answers
 * and echo cancellation, the "> " data prompt with echoed data, counted binary payloads, claims,
 * URC subscriptions, time-outs and over-long lines. The test plays the part of a feature module;
 * a test service adds the commands to the simulator.
 */
#include <stdlib.h>
#include <string.h>

#include "check.h"
#include "GSM_Util.h"
#include "gsm_manager.h"
#include "harness.h"
#include "modem_sim.h"

extern GSM_Prompt_Instance mGsmPromptInst;
extern GSM_BasicComms_Instance mGsmBasicCommsInst;
extern SimModem* g_sim;
SimModem* start_with(SimConfig* cfg, const HarnessOptions* opt);
bool bring_up(void);

static int g_owner; /* identity of the test "module" */
static char g_lines[8][256];
static size_t g_nlines;
static uint8_t g_bin[256];
static size_t g_nbin;
static int g_bin_last_seen;

static void collect_line(void* ctx, const char* line, uint16_t len)
{
    (void)ctx;
    if (g_nlines < 8 && len < 256)
    {
        memcpy(g_lines[g_nlines], line, len);
        g_lines[g_nlines][len] = '\0';
        g_nlines++;
    }
}

static void collect_binary(void* ctx, const uint8_t* data, uint16_t len, uint16_t remaining)
{
    (void)ctx;
    if (g_nbin + len <= sizeof g_bin)
    {
        memcpy(g_bin + g_nbin, data, len);
        g_nbin += len;
    }
    if (remaining == 0)
    {
        g_bin_last_seen++;
    }
}

static void on_bin_header(void* ctx, const char* line, uint16_t len)
{
    uint32_t n = 0;
    collect_line(ctx, line, len);
    if (gsmUtilFieldUint(line, len, 0, &n))
    {
        gsmPromptBinaryExpect(&mGsmPromptInst._i, (uint16_t)n, &collect_binary, NULL);
    }
}

/* ---- test service: AT+TXT (prompt + text), AT+BIN (counted payload), AT+SLOW (late OK) ---- */

static uint8_t g_received[256];
static size_t g_nreceived;

static void txt_data(SimModem* sim, void* state, const uint8_t* data, size_t len, int terminator)
{
    char line[32];
    (void)state;
    memcpy(g_received, data, len < sizeof g_received ? len : sizeof g_received);
    g_nreceived = len;
    if (terminator == 0x1A)
    {
        snprintf(line, sizeof line, "+TXT: %u", (unsigned)len);
        sim_send_line(sim, line);
        sim_send_ok(sim);
    }
    else
    {
        sim_send_ok(sim); /* ESC: cancelled, nothing sent */
    }
}

static bool test_command(SimModem* sim, void* state, const char* cmd)
{
    static const uint8_t payload[12] = {'\r', '\n', 'O', 'K', '\r', '\n', 0x00, '+', 'C', 'M', 0xFF, '>'};
    (void)state;
    if (strcmp(cmd, "AT+TXT") == 0)
    {
        sim_send_prompt(sim);
        sim_expect_data(sim, 0, txt_data, NULL);
        return true;
    }
    if (strcmp(cmd, "AT+BIN") == 0)
    {
        sim_send_line(sim, "+BIN: 12");
        sim_send_raw(sim, payload, sizeof payload);
        sim_send_ok(sim);
        return true;
    }
    if (strcmp(cmd, "AT+BINLOST") == 0)
    {
        /* 200 announced, 12 sent: bytes lost on the line, and the OK is taken as payload */
        sim_send_line(sim, "+BIN: 200");
        sim_send_raw(sim, payload, sizeof payload);
        sim_send_ok(sim);
        return true;
    }
    if (strcmp(cmd, "AT+SLOW") == 0)
    {
        sim_send_line_later(sim, 2500, "OK");
        return true;
    }
    if (strcmp(cmd, "AT+BURST") == 0)
    {
        /* OK after 950 ms, behind three long URC lines that arrive with it */
        char line[101];
        int i;
        memset(line, 'x', sizeof line - 1);
        line[sizeof line - 1] = '\0';
        memcpy(line, "+NOISE: ", 8);
        for (i = 0; i < 3; i++)
        {
            sim_send_line_later(sim, 950, line);
        }
        sim_send_line_later(sim, 950, "OK");
        return true;
    }
    if (strcmp(cmd, "AT+CME") == 0)
    {
        sim_send_line(sim, "+CME ERROR: 123");
        return true;
    }
    if (strcmp(cmd, "AT+CMS") == 0)
    {
        sim_send_line(sim, "+CMS ERROR: unknown error");
        return true;
    }
    if (strcmp(cmd, "AT+CALL") == 0)
    {
        /* a caller rang and hung up while the command runs: its answer comes afterwards */
        sim_send_line(sim, "RING");
        sim_send_line(sim, "NO CARRIER");
        sim_send_line_later(sim, 300, "answer");
        sim_send_line_later(sim, 300, "OK");
        return true;
    }
    if (strcmp(cmd, "AT+BOOTTEXT") == 0)
    {
        /* text that reads like boot and shutdown messages, as a message body read line by line */
        sim_send_line(sim, "RDY");
        sim_send_line(sim, "NORMAL POWER DOWN");
        sim_send_ok(sim);
        return true;
    }
    if (strcmp(cmd, "AT+ARROW") == 0)
    {
        sim_send_line(sim, "> not a prompt");
        sim_send_ok(sim);
        return true;
    }
    return false;
}

static const SimService kTestService = {"test", test_command, NULL, NULL, NULL};

/* Starts a modem with the test service and brings communication up. */
static SimModem* start_test_modem(SimFamily family, const HarnessOptions* opt)
{
    SimConfig cfg;
    SimModem* sim;
    sim_config_default(&cfg, family);
    sim = start_with(&cfg, opt);
    sim_add_service(sim, &kTestService);
    CHECK(bring_up());
    g_nlines = 0;
    g_nbin = 0;
    g_bin_last_seen = 0;
    return sim;
}

/* Runs one command as the test module; returns its final status. */
static GSM_Prompt_CmdStatus run_command(const char* cmd, const GSM_Prompt_CmdSpec* spec, GSM_Prompt_LineHandler on_line)
{
    uint8_t state = 0;
    uint32_t t;
    GSM_Prompt_CmdStatus st = GSM_Prompt_CmdStatus_Pending;
    for (t = 0; t < 20000 && (st == GSM_Prompt_CmdStatus_Pending || st == GSM_Prompt_CmdStatus_DataPrompt); t++)
    {
        st = gsmPromptHelperExec(&mGsmPromptInst._i, &g_owner, &state, cmd, spec, on_line, NULL);
        if (st == GSM_Prompt_CmdStatus_DataPrompt)
        {
            return st;
        }
        if (st == GSM_Prompt_CmdStatus_Pending)
        {
            harness_poll(1);
        }
    }
    return st;
}

static void unprefixedAnswerExcludesEcho(void)
{
    int variant;
    for (variant = 0; variant < 2; variant++)
    {
        HarnessOptions o = harness_default_options();
        static const GSM_Prompt_CmdSpec spec = {NULL, 1000u, GSM_PROMPT_CMD_UNPREFIXED};
        o.echo_buffer = variant == 0; /* without the buffer the echo is recognised by length and checksum */
        start_test_modem(SIM_FAMILY_2G, &o);
        sim_inject_urc_in_next_response(g_sim, "Call Ready", SIM_INJECT_AFTER_ECHO);
        CHECK_EQ_INT(run_command("AT+CGMM", &spec, collect_line), GSM_Prompt_CmdStatus_Ok);
        gsmPromptRelease(&mGsmPromptInst._i, &g_owner);
        CHECK_EQ_INT(g_nlines, 1);
        CHECK_EQ_STR(g_lines[0], "SIMCOM_SIM800L");
    }
}

static void dataPromptSendsDataAndIgnoresItsEcho(void)
{
    static const GSM_Prompt_CmdSpec spec = {"+TXT:", 5000u, GSM_PROMPT_CMD_DATA_PROMPT};
    static const char text[] = "hello\r\nOK\r\n> +CMTI: \"SM\",1";
    size_t frag;
    for (frag = 0; frag <= 7; frag++)
    {
        GSM_Prompt_CmdStatus st;
        uint32_t t;
        start_test_modem(SIM_FAMILY_2G, NULL); /* 2G echoes the data typed after the prompt */
        sim_set_fragment(g_sim, frag);
        st = run_command("AT+TXT", &spec, collect_line);
        CHECK_EQ_INT(st, GSM_Prompt_CmdStatus_DataPrompt);
        CHECK(gsmPromptDataSend(&mGsmPromptInst._i, &g_owner, (const uint8_t*)text, (uint16_t)strlen(text),
                                GSM_PROMPT_DATA_CTRL_Z, 5000u));
        for (t = 0; t < 3000 && gsmPromptCmdStatus(&mGsmPromptInst._i, &g_owner) == GSM_Prompt_CmdStatus_Pending; t++)
        {
            harness_poll(1);
        }
        CHECK_EQ_INT(gsmPromptCmdStatus(&mGsmPromptInst._i, &g_owner), GSM_Prompt_CmdStatus_Ok);
        gsmPromptRelease(&mGsmPromptInst._i, &g_owner);
        CHECK_EQ_INT(g_nreceived, strlen(text));
        CHECK(memcmp(g_received, text, strlen(text)) == 0);
        /* the only line of the command is the real result, not a line of the echoed text */
        CHECK_EQ_INT(g_nlines, 1);
        CHECK_EQ_STR(g_lines[0], "+TXT: 26");
    }
}

/* A module that gives up at the prompt, or a command that times out there, ends the modem's data
 * entry with ESC. */
static void givingUpAtDataPromptCancelsDataEntry(void)
{
    static const GSM_Prompt_CmdSpec spec = {"+TXT:", 1000u, GSM_PROMPT_CMD_DATA_PROMPT};
    static const GSM_Prompt_CmdSpec plain = {NULL, 1000u, 0u};
    const char* tx;
    uint32_t boots;
    size_t len;
    int release; /* the module releases the claim at the prompt; otherwise the command times out there */
    for (release = 1; release >= 0; release--)
    {
        GSM_Prompt_CmdStatus st;
        g_check_context = release ? "release" : "time-out";
        start_test_modem(SIM_FAMILY_2G, NULL);
        sim_tx_clear(g_sim);
        boots = sim_boot_count(g_sim);
        g_nreceived = 99;
        st = run_command("AT+TXT", &spec, collect_line);
        if (!release)
        {
            harness_poll(1100);
            st = gsmPromptCmdStatus(&mGsmPromptInst._i, &g_owner);
        }
        CHECK_EQ_INT(st, release ? GSM_Prompt_CmdStatus_DataPrompt : GSM_Prompt_CmdStatus_Timeout);
        gsmPromptRelease(&mGsmPromptInst._i, &g_owner);
        harness_poll(200);
        CHECK_EQ_INT(g_nreceived, 0); /* the modem got ESC: data entry ended, nothing sent */
        tx = sim_tx(g_sim, &len);
        CHECK(memchr(tx, 0x1B, len) != NULL);
        /* the next command is a command again, not text of the abandoned message */
        CHECK_EQ_INT(run_command("AT", &plain, NULL), GSM_Prompt_CmdStatus_Ok);
        gsmPromptRelease(&mGsmPromptInst._i, &g_owner);
        CHECK_EQ_STR(sim_command(g_sim, sim_command_count(g_sim) - 1), "AT");
        CHECK_EQ_INT(sim_boot_count(g_sim), boots); /* without restarting the modem */
    }
}

static void binaryPayloadIsDeliveredRawInEveryFragmentation(void)
{
    static const GSM_Prompt_CmdSpec spec = {"+BIN:", 2000u, 0u};
    static const uint8_t expected[12] = {'\r', '\n', 'O', 'K', '\r', '\n', 0x00, '+', 'C', 'M', 0xFF, '>'};
    size_t frag;
    for (frag = 0; frag <= 20; frag++)
    {
        start_test_modem(SIM_FAMILY_LTE_Q, NULL);
        sim_set_fragment(g_sim, frag);
        CHECK_EQ_INT(run_command("AT+BIN", &spec, on_bin_header), GSM_Prompt_CmdStatus_Ok);
        gsmPromptRelease(&mGsmPromptInst._i, &g_owner);
        CHECK_EQ_INT(g_nbin, sizeof expected);
        CHECK(memcmp(g_bin, expected, sizeof expected) == 0);
        CHECK_EQ_INT(g_bin_last_seen, 1);
    }
}

/* A payload whose count is never reached (bytes lost on the line) is given up once the modem is
 * quiet, so that commands run again; its handler does not see an end. */
static void incompletePayloadIsGivenUpWhenTheModemIsQuiet(void)
{
    static const GSM_Prompt_CmdSpec spec = {"+BIN:", 2000u, 0u};
    static const GSM_Prompt_CmdSpec plain = {NULL, 1000u, 0u};
    GSM_Prompt_Interface* p = &mGsmPromptInst._i;
    g_check_context = __func__;
    start_test_modem(SIM_FAMILY_LTE_Q, NULL);
    CHECK_EQ_INT(run_command("AT+BINLOST", &spec, on_bin_header), GSM_Prompt_CmdStatus_Timeout);
    gsmPromptRelease(p, &g_owner);
    CHECK(g_nbin >= 18); /* the 12 bytes, the framed OK (and any URC that came after them) */
    CHECK_EQ_INT(g_bin_last_seen, 0);
    harness_poll(GSM_PROMPT_BINARY_IDLE_MS + 100);
    CHECK_EQ_INT(g_bin_last_seen, 0);
    CHECK_EQ_INT(run_command("AT", &plain, NULL), GSM_Prompt_CmdStatus_Ok);
    gsmPromptRelease(p, &g_owner);
}

static void claimIsExclusiveUntilReleased(void)
{
    static const GSM_Prompt_CmdSpec spec = {NULL, 1000u, 0u};
    int other;
    GSM_Prompt_Interface* p;
    start_test_modem(SIM_FAMILY_2G, NULL);
    p = &mGsmPromptInst._i;
    CHECK(gsmPromptClaim(p, &g_owner));
    CHECK(gsmPromptClaim(p, &g_owner)); /* again: still ours */
    CHECK(!gsmPromptClaim(p, &other));
    CHECK(!gsmPromptCmdStart(p, &other, "AT", &spec, NULL, NULL));
    CHECK(!gsmSignalQualityQuery(NULL));
    /* the library's own modules wait as well: a signal query stays pending while we hold the claim */
    CHECK(gsmmgrSignalQualityQuery());
    harness_poll(500);
    CHECK(harness_find_event("CSQ", GSM_SignalQuality_EventType_QuerySuccess, 0) < 0);
    gsmPromptRelease(p, &other); /* not the owner: no effect */
    CHECK(gsmPromptIsClaimedBy(p, &g_owner));
    gsmPromptRelease(p, &g_owner);
    harness_poll(300);
    CHECK(harness_find_event("CSQ", GSM_SignalQuality_EventType_QuerySuccess, 0) >= 0);
}

static void urcSubscriberSeesLinesUnlessCommandExpectsThem(void)
{
    static const char* const prefixes[] = {"+TEST:", NULL};
    static GSM_Prompt_UrcSubscriber sub;
    static const GSM_Prompt_CmdSpec spec = {"+TEST:", 1000u, 0u};
    start_test_modem(SIM_FAMILY_LTE_Q, NULL);
    sub.Prefixes = prefixes;
    sub.Handler = collect_line;
    gsmPromptUrcSubscribe(&mGsmPromptInst._i, &sub);
    gsmPromptUrcSubscribe(&mGsmPromptInst._i, &sub); /* twice: still one delivery per line */
    sim_inject_urc(g_sim, "+TEST: 1,\"a\"");
    harness_poll(10);
    CHECK_EQ_INT(g_nlines, 1);
    CHECK_EQ_STR(g_lines[0], "+TEST: 1,\"a\"");
    /* while a command expects +TEST:, the line is its answer and not a URC */
    sim_inject_urc_in_next_response(g_sim, "+TEST: 2", SIM_INJECT_BEFORE_FINAL);
    g_nlines = 0;
    CHECK_EQ_INT(run_command("AT", &spec, NULL), GSM_Prompt_CmdStatus_Ok);
    gsmPromptRelease(&mGsmPromptInst._i, &g_owner);
    CHECK_EQ_INT(g_nlines, 0);
}

/* Lines that read like boot or shutdown messages are text of a command that takes unprefixed lines:
 * no URC subscriber sees them and the modem does not count as restarted or powered down. Outside such
 * a command they are what they say. */
static int g_boot_urcs;
static void count_boot_urc(void* ctx, const char* line, uint16_t len)
{
    (void)ctx, (void)line, (void)len;
    g_boot_urcs++;
}

static void bootTextInsideAnUnprefixedAnswerIsText(void)
{
    static const char* const prefixes[] = {"RDY", NULL};
    static GSM_Prompt_UrcSubscriber sub;
    static const GSM_Prompt_CmdSpec spec = {NULL, 1000u, GSM_PROMPT_CMD_UNPREFIXED};
    uint8_t session;
    g_check_context = __func__;
    start_test_modem(SIM_FAMILY_LTE_Q, NULL);
    sub.Prefixes = prefixes;
    sub.Handler = count_boot_urc;
    gsmPromptUrcSubscribe(&mGsmPromptInst._i, &sub);
    session = mGsmBasicCommsInst._i.Session;
    g_nlines = 0;
    g_boot_urcs = 0;
    CHECK_EQ_INT(run_command("AT+BOOTTEXT", &spec, collect_line), GSM_Prompt_CmdStatus_Ok);
    gsmPromptRelease(&mGsmPromptInst._i, &g_owner);
    CHECK_EQ_INT(g_nlines, 2); /* both to the command, none to the subscriber */
    CHECK_EQ_STR(g_lines[0], "RDY");
    CHECK_EQ_STR(g_lines[1], "NORMAL POWER DOWN");
    CHECK_EQ_INT(g_boot_urcs, 0);
    harness_poll(2000);
    CHECK_EQ_INT(mGsmBasicCommsInst._i.Session, session);
    CHECK(gsmmgrBasicCommsCommunicationEstablished());
    sim_inject_urc(g_sim, "RDY");
    harness_poll(10);
    CHECK_EQ_INT(g_boot_urcs, 1); /* outside a command: a boot message, for the subscriber too */
}

/* After a time-out the modem may still be busy with the command: Basic Comms' "AT" probe goes out
 * before the command of a module that asks for the prompt in the same main-loop pass. */
static void timedOutCommandIsReportedAndCommsSurvive(void)
{
    static const GSM_Prompt_CmdSpec spec = {NULL, 1000u, 0u};
    static int other; /* a module polled after the one whose command timed out */
    GSM_Prompt_Interface* p = &mGsmPromptInst._i;
    size_t sent;
    start_test_modem(SIM_FAMILY_2G, NULL);
    CHECK_EQ_INT(run_command("AT+SLOW", &spec, NULL), GSM_Prompt_CmdStatus_Timeout);
    sent = sim_command_count(g_sim);
    gsmPromptRelease(p, &g_owner);
    CHECK(!gsmPromptClaim(p, &other));
    harness_poll(5000);
    CHECK(sim_command_count(g_sim) > sent && strcmp(sim_command(g_sim, sent), "AT") == 0);
    CHECK(gsmPromptClaim(p, &other)); /* free again after the probe */
    gsmPromptRelease(p, &other);
    CHECK(gsmmgrBasicCommsCommunicationEstablished()); /* the probe after the time-out was answered */
    CHECK(gsmmgrSignalQualityQuery());
    harness_poll(300);
    CHECK(harness_find_event("CSQ", GSM_SignalQuality_EventType_QuerySuccess, 0) >= 0);
}

/* Final results give the status and the error number; a "> " line is text when no prompt is expected;
 * "NO CARRIER" & co. neither end a command nor are its answer. */
static void finalResultsGiveStatusAndErrorNumber(void)
{
    static const struct
    {
        const char* cmd;
        GSM_Prompt_CmdStatus status;
        int code;
        const char* line; /* the answer line (NULL: none) */
    } kCases[] = {
        {"AT+CME", GSM_Prompt_CmdStatus_CmeError, 123, NULL},
        {"AT+CMS", GSM_Prompt_CmdStatus_CmsError, -1, NULL}, /* text form: no number */
        {"AT+CALL", GSM_Prompt_CmdStatus_Ok, -1, "answer"}, /* call results are unsolicited */
        {"AT", GSM_Prompt_CmdStatus_Ok, -1, NULL},
        {"AT+ARROW", GSM_Prompt_CmdStatus_Ok, -1, "> not a prompt"},
    };
    static const GSM_Prompt_CmdSpec spec = {NULL, 1000u, GSM_PROMPT_CMD_UNPREFIXED};
    size_t i;
    start_test_modem(SIM_FAMILY_LTE_A, NULL);
    for (i = 0; i < sizeof kCases / sizeof kCases[0]; i++)
    {
        g_check_context = kCases[i].cmd;
        g_nlines = 0;
        CHECK_EQ_INT(run_command(kCases[i].cmd, &spec, collect_line), kCases[i].status);
        CHECK_EQ_INT(gsmPromptCmdErrorCode(&mGsmPromptInst._i), kCases[i].code);
        gsmPromptRelease(&mGsmPromptInst._i, &g_owner);
        CHECK_EQ_INT(g_nlines, kCases[i].line != NULL);
        CHECK(kCases[i].line == NULL || strcmp(g_lines[0], kCases[i].line) == 0);
    }
}

/* Starts composing a command as the test module, waiting for the pause after the previous one. */
static bool begin_command(const GSM_Prompt_CmdSpec* spec)
{
    uint32_t t;
    CHECK(gsmPromptClaim(&mGsmPromptInst._i, &g_owner));
    for (t = 0; t < 100; t++)
    {
        if (gsmPromptCmdBegin(&mGsmPromptInst._i, &g_owner, spec, NULL, NULL))
        {
            return true;
        }
        harness_poll(1);
    }
    return false;
}

/* A quoted parameter ends before a byte that would end it or the command line: whatever follows
 * such a byte never reaches the modem as a command of its own. */
static void quotedTextStopsBeforeLineEndsAndQuotes(void)
{
    static const GSM_Prompt_CmdSpec spec = {NULL, 2000u, 0u};
    static const struct
    {
        const char* text;
        const char* sent;
    } kRows[] = {
        {"internet", "AT+TEST=\"internet\""},
        {"http://a/b?x=1&y=%20", "AT+TEST=\"http://a/b?x=1&y=%20\""},
        {"http://a/x\rAT+CFUN=0\r", "AT+TEST=\"http://a/x\""},
        {"line\nAT+CPOWD=1", "AT+TEST=\"line\""},
        {"a\"b", "AT+TEST=\"a\""},
        {"tab\there", "AT+TEST=\"tab\""},
        {"", "AT+TEST=\"\""},
    };
    GSM_Prompt_Interface* p = &mGsmPromptInst._i;
    size_t k;
    start_test_modem(SIM_FAMILY_LTE_Q, NULL);
    for (k = 0; k < sizeof kRows / sizeof kRows[0]; k++)
    {
        size_t commands = sim_command_count(g_sim);
        uint32_t t;
        CHECK(begin_command(&spec));
        gsmPromptCmdAppend(p, "AT+TEST=");
        gsmPromptCmdAppendQuoted(p, kRows[k].text);
        gsmPromptCmdSend(p);
        for (t = 0; t < 3000 && gsmPromptCmdStatus(p, &g_owner) == GSM_Prompt_CmdStatus_Pending; t++)
        {
            harness_poll(1);
        }
        gsmPromptRelease(p, &g_owner);
        harness_poll(200);
        CHECK_EQ_INT(sim_command_count(g_sim), commands + 1);
        CHECK_EQ_STR(sim_command(g_sim, commands), kRows[k].sent);
    }
}

static void abandonedCommandEndsAborted(void)
{
    static const GSM_Prompt_CmdSpec spec = {NULL, 5000u, 0u};
    GSM_Prompt_Interface* p = &mGsmPromptInst._i;
    size_t commands;
    int when;
    /* a session reset while the command is composed, or after it was sent */
    for (when = 0; when < 2; when++)
    {
        start_test_modem(SIM_FAMILY_LTE_Q, NULL);
        commands = sim_command_count(g_sim);
        CHECK(begin_command(&spec));
        gsmPromptCmdAppend(p, "AT+SLOW");
        if (when == 1)
        {
            gsmPromptCmdSend(p);
            harness_poll(100);
        }
        gsmPromptResetSession(p);
        CHECK_EQ_INT(gsmPromptCmdStatus(p, &g_owner), GSM_Prompt_CmdStatus_Aborted);
        CHECK(!gsmPromptIsClaimedBy(p, &g_owner));
        gsmPromptCmdAppend(p, "X"); /* nothing is composed any more: neither is written */
        gsmPromptCmdSend(p);
        harness_poll(100);
        CHECK_EQ_INT(sim_command_count(g_sim), commands + (size_t)when);
    }
    /* an aborted command: the claim stays, its late OK is dropped, the next command runs */
    start_test_modem(SIM_FAMILY_2G, NULL);
    CHECK(begin_command(&spec));
    gsmPromptCmdAppend(p, "AT+SLOW");
    gsmPromptCmdSend(p);
    harness_poll(100);
    gsmPromptCmdAbort(p, &g_owner);
    CHECK_EQ_INT(gsmPromptCmdStatus(p, &g_owner), GSM_Prompt_CmdStatus_Aborted);
    CHECK(gsmPromptIsClaimedBy(p, &g_owner));
    harness_poll(3000);
    CHECK_EQ_INT(gsmPromptCmdStatus(p, &g_owner), GSM_Prompt_CmdStatus_Aborted);
    CHECK_EQ_INT(run_command("AT+CME", &spec, NULL), GSM_Prompt_CmdStatus_CmeError);
    gsmPromptRelease(p, &g_owner);

    /* the next command asked for at once, after an abort or a release of the owner: it waits for the
     * late answer, which must not complete it */
    for (when = 0; when < 2; when++)
    {
        uint32_t t0;
        CHECK(begin_command(&spec));
        gsmPromptCmdAppend(p, "AT+SLOW");
        gsmPromptCmdSend(p);
        harness_poll(100);
        t0 = sim_now(g_sim);
        if (when == 0)
        {
            gsmPromptCmdAbort(p, &g_owner);
        }
        else
        {
            gsmPromptRelease(p, &g_owner);
        }
        CHECK_EQ_INT(run_command("AT+CME", &spec, NULL), GSM_Prompt_CmdStatus_CmeError);
        CHECK_EQ_INT(gsmPromptCmdErrorCode(p), 123);
        CHECK(sim_now(g_sim) - t0 >= 2400); /* begun after the late OK */
        gsmPromptRelease(p, &g_owner);
    }
}

/* The main loop is held up around the deadline while the answer, which came in time, waits unread
 * behind more bytes than one poll takes: it is read before the time-out is judged. */
static void answerWaitingUnreadBeforeDeadlineIsNoTimeout(void)
{
    static const GSM_Prompt_CmdSpec spec = {NULL, 1000u, 0u};
    GSM_Prompt_Interface* p = &mGsmPromptInst._i;
    start_test_modem(SIM_FAMILY_LTE_A, NULL);
    CHECK(begin_command(&spec));
    gsmPromptCmdAppend(p, "AT+BURST");
    gsmPromptCmdSend(p);
    harness_poll(940);
    sim_advance(g_sim, 100); /* no poll for 100 ms */
    harness_poll(20);
    CHECK_EQ_INT(gsmPromptCmdStatus(p, &g_owner), GSM_Prompt_CmdStatus_Ok);
    gsmPromptRelease(p, &g_owner);
}

static void overlongLineIsDroppedAndNextLineParsed(void)
{
    int variant;
    for (variant = 0; variant < 2; variant++)
    {
        HarnessOptions o = harness_default_options();
        char big[2100];
        static const char* const prefixes[] = {"+BIG:", "+SMALL:", NULL};
        static GSM_Prompt_UrcSubscriber sub;
        o.data_buffer = variant == 0; /* 1024-byte buffer, then the 32-byte fallback */
        start_test_modem(SIM_FAMILY_LTE_A, &o);
        sub.Prefixes = prefixes;
        sub.Handler = collect_line;
        gsmPromptUrcSubscribe(&mGsmPromptInst._i, &sub);
        memset(big, 'x', sizeof big);
        memcpy(big, "+BIG: ", 6);
        big[sizeof big - 1] = '\0';
        sim_inject_urc(g_sim, big);
        sim_inject_urc(g_sim, "+SMALL: 1");
        harness_poll(100);
        CHECK_EQ_INT(g_nlines, 1);
        CHECK_EQ_STR(g_lines[0], "+SMALL: 1");
    }
}

const CheckTest g_prompt_tests[] = {
    {"unprefixedAnswerExcludesEcho", unprefixedAnswerExcludesEcho},
    {"dataPromptSendsDataAndIgnoresItsEcho", dataPromptSendsDataAndIgnoresItsEcho},
    {"givingUpAtDataPromptCancelsDataEntry", givingUpAtDataPromptCancelsDataEntry},
    {"binaryPayloadIsDeliveredRawInEveryFragmentation", binaryPayloadIsDeliveredRawInEveryFragmentation},
    {"incompletePayloadIsGivenUpWhenTheModemIsQuiet", incompletePayloadIsGivenUpWhenTheModemIsQuiet},
    {"bootTextInsideAnUnprefixedAnswerIsText", bootTextInsideAnUnprefixedAnswerIsText},
    {"claimIsExclusiveUntilReleased", claimIsExclusiveUntilReleased},
    {"urcSubscriberSeesLinesUnlessCommandExpectsThem", urcSubscriberSeesLinesUnlessCommandExpectsThem},
    {"timedOutCommandIsReportedAndCommsSurvive", timedOutCommandIsReportedAndCommsSurvive},
    {"finalResultsGiveStatusAndErrorNumber", finalResultsGiveStatusAndErrorNumber},
    {"abandonedCommandEndsAborted", abandonedCommandEndsAborted},
    {"quotedTextStopsBeforeLineEndsAndQuotes", quotedTextStopsBeforeLineEndsAndQuotes},
    {"answerWaitingUnreadBeforeDeadlineIsNoTimeout", answerWaitingUnreadBeforeDeadlineIsNoTimeout},
    {"overlongLineIsDroppedAndNextLineParsed", overlongLineIsDroppedAndNextLineParsed},
};
const size_t g_prompt_test_count = sizeof g_prompt_tests / sizeof g_prompt_tests[0];
