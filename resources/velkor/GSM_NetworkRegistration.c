/*
 * GSM_NetworkRegistration.c - registration URCs, state reads and the "registered" decision.
 */
#include "GSM_NetworkRegistration.h"
#include "GSM_Required_Externals.h"
#include "GSM_Util.h"

enum
{
    NR_STEP_WAIT_COMMS = 0, /* no communication */
    NR_STEP_ENABLE,         /* AT+C(G|E)REG=1 */
    NR_STEP_READ,           /* AT+C(G|E)REG? */
    NR_STEP_IDLE,           /* following the URCs */
    NR_STEP_RETRY_WAIT      /* pause after a failure */
};

#define NR_EPS_UNKNOWN 0u
#define NR_EPS_YES     1u
#define NR_EPS_NO      2u

static const GSM_Prompt_CmdSpec kEnableSpec = {NULL, 1000u, 0u};
/* LTE-A documents up to 9 s for the read commands. */
static const GSM_Prompt_CmdSpec kReadSpecs[GSM_NetworkRegistration_Domain_Count] = {
    {"+CREG:", 9000u, 0u}, {"+CGREG:", 9000u, 0u}, {"+CEREG:", 9000u, 0u}};
static const char* const kRegPrefixes[] = {"+CREG:", "+CGREG:", "+CEREG:", NULL};

/* "AT+CREG=1" / "AT+CREG?" (and the +CGREG, +CEREG forms): "AT", the answer prefix of the domain
 * without its ':', then the tail. */
static void regCommand(char* cmd, uint8_t domain, const char* tail)
{
    const char* prefix = kReadSpecs[domain].Prefix;
    uint8_t n = 2u;
    cmd[0] = 'A';
    cmd[1] = 'T';
    while (*prefix != ':')
    {
        cmd[n++] = *prefix++;
    }
    while ((cmd[n++] = *tail++) != '\0')
    {
    }
}

static bool statRegistered(uint8_t stat)
{
    return (stat == 1u) || (stat == 5u);
}

uint8_t gsmNetworkRegistrationDecodeStat(const char* line, uint16_t len, bool is_read_response)
{
    uint16_t pos = 0u;
    uint32_t first;
    uint32_t second;

    if (line == NULL)
    {
        return GSM_NETWORKREGISTRATION_STAT_UNKNOWN;
    }
    if (gsmUtilStartsWith(line, len, "+CREG:"))
    {
        pos = 6u;
    }
    else if (gsmUtilStartsWith(line, len, "+CGREG:") || gsmUtilStartsWith(line, len, "+CEREG:"))
    {
        pos = 7u;
    }
    else
    {
        return GSM_NETWORKREGISTRATION_STAT_UNKNOWN;
    }
    if (!gsmUtilParseUint(line, len, &pos, &first))
    {
        return GSM_NETWORKREGISTRATION_STAT_UNKNOWN;
    }
    if ((pos < len) && (line[pos] == ','))
    {
        pos++;
        if ((pos < len) && (line[pos] == '"'))
        {
            /* <stat>,"<lac>","<ci>"...: a URC in n=2 form; a read answer never looks like this */
            return (!is_read_response && (first <= 11u)) ? (uint8_t)first : GSM_NETWORKREGISTRATION_STAT_UNKNOWN;
        }
        /* <n>,<stat>[,...]: a read answer; outside a pending read it is a late one and ignored */
        if (!is_read_response || !gsmUtilParseUint(line, len, &pos, &second) || ((pos < len) && (line[pos] != ',')) ||
            (second > 11u))
        {
            return GSM_NETWORKREGISTRATION_STAT_UNKNOWN;
        }
        return (uint8_t)second;
    }
    /* a single number: <stat> of an n=1 URC */
    if ((pos != len) || is_read_response || (first > 11u))
    {
        return GSM_NETWORKREGISTRATION_STAT_UNKNOWN;
    }
    return (uint8_t)first;
}

static void setStat(GSM_NetworkRegistration_Instance* inst, uint8_t domain, uint8_t stat)
{
    if ((domain < (uint8_t)GSM_NetworkRegistration_Domain_Count) && (inst->_i.Stat[domain] != stat))
    {
        inst->_i.Stat[domain] = stat;
        inst->_i.ChangeCount++;
    }
}

/* A registration line, as a URC or as the answer of a pending read. The decoder accepts only
 * "+CREG:", "+CGREG:" and "+CEREG:" lines, so the third character names the domain. */
