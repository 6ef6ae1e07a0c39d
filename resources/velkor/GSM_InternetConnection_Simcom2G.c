/*
 * GSM_InternetConnection_Simcom2G.c - 2G bearer profile 1 (AT+SAPBR) for the modem's HTTP service.
 */
#include "GSM_InternetConnection_Simcom2G.h"
#include "GSM_Required_Externals.h"
#include "GSM_Util.h"
#include "GSM_Prompt_Helper.h"

/* States. The command states come first: their value is the index of their arguments in kArgs. */
enum
{
    IC2_DOWN = 0, /* waiting for registration and the retry pause (Tries > 0: the pause before the
                     next AT+SAPBR=1,1 of the present sequence) */
    IC2_CONTYPE,  /* AT+SAPBR=3,1,"Contype","GPRS" */
    IC2_APN,      /* AT+SAPBR=3,1,"APN","<apn>" */
    IC2_OPEN,     /* AT+SAPBR=1,1 */
    IC2_QUERY,    /* AT+SAPBR=2,1 (after an open; while connected: the periodic check) */
    IC2_CLOSE,    /* AT+SAPBR=0,1 */
    IC2_UP        /* connected */
};

/* "AT+SAPBR=" and the arguments of each command state (constants in flash on AVR). */
static const char kSapbr[] GSM_PGM = "AT+SAPBR=";
static const char kArgs[] GSM_PGM = "\0" "3,1,\"Contype\",\"GPRS\"\0" "3,1,\"APN\",\0" "1,1\0" "2,1\0" "0,1";

/* Flags */
#define IC2_F_SENT    0x01u /* the command of the present state was sent */
#define IC2_F_STAT1   0x02u /* the query showed status 1 (connected) */
#define IC2_F_DEACT   0x04u /* "+SAPBR 1: DEACT" arrived (STAT1 and DEACT are cleared when a command is sent) */
#define IC2_F_RESTART 0x08u /* the modem restarted */

/* Command expectations: the settings and the query; open and close (up to 85 s and 65 s on the
 * modem). The answer of the query arrives through the URC subscription ("+SAPBR" covers
 * "+SAPBR: ..." and "+SAPBR 1: DEACT"). */
static const GSM_Prompt_CmdSpec kSpecs[] = {{NULL, 5000u, 0u}, {NULL, 90000u, 0u}};

/* Boot messages: the modem restarted. (A modem that switches itself off, "NORMAL POWER DOWN", is seen
 * as off through the Power module, which Basic Comms tells: gsmPromptModemPowered.) */
static const char* const kUrcPrefixes[] = {"+SAPBR", "RDY", "Call Ready", NULL};

static void setDown(GSM_InternetConnectionSimcom2G_Instance* inst)
{
    inst->_i.Connected = 0u;
    inst->_i.Address.Octet[0] = 0u;
    inst->_i.Address.Octet[1] = 0u;
    inst->_i.Address.Octet[2] = 0u;
    inst->_i.Address.Octet[3] = 0u;
}

static void onUrc(void* ctx, const char* line, uint16_t len)
{
    GSM_InternetConnectionSimcom2G_Instance* inst = (GSM_InternetConnectionSimcom2G_Instance*)ctx;
    uint32_t status;
    uint16_t start = len;
    if (line[0] != '+')
    {
        inst->Flags |= IC2_F_RESTART; /* boot message */
    }
    else if (len > 8u)
    {
        if ((line[6] == ' ') && (line[7] == '1'))
        {
            inst->Flags |= IC2_F_DEACT; /* "+SAPBR 1: DEACT" */
        }
        /* "+SAPBR: 1,<status>,"<ip>"" (the query asks for profile 1 only) */
        else if ((inst->State == IC2_QUERY) && gsmUtilFieldUint(line, len, 1u, &status) && (status == 1u))
        {
            while (line[--start] != ',')
            {
                /* back to the comma before the address (there is one: the status field exists) */
            }
            start++;
            if (gsmInternetHelperParseIPv4(&line[start], (uint16_t)(len - start), &inst->_i.Address))
            {
                inst->Flags |= IC2_F_STAT1;
            }
        }
    }
}

/* Runs the command of the present state: Pending until its final result, then that result (the
 * claim is released). */
static GSM_Prompt_CmdStatus runCmd(GSM_InternetConnectionSimcom2G_Instance* inst)
{
    GSM_Prompt_Interface* p = inst->Prompt;
    uint8_t state = inst->State;
    GSM_Prompt_CmdStatus st;
    if ((inst->Flags & IC2_F_SENT) == 0u)
    {
        if (gsmPromptHelperBeginP(p, inst, &kSpecs[((state == IC2_OPEN) || (state == IC2_CLOSE)) ? 1u : 0u], kSapbr))
        {
            gsmPromptHelperAppendP(p, gsmUtilListText(kArgs, state));
            if (state == IC2_APN)
            {
                gsmPromptCmdAppendQuoted(p, inst->APN_IfAny);
            }
            gsmPromptCmdSend(p);
            inst->Flags = (uint8_t)((inst->Flags & (uint8_t)~(IC2_F_STAT1 | IC2_F_DEACT)) | IC2_F_SENT);
        }
        return GSM_Prompt_CmdStatus_Pending;
    }
    st = gsmPromptCmdStatus(p, inst);
    if (st != GSM_Prompt_CmdStatus_Pending)
    {
        inst->Flags = (uint8_t)(inst->Flags & (uint8_t)~IC2_F_SENT);
        gsmPromptRelease(p, inst);
    }
    return st;
}

