#include <string>

#include "tests/palette/palette_test_support.h"

namespace
{

class HostileStyleTest : public PaletteTest
{
};

TEST_F(HostileStyleTest, AnAppearanceLongerThanItsBufferIsCutNotOverrun)
{
    g_settings.debug = true;
    UseStyle("hardware.appearance: Flat Solid " + std::string(6000, 'q') +
             "\nhardware.color: #112233\n");

    Refresh(SchemeStyle);

    EXPECT_EQ(Entry(1), Word("#112233"));
    EXPECT_EQ(Entry(32), Word("#112233"));
    EXPECT_EQ(LogLines().size(), 1u);
}

TEST_F(HostileStyleTest, ALongBareAppearanceAndLongColoursDoNoHarm)
{
    g_settings.debug = true;
    std::string junk(9000, '#');
    UseStyle("toolbar.appearance:\ntoolbar: SuperGradient " + std::string(5000, 'S') + "\n" +
             "toolbar.color1: " + junk + "\ntoolbar.color2: #" + std::string(5000, 'f') + "\n" +
             "toolbar.color3: #0000ff\n");

    Refresh(SchemeStyle);

    EXPECT_EQ(g_palette.offset, 1);
    EXPECT_EQ(Entry(3), Word("#0000ff"));
    EXPECT_EQ(LogLines().size(), 1u);
}

TEST_F(HostileStyleTest, AStylePathFarLongerThanAPathIsHarmless)
{
    Refresh(SchemeFire);
    std::string path = Folder() + std::string(5000, 'p');
    testhost::SetStylePath(path.c_str());
    testhost::SetVersion("Other Shell 2.0");

    Refresh(SchemeStyle);

    for (int n = 0; n <= 128; n++)
        ASSERT_EQ(Entry(n), 0u) << "entry " << n;
}

TEST_F(HostileStyleTest, AVersionTextLongerThanItsBufferIsCutNotOverrun)
{
    UseStyle("menu.title.appearance: Flat Solid\nmenu.title.color: #445566\n");
    const std::string versions[] = {std::string(5000, 'v') + " vesk",
                                    "vesk " + std::string(5000, 'v'), std::string(259, 'x'),
                                    std::string(260, 'y')};
    for (const std::string &version : versions) {
        testhost::SetVersion(version.c_str());
        g_palette.entries[1] = 0;
        Refresh(SchemeStyle);
        EXPECT_EQ(Entry(1), Word("#445566")) << version.size();
    }
}

} // namespace
