// The menu as the host program prints it, read back: every entry's number
// leads to the command the host itself would send for it.
#include <gtest/gtest.h>

#include <sstream>

#include "tools/preview/menu_tree.h"

namespace
{

// Captured from the host program after "@Chromalet-LIFX Show Menu".
const char kPrinted[] = "[Chromalet-LIFX]\n"
                        "  Devices >\n"
                        "    [Devices]\n"
                        "      #1 Bulb = \"127.56.0.1\" -> @Chromalet-LIFX Device #1 TEXT\n"
                        "      #2 Bulb: A = \"b\" -> c (not answering) = \"\" -> "
                        "@Chromalet-LIFX Device #2 TEXT\n"
                        "      ----------\n"
                        "      #9 MultiZone = \"odd -> text\" -> @Chromalet-LIFX Device #9 TEXT\n"
                        "      ----------\n"
                        "      Edit manually... -> @Chromalet-LIFX Edit Devices\n"
                        "  RGB calibration >\n"
                        "    [RGB calibration]\n"
                        "      Red % = 80 (0..100) -> @Chromalet-LIFX Calibration R N\n"
                        "  Color scheme >\n"
                        "    [Color scheme]\n"
                        "      [ ] Style -> @Chromalet-LIFX Scheme Style (style 1)\n"
                        "      ----------\n"
                        "      [x] Fire -> @Chromalet-LIFX Scheme Fire (style 1)\n"
                        "  ----------\n"
                        "  [ ] Cycle colors -> @Chromalet-LIFX Toggle Cycle Colors (style 0)\n"
                        "  Cycle interval = 10 (1..10) -> @Chromalet-LIFX Cycle Interval N\n"
                        "  Movement speed = -3 (-5..60) -> @Chromalet-LIFX Movement Speed N\n"
                        "  Power off now... -> @Chromalet-LIFX Power Off\n";

std::vector<std::string> Lines(const char *text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

const preview::MenuEntry &Numbered(const preview::MenuTree &tree, int menu, int number)
{
    const preview::Menu &m = tree.menus[(size_t)menu];
    return m.entries[(size_t)preview::ChoosableEntries(m)[(size_t)number - 1]];
}

TEST(PrintedMenu, EveryEntryLeadsToTheCommandTheHostWouldSend)
{
    std::vector<std::string> lines = Lines(kPrinted);
    ASSERT_TRUE(preview::IsMenuStart(lines[0]));
    for (size_t i = 1; i < lines.size(); i++)
        EXPECT_TRUE(preview::IsMenuContinuation(lines[i])) << lines[i];
    preview::MenuTree tree;
    ASSERT_TRUE(preview::ParseMenu(lines, tree));
    ASSERT_EQ(tree.menus.size(), 4u);
    EXPECT_EQ(tree.menus[0].title, "Chromalet-LIFX");

    // Top level: 1 Devices, 2 RGB calibration, 3 Color scheme, 4 Cycle
    // colors, 5 Cycle interval, 6 Movement speed, 7 Power off now...
    EXPECT_EQ(preview::ChoosableEntries(tree.menus[0]).size(), 7u);
    const preview::MenuEntry &devices = Numbered(tree, 0, 1);
    ASSERT_EQ(devices.kind, preview::MenuSubmenu);
    EXPECT_EQ(tree.menus[(size_t)devices.submenu].title, "Devices");

    const preview::MenuEntry &bulb1 = Numbered(tree, devices.submenu, 1);
    EXPECT_EQ(bulb1.kind, preview::MenuText);
    EXPECT_EQ(bulb1.text, "127.56.0.1");
    EXPECT_EQ(preview::CommandForText(bulb1, "127.56.0.7"), "@Chromalet-LIFX Device #1 127.56.0.7");
    // An emptied text still sends the blank, as the host does.
    EXPECT_EQ(preview::CommandForText(bulb1, ""), "@Chromalet-LIFX Device #1 ");
    // A light's label holding what the line is split at.
    EXPECT_EQ(Numbered(tree, devices.submenu, 2).label, "#2 Bulb: A = \"b\" -> c (not answering)");
    EXPECT_EQ(Numbered(tree, devices.submenu, 2).text, "");
    // A text holding the arrow itself.
    const preview::MenuEntry &strip = Numbered(tree, devices.submenu, 3);
    EXPECT_EQ(strip.text, "odd -> text");
    EXPECT_EQ(strip.command, "@Chromalet-LIFX Device #9");
    EXPECT_EQ(Numbered(tree, devices.submenu, 4).command, "@Chromalet-LIFX Edit Devices");

    const preview::MenuEntry &red = Numbered(tree, Numbered(tree, 0, 2).submenu, 1);
    EXPECT_EQ(red.kind, preview::MenuNumber);
    EXPECT_EQ(red.value, 80);
    EXPECT_EQ(red.maximum, 100);
    EXPECT_EQ(preview::CommandForNumber(red, 75), "@Chromalet-LIFX Calibration R 75");

    const preview::MenuEntry &fire = Numbered(tree, Numbered(tree, 0, 3).submenu, 2);
    EXPECT_EQ(fire.kind, preview::MenuCheck);
    EXPECT_TRUE(fire.checked);
    EXPECT_EQ(preview::CommandForCheck(fire), "@Chromalet-LIFX Scheme Fire");

    EXPECT_EQ(preview::CommandForCheck(Numbered(tree, 0, 4)),
              "@Chromalet-LIFX Toggle Cycle Colors");
    EXPECT_EQ(preview::CommandForNumber(Numbered(tree, 0, 5), 5),
              "@Chromalet-LIFX Cycle Interval 5");
    const preview::MenuEntry &speed = Numbered(tree, 0, 6);
    EXPECT_EQ(speed.value, -3);
    EXPECT_EQ(speed.minimum, -5);
    EXPECT_EQ(preview::CommandForCheck(Numbered(tree, 0, 7)), "@Chromalet-LIFX Power Off");
}

TEST(PrintedMenu, OtherOutputIsNoMenu)
{
    EXPECT_FALSE(preview::IsMenuStart("[0] Chromalet-LIFX -> Connecting to device #1"));
    EXPECT_FALSE(preview::IsMenuStart("[host] beginPlugin -> 0"));
    EXPECT_FALSE(preview::IsMenuContinuation("> @Chromalet-LIFX Show Menu"));
    preview::MenuTree tree;
    EXPECT_FALSE(preview::ParseMenu({"[Chromalet-LIFX]", "      misplaced"}, tree));
}

} // namespace
