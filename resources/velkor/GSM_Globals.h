/*
 * GSM_Globals.h - switches shared by every file of the Velkor modem library.
 *
 * Every library header includes this file first. It pulls in the standard headers the library
 * relies on (fixed-width integers, bool, size_t) and holds the few compile-time switches. Each
 * switch may also be given on the compiler command line (-DGSM_DEBUG=1), which takes precedence.
 */
#ifndef GSM_GLOBALS_H_
#define GSM_GLOBALS_H_

#include <stdint.h>
#include <stdbool.h>
#include <stddef.h>

/* ---- Debug output ------------------------------------------------------------------------------
 * 0: no debug output (default).
 * 1: the library reports what it does through gsmDebugWriteText() (see GSM_Required_Externals.h).
 *    The generated manager defines that function when the Start module's debug output is ticked.
 */
#ifndef GSM_DEBUG
#define GSM_DEBUG 0
#endif

/* ---- Modem family ------------------------------------------------------------------------------
 * The library adapts to the modem at run time (for example it finds out whether +CEREG exists), so
 * GSM_MODEM_FAMILY_ANY works with every supported modem. Naming the family changes defaults that
 * cannot be learnt from the modem (the power-key press lengths and the boot time-outs) and one
 * behaviour of Basic Comms: unless the family is LTE, a modem that answers a probe only after
 * unanswered commands is set up again in a new session (a 2G modem in auto-baud mode may have
 * restarted silently), upon which every module sets itself up again; with GSM_MODEM_FAMILY_LTE the
 * session goes on.
 */
#define GSM_MODEM_FAMILY_ANY 0 /* defaults that suit both families */
#define GSM_MODEM_FAMILY_2G  1 /* SIM800 / SIM900 class */
#define GSM_MODEM_FAMILY_LTE 2 /* SIM7600, A76xx class */

#ifndef GSM_MODEM_FAMILY
#define GSM_MODEM_FAMILY GSM_MODEM_FAMILY_ANY
#endif

/* ---- Compiler detection ------------------------------------------------------------------------ */
#if defined(__GNUC__) || defined(__clang__)
#define GSM_UNUSED __attribute__((unused))
/* Keeps a small static function out of line where inlining its copies would cost more flash. */
#define GSM_NOINLINE __attribute__((noinline))
/* Folds a small static function with few callers into them where gcc at -Os would keep it out of
 * line although the copies cost less flash than the calls (chosen by measuring, function by
 * function). */
#define GSM_ALWAYS_INLINE __attribute__((always_inline)) inline
#else
#define GSM_UNUSED
#define GSM_NOINLINE
#define GSM_ALWAYS_INLINE
#endif
/* The same two where they pay on 32-bit cores only. On AVR a call passes its arguments in more
 * registers and saves more of them around itself, which changes the balance: there gcc decides. */
#if defined(__AVR__)
#define GSM_NOINLINE_32
#define GSM_ALWAYS_INLINE_32
#else
#define GSM_NOINLINE_32      GSM_NOINLINE
#define GSM_ALWAYS_INLINE_32 GSM_ALWAYS_INLINE
#endif

/* A condition on constants that the code below relies on: a false one stops the compilation (a
 * negative array size; C99 has no _Static_assert). */
#define GSM_STATIC_ASSERT(name, cond) typedef char name[(cond) ? 1 : -1]

/* The generated manager defines every library instance as `GSM_..._Instance mGsm...Inst = {0};`.
 * That zero-initialises the whole struct in C and C++ alike, but g++ -Wextra reports each member
 * not named in the braces, and clang++ -Wall asks for braces around an instance whose first member
 * is a struct (the Prompt's interface). The library headers are included before those definitions,
 * so both warnings are turned off here for C++ translation units (for the rest of the file: a
 * pragma cannot end at the manager's last line); C compilers do not issue them for {0}. */
#if defined(__cplusplus) && (defined(__GNUC__) || defined(__clang__))
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wmissing-braces"
#endif

/* ---- Constant data in program memory -----------------------------------------------------------
 * avr-gcc copies every constant (strings, tables) into RAM at start-up, because the AVR reads flash
 * only with special instructions. Private constant texts and tables that only the library's own
 * code reads are therefore defined with GSM_PGM and read with GSM_PGM_READ_BYTE() (GSM_PGM_READ_WORD()
 * for uint16_t tables): on AVR they stay in flash, on every other target both are plain C (a normal
 * read). Data handed to another module as a pointer (command specs, URC prefix lists) must stay in
 * RAM: never mark it.
 */
#if defined(__AVR__)
#include <avr/pgmspace.h>
#define GSM_PGM PROGMEM
#define GSM_PGM_READ_BYTE(addr) ((uint8_t)pgm_read_byte(addr))
#define GSM_PGM_READ_WORD(addr) ((uint16_t)pgm_read_word(addr))
#else
#define GSM_PGM
#define GSM_PGM_READ_BYTE(addr) (*(const uint8_t*)(const void*)(addr))
#define GSM_PGM_READ_WORD(addr) (*(const uint16_t*)(const void*)(addr))
#endif

/* Marks a parameter as intentionally unused (keeps -Wextra quiet in callbacks). */
#define GSM_UNUSED_ARG(x) ((void)(x))

/* Wrap-around safe time comparison for the 32-bit millisecond clock: true when `now` has reached
 * or passed `deadline`, provided the two are less than 2^31 ms (about 24 days) apart. */
#define GSM_TIME_REACHED(now, deadline) ((uint32_t)((uint32_t)(now) - (uint32_t)(deadline)) < 0x80000000UL)

/* Milliseconds elapsed since `since` (unsigned subtraction, correct across the 2^32 wrap). */
#define GSM_TIME_ELAPSED(now, since) ((uint32_t)((uint32_t)(now) - (uint32_t)(since)))

/* Recovers the instance that embeds the interface member `member` (the `_i` of each module). */
#define GSM_CONTAINER_OF(ptr, type, member) ((type*)(void*)((uint8_t*)(ptr)-offsetof(type, member)))

/* What the application supplies (gsm__SysTime_ms, the debug output). Declared through every library
 * header so that the manager's definitions get C linkage in C++ projects as well. */
#include "GSM_Required_Externals.h"

#endif /* GSM_GLOBALS_H_ */
