/*
 * GSM_PIN.c - SIM status reads, "+CPIN:" URCs and PIN entry.
 *
 * One status-read loop serves two purposes: reading the SIM status at the start of a session
 * (retried while the SIM is busy or not ready) and confirming an accepted PIN (retried until the SIM
 * reports READY). PIN_F_VERIFYING tells which of the two is running.
 */
#include "GSM_PIN.h"
#include "GSM_Required_Externals.h"
#include "GSM_Util.h"

/* Steps, as they are kept in bits 1..2 of State. */
enum
{
    PIN_STEP_WAIT_COMMS = 0x00, /* no communication */
    PIN_STEP_QUERY = 0x02,      /* AT+CPIN? (after a pause when Tries is not 0) */
    PIN_STEP_IDLE = 0x04,       /* status known */
    PIN_STEP_ENTER = 0x06,      /* AT+CPIN="...." */
    PIN_STEP_NONE = 0x08        /* (no step change) */
};

/* Parts of State: the step, the flags, and bit 0 for gsmPromptHelperExec. */
#define PIN_STEP_OF(state) ((uint8_t)((state) & 0x06u))
#define PIN_F_REQUESTED    0x08u /* gsmPinEnter was called: the PIN waits to be sent */
#define PIN_F_VERIFYING    0x10u /* the PIN was accepted: the status reads wait for READY */
#define PIN_FLAGS          (PIN_F_REQUESTED | PIN_F_VERIFYING)
#define PIN_SENT           0x01u

/* The pause between two status reads is timed in ticks of 2^PIN_TICK_SHIFT ms held in a byte: the
 * shortest tick with which the pause takes at most 127 ticks, so that a pause that is over stays
 * recognisable for more than as long again. */
#if GSM_PIN_RETRY_MS > 0xFFFFu
#error "GSM_PIN_RETRY_MS must not exceed 65535"
#elif GSM_PIN_RETRY_MS <= 127u
#define PIN_TICK_SHIFT 0
#elif GSM_PIN_RETRY_MS <= 508u
#define PIN_TICK_SHIFT 2
#elif GSM_PIN_RETRY_MS <= 1016u
#define PIN_TICK_SHIFT 3
#elif GSM_PIN_RETRY_MS <= 4064u
#define PIN_TICK_SHIFT 5
#elif GSM_PIN_RETRY_MS <= 16256u
#define PIN_TICK_SHIFT 7
#else
#define PIN_TICK_SHIFT 10
#endif
/* Ticks that pass the pause in full (the start tick is truncated). */
#define PIN_RETRY_TICKS ((uint8_t)((GSM_PIN_RETRY_MS + (1UL << PIN_TICK_SHIFT) - 1u) >> PIN_TICK_SHIFT))

static uint8_t ticksNow(void)
{
    return GSM_TICKS8_NOW(PIN_TICK_SHIFT);
}

/* Status reads after an accepted PIN before the entry is reported as timed out. */
#define PIN_VERIFY_TRIES (GSM_PIN_READY_TIMEOUT_MS / GSM_PIN_RETRY_MS)

static const char kCpinPrefix[] = "+CPIN:";
static const char* const kCpinPrefixes[] = {kCpinPrefix, NULL};
/* Both commands accept "+CPIN:" lines: a "+CPIN: READY" that arrives before the OK of the entry
 * is then kept like the answer of a read. */
static const GSM_Prompt_CmdSpec kCpinSpec = {kCpinPrefix, 5000u, 0u};

/* "+CPIN: <code>" texts in the order of GSM_PIN_SimStatus from Ready on: text n is status n. */
static const char kPinCodes[] GSM_PGM = "READY\0SIM PIN\0SIM PUK\0PH-SIM PIN\0SIM PIN2\0SIM PUK2\0NOT READY\0NOT INSERTED\0";

