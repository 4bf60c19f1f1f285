#include "settings/address.h"

#include <stdio.h>
#include <string.h>

bool ReadAddress(const char *text, size_t length, uint32_t *address)
{
    uint32_t value = 0;
    size_t i = 0;
    for (int part = 0; part < 4; part++) {
        if (part > 0) {
            if (i >= length || text[i] != '.')
                return false;
            i++;
        }
        int digits = 0;
        uint32_t number = 0;
        // Any number of leading zeros, but never more than 255.
        for (; i < length && text[i] >= '0' && text[i] <= '9'; i++, digits++) {
            number = number * 10 + (uint32_t)(text[i] - '0');
            if (number > 255)
                return false;
        }
        if (digits == 0)
            return false;
        value = (value << 8) | number;
    }
    if (i != length)
        return false;
    *address = value;
    return true;
}

void FormatAddress(char (&text)[kAddressTextSize], uint32_t address)
{
    snprintf(text, sizeof text, "%u.%u.%u.%u", (unsigned)(address >> 24),
             (unsigned)(address >> 16) & 0xFF, (unsigned)(address >> 8) & 0xFF,
             (unsigned)address & 0xFF);
}

bool ReadDeviceAddress(const char *text, char (&address)[kAddressTextSize])
{
    uint32_t value;
    if (!ReadAddress(text, strlen(text), &value) || value == 0 || value == 0xFFFFFFFFu)
        return false;
    FormatAddress(address, value);
    return true;
}
