/*
 * GSM_SignalQuality.h - signal quality ("AT+CSQ").
 *
 * gsmSignalQualityQuery() asks the modem for "+CSQ: <rssi>,<ber>"; the answer arrives as
 * GSM_SignalQuality_EventType_QuerySuccess, a failure (error answer, time-out, lost communication)
 * as GSM_SignalQuality_EventType_QueryFailed. gsmSignalQualityRssiTo_dBm() converts <rssi>.
 */
#ifndef GSM_SIGNALQUALITY_H_
#define GSM_SIGNALQUALITY_H_

#include "GSM_Globals.h"
#include "GSM_Power_Interface.h"
#include "GSM_Prompt_Interface.h"
#include "GSM_Prompt_Helper.h"
#include "GSM_BasicComms_Interface.h"

#ifdef __cplusplus
extern "C" {
#endif

/** gsmSignalQualityRssiTo_dBm() result for "not known" (rssi 99, 199 and values out of range): the
 *  value of INT16_MIN, written out because C++ before C++11 (avr-g++ by default) hides INT16_MIN. */
#define GSM_SIGNALQUALITY_DBM_UNKNOWN (-32767 - 1)
/** <rssi> / <ber> value for "not known or not detectable". */
#define GSM_SIGNALQUALITY_UNKNOWN 99u

/** Events. Payload type of event_data next to each value. */
typedef enum
{
    GSM_SignalQuality_EventType_QuerySuccess = 0, /**< GSM_SignalQuality_Event_QuerySuccess*: the answer */
    GSM_SignalQuality_EventType_QueryFailed       /**< NULL: no answer, an error answer, or comms lost */
} GSM_SignalQuality_EventType;

/** Payload of GSM_SignalQuality_EventType_QuerySuccess. */
typedef struct GSM_SignalQuality_Event_QuerySuccess
{
    uint8_t rssi; /**< 0..31 (see gsmSignalQualityRssiTo_dBm), 99 unknown; LTE-Q also 100..191, 199 */
    uint8_t ber;  /**< 0..7 RXQUAL class, 99 unknown (normally 99 on LTE) */
} GSM_SignalQuality_Event_QuerySuccess;

typedef struct GSM_SignalQuality_Instance GSM_SignalQuality_Instance;

/** Event handler shape. event_data is valid only during the call. */
typedef void (*GSM_SignalQuality_EventHandler)(GSM_SignalQuality_Instance* inst, GSM_SignalQuality_EventType event_type, void* event_data);

/** Signal quality instance. Zero-initialise, set the members, then gsmSignalQualityInit(). */
struct GSM_SignalQuality_Instance
{
    /* ---- set by the application before gsmSignalQualityInit ---- */
    GSM_Power_Interface* Power;
    GSM_Prompt_Interface* Prompt;
    GSM_BasicComms_Interface* BasicComms;
    GSM_SignalQuality_EventHandler EventHandler; /**< may be NULL (no events) */

    /* ---- private ---- */
    uint8_t Rssi;
    uint8_t Ber;
    uint8_t CmdState;
    uint8_t Step;
};

/** Initialises the instance. Not interrupt safe. */
void gsmSignalQualityInit(GSM_SignalQuality_Instance* inst);

/** Advances a running query; events are raised from here. Returns at once. Not interrupt safe. */
void gsmSignalQualityPoll(GSM_SignalQuality_Instance* inst);

/**
 * Starts a query. @return false when a query is already running, communication is not established
 * or inst is NULL (no event follows then); true when the query was accepted (exactly one event
 * follows). Not interrupt safe.
 */
bool gsmSignalQualityQuery(GSM_SignalQuality_Instance* inst);

/**
 * Converts <rssi> to dBm: 0 -> -113, 1 -> -111, 2..30 -> 2*rssi-113, 31 -> -51; LTE-Q TD-SCDMA
 * values 100 -> -116, 101..190 -> rssi-216, 191 -> -25. Returns GSM_SIGNALQUALITY_DBM_UNKNOWN for 99,
 * 199 and every other value. Pure function, interrupt safe.
 */
int16_t gsmSignalQualityRssiTo_dBm(uint8_t rssi);

/**
 * Decodes a "+CSQ: <rssi>,<ber>" line. @return true when both numbers are present, rssi <= 199 and ber <= 99.
 */
bool gsmSignalQualityDecode(const char* line, uint16_t len, uint8_t* rssi, uint8_t* ber);

#ifdef __cplusplus
}
#endif

#endif /* GSM_SIGNALQUALITY_H_ */
