/*
 * GSM_MqttClient_Simcom.c - MQTT client on the LTE modems' AT+CMQTT* service.
 */
#include "GSM_MqttClient_Simcom.h"
#include "GSM_Required_Externals.h"
#include "GSM_Util.h"
#include "GSM_Prompt_Helper.h"

/* Steps (State). The order matters: the tables below and the operation ranges follow it. */
enum
{
    MQ_IDLE = 0,
    MQ_STOP,      /* AT+CMQTTSTOP before a new start (result ignored) */
    MQ_START,     /* AT+CMQTTSTART */
    MQ_ACCQ,      /* AT+CMQTTACCQ=0,"<id>"[,1] */
    MQ_WILLTOPIC, /* AT+CMQTTWILLTOPIC=0,<n> + topic */
    MQ_WILLMSG,   /* AT+CMQTTWILLMSG=0,<n>,<qos> + message */
    MQ_CONNECT,   /* AT+CMQTTCONNECT=0,... */
    MQ_SUB,       /* AT+CMQTTSUB=0,<n>,<qos> + topic */
    MQ_UNSUB,     /* AT+CMQTTUNSUB=0,<n>,0 + topic */
    MQ_TOPIC,     /* AT+CMQTTTOPIC=0,<n> + topic */
    MQ_PAYLOAD,   /* AT+CMQTTPAYLOAD=0,<n> + payload */
    MQ_PUB,       /* AT+CMQTTPUB=0,<qos>,<timeout>,<retain> */
    MQ_DISC,      /* AT+CMQTTDISC=0,120 */
    MQ_REL,       /* AT+CMQTTREL=0 */
    MQ_STOPD      /* AT+CMQTTSTOP after the disconnect */
};

/* Argument codes inside the command texts below (bytes below 0x20). */
#define A_LEN    "\x01" /* length of the data sent after the prompt */
#define A_SUBQOS "\x02"
#define A_WILLQOS "\x03"
#define A_PUBQOS "\x04"
#define A_PUBTO  "\x05" /* publish time-out in seconds */
#define A_RETAIN "\x06" /* 0 / 1 */
#define A_ID     "\x07" /* quoted client id */
#define A_TLS    "\x08" /* ",1" for TLS, nothing otherwise */
#define A_SERVER "\x09" /* quoted server address */
#define A_KEEP   "\x0A" /* keep-alive seconds */
#define A_CLEAN  "\x0B" /* 0 / 1 */
#define A_LOGIN  "\x0C" /* ,"user"[,"password"] when a user name is set */

/* Command of each step after "AT+CMQTT" (texts one after another, read with gsmUtilListText; kept
 * in flash on AVR). Its name (up to '=') also names the result line "+CMQTT<name>: [<idx>,]<err>". */
static const char kCmd[] GSM_PGM = "" "\0"
                                 "STOP" "\0"
                                 "START" "\0"
                                 "ACCQ=0," A_ID A_TLS "\0"
                                 "WILLTOPIC=0," A_LEN "\0"
                                 "WILLMSG=0," A_LEN "," A_WILLQOS "\0"
                                 "CONNECT=0," A_SERVER "," A_KEEP "," A_CLEAN A_LOGIN "\0"
                                 "SUB=0," A_LEN "," A_SUBQOS "\0"
                                 "UNSUB=0," A_LEN ",0" "\0"
                                 "TOPIC=0," A_LEN "\0"
                                 "PAYLOAD=0," A_LEN "\0"
                                 "PUB=0," A_PUBQOS "," A_PUBTO "," A_RETAIN "\0"
                                 "DISC=0,120" "\0"
                                 "REL=0" "\0"
                                 "STOP";
#define BIT(s) (1u << (s))
/* Steps whose OK is followed by a delayed result line. */
#define MQ_WAITS (BIT(MQ_STOP) | BIT(MQ_START) | BIT(MQ_CONNECT) | BIT(MQ_SUB) | BIT(MQ_UNSUB) | BIT(MQ_PUB) | BIT(MQ_DISC) | BIT(MQ_STOPD))
/* Steps that take data after the "> " prompt. */
#define MQ_PROMPTS (BIT(MQ_WILLTOPIC) | BIT(MQ_WILLMSG) | BIT(MQ_SUB) | BIT(MQ_UNSUB) | BIT(MQ_TOPIC) | BIT(MQ_PAYLOAD))

/* Wanted operations (Want) */
#define W_CONN  0x01u
#define W_DISC  0x02u
#define W_SUB   0x04u
#define W_UNSUB 0x08u
#define W_PUB   0x10u

