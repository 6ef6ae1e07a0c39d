/*
 * GSM_InternetConnection_Simcom.c - LTE packet data connection (AT+CGDCONT, AT+NETOPEN, AT+IPADDR).
 */
#include "GSM_InternetConnection_Simcom.h"
#include "GSM_Required_Externals.h"
#include "GSM_Util.h"
#include "GSM_Prompt_Helper.h"

/* States. The command states come first: their value is the index of their command in kCmds. */
enum
{
    ICL_DOWN = 0,  /* waiting for the retry pause */
    ICL_CGDCONT,   /* AT+CGDCONT=1,"IP","<apn>" */
    ICL_NETOPEN,   /* AT+NETOPEN */
    ICL_IPADDR,    /* AT+IPADDR */
    ICL_QUERY,     /* AT+NETOPEN? (while connected: periodic check; after a loss: is it still open?) */
    ICL_NETCLOSE,  /* AT+NETCLOSE */
    ICL_UP,        /* connected */
    ICL_OPEN_RES,  /* waiting for +NETOPEN: <err> */
    ICL_CLOSE_RES, /* waiting for +NETCLOSE: <err> */
    ICL_ATTACH     /* waiting for registration (the APN, if any, is written) */
};

/* Commands of the command states (constants in flash on AVR). */
static const char kCmds[] GSM_PGM = "\0AT+CGDCONT=1,\"IP\",\0AT+NETOPEN\0AT+IPADDR\0AT+NETOPEN?\0AT+NETCLOSE";

/* Next state after the OK of AT+CGDCONT, AT+NETOPEN and AT+NETCLOSE. */
static const uint8_t kNextOk[] = {ICL_DOWN, ICL_ATTACH, ICL_OPEN_RES, ICL_UP, ICL_UP, ICL_CLOSE_RES};

/* Flags. RESULT, RES_OK and OPEN are cleared when a command is sent, LOST when AT+IPADDR is. */
#define ICL_F_SENT    0x01u /* the command of the present state was sent */
#define ICL_F_RESULT  0x02u /* the delayed result line arrived */
#define ICL_F_RES_OK  0x04u /* ... and reported success */
#define ICL_F_OPEN    0x08u /* AT+NETOPEN? answered 1 */
#define ICL_F_LOST    0x10u /* a network-lost URC arrived */
#define ICL_F_RESTART 0x20u /* the modem restarted */

/* Every command waits for OK; its answer lines arrive through the URC subscription below. */
static const GSM_Prompt_CmdSpec kSpec = {NULL, 9000u, 0u};

#define ICL_RESULT_TIMEOUT_MS 120000u

/* "+NET" covers +NETOPEN: and +NETCLOSE:, "+IP" covers +IPADDR: and +IP ERROR:; then the boot
 * messages. (A modem that switches itself off, "POWERD DOWN", is seen as off through the Power module,
 * which Basic Comms tells: gsmPromptModemPowered.) */
static const char* const kUrcPrefixes[] = {"+NET", "+IP", "+CIPEVENT", "+CGEV", "RDY", "*ATREADY:", NULL};

static void setDown(GSM_InternetConnectionSimcom_Instance* inst)
{
    inst->_i.Connected = 0u;
    inst->_i.Address.Octet[0] = 0u;
    inst->_i.Address.Octet[1] = 0u;
    inst->_i.Address.Octet[2] = 0u;
    inst->_i.Address.Octet[3] = 0u;
}

