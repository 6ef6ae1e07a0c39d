/* Made-up memory-mapped registers of the size-report firmwares (never run, only linked). */
#ifndef FW_REGS_H_
#define FW_REGS_H_

#include <stdint.h>

#if defined(__AVR__)
#define REG8(addr) (*(volatile uint8_t*)(uintptr_t)(addr))
#define UART_DATA REG8(0xC6u)
#define UART_STATUS REG8(0xC0u)
#define GPIO_OUT REG8(0x25u)
#define GPIO_IN REG8(0x23u)
#define TIMER_MS (*(volatile uint32_t*)(uintptr_t)0x200u)
#else
#define REG32(addr) (*(volatile uint32_t*)(uintptr_t)(addr))
#define UART_DATA REG32(0x40004000u)
#define UART_STATUS REG32(0x40004004u)
#define GPIO_OUT REG32(0x50000000u)
#define GPIO_IN REG32(0x50000004u)
#define TIMER_MS REG32(0x40008000u)
#endif

#endif /* FW_REGS_H_ */
