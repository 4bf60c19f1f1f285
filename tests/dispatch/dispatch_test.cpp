#include <string>
#include <vector>

#include "lifx/colour.h"
#include "lifx/dispatch.h"
#include "lifx/messages.h"
#include "palette/palette.h"
#include "settings/settings.h"
#include "tests/support/lights_fixture.h"

namespace
{

using platform::GetNetStats;

const std::vector<int> kPowerThenColour = {kTypeSetLightPower, kTypeSetColor};
const std::vector<int> kPowerThenZones = {kTypeSetLightPower, kTypeSetExtendedColorZones};

class DispatchTest : public LightsTest
{
  protected:
    void SetUp() override
    {
        LightsTest::SetUp();
        // Distinct colours in every entry, so each light's entry shows.
        for (int i = 1; i <= 128; i++)
            g_palette.entries[i] = (uint32_t)(i * 0x010203 + 0x000010) & 0xFFFFFF;
        g_palette.offset = 1;
        g_settings.scheme = SchemeFire;
    }
    Hsbk Expected(int entry)
    {
        return RgbToHsbk(g_palette.entries[entry], g_settings.calibrationRed,
                         g_settings.calibrationGreen, g_settings.calibrationBlue)
            .hsbk;
    }
    void ExpectColour(int n, int entry)
    {
        Hsbk want = Expected(entry);
        EXPECT_TRUE(Light(n).colourReceived) << "light " << n;
        EXPECT_EQ(Light(n).colour.hue, want.hue) << "light " << n << " entry " << entry;
        EXPECT_EQ(Light(n).colour.saturation, want.saturation) << "light " << n;
        EXPECT_EQ(Light(n).colour.brightness, want.brightness) << "light " << n;
        EXPECT_EQ(Light(n).colour.kelvin, 9000) << "light " << n;
    }
    void ExpectZones(int n, int offset)
    {
        for (int z = 0; z < kStripZones; z++) {
            Hsbk want = Expected(offset + z);
            ASSERT_EQ(Light(n).zones[z].hue, want.hue) << "strip " << n << " zone " << z;
            ASSERT_EQ(Light(n).zones[z].brightness, want.brightness) << "zone " << z;
        }
    }
};

TEST_F(DispatchTest, WithEverySlotEmptyNothingOpensASocketOrLogs)
{
    g_settings.debug = true;
    SetPowerAll(true);
    SetMoveEffect(true);
    SendColours(0);
    SendColours(3);
    SendWhite(3, 100, 3000);
    SendBulbColour(1, 1, -1);
    SendStripZones(9, -1);

    EXPECT_EQ(GetNetStats().socketsCreated, 0);
    EXPECT_EQ(platform::WsaStartupsOutstanding(), 0);
    EXPECT_TRUE(LogLines().empty());
    EXPECT_EQ(Drain(), 0);
}

TEST_F(DispatchTest, PaletteSchemeAtOffsetOneGivesBulbNEntryNAndStripsEntriesOneTo82)
{
    UseSlots({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    SendColours(0);
    Drain();

    for (int n = 1; n <= 8; n++) {
        EXPECT_EQ(Types(n), kPowerThenColour) << "bulb " << n;
        EXPECT_EQ(Light(n).powerLevel, 65535);
        ExpectColour(n, n);
    }
    for (int n = 9; n <= 10; n++) {
        EXPECT_EQ(Types(n), kPowerThenZones) << "strip " << n;
        EXPECT_EQ(Light(n).zonesApply, 1);
        EXPECT_EQ(Light(n).zoneCount, 82);
        ExpectZones(n, 1);
    }
    Confirm();
    EXPECT_EQ(GetNetStats().socketsCreated, 1) << "one socket serves every light";
    EXPECT_EQ(platform::WsaStartupsOutstanding(), 0);
}

TEST_F(DispatchTest, RotationOffsetEightTurnsTheBulbsAndShiftsTheStrips)
{
    UseSlots({1, 2, 3, 6, 8, 9, 10});
    g_palette.offset = 8;
    SendColours(0);
    Drain();

    ExpectColour(1, 8);
    ExpectColour(2, 1);
    ExpectColour(3, 2);
    ExpectColour(6, 5);
    ExpectColour(8, 7);
    ExpectZones(9, 8);
    ExpectZones(10, 8);
}

TEST_F(DispatchTest, OffsetThreeMapsBulbsAsTheUserSeesThem)
{
    UseSlots({1, 6, 7, 8});
    g_palette.offset = 3;
    SendColours(0);
    Drain();
    ExpectColour(1, 3);
    ExpectColour(6, 8);
    ExpectColour(7, 1);
    ExpectColour(8, 2);
}

TEST_F(DispatchTest, WarmSendsWhiteOverTheOneSocket)
{
    UseSlots({2, 9});
    g_settings.scheme = SchemeWarm;
    g_settings.debug = true;
    SendColours(0);
    Drain();

    for (int n : {2, 9}) {
        EXPECT_EQ(Types(n), kPowerThenColour) << "light " << n;
        EXPECT_EQ(Light(n).powerLevel, 65535);
        EXPECT_EQ(Light(n).colour.hue, 0);
        EXPECT_EQ(Light(n).colour.saturation, 0);
        EXPECT_EQ(Light(n).colour.brightness, 21845);
        EXPECT_EQ(Light(n).colour.kelvin, 3000);
        EXPECT_EQ(Light(n).colourDuration, 0u);
    }
    Confirm();
    EXPECT_EQ(GetNetStats().socketsCreated, 1) << "one socket serves every light";
    EXPECT_EQ(platform::WsaStartupsOutstanding(), 0);
    std::vector<std::string> expected = {
        std::string("0 Chromalet-LIFX -> Connecting to device #2 at ") + Address(2) +
            " port 56700...",
        "254 ...turning on the power.",
        "254 ...setting it to white light at 3000 K and 33% brightness.",
        std::string("0 Chromalet-LIFX -> Connecting to device #9 at ") + Address(9) +
            " port 56700...",
        "254 ...turning on the power.",
        "254 ...setting it to white light at 3000 K and 33% brightness.",
    };
    EXPECT_EQ(LogLines(), expected);
}

TEST_F(DispatchTest, ColdSendsNineThousandKelvin)
{
    UseSlots({4});
    g_settings.scheme = SchemeCold;
    SendColours(0);
    Drain();
    EXPECT_EQ(Light(4).colour.kelvin, 9000);
    EXPECT_EQ(Light(4).colour.brightness, 21845);
}

TEST_F(DispatchTest, ManualSendsNothingToAllLightsButStillOpensTheSocket)
{
    UseSlots({1, 9});
    g_settings.scheme = SchemeManual;
    SendColours(0);
    EXPECT_EQ(Drain(), 0);
    EXPECT_EQ(GetNetStats().socketsCreated, 1);
    EXPECT_EQ(GetNetStats().socketsClosed, 1);
}

TEST_F(DispatchTest, BlackEntrySwitchesItsBulbOffAndSendsNoColour)
{
    UseSlots({3});
    g_palette.entries[3] = 0;
    g_settings.debug = true;
    SendColours(3);
    Drain();

    EXPECT_EQ(Types(3), std::vector<int>{kTypeSetLightPower});
    EXPECT_EQ(Light(3).powerLevel, 0);
    std::vector<std::string> expected = {
        std::string("0 Chromalet-LIFX -> Connecting to device #3 at ") + Address(3) +
            " port 56700...",
        "254 ...turning off the power.",
    };
    EXPECT_EQ(LogLines(), expected);
}

TEST_F(DispatchTest, OneLightByNumberTakesItsOwnEntryEvenOnAStrip)
{
    UseSlots({10});
    SendColours(10);
    Drain();
    EXPECT_EQ(Types(10), kPowerThenColour);
    ExpectColour(10, 10);

    EmulatorResetLights(emulator);
    SendColours(11);
    SendColours(-4);
    g_settings.scheme = SchemeManual;
    SendColours(-4);
    Drain();
    // -4 under Fire is "all lights": the strip gets its zones; nothing else.
    EXPECT_EQ(Types(10), kPowerThenZones);
}

struct CyclingCase {
    int scheme;
    bool cycling;
    int interval;
    uint32_t duration;
    const char *colourLine;
    const char *zonesLine;
};

TEST_F(DispatchTest, TransitionTimeAndLogWordingFollowCycling)
{
    const CyclingCase cases[] = {
        {SchemeFire, true, 1, 800, "(offset 1), with 1 second transition time.",
         "...setting colours across multiple zones, with 1 second transition time."},
        {SchemeFire, true, 10, 9800, "(offset 1), with 10 seconds transition time.",
         "...setting colours across multiple zones, with 10 seconds transition time."},
        {SchemeFire, true, 2, 1800, "(offset 1), with 2 seconds transition time.",
         "...setting colours across multiple zones, with 2 seconds transition time."},
        {SchemeFire, false, 5, 0, "(offset 1).", "...setting colours across multiple zones."},
        {SchemeManual, true, 5, 0, "(offset 1).", "...setting colours across multiple zones."},
    };
    UseSlots({1, 9});
    g_settings.debug = true;
    for (const CyclingCase &c : cases) {
        SCOPED_TRACE(std::to_string(c.scheme) + " cycling " + std::to_string(c.cycling) +
                     " interval " + std::to_string(c.interval));
        EmulatorResetLights(emulator);
        testhost::ClearRecords();
        g_settings.scheme = c.scheme;
        g_settings.cycleColours = c.cycling;
        g_settings.cycleInterval = c.interval;
        SendColours(1);
        {
            // The strip through the all-lights path, which Manual would skip.
            g_settings.scheme = SchemeFire;
            WSADATA data;
            WSAStartup(MAKEWORD(1, 1), &data);
            SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
            g_settings.scheme = c.scheme;
            SendStripZones(9, s);
            closesocket(s);
            WSACleanup();
        }
        Drain();
        EXPECT_EQ(Light(1).colourDuration, c.duration);
        EXPECT_EQ(Light(9).zonesDuration, c.duration);
        EXPECT_EQ(Light(1).powerDuration, 0u);
        std::vector<std::string> lines = LogLines();
        ASSERT_EQ(lines.size(), 7u);
        char colour[64];
        uint32_t e = g_palette.entries[1];
        snprintf(colour, sizeof colour, "254 ...setting it to RGB colour #%02x%02x%02x ", e & 0xFF,
                 (e >> 8) & 0xFF, (e >> 16) & 0xFF);
        EXPECT_EQ(lines[2], std::string(colour) + c.colourLine);
        EXPECT_EQ(lines[3].rfind("254    -> H ", 0), 0u) << lines[3];
        EXPECT_EQ(lines[6], std::string("254 ") + c.zonesLine);
    }
}

TEST_F(DispatchTest, HueSaturationLightnessLineUsesTheDegreeByte)
{
    UseSlots({2});
    g_palette.entries[2] = 0x0000FF; // #FF0000
    g_settings.calibrationRed = g_settings.calibrationGreen = g_settings.calibrationBlue = 100;
    g_settings.debug = true;
    SendColours(2);
    Drain();
    std::vector<std::string> lines = LogLines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[2], "254 ...setting it to RGB colour #ff0000 (offset 2).");
    EXPECT_EQ(lines[3], "254    -> H 0\xB0 / S 100% / L 50%");
}

TEST_F(DispatchTest, AllBlackStripIsStillSwitchedOn)
{
    UseSlots({9});
    for (uint32_t &entry : g_palette.entries)
        entry = 0;
    SendColours(0);
    Drain();
    EXPECT_EQ(Types(9), kPowerThenZones);
    EXPECT_EQ(Light(9).powerLevel, 65535);
    for (int z = 0; z < kStripZones; z++)
        EXPECT_EQ(Light(9).zones[z].brightness, 0);
}

TEST_F(DispatchTest, MoveEffectReachesOnlyTheStrips)
{
    UseSlots({1, 8, 9, 10});
    g_settings.movementSpeed = 7;
    g_settings.reverseDirection = true;
    SetMoveEffect(true);
    Drain();
    EXPECT_TRUE(Light(1).received.empty());
    EXPECT_TRUE(Light(8).received.empty());
    for (int n : {9, 10}) {
        EXPECT_TRUE(Light(n).moveOn);
        EXPECT_EQ(Light(n).moveSpeedMs, 7000u);
        EXPECT_EQ(Light(n).moveDirection, 0u);
    }

    SetMoveEffect(false);
    Drain();
    EXPECT_FALSE(Light(9).moveOn);
    EXPECT_EQ(Light(9).moveSpeedMs, 7000u) << "the off message keeps speed and direction";
    EXPECT_EQ(Light(10).effectMessages, 2);
}

TEST_F(DispatchTest, PowerAllReachesEveryConfiguredLight)
{
    UseSlots({1, 5, 10});
    SetPowerAll(false);
    Confirm();
    for (int n : {1, 5, 10}) {
        EXPECT_EQ(Types(n), std::vector<int>{kTypeSetLightPower});
        EXPECT_EQ(Light(n).powerLevel, 0);
    }
    EXPECT_TRUE(Light(2).received.empty());
    SetPowerAll(true);
    Confirm();
    EXPECT_EQ(Light(5).powerLevel, 65535);
    EXPECT_EQ(GetNetStats().socketsCreated, 2);
    EXPECT_EQ(GetNetStats().socketsClosed, 2);
}

TEST_F(DispatchTest, ZeroAddressIsSkippedByColoursButTriedByPowerAll)
{
    UseSlots({2});
    SetDeviceSlot(1, "0.0.0.0");
    UpdateAnyDeviceConfigured();
    g_settings.debug = true;

    SendColours(0);
    Drain();
    EXPECT_EQ(GetNetStats().sends, 2) << "only slot 2";
    EXPECT_EQ(Types(2), kPowerThenColour);
    for (const std::string &line : LogLines())
        EXPECT_EQ(line.find("#1 "), std::string::npos) << line;

    SetPowerAll(true);
    EXPECT_EQ(GetNetStats().sends, 4) << "slot 1 is tried too";
}

TEST_F(DispatchTest, UnparsableAndBroadcastAddressesAreSkippedSilently)
{
    UseSlots({3});
    SetDeviceSlot(1, "not an address");
    SetDeviceSlot(2, "255.255.255.255");
    UpdateAnyDeviceConfigured();
    g_settings.debug = true;
    g_settings.scheme = SchemeWarm;
    SendColours(0);
    SendWhite(1, 100, 2500);
    Drain();
    EXPECT_EQ(Types(3), kPowerThenColour);
    EXPECT_EQ(LogLines().size(), 3u) << "only light 3 is reported";
    // The power message tries them; the system refuses a broadcast.
    SetPowerAll(false);
    Drain();
    EXPECT_EQ(Light(3).powerLevel, 0);
}

TEST_F(DispatchTest, DebugOffSendsTheSameBytesAndLogsNothing)
{
    UseSlots({1, 2, 9});
    g_settings.cycleColours = true;
    g_settings.cycleInterval = 3;
    g_settings.debug = true;
    SendColours(0);
    Drain();
    std::vector<std::vector<uint8_t>> withDebug;
    for (int n : {1, 2, 9}) {
        for (const ReceivedDatagram &d : Light(n).received)
            withDebug.push_back(d.bytes);
    }
    EXPECT_FALSE(LogLines().empty());

    EmulatorResetLights(emulator);
    testhost::ClearRecords();
    g_settings.debug = false;
    SendColours(0);
    Drain();
    std::vector<std::vector<uint8_t>> withoutDebug;
    for (int n : {1, 2, 9}) {
        for (const ReceivedDatagram &d : Light(n).received)
            withoutDebug.push_back(d.bytes);
    }
    for (auto *list : {&withDebug, &withoutDebug}) {
        for (std::vector<uint8_t> &bytes : *list)
            bytes = Unstamped(bytes);
    }
    EXPECT_EQ(withDebug, withoutDebug);
    EXPECT_TRUE(LogLines().empty());
}

TEST_F(DispatchTest, DeadSlotDoesNotCostTheNextLightItsColours)
{
    // Slot 1 names a loopback address where nothing listens: the refusal
    // comes back on the shared socket.
    char spare[2][kLoopbackAddressSize];
    TestLoopbackAddresses(spare, 2, 1);
    UseSlots({2, 3});
    SetDeviceSlot(1, spare[0]);
    UpdateAnyDeviceConfigured();
    g_settings.debug = true;

    SendColours(0);
    Drain();

    EXPECT_EQ(Types(2), kPowerThenColour);
    EXPECT_EQ(Types(3), kPowerThenColour);
    ExpectColour(2, 2);
    for (const std::string &line : LogLines()) {
        if (line.rfind("3 ", 0) == 0) {
            EXPECT_NE(line.find("#1 at"), std::string::npos)
                << "only the dead light fails: " << line;
        }
    }
    // The power message to all lights too.
    EmulatorResetLights(emulator);
    SetPowerAll(false);
    SetPowerAll(false);
    Drain();
    EXPECT_EQ(Light(2).powerMessages, 2);
    EXPECT_EQ(Light(3).powerMessages, 2);
}

TEST_F(DispatchTest, FailedConnectIsLoggedAndTheNextLightIsServed)
{
    UseSlots({1, 2, 9});
    g_settings.debug = true;
    platform::InjectNetFault(platform::NetFaultConnect, Address(1));
    SendColours(0);
    Drain();

    EXPECT_TRUE(Light(1).received.empty());
    EXPECT_EQ(Types(2), kPowerThenColour);
    EXPECT_EQ(Types(9), kPowerThenZones);
    ASSERT_GE(LogLines().size(), 2u);
    EXPECT_EQ(LogLines()[1], std::string("3 Chromalet-LIFX -> Could not connect to device #1 at ") +
                                 Address(1) + " port 56700!");
}

TEST_F(DispatchTest, FailedSendIsLoggedAndTheRestOfThatLightIsSkipped)
{
    UseSlots({1, 2});
    g_settings.debug = true;
    platform::InjectNetFault(platform::NetFaultSend, Address(1));
    SendColours(0);
    Drain();

    EXPECT_TRUE(Light(1).received.empty());
    EXPECT_EQ(Types(2), kPowerThenColour);
    std::vector<std::string> lines = LogLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], std::string("0 Chromalet-LIFX -> Connecting to device #1 at ") +
                            Address(1) + " port 56700...");
    EXPECT_EQ(lines[1], std::string("3 Chromalet-LIFX -> Could not send control packets to "
                                    "device #1 at ") +
                            Address(1) + " port 56700!");

