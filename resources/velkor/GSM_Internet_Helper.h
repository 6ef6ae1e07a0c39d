/*
 * GSM_Internet_Helper.h - IPv4 address type and parsing, and the check of texts that go into quoted
 * command parameters, shared by the internet connection modules and the HTTP / MQTT clients.
 *
 * All functions keep no state of their own (gsmInternetHelperRetryDue changes only the deadline it
 * is given), are reentrant and may be called from an interrupt.
 */
#ifndef GSM_INTERNET_HELPER_H_
#define GSM_INTERNET_HELPER_H_

#include "GSM_Globals.h"

#ifdef __cplusplus
extern "C" {
#endif

/** An IPv4 address, most significant byte first: 10.148.0.17 is {10, 148, 0, 17}. */
typedef struct GSM_IPv4
{
    uint8_t Octet[4];
} GSM_IPv4;

/** Longest dotted text of an address including the terminating zero ("255.255.255.255"). */
#define GSM_IPV4_STR_SIZE 16u

/**
 * Parses a dotted IPv4 address such as 10.148.0.17. Surrounding blanks and one pair of double quotes
 * are accepted ("10.148.0.17"); anything else (missing parts, values above 255, more than three
 * digits in a part, trailing text) is rejected.
 * @param text the text (need not be zero-terminated); @param len its length
 * @param out  receives the address (left unchanged on failure)
 * @return true on success.
 */
bool gsmInternetHelperParseIPv4(const char* text, uint16_t len, GSM_IPv4* out);

/** True for 0.0.0.0 (the modems' "no address"). NULL reads as zero. */
bool gsmInternetHelperIPv4IsZero(const GSM_IPv4* addr);

/** Sets the address to 0.0.0.0. */
void gsmInternetHelperIPv4Clear(GSM_IPv4* addr);

/**
 * Writes the dotted text of an address with a terminating zero.
 * @param buf destination, at least GSM_IPV4_STR_SIZE bytes for every address; @param size its size
 * @return characters written without the terminator, or 0 when buf is NULL or too small ("" then).
 */
uint8_t gsmInternetHelperIPv4ToStr(const GSM_IPv4* addr, char* buf, uint8_t size);

/** gsmInternetHelperQuotedLength of a text that cannot stand between double quotes. */
#define GSM_INTERNETHELPER_UNQUOTABLE 0xFFFFFFFFuL

/**
 * Length of a text that goes between the double quotes of a command parameter (URL, content type, MQTT
 * client id, server, user name, password). The modem takes a '"' as the end of the parameter and a CR
 * as the end of the command line (what follows would run as a command of its own), so a text with a
 * '"' or any byte below 0x20 is refused.
 * @return the length in bytes (0 for NULL), or GSM_INTERNETHELPER_UNQUOTABLE.
 */
uint32_t gsmInternetHelperQuotedLength(const char* text);

/**
 * Backoff delay for reconnect attempt number `attempt` (0 = first retry): base_ms doubled per
 * attempt, at most max_ms (the pause the connection modules keep between failed attempts).
 */
static inline uint32_t gsmInternetHelperBackoff(uint8_t attempt, uint32_t base_ms, uint32_t max_ms)
{
    /* (inline: a firmware has one caller, the connection module's, which passes constants) */
    uint32_t d = base_ms;
    while ((attempt > 0u) && (d < max_ms))
    {
        d <<= 1;
        attempt--;
    }
    return (d > max_ms) ? max_ms : d;
}

/**
 * Whether a connection that is down may try again: the pause up to *deadline_ms is over at `now` and
 * the network is there (`registered`). While it is not, a pause that is over is kept at `now`, so
 * that a deadline never ages past 2^31 ms into a time that reads as still ahead (a device out of
 * coverage for a month must reconnect at once when the network comes back).
 */
static inline bool gsmInternetHelperRetryDue(uint32_t* deadline_ms, uint32_t now, bool registered)
{
    /* (inline: a copy in each connection module costs fewer bytes than a call) */
    if (!GSM_TIME_REACHED(now, *deadline_ms))
    {
        return false;
    }
    if (!registered)
    {
        *deadline_ms = now;
    }
    return registered;
}

#ifdef __cplusplus
}
#endif

#endif /* GSM_INTERNET_HELPER_H_ */
