/*
 * Size-report firmware: every library module for an LTE modem (Power, Prompt, Basic Comms, Pin, RSSI,
 * Network Registration, SMS Send, SMS Read, USSD, Internet Connection LTE, HTTP Client, MQTT Client),
 * wired as the generated manager wires them, with the hardware callbacks reduced to accesses of
 * made-up memory-mapped registers. The application that calls every public operation (so that the
 * linker keeps what a real firmware keeps) is fw_app.c, reported apart: it is not part of the manager.
 */
#include <stdbool.h>
#include <stdint.h>

#include "GSM_Power.h"
#include "GSM_Prompt.h"
#include "GSM_BasicComms.h"
#include "GSM_PIN.h"
#include "GSM_SignalQuality.h"
#include "GSM_NetworkRegistration.h"
#include "GSM_SMS_Send.h"
#include "GSM_SMS_Read.h"
#include "GSM_USSD.h"
#if defined(FW_NET_2G)
/* 2G variant: the 2G connection, under the instance name the HTTP init uses (an alias of its header);
 * no MQTT, which needs the LTE family. */
#include "GSM_InternetConnection_Simcom2G.h"
#define GSM_InternetConnectionSimcom_Instance GSM_InternetConnectionSimcom2G_Instance
#define gsmInternetConnectionSimcomInit gsmInternetConnectionSimcom2GInit
#define gsmInternetConnectionSimcomPoll gsmInternetConnectionSimcom2GPoll
#else
#include "GSM_InternetConnection_Simcom.h"
#include "GSM_MqttClient_Simcom.h"
#endif
#include "GSM_HttpClient_Simcom.h"
#include "../size/fw_regs.h"

/* User buffers (excluded from the library's RAM figure). */
static uint8_t mau8GsmPromptBuff[256];
static uint8_t mau8UartGsmEchoCancelBuff[128];
static uint8_t mau8HttpBody[256];
#if !defined(FW_NET_2G)
static uint8_t mau8MqttRx[128];
#endif

GSM_Power_Instance mGsmPwrInst = {0};
GSM_Prompt_Instance mGsmPromptInst = {0};
GSM_BasicComms_Instance mGsmBasicCommsInst = {0};
GSM_PIN_Instance mGsmPinInst = {0};
GSM_SignalQuality_Instance mGsmSignalQualityInst = {0};
GSM_NetworkRegistration_Instance mGsmNetworkRegistrationInst = {0};
GSM_SmsSend_Instance mGsmSmsSendInst = {0};
GSM_SmsRead_Instance mGsmSmsReadInst = {0};
GSM_USSD_Instance mGsmUssdInst = {0};
GSM_InternetConnectionSimcom_Instance mGsmInternetConnectionSimcomInst = {0};
GSM_HttpClientSimcom_Instance mGsmHttpClientSimcomInst = {0};
#if !defined(FW_NET_2G)
GSM_MqttClientSimcom_Instance mGsmMqttClientSimcomInst = {0};
#endif

