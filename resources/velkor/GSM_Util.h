/*
 * GSM_Util.h - small helpers shared by the Velkor modem library modules.
 *
 * - modem date/time text ("yy/MM/dd,hh:mm:ss+zz") to epoch seconds;
 * - integer formatting into caller buffers (no printf: it costs kilobytes on small targets);
 * - bounded parsing of modem lines (prefix tests, comma separated numeric and quoted fields).
 *
 * Modem lines handed to the modules are NOT zero-terminated: every function that reads a line takes
 * its length. All functions are pure (no state), reentrant, and may be called from an interrupt.
 */
#ifndef GSM_UTIL_H_
#define GSM_UTIL_H_

#include "GSM_Globals.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Date and time ---------------------------------------------------------------------------- */

/**
 * Converts a modem time stamp to seconds since 1970-01-01 00:00:00 UTC.
 * Accepted text: "yy/MM/dd,hh:mm:ss" optionally followed by "+zz" or "-zz" (time zone in quarter
 * hours, as printed by +CCLK and SMS time stamps); surrounding double quotes are allowed. Years
 * "yy" are 2000 + yy.
 * @param text        the time stamp (need not be zero-terminated)
 * @param len         number of characters in text
 * @param epoch_utc   receives the epoch seconds in UTC (local time minus the zone offset)
 * @param tz_quarters receives the zone offset in quarter hours (may be NULL; 0 when absent)
 * @return true on success; false when an argument is NULL or the text is malformed or out of range
 *         (outputs are then left unchanged).
 */
bool gsmUtilDateTimeToEpoch(const char* text, uint16_t len, uint32_t* epoch_utc, int8_t* tz_quarters);

/**
 * Seconds since 1970-01-01 for a calendar date and time (no time zone applied).
 * @return the epoch seconds, or 0 when a field is out of range (year 1970..2105, month 1..12,
 *         day 1..days of that month, hour 0..23, minute 0..59, second 0..59).
 */
uint32_t gsmUtilCalendarToEpoch(uint16_t year, uint8_t month, uint8_t day, uint8_t hour, uint8_t minute, uint8_t second);

/* ---- Number formatting ------------------------------------------------------------------------ */

/**
 * Writes `value` in decimal, left-padded with zeros to at least `min_digits` digits, and a
 * terminating zero. Example: value 123, min_digits 4 -> "0123".
 * @param buf  destination; @param size its size in bytes (including the terminator)
 * @return number of characters written without the terminator, or 0 when buf is NULL or too small
 *         (buf then holds "" when size > 0).
 */
uint8_t gsmUtilUintToStr(char* buf, uint8_t size, uint32_t value, uint8_t min_digits);

/** As gsmUtilUintToStr, for signed values ("-" sign for negatives, no sign for positives). */
uint8_t gsmUtilIntToStr(char* buf, uint8_t size, int32_t value);

/**
 * Number of bytes of `text` that can stand between the double quotes of a command parameter: up to
 * its terminator, its first control byte (below 0x20: a CR would end the command line) or its first
 * '"' (which would end the parameter). 0 for NULL.
 */
uint32_t gsmUtilQuotableLength(const char* text);

/* ---- Line parsing ----------------------------------------------------------------------------- */

/** True when the first `len` characters of `line` begin with the zero-terminated `prefix`. */
bool gsmUtilStartsWith(const char* line, uint16_t len, const char* prefix);

/** True when the line (length len) equals the zero-terminated text exactly. */
bool gsmUtilEquals(const char* line, uint16_t len, const char* text);

/**
 * Finds the line in a list of texts: `list` holds zero-terminated texts one after another and ends
 * with an empty text ("READY\0SIM PIN\0" as a C literal adds the final zero). The list may be
 * defined with GSM_PGM (it is read with GSM_PGM_READ_BYTE).
 * @return 1 for the first text, 2 for the second...; 0 when no text equals the line exactly.
 */
uint8_t gsmUtilMatchText(const char* line, uint16_t len, const char* list);

/**
 * Finds the line in a list of texts laid out as for gsmUtilMatchText, by the rule `mode`:
 * - GSM_UTIL_MATCH_EXACT: the text equals the line (gsmUtilMatchText);
 * - GSM_UTIL_MATCH_COLON: a text that ends with ':' begins the line, the others equal it
 *   ("OK\0+CME ERROR:\0" finds "OK" and "+CME ERROR: 10");
 * - GSM_UTIL_MATCH_PREFIX: the text begins the line.
 * @return 1 for the first text that matches, 2 for the second...; 0 when none does.
 */
uint8_t gsmUtilMatchList(const char* line, uint16_t len, const char* list, uint8_t mode);

#define GSM_UTIL_MATCH_EXACT  0u
#define GSM_UTIL_MATCH_COLON  1u
#define GSM_UTIL_MATCH_PREFIX 2u

