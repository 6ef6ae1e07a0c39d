/*
 * GSM_SMS_Send.c - text-mode SMS send state machine and "+CDS:" delivery reports.
 *
 * A send runs one command at a time on the prompt: the set-up commands of the session (once),
 * "AT+CMGS=\"<number>\"" up to its "> " prompt, then the text with Ctrl-Z and the final result.
 */
#include "GSM_SMS_Send.h"
#include "GSM_Required_Externals.h"
#include "GSM_Util.h"

#if (GSM_SMSSEND_TEXT_SIZE < 2u) || (GSM_SMSSEND_TEXT_SIZE > 256u)
#error "GSM_SMSSEND_TEXT_SIZE must be 2..256"
#endif
#if (GSM_SMSSEND_NUMBER_SIZE < 2u) || (GSM_SMSSEND_NUMBER_SIZE > 64u)
#error "GSM_SMSSEND_NUMBER_SIZE must be 2..64"
#endif
#if (GSM_SMSSEND_REPORT_SLOTS < 1u) || (GSM_SMSSEND_REPORT_SLOTS > 8u)
#error "GSM_SMSSEND_REPORT_SLOTS must be 1..8"
#endif

enum
{
    SS_STEP_IDLE = 0,
    SS_STEP_WAIT_REG, /* waiting for communication and SMS registration */
    SS_STEP_SETUP,    /* first of the 4 set-up commands */
    SS_STEP_CMGS = SS_STEP_SETUP + 4, /* AT+CMGS sent, waiting for the prompt */
    SS_STEP_DATA,     /* text written, waiting for +CMGS / error */
    SS_STEP_ESC       /* leaving a data entry that may be open after a lost prompt */
};

#define SS_F_CANCEL    0x01u /* gsmSmsSendCancel() was called */
#define SS_F_REPORTS   0x02u /* request delivery reports */
#define SS_F_REPORTSET 0x04u /* this message asked for a report (AT+CSMP=49) */

#define SS_SUCCESS 0xFFu /* finish(): not a GSM_SmsSend_FailReason, the send succeeded */

/* The command of each step from SS_STEP_SETUP on (AT+CMGS is followed by the quoted number; the one
 * after SS_STEP_ESC is the AT+CSMP that asks for delivery reports). The set-up runs before every
 * message, so that a restarted modem or another module's settings never get in the way; it routes
 * as the SMS Receive module does: stored messages announced by +CMTI, status reports delivered as
 * +CDS (only sent by the network for messages that asked for one). */
static const char* const kCmds[] = {"AT+CMGF=1", "AT+CSCS=\"GSM\"", "AT+CSMP=17,167,0,0", "AT+CNMI=2,1,0,1,0", "AT+CMGS=", NULL,
                                    "\x1B", "AT+CSMP=49,167,0,0"};
static const GSM_Prompt_CmdSpec kCmgsSpec = {"+CMGS:", GSM_SMSSEND_PROMPT_TIMEOUT_MS, GSM_PROMPT_CMD_DATA_PROMPT};
static const GSM_Prompt_CmdSpec kPlainSpec = {NULL, 5000u, 0u};
static const char* const kCdsPrefixes[] = {"+CDS:", NULL};

/* Ends the send with SendFailed (reason Cancelled after gsmSmsSendCancel; the error number for
 * ErrorResponse) or SendSuccess. */
static void finish(GSM_SmsSend_Instance* inst, uint8_t reason)
{
    union
    {
        GSM_SmsSend_Event_SendFailed Failed;
        GSM_SmsSend_Event_SendSuccess Success;
    } ev;
    GSM_SmsSend_EventType type = GSM_SmsSend_EventType_SendFailed;
    ev.Failed.ErrorCode = (reason == (uint8_t)GSM_SmsSend_FailReason_ErrorResponse) ? gsmPromptCmdErrorCode(inst->Prompt) : -1;
    gsmPromptRelease(inst->Prompt, inst);
    inst->Step = SS_STEP_IDLE;
    inst->CmdState = 0u;
    ev.Failed.Reason = (GSM_SmsSend_FailReason)(((inst->Flags & SS_F_CANCEL) != 0u) ? (uint8_t)GSM_SmsSend_FailReason_Cancelled : reason);
    inst->Flags &= (uint8_t)~SS_F_CANCEL;
    if (reason == SS_SUCCESS)
    {
        type = GSM_SmsSend_EventType_SendSuccess;
        ev.Success.MessageReference = inst->MsgRef;
    }
    if (inst->EventHandler != NULL)
    {
        inst->EventHandler(inst, type, &ev);
    }
}

