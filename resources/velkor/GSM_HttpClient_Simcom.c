/*
 * GSM_HttpClient_Simcom.c - HTTP GET / POST over the modem's HTTP service (2G and LTE forms).
 */
#include "GSM_HttpClient_Simcom.h"
#include "GSM_Required_Externals.h"
#include "GSM_Util.h"
#include "GSM_Prompt_Helper.h"

/* States. The command states (all but HC_IDLE, HC_ACTION_RES, HC_READ_END) are the indexes of their
 * commands in kCmd; from HC_ACTION_RES on the request runs on the modem (OperationStarted). */
enum
{
    HC_IDLE = 0,
    HC_TERM,       /* AT+HTTPTERM: before INIT of a request (result ignored), or after a request */
    HC_INIT,       /* AT+HTTPINIT */
    HC_CID,        /* AT+HTTPPARA="CID",1 (2G) */
    HC_SSL,        /* 2G: AT+HTTPSSL=<0|1> (TLS for an https:// URL); LTE, https:// URL only:
                    * AT+CSSLCFG="enableSNI",0,1 (the server name in the handshake, which many
                    * servers need; LTE modems go by the URL for TLS itself) */
    HC_URL,        /* AT+HTTPPARA="URL","..." */
    HC_CONTENT,    /* AT+HTTPPARA="CONTENT","..." (POST) */
    HC_DATA,       /* AT+HTTPDATA=<n>,<time> + body (POST with a body) */
    HC_ACTION,     /* AT+HTTPACTION=<method> */
    HC_ACTION_RES, /* waiting for +HTTPACTION: */
    HC_READ,       /* AT+HTTPREAD=<offset>,<size> */
    HC_READ_END    /* LTE: waiting for the blocks and "+HTTPREAD: 0" */
};

/* Command of each command state after "AT+HTTP" (the arguments follow in runCmd). */
static const char kCmd[] GSM_PGM = "\0TERM\0INIT\0PARA=\"CID\",1\0SSL=\0PARA=\"URL\",\0PARA=\"CONTENT\",\0DATA=\0ACTION=\0\0READ=";
static const char kHttp[] GSM_PGM = "AT+HTTP";
static const char kSni[] GSM_PGM = "AT+CSSLCFG=\"enableSNI\",0,1";

/* Flags */
#define HC_F_BUSY    0x01u /* a request is pending (user view) */
#define HC_F_SENT    0x02u /* the command of the present state was sent */
#define HC_F_INIT    0x04u /* AT+HTTPINIT succeeded and no AT+HTTPTERM since */
#define HC_F_KEEP    0x08u /* do not terminate after each request */
#define HC_F_NONET   0x10u /* +HTTP_NONET_EVENT arrived during the request */
#define HC_F_RESTART 0x20u /* a boot message arrived */
#define HC_F_DROP    0x40u /* ended after AT+HTTPDATA was sent: its body still goes out, then AT+HTTPTERM */
#define HC_F_READERR 0x80u /* LTE: the read ended with ERROR after its OK */
/* Flags2: set up by each request. Bit n (n = HC_CID, HC_SSL, HC_CONTENT, HC_DATA) set: the request
 * skips the command state n; bits 0 and 1 are free for flags because no request skips HC_IDLE or
 * HC_TERM. */
#define HC_F2_READ_END 0x01u                       /* LTE "+HTTPREAD: 0" arrived */
#define HC_F2_UNKNOWN  0x02u                       /* body length not announced: read until a short window */
#define HC_F2_LTE      ((1u << HC_CID) | (1u << HC_SSL)) /* LTE modem (no "CID", no AT+HTTPSSL), from the connection's family */
#define HC_F2_GET      (1u << HC_CONTENT)          /* GET: no content type */
#define HC_F2_NO_BODY  (1u << HC_DATA)             /* GET or empty POST body: no AT+HTTPDATA */
/* The skip bits (up to HC_DATA; HC_ACTION is reached by every request) fit the byte above the two flags. */
GSM_STATIC_ASSERT(hcSkipBitsFit, (HC_TERM == 1) && (HC_DATA < 8));

