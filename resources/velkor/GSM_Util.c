/*
 * GSM_Util.c - date/time conversion, number formatting and bounded line parsing.
 */
#include "GSM_Util.h"

#include <string.h>

/* Upper limits of month, day, hour, minute and second (the day is checked against its month too). */
static const uint8_t kFieldMax[5] GSM_PGM = {12u, 31u, 23u, 59u, 59u};

/* Epoch seconds of year and f = {month, day, hour, minute, second}; 0 when out of range. */
static GSM_ALWAYS_INLINE uint32_t calendarToEpoch(uint16_t year, const uint8_t* f)
{
    uint32_t t;
    unsigned days;
    uint8_t k;
    uint8_t leap;

    if (((uint16_t)(year - 1970u) > 135u) || (f[0] == 0u) || (f[1] == 0u))
    {
        return 0u;
    }
    for (k = 0u; k < 5u; k++)
    {
        if (f[k] > GSM_PGM_READ_BYTE(&kFieldMax[k]))
        {
            return 0u;
        }
    }
    /* Within 1970..2105 every fourth year is a leap year except 2100. */
    leap = (((year & 3u) == 0u) && (year != 2100u)) ? 1u : 0u;
    /* Length of the month: February 28 or 29; then 31 and 30 alternate, restarting in August. */
    k = (f[0] == 2u) ? (uint8_t)(28u + leap) : (uint8_t)(30u + ((f[0] ^ (f[0] >> 3)) & 1u));
    if (f[1] > k)
    {
        return 0u;
    }
    /* Days before the month: 30 a month plus one for each 31-day month before it (January, March,
     * May, July, August, October), less the two (one in a leap year) that February lacks. Every
     * day count up to 2105 fits 16 bits: `unsigned` keeps the sums short on 8-bit cores and
     * free of truncations on 32-bit ones. */
    k = f[0];
    days = (30u * (unsigned)k) + ((unsigned)(k + (k >> 3)) >> 1) - 30u;
    if (k > 2u)
    {
        days = days - 2u + leap;
    }
    /* Days: years before (with their leap days 1972, 1976, ...; 2100 has none), months, days. */
    days += (365u * (unsigned)(year - 1970u)) + ((unsigned)(year - 1969u) >> 2) - ((year > 2100u) ? 1u : 0u) + f[1] - 1u;
    /* then hours and minutes (the minutes of a day fit 16 bits), then seconds */
    t = ((uint32_t)days * 1440u) + (((unsigned)f[2] * 60u) + f[3]);
    return (t * 60u) + f[4];
}

uint32_t gsmUtilCalendarToEpoch(uint16_t year, uint8_t month, uint8_t day, uint8_t hour, uint8_t minute, uint8_t second)
{
    uint8_t f[5];
    f[0] = month;
    f[1] = day;
    f[2] = hour;
    f[3] = minute;
    f[4] = second;
    return calendarToEpoch(year, f);
}

