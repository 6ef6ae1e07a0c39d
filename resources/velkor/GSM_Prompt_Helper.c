/*
 * GSM_Prompt_Helper.c - single commands and constant command tables on top of the prompt.
 */
#include "GSM_Prompt_Helper.h"

/* Bit of the caller's state byte: the command was sent (the other bits belong to the caller). */
#define HLP_SENT 0x01u

/* gsmPromptHelperExec; on AVR with `pgm` true the command text is in program memory. */
static GSM_Prompt_CmdStatus helperExec(GSM_Prompt_Interface* prompt, const void* owner, uint8_t* state, const char* command,
                                       const GSM_Prompt_CmdSpec* spec, GSM_Prompt_LineHandler on_line, void* ctx, bool pgm)
{
    GSM_Prompt_CmdStatus st;
    GSM_UNUSED_ARG(pgm);
    if ((prompt == NULL) || (owner == NULL) || (state == NULL) || (command == NULL) || (spec == NULL))
    {
        return GSM_Prompt_CmdStatus_Aborted;
    }
    if ((*state & HLP_SENT) == 0u)
    {
        /* Channel busy or in its pause: retry next poll. */
        if (gsmPromptClaim(prompt, owner) && gsmPromptCmdBegin(prompt, owner, spec, on_line, ctx))
        {
#if defined(__AVR__)
            if (pgm)
            {
                gsmPromptCmdAppendP(prompt, command);
            }
            else
#endif
            {
                gsmPromptCmdAppend(prompt, command);
            }
            gsmPromptCmdSend(prompt);
            *state |= HLP_SENT;
        }
        return GSM_Prompt_CmdStatus_Pending;
    }
    st = gsmPromptCmdStatus(prompt, owner);
    if (!GSM_PROMPT_STATUS_IS_FINAL(st))
    {
        if (st != GSM_Prompt_CmdStatus_Idle)
        {
            return st; /* Pending or DataPrompt */
        }
        st = GSM_Prompt_CmdStatus_Aborted; /* the claim was lost (session reset) before the result was read */
    }
    *state &= (uint8_t)~HLP_SENT;
    return st;
}

GSM_Prompt_CmdStatus gsmPromptHelperExec(GSM_Prompt_Interface* prompt, const void* owner, uint8_t* state,
                                         const char* command, const GSM_Prompt_CmdSpec* spec,
                                         GSM_Prompt_LineHandler on_line, void* ctx)
{
    return helperExec(prompt, owner, state, command, spec, on_line, ctx, false);
}

#if defined(__AVR__)
GSM_Prompt_CmdStatus gsmPromptHelperExecP(GSM_Prompt_Interface* prompt, const void* owner, uint8_t* state,
                                          const char* command, const GSM_Prompt_CmdSpec* spec,
                                          GSM_Prompt_LineHandler on_line, void* ctx)
{
    return helperExec(prompt, owner, state, command, spec, on_line, ctx, true);
}
#endif

bool gsmPromptHelperBeginP(GSM_Prompt_Interface* prompt, const void* owner, const GSM_Prompt_CmdSpec* spec, const char* command)
{
    if (!gsmPromptClaim(prompt, owner) || !gsmPromptCmdBegin(prompt, owner, spec, NULL, NULL))
    {
        return false;
    }
    gsmPromptCmdAppendP(prompt, command);
    return true;
}

void gsmPromptHelperSeqReset(GSM_PromptHelper_Seq* seq)
{
    if (seq != NULL)
    {
        seq->Index = 0u;
        seq->CmdState = 0u;
    }
}

GSM_Prompt_CmdStatus gsmPromptHelperSeqRun(GSM_Prompt_Interface* prompt, const void* owner, GSM_PromptHelper_Seq* seq,
                                           const GSM_PromptHelper_Step* steps, uint8_t count,
                                           GSM_Prompt_LineHandler on_line, void* ctx)
{
    GSM_Prompt_CmdStatus st;
    const GSM_PromptHelper_Step* step;
    if ((seq == NULL) || (steps == NULL))
    {
        return GSM_Prompt_CmdStatus_Aborted;
    }
    if (seq->Index >= count)
    {
        return GSM_Prompt_CmdStatus_Ok;
    }
    step = &steps[seq->Index];
    st = gsmPromptHelperExec(prompt, owner, &seq->CmdState, step->Command, &step->Spec, on_line, ctx);
    if ((st == GSM_Prompt_CmdStatus_Pending) || (st == GSM_Prompt_CmdStatus_DataPrompt))
    {
        return GSM_Prompt_CmdStatus_Pending;
    }
    if ((st == GSM_Prompt_CmdStatus_Ok) ||
        (GSM_PROMPT_STATUS_IS_ERROR(st) && ((step->Flags & GSM_PROMPTHELPER_STEP_IGNORE_ERROR) != 0u)))
    {
        seq->Index++;
        return (seq->Index >= count) ? GSM_Prompt_CmdStatus_Ok : GSM_Prompt_CmdStatus_Pending;
    }
    return st;
}

bool gsmPromptHelperIsErrorStatus(GSM_Prompt_CmdStatus status)
{
    return GSM_PROMPT_STATUS_IS_ERROR(status);
}
