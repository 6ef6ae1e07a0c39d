/*
 * GSM_SMS_Read.c - set-up, store walk (fill level, then "AT+CMGR" per index) and "AT+CMGD" delete.
 *
 * There is one way to find messages: the store is walked from index 0 until as many messages as
 * its fill level counted have been seen (or its last index is passed). The walk runs after the
 * set-up of each session (messages stored while the application was not running) and again after
 * every "+CMTI:" announcement, so an announcement that was missed or came in a burst costs nothing.
 */
#include "GSM_SMS_Read.h"
#include "GSM_Required_Externals.h"
#include "GSM_Util.h"
#include <string.h>

#if GSM_SMSREAD_RETRY_MS > 60000u
#error "GSM_SMSREAD_RETRY_MS must be at most 60000"
#endif
#if (GSM_SMSREAD_TEXT_SIZE < 12u) || (GSM_SMSREAD_TEXT_SIZE > 4096u)
#error "GSM_SMSREAD_TEXT_SIZE must be 12..4096"
#endif
#if GSM_SMSREAD_MAX_BODY > 65535u
#error "GSM_SMSREAD_MAX_BODY must be at most 65535"
#endif

/* Steps: the number is also the index into kCmds (up to SR_STEP_COUNT). */
enum
{
    SR_STEP_SELECT = 4, /* AT+CPMS="SM",...: store selection and fill level, then the walk */
    SR_STEP_COUNT,      /* AT+CPMS?: the fill level when the selection is refused, then the walk */
    SR_STEP_READ,       /* AT+CMGR=<Index> */
    SR_STEP_DELETE,     /* AT+CMGD=<Index> */
    SR_STEP_IDLE,       /* waiting for +CMTI */
    SR_STEP_WAIT_COMMS  /* after gsmSmsReadInit: the set-up begins once communication is established */
};
#define SR_STEP_PAUSE 0x80u /* added to a failed step: it is repeated after GSM_SMSREAD_RETRY_MS */

/* CmdState: bit 0 is the prompt helper's; the others share no bit with the SR_B_ flags below but
 * SR_F_REDELETE, which is SR_B_SEEN's, so that the two are tested with one AND. */
#define SR_F_WALK 0x20u /* +CMTI arrived, walk the store again */
/* The session changed before the message reported from Index was deleted. The first walk of the new
 * session begins there (what was stored below it is found by the next walk); the flag lasts through
 * further session changes until the first attempt to read that index, or a walk that ended before
 * it (nothing left to read). */
#define SR_F_REDELETE 0x10u

/* State of the message being read (GSM_SmsRead_Instance.Body.Flags), cleared when its command is
 * composed; GSM_UTIL_TEXT_CR and GSM_UTIL_TEXT_CUT (sender or body cut) besides these. */
#define SR_B_PENDING   0x01u /* bytes of the counted payload (the length of the header) are still due */
#define SR_B_LINE      0x02u /* a body line arrived in line mode: the next one is joined with LF */
#define SR_B_HEADER    0x04u /* the +CMGR header arrived */
#define SR_B_RECEIVED  0x08u /* ... and it is a received message with good fields */
#define SR_B_SEEN      0x10u /* ... marked read ("REC READ"): the modem has given it out before */

#define SR_CMD_TIMEOUT_MS 5000u
/* Set-up steps whose error answer does not stop the set-up: AT+CSDH=1 (the body is then read line
 * by line) and the store selection (a module without SIM storage uses its own default store). */
#define SR_SETUP_OPTIONAL 0x14u

/* By step up to SR_STEP_COUNT. Only the two AT+CPMS commands answer with a "+CPMS:" line (the fill
 * level). A walk begins with the store selection, whose short answer also fits a small line buffer. */
static const char* const kCmds[SR_STEP_READ] = {"AT+CMGF=1", "AT+CSCS=\"IRA\"", "AT+CSDH=1", "AT+CNMI=2,1,0,1,0",
                                                "AT+CPMS=\"SM\",\"SM\",\"SM\"", "AT+CPMS?"};
