/*
 * GSM_Power.c - power-key sequencing, STATUS supervision and recovery (reset or power cycle).
 */
#include "GSM_Power.h"
#include "GSM_Required_Externals.h"

/* Steps of the state machine. */
enum
{
    PWR_STEP_STARTUP = 0, /* settle time after init */
    PWR_STEP_OFF,         /* off, idle */
    PWR_STEP_PRESS_ON,    /* key held for power-on */
    PWR_STEP_WAIT_ON,     /* key released, waiting for STATUS high */
    PWR_STEP_ON,          /* running */
    PWR_STEP_PRESS_OFF,   /* key held for power-off */
    PWR_STEP_WAIT_OFF,    /* waiting for STATUS low */
    PWR_STEP_OFF_GUARD,   /* minimum off time */
    PWR_STEP_RESET,       /* reset line held */
    PWR_STEP_FAILED,      /* pause before the next attempt */
    PWR_STEP_TOGGLE_PRESS, /* no STATUS, no reset: one press to toggle the modem */
    PWR_STEP_TOGGLE_GUARD  /* after that press, before trying the modem again */
};

/* Time for STATUS to drop after a power-off press (LTE modems log off the network first). */
#define PWR_OFF_STATUS_TIMEOUT_MS 30000u

static bool statusHigh(GSM_Power_Instance* inst)
{
    if (inst->ReadStatus != NULL)
    {
        return inst->ReadStatus(inst);
    }
    return inst->AssumedOn;
}

static void setKey(GSM_Power_Instance* inst, bool activated)
{
    if (inst->SetPowerKey != NULL)
    {
        inst->SetPowerKey(inst, activated);
    }
}

static void enterStep(GSM_Power_Instance* inst, uint8_t step, GSM_Power_State state)
{
    inst->Step = step;
    inst->_i.State = (uint8_t)state;
    inst->Timer_ms = gsm__SysTime_ms();
}

static void becameOn(GSM_Power_Instance* inst)
{
    inst->_i.Unconfirmed = false;
    inst->AssumedOn = true;
    inst->RecoveryRequested = false;
    inst->_i.StartCount++;
    enterStep(inst, PWR_STEP_ON, GSM_Power_State_On);
    GSM_DEBUG_TEXT("GSM power: on\r\n");
}

static void startPressOn(GSM_Power_Instance* inst)
{
    inst->ResetTried = false;
    setKey(inst, true);
    enterStep(inst, PWR_STEP_PRESS_ON, GSM_Power_State_SwitchingOn);
}

static void startPressOff(GSM_Power_Instance* inst, GSM_Power_State state)
{
    setKey(inst, true);
    enterStep(inst, PWR_STEP_PRESS_OFF, state);
}

void gsmPowerInit(GSM_Power_Instance* inst)
{
    if (inst == NULL)
    {
        return;
    }
    setKey(inst, false);
    if (inst->SetReset != NULL)
    {
        inst->SetReset(inst, false);
    }
    inst->OnPress_ms = GSM_POWER_DEFAULT_ON_PRESS_MS;
    inst->OffPress_ms = GSM_POWER_DEFAULT_OFF_PRESS_MS;
    inst->WantOn = true;
    inst->RecoveryRequested = false;
    inst->AssumedOn = false;
    inst->ResetTried = false;
    inst->_i.StartCount = 0u;
    inst->_i.Unconfirmed = false;
    enterStep(inst, PWR_STEP_STARTUP, GSM_Power_State_Off);
}

