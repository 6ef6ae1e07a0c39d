/*
 * Application of the size-report firmware: calls every public operation of the library so that the
 * linker keeps what a real firmware keeps. Reported apart from the library and the manager wiring.
 */
#include "GSM_Power.h"
#include "GSM_PIN.h"
#include "GSM_SignalQuality.h"
#include "GSM_SMS_Send.h"
#include "GSM_USSD.h"
#if defined(FW_NET_2G)
#include "GSM_InternetConnection_Simcom2G.h"
#define GSM_InternetConnectionSimcom_Instance GSM_InternetConnectionSimcom2G_Instance
#define gsmInternetConnectionSimcomIsConnected gsmInternetConnectionSimcom2GIsConnected
#else
#include "GSM_InternetConnection_Simcom.h"
#include "GSM_MqttClient_Simcom.h"
#endif
#include "GSM_HttpClient_Simcom.h"
#include "../size/fw_regs.h"

void gsmmgrInit(void);
void gsmmgrPoll(void);

extern GSM_Power_Instance mGsmPwrInst;
extern GSM_PIN_Instance mGsmPinInst;
extern GSM_SignalQuality_Instance mGsmSignalQualityInst;
extern GSM_SmsSend_Instance mGsmSmsSendInst;
extern GSM_USSD_Instance mGsmUssdInst;
extern GSM_InternetConnectionSimcom_Instance mGsmInternetConnectionSimcomInst;
extern GSM_HttpClientSimcom_Instance mGsmHttpClientSimcomInst;
#if !defined(FW_NET_2G)
extern GSM_MqttClientSimcom_Instance mGsmMqttClientSimcomInst;
#endif

int main(void)
{
#if !defined(FW_NET_2G)
    static GSM_MqttClientSimcom_Connect_Session session;
    static GSM_MqttClientSimcom_Publish_Parameters pub;
    gsmMqttClientSimcomInitConfigDefault(&session);
#endif
    gsmmgrInit();
    for (;;)
    {
        uint8_t in = (uint8_t)GPIO_IN;
        gsmmgrPoll();
        switch (in)
        {
        case 3u: gsmPinEnter(&mGsmPinInst, 1234u); break;
        case 4u: (void)gsmSignalQualityQuery(&mGsmSignalQualityInst); break;
        case 5u: (void)gsmSmsSend(&mGsmSmsSendInst, (char*)"+491701234567", (char*)"hi"); break;
        case 6u: gsmSmsSendCancel(&mGsmSmsSendInst); break;
        case 7u: (void)gsmUssdSend(&mGsmUssdInst, (char*)"*100#"); break;
        case 8u: (void)gsmUssdCancelSession(&mGsmUssdInst); break;
        case 9u: (void)gsmHttpClientSimcomGet(&mGsmHttpClientSimcomInst, (char*)"http://example.com/"); break;
        case 10u: (void)gsmHttpClientSimcomPost(&mGsmHttpClientSimcomInst, (char*)"http://example.com/", (char*)"x=1"); break;
        case 11u: gsmHttpClientSimcomPostSetContentType(&mGsmHttpClientSimcomInst, NULL); break;
        case 12u: (void)gsmHttpClientSimcomCancel(&mGsmHttpClientSimcomInst); break;
        case 13u: gsmHttpClientSimcomHttpTermWhenDone(&mGsmHttpClientSimcomInst, false); break;
        case 14u: gsmHttpClientSimcomSetTimeouts(&mGsmHttpClientSimcomInst, 1000u, 1000u); break;
#if !defined(FW_NET_2G)
        case 15u: (void)gsmMqttClientSimcomConnect(&mGsmMqttClientSimcomInst, &session); break;
        case 16u: (void)gsmMqttClientSimcomSubscribe(&mGsmMqttClientSimcomInst, (char*)"a/#", 1u); break;
        case 17u: (void)gsmMqttClientSimcomPublish(&mGsmMqttClientSimcomInst, (char*)"a/b", (char*)"c"); break;
        case 18u: (void)gsmMqttClientSimcomPublishEx(&mGsmMqttClientSimcomInst, &pub); break;
        case 19u: (void)gsmMqttClientSimcomUnsubscribe(&mGsmMqttClientSimcomInst, (char*)"a/#"); break;
        case 20u: (void)gsmMqttClientSimcomDisconnect(&mGsmMqttClientSimcomInst); break;
        case 21u: (void)gsmMqttClientSimcomCancelPublish(&mGsmMqttClientSimcomInst); break;
        case 22u: (void)gsmMqttClientSimcomCancelSubscribe(&mGsmMqttClientSimcomInst); break;
        case 23u: (void)gsmMqttClientSimcomCancelUnsubscribe(&mGsmMqttClientSimcomInst); break;
        case 24u: GPIO_OUT = (uint8_t)gsmMqttClientServerConnectionState(&mGsmMqttClientSimcomInst); break;
#endif
        default:
            GPIO_OUT = (uint8_t)(gsmInternetConnectionSimcomIsConnected(&mGsmInternetConnectionSimcomInst) +
                                 gsmHttpClientSimcomHttpOperationPending(&mGsmHttpClientSimcomInst) +
                                 gsmHttpClientSimcomHttpOperationStarted(&mGsmHttpClientSimcomInst) +
                                 gsmPowerGet(&mGsmPwrInst) + (uint8_t)gsmPinStatus(&mGsmPinInst));
            break;
        }
    }
}
