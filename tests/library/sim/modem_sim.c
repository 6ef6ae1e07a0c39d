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
    size_t len;
    uint8_t* data;
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
    bool status, key, reset_line;
    uint32_t key_t, reset_t;
    uint32_t boots, presses, resets;

    /* SIM and signal (kept across restarts) */
    SimCardState card;
    uint8_t pin_left;
    uint8_t rssi, ber;

    /* delay of the answers to AT+C(G|E)REG (0: the usual reply delay); kept across restarts */
    uint32_t reg_reply_ms;

    /* firmware state: cleared at every restart */
    struct
    {
        bool echo, hung, autobaud_locked;
        uint8_t cmee, autobaud_seen;
        bool sim_ready, sim_ready_announced, registered_done;
        uint32_t sim_ready_t; /* when the SIM became ready (registration timer) */
        uint8_t reg_n[3], reg_stat[3];
        size_t cmd_len;
        bool data_mode;
        bool answering; /* output is the answer of a command: it leaves after the reply delay */
    } fw;

    /* input */
    char cmd[SIM_CMD_MAX];
    size_t data_count, data_len;
    uint32_t data_due; /* the input time of a counted block runs out (sim_set_data_time); 0: none */
    SimDataHandler data_handler;
    void* data_state;
    uint8_t data[SIM_DATA_MAX];

    /* output */
    SimChunk* chunks;
    size_t nchunks, chunk_cap;
    SimScheduled scheduled[SIM_MAX_SCHEDULED];
    size_t frag, frag_used;

    /* observation */
    SimBuf tx, rx;
    char** commands;
    size_t ncommands;

    /* faults */
    bool inject_armed, fail_armed;
    SimInjectPos inject_pos;
    char inject_text[256];
    int fail_code;
    uint32_t drop_every, drop_until, drop_count; /* sim_drop_rx_bytes */

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

static uint8_t* copy_bytes(const void* bytes, size_t len)
{
    uint8_t* p = (uint8_t*)malloc(len ? len : 1);
    memcpy(p, bytes, len);
    return p;
}

bool sim_cmd_is(const char* cmd, const char* prefix)
{
    for (; *prefix; cmd++, prefix++)
    {
        if (toupper((unsigned char)*cmd) != toupper((unsigned char)*prefix))
        {
            return false;
        }
    }
    return true;
}

static bool cmd_eq(const char* cmd, const char* text)
{
    return sim_cmd_is(cmd, text) && strlen(cmd) == strlen(text);
}

static bool due(const SimModem* sim, uint32_t t)
{
    return (int32_t)(sim->now - t) >= 0;
}

/* ---- output ---- */

static bool output_allowed(const SimModem* sim)
{
    return sim->power == PWR_RUNNING && !sim->fw.hung && (!sim->cfg.autobaud || sim->fw.autobaud_locked);
}

/* Queues bytes for the host at position `at` of the output, readable from `due_t` on. */
static void add_chunk(SimModem* sim, size_t at, uint32_t due_t, const void* bytes, size_t len)
{
    SimChunk c = {due_t, len, 0, NULL};
    if (len == 0)
    {
        return;
    }
    if (sim->nchunks == sim->chunk_cap)
    {
        sim->chunk_cap = sim->chunk_cap ? sim->chunk_cap * 2 : 64;
        sim->chunks = (SimChunk*)realloc(sim->chunks, sim->chunk_cap * sizeof(SimChunk));
    }
    memmove(&sim->chunks[at + 1], &sim->chunks[at], (sim->nchunks - at) * sizeof(SimChunk));
    c.data = copy_bytes(bytes, len);
    sim->chunks[at] = c;
    sim->nchunks++;
}

static void emit_at(SimModem* sim, uint32_t due_t, const void* bytes, size_t len)
{
    buf_append(&sim->rx, bytes, len);
    if (sim->drop_every > 0 && !due(sim, sim->drop_until))
    {
        /* an overrun on the line: every drop_every-th byte never reaches the host */
        const uint8_t* b = (const uint8_t*)bytes;
        uint8_t* kept = (uint8_t*)malloc(len ? len : 1);
        size_t i, n = 0;
        for (i = 0; i < len; i++)
        {
            if (++sim->drop_count % sim->drop_every != 0)
            {
                kept[n++] = b[i];
            }
        }
        add_chunk(sim, sim->nchunks, due_t, kept, n);
        free(kept);
        return;
    }
    add_chunk(sim, sim->nchunks, due_t, bytes, len);
}

