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
 * "*..." line, and the plain unsolicited messages of both families. Texts one after another, each
 * zero-terminated, the list ends with an empty text (kept in program memory on AVR). */
static const char kKnownUrcPrefixes[] GSM_PGM = "+\0*\0RDY\0START\0Call Ready\0SMS \0PB DONE\0RING\0NO CARRIER\0"
                                                "NORMAL POWER\0POWERD DOWN\0UNDER-VOLTAGE\0OVER-VOLTAGE\0DST:\0";

/* Final result codes: whole lines ("OK" and "ERROR" first: their position gives the status), and
 * the two error results that carry a number or a text after the prefix. */
static const char kFinalLines[] GSM_PGM = "OK\0ERROR\0NO CARRIER\0BUSY\0NO ANSWER\0NO DIALTONE\0";
static const char kFinalCoded[] GSM_PGM = "+CME ERROR:\0+CMS ERROR:\0";
static const char kDownload[] GSM_PGM = "DOWNLOAD\0";

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
        *cap = inst->DataBufferSize;
        return inst->DataBuffer;
    }
#if GSM_PROMPT_FALLBACK_LINE_SIZE > 0
    *cap = (uint16_t)GSM_PROMPT_FALLBACK_LINE_SIZE;
    return inst->FallbackLine;
#else
    *cap = 0u; /* no line fits: every line overflows and is dropped */
    return inst->DataBuffer;
#endif
}

