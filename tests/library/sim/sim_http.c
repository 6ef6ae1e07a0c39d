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
    bool init;
    bool cid;
    char url[600];
    char content[300];
    uint8_t post[8192];
    size_t post_len;
    int actions;
    /* the answer of the last action */
    const SimHttpEntry* answer;
    bool pending;
    uint32_t due;
    int method;
    bool nonet;
    char action_line[64];
    char fail[16];
};

static bool quoted_value(const char* cmd, char* out, size_t size)
{
    /* AT+HTTPPARA="TAG","value" -> value */
    const char* p = strchr(cmd, ',');
    size_t n;
    const char* end;
    if (p == NULL || p[1] != '"')
    {
        return false;
    }
    p += 2;
    end = strrchr(p, '"');
    if (end == NULL)
    {
        return false;
    }
    n = (size_t)(end - p);
    if (n >= size)
    {
        n = size - 1;
    }
    memcpy(out, p, n);
    out[n] = '\0';
    return true;
}

static void on_post_data(SimModem* sim, void* state, const uint8_t* data, size_t len, int terminator)
{
    SimHttp* h = (SimHttp*)state;
    (void)terminator;
    h->post_len = len < sizeof h->post ? len : sizeof h->post;
    memcpy(h->post, data, h->post_len);
    sim_send_ok(sim);
}

static const SimHttpEntry* find(const SimHttp* h, const char* url)
{
    int i;
    for (i = 0; i < h->nentries; i++)
    {
        if (strcmp(h->entries[i].url, url) == 0)
        {
            return &h->entries[i];
        }
    }
    return NULL;
}

static void send_read(SimHttp* h, SimModem* sim, size_t start, size_t size, bool whole)
{
    const SimHttpEntry* e = h->answer;
    size_t avail = (e != NULL && e->status < 600 && start < e->len) ? e->len - start : 0;
    size_t n = whole ? avail : (size < avail ? size : avail);
    char line[64];
    if (sim_family(sim) == SIM_FAMILY_2G)
    {
        snprintf(line, sizeof line, "+HTTPREAD: %zu", n);
        sim_send_line(sim, line);
        sim_send_raw(sim, e ? e->body + start : (const uint8_t*)"", n);
        sim_send_ok(sim);
        return;
    }
    sim_send_ok(sim);
    while (n > 0)
    {
        size_t block = n > 1024 ? 1024 : n;
        if (sim_family(sim) == SIM_FAMILY_LTE_Q)
        {
            snprintf(line, sizeof line, "+HTTPREAD: DATA,%zu", block);
        }
        else
        {
            snprintf(line, sizeof line, "+HTTPREAD: %zu", block);
        }
        sim_send_line(sim, line);
        sim_send_raw(sim, e->body + start, block);
        start += block;
        n -= block;
    }
    sim_send_line(sim, "+HTTPREAD: 0");
}

