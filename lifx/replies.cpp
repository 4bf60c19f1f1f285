#include "lifx/replies.h"

#include <string.h>

namespace
{

const uint16_t kProtocolNumber = 1024;

uint16_t GetU16(const uint8_t *data, size_t offset)
{
    return (uint16_t)(data[offset] | (data[offset + 1] << 8));
}

uint32_t GetU32(const uint8_t *data, size_t offset)
{
    return (uint32_t)data[offset] | ((uint32_t)data[offset + 1] << 8) |
           ((uint32_t)data[offset + 2] << 16) | ((uint32_t)data[offset + 3] << 24);
}

struct ReplyShape {
    int type;
    size_t payload;
};

const ReplyShape kReplyShapes[] = {
    {kTypeStateService, kStateServicePayload},
    {kTypeStateLabel, kStateLabelPayload},
    {kTypeStateUnhandled, kStateUnhandledPayload},
    {kTypeStateExtendedColorZones, kStateExtendedColorZonesPayload},
    {kTypeStateVersion, kStateVersionPayload},
    {kTypeLightState, kLightStatePayload},
    {kTypeStateZone, kStateZonePayload},
    {kTypeStateMultiZone, kStateMultiZonePayload},
    {kTypeStateDeviceChain, kStateDeviceChainPayload},
};

} // namespace

bool ReadReply(const uint8_t *data, size_t length, uint32_t source, Reply *reply)
{
    if (!data || length < kHeaderSize || GetU16(data, 0) != length)
        return false;
    if ((GetU16(data, 2) & 0x0FFF) != kProtocolNumber || GetU32(data, 4) != source)
        return false;
    int type = GetU16(data, 32);
    bool known = false;
    for (const ReplyShape &shape : kReplyShapes)
        known =
            known || (shape.type == type &&
                      (shape.payload == length - kHeaderSize ||
                       (type == kTypeStateDeviceChain && length - kHeaderSize < shape.payload)));
    if (!known)
        return false;

    const uint8_t *payload = data + kHeaderSize;
    memset(reply, 0, sizeof *reply);
    reply->type = type;
    memcpy(reply->serial, data + 8, kSerialSize);
    reply->sequence = data[23];
    switch (type) {
    case kTypeStateService:
        reply->service = payload[0];
        reply->port = GetU32(payload, 1);
        break;
    case kTypeStateLabel:
        // Not terminated when all 32 bytes are used.
        memcpy(reply->label, payload, kLabelSize);
        reply->label[kLabelSize] = 0;
        break;
    case kTypeStateUnhandled:
        reply->unhandledType = GetU16(payload, 0);
        break;
    case kTypeStateExtendedColorZones:
        reply->zoneCount = GetU16(payload, 0);
        break;
    case kTypeStateZone:
    case kTypeStateMultiZone:
        reply->zoneCount = payload[0];
        break;
    case kTypeStateVersion:
        reply->product = GetU32(payload, 0) == 1 ? GetU32(payload, 4) : 0;
        break;
    case kTypeStateDeviceChain:
        reply->truncated = length - kHeaderSize != kStateDeviceChainPayload;
        if (reply->truncated)
            break;
        // The tiles from the start index on; ours asks from tile 0.
        reply->tileCount = payload[1 + kChainTiles * kChainTileSize];
        for (int t = 0; t < kChainTiles; t++) {
            reply->tileWidth[t] = payload[1 + t * kChainTileSize + 16];
            reply->tileHeight[t] = payload[1 + t * kChainTileSize + 17];
        }
        break;
    }
    return true;
}

bool ReadAcknowledgement(const uint8_t *data, size_t length, uint32_t source, uint8_t *sequence)
{
    if (!data || length != kAcknowledgementSize || GetU16(data, 0) != length)
        return false;
    if ((GetU16(data, 2) & 0x0FFF) != kProtocolNumber || GetU32(data, 4) != source ||
        GetU16(data, 32) != kTypeAcknowledgement)
        return false;
    *sequence = data[23];
    return true;
}
