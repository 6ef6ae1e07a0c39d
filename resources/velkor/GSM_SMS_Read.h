/*
 * GSM_SMS_Read.h - receiving text messages (SMS, text mode).
 *
 * In every Basic Comms session the module sets text mode up ("AT+CMGF=1", "AT+CSCS=\"IRA\"",
 * "AT+CSDH=1": the read header carries the body length, "AT+CNMI=2,1,0,1,0": new messages are
 * stored and announced with "+CMTI: <mem>,<index>") and selects the SIM store for reading, writing
 * and receiving ("AT+CPMS=\"SM\",\"SM\",\"SM\""). Then, again after every "+CMTI:"
 * announcement, and 32.8 s after the last walk without one, it walks the store: the answer of the store selection (or of "AT+CPMS?" on a module
 * that refuses the selection) gives the number of stored messages, and the indices are read from 0
 * on until that many were seen. So messages that were stored while the application was not
 * running, and messages whose announcement was lost, are read as well (also when the store filled up
 * meanwhile, after which the network announces nothing more).
 *
 * Each received message is read with "AT+CMGR=<index>" and reported as
 * GSM_SmsRead_EventType_ReadSuccess (sender, time stamp, text), then deleted with "AT+CMGD=<index>"
 * so that the store never fills up (a full store makes the network hold new messages back). When
 * a restart or hang of the modem leaves that delete unconfirmed, the next session reads the index
 * first: a message there that is marked read ("REC READ": the one reported) is deleted without a
 * second event, an unread one (stored there since) is reported.
 * Stored outgoing messages ("STO UNSENT" / "STO SENT") are neither reported nor deleted. A message
 * whose header line could not be received (the Prompt's line buffer is too small for it) or read is
 * left in the store without an event: only a reported message is deleted. A read that fails is tried
 * GSM_SMSREAD_ATTEMPTS times in all; a message given up is tried again by the next walk.
 *
 * The text is the message body as the modem prints it in ASCII (the module selects the "IRA" character
 * set, so '@', '$', '_' and "[]{}~^|\\" arrive as written; letters of the GSM alphabet that ASCII
 * lacks arrive as the modem replaces them; a message sent in UCS2, one with an emoji or non-Latin
 * letters, is not decoded: the text is what the modem prints for it, on many firmwares the
 * hexadecimal digits of its UTF-16 text); line breaks inside
 * the body are returned as LF. A body longer than the text buffer is cut at the buffer size and the
 * event says so (Truncated). The body length of the header (AT+CSDH=1) makes the body a counted
 * payload: its bytes are taken raw, so body lines that look like result codes or URCs ("OK",
 * "ERROR", "+CMTI: ...") and empty lines are kept as text; CR LF, CR and LF inside the body all
 * become LF. Without the length (a modem that refuses AT+CSDH=1) the body is read line by line
 * and such lines can end or leave it, or reach other modules as if the modem had sent them. Note:
 * the Prompt module's line buffer (DataBuffer) must hold the longest "+CMGR:" header line: 128
 * bytes or more. With AT+CSDH=1 a header is about 95 characters, and up to about 120 with a sender
 * name from the phone book; a message whose header does not fit stays in the store unreported.
 *
 * Events are raised from gsmSmsReadPoll(); event data is valid only during the call.
 * Nothing here is interrupt safe: call every function from the main loop.
 */
#ifndef GSM_SMS_READ_H_
#define GSM_SMS_READ_H_

#include "GSM_Globals.h"
#include "GSM_Power_Interface.h"
#include "GSM_Prompt_Interface.h"
#include "GSM_Prompt_Helper.h"
#include "GSM_Util.h"
#include "GSM_BasicComms_Interface.h"

