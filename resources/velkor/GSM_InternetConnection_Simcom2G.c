/*
 * GSM_InternetConnection_Simcom2G.c - 2G bearer profile 1 (AT+SAPBR) for the modem's HTTP service.
 */
#include "GSM_InternetConnection_Simcom2G.h"
#include "GSM_Required_Externals.h"
#include "GSM_Util.h"
#include "GSM_Prompt_Helper.h"

/* States */
enum
{
    IC2_DOWN = 0,  /* waiting for registration and the retry pause */
    IC2_CONTYPE,   /* AT+SAPBR=3,1,"Contype","GPRS" */
    IC2_APN,       /* AT+SAPBR=3,1,"APN","<apn>" */
    IC2_OPEN,      /* AT+SAPBR=1,1 */
    IC2_QUERY,     /* AT+SAPBR=2,1 */
    IC2_OPEN_WAIT, /* pause before the next AT+SAPBR=1,1 */
    IC2_UP,        /* connected */
    IC2_CLOSE      /* AT+SAPBR=0,1 */
};

/* Flags */
#define IC2_F_SENT    0x01u /* the command of the present state was sent */
#define IC2_F_STAT1   0x02u /* the query showed status 1 (connected) */
#define IC2_F_DEACT   0x04u /* "+SAPBR 1: DEACT" arrived */
#define IC2_F_RESTART 0x08u /* the modem restarted */
#define IC2_F_CHECK   0x10u /* the present query is the periodic check */

static const GSM_Prompt_CmdSpec kShort = {NULL, 5000u, 0u};
static const GSM_Prompt_CmdSpec kOpen = {NULL, 90000u, 0u};
static const GSM_Prompt_CmdSpec kQuery = {"+SAPBR:", 5000u, 0u};
static const GSM_Prompt_CmdSpec kClose = {NULL, 65000u, 0u};

static const char* const kUrcPrefixes[] = {"+SAPBR 1:", "RDY", "Call Ready", "NORMAL POWER DOWN", NULL};

static void setDown(GSM_InternetConnectionSimcom2G_Instance* inst)
{
    inst->_i.Connected = 0u;
    gsmInternetHelperIPv4Clear(&inst->_i.Address);
}

static void onUrc(void* ctx, const char* line, uint16_t len)
{
    GSM_InternetConnectionSimcom2G_Instance* inst = (GSM_InternetConnectionSimcom2G_Instance*)ctx;
    if (gsmUtilStartsWith(line, len, "+SAPBR 1:"))
    {
        inst->Flags |= IC2_F_DEACT; /* "+SAPBR 1: DEACT" */
    }
    else
    {
        inst->Flags |= IC2_F_RESTART;
    }
}

/* "+SAPBR: <cid>,<status>,"<ip>"" */
static void onLine(void* ctx, const char* line, uint16_t len)
{
    GSM_InternetConnectionSimcom2G_Instance* inst = (GSM_InternetConnectionSimcom2G_Instance*)ctx;
    uint32_t cid;
    uint32_t status;
    uint16_t start;
    uint16_t flen;
    if ((inst->State == IC2_QUERY) && gsmUtilFieldUint(line, len, 0u, &cid) && (cid == 1u) &&
        gsmUtilFieldUint(line, len, 1u, &status) && (status == 1u) && gsmUtilField(line, len, 2u, &start, &flen, NULL) &&
        gsmInternetHelperParseIPv4(&line[start], flen, &inst->_i.Address))
    {
        inst->Flags |= IC2_F_STAT1;
    }
}

/* "AT+SAPBR=" and the arguments of each step (constants in flash on AVR). */
static const char kSapbr[] GSM_PGM = "AT+SAPBR=";
static const char kArgContype[] GSM_PGM = "3,1,\"Contype\",\"GPRS\"";
static const char kArgApn[] GSM_PGM = "3,1,\"APN\",";
static const char kArgOpen[] GSM_PGM = "1,1";
static const char kArgQuery[] GSM_PGM = "2,1";
static const char kArgClose[] GSM_PGM = "0,1";

