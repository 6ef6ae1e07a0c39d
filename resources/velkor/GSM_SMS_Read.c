/*
 * GSM_SMS_Read.c - set-up, store scan, "+CMTI:" queue, "AT+CMGR" read and "AT+CMGD" delete.
 */
#include "GSM_SMS_Read.h"
#include "GSM_Required_Externals.h"
#include "GSM_Util.h"

#if (GSM_SMSREAD_QUEUE_SIZE < 1u) || (GSM_SMSREAD_QUEUE_SIZE > 32u)
#error "GSM_SMSREAD_QUEUE_SIZE must be 1..32"
#endif
#if GSM_SMSREAD_RETRY_MS > 60000u
#error "GSM_SMSREAD_RETRY_MS must be at most 60000"
#endif
#if (GSM_SMSREAD_TEXT_SIZE < 12u) || (GSM_SMSREAD_TEXT_SIZE > 4096u)
#error "GSM_SMSREAD_TEXT_SIZE must be 12..4096"
#endif
#if GSM_SMSREAD_MAX_BODY > 65535u
#error "GSM_SMSREAD_MAX_BODY must be at most 65535"
#endif

enum
{
    SR_STEP_WAIT_COMMS = 0, /* no communication yet / lost */
    SR_STEP_SETUP,          /* set-up table, then the store's fill level */
    SR_STEP_IDLE,           /* scanning the store or waiting for +CMTI */
    SR_STEP_READ,           /* AT+CMGR */
    SR_STEP_DELETE,         /* AT+CMGD */
    SR_STEP_RETRY_WAIT      /* pause, then the step in Retry */
};

#define SR_F_HEADER    0x01u /* the +CMGR header of the message being read arrived */
#define SR_F_RECEIVED  0x02u /* ... and it is a received message with good fields */
#define SR_F_BODY      0x04u /* body lines arrived */
#define SR_F_TRUNCATED 0x08u /* sender or body cut */
#define SR_F_SCAN      0x10u /* the store is being scanned (Index = next index) */
#define SR_F_RESCAN    0x20u /* +CMTI announcements were lost: scan the store again */
#define SR_F_OUTGOING  0x40u /* the message read is a stored outgoing one */
#define SR_F_COUNT_OK  0x80u /* the fill level was read */

/* Body states (GSM_SmsRead_Instance.Body). */
#define SR_B_COUNTED   0x01u /* the header gave the length: the body is read as a counted payload */
#define SR_B_DONE      0x02u /* ... and all of it arrived */
#define SR_B_CR        0x04u /* the last body byte was CR (a following LF belongs to the same break) */
#define SR_B_TAIL      0x08u /* lines after the payload were appended (the length was short) */

#define SR_CMD_TIMEOUT_MS 5000u
#define SR_SETUP_STEPS    6u
#define SR_CPMS_STEP      4u /* first step whose answer carries the fill level */

static const GSM_PromptHelper_Step kSetup[SR_SETUP_STEPS] = {
    {"AT+CMGF=1", {NULL, SR_CMD_TIMEOUT_MS, 0u}, 0u},
    {"AT+CSCS=\"GSM\"", {NULL, SR_CMD_TIMEOUT_MS, 0u}, 0u},
    {"AT+CSDH=1", {NULL, SR_CMD_TIMEOUT_MS, 0u}, GSM_PROMPTHELPER_STEP_IGNORE_ERROR},
    {"AT+CNMI=2,1,0,1,0", {NULL, SR_CMD_TIMEOUT_MS, 0u}, 0u},
    /* A module without SIM storage answers with an error: its own default store is used then. */
    {"AT+CPMS=\"SM\",\"SM\",\"SM\"", {"+CPMS:", SR_CMD_TIMEOUT_MS, 0u}, GSM_PROMPTHELPER_STEP_IGNORE_ERROR},
    {"AT+CPMS?", {"+CPMS:", SR_CMD_TIMEOUT_MS, 0u}, 0u},
};
static const GSM_Prompt_CmdSpec kCmgrSpec = {"+CMGR:", SR_CMD_TIMEOUT_MS, GSM_PROMPT_CMD_UNPREFIXED};
static const GSM_Prompt_CmdSpec kCmgdSpec = {NULL, SR_CMD_TIMEOUT_MS, 0u};
static const char* const kCmtiPrefixes[] = {"+CMTI:", NULL};

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

