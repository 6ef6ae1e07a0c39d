/*
 * GSM_PIN.c - SIM status reads, "+CPIN:" URCs and PIN entry.
 */
#include "GSM_PIN.h"
#include "GSM_Required_Externals.h"
#include "GSM_Util.h"

enum
{
    PIN_STEP_WAIT_COMMS = 0, /* no communication */
    PIN_STEP_QUERY,          /* AT+CPIN? running */
    PIN_STEP_QUERY_WAIT,     /* pause before the next AT+CPIN? */
    PIN_STEP_IDLE,           /* status known */
    PIN_STEP_ENTER,          /* AT+CPIN="...." running */
    PIN_STEP_WAIT_READY      /* PIN accepted, waiting for +CPIN: READY */
};

static const GSM_Prompt_CmdSpec kCpinReadSpec = {"+CPIN:", 5000u, 0u};
static const GSM_Prompt_CmdSpec kCpinEnterSpec = {NULL, 5000u, 0u};
static const char* const kCpinPrefixes[] = {"+CPIN:", NULL};

static const char kCpinRead[] GSM_PGM = "AT+CPIN?";

/* "+CPIN: <code>" texts in the order of GSM_PIN_SimStatus from Ready on: text n is status n. */
static const char kPinCodes[] GSM_PGM = "READY\0SIM PIN\0SIM PUK\0PH-SIM PIN\0SIM PIN2\0SIM PUK2\0NOT READY\0NOT INSERTED\0";

GSM_PIN_SimStatus gsmPinDecodeStatus(const char* line, uint16_t len)
{
    uint16_t pos = 6u; /* after "+CPIN:" */
    if ((line == NULL) || !gsmUtilStartsWith(line, len, "+CPIN:"))
    {
        return GSM_PIN_SimStatus_Unknown;
    }
    while ((pos < len) && (line[pos] == ' '))
    {
        pos++;
    }
    return (GSM_PIN_SimStatus)gsmUtilMatchText(&line[pos], (uint16_t)(len - pos), kPinCodes);
}

static void raise(GSM_PIN_Instance* inst, GSM_PIN_EventType type, void* data)
{
    if (inst->EventHandler != NULL)
    {
        inst->EventHandler(inst, type, data);
    }
}

static void setStatus(GSM_PIN_Instance* inst, GSM_PIN_SimStatus status)
{
    GSM_PIN_Event_SimStatus ev;
    if ((uint8_t)status == inst->Status)
    {
        return;
    }
    inst->Status = (uint8_t)status;
    ev.SimStatus = status;
    raise(inst, GSM_PIN_EventType_SimStatus, &ev);
}

static void fail(GSM_PIN_Instance* inst, GSM_PIN_FailReason reason, int16_t cme)
{
    GSM_PIN_Event_PinFailed ev;
    inst->PinRequested = false;
    ev.Reason = reason;
    ev.CmeError = cme;
    raise(inst, GSM_PIN_EventType_PinFailed, &ev);
}

static void onCpinLine(void* ctx, const char* line, uint16_t len)
{
    GSM_PIN_Instance* inst = (GSM_PIN_Instance*)ctx;
    inst->ReadStatus = (uint8_t)gsmPinDecodeStatus(line, len);
}

static void onCpinUrc(void* ctx, const char* line, uint16_t len)
{
    GSM_PIN_Instance* inst = (GSM_PIN_Instance*)ctx;
    GSM_PIN_SimStatus s = gsmPinDecodeStatus(line, len);
    if (s != GSM_PIN_SimStatus_Unknown)
    {
        inst->UrcStatus = (uint8_t)s; /* handled in the poll, outside the prompt's line handling */
    }
}

static void enterStep(GSM_PIN_Instance* inst, uint8_t step)
{
    inst->Step = step;
    inst->Timer_ms = gsm__SysTime_ms();
    inst->CmdState = 0u;
    inst->Verifying = false;
}

/* Status that an error answer of AT+CPIN? means; Unknown = try again later. */
static GSM_PIN_SimStatus statusFromError(GSM_Prompt_CmdStatus st, int16_t code)
{
    if (st == GSM_Prompt_CmdStatus_CmeError)
    {
        switch (code)
        {
        case 10:
            return GSM_PIN_SimStatus_NotInserted;
        case 11:
            return GSM_PIN_SimStatus_SimPin;
        case 12:
            return GSM_PIN_SimStatus_SimPuk;
        case 5:
            return GSM_PIN_SimStatus_PhSimPin;
        case 15:
            return GSM_PIN_SimStatus_Failure;
        case 13: /* SIM failure: may be transient right after boot */
        case 14: /* SIM busy */
        default:
            return GSM_PIN_SimStatus_Unknown;
        }
    }
    return GSM_PIN_SimStatus_Unknown; /* ERROR early in boot, time-out: retry */
}

