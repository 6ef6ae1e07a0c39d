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

/* Steps, ordered so that the checks are ranges: a new request may start up to MENU, the modem holds
 * an open session (AT+CUSD=2 closes it) in MENU and WAIT_RESP, a command is begun in the even steps
 * from SEND on and followed in the odd step after it. The closing steps say which event follows. */
enum
{
    US_STEP_IDLE = 0,
    US_STEP_MENU,          /* session open, waiting for the application's reply */
    US_STEP_WAIT_RESP,     /* accepted, waiting for +CUSD */
    US_STEP_UNUSED3,
    US_STEP_SEND,          /* AT+CUSD=1,"<code>",15 once registered */
    US_STEP_SENDING,
    US_STEP_CLOSE,         /* AT+CUSD=2 after a missing answer, then NoResponse */
    US_STEP_CLOSING,
    US_STEP_CANCEL,        /* AT+CUSD=2, then Cancelled (at once when nothing was sent) */
    US_STEP_CANCELLING,
    US_STEP_UNUSED10,
    US_STEP_SENDING_CANCEL /* AT+CUSD=1 runs and the application cancelled */
};

/* The two closing steps report NoResponse and Cancelled: the status is this sum minus the step, the
 * same for both (gsmUssdPoll). */
#define US_CLOSING_SUM ((uint_fast8_t)US_STEP_CLOSING + (uint_fast8_t)GSM_USSD_Status_NoResponse)
GSM_STATIC_ASSERT(usClosingSum, US_CLOSING_SUM == ((uint_fast8_t)US_STEP_CANCELLING + (uint_fast8_t)GSM_USSD_Status_Cancelled));
/* Open (0 or 1) is the step an open menu or none leaves (raiseEvent, gsmUssdSend). */
GSM_STATIC_ASSERT(usOpenIsAStep, (US_STEP_IDLE == 0) && (US_STEP_MENU == 1));

/* The step after gsmUssdCancelSession(), by step from US_STEP_MENU on. */
static const uint8_t kCancelStep[] GSM_PGM = {
    US_STEP_CANCEL,     US_STEP_CANCEL,     US_STEP_UNUSED3,     US_STEP_CANCELLING,
    US_STEP_SENDING_CANCEL, US_STEP_CANCEL, US_STEP_CANCELLING, US_STEP_CANCEL,
    US_STEP_CANCELLING, US_STEP_UNUSED10,   US_STEP_SENDING_CANCEL};

/* GSM_USSD_TextState.Str.Flags: where in the "+CUSD:" line the reader is, and flags (besides
 * GSM_UTIL_TEXT_CR and GSM_UTIL_TEXT_CUT) */
#define US_PH_MASK  0x03u
#define US_PH_SEEK  0x01u /* before the opening quote */
#define US_PH_TEXT  0x02u /* inside the quotes (the line end is still to come) */
#define US_PH_AFTER 0x03u /* after the closing quote: ",<dcs>" up to the line end */
#define US_F_READY  0x10u /* a complete answer waits in Response */

#define US_NONE 0xFFu

static const GSM_Prompt_CmdSpec kCusdSpec = {NULL, 5000u, 0u};
/* the close command, the start of the request and its end (the quoted code goes between them) */
static const char kCusd[] GSM_PGM = "AT+CUSD=2\0AT+CUSD=1,\0,15";
#define US_CUSD_SEND_OFFSET 10u
#define US_CUSD_END_OFFSET  21u
static const char* const kCusdPrefixes[] = {"+CUSD", NULL}; /* (matches the start of a line) */
static const uint8_t kLineEnd = (uint8_t)'\n'; /* ends the first line of an answer */

/* Empties the text; `fl` is the new reader position and flags. */
static void clearText(char* buf, GSM_USSD_TextState* t, uint8_t fl)
{
    buf[0] = '\0';
    t->Str.Len = 0u;
    t->Str.Flags = fl;
    t->Dcs = US_NONE;
}

/*
 * Reads the bytes of a "+CUSD:" line (the first line, then the raw bytes of a text that goes on past
 * it): the text between the quotes into buf (gsmUtilTextPut: line breaks become LF, other
 * control bytes are dropped, the text is cut to the buffer), the digits of ",<dcs>" after the
 * closing quote into t->Dcs; "+CUSD: <m>," before the opening quote is skipped. Returns true
 * (US_F_READY set) at the line end outside the quotes; the bytes after it are not read.
 */
