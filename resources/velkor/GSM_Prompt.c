/*
 * GSM_Prompt.c - line assembly, echo cancellation, result codes, data prompt, URC routing, claim.
 *
 * Context: everything runs in gsmPromptPoll() and in the interface functions, all called from the
 * main loop. The serial driver's interrupt side only touches its own buffers behind the
 * CanRead / Read / Write / WriteCompleted callbacks.
 *
 * Command state: _i.Status is Pending from gsmPromptCmdBegin on; PR_F_ACTIVE is set once the line
 * is sent (gsmPromptCmdSend) and stays set at the data prompt and while its data is written, until
 * the final result. So a command is being composed while Status is Pending without PR_F_ACTIVE, and
 * a command is open (composed, awaiting its result or at its data prompt) while Status is Pending
 * or DataPrompt.
 */
#include "GSM_Prompt.h"
#include "GSM_Required_Externals.h"
#include "GSM_Util.h"

/* Flags (GSM_Prompt_Interface.Flags, private to this file). */
#define PR_F_ACTIVE       0x01u /* a command was sent and awaits its final result */
#define PR_F_ECHO_PENDING 0x02u /* the echo of the command has not been seen yet */
#define PR_F_SKIP         0x04u /* drop the next byte if it is the blank after the '>' of the data prompt,
                                   or in a counted payload the LF after the CR of its header line */
#define PR_F_DROP_OK      0x08u /* a late final result of an abandoned command may still come */
#define PR_F_OVERFLOW     0x10u /* the line being received did not fit the buffer */
#define PR_F_TX_DATA      0x20u /* data after the prompt is being written */
#define PR_F_DATA_ECHO    0x40u /* received bytes may be the echo of that data */
#define PR_F_HOLD         0x80u /* a command that timed out was released: no claim until the next poll */

#define PR_ST(s) ((uint8_t)GSM_Prompt_CmdStatus_##s)

/* Longest delay of a time-out while received bytes wait to be read (see gsmPromptPoll):
 * 2^PR_RX_BACKLOG_SHIFT ms, about a second. */
#define PR_RX_BACKLOG_SHIFT 10

/* After a command that was written out is given up, no other command begins until its late answer
 * has come (and was dropped), for at most 2^PR_HOLD_SHIFT ms (about 4 s): the modem answers in
 * order, and that answer would complete the next command. */
#define PR_HOLD_SHIFT 12
#define PR_HOLD_MS (1UL << PR_HOLD_SHIFT)

/* The time-out after data written at the "> " prompt is kept in steps of 2^PR_DATA_TIMEOUT_SHIFT ms. */
#define PR_DATA_TIMEOUT_SHIFT 4

/* Unsolicited lines: the boot and shutdown messages first (their positions are PR_URC_...; while a
 * command takes unprefixed lines they are its text), then every "+..." and "*..." line and the other
 * plain unsolicited messages of both families, which are never the answer of a command that expects
 * unprefixed lines ("NO CARRIER" is matched with the final results and never given to a command as
 * an answer line either). Texts one after another, each zero-terminated, the list ends with an
 * empty text (kept in program memory on AVR). */
static const char kKnownUrcPrefixes[] GSM_PGM = "RDY\0START\0*ATREADY: 1\0"
                                                "NORMAL POWER\0POWERD DOWN\0UNDER-VOLTAGE P\0OVER-VOLTAGE P\0"
                                                "+CMTE: 2\0+CMTE: -2\0+\0*\0Call Ready\0SMS \0PB DONE\0RING\0UNDER-\0OVER-\0DST:\0";
#define PR_URC_BOOT_LAST 3u /* "RDY", "START", "*ATREADY: 1": a restart when alone on the line */
#define PR_URC_DOWN_LAST 9u /* then the shutdown messages (not the voltage warnings, "UNDER-VOLTAGE WARNNING" and
                                "OVER-VOLTAGE WARNNING", which "UNDER-" and "OVER-" match later, nor the
                                temperature warnings "+CMTE: 1" and "+CMTE: -1", which "+" matches) */

