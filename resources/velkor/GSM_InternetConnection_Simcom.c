/*
 * GSM_InternetConnection_Simcom.c - LTE packet data connection (AT+CGDCONT, AT+NETOPEN, AT+IPADDR).
 */
#include "GSM_InternetConnection_Simcom.h"
#include "GSM_Required_Externals.h"
#include "GSM_Util.h"
#include "GSM_Prompt_Helper.h"

/* States */
enum
{
    ICL_DOWN = 0,     /* waiting for registration and the retry pause */
    ICL_CGDCONT,      /* AT+CGDCONT=1,"IP","<apn>" */
    ICL_NETOPEN,      /* AT+NETOPEN */
    ICL_NETOPEN_RES,  /* waiting for +NETOPEN: <err> */
    ICL_IPADDR,       /* AT+IPADDR */
    ICL_UP,           /* connected */
    ICL_QUERY,        /* AT+NETOPEN? */
    ICL_NETCLOSE,     /* AT+NETCLOSE */
    ICL_NETCLOSE_RES  /* waiting for +NETCLOSE: <err> */
};

/* Flags */
#define ICL_F_SENT     0x01u /* the command of the present state was sent */
#define ICL_F_RESULT   0x02u /* the delayed result line arrived */
#define ICL_F_RES_OK   0x04u /* ... and reported success */
#define ICL_F_ALREADY  0x08u /* "+IP ERROR: Network is already opened" */
#define ICL_F_OPEN     0x10u /* AT+NETOPEN? answered 1 */
#define ICL_F_LOST     0x20u /* a network-lost URC arrived */
#define ICL_F_RESTART  0x40u /* the modem restarted */
#define ICL_F_AFTERLOSS 0x80u /* the present query follows a loss: close before reopening */

static const GSM_Prompt_CmdSpec kCgdcont = {NULL, 9000u, 0u};
static const GSM_Prompt_CmdSpec kNetopen = {"+IP ERROR:", 9000u, 0u};
static const GSM_Prompt_CmdSpec kIpaddr = {"+IPADDR:", 9000u, 0u};
static const GSM_Prompt_CmdSpec kQuery = {"+NETOPEN:", 9000u, 0u};
static const GSM_Prompt_CmdSpec kNetclose = {NULL, 9000u, 0u};

#define ICL_RESULT_TIMEOUT_MS 120000u

static const char* const kUrcPrefixes[] = {"+NETOPEN:", "+NETCLOSE:", "+CIPEVENT:", "+CGEV:", "RDY", "*ATREADY:", "POWERD DOWN", NULL};

static void setDown(GSM_InternetConnectionSimcom_Instance* inst)
{
    inst->_i.Connected = 0u;
    gsmInternetHelperIPv4Clear(&inst->_i.Address);
}

static void onUrc(void* ctx, const char* line, uint16_t len)
{
    GSM_InternetConnectionSimcom_Instance* inst = (GSM_InternetConnectionSimcom_Instance*)ctx;
    uint32_t v = 1u;
    /* Only lines that start with one of kUrcPrefixes arrive here: two characters tell them apart. */
    if (line[1] == 'N') /* "+NETOPEN:" or "+NETCLOSE:" */
    {
        bool open = (line[4] == 'O');
        if ((open && (inst->State == ICL_NETOPEN || inst->State == ICL_NETOPEN_RES)) ||
            (!open && (inst->State == ICL_NETCLOSE || inst->State == ICL_NETCLOSE_RES)))
        {
            inst->Flags |= ICL_F_RESULT;
            if (gsmUtilFieldUint(line, len, 0u, &v) && (v == 0u))
            {
                inst->Flags |= ICL_F_RES_OK;
            }
        }
        return;
    }
    if ((line[1] == 'C') && (line[2] == 'I')) /* "+CIPEVENT:" */
    {
        if ((len >= 17u) && (line[11] == 'N')) /* "+CIPEVENT: NETWORK CLOSED UNEXPECTEDLY" */
        {
            inst->Flags |= ICL_F_LOST;
        }
        return;
    }
    if ((line[1] == 'C') && (line[2] == 'G')) /* "+CGEV:" */
    {
        uint16_t i;
        for (i = 6u; i + 5u < len; i++)
        {
            if ((line[i] == 'D') && (line[i + 1u] == 'E') && ((line[i + 2u] == 'A') || (line[i + 2u] == 'T')))
            {
                inst->Flags |= ICL_F_LOST; /* "PDN DEACT" or "DETACH" */
                return;
            }
        }
        return;
    }
    inst->Flags |= ICL_F_RESTART; /* boot or power-down message */
}

