/*
 * GSM_SMS_Send.c - text-mode SMS send state machine and "+CDS:" delivery reports.
 *
 * A send runs one command at a time through the prompt helper: the set-up commands of the session
 * (once), "AT+CMGS=..." up to its "> " prompt, then the text with Ctrl-Z and the final result.
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
    SS_STEP_SETUP,    /* first of the 4 set-up commands of the session */
    SS_STEP_CMGS = SS_STEP_SETUP + 4, /* AT+CMGS sent, waiting for the prompt */
    SS_STEP_DATA,     /* text written, waiting for +CMGS / error */
    SS_STEP_ESC       /* leaving a data entry that may be open after a lost prompt */
};

#define SS_F_CANCEL    0x01u /* gsmSmsSendCancel() was called */
#define SS_F_REPORTS   0x02u /* request delivery reports */
#define SS_F_SETUP_OK  0x04u /* set-up done in session SetupSession */
#define SS_F_REPORTSET 0x08u /* the set-up requested reports (AT+CSMP=49) */

#define SS_CMD_PREFIX_LEN 9u /* AT+CMGS=" */

static const GSM_Prompt_CmdSpec kSetupSpec = {NULL, 5000u, 0u};
static const GSM_Prompt_CmdSpec kCmgsSpec = {"+CMGS:", GSM_SMSSEND_PROMPT_TIMEOUT_MS, GSM_PROMPT_CMD_DATA_PROMPT};
static const GSM_Prompt_CmdSpec kEscSpec = {NULL, 1000u, 0u};
static const char* const kCdsPrefixes[] = {"+CDS:", NULL};

/* The same routing as the SMS Receive module uses: stored messages announced by +CMTI, status
 * reports delivered as +CDS (only sent by the network for messages that asked for one). NULL is
 * the AT+CSMP command, which depends on the report setting. */
static const char* const kSetupCmds[4] = {"AT+CMGF=1", "AT+CSCS=\"GSM\"", NULL, "AT+CNMI=2,1,0,1,0"};
static const char kCsmpReport[] = "AT+CSMP=49,167,0,0";
static const char kCsmpPlain[] = "AT+CSMP=17,167,0,0";
static const char kEsc[] = "\x1B";

static void finish(GSM_SmsSend_Instance* inst, GSM_SmsSend_EventType type, void* data)
{
    gsmPromptRelease(inst->Prompt, inst);
    inst->Step = SS_STEP_IDLE;
    inst->CmdState = 0u;
    inst->Flags = (uint8_t)(inst->Flags & (uint8_t)~SS_F_CANCEL);
    if (inst->EventHandler != NULL)
    {
        inst->EventHandler(inst, type, data);
    }
}

static void fail(GSM_SmsSend_Instance* inst, uint8_t reason, int16_t code)
{
    GSM_SmsSend_Event_SendFailed ev;
    ev.Reason = (GSM_SmsSend_FailReason)(((inst->Flags & SS_F_CANCEL) != 0u) ? (uint8_t)GSM_SmsSend_FailReason_Cancelled : reason);
    ev.ErrorCode = code;
    finish(inst, GSM_SmsSend_EventType_SendFailed, &ev);
}

/* Maps a final status that is not Ok to a failure. */
static void failFromStatus(GSM_SmsSend_Instance* inst, GSM_Prompt_CmdStatus st)
{
    if (gsmPromptHelperIsErrorStatus(st))
    {
        fail(inst, (uint8_t)GSM_SmsSend_FailReason_ErrorResponse, gsmPromptCmdErrorCode(inst->Prompt));
    }
    else
    {
        fail(inst, (st == GSM_Prompt_CmdStatus_Timeout) ? (uint8_t)GSM_SmsSend_FailReason_NoResult
                                                       : (uint8_t)GSM_SmsSend_FailReason_CommsLost,
             -1);
    }
}

