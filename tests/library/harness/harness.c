/*
 * harness.c - simulator binding and event log for the library scenario tests.
 */
#include "harness.h"

#include <stdio.h>
#include <string.h>

#include "gsm_manager.h"

#include "GSM_PIN.h"
#include "GSM_Power.h"
#include "GSM_Prompt.h"
#include "GSM_SignalQuality.h"

/* The manager's instances (file-scope variables of gsm_manager.c). */
extern GSM_Power_Instance mGsmPwrInst;
extern GSM_Prompt_Instance mGsmPromptInst;

#define MAX_EVENTS 256

static SimModem* s_sim;
static bool s_buffered;
static uint8_t s_rx[4096];
static size_t s_rx_len;
static size_t s_rx_pos;
static uint8_t s_tx[4096];
static size_t s_tx_len;
static HarnessEvent s_events[MAX_EVENTS];
static size_t s_nevents;

HarnessOptions harness_default_options(void)
{
    HarnessOptions o;
    o.status_pin = true;
    o.reset_pin = true;
    o.data_buffer = true;
    o.echo_buffer = true;
    return o;
}

void harness_start(SimModem* sim, const HarnessOptions* options)
{
    HarnessOptions o = options ? *options : harness_default_options();
    s_sim = sim;
    s_nevents = 0;
    harness_set_baud(0);
    gsmmgrInit();
    if (!o.status_pin)
    {
        mGsmPwrInst.ReadStatus = NULL;
    }
    if (!o.reset_pin)
    {
        mGsmPwrInst.SetReset = NULL;
    }
    if (!o.data_buffer)
    {
        mGsmPromptInst.DataBuffer = NULL;
        mGsmPromptInst.DataBufferSize = 0;
    }
    if (!o.echo_buffer)
    {
        mGsmPromptInst.EchoCancellationBuffer = NULL;
        mGsmPromptInst.EchoCancellationBufferSize = 0;
    }
}

SimModem* harness_sim(void)
{
    return s_sim;
}

long harness_find_command(const char* cmd, size_t from)
{
    size_t i;
    for (i = from; i < sim_command_count(s_sim); i++)
    {
        if (strcmp(sim_command(s_sim, i), cmd) == 0)
        {
            return (long)i;
        }
    }
    return -1;
}

int harness_count_command(const char* cmd)
{
    int n = 0;
    long i = -1;
    while ((i = harness_find_command(cmd, (size_t)(i + 1))) >= 0)
    {
        n++;
    }
    return n;
}

int harness_count_command_prefix(const char* prefix)
{
    int n = 0;
    size_t i;
    for (i = 0; i < sim_command_count(s_sim); i++)
    {
        n += strncmp(sim_command(s_sim, i), prefix, strlen(prefix)) == 0;
    }
    return n;
}

void harness_set_buffered(bool buffered)
{
    s_buffered = buffered;
    s_rx_len = s_rx_pos = s_tx_len = 0;
}

void harness_buffered_before_poll(void)
{
    sim_host_new_poll(s_sim);
    s_rx_len = s_rx_pos = 0;
    while (s_rx_len < sizeof s_rx && sim_host_can_read(s_sim))
    {
        s_rx[s_rx_len++] = sim_host_read(s_sim);
    }
}

void harness_buffered_after_poll(void)
{
    size_t i;
    for (i = 0; i < s_tx_len; i++)
    {
        sim_host_write(s_sim, s_tx[i]);
    }
    s_tx_len = 0;
    /* bytes the library did not take this time: the modem sends them again first */
    if (s_rx_pos < s_rx_len)
    {
        sim_inject_raw_front(s_sim, s_rx + s_rx_pos, s_rx_len - s_rx_pos);
    }
    s_rx_len = s_rx_pos = 0;
}

size_t harness_buffered_rx_count(void)
{
    return s_rx_len;
}

size_t harness_buffered_tx_count(void)
{
    return s_tx_len;
}

void harness_poll(uint32_t ms)
{
    while (ms-- > 0)
    {
        if (s_buffered)
        {
            harness_buffered_before_poll();
            gsmmgrPoll();
            harness_buffered_after_poll();
        }
        else
        {
            sim_host_new_poll(s_sim);
            gsmmgrPoll();
        }
        sim_advance(s_sim, 1);
    }
}

