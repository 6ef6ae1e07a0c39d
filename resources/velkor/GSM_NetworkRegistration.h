/*
 * GSM_NetworkRegistration.h - network registration state (+CREG, +CGREG, +CEREG).
 *
 * In every Basic Comms session the module switches the registration URCs on ("AT+CREG=1",
 * "AT+CGREG=1", "AT+CEREG=1" - a 2G modem answers ERROR to the last one, which tells the family),
 * reads the present states ("AT+CREG?", ...), then follows the URCs. It reads the states again every
 * GSM_NETWORKREGISTRATION_REFRESH_MS as a safety net. It has no event handler: the other modules and
 * the application ask gsmNetworkRegistrationIsRegistered().
 */
#ifndef GSM_NETWORKREGISTRATION_H_
#define GSM_NETWORKREGISTRATION_H_

#include "GSM_Globals.h"
#include "GSM_NetworkRegistration_Interface.h"
#include "GSM_Power_Interface.h"
#include "GSM_Prompt_Interface.h"
#include "GSM_Prompt_Helper.h"
#include "GSM_BasicComms_Interface.h"

#ifdef __cplusplus
extern "C" {
#endif

/** Period of the safety-net read of the registration states (0: only at session start). */
#ifndef GSM_NETWORKREGISTRATION_REFRESH_MS
#define GSM_NETWORKREGISTRATION_REFRESH_MS 30000u
#endif
/** Pause before the set-up is tried again after a failure. */
#ifndef GSM_NETWORKREGISTRATION_RETRY_MS
#define GSM_NETWORKREGISTRATION_RETRY_MS 2000u
#endif

/* Type of the module's timer: 16 bits hold the default periods. */
#if (GSM_NETWORKREGISTRATION_REFRESH_MS > 0xFFFFu) || (GSM_NETWORKREGISTRATION_RETRY_MS > 0xFFFFu)
#define GSM_NETWORKREGISTRATION_TIME_T uint32_t
#else
#define GSM_NETWORKREGISTRATION_TIME_T uint16_t
#endif

/** Network Registration instance. Zero-initialise, set Power, Prompt, BasicComms, then Init. */
typedef struct GSM_NetworkRegistration_Instance
{
    /* ---- set by the application before gsmNetworkRegistrationInit ---- */
    GSM_Power_Interface* Power;
    GSM_Prompt_Interface* Prompt;
    GSM_BasicComms_Interface* BasicComms;

    /* ---- interface for the dependent modules: pass &inst._i ---- */
    GSM_NetworkRegistration_Interface _i;

    /* ---- private (small members first: Thumb loads reach them with a short offset) ---- */
    uint8_t Step;
    uint8_t Domain;   /* domain of the command now running */
    uint8_t CmdState;
    uint8_t Session;  /* Basic Comms session the set-up was done for */
    GSM_NETWORKREGISTRATION_TIME_T Timer_ms; /* start of the present step (system time, truncated) */
    GSM_Prompt_UrcSubscriber Urc;
} GSM_NetworkRegistration_Instance;

/** Initialises the instance and subscribes to the registration URCs. Not interrupt safe. */
void gsmNetworkRegistrationInit(GSM_NetworkRegistration_Instance* inst);

/** Advances the module. Returns at once. Not interrupt safe. */
void gsmNetworkRegistrationPoll(GSM_NetworkRegistration_Instance* inst);

/** True when the modem is registered (home or roaming) by the family's rule. False for NULL. */
bool gsmNetworkRegistrationIsRegistered(GSM_NetworkRegistration_Instance* inst);

/**
 * Decodes a +CREG / +CGREG / +CEREG line (URC or read response) into its <stat>.
 * @param is_read_response true when the line answers "AT+C(E|G)REG?" (first field is <n>)
 * @return the <stat>, or GSM_NETWORKREGISTRATION_STAT_UNKNOWN when the line is malformed or is a
 *         read response where a URC was expected (a late answer, which is ignored).
 */
uint8_t gsmNetworkRegistrationDecodeStat(const char* line, uint16_t len, bool is_read_response);

#ifdef __cplusplus
}
#endif

#endif /* GSM_NETWORKREGISTRATION_H_ */
