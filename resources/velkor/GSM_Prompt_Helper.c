/*
 * GSM_Prompt_Helper.c - single commands and constant command tables on top of the prompt.
 */
#include "GSM_Prompt_Helper.h"

/* Helper states (the caller's state byte). */
#define HLP_IDLE 0u
#define HLP_SENT 1u

GSM_Prompt_CmdStatus gsmPromptHelperExec(GSM_Prompt_Interface* prompt, const void* owner, uint8_t* state,
                                         const char* command, const GSM_Prompt_CmdSpec* spec,
                                         GSM_Prompt_LineHandler on_line, void* ctx)
{
    GSM_Prompt_CmdStatus st;
    if ((prompt == NULL) || (owner == NULL) || (state == NULL) || (command == NULL) || (spec == NULL))
    {
        return GSM_Prompt_CmdStatus_Aborted;
    }
    if (*state == HLP_IDLE)
    {
        if (!gsmPromptClaim(prompt, owner) || !gsmPromptCmdStart(prompt, owner, command, spec, on_line, ctx))
        {
            return GSM_Prompt_CmdStatus_Pending; /* channel busy or in its pause: retry next poll */
        }
        *state = HLP_SENT;
        return GSM_Prompt_CmdStatus_Pending;
    }
    st = gsmPromptCmdStatus(prompt, owner);
    if ((st == GSM_Prompt_CmdStatus_Pending) || (st == GSM_Prompt_CmdStatus_DataPrompt))
    {
        return st;
    }
    *state = HLP_IDLE;
    if (st == GSM_Prompt_CmdStatus_Idle)
    {
        /* The claim was lost (session reset) before the result was read. */
        return GSM_Prompt_CmdStatus_Aborted;
    }
    return st;
}

#if defined(__AVR__)
GSM_Prompt_CmdStatus gsmPromptHelperExecP(GSM_Prompt_Interface* prompt, const void* owner, uint8_t* state,
                                          const char* command, const GSM_Prompt_CmdSpec* spec,
                                          GSM_Prompt_LineHandler on_line, void* ctx)
{
    char text[GSM_PROMPTHELPER_PGM_CMD_SIZE];
    uint8_t i = 0u;
    if (command == NULL)
    {
        return GSM_Prompt_CmdStatus_Aborted;
    }
    /* The text is needed only to send the command; afterwards the status alone is read. */
    text[0] = '\0';
    if ((state != NULL) && (*state == HLP_IDLE))
    {
        while ((text[i] = (char)GSM_PGM_READ_BYTE(&command[i])) != '\0')
        {
            i++;
            if (i >= (uint8_t)sizeof(text))
            {
                return GSM_Prompt_CmdStatus_Aborted;
            }
        }
    }
    return gsmPromptHelperExec(prompt, owner, state, text, spec, on_line, ctx);
}

void gsmPromptHelperAppendP(GSM_Prompt_Interface* prompt, const char* text)
{
    char piece[16];
    uint8_t n;
    if (text == NULL)
    {
        return;
    }
    do
    {
        for (n = 0u; n < (uint8_t)(sizeof(piece) - 1u); n++)
        {
            piece[n] = (char)GSM_PGM_READ_BYTE(text);
            if (piece[n] == '\0')
            {
                break;
            }
            text++;
        }
        piece[n] = '\0';
        if (n > 0u)
        {
            gsmPromptCmdAppend(prompt, piece);
        }
    } while (n == (uint8_t)(sizeof(piece) - 1u));
}
#endif

void gsmPromptHelperSeqReset(GSM_PromptHelper_Seq* seq)
{
    if (seq != NULL)
    {
        seq->Index = 0u;
        seq->CmdState = HLP_IDLE;
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
        (gsmPromptHelperIsErrorStatus(st) && ((step->Flags & GSM_PROMPTHELPER_STEP_IGNORE_ERROR) != 0u)))
    {
        seq->Index++;
        return (seq->Index >= count) ? GSM_Prompt_CmdStatus_Ok : GSM_Prompt_CmdStatus_Pending;
    }
    return st;
}

bool gsmPromptHelperIsErrorStatus(GSM_Prompt_CmdStatus status)
{
    return (status == GSM_Prompt_CmdStatus_Error) || (status == GSM_Prompt_CmdStatus_CmeError) ||
           (status == GSM_Prompt_CmdStatus_CmsError);
}