uint32_t gsm__SysTime_ms(void) { return TIMER_MS; }
static void gsmSetPowerKey(GSM_Power_Instance* inst, bool activated) { (void)inst; GPIO_OUT = activated ? 1u : 0u; }
static void gsmSetReset(GSM_Power_Instance* inst, bool activated) { (void)inst; GPIO_OUT = activated ? 2u : 0u; }
static bool gsmReadStatus(GSM_Power_Instance* inst) { (void)inst; return (GPIO_IN & 1u) != 0u; }
static void gsmWrite(GSM_Prompt_Instance* inst, uint8_t b) { (void)inst; UART_DATA = b; }
static bool gsmWriteCompleted(GSM_Prompt_Instance* inst) { (void)inst; return (UART_STATUS & 0x40u) != 0u; }
static bool gsmCanRead(GSM_Prompt_Instance* inst) { (void)inst; return (UART_STATUS & 0x20u) != 0u; }
static uint8_t gsmRead(GSM_Prompt_Instance* inst) { (void)inst; return (uint8_t)UART_DATA; }
static char* gsmGetAPN(void) { return (char*)"internet"; }
static void gsmPinEventHandler(GSM_PIN_Instance* inst, GSM_PIN_EventType t, void* d) { (void)inst; (void)d; GPIO_OUT = (uint8_t)t; }
static void gsmSignalQualityEventHandler(GSM_SignalQuality_Instance* inst, GSM_SignalQuality_EventType t, void* d) { (void)inst; (void)d; GPIO_OUT = (uint8_t)t; }
static void gsmSmsSendEventHandler(GSM_SmsSend_Instance* inst, GSM_SmsSend_EventType t, void* d) { (void)inst; (void)d; GPIO_OUT = (uint8_t)t; }
static void gsmSmsReadEventHandler(GSM_SmsRead_Instance* inst, GSM_SmsRead_EventType t, void* d) { (void)inst; (void)d; GPIO_OUT = (uint8_t)t; }
static void gsmUssdEventHandler(GSM_USSD_Instance* inst, GSM_USSD_EventType t, void* d) { (void)inst; (void)d; GPIO_OUT = (uint8_t)t; }
static void gsmHttpClientSimcomEventHandler(GSM_HttpClientSimcom_Instance* inst, GSM_HttpClientSimcom_EventType t, void* d)
{
    (void)inst;
    GPIO_OUT = (uint8_t)(t + ((GSM_HttpClientSimcom_Event_HttpResult*)d)->DataLen);
}
#if !defined(FW_NET_2G)
static void gsmMqttClientSimcomEventHandler(GSM_MqttClientSimcom_Instance* inst, GSM_MqttClientSimcom_EventType t, void* d)
{
    (void)inst;
    (void)d;
    GPIO_OUT = (uint8_t)t;
}
#endif