/* "+HTTP" covers +HTTPACTION:, +HTTPREAD and +HTTP_NONET_EVENT; the answer lines of the commands
 * arrive through this subscription too. An LTE read whose OK came first ends with "+HTTPREAD: 0", or
 * with ERROR / "+HTTPREAD: <err>" on failure, which the prompt passes on as it is outside a command. */
static const char* const kUrcPrefixes[] = {"+HTTP", "RDY", "*ATREADY:", "ERROR", NULL};

/* Command expectations: the short commands ("DOWNLOAD" is the data prompt of AT+HTTPDATA and comes
 * from no other; 2G modems answer AT+HTTPPARA and AT+HTTPTERM within 5 s); the long ones: AT+HTTPINIT
 * (which may activate the packet data context), AT+HTTPREAD (whose window also has its own time-out,
 * ReadTimeout_ms, checked by the poll), and on LTE modems every command but AT+HTTPDATA: they take up
 * to 120 s. */
static const GSM_Prompt_CmdSpec kSpecs[] = {{NULL, 10000u, GSM_PROMPT_CMD_DOWNLOAD}, {NULL, 130000u, 0u}};

static bool isLte(const GSM_HttpClientSimcom_Instance* inst)
{
    return (inst->Flags2 & HC_F2_LTE) != 0u;
}

/* Whether the request's URL names the https scheme (in lower case, as written by convention; the
 * comparison ends at the URL's terminator). */
static GSM_NOINLINE bool isHttps(const GSM_HttpClientSimcom_Instance* inst)
{
    return gsmUtilStartsWith(inst->Url, 0xFFFFu, "https:");
}

static uint8_t* bodyBuffer(GSM_HttpClientSimcom_Instance* inst, uint16_t* cap)
{
    uint8_t* buf = inst->BodyBuffer;
    uint16_t n = inst->BodyBufferSize;
    if ((buf == NULL) || (n == 0u))
    {
        buf = inst->Buf.Fallback;
        n = (uint16_t)GSM_HTTPCLIENTSIMCOM_FALLBACK_SIZE;
    }
    *cap = n;
    return buf;
}

static void onBody(void* ctx, const uint8_t* data, uint16_t len, uint16_t remaining)
{
    GSM_HttpClientSimcom_Instance* inst = (GSM_HttpClientSimcom_Instance*)ctx;
    uint16_t cap;
    uint8_t* buf = bodyBuffer(inst, &cap);
    GSM_UNUSED_ARG(remaining);
    if (inst->State < HC_READ) /* HC_READ, HC_READ_END */
    {
        return; /* bytes of a finished or cancelled request: framing only */
    }
    while ((len-- > 0u) && (inst->Got < cap) && (inst->Got < inst->Want))
    {
        buf[inst->Got++] = *data++;
    }
}

