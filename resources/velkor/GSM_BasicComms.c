/*
 * GSM_BasicComms.c - handshake, echo and error-format set-up, loss detection and recovery.
 */
#include "GSM_BasicComms.h"
#include "GSM_Required_Externals.h"
#include "GSM_Util.h"

/* Steps. Each step of the handshake and set-up is followed by the next one when the modem answers
 * OK; the last set-up step and the probe by "established". */
enum
{
    BC_STEP_WAIT_POWER = 0, /* modem not on */
    BC_STEP_HANDSHAKE,      /* "AT" until OK */
    BC_STEP_SETUP_ECHO,     /* "ATE1" / "ATE0" */
    BC_STEP_SETUP_CMEE,     /* "AT+CMEE=1" */
    BC_STEP_PROBE,          /* "AT" after a time-out or a long silence */
    BC_STEP_ESTABLISHED,    /* watching */
    BC_STEP_WAIT_RECOVERY,  /* Power is resetting / power-cycling the modem */
    BC_STEP_RESTARTED,      /* a boot message arrived: set the modem up again */
    BC_STEP_POWERED_DOWN    /* the modem announced its shutdown */
};

/* CmdState bit (gsmPromptHelperExec uses bit 0 only): the probe follows a command that timed out.
 * Once the probe has its final status, bit 0 is clear and CmdState is this bit alone. */
#define BC_AFTER_UNANSWERED 0x02u

/* 2 ms ticks of the step timer. */
#define BC_TICKS(ms) ((uint16_t)((ms) / 2u))

/* Time to probe a modem whose power state is only assumed (no STATUS input). */
#define BC_UNCONFIRMED_WINDOW_MS 1500u
/* Give up waiting for a recovery that Power did not start (for example modem wanted off). */
#define BC_RECOVERY_WAIT_MS 120000UL

static const GSM_Prompt_CmdSpec kAtSpec = {NULL, 500u, 0u};
static const GSM_Prompt_CmdSpec kProbeSpec = {NULL, 1000u, 0u};

/* The commands, one after another: handshake and probe, echo off, echo on, numeric +CME errors. */
static const char kCommands[] GSM_PGM = "AT\0ATE0\0ATE1\0AT+CMEE=1";
#define BC_CMD_AT      0u
#define BC_CMD_ECHO    3u /* ATE0; ATE1 follows 5 characters later */
#define BC_CMD_CMEE    13u

static uint16_t ticksNow(void)
{
    return (uint16_t)(gsm__SysTime_ms() >> 1);
}

static GSM_NOINLINE void enterStep(GSM_BasicComms_Instance* inst, uint8_t step)
{
    inst->Step = step;
    inst->Timer = ticksNow();
    inst->CmdState = 0u; /* no command of the step sent yet */
    inst->Tries = 0u;
}

/* Ends the session: everything the modem knew is gone. */
static void endSession(GSM_BasicComms_Instance* inst, uint8_t step)
{
    inst->_i.Established = false;
    gsmPromptResetSession(inst->Prompt);
    enterStep(inst, step);
}

void gsmBasicCommsInit(GSM_BasicComms_Instance* inst)
{
    if (inst == NULL)
    {
        return;
    }
    inst->_i.Established = false;
    inst->_i.Session = 0u;
    enterStep(inst, BC_STEP_WAIT_POWER);
}

