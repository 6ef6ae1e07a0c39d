/*
 * libFuzzer target: the prompt's byte-stream handling (line assembly, echo cancellation, result
 * codes, data prompt, counted binary payloads, URC routing, boot and shutdown messages) together
 * with Basic Comms, the URC decoders of PIN and Network Registration, and the pure line decoders.
 *
 * Input layout: byte 0 selects buffers and the pending command, byte 1 the read fragment size;
 * the rest is what the modem sends. Time advances by 7 ms per poll, across the 32-bit wrap.
 */
#include "GSM_BasicComms.h"
#include "GSM_NetworkRegistration.h"
#include "GSM_PIN.h"
#include "GSM_Prompt.h"
#include "GSM_SignalQuality.h"
#include "GSM_Util.h"
#include "fuzz_io.h"

static GSM_Prompt_Instance s_prompt;
static uint8_t s_owner;
static uint8_t s_binbuf[64];

static void onBinary(void* ctx, const uint8_t* data, uint16_t len, uint16_t remaining)
{
    (void)ctx;
    (void)remaining;
    if (len > 0u)
    {
        s_binbuf[0] ^= data[len - 1u];
    }
}

/* Every line also goes through the pure decoders. */
static void onLine(void* ctx, const char* line, uint16_t len)
{
    uint8_t r, b;
    uint32_t e, v;
    uint32_t nums[3];
    int8_t tz;
    char copy[16];
    (void)ctx;
    (void)gsmNetworkRegistrationDecodeStat(line, len, true);
    (void)gsmNetworkRegistrationDecodeStat(line, len, false);
    (void)gsmPinDecodeStatus(line, len);
    (void)gsmSignalQualityDecode(line, len, &r, &b);
    (void)gsmUtilDateTimeToEpoch(line, len, &e, &tz);
    (void)gsmUtilFieldCount(line, len);
    (void)gsmUtilUintFields(line, len, nums, 3u);
    (void)gsmUtilFieldUint(line, len, 1u, &v);
    (void)gsmUtilFieldCopy(line, len, 2u, copy, sizeof copy);
    if (gsmUtilStartsWith(line, len, "+BIN:") && gsmUtilFieldUint(line, len, 0u, &v) && v < 5000u)
    {
        gsmPromptBinaryExpect(&s_prompt._i, (uint16_t)v, &onBinary, NULL);
    }
}

static const char* const kAnyPrefix[] = {"+", "*", "R", "S", "N", "C", NULL};

int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static GSM_BasicComms_Instance comms;
    static GSM_PIN_Instance pin;
    static GSM_NetworkRegistration_Instance reg;
    static GSM_SignalQuality_Instance sq;
    static GSM_Prompt_UrcSubscriber sub;
    static uint8_t line_buf[40];
    static uint8_t echo_buf[8];
    static const GSM_Prompt_CmdSpec specs[4] = {
        {"+CSQ:", 500u, 0u}, {NULL, 300u, GSM_PROMPT_CMD_UNPREFIXED}, {"+TXT:", 400u, GSM_PROMPT_CMD_DATA_PROMPT},
        {"DOWNLOAD", 200u, GSM_PROMPT_CMD_PREFIX_FINAL}};
    static const uint8_t payload[] = "hello\r\nOK\r\n";
    int mode = fuzz_begin(data, size, 17u, &s_prompt);
    int polls = 0;

    if (mode < 0)
    {
        return 0;
    }
    s_now = 0xFFFFFF00u;
    if ((mode & 0x01u) != 0u)
    {
        s_prompt.DataBuffer = line_buf; /* small buffer: overflow paths */
        s_prompt.DataBufferSize = sizeof line_buf;
    }
    if ((mode & 0x02u) != 0u)
    {
        s_prompt.EchoCancellationBuffer = echo_buf; /* shorter than the commands */
        s_prompt.EchoCancellationBufferSize = sizeof echo_buf;
    }
    gsmPromptInit(&s_prompt);

    memset(&comms, 0, sizeof comms);
    comms.Prompt = &s_prompt._i;
    comms.EchoOn = 1;
    gsmBasicCommsInit(&comms);
    memset(&pin, 0, sizeof pin);
    pin.Prompt = &s_prompt._i;
    pin.BasicComms = &comms._i;
    gsmPinInit(&pin);
    memset(&reg, 0, sizeof reg);
    reg.Prompt = &s_prompt._i;
    reg.BasicComms = &comms._i;
    gsmNetworkRegistrationInit(&reg);
    memset(&sq, 0, sizeof sq);
    sq.Prompt = &s_prompt._i;
    sq.BasicComms = &comms._i;
    gsmSignalQualityInit(&sq);
    memset(&sub, 0, sizeof sub);
    sub.Prefixes = kAnyPrefix;
    sub.Handler = &onLine;
    gsmPromptUrcSubscribe(&s_prompt._i, &sub);

    while (s_pos < s_len && polls < 100000)
    {
        GSM_Prompt_CmdStatus st;
        s_frag_used = 0u;
        /* a test module issues commands of the selected kind whenever the channel is free */
        if ((mode & 0x04u) != 0u && gsmPromptClaim(&s_prompt._i, &s_owner))
        {
            st = gsmPromptCmdStatus(&s_prompt._i, &s_owner);
            if (st == GSM_Prompt_CmdStatus_DataPrompt)
            {
                (void)gsmPromptDataSend(&s_prompt._i, &s_owner, payload, (uint16_t)(sizeof payload - 1u),
                                        GSM_PROMPT_DATA_CTRL_Z, 300u);
            }
            else if (st != GSM_Prompt_CmdStatus_Pending)
            {
                (void)gsmPromptCmdStart(&s_prompt._i, &s_owner, "AT+TEST=\"x\",1", &specs[(mode >> 3) & 3u], &onLine, NULL);
            }
            if ((mode & 0x20u) != 0u && (s_now & 0x3Fu) == 0u)
            {
                gsmPromptRelease(&s_prompt._i, &s_owner);
            }
        }
        gsmPromptPoll(&s_prompt);
        gsmBasicCommsPoll(&comms);
        gsmPinPoll(&pin);
        gsmSignalQualityPoll(&sq);
        gsmNetworkRegistrationPoll(&reg);
        if ((mode & 0x40u) != 0u && (polls % 50) == 0)
        {
            gsmPinEnter(&pin, (uint16_t)polls);
            (void)gsmSignalQualityQuery(&sq);
        }
        if ((mode & 0x80u) != 0u && (polls % 97) == 0)
        {
            gsmPromptResetSession(&s_prompt._i);
        }
        s_now += 7u;
        polls++;
    }
    return 0;
}
