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

/* Steps. From SS_STEP_SETUP on, a command is begun in the even steps and followed in the odd step
 * after it: set-up (4 commands), AT+CMGS up to its prompt, the text up to its result, ESC. */
enum
{
    SS_STEP_IDLE = 0,
    SS_STEP_WAIT_REG, /* waiting for communication and SMS registration */
    SS_STEP_SETUP,    /* first of the 4 set-up commands */
    SS_STEP_CMGS = SS_STEP_SETUP + 8, /* AT+CMGS is begun, then (SS_STEP_CMGS + 1) its prompt awaited */
    SS_STEP_DATA = SS_STEP_CMGS + 3,  /* text written, waiting for +CMGS / error */
    SS_STEP_ESC = SS_STEP_DATA + 1    /* leaving a data entry that may be open after a lost prompt */
};

/* Flags */
#define SS_F_CANCEL    0x02u /* gsmSmsSendCancel() was called */
#define SS_F_REPORTS   0x04u /* request delivery reports */
#define SS_F_REPORTSET 0x08u /* this message asks for a report (AT+CSMP=49) */

#define SS_SUCCESS 0xFFu /* finish(): not a GSM_SmsSend_FailReason, the send succeeded */

/* The command of each even step from SS_STEP_SETUP on (index (step - SS_STEP_SETUP) / 2): the
 * set-up, AT+CMGS (the quoted number is appended), in the place of the step before SS_STEP_DATA
 * (never begun: SS_STEP_DATA follows the command of SS_STEP_CMGS) the AT+CSMP that asks for
 * delivery reports, and ESC for SS_STEP_ESC. The set-up runs before every
 * message, so that a restarted modem or another module's settings never get in the way; it routes
 * as the SMS Receive module does: stored messages announced by +CMTI, status reports delivered as
 * +CDS (only sent by the network for messages that asked for one). */
static const char* const kCmds[] = {"AT+CMGF=1", "AT+CSCS=\"IRA\"", "AT+CSMP=17,167,0,0", "AT+CNMI=2,1,0,1,0", "AT+CMGS=",
                                    "AT+CSMP=49,167,0,0", "\x1B"};
#define SS_CMD_REPORT 5u /* index of the AT+CSMP that asks for reports */
/* One spec for every command: only AT+CMGS answers with the prompt. (No command has a line
 * handler: the "+CMGS: <mr>" answer reaches the subscription.) */
static const GSM_Prompt_CmdSpec kCmdSpec = {NULL, GSM_SMSSEND_PROMPT_TIMEOUT_MS, GSM_PROMPT_CMD_DATA_PROMPT};
/* ("+CDS:" keeps its colon: "+CDSI:" announces a stored report, which is not delivered here) */
static const char* const kPrefixes[] = {"+CDS:", "+CMGS", NULL};

/* Claims the prompt and begins the command `cmd` (without a line handler). */
static bool beginCommand(GSM_Prompt_Interface* p, GSM_SmsSend_Instance* inst, const GSM_Prompt_CmdSpec* spec,
                         const char* cmd)
{
#if defined(__AVR__)
    /* (gsmPromptHelperBeginP takes its text from program memory there; these texts are in RAM,
     * shared with SMS Read) */
    if (!gsmPromptClaim(p, inst) || !gsmPromptCmdBegin(p, inst, spec, NULL, NULL))
    {
        return false;
    }
    gsmPromptCmdAppend(p, cmd);
    return true;
#else
    return gsmPromptHelperBeginP(p, inst, spec, cmd);
#endif
}

/* Ends the send with SendFailed (reason Cancelled after gsmSmsSendCancel; the error number for
 * ErrorResponse) or SendSuccess. */
