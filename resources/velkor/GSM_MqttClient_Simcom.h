/*
 * GSM_MqttClient_Simcom.h - MQTT client through the MQTT service of SIMCom LTE modems (AT+CMQTT*).
 *
 * The client uses client index 0 of the modem's MQTT service:
 *   Connect:     [AT+CMQTTDISC=0,120, AT+CMQTTREL=0, AT+CMQTTSTOP] AT+CMQTTSTART,
 *                AT+CMQTTACCQ=0,"<id>"[,1],
 *                [AT+CMQTTWILLTOPIC=0,<n> / AT+CMQTTWILLMSG=0,<n>,<qos>], AT+CMQTTCONNECT=0,"<server>",...
 *   Subscribe:   AT+CMQTTSUB=0,<n>,<qos> + topic          Unsubscribe: AT+CMQTTUNSUB=0,<n>,0 + topic
 *   Publish:     AT+CMQTTTOPIC=0,<n> + topic, AT+CMQTTPAYLOAD=0,<n> + message, AT+CMQTTPUB=0,<qos>,<t>,<retain>
 *   Disconnect:  AT+CMQTTDISC=0,120, AT+CMQTTREL=0, AT+CMQTTSTOP
 * Each operation reports its outcome through the event handler: the ..._Success events, or
 * GSM_MqttClientSimcom_EventType_ErrorResponse with the operation and the modem's <err> code. The
 * modem's delayed results (+CMQTTCONNECT: 0,<err> ...) are awaited with their own time-outs; the prompt
 * is free for other modules meanwhile. One subscribe, one unsubscribe and one publish may be pending at
 * a time (each runs after the one before it).
 *
 * Received messages (+CMQTTRXSTART / +CMQTTRXTOPIC / +CMQTTRXPAYLOAD / +CMQTTRXEND) are delivered as
 * MsgRxTopic events (the topic, in chunks), then MsgRxPayload events (the payload, in chunks), then
 * MsgRxEnd. A chunk never exceeds the receive buffer: set RxBuffer / RxBufferSize in the manager's
 * USER CODE Init section, e.g.
 *     static uint8_t mqttRx[256];
 *     mGsmMqttClientSimcomInst.RxBuffer = mqttRx;
 *     mGsmMqttClientSimcomInst.RxBufferSize = sizeof(mqttRx);
 * Without one a GSM_MQTTCLIENTSIMCOM_FALLBACK_SIZE byte buffer inside the instance is used. These
 * receive events are raised while the prompt processes the modem's bytes (inside gsmPromptPoll); the
 * handler may call the functions of this module but must copy the data it wants to keep.
 *
 * Loss of the connection (+CMQTTCONNLOST) raises ConnectionLost, loss of the network (+CMQTTNONET)
 * raises NoNetwork; pending operations are dropped. +CMQTTNONET also has the internet connection
 * check itself at once, with or without a session. The client does not reconnect by itself: call
 * gsmMqttClientSimcomConnect() again from the application. Whenever the modem's MQTT service may still
 * be running, a connect first disconnects, releases the client and stops the service (errors ignored),
 * so that a connection the modem still holds (failed ping, a connect result that came too late) or
 * the client acquired before (with its old id) does not make the new connect fail.
 *
 * All functions: main-loop context only, not interrupt safe, return at once. Strings passed in are used
 * while the operation runs and must stay valid (unchanged) until its event. A topic or payload that is
 * being written to the modem when its operation is cancelled is still written to its end (after the
 * "> " prompt the modem takes exactly the announced count of bytes): after a cancel it must stay valid
 * for about its transfer time.
 */
#ifndef GSM_MQTTCLIENT_SIMCOM_H_
#define GSM_MQTTCLIENT_SIMCOM_H_

#include "GSM_Globals.h"
#include "GSM_Power_Interface.h"
#include "GSM_Prompt_Interface.h"
#include "GSM_NetworkRegistration_Interface.h"
#include "GSM_InternetConnection_Interface.h"

