/*
 * GSM_MqttClient_Simcom.c - MQTT client on the LTE modems' AT+CMQTT* service.
 */
#include "GSM_MqttClient_Simcom.h"
#include "GSM_Required_Externals.h"
#include "GSM_Util.h"
#include "GSM_Prompt_Helper.h"

/* Steps (State). An operation runs its steps one after another up to the one marked S_LAST; the
 * order matches kStep, kArgs and the step names in kNames. */
enum
{
    MQ_IDLE = 0,
    MQ_CDISC,     /* AT+CMQTTDISC=0,120 before a new start: a connection the modem may still hold */
    MQ_CREL,      /* AT+CMQTTREL=0 before a new start: the client may still be acquired */
    MQ_STOP,      /* AT+CMQTTSTOP before a new start (these three: results ignored) */
    MQ_START,     /* AT+CMQTTSTART */
    MQ_ACCQ,      /* AT+CMQTTACCQ=0,"<id>"[,1] */
    MQ_CFG,       /* AT+CMQTTCFG="version",0,4: MQTT 3.1.1 (result ignored: firmware without it keeps its own) */
    MQ_WILLTOPIC, /* AT+CMQTTWILLTOPIC=0,<n> + topic */
    MQ_WILLMSG,   /* AT+CMQTTWILLMSG=0,<n>,<qos> + message */
    MQ_CONNECT,   /* AT+CMQTTCONNECT=0,"<server>",<keep-alive>,<clean>[,"<user>"[,"<password>"]] */
    MQ_SUB,       /* AT+CMQTTSUB=0,<n>,<qos> + topic */
    MQ_UNSUB,     /* AT+CMQTTUNSUB=0,<n>,0 + topic */
    MQ_TOPIC,     /* AT+CMQTTTOPIC=0,<n> + topic */
    MQ_PAYLOAD,   /* AT+CMQTTPAYLOAD=0,<n> + payload */
    MQ_PUB,       /* AT+CMQTTPUB=0,<qos>,<timeout>,<retain> */
    MQ_DISC,      /* AT+CMQTTDISC=0,120 */
    MQ_REL,       /* AT+CMQTTREL=0 */
    MQ_STOPD      /* AT+CMQTTSTOP after the disconnect */
};

/* Names after "+CMQTT" (texts one after another, numbered from 1 by gsmUtilMatchList; kept in flash
 * on AVR): the URCs, then the command of each step, which also names its result line
 * "+CMQTT<name>: [<idx>,]<err>" (the steps of the disconnect share the names of the first three). */
static const char kNames[] GSM_PGM = "RXSTART\0RXTOPIC\0RXPAYLOAD\0RXEND\0CONNLOST\0PING\0NONET\0"
                                   "DISC\0REL\0STOP\0START\0ACCQ\0CFG\0WILLTOPIC\0WILLMSG\0CONNECT\0SUB\0UNSUB\0TOPIC\0PAYLOAD\0PUB\0";
enum
{
    U_RXSTART = 1,
    U_RXTOPIC,
    U_RXPAYLOAD,
    U_RXEND,
    U_CONNLOST,
    U_PING,
    U_NONET /* followed by the step names */
};

/* Arguments of each step's command after "=0" (texts one after another as in kNames). Codes below
 * 0x20 stand for a comma and a value; the codes 2, 4 and 6 take bits 0-1, 2-3 and 4 of QoS. Plain
 * text comes after the codes of its entry, never before one (compose writes it in one piece). */
#define A_LEN     "\x01" /* length of the data sent after the prompt */
#define A_SUBQOS  "\x02"
#define A_WILLQOS "\x03"
#define A_PUBQOS  "\x04"
#define A_PUBTO   "\x05" /* publish time-out in seconds */
#define A_RETAIN  "\x06" /* 0 / 1 */
#define A_KEEP    "\x07" /* keep-alive seconds */
#define A_CLEAN   "\x08" /* 0 / 1 */
#define A_TLS     "\x09" /* 1 for TLS, nothing otherwise */
#define A_ID      "\x0A" /* "<client id>" */
#define A_SERVER  "\x0B" /* "<server address>" */
#define A_USER    "\x0C" /* "<user name>" when there is one */
#define A_PASS    "\x0D" /* "<password>" when there is one */
static const char kArgs[] GSM_PGM = "\0"                                               /* idle */
                                  ",120" "\0"                                        /* DISC before a start */
                                  "\0"                                               /* REL before a start */
                                  "\0"                                               /* STOP */
                                  "\0"                                               /* START */
                                  A_ID A_TLS "\0"                                    /* ACCQ */
                                  "=\"version\",0,4" "\0"                            /* CFG */
                                  A_LEN "\0"                                         /* WILLTOPIC */
                                  A_LEN A_WILLQOS "\0"                               /* WILLMSG */
                                  A_SERVER A_KEEP A_CLEAN A_USER A_PASS "\0"         /* CONNECT */
                                  A_LEN A_SUBQOS "\0"                                /* SUB */
                                  A_LEN ",0" "\0"                                    /* UNSUB */
                                  A_LEN "\0"                                         /* TOPIC */
                                  A_LEN "\0"                                         /* PAYLOAD */
                                  A_PUBQOS A_PUBTO A_RETAIN "\0"                     /* PUB */
                                  ",120" "\0"                                        /* DISC */
                                  "\0"                                               /* REL */
                                  "";                                                /* STOP after DISC */