static void onLine(void* ctx, const char* line, uint16_t len)
{
    GSM_InternetConnectionSimcom_Instance* inst = (GSM_InternetConnectionSimcom_Instance*)ctx;
    uint32_t v;
    switch (inst->State)
    {
    case ICL_NETOPEN:
        /* "+IP ERROR: Network is already opened" */
        if ((len >= 30u) && (line[len - 6u] == 'o') && (line[len - 1u] == 'd') && (line[len - 7u] == ' '))
        {
            inst->Flags |= ICL_F_ALREADY;
        }
        break;
    case ICL_QUERY:
        if (gsmUtilFieldUint(line, len, 0u, &v) && (v == 1u))
        {
            inst->Flags |= ICL_F_OPEN;
        }
        break;
    case ICL_IPADDR:
    {
        uint16_t start;
        uint16_t flen;
        if (gsmUtilField(line, len, 0u, &start, &flen, NULL))
        {
            (void)gsmInternetHelperParseIPv4(&line[start], flen, &inst->_i.Address);
        }
        break;
    }
    default:
        break;
    }
}

/* Runs the command of the present state: Pending until its final result. */
/* Commands (constants in flash on AVR). */
static const char kCmdCgdcont[] GSM_PGM = "AT+CGDCONT=1,\"IP\",";
static const char kCmdNetopen[] GSM_PGM = "AT+NETOPEN";
static const char kCmdIpaddr[] GSM_PGM = "AT+IPADDR";
static const char kCmdQuery[] GSM_PGM = "AT+NETOPEN?";
static const char kCmdNetclose[] GSM_PGM = "AT+NETCLOSE";

static GSM_Prompt_CmdStatus runCmd(GSM_InternetConnectionSimcom_Instance* inst, const GSM_Prompt_CmdSpec* spec)
{
    GSM_Prompt_CmdStatus st;
    const char* cmd;
    if ((inst->Flags & ICL_F_SENT) == 0u)
    {
        if (!gsmPromptClaim(inst->Prompt, inst) || !gsmPromptCmdBegin(inst->Prompt, inst, spec, &onLine, inst))
        {
            return GSM_Prompt_CmdStatus_Pending;
        }
        switch (inst->State)
        {
        case ICL_CGDCONT:
            cmd = kCmdCgdcont;
            break;
        case ICL_NETOPEN:
            cmd = kCmdNetopen;
            break;
        case ICL_IPADDR:
            cmd = kCmdIpaddr;
            break;
        case ICL_QUERY:
            cmd = kCmdQuery;
            break;
        default:
            cmd = kCmdNetclose;
            break;
        }
        gsmPromptHelperAppendP(inst->Prompt, cmd);
        if (inst->State == ICL_CGDCONT)
        {
            gsmPromptCmdAppendQuoted(inst->Prompt, inst->APN_IfAny);
        }
        gsmPromptCmdSend(inst->Prompt);
        inst->Flags |= ICL_F_SENT;
        return GSM_Prompt_CmdStatus_Pending;
    }
    st = gsmPromptCmdStatus(inst->Prompt, inst);
    if ((st == GSM_Prompt_CmdStatus_Pending) || (st == GSM_Prompt_CmdStatus_DataPrompt))
    {
        return GSM_Prompt_CmdStatus_Pending;
    }
    inst->Flags = (uint8_t)(inst->Flags & (uint8_t)~ICL_F_SENT);
    gsmPromptRelease(inst->Prompt, inst);
    return (st == GSM_Prompt_CmdStatus_Idle) ? GSM_Prompt_CmdStatus_Aborted : st;
}

static void enter(GSM_InternetConnectionSimcom_Instance* inst, uint8_t state)
{
    inst->State = state;
    inst->Flags = (uint8_t)(inst->Flags & (uint8_t)(ICL_F_LOST | ICL_F_RESTART | ICL_F_AFTERLOSS));
}

