// The requests that find lights, and a light's replies to them, byte by byte.
// A reply carries the request's source and sequence and the light's serial.
// In malformed mode a light sends instead one reply per fault, each broken in
// that one way alone, so a client that misses any one check takes a reply.
#include <string.h>

#include "emulator/emulator.h"
#include "emulator/wire.h"

namespace
{

const size_t kTargetOffset = 8;
const size_t kTargetSize = 8;

bool IsRequestType(int type)
{
    return type == kEmulatorTypeGetService || type == kEmulatorTypeGetLabel ||
           type == kEmulatorTypeGetExtendedColorZones;
}

// What answers the request in this light, or 0 for nothing at all.
uint16_t AnswerType(const EmulatedLight &light, int requestType)
{
    switch (requestType) {
    case kEmulatorTypeGetService:
        return kEmulatorTypeStateService;
    case kEmulatorTypeGetLabel:
        return kEmulatorTypeStateLabel;
    case kEmulatorTypeGetExtendedColorZones:
        if (light.strip) {
            return kEmulatorTypeStateExtendedColorZones;
        }
        // Older firmware does not know the message and says nothing.
        return light.replyMode == EmulatorRepliesOlderFirmware ? 0 : kEmulatorTypeStateUnhandled;
    default:
        return 0;
    }
}

// Writes the payload of a reply of this type after the header; returns its
// size. The buffer is zeroed already.
size_t WritePayload(const EmulatedLight &light, uint16_t type, int requestType, int firstZone,
                    uint8_t *out)
{
    uint8_t *payload = out + kEmulatorHeaderSize;
    switch (type) {
    case kEmulatorTypeStateService:
        payload[0] = kEmulatorServiceUdp;
        WireWriteU32(payload, 1, kEmulatorPort);
        return kEmulatorStateServiceSize - kEmulatorHeaderSize;
    case kEmulatorTypeStateLabel:
        // Zero-padded; all 32 bytes may be used, with no terminator.
        memcpy(payload, light.label, strnlen(light.label, kEmulatorLabelSize));
        return kEmulatorStateLabelSize - kEmulatorHeaderSize;
    case kEmulatorTypeStateUnhandled:
        WireWriteU16(payload, 0, (uint16_t)requestType);
        return kEmulatorStateUnhandledSize - kEmulatorHeaderSize;
    case kEmulatorTypeStateExtendedColorZones: {
        // One reply per 82 zones, each with the strip's total.
        int total = light.stripZones >= 1 && light.stripZones <= kEmulatorMaxZones
                        ? light.stripZones
                        : kEmulatorZones;
        int count = total - firstZone < kEmulatorZones ? total - firstZone : kEmulatorZones;
        WireWriteU16(payload, 0, (uint16_t)total);
        WireWriteU16(payload, 2, (uint16_t)firstZone);
        payload[4] = (uint8_t)count;
        for (int z = 0; z < count; z++) {
            const Hsbk &colour = light.zones[firstZone + z];
            size_t at = 5 + 8 * (size_t)z;
            WireWriteU16(payload, at, colour.hue);
            WireWriteU16(payload, at + 2, colour.saturation);
            WireWriteU16(payload, at + 4, colour.brightness);
            WireWriteU16(payload, at + 6, colour.kelvin);
        }
    }
        return kEmulatorStateExtendedColorZonesSize - kEmulatorHeaderSize;
    default:
        return 0;
    }
}

void BuildReply(EmulatorReply &reply, const EmulatedLight &light, const uint8_t *request,
                uint16_t answer, EmulatorFault fault, int firstZone = 0)
{
    int requestType = WireReadU16(request, 32);
    // Another reply that does answer some request, whole and valid but for
    // its type.
    uint16_t type = answer;
    if (fault == EmulatorFaultWrongType) {
        type = answer == kEmulatorTypeStateService ? (uint16_t)kEmulatorTypeStateLabel
                                                   : (uint16_t)kEmulatorTypeStateService;
    }
    uint8_t *out = reply.bytes;
    memset(out, 0, sizeof(reply.bytes));
    size_t length = kEmulatorHeaderSize + WritePayload(light, type, requestType, firstZone, out);
    if (fault == EmulatorFaultShortPayload) {
        length--;
    } else if (fault == EmulatorFaultLongPayload) {
        length++; // a zero byte
    }

    uint16_t size = (uint16_t)(length + (fault == EmulatorFaultSizeField ? 1 : 0));
    uint16_t word = kEmulatorUntaggedWord | (fault == EmulatorFaultProtocol ? 1 : 0);
    uint32_t source = WireReadU32(request, 4) + (fault == EmulatorFaultSource ? 1 : 0);
    WireWriteU16(out, 0, size);
    WireWriteU16(out, 2, word);
    WireWriteU32(out, 4, source);
    memcpy(out + kTargetOffset, light.serial, kEmulatorSerialSize);
    out[23] = request[23]; // sequence
    WireWriteU16(out, 32, type);

    reply.type = type;
    reply.fault = fault;
    reply.length = length;
}

void Record(EmulatedLight &light, EmulatorExchangeKind kind, const uint8_t *request,
            const char *fromAddress, uint16_t fromPort, int64_t nowMs)
{
    EmulatorExchange exchange = {};
    exchange.kind = kind;
    exchange.type = WireReadU16(request, 32);
    exchange.fault = EmulatorFaultNone;
    exchange.tagged = (WireReadU16(request, 2) & kEmulatorTaggedBit) != 0;
    memcpy(exchange.target, request + kTargetOffset, kEmulatorSerialSize);
    strncpy(exchange.peer, fromAddress == nullptr ? "" : fromAddress, kEmulatorAddressSize - 1);
    exchange.peerPort = fromPort;
    exchange.atMs = nowMs;
    exchange.afterReceived = light.received.size();
    light.exchanges.push_back(exchange);
}

} // namespace

