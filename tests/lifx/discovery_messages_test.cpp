// The requests that find lights, byte for byte, and which answers are taken:
// answers come from the network, so anything not exactly an answer to us is
// refused.
#include <stdint.h>
#include <string.h>

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "lifx/discovery.h"
#include "lifx/replies.h"
#include "platform/control_linux.h"

namespace
{

const uint32_t kOurs = 0x4C46584Cu;
const uint8_t kSerial[kSerialSize] = {0xD0, 0x73, 0xD5, 0x01, 0x02, 0x03};

TEST(DiscoveryMessages, RequestsCarryOurSourceAskForAnAnswerAndNameTheirLight)
{
    uint8_t service[kRequestSize], label[kRequestSize], zones[kRequestSize];
    EncodeGetService(service, kOurs, 1);
    EncodeGetLabel(label, kOurs, kSerial, 7);
    EncodeGetExtendedColorZones(zones, kOurs, kSerial, 8);

    // size 36; tagged for every light; our source; no target; answer
    // required; sequence; type 2.
    const uint8_t wantService[kRequestSize] = {
        36, 0, 0x00, 0x34, 0x4C, 0x58, 0x46, 0x4C, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        0,  0, 0,    0,    1,    1,    0,    0,    0, 0, 0, 0, 0, 0, 2, 0, 0, 0};
    EXPECT_EQ(memcmp(service, wantService, kRequestSize), 0);
    // Addressed: not tagged, the light's serial as target.
    uint8_t wantLabel[kRequestSize];
    memcpy(wantLabel, wantService, kRequestSize);
    wantLabel[3] = 0x14;
    memcpy(wantLabel + 8, kSerial, kSerialSize);
    wantLabel[23] = 7;
    wantLabel[32] = 23;
    EXPECT_EQ(memcmp(label, wantLabel, kRequestSize), 0);
    wantLabel[23] = 8;
    wantLabel[32] = 511 & 0xFF;
    wantLabel[33] = 511 >> 8;
    EXPECT_EQ(memcmp(zones, wantLabel, kRequestSize), 0);
}

std::vector<uint8_t> Answer(int type, size_t payload)
{
    std::vector<uint8_t> bytes(kHeaderSize + payload, 0);
    bytes[0] = (uint8_t)bytes.size();
    bytes[1] = (uint8_t)(bytes.size() >> 8);
    bytes[2] = 0x00;
    bytes[3] = 0x14;
    memcpy(&bytes[4], &kOurs, 4); // little-endian on every machine we build on
    memcpy(&bytes[8], kSerial, kSerialSize);
    bytes[23] = 9;
    bytes[32] = (uint8_t)type;
    bytes[33] = (uint8_t)(type >> 8);
    return bytes;
}

TEST(DiscoveryMessages, EachAnswerIsReadWithItsPayload)
{
    Reply reply;
    std::vector<uint8_t> service = Answer(kTypeStateService, 5);
    service[36] = 1;
    service[37] = 0x7C; // 56700
    service[38] = 0xDD;
    ASSERT_TRUE(ReadReply(service.data(), service.size(), kOurs, &reply));
    EXPECT_EQ(reply.type, kTypeStateService);
    EXPECT_EQ(memcmp(reply.serial, kSerial, kSerialSize), 0);
    EXPECT_EQ(reply.service, 1);
    EXPECT_EQ(reply.port, 56700u);

    // A label using all 32 bytes has no terminator of its own.
    std::vector<uint8_t> label = Answer(kTypeStateLabel, 32);
    memset(&label[36], 'x', 32);
    ASSERT_TRUE(ReadReply(label.data(), label.size(), kOurs, &reply));
    EXPECT_EQ(std::string(reply.label), std::string(32, 'x'));

    std::vector<uint8_t> zones = Answer(kTypeStateExtendedColorZones, 661);
    zones[36] = 120;
    ASSERT_TRUE(ReadReply(zones.data(), zones.size(), kOurs, &reply));
    EXPECT_EQ(reply.zoneCount, 120);

    std::vector<uint8_t> unhandled = Answer(kTypeStateUnhandled, 2);
    unhandled[36] = 511 & 0xFF;
    unhandled[37] = 511 >> 8;
    ASSERT_TRUE(ReadReply(unhandled.data(), unhandled.size(), kOurs, &reply));
    EXPECT_EQ(reply.unhandledType, 511);
}

TEST(DiscoveryMessages, AnythingButAWholeAnswerToUsIsRefused)
{
    struct Case {
        const char *what;
        std::function<void(std::vector<uint8_t> &)> spoil;
    };
    const Case cases[] = {
        {"size field one more", [](std::vector<uint8_t> &b) { b[0]++; }},
        {"size field one less", [](std::vector<uint8_t> &b) { b[0]--; }},
        {"a byte more than the size says", [](std::vector<uint8_t> &b) { b.push_back(0); }},
        {"cut short", [](std::vector<uint8_t> &b) { b.resize(b.size() - 1); }},
        {"header only",
         [](std::vector<uint8_t> &b) {
             b.resize(kHeaderSize);
             b[0] = 36;
         }},
        {"protocol 1023",
         [](std::vector<uint8_t> &b) {
             b[2] = 0xFF;
             b[3] = 0x13;
         }},
        {"another source", [](std::vector<uint8_t> &b) { b[4] ^= 1; }},
        {"source 0", [](std::vector<uint8_t> &b) { memset(&b[4], 0, 4); }},
        {"a request, not an answer", [](std::vector<uint8_t> &b) { b[32] = kTypeGetService; }},
        {"a label's type on a service's payload", [](std::vector<uint8_t> &b) { b[32] = 25; }},
        {"type 3 + 256", [](std::vector<uint8_t> &b) { b[33] = 1; }},
        {"empty", [](std::vector<uint8_t> &b) { b.clear(); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> bytes = Answer(kTypeStateService, 5);
        bytes[36] = 1;
        c.spoil(bytes);
        Reply reply;
        EXPECT_FALSE(ReadReply(bytes.data(), bytes.size(), kOurs, &reply));
    }
}

// A discovery on loopback, where nothing answers but what a test hands it.
class DiscoverySession : public ::testing::Test
{
  protected:
    void SetUp() override { platform::Reset(); }
    void TearDown() override
    {
        StopDiscovery();
        platform::Reset();
    }
    void Begin(const char *target)
    {
        DiscoveryTarget parsed;
        ASSERT_TRUE(ParseDiscoveryTarget(target, &parsed));
        ASSERT_EQ(StartDiscovery(parsed, now), DiscoveryStarted);
    }
    // An answer from `from`, with another serial when `stranger` is set.
    void Hand(const char *from, std::vector<uint8_t> bytes, bool stranger = false)
    {
        bytes[13] ^= stranger ? 0xFF : 0;
        DiscoveryHandleDatagram(ntohl(inet_addr(from)), bytes.data(), bytes.size(), now += 5);
    }
    int Finish(const DiscoveredLight **lights)
    {
        for (int i = 0; i < 1000 && DiscoveryStep(now); i++)
            now += 25;
        EXPECT_TRUE(DiscoveryFinished());
        return DiscoveredLights(lights);
    }
    std::vector<uint8_t> Service()
    {
        std::vector<uint8_t> bytes = Answer(kTypeStateService, 5);
        bytes[36] = 1;
        return bytes;
    }
    std::vector<uint8_t> Label(const char *text)
    {
        std::vector<uint8_t> bytes = Answer(kTypeStateLabel, 32);
        memcpy(&bytes[36], text, strlen(text));
        return bytes;
    }
    uint32_t now = 1000;
};

TEST_F(DiscoverySession, ADetailWithAnotherSerialFromAKnownLightsAddressIsRefused)
{
    Begin("127.77.77.9");
    Hand("127.77.77.9", Service());
    Hand("127.77.77.9", Label("Own"));
    std::vector<uint8_t> unhandled = Answer(kTypeStateUnhandled, 2);
    unhandled[36] = 511 & 0xFF;
    unhandled[37] = 511 >> 8;
    Hand("127.77.77.9", unhandled);
    int ignored = DiscoveryIgnored();
    Hand("127.77.77.9", Label("Stranger"), true);
    EXPECT_EQ(DiscoveryIgnored(), ignored + 1);
    Hand("127.77.77.9", Answer(kTypeStateExtendedColorZones, 661), true);
    EXPECT_EQ(DiscoveryIgnored(), ignored + 2);

    const DiscoveredLight *lights;
    ASSERT_EQ(Finish(&lights), 1);
    EXPECT_STREQ(lights[0].label, "Own");
    EXPECT_FALSE(lights[0].strip);
}

TEST_F(DiscoverySession, AnAnswerFromJustPastTheRangeIsRefused)
{
    const struct {
        const char *target, *inside, *past;
    } cases[] = {
        {"127.77.77.0/30", "127.77.77.2", "127.77.77.3"}, // its broadcast address
        {"127.77.77.9/32", "127.77.77.9", "127.77.77.10"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.target);
        Begin(c.target);
        Hand(c.past, Service());
        Hand(c.inside, Service());
        const DiscoveredLight *lights;
        ASSERT_EQ(Finish(&lights), 1);
        EXPECT_EQ(lights[0].address, ntohl(inet_addr(c.inside)));
        StopDiscovery();
    }
}

} // namespace
