// Byte images of the LIFX messages the plug-in sends. Every field is written byte by byte,
// little-endian, at its fixed offset, so the host's byte order and the
// compiler's struct layout never matter.
#include "lifx/messages.h"

namespace
{

// 0x3400: protocol 1024, addressable and tagged set, origin 0. Without the
// tagged bit (0x1400) a message is for the light its target names.
const uint16_t kProtocolWord = 0x3400;
const uint16_t kProtocolWordAddressed = 0x1400;
const uint8_t kResponseRequired = 0x01;
const uint8_t kAcknowledgementRequired = 0x02;

void PutU8(uint8_t *buf, int offset, uint32_t value)
{
    buf[offset] = static_cast<uint8_t>(value & 0xFF);
}

void PutU16(uint8_t *buf, int offset, uint32_t value)
{
    buf[offset] = static_cast<uint8_t>(value & 0xFF);
    buf[offset + 1] = static_cast<uint8_t>((value >> 8) & 0xFF);
}

void PutU32(uint8_t *buf, int offset, uint32_t value)
{
    buf[offset] = static_cast<uint8_t>(value & 0xFF);
    buf[offset + 1] = static_cast<uint8_t>((value >> 8) & 0xFF);
    buf[offset + 2] = static_cast<uint8_t>((value >> 16) & 0xFF);
    buf[offset + 3] = static_cast<uint8_t>((value >> 24) & 0xFF);
}

void PutHsbk(uint8_t *buf, int offset, const Hsbk &colour)
{
    PutU16(buf, offset, colour.hue);
    PutU16(buf, offset + 2, colour.saturation);
    PutU16(buf, offset + 4, colour.brightness);
    PutU16(buf, offset + 6, colour.kelvin);
}

// Zeroes the whole message, then writes the header's only non-zero fields:
// no source, no target, no acknowledgement, sequence 0.
void StartMessage(uint8_t *buf, int size, int type)
{
    for (int i = 0; i < size; ++i)
        buf[i] = 0;
    PutU16(buf, 0, static_cast<uint32_t>(size));
    PutU16(buf, 2, kProtocolWord);
    PutU16(buf, 32, static_cast<uint32_t>(type));
}

void StartRequest(uint8_t *message, int size, int type, uint32_t source, const uint8_t *serial,
                  uint8_t sequence)
{
    StartMessage(message, size, type);
    if (serial) {
        PutU16(message, 2, kProtocolWordAddressed);
        for (int i = 0; i < kSerialSize; ++i)
            PutU8(message, 8 + i, serial[i]);
    }
    PutU32(message, 4, source);
    PutU8(message, 22, kResponseRequired);
    PutU8(message, 23, sequence);
}

} // namespace

void EncodeGetService(uint8_t (&message)[kRequestSize], uint32_t source, uint8_t sequence)
{
    StartRequest(message, kRequestSize, kTypeGetService, source, nullptr, sequence);
}

void EncodeGetLabel(uint8_t (&message)[kRequestSize], uint32_t source,
                    const uint8_t (&serial)[kSerialSize], uint8_t sequence)
{
    StartRequest(message, kRequestSize, kTypeGetLabel, source, serial, sequence);
}

void EncodeGetExtendedColorZones(uint8_t (&message)[kRequestSize], uint32_t source,
                                 const uint8_t (&serial)[kSerialSize], uint8_t sequence)
{
    StartRequest(message, kRequestSize, kTypeGetExtendedColorZones, source, serial, sequence);
}

void EncodeGetVersion(uint8_t (&message)[kRequestSize], uint32_t source,
                      const uint8_t (&serial)[kSerialSize], uint8_t sequence)
{
    StartRequest(message, kRequestSize, kTypeGetVersion, source, serial, sequence);
}

void EncodeGetColor(uint8_t (&message)[kRequestSize], uint32_t source,
                    const uint8_t (&serial)[kSerialSize], uint8_t sequence)
{
    StartRequest(message, kRequestSize, kTypeGetColor, source, serial, sequence);
}

void EncodeGetDeviceChain(uint8_t (&message)[kRequestSize], uint32_t source,
                          const uint8_t (&serial)[kSerialSize], uint8_t sequence)
{
    StartRequest(message, kRequestSize, kTypeGetDeviceChain, source, serial, sequence);
}

void EncodeGetColorZones(uint8_t (&message)[kGetColorZonesSize], uint32_t source,
                         const uint8_t (&serial)[kSerialSize], uint8_t sequence)
{
    StartRequest(message, kGetColorZonesSize, kTypeGetColorZones, source, serial, sequence);
    PutU8(message, 36, 0);
    PutU8(message, 37, 255);
}

void EncodeGetExtendedColorZonesAny(uint8_t (&message)[kRequestSize], uint32_t source,
                                    uint8_t sequence)
{
    StartRequest(message, kRequestSize, kTypeGetExtendedColorZones, source, nullptr, sequence);
}

