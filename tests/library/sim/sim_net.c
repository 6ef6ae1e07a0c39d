/*
 * sim_net.c - packet data service of the modem simulator (LTE NETOPEN, 2G SAPBR bearer).
 */
#include "sim_net.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define SIM_NET_IP "10.148.0.17"

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
    uint32_t open_delay;
};

static bool registered_for_data(SimModem* sim)
{
    uint8_t g = sim_registration(sim, SIM_REG_GPRS);
    uint8_t e = sim_registration(sim, SIM_REG_EPS);
    return g == 1 || g == 5 || e == 1 || e == 5;
}

/* Copies the last quoted field of cmd into out. */
static void last_quoted(const char* cmd, char* out, size_t size)
{
    const char* end = strrchr(cmd, '"');
    const char* start;
    size_t n;
    out[0] = '\0';
    if (end == NULL || end == cmd)
    {
        return;
    }
    start = end - 1;
    while (start > cmd && *start != '"')
    {
        start--;
    }
    if (*start != '"')
    {
        return;
    }
    n = (size_t)(end - start - 1);
    if (n >= size)
    {
        n = size - 1;
    }
    memcpy(out, start + 1, n);
    out[n] = '\0';
}

static bool open_allowed(SimNet* n)
{
    n->open_attempts++;
    if (n->fail_opens > 0)
    {
        n->fail_opens--;
        return false;
    }
    if (!registered_for_data(n->sim))
    {
        return false;
    }
    return !n->apn_required || strcmp(n->apn, n->required_apn) == 0;
}

static bool on_lte(SimNet* n, SimModem* sim, const char* cmd)
{
    char line[96];
    if (sim_cmd_is(cmd, "AT+CGDCONT=1,"))
    {
        last_quoted(cmd, n->apn, sizeof n->apn);
        sim_send_ok(sim);
        return true;
    }
    if (sim_cmd_is(cmd, "AT+NETOPEN?"))
    {
        sim_send_line(sim, n->open ? "+NETOPEN: 1" : "+NETOPEN: 0");
        sim_send_ok(sim);
        return true;
    }
    if (sim_cmd_is(cmd, "AT+NETOPEN"))
    {
        if (n->open)
        {
            sim_send_line(sim, "+IP ERROR: Network is already opened");
            sim_send_error(sim);
            return true;
        }
        sim_send_ok(sim);
        if (open_allowed(n))
        {
            n->open = true;
            sim_send_line_later(sim, n->open_delay, "+NETOPEN: 0");
        }
        else
        {
            sim_send_line_later(sim, n->open_delay, "+NETOPEN: 1");
        }
        return true;
    }
    if (sim_cmd_is(cmd, "AT+NETCLOSE"))
    {
        if (!n->open)
        {
            sim_send_line(sim, "+NETCLOSE: 2");
            sim_send_error(sim);
            return true;
        }
        n->open = false;
        sim_send_ok(sim);
        sim_send_line_later(sim, 200, "+NETCLOSE: 0");
        return true;
    }
    if (sim_cmd_is(cmd, "AT+IPADDR"))
    {
        if (!n->open)
        {
            sim_send_line(sim, "+IP ERROR: Network not opened");
            sim_send_error(sim);
            return true;
        }
        sim_send_line(sim, "+IPADDR: " SIM_NET_IP);
        sim_send_ok(sim);
        return true;
    }
    if (sim_cmd_is(cmd, "AT+CGPADDR"))
    {
        snprintf(line, sizeof line, "+CGPADDR: 1,%s", n->open ? SIM_NET_IP : "0.0.0.0");
        sim_send_line(sim, line);
        sim_send_ok(sim);
        return true;
    }
    return false;
}

static bool on_2g(SimNet* n, SimModem* sim, const char* cmd)
{
    char line[96];
    if (!sim_cmd_is(cmd, "AT+SAPBR="))
    {
        return false;
    }
    if (sim_cmd_is(cmd, "AT+SAPBR=3,1,\"Contype\","))
    {
        n->contype = strstr(cmd, "\"GPRS\"") != NULL;
        sim_send_ok(sim);
    }
    else if (sim_cmd_is(cmd, "AT+SAPBR=3,1,\"APN\","))
    {
        last_quoted(cmd + 18, n->apn, sizeof n->apn);
        sim_send_ok(sim);
    }
    else if (strcmp(cmd, "AT+SAPBR=1,1") == 0)
    {
        if (n->open)
        {
            sim_send_cme(sim, 3);
        }
        else if (n->contype && open_allowed(n))
        {
            n->open = true;
            sim_send_line_later(sim, n->open_delay, "OK");
        }
        else
        {
            sim_send_line_later(sim, n->open_delay, "ERROR");
        }
    }
    else if (strcmp(cmd, "AT+SAPBR=2,1") == 0)
    {
        snprintf(line, sizeof line, "+SAPBR: 1,%d,\"%s\"", n->open ? 1 : 3, n->open ? SIM_NET_IP : "0.0.0.0");
        sim_send_line(sim, line);
        sim_send_ok(sim);
    }
    else if (strcmp(cmd, "AT+SAPBR=0,1") == 0)
    {
        if (n->open)
        {
            n->open = false;
            sim_send_ok(sim);
        }
        else
        {
            sim_send_error(sim);
        }
    }
    else
    {
        sim_send_error(sim);
    }
    return true;
}

static bool on_command(SimModem* sim, void* state, const char* cmd)
{
    SimNet* n = (SimNet*)state;
    return sim_family(sim) == SIM_FAMILY_2G ? on_2g(n, sim, cmd) : on_lte(n, sim, cmd);
}

static void on_reset(SimModem* sim, void* state)
{
    SimNet* n = (SimNet*)state;
    (void)sim;
    n->open = false;
    n->contype = false;
    n->apn[0] = '\0';
}

SimNet* sim_net_attach(SimModem* sim, const char* required_apn)
{
    SimNet* n = (SimNet*)calloc(1, sizeof *n);
    n->sim = sim;
    n->apn_required = required_apn != NULL;
    if (required_apn)
    {
        snprintf(n->required_apn, sizeof n->required_apn, "%s", required_apn);
    }
    n->open_delay = 1500;
    n->service.name = "net";
    n->service.on_command = on_command;
    n->service.on_reset = on_reset;
    n->service.state = n;
    sim_add_service(sim, &n->service);
    return n;
}

void sim_net_detach(SimNet* n)
{
    free(n);
}

bool sim_net_is_open(const SimNet* n) { return n->open; }
const char* sim_net_apn(const SimNet* n) { return n->apn; }
int sim_net_open_attempts(const SimNet* n) { return n->open_attempts; }
void sim_net_fail_opens(SimNet* n, int count) { n->fail_opens = count; }
void sim_net_set_open_delay(SimNet* n, uint32_t ms) { n->open_delay = ms; }

void sim_net_drop(SimNet* n)
{
    n->open = false;
    sim_inject_urc(n->sim, sim_family(n->sim) == SIM_FAMILY_2G ? "+SAPBR 1: DEACT" : "+CIPEVENT: NETWORK CLOSED UNEXPECTEDLY");
}

void sim_net_drop_silently(SimNet* n)
{
    n->open = false;
}
