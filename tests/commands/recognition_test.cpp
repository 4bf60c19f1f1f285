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
            // What is ours and not understood gets its typo line.
            bool ours = std::string(c.text).rfind("@LIFX ", 0) == 0;
            EXPECT_EQ(LogLines().size(), !c.showsMenu && ours ? 1u : 0u);
            EXPECT_EQ(DatagramsReceived(), 0);
            EXPECT_EQ(CycleTimerPeriod(), 0u);
            EXPECT_TRUE(testhost::Executions().empty());
            EXPECT_TRUE(testhost::AboutBoxes().empty());
            ExpectFileUnchanged();
        }
    }
    EXPECT_EQ(testhost::LiveMenus(), 1) << "each menu replaced the one before";
}

struct TypedCase {
    std::string text;
    std::string line; // the one error line, or "" when the text is taken
    SettingLine written = {};
};

// A typo gets one error line, with the debug setting off, naming what was
// typed (cut short) and what is accepted; nothing else happens. What the menu
// shows and the guide spells is taken, and numbers at their edges clamped.
TEST_F(RecognitionTest, EachTypoGetsOneErrorLineThatNamesWhatIsAccepted)
{
    const std::string schemes = "! Give one of Style, Fire, Ocean, Woods, Spooky, Manual, Warm, "
                                "Cold, User1, User2 or User3.";
    const std::string percent = " is not a number! Give 0 to 100.";
    const std::string slot = "! Give # and a slot, #1 to #10.";
    const TypedCase cases[] = {
        {"@LIFX RGB 2 ff8800", "...invalid RGB colour \"ff8800\"! Give # and 1 to 6 hexadecimal "
                               "digits, red first, such as #FF8800."},
        {"@LIFX Scheme Purple", "...unknown scheme \"Purple\"" + schemes},
        {"@LIFX Scheme User 9", "...unknown scheme \"User 9\"" + schemes},
        {"@LIFX Scheme " + std::string(60, 'x') + "%s",
         "...unknown scheme \"" + std::string(40, 'x') + "\"" + schemes},
        {"@LIFX Calibration red 50",
         "...unknown calibration channel \"red\"! Give R, G or B (upper case)."},
        {"@LIFX Calibration R abc", "...red percent \"abc\"" + percent},
        {"@LIFX Calibration G x", "...green percent \"x\"" + percent},
        {"@LIFX Calibration B 55%", "...blue percent \"55%\"" + percent},
        {"@LIFX Calibration R", "...no red percent given! Give 0 to 100."},
        {"@LIFX Cycle Interval abc",
         "...cycle interval \"abc\" is not a number! Give 1 to 10 seconds."},
        {"@LIFX Movement Speed xyz",
         "...movement speed \"xyz\" is not a number! Give 1 to 60 seconds."},
        {"@LIFX White 9 50 3000",
         "...White sets bulbs only, and #9 is a strip! Give a bulb, 1 to 8, or RGB for a strip."},
        {"@LIFX White 2 abc 4000", "...brightness \"abc\" is not a number! Give 0 to 100 percent."},
        {"@LIFX White 2 50", "...no colour temperature given! Give 2500 to 9000 kelvin."},
        {"@LIFX White 0 50 4000", "...unknown light \"0\"! Give a bulb, 1 to 8."},
        {"@LIFX RGB #3 #ff0000", "...unknown light \"#3\"! Give 1 to 10."},
        {"@LIFX RGB 11 #ff0000", "...unknown light \"11\"! Give 1 to 10."},
        {"@LIFX RGB 10 #ff0000",
         "...no light in slot #10! Give a slot that holds an address in the Devices menu."},
        {"@LIFX Device 3 192.168.1.23", "...unknown light \"3\"" + slot},
        {"@LIFX Device #11 192.168.1.23", "...unknown light \"#11\"" + slot},
        {"@LIFX Dicover", "...unknown command \"Dicover\"! Did you mean \"Discover\"?"},
        {"@LIFX Rainbow", "...unknown command \"Rainbow\"! Give one of Show Menu, Device, "
                          "Scheme, Power, RGB, White, Calibration, Toggle, Cycle Interval, "
                          "Movement Speed, Edit Devices, Documentation, Protocol, About, "
                          "Discover or Brightness."},
        {"@LIFX Toggle AutoPower",
         "...unknown command \"Toggle AutoPower\"! Did you mean \"Toggle Auto Power\"?"},
        {"@LIFX Toggle Cycle", "...unknown command \"Toggle Cycle\"! Give Toggle and one of "
                               "Cycle Colors, Move Effect, Move Direction or Auto Power."},
        {"@LIFX Show Menus", "...unknown command \"Show Menus\"! Give Show Menu."},
        {"@LIFX Power Up", "...unknown command \"Power Up\"! Give Power On or Power Off."},
        {"@LIFX Brightness abc", "...brightness \"abc\" is not a number! Give 1 to 100 percent."},
        {"@LIFX Brightness", "...no brightness given! Give 1 to 100 percent."},
        {"@LIFX Scheme User 1", "", {"lifx.color.scheme:", "User1"}},
        {"@LIFX Calibration R +55", "", {"lifx.calibration.red:", "55"}},
        {"@LIFX Brightness 0", "", {"lifx.brightness:", "1"}},
        {"@LIFX Brightness 101", "", {"lifx.brightness:", "100"}},
        {"@LIFX Brightness 1", "", {"lifx.brightness:", "1"}},
        {"@LIFX Brightness 100", "", {"lifx.brightness:", "100"}},
        {"@LIFX Toggle Cycle Colours", "", {"lifx.cycle.colors:", "true"}},
    };
    Start(LightLines({1, 2, 9}));
    for (const TypedCase &c : cases) {
        SCOPED_TRACE(c.text);
        Forget();
        Send(c.text);
        if (!c.line.empty()) {
            EXPECT_EQ(LogLines(), std::vector<std::string>{"3 " + c.line});
            EXPECT_EQ(DatagramsReceived(), 0);
            ExpectFileUnchanged();
        } else {
            EXPECT_TRUE(LogLines().empty());
            ExpectLineWritten(c.written.first, c.written.second);
        }
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
        // Ours, and not understood: one typo line.
        EXPECT_EQ(LogLines().size(), std::string(text).rfind("@LIFX ", 0) == 0 ? 1u : 0u);
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
