/*
 * Hardware callbacks of the test managers (harness.h) for the size-report firmwares, reduced to
 * accesses of made-up memory-mapped registers.
 */
#include "fw_regs.h"
#include "harness.h"

uint32_t harness_hal_now(void) { return TIMER_MS; }
void harness_hal_set_power_key(bool activated) { GPIO_OUT = activated ? 1u : 0u; }
void harness_hal_set_reset(bool activated) { GPIO_OUT = activated ? 2u : 0u; }
bool harness_hal_read_status(void) { return (GPIO_IN & 1u) != 0u; }
void harness_hal_write(uint8_t byte) { UART_DATA = byte; }
bool harness_hal_write_completed(void) { return (UART_STATUS & 0x40u) != 0u; }
bool harness_hal_can_read(void) { return (UART_STATUS & 0x20u) != 0u; }
uint8_t harness_hal_read(void) { return (uint8_t)UART_DATA; }
void harness_on_pin_event(int event_type, void* event_data) { (void)event_data; GPIO_OUT = (uint8_t)event_type; }
void harness_on_signal_quality_event(int event_type, void* event_data) { (void)event_data; GPIO_OUT = (uint8_t)event_type; }
