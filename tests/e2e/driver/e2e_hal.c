/*
 * e2e_hal.c - simulator binding and event log of the end-to-end tests.
 */
#include "e2e_hal.h"

#include <stdio.h>
#include <string.h>

#define E2E_MAX_EVENTS 512
#define E2E_BODY_MAX 8192
#define E2E_DEBUG_MAX 32768

static SimModem* s_sim;
static uint32_t s_overflows;
static uint32_t s_init_count;
static E2eEvent s_events[E2E_MAX_EVENTS];
static size_t s_nevents;
static uint8_t s_body[E2E_BODY_MAX];
static size_t s_body_len;
static bool s_body_in_order = true;
static char s_apn[] = "internet";
static char s_debug[E2E_DEBUG_MAX + 1];
static size_t s_debug_len;

void e2e_hal_bind(SimModem* sim)
{
    s_sim = sim;
    s_overflows = 0;
}

SimModem* e2e_hal_sim(void)
{
    return s_sim;
}

uint32_t e2e_hal_now_ms(void)
{
    return s_sim ? sim_now(s_sim) : 0u;
}

void e2e_hal_set_power_key(bool activated)
{
    if (s_sim)
    {
        sim_set_pwrkey(s_sim, activated);
    }
}

void e2e_hal_set_reset(bool activated)
{
    if (s_sim)
    {
        sim_set_reset(s_sim, activated);
    }
}

bool e2e_hal_read_status(void)
{
    return s_sim ? sim_status(s_sim) : false;
}

void e2e_hal_uart_put(uint8_t byte)
{
    if (s_sim)
    {
        sim_host_write(s_sim, byte);
    }
}

bool e2e_hal_uart_available(void)
{
    return s_sim ? sim_host_can_read(s_sim) : false;
}

uint8_t e2e_hal_uart_get(void)
{
    return s_sim ? sim_host_read(s_sim) : 0u;
}

void e2e_hal_count_overflow(void)
{
    s_overflows++;
}

uint32_t e2e_hal_overflows(void)
{
    return s_overflows;
}

char* e2e_hal_apn(void)
{
    return s_apn;
}

void e2e_hal_debug_put(uint8_t byte)
{
    /* keeps the first E2E_DEBUG_MAX bytes; the length counts them all */
    if (s_debug_len < E2E_DEBUG_MAX)
    {
        s_debug[s_debug_len] = (char)byte;
        s_debug[s_debug_len + 1] = '\0';
    }
    s_debug_len++;
}

const char* e2e_hal_debug_text(void)
{
    return s_debug;
}

size_t e2e_hal_debug_length(void)
{
    return s_debug_len;
}

void e2e_hal_manager_init_ran(void)
{
    s_init_count++;
}

uint32_t e2e_hal_manager_init_count(void)
{
    return s_init_count;
}

void e2e_event(const char* module, int type, long a, long b, const char* text, long text_len)
{
    E2eEvent* e;
    size_t n;
    if (s_nevents >= E2E_MAX_EVENTS)
    {
        return;
    }
    e = &s_events[s_nevents++];
    memset(e, 0, sizeof *e);
    snprintf(e->module, sizeof e->module, "%s", module);
    e->type = type;
    e->a = a;
    e->b = b;
    e->time = e2e_hal_now_ms();
    if (text)
    {
        n = text_len < 0 ? strlen(text) : (size_t)text_len;
        if (n >= sizeof e->text)
        {
            n = sizeof e->text - 1;
        }
        memcpy(e->text, text, n);
        e->text[n] = '\0';
    }
}

size_t e2e_event_count(void)
{
    return s_nevents;
}

const E2eEvent* e2e_event_at(size_t index)
{
    return index < s_nevents ? &s_events[index] : NULL;
}

long e2e_find_event(const char* module, int type, size_t from)
{
    size_t i;
    for (i = from; i < s_nevents; i++)
    {
        if (s_events[i].type == type && strcmp(s_events[i].module, module) == 0)
        {
            return (long)i;
        }
    }
    return -1;
}

void e2e_events_clear(void)
{
    s_nevents = 0;
}

void e2e_body_append(const uint8_t* data, size_t offset, size_t len)
{
    if (len == 0)
    {
        return;
    }
    if (offset != s_body_len || data == NULL)
    {
        s_body_in_order = false;
    }
    if (data && s_body_len + len <= sizeof s_body)
    {
        memcpy(s_body + s_body_len, data, len);
        s_body_len += len;
    }
}

const uint8_t* e2e_body(size_t* len)
{
    if (len)
    {
        *len = s_body_len;
    }
    return s_body;
}

bool e2e_body_in_order(void)
{
    return s_body_in_order;
}

void e2e_body_clear(void)
{
    s_body_len = 0;
    s_body_in_order = true;
}