/* Flags */
#define F_SENT    0x01u /* the command of the step was sent */
#define F_RESULT  0x02u /* the step's result line arrived (code in ResultCode) */
#define F_WAITRES 0x04u /* OK seen, waiting for the result line */
#define F_SVC     0x08u /* the modem's MQTT service may be running */
#define F_LOST    0x10u /* +CMQTTCONNLOST / +CMQTTPING arrived */
#define F_NONET   0x20u /* +CMQTTNONET arrived */

/* Receive states (RxState) */
#define RX_IDLE    0u
#define RX_TOPIC   1u
#define RX_PAYLOAD 2u
#define RX_DISCARD 3u

#define MQ_RETAIN_BIT 0x80u

static const GSM_Prompt_CmdSpec kSpec = {NULL, 12000u, 0u};
static const GSM_Prompt_CmdSpec kPromptSpec = {NULL, 12000u, GSM_PROMPT_CMD_DATA_PROMPT};
static const char* const kUrcPrefixes[] = {"+CMQTT", "RDY", "*ATREADY:", NULL};

static uint16_t textLen(const char* s)
{
    uint16_t n = 0u;
    if (s != NULL)
    {
        while ((s[n] != '\0') && (n < 0xFFFFu))
        {
            n++;
        }
    }
    return n;
}

static void mqRaise(GSM_MqttClientSimcom_Instance* inst, GSM_MqttClientSimcom_EventType type, void* data)
{
    if (inst->EventHandler != NULL)
    {
        inst->EventHandler(inst, type, data);
    }
}

static uint8_t* rxBuffer(GSM_MqttClientSimcom_Instance* inst, uint16_t* cap)
{
    if ((inst->RxBuffer != NULL) && (inst->RxBufferSize > 0u))
    {
        *cap = inst->RxBufferSize;
        return inst->RxBuffer;
    }
    *cap = (uint16_t)GSM_MQTTCLIENTSIMCOM_FALLBACK_SIZE;
    return inst->Fallback;
}

/* ---- received messages ---- */

static void rxFlush(GSM_MqttClientSimcom_Instance* inst)
{
    uint16_t cap;
    uint8_t* buf = rxBuffer(inst, &cap);
    uint16_t n = inst->RxFill;
    inst->RxFill = 0u;
    if (inst->RxState == RX_TOPIC)
    {
        GSM_MqttClientSimcom_Event_MsgRxTopic ev;
        ev.Topic = (const char*)buf;
        ev.Length = n;
        ev.Offset = inst->RxTopicGot;
        ev.TotalLength = inst->RxTopicTotal;
        inst->RxTopicGot = (uint16_t)(inst->RxTopicGot + n);
        ev.Last = inst->RxTopicGot == inst->RxTopicTotal;
        mqRaise(inst, GSM_MqttClientSimcom_EventType_MsgRxTopic, &ev);
    }
    else if (inst->RxState == RX_PAYLOAD)
    {
        GSM_MqttClientSimcom_Event_MsgRxPayload ev;
        ev.Payload = buf;
        ev.Length = n;
        ev.Offset = inst->RxPayloadGot;
        ev.TotalLength = inst->RxPayloadTotal;
        inst->RxPayloadGot = (uint16_t)(inst->RxPayloadGot + n);
        ev.Last = inst->RxPayloadGot == inst->RxPayloadTotal;
        mqRaise(inst, GSM_MqttClientSimcom_EventType_MsgRxPayload, &ev);
    }
}

static void onRxData(void* ctx, const uint8_t* data, uint16_t len, uint16_t remaining)
{
    GSM_MqttClientSimcom_Instance* inst = (GSM_MqttClientSimcom_Instance*)ctx;
    uint16_t cap;
    uint8_t* buf = rxBuffer(inst, &cap);
    uint16_t i;
    if ((inst->RxState != RX_TOPIC) && (inst->RxState != RX_PAYLOAD))
    {
        return; /* discarded: the bytes are consumed by count */
    }
    for (i = 0u; i < len; i++)
    {
        buf[inst->RxFill++] = data[i];
        if (inst->RxFill >= cap)
        {
            rxFlush(inst);
            if ((inst->RxState != RX_TOPIC) && (inst->RxState != RX_PAYLOAD))
            {
                return;
            }
            buf = rxBuffer(inst, &cap); /* the handler may have changed the buffer */
        }
    }
    if ((remaining == 0u) && (inst->RxFill > 0u))
    {
        rxFlush(inst);
    }
}

/* Field `index` of a "+CMQTTxxx: ..." line as a 16-bit number. */
static bool field16(const char* line, uint16_t len, uint8_t index, uint16_t* out)
{
    uint32_t v;
    if (!gsmUtilFieldUint(line, len, index, &v) || (v > 0xFFFFu))
    {
        return false;
    }
    *out = (uint16_t)v;
    return true;
}

