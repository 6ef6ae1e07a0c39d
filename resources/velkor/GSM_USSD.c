/*
 * GSM_USSD.c - "AT+CUSD" requests, the "+CUSD:" answer (also across several lines), sessions.
 */
#include "GSM_USSD.h"
#include "GSM_Required_Externals.h"
#include "GSM_Util.h"
#include "GSM_Prompt_Helper.h"

#if (GSM_USSD_PAYLOAD_SIZE < 2u) || (GSM_USSD_PAYLOAD_SIZE > 200u)
#error "GSM_USSD_PAYLOAD_SIZE must be 2..200"
#endif
#if (GSM_USSD_RESPONSE_SIZE < 2u) || (GSM_USSD_RESPONSE_SIZE > 4096u)
#error "GSM_USSD_RESPONSE_SIZE must be 2..4096"
#endif

enum
{
    US_STEP_IDLE = 0,
    US_STEP_WAIT_REG,  /* request waits for the registration */
    US_STEP_SEND,      /* AT+CUSD=1,"<code>",15 */
    US_STEP_WAIT_RESP, /* accepted, waiting for +CUSD */
    US_STEP_MENU,      /* session open, waiting for the application's reply */
    US_STEP_CANCEL     /* AT+CUSD=2, then the event of Outcome */
};

#define US_F_READY  0x01u /* a complete +CUSD answer waits in Response */
#define US_F_CONT   0x02u /* inside a multi-line +CUSD text */
#define US_F_TRUNC  0x04u /* the answer text was cut */
#define US_F_CANCEL 0x08u /* gsmUssdCancelSession() while the request was not yet accepted */
#define US_F_CR     0x10u /* multi-line text: the last byte was CR */
#define US_F_QUOTE  0x20u /* multi-line text: the closing quote came, ",<dcs>" up to the line end follows */
#define US_F_HEAD   0x40u /* decodeLine: the line has a valid "+CUSD: <m>" */

#define US_NONE 0xFFu

static const GSM_Prompt_CmdSpec kCusdSpec = {NULL, 5000u, 0u};
static const char kCusdSend[] GSM_PGM = "AT+CUSD=1,";
static const char kCusdCancel[] GSM_PGM = "AT+CUSD=2";
static const char* const kCusdPrefixes[] = {"+CUSD:", NULL};

/*
 * One byte of a quoted text, from the byte after the opening quote on (US_F_CONT set) to the line
 * end after the closing quote (US_F_CONT cleared). Line breaks inside the text (CR LF, CR, LF)
 * become LF, other control bytes are dropped; the text is cut to the buffer (US_F_TRUNC). After the
 * closing quote (US_F_QUOTE) the digits of ",<dcs>" are read into *dcs. Returns the new flags.
 */
static uint8_t textByte(char* buf, uint16_t size, uint16_t* blen, uint8_t* dcs, uint8_t fl, uint8_t c)
{
    bool cr = (fl & US_F_CR) != 0u;
    fl = (uint8_t)(fl & (uint8_t)~US_F_CR);
    if ((fl & US_F_QUOTE) != 0u)
    {
        if ((c == (uint8_t)'\r') || (c == (uint8_t)'\n'))
        {
            fl = (uint8_t)(fl & (uint8_t)~US_F_CONT);
        }
        else if ((c >= (uint8_t)'0') && (c <= (uint8_t)'9'))
        {
            uint16_t v = (uint16_t)((((*dcs == US_NONE) ? 0u : *dcs) * 10u) + (uint16_t)(c - (uint8_t)'0'));
            *dcs = (v < US_NONE) ? (uint8_t)v : (uint8_t)(US_NONE - 1u);
        }
        else
        {
            /* the comma before <dcs> */
        }
        return fl;
    }
    if (c == (uint8_t)'"')
    {
        return (uint8_t)(fl | US_F_QUOTE);
    }
    if (c == (uint8_t)'\r')
    {
        fl |= US_F_CR;
        c = (uint8_t)'\n';
    }
    else if (c == (uint8_t)'\n')
    {
        if (cr)
        {
            return fl; /* second half of CR LF */
        }
    }
    else if ((c < 0x20u) || (c > 0x7Eu))
    {
        return fl;
    }
    else
    {
        /* text character */
    }
    if ((uint16_t)(*blen + 1u) < size)
    {
        buf[(*blen)++] = (char)c;
        buf[*blen] = '\0';
    }
    else
    {
        fl |= US_F_TRUNC;
    }
    return fl;
}

