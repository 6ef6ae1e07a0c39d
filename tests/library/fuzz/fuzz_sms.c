/*
 * libFuzzer target: SMS Send, SMS Receive and USSD behind a real prompt, fed with arbitrary modem
 * output, plus their pure decoders (+CDS, +CMTI, +CMGR, +CUSD) on every line.
 *
 * Input layout: byte 0 selects the line buffer size and which requests are started, byte 1 the read
 * fragment size; the rest is what the modem sends. Communication and registration are reported up,
 * so the modules send their commands and take the fuzzed bytes as answers (+CMGR bodies, "> "
 * prompts, multi-line +CUSD texts, +CDS reports). Time advances by 13 ms per poll, across the
 * 32-bit wrap.
 */
#include "GSM_SMS_Read.h"
#include "GSM_SMS_Send.h"
#include "GSM_USSD.h"
#include "GSM_Util.h"
#include "fuzz_io.h"

/* Reads every byte of the event data, so that the sanitizers see stale or unterminated texts. */
static void touch(const char* text, size_t len)
{
    size_t i;
    if (text == NULL)
    {
        return;
    }
    for (i = 0; i < len; i++)
    {
        s_sink += (uint8_t)text[i];
    }
    s_sink += strlen(text) == len ? 0u : 1u;
}

static void onSend(GSM_SmsSend_Instance* inst, GSM_SmsSend_EventType type, void* data)
{
    (void)inst;
    if (type == GSM_SmsSend_EventType_DeliveryStatusReport && data != NULL)
    {
        const GSM_SmsSend_Event_DeliveryStatusReport* r = (const GSM_SmsSend_Event_DeliveryStatusReport*)data;
        touch(r->Recipient, strlen(r->Recipient));
        s_sink += (uint32_t)gsmSmsSendGetDeliveryStatusReportType(r);
    }
}

static void onRead(GSM_SmsRead_Instance* inst, GSM_SmsRead_EventType type, void* data)
{
    const GSM_SmsRead_Event_ReadSuccess* r = (const GSM_SmsRead_Event_ReadSuccess*)data;
    (void)inst;
    (void)type;
    touch(r->Text, r->TextLength);
    touch(r->Sender, strlen(r->Sender));
    touch(r->Timestamp, strlen(r->Timestamp));
}

static GSM_USSD_Instance s_ussd;

static void onUssd(GSM_USSD_Instance* inst, GSM_USSD_EventType type, void* data)
{
    (void)inst;
    if (type != GSM_USSD_EventType_UssdSent && data != NULL)
    {
        const GSM_USSD_Event_UssdResponse* r = (const GSM_USSD_Event_UssdResponse*)data;
        touch(r->Text, r->TextLength);
        if (r->Status == GSM_USSD_Status_ActionRequired)
        {
            (void)gsmUssdSend(&s_ussd, (char*)"1");
        }
    }
}

/* Every line also goes through the pure decoders. */
static void decodeLine(const char* line, uint16_t len)
{
    GSM_SmsSend_Event_DeliveryStatusReport rep;
    char ra[12];
    char sender[10];
    char ts[21];
    char text[17];
    bool cut;
    uint8_t idx;
    uint8_t m;
    uint8_t dcs;
    uint16_t tl;
    if (gsmSmsSendDecodeCds(line, len, &rep, ra, sizeof ra))
    {
        touch(rep.Recipient, strlen(rep.Recipient));
    }
    if (gsmSmsReadDecodeCmti(line, len, &idx))
    {
        s_sink += idx;
    }
    if (gsmSmsReadDecodeCmgr(line, len, sender, sizeof sender, ts, sizeof ts, &cut))
    {
        touch(sender, strlen(sender));
        touch(ts, strlen(ts));
    }
    if (gsmUssdDecodeCusd(line, len, &m, text, sizeof text, &tl, &dcs, &cut))
    {
        touch(text, tl);
    }
}

static GSM_Prompt_Instance s_prompt;
static GSM_SmsSend_Instance s_send;
static GSM_SmsRead_Instance s_read;
static GSM_BasicComms_Interface s_comms;
static GSM_NetworkRegistration_Interface s_reg;
static uint8_t s_line[300];

int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    int mode = fuzz_begin(data, size, 40u, &s_prompt);
    size_t i;
    size_t start;
    uint32_t polls;

    if (mode < 0)
    {
        return 0;
    }
    s_now = 0xFFFFF000u + (uint32_t)mode * 97u; /* the clock wraps during the run */

    /* pure decoders on every line of the input (no terminator: lengths only) */
    start = 0;
    for (i = 0; i <= s_len; i++)
    {
        if (i == s_len || s_data[i] == '\r' || s_data[i] == '\n')
        {
            decodeLine((const char*)s_data + start, (uint16_t)(i - start));
            start = i + 1;
        }
    }

    memset(&s_send, 0, sizeof s_send);
    memset(&s_read, 0, sizeof s_read);
    memset(&s_ussd, 0, sizeof s_ussd);
    s_comms.Established = true;
    s_comms.Session = 1;
    memset(&s_reg, 0, sizeof s_reg);
    s_reg.Stat[0] = 1;
    s_reg.Stat[1] = 1;
    s_reg.Stat[2] = 0xFF;
    s_reg.EpsSupport = (mode & 0x40u) ? 1u : 2u;

    if (mode & 1u)
    {
        s_prompt.DataBuffer = s_line;
        s_prompt.DataBufferSize = (mode & 2u) ? sizeof s_line : 70u;
    }
    gsmPromptInit(&s_prompt);

    s_send.Prompt = &s_prompt._i;
    s_send.BasicComms = &s_comms;
    s_send.NetworkRegistration = &s_reg;
    s_send.EventHandler = onSend;
    gsmSmsSendInit(&s_send);
    s_read.Prompt = &s_prompt._i;
    s_read.BasicComms = &s_comms;
    s_read.EventHandler = onRead;
    gsmSmsReadInit(&s_read);
    s_ussd.Prompt = &s_prompt._i;
    s_ussd.NetworkRegistration = &s_reg;
    s_ussd.EventHandler = onUssd;
    gsmUssdInit(&s_ussd);

    if (mode & 4u)
    {
        (void)gsmSmsSend(&s_send, (char*)"+491701234567", (char*)"Fuzz {text}\nline");
    }
    if (mode & 8u)
    {
        (void)gsmUssdSend(&s_ussd, (char*)"*123#");
    }

    /* run until the input is consumed and a while after (time-outs) */
    for (polls = 0; polls < 20000u && (s_pos < s_len || polls < 3000u); polls++)
    {
        s_frag_used = 0;
        gsmPromptPoll(&s_prompt);
        gsmSmsSendPoll(&s_send);
        gsmSmsReadPoll(&s_read);
        gsmUssdPoll(&s_ussd);
        if ((mode & 0x10u) && polls == 200u)
        {
            gsmSmsSendCancel(&s_send);
            (void)gsmUssdCancelSession(&s_ussd);
        }
        if ((mode & 0x20u) && polls == 500u)
        {
            s_comms.Session++; /* a new session in the middle */
        }
        s_now += 13u;
    }
    return 0;
}
