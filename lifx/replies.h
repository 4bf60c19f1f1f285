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
    uint16_t zoneCount;         // StateExtendedColorZones: the strip's zones
    uint16_t unhandledType;     // StateUnhandled: the request it did not take
};

// True when data is one whole answer to a request of ours: the size field
// equals the length, protocol 1024, our source, and one of the four answer
// types with exactly its payload. Anything else leaves *reply undefined.
bool ReadReply(const uint8_t *data, size_t length, uint32_t source, Reply *reply);
// True when data is an Acknowledgement for our source: 36 bytes, the size
// field 36, protocol 1024, type 45. *sequence is the message it answers.
bool ReadAcknowledgement(const uint8_t *data, size_t length, uint32_t source, uint8_t *sequence);
