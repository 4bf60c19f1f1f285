// The four LIFX LAN messages the plug-in sends, encoded byte by byte.
#pragma once

#include <stdint.h>

struct Hsbk {
    uint16_t hue;        // 0-65535 over 0-360 degrees
    uint16_t saturation; // 0 white to 65535 full colour
    uint16_t brightness;
    uint16_t kelvin;
};

enum {
    kLifxPort = 56700,
    kStripZones = 82,

    kTypeSetColor = 102,
    kTypeSetLightPower = 117,
    kTypeSetMultiZoneEffect = 508,
    kTypeSetExtendedColorZones = 510,

    kHeaderSize = 36,
    kSetLightPowerSize = 42,
    kSetColorSize = 49,
    kSetMultiZoneEffectSize = 95,
    kSetExtendedColorZonesSize = 700,

    kMoveEffectInstance = 0x1A2B3C4D,

    // Older strips: the original zone messages, zones by uint8 index.
    kTypeSetColorZones = 501,
    kSetColorZonesSize = 51,
    kMaxOlderStripZones = 255,

    // Matrix lights: 64 pixels of one tile a message, and a frame buffer's
    // rectangle copied to another.
    kTypeSet64 = 715,
    kTypeCopyFrameBuffer = 716,
    kSet64Size = 558,
    kCopyFrameBufferSize = 51,
    kSet64Pixels = 64,

    // Finding lights: requests that a light answers, and its answers.
    kTypeGetService = 2,
    kTypeStateService = 3,
    kTypeGetLabel = 23,
    kTypeStateLabel = 25,
    kTypeStateUnhandled = 223,
    kTypeGetExtendedColorZones = 511,
    kTypeStateExtendedColorZones = 512,
    // What a device is: its product, the original zone messages of older
    // strips, and a matrix light's chain of tiles.
    kTypeGetColor = 101,
    kTypeLightState = 107,
    kTypeGetVersion = 32,
    kTypeStateVersion = 33,
    kTypeGetColorZones = 502,
    kTypeStateZone = 503,
    kTypeStateMultiZone = 506,
    kTypeGetDeviceChain = 701,
    kTypeStateDeviceChain = 702,
    kGetColorZonesSize = kHeaderSize + 2, // first and last zone asked for

    // Confirmed delivery: a light answers a message that asks for it with an
    // Acknowledgement naming the message's source and sequence.
    kTypeAcknowledgement = 45,
    kAcknowledgementSize = kHeaderSize,

    kRequestSize = kHeaderSize, // a request carries no payload
    kSerialSize = 6,
    kLabelSize = 32,
};

void EncodeSetLightPower(uint8_t (&message)[kSetLightPowerSize], bool on);
void EncodeSetColor(uint8_t (&message)[kSetColorSize], const Hsbk &colour, uint32_t durationMs);
void EncodeSetExtendedColorZones(uint8_t (&message)[kSetExtendedColorZonesSize],
                                 const Hsbk (&zones)[kStripZones], uint32_t durationMs);
// One span of a strip's zones: count colours (1 to 82) for the zones from
// zoneIndex on; apply 0 stores them, 1 shows everything stored. Entries past
// count stay zero. With index 0, count 82 and apply 1 it is the message above.
void EncodeSetExtendedColorZonesSpan(uint8_t (&message)[kSetExtendedColorZonesSize],
                                     const Hsbk (&colours)[kStripZones], uint16_t zoneIndex,
                                     uint8_t count, uint8_t apply, uint32_t durationMs);
// Requests carry our source, which a light copies into its answers, and ask
// for an answer. GetService goes to every light (tagged, no target); the
// others to the light with that serial.
void EncodeGetService(uint8_t (&message)[kRequestSize], uint32_t source, uint8_t sequence);
void EncodeGetLabel(uint8_t (&message)[kRequestSize], uint32_t source,
                    const uint8_t (&serial)[kSerialSize], uint8_t sequence);
void EncodeGetExtendedColorZones(uint8_t (&message)[kRequestSize], uint32_t source,
                                 const uint8_t (&serial)[kSerialSize], uint8_t sequence);
void EncodeGetVersion(uint8_t (&message)[kRequestSize], uint32_t source,
                      const uint8_t (&serial)[kSerialSize], uint8_t sequence);
void EncodeGetColor(uint8_t (&message)[kRequestSize], uint32_t source,
                    const uint8_t (&serial)[kSerialSize], uint8_t sequence);
void EncodeGetDeviceChain(uint8_t (&message)[kRequestSize], uint32_t source,
                          const uint8_t (&serial)[kSerialSize], uint8_t sequence);
// Every zone: from 0 to 255, which a strip takes as its last.
void EncodeGetColorZones(uint8_t (&message)[kGetColorZonesSize], uint32_t source,
                         const uint8_t (&serial)[kSerialSize], uint8_t sequence);
// The same to whichever light is at the address it is sent to (tagged, no
// target): for a light whose serial is not known.
void EncodeGetExtendedColorZonesAny(uint8_t (&message)[kRequestSize], uint32_t source,
                                    uint8_t sequence);
void EncodeGetDeviceChainAny(uint8_t (&message)[kRequestSize], uint32_t source, uint8_t sequence);
void EncodeGetLabelAny(uint8_t (&message)[kRequestSize], uint32_t source, uint8_t sequence);
// Turns an encoded Set message into one the light acknowledges: our source,
// the acknowledgement flag and the light's sequence number. Every other byte
// stays as encoded.
void AskAcknowledgement(uint8_t *message, uint32_t source, uint8_t sequence);
// Zones start to end (inclusive) of an older strip in one colour; apply as
// for the extended message (0 store, 1 store and show all, 2 show stored).
void EncodeSetColorZones(uint8_t (&message)[kSetColorZonesSize], uint8_t start, uint8_t end,
                         const Hsbk &colour, uint32_t durationMs, uint8_t apply);
// count colours (at most 64) into frame buffer fb of one tile, row by row
// from (0, y), width to a row; colours past count stay zero.
void EncodeSet64(uint8_t (&message)[kSet64Size], uint8_t tile, uint8_t fb, uint8_t y, uint8_t width,
                 const Hsbk *colours, int count, uint32_t durationMs);
// Shows a whole tile's frame buffer 1 (width by height from 0, 0) in frame
// buffer 0, fading over durationMs.
void EncodeCopyFrameBuffer(uint8_t (&message)[kCopyFrameBufferSize], uint8_t tile, uint8_t width,
                           uint8_t height, uint32_t durationMs);
void EncodeSetMultiZoneEffect(uint8_t (&message)[kSetMultiZoneEffectSize], bool on,
                              int speedSeconds, bool reverse);
