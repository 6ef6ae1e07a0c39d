/*
 * Test wiring of the core modules, laid out like the generated manager header (C output) with the
 * modules Power, Prompt, Basic Comms, Pin, RSSI and Network Registration ticked. A generated
 * gsm_manager.h can take its place.
 */
#ifndef INC_GSM_MANAGER_H_
#define INC_GSM_MANAGER_H_

#include <stdint.h>
#include <stdbool.h>
#include "GSM_Power.h"
#include "GSM_Prompt.h"
#include "GSM_BasicComms.h"
#include "GSM_PIN.h"
#include "GSM_SignalQuality.h"
#include "GSM_NetworkRegistration.h"

extern void gsmmgrInit();
extern void gsmmgrPoll();

// Power Convenience Functions
extern bool gsmmgrPowerGet();
extern void gsmmgrPowerSet(bool powered_on);
extern void gsmmgrPowerSetPowerKeyPressDurations(uint16_t powerOnPressTime_ms, uint16_t powerOffPressTime_ms);

// BasicComms Convenience Functions
extern bool gsmmgrBasicCommsCommunicationEstablished();

// Pin Convenience Functions
extern void gsmmgrPinEnter(uint16_t sim_pin);
extern GSM_PIN_SimStatus gsmmgrPinStatus();

// Signal Quality Convenience Functions
#define gsmmgrSignalQualityRssiTo_dBm gsmSignalQualityRssiTo_dBm
extern bool gsmmgrSignalQualityQuery();

// Network Registration Convenience Functions
extern bool gsmmgrNetworkRegistrationIsRegistered();

#endif /* INC_GSM_MANAGER_H_ */