/* What each step is (kStep): its operation (GSM_MqttClientSimcom_Operation) and flags. */
#define S_OP     0x07u /* operation; S_NONE for the idle state */
#define S_NONE   0x07u
#define S_PROMPT 0x08u /* takes data after the "> " prompt */
#define S_WAIT   0x10u /* the OK is followed by a delayed result line */
#define S_IGNORE 0x20u /* the result does not matter (stop before a start; disconnect: best effort) */
#define S_LAST   0x40u /* the last step of its operation */
#define S_IDX    0x80u /* the command names the client: "=0" */
#define OP_CONN  ((uint8_t)GSM_MqttClientSimcom_Operation_Connect)
#define OP_SUB   ((uint8_t)GSM_MqttClientSimcom_Operation_Subscribe)
#define OP_UNSUB ((uint8_t)GSM_MqttClientSimcom_Operation_Unsubscribe)
#define OP_PUB   ((uint8_t)GSM_MqttClientSimcom_Operation_Publish)
#define OP_DISC  ((uint8_t)GSM_MqttClientSimcom_Operation_Disconnect)

static const uint8_t kStep[] GSM_PGM = {
    S_NONE,
    OP_CONN | S_IDX | S_WAIT | S_IGNORE,
    OP_CONN | S_IDX | S_IGNORE,
    OP_CONN | S_WAIT | S_IGNORE,
    OP_CONN | S_WAIT,
    OP_CONN | S_IDX,
    OP_CONN | S_IGNORE,
    OP_CONN | S_IDX | S_PROMPT,
    OP_CONN | S_IDX | S_PROMPT,
    OP_CONN | S_IDX | S_WAIT | S_LAST,
    OP_SUB | S_IDX | S_PROMPT | S_WAIT | S_LAST,
    OP_UNSUB | S_IDX | S_PROMPT | S_WAIT | S_LAST,
    OP_PUB | S_IDX | S_PROMPT,
    OP_PUB | S_IDX | S_PROMPT,
    OP_PUB | S_IDX | S_WAIT | S_LAST,
    OP_DISC | S_IDX | S_WAIT | S_IGNORE,
    OP_DISC | S_IDX | S_IGNORE,
    OP_DISC | S_WAIT | S_IGNORE | S_LAST,
};

/* Event of a completed operation, by operation. */
static const uint8_t kDoneEvent[] GSM_PGM = {
    (uint8_t)GSM_MqttClientSimcom_EventType_ConnectSuccess, (uint8_t)GSM_MqttClientSimcom_EventType_SubscribeSuccess,
    (uint8_t)GSM_MqttClientSimcom_EventType_UnsubscribeSuccess, (uint8_t)GSM_MqttClientSimcom_EventType_PublishSuccess,
    (uint8_t)GSM_MqttClientSimcom_EventType_DisconnectSuccess};

/* Requested operations (Want): bit 1 << operation. */
#define W_CONN  (1u << OP_CONN)
#define W_SUB   (1u << OP_SUB)
#define W_UNSUB (1u << OP_UNSUB)
#define W_PUB   (1u << OP_PUB)
#define W_DISC  (1u << OP_DISC)

/* Flags */
#define F_SENT    0x01u /* the command of the step was sent */
#define F_RESULT  0x02u /* the step's result line arrived (its <err> in Timer_ms) */
#define F_WAITRES 0x04u /* OK seen, waiting for the result line until Timer_ms */
#define F_SVC     0x08u /* the modem's MQTT service may be running */
#define F_LOST    0x10u /* +CMQTTCONNLOST / +CMQTTPING / modem restart arrived */
#define F_NONET   0x20u /* +CMQTTNONET arrived */
#define F_CONN    0x40u /* connected to the broker */
#define F_DRAIN   0x80u /* the step's operation was cancelled after its command went out: its data and
                           result line are awaited without an event, so that the result cannot pass for
                           a later operation's (the data still goes out: after the "> " prompt the
                           modem takes exactly the announced count of bytes, ESC too, and would take
                           the next command line as data) */

/* Receive states (RxState): the part of a received message whose bytes come next. The event types
 * of the two parts are laid out alike (chunk, header error, error), at 3 * RxState. */