/* Output of the modem: the answer of a command (or of the data after a prompt) after the reply delay,
 * anything else at once. */
static void out(SimModem* sim, const void* bytes, size_t len)
{
    if (output_allowed(sim))
    {
        emit_at(sim, sim->now + (sim->fw.answering ? sim->cfg.reply_delay_ms : 0), bytes, len);
    }
}

void sim_send_raw(SimModem* sim, const void* bytes, size_t len) { out(sim, bytes, len); }

void sim_send_line(SimModem* sim, const char* text)
{
    out(sim, "\r\n", 2);
    out(sim, text, strlen(text));
    out(sim, "\r\n", 2);
}

int sim_line(SimModem* sim, const char* text, int result)
{
    sim_send_line(sim, text);
    return result;
}

/* Emits the URC of sim_inject_urc_in_next_response() when it is armed for position `pos`. */
static void inject_at(SimModem* sim, SimInjectPos pos)
{
    if (sim->inject_armed && sim->inject_pos == pos)
    {
        sim->inject_armed = false;
        sim_send_line(sim, sim->inject_text);
    }
}

/* A final result: an armed "before the final result" URC goes first. */
static void send_final(SimModem* sim, const char* text)
{
    inject_at(sim, SIM_INJECT_BEFORE_FINAL);
    sim_send_line(sim, text);
}

void sim_send_ok(SimModem* sim) { send_final(sim, "OK"); }
void sim_send_error(SimModem* sim) { send_final(sim, "ERROR"); }

static void send_error_form(SimModem* sim, const char* prefix, int code)
{
    char line[96];
    if (sim->fw.cmee == 0)
    {
        snprintf(line, sizeof line, "ERROR");
    }
    else
    {
        snprintf(line, sizeof line, "%s %d", prefix, code);
    }
    send_final(sim, line);
}

void sim_send_cme(SimModem* sim, int code) { send_error_form(sim, "+CME ERROR:", code); }
void sim_send_cms(SimModem* sim, int code) { send_error_form(sim, "+CMS ERROR:", code); }
void sim_send_prompt(SimModem* sim) { out(sim, "\r\n> ", 4); }

void sim_send_raw_later(SimModem* sim, uint32_t delay_ms, const void* bytes, size_t len)
{
    int i;
    for (i = 0; i < SIM_MAX_SCHEDULED; i++)
    {
        if (!sim->scheduled[i].used)
        {
            SimScheduled s = {true, sim->now + delay_ms, len, copy_bytes(bytes, len)};
            sim->scheduled[i] = s;
            return;
        }
    }
}

void sim_send_line_later(SimModem* sim, uint32_t delay_ms, const char* text)
{
    size_t n = strlen(text) + 5;
    char* line = (char*)malloc(n);
    snprintf(line, n, "\r\n%s\r\n", text);
    sim_send_raw_later(sim, delay_ms, line, n - 1);
    free(line);
}

static void clear_scheduled(SimModem* sim)
{
    int i;
    for (i = 0; i < SIM_MAX_SCHEDULED; i++)
    {
        if (sim->scheduled[i].used)
        {
            free(sim->scheduled[i].data);
            sim->scheduled[i].used = false;
        }
    }
}

void sim_expect_data(SimModem* sim, size_t count, SimDataHandler handler, void* state)
{
    sim->fw.data_mode = true;
    sim->data_count = count;
    sim->data_handler = handler;
    sim->data_state = state;
    sim->data_len = 0;
    sim->data_due = 0;
}

void sim_set_data_time(SimModem* sim, uint32_t ms)
{
    sim->data_due = sim->now + (ms > 0 ? ms : 1);
}

/* Ends the data input: the handler gets what arrived. */
static void end_data(SimModem* sim, int term)
{
    sim->fw.data_mode = false;
    sim->data_due = 0;
    sim->fw.answering = true;
    sim->data_handler(sim, sim->data_state, sim->data, sim->data_len, term);
    sim->fw.answering = false;
}

