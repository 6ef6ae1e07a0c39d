/*
 * GSM_NetworkRegistration.c - registration URCs, state reads and the "registered" decision.
 */
#include "GSM_NetworkRegistration.h"
#include "GSM_Required_Externals.h"
#include "GSM_Util.h"

/* Steps, as they are kept in bits 3..5 of State. */
enum
{
    NR_STEP_WAIT_COMMS = 0x00, /* no communication */
    NR_STEP_ENABLE = 0x08,     /* AT+C(G|E)REG=1 for each domain */
    NR_STEP_READ = 0x10,       /* AT+C(G|E)REG? for each domain */
    NR_STEP_IDLE = 0x18,       /* following the URCs */
    NR_STEP_RETRY_WAIT = 0x20, /* pause after a failure */
    NR_STEP_NONE = 0x28        /* (no step change) */
};

#define NR_EPS_UNKNOWN 0u
#define NR_EPS_YES     1u
#define NR_EPS_NO      2u

#define NR_DOMAINS ((uint8_t)GSM_NetworkRegistration_Domain_Count)

/* Parts of State. A step change starts the step with the first domain and no command sent. */
#define NR_STATE(step)      ((uint8_t)(step))
#define NR_STEP_OF(state)   ((uint8_t)((state) & 0x38u))
#define NR_DOMAIN_OF(state) ((uint8_t)(((state) >> 1) & 3u))
#define NR_DOMAIN_MASK      0x06u

/* Step timer: a tick count passes the period in full (the start tick is truncated). */
#define NR_TICK_SHIFT GSM_NETWORKREGISTRATION_TICK_SHIFT
#define NR_TICKS(ms)  ((uint8_t)((((uint32_t)(ms)) + (1UL << NR_TICK_SHIFT) - 1u) >> NR_TICK_SHIFT))

static uint8_t ticksNow(void)
{
    return GSM_TICKS8_NOW(NR_TICK_SHIFT);
}

static const char kCreg[] = "+CREG:";
static const char kCgreg[] = "+CGREG:";
static const char kCereg[] = "+CEREG:";
/* Line prefixes in the order of GSM_NetworkRegistration_Domain. */
static const char* const kRegPrefixes[] = {kCreg, kCgreg, kCereg, NULL};
/* The enable commands, then the reads of the domains (LTE-A documents up to 9 s for both forms). */
static const GSM_Prompt_CmdSpec kSpecs[1u + NR_DOMAINS] = {
    {NULL, 9000u, 0u}, {kCreg, 9000u, 0u}, {kCgreg, 9000u, 0u}, {kCereg, 9000u, 0u}};

/* Domain of a registration line; NR_DOMAINS for other lines. */
static uint8_t lineDomain(const char* line, uint16_t len)
{
    uint8_t d = 0u;
    while ((d < NR_DOMAINS) && !gsmUtilStartsWith(line, len, kRegPrefixes[d]))
    {
        d++;
    }
    return d;
}

/* Shapes of a registration line: a URC is "<stat>" or "<stat>,"<lac>",..."; the answer of a read
 * is "<n>,<stat>[,...]" (a second numeric field). Outside a pending read the answer shape is a late
 * answer and ignored; while a read runs both come (a URC can arrive before or after the answer). */
#define NR_SHAPE_URC  0x01u
#define NR_SHAPE_READ 0x02u

/* <stat> of a line known to be a registration line, when its shape is one of `shapes`. */
static GSM_ALWAYS_INLINE uint8_t decodeStat(const char* line, uint16_t len, uint8_t shapes)
{
    uint32_t v[2];
    uint8_t n = (uint8_t)(gsmUtilUintFields(line, len, v, 2u) & (uint8_t)~GSM_UTIL_FIELDS_MORE);
    uint8_t shape = (n >= 2u) ? NR_SHAPE_READ : NR_SHAPE_URC;
    if ((n == 0u) || ((shapes & shape) == 0u))
    {
        return GSM_NETWORKREGISTRATION_STAT_UNKNOWN;
    }
    v[0] = v[shape >> 1]; /* <stat>: the first field of a URC, the second of an answer */
    return (v[0] <= 11u) ? (uint8_t)v[0] : GSM_NETWORKREGISTRATION_STAT_UNKNOWN;
}

uint8_t gsmNetworkRegistrationDecodeStat(const char* line, uint16_t len, bool is_read_response)
{
    if ((line == NULL) || (lineDomain(line, len) >= NR_DOMAINS))
    {
        return GSM_NETWORKREGISTRATION_STAT_UNKNOWN;
    }
    return decodeStat(line, len, is_read_response ? NR_SHAPE_READ : NR_SHAPE_URC);
}

static void setStat(GSM_NetworkRegistration_Instance* inst, uint8_t domain, uint8_t stat)
{
    if (inst->_i.Stat[domain] != stat)
    {
        inst->_i.Stat[domain] = stat;
        inst->_i.ChangeCount++;
    }
}