static GSM_Prompt_CmdStatus runCmd(GSM_InternetConnectionSimcom2G_Instance* inst, const GSM_Prompt_CmdSpec* spec)
{
    GSM_Prompt_CmdStatus st;
    const char* args;
    if ((inst->Flags & IC2_F_SENT) == 0u)
    {
        if (!gsmPromptClaim(inst->Prompt, inst) || !gsmPromptCmdBegin(inst->Prompt, inst, spec, &onLine, inst))
        {
            return GSM_Prompt_CmdStatus_Pending;
        }
        gsmPromptHelperAppendP(inst->Prompt, kSapbr);
        switch (inst->State)
        {
        case IC2_CONTYPE:
            args = kArgContype;
            break;
        case IC2_APN:
            args = kArgApn;
            break;
        case IC2_OPEN:
            args = kArgOpen;
            break;
        case IC2_QUERY:
            args = kArgQuery;
            break;
        default:
            args = kArgClose;
            break;
        }
        gsmPromptHelperAppendP(inst->Prompt, args);
        if (inst->State == IC2_APN)
        {
            gsmPromptCmdAppendQuoted(inst->Prompt, inst->APN_IfAny);
        }
        gsmPromptCmdSend(inst->Prompt);
        inst->Flags |= IC2_F_SENT;
        return GSM_Prompt_CmdStatus_Pending;
    }
    st = gsmPromptCmdStatus(inst->Prompt, inst);
    if ((st == GSM_Prompt_CmdStatus_Pending) || (st == GSM_Prompt_CmdStatus_DataPrompt))
    {
        return GSM_Prompt_CmdStatus_Pending;
    }
    inst->Flags = (uint8_t)(inst->Flags & (uint8_t)~IC2_F_SENT);
    gsmPromptRelease(inst->Prompt, inst);
    return (st == GSM_Prompt_CmdStatus_Idle) ? GSM_Prompt_CmdStatus_Aborted : st;
}

static void enter(GSM_InternetConnectionSimcom2G_Instance* inst, uint8_t state)
{
    inst->State = state;
    inst->Flags = (uint8_t)(inst->Flags & (uint8_t)(IC2_F_DEACT | IC2_F_RESTART));
}

static void fail(GSM_InternetConnectionSimcom2G_Instance* inst, uint32_t now)
{
    GSM_DEBUG_TEXT("GSM internet (2G): attempt failed\r\n");
    setDown(inst);
    inst->Timer_ms = now + gsmInternetHelperBackoff(inst->Attempt, GSM_INTERNETCONNECTIONSIMCOM2G_RETRY_MS,
                                                    GSM_INTERNETCONNECTIONSIMCOM2G_RETRY_MAX_MS);
    if (inst->Attempt < 8u)
    {
        inst->Attempt++;
    }
    enter(inst, IC2_DOWN);
}

static bool registered(const GSM_InternetConnectionSimcom2G_Instance* inst)
{
    return (inst->NetworkRegistration == NULL) || gsmNetworkRegistrationIfIsRegisteredForData(inst->NetworkRegistration);
}

void gsmInternetConnectionSimcom2GInit(GSM_InternetConnectionSimcom2G_Instance* inst)
{
    if (inst == NULL)
    {
        return;
    }
    inst->_i.Family = (uint8_t)GSM_InternetConnection_Family_2G;
    inst->_i.Connected = 0u;
    inst->_i.ConnectCount = 0u;
    inst->_i.LostHint = 0u;
    gsmInternetHelperIPv4Clear(&inst->_i.Address);
    inst->State = IC2_DOWN;
    inst->Flags = 0u;
    inst->Attempt = 0u;
    inst->Tries = 0u;
    inst->Timer_ms = gsm__SysTime_ms();
    inst->Urc.Prefixes = kUrcPrefixes;
    inst->Urc.Handler = &onUrc;
    inst->Urc.Context = inst;
    gsmPromptUrcSubscribe(inst->Prompt, &inst->Urc);
}

