/*
 * sim_http.c - HTTP service of the modem simulator (2G and LTE forms).
 */
#include "sim_http.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define HTTP_ENTRIES 16
#define HTTP_BODY_MAX 16384

typedef struct SimHttpEntry
{
    char url[256];
    int status;
    uint8_t* body;
    size_t len;
    uint32_t delay;
    bool chunked;
} SimHttpEntry;

struct SimHttp
{
    SimService service;
    SimModem* sim;
    SimNet* net;
    SimHttpEntry entries[HTTP_ENTRIES];
    int nentries;
    bool init, cid;
    bool ssl;         /* 2G: AT+HTTPSSL=1 (kept until the modem restarts) */
    bool ssl_refused; /* 2G firmware without TLS: AT+HTTPSSL answers ERROR */
    bool sni;         /* LTE-A: AT+CSSLCFG="enableSNI",0,1 (kept until the modem restarts) */
    bool servers_need_sni; /* LTE-A: an https server refuses a handshake without the server name (715) */
    char url[600];
    char content[300];
    uint8_t post[8192];
    size_t post_len;
    int actions;
    /* the answer of the last action */
    const SimHttpEntry* answer;
    bool pending, nonet;
    uint32_t due;
    char action_line[64];
    char fail[16];
    /* a command carried out only after a delay (sim_http_delay_next) */
    char slow[16];
    uint32_t slow_ms;
    char slow_cmd[700];
    uint32_t slow_due;
    size_t lost; /* body bytes the next read announces but does not deliver */
    bool read_fails_late; /* the next read fails after its OK (LTE) */
    int read_fail_code;   /* ... with "+HTTPREAD: <code>" in place of ERROR (0: ERROR) */
    bool cut_armed;       /* the next answer's body is held only up to cut_keep bytes */
    size_t cut_keep;
    size_t held; /* body bytes of the last answer the modem holds */
};

static bool is_2g(SimModem* sim)
{
    return sim_family(sim) == SIM_FAMILY_2G;
}

/* The quoted value of AT+HTTPPARA="<tag>","<value>" (`args` starts at its quote) into `out`. As the
 * modem's parser, the first quote after the opening one ends the value: anything after it is an
 * error. */
static int para_value(char* out, size_t size, const char* args)
{
    const char* end = *args == '"' ? strchr(args + 1, '"') : NULL;
    if (end == NULL || end[1] != '\0')
    {
        return SIM_ERROR;
    }
    snprintf(out, size, "%.*s", (int)(end - args - 1), args + 1);
    return SIM_OK;
}

static void on_post_data(SimModem* sim, void* state, const uint8_t* data, size_t len, int terminator)
{
    SimHttp* h = (SimHttp*)state;
    (void)terminator;
    h->post_len = len < sizeof h->post ? len : sizeof h->post;
    memcpy(h->post, data, h->post_len);
    sim_send_ok(sim);
}

static int http_term(SimModem* sim, void* state, const char* args)
{
    SimHttp* h = (SimHttp*)state;
    (void)sim, (void)args;
    h->init = h->cid = h->pending = false;
    h->answer = NULL;
    return SIM_OK;
}

/* AT+HTTPSSL=<0|1> (2G): TLS for the following actions. */
static int http_ssl(SimModem* sim, void* state, const char* args)
{
    SimHttp* h = (SimHttp*)state;
    (void)sim;
    if (h->ssl_refused || (strcmp(args, "0") != 0 && strcmp(args, "1") != 0))
    {
        return SIM_ERROR;
    }
    h->ssl = args[0] == '1';
    return SIM_OK;
}

static int http_init(SimModem* sim, void* state, const char* args)
{
    SimHttp* h = (SimHttp*)state;
    (void)sim, (void)args;
    if (h->init)
    {
        return SIM_ERROR;
    }
    h->init = true;
    h->nonet = false;
    h->url[0] = '\0';
    h->content[0] = '\0';
    h->post_len = 0;
    return SIM_OK;
}

static int para_cid(SimModem* sim, void* state, const char* args)
{
    (void)sim;
    ((SimHttp*)state)->cid = strcmp(args, "1") == 0;
    return SIM_OK;
}