static GSM_NOINLINE_32 void finish(GSM_SmsSend_Instance* inst, uint8_t reason)
{
    union
    {
        GSM_SmsSend_Event_SendFailed Failed;
        GSM_SmsSend_Event_SendSuccess Success;
    } ev;
    uint8_t fl = inst->Flags;
    GSM_SmsSend_EventType type = GSM_SmsSend_EventType_SendFailed;
    ev.Failed.ErrorCode = -1;
    if (reason == (uint8_t)GSM_SmsSend_FailReason_ErrorResponse)
    {
        ev.Failed.ErrorCode = gsmPromptCmdErrorCode(inst->Prompt);
    }
    gsmPromptRelease(inst->Prompt, inst);
    inst->Step = SS_STEP_IDLE;
    if ((fl & SS_F_CANCEL) != 0u)
    {
        reason = (uint8_t)GSM_SmsSend_FailReason_Cancelled;
    }
    inst->Flags = (uint8_t)(fl & SS_F_REPORTS); /* (also ends the command state) */
    ev.Failed.Reason = (GSM_SmsSend_FailReason)reason;
    if (reason == SS_SUCCESS)
    {
        uint_fast8_t i;
        if ((fl & SS_F_REPORTSET) != 0u)
        {
            /* the new reference goes to slot 0, the oldest one falls out */
            for (i = GSM_SMSSEND_REPORT_SLOTS - 1u; i != 0u; i--)
            {
                inst->ReportRef[i] = inst->ReportRef[i - 1u];
            }
            inst->ReportRef[0] = inst->MsgRef;
            inst->ReportUsed = (uint8_t)((inst->ReportUsed << 1) | 1u);
        }
        type = GSM_SmsSend_EventType_SendSuccess;
        ev.Success.MessageReference = inst->MsgRef;
    }
    if (inst->EventHandler != NULL)
    {
        inst->EventHandler(inst, type, &ev);
    }
}

/* The fields after <mr> of a "+CDS:" line (<mr> is given, 0..255), but the recipient: the callers
 * take that into their buffers each in its own way */
static GSM_ALWAYS_INLINE bool decodeCds(const char* line, uint16_t len, uint32_t mr,
                                        GSM_SmsSend_Event_DeliveryStatusReport* report)
{
    uint32_t st;
    uint16_t sl[3]; /* start [0] and length [2] of <dt>: a word apart, both addresses are cheap on Thumb */
    if (!gsmUtilFieldUint(line, len, 6u, &st) || (st > 255u))
    {
        return false;
    }
    report->MessageReference = (uint8_t)mr;
    report->Status = (uint8_t)st;
    report->Matched = false;
    /* some networks print other formats: the time is then left unknown (0; a failed conversion
     * leaves it unchanged) */
    report->DischargeTime = 0u;
    if (gsmUtilField(line, len, 5u, &sl[0], &sl[2], NULL))
    {
        (void)gsmUtilDateTimeToEpoch(&line[sl[0]], sl[2], &report->DischargeTime, NULL);
    }
    return true;
}

bool gsmSmsSendDecodeCds(const char* line, uint16_t len, GSM_SmsSend_Event_DeliveryStatusReport* report,
                         char* recipient_buf, uint16_t recipient_size)
{
    uint32_t mr;
    if ((report == NULL) || !gsmUtilStartsWith(line, len, "+CDS:") || !gsmUtilFieldUint(line, len, 1u, &mr) ||
        (mr > 255u) || !decodeCds(line, len, mr, report))
    {
        return false;
    }
    /* the recipient when it fits the buffer whole (with its terminator), else "" */
    report->Recipient = (gsmUtilFieldCopyCut(line, len, 2u, recipient_buf, recipient_size) == 1u) ? recipient_buf : "";
    return true;
}

