/*
 * Test wiring laid out like the generated manager header (C output) with the modules Power, Prompt,
 * Basic Comms, Network Registration, Internet Connection (SIMCom LTE), HTTP Client and MQTT Client
 * ticked. A generated gsm_manager.h can take its place.
 */
#ifndef INC_GSM_MANAGER_H_
#define INC_GSM_MANAGER_H_

#include <stdint.h>
#include <stdbool.h>
#include "GSM_Power.h"
#include "GSM_Prompt.h"
#include "GSM_BasicComms.h"
#include "GSM_NetworkRegistration.h"
#include "GSM_InternetConnection_Simcom.h"
#include "GSM_HttpClient_Simcom.h"
#include "GSM_MqttClient_Simcom.h"

extern void gsmmgrInit();
extern void gsmmgrPoll();

// Internet Connection (SIMCom LTE) Convenience Functions
extern bool gsmmgrInternetConnectionSimcomIsConnected();

// HTTP Client (SIMCom) Convenience Functions
extern bool gsmmgrHttpClientSimcomGet(char* url);
extern bool gsmmgrHttpClientSimcomPost(char* url, char* postData);
extern void gsmmgrHttpClientSimcomPostSetContentType(char* contentTypeOrNullForDefault);
extern bool gsmmgrHttpClientSimcomHttpOperationPending();
extern bool gsmmgrHttpClientSimcomHttpOperationStarted();
extern bool gsmmgrHttpClientSimcomCancel();
extern void gsmmgrHttpClientSimcomHttpTermWhenDone(bool termWhenDone);
extern void gsmmgrHttpClientSimcomSetTimeouts(uint32_t httpActionTimeout_ms, uint32_t httpReadTimeout_ms);

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

#endif /* INC_GSM_MANAGER_H_ */