/* Copies a field cut to the buffer; true when it had to be cut. */
static bool copyCut(const char* line, uint16_t len, uint8_t field, char* dst, uint16_t size)
{
    uint16_t s = 0u;
    uint16_t l = 0u;
    uint16_t i;
    (void)gsmUtilField(line, len, field, &s, &l, NULL);
    for (i = 0u; (i < l) && ((i + 1u) < size); i++)
    {
        dst[i] = line[s + i];
    }
    dst[i] = '\0';
    return i < l;
}

bool gsmSmsReadDecodeCmgr(const char* line, uint16_t len, char* sender, uint16_t sender_size, char* timestamp,
                          uint16_t timestamp_size, bool* truncated)
{
    uint16_t s;
    uint16_t l;
    if ((sender == NULL) || (timestamp == NULL) || (truncated == NULL) || (sender_size == 0u) || (timestamp_size == 0u) ||
        !gsmUtilStartsWith(line, len, "+CMGR:") || !gsmUtilField(line, len, 0u, &s, &l, NULL) ||
        !gsmUtilStartsWith(&line[s], l, "REC ") || !gsmUtilField(line, len, 3u, &s, &l, NULL))
    {
        return false;
    }
    *truncated = copyCut(line, len, 1u, sender, sender_size);
    (void)copyCut(line, len, 3u, timestamp, timestamp_size);
    return true;
}

static void onCmtiUrc(void* ctx, const char* line, uint16_t len)
{
    GSM_SmsRead_Instance* inst = (GSM_SmsRead_Instance*)ctx;
    uint8_t idx;
    if (!gsmSmsReadDecodeCmti(line, len, &idx))
    {
        GSM_DEBUG_TEXT("GSM SMS: malformed +CMTI dropped\r\n");
    }
    else if (inst->QueueCount < GSM_SMSREAD_QUEUE_SIZE)
    {
        inst->Queue[inst->QueueCount++] = idx;
    }
    else
    {
        inst->Flags |= SR_F_RESCAN; /* the store scan finds it */
    }
}

static void onSetupLine(void* ctx, const char* line, uint16_t len)
{
    GSM_SmsRead_Instance* inst = (GSM_SmsRead_Instance*)ctx;
    uint32_t used;
    uint32_t total;
    uint8_t f;
    if (inst->Seq.Index < SR_CPMS_STEP)
    {
        return;
    }
    /* "+CPMS: <used>,<total>,..." (set) or "+CPMS: <mem>,<used>,<total>,..." (read) */
    f = gsmUtilFieldUint(line, len, 0u, &used) ? 0u : 1u;
    if (gsmUtilFieldUint(line, len, f, &used) && gsmUtilFieldUint(line, len, (uint8_t)(f + 1u), &total))
    {
        inst->ScanLeft = (used > 255u) ? 255u : (uint8_t)used;
        inst->ScanEnd = (total > 255u) ? 255u : (uint8_t)total; /* indices 0..total cover base 0 and base 1 */
        inst->Flags |= SR_F_COUNT_OK;
    }
}

static void appendText(GSM_SmsRead_Instance* inst, char c)
{
    if ((inst->TextLen + 1u) < sizeof(inst->Text))
    {
        inst->Text[inst->TextLen++] = c;
        inst->Text[inst->TextLen] = '\0';
    }
    else
    {
        inst->Flags |= SR_F_TRUNCATED;
    }
}

/* Raw body bytes of the counted payload: CR LF, lone CR and lone LF become one LF; other control
 * bytes are dropped as in line mode. Nothing in the body is taken for a result code or URC. */
static void onBody(void* ctx, const uint8_t* data, uint16_t len, uint16_t remaining)
{
    GSM_SmsRead_Instance* inst = (GSM_SmsRead_Instance*)ctx;
    uint16_t i;
    for (i = 0u; i < len; i++)
    {
        uint8_t c = data[i];
        bool cr = (inst->Body & SR_B_CR) != 0u;
        inst->Body = (uint8_t)(inst->Body & (uint8_t)~SR_B_CR);
        if (c == (uint8_t)'\r')
        {
            inst->Body |= SR_B_CR;
            c = (uint8_t)'\n';
        }
        else if ((c == (uint8_t)'\n') && cr)
        {
            continue;
        }
        if ((c == (uint8_t)'\n') || ((c >= 0x20u) && (c <= 0x7Eu)))
        {
            appendText(inst, (char)c);
        }
    }
    if (remaining == 0u)
    {
        inst->Body |= SR_B_DONE;
    }
}

