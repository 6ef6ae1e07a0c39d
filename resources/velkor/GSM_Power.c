/*
 * GSM_Power.c - power-key sequencing, STATUS supervision and recovery (reset or power cycle).
 */
#include "GSM_Power.h"
#include "GSM_Required_Externals.h"

/* Steps of the state machine. A key press step is followed by its release step (step + 1). From
 * PWR_STEP_WAIT_ON_RESET on, the modem is believed to run (what gsmPowerGet reports without STATUS). */
enum
{
    PWR_STEP_STARTUP = 0,   /* settle time after init */
    PWR_STEP_OFF,           /* off, idle */
    PWR_STEP_FAILED,        /* pause before the next attempt */
    PWR_STEP_OFF_GUARD,     /* minimum off time */
    PWR_STEP_PRESS_ON,      /* key held for power-on */
    PWR_STEP_WAIT_ON,       /* key released, waiting for STATUS high */
    PWR_STEP_WAIT_ON_RESET, /* reset released, waiting for STATUS high (the reset was tried) */
    PWR_STEP_RESET,         /* reset line held */
    PWR_STEP_ON,            /* running */
    PWR_STEP_RECOVER,       /* running, Basic Comms asked for a reset / power cycle */
    PWR_STEP_PRESS_OFF,     /* key held for power-off (or for the toggle of a recovery) */
    PWR_STEP_WAIT_OFF       /* waiting for STATUS low */
};

#define PWR_WANT_ON   0x80u /* Step bit: the application wants the modem on */
#define PWR_STEP_MASK 0x7Fu

/* Time for STATUS to drop after a power-off press (LTE modems log off the network first). */
#define PWR_OFF_STATUS_TIMEOUT_MS 30000u

/* Wait of each step (ms) that is timed by the clock (the key presses use their set lengths). */
static const uint16_t kStepWait[] GSM_PGM = {
    GSM_POWER_STARTUP_DELAY_MS,  /* PWR_STEP_STARTUP */
    0u,                          /* PWR_STEP_OFF (not timed) */
    GSM_POWER_RETRY_DELAY_MS,    /* PWR_STEP_FAILED */
    GSM_POWER_OFF_GUARD_MS,      /* PWR_STEP_OFF_GUARD */
    0u,                          /* PWR_STEP_PRESS_ON */
    GSM_POWER_STATUS_TIMEOUT_MS, /* PWR_STEP_WAIT_ON */
    GSM_POWER_STATUS_TIMEOUT_MS, /* PWR_STEP_WAIT_ON_RESET */
    GSM_POWER_RESET_PULSE_MS,    /* PWR_STEP_RESET */
    0u,                          /* PWR_STEP_ON (not timed) */
    0u,                          /* PWR_STEP_RECOVER (not timed) */
    0u,                          /* PWR_STEP_PRESS_OFF */
    PWR_OFF_STATUS_TIMEOUT_MS    /* PWR_STEP_WAIT_OFF */
};

/* Press length in GSM_POWER_PRESS_UNIT_MS steps, rounded up (for ms up to 12750). */
#define PWR_PRESS_UNITS(ms) ((uint8_t)(((ms) + GSM_POWER_PRESS_UNIT_MS - 1u) / GSM_POWER_PRESS_UNIT_MS))

static void setKey(GSM_Power_Instance* inst, bool activated)
{
    if (inst->SetPowerKey != NULL)
    {
        inst->SetPowerKey(inst, activated);
    }
}

static void setReset(GSM_Power_Instance* inst, bool activated)
{
    if (inst->SetReset != NULL)
    {
        inst->SetReset(inst, activated);
    }
}

/* STATUS high; false without a STATUS input. */
static GSM_ALWAYS_INLINE_32 bool statusHigh(GSM_Power_Instance* inst)
{
    return (inst->ReadStatus != NULL) && inst->ReadStatus(inst);
}