/* Sends the final result a command handler returned (see SimCommand). */
static void send_result(SimModem* sim, int result)
{
    if (result == SIM_OK)
    {
        sim_send_ok(sim);
    }
    else if (result == SIM_ERROR)
    {
        sim_send_error(sim);
    }
    else if (result > 0)
    {
        sim_send_cme(sim, result);
    }
}

bool sim_dispatch(SimModem* sim, const SimCommand* table, void* state, const char* cmd)
{
    for (; table->name != NULL; table++)
    {
        size_t n = strlen(table->name);
        if (!sim_cmd_is(cmd, table->name) || (!table->prefix && cmd[n] != '\0') ||
            (table->families != 0 && (table->families & (1u << sim->cfg.family)) == 0))
        {
            continue;
        }
        send_result(sim, table->run ? table->run(sim, state, cmd + n) : SIM_OK);
        return true;
    }
    return false;
}

/* ---- configuration ---- */

void sim_config_default(SimConfig* cfg, SimFamily family)
{
    /* per family: presses, boot, STATUS, shutdown */
    static const uint32_t kTimes[3][5] = {
        {1000, 1500, 2000, 1500, 2000}, {100, 2500, 12000, 11000, 8000}, {50, 2500, 8000, 7000, 2000}};
    static const char* const kModels[3] = {"SIMCOM_SIM800L", "SIMCOM_SIM7600E-H", "A7670E-FASE"};
    int f = family == SIM_FAMILY_2G || family == SIM_FAMILY_LTE_Q ? (int)family : SIM_FAMILY_LTE_A;
    memset(cfg, 0, sizeof *cfg);
    cfg->family = family;
    cfg->min_on_press_ms = kTimes[f][0];
    cfg->min_off_press_ms = kTimes[f][1];
    cfg->boot_ms = kTimes[f][2];
    cfg->status_delay_ms = kTimes[f][3];
    cfg->shutdown_ms = kTimes[f][4];
    cfg->model = kModels[f];
    cfg->reply_delay_ms = 20;
    cfg->sim_ready_ms = 1000;
    cfg->register_ms = 2000;
    cfg->register_stat = 1;
    cfg->card = SIM_CARD_READY;
    cfg->pin = "1234";
    cfg->pin_attempts = 3;
    cfg->autobaud_lost_at = family == SIM_FAMILY_2G ? 1 : 0;
    cfg->echo_data_after_prompt = family == SIM_FAMILY_2G;
}

/* ---- the core service: basic commands, SIM, signal, registration, power commands ---- */

static const char* const kRegNames[3] = {"+CREG", "+CGREG", "+CEREG"};
static const char* const kCardUrcs[3] = {"+CPIN: READY", "+CPIN: SIM PIN", "+CPIN: SIM PUK"};

static void reg_urc(SimModem* sim, int d)
{
    char line[64];
    if (sim->fw.reg_n[d] == 0 || sim->power != PWR_RUNNING)
    {
        return;
    }
    snprintf(line, sizeof line, "%s: %u", kRegNames[d], sim->fw.reg_stat[d]);
    sim_send_line(sim, line);
}

/* The answer of a registration command: the information line `info` (or none), then OK; after
 * the registration reply delay when one is set (LTE-A modems document up to 9 s). */
static int reg_answer(SimModem* sim, const char* info)
{
    char text[80];
    if (sim->reg_reply_ms == 0)
    {
        return info ? sim_line(sim, info, SIM_OK) : SIM_OK;
    }
    snprintf(text, sizeof text, "%s%sOK", info ? info : "", info ? "\r\n\r\n" : "");
    sim_send_line_later(sim, sim->reg_reply_ms, text);
    return SIM_ANSWERED;
}

/* AT+C(G|E)REG=<n> and AT+C(G|E)REG? of domain `d`; `args` follows the command name. Only the
 * short forms (n 0 or 1) are simulated. */
