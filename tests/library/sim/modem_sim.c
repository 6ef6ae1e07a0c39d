/*
 * modem_sim.c - simulated SIMCom modem (see modem_sim.h).
 */
#include "modem_sim.h"

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define SIM_MAX_SERVICES 16
#define SIM_MAX_SCHEDULED 32
#define SIM_CMD_MAX 1024
#define SIM_DATA_MAX 8192

typedef enum
{
    PWR_OFF = 0,
    PWR_BOOTING, /* firmware starting, UART not yet usable */
    PWR_RUNNING,
    PWR_SHUTTING /* power-down in progress */
} SimPower;

typedef struct
{
    uint32_t due;
    size_t len;
    size_t pos; /* bytes already read by the host */
    uint8_t* data;
} SimChunk;

typedef struct
{
    bool used;
    uint32_t due;
    char* text;
} SimScheduled;

typedef struct
{
    char* data;
    size_t len;
    size_t cap;
} SimBuf;

struct SimModem
{
    SimConfig cfg;
    uint32_t now;

    /* power */
    SimPower power;
    uint32_t power_t;
    bool status;
    bool key;
    uint32_t key_t;
    bool reset_line;
    uint32_t reset_t;
    uint32_t boots;
    uint32_t presses;
    uint32_t resets;
    bool reboot_pending; /* reboot after a short delay (AT+CRESET, AT+CFUN=1,1) */
    uint32_t reboot_t;

    /* firmware state */
    bool echo;
    uint8_t cmee;
    bool hung;
    bool autobaud_locked;
    uint8_t autobaud_seen;
    SimCardState card;
    uint8_t pin_left;
    bool sim_ready_announced;
    uint32_t sim_ready_t; /* when the SIM became ready (registration timer) */
    bool sim_ready;
    bool registered_done;
    uint8_t reg_n[3];
    uint8_t reg_stat[3];
    uint8_t rssi;
    uint8_t ber;

    /* input */
    char cmd[SIM_CMD_MAX];
    size_t cmd_len;
    bool data_mode;
    size_t data_count;
    SimDataHandler data_handler;
    void* data_state;
    uint8_t data[SIM_DATA_MAX];
    size_t data_len;

    /* output */
    SimChunk* chunks;
    size_t nchunks;
    size_t chunk_cap;
    SimBuf staging; /* answer of the command being processed */
    bool staging_active;
    SimScheduled scheduled[SIM_MAX_SCHEDULED];
    size_t frag;
    size_t frag_used;

    /* observation */
    SimBuf tx;
    SimBuf rx;
    char** commands;
    size_t ncommands;

    /* faults */
    bool inject_armed;
    SimInjectPos inject_pos;
    char inject_text[256];
    bool fail_armed;
    int fail_code;

    const SimService* services[SIM_MAX_SERVICES];
    int nservices;
};

/* ---- small utilities ---- */

static void buf_append(SimBuf* b, const void* data, size_t len)
{
    if (b->len + len + 1 > b->cap)
    {
        size_t cap = b->cap ? b->cap : 256;
        while (cap < b->len + len + 1)
        {
            cap *= 2;
        }
        b->data = (char*)realloc(b->data, cap);
        b->cap = cap;
    }
    memcpy(b->data + b->len, data, len);
    b->len += len;
    b->data[b->len] = '\0';
}

static void buf_clear(SimBuf* b)
{
    b->len = 0;
    if (b->data)
    {
        b->data[0] = '\0';
    }
}

bool sim_cmd_is(const char* cmd, const char* prefix)
{
    while (*prefix)
    {
        if (toupper((unsigned char)*cmd) != toupper((unsigned char)*prefix))
        {
            return false;
        }
        cmd++;
        prefix++;
    }
    return true;
}

static bool cmd_eq(const char* cmd, const char* text)
{
    return sim_cmd_is(cmd, text) && strlen(cmd) == strlen(text);
}

/* ---- output ---- */

static bool output_allowed(const SimModem* sim)
{
    return sim->power == PWR_RUNNING && !sim->hung && (!sim->cfg.autobaud || sim->autobaud_locked);
}

static void emit_at(SimModem* sim, uint32_t due, const void* bytes, size_t len)
{
    SimChunk* c;
    if (len == 0)
    {
        return;
    }
    if (sim->nchunks == sim->chunk_cap)
    {
        sim->chunk_cap = sim->chunk_cap ? sim->chunk_cap * 2 : 64;
        sim->chunks = (SimChunk*)realloc(sim->chunks, sim->chunk_cap * sizeof(SimChunk));
    }
    c = &sim->chunks[sim->nchunks++];
    c->due = due;
    c->len = len;
    c->pos = 0;
    c->data = (uint8_t*)malloc(len);
    memcpy(c->data, bytes, len);
    buf_append(&sim->rx, bytes, len);
}

