/*
 * GSM_HttpClient_Simcom.c - HTTP GET / POST over the modem's HTTP service (2G and LTE forms).
 */
#include "GSM_HttpClient_Simcom.h"
#include "GSM_Required_Externals.h"
#include "GSM_Util.h"
#include "GSM_Prompt_Helper.h"

/* States */
enum
{
    HC_IDLE = 0,
    HC_TERM,       /* AT+HTTPTERM before INIT (result ignored) */
    HC_INIT,       /* AT+HTTPINIT */
    HC_CID,        /* AT+HTTPPARA="CID",1 (2G) */
    HC_URL,        /* AT+HTTPPARA="URL","..." */
    HC_CONTENT,    /* AT+HTTPPARA="CONTENT","..." */
    HC_DATA,       /* AT+HTTPDATA=<n>,<time> + body */
    HC_ACTION,     /* AT+HTTPACTION=<method> */
    HC_ACTION_RES, /* waiting for +HTTPACTION: */
    HC_READ,       /* AT+HTTPREAD=<offset>,<size> */
    HC_READ_END,   /* LTE: waiting for the blocks and "+HTTPREAD: 0" */
    HC_CLEANUP     /* AT+HTTPTERM after the request */
};

/* Flags */
#define HC_F_BUSY    0x01u /* a request is pending (user view) */
#define HC_F_SENT    0x02u /* the command of the present state was sent */
#define HC_F_POST    0x04u /* the request is a POST */
#define HC_F_INIT    0x08u /* AT+HTTPINIT succeeded and no AT+HTTPTERM since */
#define HC_F_STARTED 0x10u /* AT+HTTPACTION accepted */
#define HC_F_KEEP    0x20u /* do not terminate after each request */
#define HC_F_RESULT  0x40u /* +HTTPACTION: arrived */
#define HC_F_NONET   0x80u /* +HTTP_NONET_EVENT arrived */
/* Flags2 */
#define HC_F2_READ_END 0x01u /* LTE "+HTTPREAD: 0" arrived */
#define HC_F2_UNKNOWN  0x02u /* body length not announced: read until a short window */
#define HC_F2_RESTART  0x04u /* a boot message arrived */

static const char* const kUrcPrefixes[] = {"+HTTPACTION:", "+HTTPREAD", "+HTTP_NONET_EVENT", "RDY", "*ATREADY:", NULL};

static const GSM_Prompt_CmdSpec kCmdSpec = {NULL, 10000u, 0u};
static const GSM_Prompt_CmdSpec kInitSpec = {NULL, 120000u, 0u};
static const GSM_Prompt_CmdSpec kDataSpec = {NULL, 5000u, GSM_PROMPT_CMD_DOWNLOAD};
/* The read window has its own time-out (ReadTimeout_ms, checked by the poll). */
static const GSM_Prompt_CmdSpec kReadSpec = {"+HTTPREAD", 130000u, 0u};

static bool isLte(const GSM_HttpClientSimcom_Instance* inst)
{
    return gsmInternetConnectionIfFamily(inst->InternetConnection) != GSM_InternetConnection_Family_2G;
}

static uint8_t* bodyBuffer(GSM_HttpClientSimcom_Instance* inst, uint16_t* cap)
{
    if ((inst->BodyBuffer != NULL) && (inst->BodyBufferSize > 0u))
    {
        *cap = inst->BodyBufferSize;
        return inst->BodyBuffer;
    }
    *cap = (uint16_t)GSM_HTTPCLIENTSIMCOM_FALLBACK_SIZE;
    return inst->Fallback;
}

static void onBody(void* ctx, const uint8_t* data, uint16_t len, uint16_t remaining)
{
    GSM_HttpClientSimcom_Instance* inst = (GSM_HttpClientSimcom_Instance*)ctx;
    uint16_t cap;
    uint8_t* buf = bodyBuffer(inst, &cap);
    uint16_t i;
    GSM_UNUSED_ARG(remaining);
    if (((inst->Flags & HC_F_BUSY) == 0u) || ((inst->State != HC_READ) && (inst->State != HC_READ_END)))
    {
        return; /* bytes of a cancelled request: framing only */
    }
    for (i = 0u; (i < len) && (inst->Got < cap) && (inst->Got < inst->Want); i++)
    {
        buf[inst->Got++] = data[i];
    }
}