/* Result and URC names after "+CMQTT" (constants in flash on AVR). */
static const char kRxStart[] GSM_PGM = "RXSTART";
static const char kRxTopic[] GSM_PGM = "RXTOPIC";
static const char kRxPayload[] GSM_PGM = "RXPAYLOAD";
static const char kRxEnd[] GSM_PGM = "RXEND";
static const char kConnLost[] GSM_PGM = "CONNLOST";
static const char kPing[] GSM_PGM = "PING";
static const char kAtCmqtt[] GSM_PGM = "AT+CMQTT";

/* True for the result line "+CMQTT<name>:" of the command text `cmd` (a GSM_PGM text whose leading
 * capital letters are the name). */
static bool isResultOf(const char* cmd, const char* line, uint16_t len)
{
    uint16_t i = 6u; /* after "+CMQTT" (the subscription prefix) */
    uint8_t c;
    while (((c = GSM_PGM_READ_BYTE(cmd)) >= (uint8_t)'A') && (c <= (uint8_t)'Z'))
    {
        if ((i >= len) || ((uint8_t)line[i] != c))
        {
            return false;
        }
        i++;
        cmd++;
    }
    return (i < len) && (line[i] == ':');
}

static void onRxLine(GSM_MqttClientSimcom_Instance* inst, const char* line, uint16_t len)
{
    uint16_t n;
    if (isResultOf(kRxStart, line, len))
    {
        inst->RxFill = 0u;
        inst->RxTopicGot = 0u;
        inst->RxPayloadGot = 0u;
        if (field16(line, len, 1u, &inst->RxTopicTotal) && field16(line, len, 2u, &inst->RxPayloadTotal))
        {
            inst->RxState = RX_TOPIC;
        }
        else
        {
            inst->RxState = RX_DISCARD;
            mqRaise(inst, GSM_MqttClientSimcom_EventType_MsgRxTopicHeaderError, NULL);
        }
        return;
    }
    if (isResultOf(kRxTopic, line, len) || isResultOf(kRxPayload, line, len))
    {
        /* the event types of the topic and the payload are laid out alike: part, header error, error */
        bool payload = line[8] == 'P';
        uint8_t base = payload ? (uint8_t)GSM_MqttClientSimcom_EventType_MsgRxPayload : (uint8_t)GSM_MqttClientSimcom_EventType_MsgRxTopic;
        uint16_t got;
        uint16_t total;
        if (!field16(line, len, 1u, &n))
        {
            inst->RxState = RX_DISCARD;
            mqRaise(inst, (GSM_MqttClientSimcom_EventType)(base + 1u), NULL);
            return;
        }
        if (payload && (inst->RxState == RX_TOPIC))
        {
            if (inst->RxTopicGot != inst->RxTopicTotal)
            {
                mqRaise(inst, GSM_MqttClientSimcom_EventType_MsgRxTopicError, NULL);
            }
            inst->RxState = RX_PAYLOAD;
        }
        got = payload ? inst->RxPayloadGot : inst->RxTopicGot;
        total = payload ? inst->RxPayloadTotal : inst->RxTopicTotal;
        if ((inst->RxState != (payload ? RX_PAYLOAD : RX_TOPIC)) || ((uint32_t)got + n > total))
        {
            inst->RxState = RX_DISCARD;
            mqRaise(inst, (GSM_MqttClientSimcom_EventType)(base + 2u), NULL);
        }
        gsmPromptBinaryExpect(inst->Prompt, n, &onRxData, inst);
        return;
    }
    if (isResultOf(kRxEnd, line, len))
    {
        if ((inst->RxState == RX_TOPIC) && (inst->RxTopicGot != inst->RxTopicTotal))
        {
            mqRaise(inst, GSM_MqttClientSimcom_EventType_MsgRxTopicError, NULL);
        }
        else if (((inst->RxState == RX_TOPIC) || (inst->RxState == RX_PAYLOAD)) && (inst->RxPayloadGot != inst->RxPayloadTotal))
        {
            mqRaise(inst, GSM_MqttClientSimcom_EventType_MsgRxPayloadError, NULL);
        }
        inst->RxState = RX_IDLE;
        mqRaise(inst, GSM_MqttClientSimcom_EventType_MsgRxEnd, NULL);
    }
}

