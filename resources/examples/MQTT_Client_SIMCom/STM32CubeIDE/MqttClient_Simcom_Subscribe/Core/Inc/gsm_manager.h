#ifndef INC_GSM_MANAGER_H_
#define INC_GSM_MANAGER_H_

////////////
// --- Includes ---
////////////
#include <stdint.h>
#include <stdbool.h>
#include "Velkor/GSM_Power.h"
#include "Velkor/GSM_Prompt.h"
#include "Velkor/GSM_BasicComms.h"
#include "Velkor/GSM_NetworkRegistration.h"
#include "Velkor/GSM_InternetConnection_Simcom.h"
#include "Velkor/GSM_MqttClient_Simcom.h"
// USER CODE BEGIN Includes
#include "main.h"
// USER CODE END Includes

////////////
// --- Exported Variables ---
////////////
// USER CODE BEGIN Exported Variables
// State of the MQTT session (gsm_manager source), updated from the MQTT event handler.
extern bool gbAppMqttConnected;
extern bool gbAppMqttSubscribed;
extern bool gbAppMqttBusy;
// USER CODE END Exported Variables

////////////
// --- Function Prototypes ---
////////////
extern void gsmmgrInit();
extern void gsmmgrPoll();

// Power Convenience Functions
extern bool gsmmgrPowerGet();
extern void gsmmgrPowerSet(bool powered_on);
extern void gsmmgrPowerSetPowerKeyPressDurations(uint16_t powerOnPressTime_ms, uint16_t powerOffPressTime_ms);

// BasicComms Convenience Functions
extern bool gsmmgrBasicCommsCommunicationEstablished();

// Network Registration Convenience Functions
extern bool gsmmgrNetworkRegistrationIsRegistered();

// Internet Connection (SIMCom LTE) Convenience Functions
extern bool gsmmgrInternetConnectionSimcomIsConnected();

// MQTT Client (SIMCom LTE) Convenience Functions
#define gsmmgrMqttClientSimcomInitConfigDefault gsmMqttClientSimcomInitConfigDefault
extern bool gsmmgrMqttClientSimcomConnect(GSM_MqttClientSimcom_Connect_Session* connect_session);
extern bool gsmmgrMqttClientSimcomSubscribe(char* subscribe_topic, uint8_t subscribe_QoS);
extern bool gsmmgrMqttClientSimcomPublish(char* publish_topic, char* publish_message);
extern bool gsmmgrMqttClientSimcomPublishEx(GSM_MqttClientSimcom_Publish_Parameters* publish_parameters);
extern bool gsmmgrMqttClientSimcomUnsubscribe(char* unsubscribe_topic);
extern bool gsmmgrMqttClientSimcomDisconnect();
extern bool gsmmgrMqttClientSimcomCancelPublish();
extern bool gsmmgrMqttClientSimcomCancelSubscribe();
extern bool gsmmgrMqttClientSimcomCancelUnsubscribe();
extern GSM_MQTT_ServerStatus gsmmgrMqttClientServerConnectionState();

// USER CODE BEGIN Function Prototypes

// Debug output of the example: queued in the Start module's debug buffer and sent by gsmmgrPoll().
extern void gsmDebugWrite(uint8_t _data);
extern void gsmDebugWriteText(char* text);
extern void appDebugWriteInt(int32_t value);
extern void appDebugWriteChars(const char* data, uint16_t length);
// USER CODE END Function Prototypes

////////////
// --- Miscellaneous ---
////////////
// USER CODE BEGIN Miscellaneous

// USER CODE END Miscellaneous

#endif /* INC_GSM_MANAGER_H_ */