/* "+HTTPREAD: <n>" (2G, LTE-A), "+HTTPREAD: DATA,<n>" (LTE-Q), "+HTTPREAD: 0" (LTE end marker). */
static void onRead(GSM_HttpClientSimcom_Instance* inst, const char* line, uint16_t len)
{
    uint16_t pos = 10u; /* after "+HTTPREAD:" */
    uint32_t n;
    bool data_form = false;
    if ((len < 11u) || (line[9] != ':'))
    {
        return;
    }
    while ((pos < len) && (line[pos] == ' '))
    {
        pos++;
    }
    if (gsmUtilStartsWith(&line[pos], (uint16_t)(len - pos), "LEN,"))
    {
        return;
    }
    if (gsmUtilStartsWith(&line[pos], (uint16_t)(len - pos), "DATA,"))
    {
        pos = (uint16_t)(pos + 5u);
        data_form = true;
    }
    if (!gsmUtilParseUint(line, len, &pos, &n) || (pos != len))
    {
        return;
    }
    if ((n == 0u) && !data_form && isLte(inst))
    {
        inst->Flags2 |= HC_F2_READ_END;
        return;
    }
    if (n > 0xFFFFu)
    {
        return;
    }
    gsmPromptBinaryExpect(inst->Prompt, (uint16_t)n, &onBody, inst);
}

static void onLine(void* ctx, const char* line, uint16_t len)
{
    GSM_HttpClientSimcom_Instance* inst = (GSM_HttpClientSimcom_Instance*)ctx;
    uint32_t v;
    if (gsmUtilStartsWith(line, len, "+HTTPREAD"))
    {
        onRead(inst, line, len);
        return;
    }
    if (gsmUtilStartsWith(line, len, "+HTTPACTION:"))
    {
        if (((inst->Flags & HC_F_BUSY) == 0u) || ((inst->State != HC_ACTION) && (inst->State != HC_ACTION_RES)))
        {
            return; /* a late result of a cancelled request */
        }
        if (gsmUtilFieldUint(line, len, 1u, &v) && (v <= 0xFFFFu))
        {
            inst->Status = (uint16_t)v;
            inst->Flags |= HC_F_RESULT;
            if (gsmUtilFieldUint(line, len, 2u, &v) && (v > 0u))
            {
                inst->ContentLength = v;
            }
            else
            {
                inst->ContentLength = 0u;
            }
        }
        return;
    }
    if (line[0] != '+')
    {
        /* the modem restarted: the HTTP session is gone */
        inst->Flags = (uint8_t)(inst->Flags & (uint8_t)~HC_F_INIT);
        inst->Flags2 |= HC_F2_RESTART;
        return;
    }
    /* +HTTP_NONET_EVENT */
    if ((inst->Flags & HC_F_BUSY) != 0u)
    {
        inst->Flags |= HC_F_NONET;
    }
}

static void deliver(GSM_HttpClientSimcom_Instance* inst, uint8_t result, const uint8_t* data, uint16_t len, bool last)
{
    GSM_HttpClientSimcom_Event_HttpResult ev;
    ev.Result = result;
    ev.Last = last;
    ev.HttpStatus = inst->Status;
    ev.ContentLength = inst->ContentLength;
    ev.DataOffset = inst->Offset;
    ev.Data = (len > 0u) ? data : NULL;
    ev.DataLen = len;
    if (last)
    {
        inst->Flags = (uint8_t)(inst->Flags & (uint8_t)~(HC_F_BUSY | HC_F_STARTED | HC_F_RESULT | HC_F_NONET | HC_F_SENT));
    }
    if (inst->EventHandler != NULL)
    {
        inst->EventHandler(inst, GSM_HttpClientSimcom_EventType_HttpResult, &ev);
    }
}

/* Ends the request with a result that carries no body. */
static void finish(GSM_HttpClientSimcom_Instance* inst, uint8_t result)
{
    gsmPromptRelease(inst->Prompt, inst);
    if (result == (uint8_t)GSM_HttpClientSimcom_Result_ModemRestart)
    {
        inst->Flags = (uint8_t)(inst->Flags & (uint8_t)~HC_F_INIT);
        inst->State = HC_IDLE;
    }
    else
    {
        /* after a failure the session state is unknown: terminate it */
        inst->State = (((inst->Flags & HC_F_KEEP) != 0u) && (result == (uint8_t)GSM_HttpClientSimcom_Result_Success)) ? HC_IDLE
                                                                                                                      : HC_CLEANUP;
    }
    deliver(inst, result, NULL, 0u, true);
}

