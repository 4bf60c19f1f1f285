// The colours the preview paints must be the ones the plug-in meant: a
// palette colour, turned into a light's colour record by the plug-in, comes
// back as (nearly) the calibrated colour it started from.
#include <stdlib.h>

#include <gtest/gtest.h>

#include "tools/preview/display_colour.h"

namespace
{

using preview::DisplayRgb;
using preview::Rgb;

struct Case {
    const char *what;
    Hsbk record; // as the plug-in sends it
    Rgb expected;
};

// Records worked out by hand from the plug-in's conversion, with the
// default calibration 80/100/95 unless said otherwise.
const Case kCases[] = {
    {"Fire's red #FF0000 (calibrated 204, 0, 0)", {0, 65535, 25957, 9000}, {204, 0, 0}},
    {"Fire's dark red #880000 (108, 0, 0)", {0, 65535, 12850, 9000}, {108, 0, 0}},
    {"Fire's orange #FF8800 (204, 136, 0)", {7281, 65535, 38550, 9000}, {204, 136, 0}},
    {"Ocean's #0088FF (0, 136, 242)", {37500, 65535, 34695, 9000}, {0, 136, 242}},
    {"full green, no calibration", {21845, 65535, 56540, 9000}, {0, 255, 0}},
    {"full blue, no calibration: dark by luminance", {43690, 65535, 19532, 9000}, {0, 0, 255}},
    {"grey #888888, no calibration", {0, 0, 34952, 9000}, {136, 136, 136}},
};

TEST(DisplayColour, PaletteColoursComeBackAsTheCalibratedColour)
{
    for (const Case &c : kCases) {
        Rgb shown = DisplayRgb(c.record);
        // Greys take the 9000 K tint: a little blue; colours within 2 steps.
        int tolerance = c.record.saturation == 0 ? 40 : 2;
        EXPECT_LE(abs(shown.r - c.expected.r), tolerance) << c.what;
        EXPECT_LE(abs(shown.g - c.expected.g), tolerance) << c.what;
        EXPECT_LE(abs(shown.b - c.expected.b), tolerance) << c.what;
    }
}

TEST(DisplayColour, WhiteLightIsTintedByItsTemperature)
{
    Rgb warm = DisplayRgb(Hsbk{0, 0, 21845, 3000});
    Rgb cold = DisplayRgb(Hsbk{0, 0, 21845, 9000});
    EXPECT_GT(warm.r, warm.g);
    EXPECT_GT(warm.g, warm.b);
    EXPECT_GT(cold.b, cold.r);
    // The Warm and Cold schemes' brightness, a third: neither black nor
    // bright.
    EXPECT_GT(warm.r, 60);
    EXPECT_LT(warm.r, 200);
}

TEST(DisplayColour, BrightnessZeroIsBlack)
{
    EXPECT_EQ(preview::Hex(DisplayRgb(Hsbk{7281, 65535, 0, 9000})), "#000000");
    EXPECT_EQ(preview::Hex(DisplayRgb(Hsbk{0, 0, 0, 3000})), "#000000");
}

TEST(DisplayColour, NumbersAreThoseOfThePluginsOwnLogLine)
{
    // "   -> H 30° / S 100% / L 64%" for #FF8000 without calibration.
    preview::DisplayNumbers orange = preview::Numbers(Hsbk{5461, 65535, 42148, 9000});
    EXPECT_EQ(orange.degrees, 30);
    EXPECT_EQ(orange.saturation, 100);
    EXPECT_EQ(orange.brightness, 64);
    // "H 164° / S 20% / L 96%" for white under 80/100/95.
    preview::DisplayNumbers white = preview::Numbers(Hsbk{29854, 13107, 62965, 9000});
    EXPECT_EQ(white.degrees, 164);
    EXPECT_EQ(white.saturation, 20);
    EXPECT_EQ(white.brightness, 96);
}

TEST(DisplayColour, FadesMixFromTheOldColourToTheNew)
{
    Rgb from = {0, 0, 0}, to = {200, 100, 50};
    EXPECT_EQ(preview::Mix(from, to, 0), from);
    EXPECT_EQ(preview::Mix(from, to, 1), to);
    EXPECT_EQ(preview::Mix(from, to, 0.5), (Rgb{100, 50, 25}));
}

} // namespace
