/*
 * sim_net.c - packet data service of the modem simulator (LTE NETOPEN, 2G SAPBR bearer).
 */
#include "sim_net.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define SIM_NET_IP "10.148.0.17"
#define SIM_NET_OPEN_DELAY_MS 1500u
/* A network that refuses the attach without its APN accepts the next attempt this long after the
 * APN is right (the modem retries a refused attach by itself). */
#define SIM_NET_ATTACH_MS 1000u

struct SimNet
{
    SimService service;
    SimModem* sim;
    char required_apn[64];
    bool apn_required;
    char apn[64];
    bool contype;
    bool open;
    int open_attempts;
    int fail_opens;
    bool numeric_ip_errors;
    bool drop_at_address;
    bool drop_after_query;
    int addressless_answers; /* AT+IPADDR answers still to come without an IPv4 address */
    /* attach: the packet domain registration as last seen, the APN in force when it was reached */
    bool registered;
    char attach_apn[64];
    int attaches;
    bool attach_needs_apn; /* LTE, required APN: the attach is refused until that APN is set */
    bool attach_pending;
    uint32_t attach_due;
    uint32_t unregistered_since;
};

/* Copies the last quoted field of `args` into n->apn. */
static void set_apn(SimNet* n, const char* args)
{
    const char* end = strrchr(args, '"');
    const char* start = end;
    n->apn[0] = '\0';
    if (end == NULL || end == args)
    {
        return;
    }
    while (--start > args && *start != '"')
    {
    }
    if (*start == '"')
    {
        snprintf(n->apn, sizeof n->apn, "%.*s", (int)(end - start - 1), start + 1);
    }
}

static bool packet_registered(const SimModem* sim)
{
    uint8_t g = sim_registration(sim, SIM_REG_GPRS);
    uint8_t e = sim_registration(sim, SIM_REG_EPS);
    return g == 1 || g == 5 || e == 1 || e == 5;
}

static bool apn_right(const SimNet* n, const char* apn)
{
    return !n->apn_required || strcmp(apn, n->required_apn) == 0;
}

/* An open attempt: it succeeds when no failure is armed, the modem is registered for packet data and
 * the APN is the one the network insists on: on LTE the APN that was in force when the modem attached
 * (the default bearer's), on 2G the bearer's APN now. */
static bool open_allowed(SimNet* n)
{
    n->open_attempts++;
    if (n->fail_opens > 0)
    {
        n->fail_opens--;
        return false;
    }
    return packet_registered(n->sim) && apn_right(n, sim_family(n->sim) == SIM_FAMILY_2G ? n->apn : n->attach_apn);
}

static int net_apn(SimModem* sim, void* state, const char* args)
{
    (void)sim;
    set_apn((SimNet*)state, args);
    return SIM_OK;
}

static int lte_netopen_read(SimModem* sim, void* state, const char* args)
{
    SimNet* n = (SimNet*)state;
    int result = sim_line(sim, n->open ? "+NETOPEN: 1" : "+NETOPEN: 0", SIM_OK);
    (void)args;
    if (n->drop_after_query)
    {
        /* the modem closes the network on its own right after answering */
        n->drop_after_query = false;
        n->open = false;
    }
    return result;
}

static int lte_netopen(SimModem* sim, void* state, const char* args)
{
    SimNet* n = (SimNet*)state;
    (void)args;
    if (n->open)
    {
        return sim_line(sim, n->numeric_ip_errors ? "+IP ERROR: 4" : "+IP ERROR: Network is already opened", SIM_ERROR);
    }
    n->open = open_allowed(n);
    sim_send_line_later(sim, SIM_NET_OPEN_DELAY_MS, n->open ? "+NETOPEN: 0" : "+NETOPEN: 1");
    return SIM_OK;
}

