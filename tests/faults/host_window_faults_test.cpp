// The host's main window gone while the plug-in runs, as when the host is
// shutting down: GetVeskWnd returns a handle whose window no longer exists,
// or none at all. Log lines and the about text go nowhere; everything else
// goes on, and nothing crashes, up to and through a restart.
#include "lifx/messages.h"
#include "platform/control_linux.h"
#include "plugin/plugin.h"
#include "settings/settings.h"
#include "tests/faults/fault_fixture.h"

namespace
{

class HostWindowFaultTest : public FaultTest, public ::testing::WithParamInterface<bool>
{
  protected:
    void LoseTheHostWindow()
    {
        Start("lifx.device2: {2}\r\nlifx.device9: {9}\r\nlifx.color.scheme: Fire\r\n"
              "lifx.auto.power: true\r\n");
        testhost::LoseHostWindow(GetParam());
        EXPECT_EQ(GetVeskWnd() != nullptr, GetParam());
        EXPECT_FALSE(platform::WindowExists(GetVeskWnd()));
    }
};

TEST_P(HostWindowFaultTest, LogLinesAndAboutGoNowhereAndTheLightsAreStillServed)
{
    LoseTheHostWindow();

    Command("@LIFX Device #3 " + std::string(Address(3)));
    Command("@LIFX Device #3 999.1.1.1");
    Command("@LIFX Scheme Ocean");
    Command("@LIFX About");
    Command("@LIFX Show Menu");
    Command("@LIFX Toggle Cycle Colors");
    platform::AdvanceClock(10000);
    Send(WM_POWERBROADCAST, PBT_APMSUSPEND);
    Send(WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC);
    platform::AdvanceClock(5000);
    Send(WM_USER, 0, WM_RBUTTONUP);
    Send(HostMsgStyleChange);
    Drain();

    EXPECT_TRUE(testhost::Logs().empty());
    EXPECT_TRUE(testhost::AboutBoxes().empty());
    EXPECT_EQ(testhost::ShownMenus().size(), 2u)
        << "menus are the host's functions, not its window";
    EXPECT_STREQ(g_devices[3], Address(3));
    EXPECT_NE(ReadFileBytes(SettingsPath()).find("lifx.device3: " + std::string(Address(3))),
              std::string::npos);
    EXPECT_GE(Light(2).colourMessages, 2) << "the scheme, the cycle tick, the power-on step";
    EXPECT_EQ(Light(9).powerLevel, 65535);
}

TEST_P(HostWindowFaultTest, AboutOnAnotherHostStillShowsItsBoxWithoutAnOwner)
{
    testhost::SetVersion("Other shell 2.0");
    LoseTheHostWindow();
    Command("@LIFX About");
    ASSERT_EQ(platform::MessageBoxes().size(), 1u);
    EXPECT_EQ(platform::MessageBoxes()[0].owner, nullptr);
    EXPECT_EQ(platform::MessageBoxes()[0].caption, "About this plugin...");
}

TEST_P(HostWindowFaultTest, StopAndStartWithoutTheHostWindowStillWork)
{
    LoseTheHostWindow();
    Stop();
    EXPECT_FALSE(platform::WindowExists(g_pluginWindow));
    EXPECT_EQ(platform::RunningTimers(), 0);

    ASSERT_EQ(beginPlugin(nullptr), 0);
    started = true;
    EXPECT_TRUE(testhost::Registrations().empty()) << "nobody to register with";
    Forget();
    Command("@LIFX Scheme Woods");
    Drain();
    EXPECT_EQ(Types(2), (std::vector<int>{kTypeSetLightPower, kTypeSetColor}));
    EXPECT_TRUE(testhost::Logs().empty());
}

INSTANTIATE_TEST_SUITE_P(StaleOrNone, HostWindowFaultTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool> &info) {
                             return info.param ? "StaleHandle" : "NoHandle";
                         });

} // namespace
