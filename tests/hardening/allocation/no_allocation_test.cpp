// Once beginPlugin has returned, nothing the plug-in does allocates: not a
// command of any verb, a cycle tick, a suspend and resume, a style change, a
// tray click, a failing light or endPlugin. What the stand-in host and
// platform allocate for themselves while the plug-in calls them is theirs,
// and is not counted.
#include <stdlib.h>

#include <string>
#include <vector>

#include "host/vesk.h"
#include "plugin/plugin.h"
#include "settings/settings.h"
#include "tests/hardening/allocation/counting_allocator.h"
#include "tests/support/lights_fixture.h"

namespace
{

// Escapes the optimiser, which may drop an allocation nobody looks at.
void *volatile g_escape;

class NoAllocationTest : public LightsTest
{
  protected:
    void TearDown() override
    {
        if (g_pluginWindow)
            endPlugin(nullptr);
        LightsTest::TearDown();
    }

    // Starts the plug-in on the given settings lines, with every light in
    // its slot, the debug log on, and a style whose first usable item is
    // "toolbar".
    void Start(const std::string &lines)
    {
        std::string text;
        for (int n = 1; n <= 10; n++)
            text += "lifx.device" + std::to_string(n) + ": " + Address(n) + "\r\n";
        text += "lifx.debug: true\r\n" + lines;
        text += "user1.color1: #ff0000\r\nuser1.color2: #00ff00\r\n";
        WriteSettings(text);
        WriteFileBytes(Folder() + "style.rc", "toolbar.appearance: Raised Gradient\r\n"
                                              "toolbar.color: #203040\r\n"
                                              "toolbar.colorTo: #a0b0c0\r\n");
        testhost::SetStylePath((Folder() + "style.rc").c_str());
        ASSERT_EQ(beginPlugin(nullptr), 0);
        Settle();
    }

    // Reads what reached the lights and forgets what the host recorded, so
    // neither grows without end; neither is the plug-in's doing.
    void Settle()
    {
        ResetLights();
        testhost::ClearRecords();
    }

    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        return SendMessageA(g_pluginWindow, message, wParam, lParam);
    }

    // Runs each command as the host delivers it; every one that allocated
    // is named in the failure.
    void ExpectCommandsAllocateNothing(const std::vector<std::string> &commands)
    {
        for (const std::string &command : commands) {
            allocations::Arm();
            Send(HostMsgCommand, 0, (LPARAM)command.c_str());
            long count = allocations::Disarm();
            EXPECT_EQ(count, 0) << "\"" << command.substr(0, 60) << "\"\n" << allocations::Sites();
            Settle();
        }
    }
};

TEST_F(NoAllocationTest, TheCounterSeesTheTestsOwnAllocationsButNotTheHosts)
{
    allocations::Arm();
    g_escape = new int(1);
    delete (int *)g_escape;
    g_escape = malloc(16);
    free(g_escape);
    EXPECT_EQ(allocations::Disarm(), 2);

    WriteSettings("lifx.color.scheme: Fire\r\n");
    std::string path = SettingsPath();
    allocations::Arm();
    g_escape = (void *)ReadString(path.c_str(), "lifx.color.scheme:", "");
    WriteString(path.c_str(), "lifx.color.scheme:", "Ocean");
    SendMessageA(GetVeskWnd(), HostMsgLog, 0, (LPARAM) "a line the host keeps");
    EXPECT_EQ(allocations::Disarm(), 0) << allocations::Sites();
}

