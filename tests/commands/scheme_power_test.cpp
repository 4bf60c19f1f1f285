// The "Scheme" and "Power" commands: what the lights show, the cycle timer
// and the settings file.
#include <string>
#include <vector>

#include "lifx/colour.h"
#include "palette/palette.h"
#include "plugin/plugin.h"
#include "settings/settings.h"
#include "tests/commands/commands_fixture.h"

namespace
{

const std::vector<int> kNothing = {};
const std::vector<int> kEffect = {kTypeSetMultiZoneEffect};
const std::vector<int> kWhiteOrColour = {kTypeSetLightPower, kTypeSetColor};
const std::vector<int> kWhiteThenEffect = {kTypeSetLightPower, kTypeSetColor,
                                           kTypeSetMultiZoneEffect};
const std::vector<int> kZonesThenEffect = {kTypeSetLightPower, kTypeSetExtendedColorZones,
                                           kTypeSetMultiZoneEffect};

class SchemeCommandTest : public CommandTest
{
  protected:
    // Fire with cycling every `interval` seconds and the move effect on,
    // started with automatic power so that the timer runs from time 0.
    void StartCycling(int interval, const char *scheme = "Fire")
    {
        std::vector<SettingLine> lines = LightLines({1, 2, 9, 10});
        lines.push_back({"lifx.color.scheme:", scheme});
        lines.push_back({"lifx.cycle.colors:", "true"});
        lines.push_back({"lifx.cycle.interval:", std::to_string(interval)});
        lines.push_back({"lifx.move.effect:", "true"});
        lines.push_back({"lifx.auto.power:", "true"});
        Start(lines);
        ASSERT_EQ(CycleTimerPeriod(), (unsigned)interval * 1000);
    }
};

struct SchemeCase {
    const char *name; // as typed
    int id;
};

TEST_F(SchemeCommandTest, EachNameSelectsItsSchemeAndIsWrittenAsTyped)
{
    const SchemeCase cases[] = {
        {"style", SchemeStyle}, {"FIRE", SchemeFire},     {"Ocean", SchemeOcean},
        {"wOODS", SchemeWoods}, {"spooky", SchemeSpooky}, {"manual", SchemeManual},
        {"Warm", SchemeWarm},   {"COLD", SchemeCold},     {"user1", SchemeUser1},
        {"User2", SchemeUser2}, {"USER3", SchemeUser3},
    };
    for (const SchemeCase &c : cases) {
        SCOPED_TRACE(c.name);
        Start(LightLines({1, 9}));
        Send(std::string("@LIFX Scheme ") + c.name);

        EXPECT_EQ(g_settings.scheme, c.id);
        ExpectLineWritten("lifx.color.scheme:", c.name);
        EXPECT_TRUE(LogLines().empty());
        EXPECT_EQ(CycleTimerPeriod(), 0u);
        EXPECT_EQ(g_palette.offset, 1);
        // The move effect is off in the settings: the strips are told to stop.
        EXPECT_FALSE(Light(9).moveOn);
        if (c.id == SchemeManual) {
            EXPECT_EQ(Types(1), kNothing);
            EXPECT_EQ(Types(9), kEffect);
        } else if (c.id == SchemeWarm || c.id == SchemeCold) {
            int kelvin = c.id == SchemeWarm ? 3000 : 9000;
            EXPECT_EQ(Types(1), kWhiteOrColour);
            EXPECT_EQ(Types(9), kWhiteThenEffect);
            EXPECT_EQ(Light(1).colour.kelvin, kelvin);
            EXPECT_EQ(Light(1).colour.brightness, 21845);
            EXPECT_EQ(Light(9).colour.kelvin, kelvin);
        } else {
            ASSERT_FALSE(Light(1).received.empty());
            EXPECT_EQ(Light(1).received[0].type, kTypeSetLightPower);
            EXPECT_EQ(Types(9), kZonesThenEffect);
        }
    }
}

TEST_F(SchemeCommandTest, FireFillsThePaletteSendsItAndRestartsTheCycleTimer)
{
    StartCycling(5, "Ocean");
    platform::AdvanceClock(3000);
    Forget();

    Send("@LIFX Scheme fire");

    EXPECT_EQ(g_settings.scheme, SchemeFire);
    ExpectLineWritten("lifx.color.scheme:", "fire");
    EXPECT_EQ(g_palette.entries[1], 0x0000FFu);
    EXPECT_EQ(g_palette.entries[2], 0x000088u);
    EXPECT_EQ(g_palette.entries[4], 0x0088FFu);
    EXPECT_EQ(g_palette.offset, 1);
    EXPECT_EQ(Types(1), kWhiteOrColour);
    EXPECT_EQ(Light(1).colourDuration, 4800u);
    EXPECT_EQ(Types(9), kZonesThenEffect);
    EXPECT_TRUE(Light(9).moveOn);
    EXPECT_EQ(Light(9).moveSpeedMs, 10000u);
    EXPECT_EQ(Light(9).moveDirection, 1u);
    EXPECT_EQ(CycleTimerPeriod(), 5000u);

    // Restarted at 3 s: the old timer's tick at 5 s does not come.
    EmulatorResetLights(emulator);
    platform::AdvanceClock(4000);
    Drain();
    EXPECT_EQ(DatagramsReceived(), 0);
    EXPECT_EQ(g_palette.offset, 1);
    platform::AdvanceClock(1000);
    Drain();
    EXPECT_EQ(g_palette.offset, 2);
    EXPECT_EQ(Types(1), kWhiteOrColour);
}

TEST_F(SchemeCommandTest, UnknownNameChangesNothingAndTheCycleTimerRunsOn)
{
    StartCycling(5);
    platform::AdvanceClock(3000);
    const char *texts[] = {"@LIFX Scheme Rainbow", "@LIFX Scheme", "@LIFX Scheme User4",
                           "@LIFX Scheme Fire2", "@LIFX Scheme \"\""};
    for (const char *text : texts) {
        SCOPED_TRACE(text);
        Forget();
        Send(text);
        EXPECT_EQ(g_settings.scheme, SchemeFire);
        ExpectFileUnchanged();
        EXPECT_EQ(DatagramsReceived(), 0);
        EXPECT_EQ(CycleTimerPeriod(), 5000u);
    }
    // The tick due at 5 s still comes.
    platform::AdvanceClock(2000);
    Drain();
    EXPECT_EQ(g_palette.offset, 2);
    EXPECT_EQ(Types(1), kWhiteOrColour);
}

TEST_F(SchemeCommandTest, ManualStopsTheMoveEffectSendsNoColoursAndKeepsAnIdleCycleTimer)
{
    StartCycling(2);
    Send("@LIFX Scheme Manual");

    EXPECT_EQ(g_settings.scheme, SchemeManual);
    ExpectLineWritten("lifx.color.scheme:", "Manual");
    EXPECT_EQ(Types(1), kNothing);
    EXPECT_EQ(Types(2), kNothing);
    for (int n : {9, 10}) {
        EXPECT_EQ(Types(n), kEffect) << "strip " << n;
        EXPECT_FALSE(Light(n).moveOn);
    }
    EXPECT_EQ(CycleTimerPeriod(), 2000u) << "started again, as cycling is on";

    EmulatorResetLights(emulator);
    platform::AdvanceClock(6000);
    Drain();
    EXPECT_EQ(DatagramsReceived(), 0) << "ticks do nothing under Manual";
    EXPECT_EQ(g_palette.offset, 1);
}

TEST_F(SchemeCommandTest, WhiteSchemeStopsTheMoveEffectAndWithoutCyclingNoTimerRuns)
{
    Start(LightLines({1, 9}));
    Send("@LIFX Toggle Move Effect");
    Forget();

    Send("@LIFX Scheme Cold");
    EXPECT_EQ(Types(1), kWhiteOrColour);
    EXPECT_EQ(Light(1).colour.kelvin, 9000);
    EXPECT_EQ(Types(9), kWhiteThenEffect);
    EXPECT_FALSE(Light(9).moveOn);
    EXPECT_EQ(CycleTimerPeriod(), 0u);
    ExpectLineWritten("lifx.color.scheme:", "Cold");
}

TEST_F(SchemeCommandTest, StripsShowTheStyleAndUserColoursAlongTheirWholeLength)
{
    // A two-colour style: entries alternate between its colours.
    std::string style = Folder() + "current.style";
    WriteFileBytes(style, "hardware.appearance: Flat Gradient Vertical\n"
                          "hardware.color: #102030\nhardware.colorTo: #405060\n");
    Start(LightLines({9}));
    testhost::SetStylePath(style.c_str());
    const uint32_t user1[14] = {0x0000FF, 0x00FFFF, 0x00FF00, 0xFFFF00, 0xFF0000,
                                0xFF00FF, 0x888888, 0x444444, 0x888888, 0xFF00FF,
                                0xFF0000, 0xFFFF00, 0x00FF00, 0x00FFFF};
    // Fire first, so that none of its colours may linger on the strip.
    for (const char *scheme : {"Style", "Fire", "Style", "User1"}) {
        SCOPED_TRACE(scheme);
        Send(std::string("@LIFX Scheme ") + scheme);
        Drain();
        if (std::string(scheme) == "Fire")
            continue;
        ASSERT_TRUE(Light(9).zonesReceived);
        for (int z = 0; z < kStripZones; z++) {
            uint32_t colour = scheme[0] == 'S' ? (z % 2 ? 0x605040u : 0x302010u) : user1[z % 14];
            Hsbk want = RgbToHsbk(colour, 80, 100, 95).hsbk;
            ASSERT_EQ(Light(9).zones[z].hue, want.hue) << "zone " << z;
            ASSERT_EQ(Light(9).zones[z].saturation, want.saturation) << "zone " << z;
            ASSERT_EQ(Light(9).zones[z].brightness, want.brightness) << "zone " << z;
        }
        EmulatorResetLights(emulator);
    }
}

class PowerCommandTest : public SchemeCommandTest
{
};

TEST_F(PowerCommandTest, PowerOffStopsCyclingAndTheEffectAndSwitchesEveryLightOff)
{
    for (const char *text : {"@LIFX Power Off", "@lifx POWER off", "@Chromalet-LIFX Power Off"}) {
        SCOPED_TRACE(text);
        StartCycling(3);
        Send(text);

        EXPECT_EQ(CycleTimerPeriod(), 0u);
        for (int n : {1, 2}) {
            EXPECT_EQ(Types(n), std::vector<int>{kTypeSetLightPower}) << "bulb " << n;
            EXPECT_EQ(Light(n).powerLevel, 0);
        }
        for (int n : {9, 10}) {
            EXPECT_EQ(Types(n), (std::vector<int>{kTypeSetMultiZoneEffect, kTypeSetLightPower}))
                << "strip " << n;
            EXPECT_FALSE(Light(n).moveOn);
            EXPECT_EQ(Light(n).powerLevel, 0);
        }
        ExpectFileUnchanged();
        EXPECT_TRUE(LogLines().empty());
        EXPECT_TRUE(g_settings.cycleColours) << "no setting changes";
        EXPECT_TRUE(g_settings.moveEffect);

        EmulatorResetLights(emulator);
        platform::AdvanceClock(10000);
        Drain();
        EXPECT_EQ(DatagramsReceived(), 0);
    }
    // Power On brings the scheme back, cycling and the effect with it.
    Send("@LIFX Power On");
    EXPECT_EQ(CycleTimerPeriod(), 3000u);
    EXPECT_TRUE(Light(9).moveOn);
    EXPECT_EQ(Light(1).powerLevel, 65535);
    EXPECT_EQ(Light(10).powerLevel, 65535);
    EXPECT_EQ(Types(2), (std::vector<int>{kTypeSetLightPower, kTypeSetColor}));
    ExpectFileUnchanged();
}

TEST_F(PowerCommandTest, AnyOtherArgumentGetsOneLineAndDoesNothing)
{
    StartCycling(3);
    for (const char *text :
         {"@LIFX Power", "@LIFX Power Offf", "@LIFX Power \"\" Off", "@LIFX Power O"}) {
        SCOPED_TRACE(text);
        Forget();
        Send(text);
        EXPECT_EQ(DatagramsReceived(), 0);
        EXPECT_EQ(CycleTimerPeriod(), 3000u);
        ExpectFileUnchanged();
        EXPECT_EQ(LogLines().size(), 1u);
    }
}

} // namespace
