/*
 * GSM_Util.c - date/time conversion, number formatting and bounded line parsing.
 */
#include "GSM_Util.h"

/* Days of each month in a common year. */
static const uint8_t kDays[12] GSM_PGM = {31u, 28u, 31u, 30u, 31u, 30u, 31u, 31u, 30u, 31u, 30u, 31u};

static bool isLeapYear(uint16_t year)
{
    return ((year % 4u) == 0u) && (((year % 100u) != 0u) || ((year % 400u) == 0u));
}

static uint8_t daysInMonth(uint16_t year, uint8_t month)
{
    if ((month == 2u) && isLeapYear(year))
    {
        return 29u;
    }
    return GSM_PGM_READ_BYTE(&kDays[month - 1u]);
}

uint32_t gsmUtilCalendarToEpoch(uint16_t year, uint8_t month, uint8_t day, uint8_t hour, uint8_t minute, uint8_t second)
{
    uint32_t days;
    uint16_t y;
    uint8_t m;

    if ((year < 1970u) || (year > 2105u) || (month < 1u) || (month > 12u) || (day < 1u) ||
        (day > daysInMonth(year, month)) || (hour > 23u) || (minute > 59u) || (second > 59u))
    {
        return 0u;
    }
    days = 0u;
    for (y = 1970u; y < year; y++)
    {
        days += isLeapYear(y) ? 366u : 365u;
    }
    for (m = 0u; (uint8_t)(m + 1u) < month; m++) /* the months before */
    {
        days += GSM_PGM_READ_BYTE(&kDays[m]);
    }
    if ((month > 2u) && isLeapYear(year))
    {
        days += 1u;
    }
    days += (uint32_t)day - 1u;
    return (days * 86400UL) + ((uint32_t)hour * 3600UL) + ((uint32_t)minute * 60UL) + (uint32_t)second;
}

/* Reads exactly two decimal digits at text[*pos]. */
static bool readTwoDigits(const char* text, uint16_t len, uint16_t* pos, uint8_t* value)
{
    char a;
    char b;
    if ((uint16_t)(*pos + 2u) > len)
    {
        return false;
    }
    a = text[*pos];
    b = text[*pos + 1u];
    if ((a < '0') || (a > '9') || (b < '0') || (b > '9'))
    {
        return false;
    }
    *value = (uint8_t)(((uint8_t)(a - '0') * 10u) + (uint8_t)(b - '0'));
    *pos = (uint16_t)(*pos + 2u);
    return true;
}

static bool expectChar(const char* text, uint16_t len, uint16_t* pos, char c)
{
    if ((*pos >= len) || (text[*pos] != c))
    {
        return false;
    }
    *pos = (uint16_t)(*pos + 1u);
    return true;
}

bool gsmUtilDateTimeToEpoch(const char* text, uint16_t len, uint32_t* epoch_utc, int8_t* tz_quarters)
{
    /* Separators before the month, day, hour, minute and second of "yy/MM/dd,hh:mm:ss". */
    static const char kSeparators[5] GSM_PGM = {'/', '/', ',', ':', ':'};
    uint16_t pos = 0u;
    uint8_t v[6]; /* yy MM dd hh mm ss */
    uint8_t k;
    int8_t tz = 0;
    uint32_t offset;
    uint32_t local;

    if ((text == NULL) || (epoch_utc == NULL))
    {
        return false;
    }
    /* Optional surrounding quotes. */
    if ((len > 0u) && (text[0] == '"'))
    {
        pos = 1u;
        if ((len < 2u) || (text[len - 1u] != '"'))
        {
            return false;
        }
        len = (uint16_t)(len - 1u);
    }
    for (k = 0u; k < 6u; k++)
    {
        if ((k > 0u) && !expectChar(text, len, &pos, (char)GSM_PGM_READ_BYTE(&kSeparators[k - 1u])))
        {
            return false;
        }
        if (!readTwoDigits(text, len, &pos, &v[k]))
        {
            return false;
        }
    }
    if (pos < len)
    {
        char sign = text[pos];
        uint8_t q;
        if ((sign != '+') && (sign != '-'))
        {
            return false;
        }
        pos = (uint16_t)(pos + 1u);
        if (!readTwoDigits(text, len, &pos, &q) || (pos != len) || (q > 56u)) /* +-14 h */
        {
            return false;
        }
        tz = (sign == '-') ? (int8_t)(-(int8_t)q) : (int8_t)q;
    }
    /* Range checks: the conversion returns 0 for a field out of range, and a time from the year
     * 2000 on is never 0. */
    local = gsmUtilCalendarToEpoch((uint16_t)(2000u + v[0]), v[1], v[2], v[3], v[4], v[5]);
    if (local == 0u)
    {
        return false;
    }
    if (tz >= 0)
    {
        offset = (uint32_t)tz * 900UL;
        if (local < offset)
        {
            return false;
        }
        *epoch_utc = local - offset;
    }
    else
    {
        offset = (uint32_t)(-(int16_t)tz) * 900UL;
        if (local > (0xFFFFFFFFUL - offset))
        {
            return false;
        }
        *epoch_utc = local + offset;
    }
    if (tz_quarters != NULL)
    {
        *tz_quarters = tz;
    }
    return true;
}

uint8_t gsmUtilUintToStr(char* buf, uint8_t size, uint32_t value, uint8_t min_digits)
{
    char tmp[10];
    uint8_t n = 0u;
    uint8_t i;
    uint8_t total;

    if ((buf == NULL) || (size == 0u))
    {
        return 0u;
    }
    do
    {
        tmp[n++] = (char)('0' + (char)(value % 10u));
        value /= 10u;
    } while (value != 0u);
    total = (min_digits > n) ? min_digits : n;
    if ((uint16_t)total + 1u > size)
    {
        buf[0] = '\0';
        return 0u;
    }
    for (i = 0u; i < (uint8_t)(total - n); i++)
    {
        buf[i] = '0';
    }
    while (n > 0u)
    {
        buf[i++] = tmp[--n];
    }
    buf[i] = '\0';
    return i;
}

