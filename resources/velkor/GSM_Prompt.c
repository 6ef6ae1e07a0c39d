/*
 * GSM_Prompt.c - line assembly, echo cancellation, result codes, data prompt, URC routing, claim.
 *
 * Context: everything runs in gsmPromptPoll() and in the interface functions, all called from the
 * main loop. The serial driver's interrupt side only touches its own buffers behind the
 * CanRead / Read / Write / WriteCompleted callbacks.
 */
#include "GSM_Prompt.h"
#include "GSM_Required_Externals.h"
#include "GSM_Util.h"

/* Flags (GSM_Prompt_Instance.Flags). */
#define PR_F_COMPOSING     0x01u /* between gsmPromptCmdBegin and gsmPromptCmdSend */
#define PR_F_ACTIVE        0x02u /* a command was sent and awaits its final result */
#define PR_F_ECHO_PENDING  0x04u /* the echo of the command has not been seen yet */
#define PR_F_SKIP_SPACE    0x08u /* drop the blank that follows the '>' of the data prompt */
#define PR_F_DROP_OK       0x10u /* a late final result of an abandoned command may still come */
#define PR_F_OVERFLOW      0x20u /* the line being received did not fit the buffer */
#define PR_F_TX_DATA       0x40u /* data after the prompt is being written */
#define PR_F_DATA_ECHO     0x80u /* received bytes may be the echo of that data */

/* Lines that are never the answer of a command that expects unprefixed lines: every "+..." and
 * "*..." line, and the plain unsolicited messages of both families. */
static const char* const kKnownUrcPrefixes[] = {"+",         "*",          "RDY",           "START",  "Call Ready",
                                                "SMS ",      "PB DONE",    "RING",          "NO CARRIER",
                                                "NORMAL POWER", "POWERD DOWN", "UNDER-VOLTAGE", "OVER-VOLTAGE",
                                                "DST:",      NULL};

static GSM_Prompt_Instance* fromIf(GSM_Prompt_Interface* p)
{
    return GSM_CONTAINER_OF(p, GSM_Prompt_Instance, _i);
}

static const GSM_Prompt_Instance* fromIfConst(const GSM_Prompt_Interface* p)
{
    return (const GSM_Prompt_Instance*)(const void*)((const uint8_t*)p - offsetof(GSM_Prompt_Instance, _i));
}

static uint8_t* lineBuffer(GSM_Prompt_Instance* inst, uint16_t* cap)
{
    if ((inst->DataBuffer != NULL) && (inst->DataBufferSize >= 2u))
    {
        *cap = (inst->DataBufferSize > 0xFFFFu) ? 0xFFFFu : (uint16_t)inst->DataBufferSize;
        return inst->DataBuffer;
    }
    *cap = (uint16_t)GSM_PROMPT_FALLBACK_LINE_SIZE;
    return inst->FallbackLine;
}

static uint16_t echoCapacity(const GSM_Prompt_Instance* inst)
{
    if (inst->EchoCancellationBuffer == NULL)
    {
        return 0u;
    }
    return (inst->EchoCancellationBufferSize > 0xFFFFu) ? 0xFFFFu : (uint16_t)inst->EchoCancellationBufferSize;
}

static uint16_t hashStep(uint16_t h, uint8_t b)
{
    return (uint16_t)((uint16_t)(h * 31u) + b);
}

static bool matchesAnyPrefix(const char* line, uint16_t len, const char* const* prefixes)
{
    if (prefixes == NULL)
    {
        return false;
    }
    while (*prefixes != NULL)
    {
        if (gsmUtilStartsWith(line, len, *prefixes))
        {
            return true;
        }
        prefixes++;
    }
    return false;
}