static int para_url(SimModem* sim, void* state, const char* args)
{
    (void)sim;
    return para_value(((SimHttp*)state)->url, sizeof ((SimHttp*)state)->url, args);
}

static int para_content(SimModem* sim, void* state, const char* args)
{
    (void)sim;
    return para_value(((SimHttp*)state)->content, sizeof ((SimHttp*)state)->content, args);
}

/* AT+HTTPDATA=<size>,<time>: "DOWNLOAD", then exactly <size> bytes of body; after <time> (2G: ms, LTE:
 * s) the input ends with the bytes that arrived. */
static int http_data(SimModem* sim, void* state, const char* args)
{
    SimHttp* h = (SimHttp*)state;
    unsigned long size = 0, t = 0;
    if (sscanf(args, "%lu,%lu", &size, &t) != 2 || size == 0 || size > sizeof h->post ||
        (is_2g(sim) ? (t < 1000 || t > 120000) : (t < 10 || t > 65535)))
    {
        return SIM_ERROR;
    }
    sim_send_line(sim, "DOWNLOAD");
    sim_expect_data(sim, size, on_post_data, h);
    sim_set_data_time(sim, is_2g(sim) ? (uint32_t)t : (uint32_t)t * 1000u);
    return SIM_ANSWERED;
}

/* AT+HTTPACTION=<method>: OK, then +HTTPACTION with the canned answer of the URL after its delay. */
static int http_action(SimModem* sim, void* state, const char* args)
{
    SimHttp* h = (SimHttp*)state;
    int method = atoi(args);
    int status;
    size_t len;
    int i;
    if (h->url[0] == '\0' || (method != 0 && method != 1))
    {
        return SIM_ERROR;
    }
    h->actions++;
    h->answer = NULL;
    for (i = 0; i < h->nentries && h->answer == NULL; i++)
    {
        h->answer = strcmp(h->entries[i].url, h->url) == 0 ? &h->entries[i] : NULL;
    }
    status = h->answer ? h->answer->status : 404;
    len = (h->answer && status < 600) ? h->answer->len : 0;
    if (!sim_net_is_open(h->net) || (is_2g(sim) && !h->cid))
    {
        status = 601; /* no bearer / packet data connection */
        len = 0;
        h->answer = NULL;
    }
    else if (is_2g(sim) && h->ssl != (strncmp(h->url, "https:", 6) == 0))
    {
        status = 606; /* 2G: TLS on (off) against a plain (TLS) server: no connection */
        len = 0;
        h->answer = NULL;
    }
    else if (sim_family(sim) == SIM_FAMILY_LTE_A && h->servers_need_sni && !h->sni && strncmp(h->url, "https:", 6) == 0)
    {
        status = 715; /* LTE-A: handshake without the server name, which the server needs */
        len = 0;
        h->answer = NULL;
    }
    if (h->answer && h->answer->chunked && !is_2g(sim))
    {
        len = 0;
    }
    h->held = h->answer ? h->answer->len : 0;
    h->held = h->cut_armed && h->cut_keep < h->held ? h->cut_keep : h->held;
    h->cut_armed = false;
    snprintf(h->action_line, sizeof h->action_line, "+HTTPACTION: %d,%d,%zu", method, status, len);
    h->pending = true;
    h->due = sim_now(sim) + (h->answer ? h->answer->delay : 1000);
    return SIM_OK;
}

/* AT+HTTPREAD=<start>,<size>: 2G "+HTTPREAD: <n>" data OK; LTE OK, blocks of at most 1024 bytes
 * ("+HTTPREAD: DATA,<n>" on LTE-Q, "+HTTPREAD: <n>" on LTE-A), "+HTTPREAD: 0". */
