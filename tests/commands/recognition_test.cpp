// Which texts the plug-in takes for its own, and the limits on their length.
#include <string>

#include "commands/commands.h"
#include "palette/palette.h"
#include "plugin/plugin.h"
#include "settings/settings.h"
#include "tests/commands/commands_fixture.h"

namespace
{

class RecognitionTest : public CommandTest
{
};

struct PrefixCase {
    const char *text;
    bool showsMenu;
};

TEST_F(RecognitionTest, OnlyTextsBeginningWithEitherPrefixAreCarriedOut)
{
    const PrefixCase cases[] = {
        {"@lifx show menu", true},           {"@LIFX Show Menu", true},
        {"@LIFXBulbs Show Menu", true},      {"@Chromalet-LIFX Show Menu", true},
        {"@chromalet-lifx SHOW MENU", true}, {"@Chromalet-LIFX2 Show Menu", true},
        {"@LIFX\tShow\tMenu", true},         {"@LIFX Show Menu and more", true},
        {"@Chromalet Show Menu", false},     {"LIFX Show Menu", false},
        {" @LIFX Show Menu", false},         {"@LIF Show Menu", false},
        {"@Chromalet-LIF Show Menu", false}, {"Show Menu", false},
        {"@LIFXShow Menu", false},           {"@LIFX Show", false},
        {"@LIFX Show Menus", false},         {"@LIFX Menu Show", false},
        {"@LIFX ShowMenu", false},           {"", false},
    };
    Start(LightLines({1, 9}));
    for (bool throughWindow : {true, false}) {
        for (const PrefixCase &c : cases) {
            SCOPED_TRACE(std::string("\"") + c.text + "\"" +
                         (throughWindow ? " through the window" : " to HandleCommand"));
            Forget();
            if (throughWindow)
                Send(c.text);
            else
                Run(c.text);
            EXPECT_EQ(testhost::ShownMenus().size(), c.showsMenu ? 1u : 0u);
            EXPECT_TRUE(LogLines().empty());
            EXPECT_EQ(DatagramsReceived(), 0);
            EXPECT_EQ(CycleTimerPeriod(), 0u);
            EXPECT_TRUE(testhost::Executions().empty());
            EXPECT_TRUE(testhost::AboutBoxes().empty());
            ExpectFileUnchanged();
        }
    }
    EXPECT_EQ(testhost::LiveMenus(), 1) << "each menu replaced the one before";
}

// A typo gets one error line, with the debug setting off, naming what was
// typed (cut short) and what is accepted; nothing else happens.
TEST_F(RecognitionTest, EachTypoGetsOneErrorLineThatNamesWhatIsAccepted)
{
    const std::string schemes = "! Give one of Style, Fire, Ocean, Woods, Spooky, Manual, Warm, "
                                "Cold, User1, User2 or User3.";
    const std::string channels = "! Give R, G or B (upper case).";
    const std::pair<std::string, std::string> cases[] = {
        {"@LIFX RGB 2 ff8800", "...invalid RGB colour specified!"},
        {"@LIFX Scheme Purple", "...unknown scheme \"Purple\"" + schemes},
        {"@LIFX Scheme " + std::string(60, 'x') + "%s",
         "...unknown scheme \"" + std::string(40, 'x') + "\"" + schemes},
        {"@LIFX Calibration red 50", "...unknown calibration channel \"red\"" + channels},
        {"@LIFX White 9 50 3000",
         "...White sets bulbs only, and #9 is a strip! Give a bulb, 1 to 8, or RGB for a strip."},
    };
    Start(LightLines({1, 9}));
    for (const auto &c : cases) {
        SCOPED_TRACE(c.first);
        Forget();
        Send(c.first);
        EXPECT_EQ(LogLines(), std::vector<std::string>{"3 " + c.second});
        EXPECT_EQ(DatagramsReceived(), 0);
        ExpectFileUnchanged();
    }
}

TEST_F(RecognitionTest, OtherTextsChangeNothingWhateverTheyAsk)
{
    Start(LightLines({1, 3, 9}));
    const char *texts[] = {
        "@Chromalet Scheme Fire",
        "LIFX Device #3",
        "Chromalet-LIFX Power Off",
        "@LIF Toggle Cycle Colors",
        "#LIFX Cycle Interval 3",
        "@Chromalet-LIF Calibration R 5",
        "\"@LIFX\" Toggle Auto Power",
        "@LIFX Schemes Fire",
        "@LIFX Sheme Fire",
        "@LIFX Rainbow",
        "@LIFX Fire Scheme",
        "@LIFX #3 Device",
    };
    Settings settings = g_settings;
    for (const char *text : texts) {
        SCOPED_TRACE(text);
        Forget();
        Send(text);
        ExpectFileUnchanged();
        EXPECT_TRUE(LogLines().empty());
        EXPECT_EQ(DatagramsReceived(), 0);
        EXPECT_EQ(CycleTimerPeriod(), 0u);
        EXPECT_STREQ(g_devices[3], Address(3));
    }
    EXPECT_EQ(g_settings.scheme, settings.scheme);
    EXPECT_EQ(g_settings.cycleInterval, settings.cycleInterval);
    EXPECT_EQ(g_settings.calibrationRed, settings.calibrationRed);
    EXPECT_EQ(g_settings.autoPower, settings.autoPower);
    EXPECT_EQ(g_settings.cycleColours, settings.cycleColours);
}

// A text of exactly n characters: prefix, blanks, then tail.
std::string Padded(const std::string &prefix, const std::string &tail, size_t n)
{
    return prefix + std::string(n - prefix.size() - tail.size(), ' ') + tail;
}

TEST_F(RecognitionTest, TextLongerThan4095CharactersIsCutBeforeTokenizing)
{
    Start();
    // The 4096th character and all after it are dropped: "79" reads as 7.
    std::string cutNumber = Padded("@LIFX Cycle Interval", "7", 4095) + "9";
    Forget();
    Run(cutNumber);
    EXPECT_EQ(g_settings.cycleInterval, 7);
    ExpectLineWritten("lifx.cycle.interval:", "7");

    // 4095 characters are kept whole.
    Forget();
    Run(Padded("@LIFX Cycle Interval", "8", 4095));
    EXPECT_EQ(g_settings.cycleInterval, 8);
    ExpectLineWritten("lifx.cycle.interval:", "8");

    // "Fire" cut to "Fir" names no scheme.
    Forget();
    Run(Padded("@LIFX Scheme", "Fir", 4095) + "e");
    EXPECT_EQ(g_settings.scheme, SchemeStyle);
    ExpectFileUnchanged();

    // A prefix token that fills the buffer leaves no verb.
    Forget();
    Run("@LIFX" + std::string(5000, 'x') + " Show Menu");
    EXPECT_TRUE(testhost::ShownMenus().empty());
    ExpectFileUnchanged();

    // A verb pushed beyond the limit is not seen.
    Forget();
    Run(std::string("@LIFX") + std::string(4090, ' ') + "Toggle Auto Power");
    EXPECT_FALSE(g_settings.autoPower);
    ExpectFileUnchanged();
}

} // namespace