static GSM_ALWAYS_INLINE bool feed(char* buf, uint16_t size, GSM_USSD_TextState* t, const uint8_t* data, uint16_t len)
{
    while (len-- != 0u)
    {
        uint_fast8_t c = *data++;
        uint_fast8_t ph = t->Str.Flags & US_PH_MASK;
        if ((c == (uint_fast8_t)'"') && (ph != US_PH_AFTER))
        {
            t->Str.Flags++; /* the opening quote starts the text, the closing one ends it */
        }
        else if (ph == US_PH_TEXT)
        {
            gsmUtilTextPut(&t->Str, buf, size, (uint8_t)c);
        }
        else if ((c == (uint_fast8_t)'\r') || (c == (uint_fast8_t)'\n'))
        {
            t->Str.Flags = (uint8_t)((t->Str.Flags & GSM_UTIL_TEXT_CUT) | US_F_READY);
            return true;
        }
        else if ((ph == US_PH_AFTER) && ((uint_fast8_t)(c - (uint_fast8_t)'0') <= 9u))
        {
            uint_fast16_t v = c - (uint_fast8_t)'0';
            if (t->Dcs != US_NONE)
            {
                v += (uint_fast16_t)t->Dcs * 10u;
            }
            t->Dcs = (v < US_NONE) ? (uint8_t)v : (uint8_t)(US_NONE - 1u); /* 0xFF means absent */
        }
        else
        {
            /* before the opening quote, or after the closing one: skipped */
        }
    }
    return false;
}

/* <m>, the first field of a "+CUSD:" line (the text, when present, follows it): 0..254, US_NONE when
 * larger, above US_NONE when the field is not a number (the low byte is then US_NONE too). */
static GSM_ALWAYS_INLINE uint16_t readM(const char* line, uint16_t len)
{
    uint32_t v;
    if ((gsmUtilUintFields(line, len, &v, 1u) & ~GSM_UTIL_FIELDS_MORE) == 0u)
    {
        return 0x1FFu;
    }
    return (v < US_NONE) ? (uint16_t)v : (uint16_t)US_NONE;
}

bool gsmUssdDecodeCusd(const char* line, uint16_t len, uint8_t* m, char* text, uint16_t text_size, uint16_t* text_len,
                       uint8_t* dcs, bool* truncated)
{
    GSM_USSD_TextState t;
    uint16_t v;
    if ((m == NULL) || (text == NULL) || (text_size == 0u) || (text_len == NULL) || (dcs == NULL) || (truncated == NULL))
    {
        return false;
    }
    v = gsmUtilStartsWith(line, len, "+CUSD:") ? readM(line, len) : 0x1FFu;
    clearText(text, &t, US_PH_SEEK);
    if (v <= US_NONE)
    {
        (void)feed(text, text_size, &t, (const uint8_t*)line, len);
    }
    *m = (uint8_t)v;
    *text_len = t.Str.Len;
    *dcs = t.Dcs;
    /* cut, or the text did not end on this line */
    *truncated = ((t.Str.Flags & GSM_UTIL_TEXT_CUT) != 0u) || ((t.Str.Flags & US_PH_MASK) == US_PH_TEXT);
    return v <= US_NONE;
}

/* Bytes of the answer line and of a quoted text that went on past its first line, which comes raw,
 * one byte at a time: the receiver stays in binary mode up to the line end after the closing quote,
 * so empty lines, "OK", "ERROR" and URC-like lines inside the text are text. The next byte is asked
 * for when this block was the last one (`remaining` 0) and the line did not end. */
static void onCusdRaw(void* ctx, const uint8_t* data, uint16_t len, uint16_t remaining)
{
    GSM_USSD_Instance* inst = (GSM_USSD_Instance*)ctx;
    if (!feed(inst->Response, (uint16_t)sizeof(inst->Response), &inst->Text, data, len) && (remaining == 0u))
    {
        gsmPromptBinaryExpect(inst->Prompt, 1u, &onCusdRaw, inst);
    }
}