static int http_read(SimModem* sim, void* state, const char* args)
{
    SimHttp* h = (SimHttp*)state;
    const SimHttpEntry* e = h->answer;
    unsigned long start = 0, size = 0;
    size_t n, lost;
    char line[64];
    if (sscanf(args, "%lu,%lu", &start, &size) != 2 || size == 0 || (e == NULL && !is_2g(sim)))
    {
        return SIM_ERROR;
    }
    n = (e != NULL && e->status < 600 && start < h->held) ? h->held - start : 0;
    n = size < n ? size : n;
    lost = n > 0 ? h->lost : 0; /* announced in the first block, missing from its data */
    h->lost = n > 0 ? 0 : h->lost;
    if (is_2g(sim))
    {
        snprintf(line, sizeof line, "+HTTPREAD: %zu", n);
        sim_send_line(sim, line);
        sim_send_raw(sim, e ? e->body + start : (const uint8_t*)"", n - (lost < n ? lost : n));
        return SIM_OK;
    }
    sim_send_ok(sim);
    while (n > 0)
    {
        size_t block = n > 1024 ? 1024 : n;
        snprintf(line, sizeof line, "+HTTPREAD: %s%zu", sim_family(sim) == SIM_FAMILY_LTE_Q ? "DATA," : "", block);
        sim_send_line(sim, line);
        sim_send_raw(sim, e->body + start, block - (lost < block ? lost : block));
        lost = 0;
        start += block;
        n -= block;
    }
    return sim_line(sim, "+HTTPREAD: 0", SIM_ANSWERED);
}

static const SimCommand kCommands[] = {{"AT+HTTPTERM", false, 0, http_term},
                                       {"AT+HTTPINIT", false, 0, http_init},
                                       {"AT+HTTPPARA=\"CID\",", true, SIM_ONLY_2G, para_cid},
                                       {"AT+HTTPSSL=", true, SIM_ONLY_2G, http_ssl},
                                       {"AT+HTTPPARA=\"URL\",", true, 0, para_url},
                                       {"AT+HTTPPARA=\"CONTENT\",", true, 0, para_content},
                                       {"AT+HTTPDATA=", true, 0, http_data},
                                       {"AT+HTTPACTION=", true, 0, http_action},
                                       {"AT+HTTPREAD=", true, 0, http_read},
                                       {NULL, false, 0, NULL}};

/* Carries out an AT+HTTP command: any but AT+HTTPINIT answers ERROR before the service is initialised. */
static void run_command(SimModem* sim, SimHttp* h, const char* cmd)
{
    if ((!h->init && strcmp(cmd, "AT+HTTPINIT") != 0) || !sim_dispatch(sim, kCommands, h, cmd))
    {
        sim_send_error(sim);
    }
}

/* Every AT+HTTP command: an armed failure answers ERROR, an armed delay holds the command back. */
static bool on_command(SimModem* sim, void* state, const char* cmd)
{
    SimHttp* h = (SimHttp*)state;
    if (strcmp(cmd, "AT+CSSLCFG=\"enableSNI\",0,1") == 0)
    {
        /* the server name in the TLS handshake of SSL context 0: an LTE-A setting (the others refuse it) */
        h->sni = sim_family(sim) == SIM_FAMILY_LTE_A;
        if (h->sni)
        {
            sim_send_ok(sim);
        }
        else
        {
            sim_send_error(sim);
        }
        return true;
    }
    if (!sim_cmd_is(cmd, "AT+HTTP"))
    {
        return false;
    }
    if (h->fail[0] != '\0' && sim_cmd_is(cmd + 7, h->fail))
    {
        h->fail[0] = '\0';
        sim_send_error(sim);
    }
    else if (h->read_fails_late && sim_cmd_is(cmd + 7, "READ"))
    {
        h->read_fails_late = false;
        if (is_2g(sim))
        {
            sim_send_error(sim);
        }
        else
        {
            char line[32];
            snprintf(line, sizeof line, "+HTTPREAD: %d", h->read_fail_code);
            sim_send_ok(sim); /* the LTE read answers OK first; the failure ends it */
            if (h->read_fail_code != 0)
            {
                sim_send_line(sim, line);
            }
            else
            {
                sim_send_error(sim);
            }
        }
    }
    else if (h->slow[0] != '\0' && sim_cmd_is(cmd + 7, h->slow))
    {
        h->slow[0] = '\0';
        snprintf(h->slow_cmd, sizeof h->slow_cmd, "%s", cmd);
        h->slow_due = sim_now(sim) + h->slow_ms;
    }
    else
    {
        run_command(sim, h, cmd);
    }
    return true;
}