static uint16_t echoCapacity(const GSM_Prompt_Instance* inst)
{
    return (inst->EchoCancellationBuffer == NULL) ? 0u : inst->EchoCancellationBufferSize;
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
    inst->Code = code;
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

/* Finds the line in a list laid out as kKnownUrcPrefixes (read with GSM_PGM_READ_BYTE): with
 * `prefix` true a text that begins the line matches, otherwise only a text equal to the whole line.
 * Returns 1 for the first text, 2 for the second..., 0 when none matches. */
static uint8_t matchList(const char* line, uint16_t len, const char* list, bool prefix)
{
    uint8_t n = 1u;
    while (GSM_PGM_READ_BYTE(list) != 0u)
    {
        uint16_t i = 0u;
        uint8_t c;
        while (((c = GSM_PGM_READ_BYTE(list)) != 0u) && (i < len) && ((uint8_t)line[i] == c))
        {
            list++;
            i++;
        }
        if ((c == 0u) && (prefix || (i == len)))
        {
            return n;
        }
        while (GSM_PGM_READ_BYTE(list) != 0u) /* rest of this text */
        {
            list++;
        }
        list++;
        n++;
    }
    return 0u;
}

/* Final result code of a line (Idle when it is none); *code gets a +CME/+CMS number or -1. */
static GSM_Prompt_CmdStatus finalCode(const char* line, uint16_t len, int16_t* code)
{
    uint8_t k = matchList(line, len, kFinalLines, false);
    uint16_t pos = 11u; /* length of both coded prefixes */
    uint32_t v;
    *code = -1;
    if (k != 0u)
    {
        return (k <= 2u) ? (GSM_Prompt_CmdStatus)((uint8_t)GSM_Prompt_CmdStatus_Ok + k - 1u) : GSM_Prompt_CmdStatus_OtherFinal;
    }
    k = matchList(line, len, kFinalCoded, true);
    if (k == 0u)
    {
        return GSM_Prompt_CmdStatus_Idle;
    }
    if (gsmUtilParseUint(line, len, &pos, &v) && (pos == len) && (v <= 32767u))
    {
        *code = (int16_t)v;
    }
    return (GSM_Prompt_CmdStatus)((uint8_t)GSM_Prompt_CmdStatus_CmeError + k - 1u);
}

static bool isEcho(const GSM_Prompt_Instance* inst, const char* line, uint16_t len)
{
    uint16_t h = 0u;
    uint16_t i;
    uint16_t cap = echoCapacity(inst);
    if (len != inst->EchoLen)
    {
        return false;
    }
    /* The copy (as far as it reaches) must match, and the checksum covers the whole line. */
    for (i = 0u; i < len; i++)
    {
        if ((i < cap) && (inst->EchoCancellationBuffer[i] != (uint8_t)line[i]))
        {
            return false;
        }
        h = hashStep(h, (uint8_t)line[i]);
    }
    return h == inst->EchoHash;
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

/* The data prompt of kind `kind` (GSM_PROMPT_CMD_DATA_PROMPT or GSM_PROMPT_CMD_DOWNLOAD) for the
 * running command, when it waits for one: the status becomes DataPrompt and `flags` are set.
 * Returns false (nothing changed) when no command waits for that prompt. */
static bool enterDataPrompt(GSM_Prompt_Instance* inst, uint8_t kind, uint8_t flags)
{
    const GSM_Prompt_CmdSpec* spec = inst->CmdSpec;
    if (((inst->Flags & (PR_F_ACTIVE | PR_F_TX_DATA)) != PR_F_ACTIVE) ||
        (inst->_i.Status != (uint8_t)GSM_Prompt_CmdStatus_Pending) || (spec == NULL) || ((spec->Flags & kind) == 0u))
    {
        return false;
    }
    inst->_i.Status = (uint8_t)GSM_Prompt_CmdStatus_DataPrompt;
    inst->Flags = (uint8_t)((inst->Flags | flags) & (uint8_t)~PR_F_ECHO_PENDING);
    return true;
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
        if (active)
        {
            if ((inst->Flags & PR_F_TX_DATA) == 0u) /* still writing data: cannot be the answer yet */
            {
                finishCommand(inst, fin, code);
            }
            return;
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
    if ((matchList(line, len, kDownload, false) != 0u) && enterDataPrompt(inst, GSM_PROMPT_CMD_DOWNLOAD, 0u))
    {
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
        (matchList(line, len, kKnownUrcPrefixes, true) == 0u))
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
#if GSM_PROMPT_FALLBACK_LINE_SIZE == 0
        if (cap == 0u)
        {
            inst->BinRemaining = 0u; /* no buffer at all: the payload cannot be delivered */
            inst->BinHandler = NULL;
            return;
        }
#endif
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
        if ((inst->TxDataEchoPos == inst->TxDataLen) && (inst->TxDataLen > 0u) && (inst->Code >= 0) &&
            (b == (uint8_t)inst->Code))
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
    if ((b == '>') && (inst->LineLen == 1u) && enterDataPrompt(inst, GSM_PROMPT_CMD_DATA_PROMPT, PR_F_SKIP_SPACE))
    {
        inst->LineLen = 0u;
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
        if (inst->Code >= 0)
        {
            writeByte(inst, (uint8_t)inst->Code);
        }
        inst->Flags = (uint8_t)(inst->Flags & (uint8_t)~PR_F_TX_DATA);
    }
}

/* True while a command of the last owner is open: being composed, awaiting its result, or at its
 * data prompt. */
static bool commandOpen(const GSM_Prompt_Instance* inst)
{
    return commandRunning(inst) || (inst->_i.Status == (uint8_t)GSM_Prompt_CmdStatus_DataPrompt);
}

/* Gives up the open command: Aborted, and a late final result of it will be dropped. After its "> "
 * prompt ESC ends the modem's data entry without sending, so that the next command line is not
 * taken as data. Nothing happens when no command is open. */
static void abandonCommand(GSM_Prompt_Instance* inst)
{
    if (!commandOpen(inst))
    {
        return;
    }
    if ((inst->_i.Status == (uint8_t)GSM_Prompt_CmdStatus_DataPrompt) || ((inst->Flags & PR_F_TX_DATA) != 0u))
    {
        writeByte(inst, 0x1Bu);
    }
    finishCommand(inst, GSM_Prompt_CmdStatus_Aborted, -1);
    inst->Flags |= PR_F_DROP_OK;
}

static void resetSession(GSM_Prompt_Instance* inst)
{
    if (commandOpen(inst))
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
    uint8_t* p;
    if (inst == NULL)
    {
        return;
    }
    /* Interface and private state from _i to the end: all zero (no claim, status Idle, no command,
     * no subscribers, no binary payload, no pending data, empty line), then the non-zero values. */
    for (p = (uint8_t*)&inst->_i; p < (uint8_t*)(inst + 1); p++)
    {
        *p = 0u;
    }
    inst->Code = -1; /* no error number, no data terminator */
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
    abandonCommand(inst);
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
    if (commandOpen(inst) || (inst->BinRemaining > 0u) ||
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
    inst->Code = -1;
    inst->EchoLen = 0u;
    inst->EchoHash = 0u;
    inst->Flags = (uint8_t)((inst->Flags | PR_F_COMPOSING) & (uint8_t)~(PR_F_ECHO_PENDING | PR_F_DATA_ECHO));
    prompt->Status = (uint8_t)GSM_Prompt_CmdStatus_Pending;
    return true;
}

/* Bytes of a command text: in RAM, or on AVR optionally in program memory (`pgm` true). */
#if defined(__AVR__)
#define PR_TEXT_BYTE(pgm, p) ((pgm) ? GSM_PGM_READ_BYTE(p) : *(p))
#else
#define PR_TEXT_BYTE(pgm, p) (*(p))
#endif

static void appendCommand(GSM_Prompt_Interface* prompt, const uint8_t* data, uint16_t len, bool pgm)
{
    GSM_Prompt_Instance* inst;
    uint16_t cap;
    uint16_t i;
    GSM_UNUSED_ARG(pgm);
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
        uint8_t b = PR_TEXT_BYTE(pgm, &data[i]);
        writeByte(inst, b);
        if (inst->EchoLen < cap)
        {
            inst->EchoCancellationBuffer[inst->EchoLen] = b;
        }
        if (inst->EchoLen < 0xFFFFu)
        {
            inst->EchoLen++;
        }
        inst->EchoHash = hashStep(inst->EchoHash, b);
    }
}

/* Appends a zero-terminated text (in program memory on AVR when `pgm` is true). */
static void appendText(GSM_Prompt_Interface* prompt, const char* text, bool pgm)
{
    uint16_t n = 0u;
    GSM_UNUSED_ARG(pgm);
    if (text == NULL)
    {
        return;
    }
    while ((PR_TEXT_BYTE(pgm, (const uint8_t*)&text[n]) != 0u) && (n < 0xFFFFu))
    {
        n++;
    }
    appendCommand(prompt, (const uint8_t*)text, n, pgm);
}

void gsmPromptCmdAppendBytes(GSM_Prompt_Interface* prompt, const uint8_t* data, uint16_t len)
{
    appendCommand(prompt, data, len, false);
}

void gsmPromptCmdAppend(GSM_Prompt_Interface* prompt, const char* text)
{
    appendText(prompt, text, false);
}

#if defined(__AVR__)
void gsmPromptCmdAppendP(GSM_Prompt_Interface* prompt, const char* text)
{
    appendText(prompt, text, true);
}
#endif

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
    return fromIfConst(prompt)->Code;
}

void gsmPromptCmdAbort(GSM_Prompt_Interface* prompt, const void* owner)
{
    GSM_Prompt_Instance* inst;
    if ((prompt == NULL) || (owner == NULL))
    {
        return;
    }
    inst = fromIf(prompt);
    if (inst->CmdOwner == owner)
    {
        abandonCommand(inst);
    }
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
    inst->Code = terminator;
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