/* Command of each state after "AT+HTTP" (the arguments follow in runCmd). */
static const char kCmd[] GSM_PGM = "\0TERM\0INIT\0PARA=\"CID\",1\0PARA=\"URL\",\0PARA=\"CONTENT\",\0DATA=\0ACTION=\0\0READ=\0\0TERM";
static const char kHttp[] GSM_PGM = "AT+HTTP";

/* Length of the POST body (checked to fit 16 bits when the request was accepted). */
static uint16_t postLength(const GSM_HttpClientSimcom_Instance* inst)
{
    uint16_t n = 0u;
    while (inst->PostData[n] != '\0')
    {
        n++;
    }
    return n;
}

static GSM_Prompt_CmdStatus runCmd(GSM_HttpClientSimcom_Instance* inst, const GSM_Prompt_CmdSpec* spec)
{
    GSM_Prompt_CmdStatus st;
    GSM_Prompt_Interface* p = inst->Prompt;
    if ((inst->Flags & HC_F_SENT) == 0u)
    {
        if (!gsmPromptClaim(p, inst) || !gsmPromptCmdBegin(p, inst, spec, &onLine, inst))
        {
            return GSM_Prompt_CmdStatus_Pending;
        }
        gsmPromptHelperAppendP(p, kHttp);
        gsmPromptHelperAppendP(p, gsmUtilListText(kCmd, inst->State));
        switch (inst->State)
        {
        case HC_URL:
            gsmPromptCmdAppendQuoted(p, inst->Url);
            break;
        case HC_CONTENT:
            gsmPromptCmdAppendQuoted(p, (inst->ContentType != NULL) ? inst->ContentType : GSM_HTTPCLIENTSIMCOM_DEFAULT_CONTENT_TYPE);
            break;
        case HC_DATA:
            gsmPromptCmdAppendUint(p, postLength(inst), 1u);
            /* the modem's input time: milliseconds on 2G, seconds on LTE */
            gsmPromptCmdAppend(p, isLte(inst) ? ",30" : ",10000");
            break;
        case HC_ACTION:
            gsmPromptCmdAppendUint(p, ((inst->Flags & HC_F_POST) != 0u) ? 1u : 0u, 1u);
            break;
        case HC_READ:
            gsmPromptCmdAppendUint(p, inst->Offset, 1u);
            gsmPromptCmdAppend(p, ",");
            gsmPromptCmdAppendUint(p, inst->Want, 1u);
            break;
        default:
            break;
        }
        gsmPromptCmdSend(p);
        inst->Flags |= HC_F_SENT;
        return GSM_Prompt_CmdStatus_Pending;
    }
    st = gsmPromptCmdStatus(p, inst);
    if (st == GSM_Prompt_CmdStatus_DataPrompt)
    {
        uint16_t n = postLength(inst);
        (void)gsmPromptDataSend(p, inst, (const uint8_t*)inst->PostData, n, GSM_PROMPT_DATA_NO_TERMINATOR, 10000u + (uint32_t)n);
        return GSM_Prompt_CmdStatus_Pending;
    }
    if (st == GSM_Prompt_CmdStatus_Pending)
    {
        return st;
    }
    inst->Flags = (uint8_t)(inst->Flags & (uint8_t)~HC_F_SENT);
    return (st == GSM_Prompt_CmdStatus_Idle) ? GSM_Prompt_CmdStatus_Aborted : st;
}

/* Result of a failed command as a request result. */
static uint8_t failure(GSM_Prompt_CmdStatus st)
{
    if (st == GSM_Prompt_CmdStatus_Timeout)
    {
        return (uint8_t)GSM_HttpClientSimcom_Result_Timeout;
    }
    if (st == GSM_Prompt_CmdStatus_Aborted)
    {
        return (uint8_t)GSM_HttpClientSimcom_Result_ModemRestart;
    }
    return (uint8_t)GSM_HttpClientSimcom_Result_CommandError;
}

/* Prepares the next read window; false when the whole body has been read. */
static bool nextWindow(GSM_HttpClientSimcom_Instance* inst)
{
    uint16_t cap;
    uint32_t want;
    (void)bodyBuffer(inst, &cap);
    want = (cap > GSM_HTTPCLIENTSIMCOM_MAX_READ) ? GSM_HTTPCLIENTSIMCOM_MAX_READ : cap;
    if ((inst->Flags2 & HC_F2_UNKNOWN) == 0u)
    {
        uint32_t rest = (inst->ContentLength > inst->Offset) ? (inst->ContentLength - inst->Offset) : 0u;
        if (rest == 0u)
        {
            return false;
        }
        if (rest < want)
        {
            want = rest;
        }
    }
    inst->Want = (uint16_t)want;
    inst->Got = 0u;
    inst->Flags2 = (uint8_t)(inst->Flags2 & (uint8_t)~HC_F2_READ_END);
    inst->State = HC_READ;
    inst->Timer_ms = gsm__SysTime_ms() + inst->ReadTimeout_ms;
    return true;
}

