/*
 * GSM_NetworkRegistration_Interface.h - network registration state as the SMS, USSD, internet and
 * MQTT modules see it.
 *
 * The Network Registration module keeps the last <stat> reported for the circuit-switched domain
 * (+CREG), the GPRS/UMTS packet domain (+CGREG) and the LTE packet domain (+CEREG; absent on 2G
 * modems) and decides "registered" the way the modem family requires:
 *   2G:  registered <=> +CREG stat is 1 (home) or 5 (roaming); data needs +CGREG 1 or 5.
 *   LTE: registered <=> any of +CREG, +CGREG, +CEREG is 1 or 5 (data-only SIMs and networks without
 *        circuit-switched fallback report +CREG 0, 2 or 3 while data works).
 *
 * Main-loop context only; all functions return at once. A NULL interface reads as "not registered".
 */
#ifndef GSM_NETWORKREGISTRATION_INTERFACE_H_
#define GSM_NETWORKREGISTRATION_INTERFACE_H_

#include "GSM_Globals.h"

#ifdef __cplusplus
extern "C" {
#endif

/** A <stat> value not (yet) known. */
#define GSM_NETWORKREGISTRATION_STAT_UNKNOWN 0xFFu

/** Registration domains. */
typedef enum
{
    GSM_NetworkRegistration_Domain_CS = 0, /**< +CREG */
    GSM_NetworkRegistration_Domain_GPRS,   /**< +CGREG */
    GSM_NetworkRegistration_Domain_EPS,    /**< +CEREG (LTE only) */
    GSM_NetworkRegistration_Domain_Count
} GSM_NetworkRegistration_Domain;

/** Interface data (owned by Network Registration; use the functions below). */
typedef struct GSM_NetworkRegistration_Interface
{
    uint8_t Stat[GSM_NetworkRegistration_Domain_Count]; /**< last <stat> per domain, or ..._STAT_UNKNOWN */
    uint8_t EpsSupport;  /**< 0 unknown, 1 the modem has +CEREG (LTE), 2 it has not (2G) */
    uint8_t ChangeCount; /**< incremented whenever a <stat> changes */
} GSM_NetworkRegistration_Interface;

/** Registered in the network (see the rules above). */
bool gsmNetworkRegistrationIfIsRegistered(const GSM_NetworkRegistration_Interface* reg);

/** Registered for packet data: 2G +CGREG 1/5; LTE +CEREG or +CGREG 1/5. */
bool gsmNetworkRegistrationIfIsRegisteredForData(const GSM_NetworkRegistration_Interface* reg);

/** Registered for SMS: +CREG 1/5; LTE also +CREG 6/7 ("SMS only") or +CEREG 1/5. */
bool gsmNetworkRegistrationIfIsRegisteredForSms(const GSM_NetworkRegistration_Interface* reg);

/** Last <stat> of a domain, GSM_NETWORKREGISTRATION_STAT_UNKNOWN when not known. */
uint8_t gsmNetworkRegistrationIfStat(const GSM_NetworkRegistration_Interface* reg, GSM_NetworkRegistration_Domain domain);

/** True once the modem is known to be an LTE modem (it accepted +CEREG). */
bool gsmNetworkRegistrationIfIsLte(const GSM_NetworkRegistration_Interface* reg);

/** Counter that changes whenever a registration state changes. */
uint8_t gsmNetworkRegistrationIfChangeCount(const GSM_NetworkRegistration_Interface* reg);

#ifdef __cplusplus
}
#endif

#endif /* GSM_NETWORKREGISTRATION_INTERFACE_H_ */