/*
 * Decodes "+CUSD: <m>[,\"<str>\",<dcs>]" up to the end of this line: *m (US_NONE when missing or
 * above 254), the text on the line into buf, the <dcs> after its closing quote. Returns the textByte
 * flags (US_F_CONT: the line end is still to come; without a text the closing quote counts as seen)
 * and US_F_HEAD when the line starts with "+CUSD: <m>".
 */
static uint8_t decodeLine(const char* line, uint16_t len, uint8_t* m, char* buf, uint16_t size, uint16_t* blen, uint8_t* dcs)
{
    uint16_t i = 6u;
    uint32_t v;
    uint8_t fl = US_F_CONT | US_F_QUOTE;
    *blen = 0u;
    buf[0] = '\0';
    *dcs = US_NONE;
    *m = US_NONE;
    /* <m> is the first field: a number (the text, when present, follows it) */
    if (gsmUtilStartsWith(line, len, "+CUSD:") && ((gsmUtilUintFields(line, len, &v, 1u) & ~GSM_UTIL_FIELDS_MORE) != 0u))
    {
        fl |= US_F_HEAD;
        if (v < US_NONE)
        {
            *m = (uint8_t)v;
        }
        while (i < len)
        {
            if (line[i++] == '"')
            {
                fl = US_F_HEAD | US_F_CONT;
                break;
            }
        }
        while (i < len)
        {
            fl = textByte(buf, size, blen, dcs, fl, (uint8_t)line[i++]);
        }
    }
    return fl;
}

bool gsmUssdDecodeCusd(const char* line, uint16_t len, uint8_t* m, char* text, uint16_t text_size, uint16_t* text_len,
                       uint8_t* dcs, bool* truncated)
{
    uint8_t fl;
    if ((m == NULL) || (text == NULL) || (text_size == 0u) || (text_len == NULL) || (dcs == NULL) || (truncated == NULL))
    {
        return false;
    }
    fl = decodeLine(line, len, m, text, text_size, text_len, dcs);
    /* cut, or the text did not end on this line */
    *truncated = (fl & (US_F_TRUNC | US_F_QUOTE)) != US_F_QUOTE;
    return (fl & US_F_HEAD) != 0u;
}

/* Text bytes into Response; true when the line end after the closing quote was reached. */
static bool feedText(GSM_USSD_Instance* inst, const uint8_t* data, uint16_t len)
{
    uint16_t i;
    for (i = 0u; i < len; i++)
    {
        inst->Flags = textByte(inst->Response, (uint16_t)sizeof(inst->Response), &inst->RespLen, &inst->RespDcs, inst->Flags, data[i]);
        if ((inst->Flags & US_F_CONT) == 0u)
        {
            inst->Flags |= US_F_READY;
            return true;
        }
    }
    return false;
}

/* Raw bytes of a quoted text that went on past its first line, one at a time: the receiver stays in
 * binary mode up to the line end after the closing quote, so empty lines, "OK", "ERROR" and URC-like
 * lines inside the text are text. */
static void onCusdRaw(void* ctx, const uint8_t* data, uint16_t len, uint16_t remaining)
{
    GSM_USSD_Instance* inst = (GSM_USSD_Instance*)ctx;
    (void)remaining;
    if (!feedText(inst, data, len))
    {
        gsmPromptBinaryExpect(inst->Prompt, 1u, &onCusdRaw, inst);
    }
}

