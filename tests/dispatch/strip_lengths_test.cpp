// Strips of any length: what each shows, checked against a plain reference
// of the pattern rule, the spans and their apply flags.
#include <stdio.h>
#include <string.h>

#include <algorithm>

#include <string>
#include <vector>

#include "commands/timers.h"
#include "lifx/colour.h"
#include "lifx/delivery.h"
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

// The pattern rule, written out plainly: Fire's three colours repeat every
// 8 entries; eight user colours go there and back, every 14.
uint32_t PatternEntry(bool user, int n)
{
    if (!user)
        return n & 4 ? 0x0088FF : n & 1 ? 0x0000FF : 0x000088;
    int step = (n - 1) % 14;
    return 0x400000u + 0x1Fu * (uint32_t)(step < 8 ? step + 1 : 15 - step);
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
    Hsbk Convert(uint32_t colour)
    {
        return RgbToHsbk(colour, g_settings.calibrationRed, g_settings.calibrationGreen,
                         g_settings.calibrationBlue)
            .hsbk;
    }
    // Zone w of an 82-zone strip.
    Hsbk Window(int w) { return Convert(g_palette.entries[g_palette.offset + w]); }
    // Zones of the strip in slot 9 (k long) off the rule: zone z shows
    // pattern entry offset + z.
    int OffPattern(bool user, int k)
    {
        int wrong = 0;
        for (int z = 0; z < k; z++) {
            Hsbk want = Convert(PatternEntry(user, g_palette.offset + z));
            wrong += memcmp(&Light(9).zones[z], &want, sizeof want) != 0;
        }
        return wrong;
    }
    // Resends and acknowledgements run their course.
    void Settle()
    {
        for (int i = 0; i < 200 && DeliveryPending(); i++) {
            Pass(100);
            OfferLightAnswers(GetTickCount());
            DeliveryStep(GetTickCount());
        }
        Drain();
    }
    void Show(int scheme)
    {
        g_settings.scheme = scheme;
        RefreshPalette();
        SendColours(0);
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

TEST_F(StripLengthTest, ZoneZOfAStripOfAnyLengthShowsEntryOffsetPlusZAlsoAfterACycleStep)
{
    std::string user = Folder() + "user.rc", colours;
    char line[40];
    for (int i = 1; i <= 8; i++)
        colours += std::string(
            line, (size_t)snprintf(line, sizeof line, "user1.color%d: #%02X0040\n", i, 0x1F * i));
    WriteFileBytes(user, colours);
    struct Row {
        bool user;
        int zones, offset;
    } rows[] = {{false, 1, 1},   {false, 16, 8},  {false, 82, 3},  {true, 83, 5},
                {false, 120, 2}, {true, 1000, 8}, {false, 1000, 6}};
    for (const Row &row : rows) {
        int k = row.zones;
        SCOPED_TRACE("a strip of " + std::to_string(k) + (row.user ? " zones, User1" : " zones"));
        ResetLights();
        g_deviceZones[9] = Light(9).stripZones = k;
        UseSlots({9});
        g_settings.scheme = row.user ? SchemeUser1 : SchemeFire;
        if (row.user)
            ASSERT_TRUE(ReadStyleItemColours(user.c_str(), "user1"));
        else
            RefreshPalette();
        g_palette.offset = row.offset;
        for (int step = 0; step < 2; step++) {
            if (step) // a cycle tick's step
                g_palette.offset = g_palette.offset % 8 + 1;
            step ? SendCycleColours() : SendColours(0);
            Drain();
            std::vector<std::vector<uint8_t>> spans = ZoneDatagrams(9);
            ASSERT_EQ((int)spans.size(), (step + 1) * ((k + 81) / 82));
            for (int s = 0; s < (k + 81) / 82; s++) {
                EXPECT_EQ(U16(spans[s], 41), 82 * s);
                EXPECT_EQ(spans[s][40], s == (k - 1) / 82 ? 1 : 0) << "only the last span shows";
            }
            EXPECT_EQ(OffPattern(row.user, k), 0) << "at offset " << g_palette.offset;
        }
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

TEST_F(StripLengthTest, AStripEndsWholeOnItsNewestColourWhicheverOfItsMessagesIsLost)
{
    g_settings.debug = true;
    // The last row loses every try of both spans: the strip confirmed its
    // power meanwhile, so it answers, and the spans are tried on. Shows:
    // the "show what is stored" messages due, once a span stored after the
    // applying one was shown; power and the effect between leave a pending
    // colour alone. A lost type of 0, first, before any acknowledgement is
    // on its way: the strip is switched off, its spans are given up and
    // nothing is shown.
    struct Row {
        int zones, lostType, lost, first, newest, shows;
        bool powerBetween;
    } rows[] = {{120, 0, 0, SchemeFire, SchemeFire, 0, false},
                {120, kTypeSetExtendedColorZones, 1, SchemeFire, SchemeFire, 1, false},
                {1000, kTypeSetExtendedColorZones, 1, SchemeFire, SchemeFire, 1, false},
                {82, kTypeSetExtendedColorZones, 1, SchemeFire, SchemeWarm, 0, false},
                {82, kTypeSetColor, 1, SchemeWarm, SchemeFire, 0, false},
                {82, kTypeSetColor, 1, SchemeWarm, SchemeWarm, 0, true},
                {120, kTypeSetExtendedColorZones, 12, SchemeFire, SchemeFire, 1, false}};
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message()
                     << row.zones << " zones, " << row.lost << " of " << row.lostType << " lost");
        ResetLights();
        g_deviceZones[9] = Light(9).stripZones = row.zones;
        UseSlots({9});
        Light(9).loseType = (uint16_t)row.lostType;
        Light(9).loseCount = row.lost;
        Light(9).off = row.lostType == 0;
        Show(row.first);
        if (row.newest != row.first)
            Show(row.newest);
        if (row.powerBetween) {
            SetPowerAll(true);
            SetMoveEffect(false);
        }
        Settle();
        int shows = 0;
        for (const std::vector<uint8_t> &zones : ZoneDatagrams(9))
            shows += zones[40] == 2;
        EXPECT_EQ(shows, row.shows);
        if (Light(9).off) {
            EXPECT_EQ(Light(9).lostDatagrams, 3 * kDeliveryTries) << "power and spans alone";
            Light(9).off = false;
            continue;
        }
        ASSERT_EQ(Light(9).loseCount, 0);
        std::vector<int> types = Types(9);
        // The older one, lost, never arrives; Warm ends on its colour.
        int older = std::count(types.begin(), types.end(), row.lostType);
        EXPECT_TRUE(row.newest == row.first || older == 0) << "the older arrived";
        EXPECT_TRUE(row.newest != SchemeWarm || types.back() == kTypeSetColor);
        EXPECT_TRUE(row.newest != SchemeFire || OffPattern(false, row.zones) == 0);
    }
    std::string log = testing::PrintToString(LogLines());
    EXPECT_EQ(log.find("did not answer"), log.rfind("did not answer")) << "the strip switched off";
}

} // namespace
