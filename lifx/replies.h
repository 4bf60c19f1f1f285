// Answers of the lights to the requests that find them. They come from the
// network: nothing in them is trusted until it has been read here.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "lifx/messages.h"

enum {
    kStateServicePayload = 5,
    kStateLabelPayload = 32,
    kStateUnhandledPayload = 2,
    kStateExtendedColorZonesPayload = 661,
    kStateVersionPayload = 12,
    kLightStatePayload = 52,
    kStateZonePayload = 10,
    kStateMultiZonePayload = 66,
    kStateDeviceChainPayload = 882,
    kChainTileSize = 55,
    kChainTiles = 16, // room in one answer
    kServiceUdp = 1,
};

struct Reply {
    int type; // kTypeStateService, kTypeStateLabel, kTypeStateUnhandled or
              // kTypeStateExtendedColorZones
    uint8_t serial[kSerialSize];
    uint8_t sequence;
    uint8_t service;            // StateService
    uint32_t port;              // StateService
    char label[kLabelSize + 1]; // StateLabel, the 32 bytes, then a 0
    uint16_t zoneCount;         // StateExtendedColorZones, StateZone,
                                // StateMultiZone: the strip's zones
    uint16_t unhandledType;     // StateUnhandled: the request it did not take
    uint32_t product;           // StateVersion, with vendor 1 (LIFX); else 0
    // StateDeviceChain as it came: the count byte and the 16 tiles' sides.
    // A chain answer cut short is taken, marked truncated, its fields zero.
    bool truncated;
    uint8_t tileCount;
    uint8_t tileWidth[kChainTiles];
    uint8_t tileHeight[kChainTiles];
};

// True when data is one whole answer to a request of ours: the size field
// equals the length, protocol 1024, our source, and one of the four answer
// types with exactly its payload (a chain answer with no more). Anything else leaves *reply
// undefined.
bool ReadReply(const uint8_t *data, size_t length, uint32_t source, Reply *reply);
// True when data is an Acknowledgement for our source: 36 bytes, the size
// field 36, protocol 1024, type 45. *sequence is the message it answers.
bool ReadAcknowledgement(const uint8_t *data, size_t length, uint32_t source, uint8_t *sequence);