static void takeLine(void* ctx, const char* line, uint16_t len, bool is_read_response)
{
    uint8_t stat = gsmNetworkRegistrationDecodeStat(line, len, is_read_response);
    if (stat != GSM_NETWORKREGISTRATION_STAT_UNKNOWN)
    {
        setStat((GSM_NetworkRegistration_Instance*)ctx,
                (line[2] == 'R') ? (uint8_t)GSM_NetworkRegistration_Domain_CS
                                 : ((line[2] == 'G') ? (uint8_t)GSM_NetworkRegistration_Domain_GPRS : (uint8_t)GSM_NetworkRegistration_Domain_EPS),
                stat);
    }
}

static void onRegUrc(void* ctx, const char* line, uint16_t len)
{
    takeLine(ctx, line, len, false);
}

static void onReadLine(void* ctx, const char* line, uint16_t len)
{
    takeLine(ctx, line, len, true);
}

static void enterStep(GSM_NetworkRegistration_Instance* inst, uint8_t step)
{
    inst->Step = step;
    inst->Timer_ms = gsm__SysTime_ms();
    gsmPromptHelperSeqReset(&inst->Seq);
}

static void forgetStates(GSM_NetworkRegistration_Instance* inst)
{
    uint8_t d;
    for (d = 0u; d < (uint8_t)GSM_NetworkRegistration_Domain_Count; d++)
    {
        setStat(inst, d, GSM_NETWORKREGISTRATION_STAT_UNKNOWN);
    }
}

/* Skips the +CEREG step on a modem known to lack it. */
static void skipUnsupported(GSM_NetworkRegistration_Instance* inst)
{
    if ((inst->Seq.Index == (uint8_t)GSM_NetworkRegistration_Domain_EPS) && (inst->_i.EpsSupport == NR_EPS_NO))
    {
        inst->Seq.Index++;
    }
}

void gsmNetworkRegistrationInit(GSM_NetworkRegistration_Instance* inst)
{
    uint8_t d;
    if (inst == NULL)
    {
        return;
    }
    for (d = 0u; d < (uint8_t)GSM_NetworkRegistration_Domain_Count; d++)
    {
        inst->_i.Stat[d] = GSM_NETWORKREGISTRATION_STAT_UNKNOWN;
    }
    inst->_i.EpsSupport = NR_EPS_UNKNOWN;
    inst->_i.ChangeCount = 0u;
    inst->Session = gsmBasicCommsIfSession(inst->BasicComms);
    inst->Urc.Prefixes = kRegPrefixes;
    inst->Urc.Handler = &onRegUrc;
    inst->Urc.Context = inst;
    gsmPromptUrcSubscribe(inst->Prompt, &inst->Urc);
    enterStep(inst, NR_STEP_WAIT_COMMS);
}

void gsmNetworkRegistrationPoll(GSM_NetworkRegistration_Instance* inst)
{
    GSM_Prompt_CmdStatus st;
    uint32_t now;
    uint8_t d;
    char cmd[12]; /* "AT+CEREG=1" */

    if ((inst == NULL) || (inst->Prompt == NULL))
    {
        return;
    }
    if ((inst->BasicComms == NULL) || !inst->BasicComms->Established)
    {
        if (inst->Step != NR_STEP_WAIT_COMMS)
        {
            gsmPromptRelease(inst->Prompt, inst);
            forgetStates(inst);
            enterStep(inst, NR_STEP_WAIT_COMMS);
        }
        return;
    }
    now = gsm__SysTime_ms();
    if ((inst->Step == NR_STEP_WAIT_COMMS) || (inst->BasicComms->Session != inst->Session))
    {
        inst->Session = gsmBasicCommsIfSession(inst->BasicComms);
        gsmPromptRelease(inst->Prompt, inst);
        forgetStates(inst); /* a restarted modem registers anew */
        enterStep(inst, NR_STEP_ENABLE);
    }

    switch (inst->Step)
    {
    case NR_STEP_ENABLE: /* AT+C(G|E)REG=1 for each domain, then */
    case NR_STEP_READ:   /* AT+C(G|E)REG? for each domain */
    {
        bool read = inst->Step == NR_STEP_READ;
        skipUnsupported(inst);
        d = inst->Seq.Index;
        if (d >= (uint8_t)GSM_NetworkRegistration_Domain_Count)
        {
            if (read)
            {
                gsmPromptRelease(inst->Prompt, inst);
            }
            enterStep(inst, read ? NR_STEP_IDLE : NR_STEP_READ);
            break;
        }
        regCommand(cmd, d, read ? "?" : "=1");
        st = gsmPromptHelperExec(inst->Prompt, inst, &inst->Seq.CmdState, cmd, read ? &kReadSpecs[d] : &kEnableSpec,
                                 read ? &onReadLine : NULL, inst);
        if (st == GSM_Prompt_CmdStatus_Pending)
        {
            break;
        }
        if (!read && (d == (uint8_t)GSM_NetworkRegistration_Domain_EPS))
        {
            if (st == GSM_Prompt_CmdStatus_Ok)
            {
                inst->_i.EpsSupport = NR_EPS_YES;
            }
            else if (gsmPromptHelperIsErrorStatus(st))
            {
                inst->_i.EpsSupport = NR_EPS_NO; /* 2G modem */
                st = GSM_Prompt_CmdStatus_Ok;
            }
        }
        /* An error answer to a read leaves that domain unknown; the others are still read. */
        if ((st != GSM_Prompt_CmdStatus_Ok) && !(read && gsmPromptHelperIsErrorStatus(st)))
        {
            gsmPromptRelease(inst->Prompt, inst);
            enterStep(inst, NR_STEP_RETRY_WAIT);
            break;
        }
        inst->Seq.Index++;
        break;
    }

    case NR_STEP_IDLE:
#if GSM_NETWORKREGISTRATION_REFRESH_MS > 0
        if (GSM_TIME_ELAPSED(now, inst->Timer_ms) >= GSM_NETWORKREGISTRATION_REFRESH_MS)
        {
            enterStep(inst, NR_STEP_READ);
        }
#endif
        break;

    case NR_STEP_RETRY_WAIT:
    default:
        if (GSM_TIME_ELAPSED(now, inst->Timer_ms) >= GSM_NETWORKREGISTRATION_RETRY_MS)
        {
            enterStep(inst, NR_STEP_ENABLE);
        }
        break;
    }
}

