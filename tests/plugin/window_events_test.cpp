#include <string>
#include <vector>

#include "host/vesk.h"
#include "lifx/messages.h"
#include "palette/palette.h"
#include "plugin/plugin.h"
#include "settings/settings.h"
#include "tests/plugin/plugin_test_support.h"

namespace
{

const char kLights[] = "lifx.device1: {1}\r\nlifx.device2: {2}\r\nlifx.device9: {9}\r\n";

class WindowEventsTest : public StartedPluginTest
{
  protected:
    void StartWith(const std::string &more)
    {
        Start(std::string(kLights) + more);
        ResetLights();
    }
};

TEST_F(WindowEventsTest, SuspendWithAutoPowerSwitchesOffAndResumeRestoresFiveSecondsLater)
{
    StartWith("lifx.color.scheme: Fire\r\nlifx.cycle.colors: true\r\nlifx.cycle.interval: 2\r\n"
              "lifx.move.effect: true\r\nlifx.auto.power: true\r\n");
    ASSERT_TRUE(CycleTimerRunning());

    EXPECT_EQ(Send(WM_POWERBROADCAST, PBT_APMSUSPEND), TRUE);
    Drain();
    EXPECT_FALSE(CycleTimerRunning());
    EXPECT_EQ(Light(1).powerLevel, 0);
    EXPECT_EQ(Light(9).powerLevel, 0);
    EXPECT_FALSE(Light(9).moveOn);
    EXPECT_EQ(Types(1), std::vector<int>{kTypeSetLightPower});

    ResetLights();
    g_palette.offset = 5;
    EXPECT_EQ(Send(WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC), TRUE);
    UINT period = 0;
    EXPECT_TRUE(PowerOnTimerRunning(&period));
    EXPECT_EQ(period, 5000u);
    platform::AdvanceClock(4999);
    EXPECT_EQ(TotalDatagrams(), 0) << "nothing before the five seconds are up";

    platform::AdvanceClock(1);
    Drain();
    EXPECT_FALSE(PowerOnTimerRunning());
    EXPECT_EQ(g_palette.offset, 1) << "the palette was refreshed";
    EXPECT_EQ(Types(1), (std::vector<int>{kTypeSetLightPower, kTypeSetColor}));
    EXPECT_EQ(Light(1).powerLevel, 65535);
    EXPECT_TRUE(Light(9).moveOn);
    EXPECT_TRUE(CycleTimerRunning(&period));
    EXPECT_EQ(period, 2000u);
}

TEST_F(WindowEventsTest, WithoutAutoPowerSuspendAndResumeChangeNothing)
{
    StartWith("lifx.color.scheme: Fire\r\nlifx.auto.power: false\r\n");
    HandleCommandText("@LIFX Toggle Cycle Colors");
    ASSERT_TRUE(CycleTimerRunning());

    EXPECT_EQ(Send(WM_POWERBROADCAST, PBT_APMSUSPEND), TRUE);
    EXPECT_EQ(Send(WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC), TRUE);
    EXPECT_EQ(Send(WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK), 0);
    EXPECT_EQ(Send(WM_POWERBROADCAST, 7), TRUE);
    EXPECT_TRUE(CycleTimerRunning());
    EXPECT_FALSE(PowerOnTimerRunning());
    EXPECT_EQ(TotalDatagrams(), 0);
}

TEST_F(WindowEventsTest, ManualSchemeResumePowersOnWithoutColours)
{
    StartWith("lifx.color.scheme: Manual\r\nlifx.auto.power: true\r\n");
    Send(WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC);
    platform::AdvanceClock(5000);
    Drain();
    for (int n : {1, 2, 9}) {
        EXPECT_EQ(Types(n), std::vector<int>{kTypeSetLightPower}) << "light " << n;
        EXPECT_EQ(Light(n).powerLevel, 65535);
    }
}

TEST_F(WindowEventsTest, UnlockPowersOnAfterOneSecondAndLockDoesNothing)
{
    StartWith("lifx.color.scheme: Ocean\r\nlifx.auto.power: true\r\n");
    EXPECT_EQ(Send(WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK), 0);
    EXPECT_FALSE(PowerOnTimerRunning());

    EXPECT_EQ(Send(WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK), 0);
    UINT period = 0;
    EXPECT_TRUE(PowerOnTimerRunning(&period));
    EXPECT_EQ(period, 1000u);
    platform::AdvanceClock(1000);
    Drain();
    EXPECT_EQ(Types(2), (std::vector<int>{kTypeSetLightPower, kTypeSetColor}));
    EXPECT_FALSE(PowerOnTimerRunning());
}

TEST_F(WindowEventsTest, UnlockSoonAfterResumeGivesOnePowerOnStepAfterTheUnlock)
{
    StartWith("lifx.color.scheme: Woods\r\nlifx.auto.power: true\r\n");
    Send(WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC);
    platform::AdvanceClock(3000);
    Send(WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK);
    platform::AdvanceClock(999);
    EXPECT_EQ(TotalDatagrams(), 0);
    platform::AdvanceClock(1);
    Drain();
    EXPECT_EQ(Light(1).colourMessages, 1);
    platform::AdvanceClock(10000);
    // One step only: power and colour to each bulb, power and zones to the
    // strip, and the move effect (off) to the strip.
    EXPECT_EQ(TotalDatagrams(), 7);
}

TEST_F(WindowEventsTest, ClearingAutoPowerBeforeThePowerOnTickOnlyStopsTheTimer)
{
    StartWith("lifx.color.scheme: Fire\r\nlifx.auto.power: true\r\n");
    Send(WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC);
    HandleCommandText("@LIFX Toggle Auto Power");
    platform::AdvanceClock(6000);
    EXPECT_FALSE(PowerOnTimerRunning());
    EXPECT_EQ(TotalDatagrams(), 0);
}

TEST_F(WindowEventsTest, CycleStepsRunOneToEightAndRound)
{
    StartWith("lifx.color.scheme: Fire\r\nlifx.cycle.colors: true\r\nlifx.cycle.interval: 1\r\n"
              "lifx.auto.power: true\r\n");
    std::vector<int> offsets;
    for (int tick = 0; tick < 10; tick++) {
        platform::AdvanceClock(1000);
        offsets.push_back(g_palette.offset);
    }
    EXPECT_EQ(offsets, (std::vector<int>{2, 3, 4, 5, 6, 7, 8, 1, 2, 3}));
    Drain();
    EXPECT_EQ(Light(1).colourMessages, 10);
    EXPECT_EQ(Light(9).zonesMessages, 10);
    EXPECT_EQ(Light(1).colourDuration, 800u);
}

TEST_F(WindowEventsTest, CycleTicksUnderManualOrWithCyclingOffSendNothing)
{
    StartWith("lifx.color.scheme: Fire\r\nlifx.cycle.colors: true\r\nlifx.cycle.interval: 1\r\n"
              "lifx.auto.power: true\r\n");
    g_settings.scheme = SchemeManual;
    platform::AdvanceClock(3000);
    EXPECT_EQ(TotalDatagrams(), 0);
    EXPECT_EQ(g_palette.offset, 1);
    EXPECT_TRUE(CycleTimerRunning()) << "the timer keeps running";

    g_settings.scheme = SchemeFire;
    g_settings.cycleColours = false;
    platform::AdvanceClock(3000);
    EXPECT_EQ(TotalDatagrams(), 0);
}

TEST_F(WindowEventsTest, OnlyFourTrayEventsOpenTheMenu)
{
    StartWith("lifx.debug: false\r\n");
    const struct {
        LPARAM event;
        bool opens;
    } cases[] = {
        {WM_RBUTTONUP, true},      {WM_LBUTTONDOWN, true}, {NIN_SELECT, true},
        {NIN_KEYSELECT, true},     {0x00070205, true},     {WM_MOUSEMOVE, false},
        {WM_LBUTTONDBLCLK, false}, {0x0202, false},        {0x007B, false},
        {0x00010200, false},
    };
    for (const auto &c : cases) {
        size_t before = testhost::ShownMenus().size();
        EXPECT_EQ(Send(WM_USER, 0, c.event), 0);
        EXPECT_EQ(testhost::ShownMenus().size() - before, c.opens ? 1u : 0u) << std::hex << c.event;
    }
    EXPECT_EQ(testhost::LiveMenus(), 1);
}

TEST_F(WindowEventsTest, StyleChangeRereadsTheStyleOnlyUnderTheStyleScheme)
{
    std::string style = Folder() + "style.rc";
    WriteFileBytes(style, "hardware.appearance: Flat Solid\nhardware.color: #00ff00\n");
    testhost::SetStylePath(style.c_str());
    StartWith("lifx.color.scheme: User1\r\nlifx.move.effect: true\r\nlifx.auto.power: true\r\n"
              "lifx.cycle.colors: true\r\n");
    EXPECT_EQ(Send(HostMsgStyleChange), 0);
    EXPECT_EQ(Send(HostMsgReconfigure), 0);
    EXPECT_EQ(TotalDatagrams(), 0) << "user schemes ignore the style";

    HandleCommandText("@LIFX Scheme Style");
    ResetLights();
    WriteFileBytes(style, "hardware.appearance: Flat Solid\nhardware.color: #0000ff\n");
    platform::AdvanceClock(4000);
    EXPECT_EQ(Send(HostMsgStyleChange), 0);
    Drain();
    EXPECT_EQ(g_palette.entries[1], 0xFF0000u);
    EXPECT_EQ(g_palette.offset, 1);
    EXPECT_EQ(Light(1).colourMessages, 1);
    EXPECT_EQ(Light(9).effectMessages, 0) << "the move effect is left alone";
    UINT period = 0;
    EXPECT_TRUE(CycleTimerRunning(&period));
    EXPECT_EQ(period, 10000u);
}

TEST_F(WindowEventsTest, CloseKeepsTheWindow)
{
    StartWith("lifx.debug: false\r\n");
    EXPECT_EQ(Send(WM_CLOSE), 0);
    EXPECT_TRUE(platform::WindowExists(g_pluginWindow));
}

TEST_F(WindowEventsTest, TaskbarCreatedAddsTheIconAgainWithoutTheVersionRequest)
{
    StartWith("lifx.debug: true\r\n");
    size_t before = platform::TrayCalls().size();
    EXPECT_EQ(Send(RegisterWindowMessageA("TaskbarCreated")), 0);
    ASSERT_EQ(platform::TrayCalls().size(), before + 1);
    EXPECT_EQ(platform::TrayCalls().back().message, (DWORD)NIM_ADD);
    EXPECT_EQ(platform::TrayCalls().back().data.hWnd, g_pluginWindow);
    EXPECT_EQ(LogLines().back(), "0 Chromalet-LIFX -> System \"TaskbarCreated\" message received "
                                 "-> Recreating the system tray icon.");
}

TEST_F(WindowEventsTest, DebugLinesForPowerEventsAndNoneWithDebugOff)
{
    StartWith("lifx.color.scheme: Manual\r\nlifx.auto.power: true\r\nlifx.debug: true\r\n");
    Send(WM_POWERBROADCAST, PBT_APMSUSPEND);
    Send(WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC);
    std::vector<std::string> expected = {
        "0 Chromalet-LIFX -> Suspending to low power state; turning off the lights.",
        "0 Chromalet-LIFX -> Resuming from low power state; turning on the lights.",
    };
    EXPECT_EQ(LogLines(), expected);

    Stop();
    testhost::ClearRecords();
    Start(std::string(kLights) + "lifx.color.scheme: Fire\r\nlifx.auto.power: true\r\n"
                                 "lifx.cycle.colors: true\r\nlifx.debug: false\r\n");
    g_settings.debug = false;
    Send(WM_POWERBROADCAST, PBT_APMSUSPEND);
    Send(WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC);
    Pass(20000);
    Send(RegisterWindowMessageA("TaskbarCreated"));
    Send(HostMsgStyleChange);
    EXPECT_TRUE(LogLines().empty());
}

TEST_F(WindowEventsTest, UnknownMessagesAndTimersAreHarmless)
{
    StartWith("lifx.color.scheme: Fire\r\nlifx.auto.power: true\r\n");
    EXPECT_EQ(Send(WM_TIMER, 99), 0);
    EXPECT_EQ(Send(0x0401), 0);
    EXPECT_EQ(Send(HostMsgCommand, 0, 0), 0) << "a command without text";
    EXPECT_EQ(TotalDatagrams(), 0);
}

} // namespace
