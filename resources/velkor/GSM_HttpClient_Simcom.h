/*
 * GSM_HttpClient_Simcom.h - HTTP GET and POST through the SIMCom modems' own HTTP service, on 2G
 * (SIM800 class, bearer profile 1) and LTE (SIM7600 / A76xx) modems alike.
 *
 * A request runs as:
 *     AT+HTTPTERM                         (result ignored: clears a session left over from before)
 *     AT+HTTPINIT
 *     AT+HTTPPARA="CID",1                 (2G only)
 *     AT+HTTPSSL=<1 for https:// | 0>     (2G only)
 *     AT+CSSLCFG="enableSNI",0,1          (LTE, https:// only: the server name in the TLS handshake,
 *                                          which many servers need; an error answer is ignored)
 *     AT+HTTPPARA="URL","<url>"
 *     AT+HTTPPARA="CONTENT","<type>"      (POST)
 *     AT+HTTPDATA=<n>,<time> ... DOWNLOAD ... <n bytes> ... OK   (POST with a body)
 *     AT+HTTPACTION=<0 GET | 1 POST>      -> OK, later +HTTPACTION: <method>,<status>,<datalen>
 *     AT+HTTPREAD=<offset>,<size>         (repeated until the whole body is read)
 *     AT+HTTPTERM                         (unless HttpTermWhenDone(false))
 * The family (2G / LTE) comes from the internet connection the client is wired to; the two read forms
 * (2G: "+HTTPREAD: <n>" data "OK"; LTE: "OK" then "+HTTPREAD: [DATA,]<n>" blocks up to "+HTTPREAD: 0",
 * or ERROR / "+HTTPREAD: <err>" when the read fails) are both handled.
 *
 * Results. Every request ends with GSM_HttpClientSimcom_EventType_HttpResult events: the body is read
 * in windows no larger than the body buffer and every window is delivered as one event (Data /
 * DataLen / DataOffset); the event with Last == true ends the request (for an empty body it is the only
 * event, with DataLen 0). A request that ends with Success delivered the whole body: when the modem
 * runs out of body before the announced ContentLength the last event says BodyIncomplete instead.
 * Without an announced length (ContentLength 0: LTE modems report chunked answers so) the body is
 * read until a window comes back short or the modem refuses the next read (ERROR in place of OK),
 * which is how such a modem says that it holds no more.
 * Failures are results too: a modem status (600..799) in HttpStatus with Result ModemError, a refused
 * command or failed read, a time-out, a lost network or a modem restart - a request never hangs.
 *
 * Body buffer. Set BodyBuffer / BodyBufferSize in the manager's USER CODE Init section, e.g.
 *     static uint8_t httpBody[512];
 *     mGsmHttpClientSimcomInst.BodyBuffer = httpBody;
 *     mGsmHttpClientSimcomInst.BodyBufferSize = sizeof(httpBody);
 * Without one (NULL / 0) the client reads through a GSM_HTTPCLIENTSIMCOM_FALLBACK_SIZE byte buffer
 * inside the instance: correct, only slower for large bodies. Never more than the buffer size is copied.
 *
 * Strings passed to Get / Post / PostSetContentType are used while the request runs: they must stay
 * valid (unchanged) until the last event of the request. The URL and the content type go between the
 * double quotes of AT+HTTPPARA, where a '"' would end the parameter and a CR the command line (the rest
 * would run as a command of its own): a request whose URL or (POST) content type holds a '"' or any byte
 * below 0x20 is refused. All functions: main-loop context only, not
 * interrupt safe, return at once. The event handler is called from gsmHttpClientSimcomPoll().
 */
#ifndef GSM_HTTPCLIENT_SIMCOM_H_
#define GSM_HTTPCLIENT_SIMCOM_H_

#include "GSM_Globals.h"
#include "GSM_Power_Interface.h"
#include "GSM_Prompt_Interface.h"
#include "GSM_InternetConnection_Interface.h"

