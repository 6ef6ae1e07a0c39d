/*
 * GSM_BasicComms.h - establishing and keeping basic communication with the modem.
 *
 * After the Power module reports the modem on, Basic Comms sends "AT" every 500 ms until the modem
 * answers OK (the first ones are lost while a 2G modem locks its auto-baud rate), then "ATE1" or
 * "ATE0" according to EchoOn and "AT+CMEE=1" (numeric error codes). Communication is then
 * established (gsmBasicCommsCommunicationEstablished).
 *
 * It keeps watch without application code:
 * - a boot message ("RDY", "*ATREADY: 1", "START") means the modem restarted: the set-up runs again;
 * - "NORMAL POWER DOWN" / "POWERD DOWN" / voltage shutdown: the Power module switches it on again;
 * - commands that time out, or a modem that has been silent for GSM_BASICCOMMS_KEEPALIVE_MS, are
 *   followed by "AT" probes; when GSM_BASICCOMMS_PROBE_TRIES probes stay unanswered the modem is
 *   recovered (reset line, or power-key cycle) and the set-up runs again. Unless the family is LTE,
 *   a probe answered only after unanswered commands (probes, or the command whose time-out started
 *   them) also runs the set-up again: a 2G modem in auto-baud mode restarts without a boot message
 *   and hears nothing until an "AT" locks the rate again.
 * Each (re)establishment starts a new session (GSM_BasicComms_Interface.h), upon which PIN, network
 * registration and the other modules set themselves up again.
 */
#ifndef GSM_BASICCOMMS_H_
#define GSM_BASICCOMMS_H_

#include "GSM_Globals.h"
#include "GSM_BasicComms_Interface.h"
#include "GSM_Power_Interface.h"
#include "GSM_Prompt_Interface.h"
#include "GSM_Prompt_Helper.h"

#ifdef __cplusplus
extern "C" {
#endif

/** Interval of the "AT" handshake attempts after power-on. */
#ifndef GSM_BASICCOMMS_HANDSHAKE_INTERVAL_MS
#define GSM_BASICCOMMS_HANDSHAKE_INTERVAL_MS 500u
#endif
/** Time the modem has to answer the handshake after power-on before it is recovered. */
#ifndef GSM_BASICCOMMS_BOOT_TIMEOUT_MS
#if GSM_MODEM_FAMILY == GSM_MODEM_FAMILY_2G
#define GSM_BASICCOMMS_BOOT_TIMEOUT_MS 15000u
#else
#define GSM_BASICCOMMS_BOOT_TIMEOUT_MS 30000u
#endif
#endif
/** Silence after which the modem is probed with "AT" (0 disables the keep-alive probe). */
#ifndef GSM_BASICCOMMS_KEEPALIVE_MS
#define GSM_BASICCOMMS_KEEPALIVE_MS 60000u
#endif
/** Unanswered probes in a row that mean communication is lost. */
#ifndef GSM_BASICCOMMS_PROBE_TRIES
#define GSM_BASICCOMMS_PROBE_TRIES 3u
#endif

/* Basic Comms times its steps in 2 ms ticks held in 16 bits: every wait must be shorter than 131 s,
 * and the handshake attempts must stay countable in a byte. */
#if (GSM_BASICCOMMS_BOOT_TIMEOUT_MS > 65000u) || (GSM_BASICCOMMS_HANDSHAKE_INTERVAL_MS < 300u) || \
    (GSM_BASICCOMMS_HANDSHAKE_INTERVAL_MS > 65000u)
#error "GSM_BasicComms: the boot time-out is limited to 65000 ms, the handshake interval to 300..65000 ms"
#endif

/** Basic Comms instance. Zero-initialise, set Power, Prompt and EchoOn, then gsmBasicCommsInit(). */
typedef struct GSM_BasicComms_Instance
{
    /* ---- set by the application before gsmBasicCommsInit ---- */
    GSM_Power_Interface* Power;   /**< &(mGsmPwrInst._i) */
    GSM_Prompt_Interface* Prompt; /**< &(mGsmPromptInst._i) */

    /* ---- set by the application before gsmBasicCommsInit ---- */
    uint8_t EchoOn; /**< 1 (any non-zero): modem echoes commands (ATE1), 0: no echo (ATE0) */

    /* ---- interface for the dependent modules: pass &inst._i ---- */
    GSM_BasicComms_Interface _i;

    /* ---- private ---- */
    uint8_t CmdState; /* bit 0: gsmPromptHelperExec state of the running command; bit 1: the probe
                         follows a command that timed out */
    uint8_t Step;     /* internal state */
    uint8_t Tries;    /* handshake attempts / probes without answer */
    uint16_t Timer;   /* start of the present step, in 2 ms ticks */
} GSM_BasicComms_Instance;

/** Initialises the instance. Not interrupt safe. */
void gsmBasicCommsInit(GSM_BasicComms_Instance* inst);

/** Advances the set-up / watch state machine. Returns at once. Not interrupt safe. */
void gsmBasicCommsPoll(GSM_BasicComms_Instance* inst);

/** True while the modem answers commands (set-up done, no loss detected). False for NULL. */
bool gsmBasicCommsCommunicationEstablished(GSM_BasicComms_Instance* inst);

#ifdef __cplusplus
}
#endif

#endif /* GSM_BASICCOMMS_H_ */