/* A read window is complete: deliver it and go on. */
static void windowDone(GSM_HttpClientSimcom_Instance* inst)
{
    uint16_t cap;
    uint8_t* buf = bodyBuffer(inst, &cap);
    bool last;
    uint16_t got = inst->Got;
    if ((inst->Flags2 & HC_F2_UNKNOWN) != 0u)
    {
        last = got < inst->Want;
    }
    else
    {
        last = (got == 0u) || ((inst->Offset + got) >= inst->ContentLength);
    }
    if (last)
    {
        gsmPromptRelease(inst->Prompt, inst);
        inst->State = ((inst->Flags & HC_F_KEEP) != 0u) ? HC_IDLE : HC_CLEANUP;
        deliver(inst, (uint8_t)GSM_HttpClientSimcom_Result_Success, buf, got, true);
        return;
    }
    deliver(inst, (uint8_t)GSM_HttpClientSimcom_Result_Success, buf, got, false);
    inst->Offset += got;
    if ((inst->Flags & HC_F_BUSY) != 0u) /* not cancelled by the event handler */
    {
        (void)nextWindow(inst); /* more body follows (else the window would have been the last) */
    }
}

static void startRequest(GSM_HttpClientSimcom_Instance* inst, char* url, char* postData, bool post)
{
    inst->Url = url;
    inst->PostData = postData;
    inst->Status = 0u;
    inst->ContentLength = 0u;
    inst->Offset = 0u;
    inst->Got = 0u;
    inst->Flags2 = 0u;
    inst->Flags = (uint8_t)((inst->Flags & (uint8_t)(HC_F_INIT | HC_F_KEEP | HC_F_SENT)) | HC_F_BUSY | (post ? HC_F_POST : 0u));
}

void gsmHttpClientSimcomInit(GSM_HttpClientSimcom_Instance* inst)
{
    if (inst == NULL)
    {
        return;
    }
    inst->Url = NULL;
    inst->PostData = NULL;
    inst->ContentType = NULL;
    inst->ActionTimeout_ms = GSM_HTTPCLIENTSIMCOM_ACTION_TIMEOUT_MS;
    inst->ReadTimeout_ms = GSM_HTTPCLIENTSIMCOM_READ_TIMEOUT_MS;
    inst->Timer_ms = 0u;
    inst->ContentLength = 0u;
    inst->Offset = 0u;
    inst->Status = 0u;
    inst->Want = 0u;
    inst->Got = 0u;
    inst->State = HC_IDLE;
    inst->Flags = 0u;
    inst->Flags2 = 0u;
    inst->PowerStartCount = gsmPowerIfStartCount(inst->Power);
    inst->Urc.Prefixes = kUrcPrefixes;
    inst->Urc.Handler = &onLine;
    inst->Urc.Context = inst;
    gsmPromptUrcSubscribe(inst->Prompt, &inst->Urc);
}

