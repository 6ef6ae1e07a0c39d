/*
 * GSM_BasicComms.c - handshake, echo and error-format set-up, loss detection and recovery.
 */
#include "GSM_BasicComms.h"
#include "GSM_Required_Externals.h"
#include "GSM_Util.h"

/* Steps. */
enum
{
    BC_STEP_WAIT_POWER = 0, /* modem not on */
    BC_STEP_HANDSHAKE,      /* "AT" until OK */
    BC_STEP_SETUP,          /* echo and error format */
    BC_STEP_ESTABLISHED,    /* watching */
    BC_STEP_PROBE,          /* "AT" after a time-out or a long silence */
    BC_STEP_WAIT_RECOVERY   /* Power is resetting / power-cycling the modem */
};

/* Flags. */
#define BC_F_BOOT_SEEN  0x01u /* the modem printed a boot message */
#define BC_F_POWER_DOWN 0x02u /* the modem announced its shutdown */

/* Time to probe a modem whose power state is only assumed (no STATUS input). */
#define BC_UNCONFIRMED_WINDOW_MS 1500u
/* Give up waiting for a recovery that Power did not start (for example modem wanted off). */
#define BC_RECOVERY_WAIT_MS 120000UL

static const GSM_Prompt_CmdSpec kAtSpec = {NULL, 500u, 0u};
static const GSM_Prompt_CmdSpec kProbeSpec = {NULL, 1000u, 0u};

/* Set-up after the handshake (each with kProbeSpec): echo as configured, then numeric +CME errors. */
static const char kEchoOn[] GSM_PGM = "ATE1";
static const char kEchoOff[] GSM_PGM = "ATE0";
static const char kCmee[] GSM_PGM = "AT+CMEE=1";

/* Boot messages first (the handler tells them apart by their first letter), then power-down ones. */
static const char* const kBootPrefixes[] = {"RDY", "*ATREADY: 1", "START", "NORMAL POWER", "POWERD DOWN",
                                            "UNDER-VOLTAGE POWER", "OVER-VOLTAGE POWER", NULL};

static void onBootUrc(void* ctx, const char* line, uint16_t len)
{
    GSM_BasicComms_Instance* inst = (GSM_BasicComms_Instance*)ctx;
    if ((line[0] == 'R') || (line[0] == '*') || (line[0] == 'S'))
    {
        if ((len == 3u) || (len == 5u) || (len == 11u)) /* "RDY", "START", "*ATREADY: 1" alone */
        {
            inst->Flags |= BC_F_BOOT_SEEN;
        }
    }
    else
    {
        inst->Flags |= BC_F_POWER_DOWN; /* NORMAL POWER DOWN/OFF, POWERD DOWN, voltage shutdown */
    }
}

static void enterStep(GSM_BasicComms_Instance* inst, uint8_t step)
{
    inst->Step = step;
    inst->Timer_ms = gsm__SysTime_ms();
    inst->Seq.Index = 0u;    /* set-up starts with its first command */
    inst->Seq.CmdState = 0u; /* no command of the step sent yet */
}

static void setEstablished(GSM_BasicComms_Instance* inst, bool established)
{
    if (established && !inst->_i.Established)
    {
        inst->_i.Session++;
        GSM_DEBUG_TEXT("GSM comms: established\r\n");
    }
    inst->_i.Established = established;
}

/* Starts a fresh handshake: everything the modem knew is gone. */
static void startHandshake(GSM_BasicComms_Instance* inst)
{
    setEstablished(inst, false);
    gsmPromptResetSession(inst->Prompt);
    inst->Flags = 0u;
    inst->Tries = 0u;
    enterStep(inst, BC_STEP_HANDSHAKE);
}

static void lost(GSM_BasicComms_Instance* inst)
{
    GSM_DEBUG_TEXT("GSM comms: lost, recovering\r\n");
    setEstablished(inst, false);
    gsmPromptResetSession(inst->Prompt);
    gsmPowerIfRequestRecovery(inst->Power);
    enterStep(inst, BC_STEP_WAIT_RECOVERY);
}

void gsmBasicCommsInit(GSM_BasicComms_Instance* inst)
{
    if (inst == NULL)
    {
        return;
    }
    inst->_i.Established = false;
    inst->_i.Session = 0u;
    inst->Urc.Prefixes = kBootPrefixes;
    inst->Urc.Handler = &onBootUrc;
    inst->Urc.Context = inst;
    gsmPromptUrcSubscribe(inst->Prompt, &inst->Urc);
    inst->Flags = 0u;
    inst->Tries = 0u;
    inst->PowerStartCount = gsmPowerIfStartCount(inst->Power);
    enterStep(inst, BC_STEP_WAIT_POWER);
}

