#include <stdio.h>
#include <string.h>

#include "tests/palette/palette_test_support.h"

namespace
{

class BuiltinSchemeTest : public PaletteTest
{
};

TEST_F(BuiltinSchemeTest, FireFillsTheWorkedRowOfSixteenEntries)
{
    const char *row[16] = {"#FF0000", "#880000", "#FF0000", "#FF8800", "#FF8800", "#FF8800",
                           "#FF8800", "#880000", "#FF0000", "#880000", "#FF0000", "#FF8800",
                           "#FF8800", "#FF8800", "#FF8800", "#880000"};
    Refresh(SchemeFire);

    for (int n = 1; n <= 16; n++)
        EXPECT_EQ(Entry(n), Word(row[n - 1])) << "entry " << n;
    EXPECT_EQ(Entry(1), 0x0000FFu);
    EXPECT_EQ(Entry(2), 0x000088u);
    EXPECT_EQ(Entry(4), 0x0088FFu);
}

TEST_F(BuiltinSchemeTest, FireRepeatsItsRunOfEightUpToTheLastEntry)
{
    Refresh(SchemeFire);

    for (int n = 9; n <= 128; n++)
        EXPECT_EQ(Entry(n), Entry(n - 8)) << "entry " << n;
    EXPECT_EQ(Entry(127), Word("#FF8800"));
    EXPECT_EQ(Entry(128), Word("#880000"));
}

struct PatternCase {
    int scheme;
    const char *first, *second, *third;
};

TEST_F(BuiltinSchemeTest, EachPatternPutsItsThreeColoursWhereTheRunSays)
{
    const PatternCase cases[] = {
        {SchemeFire, "#880000", "#FF0000", "#FF8800"},
        {SchemeOcean, "#0000FF", "#0088FF", "#00CCFF"},
        {SchemeWoods, "#004400", "#006600", "#00FF00"},
        {SchemeSpooky, "#440044", "#880088", "#FF8800"},
    };
    // Entries 1 to 8: second, first, second, third, third, third, third, first.
    const int slot[8] = {2, 1, 2, 3, 3, 3, 3, 1};
    for (const PatternCase &c : cases) {
        SCOPED_TRACE(SchemeName(c.scheme));
        const char *colours[4] = {nullptr, c.first, c.second, c.third};
        Refresh(c.scheme);
        for (int n = 1; n <= 128; n++)
            ASSERT_EQ(Entry(n), Word(colours[slot[(n - 1) % 8]])) << "entry " << n;
    }
}

TEST_F(BuiltinSchemeTest, OceanStoresItsColoursRedInTheLowByte)
{
    Refresh(SchemeOcean);

    EXPECT_EQ(Entry(1), 0xFF8800u);
    EXPECT_EQ(Entry(2), 0xFF0000u);
    EXPECT_EQ(Entry(4), 0xFFCC00u);
}

TEST_F(BuiltinSchemeTest, WoodsAndSpookySpotChecks)
{
    Refresh(SchemeWoods);
    EXPECT_EQ(Entry(1), 0x006600u);
    EXPECT_EQ(Entry(8), 0x004400u);
    EXPECT_EQ(Entry(100), 0x00FF00u);

    Refresh(SchemeSpooky);
    EXPECT_EQ(Entry(1), 0x880088u);
    EXPECT_EQ(Entry(8), 0x440044u);
    EXPECT_EQ(Entry(100), 0x0088FFu);
}

TEST_F(BuiltinSchemeTest, AFillLeavesEntryZeroAlone)
{
    g_palette.entries[0] = 0x123456;
    Refresh(SchemeFire);
    EXPECT_EQ(Entry(0), 0x123456u);

    g_palette.entries[0] = 0;
    Refresh(SchemeSpooky);
    EXPECT_EQ(Entry(0), 0u);
}

TEST_F(BuiltinSchemeTest, EveryRefreshRestartsTheRotationAtOne)
{
    UseStyle("hardware.appearance: Flat Solid\nhardware.color: #102030\n");
    WriteSettings(kDefaultSettingsFile);
    snprintf(g_settingsPath, sizeof g_settingsPath, "%s", SettingsPath().c_str());
    const int schemes[] = {SchemeManual,
                           SchemeWarm,
                           SchemeCold,
                           SchemeStyle,
                           SchemeFire,
                           SchemeOcean,
                           SchemeWoods,
                           SchemeSpooky,
                           SchemeUser1,
                           SchemeUser2,
                           SchemeUser3,
                           104,
                           3,
                           50,
                           -1};
    for (int scheme : schemes) {
        g_palette.offset = 6;
        Refresh(scheme);
        EXPECT_EQ(g_palette.offset, 1) << "scheme " << scheme;
    }
}

TEST_F(BuiltinSchemeTest, ManualWarmAndColdKeepEveryEntryAsItWas)
{
    const int schemes[] = {SchemeManual, SchemeWarm, SchemeCold};
    for (int scheme : schemes) {
        SCOPED_TRACE(SchemeName(scheme));
        Refresh(SchemeOcean);
        g_palette.entries[3] = Word("#123456"); // as an RGB command sets it
        g_palette.offset = 4;
        Palette before = g_palette;

        Refresh(scheme);

        EXPECT_EQ(Entry(3), Word("#123456"));
        EXPECT_EQ(memcmp(g_palette.entries, before.entries, sizeof before.entries), 0);
        EXPECT_EQ(g_palette.offset, 1);
    }
}

TEST_F(BuiltinSchemeTest, FireThenWarmStillHoldsFire)
{
    Refresh(SchemeFire);
    Palette fire = g_palette;

    Refresh(SchemeWarm);

    EXPECT_EQ(memcmp(g_palette.entries, fire.entries, sizeof fire.entries), 0);
}

TEST_F(BuiltinSchemeTest, ABuiltinSchemeOverwritesColoursSetByHand)
{
    g_palette.entries[7] = Word("#ABCDEF");
    g_palette.entries[128] = Word("#ABCDEF");

    Refresh(SchemeWoods);

    EXPECT_EQ(Entry(7), Word("#00FF00"));
    EXPECT_EQ(Entry(128), Word("#004400"));
}

TEST_F(BuiltinSchemeTest, UnknownSchemeNumbersLeaveThePaletteAlone)
{
    Refresh(SchemeFire);
    Palette fire = g_palette;
    const int schemes[] = {3, 9, 15, 50, 100, -5};
    for (int scheme : schemes) {
        Refresh(scheme);
        EXPECT_EQ(memcmp(g_palette.entries, fire.entries, sizeof fire.entries), 0)
            << "scheme " << scheme;
    }
}

} // namespace
