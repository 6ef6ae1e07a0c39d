/*
 * GSM_SMS_Send.h - sending text messages (SMS, text mode) and their delivery status reports.
 *
 * gsmSmsSend() takes a copy of the number and the text and returns at once; gsmSmsSendPoll() then
 * waits until the modem is registered for SMS (Network Registration interface), sets text mode up
 * ("AT+CMGF=1", "AT+CSCS=\"IRA\"", "AT+CSMP=...", "AT+CNMI=2,1,0,1,0", before every message),
 * sends "AT+CMGS=\"<number>\"", writes the text after the "> " prompt and ends it with Ctrl-Z.
 * Exactly one event follows every accepted send: GSM_SmsSend_EventType_SendSuccess with the message
 * reference of "+CMGS: <mr>", or GSM_SmsSend_EventType_SendFailed with the reason.
 *
 * With delivery reports enabled (the default, see gsmSmsSendSetDeliveryReports) every message asks
 * the network for a status report ("AT+CSMP=49,..."); the "+CDS:" line that later reports the fate
 * of a message raises GSM_SmsSend_EventType_DeliveryStatusReport, matched to the sent message by its
 * message reference. gsmSmsSendGetDeliveryStatusReportType() classifies the report.
 *
 * Text rules (one SMS in the GSM 7-bit alphabet, no silent truncation): at most 160 characters, where
 * the characters ^ { } \ [ ] ~ | count twice (they use the alphabet's escape table); printable ASCII
 * except the back-tick, and line breaks. A CR or CR LF line break is sent as LF (a CR would make the
 * modem print a new prompt). Other bytes (control characters such as Ctrl-Z / ESC, bytes >= 0x80
 * such as UTF-8 sequences) are not in the modem's text character set: gsmSmsSend() refuses the text.
 *
 * Events are raised from gsmSmsSendPoll(), except DeliveryStatusReport, which is raised while the
 * Prompt module processes the "+CDS:" line (inside gsmPromptPoll). Event data is valid only during
 * the call. The event handler may call gsmSmsSend() and gsmSmsSendCancel().
 * Nothing here is interrupt safe: call every function from the main loop.
 */
#ifndef GSM_SMS_SEND_H_
#define GSM_SMS_SEND_H_

#include "GSM_Globals.h"
#include "GSM_Power_Interface.h"
#include "GSM_Prompt_Interface.h"
#include "GSM_Prompt_Helper.h"
#include "GSM_BasicComms_Interface.h"
#include "GSM_NetworkRegistration_Interface.h"