static void onUrc(void* ctx, const char* line, uint16_t len)
{
    GSM_MqttClientSimcom_Instance* inst = (GSM_MqttClientSimcom_Instance*)ctx;
    const char* expected = gsmUtilListText(kCmd, inst->State);
    if (line[0] != '+')
    {
        /* the modem restarted: its MQTT service is gone */
        inst->LostCause = 0u;
        inst->Flags = (uint8_t)((inst->Flags | F_LOST) & (uint8_t)~F_SVC);
        return;
    }
    if ((len > 8u) && (line[6] == 'R') && (line[7] == 'X'))
    {
        onRxLine(inst, line, len);
        return;
    }
    if (isResultOf(kConnLost, line, len) || isResultOf(kPing, line, len))
    {
        uint16_t cause = 0u;
        if ((line[6] == 'C') && field16(line, len, 1u, &cause) && (cause < 256u))
        {
            inst->LostCause = (uint8_t)cause;
        }
        else
        {
            inst->LostCause = 0u;
        }
        inst->Flags |= F_LOST;
        return;
    }
    if (gsmUtilEquals(line, len, "+CMQTTNONET"))
    {
        inst->Flags |= F_NONET;
        return;
    }
    if ((inst->State != MQ_IDLE) && isResultOf(expected, line, len))
    {
        uint8_t count = gsmUtilFieldCount(line, len);
        uint16_t code;
        if ((count > 0u) && field16(line, len, (uint8_t)(count - 1u), &code) && (code < 0x8000u))
        {
            inst->ResultCode = (int16_t)code;
            inst->Flags |= F_RESULT;
        }
    }
}

/* ---- commands ---- */

/* The data a prompt step sends. */
static const char* stepData(const GSM_MqttClientSimcom_Instance* inst, uint16_t* len)
{
    const char* d;
    switch (inst->State)
    {
    case MQ_WILLTOPIC:
        d = inst->Session->WillTopic;
        break;
    case MQ_WILLMSG:
        d = inst->Session->WillMessage;
        break;
    case MQ_SUB:
        d = inst->SubTopic;
        break;
    case MQ_UNSUB:
        d = inst->UnsubTopic;
        break;
    case MQ_TOPIC:
        d = inst->PubTopic;
        break;
    default: /* MQ_PAYLOAD */
        *len = inst->PubLen;
        return inst->PubMsg;
    }
    *len = textLen(d);
    return d;
}

static void compose(GSM_MqttClientSimcom_Instance* inst)
{
    GSM_Prompt_Interface* p = inst->Prompt;
    const GSM_MqttClientSimcom_Connect_Session* s = inst->Session;
    const char* c = gsmUtilListText(kCmd, inst->State);
    uint16_t n = 0u;
    uint8_t b;
    if ((BIT(inst->State) & MQ_PROMPTS) != 0u)
    {
        (void)stepData(inst, &n);
    }
    gsmPromptHelperAppendP(p, kAtCmqtt);
    while ((b = GSM_PGM_READ_BYTE(c)) != 0u)
    {
        uint32_t v;
        c++;
        if (b >= 0x20u)
        {
            gsmPromptCmdAppendBytes(p, &b, 1u); /* text of the command */
            continue;
        }
        switch (b) /* argument marker */
        {
        case 1: v = n; break;
        case 2: v = inst->SubQoS; break;
        case 3: v = s->WillQoS; break;
        case 4: v = (uint8_t)(inst->PubQoS & 0x03u); break;
        case 5: v = inst->PubTimeout_s; break;
        case 6: v = ((inst->PubQoS & MQ_RETAIN_BIT) != 0u) ? 1u : 0u; break;
        case 10: v = s->KeepAlive_s; break;
        case 11: v = s->CleanSession ? 1u : 0u; break;
        case 7:
            gsmPromptCmdAppendQuoted(p, s->ClientId);
            continue;
        case 8:
            if (s->UseTls)
            {
                gsmPromptCmdAppend(p, ",1");
            }
            continue;
        case 9:
            gsmPromptCmdAppendQuoted(p, s->ServerAddress);
            continue;
        default: /* 12 */
            if (s->UserName != NULL)
            {
                gsmPromptCmdAppend(p, ",");
                gsmPromptCmdAppendQuoted(p, s->UserName);
                if (s->Password != NULL)
                {
                    gsmPromptCmdAppend(p, ",");
                    gsmPromptCmdAppendQuoted(p, s->Password);
                }
            }
            continue;
        }
        gsmPromptCmdAppendUint(p, v, 1u);
    }
}

static void enterStep(GSM_MqttClientSimcom_Instance* inst, uint8_t state)
{
    inst->State = state;
    inst->ResultCode = 0;
    inst->Flags = (uint8_t)(inst->Flags & (uint8_t)~(F_SENT | F_RESULT | F_WAITRES));
}