static bool on_command(SimModem* sim, void* state, const char* cmd)
{
    SimHttp* h = (SimHttp*)state;
    bool is2g = sim_family(sim) == SIM_FAMILY_2G;
    if (!sim_cmd_is(cmd, "AT+HTTP"))
    {
        return false;
    }
    if (h->fail[0] != '\0' && sim_cmd_is(cmd + 7, h->fail))
    {
        h->fail[0] = '\0';
        sim_send_error(sim);
        return true;
    }
    if (strcmp(cmd, "AT+HTTPTERM") == 0)
    {
        if (!h->init)
        {
            sim_send_error(sim);
            return true;
        }
        h->init = false;
        h->cid = false;
        h->pending = false;
        h->answer = NULL;
        sim_send_ok(sim);
        return true;
    }
    if (strcmp(cmd, "AT+HTTPINIT") == 0)
    {
        if (h->init)
        {
            sim_send_error(sim);
            return true;
        }
        h->init = true;
        h->nonet = false;
        h->url[0] = '\0';
        h->content[0] = '\0';
        h->post_len = 0;
        sim_send_ok(sim);
        return true;
    }
    if (!h->init)
    {
        sim_send_error(sim);
        return true;
    }
    if (sim_cmd_is(cmd, "AT+HTTPPARA=\"CID\","))
    {
        if (!is2g)
        {
            sim_send_error(sim); /* LTE firmware has no bearer profiles */
            return true;
        }
        h->cid = strcmp(cmd + 18, "1") == 0;
        sim_send_ok(sim);
        return true;
    }
    if (sim_cmd_is(cmd, "AT+HTTPPARA=\"URL\","))
    {
        if (!quoted_value(cmd, h->url, sizeof h->url))
        {
            sim_send_error(sim);
            return true;
        }
        sim_send_ok(sim);
        return true;
    }
    if (sim_cmd_is(cmd, "AT+HTTPPARA=\"CONTENT\","))
    {
        if (!quoted_value(cmd, h->content, sizeof h->content))
        {
            sim_send_error(sim);
            return true;
        }
        sim_send_ok(sim);
        return true;
    }
    if (sim_cmd_is(cmd, "AT+HTTPDATA="))
    {
        unsigned long size = 0, t = 0;
        if (sscanf(cmd + 12, "%lu,%lu", &size, &t) != 2 || size == 0 || size > sizeof h->post ||
            (is2g ? (t < 1000 || t > 120000) : (t < 10 || t > 65535)))
        {
            sim_send_error(sim);
            return true;
        }
        sim_send_line(sim, "DOWNLOAD");
        sim_expect_data(sim, size, on_post_data, h);
        return true;
    }
    if (sim_cmd_is(cmd, "AT+HTTPACTION="))
    {
        char line[64];
        int status;
        size_t len;
        h->method = atoi(cmd + 14);
        if (h->url[0] == '\0' || (h->method != 0 && h->method != 1))
        {
            sim_send_error(sim);
            return true;
        }
        sim_send_ok(sim);
        h->actions++;
        h->answer = find(h, h->url);
        status = h->answer ? h->answer->status : 404;
        len = (h->answer && status < 600) ? h->answer->len : 0;
        if ((is2g && (!h->cid || !sim_net_is_open(h->net))) || (!is2g && !sim_net_is_open(h->net)))
        {
            status = 601;
            len = 0;
            h->answer = NULL;
        }
        if (h->answer && h->answer->chunked && !is2g)
        {
            len = 0;
        }
        snprintf(h->action_line, sizeof h->action_line, "+HTTPACTION: %d,%d,%zu", h->method, status, len);
        h->pending = true;
        h->due = sim_now(sim) + (h->answer ? h->answer->delay : 1000);
        (void)line;
        return true;
    }
    if (strcmp(cmd, "AT+HTTPREAD") == 0 && is2g)
    {
        send_read(h, sim, 0, 0, true);
        return true;
    }
    if (sim_cmd_is(cmd, "AT+HTTPREAD="))
    {
        unsigned long start = 0, size = 0;
        if (sscanf(cmd + 12, "%lu,%lu", &start, &size) != 2 || size == 0)
        {
            sim_send_error(sim);
            return true;
        }
        if (h->answer == NULL && !is2g)
        {
            sim_send_error(sim);
            return true;
        }
        send_read(h, sim, start, size, false);
        return true;
    }
    sim_send_error(sim);
    return true;
}

static void on_tick(SimModem* sim, void* state)
{
    SimHttp* h = (SimHttp*)state;
    if (h->pending && (int32_t)(sim_now(sim) - h->due) >= 0)
    {
        h->pending = false;
        if (!h->nonet)
        {
            sim_send_line(sim, h->action_line);
        }
    }
}

static void on_reset(SimModem* sim, void* state)
{
    SimHttp* h = (SimHttp*)state;
    (void)sim;
    h->init = false;
    h->cid = false;
    h->answer = NULL;
    h->nonet = false;
    h->pending = false;
}

SimHttp* sim_http_attach(SimModem* sim, SimNet* net)
{
    SimHttp* h = (SimHttp*)calloc(1, sizeof *h);
    h->sim = sim;
    h->net = net;
    h->service.name = "http";
    h->service.on_command = on_command;
    h->service.on_reset = on_reset;
    h->service.on_tick = on_tick;
    h->service.state = h;
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
    if (body_len)
    {
        memcpy(e->body, body, body_len);
    }
    e->len = body_len;
    e->delay = delay_ms;
    e->chunked = chunked;
}

void sim_http_fail_next(SimHttp* h, const char* cmd)
{
    snprintf(h->fail, sizeof h->fail, "%s", cmd);
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