#ifdef __cplusplus
extern "C" {
#endif

/** Longest phone number + 1 (terminator). A number is an optional '+' and up to 20 digits. */
#ifndef GSM_SMSSEND_NUMBER_SIZE
#define GSM_SMSSEND_NUMBER_SIZE 22u
#endif
/** Longest text in bytes + 1; the text is copied into the instance (without terminator, so its text
 *  buffer is one byte shorter). */
#ifndef GSM_SMSSEND_TEXT_SIZE
#define GSM_SMSSEND_TEXT_SIZE 161u
#endif
/** Capacity of one message in GSM 7-bit characters (escape-table characters count twice). */
#define GSM_SMSSEND_MAX_SEPTETS 160u
/** How long a send waits for communication and SMS registration before it fails. */
#ifndef GSM_SMSSEND_REGISTRATION_TIMEOUT_MS
#define GSM_SMSSEND_REGISTRATION_TIMEOUT_MS 120000UL
#endif
/** Time for the "> " prompt after "AT+CMGS" (then ESC is sent and the send fails); also the time for
 *  the answer of each set-up command. */
#ifndef GSM_SMSSEND_PROMPT_TIMEOUT_MS
#define GSM_SMSSEND_PROMPT_TIMEOUT_MS 5000u
#endif
/** Time for "+CMGS: <mr>" / the error after Ctrl-Z. */
#ifndef GSM_SMSSEND_RESULT_TIMEOUT_MS
#define GSM_SMSSEND_RESULT_TIMEOUT_MS 60000UL
#endif
/** Number of sent messages whose delivery report is awaited at the same time (oldest is forgotten). */
#ifndef GSM_SMSSEND_REPORT_SLOTS
#define GSM_SMSSEND_REPORT_SLOTS 4u
#endif
/** Delivery reports requested by default after gsmSmsSendInit (1) or not (0). */
#ifndef GSM_SMSSEND_DELIVERY_REPORTS_DEFAULT
#define GSM_SMSSEND_DELIVERY_REPORTS_DEFAULT 1
#endif

/** Events. The payload type of event_data is given next to each value. */
typedef enum
{
    GSM_SmsSend_EventType_SendSuccess = 0,    /**< GSM_SmsSend_Event_SendSuccess*: the network took the message */
    GSM_SmsSend_EventType_SendFailed,         /**< GSM_SmsSend_Event_SendFailed*: the message was not sent (reason inside) */
    GSM_SmsSend_EventType_DeliveryStatusReport /**< GSM_SmsSend_Event_DeliveryStatusReport*: a "+CDS:" report */
} GSM_SmsSend_EventType;

/** Payload of GSM_SmsSend_EventType_SendSuccess. */
typedef struct GSM_SmsSend_Event_SendSuccess
{
    uint8_t MessageReference; /**< <mr> of "+CMGS: <mr>" (0..255); the delivery report carries the same value */
} GSM_SmsSend_Event_SendSuccess;

/** Why a send failed. */
typedef enum
{
    GSM_SmsSend_FailReason_ErrorResponse = 0, /**< the modem answered the text with ERROR / +CMS ERROR / +CME ERROR, or
                                                   the set-up or AT+CMGS with a +CMS ERROR other than 302 (ErrorCode) */
    GSM_SmsSend_FailReason_NotRegistered,     /**< no communication, SMS registration or accepted set-up within the waiting time
                                                   (refusals before "SMS Ready", such as +CMS ERROR: 302, are tried again about
                                                   once a second): nothing was sent */
    GSM_SmsSend_FailReason_NoPrompt,          /**< the "> " prompt did not come (ESC was sent) */
    GSM_SmsSend_FailReason_NoResult,          /**< no result after the text: the message may or may not have gone */
    GSM_SmsSend_FailReason_CommsLost,         /**< the modem restarted or stopped answering during the send */
    GSM_SmsSend_FailReason_Cancelled          /**< gsmSmsSendCancel() */
} GSM_SmsSend_FailReason;

/** Payload of GSM_SmsSend_EventType_SendFailed. */
typedef struct GSM_SmsSend_Event_SendFailed
{
    GSM_SmsSend_FailReason Reason;
    int16_t ErrorCode; /**< number of "+CMS ERROR: <n>" / "+CME ERROR: <n>" (e.g. 330, 331, 332), else -1 */
} GSM_SmsSend_Event_SendFailed;

/** Payload of GSM_SmsSend_EventType_DeliveryStatusReport ("+CDS: <fo>,<mr>,<ra>,<tora>,<scts>,<dt>,<st>"). */
typedef struct GSM_SmsSend_Event_DeliveryStatusReport
{
    uint8_t MessageReference; /**< <mr>: equals the MessageReference of the SendSuccess event */
    uint8_t Status;           /**< <st> TP-Status; classify with gsmSmsSendGetDeliveryStatusReportType() */
    bool Matched;             /**< true: <mr> belongs to a message this instance sent and still awaits a final report */
    const char* Recipient;    /**< <ra> recipient number, zero-terminated ("" when absent or too long) */
    uint32_t DischargeTime;   /**< <dt> as seconds since 1970 UTC, 0 when absent or not parseable */
} GSM_SmsSend_Event_DeliveryStatusReport;

/** Classes of the TP-Status of a delivery report. */
typedef enum
{
    GSM_SmsSend_DeliveryStatusReportType_Delivered = 0, /**< 0..31: delivered (0), forwarded (1), replaced (2) - final */
    GSM_SmsSend_DeliveryStatusReportType_Pending,       /**< 32..63: temporary error, the centre still tries - not final */
    GSM_SmsSend_DeliveryStatusReportType_Failed,        /**< 64..127: permanent error or the centre gave up - final */
    GSM_SmsSend_DeliveryStatusReportType_Unknown        /**< 128..255 (reserved) or no report given */
} GSM_SmsSend_DeliveryStatusReportType;

typedef struct GSM_SmsSend_Instance GSM_SmsSend_Instance;

/** Event handler shape. */
typedef void (*GSM_SmsSend_EventHandler)(GSM_SmsSend_Instance* inst, GSM_SmsSend_EventType event_type, void* event_data);

/** SMS Send instance. Zero-initialise, set the members marked "set", then gsmSmsSendInit(). */
struct GSM_SmsSend_Instance
{
    /* ---- set by the application before gsmSmsSendInit ---- */
    GSM_Power_Interface* Power;                           /**< &(mGsmPwrInst._i) */
    GSM_Prompt_Interface* Prompt;                         /**< &(mGsmPromptInst._i) */
    GSM_BasicComms_Interface* BasicComms;                 /**< &(mGsmBasicCommsInst._i) */
    GSM_NetworkRegistration_Interface* NetworkRegistration; /**< &(mGsmNetworkRegistrationInst._i) */
    GSM_SmsSend_EventHandler EventHandler;                /**< may be NULL (no events) */

    /* ---- private (short offsets for the byte fields, which give smaller code on small cores, Flags
     * first so that gsmSmsSendInit sets the first four with one small constant; the texts before the
     * Urc so that no padding is needed) ---- */
    uint32_t Deadline_ms;                       /* end of the registration wait */
    uint8_t Flags;                              /* SS_F_... */
    uint8_t Step;                               /* SS_STEP_... */
    uint8_t MsgRef;                             /* <mr> of "+CMGS:" */
    uint8_t ReportUsed;                         /* bit i: ReportRef[i] awaits its report */
    uint8_t TextLen;                            /* bytes in Text */
    uint8_t ReportRef[GSM_SMSSEND_REPORT_SLOTS]; /* <mr> of sent messages, the newest first */
    char Number[GSM_SMSSEND_NUMBER_SIZE];
    char Text[GSM_SMSSEND_TEXT_SIZE - 1u];      /* the text as it is sent (no terminator) */
    GSM_Prompt_UrcSubscriber Urc;               /* "+CDS:" delivery reports and the "+CMGS:" answer */
};

/** Initialises the instance and subscribes to "+CDS:" reports (and the "+CMGS:" answer). Not interrupt
 *  safe. */
void gsmSmsSendInit(GSM_SmsSend_Instance* inst);

/** Advances a running send; SendSuccess / SendFailed are raised from here. Returns at once. */
void gsmSmsSendPoll(GSM_SmsSend_Instance* inst);

/**
 * Starts sending a text message. The number and the text are copied (the caller's buffers may be
 * reused at once).
 * @param phoneNumber destination, "+" and up to 20 digits or up to 20 digits (e.g. "+491701234567")
 * @param textBody    the text (rules in the file comment), zero-terminated; "" sends an empty message
 * @return true: accepted, exactly one SendSuccess or SendFailed event follows.
 *         false: no event follows, because inst, its Prompt, phoneNumber or textBody is NULL, a send
 *         is still running, the number is not valid, the text does not fit into one message or holds
 *         a character outside the modem's text character set.
 */
bool gsmSmsSend(GSM_SmsSend_Instance* inst, char* phoneNumber, char* textBody);

/**
 * Cancels the running send. Before the text has been handed to the modem the send ends with
 * SendFailed / GSM_SmsSend_FailReason_Cancelled (when the "> " prompt is already open, ESC is sent
 * to the modem). Once the text and Ctrl-Z are on their way the message can no longer be stopped:
 * the call then has no effect and the send's result follows as usual. No effect when idle.
 */
void gsmSmsSendCancel(GSM_SmsSend_Instance* inst);

/** True while a send is running (between an accepted gsmSmsSend and its event). */
bool gsmSmsSendBusy(GSM_SmsSend_Instance* inst);

/**
 * Requests (true) or stops requesting (false) delivery status reports for the following messages.
 * Takes effect with the next gsmSmsSend(). Default: GSM_SMSSEND_DELIVERY_REPORTS_DEFAULT.
 */
void gsmSmsSendSetDeliveryReports(GSM_SmsSend_Instance* inst, bool enable);

/**
 * Classifies the TP-Status of a delivery report (3GPP TS 23.040).
 * @param report the payload of GSM_SmsSend_EventType_DeliveryStatusReport (NULL: Unknown)
 * Pure function; may be called from an interrupt.
 */
GSM_SmsSend_DeliveryStatusReportType gsmSmsSendGetDeliveryStatusReportType(const GSM_SmsSend_Event_DeliveryStatusReport* report);

/**
 * Decodes a "+CDS:" line (text mode) into a report. The recipient is copied into recipient_buf.
 * @return false when the line is not a well-formed report (<mr> and <st> must be numbers 0..255).
 * Pure function; may be called from an interrupt.
 */
bool gsmSmsSendDecodeCds(const char* line, uint16_t len, GSM_SmsSend_Event_DeliveryStatusReport* report,
                         char* recipient_buf, uint16_t recipient_size);

#ifdef __cplusplus
}
#endif

#endif /* GSM_SMS_SEND_H_ */