bool gsmUtilDateTimeToEpoch(const char* text, uint16_t len, uint32_t* epoch_utc, int8_t* tz_quarters)
{
    /* "yy/MM/dd,hh:mm:ss", then the zone "+zz" / "-zz" when present: 17 or 20 characters, read as
     * six or seven fields of two digits, each but the last followed by its separator (the sign
     * of the zone is the separator before it). */
    static const char kSeparators[6] GSM_PGM = {'/', '/', ',', ':', ':', '+'};
    uint8_t v[7]; /* yy MM dd hh mm ss zz */
    uint8_t k;
    uint8_t n;
    int8_t tz = 0;
    uint32_t local;

    if ((text == NULL) || (epoch_utc == NULL))
    {
        return false;
    }
    /* Optional surrounding quotes. */
    if ((len > 0u) && (text[0] == '"'))
    {
        if ((len < 2u) || (text[len - 1u] != '"'))
        {
            return false;
        }
        text++;
        len = (uint16_t)(len - 2u);
    }
    if ((len != 17u) && (len != 20u))
    {
        return false;
    }
    n = (uint8_t)((len >> 2) + 2u); /* 17: 6 fields, 20: 7 */
    for (k = 0u;; k++)
    {
        const char* f = &text[3u * k];
        uint8_t a = (uint8_t)(f[0] - '0');
        uint8_t b = (uint8_t)(f[1] - '0');
        if ((a > 9u) || (b > 9u))
        {
            return false;
        }
        v[k] = (uint8_t)((a * 10u) + b);
        if ((uint8_t)(k + 1u) >= n)
        {
            break;
        }
        if ((f[2] != (char)GSM_PGM_READ_BYTE(&kSeparators[k])) && ((k != 5u) || (f[2] != '-')))
        {
            return false;
        }
    }
    if (n == 7u)
    {
        if (v[6] > 56u) /* +-14 h */
        {
            return false;
        }
        tz = (text[17] == '-') ? (int8_t)(-(int8_t)v[6]) : (int8_t)v[6];
    }
    /* A time from the year 2000 on is never 0: 0 means a field out of range. */
    local = calendarToEpoch((uint16_t)(2000u + v[0]), &v[1]);
    if (local == 0u)
    {
        return false;
    }
    /* Years 2000..2099 are far enough from both ends of the 32-bit range for a +-14 h shift. */
    *epoch_utc = (uint32_t)((int32_t)local - ((int32_t)tz * 900));
    if (tz_quarters != NULL)
    {
        *tz_quarters = tz;
    }
    return true;
}

uint32_t gsmUtilQuotableLength(const char* text)
{
    uint32_t n = 0u;
    if (text != NULL)
    {
        while (((uint8_t)text[n] >= 0x20u) && (text[n] != '"')) /* (the terminator ends it too) */
        {
            n++;
        }
    }
    return n;
}

uint8_t gsmUtilUintToStr(char* buf, uint8_t size, uint32_t value, uint8_t min_digits)
{
    uint8_t n = 1u;
    uint32_t rest = value;

    if ((buf == NULL) || (size == 0u))
    {
        return 0u;
    }
    while (rest >= 10u)
    {
        rest /= 10u;
        n++;
    }
    if (min_digits > n)
    {
        n = min_digits;
    }
    if (n >= size)
    {
        buf[0] = '\0';
        return 0u;
    }
    /* From the last digit backwards; once the value is used up the padding zeros follow. */
    buf[n] = '\0';
    for (rest = n; rest > 0u; rest--)
    {
        uint32_t q = value / 10u;
        buf[rest - 1u] = (char)('0' + (char)(value - (q * 10u)));
        value = q;
    }
    return n;
}

uint8_t gsmUtilIntToStr(char* buf, uint8_t size, int32_t value)
{
    uint8_t n;
    if ((value >= 0) || (buf == NULL) || (size == 0u))
    {
        return gsmUtilUintToStr(buf, size, (uint32_t)value, 1u);
    }
    /* The magnitude of a negative value, INT32_MIN included, as unsigned. */
    n = gsmUtilUintToStr(&buf[1], (uint8_t)(size - 1u), 0u - (uint32_t)value, 1u);
    if (n == 0u)
    {
        buf[0] = '\0';
        return 0u;
    }
    buf[0] = '-';
    return (uint8_t)(n + 1u);
}

bool gsmUtilStartsWith(const char* line, uint16_t len, const char* prefix)
{
    if ((line == NULL) || (prefix == NULL))
    {
        return false;
    }
    for (; *prefix != '\0'; prefix++, line++, len--)
    {
        if ((len == 0u) || (*line != *prefix))
        {
            return false;
        }
    }
    return true;
}

bool gsmUtilEquals(const char* line, uint16_t len, const char* text)
{
    if ((line == NULL) || (text == NULL))
    {
        return false;
    }
    for (; *text != '\0'; text++, line++, len--)
    {
        if ((len == 0u) || (*line != *text))
        {
            return false;
        }
    }
    return len == 0u;
}