static int reg_command(SimModem* sim, int d, const char* args)
{
    char line[64];
    if (*args == '=')
    {
        int n = atoi(args + 1);
        if (n < 0 || n > 1)
        {
            return SIM_ERROR;
        }
        sim->fw.reg_n[d] = (uint8_t)n;
        return reg_answer(sim, NULL);
    }
    if (!cmd_eq(args, "?"))
    {
        return SIM_ERROR;
    }
    snprintf(line, sizeof line, "%s: %u,%u", kRegNames[d], sim->fw.reg_n[d], sim->fw.reg_stat[d]);
    return reg_answer(sim, line);
}

static int core_creg(SimModem* sim, void* state, const char* args) { (void)state; return reg_command(sim, SIM_REG_CS, args); }
static int core_cgreg(SimModem* sim, void* state, const char* args) { (void)state; return reg_command(sim, SIM_REG_GPRS, args); }
static int core_cereg(SimModem* sim, void* state, const char* args) { (void)state; return reg_command(sim, SIM_REG_EPS, args); }

static void sim_became_ready(SimModem* sim)
{
    sim->fw.sim_ready = true;
    sim->fw.sim_ready_t = sim->now;
    sim->fw.registered_done = false;
}

static int core_echo(SimModem* sim, void* state, const char* args)
{
    (void)state;
    if (!cmd_eq(args, "0") && !cmd_eq(args, "1"))
    {
        return SIM_ERROR;
    }
    sim->fw.echo = *args == '1';
    return SIM_OK;
}

static int core_cmee_set(SimModem* sim, void* state, const char* args)
{
    int n = atoi(args);
    (void)state;
    if (n < 0 || n > 1)
    {
        return SIM_ERROR; /* the text form (2) is not simulated */
    }
    sim->fw.cmee = (uint8_t)n;
    return SIM_OK;
}

static int core_csq(SimModem* sim, void* state, const char* args)
{
    char line[32];
    (void)state, (void)args;
    snprintf(line, sizeof line, "+CSQ: %u,%u", sim->rssi, sim->ber);
    return sim_line(sim, line, SIM_OK);
}

static int core_model(SimModem* sim, void* state, const char* args)
{
    (void)state, (void)args;
    return sim_line(sim, sim->cfg.model, SIM_OK);
}

static int core_cpin_read(SimModem* sim, void* state, const char* args)
{
    (void)state, (void)args;
    if (sim->card > SIM_CARD_PUK)
    {
        return 10;
    }
    return sim_line(sim, kCardUrcs[sim->card], SIM_OK);
}

/* AT+CPIN="<pin>" while the SIM asks for its PIN; three wrong ones block it (PUK). */
static int core_cpin_set(SimModem* sim, void* state, const char* args)
{
    char pin[32] = {0};
    char second[32]; /* a second argument belongs to a PUK entry, which is not simulated */
    (void)state;
    if (sim->card != SIM_CARD_PIN || sscanf(args, "\"%31[^\"]\",\"%31[^\"]\"", pin, second) != 1)
    {
        return sim->card == SIM_CARD_ABSENT ? 10 : 3;
    }
    if (strcmp(pin, sim->cfg.pin) != 0)
    {
        sim->pin_left -= sim->pin_left > 0 ? 1 : 0;
        sim->card = sim->pin_left == 0 ? SIM_CARD_PUK : sim->card;
        return 16;
    }
    sim->card = SIM_CARD_READY;
    sim->pin_left = sim->cfg.pin_attempts;
    if (!sim->cfg.no_pin_ready_urc)
    {
        sim_send_line_later(sim, 1000, "+CPIN: READY");
    }
    sim_became_ready(sim);
    sim->fw.sim_ready_announced = false;
    return SIM_OK;
}

static const SimCommand kCoreCommands[] = {{"AT", false, 0, NULL},
                                           {"ATE", true, 0, core_echo},
                                           {"AT+CMEE=", true, 0, core_cmee_set},
                                           {"AT+CGMM", false, 0, core_model},
                                           {"AT+CPIN?", false, 0, core_cpin_read},
                                           {"AT+CPIN=", true, 0, core_cpin_set},
                                           {"AT+CSQ", false, 0, core_csq},
                                           {"AT+CREG", true, 0, core_creg},
                                           {"AT+CGREG", true, 0, core_cgreg},
                                           {"AT+CEREG", true, SIM_ONLY_LTE, core_cereg},
                                           {NULL, false, 0, NULL}};

