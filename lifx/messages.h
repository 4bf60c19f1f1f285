// The four LIFX LAN messages the plug-in sends, encoded byte by byte.
#pragma once

#include <stdint.h>

struct Hsbk {
    uint16_t hue;         // 0-65535 over 0-360 degrees
    uint16_t saturation;  // 0 white to 65535 full colour
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
};

void EncodeSetLightPower(uint8_t (&message)[kSetLightPowerSize], bool on);
void EncodeSetColor(uint8_t (&message)[kSetColorSize], const Hsbk &colour, uint32_t durationMs);
void EncodeSetExtendedColorZones(uint8_t (&message)[kSetExtendedColorZonesSize],
                                 const Hsbk (&zones)[kStripZones], uint32_t durationMs);
void EncodeSetMultiZoneEffect(uint8_t (&message)[kSetMultiZoneEffectSize], bool on,
                              int speedSeconds, bool reverse);
