/*
 * Instruction counts per poll under callgrind. Runs a scenario against the simulator (2G, echo on:
 * start-up, PIN entry, signal query, registration changes, a hang with recovery and PIN entry again)
 * in buffered mode and asks callgrind for one dump per measured gsmmgrPoll(): every poll in which
 * bytes arrived, and every 500th poll without received bytes once communication is established
 * ("idle" when the library wrote nothing either, "sending" when a timer made it send a command).
 * scripts/size_report.sh evaluates the dumps.
 */
#include <stdio.h>

#include <valgrind/callgrind.h>

#include "gsm_manager.h"
#include "harness.h"
#include "modem_sim.h"

static SimModem* s_sim;
static unsigned long s_poll;

static void measured_poll(void)
{
    size_t rx;
    bool established;
    char label[32];
    harness_buffered_before_poll();
    rx = harness_buffered_rx_count();
    established = gsmmgrBasicCommsCommunicationEstablished();
    snprintf(label, sizeof label, "idle %lu", s_poll); /* the poll number, to look a poll up */
    if (rx > 0 || (established && s_poll % 500 == 0))
    {
        CALLGRIND_ZERO_STATS;
        gsmmgrPoll();
        if (rx > 0)
        {
            CALLGRIND_DUMP_STATS_AT("busy");
        }
        else if (harness_buffered_tx_count() > 0)
        {
            CALLGRIND_DUMP_STATS_AT("sending"); /* nothing received, but a timer started a command */
        }
        else
        {
            CALLGRIND_DUMP_STATS_AT(label);
        }
    }
    else
    {
        gsmmgrPoll();
    }
    harness_buffered_after_poll();
    sim_advance(s_sim, 1);
    s_poll++;
}

static void run(uint32_t ms)
{
    while (ms-- > 0)
    {
        measured_poll();
    }
}

int main(void)
{
    SimConfig cfg;
    sim_config_default(&cfg, SIM_FAMILY_2G);
    cfg.card = SIM_CARD_PIN;
    s_sim = sim_create(&cfg);
    harness_start(s_sim, NULL);
    harness_set_buffered(true);
    run(8000);
    gsmmgrPinEnter(1234);
    run(6000);
    (void)gsmmgrSignalQualityQuery();
    run(2000);
    sim_set_registration(s_sim, SIM_REG_CS, 5);
    run(2000);
    sim_set_hung(s_sim, true);
    (void)gsmmgrSignalQualityQuery();
    run(30000);
    gsmmgrPinEnter(1234); /* the restarted modem asks for the PIN again */
    run(8000);
    printf("established=%d registered=%d polls=%lu\n", gsmmgrBasicCommsCommunicationEstablished(),
           gsmmgrNetworkRegistrationIsRegistered(), s_poll);
    sim_destroy(s_sim);
    return 0;
}
