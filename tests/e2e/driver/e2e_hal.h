/*
 * e2e_hal.h - the board of the end-to-end tests: what the USER CODE sections of a generated
 * gsm_manager call to reach the modem simulator (serial line, power key, reset and STATUS lines,
 * 1 ms clock), and a log of the events the generated event handlers report.
 *
 * Written in plain C; the generated manager may be C or C++, so everything here has C linkage.
 */
#ifndef E2E_HAL_H_
#define E2E_HAL_H_

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#include "modem_sim.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- the board ---- */

/** Binds the simulator that the HAL functions talk to (NULL unbinds). */
void e2e_hal_bind(SimModem* sim);
SimModem* e2e_hal_sim(void);

uint32_t e2e_hal_now_ms(void);
void e2e_hal_set_power_key(bool activated);
void e2e_hal_set_reset(bool activated);
bool e2e_hal_read_status(void);

/** The modem's UART as the firmware sees it: a byte to send, and received bytes. */
void e2e_hal_uart_put(uint8_t byte);
bool e2e_hal_uart_available(void);
uint8_t e2e_hal_uart_get(void);

/** Bytes that a full circular buffer had to drop (must stay 0). */
void e2e_hal_count_overflow(void);
uint32_t e2e_hal_overflows(void);

/** The APN that gsmGetAPN hands to the library. */
char* e2e_hal_apn(void);

/** The debug UART of the Start module: bytes gsmDebugTxPoll hands over, kept as zero-terminated text. */
void e2e_hal_debug_put(uint8_t byte);
const char* e2e_hal_debug_text(void);
size_t e2e_hal_debug_length(void);

/** Bookkeeping of the manager's own USER CODE (Init and Poll sections). */
void e2e_hal_manager_init_ran(void);
uint32_t e2e_hal_manager_init_count(void);

/* ---- event log ---- */

typedef struct E2eEvent
{
    char module[8]; /**< "PIN", "CSQ", "SEND", "READ", "USSD", "HTTP", "MQTT" */
    int type;       /**< the module's event type value */
    long a;         /**< first payload number (see the handler texts) */
    long b;         /**< second payload number */
    char text[160]; /**< payload text, if any */
    uint32_t time;  /**< simulated time */
} E2eEvent;

/** Records an event; `text` may be NULL, `text_len` < 0 means zero-terminated. */
void e2e_event(const char* module, int type, long a, long b, const char* text, long text_len);
size_t e2e_event_count(void);
const E2eEvent* e2e_event_at(size_t index);
/** Index of the first event of module/type at or after `from`, or -1. */
long e2e_find_event(const char* module, int type, size_t from);
void e2e_events_clear(void);

/** Bytes appended by HTTP body chunks and MQTT payload chunks (assembled in order). */
void e2e_body_append(const uint8_t* data, size_t offset, size_t len);
const uint8_t* e2e_body(size_t* len);
/** True while every chunk continued the previous one. */
bool e2e_body_in_order(void);
void e2e_body_clear(void);

#ifdef __cplusplus
}
#endif

#endif /* E2E_HAL_H_ */