uint8_t gsmUtilMatchList(const char* line, uint16_t len, const char* list, uint8_t mode)
{
    uint8_t n = 1u;
    if ((line == NULL) || (list == NULL))
    {
        return 0u;
    }
    while (GSM_PGM_READ_BYTE(list) != 0u)
    {
        uint16_t i = 0u;
        uint8_t c;
        while (((c = GSM_PGM_READ_BYTE(list)) != 0u) && (i < len) && ((uint8_t)line[i] == c))
        {
            list++;
            i++;
        }
        /* the whole text matched (texts are not empty: line[i - 1] exists) */
        if ((c == 0u) && ((i == len) || (mode == GSM_UTIL_MATCH_PREFIX) ||
                          ((mode == GSM_UTIL_MATCH_COLON) && (line[i - 1u] == ':'))))
        {
            return n;
        }
        while (GSM_PGM_READ_BYTE(list) != 0u) /* rest of this text */
        {
            list++;
        }
        list++;
        n++;
    }
    return 0u;
}

uint8_t gsmUtilMatchText(const char* line, uint16_t len, const char* list)
{
    return gsmUtilMatchList(line, len, list, GSM_UTIL_MATCH_EXACT);
}

const char* gsmUtilListText(const char* list, uint8_t index)
{
    while (index > 0u)
    {
        while (GSM_PGM_READ_BYTE(list) != 0u)
        {
            list++;
        }
        list++;
        index--;
    }
    return list;
}

bool gsmUtilParseUint(const char* line, uint16_t len, uint16_t* pos, uint32_t* value)
{
    uint16_t p;
    uint32_t v = 0u;
    bool any = false;
    if ((line == NULL) || (pos == NULL) || (value == NULL))
    {
        return false;
    }
    p = *pos;
    while ((p < len) && (line[p] == ' '))
    {
        p++;
    }
    while ((p < len) && (line[p] >= '0') && (line[p] <= '9'))
    {
        uint8_t d = (uint8_t)(line[p] - '0');
        if ((v > 429496729UL) || ((v == 429496729UL) && (d > 5u))) /* would pass 4294967295 */
        {
            return false;
        }
        v = (v * 10u) + d;
        any = true;
        p++;
    }
    if (!any)
    {
        return false;
    }
    *pos = p;
    *value = v;
    return true;
}

/* Where the fields of a line begin: after the first ':' that comes before any '"', else at the
 * line start. */
static GSM_ALWAYS_INLINE const char* fieldsStart(const char* line, const char* end)
{
    const char* p;
    for (p = line; (p < end) && (*p != ':') && (*p != '"'); p++)
    {
    }
    return ((p < end) && (*p == ':')) ? &p[1] : line;
}

/* gsmUtilUintFields on the fields that begin at p (p .. end). */
static uint8_t uintList(const char* p, const char* end, uint32_t* values, uint8_t max)
{
    uint8_t n = 0u;
    for (;;)
    {
        uint32_t v = 0u;
        const char* digits;
        while ((p < end) && (*p == ' '))
        {
            p++;
        }
        digits = p;
        while ((p < end) && ((uint8_t)(*p - '0') <= 9u))
        {
            uint8_t d = (uint8_t)(*p - '0');
            uint32_t t = (v * 10u) + d;
            /* past 4294967295: v was too large for ten times, or the sum wrapped */
            if ((v > 429496729UL) || (t < d))
            {
                return (uint8_t)(n | GSM_UTIL_FIELDS_MORE);
            }
            v = t;
            p++;
        }
        while ((p < end) && (*p == ' '))
        {
            p++;
        }
        /* a field of digits alone (blanks around them allowed) */
        if ((p == digits) || ((p < end) && (*p != ',')) || (n >= 127u))
        {
            return (uint8_t)(n | GSM_UTIL_FIELDS_MORE);
        }
        if (n < max)
        {
            values[n] = v;
        }
        n++;
        if (p >= end)
        {
            return n;
        }
        p++; /* past the comma */
    }
}

uint8_t gsmUtilUintFields(const char* line, uint16_t len, uint32_t* values, uint8_t max)
{
    if (line == NULL)
    {
        return GSM_UTIL_FIELDS_MORE;
    }
    return uintList(fieldsStart(line, &line[len]), &line[len], values, max);
}