static void onLine(void* ctx, const char* line, uint16_t len)
{
    GSM_HttpClientSimcom_Instance* inst = (GSM_HttpClientSimcom_Instance*)ctx;
    uint32_t v[3];
    uint8_t n;
    char c;
    if (line[0] == 'E')
    {
        /* (while the read runs the ERROR would be its final result: this one came after the OK,
         * possibly before the poll saw that OK) */
        if (inst->State >= HC_READ) /* HC_READ, HC_READ_END */
        {
            inst->Flags |= HC_F_READERR;
        }
        return;
    }
    if (line[0] != '+')
    {
        /* the modem restarted: the HTTP session is gone */
        inst->Flags = (uint8_t)((inst->Flags & (uint8_t)~HC_F_INIT) | HC_F_RESTART);
        return;
    }
    if (len < 11u)
    {
        return;
    }
    n = (uint8_t)(gsmUtilUintFields(line, len, v, 3u) & (uint8_t)~GSM_UTIL_FIELDS_MORE); /* leading numbers */
    c = line[5];
    if (c == 'R')
    {
        /* "+HTTPREAD: <n>" (2G, LTE-A), "+HTTPREAD: DATA,<n>" (LTE-Q), "+HTTPREAD: 0" (LTE end marker) */
        if ((n == 0u) && !gsmUtilFieldUint(line, len, 1u, &v[0]))
        {
            return;
        }
        if ((v[0] == 0u) && (n != 0u))
        {
            inst->Flags2 |= HC_F2_READ_END; /* only LTE modems wait for it */
        }
        else if ((inst->State >= HC_READ) && (v[0] > (uint32_t)(inst->Want - inst->Got)))
        {
            /* More than the window still holds cannot be body: the LTE-A failure "+HTTPREAD: <err>",
             * whose codes (600 and above) exceed every window (GSM_HTTPCLIENTSIMCOM_MAX_READ). */
            inst->Flags |= HC_F_READERR;
        }
        else if (v[0] <= 0xFFFFu)
        {
            gsmPromptBinaryExpect(inst->Prompt, (uint16_t)v[0], &onBody, inst);
        }
    }
    else if (c == 'A') /* "+HTTPACTION: <method>,<status>,<datalen>" */
    {
        if (((uint8_t)(inst->State - HC_ACTION) <= 1u) /* HC_ACTION, HC_ACTION_RES */ && (n >= 2u) && (v[1] - 1u < 0xFFFFu))
        {
            inst->Status = (uint16_t)v[1]; /* not 0 any more: the result arrived */
            inst->ContentLength = (n >= 3u) ? v[2] : 0u; /* 0: not announced */
        }
    }
    else if ((c == '_') && (line[6] == 'N'))
    {
        /* "+HTTP_NONET_EVENT" (also between requests: the connection checks itself at once);
         * "+HTTP_PEER_CLOSED" only says that the server closed its connection */
        gsmInternetConnectionIfNotifyLost(inst->InternetConnection);
        if ((inst->Flags & HC_F_BUSY) != 0u)
        {
            inst->Flags |= HC_F_NONET;
        }
    }
}

/* Ends the request (no further event of it) and frees the prompt. After a failure the session state
 * is unknown, so it is terminated (after a modem restart the poll drops the session instead). */
static void end(GSM_HttpClientSimcom_Instance* inst, uint8_t result)
{
    if (result == (uint8_t)GSM_HttpClientSimcom_Result_Timeout)
    {
        /* A body block still open (its count was more than the modem sent: bytes lost on the line)
         * would take the answers of the following commands as body bytes: give it up. */
        gsmPromptBinaryCancel(inst->Prompt, &onBody);
    }
    gsmPromptRelease(inst->Prompt, inst);
    inst->State = (((inst->Flags & HC_F_KEEP) != 0u) && (result == (uint8_t)GSM_HttpClientSimcom_Result_Success)) ? HC_IDLE : HC_TERM;
    inst->Flags = (uint8_t)(inst->Flags & (uint8_t)~(HC_F_BUSY | HC_F_NONET | HC_F_SENT | HC_F_READERR | HC_F_DROP));
}

/* Raises a result event with `len` body bytes from the body buffer; `last` ends the request. Without
 * a pending request only the end takes place (no event).
 * After AT+HTTPDATA went out the modem takes exactly the announced count of bytes, whatever they are
 * (ESC too), and would take the following commands as body until the count is complete: a request
 * that ends there (cancelled, or the network lost) has its body written out to its end (also when
 * DOWNLOAD is still to come), then the poll terminates the session. A request accepted meanwhile
 * starts after that. */
static void raise(GSM_HttpClientSimcom_Instance* inst, uint8_t result, uint16_t len, bool last)
{
    GSM_HttpClientSimcom_Event_HttpResult ev;
    uint16_t cap;
    bool busy = (inst->Flags & HC_F_BUSY) != 0u;
    ev.Result = result;
    ev.Last = last;
    ev.HttpStatus = inst->Status;
    ev.ContentLength = inst->ContentLength;
    ev.DataOffset = inst->Offset;
    ev.Data = (len > 0u) ? bodyBuffer(inst, &cap) : NULL;
    ev.DataLen = len;
    if (last)
    {
        if ((inst->State == HC_DATA) && ((inst->Flags & HC_F_SENT) != 0u))
        {
            inst->Flags = (uint8_t)((inst->Flags & (uint8_t)~(HC_F_BUSY | HC_F_NONET)) | HC_F_DROP);
        }
        else
        {
            end(inst, result);
        }
    }
    if (busy && (inst->EventHandler != NULL))
    {
        inst->EventHandler(inst, GSM_HttpClientSimcom_EventType_HttpResult, &ev);
    }
}