static bool core_command(SimModem* sim, void* state, const char* cmd)
{
    return sim_dispatch(sim, kCoreCommands, state, cmd);
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
    sim->fw.echo = true;
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
    clear_scheduled(sim);
    for (i = 0; i < sim->nchunks; i++)
    {
        free(sim->chunks[i].data);
    }
    sim_tx_clear(sim);
    free(sim->chunks);
    free(sim->tx.data);
    free(sim->rx.data);
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
    memset(&sim->fw, 0, sizeof sim->fw);
    sim->fw.echo = true;
    clear_scheduled(sim);
    for (i = sim->nservices - 1; i >= 0; i--)
    {
        if (sim->services[i]->on_reset)
        {
            sim->services[i]->on_reset(sim, sim->services[i]->state);
        }
    }
}

static void set_power(SimModem* sim, SimPower power)
{
    sim->power = power;
    sim->power_t = sim->now;
}

static void start_boot(SimModem* sim)
{
    reset_firmware(sim);
    set_power(sim, PWR_BOOTING);
    sim->boots++;
}

static void boot_complete(SimModem* sim)
{
    set_power(sim, PWR_RUNNING);
    if (sim->cfg.family != SIM_FAMILY_2G || !sim->cfg.autobaud)
    {
        sim_send_line(sim, sim->cfg.family == SIM_FAMILY_LTE_A ? "*ATREADY: 1" : "RDY");
    }
    if (sim->cfg.family == SIM_FAMILY_2G)
    {
        sim_send_line(sim, "+CFUN: 1");
    }
    if (sim->card <= SIM_CARD_PUK)
    {
        sim_send_line(sim, kCardUrcs[sim->card]);
    }
    else if (sim->cfg.family == SIM_FAMILY_2G)
    {
        sim_send_line(sim, "+CPIN: NOT INSERTED");
    }
    if (sim->card == SIM_CARD_READY)
    {
        sim_became_ready(sim);
    }
}

static void power_off_now(SimModem* sim)
{
    reset_firmware(sim);
    set_power(sim, PWR_OFF);
    sim->status = false;
}

/* ---- clock ---- */

uint32_t sim_now(const SimModem* sim) { return sim->now; }
void sim_set_time(SimModem* sim, uint32_t now_ms) { sim->now = now_ms; }

/* One millisecond of a running modem: SIM and registration timers, scheduled output, services. */
static void tick_running(SimModem* sim)
{
    static const char* const kReadyUrcs[2][2] = {{"Call Ready", "SMS Ready"}, {"SMS DONE", "PB DONE"}};
    int lte = sim->cfg.family != SIM_FAMILY_2G;
    int i;
    if (sim->fw.sim_ready && !sim->fw.sim_ready_announced && sim->now - sim->fw.sim_ready_t >= sim->cfg.sim_ready_ms)
    {
        sim->fw.sim_ready_announced = true;
        sim_send_line(sim, kReadyUrcs[lte][0]);
        sim_send_line(sim, kReadyUrcs[lte][1]);
    }
    if (sim->fw.sim_ready && !sim->fw.registered_done && sim->cfg.register_ms > 0 &&
        sim->now - sim->fw.sim_ready_t >= sim->cfg.register_ms)
    {
        sim->fw.registered_done = true;
        for (i = SIM_REG_CS; i <= (lte ? SIM_REG_EPS : SIM_REG_GPRS); i++)
        {
            sim_set_registration(sim, (SimRegDomain)i, sim->cfg.register_stat);
        }
    }
    for (i = 0; i < SIM_MAX_SCHEDULED; i++)
    {
        SimScheduled* s = &sim->scheduled[i];
        if (s->used && due(sim, s->due))
        {
            s->used = false;
            out(sim, s->data, s->len);
            free(s->data);
        }
    }
    for (i = sim->nservices - 1; i >= 0; i--)
    {
        if (sim->services[i]->on_tick)
        {
            sim->services[i]->on_tick(sim, sim->services[i]->state);
        }
    }
}