bool gsmNetworkRegistrationIsRegistered(GSM_NetworkRegistration_Instance* inst)
{
    return (inst != NULL) && gsmNetworkRegistrationIfIsRegistered(&inst->_i);
}

/* ---- Interface ---- */

bool gsmNetworkRegistrationIfIsLte(const GSM_NetworkRegistration_Interface* reg)
{
    return (reg != NULL) && (reg->EpsSupport == NR_EPS_YES);
}

bool gsmNetworkRegistrationIfIsRegistered(const GSM_NetworkRegistration_Interface* reg)
{
    if (reg == NULL)
    {
        return false;
    }
    if (gsmNetworkRegistrationIfIsLte(reg))
    {
        return statRegistered(reg->Stat[GSM_NetworkRegistration_Domain_CS]) ||
               statRegistered(reg->Stat[GSM_NetworkRegistration_Domain_GPRS]) ||
               statRegistered(reg->Stat[GSM_NetworkRegistration_Domain_EPS]);
    }
    return statRegistered(reg->Stat[GSM_NetworkRegistration_Domain_CS]);
}

bool gsmNetworkRegistrationIfIsRegisteredForData(const GSM_NetworkRegistration_Interface* reg)
{
    if (reg == NULL)
    {
        return false;
    }
    if (gsmNetworkRegistrationIfIsLte(reg) && statRegistered(reg->Stat[GSM_NetworkRegistration_Domain_EPS]))
    {
        return true;
    }
    return statRegistered(reg->Stat[GSM_NetworkRegistration_Domain_GPRS]);
}

bool gsmNetworkRegistrationIfIsRegisteredForSms(const GSM_NetworkRegistration_Interface* reg)
{
    uint8_t cs;
    if (reg == NULL)
    {
        return false;
    }
    cs = reg->Stat[GSM_NetworkRegistration_Domain_CS];
    if (statRegistered(cs))
    {
        return true;
    }
    if (gsmNetworkRegistrationIfIsLte(reg))
    {
        return (cs == 6u) || (cs == 7u) || statRegistered(reg->Stat[GSM_NetworkRegistration_Domain_EPS]);
    }
    return false;
}

uint8_t gsmNetworkRegistrationIfStat(const GSM_NetworkRegistration_Interface* reg, GSM_NetworkRegistration_Domain domain)
{
    if ((reg == NULL) || ((uint8_t)domain >= (uint8_t)GSM_NetworkRegistration_Domain_Count))
    {
        return GSM_NETWORKREGISTRATION_STAT_UNKNOWN;
    }
    return reg->Stat[domain];
}

uint8_t gsmNetworkRegistrationIfChangeCount(const GSM_NetworkRegistration_Interface* reg)
{
    return (reg != NULL) ? reg->ChangeCount : 0u;
}