/* Ends the request with a result that carries no body (no event when none is pending). */
static void finish(GSM_HttpClientSimcom_Instance* inst, uint8_t result)
{
    raise(inst, result, 0u, true);
}

static GSM_NOINLINE GSM_Prompt_CmdStatus runCmd(GSM_HttpClientSimcom_Instance* inst)
{
    GSM_Prompt_CmdStatus st;
    GSM_Prompt_Interface* p = inst->Prompt;
    uint8_t state = inst->State;
    if ((inst->Flags & HC_F_SENT) == 0u)
    {
        const GSM_Prompt_CmdSpec* spec =
            &kSpecs[((state == HC_INIT) || (state == HC_READ) || (isLte(inst) && (state != HC_DATA))) ? 1u : 0u];
        bool sni = (state == HC_SSL) && isLte(inst);
        if (gsmPromptHelperBeginP(p, inst, spec, sni ? kSni : kHttp))
        {
            if (!sni)
            {
                gsmPromptHelperAppendP(p, gsmUtilListText(kCmd, state));
            }
            switch (state)
            {
            case HC_URL:
                gsmPromptCmdAppendQuoted(p, inst->Url);
                break;
            case HC_CONTENT:
                gsmPromptCmdAppendQuoted(p, (inst->ContentType != NULL) ? inst->ContentType : GSM_HTTPCLIENTSIMCOM_DEFAULT_CONTENT_TYPE);
                break;
            case HC_SSL:
            case HC_ACTION:
                if (!sni)
                {
                    gsmPromptCmdAppendUint(p, ((state == HC_SSL) ? isHttps(inst) : (inst->PostData != NULL)) ? 1u : 0u, 1u);
                }
                break;
            case HC_DATA: /* <length>,<input time: milliseconds on 2G, seconds on LTE>: the time the
                           * body may take at the UART (about 1 ms a byte, as at 9600 baud) and 10 s
                           * more, as the prompt waits for it (LTE: 1 s a KiB and 30 s more) */
            case HC_READ: /* <offset>,<size> */
            {
                uint32_t a = inst->Offset;
                uint32_t b = inst->Want;
                if (state == HC_DATA)
                {
                    /* the bytes that go out after DOWNLOAD, kept apart from PostData / Want: a request
                     * accepted after a cancel of this one replaces those (see gsmHttpClientSimcomCancel) */
                    inst->Got = (uint16_t)b;
                    inst->Buf.Upload = inst->PostData;
                    a = b;
                    b = isLte(inst) ? ((b >> 10) + 30u) : (b + 10000u);
                }
                gsmPromptCmdAppendUint(p, a, 1u);
                gsmPromptCmdAppend(p, ",");
                gsmPromptCmdAppendUint(p, b, 1u);
                break;
            }
            default:
                break;
            }
            gsmPromptCmdSend(p);
            inst->Flags |= HC_F_SENT;
        }
        return GSM_Prompt_CmdStatus_Pending;
    }
    st = gsmPromptCmdStatus(p, inst);
    if (st == GSM_Prompt_CmdStatus_DataPrompt)
    {
        (void)gsmPromptDataSend(p, inst, (const uint8_t*)inst->Buf.Upload, inst->Got, GSM_PROMPT_DATA_NO_TERMINATOR,
                                10000u + (uint32_t)inst->Got);
        return GSM_Prompt_CmdStatus_Pending;
    }
    if (st != GSM_Prompt_CmdStatus_Pending)
    {
        inst->Flags = (uint8_t)(inst->Flags & (uint8_t)~HC_F_SENT);
    }
    return st;
}

/* Request result of each final command status (GSM_Prompt_CmdStatus order): Ok is Success; a reset
 * session (Idle: the command is gone, Aborted) means the modem restarted. */
