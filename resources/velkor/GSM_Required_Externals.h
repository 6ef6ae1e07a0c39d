/*
 * GSM_Required_Externals.h - what the application must supply to the Velkor modem library.
 *
 * The generated manager (gsm_manager.c / .cpp) defines these functions with C linkage; fill in
 * their USER CODE sections.
 */
#ifndef GSM_REQUIRED_EXTERNALS_H_
#define GSM_REQUIRED_EXTERNALS_H_

#include "GSM_Globals.h"

#ifdef __cplusplus
extern "C" {
#endif

/**
 * Present value of a free-running 1 ms system timer (for example millis() or HAL_GetTick()).
 * The value may wrap around at 2^32; the library only ever subtracts two readings.
 * Called from the library's poll functions (main-loop context), never from an interrupt.
 */
uint32_t gsm__SysTime_ms(void);

/** The system time in ticks of 2^shift ms, low 8 bits: a one-byte timer for waits up to 255 ticks,
 *  (uint8_t)(GSM_TICKS8_NOW(shift) - start) being the whole ticks passed. (On AVR the time is
 *  shifted as a 16-bit value when that keeps the 8 bits: shorter code.) */
#if defined(__AVR__)
#define GSM_TICKS8_NOW(shift) \
    ((uint8_t)(((shift) <= 8) ? ((uint16_t)gsm__SysTime_ms() >> (shift)) : (gsm__SysTime_ms() >> (shift))))
#else
#define GSM_TICKS8_NOW(shift) ((uint8_t)(gsm__SysTime_ms() >> (shift)))
#endif

/**
 * Debug output: writes the zero-terminated text to a debug port (the generated manager queues it in
 * its debug transmit buffer). Only needed when GSM_DEBUG is 1 in GSM_Globals.h. The library never
 * modifies the text; the parameter is not const because the manager's function is declared that way.
 * Declared whatever GSM_DEBUG is, so that a C++ manager compiled without the switch (set only for the
 * library's sources) still defines it with C linkage, under the name the library calls.
 */
void gsmDebugWriteText(char* text);
#if GSM_DEBUG
#define GSM_DEBUG_TEXT(text) gsmDebugWriteText((char*)(text))
#else
#define GSM_DEBUG_TEXT(text) ((void)0)
#endif

#ifdef __cplusplus
}
#endif

#endif /* GSM_REQUIRED_EXTERNALS_H_ */
