/*
 * libFuzzer target: the HTTP and MQTT receive framing. The modem's bytes (the fuzz input) run through
 * the prompt into the HTTP client (+HTTPACTION, the 2G and LTE +HTTPREAD forms with their counted
 * bodies, +HTTP_NONET_EVENT) and the MQTT client (delayed results, +CMQTTRXSTART / RXTOPIC /
 * RXPAYLOAD / RXEND groups, +CMQTTCONNLOST, +CMQTTNONET), with a GET and an MQTT session started.
 * The LTE and 2G connection modules listen on the same prompt (their result and loss lines: +NETOPEN,
 * +NETCLOSE, +IPADDR, +IP ERROR, +CIPEVENT, +CGEV, +SAPBR); the one of the selected family also runs
 * its connection sequence. The clients use a connection interface of their own that stays up.
 *
 * Input layout: byte 0 selects the family (2G / LTE), the body and receive buffer sizes and whether
 * echo cancellation has a buffer; byte 1 the read fragment size; the rest is what the modem sends.
 * The event handlers check that no chunk exceeds its buffer; the buffers sit between guard bytes.
 */
#include <stdlib.h>

#include "GSM_HttpClient_Simcom.h"
#include "GSM_InternetConnection_Interface.h"
#include "GSM_InternetConnection_Simcom.h"
#include "GSM_InternetConnection_Simcom2G.h"
#include "GSM_MqttClient_Simcom.h"
#include "fuzz_io.h"

#define GUARD 0x5Au
static uint8_t s_body[8 + 300 + 8];
static uint8_t s_rx[8 + 300 + 8];
static uint8_t s_line[256];
static uint8_t s_echo[64];
static uint16_t s_body_size;
static uint16_t s_rx_size;

static void onHttp(GSM_HttpClientSimcom_Instance* inst, GSM_HttpClientSimcom_EventType type, void* data)
{
    const GSM_HttpClientSimcom_Event_HttpResult* ev = (const GSM_HttpClientSimcom_Event_HttpResult*)data;
    (void)inst;
    if (type != GSM_HttpClientSimcom_EventType_HttpResult || ev == NULL || ev->DataLen > s_body_size ||
        (ev->DataLen > 0 && ev->Data == NULL))
    {
        abort();
    }
}

static void onMqtt(GSM_MqttClientSimcom_Instance* inst, GSM_MqttClientSimcom_EventType type, void* data)
{
    (void)inst;
    if (type == GSM_MqttClientSimcom_EventType_MsgRxTopic)
    {
        const GSM_MqttClientSimcom_Event_MsgRxTopic* ev = (const GSM_MqttClientSimcom_Event_MsgRxTopic*)data;
        if (ev->Length > s_rx_size || (uint32_t)ev->Offset + ev->Length > ev->TotalLength)
        {
            abort();
        }
    }
    else if (type == GSM_MqttClientSimcom_EventType_MsgRxPayload)
    {
        const GSM_MqttClientSimcom_Event_MsgRxPayload* ev = (const GSM_MqttClientSimcom_Event_MsgRxPayload*)data;
        if (ev->Length > s_rx_size || (uint32_t)ev->Offset + ev->Length > ev->TotalLength)
        {
            abort();
        }
    }
}

static void checkGuards(void)
{
    size_t i;
    for (i = 0; i < 8; i++)
    {
        if (s_body[i] != GUARD || s_rx[i] != GUARD)
        {
            abort();
        }
    }
    for (i = 8u + s_body_size; i < sizeof s_body; i++)
    {
        if (s_body[i] != GUARD)
        {
            abort();
        }
    }
    for (i = 8u + s_rx_size; i < sizeof s_rx; i++)
    {
        if (s_rx[i] != GUARD)
        {
            abort();
        }
    }
}

