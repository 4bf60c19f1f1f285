// The "RGB" and "White" commands: one light set by hand.
#include <string.h>

#include <string>
#include <vector>

#include "lifx/colour.h"
#include "palette/palette.h"
#include "settings/settings.h"
#include "tests/commands/commands_fixture.h"

namespace
{

class SingleLightTest : public CommandTest
{
  protected:
    void StartWith(const char *scheme, bool cycling)
    {
        std::vector<SettingLine> lines = LightLines({1, 2, 3, 8, 9, 10});
        lines.push_back({"lifx.color.scheme:", scheme});
        lines.push_back({"lifx.cycle.colors:", cycling ? "true" : "false"});
        lines.push_back({"lifx.cycle.interval:", "4"});
        Start(lines);
        // Distinct colours, so that a stray write shows.
        for (int i = 1; i < kPaletteEntries; i++)
            g_palette.entries[i] = (uint32_t)(0x102030 + i);
    }
    // Only light n received anything, and it is what `expected` says.
    void ExpectOnlyLight(int n, const std::vector<int> &expected)
    {
        for (int m = 1; m <= 10; m++) {
            const std::vector<int> none;
            EXPECT_EQ(Types(m), m == n ? expected : none) << "light " << m;
        }
    }
};

const long kNone = -1;

struct RgbCase {
    const char *scheme;
    bool cycling;
    const char *text;
    int slot;
    long word;                  // the palette word stored, or kNone when nothing happens
    bool invalidColour = false; // the one line that says so, nothing else
};

TEST_F(SingleLightTest, RgbStoresThePaletteEntryAndSendsItToThatLightOnly)
{
    const RgbCase cases[] = {
        {"Manual", false, "@LIFX RGB 2 #ff8000", 2, 0x0080FF},
        {"Manual", true, "@LIFX RGB 2 #ff8000", 2, 0x0080FF},
        {"Fire", true, "@LIFX RGB 2 #ff8000", 2, kNone},
        {"Fire", false, "@LIFX RGB 2 #ff8000", 2, 0x0080FF},
        {"Warm", true, "@LIFX RGB 2 #ff8000", 2, kNone},
        {"Warm", false, "@LIFX RGB 2 #ff8000", 2, 0x0080FF},
        {"Manual", false, "@LIFX RGB 2 ff8000", 2, kNone, true},
        {"Manual", false, "@LIFX RGB 11 #ffffff", 11, kNone},
        {"Manual", false, "@LIFX RGB 0 #ffffff", 0, kNone},
        {"Manual", false, "@LIFX RGB #ffffff", 0, kNone},
        {"Manual", false, "@LIFX RGB 2", 2, kNone},
        {"Manual", false, "@lifx rgb 1 #ABCDEF", 1, 0xEFCDAB},
        {"Manual", false, "@LIFX RGB 10 #00ff00", 10, 0x00FF00},
        {"Manual", false, "@LIFX RGB 9 #0000ff", 9, 0xFF0000},
        {"Manual", false, "@LIFX RGB 3 #fff", 3, 0xFF0F00},
        {"Manual", false, "@LIFX RGB 3 #f", 3, 0x0F0000},
        // Anything but 1 to 6 hexadecimal digits is a typo, not black.
        {"Manual", false, "@LIFX RGB 3 #zz", 3, kNone, true},
        {"Manual", false, "@LIFX RGB 3 #", 3, kNone, true},
        {"Manual", false, "@LIFX RGB 3 #1ff8000", 3, kNone, true},
        {"Manual", false, "@LIFX RGB 3 #123456789", 3, kNone, true},
        {"Manual", false, "@LIFX RGB 3 #-ff8000", 3, kNone, true},
        {"Manual", false, "@LIFX RGB 3 #+ff8000", 3, kNone, true},
        {"Manual", false, "@LIFX RGB 3 #0xff80", 3, kNone, true},
        {"Manual", false, "@LIFX RGB 3 \"# ff8000\"", 3, kNone, true},
        {"Manual", false, "@LIFX RGB 3 #ff8000zz", 3, kNone, true},
        {"Manual", false, "@LIFX RGB 11 #zz", 11, kNone, true},
        {"Fire", true, "@LIFX RGB 3 #zz", 3, kNone},
        {"Manual", false, "@LIFX RGB 3abc #abcdef", 3, kNone},
        {"Manual", false, "@LIFX RGB 8 #000000", 8, 0},
    };
    for (const RgbCase &c : cases) {
        SCOPED_TRACE(std::string(c.text) + " under " + c.scheme +
                     (c.cycling ? " with cycling" : " without cycling"));
        StartWith(c.scheme, c.cycling);
        Palette palette = g_palette;

        Send(c.text);

        if (c.word != kNone)
            palette.entries[c.slot] = (uint32_t)c.word;
        for (int i = 0; i < kPaletteEntries; i++)
            EXPECT_EQ(g_palette.entries[i], palette.entries[i]) << "entry " << i;
        EXPECT_EQ(g_palette.offset, palette.offset);
        ExpectFileUnchanged();
        // Whatever is refused gets one line; a colour's names the colour.
        EXPECT_EQ(LogLines().size(), c.word == kNone ? 1u : 0u);
        if (c.invalidColour && !LogLines().empty()) {
            EXPECT_EQ(LogLines()[0].rfind("3 ...invalid RGB colour \"", 0), 0u);
        }
        if (c.word == kNone) {
            EXPECT_EQ(DatagramsReceived(), 0);
        } else if (c.word == 0) {
            // Black switches the light off.
            ExpectOnlyLight(c.slot, {kTypeSetLightPower});
            EXPECT_EQ(Light(c.slot).powerLevel, 0);
        } else {
            ExpectOnlyLight(c.slot, {kTypeSetLightPower, kTypeSetColor});
            EXPECT_EQ(Light(c.slot).powerLevel, 65535);
            Hsbk want = RgbToHsbk((uint32_t)c.word, 80, 100, 95).hsbk;
            EXPECT_EQ(Light(c.slot).colour.hue, want.hue);
            EXPECT_EQ(Light(c.slot).colour.saturation, want.saturation);
            EXPECT_EQ(Light(c.slot).colour.brightness, want.brightness);
            EXPECT_EQ(Light(c.slot).colour.kelvin, want.kelvin);
            EXPECT_EQ(Light(c.slot).colourDuration, 0u) << "no fade without cycling";
        }
    }
}

struct WhiteCase {
    const char *scheme;
    bool cycling;
    const char *text;
    int slot;
    int brightness; // or kNone when nothing happens
    int kelvin;
};

TEST_F(SingleLightTest, WhiteSetsBrightnessAndTemperatureWithinTheirLimits)
{
    const WhiteCase cases[] = {
        {"Manual", false, "@LIFX White 3 50 4000", 3, 32768, 4000},
        {"Manual", false, "@LIFX White 3 150 12000", 3, 65535, 9000},
        {"Manual", false, "@LIFX White 3 -20 1000", 3, 0, 2500},
        {"Manual", false, "@LIFX White 9 50 4000", 9, kNone, 0},
        {"Manual", false, "@LIFX White 10 50 4000", 10, kNone, 0},
        {"Manual", false, "@LIFX White 0 50 4000", 0, kNone, 0},
        {"Manual", false, "@LIFX White 3 50", 3, kNone, 0},
        {"Manual", false, "@LIFX White 3", 3, kNone, 0},
        {"Manual", false, "@LIFX White 8 100 2500", 8, 65535, 2500},
        {"Manual", false, "@LIFX White 1 1 9000", 1, 655, 9000},
        {"Manual", false, "@LIFX White 2 33 4000 kelvin please", 2, kNone, 0},
        {"Manual", false, "@LIFX White 2 33 4000  ", 2, 21627, 4000},
        {"Manual", false, "@LIFX White 3 abc 4000", 3, kNone, 0},
        {"Manual", false, "@lifx white 3 0 2499", 3, 0, 2500},
        {"Manual", false, "@LIFX White 3 100 9001", 3, 65535, 9000},
        {"Manual", true, "@LIFX White 3 50 4000", 3, 32768, 4000},
        {"Fire", false, "@LIFX White 3 50 4000", 3, 32768, 4000},
        {"Fire", true, "@LIFX White 3 50 4000", 3, kNone, 0},
        {"Cold", true, "@LIFX White 3 50 4000", 3, kNone, 0},
    };
    for (const WhiteCase &c : cases) {
        SCOPED_TRACE(std::string(c.text) + " under " + c.scheme +
                     (c.cycling ? " with cycling" : " without cycling"));
        StartWith(c.scheme, c.cycling);
        Palette palette = g_palette;

        Send(c.text);

        EXPECT_EQ(memcmp(&g_palette, &palette, sizeof palette), 0) << "the palette is unchanged";
        ExpectFileUnchanged();
        // Whatever is refused gets one line, the typo table's.
        EXPECT_EQ(LogLines().size(), c.brightness == kNone ? 1u : 0u);
        if (c.brightness == kNone) {
            EXPECT_EQ(DatagramsReceived(), 0);
            continue;
        }
        ExpectOnlyLight(c.slot, {kTypeSetLightPower, kTypeSetColor});
        EXPECT_EQ(Light(c.slot).powerLevel, 65535);
        EXPECT_EQ(Light(c.slot).colour.hue, 0);
        EXPECT_EQ(Light(c.slot).colour.saturation, 0);
        EXPECT_EQ(Light(c.slot).colour.brightness, c.brightness);
        EXPECT_EQ(Light(c.slot).colour.kelvin, c.kelvin);
        EXPECT_EQ(Light(c.slot).colourDuration, 0u);
    }
}

} // namespace