bool gsmUtilField(const char* line, uint16_t len, uint8_t index, uint16_t* start, uint16_t* flen, bool* quoted)
{
    const char* p;
    const char* fs;
    const char* end;
    bool inQuotes = false;
    bool q = false;

    if ((line == NULL) || (start == NULL) || (flen == NULL))
    {
        return false;
    }
    end = &line[len];
    fs = fieldsStart(line, end);
    if (fs >= end)
    {
        return false; /* nothing after the ':' (or an empty line) */
    }
    for (p = fs; p < end; p++)
    {
        if (*p == '"')
        {
            inQuotes = !inQuotes;
        }
        else if ((*p == ',') && !inQuotes)
        {
            if (index == 0u)
            {
                break;
            }
            index--;
            fs = p + 1;
        }
    }
    if (index != 0u)
    {
        return false;
    }
    /* The field is fs..p: drop surrounding blanks, then the quotes of a quoted field. */
    while ((fs < p) && (*fs == ' '))
    {
        fs++;
    }
    while ((p > fs) && (p[-1] == ' '))
    {
        p--;
    }
    if (((p - fs) >= 2) && (*fs == '"') && (p[-1] == '"'))
    {
        fs++;
        p--;
        q = true;
    }
    if (quoted != NULL)
    {
        *quoted = q;
    }
    *start = (uint16_t)(fs - line);
    *flen = (uint16_t)(p - fs);
    return true;
}

uint8_t gsmUtilFieldCount(const char* line, uint16_t len)
{
    uint16_t s;
    uint16_t l;
    uint8_t n = 0u;
    while ((n < 255u) && gsmUtilField(line, len, n, &s, &l, NULL))
    {
        n++;
    }
    return n;
}

bool gsmUtilFieldUint(const char* line, uint16_t len, uint8_t index, uint32_t* value)
{
    uint16_t s;
    uint16_t l;
    bool quoted;
    /* The blanks are trimmed: the field must be one number and nothing else (an empty field
     * fails). A field without a comma outside quotes gives at most one number, so *value is
     * written only on success. */
    return (value != NULL) && gsmUtilField(line, len, index, &s, &l, &quoted) && !quoted &&
           (uintList(&line[s], &line[s + l], value, 1u) == 1u);
}

uint8_t gsmUtilFieldCopyCut(const char* line, uint16_t len, uint8_t index, char* dst, uint16_t dst_size)
{
    uint16_t s = 0u;
    uint16_t l = 0u;
    uint16_t i;
    uint8_t r;
    if ((dst == NULL) || (dst_size == 0u))
    {
        return 0u;
    }
    r = gsmUtilField(line, len, index, &s, &l, NULL) ? 1u : 0u;
    for (i = 0u; (i < l) && ((i + 1u) < dst_size); i++)
    {
        dst[i] = line[s + i];
    }
    dst[i] = '\0';
    return (i < l) ? 2u : r;
}

bool gsmUtilFieldCopy(const char* line, uint16_t len, uint8_t index, char* dst, uint16_t dst_size)
{
    if ((dst == NULL) || (dst_size == 0u))
    {
        return false;
    }
    if (gsmUtilFieldCopyCut(line, len, index, dst, dst_size) == 1u)
    {
        return true;
    }
    dst[0] = '\0'; /* missing or too long */
    return false;
}

void gsmUtilTextPut(GSM_Util_Text* text, char* buf, uint16_t size, uint8_t c)
{
    uint_fast8_t fl = text->Flags;
    uint_fast16_t n = text->Len;
    uint_fast8_t cr = fl & GSM_UTIL_TEXT_CR;
    fl &= (uint_fast8_t)~GSM_UTIL_TEXT_CR;
    if (c == (uint8_t)'\r')
    {
        fl |= GSM_UTIL_TEXT_CR;
        c = (uint8_t)'\n';
    }
    else if ((c == (uint8_t)'\n') ? (cr != 0u) : ((uint8_t)(c - 0x20u) > 0x5Eu))
    {
        /* second half of CR LF; another control byte, or not ASCII */
        c = 0u;
    }
    if (c != 0u)
    {
        if ((n + 1u) < size)
        {
            buf[n] = (char)c;
            buf[n + 1u] = '\0';
            text->Len = (uint16_t)(n + 1u);
        }
        else
        {
            fl |= GSM_UTIL_TEXT_CUT;
        }
    }
    text->Flags = (uint8_t)fl;
}
