/*
 * GSM_Prompt_Interface.h - the command channel to the modem, as the other modules use it.
 *
 * The Prompt module is the only owner of the serial line. It assembles received bytes into lines,
 * cancels the command echo, recognises final result codes and the "> " data prompt, and routes
 * every other line either to the module whose command expects it or to the URC subscribers.
 *
 * A module that wants to talk to the modem:
 *   1. claims the prompt (gsmPromptClaim): one module at a time runs transactions, the claim lasts
 *      until gsmPromptRelease, so a multi-command sequence is never interleaved with another
 *      module's commands;
 *   2. starts one command at a time (gsmPromptCmdStart, or gsmPromptCmdBegin + gsmPromptCmdAppend...
 *      + gsmPromptCmdSend for commands with parameters), with a GSM_Prompt_CmdSpec that says which
 *      response lines belong to it and how long to wait;
 *   3. polls gsmPromptCmdStatus() from its own poll function until the status is final;
 *   4. releases the claim when its sequence is done (also after failures).
 * GSM_Prompt_Helper.h wraps steps 1 to 3 for the usual "send and await OK" case.
 *
 * Response lines and URC lines reach the modules through handlers called from inside
 * gsmPromptPoll(). A line is valid only during the call: copy what you need. Lines are not
 * zero-terminated; use `len`. Handlers must not start commands; they may call gsmPromptBinaryExpect.
 *
 * Unsolicited lines (URCs) are delivered to every subscriber whose prefix list matches the start of
 * the line, whether or not a command is running, unless the running command expects that prefix
 * (then the line is its response).
 *
 * Every function here is for the main-loop context only (not interrupt safe) and returns at once.
 * NULL arguments are rejected (functions return false / Idle / do nothing).
 */
#ifndef GSM_PROMPT_INTERFACE_H_
#define GSM_PROMPT_INTERFACE_H_

#include "GSM_Globals.h"