static void abortStep(GSM_MqttClientSimcom_Instance* inst)
{
    gsmPromptCmdAbort(inst->Prompt, inst);
    gsmPromptRelease(inst->Prompt, inst);
    enterStep(inst, MQ_IDLE);
}

static void errorResponse(GSM_MqttClientSimcom_Instance* inst, GSM_MqttClientSimcom_Operation op, int16_t code)
{
    GSM_MqttClientSimcom_Event_ErrorResponse ev;
    ev.Operation = (uint8_t)op;
    ev.ErrorCode = code;
    mqRaise(inst, GSM_MqttClientSimcom_EventType_ErrorResponse, &ev);
}

/* Operation and wanted-operation bit of a step. */
static uint8_t operationOf(uint8_t s)
{
    if (s <= MQ_CONNECT)
    {
        return (uint8_t)GSM_MqttClientSimcom_Operation_Connect;
    }
    if (s == MQ_SUB)
    {
        return (uint8_t)GSM_MqttClientSimcom_Operation_Subscribe;
    }
    if (s == MQ_UNSUB)
    {
        return (uint8_t)GSM_MqttClientSimcom_Operation_Unsubscribe;
    }
    return (s <= MQ_PUB) ? (uint8_t)GSM_MqttClientSimcom_Operation_Publish : (uint8_t)GSM_MqttClientSimcom_Operation_Disconnect;
}

static const uint8_t kOpWant[] = {W_CONN, W_SUB, W_UNSUB, W_PUB, W_DISC};
/* Step after a successful one (MQ_IDLE: the operation is complete). */
static const uint8_t kNext[] = {MQ_IDLE,    MQ_START, MQ_ACCQ, MQ_WILLTOPIC, MQ_WILLMSG, MQ_CONNECT, MQ_IDLE, MQ_IDLE,
                                MQ_IDLE,    MQ_PAYLOAD, MQ_PUB, MQ_IDLE,      MQ_REL,     MQ_STOPD,   MQ_IDLE};
/* Event of a completed operation, by operation. */
static const uint8_t kDoneEvent[] = {GSM_MqttClientSimcom_EventType_ConnectSuccess, GSM_MqttClientSimcom_EventType_SubscribeSuccess,
                                     GSM_MqttClientSimcom_EventType_UnsubscribeSuccess, GSM_MqttClientSimcom_EventType_PublishSuccess,
                                     GSM_MqttClientSimcom_EventType_DisconnectSuccess};

/* The step ended with `code` (0 = success). */
static void stepDone(GSM_MqttClientSimcom_Instance* inst, int16_t code)
{
    uint8_t s = inst->State;
    uint8_t op = operationOf(s);
    uint8_t next = kNext[s];
    gsmPromptRelease(inst->Prompt, inst);
    if ((s == MQ_STOP) || ((s == MQ_START) && ((code == GSM_MQTTCLIENTSIMCOM_ERR_REFUSED) || (code == 23))) || ((s == MQ_ACCQ) && (code == 19)) ||
        (s >= MQ_DISC))
    {
        code = 0; /* stop: result irrelevant; start: already running; accq: already acquired; disconnect: best effort */
    }
    if (s == MQ_START)
    {
        inst->Flags |= F_SVC;
    }
    if (((s == MQ_ACCQ) && (inst->Session->WillTopic == NULL)) || ((s == MQ_TOPIC) && (inst->PubLen == 0u)))
    {
        next = (uint8_t)(s == MQ_ACCQ ? MQ_CONNECT : MQ_PUB); /* no will message / empty payload */
    }
    if ((code == 0) && (next != MQ_IDLE))
    {
        enterStep(inst, next);
        return;
    }
    enterStep(inst, MQ_IDLE);
    inst->Want = (uint8_t)(inst->Want & (uint8_t)~kOpWant[op]);
    if (code != 0)
    {
        if (op == (uint8_t)GSM_MqttClientSimcom_Operation_Connect)
        {
            inst->Conn = (uint8_t)GSM_MQTT_ServerStatus_Disconnected;
        }
        errorResponse(inst, (GSM_MqttClientSimcom_Operation)op, code);
        return;
    }
    if (op == (uint8_t)GSM_MqttClientSimcom_Operation_Connect)
    {
        inst->Conn = (uint8_t)GSM_MQTT_ServerStatus_Connected;
    }
    else if (op == (uint8_t)GSM_MqttClientSimcom_Operation_Disconnect)
    {
        inst->Want = 0u;
        inst->Flags = (uint8_t)(inst->Flags & (uint8_t)~F_SVC);
        inst->Conn = (uint8_t)GSM_MQTT_ServerStatus_Disconnected;
    }
    mqRaise(inst, (GSM_MqttClientSimcom_EventType)kDoneEvent[op], NULL);
}

