// A full transfer prepares every light's messages before the first send;
// what the lights receive and what the log says, and in which order relative
// to each other, must be as when each light was converted as it was served.
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "lifx/dispatch.h"
#include "lifx/messages.h"
#include "palette/palette.h"
#include "settings/settings.h"
#include "tests/lifx/colour_reference.h"
#include "tests/support/lights_fixture.h"

namespace
{

const char kPrefix[] = "Chromalet-LIFX -> ";

// Watches the host's log as each line arrives (through the host's echo
// stream) and, at that moment, reads what the lights have received so far:
// loopback queues a datagram before send() returns, so the timeline shows
// which sends came before which line.
class TransferOrderTest : public LightsTest
{
  protected:
    void SetUp() override
    {
        LightsTest::SetUp();
        cookie_io_functions_t functions = {};
        functions.write = OnEcho;
        echo = fopencookie(this, "w", functions);
        ASSERT_NE(echo, nullptr);
        testhost::SetEcho(echo);

        uint32_t state = 0x1234567u;
        for (int n = 1; n < kPaletteEntries; n++) {
            state = state * 1664525u + 1013904223u;
            g_palette.entries[n] = (state >> 8) & 0xFFFFFF;
        }
        g_settings.scheme = SchemeOcean;
        g_settings.cycleColours = true;
        g_settings.cycleInterval = 1;
        g_settings.debug = true;
    }
    void TearDown() override
    {
        testhost::SetEcho(nullptr);
        if (echo)
            fclose(echo);
        LightsTest::TearDown();
    }

    static ssize_t OnEcho(void *cookie, const char *data, size_t size)
    {
        TransferOrderTest *test = (TransferOrderTest *)cookie;
        for (size_t i = 0; i < size; i++) {
            if (data[i] != '\n')
                continue;
            test->ReadArrivals();
            const testhost::LogLine &line = testhost::Logs()[test->linesSeen++];
            test->timeline.push_back("line " + std::to_string(line.level) + " " + line.text);
        }
        return (ssize_t)size;
    }

    void ReadArrivals()
    {
        for (int round = 0; round < 10 && EmulatorPoll(emulator, 0) > 0; round++) {
        }
        for (int n = 1; n <= 10; n++) {
            const std::vector<ReceivedDatagram> &received = Light(n).received;
            for (; seen[n] < received.size(); seen[n]++)
                timeline.push_back("light " + std::to_string(n) + " gets type " +
                                   std::to_string(received[seen[n]].type));
        }
    }

    // The timeline the light-by-light order gives.
    void ExpectLine(int level, const std::string &text)
    {
        expected.push_back("line " + std::to_string(level) + " " + text);
    }
    void ExpectDatagram(int n, int type)
    {
        expected.push_back("light " + std::to_string(n) + " gets type " + std::to_string(type));
    }
    std::string Where(int n)
    {
        return "device #" + std::to_string(n) + " at " + Address(n) + " port 56700";
    }
    Conversion Plain(uint32_t colour)
    {
        return RgbToHsbkReference(colour, g_settings.calibrationRed, g_settings.calibrationGreen,
                                  g_settings.calibrationBlue);
    }

