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

static const char kCsqPrefix[] = "+CSQ:";
static const char kCsqCmd[] GSM_PGM = "AT+CSQ";
static const GSM_Prompt_CmdSpec kCsqSpec = {kCsqPrefix, 1000u, 0u};

/* "<rssi>,<ber>" after the ':' of a "+CSQ:" line: exactly two numbers. */
static GSM_ALWAYS_INLINE bool decodeFields(const char* line, uint16_t len, uint8_t* rssi, uint8_t* ber)
{
    uint32_t v[2];
    if ((gsmUtilUintFields(line, len, v, 2u) != 2u) || (v[0] > 199u) || (v[1] > 99u))
    {
        return false;
    }
    *rssi = (uint8_t)v[0];
    *ber = (uint8_t)v[1];
    return true;
}

bool gsmSignalQualityDecode(const char* line, uint16_t len, uint8_t* rssi, uint8_t* ber)
{
    return (line != NULL) && (rssi != NULL) && (ber != NULL) && gsmUtilStartsWith(line, len, kCsqPrefix) &&
           decodeFields(line, len, rssi, ber);
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
    /* only "+CSQ:" lines arrive here (the command's answer prefix) */
    GSM_SignalQuality_Instance* inst = (GSM_SignalQuality_Instance*)ctx;
    (void)decodeFields(line, len, &inst->Rssi, &inst->Ber);
}

void gsmSignalQualityInit(GSM_SignalQuality_Instance* inst)
{
    if (inst != NULL)
    {
        inst->Step = SQ_STEP_IDLE;
    }
}

void gsmSignalQualityPoll(GSM_SignalQuality_Instance* inst)
{
    GSM_Prompt_CmdStatus st = GSM_Prompt_CmdStatus_Aborted; /* lost communication */
    GSM_SignalQuality_Event_QuerySuccess ev;

    if ((inst == NULL) || (inst->Step == SQ_STEP_IDLE))
    {
        return;
    }
    if (gsmBasicCommsIfEstablished(inst->BasicComms))
    {
        st = gsmPromptHelperExecP(inst->Prompt, inst, &inst->CmdState, kCsqCmd, &kCsqSpec, &onCsqLine, inst);
        if (st == GSM_Prompt_CmdStatus_Pending)
        {
            return;
        }
    }
    /* exactly one event per accepted query */
    inst->Step = SQ_STEP_IDLE;
    inst->CmdState = 0u;
    gsmPromptRelease(inst->Prompt, inst);
    if (inst->EventHandler == NULL)
    {
        return;
    }
    if ((st == GSM_Prompt_CmdStatus_Ok) && (inst->Rssi != SQ_NOT_RECEIVED))
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

bool gsmSignalQualityQuery(GSM_SignalQuality_Instance* inst)
{
    if ((inst == NULL) || (inst->Prompt == NULL) || (inst->Step != SQ_STEP_IDLE) || !gsmBasicCommsIfEstablished(inst->BasicComms))
    {
        return false;
    }
    inst->Step = SQ_STEP_RUNNING;
    inst->CmdState = 0u;
    inst->Rssi = SQ_NOT_RECEIVED; /* set by the "+CSQ:" answer */
    return true;
}