/* Runs the present step's command. */
static void runStep(GSM_MqttClientSimcom_Instance* inst, uint32_t now)
{
    GSM_Prompt_Interface* p = inst->Prompt;
    GSM_Prompt_CmdStatus st;
    int16_t code;
    if ((inst->Flags & F_WAITRES) != 0u)
    {
        if ((inst->Flags & F_RESULT) != 0u)
        {
            stepDone(inst, inst->ResultCode);
        }
        else if (GSM_TIME_REACHED(now, inst->Timer_ms))
        {
            stepDone(inst, GSM_MQTTCLIENTSIMCOM_ERR_TIMEOUT);
        }
        return;
    }
    if ((inst->Flags & F_SENT) == 0u)
    {
        bool prompt = (BIT(inst->State) & MQ_PROMPTS) != 0u;
        if (!gsmPromptClaim(p, inst) || !gsmPromptCmdBegin(p, inst, prompt ? &kPromptSpec : &kSpec, NULL, inst))
        {
            return;
        }
        compose(inst);
        gsmPromptCmdSend(p);
        inst->Flags |= F_SENT;
        return;
    }
    st = gsmPromptCmdStatus(p, inst);
    if (st == GSM_Prompt_CmdStatus_DataPrompt)
    {
        uint16_t n;
        const char* d = stepData(inst, &n);
        (void)gsmPromptDataSend(p, inst, (const uint8_t*)d, n, GSM_PROMPT_DATA_NO_TERMINATOR, 12000u);
        return;
    }
    if (st == GSM_Prompt_CmdStatus_Pending)
    {
        return;
    }
    inst->Flags = (uint8_t)(inst->Flags & (uint8_t)~F_SENT);
    if (st == GSM_Prompt_CmdStatus_Ok)
    {
        if (((BIT(inst->State) & MQ_WAITS) != 0u) && ((inst->Flags & F_RESULT) == 0u))
        {
            gsmPromptRelease(p, inst); /* the prompt is free while the modem works */
            inst->Flags |= F_WAITRES;
            inst->Timer_ms = now + ((inst->State == MQ_PUB) ? ((uint32_t)inst->PubTimeout_s * 1000u + 10000u)
                                                            : (inst->State == MQ_STOP) ? 15000u : GSM_MQTTCLIENTSIMCOM_RESULT_TIMEOUT_MS);
            return;
        }
        code = ((inst->Flags & F_RESULT) != 0u) ? inst->ResultCode : 0;
    }
    else if ((st == GSM_Prompt_CmdStatus_Error) || (st == GSM_Prompt_CmdStatus_CmeError) || (st == GSM_Prompt_CmdStatus_CmsError))
    {
        code = ((inst->Flags & F_RESULT) != 0u) ? inst->ResultCode : GSM_MQTTCLIENTSIMCOM_ERR_REFUSED;
        if (code == 0)
        {
            code = GSM_MQTTCLIENTSIMCOM_ERR_REFUSED;
        }
    }
    else
    {
        code = (st == GSM_Prompt_CmdStatus_Timeout) ? GSM_MQTTCLIENTSIMCOM_ERR_TIMEOUT : GSM_MQTTCLIENTSIMCOM_ERR_ABORTED;
    }
    stepDone(inst, code);
}

/* Drops every operation; the connection is gone. */
static void dropAll(GSM_MqttClientSimcom_Instance* inst)
{
    if (inst->State != MQ_IDLE)
    {
        abortStep(inst);
    }
    inst->Want = 0u;
    inst->Conn = (uint8_t)GSM_MQTT_ServerStatus_Disconnected;
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
    inst->Session = NULL;
    inst->SubTopic = NULL;
    inst->UnsubTopic = NULL;
    inst->PubTopic = NULL;
    inst->PubMsg = NULL;
    inst->Timer_ms = 0u;
    inst->PubLen = 0u;
    inst->ResultCode = 0;
    inst->RxTopicTotal = 0u;
    inst->RxTopicGot = 0u;
    inst->RxPayloadTotal = 0u;
    inst->RxPayloadGot = 0u;
    inst->RxFill = 0u;
    inst->RxState = RX_IDLE;
    inst->SubQoS = 0u;
    inst->PubQoS = 0u;
    inst->PubTimeout_s = GSM_MQTTCLIENTSIMCOM_PUBLISH_TIMEOUT_S;
    inst->State = MQ_IDLE;
    inst->Conn = (uint8_t)GSM_MQTT_ServerStatus_Disconnected;
    inst->Want = 0u;
    inst->Flags = F_SVC; /* a service left running from before is stopped at the first connect */
    inst->LostCause = 0u;
    inst->PowerStartCount = gsmPowerIfStartCount(inst->Power);
    inst->Urc.Prefixes = kUrcPrefixes;
    inst->Urc.Handler = &onUrc;
    inst->Urc.Context = inst;
    gsmPromptUrcSubscribe(inst->Prompt, &inst->Urc);
}