static void enterStep(GSM_Power_Instance* inst, uint8_t step, GSM_Power_State state)
{
    inst->Step = (uint8_t)((inst->Step & PWR_WANT_ON) | step);
    inst->_i.State = (uint8_t)state;
    inst->Timer_ms = (uint16_t)gsm__SysTime_ms();
}

static void becameOn(GSM_Power_Instance* inst)
{
    inst->_i.Unconfirmed = false;
    inst->_i.StartCount++;
    enterStep(inst, PWR_STEP_ON, GSM_Power_State_On);
    GSM_DEBUG_TEXT("GSM power: on\r\n");
}

/* Presses the key and enters `step` (a press step). */
static GSM_ALWAYS_INLINE void press(GSM_Power_Instance* inst, uint8_t step, GSM_Power_State state)
{
    setKey(inst, true);
    enterStep(inst, step, state);
}

/* What to do when the modem is idle (start-up, off, after a failure): follow STATUS and the wish of
 * the application. Without STATUS at start-up the modem may already run: it is reported on
 * (unconfirmed) and Basic Comms probes before any press, which would switch a running modem off. */
static GSM_ALWAYS_INLINE void settle(GSM_Power_Instance* inst, bool startup)
{
    bool wantOn = (inst->Step & PWR_WANT_ON) != 0u;
    if (statusHigh(inst))
    {
        if (wantOn)
        {
            becameOn(inst);
        }
        else
        {
            press(inst, PWR_STEP_PRESS_OFF, GSM_Power_State_SwitchingOff);
        }
    }
    else if (!wantOn)
    {
        enterStep(inst, PWR_STEP_OFF, GSM_Power_State_Off);
    }
    else if (startup && (inst->ReadStatus == NULL))
    {
        becameOn(inst);
        inst->_i.Unconfirmed = true;
    }
    else
    {
        press(inst, PWR_STEP_PRESS_ON, GSM_Power_State_SwitchingOn);
    }
}

void gsmPowerInit(GSM_Power_Instance* inst)
{
    if (inst == NULL)
    {
        return;
    }
    setKey(inst, false);
    setReset(inst, false);
    inst->OnPress = PWR_PRESS_UNITS(GSM_POWER_DEFAULT_ON_PRESS_MS);
    inst->OffPress = PWR_PRESS_UNITS(GSM_POWER_DEFAULT_OFF_PRESS_MS);
    inst->Step = PWR_WANT_ON;
    inst->_i.StartCount = 0u;
    inst->_i.Unconfirmed = false;
    enterStep(inst, PWR_STEP_STARTUP, GSM_Power_State_Off);
}