void gsmPowerPoll(GSM_Power_Instance* inst)
{
    uint32_t now;
    uint32_t elapsed;

    if (inst == NULL)
    {
        return;
    }
    now = gsm__SysTime_ms();
    elapsed = GSM_TIME_ELAPSED(now, inst->Timer_ms);

    switch (inst->Step)
    {
    case PWR_STEP_STARTUP:
        if (elapsed < GSM_POWER_STARTUP_DELAY_MS)
        {
            break;
        }
        if ((inst->ReadStatus == NULL) && inst->WantOn)
        {
            /* Without STATUS the modem may already run: let Basic Comms probe before any press
             * (a press would switch a running modem off). */
            becameOn(inst);
            inst->_i.Unconfirmed = true;
        }
        else if ((inst->ReadStatus != NULL) && inst->ReadStatus(inst))
        {
            /* Already running (for example after a restart of the microcontroller alone). */
            if (inst->WantOn)
            {
                becameOn(inst);
            }
            else
            {
                startPressOff(inst, GSM_Power_State_SwitchingOff);
            }
        }
        else if (inst->WantOn)
        {
            startPressOn(inst);
        }
        else
        {
            enterStep(inst, PWR_STEP_OFF, GSM_Power_State_Off);
        }
        break;

    case PWR_STEP_OFF:
        if (inst->WantOn)
        {
            if ((inst->ReadStatus != NULL) && inst->ReadStatus(inst))
            {
                becameOn(inst); /* switched on by other means */
            }
            else
            {
                startPressOn(inst);
            }
        }
        break;

    case PWR_STEP_PRESS_ON:
        if (elapsed >= inst->OnPress_ms)
        {
            setKey(inst, false);
            enterStep(inst, PWR_STEP_WAIT_ON, GSM_Power_State_SwitchingOn);
        }
        break;

    case PWR_STEP_WAIT_ON:
        if ((inst->ReadStatus == NULL) || inst->ReadStatus(inst))
        {
            becameOn(inst);
        }
        else if (elapsed >= GSM_POWER_STATUS_TIMEOUT_MS)
        {
            GSM_DEBUG_TEXT("GSM power: STATUS did not follow the key\r\n");
            if ((inst->SetReset != NULL) && !inst->ResetTried)
            {
                /* once per attempt; a modem that is really off needs the key again */
                inst->ResetTried = true;
                inst->SetReset(inst, true);
                enterStep(inst, PWR_STEP_RESET, GSM_Power_State_Resetting);
            }
            else
            {
                enterStep(inst, PWR_STEP_FAILED, GSM_Power_State_Failed);
            }
        }
        break;

    case PWR_STEP_ON:
        if (!inst->WantOn)
        {
            startPressOff(inst, GSM_Power_State_SwitchingOff);
        }
        else if ((inst->ReadStatus != NULL) && !inst->ReadStatus(inst))
        {
            /* The modem went off by itself (supply, temperature): keep it off for the guard time,
             * then switch it on again. */
            GSM_DEBUG_TEXT("GSM power: modem went off\r\n");
            inst->AssumedOn = false;
            enterStep(inst, PWR_STEP_OFF_GUARD, GSM_Power_State_Off);
        }
        else if (inst->RecoveryRequested)
        {
            inst->RecoveryRequested = false;
            if (inst->SetReset != NULL)
            {
                GSM_DEBUG_TEXT("GSM power: reset\r\n");
                inst->ResetTried = true;
                inst->SetReset(inst, true);
                enterStep(inst, PWR_STEP_RESET, GSM_Power_State_Resetting);
            }
            else if (inst->ReadStatus == NULL)
            {
                /* State unknown: toggle once; if that switched it off, the next recovery toggles
                 * it on again. */
                GSM_DEBUG_TEXT("GSM power: toggle\r\n");
                setKey(inst, true);
                enterStep(inst, PWR_STEP_TOGGLE_PRESS, GSM_Power_State_Resetting);
            }
            else
            {
                GSM_DEBUG_TEXT("GSM power: power cycle\r\n");
                startPressOff(inst, GSM_Power_State_Resetting);
            }
        }
        break;

    case PWR_STEP_PRESS_OFF:
        if (elapsed >= inst->OffPress_ms)
        {
            setKey(inst, false);
            inst->Step = PWR_STEP_WAIT_OFF;
            inst->Timer_ms = now;
        }
        break;

    case PWR_STEP_WAIT_OFF:
        if ((inst->ReadStatus == NULL) || !inst->ReadStatus(inst))
        {
            inst->AssumedOn = false;
            inst->Step = PWR_STEP_OFF_GUARD;
            inst->Timer_ms = now;
        }
        else if (elapsed >= PWR_OFF_STATUS_TIMEOUT_MS)
        {
            enterStep(inst, PWR_STEP_FAILED, GSM_Power_State_Failed);
        }
        break;

    case PWR_STEP_OFF_GUARD:
        if (elapsed >= GSM_POWER_OFF_GUARD_MS)
        {
            enterStep(inst, PWR_STEP_OFF, GSM_Power_State_Off);
            GSM_DEBUG_TEXT("GSM power: off\r\n");
        }
        break;

    case PWR_STEP_RESET:
        if (elapsed >= GSM_POWER_RESET_PULSE_MS)
        {
            if (inst->SetReset != NULL)
            {
                inst->SetReset(inst, false);
            }
            /* The modem restarts; STATUS may dip and come back. */
            enterStep(inst, PWR_STEP_WAIT_ON, GSM_Power_State_SwitchingOn);
        }
        break;

    case PWR_STEP_TOGGLE_PRESS:
        if (elapsed >= inst->OffPress_ms)
        {
            setKey(inst, false);
            inst->Step = PWR_STEP_TOGGLE_GUARD;
            inst->Timer_ms = now;
        }
        break;

    case PWR_STEP_TOGGLE_GUARD:
        if (elapsed >= GSM_POWER_OFF_GUARD_MS)
        {
            becameOn(inst);
        }
        break;

    case PWR_STEP_FAILED:
    default:
        if (elapsed >= GSM_POWER_RETRY_DELAY_MS)
        {
            if (statusHigh(inst))
            {
                if (inst->WantOn)
                {
                    becameOn(inst);
                }
                else
                {
                    startPressOff(inst, GSM_Power_State_SwitchingOff);
                }
            }
            else
            {
                enterStep(inst, PWR_STEP_OFF, GSM_Power_State_Off);
            }
        }
        break;
    }
}

