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

/* The module times its steps in ticks of 2^GSM_NETWORKREGISTRATION_TICK_SHIFT ms held in a byte: the
 * shortest tick with which the longer of the two periods takes at most 127 ticks (256 ms for the
 * defaults), so that a wait that is over stays recognisable for more than as long again. */
#define GSM_NETWORKREGISTRATION_LONGEST_MS                                         \
    ((GSM_NETWORKREGISTRATION_REFRESH_MS > GSM_NETWORKREGISTRATION_RETRY_MS)   \
         ? GSM_NETWORKREGISTRATION_REFRESH_MS                                  \
         : GSM_NETWORKREGISTRATION_RETRY_MS)
#if GSM_NETWORKREGISTRATION_LONGEST_MS <= 8128u
#define GSM_NETWORKREGISTRATION_TICK_SHIFT 6
#elif GSM_NETWORKREGISTRATION_LONGEST_MS <= 16256u
#define GSM_NETWORKREGISTRATION_TICK_SHIFT 7
#elif GSM_NETWORKREGISTRATION_LONGEST_MS <= 32512u
#define GSM_NETWORKREGISTRATION_TICK_SHIFT 8
#elif GSM_NETWORKREGISTRATION_LONGEST_MS <= 65024UL
#define GSM_NETWORKREGISTRATION_TICK_SHIFT 9
#elif GSM_NETWORKREGISTRATION_LONGEST_MS <= 260096UL
#define GSM_NETWORKREGISTRATION_TICK_SHIFT 11
#elif GSM_NETWORKREGISTRATION_LONGEST_MS <= 1040384UL
#define GSM_NETWORKREGISTRATION_TICK_SHIFT 13
#else
#error "GSM_NetworkRegistration: the refresh and retry periods are limited to 1040 s"
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
    uint8_t State;   /* bits 3..5: step; bits 1..2: domain of the command now running; bit 0: the
                        command was sent (gsmPromptHelperExec state) */
    uint8_t Session; /* Basic Comms session the set-up was done for */
    uint8_t Timer;   /* start of the present step, in ticks (see GSM_NETWORKREGISTRATION_TICK_SHIFT) */
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