/* A malformed "+CUSD:" line is reported too (Status Invalid). */
static void onCusdLine(void* ctx, const char* line, uint16_t len)
{
    GSM_USSD_Instance* inst = (GSM_USSD_Instance*)ctx;
    uint8_t fl = decodeLine(line, len, &inst->RespM, inst->Response, (uint16_t)sizeof(inst->Response), &inst->RespLen, &inst->RespDcs);
    inst->ContStart_ms = (uint16_t)gsm__SysTime_ms();
    inst->Flags = (uint8_t)((inst->Flags & (uint8_t) ~(US_F_TRUNC | US_F_CR | US_F_QUOTE | US_F_CONT)) | (fl & (uint8_t)~US_F_HEAD));
    /* the line end; when the text goes on, the rest comes raw */
    onCusdRaw(inst, (const uint8_t*)"\n", 1u, 0u);
}

static void raiseEvent(GSM_USSD_Instance* inst, GSM_USSD_EventType type, uint8_t status, int16_t code)
{
    GSM_USSD_Event_UssdResponse ev;
    ev.Status = (GSM_USSD_Status)status;
    ev.Text = inst->Response;
    ev.TextLength = inst->RespLen;
    ev.Dcs = inst->RespDcs;
    ev.Truncated = (inst->Flags & US_F_TRUNC) != 0u;
    ev.ErrorCode = code;
    if (inst->EventHandler != NULL)
    {
        inst->EventHandler(inst, type, &ev);
    }
}

/* Ends the request / session with an event that carries no network text: UssdCancelled for a
 * cancel and for a menu session lost with the modem, UssdResponse otherwise. */
static void finish(GSM_USSD_Instance* inst, uint8_t status, int16_t code)
{
    GSM_USSD_EventType type = ((status == (uint8_t)GSM_USSD_Status_Cancelled) ||
                               ((status == (uint8_t)GSM_USSD_Status_CommsLost) && (inst->Step == US_STEP_MENU)))
                                  ? GSM_USSD_EventType_UssdCancelled
                                  : GSM_USSD_EventType_UssdResponse;
    gsmPromptRelease(inst->Prompt, inst);
    inst->Step = US_STEP_IDLE;
    inst->CmdState = 0u;
    inst->RespLen = 0u;
    inst->Response[0] = '\0';
    inst->RespDcs = US_NONE;
    inst->Flags &= (uint8_t)~(US_F_CANCEL | US_F_TRUNC);
    raiseEvent(inst, type, status, code);
}

static void startCancel(GSM_USSD_Instance* inst, uint8_t outcome)
{
    gsmPromptRelease(inst->Prompt, inst);
    inst->Outcome = outcome;
    inst->Step = US_STEP_CANCEL;
    inst->CmdState = 0u;
}

void gsmUssdInit(GSM_USSD_Instance* inst)
{
    if (inst == NULL)
    {
        return;
    }
    inst->Step = US_STEP_IDLE;
    inst->CmdState = 0u;
    inst->Flags = 0u;
    inst->RespLen = 0u;
    inst->Response[0] = '\0';
    inst->PowerStartCount = gsmPowerIfStartCount(inst->Power);
    inst->Urc.Prefixes = kCusdPrefixes;
    inst->Urc.Handler = &onCusdLine;
    inst->Urc.Context = inst;
    gsmPromptUrcSubscribe(inst->Prompt, &inst->Urc);
}

/* The running AT+CUSD=1,"<code>",15 / AT+CUSD=2 command. Returns the status to finish with (the
 * claim is still held then, so that the error number can be read), or US_NONE to go on. */
