/*
 * GSM_Power.h - modem power control through the power key, an optional reset line and an
 * optional STATUS input.
 *
 * The power key is a toggle on SIMCom modems: the module reads the STATUS input before every press
 * so that a press never switches off a running modem by mistake. Everything runs as a state machine
 * advanced by gsmPowerPoll(); nothing blocks.
 *
 * After gsmPowerInit() the modem is wanted ON: the module presses the key (when STATUS says off)
 * and reports GSM_Power_State_On once STATUS is high. Call gsmPowerSet(inst, false) to switch off.
 *
 * Hardware callbacks (set before gsmPowerInit):
 * - SetPowerKey(inst, activated): drive the PWRKEY line; `activated` true = key pressed (PWRKEY low
 *   at the modem; many boards invert it through a transistor, the callback hides that).
 * - SetReset(inst, activated): optional (may be NULL); `activated` true = RESET held low. With it,
 *   the recoveries Basic Comms asks for take turns between a reset pulse and a power cycle (a reset
 *   does not start a modem that is off, nor revive every hung one).
 * - ReadStatus(inst): level of the STATUS output, true = modem running. May be NULL when the board
 *   has no STATUS line: the module then does not press the key at start (the modem may already run)
 *   but reports On at once; Basic Comms probes with "AT" for 1.5 s and, when nothing answers, asks
 *   for recovery, whose power cycle without STATUS is a single key press (a toggle). A press that
 *   switched a running but hung modem off is followed by another one at a later recovery.
 */
#ifndef GSM_POWER_H_
#define GSM_POWER_H_

#include "GSM_Globals.h"
#include "GSM_Power_Interface.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Default press lengths (ms) per family; change them at run time with
 * gsmPowerSetPowerKeyPressDurations(). Press lengths are kept in steps of GSM_POWER_PRESS_UNIT_MS
 * (rounded up), at most 255 steps (12.75 s). */
#ifndef GSM_POWER_DEFAULT_ON_PRESS_MS
#if GSM_MODEM_FAMILY == GSM_MODEM_FAMILY_LTE
#define GSM_POWER_DEFAULT_ON_PRESS_MS 500u
#else
#define GSM_POWER_DEFAULT_ON_PRESS_MS 1200u /* >= 1 s for 2G, accepted by LTE modems as well */
#endif
#endif
#ifndef GSM_POWER_DEFAULT_OFF_PRESS_MS
#if GSM_MODEM_FAMILY == GSM_MODEM_FAMILY_2G
#define GSM_POWER_DEFAULT_OFF_PRESS_MS 2000u
#else
#define GSM_POWER_DEFAULT_OFF_PRESS_MS 3000u /* >= 2.5 s for LTE, within 1.5..33 s for 2G */
#endif
#endif
/* Resolution of the stored press lengths. */
#define GSM_POWER_PRESS_UNIT_MS 50u
/* Time for STATUS to follow a press before the attempt counts as failed. */
#ifndef GSM_POWER_STATUS_TIMEOUT_MS
#if GSM_MODEM_FAMILY == GSM_MODEM_FAMILY_2G
#define GSM_POWER_STATUS_TIMEOUT_MS 5000u
#else
#define GSM_POWER_STATUS_TIMEOUT_MS 30000u
#endif
#endif
/* Minimum time the modem stays off before the next power-on. */
#ifndef GSM_POWER_OFF_GUARD_MS
#define GSM_POWER_OFF_GUARD_MS 2000u
#endif
/* Settle time after init (supply stable) before the first press. */
#ifndef GSM_POWER_STARTUP_DELAY_MS
#define GSM_POWER_STARTUP_DELAY_MS 100u
#endif
/* Reset pulse length (2.5 s suits the A76xx minimum of 2 s and is harmless on the others). */
#ifndef GSM_POWER_RESET_PULSE_MS
#define GSM_POWER_RESET_PULSE_MS 2500u
#endif
/* Pause after a failed attempt before the next one. */
#ifndef GSM_POWER_RETRY_DELAY_MS
#define GSM_POWER_RETRY_DELAY_MS 5000u
#endif

/* The module times its steps with the low 16 bits of the millisecond clock: every wait must be
 * shorter than 65.5 s. */
#if (GSM_POWER_STATUS_TIMEOUT_MS > 65000u) || (GSM_POWER_OFF_GUARD_MS > 65000u) || (GSM_POWER_STARTUP_DELAY_MS > 65000u) || \
    (GSM_POWER_RESET_PULSE_MS > 65000u) || (GSM_POWER_RETRY_DELAY_MS > 65000u)
#error "GSM_Power: waits are limited to 65000 ms"
#endif
#if (GSM_POWER_DEFAULT_ON_PRESS_MS > 12750u) || (GSM_POWER_DEFAULT_OFF_PRESS_MS > 12750u)
#error "GSM_Power: press lengths are limited to 12750 ms"
#endif

typedef struct GSM_Power_Instance GSM_Power_Instance;

/** Power control instance. Zero-initialise it, set the callbacks, then call gsmPowerInit(). */
struct GSM_Power_Instance
{
    /* ---- set by the application before gsmPowerInit ---- */
    void (*SetPowerKey)(GSM_Power_Instance* inst, bool activated); /**< required */
    void (*SetReset)(GSM_Power_Instance* inst, bool activated);    /**< optional, may be NULL */
    bool (*ReadStatus)(GSM_Power_Instance* inst);                  /**< optional, may be NULL */

    /* ---- interface for the dependent modules: pass &inst._i ---- */
    GSM_Power_Interface _i;

    /* ---- private ---- */
    uint8_t Step;      /* step of the state machine; bit 7: the application wants the modem on */
    uint16_t Timer_ms; /* low 16 bits of the clock at the start of the present step */
    uint8_t OnPress;   /* power-on key press length in GSM_POWER_PRESS_UNIT_MS */
    uint8_t OffPress;  /* power-off key press length in GSM_POWER_PRESS_UNIT_MS */
};

/**
 * Initialises the instance (callbacks must be set): releases the key and the reset line and wants
 * the modem on. Not interrupt safe.
 */
void gsmPowerInit(GSM_Power_Instance* inst);

/** Advances the power state machine; call from the main loop. Returns at once. Not interrupt safe. */
void gsmPowerPoll(GSM_Power_Instance* inst);

/**
 * Whether the modem is on: with a STATUS input the present level of STATUS, otherwise the state
 * the module believes the modem is in. Returns false for a NULL instance.
 */
bool gsmPowerGet(GSM_Power_Instance* inst);

/**
 * Requests the modem on (true) or off (false). The change is carried out by gsmPowerPoll(); a
 * request that matches the present state does nothing. Not interrupt safe.
 */
void gsmPowerSet(GSM_Power_Instance* inst, bool powered_on);

/**
 * Sets the power-key press lengths used from the next press on. A value of 0 keeps the present
 * length. Lengths are rounded up to GSM_POWER_PRESS_UNIT_MS steps and limited to 12750 ms.
 * Defaults: GSM_POWER_DEFAULT_ON_PRESS_MS / GSM_POWER_DEFAULT_OFF_PRESS_MS.
 */
void gsmPowerSetPowerKeyPressDurations(GSM_Power_Instance* inst, uint16_t powerOnPressTime_ms, uint16_t powerOffPressTime_ms);

#ifdef __cplusplus
}
#endif

#endif /* GSM_POWER_H_ */