void gsmMqttClientSimcomPoll(GSM_MqttClientSimcom_Instance* inst)
{
    uint32_t now;
    if ((inst == NULL) || (inst->Prompt == NULL))
    {
        return;
    }
    if (inst->Power != NULL)
    {
        uint8_t starts = gsmPowerIfStartCount(inst->Power);
        if ((starts != inst->PowerStartCount) || !gsmPowerIfIsOn(inst->Power))
        {
            bool was = (inst->Conn == (uint8_t)GSM_MQTT_ServerStatus_Connected) || (inst->Conn == (uint8_t)GSM_MQTT_ServerStatus_Disconnecting);
            bool connecting = inst->Conn == (uint8_t)GSM_MQTT_ServerStatus_Connecting;
            inst->PowerStartCount = starts;
            dropAll(inst);
            inst->RxState = RX_IDLE;
            inst->Flags = 0u; /* a restarted modem has no MQTT service running */
            if (was)
            {
                GSM_MqttClientSimcom_Event_ConnectionLost ev;
                ev.Cause = 0u;
                mqRaise(inst, GSM_MqttClientSimcom_EventType_ConnectionLost, &ev);
            }
            else if (connecting)
            {
                mqRaise(inst, GSM_MqttClientSimcom_EventType_NoNetwork, NULL);
            }
            return;
        }
    }
    now = gsm__SysTime_ms();

    if ((inst->Flags & (F_LOST | F_NONET)) != 0u)
    {
        bool nonet = (inst->Flags & F_NONET) != 0u;
        bool was = (inst->Conn == (uint8_t)GSM_MQTT_ServerStatus_Connected) || (inst->Conn == (uint8_t)GSM_MQTT_ServerStatus_Connecting);
        inst->Flags = (uint8_t)(inst->Flags & (uint8_t)~(F_LOST | F_NONET));
        if (was && (inst->Conn != (uint8_t)GSM_MQTT_ServerStatus_Disconnecting))
        {
            dropAll(inst);
            if (nonet)
            {
                gsmInternetConnectionIfNotifyLost(inst->InternetConnection);
                mqRaise(inst, GSM_MqttClientSimcom_EventType_NoNetwork, NULL);
            }
            else
            {
                GSM_MqttClientSimcom_Event_ConnectionLost ev;
                ev.Cause = inst->LostCause;
                mqRaise(inst, GSM_MqttClientSimcom_EventType_ConnectionLost, &ev);
            }
        }
        return;
    }

    if (inst->State != MQ_IDLE)
    {
        runStep(inst, now);
        return;
    }
    if ((inst->Want & W_DISC) != 0u)
    {
        inst->Want = W_DISC;
        inst->Conn = (uint8_t)GSM_MQTT_ServerStatus_Disconnecting;
        enterStep(inst, MQ_DISC);
    }
    else if ((inst->Want & W_CONN) != 0u)
    {
        if (!networkUp(inst))
        {
            inst->Want = 0u;
            inst->Conn = (uint8_t)GSM_MQTT_ServerStatus_Disconnected;
            mqRaise(inst, GSM_MqttClientSimcom_EventType_NoNetwork, NULL);
            return;
        }
        enterStep(inst, ((inst->Flags & F_SVC) != 0u) ? MQ_STOP : MQ_START);
    }
    else if (inst->Conn == (uint8_t)GSM_MQTT_ServerStatus_Connected)
    {
        if ((inst->Want & W_SUB) != 0u)
        {
            enterStep(inst, MQ_SUB);
        }
        else if ((inst->Want & W_UNSUB) != 0u)
        {
            enterStep(inst, MQ_UNSUB);
        }
        else if ((inst->Want & W_PUB) != 0u)
        {
            enterStep(inst, MQ_TOPIC);
        }
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

bool gsmMqttClientSimcomConnect(GSM_MqttClientSimcom_Instance* inst, GSM_MqttClientSimcom_Connect_Session* connect_session)
{
    GSM_MqttClientSimcom_Connect_Session* s = connect_session;
    if ((inst == NULL) || (s == NULL) || (inst->Conn != (uint8_t)GSM_MQTT_ServerStatus_Disconnected) || (inst->Want != 0u) ||
        (textLen(s->ClientId) == 0u) || (textLen(s->ClientId) > 128u) || (textLen(s->ServerAddress) == 0u) ||
        ((s->Password != NULL) && (s->UserName == NULL)) || (s->WillQoS > 2u) || (s->KeepAlive_s == 0u) ||
        ((s->WillTopic != NULL) && ((textLen(s->WillTopic) == 0u) || (textLen(s->WillMessage) == 0u))))
    {
        return false;
    }
    inst->Session = s;
    inst->Want = W_CONN;
    inst->Conn = (uint8_t)GSM_MQTT_ServerStatus_Connecting;
    return true;
}

static bool topicOk(const char* topic)
{
    uint16_t n = textLen(topic);
    return (n > 0u) && (n <= 1024u);
}

static bool connectedAndFree(const GSM_MqttClientSimcom_Instance* inst, uint8_t want)
{
    return (inst != NULL) && (inst->Conn == (uint8_t)GSM_MQTT_ServerStatus_Connected) && ((inst->Want & (want | W_DISC)) == 0u);
}

bool gsmMqttClientSimcomSubscribe(GSM_MqttClientSimcom_Instance* inst, char* subscribe_topic, uint8_t subscribe_QoS)
{
    if (!connectedAndFree(inst, W_SUB) || !topicOk(subscribe_topic) || (subscribe_QoS > 2u))
    {
        return false;
    }
    inst->SubTopic = subscribe_topic;
    inst->SubQoS = subscribe_QoS;
    inst->Want |= W_SUB;
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
    uint16_t n;
    if (!connectedAndFree(inst, W_PUB) || (prm == NULL) || !topicOk(prm->Topic) || (prm->Message == NULL) || (prm->QoS > 2u) ||
        (prm->Timeout_s > 180u))
    {
        return false;
    }
    n = (prm->MessageLength != 0u) ? prm->MessageLength : textLen(prm->Message);
    if (n > 10240u)
    {
        return false;
    }
    inst->PubTopic = prm->Topic;
    inst->PubMsg = prm->Message;
    inst->PubLen = n;
    inst->PubQoS = (uint8_t)(prm->QoS | (prm->Retain ? MQ_RETAIN_BIT : 0u));
    inst->PubTimeout_s = (prm->Timeout_s != 0u) ? prm->Timeout_s : (uint8_t)GSM_MQTTCLIENTSIMCOM_PUBLISH_TIMEOUT_S;
    inst->Want |= W_PUB;
    return true;
}

bool gsmMqttClientSimcomUnsubscribe(GSM_MqttClientSimcom_Instance* inst, char* unsubscribe_topic)
{
    if (!connectedAndFree(inst, W_UNSUB) || !topicOk(unsubscribe_topic))
    {
        return false;
    }
    inst->UnsubTopic = unsubscribe_topic;
    inst->Want |= W_UNSUB;
    return true;
}

bool gsmMqttClientSimcomDisconnect(GSM_MqttClientSimcom_Instance* inst)
{
    if ((inst == NULL) || (inst->Conn == (uint8_t)GSM_MQTT_ServerStatus_Disconnected) ||
        (inst->Conn == (uint8_t)GSM_MQTT_ServerStatus_Disconnecting) || ((inst->Want & W_DISC) != 0u))
    {
        return false;
    }
    if ((inst->State != MQ_IDLE) && (inst->State < MQ_DISC))
    {
        abortStep(inst);
    }
    inst->Want = W_DISC;
    return true;
}

static bool cancelOp(GSM_MqttClientSimcom_Instance* inst, uint8_t want, uint8_t first, uint8_t last)
{
    if ((inst == NULL) || ((inst->Want & want) == 0u))
    {
        return false;
    }
    inst->Want = (uint8_t)(inst->Want & (uint8_t)~want);
    if ((inst->State >= first) && (inst->State <= last))
    {
        abortStep(inst);
    }
    return true;
}

bool gsmMqttClientSimcomCancelPublish(GSM_MqttClientSimcom_Instance* inst)
{
    return cancelOp(inst, W_PUB, MQ_TOPIC, MQ_PUB);
}

bool gsmMqttClientSimcomCancelSubscribe(GSM_MqttClientSimcom_Instance* inst)
{
    return cancelOp(inst, W_SUB, MQ_SUB, MQ_SUB);
}

bool gsmMqttClientSimcomCancelUnsubscribe(GSM_MqttClientSimcom_Instance* inst)
{
    return cancelOp(inst, W_UNSUB, MQ_UNSUB, MQ_UNSUB);
}

GSM_MQTT_ServerStatus gsmMqttClientServerConnectionState(GSM_MqttClientSimcom_Instance* inst)
{
    return (inst == NULL) ? GSM_MQTT_ServerStatus_Disconnected : (GSM_MQTT_ServerStatus)inst->Conn;
}
