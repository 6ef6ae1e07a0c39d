/*
 * Test wiring laid out like the generated manager source (C output) for Power, Prompt, Basic Comms,
 * Network Registration, Internet Connection (SIMCom LTE, APN required), HTTP Client and MQTT Client,
 * with its USER CODE sections filled for the simulator harness.
 */
#include "gsm_manager.h"

// USER CODE BEGIN Includes
#include "harness.h"
#include "net_support.h"
#ifndef HARNESS_ECHO_ON
#define HARNESS_ECHO_ON 1
#endif
// USER CODE END Includes

// --- GSM Prompt ---

// Prompt Buffer
static uint8_t mau8GsmPromptBuff[1024];

// Echo Cancellation Buffer
static uint8_t mau8UartGsmEchoCancelBuff[1024];

GSM_Power_Instance mGsmPwrInst = {0};
GSM_Prompt_Instance mGsmPromptInst = {0};
GSM_BasicComms_Instance mGsmBasicCommsInst = {0};
GSM_NetworkRegistration_Instance mGsmNetworkRegistrationInst = {0};
GSM_InternetConnectionSimcom_Instance mGsmInternetConnectionSimcomInst = {0};
GSM_HttpClientSimcom_Instance mGsmHttpClientSimcomInst = {0};
GSM_MqttClientSimcom_Instance mGsmMqttClientSimcomInst = {0};

uint32_t gsm__SysTime_ms() {
    // USER CODE BEGIN SysTime_ms
    return harness_hal_now();
    // USER CODE END SysTime_ms
}

void gsmSetPowerKey(GSM_Power_Instance* inst, bool activated)
{
    // USER CODE BEGIN SetPowerKey
    (void)inst;
    harness_hal_set_power_key(activated);
    // USER CODE END SetPowerKey
}

void gsmSetReset(GSM_Power_Instance* inst, bool activated)
{
    // USER CODE BEGIN SetReset
    (void)inst;
    harness_hal_set_reset(activated);
    // USER CODE END SetReset
}

bool gsmReadStatus(GSM_Power_Instance* inst)
{
    // USER CODE BEGIN ReadStatus
    (void)inst;
    return harness_hal_read_status();
    // USER CODE END ReadStatus
}

void gsmTxPoll()
{
    // USER CODE BEGIN gsmTxPoll
    // USER CODE END gsmTxPoll
}

void gsmWrite(GSM_Prompt_Instance* inst, uint8_t _data)
{
    // USER CODE BEGIN gsmWrite
    (void)inst;
    harness_hal_write(_data);
    // USER CODE END gsmWrite
}

bool gsmWriteCompleted(GSM_Prompt_Instance* inst)
{
    // USER CODE BEGIN gsmWriteCompleted
    (void)inst;
    return harness_hal_write_completed();
    // USER CODE END gsmWriteCompleted
}

bool gsmCanRead(GSM_Prompt_Instance* inst)
{
    // USER CODE BEGIN gsmCanRead
    (void)inst;
    return harness_hal_can_read();
    // USER CODE END gsmCanRead
}

uint8_t gsmRead(GSM_Prompt_Instance* inst)
{
    // USER CODE BEGIN gsmRead
    (void)inst;
    return harness_hal_read();
    // USER CODE END gsmRead
}

// --- GSM Internet Connection ---

char* gsmGetAPN()
{
    // USER CODE BEGIN gsmGetAPN
    return net_support_apn();
    // USER CODE END gsmGetAPN
}

// --- GSM HTTP Client (SIMCom) ---

void gsmHttpClientSimcomEventHandler(GSM_HttpClientSimcom_Instance* inst, GSM_HttpClientSimcom_EventType event_type, void* event_data)
{
    // USER CODE BEGIN gsmHttpClientSimcomEventHandler
    net_support_on_http_event(inst, (int)event_type, event_data);
    // USER CODE END gsmHttpClientSimcomEventHandler
}

// --- GSM MQTT (SIMCom LTE) Client ---

void gsmMqttClientSimcomEventHandler(GSM_MqttClientSimcom_Instance* inst, GSM_MqttClientSimcom_EventType event_type, void* event_data)
{
    // USER CODE BEGIN gsmMqttClientSimcomEventHandler
    net_support_on_mqtt_event(inst, (int)event_type, event_data);
    // USER CODE END gsmMqttClientSimcomEventHandler
}

