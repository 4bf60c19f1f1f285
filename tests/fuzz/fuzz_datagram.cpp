// Datagrams through the light emulator's decoder. The decoder is what the
// tests trust to say what a light shows, so it must refuse anything that is
// not exactly one of the four messages, and change nothing when it does. The
// same datagram then reaches a light that answers requests: it answers only
// well-formed requests, with replies a client takes when it answers as a real
// light, and with none that a client takes when it sends broken ones.
#include <string.h>

#include "emulator/emulator.h"
#include "tests/fuzz/fuzz_support.h"

namespace
{

EmulatedLight light;
EmulatedLight asked;
int64_t now;
unsigned inputs;

const uint8_t kSerial[6] = {0xD0, 0x73, 0xD5, 0x00, 0x00, 0x01};

uint32_t U32(const uint8_t *data, size_t offset)
{
    return (uint32_t)data[offset] | ((uint32_t)data[offset + 1] << 8) |
           ((uint32_t)data[offset + 2] << 16) | ((uint32_t)data[offset + 3] << 24);
}

uint16_t U16(const uint8_t *data, size_t offset)
{
    return (uint16_t)(data[offset] | (data[offset + 1] << 8));
}

// Whether a client that sent request would take reply as its answer.
bool ClientTakes(const uint8_t *request, const EmulatorReply &reply, bool strip)
{
    const uint8_t *bytes = reply.bytes;
    if (reply.length < 36 || U16(bytes, 0) != reply.length || U16(bytes, 2) != 0x1400 ||
        U32(bytes, 4) != U32(request, 4) || bytes[23] != request[23] ||
        memcmp(bytes + 8, kSerial, 6) != 0 || bytes[14] != 0 || bytes[15] != 0)
        return false;
    uint16_t expected = 0;
    size_t payload = 0;
    switch (U16(request, 32)) {
    case 2:
        expected = 3;
        payload = 5;
        break;
    case 23:
        expected = 25;
        payload = 32;
        break;
    case 511:
        expected = strip ? 512 : 223;
        payload = strip ? 661 : 2;
        break;
    case 32:
        expected = 33;
        payload = 12;
        break;
    case 14:
        expected = 15;
        payload = 20;
        break;
    case 101:
        expected = 107;
        payload = 52;
        break;
    case 502:
        expected = strip ? 506 : 223;
        payload = strip ? 66 : 2;
        break;
    case 701: // neither a bulb nor a strip has a chain
        expected = 223;
        payload = 2;
        break;
    }
    return U16(bytes, 32) == expected && reply.length - 36 == payload;
}

int Requests(const EmulatedLight &light)
{
    return light.serviceRequests + light.labelRequests + light.zonesRequests + light.kindRequests;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // What it received is kept; start afresh now and then to bound it.
    if (++inputs % 256 == 0) {
        EmulatorResetLight(light);
        EmulatorResetLight(asked);
    }

    int type = EmulatorDatagramType(data, size);
    int malformedBefore = light.malformed;
    size_t receivedBefore = light.received.size();
    now += 7;

    bool applied = EmulatorApplyDatagram(light, data, size, now);

    FUZZ_CHECK(applied == (type != 0));
    if (!applied) {
        FUZZ_CHECK(light.malformed == malformedBefore + 1);
        FUZZ_CHECK(light.received.size() == receivedBefore);
    } else {
        FUZZ_CHECK(light.malformed == malformedBefore);
        FUZZ_CHECK(light.received.size() == receivedBefore + 1);
        FUZZ_CHECK(light.received.back().type == type);
        FUZZ_CHECK(light.received.back().bytes.size() == size);
        FUZZ_CHECK(EmulatorMessagesInLastSecond(light, now) >= 1);
    }

    // Every reply mode and kind, in turn.
    memcpy(asked.serial, kSerial, sizeof kSerial);
    asked.replyMode = (EmulatorReplyMode)(inputs % 4);
    asked.strip = (inputs / 4) % 2 == 1;
    int requestType = EmulatorRequestType(data, size);
    malformedBefore = asked.malformed;
    int requestsBefore = Requests(asked);
    static EmulatorReplies replies;

    EmulatorOutcome outcome =
        EmulatorHandleDatagram(asked, data, size, "127.0.0.1", 40000, now, replies);

    FUZZ_CHECK(type == 0 || requestType == 0);
    FUZZ_CHECK((outcome == EmulatorRefused) == (type == 0 && requestType == 0));
    FUZZ_CHECK((outcome == EmulatorApplied) == (type != 0));
    FUZZ_CHECK(asked.malformed == malformedBefore + (outcome == EmulatorRefused ? 1 : 0));
    FUZZ_CHECK(Requests(asked) == requestsBefore + (outcome == EmulatorRequested ? 1 : 0));
    FUZZ_CHECK(replies.count >= 0 && replies.count <= kEmulatorMaxReplies);
    if (outcome == EmulatorApplied) {
        // A message that asks for it is acknowledged, by any light that answers.
        bool acknowledged =
            (data[22] & kEmulatorAckRequiredBit) && asked.replyMode != EmulatorRepliesSilent;
        FUZZ_CHECK(replies.count == (acknowledged ? 1 : 0));
        FUZZ_CHECK(!acknowledged || replies.replies[0].type == kEmulatorTypeAcknowledgement);
        return 0;
    }
    if (outcome != EmulatorRequested) {
        FUZZ_CHECK(replies.count == 0);
        return 0;
    }
    for (int i = 0; i < replies.count; i++) {
        const EmulatorReply &reply = replies.replies[i];
        FUZZ_CHECK(reply.length <= sizeof reply.bytes);
        bool taken = ClientTakes(data, reply, asked.strip);
        FUZZ_CHECK(taken == (asked.replyMode != EmulatorRepliesMalformed));
    }
    // Older firmware stays silent where newer names what it does not take; a
    // strip answers the original zone question 8 zones a message.
    bool unhandled = requestType == kEmulatorTypeGetDeviceChain ||
                     (!asked.strip && (requestType == kEmulatorTypeGetExtendedColorZones ||
                                       requestType == kEmulatorTypeGetColorZones));
    bool several = asked.strip && requestType == kEmulatorTypeGetColorZones;
    switch (asked.replyMode) {
    case EmulatorRepliesNormal:
        FUZZ_CHECK(several ? replies.count <= kEmulatorMaxReplies : replies.count == 1);
        break;
    case EmulatorRepliesSilent:
        FUZZ_CHECK(replies.count == 0);
        break;
    case EmulatorRepliesMalformed:
        FUZZ_CHECK(replies.count == EmulatorFaultCount - 1);
        break;
    case EmulatorRepliesOlderFirmware:
        FUZZ_CHECK(unhandled ? replies.count == 0
                   : several ? replies.count <= kEmulatorMaxReplies
                             : replies.count == 1);
        break;
    }
    return 0;
}
