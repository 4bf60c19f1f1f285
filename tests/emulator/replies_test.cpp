// Emulated lights asked who they are, as a client finding lights asks them:
// requests sent over loopback, replies read back from the client's socket and
// compared with images written out here byte by byte.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "emulator/emulator.h"
#include "emulator/loopback.h"
#include "tests/emulator/emulator_test_support.h"

namespace
{

const uint32_t kSource = 0x5EED1234;
const uint8_t kSequence = 0xA7;
const uint8_t kStripSerial[6] = {0x02, 0x04, 0x06, 0x08, 0x0A, 0x0C};
// 32 bytes: the label fills the field and has no terminator.
const char kStripLabel[] = "Strip above the desk, left side!";

const int kBulb = 0;
const int kStrip = 1;

// A request of 36 bytes: tagged to every light when serial is null, else
// untagged to that serial.
Bytes Request(uint16_t type, const uint8_t *serial, uint32_t source = kSource,
              uint8_t sequence = kSequence)
{
    Bytes bytes(36, 0);
    PutU16(bytes, 0, 36);
    bytes[2] = 0x00;
    bytes[3] = serial == nullptr ? 0x34 : 0x14;
    PutU32(bytes, 4, source);
    if (serial != nullptr)
        memcpy(&bytes[8], serial, 6);
    bytes[22] = 0x01; // res_required, which a light does not need
    bytes[23] = sequence;
    PutU16(bytes, 32, type);
    return bytes;
}

// A reply as a light sends it: protocol 1024, addressable, not tagged, the
// request's source and sequence, the light's serial.
Bytes Reply(uint16_t type, const uint8_t serial[6], const Bytes &payload)
{
    Bytes bytes(36, 0);
    PutU16(bytes, 0, (uint16_t)(36 + payload.size()));
    bytes[2] = 0x00;
    bytes[3] = 0x14;
    PutU32(bytes, 4, kSource);
    memcpy(&bytes[8], serial, 6);
    bytes[23] = kSequence;
    PutU16(bytes, 32, type);
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    return bytes;
}

Bytes LabelPayload(const char *label)
{
    Bytes payload(32, 0);
    memcpy(payload.data(), label, strnlen(label, 32));
    return payload;
}

Hsbk ZoneRecord(int z)
{
    return Hsbk{(uint16_t)(z * 791), (uint16_t)(65535 - z), (uint16_t)(z * 5 + 3),
                (uint16_t)(2500 + z)};
}

struct Received {
    std::string from;
    uint16_t fromPort;
    Bytes bytes;
};

class LightsAnswerRequests : public ::testing::Test
{
  protected:
    char addresses[2][kLoopbackAddressSize];
    Emulator emulator;
    int client = -1;
    uint16_t clientPort = 0;

    void SetUp() override
    {
        TestLoopbackAddresses(addresses, 2, 5);
        const char *list[] = {addresses[0], addresses[1]};
        char error[256] = "";
        ASSERT_TRUE(EmulatorStart(emulator, list, 2, error, sizeof error)) << error;
        EmulatedLight &strip = emulator.lights[kStrip];
        strip.strip = true;
        EmulatorSetLabel(strip, kStripLabel);
        memcpy(strip.serial, kStripSerial, 6);

        client = socket(AF_INET, SOCK_DGRAM, 0);
        ASSERT_GE(client, 0);
        sockaddr_in bound;
        memset(&bound, 0, sizeof bound);
        bound.sin_family = AF_INET;
        bound.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(0, bind(client, (const sockaddr *)&bound, sizeof bound));
        socklen_t length = sizeof bound;
        ASSERT_EQ(0, getsockname(client, (sockaddr *)&bound, &length));
        clientPort = ntohs(bound.sin_port);
    }

    void TearDown() override
    {
        if (client >= 0)
            close(client);
        EmulatorStop(emulator);
    }

    EmulatedLight &Light(int i) { return emulator.lights[i]; }