#define RX_NONE    0u /* no message, or one being skipped after a fault */
#define RX_TOPIC   1u
#define RX_PAYLOAD 2u
GSM_STATIC_ASSERT(mqRxEventLayout, (GSM_MqttClientSimcom_EventType_MsgRxTopic == 3 * RX_TOPIC) &&
                                       (GSM_MqttClientSimcom_EventType_MsgRxTopicError == 3 * RX_TOPIC + 2) &&
                                       (GSM_MqttClientSimcom_EventType_MsgRxPayload == 3 * RX_PAYLOAD) &&
                                       (GSM_MqttClientSimcom_EventType_MsgRxPayloadError == 3 * RX_PAYLOAD + 2) &&
                                       (sizeof(GSM_MqttClientSimcom_Event_MsgRxTopic) == sizeof(GSM_MqttClientSimcom_Event_MsgRxPayload)));

#define MQ_RETAIN 0x10u /* in QoS */
#define EV_LOST   ((uint8_t)GSM_MqttClientSimcom_EventType_ConnectionLost)
#define EV_NONET  ((uint8_t)GSM_MqttClientSimcom_EventType_NoNetwork)

/* Every step's command: only those that take data answer with the "> " prompt (no other line of the
 * MQTT service starts with '>'). The modem may send a delayed result line before the command's OK /
 * ERROR, which then comes only when the operation is done: a step with a delayed result waits for
 * its final result (and its "> " prompt) as long as for the longest delayed result (a publish:
 * 180 s + 10 s). */
#define MQ_LATE_FINAL_MS \
    ((GSM_MQTTCLIENTSIMCOM_RESULT_TIMEOUT_MS > 190000u) ? (uint32_t)GSM_MQTTCLIENTSIMCOM_RESULT_TIMEOUT_MS : 190000u)
static const GSM_Prompt_CmdSpec kMqttCommand[2] = {{NULL, 12000u, GSM_PROMPT_CMD_DATA_PROMPT},
                                                   {NULL, MQ_LATE_FINAL_MS, GSM_PROMPT_CMD_DATA_PROMPT}};
static const char* const kUrcPrefixes[] = {"+CMQTT", "RDY", "*ATREADY:", NULL};
static const char kAtCmqtt[] GSM_PGM = "AT+CMQTT";
/* Number of the name of step `state` in kNames (the steps of the disconnect share the names of the
 * steps before a start). */
static uint8_t nameOf(uint8_t state)
{
    return (uint8_t)(U_NONET + ((state >= MQ_DISC) ? (uint8_t)(state - (MQ_DISC - MQ_CDISC)) : state));
}

/* Length of a zero-terminated text (0 for NULL); 32 bits so that no length wraps. */
static uint32_t textLen(const char* s)
{
    uint32_t n = 0u;
    if (s != NULL)
    {
        while (s[n] != '\0')
        {
            n++;
        }
    }
    return n;
}

static bool noText(const char* s)
{
    return (s == NULL) || (s[0] == '\0');
}

static void mqRaise(GSM_MqttClientSimcom_Instance* inst, uint8_t type, void* data)
{
    if (inst->EventHandler != NULL)
    {
        inst->EventHandler(inst, (GSM_MqttClientSimcom_EventType)type, data);
    }
}

static uint8_t stepInfo(uint8_t state)
{
    return GSM_PGM_READ_BYTE(&kStep[state]);
}

/* ---- received messages ---- */

/* Delivers the buffered bytes as a chunk of the topic or the payload (the two event records are
 * laid out alike). */
static void rxFlush(GSM_MqttClientSimcom_Instance* inst, const uint8_t* buf)
{
    union
    {
        GSM_MqttClientSimcom_Event_MsgRxTopic Topic;
        GSM_MqttClientSimcom_Event_MsgRxPayload Payload;
    } ev;
    ev.Payload.Payload = buf;
    ev.Payload.Length = inst->RxFill;
    ev.Payload.Offset = (uint16_t)(inst->RxTotal - inst->RxLeft);
    ev.Payload.TotalLength = inst->RxTotal;
    inst->RxLeft = (uint16_t)(inst->RxLeft - inst->RxFill);
    inst->RxFill = 0u;
    ev.Payload.Last = inst->RxLeft == 0u;
    mqRaise(inst, (uint8_t)(inst->RxState * 3u), &ev);
}

static void onRxData(void* ctx, const uint8_t* data, uint16_t len, uint16_t remaining)
{
    GSM_MqttClientSimcom_Instance* inst = (GSM_MqttClientSimcom_Instance*)ctx;
    const uint8_t* end = &data[len];
    /* bytes of a skipped part are consumed by count; the handler may change the buffer */
    while ((data != end) && (inst->RxState != RX_NONE))
    {
        uint8_t* buf = inst->Fallback;
        uint16_t cap = (uint16_t)GSM_MQTTCLIENTSIMCOM_FALLBACK_SIZE;
        if ((inst->RxBuffer != NULL) && (inst->RxBufferSize > 0u))
        {
            buf = inst->RxBuffer;
            cap = inst->RxBufferSize;
        }
        buf[inst->RxFill++] = *data++;
        if ((inst->RxFill >= cap) || ((data == end) && (remaining == 0u)))
        {
            rxFlush(inst, buf);
        }
    }
}