#ifdef __cplusplus
extern "C" {
#endif

/** Interface data (owned by the Prompt module; use the functions below). */
typedef struct GSM_Prompt_Interface
{
    const void* Owner;           /**< holder of the claim, NULL when free */
    uint8_t Status;              /**< GSM_Prompt_CmdStatus of the last command */
    uint8_t ConsecutiveTimeouts; /**< commands that timed out in a row (reset by any final result) */
    uint8_t ModemEvent;          /**< GSM_PROMPT_MODEM_... of the last boot or shutdown message, 0 when none;
                                      Basic Comms takes it (sets it back to 0) */
    uint8_t Flags;               /**< private to the Prompt module (receiver and command state) */
} GSM_Prompt_Interface;

/* ---- Boot and shutdown messages (GSM_Prompt_Interface.ModemEvent) ----
 * The Prompt recognises them among the unsolicited lines (after offering them to the subscribers),
 * so that Basic Comms needs no subscription of its own. */
/** "RDY", "START" or "*ATREADY: 1" alone on a line: the modem (re)started. */
#define GSM_PROMPT_MODEM_RESTARTED  1u
/** "NORMAL POWER DOWN" / "NORMAL POWER OFF", "POWERD DOWN", "UNDER-VOLTAGE POWER DOWN",
 *  "OVER-VOLTAGE POWER DOWN" (not the voltage warnings): the modem switches itself off. */
#define GSM_PROMPT_MODEM_POWER_DOWN 2u

/** Called with a complete line (without CR/LF, not zero-terminated). */
typedef void (*GSM_Prompt_LineHandler)(void* ctx, const char* line, uint16_t len);

/**
 * Called with raw bytes of a counted binary payload (see gsmPromptBinaryExpect). `remaining` is the
 * number of payload bytes still to come after this block; 0 marks the last block.
 */
typedef void (*GSM_Prompt_BinaryHandler)(void* ctx, const uint8_t* data, uint16_t len, uint16_t remaining);

/** State of the command of a module (see gsmPromptCmdStatus). */
typedef enum
{
    GSM_Prompt_CmdStatus_Idle = 0,   /**< no command of this owner (never started, or another owner's) */
    GSM_Prompt_CmdStatus_Pending,    /**< sent, waiting for the final result */
    GSM_Prompt_CmdStatus_DataPrompt, /**< the "> " prompt arrived: send the data (gsmPromptDataSend) */
    GSM_Prompt_CmdStatus_Ok,         /**< final "OK" (or the completing line, see GSM_PROMPT_CMD_PREFIX_FINAL) */
    GSM_Prompt_CmdStatus_Error,      /**< final "ERROR" */
    GSM_Prompt_CmdStatus_CmeError,   /**< final "+CME ERROR: <err>"; code by gsmPromptCmdErrorCode */
    GSM_Prompt_CmdStatus_CmsError,   /**< final "+CMS ERROR: <err>"; code by gsmPromptCmdErrorCode */
    GSM_Prompt_CmdStatus_OtherFinal, /**< not given any more: "NO CARRIER", "BUSY", "NO ANSWER", "NO DIALTONE"
                                          are call results, and as the library dials no call they are taken
                                          as unsolicited lines (URC subscribers see them); kept so that the
                                          values that follow stay the same */
    GSM_Prompt_CmdStatus_Timeout,    /**< no final result within the command's time-out (at a "> " prompt or
                                          while its data is written, ESC ends the modem's data entry) */
    GSM_Prompt_CmdStatus_Aborted     /**< the session was reset (modem restart / lost communication) */
} GSM_Prompt_CmdStatus;

/** True for the statuses that end a command (Ok .. Aborted). */
#define GSM_PROMPT_STATUS_IS_FINAL(s) ((s) >= GSM_Prompt_CmdStatus_Ok)
/** True for the statuses that mean "the modem answered with an error": Error, CmeError and CmsError,
 *  which follow one another (one range test, shorter than a call). */
#define GSM_PROMPT_STATUS_IS_ERROR(s)                                                       \
    ((uint_fast8_t)((uint_fast8_t)(s) - (uint_fast8_t)GSM_Prompt_CmdStatus_Error) <= \
     (uint_fast8_t)(GSM_Prompt_CmdStatus_CmsError - GSM_Prompt_CmdStatus_Error))

/* ---- Command flags (GSM_Prompt_CmdSpec.Flags) ---- */
/** Lines without a known URC prefix are response data of this command (ATI, AT+CGMM, AT+CGSN...).
 *  Lines beginning with '+' or '*' and the plain unsolicited messages ("RDY", "Call Ready", "RING"...)
 *  never are: give a Prefix for a prefixed answer. */
#define GSM_PROMPT_CMD_UNPREFIXED   0x01u
/** The command answers with the "> " data prompt (AT+CMGS, AT+CMQTTTOPIC...). */
#define GSM_PROMPT_CMD_DATA_PROMPT  0x02u
/** The first line that starts with Prefix completes the command with status Ok (after delivery to
 *  the line handler): "DOWNLOAD", "NORMAL POWER DOWN", "SHUT OK". */
#define GSM_PROMPT_CMD_PREFIX_FINAL 0x04u
/** The line "DOWNLOAD" acts as the data prompt (AT+HTTPDATA): the status becomes DataPrompt and the
 *  data goes out with gsmPromptDataSend. */
#define GSM_PROMPT_CMD_DOWNLOAD     0x08u

/** What a command expects. Keep these in constant tables. */
typedef struct GSM_Prompt_CmdSpec
{
    const char* Prefix;  /**< response prefix routed to the line handler (e.g. "+CSQ:"), or NULL */
    uint32_t Timeout_ms; /**< time for the final result, from the end of sending */
    uint8_t Flags;       /**< GSM_PROMPT_CMD_... */
} GSM_Prompt_CmdSpec;

/** A URC subscription; lives in the subscribing module's instance (no dynamic memory). */
typedef struct GSM_Prompt_UrcSubscriber
{
    const char* const* Prefixes;           /**< NULL-terminated list of line prefixes, e.g. {"+CREG:", NULL} */
    GSM_Prompt_LineHandler Handler;        /**< called for every matching line */
    void* Context;                         /**< passed to Handler */
    struct GSM_Prompt_UrcSubscriber* Next; /**< private: list link, set by gsmPromptUrcSubscribe */
} GSM_Prompt_UrcSubscriber;

/** No byte after the data of gsmPromptDataSend. */
#define GSM_PROMPT_DATA_NO_TERMINATOR (-1)
/** Ctrl-Z, ends SMS text. */
#define GSM_PROMPT_DATA_CTRL_Z 0x1A

/* ---- Claim ------------------------------------------------------------------------------------ */

/**
 * Claims the command channel for `owner` (any unique pointer, normally the module instance).
 * @return true when the channel was free (now owned by `owner`) or is already owned by `owner`.
 */
bool gsmPromptClaim(GSM_Prompt_Interface* prompt, const void* owner);

/**
 * Releases the claim of `owner` and abandons a pending command of `owner` as gsmPromptCmdAbort does
 * (at a "> " prompt or while its data is written, ESC is sent so that the modem leaves data entry
 * without sending). Other owners: no effect.
 */
void gsmPromptRelease(GSM_Prompt_Interface* prompt, const void* owner);

/** True when `owner` holds the claim. */
bool gsmPromptIsClaimedBy(const GSM_Prompt_Interface* prompt, const void* owner);

/* ---- Commands --------------------------------------------------------------------------------- */

/**
 * Starts composing a command. Requires: `owner` holds the claim, no command is pending, the modem is
 * powered, and the short pause after the previous final result has passed.
 * @param spec    what the command expects (must stay valid while the command runs)
 * @param on_line receives the response lines of the command (may be NULL)
 * @param ctx     passed to on_line
 * @return true when the command may be composed now; false: try again in a later poll.
 */
bool gsmPromptCmdBegin(GSM_Prompt_Interface* prompt, const void* owner, const GSM_Prompt_CmdSpec* spec,
                       GSM_Prompt_LineHandler on_line, void* ctx);

/** Appends zero-terminated text to the command being composed (written to the modem at once). */
void gsmPromptCmdAppend(GSM_Prompt_Interface* prompt, const char* text);

/**
 * gsmPromptCmdAppend for a constant text defined with GSM_PGM (static const char x[] GSM_PGM = "...";):
 * on AVR the text is read straight from program memory; on every other target this is
 * gsmPromptCmdAppend.
 */
#if defined(__AVR__)
void gsmPromptCmdAppendP(GSM_Prompt_Interface* prompt, const char* text);
#else
#define gsmPromptCmdAppendP gsmPromptCmdAppend
#endif

/** Appends `len` bytes to the command being composed. */
void gsmPromptCmdAppendBytes(GSM_Prompt_Interface* prompt, const uint8_t* data, uint16_t len);

/** Appends a decimal number, zero-padded to at least `min_digits` digits. */
void gsmPromptCmdAppendUint(GSM_Prompt_Interface* prompt, uint32_t value, uint8_t min_digits);

/** Appends text surrounded by double quotes. The text is cut before its first control byte (CR, LF...)
 *  or double quote: such a byte would end the parameter or the command line, and what followed it
 *  would reach the modem as a command of its own. Modules refuse such texts before they get here. */
void gsmPromptCmdAppendQuoted(GSM_Prompt_Interface* prompt, const char* text);

/** Ends the command line (writes CR) and starts its time-out. */
void gsmPromptCmdSend(GSM_Prompt_Interface* prompt);

/** gsmPromptCmdBegin + gsmPromptCmdAppend(command) + gsmPromptCmdSend in one call. */
bool gsmPromptCmdStart(GSM_Prompt_Interface* prompt, const void* owner, const char* command,
                       const GSM_Prompt_CmdSpec* spec, GSM_Prompt_LineHandler on_line, void* ctx);

/**
 * Status of the last command of `owner`. A final status stays readable until `owner` begins its next
 * command or releases the claim. Returns Idle for other owners.
 */
GSM_Prompt_CmdStatus gsmPromptCmdStatus(const GSM_Prompt_Interface* prompt, const void* owner);

/** Error number of a +CME ERROR / +CMS ERROR result; -1 for the text form or another status. */
int16_t gsmPromptCmdErrorCode(const GSM_Prompt_Interface* prompt);

/** Abandons the pending command of `owner` (a late final result of it will be dropped, and when the
 *  command was written out the next command waits for that answer, for about 4 s at most; at a "> "
 *  prompt ESC is sent as for gsmPromptRelease). The claim stays. */
void gsmPromptCmdAbort(GSM_Prompt_Interface* prompt, const void* owner);

/**
 * Sends data after the "> " prompt (status DataPrompt). The bytes are written in chunks from
 * gsmPromptPoll (when the serial driver reports its previous writes completed), so `data` must stay
 * valid until the command reaches a final status. The modem's echo of the data is discarded.
 * @param terminator  GSM_PROMPT_DATA_CTRL_Z, another byte value, or GSM_PROMPT_DATA_NO_TERMINATOR
 * @param timeout_ms  time for the final result after the last byte
 * @return false when `owner` has no command waiting at a prompt.
 */
bool gsmPromptDataSend(GSM_Prompt_Interface* prompt, const void* owner, const uint8_t* data, uint16_t len,
                       int16_t terminator, uint32_t timeout_ms);

/**
 * Switches the receiver to binary mode after the line being handled: the next `count` bytes are
 * delivered raw to `handler` (in blocks, possibly of one byte), whatever they contain. Call it from a
 * line handler that has just received a counted header (+HTTPREAD: <n>, +CMQTTRXPAYLOAD: 0,<n>...).
 * A count of 0 does nothing. A binary handler may call it again from its last block (remaining 0) to
 * go on with further raw bytes, e.g. one byte at a time up to a delimiter. When the modem sends
 * nothing for GSM_PROMPT_BINARY_IDLE_MS before the count is complete, binary mode ends without a
 * further call of the handler (its last block never came).
 */
void gsmPromptBinaryExpect(GSM_Prompt_Interface* prompt, uint16_t count, GSM_Prompt_BinaryHandler handler, void* ctx);

/**
 * Ends binary mode at once when `handler` is the receiver of the present counted payload (bytes not
 * yet delivered are dropped; the receiver returns to line mode). Other handlers: no effect. Used to
 * give up a payload whose end never arrived.
 */
void gsmPromptBinaryCancel(GSM_Prompt_Interface* prompt, GSM_Prompt_BinaryHandler handler);

/* ---- Unsolicited result codes ----------------------------------------------------------------- */

/**
 * Adds a subscriber (once; subscribing the same record again does nothing). The record must live as
 * long as the prompt (put it in the module instance). Subscriptions survive session resets.
 */
void gsmPromptUrcSubscribe(GSM_Prompt_Interface* prompt, GSM_Prompt_UrcSubscriber* subscriber);

/* ---- Session and health (used by Basic Comms) ------------------------------------------------- */

/**
 * Starts a new session after a modem (re)start or a loss of communication: drops the claim, aborts a
 * pending command (its owner sees GSM_Prompt_CmdStatus_Aborted), clears the partial line, binary mode
 * and pending data. URC subscriptions stay.
 */
void gsmPromptResetSession(GSM_Prompt_Interface* prompt);

/** Number of commands in a row that ended with a time-out (0 after any final result). */
uint8_t gsmPromptConsecutiveTimeouts(const GSM_Prompt_Interface* prompt);

/** Time (gsm__SysTime_ms) when the last byte was received from the modem; 0 before the first. */
uint32_t gsmPromptLastRxTime(const GSM_Prompt_Interface* prompt);

/** True while the modem is powered (the Prompt's view of the Power interface). */
bool gsmPromptModemPowered(const GSM_Prompt_Interface* prompt);

#ifdef __cplusplus
}
#endif

#endif /* GSM_PROMPT_INTERFACE_H_ */