/* SR_STEP_READ and SR_STEP_DELETE (AT+CMGD=): completed with the index in the text buffer */
static const char kCmgr[] = "AT+CMGR=";
/* (Prefixes match the start of a line; the colon is left out where no other line starts alike.) */
static const GSM_Prompt_CmdSpec kSetupSpec = {"+CPMS", SR_CMD_TIMEOUT_MS, 0u};
/* (an array of its own: a literal would share its string section with the decoder's texts, which
 * the firmware does not need) */
static const char kCmgrPrefix[] = "+CMGR:";
static const GSM_Prompt_CmdSpec kCmgrSpec = {kCmgrPrefix, SR_CMD_TIMEOUT_MS, GSM_PROMPT_CMD_UNPREFIXED};
static const char* const kCmtiPrefixes[] = {"+CMTI", NULL};

bool gsmSmsReadDecodeCmti(const char* line, uint16_t len, uint8_t* index)
{
    uint32_t v;
    if ((index == NULL) || !gsmUtilStartsWith(line, len, "+CMTI:") || !gsmUtilFieldUint(line, len, 1u, &v) || (v > 255u))
    {
        return false;
    }
    *index = (uint8_t)v;
    return true;
}

/* gsmSmsReadDecodeCmgr for a line that starts with "+CMGR:", with valid buffers */
static GSM_ALWAYS_INLINE bool decodeCmgr(const char* line, uint16_t len, char* sender, uint16_t sender_size,
                                         char* timestamp, uint16_t timestamp_size, bool* truncated)
{
    /* <stat> is taken through the time stamp buffer (cut to it, "REC " fits any useful one) */
    if ((gsmUtilFieldCopyCut(line, len, 0u, timestamp, timestamp_size) == 0u) || !gsmUtilStartsWith(timestamp, timestamp_size, "REC ") ||
        (gsmUtilFieldCopyCut(line, len, 3u, timestamp, timestamp_size) == 0u))
    {
        return false;
    }
    *truncated = gsmUtilFieldCopyCut(line, len, 1u, sender, sender_size) > 1u;
    return true;
}

bool gsmSmsReadDecodeCmgr(const char* line, uint16_t len, char* sender, uint16_t sender_size, char* timestamp,
                          uint16_t timestamp_size, bool* truncated)
{
    return (sender != NULL) && (truncated != NULL) && (sender_size != 0u) && gsmUtilStartsWith(line, len, kCmgrPrefix) &&
           decodeCmgr(line, len, sender, sender_size, timestamp, timestamp_size, truncated);
}

/* Any announcement means the store changed: the walk finds the message wherever it is stored (the
 * index of the line is not needed, so a garbled line is as good as a clean one). */
static void onCmtiUrc(void* ctx, const char* line, uint16_t len)
{
    GSM_UNUSED_ARG(line);
    GSM_UNUSED_ARG(len);
    ((GSM_SmsRead_Instance*)ctx)->CmdState |= SR_F_WALK;
}

/* Body bytes, of the counted payload or of a line (gsmUtilTextPut: one LF for each line break,
 * no control bytes, cut at the buffer size). */
static void onBody(void* ctx, const uint8_t* data, uint16_t len, uint16_t remaining)
{
    GSM_SmsRead_Instance* inst = (GSM_SmsRead_Instance*)ctx;
    while (len-- != 0u)
    {
        gsmUtilTextPut(&inst->Body, inst->Text, (uint16_t)sizeof(inst->Text), *data++);
    }
    if (remaining == 0u)
    {
        inst->Body.Flags &= (uint8_t)~SR_B_PENDING;
    }
}

/* The answer lines of every command of the module: "+CPMS:" of the store selection and of the fill
 * level (set-up steps), the header and body lines of AT+CMGR (read step; AT+CMGD has none). */
