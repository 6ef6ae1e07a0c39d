/*
 * GSM_InternetConnection_Simcom2G.h - packet data connection on SIMCom 2G modems (SIM800, SIM900).
 *
 * The 2G modems' own HTTP service runs over bearer profile 1 (AT+SAPBR). Once the modem is registered
 * for packet data the module opens it:
 *     AT+SAPBR=3,1,"Contype","GPRS"
 *     AT+SAPBR=3,1,"APN","<apn>"     (only when APN_IfAny is set)
 *     AT+SAPBR=1,1                   (OK when up; an error may mean "already open")
 *     AT+SAPBR=2,1                   -> +SAPBR: 1,<status>,"<ip>"; status 1 = connected
 * A failed open is retried after GSM_INTERNETCONNECTIONSIMCOM2G_OPEN_RETRY_MS, three times; then the
 * bearer is closed (AT+SAPBR=0,1) and the whole sequence starts again after a growing pause.
 * "+SAPBR 1: DEACT" and a modem restart or switch-off mark the connection down. A loss of the
 * registration alone does not: the bearer outlives a short one, and the modem reports its end. While
 * up, AT+SAPBR=2,1 checks it every GSM_INTERNETCONNECTIONSIMCOM2G_CHECK_MS (also during a loss of the
 * registration).
 *
 * The HTTP client uses the connection through `_i` (GSM_InternetConnection_Interface.h).
 *
 * Name of the instance in the generated manager: the HTTP client's wiring always names the LTE
 * connection's instance, `mGsmInternetConnectionSimcomInst`, also in projects that have only this 2G
 * connection (their manager declares `mGsmInternetConnectionSimcom2GInst`). So that such a project
 * compiles and the HTTP client runs over the 2G connection, this header maps the LTE name onto the 2G
 * instance - but only when the LTE header has not been included (its include guard is not defined):
 * the manager includes the LTE header, if ticked, before this one, so with both connections ticked the
 * LTE instance keeps its own name, and with only the 2G connection the name refers to the 2G instance.
 * The two instances embed the same interface `_i`, which is all that the wiring takes. Define
 * GSM_INTERNETCONNECTIONSIMCOM2G_NO_ALIAS to switch the mapping off.
 */
#ifndef GSM_INTERNETCONNECTION_SIMCOM2G_H_
#define GSM_INTERNETCONNECTION_SIMCOM2G_H_

#include "GSM_Globals.h"
#include "GSM_Prompt_Interface.h"
#include "GSM_NetworkRegistration_Interface.h"
#include "GSM_InternetConnection_Interface.h"
#include "GSM_Internet_Helper.h"

#if !defined(GSM_INTERNETCONNECTION_SIMCOM_H_) && !defined(GSM_INTERNETCONNECTIONSIMCOM2G_NO_ALIAS)
#define mGsmInternetConnectionSimcomInst mGsmInternetConnectionSimcom2GInst
#endif

#ifdef __cplusplus
extern "C" {
#endif

/** Pause before AT+SAPBR=1,1 is tried again after a failed open. */
#ifndef GSM_INTERNETCONNECTIONSIMCOM2G_OPEN_RETRY_MS
#define GSM_INTERNETCONNECTIONSIMCOM2G_OPEN_RETRY_MS 5000u
#endif
/** Open attempts before the bearer is closed and the sequence starts over. */
#ifndef GSM_INTERNETCONNECTIONSIMCOM2G_OPEN_TRIES
#define GSM_INTERNETCONNECTIONSIMCOM2G_OPEN_TRIES 3u
#endif
/** First pause after a failed sequence; doubles per failure up to ..._RETRY_MAX_MS. */
#ifndef GSM_INTERNETCONNECTIONSIMCOM2G_RETRY_MS
#define GSM_INTERNETCONNECTIONSIMCOM2G_RETRY_MS 5000u
#endif
#ifndef GSM_INTERNETCONNECTIONSIMCOM2G_RETRY_MAX_MS
#define GSM_INTERNETCONNECTIONSIMCOM2G_RETRY_MAX_MS 60000u
#endif
/** Period of the AT+SAPBR=2,1 check while connected (0: no periodic check). */
#ifndef GSM_INTERNETCONNECTIONSIMCOM2G_CHECK_MS
#define GSM_INTERNETCONNECTIONSIMCOM2G_CHECK_MS 60000u
#endif

/** Instance. Zero-initialise, set Prompt, NetworkRegistration and APN_IfAny, then Init. */
typedef struct GSM_InternetConnectionSimcom2G_Instance
{
    /* ---- set by the application before gsmInternetConnectionSimcom2GInit ---- */
    GSM_Prompt_Interface* Prompt;                           /**< &(mGsmPromptInst._i) */
    GSM_NetworkRegistration_Interface* NetworkRegistration; /**< &(mGsmNetworkRegistrationInst._i); NULL: not checked */
    char* APN_IfAny; /**< access point name, NULL when the network needs none (not set then); written
                          between double quotes: no '"' and no byte below 0x20 */

    /* ---- interface for the HTTP client: pass &inst._i ---- */
    GSM_InternetConnection_Interface _i;

    /* ---- private ---- */
    uint8_t State;
    uint8_t Flags;
    uint8_t Attempt; /* failed sequences in a row (back-off) */
    uint8_t Tries;   /* AT+SAPBR=1,1 attempts in this sequence */
    uint32_t Timer_ms;
    GSM_Prompt_UrcSubscriber Urc;
} GSM_InternetConnectionSimcom2G_Instance;

/** Initialises the instance and subscribes to the bearer URCs. Not interrupt safe. */
void gsmInternetConnectionSimcom2GInit(GSM_InternetConnectionSimcom2G_Instance* inst);

/** Advances the connection state machine. Returns at once. Not interrupt safe. */
void gsmInternetConnectionSimcom2GPoll(GSM_InternetConnectionSimcom2G_Instance* inst);

/** True while the bearer is up. False for NULL. */
bool gsmInternetConnectionSimcom2GIsConnected(GSM_InternetConnectionSimcom2G_Instance* inst);

/**
 * Local IPv4 address of the bearer.
 * @param address receives the address (0.0.0.0 when not connected)
 * @return true when connected and the address is known.
 */
bool gsmInternetConnectionSimcom2GGetIPv4(GSM_InternetConnectionSimcom2G_Instance* inst, GSM_IPv4* address);

#ifdef __cplusplus
}
#endif

#endif /* GSM_INTERNETCONNECTION_SIMCOM2G_H_ */