/* Status named after "+CPIN:" (blanks skipped); Unknown for an unknown code. */
static GSM_ALWAYS_INLINE GSM_PIN_SimStatus decodeCode(const char* line, uint16_t len)
{
    uint16_t pos = 6u; /* after "+CPIN:" */
    while ((pos < len) && (line[pos] == ' '))
    {
        pos++;
    }
    return (GSM_PIN_SimStatus)gsmUtilMatchList(&line[pos], (uint16_t)(len - pos), kPinCodes,
                                               GSM_UTIL_MATCH_EXACT);
}

GSM_PIN_SimStatus gsmPinDecodeStatus(const char* line, uint16_t len)
{
    if ((line == NULL) || !gsmUtilStartsWith(line, len, kCpinPrefix))
    {
        return GSM_PIN_SimStatus_Unknown;
    }
    return decodeCode(line, len);
}

static void raise(GSM_PIN_Instance* inst, GSM_PIN_EventType type, void* data)
{
    if (inst->EventHandler != NULL)
    {
        inst->EventHandler(inst, type, data);
    }
}

static GSM_NOINLINE_32 void setStatus(GSM_PIN_Instance* inst, uint8_t status)
{
    GSM_PIN_Event_SimStatus ev;
    if (status != inst->Status)
    {
        inst->Status = status;
        ev.SimStatus = (GSM_PIN_SimStatus)status;
        raise(inst, GSM_PIN_EventType_SimStatus, &ev);
    }
}

/* Ends a PIN entry (or refuses a request) with PinFailed. */
static void fail(GSM_PIN_Instance* inst, GSM_PIN_FailReason reason, int16_t cme)
{
    GSM_PIN_Event_PinFailed ev;
    inst->State &= (uint8_t)~PIN_FLAGS;
    ev.Reason = reason;
    ev.CmeError = cme;
    raise(inst, GSM_PIN_EventType_PinFailed, &ev);
}

/* "+CPIN:" lines, as URC and as the answer of the running command; handled in the poll, outside
 * the prompt's line handling. */
static void onCpinLine(void* ctx, const char* line, uint16_t len)
{
    GSM_PIN_SimStatus s = decodeCode(line, len); /* only "+CPIN:" lines arrive here */
    if (s != GSM_PIN_SimStatus_Unknown)
    {
        ((GSM_PIN_Instance*)ctx)->LineStatus = (uint8_t)s;
    }
}

/* SIM status that a "+CME ERROR: <n>" answer of AT+CPIN? means, by <n>; 0 (Unknown): read again
 * later (13 SIM failure may be transient right after boot, 14 SIM busy). */
static const uint8_t kCmeStatus[16] GSM_PGM = {0u, 0u, 0u, 0u, 0u, (uint8_t)GSM_PIN_SimStatus_PhSimPin, 0u, 0u, 0u, 0u,
                                              (uint8_t)GSM_PIN_SimStatus_NotInserted, (uint8_t)GSM_PIN_SimStatus_SimPin,
                                              (uint8_t)GSM_PIN_SimStatus_SimPuk, 0u, 0u, (uint8_t)GSM_PIN_SimStatus_Failure};

/* A status seen in a "+CPIN:" URC (read false) or as the result of a status read (read true; may
 * be Unknown: no usable answer). Returns the next step. */
