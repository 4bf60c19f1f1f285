// "Discover" against emulated lights on loopback: what is saved in the device
// slots and the settings file, what the log says, what the lights receive,
// and that a discovery leaves no socket or timer behind.
#include <arpa/inet.h>
#include <ctype.h>
#include <stdio.h>
#include <string.h>

#include <functional>
#include <string>
#include <vector>

#include "commands/discover.h"
#include "commands/timers.h"
#include "lifx/colour.h"
#include "lifx/discovery.h"
#include "lifx/light_socket.h"
#include "lifx/messages.h"
#include "lifx/zone_query.h"
#include "plugin/plugin.h"
#include "settings/settings.h"
#include "tests/commands/commands_fixture.h"

namespace
{

class DiscoverTest : public CommandTest
{
  protected:
    void SetUp() override
    {
        CommandTest::SetUp();
        for (int n = 1; n <= 10; n++)
            EmulatorSetLabel(Light(n), ("Lamp " + std::to_string(n)).c_str());
    }

    // The range of the ten emulated lights: x.y.z.0/28.
    std::string Range() const
    {
        std::string range = Address(1);
        return range.substr(0, range.rfind('.')) + ".0/28";
    }

    // A command, then the plug-in's timer and the lights answering in turn,
    // until the discovery is over (bounded).
    void Discover(const std::string &command)
    {
        Send(command);
        RunToTheEnd();
    }
    // `beforePoll` may change how the lights answer as the search goes on.
    void RunToTheEnd(const std::function<void()> &beforePoll = nullptr)
    {
        for (int i = 0; i < 1000 && DiscoveryUnderway(); i++) {
            if (beforePoll)
                beforePoll();
            EmulatorPoll(emulator, 0);
            platform::AdvanceClock(kAnswersTickMs);
        }
        EXPECT_FALSE(DiscoveryUnderway());
        Drain();
    }

    std::string Serial(int n)
    {
        char text[16];
        const uint8_t *s = Light(n).serial;
        snprintf(text, sizeof text, "%02x%02x%02x%02x%02x%02x", s[0], s[1], s[2], s[3], s[4], s[5]);
        return text;
    }
    std::string Found(int n) const { return std::string(" \"Lamp ") + std::to_string(n) + "\""; }
    std::string At(int n) const { return std::string(" at ") + Address(n); }
    std::string Moved(int n, int slot, const std::string &from) const
    {
        return Found(n) + ": device #" + std::to_string(slot) + " moved from " + from + " to " +
               Address(n) + ".";
    }
    void OnlyLightsAnswer(std::initializer_list<int> lights)
    {
        for (int n = 1; n <= 10; n++)
            Light(n).replyMode = EmulatorRepliesSilent;
        for (int n : lights)
            Light(n).replyMode = EmulatorRepliesNormal;
    }

    void ExpectNothingLeftOpen()
    {
        platform::NetStats net = platform::GetNetStats();
        EXPECT_EQ(net.socketsCreated, net.socketsClosed);
        EXPECT_EQ(platform::WsaStartupsOutstanding(), 0);
        EXPECT_FALSE(platform::TimerRunning(g_pluginWindow, AnswersTimer));
    }

