/*
 * GSM_Internet_Helper.c - IPv4 parsing and formatting, the check of quoted texts; the common internet
 * connection interface.
 */
#include "GSM_Internet_Helper.h"
#include "GSM_InternetConnection_Interface.h"
#include "GSM_Util.h"

bool gsmInternetHelperParseIPv4(const char* text, uint16_t len, GSM_IPv4* out)
{
    /* native widths: 32 bits on Cortex-M, 8 / 16 bits on AVR */
    const char* end;
    uint_fast16_t v = 0u;
    uint_fast8_t part = 0u;
    uint_fast8_t digits = 0u;
    GSM_IPv4 tmp;
    if ((text == NULL) || (out == NULL))
    {
        return false;
    }
    end = &text[len];
    while ((end > text) && (end[-1] == ' '))
    {
        end--;
    }
    while ((text < end) && (*text == ' '))
    {
        text++;
    }
    if ((text < end) && (*text == '"'))
    {
        /* a quoted address: the closing quote must end the text */
        if (((end - text) < 2) || (end[-1] != '"'))
        {
            return false;
        }
        text++;
        end--;
    }
    /* Digits and dots only, one to three digits per part, each part at most 255; the end of the text
     * closes the fourth part as a dot closes the others. */
    for (;;)
    {
        bool more = text < end;
        uint_fast8_t d = (uint_fast8_t)(uint8_t)('.' - '0');
        if (more)
        {
            d = (uint_fast8_t)(uint8_t)(*text++ - '0');
        }
        if (d <= 9u)
        {
            if ((++digits > 3u) || ((v = (uint_fast16_t)(v * 10u + d)) > 255u))
            {
                return false;
            }
        }
        else if ((d != (uint8_t)('.' - '0')) || (digits == 0u) || (part > 3u))
        {
            return false;
        }
        else
        {
            tmp.Octet[part++] = (uint8_t)v;
            if (!more)
            {
                break;
            }
            v = 0u;
            digits = 0u;
        }
    }
    if (part != 4u)
    {
        return false;
    }
    *out = tmp;
    return true;
}

bool gsmInternetHelperIPv4IsZero(const GSM_IPv4* addr)
{
    return (addr == NULL) || ((addr->Octet[0] | addr->Octet[1] | addr->Octet[2] | addr->Octet[3]) == 0u);
}

void gsmInternetHelperIPv4Clear(GSM_IPv4* addr)
{
    if (addr != NULL)
    {
        addr->Octet[0] = 0u;
        addr->Octet[1] = 0u;
        addr->Octet[2] = 0u;
        addr->Octet[3] = 0u;
    }
}

uint8_t gsmInternetHelperIPv4ToStr(const GSM_IPv4* addr, char* buf, uint8_t size)
{
    uint8_t n = 0u;
    uint8_t i;
    if ((buf == NULL) || (size == 0u))
    {
        return 0u;
    }
    buf[0] = '\0';
    if (addr == NULL)
    {
        return 0u;
    }
    for (i = 0u; i < 4u; i++)
    {
        char part[4];
        uint8_t k = gsmUtilUintToStr(part, (uint8_t)sizeof(part), addr->Octet[i], 1u);
        uint8_t j;
        if ((uint16_t)n + k + ((i < 3u) ? 1u : 0u) + 1u > size)
        {
            buf[0] = '\0';
            return 0u;
        }
        for (j = 0u; j < k; j++)
        {
            buf[n++] = part[j];
        }
        if (i < 3u)
        {
            buf[n++] = '.';
        }
    }
    buf[n] = '\0';
    return n;
}

uint32_t gsmInternetHelperQuotedLength(const char* text)
{
    uint32_t n = gsmUtilQuotableLength(text);
    /* quotable only when nothing but the terminator ended it */
    return ((text == NULL) || (text[n] == '\0')) ? n : GSM_INTERNETHELPER_UNQUOTABLE;
}

/* ---- GSM_InternetConnection_Interface ---- */

GSM_InternetConnection_Family gsmInternetConnectionIfFamily(const GSM_InternetConnection_Interface* conn)
{
    return (conn == NULL) ? GSM_InternetConnection_Family_Unknown : (GSM_InternetConnection_Family)conn->Family;
}

uint8_t gsmInternetConnectionIfConnectCount(const GSM_InternetConnection_Interface* conn)
{
    return (conn == NULL) ? 0u : conn->ConnectCount;
}

bool gsmInternetConnectionIfAddress(const GSM_InternetConnection_Interface* conn, GSM_IPv4* address)
{
    bool up = gsmInternetConnectionIfIsConnected(conn);
    if (address != NULL)
    {
        if (up)
        {
            *address = conn->Address;
        }
        else
        {
            gsmInternetHelperIPv4Clear(address);
        }
    }
    return up && !gsmInternetHelperIPv4IsZero(&conn->Address);
}