/* Ends the running command with a final status. */
static void finishCommand(GSM_Prompt_Instance* inst, GSM_Prompt_CmdStatus status, int16_t code)
{
    inst->Flags = (uint8_t)(inst->Flags & (uint8_t)~(PR_F_ACTIVE | PR_F_COMPOSING | PR_F_ECHO_PENDING | PR_F_TX_DATA | PR_F_DATA_ECHO));
    inst->_i.Status = (uint8_t)status;
    inst->ErrorCode = code;
    inst->TxDataLeft = 0u;
    inst->CmdTimer_ms = gsm__SysTime_ms(); /* start of the pause before the next command */
    if (status == GSM_Prompt_CmdStatus_Timeout)
    {
        if (inst->_i.ConsecutiveTimeouts < 255u)
        {
            inst->_i.ConsecutiveTimeouts++;
        }
        inst->Flags |= PR_F_DROP_OK;
    }
    else if (status != GSM_Prompt_CmdStatus_Aborted)
    {
        inst->_i.ConsecutiveTimeouts = 0u;
    }
}

static bool commandRunning(const GSM_Prompt_Instance* inst)
{
    return (inst->Flags & (PR_F_ACTIVE | PR_F_COMPOSING)) != 0u;
}

/* Final result codes: whole lines, or a prefix followed by the error number / text. */
typedef struct
{
    const char* Text;
    uint8_t Status;   /* GSM_Prompt_CmdStatus */
    uint8_t IsPrefix; /* "+CME ERROR:" / "+CMS ERROR:" carry a code */
} PromptFinal;

static const PromptFinal kFinals[] = {
    {"OK", (uint8_t)GSM_Prompt_CmdStatus_Ok, 0u},
    {"ERROR", (uint8_t)GSM_Prompt_CmdStatus_Error, 0u},
    {"+CME ERROR:", (uint8_t)GSM_Prompt_CmdStatus_CmeError, 1u},
    {"+CMS ERROR:", (uint8_t)GSM_Prompt_CmdStatus_CmsError, 1u},
    {"NO CARRIER", (uint8_t)GSM_Prompt_CmdStatus_OtherFinal, 0u},
    {"BUSY", (uint8_t)GSM_Prompt_CmdStatus_OtherFinal, 0u},
    {"NO ANSWER", (uint8_t)GSM_Prompt_CmdStatus_OtherFinal, 0u},
    {"NO DIALTONE", (uint8_t)GSM_Prompt_CmdStatus_OtherFinal, 0u},
};

/* Final result code of a line (Idle when it is none); *code gets a +CME/+CMS number or -1. */
static GSM_Prompt_CmdStatus finalCode(const char* line, uint16_t len, int16_t* code)
{
    uint8_t i;
    *code = -1;
    for (i = 0u; i < (uint8_t)(sizeof(kFinals) / sizeof(kFinals[0])); i++)
    {
        if (kFinals[i].IsPrefix != 0u)
        {
            if (gsmUtilStartsWith(line, len, kFinals[i].Text))
            {
                uint16_t pos = 11u;
                uint32_t v;
                if (gsmUtilParseUint(line, len, &pos, &v) && (pos == len) && (v <= 32767u))
                {
                    *code = (int16_t)v;
                }
                return (GSM_Prompt_CmdStatus)kFinals[i].Status;
            }
        }
        else if (gsmUtilEquals(line, len, kFinals[i].Text))
        {
            return (GSM_Prompt_CmdStatus)kFinals[i].Status;
        }
    }
    return GSM_Prompt_CmdStatus_Idle;
}

static bool isEcho(const GSM_Prompt_Instance* inst, const char* line, uint16_t len)
{
    uint16_t h = 0u;
    uint16_t i;
    uint16_t cap;
    if (len != inst->EchoLen)
    {
        return false;
    }
    for (i = 0u; i < len; i++)
    {
        h = hashStep(h, (uint8_t)line[i]);
    }
    if (h != inst->EchoHash)
    {
        return false;
    }
    cap = echoCapacity(inst);
    for (i = 0u; (i < len) && (i < cap); i++)
    {
        if (inst->EchoCancellationBuffer[i] != (uint8_t)line[i])
        {
            return false;
        }
    }
    return true;
}

static bool dispatchUrc(GSM_Prompt_Instance* inst, const char* line, uint16_t len)
{
    GSM_Prompt_UrcSubscriber* s = inst->Urcs;
    bool any = false;
    while (s != NULL)
    {
        GSM_Prompt_UrcSubscriber* next = s->Next;
        if ((s->Handler != NULL) && matchesAnyPrefix(line, len, s->Prefixes))
        {
            s->Handler(s->Context, line, len);
            any = true;
        }
        s = next;
    }
    return any;
}