static uint8_t statusSeen(GSM_PIN_Instance* inst, uint8_t s, bool read)
{
    bool verifying = (inst->State & PIN_F_VERIFYING) != 0u;
    if (read && (verifying ? (s != GSM_PIN_SimStatus_Ready) : ((s == GSM_PIN_SimStatus_Unknown) || (s == GSM_PIN_SimStatus_NotReady))))
    {
        /* the SIM is not ready (yet): read again after a pause, a limited number of times */
        if (++inst->Tries < (verifying ? PIN_VERIFY_TRIES : GSM_PIN_STATUS_TRIES))
        {
            return PIN_STEP_QUERY;
        }
        inst->Tries = 0u;
        if (verifying)
        {
            /* "+CPIN: READY" did not follow: report it, then read the status as it is */
            fail(inst, GSM_PIN_FailReason_Timeout, -1);
            return PIN_STEP_QUERY;
        }
        if (s == GSM_PIN_SimStatus_Unknown)
        {
            s = GSM_PIN_SimStatus_Failure;
        }
    }
    setStatus(inst, s);
    if (verifying && (s == GSM_PIN_SimStatus_Ready))
    {
        inst->State &= (uint8_t)~PIN_F_VERIFYING;
        raise(inst, GSM_PIN_EventType_PinSuccess, NULL);
    }
    else if (!read)
    {
        return PIN_STEP_NONE; /* a URC outside the wait for READY: only the status changes */
    }
    inst->Tries = 0u;
    return PIN_STEP_IDLE;
}

/* Result of AT+CPIN="....": on OK the status is read until the SIM is ready; otherwise the entry
 * failed and the status is read again (after the third wrong PIN the SIM asks for the PUK).
 * Returns the next step. */
static uint8_t enterDone(GSM_PIN_Instance* inst, uint8_t st, int16_t code)
{
    if (st == GSM_Prompt_CmdStatus_Ok)
    {
        inst->State |= PIN_F_VERIFYING;
    }
    else if (!GSM_PROMPT_STATUS_IS_ERROR(st))
    {
        fail(inst, GSM_PIN_FailReason_Timeout, -1);
    }
    else
    {
        fail(inst, ((st == GSM_Prompt_CmdStatus_CmeError) && (code == 16)) ? GSM_PIN_FailReason_WrongPin : GSM_PIN_FailReason_ModemError,
             code);
    }
    return PIN_STEP_QUERY;
}

void gsmPinInit(GSM_PIN_Instance* inst)
{
    if (inst == NULL)
    {
        return;
    }
    inst->Status = (uint8_t)GSM_PIN_SimStatus_Unknown;
    inst->State = 0u; /* PIN_STEP_WAIT_COMMS, no flags */
    inst->Urc.Prefixes = kCpinPrefixes;
    inst->Urc.Handler = &onCpinLine;
    inst->Urc.Context = inst;
    gsmPromptUrcSubscribe(inst->Prompt, &inst->Urc);
}