/* A malformed "+CUSD:" line is reported too (Status Invalid). */
static void onCusdLine(void* ctx, const char* line, uint16_t len)
{
    GSM_USSD_Instance* inst = (GSM_USSD_Instance*)ctx;
    uint32_t m;
    inst->ContStart_ms = gsm__SysTime_ms();
    clearText(inst->Response, &inst->Text, US_PH_SEEK);
    /* <m>, the first field (the subscription matched the "+CUSD:"), kept as the answer's status:
     * 0..5, else (also for a line without a valid <m>) Invalid */
    inst->Text.M = (uint8_t)GSM_USSD_Status_Invalid;
    if ((gsmUtilUintFields(line, len, &m, 1u) & (GSM_UTIL_FIELDS_MORE - 1u)) != 0u) /* (the count of numbers) */
    {
        if (m < GSM_USSD_Status_Invalid)
        {
            inst->Text.M = (uint8_t)m;
        }
        onCusdRaw(inst, (const uint8_t*)line, len, 1u); /* (nothing in "+CUSD:" is read; the line end follows) */
    }
    /* the line end; when the text goes on, the rest comes raw */
    onCusdRaw(inst, &kLineEnd, 1u, 0u);
}

/*
 * Raises UssdResponse or UssdCancelled with `status`. A network answer (status up to Invalid) carries
 * the text read and decides the session state (open after a menu), except while a request is not sent
 * yet: then it is network-initiated, not the answer to that request (it only tells Open whether a menu
 * is open). Every other status ends the request without a text (and drops an answer that was not
 * reported yet: one that came during AT+CUSD=2), and the session too unless the modem refused the
 * request. UssdCancelled: the network ended the session, a cancel, or a menu session lost with the
 * modem (CommsLost in MENU, told by the sum of status and step: no other pair that is raised has it).
 */
static GSM_NOINLINE void raiseEvent(GSM_USSD_Instance* inst, uint_fast8_t status)
{
    GSM_USSD_Event_UssdResponse ev;
    uint_fast8_t step = inst->Step;
    bool ends = status > (uint_fast8_t)GSM_USSD_Status_Invalid; /* not a network answer */
    GSM_USSD_EventType type = GSM_USSD_EventType_UssdResponse;
    if (((status + step) == ((uint_fast8_t)GSM_USSD_Status_CommsLost + US_STEP_MENU)) ||
        (((1u << status) & ((1u << GSM_USSD_Status_TerminatedByNetwork) | (1u << GSM_USSD_Status_Cancelled))) != 0u))
    {
        type = GSM_USSD_EventType_UssdCancelled;
    }
    if (ends)
    {
        /* every other status ends it */
        clearText(inst->Response, &inst->Text, (uint8_t)(inst->Text.Str.Flags & (US_PH_MASK | GSM_UTIL_TEXT_CR)));
        step = US_STEP_IDLE;
    }
    else
    {
        /* the answer decides (a menu keeps the session open) */
        if (step != US_STEP_SEND)
        {
            step = (status == (uint_fast8_t)GSM_USSD_Status_ActionRequired) ? US_STEP_MENU : US_STEP_IDLE;
        }
        inst->Open = (uint8_t)((status == (uint_fast8_t)GSM_USSD_Status_ActionRequired) ? 1u : 0u);
    }
    ev.Text = inst->Response;
    ev.TextLength = inst->Text.Str.Len;
    ev.Status = (GSM_USSD_Status)status;
    ev.Dcs = inst->Text.Dcs;
    ev.Truncated = (inst->Text.Str.Flags & GSM_UTIL_TEXT_CUT) != 0u;
    /* (the claim of a command is given up by the next poll) */
    ev.ErrorCode = -1;
    if (status == (uint_fast8_t)GSM_USSD_Status_ErrorResponse)
    {
        /* The modem refused the request, not the session: a menu the request replied to stays open
         * (Open). "+CME ERROR: 3", operation not allowed, tells of a session the modem holds (a code
         * sent while a menu was open goes to that menu, which refused it; or a session this module
         * did not know of, left from before a restart of the application). It stays open here too, so
         * that gsmUssdCancelSession() can close it or gsmUssdSend() reply to it. */
        step = inst->Open;
        if ((ev.ErrorCode = gsmPromptCmdErrorCode(inst->Prompt)) == 3)
        {
            step = US_STEP_MENU;
        }
    }
    inst->Step = (uint8_t)step;
    if (inst->EventHandler != NULL)
    {
        inst->EventHandler(inst, type, &ev);
    }
}