static const uint8_t kResultOf[] = {
    (uint8_t)GSM_HttpClientSimcom_Result_ModemRestart, /* Idle */
    0u, 0u,                                            /* Pending, DataPrompt: not final */
    (uint8_t)GSM_HttpClientSimcom_Result_Success,      /* Ok */
    (uint8_t)GSM_HttpClientSimcom_Result_CommandError, /* Error */
    (uint8_t)GSM_HttpClientSimcom_Result_CommandError, /* CmeError */
    (uint8_t)GSM_HttpClientSimcom_Result_CommandError, /* CmsError */
    (uint8_t)GSM_HttpClientSimcom_Result_CommandError, /* OtherFinal */
    (uint8_t)GSM_HttpClientSimcom_Result_Timeout,      /* Timeout */
    (uint8_t)GSM_HttpClientSimcom_Result_ModemRestart  /* Aborted */
};

/* A read window of Got bytes is complete (first: the action result arrived, nothing was read yet):
 * delivers it, then starts the next window or ends the request when the whole body has been read. */
static void windowDone(GSM_HttpClientSimcom_Instance* inst, bool first)
{
    uint16_t cap;
    uint16_t got = inst->Got;
    uint32_t want;
    bool unknown = (inst->Flags2 & HC_F2_UNKNOWN) != 0u;
    if (!first)
    {
        bool last = (got == 0u) || (unknown ? (got < inst->Want) : ((inst->Offset + got) >= inst->ContentLength));
        /* an empty window before the announced length is reached: the modem has no more of the body */
        raise(inst,
              (uint8_t)(((got == 0u) && !unknown) ? GSM_HttpClientSimcom_Result_BodyIncomplete : GSM_HttpClientSimcom_Result_Success),
              got, last);
        if (inst->State < HC_READ)
        {
            /* done, or cancelled by the event handler (which may have started another request:
             * that one begins from the state the end left) */
            return;
        }
        inst->Offset += got;
    }
    (void)bodyBuffer(inst, &cap);
    want = (cap > GSM_HTTPCLIENTSIMCOM_MAX_READ) ? GSM_HTTPCLIENTSIMCOM_MAX_READ : cap;
    if (!unknown)
    {
        uint32_t rest = inst->ContentLength - inst->Offset; /* the offset never passes the length */
        if (rest == 0u)
        {
            finish(inst, (uint8_t)GSM_HttpClientSimcom_Result_Success); /* empty body */
            return;
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
}

void gsmHttpClientSimcomInit(GSM_HttpClientSimcom_Instance* inst)
{
    if (inst == NULL)
    {
        return;
    }
    inst->ContentType = NULL;
    gsmHttpClientSimcomSetTimeouts(inst, 0u, 0u);
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
    uint8_t state;
    uint8_t result;
    bool waiting = false;
    if (inst == NULL)
    {
        return; /* (a NULL Prompt needs no check: no request is accepted without one) */
    }
    if (gsmPowerIfRestarted(inst->Power, &inst->PowerStartCount) || ((inst->Flags & HC_F_RESTART) != 0u))
    {
        /* The modem's HTTP session is gone: the request ends, nothing is left to terminate. */
        inst->Flags = (uint8_t)(inst->Flags & (uint8_t)~(HC_F_INIT | HC_F_RESTART | HC_F_SENT)); /* no upload to finish */
        finish(inst, (uint8_t)GSM_HttpClientSimcom_Result_ModemRestart);
        inst->State = HC_IDLE;
        return;
    }
    state = inst->State;
    now = gsm__SysTime_ms();
    if ((inst->Flags & HC_F_NONET) != 0u) /* only set while a request is pending; the connection knows */
    {
        finish(inst, (uint8_t)GSM_HttpClientSimcom_Result_NoNetwork);
        return;
    }

    switch (state)
    {
    case HC_IDLE:
        if ((inst->Flags & HC_F_BUSY) != 0u)
        {
            /* a kept session goes on from the TLS setting (2G: the previous URL may have had the
             * other scheme; LTE skips it); an empty POST starts a new one, as the modem would post
             * the body that the session still holds (AT+HTTPDATA takes at least one byte) */
            inst->State = (((inst->Flags & HC_F_INIT) != 0u) && ((inst->Flags2 & (HC_F2_GET | HC_F2_NO_BODY)) != HC_F2_NO_BODY))
                              ? (uint8_t)(HC_SSL + ((inst->Flags2 >> HC_SSL) & 1u))
                              : (uint8_t)HC_TERM;
        }
        break;

    case HC_ACTION_RES:
        if (inst->Status == 0u)
        {
            waiting = true; /* no +HTTPACTION: yet */
        }
        else if (inst->Status >= 600u)
        {
            /* network error (601 both families, 709 LTE), LTE's "no network error": the connection is checked */
            if ((inst->Status == 601u) || (inst->Status == 709u) || (inst->Status == 717u))
            {
                gsmInternetConnectionIfNotifyLost(inst->InternetConnection); /* the connection checks itself */
            }
            finish(inst, (uint8_t)GSM_HttpClientSimcom_Result_ModemError);
        }
        else
        {
            if ((inst->ContentLength == 0u) && isLte(inst))
            {
                inst->Flags2 |= HC_F2_UNKNOWN; /* chunked answers announce 0: read until the end marker */
            }
            windowDone(inst, true);
        }
        break;

    case HC_READ_END:
        if ((inst->Flags & HC_F_READERR) != 0u)
        {
            finish(inst, (uint8_t)GSM_HttpClientSimcom_Result_CommandError);
        }
        else if ((inst->Flags2 & HC_F2_READ_END) != 0u)
        {
            windowDone(inst, false);
        }
        else
        {
            waiting = true;
        }
        break;

    default: /* the command states */
        st = runCmd(inst);
        if (st == GSM_Prompt_CmdStatus_Pending)
        {
            waiting = (state == HC_READ);
            break;
        }
        result = kResultOf[st];
        if (state == HC_TERM)
        {
            inst->Flags = (uint8_t)(inst->Flags & (uint8_t)~(HC_F_INIT | HC_F_DROP));
            if ((inst->Flags & HC_F_BUSY) == 0u)
            {
                gsmPromptRelease(inst->Prompt, inst); /* terminated after a request */
                inst->State = HC_IDLE;
                break;
            }
            /* The answer to AT+HTTPTERM does not matter (ERROR: no session), but without any answer
             * the modem may still hold the old session, and AT+HTTPINIT would fail on it: the
             * request fails as timed out, and the session is terminated again before the next. */
            if (result < (uint8_t)GSM_HttpClientSimcom_Result_Timeout)
            {
                result = (uint8_t)GSM_HttpClientSimcom_Result_Success;
            }
        }
        else if ((inst->Flags & HC_F_DROP) != 0u)
        {
            /* the AT+HTTPDATA of a request that ended during its upload is over: the session is
             * terminated, then a request accepted since goes on from there */
            inst->State = HC_TERM;
            break;
        }
        else if ((state == HC_READ) && (result == (uint8_t)GSM_HttpClientSimcom_Result_CommandError) &&
                 ((inst->Flags2 & HC_F2_UNKNOWN) != 0u))
        {
            inst->Got = 0u;
            windowDone(inst, false); /* no (more) body of an answer of unknown length */
            break;
        }
        else if ((state == HC_SSL) && (result == (uint8_t)GSM_HttpClientSimcom_Result_CommandError) && (!isHttps(inst) || isLte(inst)))
        {
            /* a 2G modem without TLS refuses AT+HTTPSSL=0 too; an LTE modem that sends the server
             * name anyway (SIM7600 class) may refuse the SNI setting */
            result = (uint8_t)GSM_HttpClientSimcom_Result_Success;
        }
        if (result != (uint8_t)GSM_HttpClientSimcom_Result_Success)
        {
            finish(inst, result);
        }
        else if (state == HC_READ)
        {
            if (isLte(inst))
            {
                inst->State = HC_READ_END; /* the claim is kept until the end marker */
            }
            else
            {
                windowDone(inst, false);
            }
        }
        else if (state == HC_ACTION)
        {
            gsmPromptRelease(inst->Prompt, inst); /* the prompt is free while the modem works */
            inst->Timer_ms = now + inst->ActionTimeout_ms;
            inst->State = HC_ACTION_RES;
        }
        else
        {
            if (state == HC_INIT)
            {
                inst->Flags |= HC_F_INIT;
            }
            do
            {
                state++;
            } while ((inst->Flags2 & (1u << state)) != 0u); /* the commands this request skips */
            inst->State = state;
        }
        break;
    }
    if (waiting && GSM_TIME_REACHED(now, inst->Timer_ms))
    {
        finish(inst, (uint8_t)GSM_HttpClientSimcom_Result_Timeout);
    }
}

/* Accepts a request: GET when body is NULL, else POST of the zero-terminated body. */
static bool request(GSM_HttpClientSimcom_Instance* inst, const char* url, const char* body)
{
    uint32_t n = 0u;
    /* The URL and the content type go into quoted parameters: empty (or NULL) and unquotable URLs, and
     * an unquotable content type of a POST, are refused (the length plus one is 0 or 1 for them). */
    if ((inst == NULL) || ((gsmInternetHelperQuotedLength(url) + 1u) < 2u) || ((inst->Flags & HC_F_BUSY) != 0u) ||
        (inst->Prompt == NULL) || !gsmInternetConnectionIfIsConnected(inst->InternetConnection) ||
        ((body != NULL) && (gsmInternetHelperQuotedLength(inst->ContentType) == GSM_INTERNETHELPER_UNQUOTABLE)))
    {
        return false;
    }
    if (body != NULL)
    {
        while (body[n] != '\0')
        {
            n++;
        }
        if (n > 0xFFFFu)
        {
            return false;
        }
    }
    inst->Url = url;
    inst->PostData = body;
    inst->Want = (uint16_t)n;
    inst->Status = 0u;
    inst->ContentLength = 0u;
    inst->Offset = 0u;
    /* (LTE: no "CID"; no TLS step but for an https:// URL, whose step sets the server name) */
    inst->Flags2 = (uint8_t)(((inst->InternetConnection->Family != (uint8_t)GSM_InternetConnection_Family_2G)
                                  ? (isHttps(inst) ? (1u << HC_CID) : HC_F2_LTE)
                                  : 0u) |
                             ((body == NULL) ? HC_F2_GET : 0u) | ((n == 0u) ? HC_F2_NO_BODY : 0u));
    inst->Flags = (uint8_t)((inst->Flags & (uint8_t)~HC_F_RESTART) | HC_F_BUSY); /* HC_F_NONET is clear: it is only set while a request is pending */
    return true;
}

bool gsmHttpClientSimcomGet(GSM_HttpClientSimcom_Instance* inst, char* url)
{
    return request(inst, url, NULL);
}

bool gsmHttpClientSimcomPost(GSM_HttpClientSimcom_Instance* inst, char* url, char* postData)
{
    return (postData != NULL) && request(inst, url, postData);
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
    /* HC_ACTION_RES and the states after it are reached only after an accepted AT+HTTPACTION */
    return (inst != NULL) && (inst->State >= HC_ACTION_RES);
}

bool gsmHttpClientSimcomCancel(GSM_HttpClientSimcom_Instance* inst)
{
    if (!gsmHttpClientSimcomHttpOperationPending(inst))
    {
        return false;
    }
    inst->Flags = (uint8_t)(inst->Flags & (uint8_t)~HC_F_BUSY); /* no event */
    finish(inst, (uint8_t)GSM_HttpClientSimcom_Result_CommandError); /* terminates the modem's session */
    return true;
}

void gsmHttpClientSimcomHttpTermWhenDone(GSM_HttpClientSimcom_Instance* inst, bool termWhenDone)
{
    if (inst != NULL)
    {
        inst->Flags = (uint8_t)((inst->Flags & (uint8_t)~HC_F_KEEP) | (termWhenDone ? 0u : HC_F_KEEP));
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
