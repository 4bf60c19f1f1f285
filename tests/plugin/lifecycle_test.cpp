#include <string.h>

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

const char kAllLights[] = "lifx.device1: {1}\r\nlifx.device2: {2}\r\nlifx.device9: {9}\r\n"
                          "lifx.device10: {10}\r\n";

class LifecycleTest : public StartedPluginTest
{
};

TEST_F(LifecycleTest, AutoPowerOffContactsNoLightWhateverTheOtherFlags)
{
    Start(std::string(kAllLights) + "lifx.color.scheme: Fire\r\nlifx.cycle.colors: true\r\n"
                                    "lifx.move.effect: true\r\nlifx.auto.power: false\r\n");
    EXPECT_EQ(TotalDatagrams(), 0);
    EXPECT_EQ(platform::RunningTimers(), 0);
    EXPECT_EQ(platform::GetNetStats().socketsCreated, 0);
}

TEST_F(LifecycleTest, ABroadcastAddressInTheFileLeavesItsSlotEmptyWithOneLine)
{
    platform::SetInterfaces({{"192.168.7.12", 24, true, false}});
    Start("lifx.device2: 192.168.7.255\r\nlifx.device3: 192.168.6.255\r\n");
    EXPECT_STREQ(g_devices[2], "");
    EXPECT_STREQ(g_devices[3], "192.168.6.255");
    EXPECT_EQ(LogLines(),
              std::vector<std::string>{
                  "3 Chromalet-LIFX -> Broadcast address \"192.168.7.255\" for device #2 in "
                  "the settings file: the slot is left empty. A search by broadcast is "
                  "\"Discover\" with no address."});
}

TEST_F(LifecycleTest, AutoPowerOnSendsTheSchemeStartsCyclingAndTheMoveEffect)
{
    Start(std::string(kAllLights) + "lifx.color.scheme: Fire\r\nlifx.cycle.colors: true\r\n"
                                    "lifx.cycle.interval: 4\r\nlifx.move.effect: true\r\n"
                                    "lifx.auto.power: true\r\n");
    Drain();
    EXPECT_EQ(Types(1), (std::vector<int>{kTypeSetLightPower, kTypeSetColor}));
    EXPECT_EQ(Types(9), (std::vector<int>{kTypeSetLightPower, kTypeSetExtendedColorZones,
                                          kTypeSetMultiZoneEffect}));
    EXPECT_TRUE(Light(10).moveOn);
    EXPECT_EQ(g_palette.offset, 1);
    UINT period = 0;
    EXPECT_TRUE(CycleTimerRunning(&period));
    EXPECT_EQ(period, 4000u);
    EXPECT_EQ(Light(1).colourDuration, 3800u);
}

TEST_F(LifecycleTest, WhiteAndManualSchemesNeverStartTheMoveEffect)
{
    for (const char *scheme : {"Manual", "Warm", "Cold"}) {
        SCOPED_TRACE(scheme);
        EmulatorResetLights(emulator);
        Start(std::string(kAllLights) + "lifx.color.scheme: " + scheme +
              "\r\nlifx.move.effect: true\r\nlifx.auto.power: true\r\n");
        Drain();
        EXPECT_EQ(Light(9).effectMessages, 0);
        if (std::string(scheme) != "Manual")
            EXPECT_EQ(Light(9).colourMessages, 1) << "white light reaches the strip too";
        else
            EXPECT_TRUE(Light(1).received.empty());
        EmulatorResetLights(emulator);
        Stop();
        Drain();
        EXPECT_FALSE(Light(9).moveOn);
        EXPECT_EQ(Light(9).effectMessages, 1) << "exit always stops the effect";
    }
}

TEST_F(LifecycleTest, StartRegistersWithTheHostAndTheSystem)
{
    Start("lifx.debug: false\r\n");
    ASSERT_EQ(testhost::Registrations().size(), 1u);
    EXPECT_EQ(testhost::Registrations()[0].window, g_pluginWindow);
    EXPECT_EQ(testhost::Registrations()[0].messages, (std::vector<unsigned>{10901, 10103, 10881}));
    EXPECT_TRUE(platform::SessionNotificationsRegistered(g_pluginWindow));
    EXPECT_TRUE(platform::WindowExists(g_pluginWindow));

    ASSERT_EQ(platform::MessageFilterCalls().size(), 1u);
    EXPECT_EQ(platform::MessageFilterCalls()[0].message, RegisterWindowMessageA("TaskbarCreated"));
    EXPECT_EQ(platform::MessageFilterCalls()[0].action, (DWORD)MSGFLT_ALLOW);
}

TEST_F(LifecycleTest, TrayIconRecordIsFilledAsTheShellExpects)
{
    Start("lifx.debug: false\r\n");
    const std::vector<platform::TrayCall> &calls = platform::TrayCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].message, (DWORD)NIM_ADD);
    EXPECT_EQ(calls[1].message, (DWORD)NIM_SETVERSION);
    EXPECT_EQ(calls[1].data.uVersion, 4u);
    const NOTIFYICONDATAA &icon = calls[0].data;
    EXPECT_EQ(icon.cbSize, sizeof(NOTIFYICONDATAA));
    EXPECT_EQ(icon.hWnd, g_pluginWindow);
    EXPECT_EQ(icon.uID, 0u);
    EXPECT_EQ(icon.uFlags, 0x87u);
    EXPECT_EQ(icon.uCallbackMessage, (UINT)WM_USER);
    EXPECT_NE(icon.hIcon, nullptr);
    EXPECT_STREQ(icon.szTip, "Chromalet-LIFX");
    EXPECT_TRUE(platform::TrayIconShown());
}