void gsmmgrInit() {
    
    // Power
    mGsmPwrInst.SetPowerKey = &gsmSetPowerKey;
    mGsmPwrInst.SetReset = &gsmSetReset;
    mGsmPwrInst.ReadStatus = &gsmReadStatus;
    gsmPowerInit(&mGsmPwrInst);
    
    // Prompt
    mGsmPromptInst.Power = &(mGsmPwrInst._i);
    mGsmPromptInst.DataBuffer = mau8GsmPromptBuff;
    mGsmPromptInst.DataBufferSize = sizeof(mau8GsmPromptBuff);
    mGsmPromptInst.Write = &gsmWrite;
    mGsmPromptInst.WriteCompleted = &gsmWriteCompleted;
    mGsmPromptInst.CanRead = &gsmCanRead;
    mGsmPromptInst.Read = &gsmRead;
    mGsmPromptInst.EchoCancellationBuffer = mau8UartGsmEchoCancelBuff;
    mGsmPromptInst.EchoCancellationBufferSize = sizeof(mau8UartGsmEchoCancelBuff);
    gsmPromptInit(&mGsmPromptInst);
    
    // BasicComms
    mGsmBasicCommsInst.Power = &(mGsmPwrInst._i);
    mGsmBasicCommsInst.Prompt = &(mGsmPromptInst._i);
    mGsmBasicCommsInst.EchoOn = HARNESS_ECHO_ON;
    gsmBasicCommsInit(&mGsmBasicCommsInst);
    
    // Network Registration
    mGsmNetworkRegistrationInst.Power = (&mGsmPwrInst._i);
    mGsmNetworkRegistrationInst.Prompt = (&mGsmPromptInst._i);
    mGsmNetworkRegistrationInst.BasicComms = (&mGsmBasicCommsInst._i);
    gsmNetworkRegistrationInit(&mGsmNetworkRegistrationInst);
    
    // Internet Connection (SIMCom LTE)
    mGsmInternetConnectionSimcomInst.Prompt = (&mGsmPromptInst._i);
    mGsmInternetConnectionSimcomInst.NetworkRegistration = (&mGsmNetworkRegistrationInst._i);
    mGsmInternetConnectionSimcomInst.APN_IfAny = gsmGetAPN();
    gsmInternetConnectionSimcomInit(&mGsmInternetConnectionSimcomInst);
    
    // HTTP Client (Simcom)
    mGsmHttpClientSimcomInst.Power = (&mGsmPwrInst._i);
    mGsmHttpClientSimcomInst.Prompt = (&mGsmPromptInst._i);
    mGsmHttpClientSimcomInst.InternetConnection = (&mGsmInternetConnectionSimcomInst._i);
    mGsmHttpClientSimcomInst.EventHandler = &gsmHttpClientSimcomEventHandler;
    gsmHttpClientSimcomInit(&mGsmHttpClientSimcomInst);
    
    // MQTT Client (SIMCom)
    mGsmMqttClientSimcomInst.Power = (&mGsmPwrInst._i);
    mGsmMqttClientSimcomInst.Prompt = (&mGsmPromptInst._i);
    mGsmMqttClientSimcomInst.NetworkRegistration = (&mGsmNetworkRegistrationInst._i);
    mGsmMqttClientSimcomInst.InternetConnection = (&mGsmInternetConnectionSimcomInst._i);
    mGsmMqttClientSimcomInst.EventHandler = &gsmMqttClientSimcomEventHandler;
    gsmMqttClientSimcomInit(&mGsmMqttClientSimcomInst);
    // USER CODE BEGIN Init
    net_support_user_init();
    // USER CODE END Init
}

void gsmmgrPoll() {
    gsmPowerPoll(&mGsmPwrInst);
    gsmPromptPoll(&mGsmPromptInst);
    gsmTxPoll();
    gsmBasicCommsPoll(&mGsmBasicCommsInst);
    gsmNetworkRegistrationPoll(&mGsmNetworkRegistrationInst);
    gsmInternetConnectionSimcomPoll(&mGsmInternetConnectionSimcomInst);
    gsmHttpClientSimcomPoll(&mGsmHttpClientSimcomInst);
    gsmMqttClientSimcomPoll(&mGsmMqttClientSimcomInst);
    // USER CODE BEGIN Poll

    // USER CODE END Poll
}

