// Prints the byte images of a fixed set of LIFX messages, one JSON object a
// line: the message kind, the values the encoder was given and the bytes in
// hex. A separate checker decodes them with an independent LIFX library.
//
// With "--read SOURCE HEX...", reads each datagram as an answer to requests
// of that source (8 hex digits, as the library writes a source) and prints
// what was read, one JSON object a line, for the checker to compare with
// what the library encoded.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <initializer_list>

#include "lifx/colour.h"
#include "lifx/messages.h"
#include "lifx/replies.h"
#include "lifx/zones.h"

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

// A strip of zoneCount zones: one image per span. Zone z is hue z * 797,
// saturation 65535 - 3z, brightness 20000 + 11z, 9000 K.
void StripSpans(int zoneCount, uint32_t durationMs)
{
    static Hsbk zones[kMaxStripZones];
    for (int z = 0; z < zoneCount; ++z)
        zones[z] = {static_cast<uint16_t>(z * 797), static_cast<uint16_t>(65535 - 3 * z),
                    static_cast<uint16_t>(20000 + 11 * z), 9000};
    static uint8_t messages[kMaxZoneSpans][kSetExtendedColorZonesSize];
    int spans = EncodeStripZones(messages, zoneCount, zones, durationMs);
    for (int s = 0; s < spans; ++s) {
        printf("{\"name\":\"strip of %d zones, span %d of %d\",\"kind\":\"SetExtendedColorZones\","
               "\"input\":{\"duration\":%lu,\"zoneCount\":%d,\"span\":%d,\"spans\":%d},\"hex\":",
               zoneCount, s + 1, spans, static_cast<unsigned long>(durationMs), zoneCount, s,
               spans);
        PrintHex(messages[s], kSetExtendedColorZonesSize);
        printf("}\n");
    }
}

// A SetLightPower as confirmed delivery sends it.
void ConfirmedPower(const char *name, uint32_t source, uint8_t sequence)
{
    uint8_t message[kSetLightPowerSize];
    EncodeSetLightPower(message, true);
    AskAcknowledgement(message, source, sequence);
    printf("{\"name\":\"%s\",\"kind\":\"ConfirmedSetLightPower\",\"input\":{\"source\":%lu,"
           "\"sequence\":%u},\"hex\":",
           name, static_cast<unsigned long>(source), sequence);
    PrintHex(message, kSetLightPowerSize);
    printf("}\n");
}

// GetService names no light: its target is printed as zeros.
void Request(const char *name, const char *kind, uint32_t source,
             const uint8_t (&serial)[kSerialSize], uint8_t sequence)
{
    static const uint8_t kNoTarget[kSerialSize] = {};
    bool service = !strcmp(kind, "GetService");
    uint8_t message[kRequestSize];
    if (service)
        EncodeGetService(message, source, sequence);
    else if (!strcmp(kind, "GetLabel"))
        EncodeGetLabel(message, source, serial, sequence);
    else
        EncodeGetExtendedColorZones(message, source, serial, sequence);
    printf("{\"name\":\"%s\",\"kind\":\"%s\",\"input\":{\"source\":%lu,\"sequence\":%u,"
           "\"target\":",
           name, kind, static_cast<unsigned long>(source), sequence);
    PrintHex(service ? kNoTarget : serial, kSerialSize);
    printf("},\"hex\":");
    PrintHex(message, kRequestSize);
    printf("}\n");
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Prints what the reply reader made of each datagram.
int ReadReplies(int count, char **hex, uint32_t source)
{
    static uint8_t bytes[4096];
    for (int i = 0; i < count; ++i) {
        size_t length = strlen(hex[i]) / 2;
        if (length > sizeof bytes)
            return 2;
        for (size_t j = 0; j < length; ++j) {
            int high = HexValue(hex[i][2 * j]), low = HexValue(hex[i][2 * j + 1]);
            if (high < 0 || low < 0)
                return 2;
            bytes[j] = (uint8_t)(high * 16 + low);
        }
        uint8_t sequence;
        if (ReadAcknowledgement(bytes, length, source, &sequence)) {
            printf("{\"read\":true,\"type\":45,\"sequence\":%u}\n", sequence);
            continue;
        }
        Reply reply;
        if (!ReadReply(bytes, length, source, &reply)) {
            printf("{\"read\":false}\n");
            continue;
        }
        printf("{\"read\":true,\"type\":%d,\"serial\":", reply.type);
        PrintHex(reply.serial, kSerialSize);
        printf(",\"sequence\":%u,\"service\":%u,\"port\":%lu,\"label\":", reply.sequence,
               reply.service, static_cast<unsigned long>(reply.port));
        PrintHex((const uint8_t *)reply.label, (int)strlen(reply.label));
        printf("}\n");
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc >= 3 && !strcmp(argv[1], "--read")) {
        // The library writes a source as bytes in order: as read, little-endian.
        uint32_t bytes = (uint32_t)strtoul(argv[2], nullptr, 16);
        uint32_t source =
            (bytes >> 24) | ((bytes >> 8) & 0xFF00) | ((bytes << 8) & 0xFF0000) | (bytes << 24);
        return ReadReplies(argc - 3, argv + 3, source);
    }

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
    for (int zoneCount : {1, 16, 83, 120, 164, 1000})
        StripSpans(zoneCount, 9800);
    ConfirmedPower("confirmed power on", 0x43484C54u, 1);
    ConfirmedPower("confirmed power on, sequence 255", 0x89ABCDEFu, 255);

    const uint8_t serial[kSerialSize] = {0xD0, 0x73, 0xD5, 0x12, 0x34, 0x56};
    Request("get service", "GetService", 0x4C46584Cu, serial, 1);
    Request("get service round 3", "GetService", 0x89ABCDEFu, serial, 3);
    Request("get label", "GetLabel", 0x4C46584Cu, serial, 7);
    Request("get extended color zones", "GetExtendedColorZones", 0x4C46584Cu, serial, 8);
    return 0;
}