void gsmPowerPoll(GSM_Power_Instance* inst)
{
    uint16_t elapsed;
    uint16_t limit;
    uint8_t step;

    if (inst == NULL)
    {
        return;
    }
    elapsed = (uint16_t)((uint16_t)gsm__SysTime_ms() - inst->Timer_ms);
    step = (uint8_t)(inst->Step & PWR_STEP_MASK);

    /* Steps that follow STATUS or the application rather than the clock. */
    switch (step)
    {
    case PWR_STEP_OFF:
        if ((inst->Step & PWR_WANT_ON) != 0u)
        {
            settle(inst, false);
        }
        return;

    case PWR_STEP_ON:
    case PWR_STEP_RECOVER:
        if ((inst->Step & PWR_WANT_ON) == 0u)
        {
            press(inst, PWR_STEP_PRESS_OFF, GSM_Power_State_SwitchingOff);
        }
        else if ((inst->ReadStatus != NULL) && !inst->ReadStatus(inst))
        {
            /* The modem went off by itself (supply, temperature): keep it off for the guard time,
             * then switch it on again. */
            GSM_DEBUG_TEXT("GSM power: modem went off\r\n");
            enterStep(inst, PWR_STEP_OFF_GUARD, GSM_Power_State_Off);
        }
        else if (step == PWR_STEP_RECOVER)
        {
            /* Recoveries take turns between the reset line (when there is one) and a power cycle:
             * a reset does not start a modem that is off (without STATUS being on is only
             * assumed), nor does it revive every hung one. Every recovery ends in exactly one new
             * start, so the parity of the start count alternates from one to the next. The first
             * recovery after a start that was only assumed (no STATUS) presses the key: a modem
             * that did not answer then is most likely off. */
            if ((inst->SetReset != NULL) && ((inst->_i.StartCount & 1u) != 0u) && !inst->_i.Unconfirmed)
            {
                GSM_DEBUG_TEXT("GSM power: reset\r\n");
                inst->SetReset(inst, true);
                enterStep(inst, PWR_STEP_RESET, GSM_Power_State_Resetting);
            }
            else
            {
                /* A power cycle: off, the guard time, on again. Without STATUS the state is
                 * unknown: the press toggles the modem, and after the guard time it is tried as
                 * it is; if the press switched it off, the next recovery toggles it on again. */
                GSM_DEBUG_TEXT("GSM power: power cycle\r\n");
                press(inst, PWR_STEP_PRESS_OFF, GSM_Power_State_Resetting);
            }
        }
        return;

    case PWR_STEP_WAIT_ON:
    case PWR_STEP_WAIT_ON_RESET:
        if ((inst->ReadStatus == NULL) || inst->ReadStatus(inst))
        {
            becameOn(inst);
            return;
        }
        break;

    case PWR_STEP_WAIT_OFF:
        if (!statusHigh(inst))
        {
            /* The state (switching off or resetting) stays until the guard time is over. */
            enterStep(inst, PWR_STEP_OFF_GUARD, (GSM_Power_State)inst->_i.State);
            return;
        }
        break;

    default:
        break;
    }
    /* The wait of the step: a key press as set, the others from the table. */
    if ((step == PWR_STEP_PRESS_ON) || (step == PWR_STEP_PRESS_OFF))
    {
        limit = (uint16_t)(((step == PWR_STEP_PRESS_ON) ? inst->OnPress : inst->OffPress) *
                           GSM_POWER_PRESS_UNIT_MS);
    }
    else
    {
        limit = GSM_PGM_READ_WORD(&kStepWait[step]);
    }
    if (elapsed < limit)
    {
        return;
    }

    /* The wait of the step is over. */
    switch (step)
    {
    case PWR_STEP_PRESS_ON:
    case PWR_STEP_PRESS_OFF:
        /* Release the key; the state stays until the modem has followed. */
        setKey(inst, false);
        enterStep(inst, (uint8_t)(step + 1u), (GSM_Power_State)inst->_i.State);
        break;

    case PWR_STEP_WAIT_ON:
        GSM_DEBUG_TEXT("GSM power: STATUS did not follow the key\r\n");
        if (inst->SetReset != NULL)
        {
            /* once per attempt; a modem that is really off needs the key again */
            inst->SetReset(inst, true);
            enterStep(inst, PWR_STEP_RESET, GSM_Power_State_Resetting);
            break;
        }
        enterStep(inst, PWR_STEP_FAILED, GSM_Power_State_Failed);
        break;

    case PWR_STEP_WAIT_ON_RESET:
    case PWR_STEP_WAIT_OFF:
        enterStep(inst, PWR_STEP_FAILED, GSM_Power_State_Failed);
        break;

    case PWR_STEP_RESET:
        setReset(inst, false);
        /* The modem restarts; STATUS may dip and come back. */
        enterStep(inst, PWR_STEP_WAIT_ON_RESET, GSM_Power_State_SwitchingOn);
        break;

    case PWR_STEP_OFF_GUARD:
        if ((inst->ReadStatus == NULL) && (inst->_i.State == (uint8_t)GSM_Power_State_Resetting))
        {
            becameOn(inst); /* after the toggle of a recovery */
            break;
        }
        enterStep(inst, PWR_STEP_OFF, GSM_Power_State_Off);
        GSM_DEBUG_TEXT("GSM power: off\r\n");
        break;

    default: /* PWR_STEP_STARTUP, PWR_STEP_FAILED */
        settle(inst, step == PWR_STEP_STARTUP);
        break;
    }
}