static void on_tick(SimModem* sim, void* state)
{
    SimHttp* h = (SimHttp*)state;
    if (h->slow_cmd[0] != '\0' && (int32_t)(sim_now(sim) - h->slow_due) >= 0)
    {
        char cmd[sizeof h->slow_cmd];
        memcpy(cmd, h->slow_cmd, sizeof cmd);
        h->slow_cmd[0] = '\0';
        run_command(sim, h, cmd);
    }
    if (h->pending && (int32_t)(sim_now(sim) - h->due) >= 0)
    {
        h->pending = false;
        if (!h->nonet)
        {
            sim_send_line(sim, h->action_line);
            /* LTE-A: the server closed its connection after the answer (informational) */
            if (sim_family(sim) == SIM_FAMILY_LTE_A && h->answer != NULL && h->answer->status < 600)
            {
                sim_send_line(sim, "+HTTP_PEER_CLOSED");
            }
        }
    }
}

static void on_reset(SimModem* sim, void* state)
{
    SimHttp* h = (SimHttp*)state;
    (void)sim;
    h->init = h->cid = h->nonet = h->pending = h->ssl = h->sni = false;
    h->answer = NULL;
    h->slow_cmd[0] = '\0';
}

SimHttp* sim_http_attach(SimModem* sim, SimNet* net)
{
    SimHttp* h = (SimHttp*)calloc(1, sizeof *h);
    SimService service = {"http", on_command, on_tick, on_reset, h};
    h->sim = sim;
    h->net = net;
    h->service = service;
    h->servers_need_sni = true; /* as most https servers today (shared hosting, CDNs) */
    sim_add_service(sim, &h->service);
    return h;
}

void sim_http_detach(SimHttp* h)
{
    int i;
    for (i = 0; i < h->nentries; i++)
    {
        free(h->entries[i].body);
    }
    free(h);
}

void sim_http_add(SimHttp* h, const char* url, int status, const void* body, size_t body_len, uint32_t delay_ms, bool chunked)
{
    SimHttpEntry* e;
    if (h->nentries >= HTTP_ENTRIES || body_len > HTTP_BODY_MAX)
    {
        return;
    }
    e = &h->entries[h->nentries++];
    snprintf(e->url, sizeof e->url, "%s", url);
    e->status = status;
    e->body = (uint8_t*)malloc(body_len ? body_len : 1);
    memcpy(e->body, body_len ? body : "", body_len);
    e->len = body_len;
    e->delay = delay_ms;
    e->chunked = chunked;
}

void sim_http_fail_next(SimHttp* h, const char* cmd)
{
    snprintf(h->fail, sizeof h->fail, "%s", cmd);
}

void sim_http_delay_next(SimHttp* h, const char* cmd, uint32_t delay_ms)
{
    snprintf(h->slow, sizeof h->slow, "%s", cmd);
    h->slow_ms = delay_ms;
}

void sim_http_lose_read_bytes(SimHttp* h, size_t count) { h->lost = count; }
void sim_http_fail_next_read_after_ok(SimHttp* h, int code)
{
    h->read_fails_late = true;
    h->read_fail_code = code;
}

void sim_http_cut_next_body(SimHttp* h, size_t keep)
{
    h->cut_armed = true;
    h->cut_keep = keep;
}

void sim_http_clear_faults(SimHttp* h)
{
    h->fail[0] = '\0';
    h->slow[0] = '\0';
    h->lost = 0;
    h->read_fails_late = false;
    h->cut_armed = false;
}

void sim_http_servers_need_sni(SimHttp* h, bool need) { h->servers_need_sni = need; }

void sim_http_refuse_ssl(SimHttp* h)
{
    h->ssl_refused = true;
    h->ssl = false;
}

bool sim_http_ssl(const SimHttp* h)
{
    return h->ssl;
}

void sim_http_nonet(SimHttp* h)
{
    h->nonet = true;
    sim_inject_urc(h->sim, "+HTTP_NONET_EVENT");
}

const char* sim_http_last_post(const SimHttp* h, size_t* len)
{
    if (len)
    {
        *len = h->post_len;
    }
    return (const char*)h->post;
}

const char* sim_http_last_content_type(const SimHttp* h) { return h->content; }
bool sim_http_initialised(const SimHttp* h) { return h->init; }
int sim_http_actions(const SimHttp* h) { return h->actions; }