    std::string Line(const char *format, const std::string &a = "", int n = 0,
                     const std::string &b = "")
    {
        char text[512];
        snprintf(text, sizeof text, format, a.c_str(), n, b.c_str());
        return text;
    }
};

TEST_F(DiscoverTest, ARangeFillsBulbsFromOneAndStripsFromNineInTheOrderOfTheirAddresses)
{
    Light(1).strip = Light(2).strip = true;
    // A short strip, and one long enough to answer in two replies.
    Light(1).stripZones = 16;
    Light(2).stripZones = 120;
    Light(3).replyMode = EmulatorRepliesOlderFirmware; // says nothing to a strip's question
    Start();
    Discover("@LIFX Discover " + Range());

    // Strips at .1 and .2 take slots 9 and 10; bulbs .3 to .10 slots 1 to 8.
    std::vector<std::string> logs = {"1 Chromalet-LIFX -> Looking for lights at " + Range() +
                                     " (14 addresses)..."};
    std::string file = before;
    for (int n = 1; n <= 10; n++) {
        int slot = n <= 2 ? 8 + n : n - 2;
        EXPECT_STREQ(g_devices[slot], Address(n)) << "slot " << slot;
        file = WithLines(file, {{DeviceKey(slot), Address(n)},
                                {"lifx.device" + std::to_string(slot) + ".serial:", Serial(n)}});
        if (n <= 2)
            file = WithLine(
                file, "lifx.device" + std::to_string(slot) + ".zones:", n == 1 ? "16" : "120");
        file = WithLine(
            file, "lifx.device" + std::to_string(slot) + ".label:", "Lamp " + std::to_string(n));
        logs.push_back(Line("1 ...found %s \"Lamp ", n <= 2 ? "strip" : "bulb") +
                       std::to_string(n) + "\"" +
                       (n == 1   ? " (16 zones)"
                        : n == 2 ? " (120 zones)"
                                 : "") +
                       " at " + Address(n) + ": saved as device #" + std::to_string(slot) + ".");
    }
    logs.push_back("1 ...found 10 lights, 10 new.");
    EXPECT_EQ(LogLines(), logs);
    EXPECT_EQ(FileNow(), file);
    EXPECT_TRUE(g_anyDeviceConfigured);
    EXPECT_EQ(DatagramsReceived(), 0) << "without automatic power nothing is sent";
    for (int n = 1; n <= 10; n++)
        EXPECT_EQ(Light(n).serviceRequests, 3) << "three rounds, light " << n;
    EXPECT_EQ(Light(3).zonesRequests, 3) << "with nothing lost, an older bulb is asked thrice";
    ExpectNothingLeftOpen();

    // The next start finds them where they were put, and the strips' lengths.
    StartWithContent(FileNow());
    for (int n = 1; n <= 10; n++)
        EXPECT_STREQ(g_devices[n <= 2 ? 8 + n : n - 2], Address(n));
    EXPECT_EQ(g_deviceZones[9], 16);
    EXPECT_EQ(g_deviceZones[10], 120);

    // Fire reaches the short strip in one message of 16 zones, the long one
    // in 82 zones stored and 38 more shown with them; neither is asked again.
    Send("@LIFX Scheme Fire");
    std::vector<std::vector<int>> spans[2];
    for (int n : {1, 2}) {
        for (const ReceivedDatagram &d : Light(n).received) {
            if (d.type == kTypeSetExtendedColorZones)
                spans[n - 1].push_back({d.bytes[41] | d.bytes[42] << 8, d.bytes[43], d.bytes[40]});
        }
    }
    EXPECT_EQ(spans[0], (std::vector<std::vector<int>>{{0, 16, 1}}));
    EXPECT_EQ(spans[1], (std::vector<std::vector<int>>{{0, 82, 0}, {82, 38, 1}}));
    EXPECT_FALSE(ZoneQueryRunning());
}

TEST_F(DiscoverTest, KnownLightsKeepTheirSlotAMovedOneIsFollowedAndAFullTableSavesNothingNew)
{
    for (int n : {2, 3, 5, 6, 8})
        Light(n).replyMode = EmulatorRepliesSilent;
    Light(9).strip = Light(10).strip = true;
    // Light 4 was in slot 2 at an address the router has since given away.
    Start({{DeviceKey(1), "192.168.1.11"},
           {DeviceKey(2), "192.168.1.12"},
           {"lifx.device2.serial:", Serial(4)},
           {DeviceKey(3), "192.168.1.13"},
           {DeviceKey(4), "192.168.1.14"},
           {DeviceKey(5), Address(7)},
           {DeviceKey(6), "192.168.1.16"},
           {DeviceKey(7), "192.168.1.17"},
           {DeviceKey(8), "192.168.1.18"},
           {DeviceKey(10), "192.168.1.30"}});
    Discover("@LIFX Discover " + Range());

    EXPECT_EQ(
        LogLines(),
        (std::vector<std::string>{
            "1 Chromalet-LIFX -> Looking for lights at " + Range() + " (14 addresses)...",
            "1 ...found bulb \"Lamp 1\" at " + std::string(Address(1)) +
                ": no free slot for a bulb, not saved.",
            "1 ...found bulb \"Lamp 4\": device #2 moved from 192.168.1.12 to " +
                std::string(Address(4)) + ".",
            "1 ...found bulb \"Lamp 7\" at " + std::string(Address(7)) + ": already device #5.",
            "1 ...found strip \"Lamp 9\" (82 zones) at " + std::string(Address(9)) +
                ": saved as device #9.",
            "1 ...found strip \"Lamp 10\" (82 zones) at " + std::string(Address(10)) +
                ": no free slot for a strip, not saved.",
            "1 ...found 5 lights, 1 new.",
        }));
    EXPECT_EQ(FileNow(), WithLines(before, {{DeviceKey(2), Address(4)},
                                            {"lifx.device2.label:", "Lamp 4"},
                                            {"lifx.device5.serial:", Serial(7)},
                                            {"lifx.device5.label:", "Lamp 7"},
                                            {DeviceKey(9), Address(9)},
                                            {"lifx.device9.serial:", Serial(9)},
                                            {"lifx.device9.zones:", "82"},
                                            {"lifx.device9.label:", "Lamp 9"}}));
    EXPECT_STREQ(g_devices[2], Address(4));
    EXPECT_STREQ(g_devices[10], "192.168.1.30");
    ExpectNothingLeftOpen();
}

// A socket of the test's own at address, port 56700, that never blocks.
int BoundSocket(const std::string &address)
{
    int s = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
    sockaddr_in at = {};
    at.sin_family = AF_INET;
    at.sin_port = htons(56700);
    at.sin_addr.s_addr = inet_addr(address.c_str());
    EXPECT_EQ(bind(s, (sockaddr *)&at, sizeof at), 0) << address;
    return s;
}

// A StateService as a light would send it, to requests of `source`.
std::vector<uint8_t> StateService(uint32_t source, uint8_t lastSerialByte, uint8_t service = 1)
{
    std::vector<uint8_t> d(41, 0);
    d[0] = 41;
    d[3] = 0x14;
    memcpy(&d[4], &source, 4);
    const uint8_t serial[6] = {0xD0, 0x73, 0xD5, 0x99, 0x99, lastSerialByte};
    memcpy(&d[8], serial, 6);
    d[32] = 3;
    d[36] = service;
    d[37] = 0x7C;
    d[38] = 0xDD;
    return d;
}

TEST_F(DiscoverTest, SilentMalformedForeignDuplicateAndLateAnswersChangeNothing)
{
    Light(1).replyMode = EmulatorRepliesSilent;
    Light(2).replyMode = EmulatorRepliesMalformed;
    for (int n = 4; n <= 10; n++)
        Light(n).replyMode = EmulatorRepliesSilent;
    std::string range = Range();
    std::string prefix = range.substr(0, range.rfind('.') + 1);
    // One stranger inside the range, which hears the request; one beyond it.
    char beyond[1][kLoopbackAddressSize];
    TestLoopbackAddresses(beyond, 1, 1);
    int inside = BoundSocket(prefix + "12");
    int outside = BoundSocket(beyond[0]);
    Start({{"lifx.debug:", "true"}});

    Send("@LIFX Discover " + range);
    uint8_t request[64];
    sockaddr_in plugin = {};
    socklen_t length = sizeof plugin;
    ASSERT_EQ(recvfrom(inside, request, sizeof request, 0, (sockaddr *)&plugin, &length), 36);
    uint32_t source;
    memcpy(&source, request + 4, 4);
    auto answer = [&](int from, const std::vector<uint8_t> &d) {
        sendto(from, d.data(), d.size(), 0, (sockaddr *)&plugin, sizeof plugin);
    };
    answer(outside, StateService(source, 1));    // from an address not asked
    answer(inside, StateService(source + 1, 2)); // to someone else's request
    answer(inside, StateService(source, 3, 2));  // not the UDP service
    answer(inside, std::vector<uint8_t>(40, 0)); // no answer at all
    RunToTheEnd();
    // Late: the window has closed, and its socket with it.
    answer(inside, StateService(source, 4));
    close(inside);
    close(outside);
    Drain();

    std::vector<std::string> logs = LogLines();
    ASSERT_EQ(logs.size(), 4u);
    EXPECT_EQ(logs[1],
              "1 ...found bulb \"Lamp 3\" at " + std::string(Address(3)) + ": saved as device #1.");
    EXPECT_EQ(logs[2], "1 ...found 1 light, 1 new.");
    // Light 2's broken answers, and the strangers' four.
    EXPECT_EQ(logs[3].substr(0, 7), "254 ...");
    int ignored = atoi(logs[3].c_str() + 7);
    EXPECT_GE(ignored, 4 + 3 * 6) << logs[3];
    EXPECT_EQ(FileNow(), WithLines(before, {{DeviceKey(1), Address(3)},
                                            {"lifx.device1.serial:", Serial(3)},
                                            {"lifx.device1.label:", "Lamp 3"}}));
    EXPECT_EQ(Light(3).serviceRequests, 3) << "three rounds, each answered: duplicates";
    ExpectNothingLeftOpen();
}

TEST_F(DiscoverTest, StoppingTheHostOrSuspendingMidwayClosesEverythingAndSavesNothing)
{
    const char *ways[] = {"endPlugin", "suspend", "restart"};
    for (const char *way : ways) {
        SCOPED_TRACE(way);
        Start();
        Send("@LIFX Discover " + Range());
        for (int i = 0; i < 8; i++) {
            EmulatorPoll(emulator, 0);
            platform::AdvanceClock(kAnswersTickMs);
        }
        ASSERT_TRUE(DiscoveryUnderway());
        ASSERT_GT(Light(1).labelRequests, 0) << "answers were coming in";
        if (!strcmp(way, "suspend")) {
            SendMessageA(g_pluginWindow, WM_POWERBROADCAST, PBT_APMSUSPEND, 0);
        } else {
            endPlugin(nullptr);
            if (!strcmp(way, "restart")) {
                ASSERT_EQ(beginPlugin(nullptr), 0);
            }
        }
        EXPECT_FALSE(DiscoveryUnderway());
        platform::AdvanceClock(5000);
        Drain();
        EXPECT_EQ(LogLines().size(), 1u) << "only the start was logged";
        ExpectFileUnchanged();
        for (int n = 1; n <= 10; n++)
            EXPECT_STREQ(g_devices[n], "");
        ExpectNothingLeftOpen();
        EXPECT_EQ(platform::RunningTimers(), 0);
    }
}

TEST_F(DiscoverTest, WithoutAnArgumentItBroadcastsToTheGlobalAddressAndEachInterfacesNetwork)
{
    // Nothing may leave the test: the guard refuses every address beyond
    // loopback and keeps it.
    platform::SetInterfaces({{"192.168.7.12", 24, true, false},
                             {"10.3.0.9", 22, true, false},
                             {"127.0.0.1", 8, true, true},
                             {"172.16.0.5", 16, false, false}});
    platform::RecordRefusedDestinations(true, false);
    Start();
    platform::SetInterfaces({{"192.168.7.12", 24, true, false},
                             {"10.3.0.9", 22, true, false},
                             {"127.0.0.1", 8, true, true},
                             {"172.16.0.5", 16, false, false}});
    platform::RecordRefusedDestinations(true, false);

    Discover("@Chromalet-LIFX Discover");

    std::vector<std::string> round = {"255.255.255.255", "192.168.7.255", "10.3.3.255"};
    std::vector<std::string> three;
    for (int i = 0; i < 3; i++)
        three.insert(three.end(), round.begin(), round.end());
    EXPECT_EQ(platform::RefusedDestinations(), three);
    ASSERT_EQ(LogLines().size(), 2u);
    EXPECT_EQ(LogLines()[0], "1 Chromalet-LIFX -> Looking for lights on the local network...");
    // The guard refused every one of them.
    EXPECT_EQ(LogLines()[1], "3 ...the requests could not be sent: no route to that network "
                             "(error " +
                                 std::to_string(ENETUNREACH) + ").");
    ExpectFileUnchanged();
    ExpectNothingLeftOpen();
}

TEST_F(DiscoverTest, BroadcastsAreRefusedAgainAfterASearchByBroadcastThatLeftTheSocketOpen)
{
    Start(LightLines({1}));
    platform::SetInterfaces({});
    platform::RecordRefusedDestinations(true, false);
    Light(1).off = true;
    Send("@LIFX Power Off"); // resent for longer than the search lasts
    Discover("@LIFX Discover");
    int allowed = 1;
    socklen_t size = sizeof allowed;
    ASSERT_TRUE(LightSocketOpen());
    getsockopt(AcquireLightSocket(), SOL_SOCKET, SO_BROADCAST, &allowed, &size);
    EXPECT_EQ(allowed, 0);
}

TEST_F(DiscoverTest, NothingFoundSuggestsThisComputersNetworkButARangeIsNotToldToSearchARange)
{
    for (int n = 1; n <= 10; n++)
        Light(n).replyMode = EmulatorRepliesSilent;
    Start();
    const std::string kRangeAgain = "search a range of addresses";
    // The range suggested is this computer's first network with room for
    // lights, as "Discover" takes it.
    const std::pair<std::vector<platform::Interface>, std::string> suggestions[] = {
        {{}, "192.168.1.0/24"},
        {{{"10.7.5.9", 23, true, false}}, "10.7.4.0/23"},
        {{{"10.3.1.9", 16, true, false}}, "10.3.1.0/24"},
        {{{"100.64.0.2", 32, true, false}, {"192.168.0.34", 24, true, false}}, "192.168.0.0/24"},
    };
    for (const auto &s : suggestions) {
        platform::SetInterfaces(s.first);
        Forget();
        Discover("@LIFX Discover " + std::string(Address(4)));
        EXPECT_NE(LogLines().back().find(kRangeAgain + ", for example \"@Chromalet-LIFX Discover " +
                                         s.second + "\"."),
                  std::string::npos);
    }

    Forget();
    Discover("@LIFX Discover " + Range());
    ASSERT_EQ(LogLines().size(), 2u);
    EXPECT_EQ(LogLines()[1], "3 ...no light answered in that range. Check that the range is the "
                             "lights' network, that this computer is on that network (not a "
                             "guest network) and that the firewall lets UDP port 56700 through.");
    ExpectFileUnchanged();
}

TEST_F(DiscoverTest, ABadArgumentOrASecondDiscoverIsRefusedWithALineAndSendsNothing)
{
    const char kInvalid[] = "3 ...invalid IP address or range specified! Give A.B.C.D, or "
                            "A.B.C.D/P with P from 22 to 32.";
    Start();
    std::string range = Range();
    for (const std::string &argument :
         {range.substr(0, range.size() - 3) + "/21", std::string("lamp"), std::string("1.2.3"),
          std::string("255.255.255.255"), std::string("0.0.0.0"), range + " " + range}) {
        SCOPED_TRACE(argument);
        Forget();
        Send("@LIFX Discover " + argument);
        EXPECT_EQ(LogLines(), std::vector<std::string>{kInvalid});
        EXPECT_FALSE(DiscoveryUnderway());
    }
    EXPECT_EQ(platform::GetNetStats().socketsCreated, 0);

    // Ten bulbs for eight bulb slots.
    Forget();
    Send("@LIFX Discover " + range);
    Send("@LIFX Discover " + std::string(Address(1)));
    EXPECT_EQ(LogLines().back(), "3 ...already looking for lights.");
    EXPECT_EQ(platform::GetNetStats().socketsCreated, 1);
    RunToTheEnd();
    EXPECT_EQ(LogLines().back(), "1 ...found 10 lights, 8 new.");
}

TEST_F(DiscoverTest, WithAutomaticPowerOnlyTheNewLightsGetTheSchemeAndTheMoveEffect)
{
    Light(9).strip = true;
    for (int n : {3, 4, 5, 6, 7, 8, 10})
        Light(n).replyMode = EmulatorRepliesSilent;
    Start({{DeviceKey(1), Address(1)},
           {"lifx.color.scheme:", "Fire"},
           {"lifx.auto.power:", "true"},
           {"lifx.move.effect:", "true"}});

    Discover("@LIFX Discover " + Range());

    EXPECT_TRUE(Light(1).received.empty()) << "already in its slot";
    // Light 2 became bulb 2, which shows Fire's entry 2; light 9 strip 9.
    ASSERT_EQ(Types(2), (std::vector<int>{kTypeSetLightPower, kTypeSetColor}));
    EXPECT_EQ(Light(2).colour.hue, RgbToHsbk(0x000088, 80, 100, 95).hsbk.hue);
    ASSERT_EQ(Types(9), (std::vector<int>{kTypeSetLightPower, kTypeSetExtendedColorZones,
                                          kTypeSetMultiZoneEffect}));
    EXPECT_TRUE(Light(9).moveOn);
    EXPECT_STREQ(g_devices[2], Address(2));
    EXPECT_STREQ(g_devices[9], Address(9));
}

TEST_F(DiscoverTest, ADeviceCommandThatChangesASlotForgetsItsSerial)
{
    for (int n = 2; n <= 10; n++)
        Light(n).replyMode = EmulatorRepliesSilent;
    Start();
    Discover("@LIFX Discover " + Range());
    ASSERT_STREQ(g_deviceSerials[1], Serial(1).c_str());

    // The same address again keeps it; another light's address does not.
    Forget();
    Send("@LIFX Device #1 " + std::string(Address(1)));
    ExpectLineWritten(DeviceKey(1), Address(1));
    Forget();
    Send("@LIFX Device #1 192.168.1.50");
    EXPECT_EQ(FileNow(), WithLines(before, {{"lifx.device1.serial:", ""},
                                            {"lifx.device1.label:", ""},
                                            {DeviceKey(1), "192.168.1.50"}}));
    EXPECT_STREQ(g_deviceSerials[1], "");
}

TEST_F(DiscoverTest, ASerialDecidesTheSlotSwappedLightsStayAndAStrangerTakesNoKnownSlot)
{
    OnlyLightsAnswer({1, 2, 4, 5});
    Light(1).strip = true;
    // Strip 1 and bulb 2 have swapped addresses; light 5 has moved and
    // stranger 4 now has its old address, in a table without a free bulb slot.
    std::vector<SettingLine> lines = {
        {DeviceKey(1), Address(1)}, {"lifx.device1.serial:", Serial(2)},
        {DeviceKey(9), Address(2)}, {"lifx.device9.serial:", Serial(1)},
        {DeviceKey(2), Address(4)}, {"lifx.device2.serial:", Serial(5)}};
    for (int n = 3; n <= 8; n++)
        lines.push_back({DeviceKey(n), "192.168.1.1" + std::to_string(n)});
    Start(lines);
    Discover("@LIFX Discover " + Range());

    EXPECT_EQ(LogLines(),
              (std::vector<std::string>{
                  "1 Chromalet-LIFX -> Looking for lights at " + Range() + " (14 addresses)...",
                  "1 ...found strip \"Lamp 1\" (82 zones): device #9 moved from " +
                      std::string(Address(2)) + " to " + Address(1) + ".",
                  "1 ...found bulb" + Moved(2, 1, Address(1)),
                  "1 ...found bulb" + Found(4) + At(4) + ": no free slot for a bulb, not saved.",
                  "1 ...found bulb" + Moved(5, 2, Address(4)),
                  "1 ...found 4 lights, 0 new.",
              }));
    EXPECT_EQ(FileNow(), WithLines(before, {{DeviceKey(1), Address(2)},
                                            {DeviceKey(9), Address(1)},
                                            {DeviceKey(2), Address(5)},
                                            {"lifx.device9.zones:", "82"},
                                            {"lifx.device9.label:", "Lamp 1"},
                                            {"lifx.device1.label:", "Lamp 2"},
                                            {"lifx.device2.label:", "Lamp 5"}}));
}

TEST_F(DiscoverTest, ASerialSavedInUpperCaseFindsItsLight)
{
    OnlyLightsAnswer({3});
    std::string upper = Serial(3);
    for (char &c : upper)
        c = (char)toupper(c);
    for (std::string at : {std::string("192.168.1.13"), std::string(Address(3))}) {
        Start({{DeviceKey(3), at}, {"lifx.device3.serial:", upper}});
        Discover("@LIFX Discover " + Range());
        EXPECT_EQ(LogLines()[1],
                  "1 ...found bulb" + (at == Address(3) ? Found(3) + At(3) + ": already device #3."
                                                        : Moved(3, 3, at)));
    }
}

TEST_F(DiscoverTest, EachLightEndsInOneSlotAndKeepsTheSlotThatHoldsItsSerial)
{
    struct Row {
        std::vector<int> answering;
        std::vector<SettingLine> table, written;
        std::vector<std::string> lines;
    } rows[] = {
        // Light 2 was device #1, light 1 typed as device #2; they swapped.
        // Light 2 was renamed since: the search renames it.
        {{1, 2},
         {{DeviceKey(1), Address(1)},
          {"lifx.device1.serial:", Serial(2)},
          {"lifx.device1.label:", "Old %n \"name\""},
          {DeviceKey(2), Address(2)},
          {"lifx.device2.label:", "Typed"}},
         {{DeviceKey(3), Address(1)},
          {"lifx.device3.serial:", Serial(1)},
          {"lifx.device3.label:", "Lamp 1"},
          {DeviceKey(1), Address(2)},
          {"lifx.device1.label:", "Lamp 2"},
          {"lifx.device2.label:", ""},
          {DeviceKey(2), ""}},
         {"1 ...found bulb" + Found(1) + At(1) + ": saved as device #3.",
          "1 ...found bulb" + Moved(2, 1, Address(1)),
          "1 ...device #2 at " + std::string(Address(2)) + " emptied: that light is device #1.",
          "1 ...found 2 lights, 1 new."}},
        // Device #1's light, unheard, has left its address to light 1.
        {{1},
         {{DeviceKey(1), Address(1)}, {"lifx.device1.serial:", Serial(5)}},
         {{DeviceKey(2), Address(1)},
          {"lifx.device2.serial:", Serial(1)},
          {"lifx.device2.label:", "Lamp 1"},
          {"lifx.device1.serial:", ""},
          {DeviceKey(1), ""}},
         {"1 ...found bulb" + Found(1) + At(1) + ": saved as device #2.",
          "1 ...device #1 at " + std::string(Address(1)) + " emptied: that light is device #2.",
          "1 ...found 1 light, 1 new."}},
    };
    for (const Row &row : rows) {
        for (int n = 1; n <= 10; n++)
            Light(n).replyMode = EmulatorRepliesSilent;
        for (int n : row.answering)
            Light(n).replyMode = EmulatorRepliesNormal;
        Start(row.table);
        Discover("@LIFX Discover " + Range());
        std::vector<std::string> lines = LogLines();
        EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()), row.lines);
        EXPECT_EQ(FileNow(), WithLines(before, row.written));
        Stop();
    }
}