/* Routes one complete, non-empty line. */
static void handleLine(GSM_Prompt_Instance* inst, const char* line, uint16_t len)
{
    GSM_Prompt_CmdStatus fin;
    int16_t code;
    bool active = (inst->Flags & PR_F_ACTIVE) != 0u;
    const GSM_Prompt_CmdSpec* spec = inst->CmdSpec;

    /* 1. echo of the pending command */
    if (((inst->Flags & PR_F_ECHO_PENDING) != 0u) && isEcho(inst, line, len))
    {
        inst->Flags = (uint8_t)(inst->Flags & (uint8_t)~PR_F_ECHO_PENDING);
        return;
    }

    /* 2. final result codes */
    fin = finalCode(line, len, &code);
    if (fin != GSM_Prompt_CmdStatus_Idle)
    {
        if (active && ((inst->Flags & PR_F_TX_DATA) == 0u))
        {
            finishCommand(inst, fin, code);
            return;
        }
        if (active)
        {
            return; /* still writing data: cannot be the answer yet */
        }
        if ((fin == GSM_Prompt_CmdStatus_Ok || fin == GSM_Prompt_CmdStatus_Error) && ((inst->Flags & PR_F_DROP_OK) != 0u))
        {
            inst->Flags = (uint8_t)(inst->Flags & (uint8_t)~PR_F_DROP_OK); /* late answer of an abandoned command */
            return;
        }
        if (fin != GSM_Prompt_CmdStatus_OtherFinal)
        {
            GSM_DEBUG_TEXT("GSM prompt: unexpected result dropped\r\n");
            return;
        }
        /* NO CARRIER & co. outside a command: offered to the subscribers below. */
    }

    /* 2b. "DOWNLOAD" of AT+HTTPDATA: the data prompt of that command */
    if (active && (spec != NULL) && ((spec->Flags & GSM_PROMPT_CMD_DOWNLOAD) != 0u) && ((inst->Flags & PR_F_TX_DATA) == 0u) &&
        (inst->_i.Status == (uint8_t)GSM_Prompt_CmdStatus_Pending) && gsmUtilEquals(line, len, "DOWNLOAD"))
    {
        inst->_i.Status = (uint8_t)GSM_Prompt_CmdStatus_DataPrompt;
        inst->Flags = (uint8_t)(inst->Flags & (uint8_t)~PR_F_ECHO_PENDING);
        return;
    }

    /* 3. expected response prefix */
    if (active && (spec != NULL) && (spec->Prefix != NULL) && gsmUtilStartsWith(line, len, spec->Prefix))
    {
        if (inst->CmdOnLine != NULL)
        {
            inst->CmdOnLine(inst->CmdCtx, line, len);
        }
        if (((spec->Flags & GSM_PROMPT_CMD_PREFIX_FINAL) != 0u) && ((inst->Flags & PR_F_ACTIVE) != 0u))
        {
            finishCommand(inst, GSM_Prompt_CmdStatus_Ok, -1);
        }
        return;
    }

    /* 4. unsolicited result codes */
    if (dispatchUrc(inst, line, len))
    {
        return;
    }

    /* 5. unprefixed answer lines */
    if (active && (spec != NULL) && ((spec->Flags & GSM_PROMPT_CMD_UNPREFIXED) != 0u) && ((inst->Flags & PR_F_TX_DATA) == 0u) &&
        !matchesAnyPrefix(line, len, kKnownUrcPrefixes))
    {
        if (inst->CmdOnLine != NULL)
        {
            inst->CmdOnLine(inst->CmdCtx, line, len);
        }
        return;
    }
    GSM_DEBUG_TEXT("GSM prompt: line dropped\r\n");
}

static void flushBinary(GSM_Prompt_Instance* inst, uint8_t* buf)
{
    GSM_Prompt_BinaryHandler h = inst->BinHandler;
    uint16_t n = inst->LineLen;
    inst->LineLen = 0u;
    if (inst->BinRemaining == 0u)
    {
        inst->BinHandler = NULL;
    }
    if ((h != NULL) && (n > 0u))
    {
        h(inst->BinCtx, buf, n, inst->BinRemaining);
    }
}