/* Output of the modem: into the staged answer while a command is processed, else at once. */
static void out(SimModem* sim, const void* bytes, size_t len)
{
    if (!output_allowed(sim))
    {
        return;
    }
    if (sim->staging_active)
    {
        buf_append(&sim->staging, bytes, len);
    }
    else
    {
        emit_at(sim, sim->now, bytes, len);
    }
}

void sim_send_raw(SimModem* sim, const void* bytes, size_t len)
{
    out(sim, bytes, len);
}

void sim_send_line(SimModem* sim, const char* text)
{
    out(sim, "\r\n", 2);
    out(sim, text, strlen(text));
    out(sim, "\r\n", 2);
}

void sim_send_continuation(SimModem* sim, const char* text)
{
    out(sim, text, strlen(text));
    out(sim, "\r\n", 2);
}

static void before_final(SimModem* sim)
{
    if (sim->inject_armed && sim->inject_pos == SIM_INJECT_BEFORE_FINAL)
    {
        sim->inject_armed = false;
        sim_send_line(sim, sim->inject_text);
    }
}

void sim_send_ok(SimModem* sim)
{
    before_final(sim);
    sim_send_line(sim, "OK");
}

void sim_send_error(SimModem* sim)
{
    before_final(sim);
    sim_send_line(sim, "ERROR");
}

static const char* cme_text(int code)
{
    switch (code)
    {
    case 3: return "operation not allowed";
    case 4: return "operation not supported";
    case 10: return "SIM not inserted";
    case 11: return "SIM PIN required";
    case 12: return "SIM PUK required";
    case 13: return "SIM failure";
    case 14: return "SIM busy";
    case 16: return "incorrect password";
    case 30: return "no network service";
    default: return "unknown";
    }
}

static void send_error_form(SimModem* sim, const char* prefix, int code)
{
    char line[96];
    before_final(sim);
    if (sim->cmee == 0)
    {
        sim_send_line(sim, "ERROR");
        return;
    }
    if (sim->cmee == 1)
    {
        snprintf(line, sizeof line, "%s %d", prefix, code);
    }
    else
    {
        snprintf(line, sizeof line, "%s %s", prefix, cme_text(code));
    }
    sim_send_line(sim, line);
}

void sim_send_cme(SimModem* sim, int code)
{
    send_error_form(sim, "+CME ERROR:", code);
}

void sim_send_cms(SimModem* sim, int code)
{
    send_error_form(sim, "+CMS ERROR:", code);
}

void sim_send_prompt(SimModem* sim)
{
    out(sim, "\r\n> ", 4);
}

void sim_send_line_later(SimModem* sim, uint32_t delay_ms, const char* text)
{
    int i;
    for (i = 0; i < SIM_MAX_SCHEDULED; i++)
    {
        if (!sim->scheduled[i].used)
        {
            sim->scheduled[i].used = true;
            sim->scheduled[i].due = sim->now + delay_ms;
            sim->scheduled[i].text = strdup(text);
            return;
        }
    }
}

static void clear_scheduled(SimModem* sim)
{
    int i;
    for (i = 0; i < SIM_MAX_SCHEDULED; i++)
    {
        if (sim->scheduled[i].used)
        {
            free(sim->scheduled[i].text);
            sim->scheduled[i].used = false;
        }
    }
}

static void clear_output(SimModem* sim)
{
    size_t i;
    for (i = 0; i < sim->nchunks; i++)
    {
        free(sim->chunks[i].data);
    }
    sim->nchunks = 0;
}

void sim_expect_data(SimModem* sim, size_t count, SimDataHandler handler, void* state)
{
    sim->data_mode = true;
    sim->data_count = count;
    sim->data_handler = handler;
    sim->data_state = state;
    sim->data_len = 0;
}

/* ---- configuration ---- */