TEST_F(DiscoverTest, ADeviceCommandTypedWhileLightsAreBeingSavedIsKept)
{
    OnlyLightsAnswer({1, 4});
    // Light 4 had moved away from device #2's address.
    Start({{DeviceKey(2), "192.168.1.12"}, {"lifx.device2.serial:", Serial(4)}});
    Send("@LIFX Discover " + Range());
    bool typed = false;
    RunToTheEnd([&] {
        // Light 1 is saved; light 4's turn comes with the next tick.
        if (!typed && LogLines().size() == 2) {
            Send("@LIFX Device #2 192.168.1.50");
            typed = true;
        }
    });
    ASSERT_TRUE(typed);
    EXPECT_EQ(LogLines()[3], "1 ...found bulb" + Found(4) + At(4) + ": saved as device #3.");
    EXPECT_STREQ(g_devices[2], "192.168.1.50");
    EXPECT_EQ(FileNow(), WithLines(before, {{DeviceKey(1), Address(1)},
                                            {"lifx.device1.serial:", Serial(1)},
                                            {"lifx.device1.label:", "Lamp 1"},
                                            {DeviceKey(2), "192.168.1.50"},
                                            {"lifx.device2.serial:", ""},
                                            {DeviceKey(3), Address(4)},
                                            {"lifx.device3.serial:", Serial(4)},
                                            {"lifx.device3.label:", "Lamp 4"}}));
}