uint8_t gsmUtilIntToStr(char* buf, uint8_t size, int32_t value)
{
    uint32_t magnitude;
    uint8_t n;
    if ((buf == NULL) || (size == 0u))
    {
        return 0u;
    }
    if (value >= 0)
    {
        return gsmUtilUintToStr(buf, size, (uint32_t)value, 1u);
    }
    if (size < 3u)
    {
        buf[0] = '\0';
        return 0u;
    }
    magnitude = (uint32_t)(-(value + 1)) + 1u; /* safe for INT32_MIN */
    buf[0] = '-';
    n = gsmUtilUintToStr(&buf[1], (uint8_t)(size - 1u), magnitude, 1u);
    if (n == 0u)
    {
        buf[0] = '\0';
        return 0u;
    }
    return (uint8_t)(n + 1u);
}

bool gsmUtilStartsWith(const char* line, uint16_t len, const char* prefix)
{
    uint16_t i = 0u;
    if ((line == NULL) || (prefix == NULL))
    {
        return false;
    }
    while (prefix[i] != '\0')
    {
        if ((i >= len) || (line[i] != prefix[i]))
        {
            return false;
        }
        i++;
    }
    return true;
}

bool gsmUtilEquals(const char* line, uint16_t len, const char* text)
{
    uint16_t i;
    if ((line == NULL) || (text == NULL))
    {
        return false;
    }
    for (i = 0u; i < len; i++)
    {
        if ((text[i] == '\0') || (line[i] != text[i]))
        {
            return false;
        }
    }
    return text[len] == '\0';
}

uint8_t gsmUtilMatchText(const char* line, uint16_t len, const char* list)
{
    uint8_t n = 1u;
    uint16_t i;
    uint8_t c;
    if ((line == NULL) || (list == NULL))
    {
        return 0u;
    }
    while (GSM_PGM_READ_BYTE(list) != 0u)
    {
        for (i = 0u;; i++)
        {
            c = GSM_PGM_READ_BYTE(&list[i]);
            if (c == 0u)
            {
                if (i == len)
                {
                    return n;
                }
                break;
            }
            if ((i >= len) || ((uint8_t)line[i] != c))
            {
                break;
            }
        }
        while (GSM_PGM_READ_BYTE(list) != 0u) /* next text */
        {
            list++;
        }
        list++;
        n++;
    }
    return 0u;
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

/* Offset of the first field: after the first ':' (and one blank), or 0. */
static uint16_t fieldsStart(const char* line, uint16_t len)
{
    uint16_t i;
    for (i = 0u; i < len; i++)
    {
        if (line[i] == ':')
        {
            return (uint16_t)(i + 1u);
        }
        if (line[i] == '"')
        {
            break;
        }
    }
    return 0u;
}

bool gsmUtilField(const char* line, uint16_t len, uint8_t index, uint16_t* start, uint16_t* flen, bool* quoted)
{
    uint16_t p;
    uint8_t field = 0u;
    bool inQuotes = false;
    uint16_t fs;
    uint16_t fe;
    uint16_t first; /* offset of the first field */

    if ((line == NULL) || (start == NULL) || (flen == NULL))
    {
        return false;
    }
    first = fieldsStart(line, len);
    p = first;
    fs = p;
    for (;;)
    {
        bool end = (p >= len);
        if (!end && (line[p] == '"'))
        {
            inQuotes = !inQuotes;
        }
        if (end || ((line[p] == ',') && !inQuotes))
        {
            if (field == index)
            {
                fe = p;
                while ((fs < fe) && (line[fs] == ' '))
                {
                    fs++;
                }
                while ((fe > fs) && (line[fe - 1u] == ' '))
                {
                    fe--;
                }
                if (quoted != NULL)
                {
                    *quoted = false;
                }
                if (((uint16_t)(fe - fs) >= 2u) && (line[fs] == '"') && (line[fe - 1u] == '"'))
                {
                    fs++;
                    fe--;
                    if (quoted != NULL)
                    {
                        *quoted = true;
                    }
                }
                if ((fe == fs) && (end && (fs == len) && (field == 0u) && (first == len)))
                {
                    return false; /* nothing after the ':' */
                }
                *start = fs;
                *flen = (uint16_t)(fe - fs);
                return true;
            }
            if (end)
            {
                return false;
            }
            field++;
            fs = (uint16_t)(p + 1u);
        }
        p++;
    }
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
    uint16_t p;
    bool quoted;
    if ((value == NULL) || !gsmUtilField(line, len, index, &s, &l, &quoted) || quoted || (l == 0u))
    {
        return false;
    }
    p = s;
    if (!gsmUtilParseUint(line, (uint16_t)(s + l), &p, value))
    {
        return false;
    }
    return p == (uint16_t)(s + l);
}

bool gsmUtilFieldCopy(const char* line, uint16_t len, uint8_t index, char* dst, uint16_t dst_size)
{
    uint16_t s;
    uint16_t l;
    uint16_t i;
    if ((dst == NULL) || (dst_size == 0u))
    {
        return false;
    }
    dst[0] = '\0';
    if (!gsmUtilField(line, len, index, &s, &l, NULL) || (l >= dst_size))
    {
        return false;
    }
    for (i = 0u; i < l; i++)
    {
        dst[i] = line[s + i];
    }
    dst[l] = '\0';
    return true;
}