static void onCmdLine(void* ctx, const char* line, uint16_t len)
{
    GSM_SmsRead_Instance* inst = (GSM_SmsRead_Instance*)ctx;
    uint8_t body = inst->Body.Flags;
    if (inst->Step < SR_STEP_READ)
    {
        /* "+CPMS: <used>,<total>,..." (the answer of the selection) or "+CPMS: <mem>,<used>,<total>,..."
         * (of AT+CPMS?) */
        uint32_t used;
        uint32_t total;
        uint8_t f = (uint8_t)(inst->Step - SR_STEP_SELECT);
        if (gsmUtilFieldUint(line, len, f, &used) && gsmUtilFieldUint(line, len, (uint8_t)(f + 1u), &total))
        {
            inst->WalkLeft = (used > 255u) ? 255u : (uint8_t)used;
            inst->WalkEnd = (total > 255u) ? 255u : (uint8_t)total; /* indices 0..total cover base 0 and base 1 */
        }
        return;
    }
    /* (A line that begins with '+' is the "+CMGR:" header the command expects: the prompt never hands
     * other '+' lines to a command as unprefixed answer lines, and lines are not empty.) */
    if (((body & SR_B_HEADER) == 0u) && (line[0] == '+'))
    {
        uint32_t blen;
        char stat;
        /* the command text is no longer needed; lines before the header are not part of the body */
        body = SR_B_HEADER;
        inst->Text[0] = '\0';
        inst->Body.Len = 0u;
        /* the first letter of <stat>: +CMGR: "REC UNREAD" / "REC READ" / "STO UNSENT" / "STO SENT" (some
         * firmware leaves out the blank after the colon) */
        stat = (len > 12u) ? line[7] : '\0'; /* (a shorter line is no received message) */
        if (stat == '"')
        {
            stat = line[8];
        }
        if ((stat == 'R') && (gsmUtilFieldCopyCut(line, len, 3u, inst->Timestamp, (uint16_t)sizeof(inst->Timestamp)) != 0u))
        {
            /* a received message with its time stamp: the sender is cut to its buffer. "REC UNREAD"
             * has its 'U' at 11 (no blank after the colon) or 12, "REC READ" neither. */
            body |= SR_B_RECEIVED;
            if ((line[11] != 'U') && (line[12] != 'U'))
            {
                body |= SR_B_SEEN;
            }
            if (gsmUtilFieldCopyCut(line, len, 1u, inst->Sender, (uint16_t)sizeof(inst->Sender)) > 1u)
            {
                body |= GSM_UTIL_TEXT_CUT;
            }
        }
        /* <length>, the last field of the long header (AT+CSDH=1), counts the body bytes that follow
         * the header's line end: they are taken raw, so body lines such as "OK" or "+CMTI: ..." stay text. */
        if (gsmUtilFieldUint(line, len, 10u, &blen) && (blen != 0u) && (blen <= GSM_SMSREAD_MAX_BODY))
        {
            body |= SR_B_PENDING;
            gsmPromptBinaryExpect(inst->Prompt, (uint16_t)blen, &onBody, inst);
        }
        inst->Body.Flags = body;
        return;
    }
    /* Body line without a counted payload, or a rest after a too short count (a modem that prints a
     * stored LF as CR LF): lines are joined with LF; the first rest line continues the payload. */
    inst->Body.Flags = (uint8_t)(body | SR_B_LINE);
    if ((body & SR_B_LINE) != 0u) /* (no LF before the first) */
    {
        gsmUtilTextPut(&inst->Body, inst->Text, (uint16_t)sizeof(inst->Text), (uint8_t)'\n');
    }
    onBody(inst, (const uint8_t*)line, len, 1u);
}

/* Raises ReadSuccess for the received message just read. */
static void reportMessage(GSM_SmsRead_Instance* inst, uint8_t fl)
{
    GSM_SmsRead_Event_ReadSuccess ev;
#if GSM_SMSREAD_TIMESTAMP_SIZE >= 21u
    /* A time stamp that parses has 17 or 20 characters ("yy/MM/dd,hh:mm:ss", then the zone); with
     * any other length a terminator stands where the parser wants a digit or a separator, so it
     * fails as it should. */
    uint16_t n = (inst->Timestamp[17] == '\0') ? 17u : 20u;
#else
    uint16_t n = 0u;
    while (inst->Timestamp[n] != '\0')
    {
        n++;
    }
#endif
    ev.TimestampUtc = 0u; /* (left unchanged when the time stamp does not parse) */
    ev.TimeZoneQuarters = 0;
    (void)gsmUtilDateTimeToEpoch(inst->Timestamp, n, &ev.TimestampUtc, &ev.TimeZoneQuarters);
    ev.Sender = inst->Sender;
    ev.Timestamp = inst->Timestamp;
    ev.Text = inst->Text;
    ev.TextLength = inst->Body.Len;
    /* cut, or the counted body did not arrive whole */
    ev.Truncated = (fl & (GSM_UTIL_TEXT_CUT | SR_B_PENDING)) != 0u;
    ev.Index = inst->Index;
    if (inst->EventHandler != NULL)
    {
        inst->EventHandler(inst, GSM_SmsRead_EventType_ReadSuccess, &ev);
    }
}