TEST_F(NoAllocationTest, CommandsOfEveryVerbAllocateNothing)
{
    Start("lifx.color.scheme: Fire\r\nlifx.auto.power: true\r\nlifx.move.effect: true\r\n");
    std::vector<std::string> commands = {
        "@LIFX Show Menu",
        "@Chromalet-LIFX Show Menu",
        "@LIFX Device #3",
        "@LIFX Device #3 " + std::string(Address(3)),
        "@LIFX Device #11 192.168.1.20",
        "@LIFX Device #3 999.1.1.1",
        "@LIFX Device #3 " + std::string(200, '1'),
    };
    for (const char *scheme : {"Style", "Fire", "Ocean", "Woods", "Spooky", "Manual", "Warm",
                               "Cold", "User1", "User2", "User3", "Rainbow", "fire"})
        commands.push_back(std::string("@LIFX Scheme ") + scheme);
    for (const char *more : {
             "@LIFX Scheme Manual",
             "@LIFX RGB 2 #ff8000",
             "@LIFX RGB 9 #000000",
             "@LIFX RGB 11 #ffffff",
             "@LIFX White 3 50 4000",
             "@LIFX White 9 50 4000",
             "@LIFX Calibration R 50",
             "@LIFX Calibration G 150",
             "@LIFX Calibration B -5",
             "@LIFX Calibration red 5",
             "@LIFX Scheme Fire",
             "@LIFX Toggle Cycle Colors",
             "@LIFX Toggle Cycle Colors",
             "@LIFX Toggle Move Effect",
             "@LIFX Toggle Move Effect",
             "@LIFX Toggle Move Direction",
             "@LIFX Toggle Auto Power",
             "@LIFX Toggle Auto Power",
             "@LIFX Toggle Cycle",
             "@LIFX Cycle Interval 3",
             "@LIFX Cycle Interval",
             "@LIFX Movement Speed 20",
             "@LIFX Power Off",
             "@LIFX Power On",
             "@LIFX Edit Devices",
             "@LIFX Documentation",
             "@LIFX Protocol",
             "@LIFX About",
             "@LIFX Unknown verb",
             "not for this plug-in",
             "@LIFX %n%s%n%s",
             "@LIFX \"Scheme Fire",
         })
        commands.push_back(more);
    commands.push_back("@LIFX Scheme " + std::string(5000, 'x'));
    ExpectCommandsAllocateNothing(commands);

    testhost::SetVersion("Other shell 2.0");
    ExpectCommandsAllocateNothing({"@LIFX About", "@LIFX Scheme Style"});
}

TEST_F(NoAllocationTest, CycleTicksAllocateNothing)
{
    Start("lifx.color.scheme: Fire\r\nlifx.auto.power: true\r\nlifx.cycle.colors: true\r\n"
          "lifx.cycle.interval: 1\r\n");
    allocations::Arm();
    platform::AdvanceClock(20000);
    EXPECT_EQ(allocations::Disarm(), 0) << allocations::Sites();
    EXPECT_GE(Drain(), 20 * 20) << "every tick reached the lights";
}

TEST_F(NoAllocationTest, FindingLightsAllocatesNothing)
{
    Start("lifx.color.scheme: Fire\r\nlifx.auto.power: true\r\n");
    // Every light found is new, and is saved.
    for (int n = 1; n <= 10; n++)
        Send(HostMsgCommand, 0, (LPARAM)("@LIFX Device #" + std::to_string(n)).c_str());
    Light(9).strip = true;
    std::string range = Address(1);
    std::string command = "@LIFX Discover " + range.substr(0, range.rfind('.')) + ".0/28";
    Settle();
    long count = 0;
    allocations::Arm();
    Send(HostMsgCommand, 0, (LPARAM)command.c_str());
    count += allocations::Disarm();
    // The lights answer between the ticks: their allocations are not counted.
    for (int i = 0; i < 400 && platform::TimerRunning(g_pluginWindow, AnswersTimer); i++) {
        EmulatorPoll(emulator, 0);
        allocations::Arm();
        platform::AdvanceClock(kAnswersTickMs);
        count += allocations::Disarm();
    }
    EXPECT_EQ(count, 0) << allocations::Sites();
    EXPECT_STREQ(g_devices[9], Address(9)) << "the lights were found";
}

TEST_F(NoAllocationTest, ResendsAcknowledgementsAndALightThatNeverAnswersAllocateNothing)
{
    // Two strips of 1000 zones: thirteen spans each, and their shows.
    Light(9).stripZones = Light(10).stripZones = 1000;
    Start("lifx.color.scheme: Fire\r\nlifx.auto.power: true\r\nlifx.move.effect: true\r\n"
          "lifx.device9.zones: 1000\r\nlifx.device10.zones: 1000\r\n");
    Settle();
    EmulatorSetLoss(emulator, 30, 7);
    Light(2).off = true;
    long count = 0;
    allocations::Arm();
    Send(HostMsgCommand, 0, (LPARAM) "@LIFX Scheme Ocean");
    count += allocations::Disarm();
    // The lights answer between the ticks: their allocations are not counted.
    for (int i = 0; i < 2000 && platform::TimerRunning(g_pluginWindow, AnswersTimer); i++) {
        EmulatorPoll(emulator, 0);
        allocations::Arm();
        platform::AdvanceClock(kAnswersTickMs);
        count += allocations::Disarm();
    }
    EXPECT_EQ(count, 0) << allocations::Sites();
    EXPECT_FALSE(platform::TimerRunning(g_pluginWindow, AnswersTimer)) << "every wait ended";
    EXPECT_GT(Light(2).lostDatagrams, 2) << "the silent light was tried again";
    EXPECT_GE(Light(10).zonesMessages, 13) << "every span of a 1000-zone strip";
}