static uint8_t stepCommand(GSM_USSD_Instance* inst, uint32_t now)
{
    GSM_Prompt_Interface* p = inst->Prompt;
    GSM_Prompt_CmdStatus st;
    bool cancel = (inst->Flags & US_F_CANCEL) != 0u;
    bool sending = inst->Step == US_STEP_SEND;
    if (!sending)
    {
        inst->Flags &= (uint8_t)~US_F_READY; /* answers to the cancel itself */
    }
    if (inst->CmdState == 0u)
    {
        if (sending && cancel)
        {
            return (uint8_t)GSM_USSD_Status_Cancelled;
        }
        if (gsmPromptHelperBeginP(p, inst, &kCusdSpec, sending ? kCusdSend : kCusdCancel))
        {
            if (sending)
            {
                gsmPromptCmdAppendQuoted(p, inst->Payload);
                gsmPromptCmdAppend(p, ",15");
            }
            gsmPromptCmdSend(p);
            inst->CmdState = 1u;
        }
        return US_NONE;
    }
    st = gsmPromptCmdStatus(p, inst);
    if (st == GSM_Prompt_CmdStatus_Pending)
    {
        return US_NONE;
    }
    inst->CmdState = 0u;
    if (!sending)
    {
        return inst->Outcome;
    }
    if (st == GSM_Prompt_CmdStatus_Ok)
    {
        gsmPromptRelease(p, inst);
        inst->Step = US_STEP_WAIT_RESP;
        inst->Timer_ms = now + (gsmNetworkRegistrationIfIsLte(inst->NetworkRegistration) ? (2u * GSM_USSD_RESPONSE_TIMEOUT_MS)
                                                                                           : GSM_USSD_RESPONSE_TIMEOUT_MS);
        if (inst->EventHandler != NULL)
        {
            inst->EventHandler(inst, GSM_USSD_EventType_UssdSent, NULL);
        }
        if (cancel && (inst->Step == US_STEP_WAIT_RESP))
        {
            inst->Flags &= (uint8_t)~US_F_CANCEL;
            startCancel(inst, (uint8_t)GSM_USSD_Status_Cancelled);
        }
        return US_NONE;
    }
    if (cancel)
    {
        return (uint8_t)GSM_USSD_Status_Cancelled;
    }
    if (st == GSM_Prompt_CmdStatus_Timeout)
    {
        startCancel(inst, (uint8_t)GSM_USSD_Status_NoResponse); /* the request may be on its way */
        return US_NONE;
    }
    /* the modem's error (code -1 for a plain ERROR), or Aborted / Idle: the session was reset */
    return gsmPromptHelperIsErrorStatus(st) ? (uint8_t)GSM_USSD_Status_ErrorResponse : (uint8_t)GSM_USSD_Status_CommsLost;
}