bool gsmPowerGet(GSM_Power_Instance* inst)
{
    if (inst == NULL)
    {
        return false;
    }
    return statusHigh(inst);
}

void gsmPowerSet(GSM_Power_Instance* inst, bool powered_on)
{
    if (inst == NULL)
    {
        return;
    }
    inst->WantOn = powered_on;
}

void gsmPowerSetPowerKeyPressDurations(GSM_Power_Instance* inst, uint16_t powerOnPressTime_ms, uint16_t powerOffPressTime_ms)
{
    if (inst == NULL)
    {
        return;
    }
    if (powerOnPressTime_ms != 0u)
    {
        inst->OnPress_ms = powerOnPressTime_ms;
    }
    if (powerOffPressTime_ms != 0u)
    {
        inst->OffPress_ms = powerOffPressTime_ms;
    }
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
    return (pwr != NULL) && (pwr->State == (uint8_t)GSM_Power_State_On) && pwr->Unconfirmed;
}

uint8_t gsmPowerIfStartCount(const GSM_Power_Interface* pwr)
{
    return (pwr != NULL) ? pwr->StartCount : 0u;
}

void gsmPowerIfRequestRecovery(GSM_Power_Interface* pwr)
{
    GSM_Power_Instance* inst;
    if (pwr == NULL)
    {
        return;
    }
    inst = GSM_CONTAINER_OF(pwr, GSM_Power_Instance, _i);
    if (inst->WantOn && (inst->Step == PWR_STEP_ON))
    {
        inst->RecoveryRequested = true;
    }
}

void gsmPowerIfNotifyModemDown(GSM_Power_Interface* pwr)
{
    GSM_Power_Instance* inst;
    if (pwr == NULL)
    {
        return;
    }
    inst = GSM_CONTAINER_OF(pwr, GSM_Power_Instance, _i);
    if (inst->Step == PWR_STEP_ON)
    {
        /* The modem switches itself off: wait for STATUS to drop (or assume it did). */
        enterStep(inst, PWR_STEP_WAIT_OFF, GSM_Power_State_SwitchingOff);
    }
}