#ifdef __cplusplus
extern "C" {
#endif

/** Size of the internal receive buffer used when the application supplies none. */
#ifndef GSM_MQTTCLIENTSIMCOM_FALLBACK_SIZE
#define GSM_MQTTCLIENTSIMCOM_FALLBACK_SIZE 16u
#endif
/** Time for a delayed result (+CMQTTCONNECT, +CMQTTSUB, +CMQTTDISC...; the modem's own limit is 120 s).
 *  The OK of such a command, which the modem may send after the result, is awaited as long, at least
 *  190 s (the longest publish time-out, 180 s, + 10 s). */
#ifndef GSM_MQTTCLIENTSIMCOM_RESULT_TIMEOUT_MS
#define GSM_MQTTCLIENTSIMCOM_RESULT_TIMEOUT_MS 130000u
#endif
/** Publish time-out handed to the modem by gsmMqttClientSimcomPublish (seconds, 1..180). */
#ifndef GSM_MQTTCLIENTSIMCOM_PUBLISH_TIMEOUT_S
#define GSM_MQTTCLIENTSIMCOM_PUBLISH_TIMEOUT_S 60u
#endif

/** Event types; the payload type of each is given next to it. */
typedef enum
{
    GSM_MqttClientSimcom_EventType_ConnectSuccess = 0,   /**< connected to the broker. event_data: NULL */
    GSM_MqttClientSimcom_EventType_SubscribeSuccess,     /**< subscription acknowledged. event_data: NULL */
    GSM_MqttClientSimcom_EventType_PublishSuccess,       /**< message published (QoS 1/2: acknowledged). event_data: NULL */
    GSM_MqttClientSimcom_EventType_MsgRxTopic,           /**< a chunk of a received topic. event_data: GSM_MqttClientSimcom_Event_MsgRxTopic* */
    GSM_MqttClientSimcom_EventType_MsgRxTopicHeaderError, /**< unreadable +CMQTTRXSTART / +CMQTTRXTOPIC line. event_data: NULL */
    GSM_MqttClientSimcom_EventType_MsgRxTopicError,      /**< topic parts do not match the announced length. event_data: NULL */
    GSM_MqttClientSimcom_EventType_MsgRxPayload,         /**< a chunk of a received payload. event_data: GSM_MqttClientSimcom_Event_MsgRxPayload* */
    GSM_MqttClientSimcom_EventType_MsgRxPayloadHeaderError, /**< unreadable +CMQTTRXPAYLOAD line. event_data: NULL */
    GSM_MqttClientSimcom_EventType_MsgRxPayloadError,    /**< payload parts do not match the announced length. event_data: NULL */
    GSM_MqttClientSimcom_EventType_MsgRxEnd,             /**< the received message is complete (+CMQTTRXEND). event_data: NULL */
    GSM_MqttClientSimcom_EventType_UnsubscribeSuccess,   /**< unsubscription acknowledged. event_data: NULL */
    GSM_MqttClientSimcom_EventType_DisconnectSuccess,    /**< disconnected, client released, service stopped. event_data: NULL */
    GSM_MqttClientSimcom_EventType_ConnectionLost,       /**< the broker connection dropped (+CMQTTCONNLOST, failed ping, modem restart).
                                                              event_data: GSM_MqttClientSimcom_Event_ConnectionLost* */
    GSM_MqttClientSimcom_EventType_NoNetwork,            /**< the network is gone (+CMQTTNONET) or not registered at Connect. event_data: NULL */
    GSM_MqttClientSimcom_EventType_ErrorResponse         /**< an operation failed. event_data: GSM_MqttClientSimcom_Event_ErrorResponse* */
} GSM_MqttClientSimcom_EventType;

/** Connection state (gsmMqttClientServerConnectionState). */
typedef enum
{
    GSM_MQTT_ServerStatus_Disconnected = 0,
    GSM_MQTT_ServerStatus_Connecting,
    GSM_MQTT_ServerStatus_Connected,
    GSM_MQTT_ServerStatus_Disconnecting
} GSM_MQTT_ServerStatus;

/** The operation named in an ErrorResponse. */
typedef enum
{
    GSM_MqttClientSimcom_Operation_Connect = 0,
    GSM_MqttClientSimcom_Operation_Subscribe,
    GSM_MqttClientSimcom_Operation_Unsubscribe,
    GSM_MqttClientSimcom_Operation_Publish,
    GSM_MqttClientSimcom_Operation_Disconnect
} GSM_MqttClientSimcom_Operation;

/** ErrorResponse codes other than the modem's own <err> values (0..35). */
#define GSM_MQTTCLIENTSIMCOM_ERR_REFUSED  (-1) /**< ERROR / +CME ERROR without a result code */
#define GSM_MQTTCLIENTSIMCOM_ERR_TIMEOUT  (-2) /**< no answer within the time-out */
#define GSM_MQTTCLIENTSIMCOM_ERR_ABORTED  (-3) /**< the modem restarted / the command was abandoned */

/** Data of GSM_MqttClientSimcom_EventType_ErrorResponse. */
typedef struct GSM_MqttClientSimcom_Event_ErrorResponse
{
    uint8_t Operation; /**< GSM_MqttClientSimcom_Operation */
    int16_t ErrorCode; /**< the modem's <err> (e.g. 30 bad user name or password, 17 timeout), or GSM_MQTTCLIENTSIMCOM_ERR_... */
} GSM_MqttClientSimcom_Event_ErrorResponse;

/** Data of GSM_MqttClientSimcom_EventType_MsgRxTopic (valid only during the call). */
typedef struct GSM_MqttClientSimcom_Event_MsgRxTopic
{
    const char* Topic;    /**< this chunk of the topic, not zero-terminated */
    uint16_t Length;      /**< bytes in this chunk */
    uint16_t Offset;      /**< position of the chunk in the topic */
    uint16_t TotalLength; /**< length of the whole topic */
    bool Last;            /**< true on the chunk that completes the topic */
} GSM_MqttClientSimcom_Event_MsgRxTopic;

/** Data of GSM_MqttClientSimcom_EventType_MsgRxPayload (valid only during the call). */
typedef struct GSM_MqttClientSimcom_Event_MsgRxPayload
{
    const uint8_t* Payload; /**< this chunk of the payload (any bytes) */
    uint16_t Length;        /**< bytes in this chunk */
    uint16_t Offset;        /**< position of the chunk in the payload */
    uint16_t TotalLength;   /**< length of the whole payload */
    bool Last;              /**< true on the chunk that completes the payload */
} GSM_MqttClientSimcom_Event_MsgRxPayload;

/** Data of GSM_MqttClientSimcom_EventType_ConnectionLost. */
typedef struct GSM_MqttClientSimcom_Event_ConnectionLost
{
    uint8_t Cause; /**< +CMQTTCONNLOST cause: 1 closed by peer, 2 reset, 3 network closed; 0 other (ping failure, restart) */
} GSM_MqttClientSimcom_Event_ConnectionLost;

/** Connection parameters; gsmMqttClientSimcomInitConfigDefault fills the defaults. */
typedef struct GSM_MqttClientSimcom_Connect_Session
{
    char* ClientId;        /**< 1..128 bytes (required) */
    char* ServerAddress;   /**< "tcp://host:port", 9..256 bytes (required; also for TLS) */
    uint16_t KeepAlive_s;  /**< 1..64800, default 60 */
    bool CleanSession;     /**< default true */
    bool UseTls;           /**< TLS connection (server type 1), default false */
    char* UserName;        /**< NULL: none; else 1..256 bytes */
    char* Password;        /**< NULL: none; else 1..256 bytes (needs a user name) */
    char* WillTopic;       /**< NULL: no will message */
    char* WillMessage;     /**< will message text (used with WillTopic) */
    uint8_t WillQoS;       /**< 0..2, default 0 */
} GSM_MqttClientSimcom_Connect_Session;

/** Parameters of gsmMqttClientSimcomPublishEx. */
typedef struct GSM_MqttClientSimcom_Publish_Parameters
{
    char* Topic;            /**< 1..1024 characters */
    char* Message;          /**< message bytes (may contain any byte when MessageLength is given); 1..10240 */
    uint16_t MessageLength; /**< 0: Message is zero-terminated text (not empty) */
    uint8_t QoS;            /**< 0, 1 or 2 */
    bool Retain;            /**< retained message */
    uint8_t Timeout_s;      /**< publish time-out 1..180 s; 0: GSM_MQTTCLIENTSIMCOM_PUBLISH_TIMEOUT_S */
} GSM_MqttClientSimcom_Publish_Parameters;

typedef struct GSM_MqttClientSimcom_Instance GSM_MqttClientSimcom_Instance;

/** Instance. Zero-initialise, set the members marked "set", then call gsmMqttClientSimcomInit(). */
struct GSM_MqttClientSimcom_Instance
{
    /* ---- set by the application ---- */
    GSM_Power_Interface* Power;                             /**< set: &(mGsmPwrInst._i); NULL: not watched */
    GSM_Prompt_Interface* Prompt;                           /**< set: &(mGsmPromptInst._i) */
    GSM_NetworkRegistration_Interface* NetworkRegistration; /**< set: &(mGsmNetworkRegistrationInst._i); NULL: not checked */
    GSM_InternetConnection_Interface* InternetConnection;   /**< set: &(mGsmInternetConnectionSimcomInst._i); NULL: not checked */
    void (*EventHandler)(GSM_MqttClientSimcom_Instance* inst, GSM_MqttClientSimcom_EventType event_type, void* event_data);
    uint8_t* RxBuffer;     /**< optional receive buffer (see above) */
    uint16_t RxBufferSize; /**< its size in bytes */

    /* ---- private ---- (the members used most come first: shorter code on small cores) */
    uint8_t Flags;
    uint8_t State;     /* step now running */
    uint8_t Want;      /* requested operations, one bit per GSM_MqttClientSimcom_Operation */
    uint8_t RxState;
    uint8_t QoS;       /* bits 0-1 subscribe QoS, bits 2-3 publish QoS, bit 4 retain */
    uint8_t PubTimeout_s;
    uint16_t RxFill;   /* bytes in the receive buffer */
    uint16_t RxLeft;   /* bytes of the topic / payload still to come */
    uint16_t RxTotal;  /* length of the topic / payload being received */
    uint16_t RxPayloadTotal;
    uint16_t PubLen;
    uint8_t LostCause;
    uint8_t PowerStartCount;
    uint32_t Timer_ms; /* deadline of the awaited result line; its <err> once it arrived */
    GSM_MqttClientSimcom_Connect_Session* Session;
    const char* Data[4]; /* subscribe topic, unsubscribe topic (will topic while connecting),
                            publish topic (will message while connecting), publish message */
    GSM_Prompt_UrcSubscriber Urc;
    uint8_t Fallback[GSM_MQTTCLIENTSIMCOM_FALLBACK_SIZE];
};

/** Initialises the instance and subscribes to the MQTT URCs. Not interrupt safe. */
void gsmMqttClientSimcomInit(GSM_MqttClientSimcom_Instance* inst);

/** Advances the pending operations; calls the event handler. Returns at once. */
void gsmMqttClientSimcomPoll(GSM_MqttClientSimcom_Instance* inst);

/**
 * Fills a session with the defaults: no client id / server (set them), keep-alive 60 s, clean session,
 * no TLS, no user name, password or will. NULL is ignored.
 */
void gsmMqttClientSimcomInitConfigDefault(GSM_MqttClientSimcom_Connect_Session* connect_session);

/**
 * Connects to the broker. The session (and its strings) must stay valid until ConnectSuccess /
 * ErrorResponse / NoNetwork. The client asks for MQTT 3.1.1 (AT+CMQTTCFG="version"); a firmware without
 * that setting keeps its own protocol level, and a broker that refuses it answers with <err> 27.
 * The client id, server, user name and password go between the double quotes of AT+CMQTTACCQ and
 * AT+CMQTTCONNECT, where a '"' would end the parameter and a CR the command line (the rest would run as
 * a command of its own): a session with such a byte in one of them is refused.
 * @return true when accepted; false when not disconnected, or the session lacks client id / server,
 *         has a client id / server / user name / password that holds a '"' or a byte below 0x20 or whose
 *         length is outside the modem's range (client id 1..128, server 9..256, user name and password
 *         1..256 bytes), a password without a user name, a keep-alive outside 1..64800 s, or a QoS above 2.
 */
bool gsmMqttClientSimcomConnect(GSM_MqttClientSimcom_Instance* inst, GSM_MqttClientSimcom_Connect_Session* connect_session);

/**
 * Subscribes to a topic (wildcards allowed) with QoS 0..2.
 * @return true when accepted; false when not connected, a subscribe is pending, or the topic is NULL,
 *         empty or longer than 1024, or the QoS above 2.
 */
bool gsmMqttClientSimcomSubscribe(GSM_MqttClientSimcom_Instance* inst, char* subscribe_topic, uint8_t subscribe_QoS);

/** Publishes zero-terminated text with QoS 0, not retained. Returns as gsmMqttClientSimcomPublishEx. */
bool gsmMqttClientSimcomPublish(GSM_MqttClientSimcom_Instance* inst, char* publish_topic, char* publish_message);

/**
 * Publishes with the given QoS, retain flag and time-out. The parameter record is copied; the topic and
 * message must stay valid until PublishSuccess / ErrorResponse.
 * @return true when accepted; false when not connected, a publish is pending, or a parameter is invalid
 *         (NULL / empty topic, topic over 1024, message NULL, empty or over 10240 bytes - the modem takes
 *         payloads of 1..10240 -, QoS above 2).
 */
bool gsmMqttClientSimcomPublishEx(GSM_MqttClientSimcom_Instance* inst, GSM_MqttClientSimcom_Publish_Parameters* publish_parameters);

/** Unsubscribes from a topic. @return true when accepted (as Subscribe). */
bool gsmMqttClientSimcomUnsubscribe(GSM_MqttClientSimcom_Instance* inst, char* unsubscribe_topic);

/**
 * Disconnects, releases the client and stops the MQTT service; pending operations are dropped. When
 * the modem has taken the command of the running operation (AT+CMQTTCONNECT, AT+CMQTTPUB...), its
 * result is awaited first, without an event, so that the disconnect also closes a connection that a
 * connect makes late. The state is Disconnecting from this call until DisconnectSuccess, which also
 * follows when the modem refuses one of these steps (the next connect then clears what is left first).
 * @return true when accepted (connected or connecting); false when already disconnected / disconnecting.
 */
bool gsmMqttClientSimcomDisconnect(GSM_MqttClientSimcom_Instance* inst);

/*
 * The cancel functions: a new operation of the same kind may be requested at once. Once the command of
 * the cancelled operation that has a result line went out (AT+CMQTTPUB, AT+CMQTTSUB...), the modem may
 * complete it, even when its OK has not come yet; the client then waits for that result (or its
 * time-out) without an event before it starts the next operation, so the late result never passes for
 * the new operation's. A subscribe / unsubscribe whose "> " prompt comes after the cancel is ended
 * there without its data.
 */

/** Cancels the pending publish (no event follows for it). @return true when one was pending. */
bool gsmMqttClientSimcomCancelPublish(GSM_MqttClientSimcom_Instance* inst);

/** Cancels the pending subscribe (no event follows for it). @return true when one was pending. */
bool gsmMqttClientSimcomCancelSubscribe(GSM_MqttClientSimcom_Instance* inst);

/** Cancels the pending unsubscribe (no event follows for it). @return true when one was pending. */
bool gsmMqttClientSimcomCancelUnsubscribe(GSM_MqttClientSimcom_Instance* inst);

/** Present connection state (Disconnected for NULL). */
GSM_MQTT_ServerStatus gsmMqttClientServerConnectionState(GSM_MqttClientSimcom_Instance* inst);

#ifdef __cplusplus
}
#endif

#endif /* GSM_MQTTCLIENT_SIMCOM_H_ */
