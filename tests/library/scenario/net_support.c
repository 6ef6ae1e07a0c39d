/*
 * net_support.c - event recording and buffer set-up for the internet, HTTP and MQTT scenario tests.
 */
#include "net_support.h"

#include <string.h>

#include "harness.h"

extern GSM_HttpClientSimcom_Instance mGsmHttpClientSimcomInst;
#if NET_WITH_MQTT
extern GSM_MqttClientSimcom_Instance mGsmMqttClientSimcomInst;
#endif

static char s_apn[64];
static bool s_has_apn;
static size_t s_http_size;
static size_t s_mqtt_size;
static uint8_t s_http_buf[4096 + 16];
static uint8_t s_mqtt_buf[4096 + 16];
static NetHttpLog s_http;
static NetMqttLog s_mqtt;
static int s_action;
static char* s_action_url;
static NetHttpObserver s_http_observer;
static NetMqttObserver s_mqtt_observer;

void net_support_reset(void)
{
    s_has_apn = false;
    s_http_size = 256;
    s_mqtt_size = 256;
    s_action = 0;
    s_http_observer = NULL;
    s_mqtt_observer = NULL;
    net_http_log_clear();
    net_mqtt_log_clear();
}

void net_support_set_apn(const char* apn)
{
    s_has_apn = apn != NULL;
    if (apn)
    {
        strncpy(s_apn, apn, sizeof s_apn - 1);
        s_apn[sizeof s_apn - 1] = '\0';
    }
}

void net_support_set_buffers(size_t http_body, size_t mqtt_rx)
{
    s_http_size = http_body;
    s_mqtt_size = mqtt_rx;
}

void net_support_observe(NetHttpObserver http, NetMqttObserver mqtt)
{
    s_http_observer = http;
    s_mqtt_observer = mqtt;
}

char* net_support_apn(void)
{
    return s_has_apn ? s_apn : NULL;
}

/* Each buffer is followed by guard bytes that must never change. */
#define GUARD 0xA5u

void net_support_user_init(void)
{
    memset(s_http_buf, GUARD, sizeof s_http_buf);
    memset(s_mqtt_buf, GUARD, sizeof s_mqtt_buf);
    /* the instances outlive one test: set or clear the buffers every time */
    mGsmHttpClientSimcomInst.BodyBuffer = s_http_size > 0 ? s_http_buf : NULL;
    mGsmHttpClientSimcomInst.BodyBufferSize = (uint16_t)s_http_size;
#if NET_WITH_MQTT
    mGsmMqttClientSimcomInst.RxBuffer = s_mqtt_size > 0 ? s_mqtt_buf : NULL;
    mGsmMqttClientSimcomInst.RxBufferSize = (uint16_t)s_mqtt_size;
#endif
}

bool net_support_guards_intact(void);
bool net_support_guards_intact(void)
{
    size_t i;
    for (i = s_http_size; i < sizeof s_http_buf; i++)
    {
        if (s_http_buf[i] != GUARD)
        {
            return false;
        }
    }
    for (i = s_mqtt_size; i < sizeof s_mqtt_buf; i++)
    {
        if (s_mqtt_buf[i] != GUARD)
        {
            return false;
        }
    }
    return true;
}

NetHttpLog* net_http_log(void) { return &s_http; }
NetMqttLog* net_mqtt_log(void) { return &s_mqtt; }

void net_http_log_clear(void)
{
    memset(&s_http, 0, sizeof s_http);
    s_http.offsets_ok = true;
    s_http.null_data_ok = true;
    s_http.result = -1;
}

void net_mqtt_log_clear(void)
{
    memset(&s_mqtt, 0, sizeof s_mqtt);
    s_mqtt.order_ok = true;
    s_mqtt.last_error_operation = -1;
}

void net_support_http_action_in_event(int action, char* url)
{
    s_action = action;
    s_action_url = url;
}