TEST_F(DiscoverTest, AStripFirstHeardInTheLastRoundIsAskedAgainWhenItsFirstAnswerIsLost)
{
    OnlyLightsAnswer({2});
    Light(1).strip = true;
    Start();
    Send("@LIFX Discover " + Range());
    // Deaf to the first two rounds; then the answer to its first questions
    // is lost.
    // A bulb answers the first round, and nothing after that.
    RunToTheEnd([&] {
        EmulatedLight &light = Light(1);
        bool deaf =
            light.serviceRequests < 2 || (light.serviceRequests == 3 && light.labelRequests == 0);
        light.replyMode = deaf ? EmulatorRepliesSilent : EmulatorRepliesNormal;
        Light(2).replyMode =
            Light(2).serviceRequests ? EmulatorRepliesSilent : EmulatorRepliesNormal;
    });
    EXPECT_EQ(LogLines()[1],
              "1 ...found strip" + Found(1) + " (82 zones)" + At(1) + ": saved as device #9.");
    EXPECT_EQ(Light(1).labelRequests, 2);
    EXPECT_EQ(LogLines()[2], "1 ...found bulb" + At(2) + ": saved as device #1.");
    EXPECT_EQ(LogLines()[3],
              "3 ...the bulb" + At(2) + " did not tell its label; search again to learn it.");
    EXPECT_GT(Light(2).labelRequests, 3) << "asked more often while rounds go missing";
}

