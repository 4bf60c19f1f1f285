#include "commands/numbers.h"

#include <limits.h>

static bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int ReadNumber(const char *text)
{
    while (IsSpace(*text))
        text++;
    bool negative = *text == '-';
    if (*text == '-' || *text == '+')
        text++;
    // Accumulated as a negative number, which reaches INT_MIN.
    long long value = 0;
    for (; *text >= '0' && *text <= '9'; text++) {
        value = value * 10 - (*text - '0');
        if (value < INT_MIN)
            return negative ? INT_MIN : INT_MAX;
    }
    if (negative)
        return (int)value;
    return value < -INT_MAX ? INT_MAX : (int)-value;
}

bool ReadWholeNumber(const char *text, int *value)
{
    const char *digits = text;
    while (IsSpace(*digits))
        digits++;
    if (*digits == '-' || *digits == '+')
        digits++;
    if (*digits < '0' || *digits > '9')
        return false;
    const char *end = digits;
    while (*end >= '0' && *end <= '9')
        end++;
    while (IsSpace(*end))
        end++;
    if (*end)
        return false;
    *value = ReadNumber(text);
    return true;
}

static int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool ReadHexColour(const char *text, uint32_t *rgb)
{
    uint32_t value = 0;
    int digits = 0;
    for (; *text; text++, digits++) {
        int digit = HexDigit(*text);
        if (digit < 0 || digits == 6)
            return false;
        value = value * 16 + (uint32_t)digit;
    }
    if (digits == 0)
        return false;
    *rgb = value;
    return true;
}
