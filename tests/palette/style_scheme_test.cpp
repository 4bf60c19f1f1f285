#include <string.h>

#include <string>
#include <vector>

#include "tests/palette/palette_test_support.h"

namespace
{

class StyleSchemeTest : public PaletteTest
{
  protected:
    // A 1-color solid item: all of entries 1 to 32 take its colour.
    static std::string SolidItem(const std::string &item, const char *colour)
    {
        return item + ".appearance: Flat Solid\n" + item + ".color: " + colour + "\n";
    }
    void ExpectAllOf32(const char *colour)
    {
        for (int n = 1; n <= 32; n++)
            ASSERT_EQ(Entry(n), Word(colour)) << "entry " << n;
    }
    void ExpectCleared()
    {
        for (int n = 0; n <= 128; n++)
            ASSERT_EQ(Entry(n), 0u) << "entry " << n;
    }
};

TEST_F(StyleSchemeTest, AUsableHardwareItemGivesTheColoursAlone)
{
    g_settings.debug = true;
    UseStyle(SolidItem("hardware", "#102030") + SolidItem("toolbar.windowLabel", "#405060") +
             SolidItem("toolbar.clock", "#708090"));

    Refresh(SchemeStyle);

    ExpectAllOf32("#102030");
    ASSERT_EQ(LogLines().size(), 1u);
    EXPECT_NE(LogLines()[0].find("from the hardware style"), std::string::npos);
}

TEST_F(StyleSchemeTest, TheFirstUsableItemInTheListWins)
{
    const char *items[10] = {"hardware",  "toolbar.windowLabel", "toolbar.clock", "toolbar.label",
                             "menu.grip", "menu.active",         "menu.hilite",   "menu.title",
                             "toolbar",   "menu.frame"};
    const char *colours[10] = {"#010101", "#020202", "#030303", "#040404", "#050505",
                               "#060606", "#070707", "#080808", "#090909", "#0a0a0a"};
    for (int usable = 0; usable < 10; usable++) {
        SCOPED_TRACE(items[usable]);
        std::string style;
        // Every later item is usable too, listed first in the file; earlier
        // ones are missing, parent-relative or without an appearance.
        for (int i = 9; i >= 0; i--) {
            if (i >= usable) {
                style += SolidItem(items[i], colours[i]);
            } else if (i % 3 == 0) {
                style += std::string(items[i]) + ".appearance: parentrelative\n" + items[i] +
                         ".color: #ffffff\n";
            } else if (i % 3 == 1) {
                style += std::string(items[i]) + ".color: #ffffff\n";
            } else {
                style += std::string(items[i]) + ".appearance:\n" + items[i] +
                         ": Raised parentrelative\n";
            }
        }
        UseStyle(style);
        Refresh(SchemeStyle);
        ExpectAllOf32(colours[usable]);
    }
}

TEST_F(StyleSchemeTest, ParentRelativeAndMissingAppearancesAreSkipped)
{
    UseStyle("hardware.appearance: parentrelative\nhardware.color: #ffffff\n"
             "toolbar.clock.appearance: Raised Gradient parentrelative Vertical\n"
             "toolbar.clock.color: #eeeeee\n"
             "toolbar.label.color: #dddddd\n" +
             SolidItem("menu.grip", "#224466"));

    Refresh(SchemeStyle);

    ExpectAllOf32("#224466");
}

TEST_F(StyleSchemeTest, TheAppearanceComesFromTheBareKeyWhenTheAppearanceKeyIsEmpty)
{
    UseStyle("hardware.appearance:\nhardware: Flat Solid\nhardware.color: #abcdef\n");

    Refresh(SchemeStyle);

    ExpectAllOf32("#abcdef");
}

TEST_F(StyleSchemeTest, TheAppearanceKeyWinsOverTheBareKey)
{
    UseStyle("hardware: Raised Gradient Vertical\nhardware.appearance: Flat Solid\n"
             "hardware.color: #abcdef\nhardware.colorTo: #123456\n");

    Refresh(SchemeStyle);

    ExpectAllOf32("#abcdef");
}

TEST_F(StyleSchemeTest, HardwareIsReadFromTheStylePathWhileLaterItemsFollowTheVersion)
{
    // A style path of 260 characters does not fit the file argument, which
    // keeps its first 259: a different file, in the same folder. So what
    // each item was read from shows in the colours it gives.
    std::string shortName(259 - Folder().size(), 's');
    std::string cutPath = WriteStyle(shortName, "hardware.appearance: Flat Solid\n"
                                                "hardware.color: #111111\n" +
                                                    SolidItem("toolbar.clock", "#222222"));
    std::string fullPath = WriteStyle(shortName + "x", SolidItem("toolbar.clock", "#333333"));
    ASSERT_EQ(cutPath.size(), 259u);
    ASSERT_EQ(fullPath.substr(0, 259), cutPath);
    testhost::SetStylePath(fullPath.c_str());

    // The host's own version: items after "hardware" get the empty text,
    // which this host reads as the current style file.
    Refresh(SchemeStyle);
    ExpectAllOf32("#333333");

    // Another host: items after "hardware" get a copy of the style path.
    testhost::SetVersion("Fakeshell 0.9");
    Refresh(SchemeStyle);
    ExpectAllOf32("#222222");

    // "hardware" itself is read from the whole path, whatever the version.
    WriteStyle(shortName + "x", SolidItem("hardware", "#444444"));
    Refresh(SchemeStyle);
    ExpectAllOf32("#444444");
    testhost::SetVersion("Vesk 1.0");
    Refresh(SchemeStyle);
    ExpectAllOf32("#444444");
}

TEST_F(StyleSchemeTest, AHostWithOneReturnBufferStillGivesHardwareItsColours)
{
    // Each reader call overwrites the text the previous call returned, the
    // style path among them.
    testhost::ShareOneReturnBuffer(true);
    UseStyle("hardware.appearance: Flat Gradient Vertical\n"
             "hardware.color: #abcdef\nhardware.colorTo: #123456\n");
    for (const char *version : {"Vesk 1.0", "Othershell 2.3"}) {
        SCOPED_TRACE(version);
        testhost::SetVersion(version);
        memset(g_palette.entries, 0, sizeof g_palette.entries);

        Refresh(SchemeStyle);

        EXPECT_EQ(Entry(1), Word("#abcdef"));
        EXPECT_EQ(Entry(2), Word("#123456"));
    }
}

TEST_F(StyleSchemeTest, WithAnotherHostEveryItemReadsTheStyleFile)
{
    testhost::SetVersion("Othershell 2.3");
    UseStyle(SolidItem("menu.frame", "#0f0e0d"));

    Refresh(SchemeStyle);

    ExpectAllOf32("#0f0e0d");
}

struct KindCase {
    const char *appearance;
    const char *detected;
    std::vector<const char *> keys; // k1, k2, ... in the order they are read
    const char *entries;            // entries 1 to 32: the digit X stands for kX
};

TEST_F(StyleSchemeTest, EachAppearanceKindLaysItsColoursOutThereAndBack)
{
    const std::vector<const char *> two = {"color", "colorTo"};
    const KindCase cases[] = {
        {"Flat Solid", "1-color solid detected.", {"color"}, "11111111111111111111111111111111"},
        {"Flat Solid Super",
         "1-color solid detected.",
         {"color"},
         "11111111111111111111111111111111"},
        {"Raised SplitVertical Gradient",
         "4-color split gradient detected.",
         {"color", "colorTo", "color3", "color4"},
         "12343212343212343212343212343212"},
        {"Sunken Split Super",
         "4-color split gradient detected.",
         {"color", "colorTo", "color3", "color4"},
         "12343212343212343212343212343212"},
        {"Raised SuperGradient Vertical",
         "8-color super gradient detected.",
         {"color1", "color2", "color3", "color4", "color5", "color6", "color7", "color8"},
         "12345678765432123456787654321234"},
        {"Flat SplitSolid Super",
         "8-color super gradient detected.",
         {"color1", "color2", "color3", "color4", "color5", "color6", "color7", "color8"},
         "12345678765432123456787654321234"},
        {"Flat SplitSolid", "2-color split solid detected.", two,
         "12121212121212121212121212121212"},
        {"Raised Gradient Vertical", "2-color regular gradient detected.", two,
         "12121212121212121212121212121212"},
        {"Bevel1", "2-color regular gradient detected.", two, "12121212121212121212121212121212"},
    };
    // Every colour key is present with a colour of its own, so reading a
    // wrong key shows.
    const char *allKeys[10] = {"color",  "colorTo", "color1", "color2", "color3",
                               "color4", "color5",  "color6", "color7", "color8"};
    const char *allColours[10] = {"#a00001", "#a00002", "#a00003", "#a00004", "#a00005",
                                  "#a00006", "#a00007", "#a00008", "#a00009", "#a0000a"};
    std::string colourLines;
    for (int i = 0; i < 10; i++)
        colourLines += std::string("toolbar.clock.") + allKeys[i] + ": " + allColours[i] + "\n";

    g_settings.debug = true;
    for (const KindCase &c : cases) {
        SCOPED_TRACE(c.appearance);
        testhost::ClearRecords();
        UseStyle(std::string("toolbar.clock.appearance: ") + c.appearance + "\n" + colourLines);

        Refresh(SchemeStyle);

        for (int n = 1; n <= 32; n++) {
            const char *key = c.keys[c.entries[n - 1] - '1'];
            const char *colour = nullptr;
            for (int i = 0; i < 10; i++) {
                if (strcmp(allKeys[i], key) == 0)
                    colour = allColours[i];
            }
            ASSERT_EQ(Entry(n), Word(colour)) << "entry " << n << " should be " << key;
        }
        EXPECT_EQ(LogLines(), std::vector<std::string>{
                                  std::string("0 Chromalet-LIFX -> Reading color values from the "
                                              "toolbar.clock style settings -> ") +
                                  c.detected});
    }
}

TEST_F(StyleSchemeTest, MissingColourKeysTakeTheHostsValueForAMissingKey)
{
    UseStyle("hardware.appearance: Raised Gradient SplitVertical\nhardware.color: #010203\n"
             "hardware.color4: #040506\n");

    Refresh(SchemeStyle);

    EXPECT_EQ(Entry(1), Word("#010203"));
    EXPECT_EQ(Entry(2), 0u);
    EXPECT_EQ(Entry(3), 0u);
    EXPECT_EQ(Entry(4), Word("#040506"));
}

TEST_F(StyleSchemeTest, NothingUsableTurnsTheWholePaletteBlack)
{
    g_settings.debug = true;
    Refresh(SchemeFire);
    g_palette.entries[0] = 0x123456;
    UseStyle("hardware.appearance: parentrelative\ntoolbar.clock.color: #ffffff\n"
             "menu.frame: parentrelative\nmenu.frame.color: #ffffff\n");

    Refresh(SchemeStyle);

    ExpectCleared();
    EXPECT_EQ(g_palette.offset, 1);
    EXPECT_TRUE(LogLines().empty());
}

TEST_F(StyleSchemeTest, NoStyleFileAtAllTurnsThePaletteBlack)
{
    Refresh(SchemeOcean);

    Refresh(SchemeStyle);

    ExpectCleared();
    EXPECT_EQ(g_palette.offset, 1);
}

TEST_F(StyleSchemeTest, StyleAfterFireLeavesNoFireColourInAnyEntry)
{
    Refresh(SchemeFire);
    UseStyle(SolidItem("toolbar", "#0a0b0c"));

    Refresh(SchemeStyle);

    for (int n = 1; n <= 128; n++)
        ASSERT_EQ(Entry(n), Word("#0a0b0c")) << "entry " << n;
    EXPECT_EQ(Entry(0), 0u);
}

TEST_F(StyleSchemeTest, SchemesAboveUser3ClearThePalette)
{
    UseStyle(SolidItem("hardware", "#102030"));
    Refresh(SchemeFire);
    g_palette.entries[0] = 0x123456;

    Refresh(SchemeUser3 + 1);

    ExpectCleared();
    EXPECT_EQ(g_palette.offset, 1);
}

} // namespace