/* Ends the received message (at its end, or after a fault: its remaining bytes are skipped) and
 * raises `type`. */
static void rxStop(GSM_MqttClientSimcom_Instance* inst, uint8_t type)
{
    inst->RxState = RX_NONE;
    mqRaise(inst, type, NULL);
}

static void onUrc(void* ctx, const char* line, uint16_t len)
{
    GSM_MqttClientSimcom_Instance* inst = (GSM_MqttClientSimcom_Instance*)ctx;
    uint32_t f[3];
    /* the leading numbers: [<idx>,]<err>, or <idx>,<length>[,<length>], or <idx>,<cause> */
    unsigned k = (unsigned)gsmUtilUintFields(line, len, f, 3u) & (unsigned)~GSM_UTIL_FIELDS_MORE;
    bool ok = (k >= 2u) && (f[1] <= 0xFFFFu); /* the second field: a length, a cause or an <err> */
    uint16_t v = ok ? (uint16_t)f[1] : 0u;
    unsigned m = U_PING;
    if (line[0] == '+')
    {
        m = gsmUtilMatchList(line + 6, (uint16_t)(len - 6u), kNames, GSM_UTIL_MATCH_PREFIX);
    }
    else
    {
        inst->Flags &= (uint8_t)~F_SVC; /* RDY: the modem restarted, its MQTT service is gone */
    }
    if (m == U_RXSTART)
    {
        /* +CMQTTRXSTART: <idx>,<topic length>,<payload length> */
        inst->RxFill = 0u;
        inst->RxLeft = v;
        inst->RxTotal = v;
        inst->RxState = RX_TOPIC;
        if ((k < 3u) || ((f[1] | f[2]) > 0xFFFFu))
        {
            rxStop(inst, (uint8_t)GSM_MqttClientSimcom_EventType_MsgRxTopicHeaderError);
        }
        else
        {
            inst->RxPayloadTotal = (uint16_t)f[2];
        }
    }
    else if ((m >= U_RXTOPIC) && (m <= U_RXEND))
    {
        unsigned part = m - 1u; /* RX_TOPIC, RX_PAYLOAD, 3: the end */
        unsigned st = inst->RxState;
        if ((part != 3u) && !ok)
        {
            rxStop(inst, (uint8_t)(part * 3u + 1u));
            return;
        }
        /* the parts before this one are over: each must be complete */
        while ((st != RX_NONE) && (st < part))
        {
            if (inst->RxLeft != 0u)
            {
                mqRaise(inst, (uint8_t)(st * 3u + 2u), NULL);
                if (part == 3u)
                {
                    break; /* one fault per message */
                }
            }
            st++;
            inst->RxTotal = inst->RxPayloadTotal;
            inst->RxLeft = inst->RxTotal;
        }
        inst->RxState = (uint8_t)st;
        if (part == 3u)
        {
            rxStop(inst, (uint8_t)GSM_MqttClientSimcom_EventType_MsgRxEnd);
            return;
        }
        if ((st != part) || (v > inst->RxLeft))
        {
            rxStop(inst, (uint8_t)(part * 3u + 2u));
        }
        gsmPromptBinaryExpect(inst->Prompt, v, &onRxData, inst);
    }
    else if (m == U_NONET)
    {
        /* the connection checks itself at once, also when no session is up */
        gsmInternetConnectionIfNotifyLost(inst->InternetConnection);
        inst->Flags |= F_NONET;
    }
    else if (m > U_NONET)
    {
        /* the result line of the running step: "+CMQTT<name>: <idx>,<err>" or "+CMQTT<name>: <err>" */
        if ((m == nameOf(inst->State)) && (k != 0u) && (f[(k >= 2u) ? 1u : 0u] < 0x8000u))
        {
            inst->Timer_ms = f[(k >= 2u) ? 1u : 0u];
            inst->Flags |= F_RESULT;
        }
    }
    else if (m >= U_CONNLOST)
    {
        inst->LostCause = (uint8_t)((m == U_CONNLOST) ? v : 0u);
        inst->Flags |= F_LOST;
    }
}

/* ---- commands ---- */

/* The data a prompt step sends (none: the step is skipped). The will steps use the slots of the
 * unsubscribe and publish topics, which are free while connecting. */
#define DATA_OF(state) (((unsigned)(state) - MQ_SUB) & 3u)

