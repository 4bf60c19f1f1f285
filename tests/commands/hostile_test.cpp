// Texts no menu would send: format directives, broken quotes, huge tokens,
// empty tokens and random bytes. None may crash the host, do more than its
// words say, or damage the settings file.
#include <string.h>

#include <random>
#include <string>
#include <vector>

#include "commands/commands.h"
#include "palette/palette.h"
#include "plugin/plugin.h"
#include "settings/settings.h"
#include "tests/commands/commands_fixture.h"

namespace
{

const char kInvalid[] = "3 ...invalid IP address specified!";
const char kInvalidColour[] = "3 ...invalid RGB colour \"";

enum What {
    Nothing,        // no effect of any kind
    Writes,         // key's line becomes value; nothing logged
    InvalidAddress, // the invalid-address line, nothing else
    InvalidColour,  // the invalid-colour line, nothing else
    SavesSlot3,     // slot 3 becomes value, written and confirmed
    RemovesSlot3,   // slot 3 emptied, written and confirmed
    LightsLight3,   // light 3 alone receives something; nothing written
    ShowsMenu,
    OpensPage,
    ShowsAbout,
};

struct HostileCase {
    std::string text;
    What what;
    const char *key;
    std::string value;
    bool stripEffect; // the strip in slot 9 is sent the move effect
};

std::vector<HostileCase> HostileCases(const char *address3, const char *address4)
{
    const std::string a3 = address3, a4 = address4;
    return {
        // Format directives in every position.
        {"@LIFX %n%s %n%s %n%s %n%s", Nothing, nullptr, "", false},
        {"@LIFX Show %n%s", Nothing, nullptr, "", false},
        {"@LIFX Device %n%s %s%n", Nothing, nullptr, "", false},
        {"@LIFX Device #%n%s", Nothing, nullptr, "", false},
        {"@LIFX Device #%s", Nothing, nullptr, "", false},
        {"@LIFX Scheme %n%s", Nothing, nullptr, "", false},
        {"@LIFX Scheme Fire%n", Nothing, nullptr, "", false},
        {"@LIFX Power %n%s", Nothing, nullptr, "", false},
        {"@LIFX Power %s Off", Nothing, nullptr, "", false},
        {"@LIFX RGB %n%s #ff0000", Nothing, nullptr, "", false},
        {"@LIFX RGB 3 %n%s", Nothing, nullptr, "", false},
        {"@LIFX White %n%s 50 4000", Nothing, nullptr, "", false},
        {"@LIFX White 3 %n%s", Nothing, nullptr, "", false},
        {"@LIFX Calibration %n%s 50", Nothing, nullptr, "", false},
        {"@LIFX Calibration %s", Nothing, nullptr, "", false},
        {"@LIFX Toggle %n%s %s", Nothing, nullptr, "", false},
        {"@LIFX Toggle Cycle %n%s", Nothing, nullptr, "", false},
        {"@LIFX Toggle %n Colors", Nothing, nullptr, "", false},
        {"@LIFX Cycle %n%s 5", Nothing, nullptr, "", false},
        {"@LIFX Movement %s%n 5", Nothing, nullptr, "", false},
        {"@LIFX Edit %n%s", Nothing, nullptr, "", false},
        {"@LIFX %n%s Devices", Nothing, nullptr, "", false},
        {"%s%n@LIFX Show Menu", Nothing, nullptr, "", false},
        {"@%n%s LIFX Show Menu", Nothing, nullptr, "", false},
        {"@LIFX Calibration R %n%s", Nothing, nullptr, "", false},
        {"@LIFX Calibration B%n%s 42", Writes, "lifx.calibration.blue:", "42", false},
        {"@LIFX Cycle Interval %s%n", Nothing, nullptr, "", false},
        {"@LIFX Cycle Interval 6%n%s", Nothing, nullptr, "", false},
        {"@LIFX Movement Speed %n%s", Nothing, nullptr, "", false},
        {"@LIFX Toggle Auto Power %n%s", Writes, "lifx.auto.power:", "true", false},
        {"@LIFX Device #3 %n%s", InvalidAddress, nullptr, "", false},
        {"@LIFX Device #%n%s %s%n", InvalidAddress, nullptr, "", false},
        {"@LIFX Device #3 127.0.0.1%n", InvalidAddress, nullptr, "", false},
        {"@LIFX Device #3 \"%n%s 127.0.0.1\"", InvalidAddress, nullptr, "", false},
        {"@LIFX Device #3%n%s " + a4, Nothing, nullptr, "", false},
        {"@LIFX RGB 3 #%n%s", InvalidColour, nullptr, "", false},
        {"@LIFX RGB 3%n%s #00ff00", Nothing, nullptr, "", false},
        {"@LIFX White 3 %n%s %s%n", Nothing, nullptr, "", false},
        {"@LIFX White 3%s 50%n 4000%n%s", Nothing, nullptr, "", false},
        {"@LIFX White 3 50 4000%n%s", Nothing, nullptr, "", false},
        {"@LIFX Show Menu %n%s %s", ShowsMenu, nullptr, "", false},
        {"@LIFX%n%s Show Menu", ShowsMenu, nullptr, "", false},
        {"@LIFX Documentation %n%s", OpensPage, nullptr, "", false},
        {"@LIFX Protocol %s %n %s", OpensPage, nullptr, "", false},
        {"@LIFX Edit Devices %n%s", OpensPage, nullptr, "", false},
        {"@LIFX About %n%s %s %n %s", ShowsAbout, nullptr, "", false},
        // Unbalanced and misplaced quotes.
        {"@LIFX \"Show Menu", Nothing, nullptr, "", false},
        {"@LIFX \"Scheme Fire\"", Nothing, nullptr, "", false},
        {"@LIFX Scheme \"Fire Ocean\"", Nothing, nullptr, "", false},
        {"@LIFX Toggle \"Auto Power", Nothing, nullptr, "", false},
        // The number token holds the address too: no slot is named.
        {"@LIFX Device \"#3 127.0.0.1\"", Nothing, nullptr, "", false},
        {"\"@LIFX Show Menu\"", Nothing, nullptr, "", false},
        {"@LIFX Scheme \"Manual", Writes, "lifx.color.scheme:", "Manual", true},
        {"@LIFX Cycle Interval \"7", Writes, "lifx.cycle.interval:", "7", false},
        {"@LIFX Calibration \"G\" \"33", Writes, "lifx.calibration.green:", "33", false},
        {"@LIFX Device #3 \"127.0.0.1", SavesSlot3, nullptr, "127.0.0.1", false},
        {"@LIFX Device #3 \"" + a3 + " \"\"\"", InvalidAddress, nullptr, "", false},
        // Empty tokens.
        {"@LIFX \"\" Show Menu", Nothing, nullptr, "", false},
        {"@LIFX Show \"\" Menu", Nothing, nullptr, "", false},
        {"@LIFX \"\" \"\" \"\" \"\"", Nothing, nullptr, "", false},
        {"@LIFX Calibration R \"\"", Nothing, nullptr, "", false},
        {"@LIFX White 3 \"\" 4000", Nothing, nullptr, "", false},
        {"@LIFX Cycle Interval \"\"", Nothing, nullptr, "", false},
        {"@LIFX Movement Speed \"\"", Nothing, nullptr, "", false},
        {"@LIFX RGB 3 \"\"", Nothing, nullptr, "", false},
        {"@LIFX Device \"\" " + a4, Nothing, nullptr, "", false},
        {"@LIFX Device #3 \"\"", RemovesSlot3, nullptr, "", false},
        // The remainder is the raw rest of the text: two quote marks are no number.
        {"@LIFX White 3 50 \"\"", Nothing, nullptr, "", false},
        {"@LIFX White 3 50 4000", LightsLight3, nullptr, "", false},
        // A lone prefix.
        {"@LIFX", Nothing, nullptr, "", false},
        {"@LIFX ", Nothing, nullptr, "", false},
        {"@lifx\t\t", Nothing, nullptr, "", false},
        {"@Chromalet-LIFX", Nothing, nullptr, "", false},
        {"@LIFXBulbs", Nothing, nullptr, "", false},
        {"", Nothing, nullptr, "", false},
        // Texts and tokens beyond every buffer.
        {"@LIFX " + std::string(5000, 'A'), Nothing, nullptr, "", false},
        {"@LIFX Scheme " + std::string(5000, 'x'), Nothing, nullptr, "", false},
        {"@LIFX White 3 " + std::string(5000, '9') + " 4000", Nothing, nullptr, "", false},
        {"@LIFX Device #3 " + std::string(5000, '9'), InvalidAddress, nullptr, "", false},
        {"@LIFX Device #3 \"" + a3 + std::string(5000, ' ') + "\"", InvalidAddress, nullptr, "",
         false},
        {"@LIFX Calibration R " + std::string(5000, '0') + "7", Writes,
         "lifx.calibration.red:", "0", false},
        {"@LIFX RGB 3 #" + std::string(5000, 'f'), InvalidColour, nullptr, "", false},
        {"@LIFX Show Menu " + std::string(5000, 'x'), ShowsMenu, nullptr, "", false},
        {"@LIFX About " + std::string(5000, '%'), ShowsAbout, nullptr, "", false},
        {std::string(5000, '@'), Nothing, nullptr, "", false},
    };
}

// The line a typo gets, one at most: the text as typed, never expanded.
bool IsTypoLine(const std::string &line)
{
    return line.rfind("3 ...", 0) == 0;
}

class HostileInputTest : public CommandTest
{
};

TEST_F(HostileInputTest, EachHostileTextDoesOnlyWhatItsWordsSay)
{
    for (const HostileCase &c : HostileCases(Address(3), Address(4))) {
        SCOPED_TRACE("\"" + c.text.substr(0, 60) + (c.text.size() > 60 ? "...\"" : "\""));
        std::vector<SettingLine> lines = LightLines({3, 9});
        lines.push_back({"lifx.color.scheme:", "Manual"});
        WriteFileBytes(Folder() + "Chromalet-LIFX.html", "<!DOCTYPE html>\n");
        Start(lines);
        Settings settings = g_settings;
        Palette palette = g_palette;

        Send(c.text);

        // Settings other than the one written stay as they were.
        std::string file = FileNow();
        switch (c.what) {
        case Writes:
            EXPECT_EQ(file, WithLine(before, c.key, c.value));
            break;
        case SavesSlot3:
            EXPECT_EQ(file, WithLine(before, DeviceKey(3), c.value));
            EXPECT_EQ(std::string(g_devices[3]), c.value);
            EXPECT_EQ(LogLines(), std::vector<std::string>{"1 ...IP address for device #3 saved."});
            break;
        case RemovesSlot3:
            EXPECT_EQ(file, WithLine(before, DeviceKey(3), ""));
            EXPECT_STREQ(g_devices[3], "");
            EXPECT_EQ(LogLines(),
                      std::vector<std::string>{"1 ...IP address for device #3 removed."});
            break;
        default:
            EXPECT_EQ(file, before) << "nothing written";
            EXPECT_STREQ(g_devices[3], Address(3));
            break;
        }
        if (c.what == InvalidAddress) {
            EXPECT_EQ(LogLines(), std::vector<std::string>{kInvalid});
        } else if (c.what == InvalidColour) {
            ASSERT_EQ(LogLines().size(), 1u);
            EXPECT_EQ(LogLines()[0].rfind(kInvalidColour, 0), 0u);
        } else if (c.what != SavesSlot3 && c.what != RemovesSlot3) {
            EXPECT_LE(LogLines().size(), 1u);
            for (const std::string &line : LogLines())
                EXPECT_TRUE(IsTypoLine(line)) << line;
        }
        EXPECT_STREQ(g_devices[9], Address(9));

        EXPECT_EQ(testhost::ShownMenus().size(), c.what == ShowsMenu ? 1u : 0u);
        EXPECT_EQ(testhost::Executions().size(), c.what == OpensPage ? 1u : 0u);
        EXPECT_EQ(testhost::AboutBoxes().size(), c.what == ShowsAbout ? 1u : 0u);
        EXPECT_TRUE(platform::MessageBoxes().empty());
        if (c.what == ShowsAbout && !testhost::AboutBoxes().empty()) {
            EXPECT_EQ(testhost::AboutBoxes()[0].text.find('%'), std::string::npos);
        }

        EXPECT_EQ(Light(3).received.empty(), c.what != LightsLight3);
        EXPECT_EQ(Types(9),
                  c.stripEffect ? std::vector<int>{kTypeSetMultiZoneEffect} : std::vector<int>{});
        EXPECT_EQ(CycleTimerPeriod(), 0u);
        if (c.what != LightsLight3) {
            EXPECT_EQ(memcmp(g_palette.entries, palette.entries, sizeof palette.entries), 0);
        }
        if (c.what == Nothing || c.what == InvalidAddress || c.what == InvalidColour) {
            EXPECT_EQ(g_settings.scheme, settings.scheme);
            EXPECT_EQ(g_settings.calibrationRed, settings.calibrationRed);
            EXPECT_EQ(g_settings.calibrationGreen, settings.calibrationGreen);
            EXPECT_EQ(g_settings.calibrationBlue, settings.calibrationBlue);
            EXPECT_EQ(g_settings.cycleInterval, settings.cycleInterval);
            EXPECT_EQ(g_settings.movementSpeed, settings.movementSpeed);
            EXPECT_EQ(g_settings.cycleColours, settings.cycleColours);
            EXPECT_EQ(g_settings.moveEffect, settings.moveEffect);
            EXPECT_EQ(g_settings.reverseDirection, settings.reverseDirection);
            EXPECT_EQ(g_settings.autoPower, settings.autoPower);
        }
    }
}

// A value as the host's readers give it back: on one line, without the
// blanks at its ends.
std::string AsReadBack(std::string text)
{
    for (char &c : text) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    const char *blanks = " \t";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

std::vector<std::string> SplitLines(const std::string &content)
{
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < content.size()) {
        size_t lf = content.find('\n', at);
        if (lf == std::string::npos)
            lf = content.size();
        lines.push_back(content.substr(at, lf - at));
        at = lf + 1;
    }
    return lines;
}

// Random texts: some entirely random, some a prefix and random words, some
// a verb that writes settings with random arguments. None of the verbs that
// contact the lights gets random arguments: an address stored at random could
// lie outside loopback.
std::vector<std::string> RandomTexts()
{
    std::mt19937 random(20210220);
    auto bytes = [&](size_t n) {
        std::string text;
        for (size_t i = 0; i < n; i++)
            text += (char)(1 + random() % 255);
        return text;
    };
    const char *verbs[] = {"@LIFX Device #3 ",     "@LIFX Device #",
                           "@LIFX Device ",        "@LIFX Calibration ",
                           "@LIFX Calibration R ", "@LIFX Cycle Interval ",
                           "@LIFX Scheme ",        "@LIFX Edit ",
                           "@LIFX Show ",          "@Chromalet-LIFX Device #10 "};
    std::vector<std::string> texts;
    for (int i = 0; i < 300; i++) {
        size_t n = random() % 300;
        switch (i % 3) {
        case 0:
            texts.push_back(bytes(n));
            break;
        case 1:
            texts.push_back("@LIFX " + bytes(n));
            break;
        default:
            texts.push_back(verbs[random() % (sizeof verbs / sizeof verbs[0])] + bytes(n));
            break;
        }
    }
    texts.push_back("@LIFX Device #3 " + bytes(6000));
    texts.push_back("@LIFX " + bytes(9000));
    return texts;
}

TEST_F(HostileInputTest, AfterEveryHostileTextEachSettingsKeyIsStillThereAndReadable)
{
    StartWithoutFile();
    ASSERT_EQ(FileNow(), DefaultSettings());

    std::vector<std::string> texts;
    for (const HostileCase &c : HostileCases(Address(3), Address(4)))
        texts.push_back(c.text);
    // Writes of every kind mixed in, and the address of a quoted text with a
    // line break in it.
    texts.insert(texts.end(),
                 {"@LIFX Scheme fire", "@LIFX Toggle Cycle Colors", "@LIFX Toggle Move Effect",
                  "@LIFX Toggle Move Direction", "@LIFX Calibration G 7",
                  "@LIFX Device #10 \"127.0.0.1\r\n"
                  "lifx.debug: true\"",
                  "@LIFX Device #2 \"127.0.0.2\nuser1.color1: #000000\""});
    std::vector<std::string> random = RandomTexts();
    texts.insert(texts.end(), random.begin(), random.end());

    for (const std::string &text : texts)
        HandleCommand(text.c_str());

    // Every line was logged by the Device or the RGB command, a typo or the
    // Documentation command, and says so exactly.
    for (const std::string &line : LogLines()) {
        bool known = line == kInvalid || IsTypoLine(line) ||
                     line.rfind("3 Chromalet-LIFX -> No user guide in ", 0) == 0;
        for (int n = 1; n <= 10; n++) {
            known = known ||
                    line == "1 ...IP address for device #" + std::to_string(n) + " saved." ||
                    line == "1 ...IP address for device #" + std::to_string(n) + " removed.";
        }
        EXPECT_TRUE(known) << line;
    }

    const std::string file = FileNow();
    const std::vector<std::string> defaultLines = SplitLines(DefaultSettings());
    const std::vector<std::string> lines = SplitLines(file);
    ASSERT_EQ(lines.size(), defaultLines.size()) << "no line added or lost:\n" << file;
    int keys = 0;
    for (size_t i = 0; i < defaultLines.size(); i++) {
        const std::string &line = defaultLines[i];
        size_t colon = line.find(':');
        if (colon == std::string::npos) {
            EXPECT_EQ(lines[i], line) << "line " << i + 1;
            continue;
        }
        keys++;
        const std::string key = line.substr(0, colon + 1);
        EXPECT_EQ(CountKeyLines(file, key), 1) << key;
        EXPECT_EQ(lines[i].substr(0, key.size()), key) << "line " << i + 1;
        // Keys the plug-in never writes keep their lines byte for byte.
        if (key.rfind("user", 0) == 0 || key == "lifx.debug:") {
            EXPECT_EQ(lines[i], line) << "line " << i + 1;
        }
    }
    EXPECT_EQ(keys, 33) << "21 settings and 12 user colours";

    // Read back through the host's readers, the file says what the plug-in
    // holds in memory.
    Settings held = g_settings;
    char devices[kDeviceSlots + 1][kDeviceTextSize];
    memcpy(devices, g_devices, sizeof devices);
    LoadSettings();
    EXPECT_EQ(g_settings.calibrationRed, held.calibrationRed);
    EXPECT_EQ(g_settings.calibrationGreen, held.calibrationGreen);
    EXPECT_EQ(g_settings.calibrationBlue, held.calibrationBlue);
    EXPECT_EQ(g_settings.scheme, held.scheme);
    EXPECT_EQ(g_settings.cycleColours, held.cycleColours);
    EXPECT_EQ(g_settings.cycleInterval, held.cycleInterval);
    EXPECT_EQ(g_settings.moveEffect, held.moveEffect);
    EXPECT_EQ(g_settings.movementSpeed, held.movementSpeed);
    EXPECT_EQ(g_settings.reverseDirection, held.reverseDirection);
    EXPECT_EQ(g_settings.autoPower, held.autoPower);
    EXPECT_FALSE(g_settings.debug);
    for (int n = 1; n <= kDeviceSlots; n++)
        EXPECT_EQ(std::string(g_devices[n]), AsReadBack(devices[n])) << "slot " << n;
    EXPECT_EQ(g_settings.scheme, SchemeFire) << "random texts name no scheme";
}

} // namespace