void gsmUssdInit(GSM_USSD_Instance* inst)
{
    if (inst == NULL)
    {
        return;
    }
    inst->Step = US_STEP_IDLE;
    inst->Text.Str.Flags = 0u; /* no answer being read (the text and its <dcs> are set when one begins) */
    inst->Urc.Prefixes = kCusdPrefixes;
    inst->Urc.Handler = &onCusdLine;
    inst->Urc.Context = inst;
    gsmPromptUrcSubscribe(inst->Prompt, &inst->Urc);
}

void gsmUssdPoll(GSM_USSD_Instance* inst)
{
    GSM_Prompt_Interface* p;
    uint32_t now;
    uint_fast8_t step;
    uint_fast8_t status; /* the event to raise (the branches that raise none return) */
    bool registered;     /* (asked once for the two branches that need it) */
    if (inst == NULL)
    {
        return;
    }
    p = inst->Prompt; /* (calls on a missing Prompt do nothing: a request waits for registration in vain) */
    now = gsm__SysTime_ms();
    if (((inst->Text.Str.Flags & US_PH_MASK) != 0u) && ((now - inst->ContStart_ms) >= GSM_USSD_CONTINUATION_MS))
    {
        /* the closing quote never came: back to line mode */
        gsmPromptBinaryCancel(p, &onCusdRaw);
        inst->Text.Str.Flags = US_F_READY | GSM_UTIL_TEXT_CUT; /* (no other flag applies any more) */
    }
    step = inst->Step;
    registered = gsmNetworkRegistrationIfIsRegistered(inst->NetworkRegistration);
    if ((step > US_STEP_SEND) && ((step & 1u) != 0u))
    {
        /* the result of the command begun in the step before (tested first: no other branch takes
         * these steps) */
        GSM_Prompt_CmdStatus st = gsmPromptCmdStatus(p, inst);
        if (st == GSM_Prompt_CmdStatus_Pending)
        {
            return;
        }
        if ((uint_fast8_t)(step - US_STEP_CLOSING) <= (uint_fast8_t)(US_STEP_CANCELLING - US_STEP_CLOSING))
        {
            /* CLOSING or CANCELLING (the odd steps of the range): NoResponse after the close,
             * Cancelled after the cancel */
            status = US_CLOSING_SUM - step;
        }
        else if (st == GSM_Prompt_CmdStatus_Ok)
        {
            inst->Step = US_STEP_WAIT_RESP;
            /* twice the time on LTE modems */
            inst->Timer_ms = now + ((uint32_t)GSM_USSD_RESPONSE_TIMEOUT_MS << (uint_fast8_t)gsmNetworkRegistrationIfIsLte(inst->NetworkRegistration));
            if (inst->EventHandler != NULL)
            {
                inst->EventHandler(inst, GSM_USSD_EventType_UssdSent, NULL);
            }
            if (step == US_STEP_SENDING_CANCEL)
            {
                inst->Step = US_STEP_CANCEL; /* cancelled while it was being sent */
            }
            return;
        }
        else if (step == US_STEP_SENDING_CANCEL)
        {
            status = GSM_USSD_Status_Cancelled;
        }
        else if (st == GSM_Prompt_CmdStatus_Timeout)
        {
            inst->Step = US_STEP_CLOSE; /* the request may be on its way */
            return;
        }
        else
        {
            /* the modem's error (code -1 for a plain ERROR), or Aborted / Idle: the session was reset */
            status = GSM_PROMPT_STATUS_IS_ERROR(st) ? (uint_fast8_t)GSM_USSD_Status_ErrorResponse : (uint_fast8_t)GSM_USSD_Status_CommsLost;
        }
    }
    else if (!registered && ((uint_fast8_t)(step - US_STEP_MENU) < 2u) &&
             (gsmNetworkRegistrationIfStat(inst->NetworkRegistration, GSM_NetworkRegistration_Domain_CS) == GSM_NETWORKREGISTRATION_STAT_UNKNOWN))
    {
        /* An open session ends with the modem's session (running commands report that themselves).
         * After a restart - also one the modem did by itself, which the power control does not see -
         * or a switch-off, Network Registration has forgotten its states until the modem answers
         * again: the +CREG state, which it reads in every session of every family, is then unknown,
         * and the modem not registered. (The +CREG state alone stays unknown when the answer to its
         * read was lost: an LTE modem is still registered through its other domains then.) */
        status = GSM_USSD_Status_CommsLost;
    }
    else if ((step <= US_STEP_SEND) && ((inst->Text.Str.Flags & US_F_READY) != 0u))
    {
        /* an answer; before the request is sent it is network-initiated (while the request is sent,
         * it waits: some firmware prints the answer before the OK) */
        inst->Text.Str.Flags &= (uint8_t)~US_F_READY;
        status = inst->Text.M;
    }
    else if ((step < US_STEP_SEND) ||
             ((step == US_STEP_SEND) && !registered))
    {
        /* No command of this module runs: the prompt is free for the others (a claim left by the last
         * command is not kept while a request waits for registration). */
        gsmPromptRelease(p, inst);
        if (!GSM_TIME_REACHED(now, inst->Timer_ms))
        {
            return;
        }
        if (inst->Step != US_STEP_SEND) /* (= step: read anew, so that one release serves both cases) */
        {
            if ((step == US_STEP_WAIT_RESP) && ((inst->Text.Str.Flags & US_PH_MASK) == 0u))
            {
                inst->Step = US_STEP_CLOSE;
            }
            /* (no wait runs out in the other steps) */
            return;
        }
        status = GSM_USSD_Status_NotRegistered;
    }
    else
    {
        /* an even step from SEND on: AT+CUSD=1,"<code>",15 (registered) / AT+CUSD=2 */
        if (gsmPromptHelperBeginP(p, inst, &kCusdSpec, (step == US_STEP_SEND) ? &kCusd[US_CUSD_SEND_OFFSET] : kCusd))
        {
            if (step == US_STEP_SEND)
            {
                gsmPromptCmdAppendQuoted(p, inst->Payload);
                gsmPromptCmdAppendP(p, &kCusd[US_CUSD_END_OFFSET]);
            }
            gsmPromptCmdSend(p);
            inst->Step = (uint8_t)(step + 1u);
        }
        /* (else the prompt is busy: next poll) */
        return;
    }
    raiseEvent(inst, status);
}