/* Writes the command of the running step after "AT+CMQTT"; `n` is the length of its data. */
static void compose(GSM_MqttClientSimcom_Instance* inst, uint8_t info, uint16_t n)
{
    GSM_Prompt_Interface* p = inst->Prompt;
    const GSM_MqttClientSimcom_Connect_Session* s = inst->Session;
    const char* c = gsmUtilListText(kArgs, inst->State);
    uint8_t b;
    gsmPromptHelperAppendP(p, gsmUtilListText(kNames, (uint8_t)(nameOf(inst->State) - 1u))); /* counted from 0 */
    if ((info & S_IDX) != 0u)
    {
        gsmPromptCmdAppend(p, "=0");
    }
    while ((b = GSM_PGM_READ_BYTE(c)) != 0u)
    {
        unsigned v = 1u; /* every value fits 16 bits (a length, a QoS, seconds up to 64800) */
        const char* q = NULL;
        c++;
        switch (b)
        {
        case 0x01: v = n; break;
        case 0x02:
        case 0x04:
        case 0x06: v = ((unsigned)inst->QoS >> (b - 2u)) & 0x03u; break;
        case 0x03: v = s->WillQoS; break;
        case 0x05: v = inst->PubTimeout_s; break;
        case 0x07: v = s->KeepAlive_s; break;
        case 0x08: v = s->CleanSession ? 1u : 0u; break;
        case 0x09:
            if (!s->UseTls)
            {
                continue;
            }
            break;
        case 0x0A: q = s->ClientId; break;
        case 0x0B: q = s->ServerAddress; break;
        case 0x0C: q = s->UserName; break;
        case 0x0D: q = s->Password; break;
        default: /* text of the command: the rest of the entry (no code follows a text) */
            gsmPromptHelperAppendP(p, c - 1);
            return;
        }
        if (b < 0x0Au)
        {
            gsmPromptCmdAppend(p, ",");
            gsmPromptCmdAppendUint(p, v, 1u);
        }
        else if (q != NULL)
        {
            gsmPromptCmdAppend(p, ",");
            gsmPromptCmdAppendQuoted(p, q);
        }
    }
}

/* Ends the running step and goes on with `state` (MQ_IDLE: none). */
static void nextStep(GSM_MqttClientSimcom_Instance* inst, uint8_t state)
{
    inst->State = state;
    inst->Flags &= (uint8_t)~(F_SENT | F_RESULT | F_WAITRES | F_DRAIN);
}

/* Abandons the running step (releasing the prompt abandons its command). */
static void abortStep(GSM_MqttClientSimcom_Instance* inst)
{
    gsmPromptRelease(inst->Prompt, inst);
    nextStep(inst, MQ_IDLE);
}

/* Runs the present step: sends its command (and its data at the prompt), awaits its result, then
 * goes on with the next step or ends the operation with its event. */