void gsmHttpClientSimcomPoll(GSM_HttpClientSimcom_Instance* inst)
{
    uint32_t now;
    GSM_Prompt_CmdStatus st;
    if ((inst == NULL) || (inst->Prompt == NULL))
    {
        return;
    }
    if (inst->Power != NULL)
    {
        uint8_t starts = gsmPowerIfStartCount(inst->Power);
        if ((starts != inst->PowerStartCount) || !gsmPowerIfIsOn(inst->Power))
        {
            inst->PowerStartCount = starts;
            inst->Flags = (uint8_t)(inst->Flags & (uint8_t)~(HC_F_INIT | HC_F_SENT));
            if ((inst->Flags & HC_F_BUSY) != 0u)
            {
                finish(inst, (uint8_t)GSM_HttpClientSimcom_Result_ModemRestart);
            }
            inst->State = HC_IDLE;
            return;
        }
    }
    if ((inst->State == HC_IDLE) && ((inst->Flags & HC_F_BUSY) == 0u))
    {
        return;
    }
    now = gsm__SysTime_ms();

    if ((inst->Flags2 & HC_F2_RESTART) != 0u)
    {
        inst->Flags2 = (uint8_t)(inst->Flags2 & (uint8_t)~HC_F2_RESTART);
        if ((inst->Flags & HC_F_BUSY) != 0u)
        {
            finish(inst, (uint8_t)GSM_HttpClientSimcom_Result_ModemRestart);
            inst->Flags = (uint8_t)(inst->Flags & (uint8_t)~HC_F_INIT);
            return;
        }
    }
    if (((inst->Flags & HC_F_NONET) != 0u) && ((inst->Flags & HC_F_BUSY) != 0u))
    {
        gsmInternetConnectionIfNotifyLost(inst->InternetConnection);
        finish(inst, (uint8_t)GSM_HttpClientSimcom_Result_NoNetwork);
        return;
    }

    switch (inst->State)
    {
    case HC_IDLE:
        inst->State = ((inst->Flags & HC_F_INIT) != 0u) ? HC_URL : HC_TERM;
        break;

    case HC_TERM:
        st = runCmd(inst, &kCmdSpec);
        if (st == GSM_Prompt_CmdStatus_Aborted)
        {
            finish(inst, (uint8_t)GSM_HttpClientSimcom_Result_ModemRestart);
        }
        else if (st != GSM_Prompt_CmdStatus_Pending)
        {
            inst->State = HC_INIT;
        }
        break;

    case HC_INIT:
    case HC_CID:
    case HC_URL:
    case HC_CONTENT:
    case HC_DATA:
        st = runCmd(inst, (inst->State == HC_INIT) ? &kInitSpec : ((inst->State == HC_DATA) ? &kDataSpec : &kCmdSpec));
        if (st == GSM_Prompt_CmdStatus_Pending)
        {
            break;
        }
        if (st != GSM_Prompt_CmdStatus_Ok)
        {
            finish(inst, failure(st));
            break;
        }
        if (inst->State == HC_INIT)
        {
            inst->Flags |= HC_F_INIT;
            inst->State = isLte(inst) ? HC_URL : HC_CID;
        }
        else if ((inst->State == HC_URL) && ((inst->Flags & HC_F_POST) != 0u))
        {
            inst->State = HC_CONTENT;
        }
        else if ((inst->State == HC_CONTENT) && (inst->PostData[0] != '\0'))
        {
            inst->State = HC_DATA;
        }
        else if (inst->State == HC_CID)
        {
            inst->State = HC_URL;
        }
        else
        {
            inst->State = HC_ACTION;
        }
        break;

    case HC_ACTION:
        st = runCmd(inst, &kCmdSpec);
        if (st == GSM_Prompt_CmdStatus_Pending)
        {
            break;
        }
        gsmPromptRelease(inst->Prompt, inst);
        if (st != GSM_Prompt_CmdStatus_Ok)
        {
            finish(inst, failure(st));
            break;
        }
        inst->Flags |= HC_F_STARTED;
        inst->Timer_ms = now + inst->ActionTimeout_ms;
        inst->State = HC_ACTION_RES;
        break;

    case HC_ACTION_RES:
        if ((inst->Flags & HC_F_RESULT) != 0u)
        {
            if (inst->Status >= 600u)
            {
                if (inst->Status == 601u)
                {
                    gsmInternetConnectionIfNotifyLost(inst->InternetConnection);
                }
                finish(inst, (uint8_t)GSM_HttpClientSimcom_Result_ModemError);
                break;
            }
            if ((inst->ContentLength == 0u) && isLte(inst))
            {
                inst->Flags2 |= HC_F2_UNKNOWN; /* chunked answers announce 0: read until the end marker */
            }
            if (!nextWindow(inst))
            {
                inst->Got = 0u;
                windowDone(inst);
            }
        }
        else if (GSM_TIME_REACHED(now, inst->Timer_ms))
        {
            finish(inst, (uint8_t)GSM_HttpClientSimcom_Result_Timeout);
        }
        break;

    case HC_READ:
        st = runCmd(inst, &kReadSpec);
        if (st == GSM_Prompt_CmdStatus_Pending)
        {
            if (GSM_TIME_REACHED(now, inst->Timer_ms))
            {
                finish(inst, (uint8_t)GSM_HttpClientSimcom_Result_Timeout);
            }
            break;
        }
        if (st == GSM_Prompt_CmdStatus_Ok)
        {
            if (isLte(inst))
            {
                inst->State = HC_READ_END; /* the claim is kept until the end marker */
            }
            else
            {
                windowDone(inst);
            }
        }
        else if (gsmPromptHelperIsErrorStatus(st) && ((inst->Flags2 & HC_F2_UNKNOWN) != 0u))
        {
            inst->Got = 0u;
            windowDone(inst); /* no (more) body of an answer of unknown length */
        }
        else
        {
            finish(inst, failure(st));
        }
        break;

    case HC_READ_END:
        if ((inst->Flags2 & HC_F2_READ_END) != 0u)
        {
            windowDone(inst);
        }
        else if (GSM_TIME_REACHED(now, inst->Timer_ms))
        {
            finish(inst, (uint8_t)GSM_HttpClientSimcom_Result_Timeout);
        }
        break;

    default: /* HC_CLEANUP */
        st = runCmd(inst, &kCmdSpec);
        if (st != GSM_Prompt_CmdStatus_Pending)
        {
            gsmPromptRelease(inst->Prompt, inst);
            inst->Flags = (uint8_t)(inst->Flags & (uint8_t)~HC_F_INIT);
            inst->State = HC_IDLE;
        }
        break;
    }
}