void sim_config_default(SimConfig* cfg, SimFamily family)
{
    memset(cfg, 0, sizeof *cfg);
    cfg->family = family;
    cfg->reply_delay_ms = 20;
    cfg->sim_ready_ms = 1000;
    cfg->register_ms = 2000;
    cfg->register_stat = 1;
    cfg->card = SIM_CARD_READY;
    cfg->pin = "1234";
    cfg->puk = "12345678";
    cfg->pin_attempts = 3;
    cfg->imei = "862000012345678";
    switch (family)
    {
    case SIM_FAMILY_2G:
        cfg->min_on_press_ms = 1000;
        cfg->min_off_press_ms = 1500;
        cfg->boot_ms = 2000;
        cfg->status_delay_ms = 1500;
        cfg->shutdown_ms = 2000;
        cfg->autobaud = false;
        cfg->autobaud_lost_at = 1;
        cfg->echo_data_after_prompt = true;
        cfg->model = "SIMCOM_SIM800L";
        cfg->revision = "Revision:1418B06SIM800L24";
        break;
    case SIM_FAMILY_LTE_Q:
        cfg->min_on_press_ms = 100;
        cfg->min_off_press_ms = 2500;
        cfg->boot_ms = 12000;
        cfg->status_delay_ms = 11000;
        cfg->shutdown_ms = 8000;
        cfg->model = "SIMCOM_SIM7600E-H";
        cfg->revision = "+CGMR: LE20B04SIM7600M22";
        break;
    case SIM_FAMILY_LTE_A:
    default:
        cfg->min_on_press_ms = 50;
        cfg->min_off_press_ms = 2500;
        cfg->boot_ms = 8000;
        cfg->status_delay_ms = 7000;
        cfg->shutdown_ms = 2000;
        cfg->model = "A7670E-FASE";
        cfg->revision = "+CGMR: A011B07A7670M7_F";
        break;
    }
}

/* ---- the core service: basic commands, SIM, signal, registration, power commands ---- */

static const char* reg_name(int d)
{
    return d == SIM_REG_CS ? "+CREG" : (d == SIM_REG_GPRS ? "+CGREG" : "+CEREG");
}

static void reg_urc(SimModem* sim, int d)
{
    char line[64];
    if (sim->reg_n[d] == 0 || sim->power != PWR_RUNNING)
    {
        return;
    }
    if (sim->reg_n[d] >= 2)
    {
        snprintf(line, sizeof line, "%s: %u,\"1A2B\",\"3C4D\"%s", reg_name(d), sim->reg_stat[d], d == SIM_REG_EPS ? ",7" : "");
    }
    else
    {
        snprintf(line, sizeof line, "%s: %u", reg_name(d), sim->reg_stat[d]);
    }
    sim_send_line(sim, line);
}

static void sim_became_ready(SimModem* sim)
{
    sim->sim_ready = true;
    sim->sim_ready_t = sim->now;
    sim->registered_done = false;
}