static void succeed(GSM_SmsSend_Instance* inst)
{
    GSM_SmsSend_Event_SendSuccess ev;
    if ((inst->Flags & SS_F_REPORTSET) != 0u)
    {
        uint8_t slot = inst->ReportNext;
        inst->ReportRef[slot] = inst->MsgRef;
        inst->ReportUsed = (uint8_t)(inst->ReportUsed | (uint8_t)(1u << slot));
        inst->ReportNext = (uint8_t)((slot + 1u) % GSM_SMSSEND_REPORT_SLOTS);
    }
    ev.MessageReference = inst->MsgRef;
    finish(inst, GSM_SmsSend_EventType_SendSuccess, &ev);
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
    uint32_t dt = 0u;
    uint16_t s;
    uint16_t l;
    if ((report == NULL) || !gsmUtilStartsWith(line, len, "+CDS:") || !gsmUtilFieldUint(line, len, 1u, &mr) ||
        !gsmUtilFieldUint(line, len, 6u, &st) || (mr > 255u) || (st > 255u))
    {
        return false;
    }
    report->MessageReference = (uint8_t)mr;
    report->Status = (uint8_t)st;
    report->Matched = false;
    report->Recipient = gsmUtilFieldCopy(line, len, 2u, recipient_buf, recipient_size) ? recipient_buf : "";
    if (gsmUtilField(line, len, 5u, &s, &l, NULL) && !gsmUtilDateTimeToEpoch(&line[s], l, &dt, NULL))
    {
        dt = 0u; /* some networks print other formats: left unknown */
    }
    report->DischargeTime = dt;
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
    /* Newest message with this reference first: <mr> wraps at 255. */
    for (i = 0u; i < GSM_SMSSEND_REPORT_SLOTS; i++)
    {
        uint8_t slot = (uint8_t)((inst->ReportNext + GSM_SMSSEND_REPORT_SLOTS - 1u - i) % GSM_SMSSEND_REPORT_SLOTS);
        uint8_t bit = (uint8_t)(1u << slot);
        if (((inst->ReportUsed & bit) != 0u) && (inst->ReportRef[slot] == rep.MessageReference))
        {
            rep.Matched = true;
            if (gsmSmsSendGetDeliveryStatusReportType(&rep) != GSM_SmsSend_DeliveryStatusReportType_Pending)
            {
                inst->ReportUsed = (uint8_t)(inst->ReportUsed & (uint8_t)~bit); /* final report */
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
    if ((report == NULL) || (report->Status >= 128u))
    {
        return GSM_SmsSend_DeliveryStatusReportType_Unknown;
    }
    /* 0..31 completed, 32..63 still trying, 64..127 given up */
    return (report->Status >= 64u) ? GSM_SmsSend_DeliveryStatusReportType_Failed
                                   : (GSM_SmsSend_DeliveryStatusReportType)(report->Status >> 5);
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
    inst->ReportNext = 0u;
    inst->Urc.Prefixes = kCdsPrefixes;
    inst->Urc.Handler = &onCdsUrc;
    inst->Urc.Context = inst;
    gsmPromptUrcSubscribe(inst->Prompt, &inst->Urc);
}

/* Builds "AT+CMGS=\"<number>\"": optional '+', then 1..20 digits. */
static bool setNumber(char* cmd, const char* src)
{
    static const char kPrefix[] = "AT+CMGS=\"";
    uint8_t n;
    uint8_t digits = 0u;
    for (n = 0u; n < SS_CMD_PREFIX_LEN; n++)
    {
        cmd[n] = kPrefix[n];
    }
    if (*src == '+')
    {
        cmd[n++] = *src++;
    }
    while (*src != '\0')
    {
        if ((*src < '0') || (*src > '9') || (digits >= 20u) || (n >= (GSM_SMSSEND_NUMBER_SIZE + SS_CMD_PREFIX_LEN - 1u)))
        {
            return false;
        }
        cmd[n++] = *src++;
        digits++;
    }
    cmd[n] = '"';
    cmd[n + 1u] = '\0';
    return digits > 0u;
}

/* [ \ ] ^ (0x5B..0x5E) and { | } ~ (0x7B..0x7E) are in the GSM 7-bit alphabet's escape table: they
 * take two characters each. Clearing bit 5 maps the second range onto the first. */
static bool isEscapeTableChar(char c)
{
    return (uint8_t)(((uint8_t)c & 0xDFu) - 0x5Bu) < 4u;
}

/* Copies the text with LF line breaks; false when it is not one GSM 7-bit message. */
static bool setText(GSM_SmsSend_Instance* inst, const char* src)
{
    uint16_t septets = 0u;
    uint16_t n = 0u;
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
        septets = (uint16_t)(septets + (isEscapeTableChar(c) ? 2u : 1u));
        if ((septets > GSM_SMSSEND_MAX_SEPTETS) || (n >= (GSM_SMSSEND_TEXT_SIZE - 1u)))
        {
            return false;
        }
        inst->Text[n++] = c;
    }
    inst->Text[n] = '\0';
    inst->TextLen = (uint8_t)n;
    return true;
}

bool gsmSmsSend(GSM_SmsSend_Instance* inst, char* phoneNumber, char* textBody)
{
    if ((inst == NULL) || (phoneNumber == NULL) || (textBody == NULL) || (inst->Step != SS_STEP_IDLE) ||
        !setNumber(inst->Cmd, phoneNumber) || !setText(inst, textBody))
    {
        return false;
    }
    inst->Step = SS_STEP_WAIT_REG;
    inst->CmdState = 0u;
    inst->Flags = (uint8_t)(inst->Flags & (uint8_t)~SS_F_CANCEL);
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

static void stepWaitRegistration(GSM_SmsSend_Instance* inst)
{
    bool wanted = (inst->Flags & SS_F_REPORTS) != 0u;
    if ((inst->Flags & SS_F_CANCEL) != 0u)
    {
        fail(inst, (uint8_t)GSM_SmsSend_FailReason_Cancelled, -1);
    }
    else if (gsmBasicCommsIfEstablished(inst->BasicComms) &&
             ((inst->NetworkRegistration == NULL) || gsmNetworkRegistrationIfIsRegisteredForSms(inst->NetworkRegistration)))
    {
        /* the set-up is repeated in a new session and when the report setting changed */
        inst->Step = (((inst->Flags & SS_F_SETUP_OK) != 0u) && (inst->SetupSession == gsmBasicCommsIfSession(inst->BasicComms)) &&
                      (wanted == ((inst->Flags & SS_F_REPORTSET) != 0u)))
                         ? (uint8_t)SS_STEP_CMGS
                         : (uint8_t)SS_STEP_SETUP;
        inst->CmdState = 0u;
    }
    else if (GSM_TIME_REACHED(gsm__SysTime_ms(), inst->Deadline_ms))
    {
        fail(inst, (uint8_t)GSM_SmsSend_FailReason_NotRegistered, -1);
    }
}

void gsmSmsSendPoll(GSM_SmsSend_Instance* inst)
{
    GSM_Prompt_CmdStatus st;
    const char* cmd;
    const GSM_Prompt_CmdSpec* spec = &kSetupSpec;
    uint8_t step;
    if ((inst == NULL) || (inst->Step == SS_STEP_IDLE))
    {
        return;
    }
    step = inst->Step;
    if (step == SS_STEP_WAIT_REG)
    {
        stepWaitRegistration(inst);
        return;
    }
    if (step == SS_STEP_DATA)
    {
        st = gsmPromptCmdStatus(inst->Prompt, inst);
        if (st == GSM_Prompt_CmdStatus_Ok)
        {
            succeed(inst);
        }
        else if (st != GSM_Prompt_CmdStatus_Pending)
        {
            failFromStatus(inst, st);
        }
        return;
    }
    if (((inst->Flags & SS_F_CANCEL) != 0u) && (step < SS_STEP_CMGS))
    {
        fail(inst, (uint8_t)GSM_SmsSend_FailReason_Cancelled, -1); /* the release drops a late OK */
        return;
    }
    if (step == SS_STEP_CMGS)
    {
        cmd = inst->Cmd;
        spec = &kCmgsSpec;
    }
    else if (step == SS_STEP_ESC)
    {
        cmd = kEsc;
        spec = &kEscSpec;
    }
    else
    {
        cmd = kSetupCmds[step - SS_STEP_SETUP];
        if (cmd == NULL)
        {
            cmd = ((inst->Flags & SS_F_REPORTS) != 0u) ? kCsmpReport : kCsmpPlain;
        }
    }
    st = gsmPromptHelperExec(inst->Prompt, inst, &inst->CmdState, cmd, spec, &onCmgsLine, inst);
    if (st == GSM_Prompt_CmdStatus_Pending)
    {
        return;
    }
    if (step == SS_STEP_ESC)
    {
        fail(inst, inst->Fail, -1);
    }
    else if (st == GSM_Prompt_CmdStatus_DataPrompt)
    {
        if ((inst->Flags & SS_F_CANCEL) != 0u)
        {
            gsmPromptCmdAbort(inst->Prompt, inst); /* writes ESC: the modem drops the message */
            fail(inst, (uint8_t)GSM_SmsSend_FailReason_Cancelled, -1);
        }
        else if (gsmPromptDataSend(inst->Prompt, inst, (const uint8_t*)inst->Text, inst->TextLen, GSM_PROMPT_DATA_CTRL_Z,
                                   GSM_SMSSEND_RESULT_TIMEOUT_MS))
        {
            inst->Step = SS_STEP_DATA; /* too late to cancel from now on */
        }
    }
    else if (st == GSM_Prompt_CmdStatus_Ok)
    {
        inst->Step++;
        if (inst->Step == SS_STEP_CMGS)
        {
            inst->SetupSession = gsmBasicCommsIfSession(inst->BasicComms);
            inst->Flags = (uint8_t)((inst->Flags & (uint8_t)~SS_F_REPORTSET) | SS_F_SETUP_OK |
                                    (((inst->Flags & SS_F_REPORTS) != 0u) ? SS_F_REPORTSET : 0u));
        }
    }
    else if ((step == SS_STEP_CMGS) && (st == GSM_Prompt_CmdStatus_Timeout))
    {
        /* The prompt may have been lost on the line while the modem waits for text: ESC ends that. */
        inst->Fail = (uint8_t)GSM_SmsSend_FailReason_NoPrompt;
        inst->Step = SS_STEP_ESC;
    }
    else if ((step < SS_STEP_CMGS) && !gsmPromptHelperIsErrorStatus(st) && !GSM_TIME_REACHED(gsm__SysTime_ms(), inst->Deadline_ms))
    {
        /* Set-up time-out or restart: nothing was sent yet, wait for the modem again. */
        gsmPromptRelease(inst->Prompt, inst);
        inst->Step = SS_STEP_WAIT_REG;
    }
    else
    {
        failFromStatus(inst, st);
    }
}
