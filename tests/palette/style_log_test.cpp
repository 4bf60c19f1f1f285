#include <string>
#include <vector>

#include "tests/palette/palette_test_support.h"

namespace
{

class StyleLogTest : public PaletteTest
{
  protected:
    void SetUp() override
    {
        PaletteTest::SetUp();
        UseStyle("hardware.appearance: parentrelative\n"
                 "toolbar.windowLabel.color: #ffffff\n"
                 "toolbar.clock.appearance: Raised Gradient Vertical\n"
                 "toolbar.clock.color: #101010\ntoolbar.clock.colorTo: #202020\n"
                 "toolbar.label.appearance: Flat Solid\ntoolbar.label.color: #303030\n");
    }
};

TEST_F(StyleLogTest, WithDebugOffNothingIsLogged)
{
    Refresh(SchemeStyle);
    Refresh(SchemeUser1);
    Refresh(SchemeUser3 + 1);
    UseStyle("");
    Refresh(SchemeStyle);

    EXPECT_TRUE(testhost::Logs().empty());
}

TEST_F(StyleLogTest, WithDebugOnTheAcceptedItemIsLoggedOnce)
{
    g_settings.debug = true;

    Refresh(SchemeStyle);

    EXPECT_EQ(LogLines(), std::vector<std::string>{
                              "0 Chromalet-LIFX -> Reading color values from the toolbar.clock "
                              "style settings -> 2-color regular gradient detected."});
    EXPECT_EQ(Entry(2), Word("#202020"));
}

TEST_F(StyleLogTest, EachRefreshLogsItsOwnLine)
{
    g_settings.debug = true;

    Refresh(SchemeStyle);
    Refresh(SchemeFire);
    Refresh(SchemeStyle);

    EXPECT_EQ(LogLines().size(), 2u);
}

} // namespace
