#include <stdio.h>

#include <string>

#include "tests/palette/palette_test_support.h"

namespace
{

class UserSchemeTest : public PaletteTest
{
  protected:
    void SetUp() override
    {
        PaletteTest::SetUp();
        // A first start in a fresh folder writes the default settings file.
        LoadSettings();
        ASSERT_EQ(std::string(g_settingsPath), SettingsPath());
    }
};

TEST_F(UserSchemeTest, User1TakesItsEightDefaultColoursThereAndBack)
{
    const char *first16[16] = {"#ff0000", "#ffff00", "#00ff00", "#00ffff", "#0000ff", "#ff00ff",
                               "#888888", "#444444", "#888888", "#ff00ff", "#0000ff", "#00ffff",
                               "#00ff00", "#ffff00", "#ff0000", "#ffff00"};

    Refresh(SchemeUser1);

    for (int n = 1; n <= 16; n++)
        EXPECT_EQ(Entry(n), Word(first16[n - 1])) << "entry " << n;
    EXPECT_EQ(Entry(1), 0x0000FFu);
    EXPECT_EQ(Entry(14), 0x00FFFFu);
    for (int n = 17; n <= 128; n++)
        EXPECT_EQ(Entry(n), Entry(n - 14)) << "entry " << n;
    EXPECT_EQ(g_palette.offset, 1);
}

TEST_F(UserSchemeTest, User2ReadsEightColoursThoughTheFileHasTwo)
{
    Refresh(SchemeFire);

    Refresh(SchemeUser2);

    EXPECT_EQ(Entry(1), Word("#000088"));
    EXPECT_EQ(Entry(2), Word("#0000ff"));
    for (int n = 3; n <= 13; n++)
        EXPECT_EQ(Entry(n), 0u) << "entry " << n; // colours 3 to 8 and back
    EXPECT_EQ(Entry(14), Word("#0000ff"));
    EXPECT_EQ(Entry(15), Word("#000088"));
    EXPECT_EQ(Entry(16), Word("#0000ff"));
    for (int n = 17; n <= 128; n++)
        ASSERT_EQ(Entry(n), Entry(n - 14)) << "entry " << n;
}

TEST_F(UserSchemeTest, User3TakesItsTwoColoursFromTheSettingsFileNotTheStyle)
{
    UseStyle("user3.color1: #123456\nuser3.color2: #654321\n");

    Refresh(SchemeUser3);

    EXPECT_EQ(Entry(1), Word("#880000"));
    EXPECT_EQ(Entry(2), Word("#ff0000"));
    EXPECT_EQ(Entry(15), Word("#880000"));
}

TEST_F(UserSchemeTest, AUserSchemeWithoutAnyColoursIsStillTakenNotCleared)
{
    WriteSettings("lifx.color.scheme: User1\n");
    Refresh(SchemeOcean);

    Refresh(SchemeUser1);

    for (int n = 1; n <= 128; n++)
        ASSERT_EQ(Entry(n), 0u) << "entry " << n;
}

TEST_F(UserSchemeTest, AParentRelativeUserAppearanceDoesNotRejectIt)
{
    WriteSettings("user2.appearance: parentrelative\nuser2.color1: #010203\n");

    Refresh(SchemeUser2);

    EXPECT_EQ(Entry(1), Word("#010203"));
    EXPECT_EQ(Entry(2), 0u);
}

TEST_F(UserSchemeTest, AUserAppearanceOfSolidOrSplitChoosesThoseKinds)
{
    WriteSettings("user1.appearance: Flat Solid\nuser1.color: #0a0a0a\nuser1.color1: #ffffff\n"
                  "user2.appearance: SplitVertical\nuser2.color: #010101\n"
                  "user2.colorTo: #020202\nuser2.color3: #030303\nuser2.color4: #040404\n");

    Refresh(SchemeUser1);
    for (int n = 1; n <= 32; n++)
        ASSERT_EQ(Entry(n), Word("#0a0a0a")) << "entry " << n;

    Refresh(SchemeUser2);
    EXPECT_EQ(Entry(1), Word("#010101"));
    EXPECT_EQ(Entry(2), Word("#020202"));
    EXPECT_EQ(Entry(4), Word("#040404"));
    EXPECT_EQ(Entry(5), Word("#030303"));
}

TEST_F(UserSchemeTest, TheUserSchemesLogWhichColoursTheyRead)
{
    g_settings.debug = true;

    Refresh(SchemeUser1);

    EXPECT_EQ(LogLines(), std::vector<std::string>{"0 Chromalet-LIFX -> Reading color values "
                                                   "from the user1 style settings -> 8-color "
                                                   "super gradient detected."});
}

} // namespace

namespace
{

class UserSchemeWithoutSettingsFileTest : public PluginTest
{
};

TEST_F(UserSchemeWithoutSettingsFileTest, ReadsNeitherTheStyleNorAnythingElse)
{
    std::string style = Folder() + "style.rc";
    WriteFileBytes(style, "user1.appearance: Solid\nuser1.color: #00ff00\n");
    testhost::SetStylePath(style.c_str());
    g_settingsPath[0] = 0;
    g_palette.entries[1] = 0x123456;
    g_settings.scheme = SchemeUser1;
    RefreshPalette();
    EXPECT_EQ(g_palette.entries[1], 0x123456u);
    EXPECT_EQ(g_palette.offset, 1);
}

} // namespace