static void onCmgrLine(void* ctx, const char* line, uint16_t len)
{
    GSM_SmsRead_Instance* inst = (GSM_SmsRead_Instance*)ctx;
    if (((inst->Flags & SR_F_HEADER) == 0u) && gsmUtilStartsWith(line, len, "+CMGR:"))
    {
        bool cut = false;
        uint32_t blen;
        inst->Flags |= SR_F_HEADER;
        if (gsmSmsReadDecodeCmgr(line, len, inst->Sender, (uint16_t)sizeof(inst->Sender), inst->Timestamp,
                                 (uint16_t)sizeof(inst->Timestamp), &cut))
        {
            inst->Flags |= (uint8_t)(SR_F_RECEIVED | (cut ? SR_F_TRUNCATED : 0u));
        }
        else if (gsmUtilStartsWith(line, len, "+CMGR: \"STO "))
        {
            inst->Flags |= SR_F_OUTGOING;
        }
        /* <length>, the last field of the long header (AT+CSDH=1), counts the body bytes that follow
         * the header's line end: they are taken raw, so body lines such as "OK" or "+CMTI: ..." stay text. */
        if (gsmUtilFieldUint(line, len, 10u, &blen) && (blen <= GSM_SMSREAD_MAX_BODY))
        {
            inst->Flags |= SR_F_BODY;
            inst->Text[0] = '\0'; /* the command text is no longer needed (an empty body stays empty) */
            inst->Body = (uint8_t)((blen == 0u) ? (SR_B_COUNTED | SR_B_DONE) : SR_B_COUNTED);
            gsmPromptBinaryExpect(inst->Prompt, (uint16_t)blen, &onBody, inst);
        }
        return;
    }
    /* Body line without a counted payload, or a rest after a too short count (a modem that prints a
     * stored LF as CR LF): lines are joined with LF; the first rest line continues the payload. */
    if ((inst->Body & SR_B_COUNTED) != 0u)
    {
        if ((inst->Body & SR_B_TAIL) != 0u)
        {
            appendText(inst, '\n');
        }
        inst->Body |= SR_B_TAIL;
    }
    else if ((inst->Flags & SR_F_BODY) != 0u)
    {
        appendText(inst, '\n');
    }
    inst->Flags |= SR_F_BODY;
    onBody(inst, (const uint8_t*)line, len, 1u);
}

static void enterStep(GSM_SmsRead_Instance* inst, uint8_t step)
{
    inst->Step = step;
    inst->CmdState = 0u;
    inst->Aux = (uint16_t)gsm__SysTime_ms();
}

/* The message at Index is done (or given up): continue with the next one. */
static void nextMessage(GSM_SmsRead_Instance* inst)
{
    gsmPromptRelease(inst->Prompt, inst); /* let other modules in between two messages */
    inst->Attempts = 0u;
    if ((inst->Flags & SR_F_SCAN) != 0u)
    {
        if (inst->Index >= inst->ScanEnd)
        {
            inst->Flags = (uint8_t)(inst->Flags & (uint8_t)~SR_F_SCAN);
        }
        else
        {
            inst->Index++;
        }
    }
    enterStep(inst, SR_STEP_IDLE);
}

/* The step failed: repeat it after a pause, or give the message up. */
static void failStep(GSM_SmsRead_Instance* inst)
{
    gsmPromptRelease(inst->Prompt, inst);
    inst->Attempts++;
    if ((inst->Step != SR_STEP_SETUP) && (inst->Attempts >= GSM_SMSREAD_ATTEMPTS))
    {
        GSM_DEBUG_TEXT("GSM SMS: message given up\r\n");
        nextMessage(inst);
        return;
    }
    inst->Retry = inst->Step;
    enterStep(inst, SR_STEP_RETRY_WAIT);
}

