/*
 * GSM_PIN.h - SIM status and PIN entry.
 *
 * In every Basic Comms session the module reads the SIM status ("AT+CPIN?"; "SIM busy"/"SIM failure"
 * and early "ERROR" answers are retried once per second) and reports it with
 * GSM_PIN_EventType_SimStatus. "+CPIN:" URCs update the status at any time.
 *
 * gsmPinEnter() sends the PIN only when the SIM asked for it ("+CPIN: SIM PIN"): a PIN sent when none
 * is needed can count as a wrong attempt on some modems. After "OK" the module waits for
 * "+CPIN: READY" (reading the status at once and then once per second, up to 10 s) and reports
 * PinSuccess, or PinFailed with the reason.
 */
#ifndef GSM_PIN_H_
#define GSM_PIN_H_

#include "GSM_Globals.h"
#include "GSM_Power_Interface.h"
#include "GSM_Prompt_Interface.h"
#include "GSM_Prompt_Helper.h"
#include "GSM_BasicComms_Interface.h"

#ifdef __cplusplus
extern "C" {
#endif

/** SIM status (from "+CPIN: ..." or the error answer of "AT+CPIN?"). */
typedef enum
{
    GSM_PIN_SimStatus_Unknown = 0,  /**< not read yet (or no communication) */
    GSM_PIN_SimStatus_Ready,        /**< "+CPIN: READY": no PIN needed or PIN accepted */
    GSM_PIN_SimStatus_SimPin,       /**< "+CPIN: SIM PIN": PIN required (call gsmPinEnter) */
    GSM_PIN_SimStatus_SimPuk,       /**< "+CPIN: SIM PUK": PIN blocked, PUK required */
    GSM_PIN_SimStatus_PhSimPin,     /**< "+CPIN: PH-SIM PIN": phone-to-SIM lock */
    GSM_PIN_SimStatus_SimPin2,      /**< "+CPIN: SIM PIN2" */
    GSM_PIN_SimStatus_SimPuk2,      /**< "+CPIN: SIM PUK2" */
    GSM_PIN_SimStatus_NotReady,     /**< "+CPIN: NOT READY": SIM initialising or radio off */
    GSM_PIN_SimStatus_NotInserted,  /**< no SIM ("+CPIN: NOT INSERTED", "+CME ERROR: 10") */
    GSM_PIN_SimStatus_Failure       /**< SIM failure / wrong SIM, or no usable answer */
} GSM_PIN_SimStatus;

/** Why a PIN entry failed (GSM_PIN_Event_PinFailed.Reason). */
typedef enum
{
    GSM_PIN_FailReason_WrongPin = 0, /**< the modem rejected the PIN ("+CME ERROR: 16") */
    GSM_PIN_FailReason_NotRequired,  /**< the SIM did not ask for a PIN; nothing was sent */
    GSM_PIN_FailReason_PukRequired,  /**< the SIM is blocked (PUK needed); nothing was sent */
    GSM_PIN_FailReason_NoSim,        /**< no usable SIM; nothing was sent */
    GSM_PIN_FailReason_ModemError,   /**< another error answer (code in CmeError) */
    GSM_PIN_FailReason_Timeout       /**< no answer, or "+CPIN: READY" did not follow within 10 s */
} GSM_PIN_FailReason;

/** Events. Payload type of event_data next to each value. */
typedef enum
{
    GSM_PIN_EventType_SimStatus = 0, /**< GSM_PIN_Event_SimStatus*: the SIM status was read or changed */
    GSM_PIN_EventType_PinSuccess,    /**< NULL: the PIN was accepted and the SIM is ready */
    GSM_PIN_EventType_PinFailed      /**< GSM_PIN_Event_PinFailed*: the PIN entry failed */
} GSM_PIN_EventType;

/** Payload of GSM_PIN_EventType_SimStatus. */
typedef struct GSM_PIN_Event_SimStatus
{
    GSM_PIN_SimStatus SimStatus; /**< the new status */
} GSM_PIN_Event_SimStatus;

/** Payload of GSM_PIN_EventType_PinFailed. */
typedef struct GSM_PIN_Event_PinFailed
{
    GSM_PIN_FailReason Reason;
    int16_t CmeError; /**< +CME ERROR number when the modem rejected the entry, otherwise -1 */
} GSM_PIN_Event_PinFailed;

typedef struct GSM_PIN_Instance GSM_PIN_Instance;

/** Event handler shape. event_data is valid only during the call. */
typedef void (*GSM_PIN_EventHandler)(GSM_PIN_Instance* inst, GSM_PIN_EventType event_type, void* event_data);

/** Interval of the status reads while waiting for the SIM (at most 65535). */
#ifndef GSM_PIN_RETRY_MS
#define GSM_PIN_RETRY_MS 1000u
#endif
/** Time for "+CPIN: READY" after the PIN was accepted (the SIM status is read once per
 *  GSM_PIN_RETRY_MS meanwhile). */
#ifndef GSM_PIN_READY_TIMEOUT_MS
#define GSM_PIN_READY_TIMEOUT_MS 10000u
#endif
/** Status reads while the SIM reports busy / not ready, before the status is reported as it is. */
#ifndef GSM_PIN_STATUS_TRIES
#define GSM_PIN_STATUS_TRIES 10u
#endif

/** PIN instance. Zero-initialise, set Power, Prompt, BasicComms, EventHandler, then gsmPinInit(). */
struct GSM_PIN_Instance
{
    /* ---- set by the application before gsmPinInit ---- */
    GSM_Power_Interface* Power;
    GSM_Prompt_Interface* Prompt;
    GSM_BasicComms_Interface* BasicComms;
    GSM_PIN_EventHandler EventHandler; /**< may be NULL (no events) */

    /* ---- private (small members first: Thumb loads reach them with a short offset) ---- */
    uint16_t Pin;          /* PIN waiting to be sent */
    uint8_t Status;        /* GSM_PIN_SimStatus */
    uint8_t LineStatus;    /* status of the last "+CPIN:" line (answer or URC) not yet handled, 0: none */
    uint8_t State;         /* bits 1..2: step; bits 3..4: PIN_F_...; bit 0: the command was sent
                              (gsmPromptHelperExec state) */
    uint8_t Tries;         /* status reads in the present wait */
    uint8_t Session;
    uint8_t Timer;         /* start of the pause between status reads, in ticks (see GSM_PIN.c) */
    GSM_Prompt_UrcSubscriber Urc;
};

/** Initialises the instance and subscribes to "+CPIN:" URCs. Not interrupt safe. */
void gsmPinInit(GSM_PIN_Instance* inst);

/** Advances the module; events are raised from here. Returns at once. Not interrupt safe. */
void gsmPinPoll(GSM_PIN_Instance* inst);

/**
 * Requests entry of the SIM PIN. The PIN is sent with at least four digits: 123 is sent as "0123"
 * (PINs of up to five digits fit the parameter; a PIN that needs leading zeros beyond four digits,
 * such as "00123", cannot be expressed).
 * The result arrives as GSM_PIN_EventType_PinSuccess or GSM_PIN_EventType_PinFailed. A new request
 * replaces one that has not been sent yet; a request made while an earlier PIN is being sent or
 * confirmed gets a result of its own after that one's: PinFailed with reason NotRequired once the
 * SIM is ready. Not interrupt safe.
 */
void gsmPinEnter(GSM_PIN_Instance* inst, uint16_t sim_pin);

/** Present SIM status (GSM_PIN_SimStatus_Unknown for NULL). */
GSM_PIN_SimStatus gsmPinStatus(GSM_PIN_Instance* inst);

/**
 * Decodes a "+CPIN: <code>" line into a status.
 * @return the status; GSM_PIN_SimStatus_Unknown when the line is not a +CPIN line or the code is unknown.
 */
GSM_PIN_SimStatus gsmPinDecodeStatus(const char* line, uint16_t len);

#ifdef __cplusplus
}
#endif

#endif /* GSM_PIN_H_ */
