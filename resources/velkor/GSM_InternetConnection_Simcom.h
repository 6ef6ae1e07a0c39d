/*
 * GSM_InternetConnection_Simcom.h - packet data connection on SIMCom LTE modems (SIM7600, A76xx).
 *
 * The module brings the connection up:
 *     AT+CGDCONT=1,"IP","<apn>"     (only when APN_IfAny is set; at the start of every attempt, without
 *                                    waiting for the registration: after a modem start the modem then
 *                                    attaches with this APN, and a network that wants it may refuse the
 *                                    attach until it is set)
 * and, once the modem is registered for packet data,
 *     AT+NETOPEN                    -> OK, later +NETOPEN: 0  ("Network is already opened" counts as up)
 *     AT+IPADDR                     -> +IPADDR: <IPv4 address> (an answer without one fails the attempt)
 * and keeps it up: +CIPEVENT: NETWORK CLOSED UNEXPECTEDLY, +CGEV detach / deactivation of context 1 and
 * a modem restart or switch-off mark it down; it is then closed (AT+NETOPEN? / AT+NETCLOSE;
 * "+NETCLOSE: 2" / ERROR, already closed, counts as closed) and opened again, with a growing pause
 * between failed attempts. The modem prints +CGEV lines only while its event reporting is on (LTE-A at
 * boot; AT+CGEREP=2,0 from the application otherwise): the module does not switch it on. A loss of the
 * registration alone changes nothing: the modem keeps the context through a short one and reports a
 * real loss itself. While up, AT+NETOPEN? checks it every GSM_INTERNETCONNECTIONSIMCOM_CHECK_MS (also
 * during a loss of the registration), and at once when a client reports the network gone
 * (+HTTP_NONET_EVENT, +CMQTTNONET, HTTP 601...).
 *
 * The HTTP and MQTT clients use the connection through `_i` (GSM_InternetConnection_Interface.h).
 * The prompt is claimed only for single commands; it is free while the modem works on +NETOPEN.
 */
#ifndef GSM_INTERNETCONNECTION_SIMCOM_H_
#define GSM_INTERNETCONNECTION_SIMCOM_H_

#include "GSM_Globals.h"
#include "GSM_Prompt_Interface.h"
#include "GSM_NetworkRegistration_Interface.h"
#include "GSM_InternetConnection_Interface.h"
#include "GSM_Internet_Helper.h"

#ifdef __cplusplus
extern "C" {
#endif

/** First pause after a failed attempt; it doubles per failure up to ..._RETRY_MAX_MS. */
#ifndef GSM_INTERNETCONNECTIONSIMCOM_RETRY_MS
#define GSM_INTERNETCONNECTIONSIMCOM_RETRY_MS 5000u
#endif
#ifndef GSM_INTERNETCONNECTIONSIMCOM_RETRY_MAX_MS
#define GSM_INTERNETCONNECTIONSIMCOM_RETRY_MAX_MS 60000u
#endif
/** Period of the AT+NETOPEN? check while connected (0: no periodic check). */
#ifndef GSM_INTERNETCONNECTIONSIMCOM_CHECK_MS
#define GSM_INTERNETCONNECTIONSIMCOM_CHECK_MS 60000u
#endif

/** Instance. Zero-initialise, set Prompt, NetworkRegistration and APN_IfAny, then Init. */
typedef struct GSM_InternetConnectionSimcom_Instance
{
    /* ---- set by the application before gsmInternetConnectionSimcomInit ---- */
    GSM_Prompt_Interface* Prompt;                           /**< &(mGsmPromptInst._i) */
    GSM_NetworkRegistration_Interface* NetworkRegistration; /**< &(mGsmNetworkRegistrationInst._i); NULL: not checked */
    char* APN_IfAny; /**< access point name, NULL when the network needs none (the APN is then not set);
                          written between double quotes: no '"' and no byte below 0x20 */

    /* ---- interface for the HTTP and MQTT clients: pass &inst._i ---- */
    GSM_InternetConnection_Interface _i;

    /* ---- private ---- */
    uint8_t State;
    uint8_t Flags;
    uint8_t Attempt;   /* failed attempts in a row (back-off) */
    uint32_t Timer_ms; /* retry pause, delayed-result deadline or next check */
    GSM_Prompt_UrcSubscriber Urc;
} GSM_InternetConnectionSimcom_Instance;

/** Initialises the instance and subscribes to the connection URCs. Not interrupt safe. */
void gsmInternetConnectionSimcomInit(GSM_InternetConnectionSimcom_Instance* inst);

/** Advances the connection state machine. Returns at once. Not interrupt safe. */
void gsmInternetConnectionSimcomPoll(GSM_InternetConnectionSimcom_Instance* inst);

/** True while the packet data connection is up. False for NULL. */
bool gsmInternetConnectionSimcomIsConnected(GSM_InternetConnectionSimcom_Instance* inst);

/**
 * Local IPv4 address of the connection.
 * @param address receives the address (0.0.0.0 when not connected)
 * @return true when connected and the address is known.
 */
bool gsmInternetConnectionSimcomGetIPv4(GSM_InternetConnectionSimcom_Instance* inst, GSM_IPv4* address);

#ifdef __cplusplus
}
#endif

#endif /* GSM_INTERNETCONNECTION_SIMCOM_H_ */