static void stepIdle(GSM_SmsRead_Instance* inst)
{
    uint8_t i;
    if (((inst->Flags & SR_F_SCAN) != 0u) && (inst->ScanLeft > 0u) && (inst->Index <= inst->ScanEnd))
    {
        enterStep(inst, SR_STEP_READ);
        return;
    }
    inst->Flags = (uint8_t)(inst->Flags & (uint8_t)~SR_F_SCAN);
    gsmPromptRelease(inst->Prompt, inst); /* nothing to read: free the channel */
    if ((inst->Flags & SR_F_RESCAN) != 0u)
    {
        inst->Flags = (uint8_t)(inst->Flags & (uint8_t)~SR_F_RESCAN);
        inst->QueueCount = 0u;
        inst->Seq.Index = (uint8_t)(SR_SETUP_STEPS - 1u); /* read the fill level again */
        inst->Seq.CmdState = 0u;
        enterStep(inst, SR_STEP_SETUP);
    }
    else if (inst->QueueCount > 0u)
    {
        inst->Index = inst->Queue[0];
        inst->QueueCount--;
        for (i = 0u; i < inst->QueueCount; i++)
        {
            inst->Queue[i] = inst->Queue[i + 1u];
        }
        enterStep(inst, SR_STEP_READ);
    }
}

static void raiseRead(GSM_SmsRead_Instance* inst)
{
    GSM_SmsRead_Event_ReadSuccess ev;
    uint16_t n = 0u;
    int8_t tz = 0;
    while (inst->Timestamp[n] != '\0')
    {
        n++;
    }
    if (!gsmUtilDateTimeToEpoch(inst->Timestamp, n, &ev.TimestampUtc, &tz))
    {
        ev.TimestampUtc = 0u;
    }
    ev.Sender = inst->Sender;
    ev.Timestamp = inst->Timestamp;
    ev.TimeZoneQuarters = tz;
    ev.Text = inst->Text;
    ev.TextLength = inst->TextLen;
    ev.Truncated = (inst->Flags & SR_F_TRUNCATED) != 0u;
    ev.Index = inst->Index;
    if (inst->EventHandler != NULL)
    {
        inst->EventHandler(inst, GSM_SmsRead_EventType_ReadSuccess, &ev);
    }
}

/* AT+CMGR / AT+CMGD of the message at Index. */
static void stepCommand(GSM_SmsRead_Instance* inst)
{
    GSM_Prompt_CmdStatus st;
    bool reading = inst->Step == SR_STEP_READ;
    if (inst->CmdState == 0u)
    {
        /* The command is composed in the text buffer: the prompt has written it out before the
         * first body line can arrive, and a body replaces it. */
        static const char kHead[] = "AT+CMGR=";
        uint8_t i;
        for (i = 0u; i < 8u; i++)
        {
            inst->Text[i] = kHead[i];
        }
        inst->Text[6] = reading ? 'R' : 'D';
        (void)gsmUtilUintToStr(&inst->Text[8], 4u, inst->Index, 1u);
        inst->TextLen = 0u;
        inst->Body = 0u;
        inst->Flags = (uint8_t)(inst->Flags & (uint8_t) ~(SR_F_HEADER | SR_F_RECEIVED | SR_F_BODY | SR_F_TRUNCATED | SR_F_OUTGOING));
    }
    st = gsmPromptHelperExec(inst->Prompt, inst, &inst->CmdState, inst->Text, reading ? &kCmgrSpec : &kCmgdSpec, &onCmgrLine, inst);
    if (st == GSM_Prompt_CmdStatus_Pending)
    {
        return;
    }
    /* A payload still open at the end (time-out: the count was more than the modem sent) would hold
     * the channel: give it up. */
    gsmPromptBinaryCancel(inst->Prompt, &onBody);
    if (reading && (st == GSM_Prompt_CmdStatus_CmsError) && (gsmPromptCmdErrorCode(inst->Prompt) == 321))
    {
        st = GSM_Prompt_CmdStatus_Ok; /* invalid memory index: nothing stored there */
    }
    if (st != GSM_Prompt_CmdStatus_Ok)
    {
        failStep(inst);
        return;
    }
    if (!reading || ((inst->Flags & (SR_F_HEADER | SR_F_BODY)) == 0u))
    {
        nextMessage(inst); /* deleted, or an empty index */
        return;
    }
    if ((inst->Flags & SR_F_SCAN) != 0u)
    {
        inst->ScanLeft--; /* found one of the stored messages */
    }
    if ((inst->Flags & SR_F_OUTGOING) != 0u)
    {
        nextMessage(inst); /* stored outgoing message: not ours to report or delete */
        return;
    }
    if ((inst->Flags & SR_F_BODY) == 0u)
    {
        inst->Text[0] = '\0'; /* no body: drop the command text */
    }
    if ((inst->Body & (SR_B_COUNTED | SR_B_DONE)) == SR_B_COUNTED)
    {
        inst->Flags |= SR_F_TRUNCATED; /* the counted body did not arrive whole */
    }
    if ((inst->Flags & SR_F_RECEIVED) != 0u)
    {
        raiseRead(inst);
    }
    else
    {
        GSM_DEBUG_TEXT("GSM SMS: unreadable message deleted\r\n");
    }
    inst->Attempts = 0u;
    enterStep(inst, SR_STEP_DELETE);
}