static GSM_NOINLINE_32 void runStep(GSM_MqttClientSimcom_Instance* inst)
{
    GSM_Prompt_Interface* p = inst->Prompt;
    uint8_t s = inst->State;
    uint8_t info = stepInfo(s);
    uint8_t op = (uint8_t)(info & S_OP);
    unsigned fl = inst->Flags;
    int code = ((fl & F_RESULT) != 0u) ? (int16_t)inst->Timer_ms : 0;
    unsigned n = 0u;
    const char* d = NULL;
    bool stopped;
    const GSM_Prompt_CmdSpec* spec = &kMqttCommand[(info / S_WAIT) & 1u]; /* [1]: a step with a delayed result */
    uint8_t type;
    GSM_MqttClientSimcom_Event_ErrorResponse ev;
    if ((info & S_PROMPT) != 0u)
    {
        d = inst->Data[DATA_OF(s)];
        n = (s == MQ_PAYLOAD) ? inst->PubLen : textLen(d);
    }
    if (((info & S_PROMPT) != 0u) && (n == 0u))
    {
        /* nothing to send (no will message): the step is skipped */
    }
    else if ((fl & F_WAITRES) != 0u)
    {
        if ((fl & F_RESULT) == 0u)
        {
            if (!GSM_TIME_REACHED(gsm__SysTime_ms(), inst->Timer_ms))
            {
                return;
            }
            code = GSM_MQTTCLIENTSIMCOM_ERR_TIMEOUT;
        }
    }
    else if ((fl & F_SENT) == 0u)
    {
        if (gsmPromptHelperBeginP(p, inst, spec, kAtCmqtt))
        {
            compose(inst, (uint8_t)info, (uint16_t)n);
            gsmPromptCmdSend(p);
            inst->Flags |= F_SENT;
        }
        return;
    }
    else
    {
        uint8_t st = (uint8_t)gsmPromptCmdStatus(p, inst); /* (a byte: shorter tests on AVR) */
        if (st == GSM_Prompt_CmdStatus_DataPrompt)
        {
            (void)gsmPromptDataSend(p, inst, (const uint8_t*)d, (uint16_t)n, GSM_PROMPT_DATA_NO_TERMINATOR, spec->Timeout_ms);
            return;
        }
        /* a result line with an <err> ends the command: the modem may send it in place of the
         * prompt without a final result, or before its ERROR */
        if ((st == GSM_Prompt_CmdStatus_Pending) && (code == 0))
        {
            return;
        }
        if (st == GSM_Prompt_CmdStatus_Ok)
        {
            if (((info & S_WAIT) != 0u) && ((fl & F_RESULT) == 0u))
            {
                uint32_t t = (s == MQ_STOP) ? 15000u : GSM_MQTTCLIENTSIMCOM_RESULT_TIMEOUT_MS;
                if (s == MQ_PUB)
                {
                    t = (uint32_t)inst->PubTimeout_s * 1000u + 10000u;
                }
                gsmPromptRelease(p, inst); /* the prompt is free while the modem works */
                inst->Flags |= F_WAITRES;
                inst->Timer_ms = gsm__SysTime_ms() + t;
                return;
            }
        }
        else if (code == 0) /* (otherwise the <err> of the result line stands) */
        {
            code = GSM_PROMPT_STATUS_IS_ERROR(st) ? GSM_MQTTCLIENTSIMCOM_ERR_REFUSED
                   : (st == GSM_Prompt_CmdStatus_Timeout) ? GSM_MQTTCLIENTSIMCOM_ERR_TIMEOUT
                                                          : GSM_MQTTCLIENTSIMCOM_ERR_ABORTED;
        }
    }
    /* the step is over */
    gsmPromptRelease(p, inst);
    stopped = code == 0; /* for the last step of a disconnect: the service stopped */
    /* start: ERROR or <err> 23 when the service is already running; accq: 19 when already acquired */
    if (((info & S_IGNORE) != 0u) || ((s == MQ_START) && ((code == GSM_MQTTCLIENTSIMCOM_ERR_REFUSED) || (code == 23))) ||
        ((s == MQ_ACCQ) && (code == 19)))
    {
        code = 0;
    }
    if ((code == 0) && ((info & S_LAST) == 0u) && ((fl & F_DRAIN) == 0u))
    {
        nextStep(inst, (uint8_t)(s + 1u));
        return;
    }
    nextStep(inst, MQ_IDLE);
    if ((fl & F_DRAIN) != 0u)
    {
        /* cancelled, or a disconnect came meanwhile: no event, and a request of the same kind made
         * since stays queued (the disconnect runs now, so a connection the step made is closed) */
        return;
    }
    inst->Want &= (uint8_t)~(1u << op);
    if (code != 0)
    {
        ev.Operation = (uint8_t)op;
        ev.ErrorCode = (int16_t)code;
        type = (uint8_t)GSM_MqttClientSimcom_EventType_ErrorResponse;
    }
    else
    {
        if (op == OP_CONN)
        {
            inst->Flags |= F_CONN;
        }
        else if (op == OP_DISC)
        {
            /* after a failed stop (a disconnect or a release the modem refused) the service may still
             * run with the client acquired: the next connect clears it first */
            inst->Flags &= (uint8_t)~(stopped ? (F_SVC | F_CONN) : F_CONN);
        }
        type = GSM_PGM_READ_BYTE(&kDoneEvent[op]);
    }
    mqRaise(inst, type, (code != 0) ? &ev : NULL);
}

static bool networkUp(const GSM_MqttClientSimcom_Instance* inst)
{
    return ((inst->NetworkRegistration == NULL) || gsmNetworkRegistrationIfIsRegistered(inst->NetworkRegistration)) &&
           ((inst->InternetConnection == NULL) || gsmInternetConnectionIfIsConnected(inst->InternetConnection));
}

void gsmMqttClientSimcomInit(GSM_MqttClientSimcom_Instance* inst)
{
    if (inst == NULL)
    {
        return;
    }
    inst->RxState = RX_NONE;
    inst->State = MQ_IDLE;
    inst->Want = 0u;
    inst->Flags = F_SVC; /* a service left running from before is stopped at the first connect */
    inst->PowerStartCount = gsmPowerIfStartCount(inst->Power);
    inst->Urc.Prefixes = kUrcPrefixes;
    inst->Urc.Handler = &onUrc;
    inst->Urc.Context = inst;
    gsmPromptUrcSubscribe(inst->Prompt, &inst->Urc);
}