/* The final result codes, "NO CARRIER" and "DOWNLOAD" (the data prompt of AT+HTTPDATA). A text that
 * ends with ':' begins the line (a number or a text follows), the others are the whole line. The
 * position gives the status: 1 "OK" .. 4 "+CMS ERROR:" are Ok .. CmsError. "NO CARRIER" is matched
 * so that it is never taken for a command's answer line; it ends no command (the other call
 * results, "BUSY", "NO ANSWER" and "NO DIALTONE", only answer a dial, which the library never
 * makes). */
static const char kResults[] GSM_PGM = "OK\0ERROR\0+CME ERROR:\0+CMS ERROR:\0NO CARRIER\0DOWNLOAD\0";
#define PR_RESULT_CME      3u
#define PR_RESULT_CMS      4u
#define PR_RESULT_DOWNLOAD 6u

/* The instance around its interface (the first member: the same address). Integer arithmetic, and
 * the result is used only after the public entry has checked the interface pointer. */
static GSM_Prompt_Instance* fromIf(const GSM_Prompt_Interface* p)
{
    return (GSM_Prompt_Instance*)(uintptr_t)((uintptr_t)p - offsetof(GSM_Prompt_Instance, _i));
}

static bool commandOpen(const GSM_Prompt_Instance* inst)
{
    return (uint8_t)(inst->_i.Status - PR_ST(Pending)) <= (uint8_t)(PR_ST(DataPrompt) - PR_ST(Pending));
}

/* The modem is on (always, without a Power interface). */
static bool modemOn(const GSM_Prompt_Instance* inst)
{
    return (inst->Power == NULL) || (inst->Power->State == (uint8_t)GSM_Power_State_On);
}

static GSM_ALWAYS_INLINE bool claimedBy(const GSM_Prompt_Interface* prompt, const void* owner)
{
    return (prompt != NULL) && (owner != NULL) && (prompt->Owner == owner);
}

static bool composing(const GSM_Prompt_Instance* inst)
{
    return (inst->_i.Status == PR_ST(Pending)) && ((inst->_i.Flags & PR_F_ACTIVE) == 0u);
}

static void writeByte(GSM_Prompt_Instance* inst, uint8_t b)
{
    if (inst->Write != NULL)
    {
        inst->Write(inst, b);
    }
}

/* Ends the open command with a final status. After a time-out or an abort a late final result of
 * the command may still come: PR_F_DROP_OK (a session reset clears it again). A command that gets its
 * own final result clears it too: the modem answers in order, so a late result of an earlier command
 * would have come before. */
static GSM_NOINLINE void finishCommand(GSM_Prompt_Instance* inst, uint8_t status, int16_t code)
{
    uint8_t f = (uint8_t)(inst->_i.Flags & (uint8_t)~(PR_F_ACTIVE | PR_F_ECHO_PENDING | PR_F_TX_DATA | PR_F_DATA_ECHO | PR_F_DROP_OK));
    inst->_i.Status = status;
    inst->Code = code;
    inst->TxDataLeft = 0u;
    inst->CmdTimer_ms = gsm__SysTime_ms(); /* start of the pause before the next command */
    if (status >= PR_ST(Timeout))
    {
        f |= PR_F_DROP_OK;
        if (status == PR_ST(Timeout))
        {
            if (inst->_i.ConsecutiveTimeouts < 255u)
            {
                inst->_i.ConsecutiveTimeouts++;
            }
        }
    }
    else
    {
        inst->_i.ConsecutiveTimeouts = 0u;
    }
    inst->_i.Flags = f;
}

/* The data prompt of kind `kind` (GSM_PROMPT_CMD_DATA_PROMPT or GSM_PROMPT_CMD_DOWNLOAD) for the
 * running command, when it waits for one: the status becomes DataPrompt and `flags` are set.
 * Returns false (nothing changed) when no command waits for that prompt. */
static bool enterDataPrompt(GSM_Prompt_Instance* inst, uint8_t kind, uint8_t flags)
{
    if (((inst->_i.Flags & (PR_F_ACTIVE | PR_F_TX_DATA)) != PR_F_ACTIVE) || (inst->_i.Status != PR_ST(Pending)) ||
        ((inst->CmdSpec->Flags & kind) == 0u))
    {
        return false;
    }
    inst->_i.Status = PR_ST(DataPrompt);
    inst->_i.Flags = (uint8_t)((inst->_i.Flags | flags) & (uint8_t)~PR_F_ECHO_PENDING);
    return true;
}