void gsmSmsReadInit(GSM_SmsRead_Instance* inst)
{
    if (inst == NULL)
    {
        return;
    }
    inst->QueueCount = 0u;
    inst->Flags = 0u;
    inst->Attempts = 0u;
    inst->Session = gsmBasicCommsIfSession(inst->BasicComms);
    inst->Urc.Prefixes = kCmtiPrefixes;
    inst->Urc.Handler = &onCmtiUrc;
    inst->Urc.Context = inst;
    gsmPromptUrcSubscribe(inst->Prompt, &inst->Urc);
    enterStep(inst, SR_STEP_WAIT_COMMS);
}

void gsmSmsReadPoll(GSM_SmsRead_Instance* inst)
{
    GSM_Prompt_CmdStatus st;
    if ((inst == NULL) || (inst->Prompt == NULL))
    {
        return;
    }
    if (!gsmBasicCommsIfEstablished(inst->BasicComms))
    {
        if (inst->Step != SR_STEP_WAIT_COMMS)
        {
            gsmPromptRelease(inst->Prompt, inst);
            enterStep(inst, SR_STEP_WAIT_COMMS);
        }
        return;
    }
    if ((inst->Step == SR_STEP_WAIT_COMMS) || (gsmBasicCommsIfSession(inst->BasicComms) != inst->Session))
    {
        /* New session: the modem forgot its settings; announcements of the old one are covered by the scan. */
        gsmPromptRelease(inst->Prompt, inst);
        inst->Session = gsmBasicCommsIfSession(inst->BasicComms);
        inst->QueueCount = 0u;
        inst->Attempts = 0u;
        inst->Flags = 0u;
        gsmPromptHelperSeqReset(&inst->Seq);
        enterStep(inst, SR_STEP_SETUP);
    }

    switch (inst->Step)
    {
    case SR_STEP_SETUP:
        st = gsmPromptHelperSeqRun(inst->Prompt, inst, &inst->Seq, kSetup, SR_SETUP_STEPS, &onSetupLine, inst);
        if (st == GSM_Prompt_CmdStatus_Pending)
        {
            break;
        }
        if ((st == GSM_Prompt_CmdStatus_Ok) && ((inst->Flags & SR_F_COUNT_OK) != 0u))
        {
            inst->Attempts = 0u;
            inst->Index = 0u;
            inst->Flags = (uint8_t)((inst->Flags & (uint8_t)~SR_F_COUNT_OK) | SR_F_SCAN);
            enterStep(inst, SR_STEP_IDLE);
        }
        else
        {
            /* Before "SMS Ready" / "SMS DONE" the modem refuses these commands: try again later. */
            gsmPromptHelperSeqReset(&inst->Seq);
            failStep(inst);
        }
        break;

    case SR_STEP_IDLE:
        stepIdle(inst);
        break;

    case SR_STEP_RETRY_WAIT:
        if ((uint16_t)((uint16_t)gsm__SysTime_ms() - inst->Aux) >= GSM_SMSREAD_RETRY_MS)
        {
            enterStep(inst, inst->Retry);
        }
        break;

    default:
        stepCommand(inst);
        break;
    }
}