void net_support_on_http_event(GSM_HttpClientSimcom_Instance* inst, int event_type, void* event_data)
{
    const GSM_HttpClientSimcom_Event_HttpResult* ev = (const GSM_HttpClientSimcom_Event_HttpResult*)event_data;
    (void)inst;
    if (s_http_observer != NULL)
    {
        s_http_observer(event_type, ev);
    }
    if (event_type != GSM_HttpClientSimcom_EventType_HttpResult || ev == NULL)
    {
        harness_record_event("HTTP", event_type, -1, -1);
        return;
    }
    s_http.events++;
    s_http.result = ev->Result;
    s_http.status = ev->HttpStatus;
    if (ev->Last)
    {
        s_http.lasts++;
    }
    if ((ev->Data == NULL) != (ev->DataLen == 0))
    {
        s_http.null_data_ok = false;
    }
    if (ev->DataLen > 0)
    {
        if (ev->DataOffset != s_http.body_len)
        {
            s_http.offsets_ok = false;
        }
        if (s_http.body_len + ev->DataLen <= NET_BODY_MAX)
        {
            memcpy(s_http.body + s_http.body_len, ev->Data, ev->DataLen);
            s_http.body_len += ev->DataLen;
        }
        if (ev->DataLen > s_http.max_chunk)
        {
            s_http.max_chunk = ev->DataLen;
        }
    }
    harness_record_event("HTTP", event_type, ev->Result, ev->Last ? 1 : 0);
    if (s_action == 1)
    {
        s_action = 0;
        (void)gsmHttpClientSimcomCancel(inst);
    }
    else if (s_action == 2 && ev->Last)
    {
        s_action = 0;
        (void)gsmHttpClientSimcomGet(inst, s_action_url);
    }
    else if (s_action == 3)
    {
        s_action = 0;
        (void)gsmHttpClientSimcomCancel(inst);
        s_http.get_in_event = gsmHttpClientSimcomGet(inst, s_action_url);
    }
}

/* Appends the chunk of a topic or payload (at `offset` of it) to buf / *len (capacity cap); returns
 * whether it continued what came before. */
static bool append_chunk(uint8_t* buf, size_t* len, size_t cap, uint32_t offset, const void* data, size_t n)
{
    bool in_order = offset == *len;
    if (*len + n <= cap)
    {
        memcpy(buf + *len, data, n);
        *len += n;
    }
    if (n > s_mqtt.max_chunk)
    {
        s_mqtt.max_chunk = n;
    }
    return in_order;
}

void net_support_on_mqtt_event(GSM_MqttClientSimcom_Instance* inst, int event_type, void* event_data)
{
    int32_t a = 0;
    (void)inst;
    switch (event_type)
    {
    case GSM_MqttClientSimcom_EventType_MsgRxTopic:
    {
        const GSM_MqttClientSimcom_Event_MsgRxTopic* ev = (const GSM_MqttClientSimcom_Event_MsgRxTopic*)event_data;
        bool in_order;
        if (ev->Offset == 0)
        {
            s_mqtt.topic_len = 0;
            s_mqtt.payload_len = 0;
        }
        in_order = append_chunk((uint8_t*)s_mqtt.topic, &s_mqtt.topic_len, sizeof s_mqtt.topic - 1u, ev->Offset,
                                ev->Topic, ev->Length);
        s_mqtt.order_ok &= in_order && s_mqtt.payload_len == 0; /* the topic comes before the payload */
        s_mqtt.topic[s_mqtt.topic_len] = '\0';
        a = ev->Length;
        break;
    }
    case GSM_MqttClientSimcom_EventType_MsgRxPayload:
    {
        const GSM_MqttClientSimcom_Event_MsgRxPayload* ev = (const GSM_MqttClientSimcom_Event_MsgRxPayload*)event_data;
        s_mqtt.order_ok &= append_chunk(s_mqtt.payload, &s_mqtt.payload_len, sizeof s_mqtt.payload, ev->Offset,
                                        ev->Payload, ev->Length);
        a = ev->Length;
        break;
    }
    case GSM_MqttClientSimcom_EventType_MsgRxEnd:
        s_mqtt.messages++;
        break;
    case GSM_MqttClientSimcom_EventType_ErrorResponse:
    {
        const GSM_MqttClientSimcom_Event_ErrorResponse* ev = (const GSM_MqttClientSimcom_Event_ErrorResponse*)event_data;
        s_mqtt.last_error_operation = ev->Operation;
        s_mqtt.last_error_code = ev->ErrorCode;
        a = ev->ErrorCode;
        break;
    }
    case GSM_MqttClientSimcom_EventType_ConnectionLost:
        s_mqtt.lost_cause = ((const GSM_MqttClientSimcom_Event_ConnectionLost*)event_data)->Cause;
        a = s_mqtt.lost_cause;
        break;
    default:
        break;
    }
    harness_record_event("MQTT", event_type, a, 0);
    if (s_mqtt_observer != NULL)
    {
        s_mqtt_observer(event_type, event_data);
    }
}
