// A strip put into its slot by hand is asked its length once, without the
// shell's thread waiting for the answer, and the answer is saved.
#include <string>
#include <vector>

#include "commands/timers.h"
#include "lifx/light_socket.h"
#include "lifx/messages.h"
#include "lifx/zone_query.h"
#include "plugin/plugin.h"
#include "settings/settings.h"
#include "tests/commands/commands_fixture.h"

namespace
{

class ZoneQueryTest : public CommandTest
{
  protected:
    void SetUp() override
    {
        CommandTest::SetUp();
        Light(9).strip = Light(10).strip = true;
        Light(9).stripZones = 16;
    }
    // The plug-in's timer and the lights answering in turn, for longer than
    // any asking lasts (bounded).
    void RunTimer()
    {
        for (int i = 0; i < 200; i++) {
            EmulatorPoll(emulator, 0);
            platform::AdvanceClock(kAnswersTickMs);
        }
        Drain();
    }
    // The colours counts of the zone messages light n received, in order.
    std::vector<int> ZoneCounts(int n)
    {
        std::vector<int> counts;
        for (const ReceivedDatagram &d : Light(n).received) {
            if (d.type == kTypeSetExtendedColorZones)
                counts.push_back(d.bytes[43]);
        }
        return counts;
    }
    bool FileHas(const std::string &line)
    {
        return FileNow().find("\r\n" + line + "\r\n") != std::string::npos;
    }
    void ExpectNothingLeftOpen()
    {
        platform::NetStats net = platform::GetNetStats();
        EXPECT_EQ(net.socketsCreated, net.socketsClosed);
        EXPECT_EQ(platform::WsaStartupsOutstanding(), 0);
        EXPECT_FALSE(platform::TimerRunning(g_pluginWindow, AnswersTimer));
    }
};

TEST_F(ZoneQueryTest, AStripSetByHandIsAskedOnceAndShowsTheSchemeOverItsOwnZones)
{
    Start(LightLines({9}));
    Send("@LIFX Scheme Fire");

    // The command returned before any answer: the strip got 82 zones.
    EXPECT_EQ(ZoneCounts(9), std::vector<int>{82});
    EXPECT_EQ(g_deviceZones[9], 0);
    RunTimer();
    EXPECT_EQ(Light(9).zonesRequests, 1);
    EXPECT_TRUE(FileHas("lifx.device9.zones: 16"));
    EXPECT_EQ(ZoneCounts(9), (std::vector<int>{82, 16})) << "shown over its own zones at once";
    ExpectNothingLeftOpen();

    // Known now: not asked again.
    Send("@LIFX Scheme Ocean");
    RunTimer();
    EXPECT_EQ(Light(9).zonesRequests, 1);
    EXPECT_EQ(ZoneCounts(9), (std::vector<int>{82, 16, 16}));
}

TEST_F(ZoneQueryTest, AMatrixLightSetByHandIsAskedItsChainOnce)
{
    Light(10).kind.kind = EmulatorKindMatrix;
    ASSERT_TRUE(EmulatorParseChain("8x8,8x8", Light(10).kind));
    Start();
    Send(std::string("@LIFX Device #10 ") + Address(10));
    for (const char *scheme : {"Fire", "Ocean"}) {
        Send(std::string("@LIFX Scheme ") + scheme);
        RunTimer();
        EXPECT_EQ(Light(10).kindRequests, 1) << scheme;
        EXPECT_EQ(DrivenKind(10), KindMatrix) << scheme;
        EXPECT_TRUE(FileHas("lifx.device10.kind: matrix")) << scheme;
        EXPECT_TRUE(FileHas("lifx.device10.chain: 8x8,8x8")) << scheme;
    }
}

TEST_F(ZoneQueryTest, ACountLearnedAfterAColourWasTypedIsSavedButLeavesTheColourShowing)
{
    Start(LightLines({9}));
    Send("@LIFX Scheme Fire");
    Send("@LIFX RGB 9 #00ff00");
    RunTimer();
    EXPECT_TRUE(FileHas("lifx.device9.zones: 16"));
    EXPECT_EQ(ZoneCounts(9), std::vector<int>{82}) << "not drawn again";
    EXPECT_EQ(Light(9).received.back().type, kTypeSetColor);
}

TEST_F(ZoneQueryTest, AStripThatNeverAnswersStays82ZonesAndIsAskedAgainOnlyAfterDeviceOrARestart)
{
    // It confirms the colours it is sent, but no answer to the question is
    // one the plug-in can read.
    Light(10).replyMode = EmulatorRepliesMalformed;
    Start(LightLines({10}));
    Send("@LIFX Scheme Fire");
    RunTimer();
    int asked = Light(10).zonesRequests;
    EXPECT_GE(asked, 1);
    EXPECT_LE(asked, 3) << "a lost question is repeated, a few times only";
    EXPECT_EQ(CountKeyLines(FileNow(), "lifx.device10.zones:"), 0);
    ExpectNothingLeftOpen();

    Send("@LIFX Scheme Woods");
    RunTimer();
    EXPECT_EQ(Light(10).zonesRequests, asked) << "given up on until a restart or Device";
    EXPECT_EQ(ZoneCounts(10), (std::vector<int>{82, 82}));

    Send("@LIFX Device #10 " + std::string(Address(10)));
    Send("@LIFX Scheme Fire");
    RunTimer();
    EXPECT_EQ(Light(10).zonesRequests, 2 * asked) << "after Device";

    StartWithContent(FileNow()); // forgets what the lights received
    Send("@LIFX Scheme Ocean");
    RunTimer();
    EXPECT_EQ(Light(10).zonesRequests, asked) << "after a restart";
    ExpectNothingLeftOpen();
}

TEST_F(ZoneQueryTest, DeviceGivingAStripSlotAnotherAddressForgetsItsCount)
{
    Start({{DeviceKey(9), "127.0.0.250"}, {"lifx.device9.zones:", "120"}});
    Send("@LIFX Device #9 " + std::string(Address(9)));
    EXPECT_TRUE(FileHas("lifx.device9.zones: "));
    EXPECT_EQ(g_deviceZones[9], 0);
    Send("@LIFX Scheme Fire");
    RunTimer();
    EXPECT_TRUE(FileHas("lifx.device9.zones: 16"));
    EXPECT_EQ(ZoneCounts(9), (std::vector<int>{82, 16}));
}

TEST_F(ZoneQueryTest, AnAnswerFromTheSlotsOldAddressIsNotSavedForTheLightNowThere)
{
    Light(10).replyMode = EmulatorRepliesSilent;
    Start({{DeviceKey(10), Address(9)}});
    Send("@LIFX Device #10 " + std::string(Address(10)));
    Send("@LIFX Scheme Fire");
    platform::AdvanceClock(kAnswersTickMs); // light 10 asked
    // Light 9, the slot's light before, answers as to the plug-in's question.
    uint8_t question[kRequestSize];
    EncodeGetExtendedColorZonesAny(question, 0x4C46585Au, 1); // the questions' source, "LFXZ"
    EmulatorReplies replies;
    EmulatorHandleDatagram(Light(9), question, sizeof question, "127.0.0.1", 1, 0, replies);
    sockaddr_in plugin = {};
    socklen_t size = sizeof plugin;
    getsockname(AcquireLightSocket(), (sockaddr *)&plugin, &size);
    plugin.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sendto(emulator.sockets[8], replies.replies[0].bytes, replies.replies[0].length, 0,
           (sockaddr *)&plugin, size);
    RunTimer();
    EXPECT_EQ(g_deviceZones[10], 0);
}

TEST_F(ZoneQueryTest, EndPluginWhileAskingLeavesNoSocketTimerOrStartUpBehind)
{
    Light(9).replyMode = EmulatorRepliesSilent;
    Start(LightLines({9}));
    Send("@LIFX Scheme Fire");
    EXPECT_TRUE(ZoneQueryRunning());
    Stop();
    EXPECT_FALSE(ZoneQueryRunning());
    platform::NetStats net = platform::GetNetStats();
    EXPECT_EQ(net.socketsCreated, net.socketsClosed);
    EXPECT_EQ(platform::WsaStartupsOutstanding(), 0);
    EXPECT_EQ(platform::RunningTimers(), 0);
}

} // namespace