static bool accept(GSM_HttpClientSimcom_Instance* inst, const char* url)
{
    return (inst != NULL) && (url != NULL) && (url[0] != '\0') && ((inst->Flags & HC_F_BUSY) == 0u) && (inst->Prompt != NULL) &&
           gsmInternetConnectionIfIsConnected(inst->InternetConnection);
}

bool gsmHttpClientSimcomGet(GSM_HttpClientSimcom_Instance* inst, char* url)
{
    if (!accept(inst, url))
    {
        return false;
    }
    startRequest(inst, url, NULL, false);
    return true;
}

bool gsmHttpClientSimcomPost(GSM_HttpClientSimcom_Instance* inst, char* url, char* postData)
{
    uint32_t n = 0u;
    if (!accept(inst, url) || (postData == NULL))
    {
        return false;
    }
    while (postData[n] != '\0')
    {
        if (++n > 0xFFFFu)
        {
            return false;
        }
    }
    startRequest(inst, url, postData, true);
    return true;
}

void gsmHttpClientSimcomPostSetContentType(GSM_HttpClientSimcom_Instance* inst, char* contentTypeOrNullForDefault)
{
    if (inst != NULL)
    {
        inst->ContentType = contentTypeOrNullForDefault;
    }
}

bool gsmHttpClientSimcomHttpOperationPending(GSM_HttpClientSimcom_Instance* inst)
{
    return (inst != NULL) && ((inst->Flags & HC_F_BUSY) != 0u);
}

bool gsmHttpClientSimcomHttpOperationStarted(GSM_HttpClientSimcom_Instance* inst)
{
    return (inst != NULL) && ((inst->Flags & (HC_F_BUSY | HC_F_STARTED)) == (HC_F_BUSY | HC_F_STARTED));
}

bool gsmHttpClientSimcomCancel(GSM_HttpClientSimcom_Instance* inst)
{
    if ((inst == NULL) || ((inst->Flags & HC_F_BUSY) == 0u))
    {
        return false;
    }
    gsmPromptRelease(inst->Prompt, inst);
    inst->Flags = (uint8_t)(inst->Flags & (uint8_t)~(HC_F_BUSY | HC_F_STARTED | HC_F_RESULT | HC_F_NONET | HC_F_SENT | HC_F_INIT));
    inst->State = HC_CLEANUP;
    return true;
}

void gsmHttpClientSimcomHttpTermWhenDone(GSM_HttpClientSimcom_Instance* inst, bool termWhenDone)
{
    if (inst != NULL)
    {
        inst->Flags = termWhenDone ? (uint8_t)(inst->Flags & (uint8_t)~HC_F_KEEP) : (uint8_t)(inst->Flags | HC_F_KEEP);
    }
}

void gsmHttpClientSimcomSetTimeouts(GSM_HttpClientSimcom_Instance* inst, uint32_t httpActionTimeout_ms, uint32_t httpReadTimeout_ms)
{
    if (inst != NULL)
    {
        inst->ActionTimeout_ms = (httpActionTimeout_ms != 0u) ? httpActionTimeout_ms : GSM_HTTPCLIENTSIMCOM_ACTION_TIMEOUT_MS;
        inst->ReadTimeout_ms = (httpReadTimeout_ms != 0u) ? httpReadTimeout_ms : GSM_HTTPCLIENTSIMCOM_READ_TIMEOUT_MS;
    }
}