/* Handles the result of a status read; returns true when the status is settled. */
static bool queryResult(GSM_PIN_Instance* inst, GSM_Prompt_CmdStatus st, int16_t code)
{
    GSM_PIN_SimStatus s = GSM_PIN_SimStatus_Unknown;
    if (st == GSM_Prompt_CmdStatus_Ok)
    {
        s = (GSM_PIN_SimStatus)inst->ReadStatus;
    }
    else
    {
        s = statusFromError(st, code);
    }
    if ((s == GSM_PIN_SimStatus_Unknown) || (s == GSM_PIN_SimStatus_NotReady))
    {
        inst->Tries++;
        if (inst->Tries < GSM_PIN_STATUS_TRIES)
        {
            return false;
        }
        if (s == GSM_PIN_SimStatus_Unknown)
        {
            s = GSM_PIN_SimStatus_Failure;
        }
    }
    setStatus(inst, s);
    return true;
}

void gsmPinInit(GSM_PIN_Instance* inst)
{
    if (inst == NULL)
    {
        return;
    }
    inst->Status = (uint8_t)GSM_PIN_SimStatus_Unknown;
    inst->ReadStatus = (uint8_t)GSM_PIN_SimStatus_Unknown;
    inst->UrcStatus = 0u;
    inst->PinRequested = false;
    inst->Pin = 0u;
    inst->Tries = 0u;
    inst->Session = gsmBasicCommsIfSession(inst->BasicComms);
    inst->Urc.Prefixes = kCpinPrefixes;
    inst->Urc.Handler = &onCpinUrc;
    inst->Urc.Context = inst;
    gsmPromptUrcSubscribe(inst->Prompt, &inst->Urc);
    enterStep(inst, PIN_STEP_WAIT_COMMS);
}