void gsmInternetConnectionSimcom2GPoll(GSM_InternetConnectionSimcom2G_Instance* inst)
{
    uint32_t now;
    GSM_Prompt_CmdStatus st;
    if ((inst == NULL) || (inst->Prompt == NULL))
    {
        return;
    }
    now = gsm__SysTime_ms();

    if (!gsmPromptModemPowered(inst->Prompt) || ((inst->Flags & IC2_F_RESTART) != 0u))
    {
        if ((inst->State != IC2_DOWN) || (inst->_i.Connected != 0u) || ((inst->Flags & IC2_F_RESTART) != 0u))
        {
            gsmPromptRelease(inst->Prompt, inst);
            setDown(inst);
            inst->Flags = 0u;
            inst->Attempt = 0u;
            inst->State = IC2_DOWN;
            inst->Timer_ms = now;
        }
        return;
    }

    switch (inst->State)
    {
    case IC2_DOWN:
        inst->Flags = (uint8_t)(inst->Flags & (uint8_t)~IC2_F_DEACT);
        inst->_i.LostHint = 0u;
        if (registered(inst) && GSM_TIME_REACHED(now, inst->Timer_ms))
        {
            inst->Tries = 0u;
            enter(inst, IC2_CONTYPE);
        }
        break;

    case IC2_CONTYPE:
    case IC2_APN:
        st = runCmd(inst, &kShort);
        if (st == GSM_Prompt_CmdStatus_Ok)
        {
            enter(inst, ((inst->State == IC2_CONTYPE) && (inst->APN_IfAny != NULL)) ? IC2_APN : IC2_OPEN);
        }
        else if (st != GSM_Prompt_CmdStatus_Pending)
        {
            fail(inst, now);
        }
        break;

    case IC2_OPEN:
        st = runCmd(inst, &kOpen);
        if (st != GSM_Prompt_CmdStatus_Pending)
        {
            inst->Tries++;
            enter(inst, IC2_QUERY); /* an error may mean "already open": the query tells */
        }
        break;

    case IC2_QUERY:
        st = runCmd(inst, &kQuery);
        if (st == GSM_Prompt_CmdStatus_Pending)
        {
            break;
        }
        if ((st == GSM_Prompt_CmdStatus_Ok) && ((inst->Flags & IC2_F_STAT1) != 0u) && ((inst->Flags & IC2_F_DEACT) == 0u))
        {
            if (inst->_i.Connected == 0u)
            {
                inst->_i.Connected = 1u;
                inst->_i.ConnectCount++;
                GSM_DEBUG_TEXT("GSM internet (2G): connected\r\n");
            }
            inst->Attempt = 0u;
            inst->Timer_ms = now + GSM_INTERNETCONNECTIONSIMCOM2G_CHECK_MS;
            enter(inst, IC2_UP);
        }
        else if ((inst->Flags & IC2_F_CHECK) != 0u)
        {
            if (st == GSM_Prompt_CmdStatus_Ok)
            {
                setDown(inst); /* the bearer is gone */
                inst->Timer_ms = now;
                enter(inst, IC2_DOWN);
            }
            else
            {
                inst->Timer_ms = now + GSM_INTERNETCONNECTIONSIMCOM2G_OPEN_RETRY_MS;
                enter(inst, IC2_UP); /* no answer: ask again later */
            }
        }
        else if (inst->Tries < GSM_INTERNETCONNECTIONSIMCOM2G_OPEN_TRIES)
        {
            setDown(inst);
            inst->Timer_ms = now + GSM_INTERNETCONNECTIONSIMCOM2G_OPEN_RETRY_MS;
            enter(inst, IC2_OPEN_WAIT);
        }
        else
        {
            setDown(inst);
            enter(inst, IC2_CLOSE);
        }
        break;

    case IC2_OPEN_WAIT:
        if (GSM_TIME_REACHED(now, inst->Timer_ms))
        {
            enter(inst, registered(inst) ? IC2_OPEN : IC2_DOWN);
        }
        break;

    case IC2_UP:
        if (((inst->Flags & IC2_F_DEACT) != 0u) || !registered(inst))
        {
            GSM_DEBUG_TEXT("GSM internet (2G): bearer lost\r\n");
            setDown(inst);
            inst->Timer_ms = now;
            enter(inst, IC2_DOWN);
        }
        else if ((inst->_i.LostHint != 0u) ||
                 ((GSM_INTERNETCONNECTIONSIMCOM2G_CHECK_MS != 0u) && GSM_TIME_REACHED(now, inst->Timer_ms)))
        {
            inst->_i.LostHint = 0u;
            enter(inst, IC2_QUERY);
            inst->Flags |= IC2_F_CHECK;
        }
        break;

    default: /* IC2_CLOSE */
        st = runCmd(inst, &kClose);
        if (st != GSM_Prompt_CmdStatus_Pending)
        {
            fail(inst, now);
        }
        break;
    }
}

bool gsmInternetConnectionSimcom2GIsConnected(GSM_InternetConnectionSimcom2G_Instance* inst)
{
    return (inst != NULL) && gsmInternetConnectionIfIsConnected(&inst->_i);
}

bool gsmInternetConnectionSimcom2GGetIPv4(GSM_InternetConnectionSimcom2G_Instance* inst, GSM_IPv4* address)
{
    if (inst == NULL)
    {
        gsmInternetHelperIPv4Clear(address);
        return false;
    }
    return gsmInternetConnectionIfAddress(&inst->_i, address);
}
