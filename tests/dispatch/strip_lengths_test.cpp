// Strips of other lengths than 82 zones: what each receives, checked against
// a plain reference of the resampling, the spans and their apply flags.
#include <math.h>

#include <algorithm>

#include <string>
#include <vector>

#include "lifx/colour.h"
#include "lifx/dispatch.h"
#include "lifx/messages.h"
#include "palette/palette.h"
#include "settings/settings.h"
#include "tests/support/lights_fixture.h"

namespace
{

int U16(const std::vector<uint8_t> &b, int at)
{
    return b[at] | b[at + 1] << 8;
}

class StripLengthTest : public LightsTest
{
  protected:
    void SetUp() override
    {
        LightsTest::SetUp();
        for (int i = 1; i <= 128; i++)
            g_palette.entries[i] = (uint32_t)(i * 0x030507 + 0x000040) & 0xFFFFFF;
        g_palette.offset = 3;
        g_settings.scheme = SchemeFire;
        g_settings.cycleColours = true;
        g_settings.cycleInterval = 4;
    }
    // Today's zone w of the 82-zone window.
    Hsbk Window(int w)
    {
        return RgbToHsbk(g_palette.entries[g_palette.offset + w], g_settings.calibrationRed,
                         g_settings.calibrationGreen, g_settings.calibrationBlue)
            .hsbk;
    }
    std::vector<std::vector<uint8_t>> ZoneDatagrams(int n)
    {
        std::vector<std::vector<uint8_t>> out;
        for (const ReceivedDatagram &d : Light(n).received) {
            if (d.type == kTypeSetExtendedColorZones)
                out.push_back(d.bytes);
        }
        return out;
    }
};

TEST_F(StripLengthTest, EachZoneOfAStripOfAnyLengthTakesTheWindowColourAtItsShareOf82)
{
    for (int k : {1, 16, 82, 83, 120, 164}) {
        SCOPED_TRACE("a strip of " + std::to_string(k) + " zones");
        ResetLights();
        g_deviceZones[9] = k;
        Light(9).stripZones = k;
        UseSlots({9});
        SendColours(0);
        Drain();

        std::vector<std::vector<uint8_t>> spans = ZoneDatagrams(9);
        ASSERT_EQ((int)spans.size(), (k + 81) / 82);
        for (size_t s = 0; s < spans.size(); s++) {
            const std::vector<uint8_t> &b = spans[s];
            int index = U16(b, 41), count = b[43];
            EXPECT_EQ(index, 82 * (int)s);
            EXPECT_EQ(count, k - index < 82 ? k - index : 82);
            EXPECT_EQ(b[40], s + 1 == spans.size() ? 1 : 0) << "only the last span shows";
            EXPECT_EQ(U16(b, 36), 3800) << "the cycle's fade";
            for (int i = 0; i < 82; i++) {
                // The plain reference: zone z shows window zone floor(z * 82 / k).
                Hsbk want = i < count ? Window((int)floor((index + i) * 82.0 / k)) : Hsbk{};
                int at = 44 + 8 * i;
                ASSERT_EQ(U16(b, at), want.hue) << "zone " << index + i;
                ASSERT_EQ(U16(b, at + 2), want.saturation) << "zone " << index + i;
                ASSERT_EQ(U16(b, at + 4), want.brightness) << "zone " << index + i;
                ASSERT_EQ(U16(b, at + 6), want.kelvin) << "zone " << index + i;
            }
        }
        // The strip shows the whole window once the last span is in.
        EXPECT_EQ(Light(9).zones[k - 1].hue, Window((int)floor((k - 1) * 82.0 / k)).hue);
    }
}

TEST_F(StripLengthTest, An82ZoneStripGetsTheSameDatagramAsOneOfUnknownLengthAndTheSameLine)
{
    g_deviceZones[9] = 82;
    g_deviceZones[10] = 0;
    g_settings.debug = true;
    UseSlots({9, 10});
    SendColours(0);
    Drain();

    ASSERT_EQ(ZoneDatagrams(9).size(), 1u);
    // Beside the confirmation's source, flag and sequence.
    EXPECT_EQ(Unstamped(ZoneDatagrams(9)[0]), Unstamped(ZoneDatagrams(10)[0]));
    uint8_t today[kSetExtendedColorZonesSize];
    Hsbk window[kStripZones];
    for (int w = 0; w < kStripZones; w++)
        window[w] = Window(w);
    EncodeSetExtendedColorZones(today, window, 3800);
    EXPECT_EQ(Unstamped(ZoneDatagrams(9)[0]), std::vector<uint8_t>(today, today + sizeof today));
    std::string line =
        "254 ...setting colours across multiple zones, with 4 seconds transition time.";
    int count = 0;
    for (const std::string &logged : LogLines())
        count += logged == line;
    EXPECT_EQ(count, 2);
}

TEST_F(StripLengthTest, TheZonesLineSaysHowManyZonesWentOutAndInHowManyMessages)
{
    g_deviceZones[9] = 16;
    g_deviceZones[10] = 120;
    g_settings.debug = true;
    g_settings.cycleColours = false;
    UseSlots({9, 10});
    SendColours(0);
    Drain();

    std::vector<std::string> lines = LogLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "254 ...setting colours across 16 zones."),
              lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "254 ...setting colours across 120 zones in 2 messages."),
              lines.end());
}

} // namespace
