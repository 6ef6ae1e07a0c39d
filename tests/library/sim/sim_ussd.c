/*
 * sim_ussd.c - USSD service of the modem simulator.
 */
#include "sim_ussd.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

enum
{
    MENU_NONE = 0,
    MENU_MAIN,
    MENU_BUNDLES
};

struct SimUssd
{
    SimService service;
    SimModem* sim;
    uint32_t delay;
    int menu;            /* open session level */
    bool pending;        /* an answer is due */
    uint32_t due;
    char answer[400];
    int cancels;
    bool before_ok;
};

static bool registered(SimModem* sim)
{
    uint8_t cs = sim_registration(sim, SIM_REG_CS);
    uint8_t eps = sim_registration(sim, SIM_REG_EPS);
    return cs == 1 || cs == 5 || eps == 1 || eps == 5;
}

/* Chooses the answer to `code` in the present session; sets the next session level. */
static void choose_answer(SimUssd* u, const char* code)
{
    int next = MENU_NONE;
    const char* a;
    if (u->menu == MENU_MAIN)
    {
        if (strcmp(code, "1") == 0)
        {
            a = "+CUSD: 0,\"Balance: 5.00 EUR\",15";
        }
        else if (strcmp(code, "2") == 0)
        {
            a = "+CUSD: 1,\"1 Day pass\r\n2 Week pass\",15";
            next = MENU_BUNDLES;
        }
        else
        {
            a = "+CUSD: 2";
        }
    }
    else if (u->menu == MENU_BUNDLES)
    {
        a = "+CUSD: 0,\"Bundle ordered\",15";
    }
    else if (strcmp(code, "*100#") == 0)
    {
        a = "+CUSD: 0,\"Your balance is 5.00 EUR. Valid until 31.12.2024\",15";
    }
    else if (strcmp(code, "*123#") == 0)
    {
        a = "+CUSD: 1,\"1 Balance\r\n2 Bundles\r\n3 Exit\",15";
        next = MENU_MAIN;
    }
    else if (strcmp(code, "*77#") == 0)
    {
        a = "+CUSD: 0,\"Menu\r\n\r\nOK\r\nERROR\r\n+CREG: 0\r\nRING\r\n+CUSD: 5\r\nend\",15";
    }
    else if (strcmp(code, "*78#") == 0)
    {
        a = "+CUSD: 0,\"\nOK\nERROR\n\n> x\",15";
    }
    else if (strcmp(code, "*4#") == 0)
    {
        a = "+CUSD: 4";
    }
    else if (strcmp(code, "*6#") == 0)
    {
        a = "+CUSD: 6";
    }
    else if (strcmp(code, "*72#") == 0)
    {
        a = "+CUSD: 0,\"004200610006C0061006E00630065\",72";
    }
    else if (strcmp(code, "*long#") == 0)
    {
        int i;
        strcpy(u->answer, "+CUSD: 0,\"");
        for (i = 0; i < 300; i++)
        {
            char ch[2] = {(char)('A' + i % 26), '\0'};
            strcat(u->answer, ch);
        }
        strcat(u->answer, "\",15");
        u->menu = MENU_NONE;
        return;
    }
    else if (strcmp(code, "*000#") == 0)
    {
        u->answer[0] = '\0';
        u->menu = MENU_NONE;
        return;
    }
    else
    {
        a = "+CUSD: 2";
    }
    snprintf(u->answer, sizeof u->answer, "%s", a);
    u->menu = next;
}

static bool on_command(SimModem* sim, void* state, const char* cmd)
{
    SimUssd* u = (SimUssd*)state;
    char code[64];
    if (sim_cmd_is(cmd, "AT+CUSD=2"))
    {
        u->cancels++;
        u->menu = MENU_NONE;
        u->pending = false;
        sim_send_ok(sim);
        return true;
    }
    if (sim_cmd_is(cmd, "AT+CUSD=1,\""))
    {
        const char* p = cmd + 11;
        const char* e = strchr(p, '"');
        if (!e || (size_t)(e - p) >= sizeof code || strcmp(e, "\",15") != 0)
        {
            sim_send_error(sim);
            return true;
        }
        memcpy(code, p, (size_t)(e - p));
        code[e - p] = '\0';
        if (!registered(sim))
        {
            sim_send_cme(sim, 30);
            return true;
        }
        if ((u->menu != MENU_NONE && code[0] == '*') || u->pending)
        {
            sim_send_cme(sim, 3);
            return true;
        }
        choose_answer(u, code);
        if (u->answer[0] == '\0')
        {
            sim_send_ok(sim);
            return true;
        }
        if (u->before_ok)
        {
            u->before_ok = false;
            sim_send_line(sim, u->answer);
            sim_send_ok(sim);
            return true;
        }
        sim_send_ok(sim);
        u->pending = true;
        u->due = sim_now(sim) + u->delay;
        return true;
    }
    if (sim_cmd_is(cmd, "AT+CUSD=1") || sim_cmd_is(cmd, "AT+CUSD=0"))
    {
        sim_send_ok(sim);
        return true;
    }
    if (sim_cmd_is(cmd, "AT+CUSD?"))
    {
        sim_send_line(sim, "+CUSD: 1");
        sim_send_ok(sim);
        return true;
    }
    return false;
}

static void on_tick(SimModem* sim, void* state)
{
    SimUssd* u = (SimUssd*)state;
    if (u->pending && (int32_t)(sim_now(sim) - u->due) >= 0)
    {
        u->pending = false;
        sim_send_line(sim, u->answer);
    }
}

static void on_reset(SimModem* sim, void* state)
{
    SimUssd* u = (SimUssd*)state;
    (void)sim;
    u->menu = MENU_NONE;
    u->pending = false;
}

SimUssd* sim_ussd_attach(SimModem* sim)
{
    SimUssd* u = (SimUssd*)calloc(1, sizeof(SimUssd));
    u->sim = sim;
    u->delay = 2000;
    u->service.name = "ussd";
    u->service.on_command = on_command;
    u->service.on_tick = on_tick;
    u->service.on_reset = on_reset;
    u->service.state = u;
    sim_add_service(sim, &u->service);
    return u;
}

void sim_ussd_detach(SimUssd* u)
{
    free(u);
}

void sim_ussd_set_answer_delay(SimUssd* u, uint32_t ms) { u->delay = ms; }

void sim_ussd_network_cancel(SimUssd* u)
{
    u->menu = MENU_NONE;
    u->pending = false;
    sim_send_line(u->sim, "+CUSD: 2");
}

bool sim_ussd_session_open(const SimUssd* u) { return u->menu != MENU_NONE; }
int sim_ussd_cancel_count(const SimUssd* u) { return u->cancels; }
void sim_ussd_answer_before_ok(SimUssd* u) { u->before_ok = true; }