static int lte_netclose(SimModem* sim, void* state, const char* args)
{
    SimNet* n = (SimNet*)state;
    (void)args;
    if (!n->open)
    {
        return sim_line(sim, "+NETCLOSE: 2", SIM_ERROR);
    }
    n->open = false;
    sim_send_line_later(sim, 200, "+NETCLOSE: 0");
    return SIM_OK;
}

static int lte_ipaddr(SimModem* sim, void* state, const char* args)
{
    SimNet* n = (SimNet*)state;
    (void)args;
    if (!n->open)
    {
        return sim_line(sim, n->numeric_ip_errors ? "+IP ERROR: 8" : "+IP ERROR: Network not opened", SIM_ERROR);
    }
    if (n->addressless_answers > 0)
    {
        n->addressless_answers--;
        return sim_line(sim, "+IPADDR: fe80::1", SIM_OK);
    }
    sim_send_line(sim, "+IPADDR: " SIM_NET_IP);
    if (n->drop_at_address)
    {
        /* the network drops between the address and the final result */
        n->drop_at_address = false;
        n->open = false;
        sim_send_line(sim, "+CIPEVENT: NETWORK CLOSED UNEXPECTEDLY");
    }
    return SIM_OK;
}

static int sapbr_contype(SimModem* sim, void* state, const char* args)
{
    (void)sim;
    ((SimNet*)state)->contype = strstr(args, "\"GPRS\"") != NULL;
    return SIM_OK;
}

/* AT+SAPBR=1,1: no answer now; OK or ERROR after the open delay. */
static int sapbr_open(SimModem* sim, void* state, const char* args)
{
    SimNet* n = (SimNet*)state;
    (void)args;
    if (n->open)
    {
        return 3;
    }
    n->open = n->contype && open_allowed(n);
    sim_send_line_later(sim, SIM_NET_OPEN_DELAY_MS, n->open ? "OK" : "ERROR");
    return SIM_ANSWERED;
}

static int sapbr_query(SimModem* sim, void* state, const char* args)
{
    bool open = ((SimNet*)state)->open;
    char line[64];
    (void)args;
    snprintf(line, sizeof line, "+SAPBR: 1,%d,\"%s\"", open ? 1 : 3, open ? SIM_NET_IP : "0.0.0.0");
    return sim_line(sim, line, SIM_OK);
}

static int sapbr_close(SimModem* sim, void* state, const char* args)
{
    SimNet* n = (SimNet*)state;
    bool was_open = n->open;
    (void)sim, (void)args;
    n->open = false;
    return was_open ? SIM_OK : SIM_ERROR;
}

/* Every other AT+SAPBR= command of a 2G modem answers ERROR; the LTE commands are unknown there. */
static const SimCommand kCommands[] = {{"AT+CGDCONT=1,", true, SIM_ONLY_LTE, net_apn},
                                       {"AT+NETOPEN?", true, SIM_ONLY_LTE, lte_netopen_read},
                                       {"AT+NETOPEN", true, SIM_ONLY_LTE, lte_netopen},
                                       {"AT+NETCLOSE", true, SIM_ONLY_LTE, lte_netclose},
                                       {"AT+IPADDR", true, SIM_ONLY_LTE, lte_ipaddr},
                                       {"AT+SAPBR=3,1,\"Contype\",", true, SIM_ONLY_2G, sapbr_contype},
                                       {"AT+SAPBR=3,1,\"APN\",", true, SIM_ONLY_2G, net_apn},
                                       {"AT+SAPBR=1,1", false, SIM_ONLY_2G, sapbr_open},
                                       {"AT+SAPBR=2,1", false, SIM_ONLY_2G, sapbr_query},
                                       {"AT+SAPBR=0,1", false, SIM_ONLY_2G, sapbr_close},
                                       {NULL, false, 0, NULL}};

static bool on_command(SimModem* sim, void* state, const char* cmd)
{
    return sim_dispatch(sim, kCommands, state, cmd);
}