static void onUrc(void* ctx, const char* line, uint16_t len)
{
    GSM_InternetConnectionSimcom_Instance* inst = (GSM_InternetConnectionSimcom_Instance*)ctx;
    uint8_t state = inst->State;
    uint32_t v;
    /* Only lines that start with one of kUrcPrefixes arrive here: a few characters tell them apart. */
    if (line[0] != '+')
    {
        inst->Flags |= ICL_F_RESTART; /* boot message */
    }
    else if (line[1] == 'N') /* "+NETOPEN: <n>" or "+NETCLOSE: <n>" */
    {
        /* the states that wait for the line: +NETOPEN: answers AT+NETOPEN (0: opened) and AT+NETOPEN?
         * (1: open); +NETCLOSE: answers AT+NETCLOSE */
        uint32_t waiting = ((len > 4u) && (line[4] == 'O'))
                               ? ((1uL << ICL_NETOPEN) | (1uL << ICL_OPEN_RES) | (1uL << ICL_QUERY))
                               : ((1uL << ICL_NETCLOSE) | (1uL << ICL_CLOSE_RES));
        if ((waiting & (1uL << state)) != 0u)
        {
            uint8_t f = ICL_F_RESULT;
            if (gsmUtilFieldUint(line, len, 0u, &v))
            {
                if (v == 0u)
                {
                    f |= ICL_F_RES_OK;
                }
                else if (v == 1u)
                {
                    f |= ICL_F_OPEN;
                }
            }
            inst->Flags |= f;
        }
    }
    else if (line[1] == 'I') /* "+IPADDR: <address>" or "+IP ERROR: <text>" */
    {
        if ((state == ICL_IPADDR) && (len > 8u))
        {
            (void)gsmInternetHelperParseIPv4(&line[8], (uint16_t)(len - 8u), &inst->_i.Address);
        }
        else if ((state == ICL_NETOPEN) &&
                 (((len >= 30u) && (line[len - 6u] == 'o')) || ((line[len - 2u] == ' ') && (line[len - 1u] == '4'))))
        {
            /* "+IP ERROR: Network is already opened", or "+IP ERROR: 4" in the numeric error mode
             * (AT+CIPCCFG): as good as +NETOPEN: 0 */
            inst->Flags |= ICL_F_RESULT | ICL_F_RES_OK;
        }
    }
    else
    {
        /* "+CIPEVENT: NETWORK CLOSED UNEXPECTEDLY" and the +CGEV deactivations and detaches ("NW PDN
         * DEACT 1", "ME DETACH"...) are losses; "+CGEV: ME PDN ACT" and the like are not, and neither
         * is "PDN DEACT <cid>" for a context other than ours, 1 (e.g. the IMS context of a VoLTE
         * modem). */
        uint16_t i;
        for (i = 7u; i < len; i++)
        {
            if ((line[i] == 'E') && ((line[i - 1u] == 'D') || (line[i - 1u] == 'N')))
            {
                /* Only "DEACT <d>", a one-digit cid other than 1 at the line end, names another
                 * context; longer or other forms are taken as ours. */
                if ((len != (uint16_t)(i + 6u)) || (line[i + 2u] != 'C') || (line[i + 5u] == '1'))
                {
                    inst->Flags |= ICL_F_LOST;
                }
                return;
            }
        }
    }
}

/* Runs the command of the present state: Pending until its final result, then that result (the
 * claim is released). */
static GSM_Prompt_CmdStatus runCmd(GSM_InternetConnectionSimcom_Instance* inst)
{
    GSM_Prompt_Interface* p = inst->Prompt;
    GSM_Prompt_CmdStatus st;
    if ((inst->Flags & ICL_F_SENT) == 0u)
    {
        if (gsmPromptHelperBeginP(p, inst, &kSpec, gsmUtilListText(kCmds, inst->State)))
        {
            if (inst->State == ICL_CGDCONT)
            {
                gsmPromptCmdAppendQuoted(p, inst->APN_IfAny);
            }
            gsmPromptCmdSend(p);
            /* A loss reported before the address is asked for belongs to an earlier connection (or
             * to the closing of one); from then on it is a loss of the new one. */
            inst->Flags = (uint8_t)(((inst->State == ICL_IPADDR) ? 0u : (inst->Flags & ICL_F_LOST)) | ICL_F_SENT);
        }
        return GSM_Prompt_CmdStatus_Pending;
    }
    st = gsmPromptCmdStatus(p, inst);
    if (st != GSM_Prompt_CmdStatus_Pending)
    {
        inst->Flags = (uint8_t)(inst->Flags & (uint8_t)~ICL_F_SENT);
        gsmPromptRelease(p, inst);
    }
    return st;
}

static void go(GSM_InternetConnectionSimcom_Instance* inst, uint8_t state, uint32_t deadline)
{
    inst->State = state;
    inst->Timer_ms = deadline;
}

/* Down: start over at `deadline` (when registered). */
static void down(GSM_InternetConnectionSimcom_Instance* inst, uint32_t deadline)
{
    setDown(inst);
    go(inst, ICL_DOWN, deadline);
}

/* A failed attempt: down, pause with back-off, then start over. */
static void fail(GSM_InternetConnectionSimcom_Instance* inst, uint32_t now)
{
    GSM_DEBUG_TEXT("GSM internet (LTE): attempt failed\r\n");
    down(inst, now + gsmInternetHelperBackoff(inst->Attempt, GSM_INTERNETCONNECTIONSIMCOM_RETRY_MS, GSM_INTERNETCONNECTIONSIMCOM_RETRY_MAX_MS));
    if (inst->Attempt < 8u)
    {
        inst->Attempt++;
    }
}

static bool registered(const GSM_InternetConnectionSimcom_Instance* inst)
{
    return (inst->NetworkRegistration == NULL) || gsmNetworkRegistrationIfIsRegisteredForData(inst->NetworkRegistration);
}

void gsmInternetConnectionSimcomInit(GSM_InternetConnectionSimcom_Instance* inst)
{
    if (inst == NULL)
    {
        return;
    }
    inst->_i.Family = (uint8_t)GSM_InternetConnection_Family_LTE;
    inst->_i.Connected = 0u;
    inst->_i.ConnectCount = 0u;
    inst->_i.LostHint = 0u;
    inst->Flags = ICL_F_RESTART; /* the first poll starts from scratch */
    inst->Urc.Prefixes = kUrcPrefixes;
    inst->Urc.Handler = &onUrc;
    inst->Urc.Context = inst;
    gsmPromptUrcSubscribe(inst->Prompt, &inst->Urc);
}