/* A registration line, as a URC or while a read runs. Only "+CREG:", "+CGREG:" and "+CEREG:" lines
 * arrive here (the URC prefixes and the read's answer prefix), so the third character names the
 * domain. */
static void takeLine(void* ctx, const char* line, uint16_t len, uint8_t shapes)
{
    uint8_t stat = decodeStat(line, len, shapes);
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
    takeLine(ctx, line, len, NR_SHAPE_URC);
}

/* Lines of the domain while its read runs: the answer, or a URC that came with it (after the
 * answer line it is the newer state). */
static void onReadLine(void* ctx, const char* line, uint16_t len)
{
    takeLine(ctx, line, len, NR_SHAPE_URC | NR_SHAPE_READ);
}

static void forgetStates(GSM_NetworkRegistration_Instance* inst)
{
    uint8_t d;
    for (d = 0u; d < NR_DOMAINS; d++)
    {
        setStat(inst, d, GSM_NETWORKREGISTRATION_STAT_UNKNOWN);
    }
}

/* One command of the enable or read round; returns the next step. */
static uint8_t runCommand(GSM_NetworkRegistration_Instance* inst, bool read)
{
    /* "AT+CREG=1" / "AT+CREG?" (and the +CGREG, +CEREG forms): "AT", the line prefix of the domain
     * without its ':', then the tail */
    char cmd[12];
    const char* p;
    uint8_t n = 2u;
    uint8_t d = NR_DOMAIN_OF(inst->State);
    uint8_t st; /* GSM_Prompt_CmdStatus (a byte: shorter tests on AVR) */
    bool eps;

    if ((d == (uint8_t)GSM_NetworkRegistration_Domain_EPS) && (inst->_i.EpsSupport == NR_EPS_NO))
    {
        d++; /* a 2G modem has no +CEREG */
    }
    if (d >= NR_DOMAINS)
    {
        if (!read)
        {
            return NR_STEP_READ; /* the claim is kept for the reads */
        }
        gsmPromptRelease(inst->Prompt, inst);
        return NR_STEP_IDLE;
    }
    cmd[0] = 'A';
    cmd[1] = 'T';
    for (p = kRegPrefixes[d]; *p != ':'; p++)
    {
        cmd[n++] = *p;
    }
    cmd[n] = read ? '?' : '=';
    cmd[n + 1u] = read ? '\0' : '1';
    cmd[n + 2u] = '\0';
    /* an enable command expects no lines: the handler of the reads never gets any of it */
    st = (uint8_t)gsmPromptHelperExec(inst->Prompt, inst, &inst->State, cmd, &kSpecs[read ? (uint8_t)(d + 1u) : 0u],
                                      &onReadLine, inst);
    if (st == GSM_Prompt_CmdStatus_Pending)
    {
        return NR_STEP_NONE;
    }
    eps = !read && (d == (uint8_t)GSM_NetworkRegistration_Domain_EPS);
    /* A plain ERROR to AT+CEREG=1 tells a 2G modem, which does not know the command (an LTE modem
     * that refuses it for the moment answers "+CME ERROR: <n>": tried again after the pause, as any
     * failed enable); an error answer to a read leaves that domain's state as the URCs set it, and the
     * others are still read. */
    if ((st == GSM_Prompt_CmdStatus_Ok) || (read && GSM_PROMPT_STATUS_IS_ERROR(st)) || (eps && (st == GSM_Prompt_CmdStatus_Error)))
    {
        if (eps)
        {
            inst->_i.EpsSupport = (st == GSM_Prompt_CmdStatus_Ok) ? NR_EPS_YES : NR_EPS_NO;
        }
        /* the next domain (the helper has cleared its bit) */
        inst->State = (uint8_t)((inst->State & (uint8_t)~NR_DOMAIN_MASK) | (uint8_t)((d + 1u) << 1));
        return NR_STEP_NONE;
    }
    gsmPromptRelease(inst->Prompt, inst);
    return NR_STEP_RETRY_WAIT;
}

void gsmNetworkRegistrationInit(GSM_NetworkRegistration_Instance* inst)
{
    if (inst == NULL)
    {
        return;
    }
    inst->_i.EpsSupport = NR_EPS_UNKNOWN;
    forgetStates(inst);
    inst->_i.ChangeCount = 0u;
    inst->State = NR_STATE(NR_STEP_WAIT_COMMS);
    inst->Urc.Prefixes = kRegPrefixes;
    inst->Urc.Handler = &onRegUrc;
    inst->Urc.Context = inst;
    gsmPromptUrcSubscribe(inst->Prompt, &inst->Urc);
}

