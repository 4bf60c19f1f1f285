// Turning one datagram into what a light shows. Every check happens before
// the first change, so a refused datagram leaves the light as it was.
#include <utility>

#include "emulator/emulator.h"
#include "emulator/wire.h"

namespace
{

Hsbk ReadHsbk(const uint8_t *data, size_t offset)
{
    Hsbk colour;
    colour.hue = WireReadU16(data, offset);
    colour.saturation = WireReadU16(data, offset + 2);
    colour.brightness = WireReadU16(data, offset + 4);
    colour.kelvin = WireReadU16(data, offset + 6);
    return colour;
}

struct MessageSize {
    int type;
    size_t size;
};

const MessageSize kMessageSizes[] = {
    {kEmulatorTypeSetLightPower, kEmulatorSetLightPowerSize},
    {kEmulatorTypeSetColor, kEmulatorSetColorSize},
    {kEmulatorTypeSetExtendedColorZones, kEmulatorSetExtendedColorZonesSize},
    {kEmulatorTypeSetMultiZoneEffect, kEmulatorSetMultiZoneEffectSize},
};

void ApplySetLightPower(EmulatedLight &light, const uint8_t *data, int64_t nowMs)
{
    light.powerReceived = true;
    light.powerLevel = WireReadU16(data, 36);
    light.powerDuration = WireReadU32(data, 38);
    light.powerAtMs = nowMs;
    light.powerMessages++;
}

void ApplySetColor(EmulatedLight &light, const uint8_t *data, int64_t nowMs)
{
    // Byte 36 is reserved: the colour starts at 37.
    light.colourReceived = true;
    light.colour = ReadHsbk(data, 37);
    light.colourDuration = WireReadU32(data, 45);
    light.colourAtMs = nowMs;
    light.colourMessages++;
}

void ApplySetExtendedColorZones(EmulatedLight &light, const uint8_t *data, int64_t nowMs)
{
    light.zonesReceived = true;
    light.zonesDuration = WireReadU32(data, 36);
    light.zonesApply = data[40];
    light.zoneIndex = WireReadU16(data, 41);
    light.zoneCount = data[43];
    light.zonesAtMs = nowMs;
    // The message holds 82 records; the count and index choose which zones
    // they land on, and a strip has no zone beyond its last.
    int zones = light.stripZones >= 1 && light.stripZones <= kEmulatorMaxZones ? light.stripZones
                                                                               : kEmulatorZones;
    if (light.zonesApply != 2) {
        for (int i = 0; i < light.zoneCount && i < kEmulatorZones; i++) {
            int zone = light.zoneIndex + i;
            if (zone >= zones) {
                break;
            }
            light.storedZones[zone] = ReadHsbk(data, 44 + 8 * (size_t)i);
        }
    }
    if (light.zonesApply != 0) {
        for (int zone = 0; zone < zones; zone++) {
            light.zones[zone] = light.storedZones[zone];
        }
    }
    light.zonesMessages++;
}

void ApplySetMultiZoneEffect(EmulatedLight &light, const uint8_t *data)
{
    light.effectReceived = true;
    light.effectInstance = WireReadU32(data, 36);
    light.effectType = data[40];
    light.moveOn = light.effectType == 1;
    light.moveSpeedMs = WireReadU32(data, 43);
    light.moveDirection = WireReadU32(data, 67);
    light.effectMessages++;
}

void CountArrival(EmulatedLight &light, int64_t nowMs)
{
    // Bounded by the datagrams of one window, however long it runs.
    while (!light.recentArrivals.empty() &&
           light.recentArrivals.front() <= nowMs - kEmulatorRateWindowMs) {
        light.recentArrivals.pop_front();
    }
    light.recentArrivals.push_back(nowMs);
    int inWindow = (int)light.recentArrivals.size();
    if (inWindow > light.peakPerSecond) {
        light.peakPerSecond = inWindow;
    }
}

} // namespace

int EmulatorDatagramType(const uint8_t *data, size_t length)
{
    if (data == nullptr || length < kEmulatorHeaderSize) {
        return 0;
    }
    if (WireReadU16(data, 0) != length || WireReadU16(data, 2) != kEmulatorProtocolWord) {
        return 0;
    }
    int type = WireReadU16(data, 32);
    for (const MessageSize &known : kMessageSizes) {
        if (known.type == type) {
            return known.size == length ? type : 0;
        }
    }
    return 0;
}

bool EmulatorApplyDatagram(EmulatedLight &light, const uint8_t *data, size_t length, int64_t nowMs)
{
    int type = EmulatorDatagramType(data, length);
    switch (type) {
    case kEmulatorTypeSetLightPower:
        ApplySetLightPower(light, data, nowMs);
        break;
    case kEmulatorTypeSetColor:
        ApplySetColor(light, data, nowMs);
        break;
    case kEmulatorTypeSetExtendedColorZones:
        ApplySetExtendedColorZones(light, data, nowMs);
        break;
    case kEmulatorTypeSetMultiZoneEffect:
        ApplySetMultiZoneEffect(light, data);
        break;
    default:
        light.malformed++;
        return false;
    }
    ReceivedDatagram datagram;
    datagram.type = (uint16_t)type;
    datagram.atMs = nowMs;
    datagram.bytes.assign(data, data + length);
    light.received.push_back(std::move(datagram));
    CountArrival(light, nowMs);
    return true;
}

int EmulatorMessagesInLastSecond(const EmulatedLight &light, int64_t nowMs)
{
    int count = 0;
    for (int64_t at : light.recentArrivals) {
        if (at > nowMs - kEmulatorRateWindowMs && at <= nowMs) {
            count++;
        }
    }
    return count;
}

void EmulatorResetLight(EmulatedLight &light)
{
    EmulatedLight fresh;
    for (int i = 0; i < kEmulatorAddressSize; i++) {
        fresh.address[i] = light.address[i];
    }
    for (int i = 0; i <= kEmulatorLabelSize; i++) {
        fresh.label[i] = light.label[i];
    }
    for (int i = 0; i < kEmulatorSerialSize; i++) {
        fresh.serial[i] = light.serial[i];
    }
    fresh.strip = light.strip;
    fresh.kind = light.kind;
    fresh.stripZones = light.stripZones;
    fresh.replyMode = light.replyMode;
    fresh.off = light.off;
    fresh.lossPercent = light.lossPercent;
    light = std::move(fresh);
}
