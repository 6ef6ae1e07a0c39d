/*
 * chaos.c - the shared part of the seeded random-fault tests (see chaos.h).
 */
#include "chaos.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

ChaosCore g_chaos;

void chaos_begin(uint32_t seed, void (*check)(void))
{
    memset(&g_chaos, 0, sizeof g_chaos);
    g_chaos.rng = seed * 2654435761u;
    g_chaos.check = check;
}

uint32_t chaos_rnd(uint32_t n)
{
    g_chaos.rng = g_chaos.rng * 1664525u + 1013904223u;
    return ((g_chaos.rng >> 16) & 0x7FFFu) % n;
}

uint32_t chaos_now(void) { return g_chaos.sim != NULL ? sim_now(g_chaos.sim) : 0u; }

void chaos_note(const char* format, ...)
{
    char* t = g_chaos.trace;
    size_t size = sizeof g_chaos.trace;
    va_list ap;
    int n;
    if (g_chaos.trace_len + 200 >= size)
    {
        return; /* the trace is full: the first steps tell the most */
    }
    n = snprintf(t + g_chaos.trace_len, size - g_chaos.trace_len, "  @%u ", (unsigned)chaos_now());
    va_start(ap, format);
    vsnprintf(t + g_chaos.trace_len + n, size - g_chaos.trace_len - (size_t)n, format, ap);
    va_end(ap);
    g_chaos.trace_len = strlen(t);
    t[g_chaos.trace_len++] = '\n';
    t[g_chaos.trace_len] = '\0';
}

void chaos_hang(uint32_t max_ms)
{
    g_chaos.hung = true;
    g_chaos.hung_until = chaos_now() + 1000u + chaos_rnd(max_ms);
    chaos_note("modem hangs until @%u", (unsigned)g_chaos.hung_until);
    sim_set_hung(g_chaos.sim, true);
}

void chaos_garbage(const char* alphabet, size_t len, size_t max)
{
    uint8_t g[64];
    size_t i, n = 1u + chaos_rnd((uint32_t)(max < sizeof g ? max : sizeof g));
    for (i = 0; i < n; i++)
    {
        g[i] = (uint8_t)alphabet[chaos_rnd((uint32_t)len)];
    }
    chaos_note("%u garbage bytes", (unsigned)n);
    sim_inject_raw(g_chaos.sim, g, n);
}

void chaos_fragment(void)
{
    uint32_t frag = chaos_rnd(9);
    chaos_note("line fragments of %u bytes", (unsigned)frag);
    sim_set_fragment(g_chaos.sim, frag);
}

uint32_t chaos_lose_bytes(void)
{
    uint32_t every = 3u + chaos_rnd(40), ms = 100u + chaos_rnd(2000);
    chaos_note("every %u. byte lost for %u ms", (unsigned)every, (unsigned)ms);
    sim_drop_rx_bytes(g_chaos.sim, every, ms);
    return ms;
}

static void set_registration(uint8_t stat)
{
    sim_set_registration(g_chaos.sim, SIM_REG_CS, stat);
    sim_set_registration(g_chaos.sim, SIM_REG_GPRS, stat);
    sim_set_registration(g_chaos.sim, SIM_REG_EPS, stat);
}

bool chaos_lose_registration(uint8_t stat, const uint32_t* durations, uint32_t count, SimRegDomain domain)
{
    /* out of coverage once the modem is registered (a booting modem is not yet) */
    if (g_chaos.reg_lost || !sim_is_on(g_chaos.sim) || sim_registration(g_chaos.sim, domain) != 1)
    {
        return false;
    }
    g_chaos.reg_lost = true;
    g_chaos.reg_until = chaos_now() + durations[chaos_rnd(count)];
    g_chaos.reg_boots = sim_boot_count(g_chaos.sim);
    chaos_note("registration %u until @%u", stat, (unsigned)g_chaos.reg_until);
    set_registration(stat);
    return true;
}

/* The coverage is back. A modem that restarted meanwhile has registered by itself (a restart clears
 * the registration, and setting it during the boot would register a modem before it could). */
static void end_registration_loss(void)
{
    g_chaos.reg_lost = false;
    if (sim_boot_count(g_chaos.sim) == g_chaos.reg_boots)
    {
        set_registration(1);
        chaos_note("registration back");
    }
}

void chaos_end_faults(void)
{
    chaos_note("faults end");
    g_chaos.hung = false;
    sim_set_hung(g_chaos.sim, false);
    if (g_chaos.reg_lost)
    {
        end_registration_loss();
    }
    sim_fail_next_command(g_chaos.sim, -1);
    sim_set_fragment(g_chaos.sim, 0);
}

void chaos_run(uint32_t ms)
{
    while (ms > 0)
    {
        uint32_t slice = ms < 10 ? ms : 10;
        harness_poll(slice);
        ms -= slice;
        if (g_chaos.hung && (int32_t)(chaos_now() - g_chaos.hung_until) >= 0)
        {
            g_chaos.hung = false;
            sim_set_hung(g_chaos.sim, false);
            chaos_note("hang ends");
        }
        if (g_chaos.reg_lost && (int32_t)(chaos_now() - g_chaos.reg_until) >= 0)
        {
            end_registration_loss();
        }
        if (g_chaos.check != NULL)
        {
            g_chaos.check();
        }
    }
}

bool chaos_run_until(bool (*cond)(void), uint32_t ms)
{
    uint32_t t;
    for (t = 0; t < ms && !cond(); t += 10)
    {
        chaos_run(10);
    }
    return cond();
}

/* The last `tail` bytes of a byte stream, escaped. */
static void print_stream(const char* name, const char* bytes, size_t len, size_t tail)
{
    size_t i;
    fprintf(stderr, "  %s ", name);
    for (i = len > tail ? len - tail : 0; i < len; i++)
    {
        unsigned char b = (unsigned char)bytes[i];
        fprintf(stderr, b == '\n' ? "\\n\n     " : (b < 0x20 || b >= 0x7F) ? "\\x%02X" : "%c", b);
    }
    fprintf(stderr, "\n");
}

void chaos_print_dialogue(size_t last_commands, size_t tail)
{
    size_t i, len, n = sim_command_count(g_chaos.sim);
    const char* bytes;
    fprintf(stderr, "%s", g_chaos.trace);
    for (i = n > last_commands ? n - last_commands : 0; i < n; i++)
    {
        fprintf(stderr, "  H %s\n", sim_command(g_chaos.sim, i));
    }
    bytes = sim_tx(g_chaos.sim, &len);
    print_stream("host:", bytes, len, tail);
    bytes = sim_rx(g_chaos.sim, &len);
    print_stream("modem:", bytes, len, tail);
}