void gsmUssdPoll(GSM_USSD_Instance* inst)
{
    uint32_t now;
    uint8_t step;
    uint8_t status = US_NONE;
    if ((inst == NULL) || (inst->Prompt == NULL))
    {
        return;
    }
    now = gsm__SysTime_ms();
    if (((inst->Flags & US_F_CONT) != 0u) && ((uint16_t)((uint16_t)now - inst->ContStart_ms) >= GSM_USSD_CONTINUATION_MS))
    {
        /* the closing quote never came: back to line mode */
        gsmPromptBinaryCancel(inst->Prompt, &onCusdRaw);
        inst->Flags = (uint8_t)((inst->Flags & (uint8_t)~(US_F_CONT | US_F_QUOTE)) | US_F_READY | US_F_TRUNC);
    }
    step = inst->Step;
    if (gsmPowerIfRestarted(inst->Power, &inst->PowerStartCount))
    {
        if ((step == US_STEP_WAIT_RESP) || (step == US_STEP_MENU))
        {
            finish(inst, (uint8_t)GSM_USSD_Status_CommsLost, -1);
            step = US_STEP_IDLE;
        }
    }
    if ((step == US_STEP_SEND) || (step == US_STEP_CANCEL))
    {
        status = stepCommand(inst, now);
    }
    else
    {
        if ((inst->Flags & US_F_READY) != 0u)
        {
            /* The answer decides the session state, except while a request waits for the registration:
             * then it is network-initiated, not the answer to that request. */
            uint8_t m = inst->RespM;
            inst->Flags &= (uint8_t)~US_F_READY;
            if (step != US_STEP_WAIT_REG)
            {
                inst->Step = (m == 1u) ? US_STEP_MENU : US_STEP_IDLE;
            }
            raiseEvent(inst, (m == 2u) ? GSM_USSD_EventType_UssdCancelled : GSM_USSD_EventType_UssdResponse,
                       (m <= 5u) ? m : (uint8_t)GSM_USSD_Status_Invalid, -1);
            if (inst->Step != step)
            {
                return; /* the session state changed (or the handler ended / started a request) */
            }
        }
        if (step == US_STEP_WAIT_REG)
        {
            if ((inst->Flags & US_F_CANCEL) != 0u)
            {
                status = (uint8_t)GSM_USSD_Status_Cancelled;
            }
            else if (gsmNetworkRegistrationIfIsRegistered(inst->NetworkRegistration))
            {
                inst->Step = US_STEP_SEND;
            }
            else if (GSM_TIME_REACHED(now, inst->Timer_ms))
            {
                status = (uint8_t)GSM_USSD_Status_NotRegistered;
            }
            else
            {
                /* still waiting */
            }
        }
        else if ((step == US_STEP_WAIT_RESP) && ((inst->Flags & US_F_CONT) == 0u) && GSM_TIME_REACHED(now, inst->Timer_ms))
        {
            startCancel(inst, (uint8_t)GSM_USSD_Status_NoResponse);
        }
        else
        {
            /* idle, or waiting */
        }
    }
    if (status != US_NONE)
    {
        finish(inst, status, (status == (uint8_t)GSM_USSD_Status_ErrorResponse) ? gsmPromptCmdErrorCode(inst->Prompt) : -1);
    }
}

bool gsmUssdSend(GSM_USSD_Instance* inst, char* ussd_payload)
{
    uint8_t i;
    if ((inst == NULL) || (ussd_payload == NULL) || ((inst->Step != US_STEP_IDLE) && (inst->Step != US_STEP_MENU)) ||
        (ussd_payload[0] == '\0'))
    {
        return false;
    }
    /* No command runs in these steps, so the payload buffer may be filled while checking. */
    for (i = 0u; ussd_payload[i] != '\0'; i++)
    {
        char c = ussd_payload[i];
        if ((c < 0x20) || (c > 0x7E) || (c == '"') || (i >= (GSM_USSD_PAYLOAD_SIZE - 1u)))
        {
            return false;
        }
        inst->Payload[i] = c;
    }
    inst->Payload[i] = '\0';
    inst->Step = US_STEP_WAIT_REG;
    inst->Flags &= (uint8_t)~US_F_CANCEL;
    inst->Timer_ms = gsm__SysTime_ms() + GSM_USSD_REGISTRATION_TIMEOUT_MS;
    return true;
}

bool gsmUssdCancelSession(GSM_USSD_Instance* inst)
{
    if ((inst == NULL) || (inst->Step == US_STEP_IDLE))
    {
        return false;
    }
    if (inst->Step <= US_STEP_SEND) /* waiting for the registration, or AT+CUSD=1 not yet answered */
    {
        inst->Flags |= US_F_CANCEL;
    }
    else if (inst->Step != US_STEP_CANCEL)
    {
        startCancel(inst, (uint8_t)GSM_USSD_Status_Cancelled);
    }
    else
    {
        inst->Outcome = (uint8_t)GSM_USSD_Status_Cancelled;
    }
    return true;
}

bool gsmUssdBusy(GSM_USSD_Instance* inst)
{
    return (inst != NULL) && (inst->Step != US_STEP_IDLE);
}