void gsmBasicCommsPoll(GSM_BasicComms_Instance* inst)
{
    uint8_t st; /* GSM_Prompt_CmdStatus (a byte: shorter tests on AVR) */
    uint16_t elapsed;
    uint8_t step;
    uint8_t ev;
    uint8_t cmd = BC_CMD_AT;
    const GSM_Prompt_CmdSpec* spec = &kProbeSpec;

    if ((inst == NULL) || (inst->Prompt == NULL))
    {
        return;
    }

    /* A boot message means the modem restarted: the set-up runs again (during the handshake it
     * follows anyway). A shutdown message: the Power module switches the modem on again. */
    ev = inst->Prompt->ModemEvent;
    inst->Prompt->ModemEvent = 0u;
    if (ev == GSM_PROMPT_MODEM_POWER_DOWN)
    {
        inst->Step = BC_STEP_POWERED_DOWN;
    }
    else if ((ev == GSM_PROMPT_MODEM_RESTARTED) && (inst->Step != BC_STEP_HANDSHAKE))
    {
        inst->Step = BC_STEP_RESTARTED;
    }

    /* Power supervision first: no power, no communication. A modem that is switched on again
     * (power-on, reset, power cycle) always passes through a state other than On. */
    if ((inst->Power != NULL) && (inst->Power->State != (uint8_t)GSM_Power_State_On))
    {
        if (inst->Step != BC_STEP_WAIT_POWER)
        {
            inst->_i.Established = false;
            enterStep(inst, BC_STEP_WAIT_POWER);
        }
        return;
    }

    switch (inst->Step)
    {
    case BC_STEP_WAIT_POWER:
    case BC_STEP_RESTARTED:
        GSM_DEBUG_TEXT("GSM comms: handshake\r\n");
        endSession(inst, BC_STEP_HANDSHAKE);
        break;

    case BC_STEP_POWERED_DOWN:
        GSM_DEBUG_TEXT("GSM comms: modem powered down\r\n");
        gsmPowerIfNotifyModemDown(inst->Power);
        endSession(inst, BC_STEP_WAIT_RECOVERY);
        return;

    case BC_STEP_ESTABLISHED:
        if ((inst->Prompt->ConsecutiveTimeouts == 0u)
#if GSM_BASICCOMMS_KEEPALIVE_MS > 0
            /* Every received byte refreshes the time of the last reception, the answer that
             * established the session included. */
            && (GSM_TIME_ELAPSED(gsm__SysTime_ms(), gsmPromptLastRxTime(inst->Prompt)) < GSM_BASICCOMMS_KEEPALIVE_MS)
#endif
        )
        {
            return;
        }
        /* A command went unanswered, or a long silence: is the modem still there? */
        enterStep(inst, BC_STEP_PROBE);
#if GSM_MODEM_FAMILY != GSM_MODEM_FAMILY_LTE
        /* the command that timed out went unanswered */
        inst->CmdState = (uint8_t)((inst->Prompt->ConsecutiveTimeouts != 0u) ? BC_AFTER_UNANSWERED : 0u);
#endif
        break;

    case BC_STEP_WAIT_RECOVERY:
        if ((uint16_t)(ticksNow() - inst->Timer) >= BC_TICKS(BC_RECOVERY_WAIT_MS))
        {
            endSession(inst, BC_STEP_HANDSHAKE);
            break;
        }
        return;

    default:
        break;
    }

    /* The command of the step. */
    elapsed = (uint16_t)(ticksNow() - inst->Timer);
    step = inst->Step;
    if (step == BC_STEP_HANDSHAKE)
    {
        if (inst->CmdState == 0u)
        {
            /* attempt n is due n intervals after the start of the handshake */
            if (elapsed < (uint16_t)(inst->Tries * BC_TICKS(GSM_BASICCOMMS_HANDSHAKE_INTERVAL_MS)))
            {
                return;
            }
            inst->Tries++;
        }
        spec = &kAtSpec;
    }
    else if (step == BC_STEP_SETUP_ECHO)
    {
        cmd = (uint8_t)((inst->EchoOn != 0u) ? (BC_CMD_ECHO + 5u) : BC_CMD_ECHO);
    }
    else if (step == BC_STEP_SETUP_CMEE)
    {
        cmd = BC_CMD_CMEE;
    }
    st = (uint8_t)gsmPromptHelperExecP(inst->Prompt, inst, &inst->CmdState, &kCommands[cmd], spec, NULL, NULL);
    if (st == GSM_Prompt_CmdStatus_Pending)
    {
        return;
    }

    /* The modem answered: on to the next step (the probe, too, goes on to "established"). An error
     * answer to the probe shows the modem alive as well. */
    if ((st == GSM_Prompt_CmdStatus_Ok) || ((step == BC_STEP_PROBE) && GSM_PROMPT_STATUS_IS_ERROR(st)))
    {
#if GSM_MODEM_FAMILY != GSM_MODEM_FAMILY_LTE
        if ((step == BC_STEP_PROBE) && ((inst->Tries | inst->CmdState) != 0u))
        {
            /* A 2G modem in auto-baud mode restarts without a boot message (it prints nothing before
             * an "AT" locks the rate) and ignores every command until then: a probe answered only
             * after unanswered commands (probes, or the command whose time-out started them) may be
             * the first one it heard since a restart, which lost the echo and error settings and
             * every service. Set it up again in a new session. */
            GSM_DEBUG_TEXT("GSM comms: answered again, setting up\r\n");
            endSession(inst, BC_STEP_SETUP_ECHO);
            return;
        }
#endif
        if (step == BC_STEP_SETUP_CMEE)
        {
            inst->_i.Established = true;
            inst->_i.Session++;
            GSM_DEBUG_TEXT("GSM comms: established\r\n");
        }
        if (step >= BC_STEP_SETUP_CMEE)
        {
            gsmPromptRelease(inst->Prompt, inst);
            step = BC_STEP_ESTABLISHED - 1u;
        }
        enterStep(inst, (uint8_t)(step + 1u));
        return;
    }
    if (step == BC_STEP_HANDSHAKE)
    {
        /* (the power state is On here: see the power supervision above) */
        if (elapsed < (((inst->Power != NULL) && inst->Power->Unconfirmed) ? BC_TICKS(BC_UNCONFIRMED_WINDOW_MS)
                                                                          : BC_TICKS(GSM_BASICCOMMS_BOOT_TIMEOUT_MS)))
        {
            return; /* the next attempt follows */
        }
        GSM_DEBUG_TEXT("GSM comms: no answer to AT\r\n");
    }
    else if (step != BC_STEP_PROBE)
    {
        endSession(inst, BC_STEP_HANDSHAKE); /* the set-up failed: from the start */
        return;
    }
    else
    {
        inst->Tries++;
        if (inst->Tries < GSM_BASICCOMMS_PROBE_TRIES)
        {
            return;
        }
    }

    GSM_DEBUG_TEXT("GSM comms: lost, recovering\r\n");
    gsmPowerIfRequestRecovery(inst->Power);
    endSession(inst, BC_STEP_WAIT_RECOVERY);
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
