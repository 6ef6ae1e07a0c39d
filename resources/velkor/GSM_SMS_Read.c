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
    SR_STEP_SETUP,          /* set-up commands, then the store's fill level */
    SR_STEP_IDLE,           /* scanning the store or waiting for +CMTI */
    SR_STEP_READ,           /* AT+CMGR */
    SR_STEP_DELETE          /* AT+CMGD */
};
#define SR_STEP_PAUSE 0x80u /* added to a failed step: it is repeated after GSM_SMSREAD_RETRY_MS */

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
/* Set-up steps whose error answer does not stop the set-up: AT+CSDH=1 (the body is then read line
 * by line) and the store selection (a module without SIM storage uses its own default store). */
#define SR_SETUP_OPTIONAL 0x14u

/* Only the two AT+CPMS commands answer with a "+CPMS:" line (the fill level). */
static const char* const kSetup[SR_SETUP_STEPS] = {"AT+CMGF=1", "AT+CSCS=\"GSM\"", "AT+CSDH=1", "AT+CNMI=2,1,0,1,0",
                                                   "AT+CPMS=\"SM\",\"SM\",\"SM\"", "AT+CPMS?"};
static const GSM_Prompt_CmdSpec kSetupSpec = {"+CPMS:", SR_CMD_TIMEOUT_MS, 0u};
static const GSM_Prompt_CmdSpec kCmgrSpec = {"+CMGR:", SR_CMD_TIMEOUT_MS, GSM_PROMPT_CMD_UNPREFIXED};
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

bool gsmSmsReadDecodeCmgr(const char* line, uint16_t len, char* sender, uint16_t sender_size, char* timestamp,
                          uint16_t timestamp_size, bool* truncated)
{
    uint16_t s;
    uint16_t l;
    if ((sender == NULL) || (timestamp == NULL) || (truncated == NULL) || (sender_size == 0u) || (timestamp_size == 0u) ||
        !gsmUtilStartsWith(line, len, "+CMGR:") || !gsmUtilField(line, len, 0u, &s, &l, NULL) ||
        !gsmUtilStartsWith(&line[s], l, "REC ") || (gsmUtilFieldCopyCut(line, len, 3u, timestamp, timestamp_size) == 0u))
    {
        return false;
    }
    *truncated = gsmUtilFieldCopyCut(line, len, 1u, sender, sender_size) > 1u;
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

/* "+CPMS: <used>,<total>,..." (set) or "+CPMS: <mem>,<used>,<total>,..." (read) */
static void onSetupLine(void* ctx, const char* line, uint16_t len)
{
    GSM_SmsRead_Instance* inst = (GSM_SmsRead_Instance*)ctx;
    uint32_t used;
    uint32_t total;
    uint8_t f = gsmUtilFieldUint(line, len, 0u, &used) ? 0u : 1u;
    if (gsmUtilFieldUint(line, len, f, &used) && gsmUtilFieldUint(line, len, (uint8_t)(f + 1u), &total))
    {
        inst->ScanLeft = (used > 255u) ? 255u : (uint8_t)used;
        inst->ScanEnd = (total > 255u) ? 255u : (uint8_t)total; /* indices 0..total cover base 0 and base 1 */
        inst->Flags |= SR_F_COUNT_OK;
    }
}

/* Raw body bytes of the counted payload: CR LF, lone CR and lone LF become one LF; other control
 * bytes are dropped as in line mode. Nothing in the body is taken for a result code or URC. The
 * text is cut at the buffer size (Truncated). */
static void onBody(void* ctx, const uint8_t* data, uint16_t len, uint16_t remaining)
{
    GSM_SmsRead_Instance* inst = (GSM_SmsRead_Instance*)ctx;
    uint16_t i;
    for (i = 0u; i < len; i++)
    {
        uint8_t c = data[i];
        uint8_t body = inst->Body;
        inst->Body = (uint8_t)(body & (uint8_t)~SR_B_CR);
        if (c == (uint8_t)'\r')
        {
            inst->Body |= SR_B_CR;
            c = (uint8_t)'\n';
        }
        else if ((c == (uint8_t)'\n') && ((body & SR_B_CR) != 0u))
        {
            continue;
        }
        if ((c == (uint8_t)'\n') || ((c >= 0x20u) && (c <= 0x7Eu)))
        {
            if ((inst->TextLen + 1u) < sizeof(inst->Text))
            {
                inst->Text[inst->TextLen++] = (char)c;
                inst->Text[inst->TextLen] = '\0';
            }
            else
            {
                inst->Flags |= SR_F_TRUNCATED;
            }
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
    uint8_t body;
    if (((inst->Flags & SR_F_HEADER) == 0u) && gsmUtilStartsWith(line, len, "+CMGR:"))
    {
        bool cut = false;
        uint32_t blen;
        inst->Flags = (uint8_t)((inst->Flags & (uint8_t)~SR_F_BODY) | SR_F_HEADER);
        /* the command text is no longer needed; lines before the header are not part of the body */
        inst->Text[0] = '\0';
        inst->TextLen = 0u;
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
            inst->Body = (uint8_t)((blen == 0u) ? (SR_B_COUNTED | SR_B_DONE) : SR_B_COUNTED);
            gsmPromptBinaryExpect(inst->Prompt, (uint16_t)blen, &onBody, inst);
        }
        return;
    }
    /* Body line without a counted payload, or a rest after a too short count (a modem that prints a
     * stored LF as CR LF): lines are joined with LF; the first rest line continues the payload. */
    body = (uint8_t)(inst->Body & (uint8_t)~SR_B_CR);
    inst->Body = (uint8_t)(body | ((body & SR_B_COUNTED) * SR_B_TAIL));
    if ((((body & SR_B_COUNTED) != 0u) ? (body & SR_B_TAIL) : (inst->Flags & SR_F_BODY)) != 0u)
    {
        onBody(inst, (const uint8_t*)"\n", 1u, 1u);
    }
    inst->Flags |= SR_F_BODY;
    onBody(inst, (const uint8_t*)line, len, 1u);
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
            inst->Flags &= (uint8_t)~SR_F_SCAN;
        }
        else
        {
            inst->Index++;
        }
    }
    inst->Step = SR_STEP_IDLE;
}