bool gsmUssdSend(GSM_USSD_Instance* inst, char* ussd_payload)
{
    uint_fast8_t i = 0u;
    uint_fast8_t c;
    char* d;
    if ((inst == NULL) || (ussd_payload == NULL) || (inst->Step > US_STEP_MENU))
    {
        return false;
    }
    /* No command runs in these steps, so the payload buffer may be filled while checking; Open tells
     * whether this is a reply to an open menu (the step: 0 or 1). */
    inst->Open = inst->Step;
    d = inst->Payload;
    d[0] = (char)(c = (uint8_t)ussd_payload[0]);
    do
    {
        /* printable ASCII without '"' (so not empty), and room for the terminator */
        if ((c == (uint_fast8_t)'"') || ((uint_fast8_t)(c - 0x20u) > 0x5Eu) || (i >= (GSM_USSD_PAYLOAD_SIZE - 1u)))
        {
            return false;
        }
        i++;
        d[i] = (char)(c = (uint8_t)ussd_payload[i]);
    } while (c != 0u);
    inst->Step = US_STEP_SEND; /* once registered */
    inst->Timer_ms = gsm__SysTime_ms() + GSM_USSD_REGISTRATION_TIMEOUT_MS;
    return true;
}

bool gsmUssdCancelSession(GSM_USSD_Instance* inst)
{
    uint_fast8_t step;
    if ((inst == NULL) || ((step = inst->Step) == US_STEP_IDLE))
    {
        return false;
    }
    /* An open session is closed with AT+CUSD=2. A request not sent yet ends at the next poll (no
     * command of this module runs, so CANCELLING reports at once); one being sent ends, or closes its
     * session, when its result comes; a running close reports Cancelled instead of NoResponse. */
    inst->Step = GSM_PGM_READ_BYTE(&kCancelStep[step - US_STEP_MENU]);
    return true;
}

bool gsmUssdBusy(GSM_USSD_Instance* inst)
{
    return (inst != NULL) && (inst->Step != US_STEP_IDLE);
}