static void receiveByte(GSM_Prompt_Instance* inst, uint8_t b, uint8_t* buf, uint16_t cap)
{
    /* Counted binary payload: raw bytes. */
    if (inst->BinRemaining > 0u)
    {
        if (inst->BinSkipLf != 0u)
        {
            inst->BinSkipLf = 0u;
            if (b == '\n')
            {
                return; /* second half of the header's CR LF */
            }
        }
        buf[inst->LineLen++] = b;
        inst->BinRemaining--;
        if ((inst->BinRemaining == 0u) || (inst->LineLen >= cap))
        {
            flushBinary(inst, buf);
        }
        return;
    }

    /* The blank after the '>' of the data prompt (it may arrive after the data was queued). */
    if ((inst->Flags & PR_F_SKIP_SPACE) != 0u)
    {
        inst->Flags = (uint8_t)(inst->Flags & (uint8_t)~PR_F_SKIP_SPACE);
        if (b == ' ')
        {
            return;
        }
    }

    /* Echo of the data written after the prompt. */
    if ((inst->Flags & PR_F_DATA_ECHO) != 0u)
    {
        uint16_t written = (uint16_t)(inst->TxDataLen - inst->TxDataLeft);
        if ((inst->TxDataEchoPos < written) && (inst->TxDataStart != NULL) && (b == inst->TxDataStart[inst->TxDataEchoPos]))
        {
            inst->TxDataEchoPos++;
            return;
        }
        if ((inst->TxDataEchoPos == inst->TxDataLen) && (inst->TxDataLen > 0u) && (inst->TxTerminator >= 0) &&
            (b == (uint8_t)inst->TxTerminator))
        {
            inst->Flags = (uint8_t)(inst->Flags & (uint8_t)~PR_F_DATA_ECHO); /* echo complete */
            return;
        }
        inst->Flags = (uint8_t)(inst->Flags & (uint8_t)~PR_F_DATA_ECHO);
        if (inst->TxDataEchoPos > 0u)
        {
            inst->LineLen = 0u; /* the echo never ends a line: start afresh */
        }
    }

    if ((b == '\r') || (b == '\n'))
    {
        uint16_t n = inst->LineLen;
        bool overflow = (inst->Flags & PR_F_OVERFLOW) != 0u;
        inst->LineLen = 0u;
        inst->Flags = (uint8_t)(inst->Flags & (uint8_t)~PR_F_OVERFLOW);
        if (overflow)
        {
            GSM_DEBUG_TEXT("GSM prompt: line too long, dropped\r\n");
            return;
        }
        inst->BinSkipLf = 0u;
        if (n > 0u)
        {
            handleLine(inst, (const char*)buf, n);
            if ((b == '\r') && (inst->BinRemaining > 0u))
            {
                inst->BinSkipLf = 1u; /* a counted payload starts after the LF */
            }
        }
        return;
    }
    if ((b < 0x20u) || (b > 0x7Eu))
    {
        return; /* garbage after power-on or a baud change */
    }
    if ((inst->Flags & PR_F_OVERFLOW) != 0u)
    {
        return;
    }
    if (inst->LineLen >= cap)
    {
        inst->Flags |= PR_F_OVERFLOW;
        return;
    }
    buf[inst->LineLen++] = b;

    /* The data prompt: '>' at the start of a line, only while a command waits for it. */
    if ((b == '>') && (inst->LineLen == 1u) && ((inst->Flags & PR_F_ACTIVE) != 0u) && ((inst->Flags & PR_F_TX_DATA) == 0u) &&
        (inst->_i.Status == (uint8_t)GSM_Prompt_CmdStatus_Pending) && (inst->CmdSpec != NULL) &&
        ((inst->CmdSpec->Flags & GSM_PROMPT_CMD_DATA_PROMPT) != 0u))
    {
        inst->LineLen = 0u;
        inst->_i.Status = (uint8_t)GSM_Prompt_CmdStatus_DataPrompt;
        inst->Flags = (uint8_t)((inst->Flags | PR_F_SKIP_SPACE) & (uint8_t)~PR_F_ECHO_PENDING);
    }
}

