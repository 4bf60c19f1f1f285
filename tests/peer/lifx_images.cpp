// Prints the byte images of a fixed set of LIFX messages, one JSON object a
// line: the message kind, the values the encoder was given and the bytes in
// hex. A separate checker decodes them with an independent LIFX library.
#include <stdint.h>
#include <stdio.h>

#include "lifx/colour.h"
#include "lifx/messages.h"

namespace
{

void PrintHex(const uint8_t *bytes, int count)
{
    printf("\"");
    for (int i = 0; i < count; ++i)
        printf("%02x", bytes[i]);
    printf("\"");
}

void Power(const char *name, bool on)
{
    uint8_t message[kSetLightPowerSize];
    EncodeSetLightPower(message, on);
    printf("{\"name\":\"%s\",\"kind\":\"SetLightPower\",\"input\":{\"on\":%s},\"hex\":", name,
           on ? "true" : "false");
    PrintHex(message, kSetLightPowerSize);
    printf("}\n");
}

void Colour(const char *name, Hsbk colour, uint32_t durationMs)
{
    uint8_t message[kSetColorSize];
    EncodeSetColor(message, colour, durationMs);
    printf("{\"name\":\"%s\",\"kind\":\"SetColor\",\"input\":{\"hue\":%u,\"saturation\":%u,"
           "\"brightness\":%u,\"kelvin\":%u,\"duration\":%lu},\"hex\":",
           name, colour.hue, colour.saturation, colour.brightness, colour.kelvin,
           static_cast<unsigned long>(durationMs));
    PrintHex(message, kSetColorSize);
    printf("}\n");
}

void Move(const char *name, bool on, int speedSeconds, bool reverse)
{
    uint8_t message[kSetMultiZoneEffectSize];
    EncodeSetMultiZoneEffect(message, on, speedSeconds, reverse);
    printf("{\"name\":\"%s\",\"kind\":\"SetMultiZoneEffect\",\"input\":{\"on\":%s,"
           "\"speedSeconds\":%d,\"reverse\":%s},\"hex\":",
           name, on ? "true" : "false", speedSeconds, reverse ? "true" : "false");
    PrintHex(message, kSetMultiZoneEffectSize);
    printf("}\n");
}

void Zones(const char *name, uint32_t durationMs)
{
    Hsbk zones[kStripZones];
    for (int z = 0; z < kStripZones; ++z)
        zones[z] = RgbToHsbk(static_cast<uint32_t>(z * 3) << 8 | 0xFF, 80, 100, 95).hsbk;
    uint8_t message[kSetExtendedColorZonesSize];
    EncodeSetExtendedColorZones(message, zones, durationMs);
    printf("{\"name\":\"%s\",\"kind\":\"SetExtendedColorZones\",\"input\":{\"duration\":%lu},"
           "\"hex\":",
           name, static_cast<unsigned long>(durationMs));
    PrintHex(message, kSetExtendedColorZonesSize);
    printf("}\n");
}

} // namespace

int main()
{
    Power("power on", true);
    Power("power off", false);

    Colour("colour example", {21845, 65535, 32896, 9000}, 0);
    Colour("colour all bytes distinct", {0x1234, 0x5678, 0x9ABC, 0x0DEF}, 0x01020304u);
    Colour("colour maximum", {65535, 65535, 65535, 9000}, 0xFFFFFFFFu);
    Colour("white 3000 K", {0, 0, 32768, 3000}, 9800);
    Colour("orange under default calibration", RgbToHsbk(0x000080FF, 80, 100, 95).hsbk, 1800);

    Move("move on 10 s forward", true, 10, false);
    Move("move on 1 s forward", true, 1, false);
    Move("move on 60 s reversed", true, 60, true);
    Move("move off 10 s forward", false, 10, false);
    Move("move off 60 s reversed", false, 60, true);

    Zones("strip zones", 4800);
    return 0;
}