    FILE *echo = nullptr;
    size_t linesSeen = 0;
    size_t seen[11] = {};
    std::vector<std::string> timeline;
    std::vector<std::string> expected;
};

TEST_F(TransferOrderTest, EachLightsLinesStayBetweenItsOwnSendsAndTheBytesAreThePlainOnes)
{
    UseSlots({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    g_palette.offset = 3;
    g_palette.entries[8] = 0; // bulb 6 shows entry 8: black, switched off
    platform::InjectNetFault(platform::NetFaultConnect, Address(4));
    platform::InjectNetFault(platform::NetFaultSend, Address(9));

    SendColours(0);
    Drain();
    ReadArrivals();

    for (int n = 1; n <= 8; n++) {
        int entry = n + 2 > 8 ? n + 2 - 8 : n + 2;
        uint32_t colour = g_palette.entries[entry];
        if (n == 4) {
            ExpectLine(0, kPrefix + std::string("Connecting to ") + Where(n) + "...");
            ExpectLine(3, kPrefix + std::string("Could not connect to ") + Where(n) + "!");
            continue;
        }
        ExpectLine(0, kPrefix + std::string("Connecting to ") + Where(n) + "...");
        ExpectDatagram(n, kTypeSetLightPower);
        if (colour == 0) {
            ExpectLine(254, "...turning off the power.");
            continue;
        }
        ExpectLine(254, "...turning on the power.");
        ExpectDatagram(n, kTypeSetColor);
        char text[200];
        snprintf(text, sizeof text,
                 "...setting it to RGB colour #%02x%02x%02x (offset %d), with 1 second "
                 "transition time.",
                 colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF, entry);
        ExpectLine(254, text);
        Conversion c = Plain(colour);
        snprintf(text, sizeof text, "   -> H %d\xB0 / S %d%% / L %d%%", c.h, c.s, c.l);
        ExpectLine(254, text);
    }
    ExpectLine(0, kPrefix + std::string("Connecting to ") + Where(9) + "...");
    ExpectLine(3, kPrefix + std::string("Could not send control packets to ") + Where(9) + "!");
    ExpectLine(0, kPrefix + std::string("Connecting to ") + Where(10) + "...");
    ExpectDatagram(10, kTypeSetLightPower);
    ExpectLine(254, "...turning on the power.");
    ExpectDatagram(10, kTypeSetExtendedColorZones);
    ExpectLine(254, "...setting colours across multiple zones, with 1 second transition time.");
    EXPECT_EQ(timeline, expected);

    // Byte for byte what the plain conversion and the encoders give.
    uint8_t power[kSetLightPowerSize];
    for (int n : {1, 2, 3, 5, 7, 8}) {
        int entry = n + 2 > 8 ? n + 2 - 8 : n + 2;
        ASSERT_EQ(Light(n).received.size(), 2u) << "bulb " << n;
        EncodeSetLightPower(power, true);
        EXPECT_EQ(Unstamped(Light(n).received[0].bytes),
                  std::vector<uint8_t>(power, power + sizeof power));
        uint8_t setColor[kSetColorSize];
        EncodeSetColor(setColor, Plain(g_palette.entries[entry]).hsbk, 800);
        EXPECT_EQ(Unstamped(Light(n).received[1].bytes),
                  std::vector<uint8_t>(setColor, setColor + sizeof setColor))
            << "bulb " << n;
    }
    ASSERT_EQ(Light(6).received.size(), 1u);
    EncodeSetLightPower(power, false);
    EXPECT_EQ(Unstamped(Light(6).received[0].bytes),
              std::vector<uint8_t>(power, power + sizeof power));
    Hsbk zones[kStripZones];
    for (int z = 0; z < kStripZones; z++)
        zones[z] = Plain(g_palette.entries[3 + z]).hsbk;
    static uint8_t setZones[kSetExtendedColorZonesSize];
    EncodeSetExtendedColorZones(setZones, zones, 800);
    ASSERT_EQ(Light(10).received.size(), 2u);
    EXPECT_EQ(Unstamped(Light(10).received[1].bytes),
              std::vector<uint8_t>(setZones, setZones + sizeof setZones));
    EXPECT_TRUE(Light(4).received.empty());
    EXPECT_TRUE(Light(9).received.empty());
}

TEST_F(TransferOrderTest, BothStripsGetTheSameZonesAsAStripServedAlone)
{
    UseSlots({9, 10});
    g_palette.offset = 8;
    // Runs of one colour, as the built-in patterns have, and a black zone.
    for (int n = 1; n < kPaletteEntries; n++)
        g_palette.entries[n] = (n / 4) % 2 ? 0x0088FF : 0x000088;
    g_palette.entries[20] = 0;
    SendColours(0);
    Drain();
    ASSERT_EQ(Light(9).received.size(), 2u);
    ASSERT_EQ(Light(10).received.size(), 2u);
    EXPECT_EQ(Unstamped(Light(9).received[1].bytes), Unstamped(Light(10).received[1].bytes));

    std::vector<uint8_t> together = Unstamped(Light(10).received[1].bytes);
    ResetLights();
    SendStripZones(10, -1); // an invalid socket: nothing may arrive
    SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    ASSERT_NE(s, INVALID_SOCKET);
    SendStripZones(10, s);
    closesocket(s);
    Drain();
    ASSERT_EQ(Light(10).received.size(), 2u);
    EXPECT_EQ(Unstamped(Light(10).received[1].bytes), together);
    for (int z = 0; z < kStripZones; z++) {
        Hsbk want = Plain(g_palette.entries[8 + z]).hsbk;
        EXPECT_EQ(Light(10).zones[z].hue, want.hue) << z;
        EXPECT_EQ(Light(10).zones[z].saturation, want.saturation) << z;
        EXPECT_EQ(Light(10).zones[z].brightness, want.brightness) << z;
    }
}

} // namespace