static void writeByte(GSM_Prompt_Instance* inst, uint8_t b)
{
    if (inst->Write != NULL)
    {
        inst->Write(inst, b);
    }
}

static void writeData(GSM_Prompt_Instance* inst, uint32_t now)
{
    uint16_t n = 0u;
    if ((inst->WriteCompleted != NULL) && !inst->WriteCompleted(inst))
    {
        return;
    }
    while ((inst->TxDataLeft > 0u) && (n < GSM_PROMPT_TX_CHUNK))
    {
        writeByte(inst, inst->TxDataStart[inst->TxDataLen - inst->TxDataLeft]);
        inst->TxDataLeft--;
        n++;
    }
    inst->CmdTimer_ms = now + inst->TxDataTimeout_ms;
    if (inst->TxDataLeft == 0u)
    {
        if (inst->TxTerminator >= 0)
        {
            writeByte(inst, (uint8_t)inst->TxTerminator);
        }
        inst->Flags = (uint8_t)(inst->Flags & (uint8_t)~PR_F_TX_DATA);
    }
}

/* A command given up after its "> " prompt: ESC ends the modem's data entry without sending, so that
 * the next command line is not taken as data. */
static void leaveDataEntry(GSM_Prompt_Instance* inst)
{
    if ((inst->_i.Status == (uint8_t)GSM_Prompt_CmdStatus_DataPrompt) || ((inst->Flags & PR_F_TX_DATA) != 0u))
    {
        writeByte(inst, 0x1Bu);
    }
}

static void resetSession(GSM_Prompt_Instance* inst)
{
    if (commandRunning(inst) || (inst->_i.Status == (uint8_t)GSM_Prompt_CmdStatus_DataPrompt))
    {
        finishCommand(inst, GSM_Prompt_CmdStatus_Aborted, -1);
    }
    inst->_i.Owner = NULL;
    inst->_i.ConsecutiveTimeouts = 0u;
    inst->LineLen = 0u;
    inst->BinRemaining = 0u;
    inst->BinHandler = NULL;
    inst->BinSkipLf = 0u;
    inst->Flags = 0u;
}

void gsmPromptInit(GSM_Prompt_Instance* inst)
{
    if (inst == NULL)
    {
        return;
    }
    inst->_i.Owner = NULL;
    inst->_i.Status = (uint8_t)GSM_Prompt_CmdStatus_Idle;
    inst->_i.ConsecutiveTimeouts = 0u;
    inst->CmdSpec = NULL;
    inst->CmdOnLine = NULL;
    inst->CmdCtx = NULL;
    inst->CmdOwner = NULL;
    inst->Urcs = NULL;
    inst->BinHandler = NULL;
    inst->BinCtx = NULL;
    inst->TxDataStart = NULL;
    inst->TxDataLeft = 0u;
    inst->TxDataLen = 0u;
    inst->TxDataEchoPos = 0u;
    inst->LineLen = 0u;
    inst->BinRemaining = 0u;
    inst->BinSkipLf = 0u;
    inst->EchoLen = 0u;
    inst->EchoHash = 0u;
    inst->ErrorCode = -1;
    inst->TxTerminator = GSM_PROMPT_DATA_NO_TERMINATOR;
    inst->Flags = 0u;
    inst->LastRx_ms = 0u;
    inst->CmdTimer_ms = gsm__SysTime_ms() - GSM_PROMPT_COMMAND_GAP_MS;
    inst->PowerStartCount = gsmPowerIfStartCount(inst->Power);
}