static bool core_command(SimModem* sim, void* state, const char* cmd)
{
    char line[160];
    int d;
    (void)state;

    if (cmd_eq(cmd, "AT"))
    {
        sim_send_ok(sim);
        return true;
    }
    if (cmd_eq(cmd, "ATE0") || cmd_eq(cmd, "ATE1"))
    {
        sim->echo = cmd[3] == '1';
        sim_send_ok(sim);
        return true;
    }
    if (sim_cmd_is(cmd, "AT+CMEE="))
    {
        int n = atoi(cmd + 8);
        if (n < 0 || n > 2)
        {
            sim_send_error(sim);
            return true;
        }
        sim->cmee = (uint8_t)n;
        sim_send_ok(sim);
        return true;
    }
    if (cmd_eq(cmd, "AT+CMEE?"))
    {
        snprintf(line, sizeof line, "+CMEE: %u", sim->cmee);
        sim_send_line(sim, line);
        sim_send_ok(sim);
        return true;
    }
    if (cmd_eq(cmd, "ATI"))
    {
        if (sim->cfg.family == SIM_FAMILY_2G)
        {
            sim_send_line(sim, "SIM800 R14.18");
        }
        else
        {
            sim_send_line(sim, "Manufacturer: SIMCOM INCORPORATED");
            snprintf(line, sizeof line, "Model: %s", sim->cfg.model);
            sim_send_continuation(sim, line);
            snprintf(line, sizeof line, "IMEI: %s", sim->cfg.imei);
            sim_send_continuation(sim, line);
        }
        sim_send_ok(sim);
        return true;
    }
    if (cmd_eq(cmd, "AT+CGMI") || cmd_eq(cmd, "AT+CGMM") || cmd_eq(cmd, "AT+CGMR") || cmd_eq(cmd, "AT+CGSN"))
    {
        const char* v = sim->cfg.family == SIM_FAMILY_2G ? "SIMCOM_Ltd" : "SIMCOM INCORPORATED";
        if (cmd[5] == 'M' && cmd[6] == 'M')
        {
            v = sim->cfg.model;
        }
        else if (cmd[6] == 'R')
        {
            v = sim->cfg.revision;
        }
        else if (cmd[5] == 'S')
        {
            v = sim->cfg.imei;
        }
        sim_send_line(sim, v);
        sim_send_ok(sim);
        return true;
    }
    if (cmd_eq(cmd, "AT+CPIN?"))
    {
        switch (sim->card)
        {
        case SIM_CARD_READY: sim_send_line(sim, "+CPIN: READY"); break;
        case SIM_CARD_PIN: sim_send_line(sim, "+CPIN: SIM PIN"); break;
        case SIM_CARD_PUK: sim_send_line(sim, "+CPIN: SIM PUK"); break;
        case SIM_CARD_ABSENT:
        default: sim_send_cme(sim, 10); return true;
        }
        sim_send_ok(sim);
        return true;
    }
    if (sim_cmd_is(cmd, "AT+CPIN="))
    {
        char a[32] = {0};
        char b[32] = {0};
        int n = sscanf(cmd + 8, "\"%31[^\"]\",\"%31[^\"]\"", a, b);
        if (sim->card == SIM_CARD_PIN && n == 1)
        {
            if (strcmp(a, sim->cfg.pin) == 0)
            {
                sim->card = SIM_CARD_READY;
                sim->pin_left = sim->cfg.pin_attempts;
                sim_send_ok(sim);
                if (!sim->cfg.no_pin_ready_urc)
                {
                    sim_send_line_later(sim, 1000, "+CPIN: READY");
                }
                sim_became_ready(sim);
                sim->sim_ready_announced = false;
                return true;
            }
            if (sim->pin_left > 0)
            {
                sim->pin_left--;
            }
            if (sim->pin_left == 0)
            {
                sim->card = SIM_CARD_PUK;
            }
            sim_send_cme(sim, 16);
            return true;
        }
        if (sim->card == SIM_CARD_PUK && n == 2)
        {
            if (strcmp(a, sim->cfg.puk) == 0)
            {
                sim->card = SIM_CARD_READY;
                sim->pin_left = sim->cfg.pin_attempts;
                sim_send_ok(sim);
                sim_send_line_later(sim, 1000, "+CPIN: READY");
                sim_became_ready(sim);
                return true;
            }
            sim_send_cme(sim, 16);
            return true;
        }
        sim_send_cme(sim, sim->card == SIM_CARD_ABSENT ? 10 : 3);
        return true;
    }
    if (cmd_eq(cmd, "AT+SPIC"))
    {
        snprintf(line, sizeof line, "+SPIC: %u,3,10,10", sim->pin_left);
        sim_send_line(sim, line);
        sim_send_ok(sim);
        return true;
    }
    if (cmd_eq(cmd, "AT+CSQ"))
    {
        snprintf(line, sizeof line, "+CSQ: %u,%u", sim->rssi, sim->ber);
        sim_send_line(sim, line);
        sim_send_ok(sim);
        return true;
    }
    for (d = 0; d < 3; d++)
    {
        char set[16];
        char read[16];
        snprintf(set, sizeof set, "AT%s=", reg_name(d));
        snprintf(read, sizeof read, "AT%s?", reg_name(d));
        if (d == SIM_REG_EPS && sim->cfg.family == SIM_FAMILY_2G && (sim_cmd_is(cmd, set) || cmd_eq(cmd, read)))
        {
            sim_send_error(sim); /* no +CEREG on 2G modems */
            return true;
        }
        if (sim_cmd_is(cmd, set))
        {
            int n = atoi(cmd + strlen(set));
            if (n < 0 || n > 2)
            {
                sim_send_error(sim);
                return true;
            }
            sim->reg_n[d] = (uint8_t)n;
            sim_send_ok(sim);
            return true;
        }
        if (cmd_eq(cmd, read))
        {
            if (sim->reg_n[d] >= 2)
            {
                snprintf(line, sizeof line, "%s: %u,%u,\"1A2B\",\"3C4D\"", reg_name(d), sim->reg_n[d], sim->reg_stat[d]);
            }
            else
            {
                snprintf(line, sizeof line, "%s: %u,%u", reg_name(d), sim->reg_n[d], sim->reg_stat[d]);
            }
            sim_send_line(sim, line);
            sim_send_ok(sim);
            return true;
        }
    }
    if (cmd_eq(cmd, "AT+CPOWD=1") && sim->cfg.family == SIM_FAMILY_2G)
    {
        sim_send_line(sim, "NORMAL POWER DOWN");
        sim->power = PWR_SHUTTING;
        sim->power_t = sim->now;
        return true;
    }
    if (cmd_eq(cmd, "AT+CPOF") && sim->cfg.family != SIM_FAMILY_2G)
    {
        sim_send_ok(sim);
        if (sim->cfg.family == SIM_FAMILY_LTE_A)
        {
            sim_send_line_later(sim, 500, "POWERD DOWN");
        }
        sim->power = PWR_SHUTTING;
        sim->power_t = sim->now;
        return true;
    }
    if ((cmd_eq(cmd, "AT+CRESET") && sim->cfg.family != SIM_FAMILY_2G) || cmd_eq(cmd, "AT+CFUN=1,1"))
    {
        sim_send_ok(sim);
        sim->reboot_pending = true;
        sim->reboot_t = sim->now + 200;
        return true;
    }
    return false;
}

