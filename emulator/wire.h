// Little-endian fields at byte offsets, written out byte by byte so the order
// on the wire does not depend on the machine's.
#pragma once

#include <stddef.h>
#include <stdint.h>

inline uint16_t WireReadU16(const uint8_t *data, size_t offset)
{
    return (uint16_t)(data[offset] | (data[offset + 1] << 8));
}

inline uint32_t WireReadU32(const uint8_t *data, size_t offset)
{
    return (uint32_t)data[offset] | ((uint32_t)data[offset + 1] << 8) |
           ((uint32_t)data[offset + 2] << 16) | ((uint32_t)data[offset + 3] << 24);
}

inline void WireWriteU16(uint8_t *data, size_t offset, uint16_t value)
{
    data[offset] = value & 0xFF;
    data[offset + 1] = (value >> 8) & 0xFF;
}

inline void WireWriteU32(uint8_t *data, size_t offset, uint32_t value)
{
    for (size_t i = 0; i < 4; i++)
        data[offset + i] = (value >> (8 * i)) & 0xFF;
}
