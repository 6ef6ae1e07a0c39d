/*
 * GSM_SignalQuality.c - "AT+CSQ" query and <rssi> conversion.
 */
#include "GSM_SignalQuality.h"
#include "GSM_Required_Externals.h"
#include "GSM_Util.h"

enum
{
    SQ_STEP_IDLE = 0,
    SQ_STEP_RUNNING
};

#define SQ_NOT_RECEIVED 0xFFu

static const char kCsqCmd[] GSM_PGM = "AT+CSQ";
static const GSM_Prompt_CmdSpec kCsqSpec = {"+CSQ:", 1000u, 0u};

bool gsmSignalQualityDecode(const char* line, uint16_t len, uint8_t* rssi, uint8_t* ber)
{
    uint16_t pos = 5u; /* after "+CSQ:" */
    uint32_t r;
    uint32_t b;
    if ((line == NULL) || (rssi == NULL) || (ber == NULL) || !gsmUtilStartsWith(line, len, "+CSQ:") ||
        !gsmUtilParseUint(line, len, &pos, &r) || (pos >= len) || (line[pos] != ','))
    {
        return false;
    }
    pos++;
    if (!gsmUtilParseUint(line, len, &pos, &b) || (pos != len) || (r > 199u) || (b > 99u))
    {
        return false;
    }
    *rssi = (uint8_t)r;
    *ber = (uint8_t)b;
    return true;
}

int16_t gsmSignalQualityRssiTo_dBm(uint8_t rssi)
{
    if (rssi <= 31u)
    {
        return (int16_t)((int16_t)(2 * (int16_t)rssi) - 113);
    }
    if ((rssi >= 100u) && (rssi <= 191u))
    {
        return (int16_t)((int16_t)rssi - 216);
    }
    return GSM_SIGNALQUALITY_DBM_UNKNOWN;
}

static void onCsqLine(void* ctx, const char* line, uint16_t len)
{
    GSM_SignalQuality_Instance* inst = (GSM_SignalQuality_Instance*)ctx;
    uint8_t r;
    uint8_t b;
    if (gsmSignalQualityDecode(line, len, &r, &b))
    {
        inst->Rssi = r;
        inst->Ber = b;
    }
}

static void finish(GSM_SignalQuality_Instance* inst, bool success)
{
    GSM_SignalQuality_Event_QuerySuccess ev;
    inst->Step = SQ_STEP_IDLE;
    inst->CmdState = 0u;
    gsmPromptRelease(inst->Prompt, inst);
    if (inst->EventHandler == NULL)
    {
        return;
    }
    if (success)
    {
        ev.rssi = inst->Rssi;
        ev.ber = inst->Ber;
        inst->EventHandler(inst, GSM_SignalQuality_EventType_QuerySuccess, &ev);
    }
    else
    {
        inst->EventHandler(inst, GSM_SignalQuality_EventType_QueryFailed, NULL);
    }
}

void gsmSignalQualityInit(GSM_SignalQuality_Instance* inst)
{
    if (inst == NULL)
    {
        return;
    }
    inst->Step = SQ_STEP_IDLE;
    inst->CmdState = 0u;
    inst->Rssi = SQ_NOT_RECEIVED;
    inst->Ber = SQ_NOT_RECEIVED;
}

void gsmSignalQualityPoll(GSM_SignalQuality_Instance* inst)
{
    GSM_Prompt_CmdStatus st;
    if ((inst == NULL) || (inst->Step == SQ_STEP_IDLE))
    {
        return;
    }
    if ((inst->BasicComms == NULL) || !inst->BasicComms->Established)
    {
        finish(inst, false);
        return;
    }
    if (inst->CmdState == 0u)
    {
        inst->Rssi = SQ_NOT_RECEIVED;
        inst->Ber = SQ_NOT_RECEIVED;
    }
    st = gsmPromptHelperExecP(inst->Prompt, inst, &inst->CmdState, kCsqCmd, &kCsqSpec, &onCsqLine, inst);
    if (st == GSM_Prompt_CmdStatus_Pending)
    {
        return;
    }
    finish(inst, (st == GSM_Prompt_CmdStatus_Ok) && (inst->Rssi != SQ_NOT_RECEIVED));
}

bool gsmSignalQualityQuery(GSM_SignalQuality_Instance* inst)
{
    if ((inst == NULL) || (inst->Prompt == NULL) || (inst->Step != SQ_STEP_IDLE) || !gsmBasicCommsIfEstablished(inst->BasicComms))
    {
        return false;
    }
    inst->Step = SQ_STEP_RUNNING;
    inst->CmdState = 0u;
    return true;
}
