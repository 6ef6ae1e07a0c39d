/*
 * GSM_USSD.h - USSD requests and sessions ("*100#" balance queries, operator menus).
 *
 * gsmUssdSend() takes a copy of the code and returns at once; gsmUssdPoll() waits until the modem
 * is registered (Network Registration interface), sends "AT+CUSD=1,\"<code>\",15" and raises
 * GSM_USSD_EventType_UssdSent when the modem accepted it. The network's answer, the URC
 * "+CUSD: <m>[,\"<str>\",<dcs>]", is reported as GSM_USSD_EventType_UssdResponse. Its quoted text may
 * span several lines: from the first line end on it is read raw up to the closing quote (empty
 * lines and lines such as "OK", "ERROR" or "+CMTI: ..." inside it are text; line breaks become LF). An answer with Status GSM_USSD_Status_ActionRequired (a menu)
 * leaves the session open: reply with gsmUssdSend() (e.g. "1"), or end it with gsmUssdCancelSession().
 * So does a request refused with "+CME ERROR: 3" (operation not allowed: the modem holds a session,
 * for instance one left from before a restart of the application, or a menu that refused a new code),
 * and a reply to a menu that the modem refused with another error (the menu is still there).
 *
 * Rule of the events: every accepted gsmUssdSend() ends with exactly one UssdResponse or
 * UssdCancelled event.
 * - UssdResponse: the answer to the request, or why there is none (Status: error answer, no answer
 *   within GSM_USSD_RESPONSE_TIMEOUT_MS - the session is then closed with "AT+CUSD=2" -, not
 *   registered, modem restarted).
 * - UssdCancelled: the session ended without an answer to the request: gsmUssdCancelSession()
 *   ("AT+CUSD=2"; Status Cancelled), the network ended it ("+CUSD: 2"; Status TerminatedByNetwork,
 *   possibly with a text), or the modem restarted while a menu was open (Status CommsLost).
 * A "+CUSD:" that arrives while no request runs (network-initiated) is reported the same way.
 *
 * Events are raised from gsmUssdPoll(); event data is valid only during the call. The handler may
 * call gsmUssdSend() and gsmUssdCancelSession(). Nothing here is interrupt safe.
 */
#ifndef GSM_USSD_H_
#define GSM_USSD_H_

#include "GSM_Globals.h"
#include "GSM_Power_Interface.h"
#include "GSM_Prompt_Interface.h"
#include "GSM_Prompt_Helper.h"
#include "GSM_Util.h"
#include "GSM_NetworkRegistration_Interface.h"