static void go(GSM_InternetConnectionSimcom2G_Instance* inst, uint8_t state, uint32_t deadline)
{
    inst->State = state;
    inst->Timer_ms = deadline;
}

/* Down: start the whole sequence over at `deadline` (when registered). */
static void down(GSM_InternetConnectionSimcom2G_Instance* inst, uint32_t deadline)
{
    setDown(inst);
    inst->Tries = 0u;
    go(inst, IC2_DOWN, deadline);
}

/* A failed sequence: down, pause with back-off, then start over. */
static void fail(GSM_InternetConnectionSimcom2G_Instance* inst, uint32_t now)
{
    GSM_DEBUG_TEXT("GSM internet (2G): attempt failed\r\n");
    down(inst, now + gsmInternetHelperBackoff(inst->Attempt, GSM_INTERNETCONNECTIONSIMCOM2G_RETRY_MS, GSM_INTERNETCONNECTIONSIMCOM2G_RETRY_MAX_MS));
    if (inst->Attempt < 8u)
    {
        inst->Attempt++;
    }
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
    inst->Flags = IC2_F_RESTART; /* the first poll starts from scratch */
    inst->Urc.Prefixes = kUrcPrefixes;
    inst->Urc.Handler = &onUrc;
    inst->Urc.Context = inst;
    gsmPromptUrcSubscribe(inst->Prompt, &inst->Urc);
}

void gsmInternetConnectionSimcom2GPoll(GSM_InternetConnectionSimcom2G_Instance* inst)
{
    uint32_t now;
    uint8_t state;
    uint8_t flags;
    bool ok = false;
    if ((inst == NULL) || (inst->Prompt == NULL))
    {
        return;
    }
    now = gsm__SysTime_ms();
    state = inst->State;

    /* Modem off or restarted: everything is gone, start afresh without closing. */
    if (!gsmPromptModemPowered(inst->Prompt) || ((inst->Flags & IC2_F_RESTART) != 0u))
    {
        gsmPromptRelease(inst->Prompt, inst);
        inst->Flags = 0u;
        inst->Attempt = 0u;
        down(inst, now);
        return;
    }

    if ((state >= IC2_CONTYPE) && (state <= IC2_CLOSE))
    {
        GSM_Prompt_CmdStatus st = runCmd(inst);
        if (st == GSM_Prompt_CmdStatus_Pending)
        {
            return;
        }
        ok = (st == GSM_Prompt_CmdStatus_Ok);
    }
    flags = inst->Flags;

    switch (state)
    {
    case IC2_DOWN:
        if (gsmInternetHelperRetryDue(&inst->Timer_ms, now, registered(inst)))
        {
            inst->State = (inst->Tries != 0u) ? IC2_OPEN : IC2_CONTYPE;
        }
        break;

    case IC2_UP:
        /* A loss of the registration alone changes nothing: the bearer outlives a short one, and the
         * modem reports its end ("+SAPBR 1: DEACT"); the periodic check finds one it did not report. */
        if ((flags & IC2_F_DEACT) != 0u)
        {
            GSM_DEBUG_TEXT("GSM internet (2G): bearer lost\r\n");
            down(inst, now);
        }
        else if ((inst->_i.LostHint != 0u) ||
                 ((GSM_INTERNETCONNECTIONSIMCOM2G_CHECK_MS != 0u) && GSM_TIME_REACHED(now, inst->Timer_ms)))
        {
            inst->_i.LostHint = 0u;
            inst->State = IC2_QUERY; /* the periodic check (Connected tells it from the query after an open) */
        }
        break;

    case IC2_QUERY:
        if (ok && ((flags & (IC2_F_STAT1 | IC2_F_DEACT)) == IC2_F_STAT1))
        {
            if (inst->_i.Connected == 0u)
            {
                inst->_i.Connected = 1u;
                inst->_i.ConnectCount++;
                GSM_DEBUG_TEXT("GSM internet (2G): connected\r\n");
            }
            inst->Attempt = 0u;
            go(inst, IC2_UP, now + GSM_INTERNETCONNECTIONSIMCOM2G_CHECK_MS);
        }
        else if (inst->_i.Connected != 0u) /* the periodic check */
        {
            if (ok)
            {
                down(inst, now); /* the bearer is gone */
            }
            else
            {
                go(inst, IC2_UP, now + GSM_INTERNETCONNECTIONSIMCOM2G_OPEN_RETRY_MS); /* no answer: ask again later */
            }
        }
        else
        {
            setDown(inst); /* the address of a refused answer is no address */
            if (inst->Tries < GSM_INTERNETCONNECTIONSIMCOM2G_OPEN_TRIES)
            {
                go(inst, IC2_DOWN, now + GSM_INTERNETCONNECTIONSIMCOM2G_OPEN_RETRY_MS); /* then open again */
            }
            else
            {
                inst->State = IC2_CLOSE;
            }
        }
        break;

    default: /* IC2_CONTYPE, IC2_APN, IC2_OPEN, IC2_CLOSE */
        if (state == IC2_OPEN)
        {
            inst->Tries++;
            ok = true; /* an error may mean "already open": the query tells */
        }
        if (!ok || (state == IC2_CLOSE))
        {
            fail(inst, now);
            break;
        }
        state++;
        if ((state == IC2_APN) && (inst->APN_IfAny == NULL))
        {
            state++;
        }
        inst->State = state;
        break;
    }
}

bool gsmInternetConnectionSimcom2GIsConnected(GSM_InternetConnectionSimcom2G_Instance* inst)
{
    return (inst != NULL) && (inst->_i.Connected != 0u);
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
