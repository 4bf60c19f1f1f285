// The emulator as the plug-in meets it: lights listening on loopback
// addresses, fed by real datagrams, never answering.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "emulator/emulator.h"
#include "emulator/loopback.h"
#include "tests/emulator/emulator_test_support.h"
#include "tests/lifx/golden_images.h"

namespace
{

struct Addresses {
    char text[kEmulatorMaxLights][kLoopbackAddressSize];
    const char *list[kEmulatorMaxLights];
    int count;

    Addresses(int n, int group = 0) : count(n)
    {
        TestLoopbackAddresses(text, n, group);
        for (int i = 0; i < n; i++)
            list[i] = text[i];
    }
};

class EmulatorOnLoopback : public ::testing::Test
{
  protected:
    Addresses addresses{3};
    Emulator emulator;
    char error[256] = "";

    void SetUp() override
    {
        ASSERT_TRUE(EmulatorStart(emulator, addresses.list, addresses.count, error, sizeof error))
            << error;
    }
    void TearDown() override { EmulatorStop(emulator); }

    EmulatedLight &Light(int i) { return emulator.lights[i]; }
};

TEST_F(EmulatorOnLoopback, EachLightShowsOnlyWhatWasSentToItsAddress)
{
    Hsbk records[kEmulatorZones];
    for (int z = 0; z < kEmulatorZones; z++)
        records[z] = Hsbk{(uint16_t)(z * 800), 65535, 32896, 9000};
    ASSERT_TRUE(SendDatagram(addresses.text[0], ToBytes(kPowerOnImage)));
    ASSERT_TRUE(SendDatagram(addresses.text[1], ToBytes(kSetColorImage)));
    ASSERT_TRUE(SendDatagram(addresses.text[2], ToBytes(kPowerOnImage)));
    ASSERT_TRUE(SendDatagram(addresses.text[2], ZonesDatagram(800, 1, 0, 82, records)));
    ASSERT_TRUE(SendDatagram(addresses.text[2], ToBytes(kMoveEffectImage)));

    EXPECT_EQ(5, PollFor(emulator, 5));

    EXPECT_TRUE(Light(0).powerReceived) << EmulatorDescribeLight(Light(0));
    EXPECT_EQ(65535, Light(0).powerLevel);
    EXPECT_FALSE(Light(0).colourReceived);

    EXPECT_FALSE(Light(1).powerReceived) << EmulatorDescribeLight(Light(1));
    EXPECT_TRUE(Light(1).colourReceived);
    EXPECT_EQ(21845, Light(1).colour.hue);
    EXPECT_EQ(32896, Light(1).colour.brightness);

    EXPECT_EQ(3u, Light(2).received.size()) << EmulatorDescribeLight(Light(2));
    EXPECT_EQ(800u, Light(2).zonesDuration);
    EXPECT_EQ(81 * 800, Light(2).zones[81].hue);
    EXPECT_TRUE(Light(2).moveOn);
    EXPECT_EQ(10000u, Light(2).moveSpeedMs);

    EXPECT_EQ(0, emulator.malformed);
}

TEST_F(EmulatorOnLoopback, DatagramsToOneLightAreAppliedInOrder)
{
    Bytes colour = ToBytes(kSetColorImage);
    for (uint16_t hue = 1; hue <= 10; hue++) {
        PutU16(colour, 37, hue);
        ASSERT_TRUE(SendDatagram(addresses.text[0], colour));
    }
    EXPECT_EQ(10, PollFor(emulator, 10));
    EXPECT_EQ(10, Light(0).colourMessages);
    EXPECT_EQ(10, Light(0).colour.hue);
    ASSERT_EQ(10u, Light(0).received.size());
    for (int i = 0; i < 10; i++)
        EXPECT_EQ(i + 1, Light(0).received[i].bytes[37]);
}

TEST_F(EmulatorOnLoopback, MalformedDatagramsAreCountedPerLightAndChangeNothing)
{
    ASSERT_TRUE(SendDatagram(addresses.text[1], Header(35, 117)));
    ASSERT_TRUE(SendDatagram(addresses.text[1], Header(49, 117)));
    Bytes oversized = Header(3000, 510);
    ASSERT_TRUE(SendDatagram(addresses.text[1], oversized));
    ASSERT_TRUE(SendDatagram(addresses.text[2], Header(36, 101)));
    EXPECT_EQ(4, PollFor(emulator, 4));

    EXPECT_EQ(4, emulator.malformed);
    EXPECT_EQ(0, Light(0).malformed);
    EXPECT_EQ(3, Light(1).malformed);
    EXPECT_EQ(1, Light(2).malformed);
    EmulatedLight fresh;
    for (int i = 0; i < 3; i++) {
        snprintf(fresh.address, sizeof fresh.address, "%s", addresses.text[i]);
        EXPECT_EQ(StateText(fresh), StateText(Light(i))) << "light " << i;
    }
}

TEST_F(EmulatorOnLoopback, PollWithNothingSentHandlesNothing)
{
    EXPECT_EQ(0, EmulatorPoll(emulator, 0));
    EXPECT_EQ(0, EmulatorPoll(emulator, 20));
}

TEST_F(EmulatorOnLoopback, NeverAnswersTheSender)
{
    int sender = socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_GE(sender, 0);
    sockaddr_in to;
    memset(&to, 0, sizeof to);
    to.sin_family = AF_INET;
    to.sin_port = htons(kEmulatorPort);
    ASSERT_EQ(1, inet_pton(AF_INET, addresses.text[0], &to.sin_addr));
    const Bytes datagrams[] = {ToBytes(kPowerOnImage), ToBytes(kSetColorImage),
                               ToBytes(kMoveEffectImage), Header(36, 101)};
    for (const Bytes &datagram : datagrams)
        ASSERT_EQ((ssize_t)datagram.size(), sendto(sender, datagram.data(), datagram.size(), 0,
                                                   (const sockaddr *)&to, sizeof to));
    EXPECT_EQ(4, PollFor(emulator, 4));
    EmulatorPoll(emulator, 20);

    pollfd reply = {sender, POLLIN, 0};
    EXPECT_EQ(0, poll(&reply, 1, 200)) << "the emulator sent something back";
    close(sender);
    EXPECT_EQ(0, emulator.sentDatagrams);
}

TEST_F(EmulatorOnLoopback, FindsLightsByAddress)
{
    EXPECT_EQ(&Light(1), EmulatorFindLight(emulator, addresses.text[1]));
    EXPECT_EQ(nullptr, EmulatorFindLight(emulator, "127.0.0.1"));
    EXPECT_EQ(nullptr, EmulatorFindLight(emulator, nullptr));
    EXPECT_STREQ(addresses.text[2], Light(2).address);
}

TEST_F(EmulatorOnLoopback, ResetForgetsWhatArrivedButKeepsListening)
{
    ASSERT_TRUE(SendDatagram(addresses.text[0], ToBytes(kPowerOnImage)));
    ASSERT_TRUE(SendDatagram(addresses.text[0], Header(36, 101)));
    ASSERT_EQ(2, PollFor(emulator, 2));
    EmulatorResetLights(emulator);
    EXPECT_FALSE(Light(0).powerReceived);
    EXPECT_EQ(0, emulator.malformed);
    EXPECT_STREQ(addresses.text[0], Light(0).address);

    ASSERT_TRUE(SendDatagram(addresses.text[0], ToBytes(kPowerOffImage)));
    ASSERT_EQ(1, PollFor(emulator, 1));
    EXPECT_TRUE(Light(0).powerReceived);
    EXPECT_EQ(0, Light(0).powerLevel);
}

TEST_F(EmulatorOnLoopback, SecondEmulatorOnTheSameAddressFailsToStart)
{
    Emulator second;
    char secondError[256] = "";
    const char *same[] = {addresses.text[1]};
    EXPECT_FALSE(EmulatorStart(second, same, 1, secondError, sizeof secondError));
    EXPECT_NE(nullptr, strstr(secondError, addresses.text[1])) << secondError;
    EXPECT_FALSE(second.running);
    EXPECT_EQ(0, second.lightCount);

    // The first emulator still owns the address.
    ASSERT_TRUE(SendDatagram(addresses.text[1], ToBytes(kPowerOnImage)));
    EXPECT_EQ(1, PollFor(emulator, 1));
    EXPECT_TRUE(Light(1).powerReceived);
}

TEST_F(EmulatorOnLoopback, FailedStartReleasesTheAddressesItHadBound)
{
    Addresses other(1, 2);
    const char *mixed[] = {other.text[0], addresses.text[0]};
    Emulator second;
    char secondError[256] = "";
    EXPECT_FALSE(EmulatorStart(second, mixed, 2, secondError, sizeof secondError));

    Emulator third;
    EXPECT_TRUE(EmulatorStart(third, other.list, 1, secondError, sizeof secondError))
        << secondError;
    EmulatorStop(third);
}

TEST_F(EmulatorOnLoopback, StoppedEmulatorFreesItsAddresses)
{
    EmulatorStop(emulator);
    EXPECT_FALSE(emulator.running);
    EXPECT_EQ(0, EmulatorPoll(emulator, 0));
    EXPECT_TRUE(EmulatorStart(emulator, addresses.list, addresses.count, error, sizeof error))
        << error;
}

TEST_F(EmulatorOnLoopback, RunningEmulatorRefusesToStartAgain)
{
    EXPECT_FALSE(EmulatorStart(emulator, addresses.list, addresses.count, error, sizeof error));
    EXPECT_STRNE("", error);
    EXPECT_TRUE(emulator.running);
}

TEST(EmulatorSideBySide, TwoEmulatorsOnDifferentGroupsKeepTheirOwnLights)
{
    Addresses first(2, 0);
    Addresses second(2, 1);
    Emulator a;
    Emulator b;
    char error[256] = "";
    ASSERT_TRUE(EmulatorStart(a, first.list, first.count, error, sizeof error)) << error;
    ASSERT_TRUE(EmulatorStart(b, second.list, second.count, error, sizeof error)) << error;

    ASSERT_TRUE(SendDatagram(first.text[1], ToBytes(kPowerOnImage)));
    ASSERT_TRUE(SendDatagram(second.text[1], ToBytes(kSetColorImage)));
    ASSERT_TRUE(SendDatagram(second.text[0], ToBytes(kMoveEffectImage)));
    EXPECT_EQ(1, PollFor(a, 1));
    EXPECT_EQ(2, PollFor(b, 2));

    EXPECT_TRUE(a.lights[1].powerReceived);
    EXPECT_EQ(1u, a.lights[1].received.size());
    EXPECT_TRUE(a.lights[0].received.empty());
    EXPECT_TRUE(b.lights[1].colourReceived);
    EXPECT_EQ(1u, b.lights[1].received.size());
    EXPECT_TRUE(b.lights[0].moveOn);
    EXPECT_EQ(1u, b.lights[0].received.size());
    EmulatorStop(a);
    EmulatorStop(b);
}

TEST(EmulatorStartRefusal, AddressesOutsideLoopbackAreRefusedWithAReason)
{
    const char *refused[] = {"192.168.1.20", "10.0.0.1", "0.0.0.0", "255.255.255.255", "128.0.0.1",
                             "localhost",    "",         "127.0.0", "127.0.0.256",     "::1"};
    for (const char *address : refused) {
        Emulator emulator;
        char error[256] = "";
        const char *list[] = {address};
        EXPECT_FALSE(EmulatorStart(emulator, list, 1, error, sizeof error)) << address;
        EXPECT_NE(nullptr, strstr(error, "127.0.0.0/8")) << address << ": " << error;
        EXPECT_FALSE(emulator.running) << address;
    }
}

TEST(EmulatorStartRefusal, OneBadAddressRefusesTheWholeSet)
{
    Addresses good(1, 3);
    const char *list[] = {good.text[0], "192.168.1.20"};
    Emulator emulator;
    char error[256] = "";
    EXPECT_FALSE(EmulatorStart(emulator, list, 2, error, sizeof error));
    EXPECT_EQ(0, emulator.lightCount);
    // Nothing stayed bound.
    EXPECT_TRUE(EmulatorStart(emulator, good.list, 1, error, sizeof error)) << error;
    EmulatorStop(emulator);
}

TEST(EmulatorStartRefusal, CountOutsideOneToTheMaximumIsRefused)
{
    Addresses addresses(1, 4);
    Emulator emulator;
    char error[256] = "";
    EXPECT_FALSE(EmulatorStart(emulator, addresses.list, 0, error, sizeof error));
    EXPECT_STRNE("", error);
    EXPECT_FALSE(
        EmulatorStart(emulator, addresses.list, kEmulatorMaxLights + 1, error, sizeof error));
    EXPECT_FALSE(emulator.running);
}

TEST(TestLoopbackAddresses, GiveDistinctLoopbackAddressesAwayFromThePreview)
{
    Addresses group0(16, 0);
    Addresses group1(16, 1);
    Addresses again(16, 0);
    std::vector<std::string> seen;
    for (const Addresses *set : {&group0, &group1}) {
        for (int i = 0; i < set->count; i++) {
            in_addr parsed;
            ASSERT_EQ(1, inet_pton(AF_INET, set->text[i], &parsed)) << set->text[i];
            uint32_t host = ntohl(parsed.s_addr);
            EXPECT_EQ(127u, host >> 24) << set->text[i];
            uint32_t second = (host >> 16) & 0xFF;
            EXPECT_GE(second, 10u) << set->text[i];
            EXPECT_LE(second, 49u) << set->text[i];
            EXPECT_NE(0u, host & 0xFF) << set->text[i];
            EXPECT_NE(255u, host & 0xFF) << set->text[i];
            for (const std::string &earlier : seen)
                EXPECT_NE(earlier, set->text[i]);
            seen.push_back(set->text[i]);
        }
    }
    EXPECT_EQ(std::string(group0.text[0]).substr(0, 4), "127.");
    for (int i = 0; i < 16; i++)
        EXPECT_STREQ(group0.text[i], again.text[i]);
}

} // namespace