void gsmPromptPoll(GSM_Prompt_Instance* inst)
{
    uint32_t now;
    uint16_t cap;
    uint8_t* buf;
    uint16_t count = 0u;
    bool powered;

    if ((inst == NULL) || (inst->CanRead == NULL) || (inst->Read == NULL))
    {
        return;
    }
    now = gsm__SysTime_ms();
    powered = (inst->Power == NULL) || (inst->Power->State == (uint8_t)GSM_Power_State_On);
    if (inst->Power != NULL)
    {
        uint8_t starts = inst->Power->StartCount;
        if (!powered || (starts != inst->PowerStartCount))
        {
            inst->PowerStartCount = starts;
            if (commandRunning(inst) || (inst->_i.Owner != NULL) || (inst->LineLen != 0u) || (inst->BinRemaining != 0u))
            {
                resetSession(inst);
            }
        }
    }

    if (powered && ((inst->Flags & PR_F_TX_DATA) != 0u))
    {
        writeData(inst, now);
    }

    buf = lineBuffer(inst, &cap);
    while ((count < GSM_PROMPT_MAX_RX_BYTES_PER_POLL) && inst->CanRead(inst))
    {
        uint8_t b = inst->Read(inst);
        count++;
        if (!powered)
        {
            continue; /* noise of a switched-off or starting modem */
        }
        inst->LastRx_ms = now;
        receiveByte(inst, b, buf, cap);
    }
    if ((inst->BinRemaining > 0u) && (inst->LineLen > 0u))
    {
        flushBinary(inst, buf); /* hand over what arrived so far */
    }

    if (((inst->Flags & PR_F_ACTIVE) != 0u) && GSM_TIME_REACHED(now, inst->CmdTimer_ms))
    {
        GSM_DEBUG_TEXT("GSM prompt: command timed out\r\n");
        finishCommand(inst, GSM_Prompt_CmdStatus_Timeout, -1);
    }
}

/* ---- Interface: claim ---- */

bool gsmPromptClaim(GSM_Prompt_Interface* prompt, const void* owner)
{
    if ((prompt == NULL) || (owner == NULL))
    {
        return false;
    }
    if (prompt->Owner == NULL)
    {
        prompt->Owner = owner;
    }
    return prompt->Owner == owner;
}

void gsmPromptRelease(GSM_Prompt_Interface* prompt, const void* owner)
{
    GSM_Prompt_Instance* inst;
    if ((prompt == NULL) || (owner == NULL) || (prompt->Owner != owner))
    {
        return;
    }
    inst = fromIf(prompt);
    if (commandRunning(inst) || (prompt->Status == (uint8_t)GSM_Prompt_CmdStatus_DataPrompt))
    {
        leaveDataEntry(inst);
        finishCommand(inst, GSM_Prompt_CmdStatus_Aborted, -1);
        inst->Flags |= PR_F_DROP_OK;
    }
    prompt->Owner = NULL;
    prompt->Status = (uint8_t)GSM_Prompt_CmdStatus_Idle;
    inst->CmdOwner = NULL;
}

bool gsmPromptIsClaimedBy(const GSM_Prompt_Interface* prompt, const void* owner)
{
    return (prompt != NULL) && (owner != NULL) && (prompt->Owner == owner);
}

/* ---- Interface: commands ---- */

bool gsmPromptCmdBegin(GSM_Prompt_Interface* prompt, const void* owner, const GSM_Prompt_CmdSpec* spec,
                       GSM_Prompt_LineHandler on_line, void* ctx)
{
    GSM_Prompt_Instance* inst;
    if ((prompt == NULL) || (owner == NULL) || (spec == NULL) || (prompt->Owner != owner))
    {
        return false;
    }
    inst = fromIf(prompt);
    if (commandRunning(inst) || (prompt->Status == (uint8_t)GSM_Prompt_CmdStatus_DataPrompt) || (inst->BinRemaining > 0u) ||
        ((inst->Power != NULL) && !gsmPowerIfIsOn(inst->Power)))
    {
        return false;
    }
    if (GSM_TIME_ELAPSED(gsm__SysTime_ms(), inst->CmdTimer_ms) < GSM_PROMPT_COMMAND_GAP_MS)
    {
        return false;
    }
    inst->CmdSpec = spec;
    inst->CmdOnLine = on_line;
    inst->CmdCtx = ctx;
    inst->CmdOwner = owner;
    inst->ErrorCode = -1;
    inst->EchoLen = 0u;
    inst->EchoHash = 0u;
    inst->Flags = (uint8_t)((inst->Flags | PR_F_COMPOSING) & (uint8_t)~(PR_F_ECHO_PENDING | PR_F_DATA_ECHO));
    prompt->Status = (uint8_t)GSM_Prompt_CmdStatus_Pending;
    return true;
}