void gsmInternetConnectionSimcomPoll(GSM_InternetConnectionSimcom_Instance* inst)
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
    if (!gsmPromptModemPowered(inst->Prompt) || ((inst->Flags & ICL_F_RESTART) != 0u))
    {
        gsmPromptRelease(inst->Prompt, inst);
        inst->Flags = 0u;
        inst->Attempt = 0u;
        down(inst, now);
        return;
    }

    if ((state >= ICL_CGDCONT) && (state <= ICL_NETCLOSE))
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
    case ICL_DOWN:
        /* The pause over, the APN goes to the modem before the registration is awaited (after a
         * modem start as soon as the modem takes commands: Basic Comms, polled before, holds the
         * prompt until it answers): the modem uses the APN that is set when it attaches, and a
         * network that wants one may refuse the attach until then. No deadline is kept while the
         * registration is awaited, so none can age. */
        if (GSM_TIME_REACHED(now, inst->Timer_ms))
        {
            inst->State = (inst->APN_IfAny != NULL) ? ICL_CGDCONT : ICL_ATTACH;
        }
        break;

    case ICL_ATTACH:
        if (registered(inst))
        {
            inst->State = ICL_NETOPEN;
        }
        break;

    case ICL_UP:
        /* A loss of the registration alone changes nothing: the modem keeps the context through a
         * short one (cell change, edge of coverage) and reports a real loss itself (+CIPEVENT,
         * +CGEV); the periodic check finds one it did not report. */
        if ((flags & ICL_F_LOST) != 0u)
        {
            GSM_DEBUG_TEXT("GSM internet (LTE): connection lost\r\n");
            setDown(inst); /* the query then tells whether to close first */
        }
        else if ((inst->_i.LostHint == 0u) &&
                 ((GSM_INTERNETCONNECTIONSIMCOM_CHECK_MS == 0u) || !GSM_TIME_REACHED(now, inst->Timer_ms)))
        {
            break;
        }
        inst->_i.LostHint = 0u;
        inst->State = ICL_QUERY;
        break;

    case ICL_OPEN_RES:
    case ICL_CLOSE_RES:
        if (((flags & ICL_F_RESULT) == 0u) && !GSM_TIME_REACHED(now, inst->Timer_ms))
        {
            break;
        }
        if (state == ICL_CLOSE_RES)
        {
            down(inst, now); /* closed (or no answer): open again */
        }
        else if ((flags & ICL_F_RES_OK) != 0u)
        {
            inst->State = ICL_IPADDR;
        }
        else
        {
            fail(inst, now);
        }
        break;

    case ICL_QUERY:
        /* Connected: the periodic check. Not connected: after a loss, where the socket service may
         * still hold a dead context that must be closed first. */
        if ((inst->_i.Connected != 0u) && !ok)
        {
            go(inst, ICL_UP, now + GSM_INTERNETCONNECTIONSIMCOM_RETRY_MS); /* no answer: ask again later */
        }
        else if ((flags & ICL_F_OPEN) == 0u)
        {
            down(inst, now);
        }
        else if (inst->_i.Connected != 0u)
        {
            go(inst, ICL_UP, now + GSM_INTERNETCONNECTIONSIMCOM_CHECK_MS);
        }
        else
        {
            inst->State = ICL_NETCLOSE;
        }
        break;

    default: /* ICL_CGDCONT, ICL_NETOPEN, ICL_IPADDR, ICL_NETCLOSE */
        /* A result line that reports success counts even when the command itself ended with an
         * error: "+IP ERROR: Network is already opened" + ERROR means open. AT+IPADDR must have
         * given an IPv4 address (none starts with 0, as the modems' "no address" 0.0.0.0 does;
         * another form of answer fails the attempt, and the next one asks again). */
        if ((!ok && ((flags & ICL_F_RES_OK) == 0u)) || ((state == ICL_IPADDR) && (inst->_i.Address.Octet[0] == 0u)))
        {
            if (state == ICL_NETCLOSE)
            {
                /* "+NETCLOSE: 2" / ERROR: the network is not open (the modem closed it since the
                 * query), which is what the close was for: open again at once */
                down(inst, now);
                break;
            }
            fail(inst, now);
        }
        else if (state == ICL_IPADDR)
        {
            inst->_i.Connected = 1u;
            inst->_i.ConnectCount++;
            inst->Attempt = 0u;
            go(inst, ICL_UP, now + GSM_INTERNETCONNECTIONSIMCOM_CHECK_MS);
            GSM_DEBUG_TEXT("GSM internet (LTE): connected\r\n");
        }
        else
        {
            /* the result line of AT+NETOPEN / AT+NETCLOSE may have come with (or before) the OK (no
             * deadline in ICL_ATTACH) */
            go(inst, kNextOk[state], now + ICL_RESULT_TIMEOUT_MS);
        }
        break;
    }
}

bool gsmInternetConnectionSimcomIsConnected(GSM_InternetConnectionSimcom_Instance* inst)
{
    return (inst != NULL) && (inst->_i.Connected != 0u);
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
