/*
 * GSM_InternetConnection_Interface.h - the packet data connection as the HTTP and MQTT clients see it.
 *
 * Both connection modules (GSM_InternetConnection_Simcom for LTE modems, GSM_InternetConnection_Simcom2G
 * for 2G modems) embed this interface as their member `_i`; the clients receive `&(inst._i)` and use
 * only the functions below, so an HTTP client works over either connection.
 *
 * gsmInternetConnectionIfIsConnected and gsmInternetConnectionIfNotifyLost are inline below (a copy
 * at each caller costs fewer bytes than a call); the others are implemented in GSM_Internet_Helper.c
 * (shipped with both connection modules).
 * Main-loop context only; all functions return at once. A NULL interface reads as "not connected".
 */
#ifndef GSM_INTERNETCONNECTION_INTERFACE_H_
#define GSM_INTERNETCONNECTION_INTERFACE_H_

#include "GSM_Globals.h"
#include "GSM_Internet_Helper.h"

#ifdef __cplusplus
extern "C" {
#endif

/** Modem family served by a connection module (the clients choose their command forms by it). */
typedef enum
{
    GSM_InternetConnection_Family_Unknown = 0,
    GSM_InternetConnection_Family_LTE = 1, /**< SIM7600 / A76xx: NETOPEN, HTTP read in blocks, CMQTT */
    GSM_InternetConnection_Family_2G = 2   /**< SIM800 / SIM900: SAPBR bearer, HTTP "CID" parameter */
} GSM_InternetConnection_Family;

/** Interface data (owned by the connection module; the clients only read it, mostly through the
 *  functions below). */
typedef struct GSM_InternetConnection_Interface
{
    uint8_t Family;       /**< GSM_InternetConnection_Family */
    uint8_t Connected;    /**< 1 while the packet data connection is up */
    uint8_t ConnectCount; /**< incremented every time the connection comes up */
    uint8_t LostHint;     /**< set by a client that saw the network disappear; cleared by the owner */
    GSM_IPv4 Address;     /**< local address while connected, 0.0.0.0 otherwise */
} GSM_InternetConnection_Interface;

/** True while the packet data connection is up. */
static inline bool gsmInternetConnectionIfIsConnected(const GSM_InternetConnection_Interface* conn)
{
    return (conn != NULL) && (conn->Connected != 0u);
}

/** Family of the connection module (GSM_InternetConnection_Family_Unknown for NULL). */
GSM_InternetConnection_Family gsmInternetConnectionIfFamily(const GSM_InternetConnection_Interface* conn);

/** Counter that changes every time the connection is (re)established. */
uint8_t gsmInternetConnectionIfConnectCount(const GSM_InternetConnection_Interface* conn);

/**
 * Local IPv4 address while connected (copied into *address; 0.0.0.0 when not connected).
 * @return true when connected and an address is known.
 */
bool gsmInternetConnectionIfAddress(const GSM_InternetConnection_Interface* conn, GSM_IPv4* address);

/**
 * A client tells the connection that the modem reported the network as gone (+HTTP_NONET_EVENT,
 * +CMQTTNONET, HTTP status 601). The connection module then checks the connection at its next poll.
 */
static inline void gsmInternetConnectionIfNotifyLost(GSM_InternetConnection_Interface* conn)
{
    if (conn != NULL)
    {
        conn->LostHint = 1u;
    }
}

#ifdef __cplusplus
}
#endif

#endif /* GSM_INTERNETCONNECTION_INTERFACE_H_ */
