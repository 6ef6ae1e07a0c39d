/*
 * net_support.h - event recording and buffer set-up for the internet, HTTP and MQTT scenario tests.
 * The generated test managers call these from their USER CODE sections (harness/generate_manager.py).
 */
#ifndef NET_SUPPORT_H_
#define NET_SUPPORT_H_

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#include "GSM_HttpClient_Simcom.h"
#include "GSM_MqttClient_Simcom.h"

#ifdef __cplusplus
extern "C" {
#endif

#define NET_BODY_MAX 20000

/* ---- set before harness_start ---- */
void net_support_reset(void);
/** APN handed over by gsmGetAPN (NULL: none). */
void net_support_set_apn(const char* apn);
/** Size of the HTTP body buffer / MQTT receive buffer given in USER CODE Init; 0: none (fallback). */
void net_support_set_buffers(size_t http_body, size_t mqtt_rx);

/** Called with every HTTP / MQTT event (NULL: none; net_support_reset clears both). For tests that check each event as it comes. */
typedef void (*NetHttpObserver)(int event_type, const GSM_HttpClientSimcom_Event_HttpResult* ev);
typedef void (*NetMqttObserver)(int event_type, const void* event_data);
void net_support_observe(NetHttpObserver http, NetMqttObserver mqtt);

/* ---- called by the manager ---- */
char* net_support_apn(void);
void net_support_user_init(void);
void net_support_on_http_event(GSM_HttpClientSimcom_Instance* inst, int event_type, void* event_data);
void net_support_on_mqtt_event(GSM_MqttClientSimcom_Instance* inst, int event_type, void* event_data);

/* ---- what was seen ---- */
typedef struct NetHttpLog
{
    int events;             /* HttpResult events of the present request */
    int lasts;              /* events with Last set (must end up 1) */
    int result;             /* Result of the last event */
    int status;             /* HttpStatus of the last event */
    uint8_t body[NET_BODY_MAX]; /* the body assembled from the chunks */
    size_t body_len;
    size_t max_chunk;       /* largest DataLen seen */
    bool offsets_ok;        /* every DataOffset continued the previous chunk */
    bool null_data_ok;      /* Data was NULL exactly when DataLen was 0 */
    bool get_in_event;      /* the GET of action 3 was accepted */
} NetHttpLog;

typedef struct NetMqttLog
{
    char topic[1100];       /* topic of the last received message, assembled */
    size_t topic_len;
    uint8_t payload[12000]; /* its payload */
    size_t payload_len;
    int messages;           /* MsgRxEnd events */
    size_t max_chunk;
    bool order_ok;          /* offsets continuous, topic before payload */
    int last_error_operation;
    int last_error_code;
    int lost_cause;
} NetMqttLog;

NetHttpLog* net_http_log(void);
void net_http_log_clear(void);
NetMqttLog* net_mqtt_log(void);
void net_mqtt_log_clear(void);

/** Inside the next HttpResult event: cancel (1), start a GET of `url` in the last event (2), or
 *  cancel and start a GET of `url` (3; get_in_event says whether it was accepted). */
void net_support_http_action_in_event(int action, char* url);

#ifdef __cplusplus
}
#endif

#endif /* NET_SUPPORT_H_ */
