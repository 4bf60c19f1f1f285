// Commands that change one setting: "Calibration", the four "Toggle" forms,
// "Cycle Interval" and "Movement Speed".
#include <string>
#include <vector>

#include "lifx/colour.h"
#include "palette/palette.h"
#include "settings/settings.h"
#include "tests/commands/commands_fixture.h"

namespace
{

const std::vector<int> kNothing = {};
const std::vector<int> kEffect = {kTypeSetMultiZoneEffect};

class SettingsCommandTest : public CommandTest
{
  protected:
    void StartWith(std::vector<SettingLine> lines)
    {
        std::vector<SettingLine> all = LightLines({1, 9});
        all.insert(all.end(), lines.begin(), lines.end());
        Start(all);
    }
};

struct CalibrationCase {
    const char *text;
    const char *key; // null when nothing is written
    int value;
    int red, green, blue;
};

TEST_F(SettingsCommandTest, CalibrationTakesAnUpperCaseChannelLetterAndClampsThePercent)
{
    const CalibrationCase cases[] = {
        {"@LIFX Calibration Red 150", "lifx.calibration.red:", 100, 100, 100, 95},
        {"@LIFX Calibration G -5", "lifx.calibration.green:", 0, 80, 0, 95},
        {"@LIFX Calibration B 42", "lifx.calibration.blue:", 42, 80, 100, 42},
        {"@LIFX Calibration Blue abc", nullptr, 0, 80, 100, 95},
        {"@LIFX Calibration R 55%", nullptr, 0, 80, 100, 95},
        {"@lifx calibration Ruby 100", "lifx.calibration.red:", 100, 100, 100, 95},
        {"@LIFX Calibration red 50", nullptr, 0, 80, 100, 95},
        {"@LIFX Calibration g 50", nullptr, 0, 80, 100, 95},
        {"@LIFX Calibration X 50", nullptr, 0, 80, 100, 95},
        {"@LIFX Calibration R", nullptr, 0, 80, 100, 95},
        {"@LIFX Calibration 50 R", nullptr, 0, 80, 100, 95},
        {"@LIFX Calibration", nullptr, 0, 80, 100, 95},
        {"@LIFX Calibration R \"\"", nullptr, 0, 80, 100, 95},
    };
    for (const CalibrationCase &c : cases) {
        SCOPED_TRACE(c.text);
        StartWith({});
        Send(c.text);
        if (c.key)
            ExpectLineWritten(c.key, std::to_string(c.value));
        else
            ExpectFileUnchanged();
        EXPECT_EQ(g_settings.calibrationRed, c.red);
        EXPECT_EQ(g_settings.calibrationGreen, c.green);
        EXPECT_EQ(g_settings.calibrationBlue, c.blue);
        EXPECT_EQ(DatagramsReceived(), 0) << "no colours are resent";
        // Whatever is refused gets one line, the typo table's.
        EXPECT_EQ(LogLines().size(), c.key ? 0u : 1u);
    }
}

// Numbers beyond the 32-bit range saturate, as the Windows runtime's atoi
// does, and are then clamped: they never wrap around to small values.
TEST_F(SettingsCommandTest, NumbersBeyondThe32BitRangeSaturateBeforeTheyAreClamped)
{
    const std::pair<const char *, SettingLine> writes[] = {
        {"@LIFX Calibration R 4294967296", {"lifx.calibration.red:", "100"}},
        {"@LIFX Calibration G -4294967296", {"lifx.calibration.green:", "0"}},
        {"@LIFX Calibration B 99999999999999999999", {"lifx.calibration.blue:", "100"}},
        {"@LIFX Cycle Interval 4294967297", {"lifx.cycle.interval:", "10"}},
        {"@LIFX Cycle Interval -4294967295", {"lifx.cycle.interval:", "1"}},
        {"@LIFX Movement Speed 4294967297", {"lifx.movement.speed:", "60"}},
    };
    for (const auto &w : writes) {
        SCOPED_TRACE(w.first);
        StartWith({});
        Send(w.first);
        ExpectLineWritten(w.second.first, w.second.second);
    }

    StartWith({{"lifx.color.scheme:", "Manual"}});
    Send("@LIFX White 1 4294967346 4294971296");
    EXPECT_EQ(Light(1).colour.brightness, 65535);
    EXPECT_EQ(Light(1).colour.kelvin, 9000);

    // A slot number that wraps to 3 must not store anything.
    Forget();
    Send(std::string("@LIFX Device #4294967299 ") + Address(2));
    Send("@LIFX RGB 4294967297 #ffffff");
    ExpectFileUnchanged();
    EXPECT_EQ(LogLines().size(), 2u) << "one unknown light each";
    EXPECT_EQ(DatagramsReceived(), 0);
}

TEST_F(SettingsCommandTest, NewCalibrationAppliesFromTheNextSend)
{
    StartWith({{"lifx.color.scheme:", "Manual"}});
    Send("@LIFX Calibration R 0");
    Send("@LIFX Calibration B 100");
    Send("@LIFX RGB 1 #ff8000");
    Hsbk want = RgbToHsbk(0x0080FF, 0, 100, 100).hsbk;
    EXPECT_EQ(Light(1).colour.hue, want.hue);
    EXPECT_EQ(Light(1).colour.saturation, want.saturation);
    EXPECT_EQ(Light(1).colour.brightness, want.brightness);
}

struct Flags {
    bool cycle, move, reverse, autoPower;
};

struct ToggleCase {
    const char *name;
    std::vector<SettingLine> settings;
    int ticks; // seconds the clock runs before the command
    const char *text;
    const char *key; // null when nothing is written
    const char *value;
    Flags after;
    unsigned timer; // CycleTimer's period afterwards, 0 when stopped
    std::vector<int> bulb, strip;
    int moveOn;    // the strip's effect afterwards, -1 when none arrived
    int direction; // the strip's direction parameter, -1 when none arrived
};

TEST_F(SettingsCommandTest, EachToggleFlipsItsFlagAndDoesOnlyWhatGoesWithIt)
{
    const std::vector<SettingLine> cyclingFire = {{"lifx.color.scheme:", "Fire"},
                                                  {"lifx.cycle.colors:", "true"},
                                                  {"lifx.cycle.interval:", "1"},
                                                  {"lifx.auto.power:", "true"}};
    const ToggleCase cases[] = {
        {"cycling off, colours shown unrotated",
         cyclingFire,
         4,
         "@LIFX Toggle Cycle Colors",
         "lifx.cycle.colors:",
         "false",
         {false, false, false, true},
         0,
         {kTypeSetLightPower, kTypeSetColor},
         {kTypeSetLightPower, kTypeSetExtendedColorZones},
         -1,
         -1},
        {"cycling on: timer started, nothing sent",
         {{"lifx.color.scheme:", "Fire"}, {"lifx.cycle.interval:", "3"}},
         0,
         "@LIFX Toggle Cycle Colors",
         "lifx.cycle.colors:",
         "true",
         {true, false, false, false},
         3000,
         kNothing,
         kNothing,
         -1,
         -1},
        {"cycling on under Manual",
         {{"lifx.color.scheme:", "Manual"}},
         0,
         "@lifx toggle CYCLE colors",
         "lifx.cycle.colors:",
         "true",
         {true, false, false, false},
         10000,
         kNothing,
         kNothing,
         -1,
         -1},
        {"move effect on under Warm: stored, but stopped",
         {{"lifx.color.scheme:", "Warm"}},
         0,
         "@LIFX Toggle Move Effect",
         "lifx.move.effect:",
         "true",
         {false, true, false, false},
         0,
         kNothing,
         kEffect,
         0,
         1},
        {"move effect on under Fire",
         {{"lifx.color.scheme:", "Fire"}},
         0,
         "@LIFX Toggle Move Effect",
         "lifx.move.effect:",
         "true",
         {false, true, false, false},
         0,
         kNothing,
         kEffect,
         1,
         1},
        {"move effect off under Fire",
         {{"lifx.color.scheme:", "Fire"}, {"lifx.move.effect:", "true"}},
         0,
         "@LIFX Toggle Move Effect",
         "lifx.move.effect:",
         "false",
         {false, false, false, false},
         0,
         kNothing,
         kEffect,
         0,
         1},
        {"reversed while the effect is on, under Warm",
         {{"lifx.color.scheme:", "Warm"}, {"lifx.move.effect:", "true"}},
         0,
         "@LIFX Toggle Move Direction",
         "lifx.reverse.direction:",
         "true",
         {false, true, true, false},
         0,
         kNothing,
         kEffect,
         1,
         0},
        {"forward again while the effect is off",
         {{"lifx.color.scheme:", "Fire"}, {"lifx.reverse.direction:", "true"}},
         0,
         "@LIFX Toggle Move Direction",
         "lifx.reverse.direction:",
         "false",
         {false, false, false, false},
         0,
         kNothing,
         kEffect,
         0,
         1},
        {"automatic power on",
         {},
         0,
         "@LIFX Toggle Auto Power",
         "lifx.auto.power:",
         "true",
         {false, false, false, true},
         0,
         kNothing,
         kNothing,
         -1,
         -1},
        {"automatic power off, cycling carries on",
         cyclingFire,
         0,
         "@LIFX Toggle Auto Power",
         "lifx.auto.power:",
         "false",
         {true, false, false, false},
         1000,
         kNothing,
         kNothing,
         -1,
         -1},
    };
    for (const ToggleCase &c : cases) {
        SCOPED_TRACE(c.name);
        StartWith(c.settings);
        platform::AdvanceClock((uint64_t)c.ticks * 1000);
        Drain();
        int offset = g_palette.offset;
        Forget();

        Send(c.text);

        if (c.key)
            ExpectLineWritten(c.key, c.value);
        else
            ExpectFileUnchanged();
        EXPECT_EQ(g_settings.cycleColours, c.after.cycle);
        EXPECT_EQ(g_settings.moveEffect, c.after.move);
        EXPECT_EQ(g_settings.reverseDirection, c.after.reverse);
        EXPECT_EQ(g_settings.autoPower, c.after.autoPower);
        EXPECT_EQ(CycleTimerPeriod(), c.timer);
        EXPECT_EQ(Types(1), c.bulb);
        EXPECT_EQ(Types(9), c.strip);
        if (c.moveOn >= 0) {
            EXPECT_EQ(Light(9).moveOn, c.moveOn == 1);
            EXPECT_EQ(Light(9).moveSpeedMs, 10000u);
            EXPECT_EQ(Light(9).moveDirection, (uint32_t)c.direction);
        }
        EXPECT_TRUE(LogLines().empty());
        if (c.bulb.size() == 2) {
            // Turning cycling off puts the rotation back to its start.
            EXPECT_NE(offset, 1);
            EXPECT_EQ(g_palette.offset, 1);
            Hsbk want = RgbToHsbk(g_palette.entries[1], 80, 100, 95).hsbk;
            EXPECT_EQ(Light(1).colour.hue, want.hue);
            EXPECT_EQ(Light(1).colour.brightness, want.brightness);
            EXPECT_EQ(Light(1).colourDuration, 0u);
        }
    }
}

TEST_F(SettingsCommandTest, IncompleteToggleGetsOneLineAndDoesNothing)
{
    StartWith({{"lifx.color.scheme:", "Fire"},
               {"lifx.cycle.colors:", "true"},
               {"lifx.auto.power:", "true"},
               {"lifx.move.effect:", "true"}});
    const char *texts[] = {"@LIFX Toggle Cycle",
                           "@LIFX Toggle Colors Cycle",
                           "@LIFX Toggle Move",
                           "@LIFX Toggle Effect Move",
                           "@LIFX Toggle Auto",
                           "@LIFX Toggle Power Auto",
                           "@LIFX Toggle",
                           "@LIFX Toggle Move Effects",
                           "@LIFX Toggle \"Cycle Colors\""};
    for (const char *text : texts) {
        SCOPED_TRACE(text);
        Forget();
        Send(text);
        ExpectFileUnchanged();
        EXPECT_EQ(LogLines().size(), 1u);
        EXPECT_EQ(DatagramsReceived(), 0);
        EXPECT_EQ(CycleTimerPeriod(), 10000u);
        EXPECT_TRUE(g_settings.cycleColours);
        EXPECT_TRUE(g_settings.moveEffect);
        EXPECT_FALSE(g_settings.reverseDirection);
        EXPECT_TRUE(g_settings.autoPower);
    }
}

struct NumberCase {
    const char *text;
    int value; // the new value, or -1 when nothing changes
};

TEST_F(SettingsCommandTest, CycleIntervalIsClampedToOneToTenSeconds)
{
    const NumberCase cases[] = {
        {"@LIFX Cycle Interval 0", 1},     {"@LIFX Cycle Interval 99", 10},
        {"@LIFX Cycle Interval", -1},      {"@LIFX Cycle Interval abc", -1},
        {"@LIFX Cycle Interval -3", 1},    {"@LIFX Cycle Interval 7x", -1},
        {"@lifx cycle interval 3", 3},     {"@LIFX Cycle Interval 10", 10},
        {"@LIFX Cycle Intervals 5", -1},   {"@LIFX Cycle 5", -1},
        {"@LIFX Cycle Interval \"\"", -1},
    };
    for (const NumberCase &c : cases) {
        SCOPED_TRACE(c.text);
        StartWith({{"lifx.cycle.interval:", "4"}});
        Send(c.text);
        if (c.value < 0) {
            ExpectFileUnchanged();
            EXPECT_EQ(g_settings.cycleInterval, 4);
        } else {
            ExpectLineWritten("lifx.cycle.interval:", std::to_string(c.value));
            EXPECT_EQ(g_settings.cycleInterval, c.value);
        }
        EXPECT_EQ(CycleTimerPeriod(), 0u) << "no timer without cycling";
        EXPECT_EQ(DatagramsReceived(), 0);
    }
}

TEST_F(SettingsCommandTest, CycleIntervalRestartsARunningCycleTimerWithTheNewPeriod)
{
    StartWith({{"lifx.color.scheme:", "Fire"},
               {"lifx.cycle.colors:", "true"},
               {"lifx.auto.power:", "true"}});
    platform::AdvanceClock(3000);
    Forget();

    Send("@LIFX Cycle Interval 5");
    ExpectLineWritten("lifx.cycle.interval:", "5");
    EXPECT_EQ(CycleTimerPeriod(), 5000u);
    EXPECT_EQ(DatagramsReceived(), 0);

    // Restarted at 3 s: the first tick comes at 8 s.
    platform::AdvanceClock(4000);
    Drain();
    EXPECT_EQ(g_palette.offset, 1);
    platform::AdvanceClock(1000);
    Drain();
    EXPECT_EQ(g_palette.offset, 2);
    EXPECT_EQ(Light(1).colourDuration, 4800u) << "the fade follows the new interval";
}

struct SpeedCase {
    std::vector<SettingLine> settings;
    const char *text;
    int speed; // the new speed, or -1 when nothing changes
    bool moveOn;
    uint32_t direction;
};

TEST_F(SettingsCommandTest, MovementSpeedIsClampedAndSentToTheStripsWhateverTheScheme)
{
    const SpeedCase cases[] = {
        {{}, "@LIFX Movement Speed 0", 1, false, 1},
        {{}, "@LIFX Movement Speed 600", 60, false, 1},
        {{}, "@lifx movement speed abc", -1, false, 0},
        {{{"lifx.color.scheme:", "Warm"}, {"lifx.move.effect:", "true"}},
         "@LIFX Movement Speed 30",
         30,
         true,
         1},
        {{{"lifx.color.scheme:", "Fire"},
          {"lifx.move.effect:", "true"},
          {"lifx.reverse.direction:", "true"}},
         "@LIFX Movement Speed 5",
         5,
         true,
         0},
        {{}, "@LIFX Movement Speed", -1, false, 0},
        {{}, "@LIFX Movement 5", -1, false, 0},
        {{}, "@LIFX Movement Speeds 5", -1, false, 0},
        {{}, "@LIFX Movement Speed \"\"", -1, false, 0},
    };
    for (const SpeedCase &c : cases) {
        SCOPED_TRACE(c.text);
        StartWith(c.settings);
        Send(c.text);
        EXPECT_EQ(Types(1), kNothing);
        if (c.speed < 0) {
            ExpectFileUnchanged();
            EXPECT_EQ(g_settings.movementSpeed, 10);
            EXPECT_EQ(DatagramsReceived(), 0);
            continue;
        }
        ExpectLineWritten("lifx.movement.speed:", std::to_string(c.speed));
        EXPECT_EQ(g_settings.movementSpeed, c.speed);
        EXPECT_EQ(Types(9), kEffect);
        EXPECT_EQ(Light(9).moveOn, c.moveOn);
        EXPECT_EQ(Light(9).moveSpeedMs, (uint32_t)c.speed * 1000);
        EXPECT_EQ(Light(9).moveDirection, c.direction);
    }
}

TEST_F(SettingsCommandTest, CyclingAfterAPlainStartShowsTheSchemeNeverBlack)
{
    // Automatic power is off: the start contacts no light.
    StartWith({{"lifx.color.scheme:", "Fire"}, {"lifx.cycle.interval:", "1"}});
    Send("@LIFX Toggle Cycle Colors");
    platform::AdvanceClock(1000);
    Send("@LIFX Toggle Cycle Colors");
    Drain();

    ASSERT_EQ(Light(1).colourMessages, 2) << "one tick, then cycling off";
    EXPECT_EQ(Light(1).powerLevel, 65535);
    EXPECT_GT(Light(1).colour.brightness, 0);
    EXPECT_EQ(Light(9).zonesMessages, 2);
    EXPECT_GT(Light(9).zones[0].brightness, 0);
}

// The colours a light received, as sent before acknowledgements were asked for.
std::vector<std::vector<uint8_t>> Colours(EmulatedLight &light)
{
    std::vector<std::vector<uint8_t>> sent;
    for (const ReceivedDatagram &d : light.received) {
        if (d.type == kTypeSetColor || d.type == kTypeSetExtendedColorZones)
            sent.push_back(Unstamped(d.bytes));
    }
    return sent;
}

TEST_F(SettingsCommandTest, BrightnessScalesWhatBulbsAndStripsAreSentAndFullIsAsBefore)
{
    for (const char *scheme : {"Fire", "Warm"}) {
        SCOPED_TRACE(scheme);
        StartWith({});
        Send(std::string("@LIFX Scheme ") + scheme);
        auto bulb = Colours(Light(1)), strip = Colours(Light(9));
        Hsbk full = Light(1).colour, zone = Light(9).zones[0];
        for (const char *percent : {"40", "100"}) {
            ResetLights();
            Send(std::string("@LIFX Brightness ") + percent);
            if (percent[0] == '1') {
                EXPECT_EQ(Colours(Light(1)), bulb);
                EXPECT_EQ(Colours(Light(9)), strip);
                continue;
            }
            EXPECT_EQ(Light(1).colour.hue, full.hue);
            EXPECT_EQ(Light(1).colour.kelvin, full.kelvin);
            EXPECT_NEAR(Light(1).colour.brightness, full.brightness * 0.4, 1);
            EXPECT_NEAR(Light(9).zones[0].brightness, zone.brightness * 0.4, 1);
            EXPECT_EQ(Light(9).zones[0].saturation, zone.saturation);
        }
    }
}

} // namespace