TEST_F(NoAllocationTest, SuspendResumeLockAndUnlockAllocateNothing)
{
    Start("lifx.color.scheme: Ocean\r\nlifx.auto.power: true\r\nlifx.cycle.colors: true\r\n"
          "lifx.move.effect: true\r\n");
    allocations::Arm();
    Send(WM_POWERBROADCAST, PBT_APMSUSPEND);
    Send(WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC);
    platform::AdvanceClock(6000);
    Send(WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK);
    Send(WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK);
    platform::AdvanceClock(2000);
    EXPECT_EQ(allocations::Disarm(), 0) << allocations::Sites();
    EXPECT_GT(Drain(), 0);
}

TEST_F(NoAllocationTest, StyleChangesAndUserSchemesAllocateNothing)
{
    Start("lifx.color.scheme: Style\r\nlifx.auto.power: true\r\n");
    allocations::Arm();
    Send(HostMsgStyleChange);
    Send(HostMsgReconfigure);
    EXPECT_EQ(allocations::Disarm(), 0) << allocations::Sites();
    EXPECT_GT(Drain(), 0);

    std::string user1 = "@LIFX Scheme User1";
    allocations::Arm();
    Send(HostMsgCommand, 0, (LPARAM)user1.c_str());
    Send(HostMsgStyleChange);
    EXPECT_EQ(allocations::Disarm(), 0) << allocations::Sites();
}

TEST_F(NoAllocationTest, TrayClicksAndTheTaskbarComingBackAllocateNothing)
{
    Start("lifx.color.scheme: Woods\r\n");
    allocations::Arm();
    Send(WM_USER, 0, WM_RBUTTONUP);
    Send(WM_USER, 0, WM_LBUTTONDOWN);
    Send(WM_USER, 0, NIN_SELECT);
    Send(WM_USER, 0, WM_MOUSEMOVE);
    Send(g_taskbarCreatedMessage);
    EXPECT_EQ(allocations::Disarm(), 0) << allocations::Sites();
    EXPECT_EQ(testhost::ShownMenus().size(), 3u);
}

TEST_F(NoAllocationTest, FailingLightsAllocateNothing)
{
    Start("lifx.color.scheme: Fire\r\nlifx.auto.power: true\r\n");
    std::string fire = "@LIFX Scheme Fire", warm = "@LIFX Scheme Warm", off = "@LIFX Power Off";
    platform::InjectNetFault(platform::NetFaultConnect, Address(1), 3);
    platform::InjectNetFault(platform::NetFaultSend, Address(9), 3);
    allocations::Arm();
    Send(HostMsgCommand, 0, (LPARAM)fire.c_str());
    Send(HostMsgCommand, 0, (LPARAM)warm.c_str());
    Send(HostMsgCommand, 0, (LPARAM)off.c_str());
    EXPECT_EQ(allocations::Disarm(), 0) << allocations::Sites();
    EXPECT_GT(testhost::Logs().size(), 0u);

    Settle();
    platform::InjectNetFault(platform::NetFaultSocket, nullptr, 2);
    platform::InjectFault(platform::FaultWsaStartup, 2);
    allocations::Arm();
    Send(HostMsgCommand, 0, (LPARAM)fire.c_str());
    Send(HostMsgCommand, 0, (LPARAM)fire.c_str());
    EXPECT_EQ(allocations::Disarm(), 0) << allocations::Sites();
}

TEST_F(NoAllocationTest, EndPluginAllocatesNothing)
{
    Start("lifx.color.scheme: Spooky\r\nlifx.auto.power: true\r\nlifx.move.effect: true\r\n");
    allocations::Arm();
    int result = endPlugin(nullptr);
    EXPECT_EQ(allocations::Disarm(), 0) << allocations::Sites();
    EXPECT_NE(result, 0);
}

} // namespace