void gsmPinPoll(GSM_PIN_Instance* inst)
{
    GSM_Prompt_CmdStatus st;
    uint32_t now;
    int16_t code;

    if ((inst == NULL) || (inst->Prompt == NULL))
    {
        return;
    }
    if ((inst->BasicComms == NULL) || !inst->BasicComms->Established)
    {
        if (inst->Step != PIN_STEP_WAIT_COMMS)
        {
            gsmPromptRelease(inst->Prompt, inst);
            if ((inst->Step == PIN_STEP_ENTER) || (inst->Step == PIN_STEP_WAIT_READY) || inst->Verifying)
            {
                fail(inst, GSM_PIN_FailReason_Timeout, -1);
            }
            enterStep(inst, PIN_STEP_WAIT_COMMS);
        }
        return;
    }
    now = gsm__SysTime_ms();
    if ((inst->Step == PIN_STEP_WAIT_COMMS) || (inst->BasicComms->Session != inst->Session))
    {
        /* New session: the SIM state must be read again. */
        inst->Session = gsmBasicCommsIfSession(inst->BasicComms);
        gsmPromptRelease(inst->Prompt, inst);
        inst->Status = (uint8_t)GSM_PIN_SimStatus_Unknown;
        inst->UrcStatus = 0u;
        inst->Tries = 0u;
        enterStep(inst, PIN_STEP_QUERY);
    }
    if (inst->UrcStatus != 0u)
    {
        GSM_PIN_SimStatus s = (GSM_PIN_SimStatus)inst->UrcStatus;
        inst->UrcStatus = 0u;
        setStatus(inst, s);
        if ((inst->Step == PIN_STEP_WAIT_READY) && (s == GSM_PIN_SimStatus_Ready))
        {
            raise(inst, GSM_PIN_EventType_PinSuccess, NULL);
            enterStep(inst, PIN_STEP_IDLE);
        }
    }

    switch (inst->Step)
    {
    case PIN_STEP_QUERY:
        if (inst->CmdState == 0u)
        {
            inst->ReadStatus = (uint8_t)GSM_PIN_SimStatus_Unknown;
        }
        st = gsmPromptHelperExecP(inst->Prompt, inst, &inst->CmdState, kCpinRead, &kCpinReadSpec, &onCpinLine, inst);
        if (st == GSM_Prompt_CmdStatus_Pending)
        {
            break;
        }
        code = gsmPromptCmdErrorCode(inst->Prompt);
        gsmPromptRelease(inst->Prompt, inst);
        if (inst->Verifying)
        {
            /* a read while waiting for the SIM to accept the PIN (keeps the 10 s timer) */
            inst->Verifying = false;
            inst->Step = PIN_STEP_WAIT_READY;
            if ((st == GSM_Prompt_CmdStatus_Ok) && (inst->ReadStatus == (uint8_t)GSM_PIN_SimStatus_Ready))
            {
                setStatus(inst, GSM_PIN_SimStatus_Ready);
                raise(inst, GSM_PIN_EventType_PinSuccess, NULL);
                enterStep(inst, PIN_STEP_IDLE);
            }
            break;
        }
        enterStep(inst, queryResult(inst, st, code) ? PIN_STEP_IDLE : PIN_STEP_QUERY_WAIT);
        break;

    case PIN_STEP_QUERY_WAIT:
        if (GSM_TIME_ELAPSED(now, inst->Timer_ms) >= GSM_PIN_RETRY_MS)
        {
            enterStep(inst, PIN_STEP_QUERY);
        }
        break;

    case PIN_STEP_IDLE:
        if (!inst->PinRequested)
        {
            break;
        }
        switch ((GSM_PIN_SimStatus)inst->Status)
        {
        case GSM_PIN_SimStatus_SimPin:
            inst->PinRequested = false;
            enterStep(inst, PIN_STEP_ENTER);
            break;
        case GSM_PIN_SimStatus_Ready:
            fail(inst, GSM_PIN_FailReason_NotRequired, -1);
            break;
        case GSM_PIN_SimStatus_SimPuk:
            fail(inst, GSM_PIN_FailReason_PukRequired, -1);
            break;
        case GSM_PIN_SimStatus_Unknown:
            break; /* not read yet */
        default:
            fail(inst, GSM_PIN_FailReason_NoSim, -1);
            break;
        }
        break;

    case PIN_STEP_ENTER:
    {
        /* AT+CPIN="0123": at least four digits, leading zeros kept */
        char cmd[20];
        uint8_t n;
        for (n = 0u; n < 7u; n++) /* "AT+CPIN" of the read command */
        {
            cmd[n] = (char)GSM_PGM_READ_BYTE(&kCpinRead[n]);
        }
        cmd[7] = '=';
        cmd[8] = '"';
        n = gsmUtilUintToStr(&cmd[9], 6u, inst->Pin, 4u);
        cmd[9u + n] = '"';
        cmd[10u + n] = '\0';
        st = gsmPromptHelperExec(inst->Prompt, inst, &inst->CmdState, cmd, &kCpinEnterSpec, NULL, NULL);
        if (st == GSM_Prompt_CmdStatus_Pending)
        {
            break;
        }
        code = gsmPromptCmdErrorCode(inst->Prompt);
        gsmPromptRelease(inst->Prompt, inst);
        if (st == GSM_Prompt_CmdStatus_Ok)
        {
            if (inst->Status == (uint8_t)GSM_PIN_SimStatus_Ready)
            {
                raise(inst, GSM_PIN_EventType_PinSuccess, NULL); /* READY came before OK */
                enterStep(inst, PIN_STEP_IDLE);
            }
            else
            {
                inst->Tries = 0u;
                enterStep(inst, PIN_STEP_WAIT_READY);
            }
            break;
        }
        if ((st == GSM_Prompt_CmdStatus_CmeError) && (code == 16))
        {
            fail(inst, GSM_PIN_FailReason_WrongPin, code);
        }
        else if (gsmPromptHelperIsErrorStatus(st))
        {
            fail(inst, GSM_PIN_FailReason_ModemError, code);
        }
        else
        {
            fail(inst, GSM_PIN_FailReason_Timeout, -1);
        }
        /* Read the status again: after the third wrong PIN the SIM asks for the PUK. */
        inst->Tries = 0u;
        enterStep(inst, PIN_STEP_QUERY);
        break;
    }

    case PIN_STEP_WAIT_READY:
    default:
        if (GSM_TIME_ELAPSED(now, inst->Timer_ms) >= GSM_PIN_READY_TIMEOUT_MS)
        {
            fail(inst, GSM_PIN_FailReason_Timeout, -1);
            inst->Tries = 0u;
            enterStep(inst, PIN_STEP_QUERY);
        }
        else if (GSM_TIME_ELAPSED(now, inst->Timer_ms) >= ((uint32_t)inst->Tries + 1u) * GSM_PIN_RETRY_MS)
        {
            inst->Tries++;
            inst->CmdState = 0u;
            inst->Verifying = true;
            inst->Step = PIN_STEP_QUERY; /* keeps Timer_ms: the 10 s run from the OK */
        }
        break;
    }
}

void gsmPinEnter(GSM_PIN_Instance* inst, uint16_t sim_pin)
{
    if (inst == NULL)
    {
        return;
    }
    inst->Pin = sim_pin;
    inst->PinRequested = true;
}

GSM_PIN_SimStatus gsmPinStatus(GSM_PIN_Instance* inst)
{
    if (inst == NULL)
    {
        return GSM_PIN_SimStatus_Unknown;
    }
    return (GSM_PIN_SimStatus)inst->Status;
}