static void onCmgsLine(void* ctx, const char* line, uint16_t len)
{
    uint32_t mr;
    if (gsmUtilFieldUint(line, len, 0u, &mr) && (mr <= 255u))
    {
        ((GSM_SmsSend_Instance*)ctx)->MsgRef = (uint8_t)mr;
    }
}

bool gsmSmsSendDecodeCds(const char* line, uint16_t len, GSM_SmsSend_Event_DeliveryStatusReport* report,
                         char* recipient_buf, uint16_t recipient_size)
{
    uint32_t mr;
    uint32_t st;
    uint16_t s;
    uint16_t l;
    if ((report == NULL) || !gsmUtilStartsWith(line, len, "+CDS:") || !gsmUtilFieldUint(line, len, 1u, &mr) ||
        !gsmUtilFieldUint(line, len, 6u, &st) || ((mr | st) > 255u))
    {
        return false;
    }
    report->MessageReference = (uint8_t)mr;
    report->Status = (uint8_t)st;
    report->Matched = false;
    /* the recipient when it fits the buffer whole (with its terminator), else "" */
    report->Recipient = (gsmUtilFieldCopyCut(line, len, 2u, recipient_buf, recipient_size) == 1u) ? recipient_buf : "";
    /* some networks print other formats: the time is then left unknown (0; a failed conversion
     * leaves it unchanged) */
    report->DischargeTime = 0u;
    if (gsmUtilField(line, len, 5u, &s, &l, NULL))
    {
        (void)gsmUtilDateTimeToEpoch(&line[s], l, &report->DischargeTime, NULL);
    }
    return true;
}

static void onCdsUrc(void* ctx, const char* line, uint16_t len)
{
    GSM_SmsSend_Instance* inst = (GSM_SmsSend_Instance*)ctx;
    GSM_SmsSend_Event_DeliveryStatusReport rep;
    char ra[GSM_SMSSEND_NUMBER_SIZE];
    uint8_t i;
    if (!gsmSmsSendDecodeCds(line, len, &rep, ra, (uint16_t)sizeof(ra)))
    {
        GSM_DEBUG_TEXT("GSM SMS: malformed +CDS dropped\r\n");
        return;
    }
    /* Newest message with this reference first (slot 0 is the newest): <mr> wraps at 255. */
    for (i = 0u; i < GSM_SMSSEND_REPORT_SLOTS; i++)
    {
        if ((((inst->ReportUsed >> i) & 1u) != 0u) && (inst->ReportRef[i] == rep.MessageReference))
        {
            rep.Matched = true;
            if (gsmSmsSendGetDeliveryStatusReportType(&rep) != GSM_SmsSend_DeliveryStatusReportType_Pending)
            {
                inst->ReportUsed &= (uint8_t)~(1u << i); /* final report */
            }
            break;
        }
    }
    if (inst->EventHandler != NULL)
    {
        inst->EventHandler(inst, GSM_SmsSend_EventType_DeliveryStatusReport, &rep);
    }
}

GSM_SmsSend_DeliveryStatusReportType gsmSmsSendGetDeliveryStatusReportType(const GSM_SmsSend_Event_DeliveryStatusReport* report)
{
    uint8_t c;
    if (report == NULL)
    {
        return GSM_SmsSend_DeliveryStatusReportType_Unknown;
    }
    /* 0..31 completed, 32..63 still trying, 64..127 given up, 128..255 reserved */
    c = (uint8_t)(report->Status >> 5);
    return (GSM_SmsSend_DeliveryStatusReportType)((c < 2u) ? c : ((c < 4u) ? 2u : 3u));
}

void gsmSmsSendInit(GSM_SmsSend_Instance* inst)
{
    if (inst == NULL)
    {
        return;
    }
    inst->Step = SS_STEP_IDLE;
    inst->CmdState = 0u;
    inst->Flags = (GSM_SMSSEND_DELIVERY_REPORTS_DEFAULT != 0) ? SS_F_REPORTS : 0u;
    inst->ReportUsed = 0u;
    inst->Urc.Prefixes = kCdsPrefixes;
    inst->Urc.Handler = &onCdsUrc;
    inst->Urc.Context = inst;
    gsmPromptUrcSubscribe(inst->Prompt, &inst->Urc);
}