/* The attach as the network sees it: the APN in force when the packet domain registration is reached;
 * a network that wants its APN refusing the attach until the APN is set (the registration taken back
 * to 3 in the same millisecond, with its URCs); the context given up once the registration has been
 * lost for SIM_NET_CONTEXT_LOSS_MS. */
static void on_tick(SimModem* sim, void* state)
{
    SimNet* n = (SimNet*)state;
    bool reg = packet_registered(sim);
    uint32_t now = sim_now(sim);
    if (n->attach_needs_apn && sim_family(sim) != SIM_FAMILY_2G)
    {
        if (reg && !apn_right(n, n->apn))
        {
            sim_set_registration(sim, SIM_REG_GPRS, 3);
            sim_set_registration(sim, SIM_REG_EPS, 3);
            reg = false;
        }
        else if (!reg && apn_right(n, n->apn) && sim_registration(sim, SIM_REG_EPS) == 3)
        {
            if (!n->attach_pending)
            {
                n->attach_pending = true;
                n->attach_due = now + SIM_NET_ATTACH_MS;
            }
            else if ((int32_t)(now - n->attach_due) >= 0)
            {
                n->attach_pending = false;
                sim_set_registration(sim, SIM_REG_GPRS, 1);
                sim_set_registration(sim, SIM_REG_EPS, 1);
                reg = true;
            }
        }
    }
    if (reg && !n->registered)
    {
        snprintf(n->attach_apn, sizeof n->attach_apn, "%s", n->apn);
        n->attaches++;
    }
    else if (!reg && n->registered)
    {
        n->unregistered_since = now;
    }
    n->registered = reg;
    if (!reg && n->open && now - n->unregistered_since >= SIM_NET_CONTEXT_LOSS_MS)
    {
        sim_net_drop(n);
    }
}

static void on_reset(SimModem* sim, void* state)
{
    SimNet* n = (SimNet*)state;
    (void)sim;
    n->open = false;
    n->contype = false;
    n->apn[0] = '\0';
    n->registered = false;
    n->attach_apn[0] = '\0';
    n->attach_pending = false;
}

SimNet* sim_net_attach(SimModem* sim, const char* required_apn)
{
    SimNet* n = (SimNet*)calloc(1, sizeof *n);
    SimService service = {"net", on_command, on_tick, on_reset, n};
    n->sim = sim;
    n->apn_required = required_apn != NULL;
    snprintf(n->required_apn, sizeof n->required_apn, "%s", required_apn ? required_apn : "");
    n->service = service;
    sim_add_service(sim, &n->service);
    return n;
}

void sim_net_detach(SimNet* n) { free(n); }
bool sim_net_is_open(const SimNet* n) { return n->open; }
const char* sim_net_apn(const SimNet* n) { return n->apn; }
int sim_net_open_attempts(const SimNet* n) { return n->open_attempts; }
void sim_net_fail_opens(SimNet* n, int count) { n->fail_opens = count; }
void sim_net_drop_silently(SimNet* n) { n->open = false; }
void sim_net_numeric_ip_errors(SimNet* n, bool numeric) { n->numeric_ip_errors = numeric; }
void sim_net_drop_at_next_address(SimNet* n) { n->drop_at_address = true; }
void sim_net_drop_after_next_query(SimNet* n) { n->drop_after_query = true; }
void sim_net_addressless_answers(SimNet* n, int count) { n->addressless_answers = count; }
void sim_net_attach_needs_apn(SimNet* n) { n->attach_needs_apn = true; }
const char* sim_net_attach_apn(const SimNet* n) { return n->attach_apn; }
int sim_net_attaches(const SimNet* n) { return n->attaches; }

void sim_net_drop(SimNet* n)
{
    n->open = false;
    sim_inject_urc(n->sim, sim_family(n->sim) == SIM_FAMILY_2G ? "+SAPBR 1: DEACT" : "+CIPEVENT: NETWORK CLOSED UNEXPECTEDLY");
}