void gsmMqttClientSimcomPoll(GSM_MqttClientSimcom_Instance* inst)
{
    uint8_t w;
    uint8_t f;
    uint8_t lost = 0u; /* the connection ended: its event, ConnectionLost or NoNetwork */
    if ((inst == NULL) || (inst->Prompt == NULL))
    {
        return;
    }
    w = inst->Want;
    f = inst->Flags;
    if (gsmPowerIfRestarted(inst->Power, &inst->PowerStartCount))
    {
        /* the modem is off or restarted: no MQTT service is running */
        inst->RxState = RX_NONE;
        inst->LostCause = 0u;
        inst->Flags = 0u;
        if (((f & F_CONN) != 0u) || ((w & W_DISC) != 0u))
        {
            lost = EV_LOST;
        }
        else if (w != 0u)
        {
            lost = EV_NONET; /* connecting */
        }
    }
    else if ((f & (F_LOST | F_NONET)) != 0u)
    {
        inst->Flags = (uint8_t)(f & ~(F_LOST | F_NONET));
        if (((w & W_DISC) == 0u) && (((w & W_CONN) != 0u) || ((f & F_CONN) != 0u)))
        {
            lost = ((f & F_NONET) != 0u) ? EV_NONET : EV_LOST;
        }
    }
    else if (inst->State != MQ_IDLE)
    {
        runStep(inst);
    }
    /* idle (the flags of a step are clear): start the next requested operation */
    else if ((w & W_DISC) != 0u)
    {
        inst->State = MQ_DISC;
    }
    else if ((w & W_CONN) != 0u)
    {
        if (networkUp(inst))
        {
            /* a service that may be running is cleared first (a connection the modem still holds
             * after a failed ping or a late connect, the client acquired before, the service);
             * from the start on it may run */
            inst->State = ((f & F_SVC) != 0u) ? MQ_CDISC : MQ_START;
            inst->Flags = (uint8_t)(f | F_SVC);
        }
        else
        {
            lost = EV_NONET;
        }
    }
    else if (w != 0u)
    {
        inst->State = ((w & W_SUB) != 0u) ? MQ_SUB : ((w & W_UNSUB) != 0u) ? MQ_UNSUB : MQ_TOPIC;
    }
    if (lost != 0u)
    {
        /* every operation is dropped with the connection */
        GSM_MqttClientSimcom_Event_ConnectionLost ev;
        abortStep(inst);
        inst->Want = 0u;
        inst->Flags &= (uint8_t)~F_CONN;
        ev.Cause = inst->LostCause;
        mqRaise(inst, lost, (lost == EV_LOST) ? &ev : NULL);
    }
}

void gsmMqttClientSimcomInitConfigDefault(GSM_MqttClientSimcom_Connect_Session* connect_session)
{
    if (connect_session == NULL)
    {
        return;
    }
    connect_session->ClientId = NULL;
    connect_session->ServerAddress = NULL;
    connect_session->KeepAlive_s = 60u;
    connect_session->CleanSession = true;
    connect_session->UseTls = false;
    connect_session->UserName = NULL;
    connect_session->Password = NULL;
    connect_session->WillTopic = NULL;
    connect_session->WillMessage = NULL;
    connect_session->WillQoS = 0u;
}

/* Whether a quoted parameter of AT+CMQTTCONNECT is refused: not 1..`max` bytes, or not quotable
 * (GSM_INTERNETHELPER_UNQUOTABLE is above every limit). */
static bool badQuoted(const char* text, uint32_t max)
{
    return (gsmInternetHelperQuotedLength(text) - 1u) >= max;
}

bool gsmMqttClientSimcomConnect(GSM_MqttClientSimcom_Instance* inst, GSM_MqttClientSimcom_Connect_Session* connect_session)
{
    GSM_MqttClientSimcom_Connect_Session* s = connect_session;
    /* client id 1..128 bytes, server 9..256, user name and password (optional, the password only with
     * a user name) 1..256, all quotable */
    if ((inst == NULL) || (s == NULL) || (gsmMqttClientServerConnectionState(inst) != GSM_MQTT_ServerStatus_Disconnected) ||
        badQuoted(s->ClientId, 128u) || ((gsmInternetHelperQuotedLength(s->ServerAddress) - 9u) >= 248u) ||
        ((s->Password != NULL) ? (badQuoted(s->Password, 256u) || badQuoted(s->UserName, 256u))
                               : ((s->UserName != NULL) && badQuoted(s->UserName, 256u))) ||
        (s->WillQoS > 2u) || ((uint16_t)(s->KeepAlive_s - 1u) >= 64800u) ||
        ((s->WillTopic != NULL) && (noText(s->WillTopic) || noText(s->WillMessage))))
    {
        return false;
    }
    inst->Session = s;
    inst->Data[DATA_OF(MQ_WILLTOPIC)] = s->WillTopic;
    inst->Data[DATA_OF(MQ_WILLMSG)] = (s->WillTopic != NULL) ? s->WillMessage : NULL;
    inst->Want = W_CONN;
    return true;
}

/* Queues operation `op` (subscribe, unsubscribe, publish) for `topic` when connected, no other of
 * its kind is pending and the topic has 1..1024 characters. */
static bool queueOp(GSM_MqttClientSimcom_Instance* inst, uint8_t op, const char* topic)
{
    if ((gsmMqttClientServerConnectionState(inst) != GSM_MQTT_ServerStatus_Connected) || ((inst->Want & (1u << op)) != 0u) ||
        ((textLen(topic) - 1u) >= 1024u))
    {
        return false;
    }
    inst->Data[op - 1u] = topic;
    inst->Want |= (uint8_t)(1u << op);
    return true;
}

bool gsmMqttClientSimcomSubscribe(GSM_MqttClientSimcom_Instance* inst, char* subscribe_topic, uint8_t subscribe_QoS)
{
    if ((subscribe_QoS > 2u) || !queueOp(inst, OP_SUB, subscribe_topic))
    {
        return false;
    }
    inst->QoS = (uint8_t)((inst->QoS & ~0x03u) | subscribe_QoS);
    return true;
}

