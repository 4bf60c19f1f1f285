// The conversion with its channel table gives what the plain formula gives,
// to the last bit, for every colour a light can be sent.
#include <stdint.h>
#include <string.h>

#include <string>

#include <gtest/gtest.h>

#include "lifx/colour.h"
#include "tests/lifx/colour_reference.h"

namespace
{

bool SameBits(double a, double b)
{
    return memcmp(&a, &b, sizeof a) == 0;
}

bool SameConversion(const Conversion &a, const Conversion &b)
{
    return a.hsbk.hue == b.hsbk.hue && a.hsbk.saturation == b.hsbk.saturation &&
           a.hsbk.brightness == b.hsbk.brightness && a.hsbk.kelvin == b.hsbk.kelvin &&
           SameBits(a.hue, b.hue) && SameBits(a.saturation, b.saturation) &&
           SameBits(a.brightness, b.brightness) && a.h == b.h && a.s == b.s && a.l == b.l;
}

struct Calibration {
    int red, green, blue;
};

TEST(FastColourConversion, ChannelTableHoldsThePowOfEveryChannelValue)
{
    for (int c = 0; c < 256; c++)
        ASSERT_TRUE(SameBits(LinearizedChannel(c), LinearizeReference(c))) << c;
    // Values no calibration can produce are still computed, not read past the table.
    for (int c : {-1, 256, 300})
        EXPECT_TRUE(SameBits(LinearizedChannel(c), LinearizeReference(c))) << c;
}

TEST(FastColourConversion, LuminanceOfEveryChannelTripleMatchesThePlainFormula)
{
    // Calibrated channels are 0-255 whatever the calibration, so these are
    // all the luminances a conversion can ever ask for.
    long mismatches = 0;
    uint32_t first = 0;
    for (uint32_t rgb = 0; rgb < 0x1000000; rgb++) {
        int r = rgb & 0xFF, g = (rgb >> 8) & 0xFF, b = (rgb >> 16) & 0xFF;
        if (RelativeLuminance(r, g, b) != RelativeLuminanceReference(r, g, b) && mismatches++ == 0)
            first = rgb;
    }
    EXPECT_EQ(0, mismatches) << "first at r,g,b = " << (first & 0xFF) << ","
                             << ((first >> 8) & 0xFF) << "," << (first >> 16);
}

// One calibration per test, so that a test runner can walk them side by side.
class EveryColourAtCalibration : public testing::TestWithParam<Calibration>
{
};

TEST_P(EveryColourAtCalibration, ConvertsAsThePlainConversion)
{
    const Calibration cal = GetParam();
    long mismatches = 0;
    uint32_t first = 0;
    // The plain conversion depends on the colour only through its calibrated
    // channels, and neighbouring reds often calibrate alike: its last result
    // is reused while they stay the same.
    int lastTriple = -1;
    Conversion plain = {};
    for (uint32_t colour = 0; colour < 0x1000000; colour++) {
        int r = (int)(colour & 0xFF) * cal.red / 100;
        int g = (int)((colour >> 8) & 0xFF) * cal.green / 100;
        int b = (int)(colour >> 16) * cal.blue / 100;
        int triple = r | (g << 8) | (b << 16);
        if (triple != lastTriple) {
            plain = RgbToHsbkReference(colour, cal.red, cal.green, cal.blue);
            lastTriple = triple;
        }
        Conversion fast = RgbToHsbk(colour, cal.red, cal.green, cal.blue);
        if (!SameConversion(fast, plain) && mismatches++ == 0)
            first = colour;
    }
    EXPECT_EQ(0, mismatches) << "first at palette word 0x" << std::hex << first;
}

// The default first, then three others.
INSTANTIATE_TEST_SUITE_P(FastColourConversion, EveryColourAtCalibration,
                         testing::Values(Calibration{80, 100, 95}, Calibration{100, 100, 100},
                                         Calibration{0, 50, 100}, Calibration{37, 91, 3}),
                         [](const testing::TestParamInfo<Calibration> &info) {
                             return std::to_string(info.param.red) + "_" +
                                    std::to_string(info.param.green) + "_" +
                                    std::to_string(info.param.blue);
                         });

} // namespace
