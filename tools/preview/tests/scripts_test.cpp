// What the preview sends on its own, and what it refuses to send.
#include <gtest/gtest.h>

#include "tools/preview/home.h"
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

TEST(PreviewHome, EachLineBecomesTheEmulatorsOptionsOrIsRefusedWithItsReason)
{
    struct Row {
        const char *line;
        const char *options; // joined by spaces; "" when refused
        const char *reason;  // a part of the reason when refused
    };
    const Row rows[] = {
        {"bulb \"Kitchen\"", "--label Kitchen", ""},
        {"strip", "--strip", ""},
        {"STRIP 1000 Shelf loss 20%", "--zones 1000 --light-loss 20 --label Shelf", ""},
        {"older-strip 16 \"Old shelf\" replies silent",
         "--kind older-strip --zones 16 --replies silent --label Old shelf", ""},
        {"matrix 5*8x8 \"Desk tiles\"",
         "--kind matrix --chain 8x8,8x8,8x8,8x8,8x8 --label Desk tiles", ""},
        {"matrix 16x8,5x6 product 57", "--kind matrix --chain 16x8,5x6 --product 57", ""},
        {"switch \"Hall switch\"", "--kind switch --label Hall switch", ""},
        {"lamp \"Desk\"", "", "\"lamp\" is no kind of light: bulb, strip"},
        {"strip 1001", "", "a strip has 1 to 1000 zones, not 1001"},
        {"matrix \"Ceiling\"", "", "a matrix light needs its chain"},
        {"matrix 8x", "", "a matrix light needs its chain"},
        {"bulb Hall loss 101", "", "loss takes a share from 0 to 100, not 101"},
        {"bulb Hall Kitchen", "", "put a label of several words in double quotes"},
        {"bulb \"Hall\" replies", "", "replies needs a value"},
    };
    for (const Row &row : rows) {
        preview::HomeLight light;
        std::string reason;
        bool parsed = preview::ParseHomeLine(row.line, light, reason);
        std::string joined;
        for (const std::string &option : light.options)
            joined += (joined.empty() ? "" : " ") + option;
        EXPECT_EQ(parsed, *row.options != 0) << row.line << ": " << reason;
        if (parsed)
            EXPECT_EQ(joined, row.options) << row.line;
        else
            EXPECT_NE(reason.find(row.reason), std::string::npos) << row.line << ": " << reason;
    }
    // Where in the file, and the limit of the lights' range.
    preview::Home home;
    std::string reason;
    EXPECT_FALSE(preview::ReadHomeText("# mine\nbulb\n\nbulb x y\n", "my.home", home, reason));
    EXPECT_EQ(reason.compare(0, 16, "my.home line 4: "), 0) << reason;
    std::string fifteen;
    for (int n = 0; n < 15; n++)
        fifteen += "bulb\n";
    home = preview::Home();
    EXPECT_FALSE(preview::ReadHomeText(fifteen, "big.home", home, reason));
    EXPECT_NE(reason.find("line 15: a home holds at most 14 lights"), std::string::npos) << reason;
}