void gsmBasicCommsPoll(GSM_BasicComms_Instance* inst)
{
    GSM_Prompt_CmdStatus st;
    uint32_t now;
    uint8_t starts;

    if ((inst == NULL) || (inst->Prompt == NULL))
    {
        return;
    }
    now = gsm__SysTime_ms();

    /* Power supervision first: no power, no communication. */
    if ((inst->Power != NULL) && (inst->Power->State != (uint8_t)GSM_Power_State_On))
    {
        if (inst->Step != BC_STEP_WAIT_POWER && inst->Step != BC_STEP_WAIT_RECOVERY)
        {
            setEstablished(inst, false);
            enterStep(inst, BC_STEP_WAIT_POWER);
        }
        return;
    }
    starts = (inst->Power != NULL) ? inst->Power->StartCount : 0u;
    if ((starts != inst->PowerStartCount) || (inst->Step == BC_STEP_WAIT_POWER))
    {
        inst->PowerStartCount = starts;
        startHandshake(inst);
    }
    if ((inst->Flags & BC_F_POWER_DOWN) != 0u)
    {
        GSM_DEBUG_TEXT("GSM comms: modem powered down\r\n");
        inst->Flags = 0u;
        setEstablished(inst, false);
        gsmPromptResetSession(inst->Prompt);
        gsmPowerIfNotifyModemDown(inst->Power);
        enterStep(inst, BC_STEP_WAIT_RECOVERY);
        return;
    }
    if (((inst->Flags & BC_F_BOOT_SEEN) != 0u) && (inst->Step != BC_STEP_HANDSHAKE))
    {
        GSM_DEBUG_TEXT("GSM comms: modem restarted\r\n");
        startHandshake(inst); /* the modem forgot echo, error format and everything else */
    }

    switch (inst->Step)
    {
    case BC_STEP_HANDSHAKE:
        inst->Flags = (uint8_t)(inst->Flags & (uint8_t)~BC_F_BOOT_SEEN);
        if ((inst->Seq.CmdState == 0u) &&
            (GSM_TIME_ELAPSED(now, inst->Timer_ms) < ((uint32_t)inst->Tries * GSM_BASICCOMMS_HANDSHAKE_INTERVAL_MS)))
        {
            break; /* attempt n is due n intervals after the start of the handshake */
        }
        if ((inst->Seq.CmdState == 0u) && (inst->Tries < 255u))
        {
            inst->Tries++;
        }
        st = gsmPromptHelperExec(inst->Prompt, inst, &inst->Seq.CmdState, "AT", &kAtSpec, NULL, NULL);
        if (st == GSM_Prompt_CmdStatus_Pending)
        {
            break;
        }
        if (st == GSM_Prompt_CmdStatus_Ok)
        {
            enterStep(inst, BC_STEP_SETUP);
            break;
        }
        if (GSM_TIME_ELAPSED(now, inst->Timer_ms) >=
            (gsmPowerIfOnUnconfirmed(inst->Power) ? BC_UNCONFIRMED_WINDOW_MS : GSM_BASICCOMMS_BOOT_TIMEOUT_MS))
        {
            GSM_DEBUG_TEXT("GSM comms: no answer to AT\r\n");
            lost(inst);
        }
        break;

    case BC_STEP_SETUP:
        st = gsmPromptHelperExecP(inst->Prompt, inst, &inst->Seq.CmdState,
                                  (inst->Seq.Index != 0u) ? kCmee : ((inst->EchoOn != 0) ? kEchoOn : kEchoOff), &kProbeSpec, NULL,
                                  NULL);
        if (st == GSM_Prompt_CmdStatus_Pending)
        {
            break;
        }
        if ((st == GSM_Prompt_CmdStatus_Ok) && (inst->Seq.Index == 0u))
        {
            inst->Seq.Index = 1u; /* the next poll sends the second command */
            break;
        }
        if (st == GSM_Prompt_CmdStatus_Ok)
        {
            gsmPromptRelease(inst->Prompt, inst);
            inst->Tries = 0u;
            setEstablished(inst, true);
            enterStep(inst, BC_STEP_ESTABLISHED);
        }
        else
        {
            startHandshake(inst);
        }
        break;

    case BC_STEP_ESTABLISHED:
        if (inst->Prompt->ConsecutiveTimeouts > 0u)
        {
            inst->Tries = 0u;
            enterStep(inst, BC_STEP_PROBE); /* a command went unanswered: is the modem still there? */
        }
#if GSM_BASICCOMMS_KEEPALIVE_MS > 0
        else if ((GSM_TIME_ELAPSED(now, gsmPromptLastRxTime(inst->Prompt)) >= GSM_BASICCOMMS_KEEPALIVE_MS) &&
                 (GSM_TIME_ELAPSED(now, inst->Timer_ms) >= GSM_BASICCOMMS_KEEPALIVE_MS))
        {
            inst->Tries = 0u;
            enterStep(inst, BC_STEP_PROBE); /* long silence */
        }
#endif
        break;

    case BC_STEP_PROBE:
        st = gsmPromptHelperExec(inst->Prompt, inst, &inst->Seq.CmdState, "AT", &kProbeSpec, NULL, NULL);
        if (st == GSM_Prompt_CmdStatus_Pending)
        {
            break;
        }
        if ((st == GSM_Prompt_CmdStatus_Ok) || gsmPromptHelperIsErrorStatus(st))
        {
            gsmPromptRelease(inst->Prompt, inst);
            enterStep(inst, BC_STEP_ESTABLISHED); /* it answers */
            break;
        }
        inst->Tries++;
        if (inst->Tries >= GSM_BASICCOMMS_PROBE_TRIES)
        {
            lost(inst);
        }
        break;

    case BC_STEP_WAIT_RECOVERY:
    default:
        if (GSM_TIME_ELAPSED(now, inst->Timer_ms) >= BC_RECOVERY_WAIT_MS)
        {
            startHandshake(inst);
        }
        break;
    }
}

bool gsmBasicCommsCommunicationEstablished(GSM_BasicComms_Instance* inst)
{
    return (inst != NULL) && inst->_i.Established;
}

bool gsmBasicCommsIfEstablished(const GSM_BasicComms_Interface* comms)
{
    return (comms != NULL) && comms->Established;
}

uint8_t gsmBasicCommsIfSession(const GSM_BasicComms_Interface* comms)
{
    return (comms != NULL) ? comms->Session : 0u;
}