/* "+CDS: <fo>,<mr>,..." delivery reports, and "+CMGS: <mr>", the answer of AT+CMGS after the text. */
static void onUrc(void* ctx, const char* line, uint16_t len)
{
    GSM_SmsSend_Instance* inst = (GSM_SmsSend_Instance*)ctx;
    GSM_SmsSend_Event_DeliveryStatusReport rep;
    char ra[GSM_SMSSEND_NUMBER_SIZE];
    uint32_t mr;
    uint_fast8_t i;
    uint_fast8_t bit;
    /* the field of <mr>: 0 in "+CMGS:", 1 in "+CDS:" (the subscription matched one of the two; the
     * fourth character tells them apart by its bit 4: 'G' 0x47, 'S' 0x53) */
    uint8_t f = (uint8_t)(((uint8_t)line[3] >> 4) & 1u);
    if (!gsmUtilFieldUint(line, len, f, &mr) || (mr > 255u))
    {
        GSM_DEBUG_TEXT("GSM SMS: malformed +CDS / +CMGS dropped\r\n");
        return;
    }
    if (f == 0u)
    {
        inst->MsgRef = (uint8_t)mr; /* (only the AT+CMGS of this module is answered so) */
        return;
    }
    if (!decodeCds(line, len, mr, &rep))
    {
        GSM_DEBUG_TEXT("GSM SMS: malformed +CDS dropped\r\n");
        return;
    }
    /* the recipient when it fits whole, else "": the copy of a missing field is "" itself, a cut one
     * (2) is emptied */
    rep.Recipient = ra;
    if (gsmUtilFieldCopyCut(line, len, 2u, ra, (uint16_t)sizeof(ra)) == 2u)
    {
        ra[0] = '\0';
    }
    /* Newest message with this reference first (slot 0 is the newest): <mr> wraps at 255. */
    for (bit = 1u, i = 0u; i < GSM_SMSSEND_REPORT_SLOTS; i++, bit <<= 1)
    {
        if (((inst->ReportUsed & bit) != 0u) && (inst->ReportRef[i] == rep.MessageReference))
        {
            rep.Matched = true;
            if ((uint_fast8_t)(rep.Status - 0x20u) > 0x1Fu) /* not Pending (32..63): a final report */
            {
                inst->ReportUsed &= (uint8_t)~bit;
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
    uint_fast8_t c = (uint_fast8_t)GSM_SmsSend_DeliveryStatusReportType_Unknown; /* (no report) */
    if (report != NULL)
    {
        /* 0..31 completed, 32..63 still trying, 64..127 given up (c 2, 3), 128..255 reserved (c 4..7) */
        c = (uint_fast8_t)(report->Status >> 5);
        if (c >= 2u)
        {
            c = (c >> 2) + 2u;
        }
    }
    return (GSM_SmsSend_DeliveryStatusReportType)c;
}

void gsmSmsSendInit(GSM_SmsSend_Instance* inst)
{
    GSM_Prompt_UrcSubscriber* urc;
    if (inst == NULL)
    {
        return;
    }
    inst->Step = SS_STEP_IDLE;
    inst->Flags = (GSM_SMSSEND_DELIVERY_REPORTS_DEFAULT != 0) ? SS_F_REPORTS : 0u;
    inst->MsgRef = 0u;
    inst->ReportUsed = 0u;
    urc = &inst->Urc;
    urc->Prefixes = kPrefixes;
    urc->Handler = &onUrc;
    urc->Context = inst;
    gsmPromptUrcSubscribe(inst->Prompt, urc);
}

/* Takes the number (optional '+', then 1..20 digits) and the text with LF line breaks; false when
 * the number is not valid or the text is not one GSM 7-bit message. */
static bool takeMessage(GSM_SmsSend_Instance* inst, const char* num, const char* src)
{
    uint_fast8_t septets = 0u; /* (at most GSM_SMSSEND_MAX_SEPTETS + 2) */
    uint_fast8_t n = 0u;
    char* d = inst->Number;
    char c;
    if (*num == '+')
    {
        *d++ = *num++;
    }
    /* the digits with the terminator */
    while ((d[n] = (c = num[n])) != '\0')
    {
        if (((uint8_t)(c - '0') > 9u) || (n >= 20u))
        {
            return false;
        }
#if GSM_SMSSEND_NUMBER_SIZE < 22u
        /* (a '+' and 20 digits always fit a larger buffer) */
        if (&d[n] >= &inst->Number[GSM_SMSSEND_NUMBER_SIZE - 1u])
        {
            return false;
        }
#endif
        n++;
    }
    if (n == 0u)
    {
        return false;
    }
    d = inst->Text;
    while ((c = *src++) != '\0')
    {
        if (c == '\r')
        {
            if (*src == '\n')
            {
                continue; /* CR LF: the LF follows */
            }
            c = '\n';
        }
        /* [ \ ] ^ (0x5B..0x5E) and { | } ~ (0x7B..0x7E) are in the GSM 7-bit alphabet's escape
         * table: they take two characters each. Clearing bit 5 maps the second range onto the first. */
        septets += ((uint8_t)(((uint8_t)c & 0xDFu) - 0x5Bu) < 4u) ? 2u : 1u;
        if (((c != '\n') && ((c < 0x20) || (c > 0x7E) || (c == '`'))) || (septets > GSM_SMSSEND_MAX_SEPTETS))
        {
            return false;
        }
#if (GSM_SMSSEND_TEXT_SIZE - 1u) < GSM_SMSSEND_MAX_SEPTETS
        if (d >= &inst->Text[GSM_SMSSEND_TEXT_SIZE - 1u]) /* (every byte is at least one septet: a full-size buffer needs no check) */
        {
            return false;
        }
#endif
        *d++ = c;
    }
    inst->TextLen = (uint8_t)(d - inst->Text);
    return true;
}

bool gsmSmsSend(GSM_SmsSend_Instance* inst, char* phoneNumber, char* textBody)
{
    uint8_t fl;
    if ((inst == NULL) || (inst->Prompt == NULL) || (phoneNumber == NULL) || (textBody == NULL) || (inst->Step != SS_STEP_IDLE) ||
        !takeMessage(inst, phoneNumber, textBody))
    {
        return false;
    }
    inst->Deadline_ms = gsm__SysTime_ms() + GSM_SMSSEND_REGISTRATION_TIMEOUT_MS;
    /* the report setting of this message is taken now */
    fl = (uint8_t)(inst->Flags & SS_F_REPORTS);
    inst->Flags = (uint8_t)(fl | (fl << 1)); /* SS_F_REPORTSET */
    inst->Step = SS_STEP_WAIT_REG; /* (the first attempt waits for the next tick of the clock only when
                                      MsgRef, the last message's reference, happens to equal this one) */
    return true;
}

void gsmSmsSendCancel(GSM_SmsSend_Instance* inst)
{
    /* (when idle the flag stays without effect: gsmSmsSend starts with fresh flags) */
    if ((inst != NULL) && (inst->Step != SS_STEP_DATA))
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
    uint8_t st; /* GSM_Prompt_CmdStatus (a byte: shorter tests on AVR) */
    uint8_t step;
    uint_fast8_t i;
    uint8_t reason = (uint8_t)GSM_SmsSend_FailReason_Cancelled;
    if ((inst == NULL) || (inst->Step == SS_STEP_IDLE))
    {
        return;
    }
    p = inst->Prompt;
    step = inst->Step;
    if (((inst->Flags & SS_F_CANCEL) != 0u) && (step <= SS_STEP_CMGS))
    {
        /* AT+CMGS was not sent yet (the release drops a late OK) */
    }
    else if (step == SS_STEP_WAIT_REG)
    {
        /* (the set-up returns here after a refusal, time-out or restart, and goes again in a later
         * tick: past the waiting time, nothing was sent, so the send fails as not registered) */
        uint32_t now = gsm__SysTime_ms();
        if (!GSM_TIME_REACHED(now, inst->Deadline_ms))
        {
            uint8_t tick = (uint8_t)(now >> 10);
            if ((tick != inst->MsgRef) && gsmBasicCommsIfEstablished(inst->BasicComms) &&
                ((inst->NetworkRegistration == NULL) || gsmNetworkRegistrationIfIsRegisteredForSms(inst->NetworkRegistration)))
            {
                /* (at most one attempt per 1024 ms tick: MsgRef keeps the tick of this one until
                 * "+CMGS:" sets it) */
                inst->MsgRef = tick;
                inst->Step = SS_STEP_SETUP;
            }
            return; /* (else still waiting) */
        }
        reason = (uint8_t)GSM_SmsSend_FailReason_NotRegistered;
    }
    else if ((step & 1u) == 0u)
    {
        /* The command of the step; AT+CMGS gets the quoted number. */
        i = (uint_fast8_t)((step >> 1) - (SS_STEP_SETUP >> 1));
        if ((step == (SS_STEP_SETUP + 4u)) && ((inst->Flags & SS_F_REPORTSET) != 0u))
        {
            i = SS_CMD_REPORT; /* AT+CSMP=49: this message asks for a report */
        }
        if (beginCommand(p, inst, &kCmdSpec, kCmds[i]))
        {
            if (step == SS_STEP_CMGS)
            {
                gsmPromptCmdAppendQuoted(p, inst->Number);
            }
            gsmPromptCmdSend(p);
            inst->Step = (uint8_t)(step + 1u);
        }
        return;
    }
    else
    {
        /* the result of the command begun in the step before */
        st = (uint8_t)gsmPromptCmdStatus(p, inst);
        if (st == GSM_Prompt_CmdStatus_Pending)
        {
            return;
        }
        if (step == (SS_STEP_ESC + 1u))
        {
            reason = (uint8_t)GSM_SmsSend_FailReason_NoPrompt;
        }
        else if (st == GSM_Prompt_CmdStatus_DataPrompt)
        {
            if ((inst->Flags & SS_F_CANCEL) == 0u)
            {
                if (gsmPromptDataSend(p, inst, (const uint8_t*)inst->Text, inst->TextLen, GSM_PROMPT_DATA_CTRL_Z,
                                      GSM_SMSSEND_RESULT_TIMEOUT_MS))
                {
                    inst->Step = SS_STEP_DATA; /* too late to cancel from now on */
                }
                return;
            }
            /* (the release of finish() writes ESC: the modem drops the message) */
        }
        else if (st == GSM_Prompt_CmdStatus_Ok)
        {
            if (step < SS_STEP_CMGS)
            {
                inst->Step = (uint8_t)(step + 1u);
                return;
            }
            reason = SS_SUCCESS;
        }
        else if ((step == (SS_STEP_CMGS + 1u)) && (st == GSM_Prompt_CmdStatus_Timeout))
        {
            /* The prompt may have been lost on the line while the modem waits for text: ESC ends that. */
            inst->Step = SS_STEP_ESC;
            return;
        }
        else if (step < SS_STEP_DATA)
        {
            /* Nothing was sent yet: the set-up or AT+CMGS was refused for now (text mode is not ready
             * before "SMS Ready" / "SMS DONE": +CMS ERROR: 302 or ERROR), timed out or cut by a
             * restart. It starts over once the modem is there again, in the next tick of the clock.
             * Any other +CMS ERROR (a number or parameter the modem rejects, no service centre, SIM
             * busy) fails the send with its number. */
            if ((st != GSM_Prompt_CmdStatus_CmsError) || (gsmPromptCmdErrorCode(p) == 302))
            {
                gsmPromptRelease(p, inst);
                inst->Step = SS_STEP_WAIT_REG;
                return;
            }
            reason = (uint8_t)GSM_SmsSend_FailReason_ErrorResponse;
        }
        else if (GSM_PROMPT_STATUS_IS_ERROR(st))
        {
            reason = (uint8_t)GSM_SmsSend_FailReason_ErrorResponse;
        }
        else
        {
            reason = (st == GSM_Prompt_CmdStatus_Timeout) ? (uint8_t)GSM_SmsSend_FailReason_NoResult
                                                          : (uint8_t)GSM_SmsSend_FailReason_CommsLost;
        }
    }
    finish(inst, reason);
}
