// What the preview sends on its own, and what it refuses to send.
#include <gtest/gtest.h>

#include "tools/preview/scripts.h"

namespace
{

preview::Lights EmulatedAt(int group)
{
    preview::Lights lights;
    lights.enabled = true;
    for (int n = 0; n < preview::kLightCount; n++)
        snprintf(lights.addresses[n], sizeof lights.addresses[n], "127.56.%d.%d", group, n + 1);
    return lights;
}

TEST(PreviewSetUp, FirstRunHasThePluginFindTheLightsAndLeavesAutoPowerOff)
{
    preview::PluginSettings fresh; // as the plug-in's default file: no devices
    std::vector<std::string> lines = preview::SetupLines(EmulatedAt(2), fresh);
    EXPECT_EQ(lines, (std::vector<std::string>{"@Chromalet-LIFX Discover 127.56.2.0/28",
                                               ":wait 3000", ":restart"}));
}

TEST(PreviewSetUp, ALaterRunOnOtherAddressesSetsTheDevicesOnly)
{
    preview::PluginSettings kept;
    kept.autoPower = false; // the user turned it off: left so
    for (int n = 1; n <= 10; n++)
        kept.devices[n] = "127.56.0." + std::to_string(n);
    EXPECT_TRUE(preview::SetupLines(EmulatedAt(0), kept).empty());
    std::vector<std::string> lines = preview::SetupLines(EmulatedAt(3), kept);
    ASSERT_EQ(lines.size(), 11u);
    EXPECT_EQ(lines[2], "@Chromalet-LIFX Device #3 127.56.3.3");
    EXPECT_EQ(lines.back(), ":restart");
}

TEST(PreviewSafety, ASearchBeyondLoopbackIsRefusedAndTheLightsRangeNamed)
{
    std::string reason;
    for (const char *line : {"@Chromalet-LIFX Discover", "@lifx discover 10.0.0.0/24",
                             "@LIFX Discover 192.168.1.20", "@LIFX Discover \"\""}) {
        EXPECT_FALSE(preview::DiscoverAllowed(line, EmulatedAt(0), reason)) << line;
        EXPECT_NE(reason.find("Discover 127.56.0.0/28"), std::string::npos) << reason;
    }
    for (const char *line : {"@LIFX Discover 127.56.0.0/28", "@LIFX Discover 127.0.0.1",
                             "@LIFX Discover lamp", "@LIFX Scheme Fire"})
        EXPECT_TRUE(preview::DiscoverAllowed(line, EmulatedAt(0), reason)) << line;
}

TEST(PreviewSafety, DeviceCommandsBeyondLoopbackAreRefused)
{
    std::string reason;
    EXPECT_FALSE(preview::CommandAllowed("@LIFX Device #3 192.168.1.20", reason));
    EXPECT_FALSE(preview::CommandAllowed("@chromalet-lifx device #3 10.0.0.1", reason));
    EXPECT_FALSE(preview::CommandAllowed("@LIFXBulbs DEVICE #1 \"8.8.8.8\"", reason));
    // Parsers differ on what follows an address: its leading part counts.
    EXPECT_FALSE(preview::CommandAllowed("@LIFX Device #1 192.168.1.20x", reason));
    // Short forms the classic parser takes.
    EXPECT_FALSE(preview::CommandAllowed("@LIFX Device #1 3232235796", reason));
    EXPECT_TRUE(preview::CommandAllowed("@LIFX Device #3 127.56.0.3", reason));
    EXPECT_TRUE(preview::CommandAllowed("@LIFX Device #3 127.1", reason));
    EXPECT_TRUE(preview::CommandAllowed("@LIFX Device #3", reason));
    // The plug-in refuses these itself and says so.
    EXPECT_TRUE(preview::CommandAllowed("@LIFX Device #3 999.1.1.1", reason));
    EXPECT_TRUE(preview::CommandAllowed("@LIFX Device #3 0.0.0.0", reason));
    EXPECT_TRUE(preview::CommandAllowed("@LIFX Scheme 192.168.1.20", reason));
}

TEST(PreviewSafety, SettingsWithDevicesBeyondLoopbackAreRefused)
{
    std::string reason;
    preview::PluginSettings settings;
    settings.devices[1] = "127.56.0.1";
    EXPECT_TRUE(preview::SettingsAllowed(settings, reason));
    settings.devices[4] = "192.168.1.20";
    EXPECT_FALSE(preview::SettingsAllowed(settings, reason));
    EXPECT_NE(reason.find("device 4"), std::string::npos);
    // Text the parser refuses would go to 255.255.255.255 with the power
    // messages.
    settings.devices[4] = "kitchen";
    EXPECT_FALSE(preview::SettingsAllowed(settings, reason));
}

TEST(PreviewScripts, HostEventsAreTheHostProgramsOwn)
{
    for (const char *event : {":suspend", ":resume", ":lock", ":unlock", ":style-change",
                              ":reconfigure", ":taskbar-created", ":close", ":restart", ":quit",
                              ":menu", ":tray 0x205", ":wait 100", ":wait 0"})
        EXPECT_TRUE(preview::IsHostEvent(event)) << event;
    for (const char *other :
         {":suspended", ":wait", ":wait x", ":wait -5", ":tray", ":tray zz", ":bogus", "suspend"})
        EXPECT_FALSE(preview::IsHostEvent(other)) << other;
}

TEST(PreviewScripts, TheTourPutsTheSettingsBackAsTheyWere)
{
    preview::PluginSettings before;
    before.scheme = "Woods";
    before.cycle = true;
    before.speed = 20;
    preview::PluginSettings after = before;
    after.scheme = "Manual";
    after.cycle = false;
    after.speed = 5;
    after.calibrationRed = 100;
    std::vector<std::string> lines = preview::RestoreLines(before, after);
    std::vector<std::string> expected = {
        "@Chromalet-LIFX Calibration R 80", "@Chromalet-LIFX Movement Speed 20",
        "@Chromalet-LIFX Toggle Cycle Colors", "@Chromalet-LIFX Scheme Woods"};
    ASSERT_EQ(lines.size(), expected.size() + 1);
    EXPECT_EQ(lines[0][0], '#');
    for (size_t i = 0; i < expected.size(); i++)
        EXPECT_EQ(lines[i + 1], expected[i]);
}

} // namespace