/* The step failed: repeat it after a pause, or give the message up. The set-up is always repeated. */
static void failStep(GSM_SmsRead_Instance* inst)
{
    gsmPromptRelease(inst->Prompt, inst);
    if ((inst->Step != SR_STEP_SETUP) && (++inst->Attempts >= GSM_SMSREAD_ATTEMPTS))
    {
        GSM_DEBUG_TEXT("GSM SMS: message given up\r\n");
        nextMessage(inst);
        return;
    }
    inst->SetupStep = 0u; /* a failed set-up starts again from its first command */
    inst->Aux = (uint16_t)gsm__SysTime_ms();
    inst->Step |= SR_STEP_PAUSE;
}

static void stepIdle(GSM_SmsRead_Instance* inst)
{
    uint8_t i;
    if (((inst->Flags & SR_F_SCAN) != 0u) && (inst->ScanLeft > 0u) && (inst->Index <= inst->ScanEnd))
    {
        inst->Step = SR_STEP_READ;
        return;
    }
    inst->Flags &= (uint8_t)~SR_F_SCAN;
    gsmPromptRelease(inst->Prompt, inst); /* nothing to read: free the channel */
    if ((inst->Flags & SR_F_RESCAN) != 0u)
    {
        inst->Flags &= (uint8_t)~SR_F_RESCAN;
        inst->QueueCount = 0u;
        inst->SetupStep = (uint8_t)(SR_SETUP_STEPS - 1u); /* read the fill level again */
        inst->Step = SR_STEP_SETUP;
    }
    else if (inst->QueueCount > 0u)
    {
        inst->Index = inst->Queue[0];
        inst->QueueCount--;
        for (i = 0u; i < inst->QueueCount; i++)
        {
            inst->Queue[i] = inst->Queue[i + 1u];
        }
        inst->Step = SR_STEP_READ;
    }
}

static void raiseRead(GSM_SmsRead_Instance* inst)
{
    GSM_SmsRead_Event_ReadSuccess ev;
    uint16_t n = 0u;
    while (inst->Timestamp[n] != '\0')
    {
        n++;
    }
    ev.TimeZoneQuarters = 0;
    if (!gsmUtilDateTimeToEpoch(inst->Timestamp, n, &ev.TimestampUtc, &ev.TimeZoneQuarters))
    {
        ev.TimestampUtc = 0u;
    }
    ev.Sender = inst->Sender;
    ev.Timestamp = inst->Timestamp;
    ev.Text = inst->Text;
    ev.TextLength = inst->TextLen;
    ev.Truncated = (inst->Flags & SR_F_TRUNCATED) != 0u;
    ev.Index = inst->Index;
    if (inst->EventHandler != NULL)
    {
        inst->EventHandler(inst, GSM_SmsRead_EventType_ReadSuccess, &ev);
    }
}