static const SimService kCoreService = {"core", core_command, NULL, NULL, NULL};

/* ---- life cycle ---- */

SimModem* sim_create(const SimConfig* cfg)
{
    SimModem* sim = (SimModem*)calloc(1, sizeof *sim);
    sim->cfg = *cfg;
    sim->card = cfg->card;
    sim->pin_left = cfg->pin_attempts;
    sim->rssi = 18;
    sim->ber = cfg->family == SIM_FAMILY_2G ? 0 : 99;
    sim->echo = true;
    sim_add_service(sim, &kCoreService);
    return sim;
}

void sim_destroy(SimModem* sim)
{
    size_t i;
    if (!sim)
    {
        return;
    }
    clear_output(sim);
    clear_scheduled(sim);
    free(sim->chunks);
    free(sim->staging.data);
    free(sim->tx.data);
    free(sim->rx.data);
    for (i = 0; i < sim->ncommands; i++)
    {
        free(sim->commands[i]);
    }
    free(sim->commands);
    free(sim);
}

void sim_add_service(SimModem* sim, const SimService* service)
{
    if (sim->nservices < SIM_MAX_SERVICES)
    {
        sim->services[sim->nservices++] = service;
    }
}

static void reset_firmware(SimModem* sim)
{
    int i;
    if (sim->cfg.card == SIM_CARD_PIN && sim->card == SIM_CARD_READY)
    {
        sim->card = SIM_CARD_PIN; /* a locked SIM asks for its PIN again after every restart */
    }
    sim->echo = true;
    sim->cmee = 0;
    sim->hung = false;
    sim->autobaud_locked = false;
    sim->autobaud_seen = 0;
    sim->cmd_len = 0;
    sim->data_mode = false;
    sim->sim_ready = false;
    sim->sim_ready_announced = false;
    sim->registered_done = false;
    sim->reboot_pending = false;
    sim->staging_active = false;
    buf_clear(&sim->staging);
    for (i = 0; i < 3; i++)
    {
        sim->reg_n[i] = 0;
        sim->reg_stat[i] = 0;
    }
    clear_scheduled(sim);
    for (i = sim->nservices - 1; i >= 0; i--)
    {
        if (sim->services[i]->on_reset)
        {
            sim->services[i]->on_reset(sim, sim->services[i]->state);
        }
    }
}

static void start_boot(SimModem* sim)
{
    reset_firmware(sim);
    sim->power = PWR_BOOTING;
    sim->power_t = sim->now;
    sim->boots++;
}

static void boot_complete(SimModem* sim)
{
    sim->power = PWR_RUNNING;
    sim->power_t = sim->now;
    switch (sim->cfg.family)
    {
    case SIM_FAMILY_2G:
        if (!sim->cfg.autobaud)
        {
            sim_send_line(sim, "RDY");
        }
        sim_send_line(sim, "+CFUN: 1");
        break;
    case SIM_FAMILY_LTE_Q:
        sim_send_line(sim, "RDY");
        break;
    case SIM_FAMILY_LTE_A:
    default:
        sim_send_line(sim, "*ATREADY: 1");
        break;
    }
    switch (sim->card)
    {
    case SIM_CARD_READY:
        sim_send_line(sim, "+CPIN: READY");
        sim_became_ready(sim);
        break;
    case SIM_CARD_PIN:
        sim_send_line(sim, "+CPIN: SIM PIN");
        break;
    case SIM_CARD_PUK:
        sim_send_line(sim, "+CPIN: SIM PUK");
        break;
    case SIM_CARD_ABSENT:
    default:
        if (sim->cfg.family == SIM_FAMILY_2G)
        {
            sim_send_line(sim, "+CPIN: NOT INSERTED");
        }
        break;
    }
}

static void power_off_now(SimModem* sim)
{
    reset_firmware(sim);
    sim->power = PWR_OFF;
    sim->power_t = sim->now;
    sim->status = false;
}

/* ---- clock ---- */

uint32_t sim_now(const SimModem* sim)
{
    return sim->now;
}