static void tick(SimModem* sim)
{
    uint32_t el = sim->now - sim->power_t;
    if (sim->power == PWR_BOOTING)
    {
        sim->status = sim->status || el >= sim->cfg.status_delay_ms;
        if (el >= sim->cfg.boot_ms && !sim->fw.hung)
        {
            boot_complete(sim);
        }
    }
    else if (sim->power == PWR_SHUTTING && el >= sim->cfg.shutdown_ms)
    {
        power_off_now(sim);
    }
    else if (sim->power == PWR_RUNNING)
    {
        if (sim->fw.data_mode && sim->data_due != 0 && (int32_t)(sim->now - sim->data_due) >= 0)
        {
            end_data(sim, -1); /* the input time ran out: the block ends with what arrived */
        }
        tick_running(sim);
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

    sim->cmd[sim->fw.cmd_len] = '\0';
    copy = strdup(sim->cmd);
    sim->commands = (char**)realloc(sim->commands, (sim->ncommands + 1) * sizeof(char*));
    sim->commands[sim->ncommands++] = copy;
    sim->fw.cmd_len = 0;

    if (sim->power != PWR_RUNNING || sim->fw.hung || copy[0] == '\0')
    {
        return;
    }
    if (sim->cfg.autobaud && !sim->fw.autobaud_locked)
    {
        if (!cmd_eq(copy, "AT") || copy[0] != 'A' || ++sim->fw.autobaud_seen <= sim->cfg.autobaud_lost_at)
        {
            return; /* only "AT" locks the rate, and the first ones are lost while it is measured */
        }
        sim->fw.autobaud_locked = true;
        if (sim->fw.echo)
        {
            out(sim, copy, strlen(copy));
            out(sim, "\r", 1);
        }
    }

    sim->fw.answering = true;
    inject_at(sim, SIM_INJECT_AFTER_ECHO);
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
    sim->fw.answering = false;
}

static void data_byte(SimModem* sim, uint8_t byte)
{
    bool done = false;
    int term = -1;
    if (sim->cfg.echo_data_after_prompt && sim->fw.echo)
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
        end_data(sim, term);
    }
}

void sim_host_write(SimModem* sim, uint8_t byte)
{
    buf_append(&sim->tx, &byte, 1);
    if (sim->power != PWR_RUNNING || sim->fw.hung)
    {
        return;
    }
    if (sim->fw.data_mode)
    {
        data_byte(sim, byte);
        return;
    }
    if (byte == '\n' && sim->fw.cmd_len == 0)
    {
        return;
    }
    if (sim->fw.cmd_len == 0 && output_allowed(sim))
    {
        inject_at(sim, SIM_INJECT_BEFORE_ECHO);
    }
    if (sim->fw.echo && output_allowed(sim))
    {
        out(sim, &byte, 1);
    }
    if (byte == '\r')
    {
        dispatch_command(sim);
    }
    else if (sim->fw.cmd_len < SIM_CMD_MAX - 1)
    {
        sim->cmd[sim->fw.cmd_len++] = (char)byte;
    }
}

bool sim_host_can_read(SimModem* sim)
{
    return sim->nchunks > 0 && due(sim, sim->chunks[0].due) && (sim->frag == 0 || sim->frag_used < sim->frag);
}

