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
    {kEmulatorTypeSetColorZones, kEmulatorSetColorZonesSize},
    {kEmulatorTypeSet64, kEmulatorSet64Size},
    {kEmulatorTypeCopyFrameBuffer, kEmulatorCopyFrameBufferSize},
};

int ZonesOf(const EmulatedLight &light)
{
    return light.stripZones >= 1 && light.stripZones <= kEmulatorMaxZones ? light.stripZones
                                                                          : kEmulatorZones;
}

void ShowStoredZones(EmulatedLight &light)
{
    for (int zone = 0; zone < ZonesOf(light); zone++) {
        light.zones[zone] = light.storedZones[zone];
    }
}

void ApplySetColorZones(EmulatedLight &light, const uint8_t *data, int64_t nowMs)
{
    int start = data[36];
    int end = data[37];
    uint8_t apply = data[50];
    light.zonesReceived = true;
    light.zonesDuration = WireReadU32(data, 46);
    light.zonesApply = apply;
    light.zonesAtMs = nowMs;
    light.zonesArrival = ++light.colourOrZonesMessages;
    if (apply != 2) {
        for (int zone = start; zone <= end && zone < ZonesOf(light); zone++) {
            light.storedZones[zone] = ReadHsbk(data, 38);
        }
    }
    if (apply != 0) {
        ShowStoredZones(light);
    }
    light.colorZonesMessages++;
}

// The chain's tiles up to the first no light has.
int Tiles(const EmulatedLight &light)
{
    if (EmulatorLightKind(light) != EmulatorKindMatrix) {
        return 0;
    }
    int tiles = 0;
    while (tiles < light.kind.tileCount && tiles < kEmulatorMaxTiles &&
           light.kind.tiles[tiles].width >= 1 &&
           light.kind.tiles[tiles].width <= kEmulatorMaxTileSide &&
           light.kind.tiles[tiles].height >= 1 &&
           light.kind.tiles[tiles].height <= kEmulatorMaxTileSide) {
        tiles++;
    }
    return tiles;
}

int Width(const EmulatedLight &light, int tile)
{
    return light.kind.tiles[tile].width;
}

int Height(const EmulatedLight &light, int tile)
{
    return light.kind.tiles[tile].height;
}

void SizeFrameBuffers(EmulatedLight &light)
{
    size_t pixels = 0;
    for (int t = 0; t < Tiles(light); t++) {
        pixels += (size_t)(Width(light, t) * Height(light, t));
    }
    for (std::vector<Hsbk> &buffer : light.frameBuffer) {
        if (buffer.size() != pixels) {
            buffer.assign(pixels, Hsbk());
        }
    }
}

bool RefusesFrameBuffer(const EmulatedLight &light, int fb)
{
    return fb == 1 && light.refuseFrameBuffer1;
}

void ApplySet64(EmulatedLight &light, const uint8_t *data)
{
    light.set64Messages++;
    int tile = data[36];
    int fb = data[38];
    if (RefusesFrameBuffer(light, fb)) {
        light.unhandledType = kEmulatorTypeSet64;
        return;
    }
    SizeFrameBuffers(light);
    if (tile >= Tiles(light) || fb > 1) {
        return;
    }
    int x = data[39], y = data[40], width = data[41];
    int first = EmulatorTilePixel(light, tile);
    for (int i = 0; i < 64 && width > 0; i++) {
        int px = x + i % width, py = y + i / width;
        if (px < Width(light, tile) && py < Height(light, tile)) {
            light.frameBuffer[fb][(size_t)(first + py * Width(light, tile) + px)] =
                ReadHsbk(data, 46 + 8 * (size_t)i);
        }
    }
}

void ApplyCopyFrameBuffer(EmulatedLight &light, const uint8_t *data)
{
    light.copyMessages++;
    int tile = data[36];
    int from = data[38], to = data[39];
    if (light.refuseFrameBuffer1) {
        light.unhandledType = kEmulatorTypeCopyFrameBuffer;
        return;
    }
    SizeFrameBuffers(light);
    if (tile >= Tiles(light) || from > 1 || to > 1) {
        return;
    }
    int width = Width(light, tile), height = Height(light, tile);
    int first = EmulatorTilePixel(light, tile);
    for (int dy = 0; dy < data[45]; dy++) {
        for (int dx = 0; dx < data[44]; dx++) {
            int sx = data[40] + dx, sy = data[41] + dy, tx = data[42] + dx, ty = data[43] + dy;
            if (sx < width && sy < height && tx < width && ty < height) {
                light.frameBuffer[to][(size_t)(first + ty * width + tx)] =
                    light.frameBuffer[from][(size_t)(first + sy * width + sx)];
            }
        }
    }
}

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
    light.colourArrival = ++light.colourOrZonesMessages;
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
    light.zonesArrival = ++light.colourOrZonesMessages;
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
    case kEmulatorTypeSetColorZones:
        ApplySetColorZones(light, data, nowMs);
        break;
    case kEmulatorTypeSet64:
        ApplySet64(light, data);
        break;
    case kEmulatorTypeCopyFrameBuffer:
        ApplyCopyFrameBuffer(light, data);
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
    fresh.takesAddressed = light.takesAddressed;
    fresh.off = light.off;
    fresh.lossPercent = light.lossPercent;
    fresh.refuseFrameBuffer1 = light.refuseFrameBuffer1;
    light = std::move(fresh);
}

void EmulatorSetChain(EmulatedLight &light, int tiles, const uint8_t *widths,
                      const uint8_t *heights)
{
    light.kind.kind = EmulatorKindMatrix;
    light.kind.tileCount = tiles < kEmulatorMaxTiles ? tiles : kEmulatorMaxTiles;
    for (int t = 0; t < light.kind.tileCount; t++) {
        light.kind.tiles[t] = {widths[t], heights[t]};
    }
    for (std::vector<Hsbk> &buffer : light.frameBuffer) {
        buffer.clear();
    }
    SizeFrameBuffers(light);
}

int EmulatorTilePixel(const EmulatedLight &light, int tile)
{
    int first = 0;
    for (int t = 0; t < tile && t < Tiles(light); t++) {
        first += light.kind.tiles[t].width * light.kind.tiles[t].height;
    }
    return first;
}