bool gsmMqttClientSimcomPublish(GSM_MqttClientSimcom_Instance* inst, char* publish_topic, char* publish_message)
{
    GSM_MqttClientSimcom_Publish_Parameters prm;
    prm.Topic = publish_topic;
    prm.Message = publish_message;
    prm.MessageLength = 0u;
    prm.QoS = 0u;
    prm.Retain = false;
    prm.Timeout_s = 0u;
    return gsmMqttClientSimcomPublishEx(inst, &prm);
}

bool gsmMqttClientSimcomPublishEx(GSM_MqttClientSimcom_Instance* inst, GSM_MqttClientSimcom_Publish_Parameters* publish_parameters)
{
    const GSM_MqttClientSimcom_Publish_Parameters* prm = publish_parameters;
    uint32_t n;
    if ((prm == NULL) || (prm->Message == NULL) || (prm->QoS > 2u) || (prm->Timeout_s > 180u))
    {
        return false;
    }
    n = (prm->MessageLength != 0u) ? prm->MessageLength : textLen(prm->Message);
    if (((n - 1u) >= 10240u) || !queueOp(inst, OP_PUB, prm->Topic))
    {
        return false;
    }
    inst->Data[OP_PUB] = prm->Message;
    inst->PubLen = (uint16_t)n;
    inst->QoS = (uint8_t)((inst->QoS & 0x03u) | (uint8_t)(prm->QoS << 2) | (prm->Retain ? MQ_RETAIN : 0u));
    inst->PubTimeout_s = (prm->Timeout_s != 0u) ? prm->Timeout_s : (uint8_t)GSM_MQTTCLIENTSIMCOM_PUBLISH_TIMEOUT_S;
    return true;
}

bool gsmMqttClientSimcomUnsubscribe(GSM_MqttClientSimcom_Instance* inst, char* unsubscribe_topic)
{
    return queueOp(inst, OP_UNSUB, unsubscribe_topic);
}

/* Cancels operation `op` when it is requested; its step, when running, is dropped. */
static bool cancelOp(GSM_MqttClientSimcom_Instance* inst, uint8_t op)
{
    uint8_t info;
    if ((inst == NULL) || ((inst->Want & (1u << op)) == 0u))
    {
        return false;
    }
    inst->Want &= (uint8_t)~(1u << op);
    info = stepInfo(inst->State);
    if ((info & S_OP) == op)
    {
        /* once the command of a step with data or a result line went out (also before its OK came),
         * the modem may have taken it: its data goes out and its result line is awaited without an
         * event, so that it cannot pass for a later operation's and the next command does not find
         * the client busy */
        if (((inst->Flags & F_SENT) != 0u) && ((info & (S_WAIT | S_PROMPT)) != 0u))
        {
            inst->Flags |= F_DRAIN;
        }
        else
        {
            abortStep(inst);
        }
    }
    return true;
}

bool gsmMqttClientSimcomDisconnect(GSM_MqttClientSimcom_Instance* inst)
{
    GSM_MQTT_ServerStatus st = gsmMqttClientServerConnectionState(inst);
    if (((unsigned)st - (unsigned)GSM_MQTT_ServerStatus_Connecting) > 1u) /* not connecting or connected */
    {
        return false; /* disconnected or disconnecting */
    }
    /* the running operation is cancelled: a connect the modem is working on is awaited, so that the
     * disconnect also closes the connection a late success makes */
    (void)cancelOp(inst, (uint8_t)(stepInfo(inst->State) & S_OP));
    inst->Want = W_DISC;
    return true;
}

bool gsmMqttClientSimcomCancelPublish(GSM_MqttClientSimcom_Instance* inst)
{
    return cancelOp(inst, OP_PUB);
}

bool gsmMqttClientSimcomCancelSubscribe(GSM_MqttClientSimcom_Instance* inst)
{
    return cancelOp(inst, OP_SUB);
}

bool gsmMqttClientSimcomCancelUnsubscribe(GSM_MqttClientSimcom_Instance* inst)
{
    return cancelOp(inst, OP_UNSUB);
}

GSM_MQTT_ServerStatus gsmMqttClientServerConnectionState(GSM_MqttClientSimcom_Instance* inst)
{
    unsigned st = GSM_MQTT_ServerStatus_Disconnected;
    if (inst != NULL)
    {
        st = ((inst->Want & W_DISC) != 0u)   ? GSM_MQTT_ServerStatus_Disconnecting
             : ((inst->Want & W_CONN) != 0u) ? GSM_MQTT_ServerStatus_Connecting
             : ((inst->Flags & F_CONN) != 0u) ? GSM_MQTT_ServerStatus_Connected
                                              : GSM_MQTT_ServerStatus_Disconnected;
    }
    return (GSM_MQTT_ServerStatus)st;
}