void sim_set_time(SimModem* sim, uint32_t now_ms)
{
    sim->now = now_ms;
}

static void tick(SimModem* sim)
{
    int i;
    uint32_t el = sim->now - sim->power_t;

    switch (sim->power)
    {
    case PWR_BOOTING:
        if (el >= sim->cfg.status_delay_ms)
        {
            sim->status = true;
        }
        if (el >= sim->cfg.boot_ms && !sim->hung)
        {
            boot_complete(sim);
        }
        break;
    case PWR_SHUTTING:
        if (el >= sim->cfg.shutdown_ms)
        {
            power_off_now(sim);
        }
        break;
    case PWR_RUNNING:
        if (sim->reboot_pending && (int32_t)(sim->now - sim->reboot_t) >= 0)
        {
            start_boot(sim);
            break;
        }
        if (sim->sim_ready && !sim->sim_ready_announced && sim->now - sim->sim_ready_t >= sim->cfg.sim_ready_ms)
        {
            sim->sim_ready_announced = true;
            if (sim->cfg.family == SIM_FAMILY_2G)
            {
                sim_send_line(sim, "Call Ready");
                sim_send_line(sim, "SMS Ready");
            }
            else
            {
                sim_send_line(sim, "SMS DONE");
                sim_send_line(sim, "PB DONE");
            }
        }
        if (sim->sim_ready && !sim->registered_done && sim->cfg.register_ms > 0 &&
            sim->now - sim->sim_ready_t >= sim->cfg.register_ms)
        {
            sim->registered_done = true;
            sim_set_registration(sim, SIM_REG_CS, sim->cfg.register_stat);
            sim_set_registration(sim, SIM_REG_GPRS, sim->cfg.register_stat);
            if (sim->cfg.family != SIM_FAMILY_2G)
            {
                sim_set_registration(sim, SIM_REG_EPS, sim->cfg.register_stat);
            }
        }
        for (i = 0; i < SIM_MAX_SCHEDULED; i++)
        {
            if (sim->scheduled[i].used && (int32_t)(sim->now - sim->scheduled[i].due) >= 0)
            {
                char* text = sim->scheduled[i].text;
                sim->scheduled[i].used = false;
                sim_send_line(sim, text);
                free(text);
            }
        }
        for (i = sim->nservices - 1; i >= 0; i--)
        {
            if (sim->services[i]->on_tick)
            {
                sim->services[i]->on_tick(sim, sim->services[i]->state);
            }
        }
        break;
    case PWR_OFF:
    default:
        break;
    }
}

void sim_advance(SimModem* sim, uint32_t ms)
{
    while (ms-- > 0)
    {
        sim->now++;
        tick(sim);
    }
}

/* ---- host side ---- */

static void dispatch_command(SimModem* sim)
{
    int i;
    bool handled = false;
    char* copy;

    sim->cmd[sim->cmd_len] = '\0';
    copy = strdup(sim->cmd);
    sim->commands = (char**)realloc(sim->commands, (sim->ncommands + 1) * sizeof(char*));
    sim->commands[sim->ncommands++] = copy;
    sim->cmd_len = 0;

    if (sim->power != PWR_RUNNING || sim->hung || copy[0] == '\0')
    {
        return;
    }
    if (sim->cfg.autobaud && !sim->autobaud_locked)
    {
        if (!(cmd_eq(copy, "AT") && (copy[0] == copy[1] || copy[0] == 'A')))
        {
            return;
        }
        sim->autobaud_seen++;
        if (sim->autobaud_seen <= sim->cfg.autobaud_lost_at)
        {
            return; /* the modem is still measuring the baud rate */
        }
        sim->autobaud_locked = true;
        if (sim->echo)
        {
            out(sim, copy, strlen(copy));
            out(sim, "\r", 1);
        }
    }

    sim->staging_active = true;
    buf_clear(&sim->staging);
    if (sim->inject_armed && sim->inject_pos == SIM_INJECT_AFTER_ECHO)
    {
        sim->inject_armed = false;
        sim_send_line(sim, sim->inject_text);
    }
    if (sim->fail_armed)
    {
        sim->fail_armed = false;
        sim_send_cme(sim, sim->fail_code);
        handled = true;
    }
    for (i = sim->nservices - 1; i >= 0 && !handled; i--)
    {
        handled = sim->services[i]->on_command(sim, sim->services[i]->state, copy);
    }
    if (!handled)
    {
        sim_send_error(sim);
    }
    sim->staging_active = false;
    if (output_allowed(sim) || sim->power == PWR_SHUTTING)
    {
        emit_at(sim, sim->now + sim->cfg.reply_delay_ms, sim->staging.data, sim->staging.len);
    }
    buf_clear(&sim->staging);
}