    // The light's serial by default: LIFX's prefix, then the last three
    // octets of its address.
    void DefaultSerial(int i, uint8_t serial[6])
    {
        in_addr parsed;
        ASSERT_EQ(1, inet_pton(AF_INET, addresses[i], &parsed));
        uint32_t host = ntohl(parsed.s_addr);
        const uint8_t bytes[6] = {
            0xD0, 0x73, 0xD5, (uint8_t)(host >> 16), (uint8_t)(host >> 8), (uint8_t)host};
        memcpy(serial, bytes, 6);
    }

    // Sends from the client's socket to light i, lets the emulator handle it
    // and returns every datagram that came back.
    std::vector<Received> Ask(int i, const Bytes &request)
    {
        sockaddr_in to;
        memset(&to, 0, sizeof to);
        to.sin_family = AF_INET;
        to.sin_port = htons(kEmulatorPort);
        inet_pton(AF_INET, addresses[i], &to.sin_addr);
        std::vector<Received> replies;
        if (sendto(client, request.data(), request.size(), 0, (const sockaddr *)&to, sizeof to) !=
            (ssize_t)request.size()) {
            ADD_FAILURE() << "cannot send to " << addresses[i];
            return replies;
        }
        EXPECT_EQ(1, PollFor(emulator, 1));
        // Replies are sent within the poll: what has not come within a
        // pause is not coming. At most a few dozen reads.
        for (int reads = 0; reads < 50; reads++) {
            pollfd ready = {client, POLLIN, 0};
            if (poll(&ready, 1, 150) <= 0)
                break;
            uint8_t buffer[2048];
            sockaddr_in from;
            socklen_t length = sizeof from;
            ssize_t n = recvfrom(client, buffer, sizeof buffer, 0, (sockaddr *)&from, &length);
            if (n < 0)
                break;
            char text[INET_ADDRSTRLEN] = "";
            inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
            replies.push_back({text, ntohs(from.sin_port), Bytes(buffer, buffer + n)});
        }
        return replies;
    }
};

struct AnswerCase {
    const char *name;
    int light;
    uint16_t request;
    bool tagged;
};

const AnswerCase kAnswers[] = {
    {"bulb, GetService to every light", kBulb, 2, true},
    {"bulb, GetLabel to its serial", kBulb, 23, false},
    {"bulb, GetExtendedColorZones to every light", kBulb, 511, true},
    {"strip, GetService to its serial", kStrip, 2, false},
    {"strip, GetLabel to every light", kStrip, 23, true},
    {"strip, GetExtendedColorZones to its serial", kStrip, 511, false},
};

TEST_F(LightsAnswerRequests, EachRequestGetsOneReplyFromTheLightsOwnAddressAndPort)
{
    Hsbk records[kEmulatorZones];
    for (int z = 0; z < kEmulatorZones; z++)
        records[z] = ZoneRecord(z);
    ASSERT_TRUE(SendDatagram(addresses[kStrip], ZonesDatagram(0, 1, 0, 82, records)));
    ASSERT_EQ(1, PollFor(emulator, 1));

    uint8_t bulbSerial[6];
    DefaultSerial(kBulb, bulbSerial);
    const std::string bulbLabel = std::string("Light ") + addresses[kBulb];
    Bytes zones = {0x52, 0x00, 0x00, 0x00, 0x52}; // 82 zones from index 0, 82 used
    for (int z = 0; z < kEmulatorZones; z++) {
        zones.resize(zones.size() + 8);
        PutHsbk(zones, zones.size() - 8, records[z]);
    }
    const Bytes service = {0x01, 0x7C, 0xDD, 0x00, 0x00}; // UDP, port 56700
    const Bytes expected[] = {
        Reply(3, bulbSerial, service),
        Reply(25, bulbSerial, LabelPayload(bulbLabel.c_str())),
        Reply(223, bulbSerial, {0xFF, 0x01}),
        Reply(3, kStripSerial, service),
        Reply(25, kStripSerial, LabelPayload(kStripLabel)),
        Reply(512, kStripSerial, zones),
    };

    int row = 0;
    for (const AnswerCase &c : kAnswers) {
        const uint8_t *serial = c.light == kBulb ? bulbSerial : kStripSerial;
        std::vector<Received> replies =
            Ask(c.light, Request(c.request, c.tagged ? nullptr : serial));
        ASSERT_EQ(1u, replies.size()) << c.name;
        EXPECT_EQ(addresses[c.light], replies[0].from) << c.name;
        EXPECT_EQ(kEmulatorPort, replies[0].fromPort) << c.name;
        EXPECT_EQ(expected[row], replies[0].bytes) << c.name;
        EXPECT_STREQ("127.0.0.1", Light(c.light).requesterAddress) << c.name;
        EXPECT_EQ(clientPort, Light(c.light).requesterPort) << c.name;
        row++;
    }
    for (int i : {kBulb, kStrip}) {
        EXPECT_EQ(1, Light(i).serviceRequests) << i;
        EXPECT_EQ(1, Light(i).labelRequests) << i;
        EXPECT_EQ(1, Light(i).zonesRequests) << i;
        EXPECT_EQ(3, Light(i).repliesSent) << i;
    }
    EXPECT_EQ(6, emulator.sentDatagrams);
    EXPECT_EQ(0, emulator.malformed);
}

struct ModeCase {
    const char *name;
    EmulatorReplyMode mode;
    int light;
    uint16_t request;
    uint16_t replyType; // 0: no reply
};

const ModeCase kModes[] = {
    {"silent bulb, GetService", EmulatorRepliesSilent, kBulb, 2, 0},
    {"silent bulb, GetLabel", EmulatorRepliesSilent, kBulb, 23, 0},
    {"silent strip, GetExtendedColorZones", EmulatorRepliesSilent, kStrip, 511, 0},
    {"older bulb, GetExtendedColorZones", EmulatorRepliesOlderFirmware, kBulb, 511, 0},
    {"older bulb, GetService", EmulatorRepliesOlderFirmware, kBulb, 2, 3},
    {"older bulb, GetLabel", EmulatorRepliesOlderFirmware, kBulb, 23, 25},
    {"older strip, GetExtendedColorZones", EmulatorRepliesOlderFirmware, kStrip, 511, 512},
};

TEST_F(LightsAnswerRequests, SilentAndOlderLightsLeaveOutTheirRepliesButCountTheRequests)
{
    for (const ModeCase &c : kModes) {
        Light(c.light).replyMode = c.mode;
        int before = Light(c.light).serviceRequests + Light(c.light).labelRequests +
                     Light(c.light).zonesRequests;
        std::vector<Received> replies = Ask(c.light, Request(c.request, nullptr));
        if (c.replyType == 0) {
            EXPECT_TRUE(replies.empty()) << c.name;
        } else {
            ASSERT_EQ(1u, replies.size()) << c.name;
            EXPECT_EQ(c.replyType, replies[0].bytes[32] | replies[0].bytes[33] << 8) << c.name;
        }
        EXPECT_EQ(before + 1, Light(c.light).serviceRequests + Light(c.light).labelRequests +
                                  Light(c.light).zonesRequests)
            << c.name;
    }
}

// The checks a client makes before it takes a reply; the names of those it
// fails.
std::set<std::string> FailedChecks(const Bytes &reply, uint16_t expectedType)
{
    std::set<std::string> failed;
    if (reply.size() < 36)
        return {"shorter than a header"};
    uint16_t type = reply[32] | reply[33] << 8;
    size_t payload = 0;
    switch (type) {
    case 3:
        payload = 5;
        break;
    case 25:
        payload = 32;
        break;
    case 223:
        payload = 2;
        break;
    case 512:
        payload = 661;
        break;
    }
    if ((size_t)(reply[0] | reply[1] << 8) != reply.size())
        failed.insert("size field");
    if (reply[2] != 0x00 || reply[3] != 0x14)
        failed.insert("protocol");
    if ((uint32_t)(reply[4] | reply[5] << 8 | reply[6] << 16 | (uint32_t)reply[7] << 24) != kSource)
        failed.insert("source");
    if (type != expectedType)
        failed.insert("type");
    // Checked for the type the reply claims, so a reply of the wrong type
    // is otherwise whole.
    if (reply.size() - 36 != payload)
        failed.insert("payload size");
    return failed;
}

TEST_F(LightsAnswerRequests, MalformedLightsSendOnlyRepliesEachBrokenOneWay)
{
    uint8_t bulbSerial[6];
    DefaultSerial(kBulb, bulbSerial);
    const std::set<std::string> everyFault = {"size field", "protocol", "source", "type",
                                              "payload size"};
    for (const AnswerCase &c : kAnswers) {
        Light(c.light).replyMode = EmulatorRepliesMalformed;
        const uint8_t *serial = c.light == kBulb ? bulbSerial : kStripSerial;
        uint16_t expectedType = c.request == 2      ? 3
                                : c.request == 23   ? 25
                                : c.light == kStrip ? 512
                                                    : 223;
        std::vector<Received> replies =
            Ask(c.light, Request(c.request, c.tagged ? nullptr : serial));
        ASSERT_EQ(6u, replies.size()) << c.name;
        std::set<std::string> seen;
        int payloadFaults = 0;
        for (const Received &reply : replies) {
            std::set<std::string> failed = FailedChecks(reply.bytes, expectedType);
            ASSERT_EQ(1u, failed.size()) << c.name << ": a reply failing " << failed.size();
            seen.insert(*failed.begin());
            payloadFaults += *failed.begin() == "payload size";
            // What is not broken is as a light sends it.
            EXPECT_EQ(0, memcmp(&reply.bytes[8], serial, 6)) << c.name;
            EXPECT_EQ(kSequence, reply.bytes[23]) << c.name;
        }
        EXPECT_EQ(everyFault, seen) << c.name;
        EXPECT_EQ(2, payloadFaults) << c.name << ": one byte short and one byte long";
    }
}

TEST_F(LightsAnswerRequests, UntaggedRequestForAnotherSerialIsIgnored)
{
    uint8_t bulbSerial[6];
    DefaultSerial(kBulb, bulbSerial);
    // The strip's serial sent to the bulb's address, and the bulb's to the strip's.
    EXPECT_TRUE(Ask(kBulb, Request(23, kStripSerial)).empty());
    EXPECT_TRUE(Ask(kStrip, Request(511, bulbSerial)).empty());
    for (int i : {kBulb, kStrip}) {
        EXPECT_EQ(1, Light(i).ignoredRequests) << i;
        EXPECT_EQ(0, Light(i).labelRequests + Light(i).zonesRequests) << i;
        EXPECT_EQ(0, Light(i).malformed) << i;
    }
    EXPECT_EQ(0, emulator.sentDatagrams);
}

struct RefusedCase {
    const char *name;
    Bytes bytes;
};

// Requests that no light takes, each one change from a valid one.
std::vector<RefusedCase> RefusedRequests()
{
    std::vector<RefusedCase> cases;
    cases.push_back({"source 0, whose replies a light would broadcast", Request(2, nullptr, 0)});
    Bytes tagged = Request(2, nullptr);
    tagged[8] = 0xD0;
    cases.push_back({"tagged, yet with a target", tagged});
    Bytes padding = Request(23, kStripSerial);
    padding[15] = 1;
    cases.push_back({"a target with a byte after the serial", padding});
    Bytes longer = Request(2, nullptr);
    longer.push_back(0);
    longer[0] = 37;
    cases.push_back({"a payload", longer});
    Bytes sizeField = Request(2, nullptr);
    sizeField[0] = 35;
    cases.push_back({"size field not the length", sizeField});
    Bytes protocol = Request(511, nullptr);
    protocol[2] = 0x01;
    cases.push_back({"protocol 1025", protocol});
    Bytes notAddressable = Request(23, kStripSerial);
    notAddressable[3] = 0x04;
    cases.push_back({"addressable bit clear", notAddressable});
    Bytes origin = Request(2, nullptr);
    origin[3] = 0x74;
    cases.push_back({"origin not 0", origin});
    cases.push_back({"GetPower, a request no light here answers", Request(20, nullptr)});
    cases.push_back({"StateService, a reply", Request(3, nullptr)});
    return cases;
}

TEST(RefusedRequests, AreCountedAsMalformedAndNeitherCountedNorAnswered)
{
    for (const RefusedCase &row : RefusedRequests()) {
        EmulatedLight light;
        snprintf(light.address, sizeof light.address, "127.0.0.9");
        EmulatorSetDefaultIdentity(light);
        light.strip = true;
        memcpy(light.serial, kStripSerial, 6);
        const std::string before = StateText(light);
        EmulatorReplies replies;
        EXPECT_EQ(EmulatorRefused, EmulatorHandleDatagram(light, row.bytes.data(), row.bytes.size(),
                                                          "127.0.0.1", 40000, 1000, replies))
            << row.name;
        EXPECT_EQ(0, replies.count) << row.name;
        EXPECT_EQ(1, light.malformed) << row.name;
        EXPECT_EQ(before, StateText(light)) << row.name;
    }
}

TEST(EmulatedLightReset, KeepsWhoTheLightIs)
{
    EmulatedLight light;
    snprintf(light.address, sizeof light.address, "127.0.0.9");
    EmulatorSetLabel(light, kStripLabel);
    light.strip = true;
    memcpy(light.serial, kStripSerial, 6);
    light.replyMode = EmulatorRepliesOlderFirmware;
    EmulatorReplies replies;
    const Bytes request = Request(2, nullptr);
    EmulatorHandleDatagram(light, request.data(), request.size(), "127.0.0.1", 40000, 1000,
                           replies);
    ASSERT_EQ(1, light.serviceRequests);

    EmulatorResetLight(light);
    EXPECT_EQ(0, light.serviceRequests);
    EXPECT_TRUE(light.exchanges.empty());
    EXPECT_EQ(std::string(kStripLabel), std::string(light.label, 32));
    EXPECT_TRUE(light.strip);
    EXPECT_EQ(0, memcmp(light.serial, kStripSerial, 6));
    EXPECT_EQ(EmulatorRepliesOlderFirmware, light.replyMode);
}

TEST(LongStripAnswers, AStripOf120ZonesGivesItsCountInTwoRepliesAndShowsSpansOnceApplied)
{
    static EmulatedLight light;
    light.strip = true;
    light.stripZones = 120;
    EmulatorReplies replies;
    Bytes ask = Request(511, nullptr);
    ASSERT_EQ(EmulatorRequested,
              EmulatorHandleDatagram(light, ask.data(), ask.size(), "127.0.0.1", 5000, 0, replies));
    ASSERT_EQ(2, replies.count);
    for (int r = 0; r < 2; r++) {
        const uint8_t *b = replies.replies[r].bytes;
        EXPECT_EQ(697u, replies.replies[r].length);
        EXPECT_EQ(120, b[36] | b[37] << 8) << "every reply carries the total";
        EXPECT_EQ(82 * r, b[38] | b[39] << 8);
        EXPECT_EQ(r == 0 ? 82 : 38, b[40]);
    }

    // Stored by the first span, shown only with the second.
    Hsbk records[kEmulatorZones];
    for (int i = 0; i < kEmulatorZones; i++)
        records[i] = {(uint16_t)(100 + i), 1, 2, 3500};
    Bytes first = ZonesDatagram(0, 0, 0, 82, records);
    Bytes last = ZonesDatagram(0, 1, 82, 38, records);
    ASSERT_TRUE(EmulatorApplyDatagram(light, first.data(), first.size(), 1));
    EXPECT_EQ(0, light.zones[0].hue);
    ASSERT_TRUE(EmulatorApplyDatagram(light, last.data(), last.size(), 2));
    EXPECT_EQ(100, light.zones[0].hue);
    EXPECT_EQ(137, light.zones[119].hue);
}

} // namespace