// --- GSM Internet Connection (SIMCom LTE) ---

bool gsmmgrInternetConnectionSimcomIsConnected()
{
   return gsmInternetConnectionSimcomIsConnected(&mGsmInternetConnectionSimcomInst);
}

// --- GSM HTTP Client (SIMCom) ---

bool gsmmgrHttpClientSimcomGet(char* url) { return gsmHttpClientSimcomGet(&mGsmHttpClientSimcomInst, url); }
bool gsmmgrHttpClientSimcomPost(char* url, char* postData) { return gsmHttpClientSimcomPost(&mGsmHttpClientSimcomInst, url, postData); }
void gsmmgrHttpClientSimcomPostSetContentType(char* contentTypeOrNullForDefault) { gsmHttpClientSimcomPostSetContentType(&mGsmHttpClientSimcomInst, contentTypeOrNullForDefault); }
bool gsmmgrHttpClientSimcomHttpOperationPending() { return gsmHttpClientSimcomHttpOperationPending(&mGsmHttpClientSimcomInst); }
bool gsmmgrHttpClientSimcomHttpOperationStarted() { return gsmHttpClientSimcomHttpOperationStarted(&mGsmHttpClientSimcomInst); }
bool gsmmgrHttpClientSimcomCancel() { return gsmHttpClientSimcomCancel(&mGsmHttpClientSimcomInst); }
void gsmmgrHttpClientSimcomHttpTermWhenDone(bool termWhenDone) { gsmHttpClientSimcomHttpTermWhenDone(&mGsmHttpClientSimcomInst, termWhenDone); }
void gsmmgrHttpClientSimcomSetTimeouts(uint32_t httpActionTimeout_ms, uint32_t httpReadTimeout_ms) { gsmHttpClientSimcomSetTimeouts(&mGsmHttpClientSimcomInst, httpActionTimeout_ms, httpReadTimeout_ms); }

// --- GSM MQTT (SIMCom LTE) Client ---

bool gsmmgrMqttClientSimcomConnect(GSM_MqttClientSimcom_Connect_Session* connect_session) { return gsmMqttClientSimcomConnect(&mGsmMqttClientSimcomInst, connect_session); }
bool gsmmgrMqttClientSimcomSubscribe(char* subscribe_topic, uint8_t subscribe_QoS) { return gsmMqttClientSimcomSubscribe(&mGsmMqttClientSimcomInst, subscribe_topic, subscribe_QoS); }
bool gsmmgrMqttClientSimcomPublish(char* publish_topic, char* publish_message) { return gsmMqttClientSimcomPublish(&mGsmMqttClientSimcomInst, publish_topic, publish_message); }
bool gsmmgrMqttClientSimcomPublishEx(GSM_MqttClientSimcom_Publish_Parameters* publish_parameters) { return gsmMqttClientSimcomPublishEx(&mGsmMqttClientSimcomInst, publish_parameters); }
bool gsmmgrMqttClientSimcomUnsubscribe(char* unsubscribe_topic) { return gsmMqttClientSimcomUnsubscribe(&mGsmMqttClientSimcomInst, unsubscribe_topic); }
bool gsmmgrMqttClientSimcomDisconnect() { return gsmMqttClientSimcomDisconnect(&mGsmMqttClientSimcomInst); }
bool gsmmgrMqttClientSimcomCancelPublish() { return gsmMqttClientSimcomCancelPublish(&mGsmMqttClientSimcomInst); }
bool gsmmgrMqttClientSimcomCancelSubscribe() { return gsmMqttClientSimcomCancelSubscribe(&mGsmMqttClientSimcomInst); }
bool gsmmgrMqttClientSimcomCancelUnsubscribe() { return gsmMqttClientSimcomCancelUnsubscribe(&mGsmMqttClientSimcomInst); }
GSM_MQTT_ServerStatus gsmmgrMqttClientServerConnectionState() { return gsmMqttClientServerConnectionState(&mGsmMqttClientSimcomInst); }