/**
 * Text `index` (0 for the first) of a list laid out as for gsmUtilMatchText; empty texts count as
 * entries ("\0TERM\0INIT" has "" at 0). The index must be within the list.
 * @return its address (in program memory when the list is defined with GSM_PGM).
 */
const char* gsmUtilListText(const char* list, uint8_t index);

/**
 * Parses an unsigned decimal number starting at line[*pos], skipping leading blanks. On success
 * *pos moves past the digits. Values above 0xFFFFFFFF are rejected.
 * @return true when at least one digit was read.
 */
bool gsmUtilParseUint(const char* line, uint16_t len, uint16_t* pos, uint32_t* value);

/**
 * Numeric field `index` (0-based) of a "+XXX: a,b,c" line: fields start after the first ':' (or at
 * the line start when there is none) and are separated by commas outside double quotes.
 * @return true when the field exists and is a plain unsigned number (blanks around it allowed).
 */
bool gsmUtilFieldUint(const char* line, uint16_t len, uint8_t index, uint32_t* value);

/**
 * Locates field `index` as gsmUtilFieldUint does, without interpreting it. Surrounding blanks and,
 * for a quoted field, the double quotes are excluded from the result.
 * @param start receives the offset of the field text in line; @param flen its length
 * @param quoted receives whether the field was a quoted string (may be NULL)
 * @return true when the field exists.
 */
bool gsmUtilField(const char* line, uint16_t len, uint8_t index, uint16_t* start, uint16_t* flen, bool* quoted);

/**
 * Reads the leading fields of a "+XXX: a,b,c" line (fields as for gsmUtilFieldUint) that are plain
 * unsigned numbers, up to the end of the line or the first field that is not one. Cheaper than
 * calls of gsmUtilFieldUint for lines made of numbers ("+CSQ: 21,99", "+CREG: 1,5").
 * @param values receives the first `max` numbers (may be NULL when max is 0)
 * @return how many leading fields are numbers (at most 127), plus GSM_UTIL_FIELDS_MORE when
 *         another field (empty, quoted or not a number) follows them; 0 | GSM_UTIL_FIELDS_MORE when
 *         the first field is not a number (or the line has no field).
 */
uint8_t gsmUtilUintFields(const char* line, uint16_t len, uint32_t* values, uint8_t max);

/** gsmUtilUintFields: a field that is not a plain number follows the numbers. */
#define GSM_UTIL_FIELDS_MORE 0x80u

/** Number of comma separated fields after the ':' (0 for an empty remainder). */
uint8_t gsmUtilFieldCount(const char* line, uint16_t len);

/**
 * Copies field `index` (quotes removed) into dst with a terminating zero.
 * @return false when the field does not exist or does not fit (dst then holds "" if dst_size > 0).
 */
bool gsmUtilFieldCopy(const char* line, uint16_t len, uint8_t index, char* dst, uint16_t dst_size);

/**
 * Copies field `index` (quotes removed) into dst, cut to dst_size - 1 characters, with a
 * terminating zero (dst holds "" when the field does not exist).
 * @return 0 when the field does not exist (or dst is NULL or dst_size 0: nothing is written), 1 when
 *         it was copied whole, 2 when it was cut.
 */
uint8_t gsmUtilFieldCopyCut(const char* line, uint16_t len, uint8_t index, char* dst, uint16_t dst_size);

/** A text being received into a caller's buffer (gsmUtilTextPut). Before the first byte: Len 0,
 *  GSM_UTIL_TEXT_CR and GSM_UTIL_TEXT_CUT clear, the buffer's first byte 0. */
typedef struct GSM_Util_Text
{
    uint16_t Len;  /**< characters in the buffer (a terminator follows them) */
    uint8_t Flags; /**< GSM_UTIL_TEXT_...; the other bits are the caller's */
} GSM_Util_Text;

/** gsmUtilTextPut: the last byte taken was CR (an LF right after it belongs to the same line break). */
#define GSM_UTIL_TEXT_CR  0x40u
/** gsmUtilTextPut: the text was longer than the buffer and was cut. */
#define GSM_UTIL_TEXT_CUT 0x80u

/**
 * Appends one received byte of a message text (an SMS body, a USSD answer) to the text in buf (size
 * bytes, terminator included): CR LF, a lone CR and a lone LF become one LF, other control bytes (and
 * bytes from 0x7F on) are dropped; a byte that does not fit is dropped and sets GSM_UTIL_TEXT_CUT.
 * The text stays zero-terminated.
 */
void gsmUtilTextPut(GSM_Util_Text* text, char* buf, uint16_t size, uint8_t c);

#ifdef __cplusplus
}
#endif

#endif /* GSM_UTIL_H_ */
