/*
 * harness.h - connects a manager unit (gsm_manager.c: the wiring of the library modules) to the
 * modem simulator, and records the events the library raises.
 *
 * The manager's hardware callbacks call the harness_hal_* functions from their USER CODE sections,
 * its event handlers call harness_on_*_event. Tests drive time with harness_poll(); every simulated
 * millisecond runs one gsmmgrPoll().
 */
#ifndef HARNESS_H_
#define HARNESS_H_

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#include "modem_sim.h"

#ifdef __cplusplus
extern "C" {
#endif

/** How the board is wired (applied right after gsmmgrInit()). */
typedef struct HarnessOptions
{
    bool status_pin;  /**< STATUS input wired (ReadStatus callback set) */
    bool reset_pin;   /**< RESET line wired (SetReset callback set) */
    bool data_buffer; /**< Prompt DataBuffer supplied */
    bool echo_buffer; /**< Prompt EchoCancellationBuffer supplied */
} HarnessOptions;

/** All wired, both buffers supplied. */
HarnessOptions harness_default_options(void);

/** Binds the simulator, calls gsmmgrInit() and applies the options. */
void harness_start(SimModem* sim, const HarnessOptions* options);

/** Runs `ms` milliseconds: per ms one gsmmgrPoll() (new fragment window first), then the simulator. */
void harness_poll(uint32_t ms);

/** Runs until cond() is true (checked every ms) or timeout_ms passed. Returns cond(). */
bool harness_run_until(bool (*cond)(void), uint32_t timeout_ms);

/**
 * Buffered mode (for instruction counts): before each poll the bytes the modem has sent are copied
 * into a plain array that gsmRead() drains, and the bytes gsmWrite() queues reach the modem after the
 * poll, so a poll costs what it costs with a real circular buffer. harness_poll() does this itself.
 */
void harness_set_buffered(bool buffered);
/** One poll in buffered mode, split so that a tool can measure the gsmmgrPoll() call alone. */
void harness_buffered_before_poll(void);
void harness_buffered_after_poll(void);
/** Bytes handed to the library in the present poll (buffered mode). */
size_t harness_buffered_rx_count(void);
/** Bytes the library wrote in the present poll (buffered mode, before harness_buffered_after_poll). */
size_t harness_buffered_tx_count(void);

/** The simulator bound by harness_start. */
SimModem* harness_sim(void);

/** Number of commands equal to `cmd` the modem received since the last sim_tx_clear. */
int harness_count_command(const char* cmd);
/** Number of commands that begin with `prefix` since the last sim_tx_clear. */
int harness_count_command_prefix(const char* prefix);
/** Index of the first command equal to `cmd` at or after `from`, or -1. */
long harness_find_command(const char* cmd, size_t from);

/* ---- events ---- */

typedef struct HarnessEvent
{
    char module[16]; /**< "PIN", "CSQ", ... */
    int type;        /**< the module's event type value */
    int32_t a;       /**< first payload field (SIM status, reason, rssi) or 0 */
    int32_t b;       /**< second payload field (CME error, ber) or 0 */
    uint32_t time;   /**< simulated time */
} HarnessEvent;

size_t harness_event_count(void);
const HarnessEvent* harness_event(size_t index);
/** Index of the first event of module/type at or after `from`, or -1. */
long harness_find_event(const char* module, int type, size_t from);
/** Runs until an event of module/type is recorded (checked every ms) or timeout_ms passed. */
bool harness_wait_event(const char* module, int type, uint32_t timeout_ms);
void harness_events_clear(void);
/** Records an event (for the event handlers of other modules). */
void harness_record_event(const char* module, int type, int32_t a, int32_t b);

/* ---- called from the manager's USER CODE sections ---- */

uint32_t harness_hal_now(void);
void harness_hal_set_power_key(bool activated);
void harness_hal_set_reset(bool activated);
bool harness_hal_read_status(void);
void harness_hal_write(uint8_t byte);
bool harness_hal_write_completed(void);
/** UART speed towards the modem: harness_hal_write_completed() is false until the bytes written have
 *  gone out at `baud` (10 bits a byte); 0 (the default): at once. */
void harness_set_baud(uint32_t baud);
bool harness_hal_can_read(void);
uint8_t harness_hal_read(void);
void harness_on_pin_event(int event_type, void* event_data);
void harness_on_signal_quality_event(int event_type, void* event_data);


#ifdef __cplusplus
}
#endif

#endif /* HARNESS_H_ */