#ifdef __cplusplus
extern "C" {
#endif

/** Longest code / menu reply + 1 (terminator); the code is copied into the instance. */
#ifndef GSM_USSD_PAYLOAD_SIZE
#define GSM_USSD_PAYLOAD_SIZE 32u
#endif
/** Answer text buffer (terminator included); USSD texts have up to 182 characters. */
#ifndef GSM_USSD_RESPONSE_SIZE
#define GSM_USSD_RESPONSE_SIZE 184u
#endif
/** Time for the "+CUSD:" answer after the modem accepted the request (doubled on LTE modems). */
#ifndef GSM_USSD_RESPONSE_TIMEOUT_MS
#define GSM_USSD_RESPONSE_TIMEOUT_MS 30000UL
#endif
/** How long a request waits for the network registration before it fails. */
#ifndef GSM_USSD_REGISTRATION_TIMEOUT_MS
#define GSM_USSD_REGISTRATION_TIMEOUT_MS 120000UL
#endif
/** Longest time from the first line of a multi-line "+CUSD:" text to its closing quote. */
#ifndef GSM_USSD_CONTINUATION_MS
#define GSM_USSD_CONTINUATION_MS 2000u
#endif

/** Events. The payload type of event_data is given next to each value. */
typedef enum
{
    GSM_USSD_EventType_UssdSent = 0,  /**< NULL: the modem accepted the request; the answer follows */
    GSM_USSD_EventType_UssdResponse,  /**< GSM_USSD_Event_UssdResponse*: the answer, or why there is none */
    GSM_USSD_EventType_UssdCancelled  /**< GSM_USSD_Event_UssdResponse*: the session ended (Status says why) */
} GSM_USSD_EventType;

/** Outcome carried by GSM_USSD_Event_UssdResponse. Values 0..5 are the network's <m>. */
typedef enum
{
    GSM_USSD_Status_Final = 0,               /**< m=0: the answer; the session is closed */
    GSM_USSD_Status_ActionRequired = 1,      /**< m=1: a menu; reply with gsmUssdSend() */
    GSM_USSD_Status_TerminatedByNetwork = 2, /**< m=2: the network ended the session */
    GSM_USSD_Status_OtherClient = 3,         /**< m=3: another local client answered */
    GSM_USSD_Status_NotSupported = 4,        /**< m=4: operation not supported */
    GSM_USSD_Status_NetworkTimeout = 5,      /**< m=5: the network timed out */
    GSM_USSD_Status_Invalid,                 /**< another <m> or a malformed "+CUSD:" line */
    GSM_USSD_Status_Cancelled,               /**< gsmUssdCancelSession() */
    GSM_USSD_Status_ErrorResponse,           /**< the modem refused the request (ErrorCode, e.g. +CME ERROR 30; 3: a session is open and stays so,
                                                  as does a menu the request replied to) */
    GSM_USSD_Status_NoResponse,              /**< no answer in time (the session was closed) */
    GSM_USSD_Status_NotRegistered,           /**< no network registration within the waiting time */
    GSM_USSD_Status_CommsLost                /**< the modem restarted or was switched off */
} GSM_USSD_Status;

/** Payload of GSM_USSD_EventType_UssdResponse and GSM_USSD_EventType_UssdCancelled. */
typedef struct GSM_USSD_Event_UssdResponse
{
    GSM_USSD_Status Status;
    const char* Text;    /**< zero-terminated answer text ("" when none); lines separated by LF */
    uint16_t TextLength; /**< characters in Text */
    uint8_t Dcs;         /**< <dcs>: 15 or 0 text, 72 UCS2 (Text is then hex); 0xFF when absent */
    bool Truncated;      /**< the text was longer than GSM_USSD_RESPONSE_SIZE - 1 (or did not end) and was cut */
    int16_t ErrorCode;   /**< +CME ERROR / +CMS ERROR number for ErrorResponse, else -1 */
} GSM_USSD_Event_UssdResponse;

typedef struct GSM_USSD_Instance GSM_USSD_Instance;

/** Event handler shape. */
typedef void (*GSM_USSD_EventHandler)(GSM_USSD_Instance* inst, GSM_USSD_EventType event_type, void* event_data);

/** Private: progress of reading the text of a "+CUSD:" answer. */
typedef struct GSM_USSD_TextState
{
    GSM_Util_Text Str; /* characters in the text buffer; position in the line and flags (US_... in GSM_USSD.c) */
    uint8_t Dcs;       /* <dcs> after the closing quote, 0xFF when absent */
    uint8_t M;         /* the answer's status: <m> 0..5, else Invalid */
} GSM_USSD_TextState;

/** USSD instance. Zero-initialise, set the members marked "set", then gsmUssdInit(). */
struct GSM_USSD_Instance
{
    /* ---- set by the application before gsmUssdInit ---- */
    GSM_Power_Interface* Power;                             /**< &(mGsmPwrInst._i) (kept for source compatibility: a restart or
                                                                 switch-off is seen through the registration, which forgets its states) */
    GSM_Prompt_Interface* Prompt;                           /**< &(mGsmPromptInst._i) */
    GSM_NetworkRegistration_Interface* NetworkRegistration; /**< &(mGsmNetworkRegistrationInst._i) */
    GSM_USSD_EventHandler EventHandler;                     /**< may be NULL (no events) */

    /* ---- private (the byte fields first: the short offsets give smaller code on small cores) ---- */
    uint8_t Step;                 /* US_STEP_... */
    uint8_t Open;                 /* 1: the request replies to an open menu (kept open if it is refused) */
    GSM_USSD_TextState Text;      /* the answer being read into Response */
    uint32_t ContStart_ms;        /* time the answer line began (a word fills the place up to Timer_ms) */
    uint32_t Timer_ms;            /* deadline of the present wait */
    GSM_Prompt_UrcSubscriber Urc; /* "+CUSD:" (the rest of a multi-line text comes as raw bytes) */
    char Payload[GSM_USSD_PAYLOAD_SIZE];  /* the code or menu reply of the request */
    char Response[GSM_USSD_RESPONSE_SIZE];
};

/** Initialises the instance and subscribes to "+CUSD:". Not interrupt safe. */
void gsmUssdInit(GSM_USSD_Instance* inst);

/** Advances the request / session; raises the events. Returns at once. Not interrupt safe. */
void gsmUssdPoll(GSM_USSD_Instance* inst);

/**
 * Sends a USSD code (e.g. "*100#") or, while a menu is open, the reply (e.g. "1").
 * @param ussd_payload printable ASCII without '"', 1..GSM_USSD_PAYLOAD_SIZE-1 characters (copied)
 * @return true: accepted, UssdSent (unless refused) and then one UssdResponse / UssdCancelled follow.
 *         false: no event follows (NULL argument, invalid or too long payload, a request is running).
 */
bool gsmUssdSend(GSM_USSD_Instance* inst, char* ussd_payload);

/**
 * Ends the session: a request still waiting for registration is dropped; otherwise "AT+CUSD=2" is
 * sent. UssdCancelled (Status Cancelled) follows.
 * @return true when there was a request or open session to cancel (or a cancel already runs);
 *         false when idle or inst is NULL.
 */
bool gsmUssdCancelSession(GSM_USSD_Instance* inst);

/** True while a request runs or a menu session is open. */
bool gsmUssdBusy(GSM_USSD_Instance* inst);

/**
 * Decodes a complete single-line "+CUSD: <m>[,\"<str>\",<dcs>]" line (used by the fuzz tests; the
 * module itself also joins multi-line texts).
 * @param text receives the zero-terminated text, cut to text_size - 1 (*truncated set then)
 * @param m receives <m> (0xFF when missing); @param dcs receives <dcs> (0xFF when absent)
 * @return false when the line does not start with "+CUSD:" or has no valid <m>.
 */
bool gsmUssdDecodeCusd(const char* line, uint16_t len, uint8_t* m, char* text, uint16_t text_size, uint16_t* text_len,
                       uint8_t* dcs, bool* truncated);

#ifdef __cplusplus
}
#endif

#endif /* GSM_USSD_H_ */
