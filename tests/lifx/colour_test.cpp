// The colour a light is asked to show for a palette colour and calibration.
#include <stdint.h>

#include <gtest/gtest.h>

#include "lifx/colour.h"

namespace
{

struct ConversionCase {
    uint32_t colour; // 0x00BBGGRR
    int calRed, calGreen, calBlue;
    uint16_t hue, saturation, brightness;
    int h, s, l;
};

// Palette words are blue-green-red: #FF8000 is 0x000080FF.
const ConversionCase kConversions[] = {
    {0x000000FF, 100, 100, 100, 0, 65535, 32896, 0, 100, 50},
    {0x000000FF, 80, 100, 95, 0, 65535, 25957, 0, 100, 39},
    {0x000080FF, 100, 100, 100, 5461, 65535, 42148, 30, 100, 64},
    {0x0000FF00, 100, 100, 100, 21845, 65535, 56540, 120, 100, 86},
    {0x00FF0000, 100, 100, 100, 43690, 65535, 19532, 240, 100, 29},
    {0x0000FFFF, 80, 100, 95, 13107, 65535, 60909, 72, 100, 92},
    {0x00FFFFFF, 100, 100, 100, 0, 0, 65535, 0, 0, 100},
    {0x00FFFFFF, 80, 100, 95, 29854, 13107, 62965, 164, 20, 96},
    {0x00888888, 100, 100, 100, 0, 0, 34952, 0, 0, 53},
    {0x00000001, 100, 100, 100, 0, 65535, 257, 0, 100, 0},
    {0x00000000, 100, 100, 100, 0, 0, 0, 0, 0, 0},
    {0x00000000, 80, 100, 95, 0, 0, 0, 0, 0, 0},
    {0x00000000, 0, 0, 0, 0, 0, 0, 0, 0, 0},
};

TEST(ColourConversion, PaletteColoursBecomeTheExpectedLightColours)
{
    for (const ConversionCase &c : kConversions) {
        SCOPED_TRACE(testing::Message()
                     << "colour 0x" << std::hex << c.colour << std::dec << " calibration "
                     << c.calRed << "/" << c.calGreen << "/" << c.calBlue);
        Conversion out = RgbToHsbk(c.colour, c.calRed, c.calGreen, c.calBlue);
        EXPECT_EQ(c.hue, out.hsbk.hue);
        EXPECT_EQ(c.saturation, out.hsbk.saturation);
        EXPECT_EQ(c.brightness, out.hsbk.brightness);
        EXPECT_EQ(9000, out.hsbk.kelvin);
        EXPECT_EQ(c.h, out.h);
        EXPECT_EQ(c.s, out.s);
        EXPECT_EQ(c.l, out.l);
    }
}

TEST(ColourConversion, SaturationIsATruncatedIntegerQuotient)
{
    // Calibrated 255, 254, 254: 1 × 65535 / 255.
    Conversion out = RgbToHsbk(0x00FEFEFF, 100, 100, 100);
    EXPECT_EQ(257, out.hsbk.saturation);
    EXPECT_EQ(257.0, out.saturation);
    // Calibrated 204, 255, 242: 51 × 65535 / 255 is exact.
    EXPECT_EQ(13107.0, RgbToHsbk(0x00FFFFFF, 80, 100, 95).saturation);
}

TEST(ColourConversion, HueJustBelowRedWrapsTo359Degrees)
{
    EXPECT_EQ(359, HueDegrees(255, 0, 1));
    Conversion out = RgbToHsbk(0x000100FF, 100, 100, 100);
    EXPECT_EQ(359, out.h);
    EXPECT_EQ(65352, out.hsbk.hue); // 359 × 65535 / 360, not rounded
}

TEST(ColourConversion, HueIsNotRoundedBeforeTruncation)
{
    Conversion out = RgbToHsbk(0x000080FF, 100, 100, 100);
    EXPECT_DOUBLE_EQ(30 * 65535.0 / 360.0, out.hue);
    EXPECT_EQ(5461, out.hsbk.hue);
}

TEST(ColourConversion, BlackIsDarkEvenThoughItsLuminanceIsOne)
{
    EXPECT_EQ(1, RelativeLuminance(0, 0, 0));
    Conversion out = RgbToHsbk(0x00000000, 100, 100, 100);
    EXPECT_EQ(0, out.hsbk.brightness);
    EXPECT_EQ(0, out.l);
}

TEST(ColourConversion, ZeroCalibrationEverywhereTurnsEveryColourBlack)
{
    const uint32_t colours[] = {0x00FFFFFF, 0x000000FF, 0x0000FF00, 0x00FF0000, 0x00123456};
    for (uint32_t colour : colours) {
        SCOPED_TRACE(colour);
        Conversion out = RgbToHsbk(colour, 0, 0, 0);
        EXPECT_EQ(0, out.hsbk.hue);
        EXPECT_EQ(0, out.hsbk.saturation);
        EXPECT_EQ(0, out.hsbk.brightness);
        EXPECT_EQ(9000, out.hsbk.kelvin);
    }
}

TEST(ColourConversion, ZeroCalibrationRemovesThatChannel)
{
    // Pure red with red at 0 is black; yellow with red at 0 is pure green.
    EXPECT_EQ(0, RgbToHsbk(0x000000FF, 0, 100, 100).hsbk.brightness);
    Conversion green = RgbToHsbk(0x0000FFFF, 0, 100, 100);
    EXPECT_EQ(21845, green.hsbk.hue);
    EXPECT_EQ(56540, green.hsbk.brightness);
}

TEST(ColourConversion, GreyBeforeCalibrationCanBecomeAColour)
{
    // #808080 at 80/100/95 is 102, 128, 121.
    Conversion out = RgbToHsbk(0x00808080, 80, 100, 95);
    EXPECT_EQ(HueDegrees(102, 128, 121), out.h);
    EXPECT_EQ(26 * 65535 / 128, out.hsbk.saturation);
    EXPECT_EQ(RelativeLuminance(102, 128, 121) * 257, out.hsbk.brightness);
}

TEST(ColourConversion, ColourThatCalibratesToGreyIsSentAsGrey)
{
    // #C8A0A0 at 80/100/100 is 160, 160, 160: brightness is the channel × 257,
    // not the luminance.
    Conversion out = RgbToHsbk(0x00A0A0C8, 80, 100, 100);
    EXPECT_EQ(0, out.hsbk.hue);
    EXPECT_EQ(0, out.hsbk.saturation);
    EXPECT_EQ(160 * 257, out.hsbk.brightness);
    EXPECT_EQ(0, out.h);
    EXPECT_EQ(0, out.s);
    EXPECT_EQ(62, out.l);
}

TEST(ColourConversion, CalibrationTruncatesEachChannel)
{
    // 1 × 95 / 100 is 0: a faint blue disappears instead of rounding up.
    EXPECT_EQ(0, RgbToHsbk(0x00010000, 100, 100, 95).hsbk.brightness);
    // 255 × 99 / 100 = 252.45 becomes 252, grey: 252 × 257.
    EXPECT_EQ(252 * 257, RgbToHsbk(0x00FFFFFF, 99, 99, 99).hsbk.brightness);
}

TEST(ColourConversion, TheTopByteOfThePaletteWordIsIgnored)
{
    Conversion plain = RgbToHsbk(0x000080FF, 100, 100, 100);
    Conversion marked = RgbToHsbk(0xFF0080FF, 100, 100, 100);
    EXPECT_EQ(plain.hsbk.hue, marked.hsbk.hue);
    EXPECT_EQ(plain.hsbk.saturation, marked.hsbk.saturation);
    EXPECT_EQ(plain.hsbk.brightness, marked.hsbk.brightness);
}

TEST(HueDegrees, TiedLargestChannelsResolveRedFirstThenGreen)
{
    EXPECT_EQ(60, HueDegrees(200, 200, 100));
    EXPECT_EQ(180, HueDegrees(100, 200, 200));
    EXPECT_EQ(300, HueDegrees(200, 100, 200));
    EXPECT_EQ(0, HueDegrees(77, 77, 77));
}

TEST(HueDegrees, PrimaryAndSecondaryColoursLandOnTheirDegrees)
{
    EXPECT_EQ(0, HueDegrees(255, 0, 0));
    EXPECT_EQ(60, HueDegrees(255, 255, 0));
    EXPECT_EQ(120, HueDegrees(0, 255, 0));
    EXPECT_EQ(180, HueDegrees(0, 255, 255));
    EXPECT_EQ(240, HueDegrees(0, 0, 255));
    EXPECT_EQ(300, HueDegrees(255, 0, 255));
}

TEST(RelativeLuminance, AddsOneHalfBeforeRounding)
{
    EXPECT_EQ(1, RelativeLuminance(0, 0, 0));
    EXPECT_EQ(255, RelativeLuminance(255, 255, 255));
    // Pure red has V × 255 close to 127.1: 128, where plain rounding gives 127.
    EXPECT_EQ(128, RelativeLuminance(255, 0, 0));
    EXPECT_EQ(76, RelativeLuminance(0, 0, 255));
}

TEST(RelativeLuminance, StaysWithinOneTo255ForEveryGrey)
{
    for (int v = 0; v <= 255; ++v) {
        int lum = RelativeLuminance(v, v, v);
        EXPECT_GE(lum, 1) << v;
        EXPECT_LE(lum, 255) << v;
    }
}

TEST(ColourConversion, DisplayedHueEqualsTheDegreesForEveryHue)
{
    // A sweep around the colour wheel at full saturation.
    for (int step = 0; step < 6 * 255; ++step) {
        int up = step % 255;
        int down = 255 - up;
        int r, g, b;
        switch (step / 255) {
        case 0:
            r = 255, g = up, b = 0;
            break;
        case 1:
            r = down, g = 255, b = 0;
            break;
        case 2:
            r = 0, g = 255, b = up;
            break;
        case 3:
            r = 0, g = down, b = 255;
            break;
        case 4:
            r = up, g = 0, b = 255;
            break;
        default:
            r = 255, g = 0, b = down;
            break;
        }
        uint32_t colour = static_cast<uint32_t>(r | (g << 8) | (b << 16));
        Conversion out = RgbToHsbk(colour, 100, 100, 100);
        ASSERT_EQ(HueDegrees(r, g, b), out.h) << r << "," << g << "," << b;
    }
}

} // namespace