void sim_host_write(SimModem* sim, uint8_t byte)
{
    buf_append(&sim->tx, &byte, 1);
    if (sim->power != PWR_RUNNING || sim->hung)
    {
        return;
    }
    if (sim->data_mode)
    {
        bool done = false;
        int term = -1;
        if (sim->cfg.echo_data_after_prompt && sim->echo)
        {
            out(sim, &byte, 1);
        }
        if (sim->data_count == 0 && (byte == 0x1A || byte == 0x1B))
        {
            done = true;
            term = byte;
        }
        else if (sim->data_len < SIM_DATA_MAX)
        {
            sim->data[sim->data_len++] = byte;
            done = sim->data_count > 0 && sim->data_len >= sim->data_count;
        }
        if (done)
        {
            sim->data_mode = false;
            sim->staging_active = true;
            buf_clear(&sim->staging);
            sim->data_handler(sim, sim->data_state, sim->data, sim->data_len, term);
            sim->staging_active = false;
            emit_at(sim, sim->now + sim->cfg.reply_delay_ms, sim->staging.data, sim->staging.len);
            buf_clear(&sim->staging);
        }
        return;
    }
    if (byte == '\n' && sim->cmd_len == 0)
    {
        return;
    }
    if (sim->cmd_len == 0 && sim->inject_armed && sim->inject_pos == SIM_INJECT_BEFORE_ECHO && output_allowed(sim))
    {
        sim->inject_armed = false;
        sim_send_line(sim, sim->inject_text);
    }
    if (sim->echo && output_allowed(sim))
    {
        out(sim, &byte, 1);
    }
    if (byte == '\r')
    {
        dispatch_command(sim);
        return;
    }
    if (sim->cmd_len < SIM_CMD_MAX - 1)
    {
        sim->cmd[sim->cmd_len++] = (char)byte;
    }
}

bool sim_host_can_read(SimModem* sim)
{
    if (sim->nchunks == 0)
    {
        return false;
    }
    if ((int32_t)(sim->now - sim->chunks[0].due) < 0)
    {
        return false;
    }
    return sim->frag == 0 || sim->frag_used < sim->frag;
}

uint8_t sim_host_read(SimModem* sim)
{
    SimChunk* c;
    uint8_t b;
    if (!sim_host_can_read(sim))
    {
        return 0;
    }
    c = &sim->chunks[0];
    b = c->data[c->pos++];
    sim->frag_used++;
    if (c->pos == c->len)
    {
        free(c->data);
        memmove(&sim->chunks[0], &sim->chunks[1], (sim->nchunks - 1) * sizeof(SimChunk));
        sim->nchunks--;
    }
    return b;
}

void sim_set_fragment(SimModem* sim, size_t max_bytes_per_poll)
{
    sim->frag = max_bytes_per_poll;
}

void sim_host_new_poll(SimModem* sim)
{
    sim->frag_used = 0;
}

void sim_set_pwrkey(SimModem* sim, bool activated)
{
    if (activated == sim->key)
    {
        return;
    }
    sim->key = activated;
    if (activated)
    {
        sim->key_t = sim->now;
        return;
    }
    /* released: evaluate the press */
    {
        uint32_t held = sim->now - sim->key_t;
        sim->presses++;
        if (sim->power == PWR_OFF)
        {
            if (held >= sim->cfg.min_on_press_ms)
            {
                start_boot(sim);
            }
        }
        else if (sim->power == PWR_RUNNING || sim->power == PWR_BOOTING)
        {
            if (held >= sim->cfg.min_off_press_ms)
            {
                bool was_running = sim->power == PWR_RUNNING && !sim->hung;
                if (was_running && sim->cfg.family == SIM_FAMILY_2G)
                {
                    sim_send_line(sim, "NORMAL POWER DOWN");
                }
                sim->hung = false;
                sim->power = PWR_SHUTTING;
                sim->power_t = sim->now;
                if (was_running && sim->cfg.family == SIM_FAMILY_LTE_A)
                {
                    sim_send_line_later(sim, sim->cfg.shutdown_ms / 2, "POWERD DOWN");
                }
            }
        }
    }
}

void sim_set_reset(SimModem* sim, bool activated)
{
    if (activated == sim->reset_line)
    {
        return;
    }
    sim->reset_line = activated;
    if (activated)
    {
        sim->reset_t = sim->now;
        return;
    }
    if (sim->now - sim->reset_t >= 100 && sim->power != PWR_OFF)
    {
        sim->resets++;
        start_boot(sim);
        sim->status = true;
    }
}