bool harness_run_until(bool (*cond)(void), uint32_t timeout_ms)
{
    uint32_t t;
    for (t = 0; t < timeout_ms; t++)
    {
        if (cond())
        {
            return true;
        }
        harness_poll(1);
    }
    return cond();
}

size_t harness_event_count(void)
{
    return s_nevents;
}

const HarnessEvent* harness_event(size_t index)
{
    return index < s_nevents ? &s_events[index] : NULL;
}

long harness_find_event(const char* module, int type, size_t from)
{
    size_t i;
    for (i = from; i < s_nevents; i++)
    {
        if (strcmp(s_events[i].module, module) == 0 && s_events[i].type == type)
        {
            return (long)i;
        }
    }
    return -1;
}

bool harness_wait_event(const char* module, int type, uint32_t timeout_ms)
{
    uint32_t t;
    for (t = 0; t < timeout_ms && harness_find_event(module, type, 0) < 0; t++)
    {
        harness_poll(1);
    }
    return harness_find_event(module, type, 0) >= 0;
}

void harness_events_clear(void)
{
    s_nevents = 0;
}

void harness_record_event(const char* module, int type, int32_t a, int32_t b)
{
    if (s_nevents < MAX_EVENTS)
    {
        HarnessEvent* e = &s_events[s_nevents++];
        snprintf(e->module, sizeof e->module, "%s", module);
        e->type = type;
        e->a = a;
        e->b = b;
        e->time = s_sim ? sim_now(s_sim) : 0;
    }
}

uint32_t harness_hal_now(void)
{
    return s_sim ? sim_now(s_sim) : 0;
}

void harness_hal_set_power_key(bool activated)
{
    sim_set_pwrkey(s_sim, activated);
}

void harness_hal_set_reset(bool activated)
{
    sim_set_reset(s_sim, activated);
}

bool harness_hal_read_status(void)
{
    return sim_status(s_sim);
}

/* UART speed (harness_set_baud): microseconds per byte (0: every byte goes out at once), and the
 * simulated time in microseconds when the bytes written so far have gone out. */
static uint32_t s_us_per_byte;
static uint64_t s_tx_done_us;

void harness_set_baud(uint32_t baud)
{
    s_us_per_byte = baud > 0 ? 10000000u / baud : 0; /* 10 bits per byte */
    s_tx_done_us = 0;
}

void harness_hal_write(uint8_t byte)
{
    uint64_t now_us = (uint64_t)sim_now(s_sim) * 1000u;
    s_tx_done_us = (s_tx_done_us > now_us ? s_tx_done_us : now_us) + s_us_per_byte;
    if (s_buffered)
    {
        if (s_tx_len < sizeof s_tx)
        {
            s_tx[s_tx_len++] = byte;
        }
        return;
    }
    sim_host_write(s_sim, byte);
}

bool harness_hal_write_completed(void)
{
    return (uint64_t)sim_now(s_sim) * 1000u >= s_tx_done_us;
}

bool harness_hal_can_read(void)
{
    if (s_buffered)
    {
        return s_rx_pos < s_rx_len;
    }
    return sim_host_can_read(s_sim);
}

uint8_t harness_hal_read(void)
{
    if (s_buffered)
    {
        return s_rx_pos < s_rx_len ? s_rx[s_rx_pos++] : 0u;
    }
    return sim_host_read(s_sim);
}

void harness_on_pin_event(int event_type, void* event_data)
{
    int32_t a = 0;
    int32_t b = 0;
    if (event_type == GSM_PIN_EventType_SimStatus && event_data)
    {
        a = (int32_t)((GSM_PIN_Event_SimStatus*)event_data)->SimStatus;
    }
    else if (event_type == GSM_PIN_EventType_PinFailed && event_data)
    {
        a = (int32_t)((GSM_PIN_Event_PinFailed*)event_data)->Reason;
        b = ((GSM_PIN_Event_PinFailed*)event_data)->CmeError;
    }
    harness_record_event("PIN", event_type, a, b);
}

void harness_on_signal_quality_event(int event_type, void* event_data)
{
    int32_t a = 0;
    int32_t b = 0;
    if (event_type == GSM_SignalQuality_EventType_QuerySuccess && event_data)
    {
        a = ((GSM_SignalQuality_Event_QuerySuccess*)event_data)->rssi;
        b = ((GSM_SignalQuality_Event_QuerySuccess*)event_data)->ber;
    }
    harness_record_event("CSQ", event_type, a, b);
}