void gsmSmsReadInit(GSM_SmsRead_Instance* inst)
{
    GSM_Prompt_UrcSubscriber* urc;
    if (inst == NULL)
    {
        return;
    }
    inst->Step = SR_STEP_WAIT_COMMS;
    inst->CmdState = 0u;
    urc = &inst->Urc;
    urc->Prefixes = kCmtiPrefixes;
    urc->Handler = &onCmtiUrc;
    urc->Context = inst;
    gsmPromptUrcSubscribe(inst->Prompt, urc);
}

/* One poll of a running session: the pause, the idle wait or the command of the step. */
static void runStep(GSM_SmsRead_Instance* inst, uint_fast8_t step)
{
    GSM_Prompt_Interface* p = inst->Prompt;
    uint8_t st; /* GSM_Prompt_CmdStatus (a byte: shorter tests on AVR) */
    uint8_t fl;
    uint_fast8_t next = 2u; /* how far the walk goes on (0 or 1), or 2: the step is repeated after a pause */
    uint16_t index;
    uint8_t redelete;
    if (step >= SR_STEP_PAUSE)
    {
        if ((uint16_t)((uint16_t)gsm__SysTime_ms() - inst->Body.Len) >= GSM_SMSREAD_RETRY_MS)
        {
            inst->Step = (uint8_t)(step - SR_STEP_PAUSE);
        }
        return;
    }
    if (step == SR_STEP_IDLE)
    {
        /* A walk on +CMTI (SR_F_WALK: no command runs), and 32.8 s after the last one without (the
         * top bit of the 16-bit time passed: the cheapest test): an announcement lost on the line
         * leaves its message unread, and once the store has filled up so the network holds further
         * messages back and announces nothing more. */
        if ((inst->CmdState != 0u) || ((((uint16_t)gsm__SysTime_ms() - inst->Body.Len) & 0x8000u) != 0u))
        {
            inst->CmdState = 0u;
            inst->Index = 0u;
            inst->Step = SR_STEP_SELECT;
        }
        return;
    }
    if ((step >= SR_STEP_READ) && ((inst->CmdState & 0x01u) == 0u))
    {
        /* The command is composed in the text buffer: the prompt has written it out before the
         * first body line can arrive, and a body replaces it. */
        (void)memcpy(inst->Text, kCmgr, sizeof(kCmgr) - 1u);
        if (step == SR_STEP_DELETE)
        {
            inst->Text[6] = 'D'; /* AT+CMGD= */
        }
        (void)gsmUtilUintToStr(&inst->Text[sizeof(kCmgr) - 1u], 4u, inst->Index, 1u);
        inst->Body.Len = 0u;
        inst->Body.Flags = 0u;
    }
    {
        const char* cmd = inst->Text;
        const GSM_Prompt_CmdSpec* spec = &kCmgrSpec;
        if (step < SR_STEP_READ)
        {
            cmd = kCmds[step];
            spec = &kSetupSpec;
        }
        st = (uint8_t)gsmPromptHelperExec(p, inst, &inst->CmdState, cmd, spec, &onCmdLine, inst);
    }
    if (st == GSM_Prompt_CmdStatus_Pending)
    {
        return;
    }
    if (step < SR_STEP_READ)
    {
        if ((st == GSM_Prompt_CmdStatus_Ok) ||
            (GSM_PROMPT_STATUS_IS_ERROR(st) && (((SR_SETUP_OPTIONAL >> step) & 1u) != 0u)))
        {
            if ((step != SR_STEP_COUNT) && ((step != SR_STEP_SELECT) || (st != GSM_Prompt_CmdStatus_Ok)))
            {
                inst->Step = (uint8_t)(step + 1u);
                return;
            }
            next = 0u; /* the fill level is known: the walk begins at Index */
        }
        /* Before "SMS Ready" / "SMS DONE" the modem refuses these commands: try again later (the
         * set-up is always repeated). */
    }
    else
    {
        /* A payload still open at the end (time-out: the count was more than the modem sent) would
         * hold the channel: give it up. */
        gsmPromptBinaryCancel(p, &onBody);
        /* The open delete's flag counts for the first attempt to read its index only: a read that
         * failed after the modem marked a new message read must not make it look reported. (All of
         * CmdState is kept: only its SR_F_REDELETE meets a message flag.) */
        redelete = inst->CmdState;
        inst->CmdState = (uint8_t)(redelete & (uint8_t)~SR_F_REDELETE);
        if (gsmPromptCmdErrorCode(p) == 321) /* (+CMS and +CME ERROR: 321 alike) */
        {
            st = GSM_Prompt_CmdStatus_Ok; /* invalid memory index: nothing stored there */
        }
        if ((st == GSM_Prompt_CmdStatus_Ok) || (++inst->Attempts >= GSM_SMSREAD_ATTEMPTS))
        {
            fl = inst->Body.Flags;
            if (st != GSM_Prompt_CmdStatus_Ok)
            {
                GSM_DEBUG_TEXT("GSM SMS: message given up\r\n");
            }
            else if ((step == SR_STEP_READ) && ((fl & (SR_B_HEADER | SR_B_LINE)) != 0u))
            {
                /* found one of the counted messages (the walk only reads while some are left). Only
                 * a received message that was reported is deleted: a stored outgoing one is not
                 * ours, and one whose header could not be read (it did not fit the line buffer, or
                 * its fields are malformed) stays in the store rather than being lost unseen. */
                inst->WalkLeft--;
                if ((fl & SR_B_RECEIVED) != 0u)
                {
                    /* Already read where the delete was open: the message reported then (a new one
                     * stored there since is unread), deleted without a second report. */
                    if ((fl & redelete) == 0u)
                    {
                        reportMessage(inst, fl);
                    }
                    inst->Attempts = 0u;
                    inst->Step = SR_STEP_DELETE;
                    return;
                }
                GSM_DEBUG_TEXT("GSM SMS: message left in the store (not a received one, or unreadable)\r\n");
            }
            else
            {
                /* deleted, or an empty index */
            }
            next = 1u;
        }
    }
    /* The pause's start after a failed step, and while idle the end of the last walk (the text is
     * composed anew before the next read). */
    inst->Body.Len = (uint16_t)gsm__SysTime_ms();
    if (next > 1u)
    {
        /* The step failed: it is repeated after a pause. */
        step |= SR_STEP_PAUSE;
    }
    else
    {
        /* The walk goes on at Index + next, or ends when every counted message was seen. */
        index = (uint16_t)(inst->Index + next);
        inst->Attempts = 0u;
        inst->Index = (uint8_t)index;
        step = ((inst->WalkLeft != 0u) && (index <= inst->WalkEnd)) ? SR_STEP_READ : SR_STEP_IDLE;
    }
    gsmPromptRelease(p, inst); /* (between two messages too: other modules get their turn) */
    inst->Step = (uint8_t)step;
}