void gsmNetworkRegistrationPoll(GSM_NetworkRegistration_Instance* inst)
{
    uint8_t next = NR_STEP_NONE;
    uint8_t elapsed;
    uint8_t step;
    bool up;

    if ((inst == NULL) || (inst->Prompt == NULL))
    {
        return;
    }
    up = gsmBasicCommsIfEstablished(inst->BasicComms);
    step = NR_STEP_OF(inst->State);
    if (!up || (step == NR_STEP_WAIT_COMMS) || (inst->BasicComms->Session != inst->Session))
    {
        if (step != NR_STEP_WAIT_COMMS)
        {
            /* communication lost or modem restarted: it registers anew (and another modem may
             * answer: whether it has +CEREG is found out again) */
            gsmPromptRelease(inst->Prompt, inst);
            forgetStates(inst);
            inst->_i.EpsSupport = NR_EPS_UNKNOWN;
            inst->State = NR_STATE(NR_STEP_WAIT_COMMS);
        }
        if (!up)
        {
            return;
        }
        inst->Session = inst->BasicComms->Session;
        step = NR_STEP_ENABLE;
        inst->State = NR_STATE(NR_STEP_ENABLE);
    }
    if (step <= NR_STEP_READ) /* NR_STEP_ENABLE, NR_STEP_READ */
    {
        next = runCommand(inst, step == NR_STEP_READ);
    }
    else
    {
        elapsed = (uint8_t)(ticksNow() - inst->Timer);
        if (step == NR_STEP_IDLE)
        {
#if GSM_NETWORKREGISTRATION_REFRESH_MS > 0
            if (elapsed > NR_TICKS(GSM_NETWORKREGISTRATION_REFRESH_MS))
            {
                next = NR_STEP_READ;
            }
#endif
        }
        else if (elapsed > NR_TICKS(GSM_NETWORKREGISTRATION_RETRY_MS)) /* NR_STEP_RETRY_WAIT */
        {
            next = NR_STEP_ENABLE;
        }
    }
    if (next != NR_STEP_NONE)
    {
        inst->State = NR_STATE(next);
        inst->Timer = ticksNow();
    }
}

bool gsmNetworkRegistrationIsRegistered(GSM_NetworkRegistration_Instance* inst)
{
    return (inst != NULL) && gsmNetworkRegistrationIfIsRegistered(&inst->_i);
}

/* ---- Interface ---- */

#define NR_REG_CS       0x01u /* +CREG 1/5 */
#define NR_REG_GPRS     0x02u /* +CGREG 1/5 */
#define NR_REG_EPS      0x04u /* +CEREG 1/5 on an LTE modem */
#define NR_REG_SMS_ONLY 0x08u /* +CREG 6/7 ("SMS only", home / roaming) on an LTE modem */
#define NR_REG_LTE      0x10u /* the modem is an LTE modem */

/* The registrations of the interface as NR_REG_... bits (0 for NULL). */
static uint8_t registrations(const GSM_NetworkRegistration_Interface* reg)
{
    uint8_t m = 0u;
    uint8_t d = NR_DOMAINS;
    if (reg == NULL)
    {
        return 0u;
    }
    while (d-- != 0u)
    {
        /* 1 (home) or 5 (roaming): the only values that give 5 with bit 2 set */
        m = (uint8_t)((m << 1) | (((reg->Stat[d] | 4u) == 5u) ? 1u : 0u));
    }
    if (reg->EpsSupport != NR_EPS_YES)
    {
        return (uint8_t)(m & ~NR_REG_EPS);
    }
    return (uint8_t)(m | NR_REG_LTE | (((reg->Stat[GSM_NetworkRegistration_Domain_CS] | 1u) == 7u) ? NR_REG_SMS_ONLY : 0u));
}

bool gsmNetworkRegistrationIfIsLte(const GSM_NetworkRegistration_Interface* reg)
{
    return (reg != NULL) && (reg->EpsSupport == NR_EPS_YES);
}

bool gsmNetworkRegistrationIfIsRegistered(const GSM_NetworkRegistration_Interface* reg)
{
    /* 2G: +CREG only; LTE: any domain */
    uint8_t m = registrations(reg);
    return (m & (((m & NR_REG_LTE) != 0u) ? (NR_REG_CS | NR_REG_GPRS | NR_REG_EPS) : NR_REG_CS)) != 0u;
}

bool gsmNetworkRegistrationIfIsRegisteredForData(const GSM_NetworkRegistration_Interface* reg)
{
    return (registrations(reg) & (NR_REG_GPRS | NR_REG_EPS)) != 0u;
}

bool gsmNetworkRegistrationIfIsRegisteredForSms(const GSM_NetworkRegistration_Interface* reg)
{
    return (registrations(reg) & (NR_REG_CS | NR_REG_EPS | NR_REG_SMS_ONLY)) != 0u;
}

uint8_t gsmNetworkRegistrationIfStat(const GSM_NetworkRegistration_Interface* reg, GSM_NetworkRegistration_Domain domain)
{
    if ((reg == NULL) || ((uint8_t)domain >= NR_DOMAINS))
    {
        return GSM_NETWORKREGISTRATION_STAT_UNKNOWN;
    }
    return reg->Stat[domain];
}

uint8_t gsmNetworkRegistrationIfChangeCount(const GSM_NetworkRegistration_Interface* reg)
{
    return (reg != NULL) ? reg->ChangeCount : 0u;
}
