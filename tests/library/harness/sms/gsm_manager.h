/*
 * Test wiring of the core modules and SMS Send, SMS Receive and USSD, laid out like the generated
 * manager header (C output) with those modules ticked. A generated gsm_manager.h can take its place.
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
#include "GSM_SMS_Send.h"
#include "GSM_SMS_Read.h"
#include "GSM_USSD.h"

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

// SMS Send Convenience Functions
#define gsmmgrSmsSendGetDeliveryStatusReportType gsmSmsSendGetDeliveryStatusReportType
extern bool gsmmgrSmsSend(char* phoneNumber, char* textBody);
extern void gsmmgrSmsSendCancel();

// USSD Convenience Functions
extern bool gsmmgrUssdSend(char* ussd_payload);
extern bool gsmmgrUssdCancelSession();

// USER CODE BEGIN Function Prototypes
/* Event recorders of the SMS / USSD scenario tests (sms_support.c). */
void sms_support_on_send_event(GSM_SmsSend_Instance* inst, int event_type, void* event_data);
void sms_support_on_read_event(GSM_SmsRead_Instance* inst, int event_type, void* event_data);
void sms_support_on_ussd_event(GSM_USSD_Instance* inst, int event_type, void* event_data);
// USER CODE END Function Prototypes

#endif /* INC_GSM_MANAGER_H_ */