void EncodeGetDeviceChainAny(uint8_t (&message)[kRequestSize], uint32_t source, uint8_t sequence)
{
    StartRequest(message, kRequestSize, kTypeGetDeviceChain, source, nullptr, sequence);
}

void EncodeGetLabelAny(uint8_t (&message)[kRequestSize], uint32_t source, uint8_t sequence)
{
    StartRequest(message, kRequestSize, kTypeGetLabel, source, nullptr, sequence);
}

void AskAcknowledgement(uint8_t *message, uint32_t source, uint8_t sequence)
{
    PutU32(message, 4, source);
    PutU8(message, 22, kAcknowledgementRequired);
    PutU8(message, 23, sequence);
}

void EncodeSetLightPower(uint8_t (&message)[kSetLightPowerSize], bool on)
{
    StartMessage(message, kSetLightPowerSize, kTypeSetLightPower);
    PutU16(message, 36, on ? 0xFFFF : 0);
    PutU32(message, 38, 0);
}

void EncodeSetColor(uint8_t (&message)[kSetColorSize], const Hsbk &colour, uint32_t durationMs)
{
    StartMessage(message, kSetColorSize, kTypeSetColor);
    // Byte 36 is reserved: the colour starts one byte later.
    PutHsbk(message, 37, colour);
    PutU32(message, 45, durationMs);
}

void EncodeSetExtendedColorZones(uint8_t (&message)[kSetExtendedColorZonesSize],
                                 const Hsbk (&zones)[kStripZones], uint32_t durationMs)
{
    // Every zone from the first, shown at once.
    EncodeSetExtendedColorZonesSpan(message, zones, 0, kStripZones, 1, durationMs);
}

void EncodeSetExtendedColorZonesSpan(uint8_t (&message)[kSetExtendedColorZonesSize],
                                     const Hsbk (&colours)[kStripZones], uint16_t zoneIndex,
                                     uint8_t count, uint8_t apply, uint32_t durationMs)
{
    StartMessage(message, kSetExtendedColorZonesSize, kTypeSetExtendedColorZones);
    PutU32(message, 36, durationMs);
    PutU8(message, 40, apply);
    PutU16(message, 41, zoneIndex);
    if (count > kStripZones)
        count = kStripZones;
    PutU8(message, 43, count);
    for (int z = 0; z < count; ++z)
        PutHsbk(message, 44 + 8 * z, colours[z]);
}

void EncodeSetMultiZoneEffect(uint8_t (&message)[kSetMultiZoneEffectSize], bool on,
                              int speedSeconds, bool reverse)
{
    StartMessage(message, kSetMultiZoneEffectSize, kTypeSetMultiZoneEffect);
    PutU32(message, 36, kMoveEffectInstance);
    PutU8(message, 40, on ? 1 : 0);
    // A stop carries the same speed and direction a start would; only the type differs.
    PutU32(message, 43, static_cast<uint32_t>(speedSeconds) * 1000u);
    PutU32(message, 67, reverse ? 0 : 1);
}

void EncodeSetColorZones(uint8_t (&message)[kSetColorZonesSize], uint8_t start, uint8_t end,
                         const Hsbk &colour, uint32_t durationMs, uint8_t apply)
{
    StartMessage(message, kSetColorZonesSize, kTypeSetColorZones);
    PutU8(message, 36, start);
    PutU8(message, 37, end);
    PutHsbk(message, 38, colour);
    PutU32(message, 46, durationMs);
    PutU8(message, 50, apply);
}

void EncodeSet64(uint8_t (&message)[kSet64Size], uint8_t tile, uint8_t fb, uint8_t y, uint8_t width,
                 const Hsbk *colours, int count, uint32_t durationMs)
{
    StartMessage(message, kSet64Size, kTypeSet64);
    PutU8(message, 36, tile);
    PutU8(message, 37, 1); // this tile only
    PutU8(message, 38, fb);
    PutU8(message, 39, 0); // x
    PutU8(message, 40, y);
    PutU8(message, 41, width);
    PutU32(message, 42, durationMs);
    if (count > kSet64Pixels)
        count = kSet64Pixels;
    for (int i = 0; i < count; ++i)
        PutHsbk(message, 46 + 8 * i, colours[i]);
}

void EncodeCopyFrameBuffer(uint8_t (&message)[kCopyFrameBufferSize], uint8_t tile, uint8_t width,
                           uint8_t height, uint32_t durationMs)
{
    StartMessage(message, kCopyFrameBufferSize, kTypeCopyFrameBuffer);
    PutU8(message, 36, tile);
    PutU8(message, 37, 1);
    PutU8(message, 38, 1); // from the frame buffer not shown
    PutU8(message, 39, 0); // to the one shown
    // Source x, y and destination x, y are all 0: the whole tile.
    PutU8(message, 44, width);
    PutU8(message, 45, height);
    PutU32(message, 46, durationMs);
}
