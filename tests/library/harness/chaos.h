/*
 * chaos.h - what the seeded random-fault tests share: their random numbers, the trace of a seed's
 * steps, the faults that end by themselves (a hang, a loss of registration) and the loop that runs
 * the simulated time in 10 ms slices, ends those faults when due and checks the test's invariants
 * after every slice.
 */
#ifndef CHAOS_H
#define CHAOS_H

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#include "harness.h"
#include "modem_sim.h"

typedef struct ChaosCore
{
    uint32_t rng;
    SimModem* sim;
    void (*check)(void); /* the test's invariants, after every slice of chaos_run */
    bool hung, reg_lost;
    uint32_t hung_until, reg_until, reg_boots;
    char trace[16000];
    size_t trace_len;
} ChaosCore;

extern ChaosCore g_chaos;

/* A new seed: the random sequence starts from `seed`, the trace is emptied, `check` is kept. Set
 * g_chaos.sim once the seed's modem exists (no time passes before: chaos_now() is 0). */
void chaos_begin(uint32_t seed, void (*check)(void));
/* A random number below n. */
uint32_t chaos_rnd(uint32_t n);
uint32_t chaos_now(void);
/* Adds a line, with the simulated time, to the seed's trace. */
void chaos_note(const char* format, ...) __attribute__((format(printf, 1, 2)));

/* The modem answers nothing from now on, for 1 s plus up to `max_ms`. */
void chaos_hang(uint32_t max_ms);
/* Garbage of 1 to `max` bytes (at most 64) drawn from the `len` bytes of `alphabet`, sent by the
 * modem now. */
void chaos_garbage(const char* alphabet, size_t len, size_t max);
/* The modem's output arrives in fragments of 0 (whole lines) to 8 bytes from now on. */
void chaos_fragment(void);
/* Every 3rd to 42nd byte of the modem's output is lost for 100 ms to 2.1 s; returns that time. */
uint32_t chaos_lose_bytes(void);
/* Registration `stat` in every domain for one of the `count` `durations` (drawn then), once the
 * modem is registered in `domain`; false (nothing done, nothing drawn) while it is not, or while a
 * loss runs already. */
bool chaos_lose_registration(uint8_t stat, const uint32_t* durations, uint32_t count, SimRegDomain domain);
/* Ends the hang and the registration loss, refused commands and fragments. */
void chaos_end_faults(void);

/* Runs `ms` of simulated time in slices (see above). */
void chaos_run(uint32_t ms);
/* Runs until cond() or `ms` passed; returns cond(). */
bool chaos_run_until(bool (*cond)(void), uint32_t ms);

/* The trace, the last `last_commands` commands and the last `tail` bytes each way, to stderr. */
void chaos_print_dialogue(size_t last_commands, size_t tail);

#endif /* CHAOS_H */