/* Takes the number (optional '+', then 1..20 digits) and the text with LF line breaks; false when
 * the number is not valid or the text is not one GSM 7-bit message. */
static bool takeMessage(GSM_SmsSend_Instance* inst, const char* num, const char* src)
{
    uint16_t septets = 0u;
    uint8_t n = 0u;
    uint8_t digits = 0u;
    if (*num == '+')
    {
        inst->Number[n++] = *num++;
    }
    for (; *num != '\0'; num++)
    {
        if (((uint8_t)(*num - '0') > 9u) || (digits >= 20u))
        {
            return false;
        }
#if GSM_SMSSEND_NUMBER_SIZE < 22u
        if (n >= (GSM_SMSSEND_NUMBER_SIZE - 1u)) /* (a '+' and 20 digits always fit a larger buffer) */
        {
            return false;
        }
#endif
        inst->Number[n++] = *num;
        digits++;
    }
    inst->Number[n] = '\0';
    n = 0u;
    while (*src != '\0')
    {
        char c = *src++;
        if (c == '\r')
        {
            if (*src == '\n')
            {
                continue; /* CR LF: the LF follows */
            }
            c = '\n';
        }
        if ((c != '\n') && ((c < 0x20) || (c > 0x7E) || (c == '`')))
        {
            return false;
        }
        /* [ \ ] ^ (0x5B..0x5E) and { | } ~ (0x7B..0x7E) are in the GSM 7-bit alphabet's escape
         * table: they take two characters each. Clearing bit 5 maps the second range onto the first. */
        septets = (uint16_t)(septets + ((uint8_t)(((uint8_t)c & 0xDFu) - 0x5Bu) < 4u ? 2u : 1u));
        if (septets > GSM_SMSSEND_MAX_SEPTETS)
        {
            return false;
        }
#if (GSM_SMSSEND_TEXT_SIZE - 1u) < GSM_SMSSEND_MAX_SEPTETS
        if (n >= (GSM_SMSSEND_TEXT_SIZE - 1u)) /* (every byte is at least one septet: a full-size buffer needs no check) */
        {
            return false;
        }
#endif
        inst->Text[n++] = c;
    }
    inst->TextLen = n;
    return digits > 0u;
}

bool gsmSmsSend(GSM_SmsSend_Instance* inst, char* phoneNumber, char* textBody)
{
    if ((inst == NULL) || (inst->Prompt == NULL) || (phoneNumber == NULL) || (textBody == NULL) || (inst->Step != SS_STEP_IDLE) ||
        !takeMessage(inst, phoneNumber, textBody))
    {
        return false;
    }
    inst->Step = SS_STEP_WAIT_REG;
    inst->Flags &= (uint8_t)~(SS_F_CANCEL | SS_F_REPORTSET);
    inst->MsgRef = 0u;
    inst->Deadline_ms = gsm__SysTime_ms() + GSM_SMSSEND_REGISTRATION_TIMEOUT_MS;
    return true;
}

void gsmSmsSendCancel(GSM_SmsSend_Instance* inst)
{
    if ((inst != NULL) && (inst->Step != SS_STEP_IDLE) && (inst->Step != SS_STEP_DATA))
    {
        inst->Flags |= SS_F_CANCEL;
    }
}

bool gsmSmsSendBusy(GSM_SmsSend_Instance* inst)
{
    return (inst != NULL) && (inst->Step != SS_STEP_IDLE);
}

void gsmSmsSendSetDeliveryReports(GSM_SmsSend_Instance* inst, bool enable)
{
    if (inst != NULL)
    {
        inst->Flags = (uint8_t)((inst->Flags & (uint8_t)~SS_F_REPORTS) | (enable ? SS_F_REPORTS : 0u));
    }
}