int EmulatorRequestType(const uint8_t *data, size_t length)
{
    if (data == nullptr || length != kEmulatorRequestSize ||
        WireReadU16(data, 0) != kEmulatorRequestSize) {
        return 0;
    }
    uint16_t word = WireReadU16(data, 2);
    if (word != kEmulatorProtocolWord && word != kEmulatorUntaggedWord) {
        return 0;
    }
    if (WireReadU32(data, 4) == 0) {
        return 0;
    }
    // Tagged means every light, with no serial; a serial is followed by two
    // zero bytes.
    bool tagged = word == kEmulatorProtocolWord;
    for (size_t i = tagged ? 0 : kEmulatorSerialSize; i < kTargetSize; i++) {
        if (data[kTargetOffset + i] != 0) {
            return 0;
        }
    }
    int type = WireReadU16(data, 32);
    return IsRequestType(type) ? type : 0;
}

EmulatorOutcome EmulatorHandleDatagram(EmulatedLight &light, const uint8_t *data, size_t length,
                                       const char *fromAddress, uint16_t fromPort, int64_t nowMs,
                                       EmulatorReplies &replies)
{
    replies.count = 0;
    int type = EmulatorRequestType(data, length);
    if (type == 0) {
        if (!EmulatorApplyDatagram(light, data, length, nowMs)) {
            return EmulatorRefused;
        }
        // Acknowledged after acting on it, as a light does.
        if ((data[22] & kEmulatorAckRequiredBit) && light.replyMode != EmulatorRepliesSilent) {
            // A reply without payload, naming the message's source and
            // sequence.
            BuildReply(replies.replies[replies.count++], light, data, kEmulatorTypeAcknowledgement,
                       EmulatorFaultNone);
        }
        // Newer firmware names a message it does not take; the request's
        // source, sequence and type are the Set message's.
        if (light.unhandledType != 0 && light.replyMode != EmulatorRepliesSilent) {
            BuildReply(replies.replies[replies.count++], light, data, kEmulatorTypeStateUnhandled,
                       EmulatorFaultNone);
        }
        light.unhandledType = 0;
        return EmulatorApplied;
    }
    bool tagged = (WireReadU16(data, 2) & kEmulatorTaggedBit) != 0;
    if (!tagged && memcmp(data + kTargetOffset, light.serial, kEmulatorSerialSize) != 0) {
        light.ignoredRequests++;
        Record(light, EmulatorExchangeIgnored, data, fromAddress, fromPort, nowMs);
        return EmulatorIgnored;
    }

    if (type == kEmulatorTypeGetService) {
        light.serviceRequests++;
    } else if (type == kEmulatorTypeGetLabel) {
        light.labelRequests++;
    } else {
        light.zonesRequests++;
    }
    strncpy(light.requesterAddress, fromAddress == nullptr ? "" : fromAddress,
            kEmulatorAddressSize - 1);
    light.requesterAddress[kEmulatorAddressSize - 1] = '\0';
    light.requesterPort = fromPort;
    Record(light, EmulatorExchangeRequest, data, fromAddress, fromPort, nowMs);

    uint16_t answer = AnswerType(light, type);
    if (answer == 0 || light.replyMode == EmulatorRepliesSilent) {
        return EmulatorRequested;
    }
    if (light.replyMode == EmulatorRepliesMalformed) {
        for (int fault = EmulatorFaultNone + 1; fault < EmulatorFaultCount; fault++) {
            BuildReply(replies.replies[replies.count++], light, data, answer, (EmulatorFault)fault);
        }
    } else if (answer == kEmulatorTypeStateExtendedColorZones) {
        for (int first = 0;
             (first == 0 || first < light.stripZones) && replies.count < kEmulatorMaxReplies;
             first += kEmulatorZones) {
            BuildReply(replies.replies[replies.count++], light, data, answer, EmulatorFaultNone,
                       first);
        }
    } else {
        BuildReply(replies.replies[replies.count++], light, data, answer, EmulatorFaultNone);
    }
    return EmulatorRequested;
}