/* The set-up command of SetupStep, or AT+CMGR / AT+CMGD of the message at Index. */
static void stepCommand(GSM_SmsRead_Instance* inst)
{
    static const char kHead[] = "AT+CMGR=";
    GSM_Prompt_CmdStatus st;
    uint8_t step = inst->Step;
    bool reading = step == SR_STEP_READ;
    const char* cmd = inst->Text;
    GSM_Prompt_LineHandler onLine = &onCmgrLine;
    uint8_t fl;
    if (step == SR_STEP_SETUP)
    {
        cmd = kSetup[inst->SetupStep];
        onLine = &onSetupLine;
    }
    else if (inst->CmdState == 0u)
    {
        /* The command is composed in the text buffer: the prompt has written it out before the
         * first body line can arrive, and a body replaces it. */
        uint8_t i;
        for (i = 0u; i < 8u; i++)
        {
            inst->Text[i] = kHead[i];
        }
        if (!reading)
        {
            inst->Text[6] = 'D';
        }
        (void)gsmUtilUintToStr(&inst->Text[8], 4u, inst->Index, 1u);
        inst->TextLen = 0u;
        inst->Body = 0u;
        inst->Flags &= (uint8_t) ~(SR_F_HEADER | SR_F_RECEIVED | SR_F_BODY | SR_F_TRUNCATED | SR_F_OUTGOING);
    }
    else
    {
        /* AT+CMGR / AT+CMGD running */
    }
    st = gsmPromptHelperExec(inst->Prompt, inst, &inst->CmdState, cmd, reading ? &kCmgrSpec : &kSetupSpec, onLine, inst);
    if (st == GSM_Prompt_CmdStatus_Pending)
    {
        return;
    }
    if (step == SR_STEP_SETUP)
    {
        step = inst->SetupStep;
        if ((st == GSM_Prompt_CmdStatus_Ok) ||
            (gsmPromptHelperIsErrorStatus(st) && (((SR_SETUP_OPTIONAL >> step) & 1u) != 0u)))
        {
            inst->SetupStep = ++step;
            if (step < SR_SETUP_STEPS)
            {
                return;
            }
            if ((inst->Flags & SR_F_COUNT_OK) != 0u)
            {
                inst->Attempts = 0u;
                inst->Index = 0u;
                inst->Flags = (uint8_t)((inst->Flags & (uint8_t)~SR_F_COUNT_OK) | SR_F_SCAN);
                inst->Step = SR_STEP_IDLE;
                return;
            }
        }
        /* Before "SMS Ready" / "SMS DONE" the modem refuses these commands: try again later. */
        failStep(inst);
        return;
    }
    /* A payload still open at the end (time-out: the count was more than the modem sent) would hold
     * the channel: give it up. */
    gsmPromptBinaryCancel(inst->Prompt, &onBody);
    if (reading && (st == GSM_Prompt_CmdStatus_CmsError) && (gsmPromptCmdErrorCode(inst->Prompt) == 321))
    {
        st = GSM_Prompt_CmdStatus_Ok; /* invalid memory index: nothing stored there */
    }
    fl = inst->Flags;
    if (st != GSM_Prompt_CmdStatus_Ok)
    {
        failStep(inst);
        return;
    }
    if (!reading || ((fl & (SR_F_HEADER | SR_F_BODY)) == 0u))
    {
        nextMessage(inst); /* deleted, or an empty index */
        return;
    }
    if ((fl & SR_F_SCAN) != 0u)
    {
        inst->ScanLeft--; /* found one of the stored messages */
    }
    if ((fl & SR_F_OUTGOING) != 0u)
    {
        nextMessage(inst); /* stored outgoing message: not ours to report or delete */
        return;
    }
    if ((inst->Body & (SR_B_COUNTED | SR_B_DONE)) == SR_B_COUNTED)
    {
        inst->Flags |= SR_F_TRUNCATED; /* the counted body did not arrive whole */
    }
    if ((fl & SR_F_RECEIVED) != 0u)
    {
        raiseRead(inst);
    }
    else
    {
        GSM_DEBUG_TEXT("GSM SMS: unreadable message deleted\r\n");
    }
    inst->Attempts = 0u;
    inst->Step = SR_STEP_DELETE;
}

void gsmSmsReadInit(GSM_SmsRead_Instance* inst)
{
    if (inst == NULL)
    {
        return;
    }
    inst->Step = SR_STEP_WAIT_COMMS;
    inst->CmdState = 0u;
    inst->Urc.Prefixes = kCmtiPrefixes;
    inst->Urc.Handler = &onCmtiUrc;
    inst->Urc.Context = inst;
    gsmPromptUrcSubscribe(inst->Prompt, &inst->Urc);
}

void gsmSmsReadPoll(GSM_SmsRead_Instance* inst)
{
    uint8_t step;
    uint8_t session;
    if ((inst == NULL) || (inst->Prompt == NULL))
    {
        return;
    }
    if (!gsmBasicCommsIfEstablished(inst->BasicComms))
    {
        gsmPromptRelease(inst->Prompt, inst);
        inst->Step = SR_STEP_WAIT_COMMS;
        inst->CmdState = 0u; /* a command may have been running */
        return;
    }
    session = gsmBasicCommsIfSession(inst->BasicComms);
    if ((inst->Step == SR_STEP_WAIT_COMMS) || (session != inst->Session))
    {
        /* New session: the modem forgot its settings; announcements of the old one are covered by the scan. */
        gsmPromptRelease(inst->Prompt, inst);
        inst->Session = session;
        inst->QueueCount = 0u;
        inst->Attempts = 0u;
        inst->Flags = 0u;
        inst->SetupStep = 0u;
        inst->Step = SR_STEP_SETUP;
        inst->CmdState = 0u;
    }
    step = inst->Step;
    if (step >= SR_STEP_PAUSE)
    {
        if ((uint16_t)((uint16_t)gsm__SysTime_ms() - inst->Aux) >= GSM_SMSREAD_RETRY_MS)
        {
            inst->Step = (uint8_t)(step - SR_STEP_PAUSE);
        }
    }
    else if (step == SR_STEP_IDLE)
    {
        stepIdle(inst);
    }
    else
    {
        stepCommand(inst);
    }
}