uint8_t sim_host_read(SimModem* sim)
{
    SimChunk* c = &sim->chunks[0];
    uint8_t b;
    if (!sim_host_can_read(sim))
    {
        return 0;
    }
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

void sim_set_fragment(SimModem* sim, size_t max_bytes_per_poll) { sim->frag = max_bytes_per_poll; }
void sim_host_new_poll(SimModem* sim) { sim->frag_used = 0; }

void sim_set_pwrkey(SimModem* sim, bool activated)
{
    uint32_t held = sim->now - sim->key_t;
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
    sim->presses++;
    if (sim->power == PWR_OFF && held >= sim->cfg.min_on_press_ms)
    {
        start_boot(sim);
    }
    else if ((sim->power == PWR_RUNNING || sim->power == PWR_BOOTING) && held >= sim->cfg.min_off_press_ms)
    {
        bool was_running = sim->power == PWR_RUNNING && !sim->fw.hung;
        if (was_running && sim->cfg.family == SIM_FAMILY_2G)
        {
            sim_send_line(sim, "NORMAL POWER DOWN");
        }
        sim->fw.hung = false;
        set_power(sim, PWR_SHUTTING);
        if (was_running && sim->cfg.family == SIM_FAMILY_LTE_A)
        {
            sim_send_line_later(sim, sim->cfg.shutdown_ms / 2, "POWERD DOWN");
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
    }
    else if (sim->now - sim->reset_t >= 100 && sim->power != PWR_OFF)
    {
        sim->resets++;
        sim_reboot(sim);
    }
}

bool sim_status(const SimModem* sim) { return sim->status; }

/* ---- observation ---- */

static const char* buf_view(const SimBuf* b, size_t* len)
{
    if (len)
    {
        *len = b->len;
    }
    return b->data ? b->data : "";
}

const char* sim_tx(const SimModem* sim, size_t* len) { return buf_view(&sim->tx, len); }

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

size_t sim_command_count(const SimModem* sim) { return sim->ncommands; }

const char* sim_rx(const SimModem* sim, size_t* len) { return buf_view(&sim->rx, len); }
void sim_rx_clear(SimModem* sim) { buf_clear(&sim->rx); }
bool sim_is_on(const SimModem* sim) { return sim->power == PWR_RUNNING; }
uint32_t sim_boot_count(const SimModem* sim) { return sim->boots; }
bool sim_echo(const SimModem* sim) { return sim->fw.echo; }
uint8_t sim_cmee(const SimModem* sim) { return sim->fw.cmee; }
SimFamily sim_family(const SimModem* sim) { return sim->cfg.family; }
SimCardState sim_card(const SimModem* sim) { return sim->card; }
uint32_t sim_pwrkey_presses(const SimModem* sim) { return sim->presses; }
uint32_t sim_resets(const SimModem* sim) { return sim->resets; }
uint8_t sim_registration(const SimModem* sim, SimRegDomain domain) { return sim->fw.reg_stat[domain]; }

/* ---- scenario control ---- */

void sim_set_registration(SimModem* sim, SimRegDomain domain, uint8_t stat)
{
    if ((int)domain < 0 || (int)domain > 2 || (domain == SIM_REG_EPS && sim->cfg.family == SIM_FAMILY_2G) ||
        sim->fw.reg_stat[domain] == stat)
    {
        return;
    }
    sim->fw.reg_stat[domain] = stat;
    reg_urc(sim, (int)domain);
}

void sim_set_registration_reply_delay(SimModem* sim, uint32_t ms) { sim->reg_reply_ms = ms; }

void sim_set_csq(SimModem* sim, uint8_t rssi, uint8_t ber)
{
    sim->rssi = rssi;
    sim->ber = ber;
}

void sim_set_card(SimModem* sim, SimCardState card) { sim->card = card; }

void sim_set_hung(SimModem* sim, bool hung)
{
    sim->fw.hung = hung;
    if (hung)
    {
        clear_scheduled(sim);
    }
}

void sim_reboot(SimModem* sim)
{
    if (sim->power != PWR_OFF)
    {
        start_boot(sim);
        sim->status = true;
    }
}

void sim_inject_raw(SimModem* sim, const void* bytes, size_t len)
{
    if (sim->power != PWR_OFF)
    {
        emit_at(sim, sim->now, bytes, len);
    }
}

void sim_inject_raw_front(SimModem* sim, const void* bytes, size_t len)
{
    add_chunk(sim, 0, sim->now, bytes, len);
}

void sim_inject_urc(SimModem* sim, const char* text) { sim_send_line(sim, text); }

void sim_inject_urc_in_next_response(SimModem* sim, const char* text, SimInjectPos pos)
{
    snprintf(sim->inject_text, sizeof sim->inject_text, "%s", text);
    sim->inject_pos = pos;
    sim->inject_armed = true;
}

void sim_drop_rx_bytes(SimModem* sim, uint32_t every, uint32_t ms)
{
    sim->drop_every = every;
    sim->drop_until = sim->now + ms;
    sim->drop_count = 0;
}

void sim_fail_next_command(SimModem* sim, int cme_code)
{
    sim->fail_armed = cme_code >= 0;
    sim->fail_code = cme_code;
}