static void toCommand(const GSM_Prompt_Instance* inst, const char* line, uint16_t len)
{
    if (inst->CmdOnLine != NULL)
    {
        inst->CmdOnLine(inst->CmdCtx, line, len);
    }
}

/* Routes one complete, non-empty line. */
static GSM_NOINLINE void handleLine(GSM_Prompt_Instance* inst, const char* line, uint16_t len)
{
    uint8_t f = inst->_i.Flags;
    const GSM_Prompt_CmdSpec* spec = inst->CmdSpec; /* set whenever PR_F_ACTIVE is */
    GSM_Prompt_UrcSubscriber* s;
    bool any = false;
    bool unprefixed;
    bool boot;
    uint8_t k;
    uint8_t u;
    uint8_t fin = PR_ST(Idle);
    int16_t code = -1;

    /* 1. echo of the pending command: same length and checksum, and the same text as far as the
     *    copy reaches */
    if (((f & PR_F_ECHO_PENDING) != 0u) && (len == inst->Sent.Echo.Len))
    {
        uint_fast16_t h = 0u; /* only its low 16 bits count */
        uint_fast16_t i;
        uint_fast16_t cap = (inst->EchoCancellationBuffer == NULL) ? 0u : inst->EchoCancellationBufferSize;
        for (i = 0u; i < len; i++)
        {
            if ((i < cap) && (inst->EchoCancellationBuffer[i] != (uint8_t)line[i]))
            {
                break;
            }
            h = (h * 31u) + (uint8_t)line[i];
        }
        if ((i == len) && ((uint16_t)h == inst->Sent.Echo.Hash))
        {
            inst->_i.Flags = (uint8_t)(f & (uint8_t)~PR_F_ECHO_PENDING);
            return;
        }
    }

    /* 2. final result codes */
    k = gsmUtilMatchList(line, len, kResults, GSM_UTIL_MATCH_COLON);
    /* ("NO CARRIER" is a call result, and the library never dials: it comes unsolicited, from a
     * caller who hung up, and never ends a command, whose own answer is still to come.) */
    if ((uint8_t)(k - 1u) < PR_RESULT_CMS)
    {
        fin = (uint8_t)(PR_ST(Ok) - 1u + k);
        if (k >= PR_RESULT_CME)
        {
            uint32_t v = 0u;
            if ((gsmUtilUintFields(line, len, &v, 1u) == 1u) && (v <= 32767u))
            {
                code = (int16_t)v;
            }
        }
    }
    if (fin != PR_ST(Idle))
    {
        if ((f & PR_F_ACTIVE) != 0u)
        {
            if ((f & PR_F_TX_DATA) == 0u) /* still writing data: cannot be the answer yet */
            {
                finishCommand(inst, fin, code);
            }
            return;
        }
        if ((f & PR_F_DROP_OK) != 0u)
        {
            inst->_i.Flags = (uint8_t)(f & (uint8_t)~PR_F_DROP_OK); /* late answer of an abandoned command */
            return;
        }
        /* Any other final result outside a command is offered to the subscribers below: the ERROR
         * that ends an LTE modem's HTTP read after its OK. */
    }

    /* 2b. "DOWNLOAD" of AT+HTTPDATA: the data prompt of that command */
    if ((k == PR_RESULT_DOWNLOAD) && enterDataPrompt(inst, GSM_PROMPT_CMD_DOWNLOAD, 0u))
    {
        return;
    }

    /* 3. expected response prefix */
    if (((f & PR_F_ACTIVE) != 0u) && (spec->Prefix != NULL) && gsmUtilStartsWith(line, len, spec->Prefix))
    {
        toCommand(inst, line, len);
        if (((spec->Flags & GSM_PROMPT_CMD_PREFIX_FINAL) != 0u) && ((inst->_i.Flags & PR_F_ACTIVE) != 0u))
        {
            finishCommand(inst, PR_ST(Ok), -1);
        }
        return;
    }

    /* 4. unsolicited result codes. The boot and shutdown messages (for Basic Comms, below) are text
     * while a command takes unprefixed lines (a message body read line by line), for no one else: a
     * message that holds such a line must not make the modem look restarted every time it is read.
     * A real restart leaves the modem silent for seconds, so its boot message comes after that
     * command has timed out. */
    u = gsmUtilMatchList(line, len, kKnownUrcPrefixes, GSM_UTIL_MATCH_PREFIX);
    boot = (uint8_t)(u - 1u) < PR_URC_DOWN_LAST;
    unprefixed = ((f & (PR_F_ACTIVE | PR_F_TX_DATA)) == PR_F_ACTIVE) && ((spec->Flags & GSM_PROMPT_CMD_UNPREFIXED) != 0u);
    if (unprefixed && boot)
    {
        toCommand(inst, line, len);
        return;
    }
    for (s = inst->Urcs; s != NULL;)
    {
        GSM_Prompt_UrcSubscriber* next = s->Next;
        const char* const* p = s->Prefixes;
        if ((s->Handler != NULL) && (p != NULL))
        {
            for (; *p != NULL; p++)
            {
                if (gsmUtilStartsWith(line, len, *p))
                {
                    s->Handler(s->Context, line, len);
                    any = true;
                    break;
                }
            }
        }
        s = next;
    }
    if (boot)
    {
        if (u > PR_URC_BOOT_LAST)
        {
            inst->_i.ModemEvent = GSM_PROMPT_MODEM_POWER_DOWN;
            return;
        }
        if ((len == 3u) || (len == 5u) || (len == 11u))
        {
            inst->_i.ModemEvent = GSM_PROMPT_MODEM_RESTARTED;
            return;
        }
    }
    if (any)
    {
        return;
    }

    /* 5. unprefixed answer lines (never "NO CARRIER") */
    if (unprefixed && (u == 0u) && (k == 0u))
    {
        toCommand(inst, line, len);
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

static GSM_NOINLINE void receiveByte(GSM_Prompt_Instance* inst, uint8_t b, uint8_t* buf, uint16_t cap)
{
    uint8_t f = inst->_i.Flags;

    /* The blank after the '>' of the data prompt (it may arrive after the data was queued), or the
     * LF after the CR of the header of a counted payload: the two never wait at the same time. */
    if ((f & PR_F_SKIP) != 0u)
    {
        f = (uint8_t)(f & (uint8_t)~PR_F_SKIP);
        inst->_i.Flags = f;
        if (b == ((inst->BinRemaining > 0u) ? (uint8_t)'\n' : (uint8_t)' '))
        {
            return;
        }
    }

    /* Counted binary payload: raw bytes. */
    if (inst->BinRemaining > 0u)
    {
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

    /* Echo of the data written after the prompt. */
    if ((f & PR_F_DATA_ECHO) != 0u)
    {
        uint16_t behind = inst->Sent.Data.Unechoed;
        if ((behind > 0u) && (b == inst->TxData[-(int32_t)behind]))
        {
            inst->Sent.Data.Unechoed = (uint16_t)(behind - 1u);
            return;
        }
        f = (uint8_t)(f & (uint8_t)~PR_F_DATA_ECHO);
        inst->_i.Flags = f;
        if ((behind == 0u) && (inst->TxDataLeft == 0u) && (inst->Code >= 0) && (b == (uint8_t)inst->Code))
        {
            return; /* the terminator: echo complete */
        }
        inst->LineLen = 0u; /* the echo never ends a line: start afresh */
    }

    if ((b == '\r') || (b == '\n'))
    {
        uint16_t n = inst->LineLen;
        inst->LineLen = 0u;
        inst->_i.Flags = (uint8_t)(f & (uint8_t)~PR_F_OVERFLOW);
        if ((f & PR_F_OVERFLOW) != 0u)
        {
            GSM_DEBUG_TEXT("GSM prompt: line too long, dropped\r\n");
            return;
        }
        if (n > 0u)
        {
            handleLine(inst, (const char*)buf, n);
            if ((b == '\r') && (inst->BinRemaining > 0u))
            {
                inst->_i.Flags |= PR_F_SKIP; /* a counted payload starts after the LF */
            }
        }
        return;
    }
    if ((b < 0x20u) || (b > 0x7Eu) || ((f & PR_F_OVERFLOW) != 0u))
    {
        return; /* garbage after power-on or a baud change, or the rest of an overlong line */
    }
    if (inst->LineLen >= cap)
    {
        inst->_i.Flags = (uint8_t)(f | PR_F_OVERFLOW);
        return;
    }
    buf[inst->LineLen++] = b;

    /* The data prompt: '>' at the start of a line, only while a command waits for it. */
    if ((b == '>') && (inst->LineLen == 1u) && enterDataPrompt(inst, GSM_PROMPT_CMD_DATA_PROMPT, PR_F_SKIP))
    {
        inst->LineLen = 0u;
    }
}

static void writeData(GSM_Prompt_Instance* inst, uint32_t now)
{
    uint_fast16_t n = GSM_PROMPT_TX_CHUNK;
    if ((inst->WriteCompleted != NULL) && !inst->WriteCompleted(inst))
    {
        return;
    }
    while ((inst->TxDataLeft > 0u) && (n > 0u))
    {
        writeByte(inst, *inst->TxData++);
        inst->TxDataLeft--;
        inst->Sent.Data.Unechoed++;
        n--;
    }
    inst->CmdTimer_ms = now + ((uint32_t)inst->Sent.Data.Timeout << PR_DATA_TIMEOUT_SHIFT);
    if (inst->TxDataLeft == 0u)
    {
        if (inst->Code >= 0)
        {
            writeByte(inst, (uint8_t)inst->Code);
        }
        inst->_i.Flags = (uint8_t)(inst->_i.Flags & (uint8_t)~PR_F_TX_DATA);
    }
}

/* At the "> " prompt of the open command or while its data is written, ESC ends the modem's data
 * entry without sending, so that the next command line is not taken as data. */
static void cancelDataEntry(GSM_Prompt_Instance* inst)
{
    if ((inst->_i.Status == PR_ST(DataPrompt)) || ((inst->_i.Flags & PR_F_TX_DATA) != 0u))
    {
        writeByte(inst, 0x1Bu);
    }
}

/* Gives up the open command: Aborted, and a late final result of it will be dropped; data entry is
 * ended (cancelDataEntry). A command that was written out may still be answered: the hold
 * (PR_HOLD_SHIFT) begins. Nothing happens when no command is open. */
static void abandonCommand(GSM_Prompt_Instance* inst)
{
    uint8_t active = inst->_i.Flags & PR_F_ACTIVE;
    if (!commandOpen(inst))
    {
        return;
    }
    cancelDataEntry(inst);
    finishCommand(inst, PR_ST(Aborted), -1);
    if (active != 0u)
    {
        inst->CmdTimer_ms += PR_HOLD_MS;
    }
}

static void resetSession(GSM_Prompt_Instance* inst)
{
    if (commandOpen(inst))
    {
        finishCommand(inst, PR_ST(Aborted), -1);
    }
    inst->_i.Owner = NULL;
    inst->_i.ConsecutiveTimeouts = 0u;
    inst->LineLen = 0u;
    inst->BinRemaining = 0u;
    inst->BinHandler = NULL;
    inst->_i.Flags = 0u;
}

void gsmPromptInit(GSM_Prompt_Instance* inst)
{
    uint8_t* p;
    if (inst == NULL)
    {
        return;
    }
    /* Everything before the application's members: all zero (no claim, status Idle, no command, no
     * subscribers, no binary payload, no pending data, empty line), then the non-zero values. */
    for (p = (uint8_t*)inst; p < (uint8_t*)&inst->DataBufferSize; p++)
    {
        *p = 0u;
    }
    inst->Code = -1; /* no error number, no data terminator */
    inst->CmdTimer_ms = gsm__SysTime_ms() - GSM_PROMPT_COMMAND_GAP_MS;
}

void gsmPromptPoll(GSM_Prompt_Instance* inst)
{
    uint32_t now;
    uint16_t cap;
    uint8_t* buf;
    uint_fast16_t count = GSM_PROMPT_MAX_RX_BYTES_PER_POLL;
    bool powered;

    if ((inst == NULL) || (inst->CanRead == NULL) || (inst->Read == NULL))
    {
        return;
    }
    now = gsm__SysTime_ms();
    /* The modem may still be busy with a command that timed out: Basic Comms, polled right after the
     * prompt, probes with "AT" before another module's command goes out, so that a late final result
     * of that command completes the probe (the modem answers in order) and not the next command. */
    inst->_i.Flags &= (uint8_t)~PR_F_HOLD;
    /* A modem that is switched off or restarted (power-on, reset, power cycle) always passes
     * through a state other than On, which ends the session (and keeps it clear meanwhile). */
    powered = modemOn(inst);
    if (!powered)
    {
        resetSession(inst);
    }

    if (powered && ((inst->_i.Flags & PR_F_TX_DATA) != 0u))
    {
        writeData(inst, now);
    }

    buf = inst->DataBuffer;
    cap = inst->DataBufferSize;
    if ((buf == NULL) || (cap < 2u))
    {
#if GSM_PROMPT_FALLBACK_LINE_SIZE > 0
        buf = inst->FallbackLine;
        cap = (uint16_t)GSM_PROMPT_FALLBACK_LINE_SIZE;
#else
        cap = 0u; /* no line fits: every line overflows and is dropped */
#endif
    }
    while ((count > 0u) && inst->CanRead(inst))
    {
        uint8_t b = inst->Read(inst);
        count--;
        if (powered) /* otherwise noise of a switched-off or starting modem */
        {
            inst->LastRx_ms = now;
            receiveByte(inst, b, buf, cap);
        }
    }
    if (inst->BinRemaining > 0u)
    {
        if (inst->LineLen > 0u)
        {
            flushBinary(inst, buf); /* hand over what arrived so far */
        }
        else if (GSM_TIME_ELAPSED(now, inst->LastRx_ms) >= GSM_PROMPT_BINARY_IDLE_MS)
        {
            /* The modem went quiet before the count was complete (bytes lost on the line): the rest
             * will not come, and binary mode would keep every command out. Back to line mode; the
             * receiver of the payload sees its end missing as it would a time-out. */
            GSM_DEBUG_TEXT("GSM prompt: counted payload incomplete\r\n");
            inst->BinRemaining = 0u;
            inst->BinHandler = NULL;
        }
        else
        {
            /* the payload goes on */
        }
    }

    /* Bytes still waiting (all of this poll's share was taken) arrived before now and may hold the
     * final result: the time-out waits until they are read, for at most about a second more (a
     * receiver that never runs dry must not keep a command open for ever). */
    if (((inst->_i.Flags & PR_F_ACTIVE) != 0u) &&
        GSM_TIME_REACHED(now, inst->CmdTimer_ms + ((uint32_t)(count == 0u) << PR_RX_BACKLOG_SHIFT)))
    {
        GSM_DEBUG_TEXT("GSM prompt: command timed out\r\n");
        cancelDataEntry(inst); /* a command that times out at its prompt leaves data entry as well */
        finishCommand(inst, PR_ST(Timeout), -1);
    }
}

/* ---- Interface: claim ---- */

bool gsmPromptClaim(GSM_Prompt_Interface* prompt, const void* owner)
{
    if ((prompt == NULL) || (owner == NULL))
    {
        return false;
    }
    if ((prompt->Owner == NULL) && ((prompt->Flags & PR_F_HOLD) == 0u))
    {
        prompt->Owner = owner;
    }
    return prompt->Owner == owner;
}

void gsmPromptRelease(GSM_Prompt_Interface* prompt, const void* owner)
{
    GSM_Prompt_Instance* inst;
    if (!claimedBy(prompt, owner))
    {
        return;
    }
    inst = fromIf(prompt);
    abandonCommand(inst);
    if (prompt->Status == PR_ST(Timeout))
    {
        prompt->Flags |= PR_F_HOLD;
    }
    prompt->Owner = NULL;
    prompt->Status = PR_ST(Idle);
    inst->CmdOwner = NULL;
}

bool gsmPromptIsClaimedBy(const GSM_Prompt_Interface* prompt, const void* owner)
{
    return claimedBy(prompt, owner);
}

/* ---- Interface: commands ---- */

bool gsmPromptCmdBegin(GSM_Prompt_Interface* prompt, const void* owner, const GSM_Prompt_CmdSpec* spec,
                       GSM_Prompt_LineHandler on_line, void* ctx)
{
    GSM_Prompt_Instance* inst;
    uint32_t elapsed;
    if ((spec == NULL) || !claimedBy(prompt, owner))
    {
        return false;
    }
    inst = fromIf(prompt);
    /* The pause after the last command (CmdTimer_ms its end), and the hold after an abandoned one
     * while its late answer may come (CmdTimer_ms the end of the hold, at most
     * PR_HOLD_MS ahead; a time further ahead is a time long past). */
    elapsed = GSM_TIME_ELAPSED(gsm__SysTime_ms(), inst->CmdTimer_ms);
    if (commandOpen(inst) || (inst->BinRemaining > 0u) || !modemOn(inst) || (elapsed < GSM_PROMPT_COMMAND_GAP_MS) ||
        (((inst->_i.Flags & PR_F_DROP_OK) != 0u) && (((uint32_t)~elapsed >> PR_HOLD_SHIFT) == 0u)))
    {
        return false;
    }
    inst->CmdSpec = spec;
    inst->CmdOnLine = on_line;
    inst->CmdCtx = ctx;
    inst->CmdOwner = owner;
    inst->Code = -1;
    inst->Sent.Echo.Len = 0u;
    inst->Sent.Echo.Hash = 0u;
    prompt->Status = PR_ST(Pending);
    return true;
}

/* Bytes of a command text: in RAM, or on AVR optionally in program memory (`pgm` true). */
#if defined(__AVR__)
#define PR_TEXT_BYTE(mode, p) ((((mode) & PR_APPEND_PGM) != 0u) ? GSM_PGM_READ_BYTE(p) : *(p))
#else
#define PR_TEXT_BYTE(mode, p) (*(p))
#endif

#define PR_APPEND_TEXT 0x01u /* the data is a zero-terminated text (of at most 65535 bytes) */
#define PR_APPEND_PGM  0x02u /* ... in program memory (AVR) */

/* Writes `len` bytes of the command being composed (or a text, see PR_APPEND_...), and keeps their
 * copy and checksum for the echo. */
static void appendCommand(GSM_Prompt_Interface* prompt, const uint8_t* data, uint16_t len, uint8_t mode)
{
    GSM_Prompt_Instance* inst = fromIf(prompt);
    uint16_t cap;
    if ((prompt == NULL) || (data == NULL) || !composing(inst))
    {
        return;
    }
    cap = (inst->EchoCancellationBuffer == NULL) ? 0u : inst->EchoCancellationBufferSize;
    for (; len > 0u; len--)
    {
        uint8_t b = PR_TEXT_BYTE(mode, data);
        uint16_t n = inst->Sent.Echo.Len;
        if ((b == 0u) && ((mode & PR_APPEND_TEXT) != 0u))
        {
            break;
        }
        data++;
        writeByte(inst, b);
        if (n < cap)
        {
            inst->EchoCancellationBuffer[n] = b;
        }
        if (n < 0xFFFFu)
        {
            inst->Sent.Echo.Len = (uint16_t)(n + 1u);
        }
        inst->Sent.Echo.Hash = (uint16_t)((uint16_t)(inst->Sent.Echo.Hash * 31u) + b);
    }
}

void gsmPromptCmdAppendBytes(GSM_Prompt_Interface* prompt, const uint8_t* data, uint16_t len)
{
    appendCommand(prompt, data, len, 0u);
}

void gsmPromptCmdAppend(GSM_Prompt_Interface* prompt, const char* text)
{
    appendCommand(prompt, (const uint8_t*)text, 0xFFFFu, PR_APPEND_TEXT);
}

#if defined(__AVR__)
void gsmPromptCmdAppendP(GSM_Prompt_Interface* prompt, const char* text)
{
    appendCommand(prompt, (const uint8_t*)text, 0xFFFFu, PR_APPEND_TEXT | PR_APPEND_PGM);
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
    static const char kQuote[] GSM_PGM = "\"";
    /* A CR or LF in the text would end the command line there and make the rest a command of its own,
     * a '"' would end the parameter: the text is cut before the first such byte. */
    gsmPromptCmdAppendP(prompt, kQuote);
    gsmPromptCmdAppendBytes(prompt, (const uint8_t*)text, (uint16_t)gsmUtilQuotableLength(text)); /* (no parameter is that long) */
    gsmPromptCmdAppendP(prompt, kQuote);
}

void gsmPromptCmdSend(GSM_Prompt_Interface* prompt)
{
    GSM_Prompt_Instance* inst = fromIf(prompt);
    if ((prompt == NULL) || !composing(inst))
    {
        return;
    }
    writeByte(inst, (uint8_t)'\r');
    inst->_i.Flags |= PR_F_ACTIVE | PR_F_ECHO_PENDING;
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
    if ((prompt == NULL) || (owner == NULL) || (fromIf(prompt)->CmdOwner != owner))
    {
        return GSM_Prompt_CmdStatus_Idle;
    }
    return (GSM_Prompt_CmdStatus)prompt->Status;
}

int16_t gsmPromptCmdErrorCode(const GSM_Prompt_Interface* prompt)
{
    if ((prompt == NULL) || ((uint8_t)(prompt->Status - PR_ST(CmeError)) > (uint8_t)(PR_ST(CmsError) - PR_ST(CmeError))))
    {
        return -1;
    }
    return fromIf(prompt)->Code;
}

void gsmPromptCmdAbort(GSM_Prompt_Interface* prompt, const void* owner)
{
    if ((prompt != NULL) && (owner != NULL) && (fromIf(prompt)->CmdOwner == owner))
    {
        abandonCommand(fromIf(prompt));
    }
}

bool gsmPromptDataSend(GSM_Prompt_Interface* prompt, const void* owner, const uint8_t* data, uint16_t len,
                       int16_t terminator, uint32_t timeout_ms)
{
    GSM_Prompt_Instance* inst = fromIf(prompt);
    uint32_t now = gsm__SysTime_ms();
    uint32_t t;
    if ((prompt == NULL) || (owner == NULL) || ((data == NULL) && (len > 0u)) || (inst->CmdOwner != owner) ||
        (prompt->Status != PR_ST(DataPrompt)))
    {
        return false;
    }
    inst->TxData = data;
    inst->TxDataLeft = len;
    inst->Sent.Data.Unechoed = 0u;
    inst->Code = terminator;
    /* kept in 16 ms steps, rounded up (a time-out of more than 17 minutes is cut to that) */
    t = (timeout_ms >> PR_DATA_TIMEOUT_SHIFT) + 1u;
    inst->Sent.Data.Timeout = (uint16_t)((t > 0xFFFFu) ? 0xFFFFu : t);
    /* Without data there is no echo to discard (not even of the terminator). */
    inst->_i.Flags |= (uint8_t)((len > 0u) ? (PR_F_TX_DATA | PR_F_DATA_ECHO) : PR_F_TX_DATA);
    inst->LineLen = 0u;
    prompt->Status = PR_ST(Pending);
    inst->CmdTimer_ms = now + timeout_ms;
    writeData(inst, now);
    return true;
}

void gsmPromptBinaryExpect(GSM_Prompt_Interface* prompt, uint16_t count, GSM_Prompt_BinaryHandler handler, void* ctx)
{
    GSM_Prompt_Instance* inst = fromIf(prompt);
    if ((prompt == NULL) || (count == 0u))
    {
        return;
    }
    inst->BinRemaining = count;
    inst->BinHandler = handler;
    inst->BinCtx = ctx;
    inst->LineLen = 0u;
}

void gsmPromptBinaryCancel(GSM_Prompt_Interface* prompt, GSM_Prompt_BinaryHandler handler)
{
    GSM_Prompt_Instance* inst = fromIf(prompt);
    if ((prompt != NULL) && (handler != NULL) && (inst->BinRemaining > 0u) && (inst->BinHandler == handler))
    {
        inst->BinRemaining = 0u;
        inst->BinHandler = NULL;
        inst->_i.Flags = (uint8_t)(inst->_i.Flags & (uint8_t)~PR_F_SKIP);
        inst->LineLen = 0u;
    }
}

void gsmPromptUrcSubscribe(GSM_Prompt_Interface* prompt, GSM_Prompt_UrcSubscriber* subscriber)
{
    GSM_Prompt_UrcSubscriber** link;
    if ((prompt == NULL) || (subscriber == NULL))
    {
        return;
    }
    for (link = &fromIf(prompt)->Urcs; *link != NULL; link = &(*link)->Next)
    {
        if (*link == subscriber)
        {
            return;
        }
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
    return (prompt != NULL) ? fromIf(prompt)->LastRx_ms : 0u;
}

bool gsmPromptModemPowered(const GSM_Prompt_Interface* prompt)
{
    const GSM_Prompt_Instance* inst = fromIf(prompt);
    return (prompt != NULL) && modemOn(inst);
}