void gsmmgrInit(void)
{
    mGsmPwrInst.SetPowerKey = &gsmSetPowerKey;
    mGsmPwrInst.SetReset = &gsmSetReset;
    mGsmPwrInst.ReadStatus = &gsmReadStatus;
    gsmPowerInit(&mGsmPwrInst);
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
    mGsmBasicCommsInst.Power = &(mGsmPwrInst._i);
    mGsmBasicCommsInst.Prompt = &(mGsmPromptInst._i);
    mGsmBasicCommsInst.EchoOn = 0;
    gsmBasicCommsInit(&mGsmBasicCommsInst);
    mGsmPinInst.Power = (&mGsmPwrInst._i);
    mGsmPinInst.Prompt = (&mGsmPromptInst._i);
    mGsmPinInst.BasicComms = (&mGsmBasicCommsInst._i);
    mGsmPinInst.EventHandler = &gsmPinEventHandler;
    gsmPinInit(&mGsmPinInst);
    mGsmSignalQualityInst.Power = (&mGsmPwrInst._i);
    mGsmSignalQualityInst.Prompt = (&mGsmPromptInst._i);
    mGsmSignalQualityInst.BasicComms = (&mGsmBasicCommsInst._i);
    mGsmSignalQualityInst.EventHandler = &gsmSignalQualityEventHandler;
    gsmSignalQualityInit(&mGsmSignalQualityInst);
    mGsmNetworkRegistrationInst.Power = (&mGsmPwrInst._i);
    mGsmNetworkRegistrationInst.Prompt = (&mGsmPromptInst._i);
    mGsmNetworkRegistrationInst.BasicComms = (&mGsmBasicCommsInst._i);
    gsmNetworkRegistrationInit(&mGsmNetworkRegistrationInst);
    mGsmSmsSendInst.Power = (&mGsmPwrInst._i);
    mGsmSmsSendInst.Prompt = (&mGsmPromptInst._i);
    mGsmSmsSendInst.BasicComms = (&mGsmBasicCommsInst._i);
    mGsmSmsSendInst.NetworkRegistration = (&mGsmNetworkRegistrationInst._i);
    mGsmSmsSendInst.EventHandler = &gsmSmsSendEventHandler;
    gsmSmsSendInit(&mGsmSmsSendInst);
    mGsmSmsReadInst.Power = (&mGsmPwrInst._i);
    mGsmSmsReadInst.Prompt = (&mGsmPromptInst._i);
    mGsmSmsReadInst.BasicComms = (&mGsmBasicCommsInst._i);
    mGsmSmsReadInst.EventHandler = &gsmSmsReadEventHandler;
    gsmSmsReadInit(&mGsmSmsReadInst);
    mGsmUssdInst.Power = (&mGsmPwrInst._i);
    mGsmUssdInst.Prompt = (&mGsmPromptInst._i);
    mGsmUssdInst.NetworkRegistration = (&mGsmNetworkRegistrationInst._i);
    mGsmUssdInst.EventHandler = &gsmUssdEventHandler;
    gsmUssdInit(&mGsmUssdInst);
    mGsmInternetConnectionSimcomInst.Prompt = (&mGsmPromptInst._i);
    mGsmInternetConnectionSimcomInst.NetworkRegistration = (&mGsmNetworkRegistrationInst._i);
    mGsmInternetConnectionSimcomInst.APN_IfAny = gsmGetAPN();
    gsmInternetConnectionSimcomInit(&mGsmInternetConnectionSimcomInst);
    mGsmHttpClientSimcomInst.Power = (&mGsmPwrInst._i);
    mGsmHttpClientSimcomInst.Prompt = (&mGsmPromptInst._i);
    mGsmHttpClientSimcomInst.InternetConnection = (&mGsmInternetConnectionSimcomInst._i);
    mGsmHttpClientSimcomInst.EventHandler = &gsmHttpClientSimcomEventHandler;
    gsmHttpClientSimcomInit(&mGsmHttpClientSimcomInst);
#if !defined(FW_NET_2G)
    mGsmMqttClientSimcomInst.Power = (&mGsmPwrInst._i);
    mGsmMqttClientSimcomInst.Prompt = (&mGsmPromptInst._i);
    mGsmMqttClientSimcomInst.NetworkRegistration = (&mGsmNetworkRegistrationInst._i);
    mGsmMqttClientSimcomInst.InternetConnection = (&mGsmInternetConnectionSimcomInst._i);
    mGsmMqttClientSimcomInst.EventHandler = &gsmMqttClientSimcomEventHandler;
    gsmMqttClientSimcomInit(&mGsmMqttClientSimcomInst);
#endif
    /* USER CODE Init: the body and receive buffers */
    mGsmHttpClientSimcomInst.BodyBuffer = mau8HttpBody;
    mGsmHttpClientSimcomInst.BodyBufferSize = sizeof(mau8HttpBody);
#if !defined(FW_NET_2G)
    mGsmMqttClientSimcomInst.RxBuffer = mau8MqttRx;
    mGsmMqttClientSimcomInst.RxBufferSize = sizeof(mau8MqttRx);
#endif
}

void gsmmgrPoll(void)
{
    gsmPowerPoll(&mGsmPwrInst);
    gsmPromptPoll(&mGsmPromptInst);
    gsmBasicCommsPoll(&mGsmBasicCommsInst);
    gsmPinPoll(&mGsmPinInst);
    gsmSignalQualityPoll(&mGsmSignalQualityInst);
    gsmNetworkRegistrationPoll(&mGsmNetworkRegistrationInst);
    gsmSmsSendPoll(&mGsmSmsSendInst);
    gsmSmsReadPoll(&mGsmSmsReadInst);
    gsmUssdPoll(&mGsmUssdInst);
    gsmInternetConnectionSimcomPoll(&mGsmInternetConnectionSimcomInst);
    gsmHttpClientSimcomPoll(&mGsmHttpClientSimcomInst);
#if !defined(FW_NET_2G)
    gsmMqttClientSimcomPoll(&mGsmMqttClientSimcomInst);
#endif
}