struct KindCase {
    const char *name;
    EmulatorKind kind;
    const char *chain; // a matrix light's, or null
    Bytes message;
    uint16_t replyType; // of every reply
    int replies;
    size_t at; // a payload byte to check, or 0
    uint8_t value;
};

Bytes SetColorMessage()
{
    Bytes bytes = Request(102, nullptr);
    bytes.resize(49, 0);
    bytes[0] = 49;
    bytes[39] = 0xFF; // saturation
    return bytes;
}

Bytes ColorZonesRequest()
{
    Bytes bytes = Request(502, kStripSerial);
    bytes.push_back(0);
    bytes.push_back(255); // every zone
    bytes[0] = 38;
    return bytes;
}

// Each kind answers what it knows and refuses the rest with StateUnhandled,
// changing nothing.
TEST(EmulatedKinds, EachKindAnswersWhatItKnowsAndRefusesTheRest)
{
    const KindCase rows[] = {
        {"older strip, every zone in 8s", EmulatorKindOlderStrip, nullptr, ColorZonesRequest(), 506,
         3, 36, 20},
        {"older strip, extended question", EmulatorKindOlderStrip, nullptr,
         Request(511, kStripSerial), 223, 1, 36, 0xFF},
        {"strip, original question too", EmulatorKindStrip, nullptr, ColorZonesRequest(), 506, 3,
         36, 20},
        {"chain of five, its count", EmulatorKindMatrix, "8x8,8x8,8x8,8x8,8x8",
         Request(701, nullptr), 702, 1, 36 + 881, 5},
        {"Candle, its second side", EmulatorKindMatrix, "5x6", Request(701, nullptr), 702, 1,
         36 + 1 + 17, 6},
        {"bulb, chain question", EmulatorKindBulb, nullptr, Request(701, nullptr), 223, 1, 36,
         0xBD},
        {"Switch, its product", EmulatorKindSwitch, nullptr, Request(32, nullptr), 33, 1, 40, 70},
        {"Switch, its label", EmulatorKindSwitch, nullptr, Request(23, nullptr), 25, 1, 0, 0},
        {"Switch, GetColor", EmulatorKindSwitch, nullptr, Request(101, nullptr), 223, 1, 36, 101},
        {"Switch, SetColor", EmulatorKindSwitch, nullptr, SetColorMessage(), 223, 1, 36, 102},
        {"matrix, firmware", EmulatorKindMatrix, "16x8", Request(14, nullptr), 15, 1, 36 + 18, 3},
    };
    for (const KindCase &c : rows) {
        static EmulatedLight light;
        light = EmulatedLight();
        memcpy(light.serial, kStripSerial, 6);
        light.kind.kind = c.kind;
        light.stripZones = 20;
        if (c.chain != nullptr) {
            ASSERT_TRUE(EmulatorParseChain(c.chain, light.kind)) << c.name;
        }
        EmulatorReplies replies;
        EXPECT_EQ(EmulatorRequested,
                  EmulatorHandleDatagram(light, c.message.data(), c.message.size(), "127.0.0.1",
                                         5000, 0, replies))
            << c.name;
        ASSERT_EQ(c.replies, replies.count) << c.name;
        for (int r = 0; r < replies.count; r++) {
            const EmulatorReply &reply = replies.replies[r];
            EXPECT_EQ(c.replyType, reply.type) << c.name;
            EXPECT_EQ(reply.length, (size_t)(reply.bytes[0] | reply.bytes[1] << 8)) << c.name;
            if (c.at != 0) {
                EXPECT_EQ(c.value, reply.bytes[c.at]) << c.name;
            }
            if (c.replyType == 506) {
                EXPECT_EQ(8 * r, reply.bytes[37]) << c.name << ": each reply's first zone";
            }
        }
        EXPECT_FALSE(light.colourReceived) << c.name;
        EXPECT_EQ(0, light.malformed) << c.name;
    }
}