bool sim_status(const SimModem* sim)
{
    return sim->status;
}

/* ---- observation ---- */

const char* sim_tx(const SimModem* sim, size_t* len)
{
    if (len)
    {
        *len = sim->tx.len;
    }
    return sim->tx.data ? sim->tx.data : "";
}

void sim_tx_clear(SimModem* sim)
{
    size_t i;
    buf_clear(&sim->tx);
    for (i = 0; i < sim->ncommands; i++)
    {
        free(sim->commands[i]);
    }
    sim->ncommands = 0;
}

const char* sim_command(const SimModem* sim, size_t index)
{
    return index < sim->ncommands ? sim->commands[index] : NULL;
}

size_t sim_command_count(const SimModem* sim)
{
    return sim->ncommands;
}

const char* sim_rx(const SimModem* sim, size_t* len)
{
    if (len)
    {
        *len = sim->rx.len;
    }
    return sim->rx.data ? sim->rx.data : "";
}

void sim_rx_clear(SimModem* sim)
{
    buf_clear(&sim->rx);
}

bool sim_is_on(const SimModem* sim) { return sim->power == PWR_RUNNING; }
uint32_t sim_boot_count(const SimModem* sim) { return sim->boots; }
bool sim_echo(const SimModem* sim) { return sim->echo; }
uint8_t sim_cmee(const SimModem* sim) { return sim->cmee; }
SimFamily sim_family(const SimModem* sim) { return sim->cfg.family; }
SimCardState sim_card(const SimModem* sim) { return sim->card; }
uint8_t sim_pin_attempts_left(const SimModem* sim) { return sim->pin_left; }
uint32_t sim_pwrkey_presses(const SimModem* sim) { return sim->presses; }
uint32_t sim_resets(const SimModem* sim) { return sim->resets; }

/* ---- scenario control ---- */

void sim_set_registration(SimModem* sim, SimRegDomain domain, uint8_t stat)
{
    if ((int)domain < 0 || (int)domain > 2)
    {
        return;
    }
    if (domain == SIM_REG_EPS && sim->cfg.family == SIM_FAMILY_2G)
    {
        return;
    }
    if (sim->reg_stat[domain] == stat)
    {
        return;
    }
    sim->reg_stat[domain] = stat;
    reg_urc(sim, (int)domain);
}

uint8_t sim_registration(const SimModem* sim, SimRegDomain domain)
{
    return sim->reg_stat[domain];
}

void sim_set_csq(SimModem* sim, uint8_t rssi, uint8_t ber)
{
    sim->rssi = rssi;
    sim->ber = ber;
}

void sim_set_card(SimModem* sim, SimCardState card)
{
    sim->card = card;
}

void sim_set_hung(SimModem* sim, bool hung)
{
    sim->hung = hung;
    if (hung)
    {
        clear_scheduled(sim);
    }
}

void sim_reboot(SimModem* sim)
{
    if (sim->power == PWR_OFF)
    {
        return;
    }
    start_boot(sim);
    sim->status = true;
}

void sim_inject_raw(SimModem* sim, const void* bytes, size_t len)
{
    if (sim->power == PWR_OFF)
    {
        return;
    }
    emit_at(sim, sim->now, bytes, len);
}

void sim_inject_raw_front(SimModem* sim, const void* bytes, size_t len)
{
    SimChunk c;
    if (len == 0)
    {
        return;
    }
    if (sim->nchunks == sim->chunk_cap)
    {
        sim->chunk_cap = sim->chunk_cap ? sim->chunk_cap * 2 : 64;
        sim->chunks = (SimChunk*)realloc(sim->chunks, sim->chunk_cap * sizeof(SimChunk));
    }
    memmove(&sim->chunks[1], &sim->chunks[0], sim->nchunks * sizeof(SimChunk));
    c.due = sim->now;
    c.len = len;
    c.pos = 0;
    c.data = (uint8_t*)malloc(len);
    memcpy(c.data, bytes, len);
    sim->chunks[0] = c;
    sim->nchunks++;
}

void sim_inject_urc(SimModem* sim, const char* text)
{
    sim_send_line(sim, text);
}

void sim_inject_urc_in_next_response(SimModem* sim, const char* text, SimInjectPos pos)
{
    snprintf(sim->inject_text, sizeof sim->inject_text, "%s", text);
    sim->inject_pos = pos;
    sim->inject_armed = true;
}

void sim_fail_next_command(SimModem* sim, int cme_code)
{
    sim->fail_armed = cme_code >= 0;
    sim->fail_code = cme_code;
}