// Lossy Wi-Fi: a fifth of the datagrams lost each way, a hundred seeds. A
// search counts when all ten lights are found with their labels and both
// strips as strips.
TEST_F(DiscoverTest, UnderAFifthLostEachWayTenLightsAreAllFoundInNinetyNineSearchesOfAHundred)
{
    Light(1).strip = Light(2).strip = true;
    Start();
    int allFound = 0;
    for (uint32_t seed = 1; seed <= 100; seed++) {
        EmulatorSetLoss(emulator, 20, seed);
        Forget();
        Discover("@LIFX Discover " + Range());
        int labelled = 0, strips = 0;
        for (const std::string &line : LogLines()) {
            labelled += line.find("1 ...found ") == 0 && line.find(" \"Lamp ") != std::string::npos;
            strips += line.find("1 ...found strip \"Lamp ") == 0;
        }
        allFound += labelled == 10 && strips == 2 && LogLines().back().find("1 ...found 10 ") == 0;
    }
    EXPECT_GE(allFound, 99);
    ExpectNothingLeftOpen();
}

TEST_F(DiscoverTest, WhenNoRequestCouldBeSentTheLineSaysWhyInsteadOfTheFirewallAdvice)
{
    Start();
    // The guard refuses, as a machine without a network would.
    platform::RecordRefusedDestinations(true, false);
    Discover("@LIFX Discover 192.168.1.20");
    EXPECT_EQ(LogLines()[1], "3 ...the requests could not be sent: no route to that network "
                             "(error " +
                                 std::to_string(ENETUNREACH) + ").");
    // The system refuses a broadcast address given as one light's.
    Forget();
    Discover("@LIFX Discover 127.255.255.255");
    EXPECT_EQ(LogLines()[1], "3 ...the requests could not be sent to 127.255.255.255, a broadcast "
                             "address. A search by broadcast is \"Discover\" with no address.");
}

} // namespace