void gsmPromptCmdAppendBytes(GSM_Prompt_Interface* prompt, const uint8_t* data, uint16_t len)
{
    GSM_Prompt_Instance* inst;
    uint16_t cap;
    uint16_t i;
    if ((prompt == NULL) || (data == NULL))
    {
        return;
    }
    inst = fromIf(prompt);
    if ((inst->Flags & PR_F_COMPOSING) == 0u)
    {
        return;
    }
    cap = echoCapacity(inst);
    for (i = 0u; i < len; i++)
    {
        writeByte(inst, data[i]);
        if (inst->EchoLen < cap)
        {
            inst->EchoCancellationBuffer[inst->EchoLen] = data[i];
        }
        if (inst->EchoLen < 0xFFFFu)
        {
            inst->EchoLen++;
        }
        inst->EchoHash = hashStep(inst->EchoHash, data[i]);
    }
}

void gsmPromptCmdAppend(GSM_Prompt_Interface* prompt, const char* text)
{
    uint16_t n = 0u;
    if (text == NULL)
    {
        return;
    }
    while ((text[n] != '\0') && (n < 0xFFFFu))
    {
        n++;
    }
    gsmPromptCmdAppendBytes(prompt, (const uint8_t*)text, n);
}

void gsmPromptCmdAppendUint(GSM_Prompt_Interface* prompt, uint32_t value, uint8_t min_digits)
{
    char tmp[12];
    if (min_digits > 10u)
    {
        min_digits = 10u;
    }
    if (gsmUtilUintToStr(tmp, (uint8_t)sizeof(tmp), value, min_digits) > 0u)
    {
        gsmPromptCmdAppend(prompt, tmp);
    }
}

void gsmPromptCmdAppendQuoted(GSM_Prompt_Interface* prompt, const char* text)
{
    static const uint8_t kQuote = (uint8_t)'"';
    gsmPromptCmdAppendBytes(prompt, &kQuote, 1u);
    gsmPromptCmdAppend(prompt, text);
    gsmPromptCmdAppendBytes(prompt, &kQuote, 1u);
}

void gsmPromptCmdSend(GSM_Prompt_Interface* prompt)
{
    GSM_Prompt_Instance* inst;
    if (prompt == NULL)
    {
        return;
    }
    inst = fromIf(prompt);
    if ((inst->Flags & PR_F_COMPOSING) == 0u)
    {
        return;
    }
    writeByte(inst, (uint8_t)'\r');
    inst->Flags = (uint8_t)((inst->Flags | PR_F_ACTIVE | PR_F_ECHO_PENDING) & (uint8_t)~PR_F_COMPOSING);
    inst->CmdTimer_ms = gsm__SysTime_ms() + inst->CmdSpec->Timeout_ms;
}

bool gsmPromptCmdStart(GSM_Prompt_Interface* prompt, const void* owner, const char* command,
                       const GSM_Prompt_CmdSpec* spec, GSM_Prompt_LineHandler on_line, void* ctx)
{
    if ((command == NULL) || !gsmPromptCmdBegin(prompt, owner, spec, on_line, ctx))
    {
        return false;
    }
    gsmPromptCmdAppend(prompt, command);
    gsmPromptCmdSend(prompt);
    return true;
}

GSM_Prompt_CmdStatus gsmPromptCmdStatus(const GSM_Prompt_Interface* prompt, const void* owner)
{
    if ((prompt == NULL) || (owner == NULL) || (fromIfConst(prompt)->CmdOwner != owner))
    {
        return GSM_Prompt_CmdStatus_Idle;
    }
    return (GSM_Prompt_CmdStatus)prompt->Status;
}

int16_t gsmPromptCmdErrorCode(const GSM_Prompt_Interface* prompt)
{
    if (prompt == NULL)
    {
        return -1;
    }
    if ((prompt->Status != (uint8_t)GSM_Prompt_CmdStatus_CmeError) && (prompt->Status != (uint8_t)GSM_Prompt_CmdStatus_CmsError))
    {
        return -1;
    }
    return fromIfConst(prompt)->ErrorCode;
}