bool gsmPowerGet(GSM_Power_Instance* inst)
{
    if (inst == NULL)
    {
        return false;
    }
    if (inst->ReadStatus != NULL)
    {
        return inst->ReadStatus(inst);
    }
    return (inst->Step & PWR_STEP_MASK) >= PWR_STEP_WAIT_ON_RESET;
}

void gsmPowerSet(GSM_Power_Instance* inst, bool powered_on)
{
    if (inst == NULL)
    {
        return;
    }
    inst->Step = (uint8_t)(powered_on ? (inst->Step | PWR_WANT_ON) : (inst->Step & PWR_STEP_MASK));
}

/* Stored press length for a new length in ms (0 keeps the present one). */
static uint8_t pressUnits(uint16_t ms, uint8_t present)
{
    if (ms == 0u)
    {
        return present;
    }
    return PWR_PRESS_UNITS((ms > 12750u) ? 12750u : ms);
}

void gsmPowerSetPowerKeyPressDurations(GSM_Power_Instance* inst, uint16_t powerOnPressTime_ms, uint16_t powerOffPressTime_ms)
{
    if (inst == NULL)
    {
        return;
    }
    inst->OnPress = pressUnits(powerOnPressTime_ms, inst->OnPress);
    inst->OffPress = pressUnits(powerOffPressTime_ms, inst->OffPress);
}

/* ---- Interface ---- */

GSM_Power_State gsmPowerIfState(const GSM_Power_Interface* pwr)
{
    if (pwr == NULL)
    {
        return GSM_Power_State_Off;
    }
    return (GSM_Power_State)pwr->State;
}

bool gsmPowerIfIsOn(const GSM_Power_Interface* pwr)
{
    return (pwr != NULL) && (pwr->State == (uint8_t)GSM_Power_State_On);
}

bool gsmPowerIfOnUnconfirmed(const GSM_Power_Interface* pwr)
{
    return gsmPowerIfIsOn(pwr) && pwr->Unconfirmed;
}

uint8_t gsmPowerIfStartCount(const GSM_Power_Interface* pwr)
{
    return (pwr != NULL) ? pwr->StartCount : 0u;
}

bool gsmPowerIfRestarted(const GSM_Power_Interface* pwr, uint8_t* start_count)
{
    if ((pwr == NULL) || (start_count == NULL) ||
        ((pwr->StartCount == *start_count) && (pwr->State == (uint8_t)GSM_Power_State_On)))
    {
        return false;
    }
    *start_count = pwr->StartCount;
    return true;
}

void gsmPowerIfRequestRecovery(GSM_Power_Interface* pwr)
{
    GSM_Power_Instance* inst;
    if (pwr == NULL)
    {
        return;
    }
    inst = GSM_CONTAINER_OF(pwr, GSM_Power_Instance, _i);
    if (inst->Step == (PWR_WANT_ON | PWR_STEP_ON))
    {
        inst->Step = PWR_WANT_ON | PWR_STEP_RECOVER;
    }
}

void gsmPowerIfNotifyModemDown(GSM_Power_Interface* pwr)
{
    if ((pwr != NULL) && (pwr->State == (uint8_t)GSM_Power_State_On)) /* running, or a recovery is due */
    {
        /* The modem switches itself off: wait for STATUS to drop (or assume it did). */
        enterStep(GSM_CONTAINER_OF(pwr, GSM_Power_Instance, _i), PWR_STEP_WAIT_OFF, GSM_Power_State_SwitchingOff);
    }
}