int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static GSM_Prompt_Instance prompt;
    static GSM_InternetConnection_Interface conn;
    static GSM_HttpClientSimcom_Instance http;
    static GSM_MqttClientSimcom_Instance mqtt;
    static GSM_MqttClientSimcom_Connect_Session session;
    static GSM_InternetConnectionSimcom_Instance lte;
    static GSM_InternetConnectionSimcom2G_Instance g2;
    static const uint16_t kSizes[] = {0u, 1u, 7u, 64u, 300u};
    int mode = fuzz_begin(data, size, 40u, &prompt);
    int polls = 0;
    if (mode < 0)
    {
        return 0;
    }
    s_now = 0xFFFFF000u; /* crosses the 32-bit wrap while running */
    memset(&conn, 0, sizeof conn);
    memset(&http, 0, sizeof http);
    memset(&mqtt, 0, sizeof mqtt);
    memset(&lte, 0, sizeof lte);
    memset(&g2, 0, sizeof g2);
    memset(s_body, GUARD, sizeof s_body);
    memset(s_rx, GUARD, sizeof s_rx);

    prompt.DataBuffer = (mode & 0x80u) ? s_line : NULL;
    prompt.DataBufferSize = (mode & 0x80u) ? sizeof s_line : 0u;
    prompt.EchoCancellationBuffer = (mode & 0x40u) ? s_echo : NULL;
    prompt.EchoCancellationBufferSize = (mode & 0x40u) ? sizeof s_echo : 0u;
    gsmPromptInit(&prompt);

    conn.Family = (mode & 1u) ? GSM_InternetConnection_Family_2G : GSM_InternetConnection_Family_LTE;
    conn.Connected = 1u;

    s_body_size = kSizes[(mode >> 1) % 5u];
    s_rx_size = kSizes[(mode >> 4) % 4u + 1u];
    http.Prompt = &prompt._i;
    http.InternetConnection = &conn;
    http.EventHandler = onHttp;
    gsmHttpClientSimcomInit(&http);
    http.BodyBuffer = s_body_size ? s_body + 8 : NULL;
    http.BodyBufferSize = s_body_size;
    if (s_body_size == 0u)
    {
        s_body_size = GSM_HTTPCLIENTSIMCOM_FALLBACK_SIZE;
    }
    mqtt.Prompt = &prompt._i;
    mqtt.InternetConnection = &conn;
    mqtt.EventHandler = onMqtt;
    gsmMqttClientSimcomInit(&mqtt);
    mqtt.RxBuffer = s_rx + 8;
    mqtt.RxBufferSize = s_rx_size;
    gsmMqttClientSimcomInitConfigDefault(&session);
    session.ClientId = (char*)"fz";
    session.ServerAddress = (char*)"tcp://b:1883";

    lte.Prompt = &prompt._i;
    lte.APN_IfAny = (char*)"apn";
    gsmInternetConnectionSimcomInit(&lte);
    g2.Prompt = &prompt._i;
    g2.APN_IfAny = (char*)"apn";
    gsmInternetConnectionSimcom2GInit(&g2);

    (void)gsmHttpClientSimcomGet(&http, (char*)"http://e/x");
    (void)gsmMqttClientSimcomConnect(&mqtt, &session);
    while (s_pos < s_len && polls < 20000)
    {
        s_frag_used = 0;
        gsmPromptPoll(&prompt);
        gsmHttpClientSimcomPoll(&http);
        gsmMqttClientSimcomPoll(&mqtt);
        if ((mode & 1u) != 0u)
        {
            gsmInternetConnectionSimcom2GPoll(&g2);
        }
        else
        {
            gsmInternetConnectionSimcomPoll(&lte);
        }
        if ((lte._i.Connected > 1u) || (g2._i.Connected > 1u))
        {
            abort();
        }
        if (gsmMqttClientServerConnectionState(&mqtt) == GSM_MQTT_ServerStatus_Connected && (polls & 63) == 0)
        {
            (void)gsmMqttClientSimcomSubscribe(&mqtt, (char*)"a/#", 1u);
            (void)gsmMqttClientSimcomPublish(&mqtt, (char*)"a/b", (char*)"c");
        }
        if (!gsmHttpClientSimcomHttpOperationPending(&http) && (polls & 127) == 0)
        {
            (void)gsmHttpClientSimcomPost(&http, (char*)"http://e/y", (char*)"data");
        }
        s_now += 7u + (uint32_t)(polls & 3) * 997u;
        polls++;
        checkGuards();
    }
    checkGuards();
    return 0;
}