/* A failed attempt: down, pause with back-off, then start over. */
static void fail(GSM_InternetConnectionSimcom_Instance* inst, uint32_t now)
{
    GSM_DEBUG_TEXT("GSM internet (LTE): attempt failed\r\n");
    setDown(inst);
    inst->Timer_ms = now + gsmInternetHelperBackoff(inst->Attempt, GSM_INTERNETCONNECTIONSIMCOM_RETRY_MS,
                                                    GSM_INTERNETCONNECTIONSIMCOM_RETRY_MAX_MS);
    if (inst->Attempt < 8u)
    {
        inst->Attempt++;
    }
    enter(inst, ICL_DOWN);
}

static bool registered(const GSM_InternetConnectionSimcom_Instance* inst)
{
    return (inst->NetworkRegistration == NULL) || gsmNetworkRegistrationIfIsRegisteredForData(inst->NetworkRegistration);
}

void gsmInternetConnectionSimcomInit(GSM_InternetConnectionSimcom_Instance* inst)
{
    static const GSM_IPv4 kZero = {{0u, 0u, 0u, 0u}};
    if (inst == NULL)
    {
        return;
    }
    inst->_i.Family = (uint8_t)GSM_InternetConnection_Family_LTE;
    inst->_i.Connected = 0u;
    inst->_i.ConnectCount = 0u;
    inst->_i.LostHint = 0u;
    inst->_i.Address = kZero;
    inst->State = ICL_DOWN;
    inst->Flags = 0u;
    inst->Attempt = 0u;
    inst->Timer_ms = gsm__SysTime_ms();
    inst->Urc.Prefixes = kUrcPrefixes;
    inst->Urc.Handler = &onUrc;
    inst->Urc.Context = inst;
    gsmPromptUrcSubscribe(inst->Prompt, &inst->Urc);
}