void gsmPinPoll(GSM_PIN_Instance* inst)
{
    uint8_t st; /* GSM_Prompt_CmdStatus (a byte: shorter tests on AVR) */
    uint8_t s;
    uint8_t next = PIN_STEP_NONE;
    uint8_t step;
    bool up;
    bool seen = false;
    bool read = false;

    if ((inst == NULL) || (inst->Prompt == NULL))
    {
        return;
    }
    up = gsmBasicCommsIfEstablished(inst->BasicComms);
    step = PIN_STEP_OF(inst->State);
    if (!up || (step == PIN_STEP_WAIT_COMMS) || (inst->BasicComms->Session != inst->Session))
    {
        if (step != PIN_STEP_WAIT_COMMS)
        {
            /* communication lost or modem restarted: a running entry has failed */
            gsmPromptRelease(inst->Prompt, inst);
            if ((step == PIN_STEP_ENTER) || ((inst->State & PIN_F_VERIFYING) != 0u))
            {
                fail(inst, GSM_PIN_FailReason_Timeout, -1);
            }
            inst->State &= PIN_FLAGS; /* PIN_STEP_WAIT_COMMS */
        }
        if (!up)
        {
            return;
        }
        /* new session: the SIM state must be read again */
        inst->Session = inst->BasicComms->Session;
        inst->Status = (uint8_t)GSM_PIN_SimStatus_Unknown;
        inst->LineStatus = 0u;
        inst->Tries = 0u;
        step = PIN_STEP_QUERY;
        inst->State = (uint8_t)((inst->State & PIN_FLAGS) | PIN_STEP_QUERY);
    }
    s = inst->LineStatus;
    if ((s != GSM_PIN_SimStatus_Unknown) && ((inst->State & PIN_SENT) == 0u))
    {
        /* a "+CPIN:" URC (while a command runs, the line is its answer) */
        inst->LineStatus = 0u;
        seen = true;
    }
    else if (step != PIN_STEP_IDLE)
    {
        /* AT+CPIN? or AT+CPIN="0123" (at least four digits, leading zeros kept): "AT", the answer
         * prefix without its ':', then the tail */
        char cmd[16];
        bool enter = step == PIN_STEP_ENTER;
        int16_t code;
        uint8_t n;
        if (!enter && ((inst->State & PIN_SENT) == 0u) && (inst->Tries != 0u) &&
            ((uint8_t)(ticksNow() - inst->Timer) <= PIN_RETRY_TICKS))
        {
            return; /* pause between two reads */
        }
        cmd[0] = 'A';
        cmd[1] = 'T';
        for (n = 0u; n < 5u; n++)
        {
            cmd[2u + n] = kCpinPrefix[n];
        }
        cmd[7] = '?';
        cmd[8] = '\0';
        if (enter)
        {
            cmd[7] = '=';
            cmd[8] = '"';
            n = gsmUtilUintToStr(&cmd[9], 6u, inst->Pin, 4u);
            cmd[9u + n] = '"';
            cmd[10u + n] = '\0';
        }
        st = (uint8_t)gsmPromptHelperExec(inst->Prompt, inst, &inst->State, cmd, &kCpinSpec, &onCpinLine, inst);
        if (st == GSM_Prompt_CmdStatus_Pending)
        {
            return;
        }
        code = gsmPromptCmdErrorCode(inst->Prompt);
        gsmPromptRelease(inst->Prompt, inst);
        if (enter)
        {
            next = enterDone(inst, st, code);
        }
        else
        {
            if ((st == GSM_Prompt_CmdStatus_CmeError) && ((uint16_t)code < 16u))
            {
                s = GSM_PGM_READ_BYTE(&kCmeStatus[code]);
            }
            else if (st != GSM_Prompt_CmdStatus_Ok)
            {
                s = (uint8_t)GSM_PIN_SimStatus_Unknown; /* ERROR early in boot, time-out: read again */
            }
            inst->LineStatus = 0u;
            seen = true;
            read = true;
        }
    }
    else if ((inst->State & PIN_F_REQUESTED) != 0u)
    {
        /* the status is known (never Unknown in PIN_STEP_IDLE) */
        s = inst->Status;
        if (s == GSM_PIN_SimStatus_SimPin)
        {
            inst->State &= (uint8_t)~PIN_FLAGS;
            next = PIN_STEP_ENTER;
        }
        else
        {
            fail(inst,
                 (s == GSM_PIN_SimStatus_Ready)    ? GSM_PIN_FailReason_NotRequired
                 : (s == GSM_PIN_SimStatus_SimPuk) ? GSM_PIN_FailReason_PukRequired
                                                   : GSM_PIN_FailReason_NoSim,
                 -1);
        }
    }
    if (seen)
    {
        next = statusSeen(inst, s, read);
    }
    if (next != PIN_STEP_NONE)
    {
        /* the flags stay; no command of the new step sent yet */
        inst->State = (uint8_t)((inst->State & PIN_FLAGS) | next);
        inst->Timer = ticksNow();
    }
}

void gsmPinEnter(GSM_PIN_Instance* inst, uint16_t sim_pin)
{
    if (inst != NULL)
    {
        inst->Pin = sim_pin;
        inst->State |= PIN_F_REQUESTED;
    }
}

GSM_PIN_SimStatus gsmPinStatus(GSM_PIN_Instance* inst)
{
    return (inst == NULL) ? GSM_PIN_SimStatus_Unknown : (GSM_PIN_SimStatus)inst->Status;
}
