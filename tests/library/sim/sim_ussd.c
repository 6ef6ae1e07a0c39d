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
    int menu;     /* open session level */
    bool pending; /* an answer is due */
    int refuse;   /* every request is answered with this +CME ERROR (0: none) */
    uint32_t due;
    char answer[400];
    bool before_ok;
};

/* The network's answers (see sim_ussd.h): in session level `menu`, the reply `code` (NULL: any other)
 * is answered with `answer` ("": no answer at all, NULL: the 300-character text) and opens `next`. */
static const struct
{
    int menu;
    const char* code;
    const char* answer;
    int next;
} kAnswers[] = {
    {MENU_MAIN, "1", "+CUSD: 0,\"Balance: 5.00 EUR\",15", MENU_NONE},
    {MENU_MAIN, "2", "+CUSD: 1,\"1 Day pass\r\n2 Week pass\",15", MENU_BUNDLES},
    {MENU_MAIN, NULL, "+CUSD: 2", MENU_NONE},
    {MENU_BUNDLES, NULL, "+CUSD: 0,\"Bundle ordered\",15", MENU_NONE},
    {MENU_NONE, "*100#", "+CUSD: 0,\"Your balance is 5.00 EUR. Valid until 31.12.2024\",15", MENU_NONE},
    {MENU_NONE, "*123#", "+CUSD: 1,\"1 Balance\r\n2 Bundles\r\n3 Exit\",15", MENU_MAIN},
    {MENU_NONE, "*77#", "+CUSD: 0,\"Menu\r\n\r\nOK\r\nERROR\r\n+CREG: 0\r\nRING\r\n+CUSD: 5\r\nend\",15", MENU_NONE},
    {MENU_NONE, "*78#", "+CUSD: 0,\"\nOK\nERROR\n\n> x\",15", MENU_NONE},
    {MENU_NONE, "*4#", "+CUSD: 4", MENU_NONE},
    {MENU_NONE, "*6#", "+CUSD: 6", MENU_NONE},
    {MENU_NONE, "*72#", "+CUSD: 0,\"004200610006C0061006E00630065\",72", MENU_NONE},
    {MENU_NONE, "*long#", NULL, MENU_NONE},
    {MENU_NONE, "*000#", "", MENU_NONE},
    {MENU_NONE, NULL, "+CUSD: 2", MENU_NONE}};

static bool registered(SimModem* sim)
{
    uint8_t cs = sim_registration(sim, SIM_REG_CS);
    uint8_t eps = sim_registration(sim, SIM_REG_EPS);
    return cs == 1 || cs == 5 || eps == 1 || eps == 5;
}

/* Chooses the answer to `code` in the present session; sets the next session level. */
static void choose_answer(SimUssd* u, const char* code)
{
    size_t i = 0;
    size_t k;
    while (kAnswers[i].menu != u->menu || (kAnswers[i].code != NULL && strcmp(kAnswers[i].code, code) != 0))
    {
        i++;
    }
    u->menu = kAnswers[i].next;
    if (kAnswers[i].answer != NULL)
    {
        snprintf(u->answer, sizeof u->answer, "%s", kAnswers[i].answer);
        return;
    }
    snprintf(u->answer, sizeof u->answer, "+CUSD: 0,\"");
    for (k = 0; k < 300; k++)
    {
        u->answer[10 + k] = (char)('A' + k % 26); /* after the 10 characters of +CUSD: 0," */
    }
    snprintf(u->answer + 310, sizeof u->answer - 310, "\",15");
}

static int ussd_cancel(SimModem* sim, void* state, const char* args)
{
    SimUssd* u = (SimUssd*)state;
    (void)sim, (void)args;
    u->menu = MENU_NONE;
    u->pending = false;
    return SIM_OK;
}

/* AT+CUSD=1,"<code>",15: OK, then the network's answer after the delay. */
static int ussd_request(SimModem* sim, void* state, const char* args)
{
    SimUssd* u = (SimUssd*)state;
    char code[64];
    const char* e = strchr(args, '"');
    if (!e || (size_t)(e - args) >= sizeof code || strcmp(e, "\",15") != 0)
    {
        return SIM_ERROR;
    }
    snprintf(code, sizeof code, "%.*s", (int)(e - args), args);
    if (!registered(sim))
    {
        return 30;
    }
    if (u->refuse != 0)
    {
        return u->refuse;
    }
    if ((u->menu != MENU_NONE && code[0] == '*') || u->pending)
    {
        return 3;
    }
    choose_answer(u, code);
    if (u->answer[0] != '\0' && u->before_ok)
    {
        u->before_ok = false;
        sim_send_line(sim, u->answer);
    }
    else if (u->answer[0] != '\0')
    {
        u->pending = true;
        u->due = sim_now(sim) + u->delay;
    }
    return SIM_OK;
}

static const SimCommand kCommands[] = {{"AT+CUSD=2", true, 0, ussd_cancel},
                                       {"AT+CUSD=1,\"", true, 0, ussd_request},
                                       {NULL, false, 0, NULL}};

static bool on_command(SimModem* sim, void* state, const char* cmd)
{
    return sim_dispatch(sim, kCommands, state, cmd);
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
    SimService service = {"ussd", on_command, on_tick, on_reset, u};
    u->sim = sim;
    u->delay = 2000;
    u->service = service;
    sim_add_service(sim, &u->service);
    return u;
}

void sim_ussd_detach(SimUssd* u) { free(u); }
void sim_ussd_set_answer_delay(SimUssd* u, uint32_t ms) { u->delay = ms; }

void sim_ussd_network_cancel(SimUssd* u)
{
    u->menu = MENU_NONE;
    u->pending = false;
    sim_send_line(u->sim, "+CUSD: 2");
}

bool sim_ussd_session_open(const SimUssd* u) { return u->menu != MENU_NONE; }
void sim_ussd_answer_before_ok(SimUssd* u) { u->before_ok = true; }
void sim_ussd_refuse_requests(SimUssd* u, int cme_code) { u->refuse = cme_code; }