void gsmInternetConnectionSimcomPoll(GSM_InternetConnectionSimcom_Instance* inst)
{
    uint32_t now;
    GSM_Prompt_CmdStatus st;
    if ((inst == NULL) || (inst->Prompt == NULL))
    {
        return;
    }
    now = gsm__SysTime_ms();

    /* Modem off or restarted: everything is gone, start afresh without closing. */
    if (!gsmPromptModemPowered(inst->Prompt) || ((inst->Flags & ICL_F_RESTART) != 0u))
    {
        if ((inst->State != ICL_DOWN) || (inst->_i.Connected != 0u) || ((inst->Flags & ICL_F_RESTART) != 0u))
        {
            gsmPromptRelease(inst->Prompt, inst);
            setDown(inst);
            inst->Flags = 0u;
            inst->Attempt = 0u;
            inst->State = ICL_DOWN;
            inst->Timer_ms = now;
        }
        return;
    }

    switch (inst->State)
    {
    case ICL_DOWN:
        inst->Flags = (uint8_t)(inst->Flags & (uint8_t)~ICL_F_LOST);
        inst->_i.LostHint = 0u;
        if (registered(inst) && GSM_TIME_REACHED(now, inst->Timer_ms))
        {
            enter(inst, (inst->APN_IfAny != NULL) ? ICL_CGDCONT : ICL_NETOPEN);
        }
        break;

    case ICL_CGDCONT:
        st = runCmd(inst, &kCgdcont);
        if (st == GSM_Prompt_CmdStatus_Ok)
        {
            enter(inst, ICL_NETOPEN);
        }
        else if (st != GSM_Prompt_CmdStatus_Pending)
        {
            fail(inst, now);
        }
        break;

    case ICL_NETOPEN:
        st = runCmd(inst, &kNetopen);
        if ((st == GSM_Prompt_CmdStatus_Ok) || (((inst->Flags & ICL_F_RESULT) != 0u) && (st != GSM_Prompt_CmdStatus_Pending)))
        {
            inst->State = ICL_NETOPEN_RES; /* the result may have come with (or before) the OK */
            inst->Timer_ms = now + ICL_RESULT_TIMEOUT_MS;
        }
        else if ((st != GSM_Prompt_CmdStatus_Pending) && ((inst->Flags & ICL_F_ALREADY) != 0u))
        {
            enter(inst, ICL_IPADDR);
        }
        else if (st != GSM_Prompt_CmdStatus_Pending)
        {
            fail(inst, now);
        }
        break;

    case ICL_NETOPEN_RES:
        if ((inst->Flags & ICL_F_RESULT) != 0u)
        {
            if ((inst->Flags & ICL_F_RES_OK) != 0u)
            {
                enter(inst, ICL_IPADDR);
            }
            else
            {
                fail(inst, now);
            }
        }
        else if (GSM_TIME_REACHED(now, inst->Timer_ms))
        {
            fail(inst, now);
        }
        break;

    case ICL_IPADDR:
        st = runCmd(inst, &kIpaddr);
        if (st == GSM_Prompt_CmdStatus_Ok)
        {
            inst->_i.Connected = 1u;
            inst->_i.ConnectCount++;
            inst->Attempt = 0u;
            inst->Flags = 0u;
            inst->Timer_ms = now + GSM_INTERNETCONNECTIONSIMCOM_CHECK_MS;
            inst->State = ICL_UP;
            GSM_DEBUG_TEXT("GSM internet (LTE): connected\r\n");
        }
        else if (st != GSM_Prompt_CmdStatus_Pending)
        {
            fail(inst, now);
        }
        break;

    case ICL_UP:
        if (((inst->Flags & ICL_F_LOST) != 0u) || !registered(inst))
        {
            GSM_DEBUG_TEXT("GSM internet (LTE): connection lost\r\n");
            setDown(inst);
            inst->Flags = ICL_F_AFTERLOSS;
            inst->State = ICL_QUERY;
        }
        else if ((inst->_i.LostHint != 0u) ||
                 ((GSM_INTERNETCONNECTIONSIMCOM_CHECK_MS != 0u) && GSM_TIME_REACHED(now, inst->Timer_ms)))
        {
            inst->_i.LostHint = 0u;
            enter(inst, ICL_QUERY);
        }
        break;

    case ICL_QUERY:
        st = runCmd(inst, &kQuery);
        if (st == GSM_Prompt_CmdStatus_Pending)
        {
            break;
        }
        if ((inst->Flags & ICL_F_AFTERLOSS) == 0u)
        {
            /* periodic check while up */
            if ((st == GSM_Prompt_CmdStatus_Ok) && ((inst->Flags & ICL_F_OPEN) != 0u))
            {
                inst->Timer_ms = now + GSM_INTERNETCONNECTIONSIMCOM_CHECK_MS;
                enter(inst, ICL_UP);
            }
            else if (st == GSM_Prompt_CmdStatus_Ok)
            {
                setDown(inst);
                inst->Timer_ms = now;
                enter(inst, ICL_DOWN);
            }
            else
            {
                inst->Timer_ms = now + GSM_INTERNETCONNECTIONSIMCOM_RETRY_MS; /* ask again later */
                enter(inst, ICL_UP);
            }
        }
        else if ((inst->Flags & ICL_F_OPEN) != 0u)
        {
            enter(inst, ICL_NETCLOSE); /* the socket service still holds a dead context */
        }
        else
        {
            inst->Flags = 0u;
            inst->Timer_ms = now;
            inst->State = ICL_DOWN;
        }
        break;

    case ICL_NETCLOSE:
        st = runCmd(inst, &kNetclose);
        if (st == GSM_Prompt_CmdStatus_Ok)
        {
            inst->State = ICL_NETCLOSE_RES;
            inst->Timer_ms = now + ICL_RESULT_TIMEOUT_MS;
        }
        else if (st != GSM_Prompt_CmdStatus_Pending)
        {
            inst->Flags = 0u;
            fail(inst, now);
        }
        break;

    default: /* ICL_NETCLOSE_RES */
        if (((inst->Flags & ICL_F_RESULT) != 0u) || GSM_TIME_REACHED(now, inst->Timer_ms))
        {
            inst->Flags = 0u;
            inst->Timer_ms = now;
            inst->State = ICL_DOWN;
        }
        break;
    }
}

bool gsmInternetConnectionSimcomIsConnected(GSM_InternetConnectionSimcom_Instance* inst)
{
    return (inst != NULL) && gsmInternetConnectionIfIsConnected(&inst->_i);
}

bool gsmInternetConnectionSimcomGetIPv4(GSM_InternetConnectionSimcom_Instance* inst, GSM_IPv4* address)
{
    if (inst == NULL)
    {
        gsmInternetHelperIPv4Clear(address);
        return false;
    }
    return gsmInternetConnectionIfAddress(&inst->_i, address);
}
