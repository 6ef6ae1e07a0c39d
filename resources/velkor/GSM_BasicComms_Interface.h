/*
 * GSM_BasicComms_Interface.h - what the other modules see of Basic Comms.
 *
 * Basic Comms brings the modem's command channel up after every power-on or restart (handshake,
 * echo, error format) and keeps it up (detects a modem that stopped answering and recovers it).
 * Dependent modules wait until communication is established before they claim the prompt, and
 * compare the session number with a stored copy to notice that the modem was restarted (its
 * settings, SIM and network state are then lost and must be set up again).
 *
 * Main-loop context only; all functions return at once. A NULL interface reads as "not established".
 */
#ifndef GSM_BASICCOMMS_INTERFACE_H_
#define GSM_BASICCOMMS_INTERFACE_H_

#include "GSM_Globals.h"

#ifdef __cplusplus
extern "C" {
#endif

/** Interface data (owned by Basic Comms; use the functions below). */
typedef struct GSM_BasicComms_Interface
{
    bool Established; /**< handshake done, the modem answers */
    uint8_t Session;  /**< incremented every time communication is (re)established */
} GSM_BasicComms_Interface;

/** True while the modem answers commands (set-up done, no loss detected). */
bool gsmBasicCommsIfEstablished(const GSM_BasicComms_Interface* comms);

/** Number of the present communication session; changes at every (re)establishment. */
uint8_t gsmBasicCommsIfSession(const GSM_BasicComms_Interface* comms);

#ifdef __cplusplus
}
#endif

#endif /* GSM_BASICCOMMS_INTERFACE_H_ */