void gsmSmsSendPoll(GSM_SmsSend_Instance* inst)
{
    GSM_Prompt_Interface* p;
    GSM_Prompt_CmdStatus st;
    uint8_t step;
    uint8_t fl;
    uint8_t reason = (uint8_t)GSM_SmsSend_FailReason_Cancelled;
    if ((inst == NULL) || (inst->Step == SS_STEP_IDLE))
    {
        return;
    }
    p = inst->Prompt;
    step = inst->Step;
    fl = inst->Flags;
    if (((fl & SS_F_CANCEL) != 0u) && (step < SS_STEP_CMGS))
    {
        finish(inst, reason); /* nothing was sent yet (the release drops a late OK) */
        return;
    }
    if (step == SS_STEP_WAIT_REG)
    {
        if (gsmBasicCommsIfEstablished(inst->BasicComms) &&
            ((inst->NetworkRegistration == NULL) || gsmNetworkRegistrationIfIsRegisteredForSms(inst->NetworkRegistration)))
        {
            inst->Step = SS_STEP_SETUP;
        }
        else if (GSM_TIME_REACHED(gsm__SysTime_ms(), inst->Deadline_ms))
        {
            finish(inst, (uint8_t)GSM_SmsSend_FailReason_NotRegistered);
        }
        else
        {
            /* still waiting */
        }
        return;
    }
    if (inst->CmdState == 0u)
    {
        /* (never in SS_STEP_DATA: the command of AT+CMGS still runs there) */
        if (gsmPromptClaim(p, inst) &&
            gsmPromptCmdBegin(p, inst, (step == SS_STEP_CMGS) ? &kCmgsSpec : &kPlainSpec, &onCmgsLine, inst))
        {
            uint8_t i = (uint8_t)(step - SS_STEP_SETUP);
            if ((step == (SS_STEP_SETUP + 2u)) && ((fl & SS_F_REPORTS) != 0u))
            {
                /* AT+CSMP=49: this message asks for a report */
                inst->Flags = (uint8_t)(fl | SS_F_REPORTSET);
                i = (uint8_t)(i + 5u);
            }
            gsmPromptCmdAppend(p, kCmds[i]);
            if (step == SS_STEP_CMGS)
            {
                gsmPromptCmdAppendQuoted(p, inst->Number);
            }
            gsmPromptCmdSend(p);
            inst->CmdState = 1u;
        }
        return;
    }
    st = gsmPromptCmdStatus(p, inst);
    if (st == GSM_Prompt_CmdStatus_Pending)
    {
        return;
    }
    if (st != GSM_Prompt_CmdStatus_DataPrompt)
    {
        inst->CmdState = 0u;
    }
    if (step == SS_STEP_ESC)
    {
        reason = (uint8_t)GSM_SmsSend_FailReason_NoPrompt;
    }
    else if (st == GSM_Prompt_CmdStatus_DataPrompt)
    {
        if ((fl & SS_F_CANCEL) != 0u)
        {
            gsmPromptCmdAbort(p, inst); /* writes ESC: the modem drops the message */
        }
        else
        {
            if (gsmPromptDataSend(p, inst, (const uint8_t*)inst->Text, inst->TextLen, GSM_PROMPT_DATA_CTRL_Z,
                                  GSM_SMSSEND_RESULT_TIMEOUT_MS))
            {
                inst->Step = SS_STEP_DATA; /* too late to cancel from now on */
            }
            return;
        }
    }
    else if (st == GSM_Prompt_CmdStatus_Ok)
    {
        if (step < SS_STEP_CMGS)
        {
            inst->Step = (uint8_t)(step + 1u);
            return;
        }
        if ((fl & SS_F_REPORTSET) != 0u)
        {
            /* the new reference goes to slot 0, the oldest one falls out */
            uint8_t i;
            for (i = GSM_SMSSEND_REPORT_SLOTS - 1u; i != 0u; i--)
            {
                inst->ReportRef[i] = inst->ReportRef[i - 1u];
            }
            inst->ReportRef[0] = inst->MsgRef;
            inst->ReportUsed = (uint8_t)((inst->ReportUsed << 1) | 1u);
        }
        reason = SS_SUCCESS;
    }
    else if ((step == SS_STEP_CMGS) && (st == GSM_Prompt_CmdStatus_Timeout))
    {
        /* The prompt may have been lost on the line while the modem waits for text: ESC ends that. */
        inst->Step = SS_STEP_ESC;
        return;
    }
    else if (gsmPromptHelperIsErrorStatus(st))
    {
        reason = (uint8_t)GSM_SmsSend_FailReason_ErrorResponse;
    }
    else if ((step < SS_STEP_CMGS) && !GSM_TIME_REACHED(gsm__SysTime_ms(), inst->Deadline_ms))
    {
        /* Set-up time-out or restart: nothing was sent yet, wait for the modem again. */
        gsmPromptRelease(p, inst);
        inst->Step = SS_STEP_WAIT_REG;
        return;
    }
    else
    {
        reason = (st == GSM_Prompt_CmdStatus_Timeout) ? (uint8_t)GSM_SmsSend_FailReason_NoResult
                                                      : (uint8_t)GSM_SmsSend_FailReason_CommsLost;
    }
    finish(inst, reason);
}