namespace
{

// What each kind of device becomes: a bulb and a strip as ever, an older
// strip in the last strip slot, a Ceiling in a bulb slot once both strip
// slots are taken, a Switch in none.
TEST_F(DiscoverTest, EachKindOfDeviceTakesItsSlotAndASwitchNone)
{
    OnlyLightsAnswer({1, 2, 3, 4, 5});
    Light(2).strip = true;
    Light(2).stripZones = 16;
    Light(3).kind.kind = EmulatorKindOlderStrip;
    Light(3).strip = true;
    Light(3).stripZones = 16;
    Light(4).kind.kind = EmulatorKindMatrix;
    Light(4).kind.product = 1234; // not listed: its answers tell
    ASSERT_TRUE(EmulatorParseChain("16x8", Light(4).kind));
    Light(5).kind.kind = EmulatorKindSwitch;
    Light(5).kind.product = 4321; // nor this: it refuses to tell a colour
    EmulatorSetLabel(Light(5), "Hall switch");
    Start();
    Discover("@LIFX Discover " + Range());

    const std::string a[] = {"", Address(1), Address(2), Address(3), Address(4), Address(5)};
    EXPECT_EQ(
        LogLines(),
        (std::vector<std::string>{
            "1 Chromalet-LIFX -> Looking for lights at " + Range() + " (14 addresses)...",
            "1 ...found bulb \"Lamp 1\" at " + a[1] + ": saved as device #1.",
            "1 ...found strip \"Lamp 2\" (16 zones) at " + a[2] + ": saved as device #9.",
            "1 ...found older strip \"Lamp 3\" (16 zones) at " + a[3] + ": saved as device #10.",
            "1 ...found matrix light \"Lamp 4\" (1 tile, 16\xD7"
            "8) at " +
                a[4] +
                ": saved as device #2, where it shows one colour; empty device #9 or #10 "
                "and search again to show the scheme across it.",
            "1 ...skipped \"Hall switch\" at " + a[5] + ": a LIFX Switch has no light.",
            "1 ...found 4 lights, 4 new.",
        }));
    EXPECT_EQ(FileNow(), WithLines(before, {{DeviceKey(1), a[1]},
                                            {"lifx.device1.serial:", Serial(1)},
                                            {"lifx.device1.label:", "Lamp 1"},
                                            {DeviceKey(9), a[2]},
                                            {"lifx.device9.serial:", Serial(2)},
                                            {"lifx.device9.zones:", "16"},
                                            {"lifx.device9.label:", "Lamp 2"},
                                            {DeviceKey(10), a[3]},
                                            {"lifx.device10.serial:", Serial(3)},
                                            {"lifx.device10.kind:", "older-strip"},
                                            {"lifx.device10.zones:", "16"},
                                            {"lifx.device10.label:", "Lamp 3"},
                                            {DeviceKey(2), a[4]},
                                            {"lifx.device2.serial:", Serial(4)},
                                            {"lifx.device2.kind:", "matrix"},
                                            {"lifx.device2.chain:", "16x8"},
                                            {"lifx.device2.label:", "Lamp 4"}}));
    EXPECT_EQ(Light(5).unhandledMessages + Light(5).colourMessages, 0);

    // Read back at the next start: nothing is asked again.
    StartWithContent(FileNow());
    EXPECT_EQ(g_deviceKinds[10], KindOlderStrip);
    EXPECT_EQ(DrivenKind(2), KindBulb);
    EXPECT_EQ(g_deviceChains[2].tiles, 1);
    EXPECT_EQ(g_deviceChains[2].width[0], 16);
    ExpectNothingLeftOpen();
}

// A light that hides what it is behind a product it does not name, and
// tells a chain no light has: a bulb, with one error line.
TEST_F(DiscoverTest, AChainOutOfBoundsIsRefusedAndTheLightIsABulb)
{
    struct Row {
        const char *chain;
        int tileCount; // the answer's count byte
        bool truncated;
        const char *why;
    };
    const Row rows[] = {
        {"8x8", 0, false, "0 tiles"},
        {"8x8,8x8,8x8,8x8,8x8,8x8,8x8,8x8,8x8,8x8,8x8,8x8,8x8,8x8,8x8,8x8", 17, false, "17 tiles"},
        {"8x8,65x8", 2, false, "a tile 65 pixels wide"},
        {"8x0", 1, false, "a tile 0 pixels high"},
        {"64x16", 1, false, "1024 pixels"},
        {"8x8,8x8,8x8,8x8,8x8,8x8,8x8,8x8,8x8,8x8,8x8,8x8,8x8,8x8,8x8,8x8", 16, false,
         "1024 pixels"},
        {"16x8", 1, true, "an answer cut short"},
    };
    for (const Row &row : rows) {
        OnlyLightsAnswer({1});
        Light(1).kind.kind = EmulatorKindMatrix;
        ASSERT_TRUE(EmulatorParseChain(row.chain, Light(1).kind)) << row.chain;
        Light(1).kind.tileCount = row.tileCount;
        Light(1).kind.truncatedChain = row.truncated;
        Start();
        Discover(std::string("@LIFX Discover ") + Address(1));
        EXPECT_EQ(LogLines(), (std::vector<std::string>{
                                  std::string("1 Chromalet-LIFX -> Looking for a light at ") +
                                      Address(1) + "...",
                                  "1 ...found bulb \"Lamp 1\" at " + std::string(Address(1)) +
                                      ": saved as device #1.",
                                  "3 ...the matrix light at " + std::string(Address(1)) +
                                      " told a chain no light has (" + row.why +
                                      "): it is driven as a bulb, showing one colour.",
                                  "1 ...found 1 light, 1 new.",
                              }))
            << row.why;
        EXPECT_EQ(g_deviceChains[1].tiles, 0) << row.why;
        EXPECT_EQ(FileNow().find("chain"), std::string::npos) << row.why;
        Stop();
    }
}

// A 120-zone strip saved in slot 4 by a search that never heard what it is:
// the next search that hears moves it into a free strip slot; with none
// free, it says what to do.
TEST_F(DiscoverTest, AStripFoundInABulbSlotMovesToAFreeStripSlotOrSaysWhatToDo)
{
    for (bool free : {true, false}) {
        OnlyLightsAnswer({4});
        Light(4).strip = true;
        Light(4).stripZones = 120;
        std::vector<SettingLine> lines = {{DeviceKey(4), Address(4)},
                                          {"lifx.device4.serial:", Serial(4)},
                                          {"lifx.device4.label:", "Lamp 4"}};
        if (!free)
            lines.insert(lines.end(),
                         {{DeviceKey(9), "192.168.1.39"}, {DeviceKey(10), "192.168.1.40"}});
        Start(lines);
        Discover(std::string("@LIFX Discover ") + Address(4));
        const std::string found =
            "1 ...found strip \"Lamp 4\" (120 zones) at " + std::string(Address(4));
        EXPECT_EQ(LogLines()[1],
                  free ? found + ": moved from device #4 to device #9, a strip's slot."
                       : found + ": already device #4, where it shows one colour; empty device "
                                 "#9 or #10 and search again to show the scheme across it.");
        EXPECT_STREQ(g_devices[free ? 9 : 4], Address(4));
        EXPECT_STREQ(g_devices[4], free ? "" : Address(4));
        EXPECT_EQ(g_deviceZones[9], free ? 120 : 0);
        EXPECT_EQ(g_deviceKinds[4], free ? KindNotKnown : KindStrip);
        if (free) {
            EXPECT_EQ(FileNow(), WithLines(before, {{"lifx.device4.serial:", ""},
                                                    {"lifx.device4.label:", ""},
                                                    {DeviceKey(4), ""},
                                                    {DeviceKey(9), Address(4)},
                                                    {"lifx.device9.serial:", Serial(4)},
                                                    {"lifx.device9.label:", "Lamp 4"},
                                                    {"lifx.device9.zones:", "120"}}));
        }
        Stop();
    }
}

} // namespace