TEST_F(LifecycleTest, IconFallsBackToTheIconFileThenTheSystemIcon)
{
    platform::SetIconResourcePresent(false);
    WriteFileBytes(Folder() + "Chromalet-LIFX.ico", "not really an icon");
    Start("lifx.debug: false\r\n");
    EXPECT_NE(g_trayIcon.hIcon, nullptr);
    Stop();
    EXPECT_EQ(platform::LiveIcons(), 0) << "the icon is destroyed at exit";

    remove((Folder() + "Chromalet-LIFX.ico").c_str());
    Start("lifx.debug: false\r\n");
    EXPECT_NE(g_trayIcon.hIcon, nullptr) << "the system application icon";
}

TEST_F(LifecycleTest, FailingWindowClassShowsAnErrorAndReturnsOne)
{
    platform::InjectFault(platform::FaultRegisterClass);
    Start("lifx.auto.power: true\r\nlifx.device1: {1}\r\n", 1);
    ASSERT_EQ(platform::MessageBoxes().size(), 1u);
    EXPECT_EQ(platform::MessageBoxes()[0].text, "Error registering plugin window class!");
    EXPECT_EQ(platform::MessageBoxes()[0].caption, "Chromalet-LIFX 1.2");
    EXPECT_EQ(platform::MessageBoxes()[0].type, 0x40010u);
    EXPECT_EQ(platform::MessageBoxes()[0].owner, nullptr);
    EXPECT_STREQ(g_settingsPath, "") << "nothing else was done";
    EXPECT_EQ(TotalDatagrams(), 0);
}

TEST_F(LifecycleTest, FailingWindowShowsAnErrorAndUnregistersTheClass)
{
    platform::InjectFault(platform::FaultCreateWindow);
    Start("lifx.auto.power: true\r\nlifx.device1: {1}\r\n", 1);
    ASSERT_EQ(platform::MessageBoxes().size(), 1u);
    EXPECT_EQ(platform::MessageBoxes()[0].text, "Error creating plugin window!");
    EXPECT_EQ(platform::MessageBoxes()[0].type, 0x40010u);
    EXPECT_FALSE(platform::ClassRegistered("Chromalet-LIFX"));
    EXPECT_TRUE(testhost::Registrations().empty());
    EXPECT_EQ(TotalDatagrams(), 0);
}

TEST_F(LifecycleTest, EndPluginUndoesEverythingButLeavesTheLightsOn)
{
    Start(std::string(kAllLights) + "lifx.color.scheme: Ocean\r\nlifx.cycle.colors: true\r\n"
                                    "lifx.move.effect: true\r\nlifx.auto.power: true\r\n");
    Send(WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC);
    HWND window = g_pluginWindow;
    Drain();
    EmulatorResetLights(emulator);

    Stop();

    Drain();
    EXPECT_TRUE(Light(1).received.empty()) << "bulbs keep their colour";
    EXPECT_EQ(Types(9), std::vector<int>{kTypeSetMultiZoneEffect});
    EXPECT_FALSE(Light(9).moveOn);
    EXPECT_FALSE(platform::TrayIconShown());
    EXPECT_EQ(platform::TrayCalls().back().message, (DWORD)NIM_DELETE);
    EXPECT_EQ(platform::RunningTimers(), 0);
    EXPECT_FALSE(platform::SessionNotificationsRegistered(window));
    EXPECT_TRUE(testhost::Registrations().empty());
    EXPECT_FALSE(platform::WindowExists(window));
    EXPECT_FALSE(platform::ClassRegistered("Chromalet-LIFX"));
    EXPECT_EQ(platform::LiveIcons(), 0);
}

TEST_F(LifecycleTest, RestartReadsTheSettingsAgain)
{
    Start("lifx.device1: {1}\r\nlifx.color.scheme: Fire\r\n");
    HandleCommandText("@LIFX Device #1");
    HandleCommandText("@LIFX Scheme woods");
    Stop();
    g_settings.scheme = SchemeManual;
    SetDeviceSlot(1, "leftover");
    ASSERT_EQ(beginPlugin(nullptr), 0);
    started = true;
    EXPECT_EQ(g_settings.scheme, SchemeWoods);
    EXPECT_STREQ(g_devices[1], "");
    EXPECT_FALSE(g_anyDeviceConfigured);
}

TEST(PluginInfo, FieldsGiveTheIdentityTexts)
{
    const struct {
        int field;
        const char *text;
    } cases[] = {
        {0, "Chromalet-LIFX 1.2"},
        {1, "Chromalet-LIFX"},
        {2, "1.2"},
        {4, "2026-12-10"},
        // No web link or e-mail address until the project has a home of its own.
        {5, ""},
        {6, ""},
        {7, "@Chromalet-LIFX Documentation@Chromalet-LIFX Show Menu@Chromalet-LIFX About"},
        {8, "Chromalet-LIFX 1.2"},
        {-1, "Chromalet-LIFX 1.2"},
        {1000, "Chromalet-LIFX 1.2"},
    };
    for (const auto &c : cases)
        EXPECT_STREQ(pluginInfo(c.field), c.text) << "field " << c.field;
    EXPECT_GT(strlen(pluginInfo(3)), 0u) << "the author";
}

TEST_F(LifecycleTest, BeginPluginExBehavesLikeBeginPlugin)
{
    WriteSettings("lifx.auto.power: true\r\nlifx.device2: " + std::string(Address(2)) +
                  "\r\nlifx.color.scheme: Spooky\r\n");
    ASSERT_EQ(beginPluginEx(nullptr, (HWND)(uintptr_t)0x1234), 0);
    started = true;
    Drain();
    EXPECT_EQ(Types(2), (std::vector<int>{kTypeSetLightPower, kTypeSetColor}));
}

} // namespace