void gsmPromptCmdAbort(GSM_Prompt_Interface* prompt, const void* owner)
{
    GSM_Prompt_Instance* inst;
    if ((prompt == NULL) || (owner == NULL))
    {
        return;
    }
    inst = fromIf(prompt);
    if ((inst->CmdOwner != owner) || !(commandRunning(inst) || (prompt->Status == (uint8_t)GSM_Prompt_CmdStatus_DataPrompt)))
    {
        return;
    }
    leaveDataEntry(inst);
    finishCommand(inst, GSM_Prompt_CmdStatus_Aborted, -1);
    inst->Flags |= PR_F_DROP_OK;
}

bool gsmPromptDataSend(GSM_Prompt_Interface* prompt, const void* owner, const uint8_t* data, uint16_t len,
                       int16_t terminator, uint32_t timeout_ms)
{
    GSM_Prompt_Instance* inst;
    if ((prompt == NULL) || (owner == NULL) || ((data == NULL) && (len > 0u)))
    {
        return false;
    }
    inst = fromIf(prompt);
    if ((inst->CmdOwner != owner) || (prompt->Status != (uint8_t)GSM_Prompt_CmdStatus_DataPrompt))
    {
        return false;
    }
    inst->TxDataStart = data;
    inst->TxDataLeft = len;
    inst->TxDataLen = len;
    inst->TxDataEchoPos = 0u;
    inst->TxTerminator = terminator;
    inst->TxDataTimeout_ms = timeout_ms;
    inst->Flags = (uint8_t)(inst->Flags | PR_F_TX_DATA | PR_F_DATA_ECHO);
    inst->LineLen = 0u;
    prompt->Status = (uint8_t)GSM_Prompt_CmdStatus_Pending;
    inst->CmdTimer_ms = gsm__SysTime_ms() + timeout_ms;
    writeData(inst, gsm__SysTime_ms());
    return true;
}

void gsmPromptBinaryExpect(GSM_Prompt_Interface* prompt, uint16_t count, GSM_Prompt_BinaryHandler handler, void* ctx)
{
    GSM_Prompt_Instance* inst;
    if ((prompt == NULL) || (count == 0u))
    {
        return;
    }
    inst = fromIf(prompt);
    inst->BinRemaining = count;
    inst->BinHandler = handler;
    inst->BinCtx = ctx;
    inst->LineLen = 0u;
}

void gsmPromptBinaryCancel(GSM_Prompt_Interface* prompt, GSM_Prompt_BinaryHandler handler)
{
    GSM_Prompt_Instance* inst;
    if ((prompt == NULL) || (handler == NULL))
    {
        return;
    }
    inst = fromIf(prompt);
    if ((inst->BinRemaining > 0u) && (inst->BinHandler == handler))
    {
        inst->BinRemaining = 0u;
        inst->BinHandler = NULL;
        inst->BinSkipLf = 0u;
        inst->LineLen = 0u;
    }
}

void gsmPromptUrcSubscribe(GSM_Prompt_Interface* prompt, GSM_Prompt_UrcSubscriber* subscriber)
{
    GSM_Prompt_Instance* inst;
    GSM_Prompt_UrcSubscriber** link;
    if ((prompt == NULL) || (subscriber == NULL))
    {
        return;
    }
    inst = fromIf(prompt);
    link = &inst->Urcs;
    while (*link != NULL)
    {
        if (*link == subscriber)
        {
            return;
        }
        link = &(*link)->Next;
    }
    subscriber->Next = NULL;
    *link = subscriber;
}

void gsmPromptResetSession(GSM_Prompt_Interface* prompt)
{
    if (prompt != NULL)
    {
        resetSession(fromIf(prompt));
    }
}

uint8_t gsmPromptConsecutiveTimeouts(const GSM_Prompt_Interface* prompt)
{
    return (prompt != NULL) ? prompt->ConsecutiveTimeouts : 0u;
}

uint32_t gsmPromptLastRxTime(const GSM_Prompt_Interface* prompt)
{
    return (prompt != NULL) ? fromIfConst(prompt)->LastRx_ms : 0u;
}

bool gsmPromptModemPowered(const GSM_Prompt_Interface* prompt)
{
    const GSM_Prompt_Instance* inst;
    if (prompt == NULL)
    {
        return false;
    }
    inst = fromIfConst(prompt);
    return (inst->Power == NULL) || gsmPowerIfIsOn(inst->Power);
}