    // The colour message failing: power arrived, colour did not.
    EmulatorResetLights(emulator);
    testhost::ClearRecords();
    platform::InjectNetFault(platform::NetFaultSend, Address(2), 0);
    SendColours(2);
    Drain();
    EXPECT_EQ(Types(2), kPowerThenColour);
}

TEST_F(DispatchTest, SocketFailuresAreReportedAndBalanced)
{
    UseSlots({1});
    g_settings.debug = true;
    platform::InjectNetFault(platform::NetFaultSocket);
    SendColours(0);
    platform::InjectFault(platform::FaultWsaStartup);
    SendColours(0);
    g_settings.scheme = SchemeCold;
    platform::InjectNetFault(platform::NetFaultSocket);
    SendColours(0); // the call's socket fails first
    platform::InjectNetFault(platform::NetFaultSocket);
    SendWhite(1, 21845, 9000);
    platform::InjectFault(platform::FaultWsaStartup);
    SendWhite(1, 21845, 9000);
    platform::InjectNetFault(platform::NetFaultSocket);
    SetPowerAll(true);
    platform::InjectFault(platform::FaultWsaStartup);
    SetMoveEffect(true);

    EXPECT_EQ(Drain(), 0);
    std::vector<std::string> expected = {
        "3 Chromalet-LIFX -> Could not create socket!",
        "3 Chromalet-LIFX -> Initiating Windows Sockets failed!",
        "3 Chromalet-LIFX -> Could not create socket!",
        "3 Chromalet-LIFX -> Could not create socket!",
        "3 Chromalet-LIFX -> Initiating Windows Sockets failed!",
    };
    EXPECT_EQ(LogLines(), expected);
    EXPECT_EQ(platform::WsaStartupsOutstanding(), 0);
}

TEST_F(DispatchTest, WhiteFailuresAreSilent)
{
    UseSlots({1});
    g_settings.debug = true;
    platform::InjectNetFault(platform::NetFaultConnect, Address(1));
    SendWhite(1, 65535, 2500);
    platform::InjectNetFault(platform::NetFaultSend, Address(1));
    SendWhite(1, 65535, 2500);
    Drain();
    EXPECT_TRUE(Light(1).received.empty());
    std::string connecting = std::string("0 Chromalet-LIFX -> Connecting to device #1 at ") +
                             Address(1) + " port 56700...";
    EXPECT_EQ(LogLines(), (std::vector<std::string>{connecting, connecting}));
}

TEST_F(DispatchTest, FlagClearSendsNothingEvenWithSlotsFilled)
{
    SetDeviceSlot(1, Address(1));
    g_anyDeviceConfigured = false;
    SendColours(0);
    SetPowerAll(true);
    SetMoveEffect(true);
    SendWhite(1, 100, 3000);
    EXPECT_EQ(GetNetStats().socketsCreated, 0);
}

} // namespace