#ifdef __cplusplus
extern "C" {
#endif

/** Sender buffer size (terminator included; a number is at most '+' and 20 digits, an alphanumeric
 *  sender at most 11 characters); a longer sender is cut (Truncated). */
#ifndef GSM_SMSREAD_SENDER_SIZE
#define GSM_SMSREAD_SENDER_SIZE 23u
#endif
/** Time stamp buffer size: "yy/MM/dd,hh:mm:ss+zz" is 20 characters. */
#ifndef GSM_SMSREAD_TIMESTAMP_SIZE
#define GSM_SMSREAD_TIMESTAMP_SIZE 21u
#endif
/** Text buffer size (terminator included); at least 12 (it also holds the read / delete command). */
#ifndef GSM_SMSREAD_TEXT_SIZE
#define GSM_SMSREAD_TEXT_SIZE 161u
#endif
/** Longest body length accepted from a header (a larger one is taken as malformed: line mode). */
#ifndef GSM_SMSREAD_MAX_BODY
#define GSM_SMSREAD_MAX_BODY 1024u
#endif
/** Kept for source compatibility and not used: every "+CMTI:" makes the module walk the store, so
 *  announcements are not queued. */
#ifndef GSM_SMSREAD_QUEUE_SIZE
#define GSM_SMSREAD_QUEUE_SIZE 4u
#endif
/** Attempts to read or delete one message before it is given up. */
#ifndef GSM_SMSREAD_ATTEMPTS
#define GSM_SMSREAD_ATTEMPTS 3u
#endif
/** Pause before a failed set-up, read or delete is tried again. */
#ifndef GSM_SMSREAD_RETRY_MS
#define GSM_SMSREAD_RETRY_MS 2000u
#endif

/** Events. The payload type of event_data is given next to each value. */
typedef enum
{
    GSM_SmsRead_EventType_ReadSuccess = 0 /**< GSM_SmsRead_Event_ReadSuccess*: a received message */
} GSM_SmsRead_EventType;

/** Payload of GSM_SmsRead_EventType_ReadSuccess. All texts are zero-terminated. */
typedef struct GSM_SmsRead_Event_ReadSuccess
{
    const char* Sender;       /**< originator address <oa>, e.g. "+491701234567" (may be alphanumeric) */
    const char* Timestamp;    /**< service-centre time stamp as printed, e.g. "24/05/01,12:34:56+08" */
    uint32_t TimestampUtc;    /**< the time stamp as seconds since 1970 UTC; 0 when it could not be parsed */
    int8_t TimeZoneQuarters;  /**< its zone offset in quarter hours (+08 = UTC+2 h) */
    const char* Text;         /**< the message body */
    uint16_t TextLength;      /**< characters in Text */
    bool Truncated;           /**< true: the body (or the sender) was longer than its buffer and was cut */
    uint8_t Index;            /**< storage index the message was read from (deleted right after this event) */
} GSM_SmsRead_Event_ReadSuccess;

typedef struct GSM_SmsRead_Instance GSM_SmsRead_Instance;

/** Event handler shape. */
typedef void (*GSM_SmsRead_EventHandler)(GSM_SmsRead_Instance* inst, GSM_SmsRead_EventType event_type, void* event_data);

/** SMS Read instance. Zero-initialise, set the members marked "set", then gsmSmsReadInit(). */
struct GSM_SmsRead_Instance
{
    /* ---- set by the application before gsmSmsReadInit ---- */
    GSM_Power_Interface* Power;           /**< &(mGsmPwrInst._i) */
    GSM_Prompt_Interface* Prompt;         /**< &(mGsmPromptInst._i) */
    GSM_BasicComms_Interface* BasicComms; /**< &(mGsmBasicCommsInst._i) */
    GSM_SmsRead_EventHandler EventHandler; /**< may be NULL (messages are then read and dropped) */

    /* ---- private (ordered so that the byte fields have short offsets and the texts need no padding) ---- */
    GSM_Util_Text Body;                     /* Len: characters in Text; Flags: SR_B_..., the state of the
                                               message being read. While a failed step waits to be
                                               repeated (no read runs, Text is composed anew) Len holds
                                               the pause's start (low 16 bits of the time). */
    uint8_t Step;                           /* SR_STEP_..., with SR_STEP_PAUSE while waiting to repeat it */
    uint8_t CmdState;                       /* prompt helper state (bit 0) and SR_F_... */
    uint8_t Index;                          /* store index being read or deleted */
    uint8_t Session;                        /* Basic Comms session of the set-up */
    uint8_t WalkEnd;                        /* last index of the walk */
    uint8_t WalkLeft;                       /* counted messages not seen yet */
    uint8_t Attempts;                       /* failures of the present step */
    char Sender[GSM_SMSREAD_SENDER_SIZE];
    char Timestamp[GSM_SMSREAD_TIMESTAMP_SIZE];
    char Text[GSM_SMSREAD_TEXT_SIZE];
    GSM_Prompt_UrcSubscriber Urc;           /* "+CMTI:" */
};

/** Initialises the instance and subscribes to "+CMTI:". Not interrupt safe. */
void gsmSmsReadInit(GSM_SmsRead_Instance* inst);

/** Sets up, reads and deletes messages; raises the events. Returns at once. Not interrupt safe. */
void gsmSmsReadPoll(GSM_SmsRead_Instance* inst);

/**
 * Decodes a "+CMTI: <mem>,<index>" line. @return false when it is malformed or index > 255.
 * Pure function; may be called from an interrupt.
 */
bool gsmSmsReadDecodeCmti(const char* line, uint16_t len, uint8_t* index);

/**
 * Decodes a "+CMGR: <stat>,<oa>,[<alpha>],<scts>[,...]" header line. Sender and time stamp are
 * copied (cut to their buffers, zero-terminated). @return false when the line is malformed or the
 * message is not a received one ("REC UNREAD" / "REC READ"); the time stamp buffer may then hold
 * any zero-terminated part of the line (it is used to check <stat>). *truncated is set when the
 * sender was cut.
 * Pure function; may be called from an interrupt.
 */
bool gsmSmsReadDecodeCmgr(const char* line, uint16_t len, char* sender, uint16_t sender_size, char* timestamp,
                          uint16_t timestamp_size, bool* truncated);

#ifdef __cplusplus
}
#endif

#endif /* GSM_SMS_READ_H_ */
