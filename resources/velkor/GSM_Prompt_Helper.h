/*
 * GSM_Prompt_Helper.h - "send a command and await OK / ERROR / +CME ERROR / +CMS ERROR" for module
 * state machines, and runners for constant command tables.
 *
 * Typical use inside a module's poll function:
 *
 *     static const GSM_Prompt_CmdSpec kCsq = { "+CSQ:", 1000u, 0u };
 *     ...
 *     GSM_Prompt_CmdStatus st = gsmPromptHelperExec(inst->Prompt, inst, &inst->CmdState,
 *                                                   "AT+CSQ", &kCsq, &onCsqLine, inst);
 *     if (st == GSM_Prompt_CmdStatus_Pending) return;        // not done yet, try next poll
 *     gsmPromptRelease(inst->Prompt, inst);
 *     if (st == GSM_Prompt_CmdStatus_Ok) ...
 *
 * Call it with the same arguments in every poll until it returns a final status; it claims the
 * prompt, sends the command once and reports the result once (the claim is kept: release it when the
 * sequence is finished). All functions: main-loop context only, return at once.
 */
#ifndef GSM_PROMPT_HELPER_H_
#define GSM_PROMPT_HELPER_H_

#include "GSM_Globals.h"
#include "GSM_Prompt_Interface.h"

#ifdef __cplusplus
extern "C" {
#endif

/**
 * Runs one command. `state` is a byte of the caller's instance of which the helper uses bit 0: clear
 * before the first call, set while the command runs, cleared when the final status is returned. The
 * other bits are left alone (a caller may keep its own data there), so a byte used for nothing else
 * is 0 before the first call, non-zero while the command runs and 0 again after the final status.
 * @return GSM_Prompt_CmdStatus_Pending while waiting (also while the prompt cannot be claimed yet),
 *         otherwise the final status (Ok, Error, CmeError, CmsError, OtherFinal, Timeout, Aborted)
 *         or DataPrompt for GSM_PROMPT_CMD_DATA_PROMPT commands (state stays non-zero then).
 *         NULL prompt, owner, state or command: GSM_Prompt_CmdStatus_Aborted.
 */
GSM_Prompt_CmdStatus gsmPromptHelperExec(GSM_Prompt_Interface* prompt, const void* owner, uint8_t* state,
                                         const char* command, const GSM_Prompt_CmdSpec* spec,
                                         GSM_Prompt_LineHandler on_line, void* ctx);

/** Kept for source compatibility: gsmPromptHelperExecP reads the command straight from program
 *  memory, so its length is no longer limited and this value is not used. */
#ifndef GSM_PROMPTHELPER_PGM_CMD_SIZE
#define GSM_PROMPTHELPER_PGM_CMD_SIZE 24u
#endif

/**
 * As gsmPromptHelperExec, for a constant command defined with GSM_PGM (static const char x[] GSM_PGM
 * = "AT+CSQ";). On AVR the command stays in flash and is written to the modem from there; on every
 * other target this is gsmPromptHelperExec itself.
 */
#if defined(__AVR__)
GSM_Prompt_CmdStatus gsmPromptHelperExecP(GSM_Prompt_Interface* prompt, const void* owner, uint8_t* state,
                                          const char* command, const GSM_Prompt_CmdSpec* spec,
                                          GSM_Prompt_LineHandler on_line, void* ctx);
#else
#define gsmPromptHelperExecP gsmPromptHelperExec
#endif

/** gsmPromptCmdAppend for a constant text defined with GSM_PGM (the same as gsmPromptCmdAppendP). */
#define gsmPromptHelperAppendP gsmPromptCmdAppendP

/**
 * Claims the prompt for `owner` and begins a command without a line handler whose text starts with
 * the constant `command` (defined with GSM_PGM). The caller appends the rest of the command and
 * sends it (gsmPromptCmdSend), then follows it with gsmPromptCmdStatus.
 * @return false while the prompt cannot take the command (claimed by another module, a command
 *         open, the pause between commands, the modem off): try again on a later poll.
 */
bool gsmPromptHelperBeginP(GSM_Prompt_Interface* prompt, const void* owner, const GSM_Prompt_CmdSpec* spec, const char* command);

/** One step of a constant command table. */
typedef struct GSM_PromptHelper_Step
{
    const char* Command;     /**< full command line without CR, e.g. "AT+CMEE=1" */
    GSM_Prompt_CmdSpec Spec; /**< its expectations */
    uint8_t Flags;           /**< GSM_PROMPTHELPER_STEP_... */
} GSM_PromptHelper_Step;

/** An error result of this step does not stop the table (e.g. AT+CEREG=1 on a 2G modem). */
#define GSM_PROMPTHELPER_STEP_IGNORE_ERROR 0x01u

/** Progress of a table run; zero-initialise (or gsmPromptHelperSeqReset) before the first call. */
typedef struct GSM_PromptHelper_Seq
{
    uint8_t Index;    /**< step now running (or the failed step after a failure) */
    uint8_t CmdState; /**< gsmPromptHelperExec state of that step */
} GSM_PromptHelper_Seq;

/** Starts a table run from its first step. */
void gsmPromptHelperSeqReset(GSM_PromptHelper_Seq* seq);

/**
 * Runs the steps of `steps` one after another (call it in every poll). Lines of every step go to
 * on_line (seq->Index tells which step is running).
 * @return Pending while running; Ok when all steps are done; otherwise the failing step's status
 *         (seq->Index names that step). The claim is kept; release it when done.
 */
GSM_Prompt_CmdStatus gsmPromptHelperSeqRun(GSM_Prompt_Interface* prompt, const void* owner, GSM_PromptHelper_Seq* seq,
                                           const GSM_PromptHelper_Step* steps, uint8_t count,
                                           GSM_Prompt_LineHandler on_line, void* ctx);

/** True for the statuses that mean "the modem answered with an error" (Error, CmeError, CmsError). */
bool gsmPromptHelperIsErrorStatus(GSM_Prompt_CmdStatus status);

#ifdef __cplusplus
}
#endif

#endif /* GSM_PROMPT_HELPER_H_ */