void gsmSmsReadPoll(GSM_SmsRead_Instance* inst)
{
    uint8_t session;
    /* (Without communication nothing runs: the prompt's session was reset, and the next session
     * has another number.) */
    if ((inst == NULL) || !gsmBasicCommsIfEstablished(inst->BasicComms))
    {
        return;
    }
    session = inst->BasicComms->Session; /* (established: the interface is there) */
    if ((inst->Step != SR_STEP_WAIT_COMMS) && (session == inst->Session))
    {
        runStep(inst, inst->Step);
        return;
    }
    /* New session: the modem forgot its settings; what arrived meanwhile is found by the walk. A
     * message reported but not known to be deleted (a restart or hang took the AT+CMGD) is read
     * first. (A command may have been running.) */
    inst->Session = session;
    gsmPromptRelease(inst->Prompt, inst);
    if ((uint8_t)(inst->Step & (uint8_t)~SR_STEP_PAUSE) == SR_STEP_DELETE)
    {
        inst->CmdState = SR_F_REDELETE;
    }
    inst->CmdState &= SR_F_REDELETE; /* (an open delete stays open until its index is read) */
    if (inst->CmdState == 0u)
    {
        inst->Index = 0u; /* (else the walk begins at the open delete's index) */
    }
    inst->Step = 0u;
}
