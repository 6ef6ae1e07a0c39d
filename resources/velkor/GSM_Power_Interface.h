/*
 * GSM_Power_Interface.h - what the other modules see of the modem power control.
 *
 * The Power instance embeds a GSM_Power_Interface as its member `_i`; dependent modules receive
 * `&(mGsmPwrInst._i)` and use only the functions below. All functions are for the main-loop context
 * (not interrupt safe) and return at once. A NULL interface reads as "off".
 */
#ifndef GSM_POWER_INTERFACE_H_
#define GSM_POWER_INTERFACE_H_

#include "GSM_Globals.h"

#ifdef __cplusplus
extern "C" {
#endif

/** Power state of the modem as the power control sees it. */
typedef enum
{
    GSM_Power_State_Off = 0,    /**< switched off (or never switched on) */
    GSM_Power_State_SwitchingOn, /**< power-key press / waiting for the STATUS line */
    GSM_Power_State_On,          /**< running: the serial line may be used */
    GSM_Power_State_SwitchingOff, /**< power-key press / waiting for STATUS to drop */
    GSM_Power_State_Resetting,   /**< recovery in progress (reset pulse or power cycle) */
    GSM_Power_State_Failed       /**< the modem did not react to the power key; retried later */
} GSM_Power_State;

/** Interface data (owned by the Power module; read it through the functions below). */
typedef struct GSM_Power_Interface
{
    uint8_t State;      /**< GSM_Power_State */
    uint8_t StartCount; /**< incremented every time the modem (re)enters GSM_Power_State_On */
    bool Unconfirmed;   /**< On is an assumption: no STATUS input and no key press since start */
} GSM_Power_Interface;

/** Present power state. */
GSM_Power_State gsmPowerIfState(const GSM_Power_Interface* pwr);

/** True while the modem is running and the serial line may be used. */
bool gsmPowerIfIsOn(const GSM_Power_Interface* pwr);

/**
 * A counter that changes every time the modem is (re)started by the power control (power-on,
 * reset, power cycle). Dependent modules compare it with a stored copy to notice a restart.
 */
uint8_t gsmPowerIfStartCount(const GSM_Power_Interface* pwr);

/**
 * True when the modem is off or has been (re)started since `*start_count` was taken from
 * gsmPowerIfStartCount(); `*start_count` then takes the present count, so a restart is reported
 * once (an off modem is reported on every call). False without a power control (pwr NULL).
 */
bool gsmPowerIfRestarted(const GSM_Power_Interface* pwr, uint8_t* start_count);

/**
 * True when the On state is only assumed: the board has no STATUS input and the modem has not been
 * pressed on since start (it may be running from before, or off). Basic Comms then probes briefly
 * with "AT" and asks for recovery (one key press) when nothing answers.
 */
bool gsmPowerIfOnUnconfirmed(const GSM_Power_Interface* pwr);

/**
 * Asks for the recovery of a modem that stopped answering: a reset pulse when a reset line is
 * wired (SetReset not NULL), otherwise a power cycle through the power key. Ignored while the
 * application wants the modem off or while a recovery already runs. Used by Basic Comms.
 */
void gsmPowerIfRequestRecovery(GSM_Power_Interface* pwr);

/**
 * Tells the power control that the modem announced its own shutdown (for example
 * "NORMAL POWER DOWN"). If the application wants the modem on, it is switched on again.
 */
void gsmPowerIfNotifyModemDown(GSM_Power_Interface* pwr);

#ifdef __cplusplus
}
#endif

#endif /* GSM_POWER_INTERFACE_H_ */