#ifdef __cplusplus
extern "C" {
#endif

/** Size of the internal body buffer used when the application supplies none. */
#ifndef GSM_HTTPCLIENTSIMCOM_FALLBACK_SIZE
#define GSM_HTTPCLIENTSIMCOM_FALLBACK_SIZE 16u
#endif
/** Largest read window. Kept below 600, the smallest modem error code: LTE-A modems end a failed read
 *  with "+HTTPREAD: <err>", which looks like a block header and is told apart by being larger than
 *  the window (with a larger setting such a failure may end by the read time-out instead). */
#ifndef GSM_HTTPCLIENTSIMCOM_MAX_READ
#define GSM_HTTPCLIENTSIMCOM_MAX_READ 512u
#endif
/** Default time from AT+HTTPACTION to its +HTTPACTION result. */
#ifndef GSM_HTTPCLIENTSIMCOM_ACTION_TIMEOUT_MS
#define GSM_HTTPCLIENTSIMCOM_ACTION_TIMEOUT_MS 150000u
#endif
/** Default time for one AT+HTTPREAD window (LTE modems may take up to 120 s to answer it). */
#ifndef GSM_HTTPCLIENTSIMCOM_READ_TIMEOUT_MS
#define GSM_HTTPCLIENTSIMCOM_READ_TIMEOUT_MS 130000u
#endif
/** Content type of POST requests when none is set. */
#ifndef GSM_HTTPCLIENTSIMCOM_DEFAULT_CONTENT_TYPE
#define GSM_HTTPCLIENTSIMCOM_DEFAULT_CONTENT_TYPE "text/plain"
#endif

/** Event types. */
typedef enum
{
    /** A result of the request (one per body window; Last marks the end).
     *  event_data: GSM_HttpClientSimcom_Event_HttpResult* */
    GSM_HttpClientSimcom_EventType_HttpResult = 0
} GSM_HttpClientSimcom_EventType;

/** How a request ended (GSM_HttpClientSimcom_Event_HttpResult.Result). */
typedef enum
{
    GSM_HttpClientSimcom_Result_Success = 0,  /**< the server answered; its status is in HttpStatus (200, 404...) */
    GSM_HttpClientSimcom_Result_ModemError,   /**< the modem reported a failure status (600..799) in HttpStatus */
    GSM_HttpClientSimcom_Result_CommandError, /**< the modem refused a command (ERROR / +CME ERROR) or failed a read */
    GSM_HttpClientSimcom_Result_Timeout,      /**< no result or no body within the time-outs */
    GSM_HttpClientSimcom_Result_NoNetwork,    /**< the modem reported the network lost (+HTTP_NONET_EVENT) */
    GSM_HttpClientSimcom_Result_ModemRestart, /**< the modem was switched off or restarted meanwhile */
    GSM_HttpClientSimcom_Result_BodyIncomplete /**< the modem had less body than it announced (ContentLength): the
                                                    events before carried what it had; HttpStatus is the server's */
} GSM_HttpClientSimcom_Result;

/** Data of GSM_HttpClientSimcom_EventType_HttpResult (valid only during the event call). */
typedef struct GSM_HttpClientSimcom_Event_HttpResult
{
    uint8_t Result;         /**< GSM_HttpClientSimcom_Result */
    bool Last;              /**< true on the last event of the request */
    uint16_t HttpStatus;    /**< server status, a modem status (600..799), or 0 when no status arrived */
    uint32_t ContentLength; /**< body length announced by the modem; 0 when empty or not announced (chunked) */
    uint32_t DataOffset;    /**< position of Data in the body */
    const uint8_t* Data;    /**< this window of the body (in the body buffer); NULL when DataLen is 0 */
    uint16_t DataLen;       /**< bytes in Data (never more than the body buffer size) */
} GSM_HttpClientSimcom_Event_HttpResult;

typedef struct GSM_HttpClientSimcom_Instance GSM_HttpClientSimcom_Instance;

/** Instance. Zero-initialise, set the members marked "set", then call gsmHttpClientSimcomInit(). */
struct GSM_HttpClientSimcom_Instance
{
    /* ---- set by the application ---- */
    GSM_Power_Interface* Power;                            /**< set: &(mGsmPwrInst._i); NULL: not watched */
    GSM_Prompt_Interface* Prompt;                          /**< set: &(mGsmPromptInst._i) */
    GSM_InternetConnection_Interface* InternetConnection;  /**< set: the connection's &(..._i) (LTE or 2G) */
    void (*EventHandler)(GSM_HttpClientSimcom_Instance* inst, GSM_HttpClientSimcom_EventType event_type, void* event_data);
    uint8_t* BodyBuffer;     /**< optional body buffer (see above); may be set after Init, not during a request */
    uint16_t BodyBufferSize; /**< its size in bytes */

    /* ---- private ---- */
    uint8_t State;
    uint8_t Flags;
    uint8_t Flags2;
    uint8_t PowerStartCount;
    uint16_t Status; /* HTTP status of the request; 0 until +HTTPACTION: arrived */
    uint16_t Want;   /* size of the present read window; before the first window: the POST body length */
    uint16_t Got;    /* bytes received in the present window; before the first window: the length of Buf.Upload */
    const char* Url;
    const char* PostData; /* NULL for GET */
    const char* ContentType;
    uint32_t Timer_ms;
    uint32_t ContentLength;
    uint32_t Offset; /* body bytes delivered so far */
    uint32_t ActionTimeout_ms;
    uint32_t ReadTimeout_ms;
    GSM_Prompt_UrcSubscriber Urc;
    union
    {
        uint8_t Fallback[GSM_HTTPCLIENTSIMCOM_FALLBACK_SIZE]; /* body buffer when none is set (reads) */
        const char* Upload; /* from AT+HTTPDATA to its result: the body written after DOWNLOAD (no read runs) */
    } Buf;
};

/** Initialises the instance (defaults: terminate after each request, default time-outs). */
void gsmHttpClientSimcomInit(GSM_HttpClientSimcom_Instance* inst);

/** Advances the request; calls the event handler. Returns at once. */
void gsmHttpClientSimcomPoll(GSM_HttpClientSimcom_Instance* inst);

/**
 * Starts a GET request.
 * @param url "http://host[:port]/path"; "https://" selects TLS (2G: AT+HTTPSSL=1, which needs a firmware
 *            with SSL; without it the request ends with CommandError; LTE: the server name is sent in
 *            the handshake, SSL context 0); must stay valid until the last event
 * @return true when accepted; false when a request is pending, the internet connection is not up, an
 *         argument is NULL / empty or the URL holds a '"' or a byte below 0x20.
 */
bool gsmHttpClientSimcomGet(GSM_HttpClientSimcom_Instance* inst, char* url);

/**
 * Starts a POST request with `postData` as the body (zero-terminated text, at most 65535 bytes; an
 * empty text posts an empty body). Both strings must stay valid until the last event. A POST that
 * ends once AT+HTTPDATA has been sent (cancelled, or NoNetwork) still has its body written to the end,
 * since the modem takes the announced count of bytes whatever follows: the body text is read for that
 * long after the end, about its transfer time. The modem is given time for the body at the UART at
 * about 1 ms a byte (9600 baud) and 10 s more.
 * @return as gsmHttpClientSimcomGet; also false for a body longer than 65535 bytes, and when the content
 *         type set holds a '"' or a byte below 0x20.
 */
bool gsmHttpClientSimcomPost(GSM_HttpClientSimcom_Instance* inst, char* url, char* postData);

/** Content type of the following POST requests; NULL selects GSM_HTTPCLIENTSIMCOM_DEFAULT_CONTENT_TYPE. A
 *  content type with a '"' or a byte below 0x20 makes them fail (gsmHttpClientSimcomPost returns false). */
void gsmHttpClientSimcomPostSetContentType(GSM_HttpClientSimcom_Instance* inst, char* contentTypeOrNullForDefault);

/** True from an accepted Get / Post until its last event has been delivered. */
bool gsmHttpClientSimcomHttpOperationPending(GSM_HttpClientSimcom_Instance* inst);

/** True while the request is running on the modem: from the accepted AT+HTTPACTION to the last event. */
bool gsmHttpClientSimcomHttpOperationStarted(GSM_HttpClientSimcom_Instance* inst);

/**
 * Cancels the pending request: no further event of it is delivered and the modem's HTTP session is
 * terminated before the next request. A POST cancelled once AT+HTTPDATA has been sent still has its
 * body written to the end (the modem takes the announced count of bytes, whatever follows, so the body
 * cannot be cut short): the body text is read for that long, about its transfer time. A request
 * accepted meanwhile starts after that.
 * @return true when a request was pending.
 */
bool gsmHttpClientSimcomCancel(GSM_HttpClientSimcom_Instance* inst);

/**
 * true (default): AT+HTTPTERM after every request. false: the HTTP service stays initialised and the
 * next request skips AT+HTTPTERM / AT+HTTPINIT; a POST with an empty body still starts a new session,
 * as the modem would post the body the session holds from an earlier POST.
 */
void gsmHttpClientSimcomHttpTermWhenDone(GSM_HttpClientSimcom_Instance* inst, bool termWhenDone);

/**
 * Time-outs of the following requests; 0 keeps the default.
 * @param httpActionTimeout_ms from AT+HTTPACTION to its result
 * @param httpReadTimeout_ms   for each AT+HTTPREAD window
 */
void gsmHttpClientSimcomSetTimeouts(GSM_HttpClientSimcom_Instance* inst, uint32_t httpActionTimeout_ms, uint32_t httpReadTimeout_ms);

#ifdef __cplusplus
}
#endif

#endif /* GSM_HTTPCLIENT_SIMCOM_H_ */
