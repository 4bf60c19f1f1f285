// Confirmed delivery as the lights and the user see it: on a lossy network
// every light ends in the state it was last sent, a newer state is never
// overtaken by an older one, a light that does not answer costs its tries
// and one line, and time spent suspended is nobody's silence.
#include <stdio.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "host/vesk.h"
#include "lifx/delivery.h"
#include "lifx/light_socket.h"
#include "lifx/messages.h"
#include "plugin/plugin.h"
#include "settings/settings.h"
#include "tests/plugin/plugin_test_support.h"

namespace
{

const std::string kTenLights = "lifx.device1: {1}\r\nlifx.device2: {2}\r\nlifx.device3: {3}\r\n"
                               "lifx.device4: {4}\r\nlifx.device5: {5}\r\nlifx.device6: {6}\r\n"
                               "lifx.device7: {7}\r\nlifx.device8: {8}\r\nlifx.device9: {9}\r\n"
                               "lifx.device10: {10}\r\n";
const std::string kAutoFire =
    "lifx.color.scheme: Fire\r\nlifx.auto.power: true\r\nlifx.move.effect: true\r\n";
// The whole life of a message, with room to spare.
const int kSettleMs = 12000;

// What a light shows, as far as the plug-in sets it.
std::string Shown(const EmulatedLight &light)
{
    std::string text = "power " + std::to_string(light.powerLevel);
    const Hsbk &c = light.colour;
    text += " colour " + std::to_string(c.hue) + "," + std::to_string(c.saturation) + "," +
            std::to_string(c.brightness) + "," + std::to_string(c.kelvin);
    // A whole-strip colour newer than the zones covers them all.
    for (const Hsbk &z : light.zones) {
        if (light.colourReceived && light.colourArrival > light.zonesArrival)
            break;
        text += " " + std::to_string(z.hue) + "," + std::to_string(z.brightness);
    }
    text += light.moveOn ? " moving" : " still";
    for (const Hsbk &p : light.frameBuffer[0])
        text += " " + std::to_string(p.hue) + "," + std::to_string(p.brightness);
    return text;
}

class DeliveryTest : public StartedPluginTest
{
  protected:
    std::vector<std::string> Everything()
    {
        std::vector<std::string> shown;
        for (int n = 1; n <= 10; n++)
            shown.push_back(Shown(Light(n)));
        return shown;
    }
    // Every kind of change, each given time to settle; what every light
    // shows after each.
    // With kinds, slot 9 holds an older strip of 120 zones and slot 10 a
    // chain of five 8x8 tiles.
    std::vector<std::vector<std::string>> RunEveryKindOfChange(bool kinds = false)
    {
        std::vector<std::vector<std::string>> after;
        if (kinds) {
            const uint8_t sides[5] = {8, 8, 8, 8, 8};
            Light(9).kind.kind = EmulatorKindOlderStrip;
            Light(9).strip = true;
            EmulatorSetChain(Light(10), 5, sides, sides);
        }
        Start(kTenLights + kAutoFire + "lifx.device9.zones: 120\r\nlifx.device10.zones: 1000\r\n" +
              (kinds ? "lifx.device9.kind: older-strip\r\nlifx.device10.kind: matrix\r\n"
                       "lifx.device10.chain: 8x8,8x8,8x8,8x8,8x8\r\n"
                     : ""));
        auto settle = [&] {
            Pass(kSettleMs);
            after.push_back(Everything());
        };
        settle();
        for (const char *command :
             {"@LIFX Scheme Ocean", "@LIFX White 3 40 2700", "@LIFX Toggle Move Effect",
              "@LIFX Scheme Warm", "@LIFX Power Off", "@LIFX Scheme Spooky"}) {
            HandleCommandText(command);
            settle();
        }
        Send(WM_POWERBROADCAST, PBT_APMSUSPEND);
        settle();
        Send(WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC);
        settle();
        return after;
    }
    // Plays steps: commands as typed, ":wait MS", ":suspend", ":resume",
    // ":unlock", and, when faulty, the faults ":off N", ":on N" and
    // ":lose N TYPE COUNT"; then stops. What every light shows at the end.
    std::vector<std::string> Play(const std::string &settings,
                                  const std::vector<std::string> &steps, bool faulty)
    {
        testhost::ClearRecords();
        Start(settings);
        for (const std::string &step : steps) {
            int n = 0, type = 0, count = 0;
            if (step[0] == '@')
                HandleCommandText(step.c_str());
            else if (sscanf(step.c_str(), ":wait %d", &n) == 1)
                Pass(n);
            else if (step == ":suspend" || step == ":resume")
                Send(WM_POWERBROADCAST,
                     step == ":suspend" ? PBT_APMSUSPEND : PBT_APMRESUMEAUTOMATIC);
            else if (step == ":unlock")
                Send(WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK);
            else if (faulty && sscanf(step.c_str(), ":lose %d %d %d", &n, &type, &count) == 3)
                Light(n).loseType = (uint16_t)type, Light(n).loseCount = count;
            else if (faulty && sscanf(step.c_str(), ":off %d", &n) == 1)
                Light(n).off = true;
            else if (faulty && sscanf(step.c_str(), ":on %d", &n) == 1)
                Light(n).off = false;
        }
        Pass(kSettleMs);
        std::vector<std::string> shown = Everything();
        Stop();
        ResetLights();
        for (int n = 1; n <= 10; n++)
            Light(n).off = false, Light(n).loseCount = 0;
        return shown;
    }
    std::vector<std::string> Lines(int level)
    {
        std::vector<std::string> lines;
        for (const std::string &line : LogLines()) {
            if (line.rfind(std::to_string(level) + " ", 0) == 0)
                lines.push_back(line);
        }
        return lines;
    }
};

TEST_F(DeliveryTest, OnANetworkLosingFifteenPerCentEachWayEveryLightEndsAsWithoutLoss)
{
    Light(9).stripZones = 120;
    Light(10).stripZones = 1000;
    // Today's strips, then an older strip and a matrix light; the older
    // strip shows what the extended one showed.
    std::vector<std::vector<std::string>> extended;
    for (bool kinds : {false, true}) {
        SCOPED_TRACE(kinds ? "older strip and matrix light" : "extended strips");
        std::vector<std::vector<std::string>> clean = RunEveryKindOfChange(kinds);
        Stop();
        ResetLights();
        testhost::ClearRecords();
        EmulatorSetLoss(emulator, 15, 20261209);
        std::vector<std::vector<std::string>> lossy = RunEveryKindOfChange(kinds);

        int lost = 0;
        for (int n = 1; n <= 10; n++)
            lost += Light(n).lostDatagrams + Light(n).lostAcknowledgements;
        ASSERT_GT(lost, 10) << "the network lost something";
        ASSERT_EQ(clean.size(), lossy.size());
        for (size_t step = 0; step < clean.size(); step++)
            for (size_t n = 0; n < clean[step].size(); n++)
                EXPECT_EQ(lossy[step][n], clean[step][n])
                    << "light " << n + 1 << " after change " << step;
        for (size_t step = 0; kinds && step < clean.size(); step++)
            EXPECT_EQ(clean[step][8], extended[step][8]) << "after change " << step;
        extended = clean;
        EXPECT_TRUE(Lines(3).empty()) << ::testing::PrintToString(LogLines());
        Stop();
        ResetLights();
        testhost::ClearRecords();
        EmulatorSetLoss(emulator, 0, 1);
    }
}

// Cycling at 2 s, a 1000-zone strip: a step that loses the strip's first
// span and bulb 1's colour, then whatever stops cycling; what a resume or an
// unlock dropped, then automatic power switched off before the power-on step.
TEST_F(DeliveryTest, WhatWasLostAsCyclingStoppedOrAsAutomaticPowerWentOffEndsAsWithoutLoss)
{
    Light(10).stripZones = 1000;
    const std::string cycling = kTenLights + kAutoFire +
                                "lifx.cycle.colors: true\r\nlifx.cycle.interval: 2\r\n"
                                "lifx.device10.zones: 1000\r\n";
    const std::vector<std::string> step = {":wait 12000", ":lose 10 510 1", ":lose 1 102 1",
                                           ":wait 2000"};
    struct Row {
        std::string settings;
        std::vector<std::string> steps;
    } rows[] = {
        {cycling, {"@LIFX Scheme Manual"}},
        {cycling, {"@LIFX Toggle Cycle Colors"}},
        {cycling, {"@LIFX Power Off"}},
        {cycling, {":suspend"}},
        {kTenLights + kAutoFire,
         {":off 1", ":suspend", ":wait 300", ":on 1", ":resume", ":wait 500",
          "@LIFX Toggle Auto Power"}},
        {kTenLights + kAutoFire,
         {":off 1", "@LIFX Scheme Ocean", ":wait 300", ":on 1", ":unlock",
          "@LIFX Toggle Auto Power"}},
    };
    for (Row &row : rows) {
        SCOPED_TRACE(row.steps[0] + " " + row.steps.back());
        if (row.settings == cycling)
            row.steps.insert(row.steps.begin(), step.begin(), step.end());
        else
            row.steps.insert(row.steps.begin(), ":wait 12000");
        std::vector<std::string> clean = Play(row.settings, row.steps, false);
        std::vector<std::string> faulty = Play(row.settings, row.steps, true);
        for (int n = 0; n < 10; n++)
            EXPECT_EQ(faulty[n], clean[n]) << "light " << n + 1;
        EXPECT_TRUE(Lines(3).empty()) << ::testing::PrintToString(LogLines());
    }
}

// Seeded random runs of changes at 15 % loss each way end as the same runs
// without loss, Manual after cycling and automatic power switched off
// between a resume and its power-on step among them.
TEST_F(DeliveryTest, SeededRandomRunsAtFifteenPerCentLossEndAsWithoutLoss)
{
    Light(9).stripZones = 120;
    Light(10).stripZones = 1000;
    const char *const changes[] = {"@LIFX Scheme Ocean",
                                   "@LIFX Scheme Spooky",
                                   "@LIFX Scheme Warm",
                                   "@LIFX Scheme Manual",
                                   "@LIFX Toggle Cycle Colors",
                                   "@LIFX Toggle Move Effect",
                                   "@LIFX Toggle Auto Power",
                                   "@LIFX Power Off",
                                   "@LIFX RGB 9 #00ff88",
                                   "@LIFX White 2 40 2700",
                                   ":suspend",
                                   ":resume",
                                   ":unlock",
                                   "@LIFX Cycle Interval 1"};
    std::mt19937 random(20261210);
    for (int run = 0; run < 20; run++) {
        std::vector<std::string> steps = {"@LIFX Toggle Cycle Colors",
                                          ":wait 4100",
                                          "@LIFX Scheme Manual",
                                          ":suspend",
                                          ":resume",
                                          ":wait 500",
                                          "@LIFX Toggle Auto Power"};
        for (int n = 0; n < 12; n++) {
            steps.push_back(changes[random() % (sizeof changes / sizeof *changes)]);
            steps.push_back(":wait " + std::to_string(random() % 3000));
        }
        steps.push_back("@LIFX Scheme Manual");
        SCOPED_TRACE(::testing::PrintToString(steps));
        const std::string settings = kTenLights + kAutoFire +
                                     "lifx.device9.zones: 120\r\nlifx.device10.zones: 1000\r\n"
                                     "lifx.cycle.interval: 2\r\n";
        EmulatorSetLoss(emulator, 0, 1);
        std::vector<std::string> clean = Play(settings, steps, false);
        EmulatorSetLoss(emulator, 15, 20261210 + run);
        std::vector<std::string> lossy = Play(settings, steps, false);
        EXPECT_EQ(lossy, clean);
        // A single light typed while cycling is refused alike in both runs.
        for (const std::string &line : Lines(3))
            EXPECT_NE(line.find("while the colours cycle"), std::string::npos) << line;
    }
    EmulatorSetLoss(emulator, 0, 1);
}

TEST_F(DeliveryTest, WithoutLossNothingIsSentTwiceAndEachMessageAsksForItsAcknowledgement)
{
    Start(kTenLights + kAutoFire);
    HandleCommandText("@LIFX Scheme Woods");
    Pass(kSettleMs);
    uint32_t source = 0;
    for (int n = 1; n <= 10; n++) {
        std::set<std::vector<uint8_t>> distinct;
        std::set<int> sequences;
        for (const ReceivedDatagram &d : Light(n).received) {
            distinct.insert(d.bytes);
            sequences.insert(d.bytes[23]);
            EXPECT_EQ(d.bytes[22], 0x02) << "light " << n;
            uint32_t from =
                d.bytes[4] | d.bytes[5] << 8 | d.bytes[6] << 16 | (uint32_t)d.bytes[7] << 24;
            EXPECT_NE(from, 0u);
            if (!source)
                source = from;
            EXPECT_EQ(from, source) << "one source for the whole run";
        }
        EXPECT_EQ(distinct.size(), Light(n).received.size()) << "light " << n;
        EXPECT_EQ(sequences.size(), Light(n).received.size()) << "a sequence per message";
        EXPECT_EQ(Light(n).received.size(), n <= 8 ? 4u : 6u) << "light " << n;
    }
}

TEST_F(DeliveryTest, ANewSchemeReplacesTheOneBeingResentAndTheOldOneNeverArrives)
{
    Start(kTenLights + "lifx.color.scheme: Manual\r\nlifx.auto.power: true\r\n");
    for (int n = 1; n <= 10; n++)
        Light(n).off = true;
    HandleCommandText("@LIFX Scheme Fire");
    Pass(800); // three tries each, none heard
    for (int n = 1; n <= 10; n++)
        Light(n).off = false;
    HandleCommandText("@LIFX Scheme Ocean");
    Pass(kSettleMs);

    // Ocean's colours alone, as a light that heard only Ocean shows them.
    std::vector<std::string> withResends = Everything();
    std::vector<int> counts;
    for (int n = 1; n <= 10; n++)
        counts.push_back((int)Light(n).received.size());
    Stop();
    ResetLights();
    Start(kTenLights + "lifx.color.scheme: Manual\r\nlifx.auto.power: true\r\n");
    HandleCommandText("@LIFX Scheme Ocean");
    Pass(kSettleMs);
    EXPECT_EQ(withResends, Everything());
    for (int n = 1; n <= 10; n++)
        EXPECT_EQ(counts[n - 1], (int)Light(n).received.size()) << "nothing of Fire, light " << n;
}

// The tips the tray icon was changed to, in order.
std::vector<std::string> TipChanges(size_t from = 0)
{
    std::vector<std::string> tips;
    for (size_t n = from; n < platform::TrayCalls().size(); n++) {
        const platform::TrayCall &call = platform::TrayCalls()[n];
        if (call.message == NIM_MODIFY)
            tips.push_back(call.data.szTip);
    }
    return tips;
}

TEST_F(DeliveryTest, ALightThatNeverAnswersCostsItsTriesAndOneLineThenAnswersAgain)
{
    Start(kTenLights + "lifx.device3.label: Kitchen\r\nlifx.color.scheme: Manual\r\n"
                       "lifx.auto.power: true\r\n");
    Light(3).off = true;
    HandleCommandText("@LIFX Scheme Fire");
    Pass(kSettleMs);
    HandleCommandText("@LIFX Scheme Woods");
    Pass(kSettleMs);

    // Two messages a change to a bulb, all six tries each, the last one
    // included.
    EXPECT_EQ(Light(3).lostDatagrams, 2 * 2 * kDeliveryTries);
    for (int n : {1, 2, 4, 9})
        EXPECT_EQ(Light(n).received.size(), n <= 8 ? 4u : 6u) << "light " << n;
    std::string line = std::string("3 Chromalet-LIFX -> Device #3 (Kitchen) at ") + Address(3) +
                       " did not answer; is it switched on and on this network?";
    EXPECT_EQ(Lines(3), std::vector<std::string>{line}) << "once, until it answers";
    const std::string silent = "Chromalet-LIFX: 1 light not answering";
    EXPECT_EQ(TipChanges(), std::vector<std::string>{silent}) << "once, as the text changed once";

    Light(3).off = false;
    HandleCommandText("@LIFX Scheme Ocean");
    Pass(kSettleMs);
    EXPECT_EQ(Lines(1),
              std::vector<std::string>{std::string("1 Chromalet-LIFX -> Device #3 (Kitchen) at ") +
                                       Address(3) + " answers again."});
    EXPECT_EQ(TipChanges(), (std::vector<std::string>{silent, "Chromalet-LIFX"}));
    EXPECT_EQ(Light(3).received.size(), 2u);
    EXPECT_EQ(Lines(3).size(), 1u);
}

// One light in two slots; cycling, each step replacing what the light never
// confirmed; slot 10; a search that hears the light.
TEST_F(DeliveryTest, ASilentLightIsNamedAndCountedOnceWhateverReplacedWhatAndAnyAnswerClearsIt)
{
    const std::string manual = "lifx.color.scheme: Manual\r\nlifx.auto.power: true\r\n";
    struct Row {
        std::string settings;
        int light, slot;
        std::string wake;
    } rows[] = {
        {"lifx.device3: {3}\r\nlifx.device4: {3}\r\n" + manual, 3, 3, "@LIFX Scheme Ocean"},
        {kTenLights + manual + "lifx.cycle.colors: true\r\nlifx.cycle.interval: 2\r\n", 3, 3,
         "@LIFX Scheme Ocean"},
        {kTenLights + manual, 10, 10, "@LIFX Scheme Ocean"},
        {kTenLights + manual, 3, 3, "@LIFX Discover "},
    };
    for (Row &row : rows) {
        SCOPED_TRACE(row.settings);
        testhost::ClearRecords();
        size_t tips = platform::TrayCalls().size();
        Start(row.settings);
        Light(row.light).off = true;
        HandleCommandText("@LIFX Scheme Fire");
        Pass(30000);
        std::string at = std::string(" at ") + Address(row.light);
        EXPECT_EQ(Lines(3), std::vector<std::string>{"3 Chromalet-LIFX -> Device #" +
                                                     std::to_string(row.slot) + at +
                                                     " did not answer; is it switched on and on "
                                                     "this network?"});
        Light(row.light).off = false;
        if (row.wake.back() == ' ')
            row.wake += Address(row.light);
        HandleCommandText(row.wake.c_str());
        Pass(kSettleMs);
        std::vector<std::string> again;
        for (const std::string &line : Lines(1)) {
            if (line.find("answers again") != std::string::npos)
                again.push_back(line);
        }
        // Once, for its first slot; a search saved its label, which the line names.
        ASSERT_EQ(again.size(), 1u);
        EXPECT_EQ(
            again[0].rfind("1 Chromalet-LIFX -> Device #" + std::to_string(row.slot) + " ", 0), 0u);
        EXPECT_NE(again[0].find(at + " answers again."), std::string::npos);
        EXPECT_EQ(
            TipChanges(tips),
            (std::vector<std::string>{"Chromalet-LIFX: 1 light not answering", "Chromalet-LIFX"}));
        Stop();
        ResetLights();
    }
}

TEST_F(DeliveryTest, ResumeDropsTheResendsOfTheSuspendWithoutBlamingTheLights)
{
    Start(kTenLights + kAutoFire);
    Pass(kSettleMs);
    testhost::ClearRecords();
    // The network went down with the suspend: the power-off is being resent.
    for (int n = 1; n <= 10; n++)
        Light(n).off = true;
    Send(WM_POWERBROADCAST, PBT_APMSUSPEND);
    Pass(300);
    for (int n = 1; n <= 10; n++) {
        Light(n).off = false;
        EmulatorResetLight(Light(n));
    }
    Send(WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC);
    // Held until the power-on step: the effect's as much as the power's.
    Pass(4900);
    for (int n = 1; n <= 10; n++)
        EXPECT_EQ(Light(n).received.size(), 0u) << "light " << n;
    Pass(kSettleMs);

    for (int n = 1; n <= 10; n++) {
        for (const ReceivedDatagram &d : Light(n).received) {
            EXPECT_FALSE(d.type == kTypeSetLightPower && d.bytes[36] == 0 && d.bytes[37] == 0)
                << "a stale power-off reached light " << n;
        }
        EXPECT_EQ(Light(n).powerLevel, 65535) << "light " << n;
    }
    EXPECT_TRUE(Lines(3).empty()) << ::testing::PrintToString(LogLines());
}

TEST_F(DeliveryTest, ASingleLightsChangeStillPendingOutlivesATimeAwayWithoutBlame)
{
    // Unlock, resume with automatic power and without, a sleep nothing told of.
    const UINT rows[][3] = {{WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, 1},
                            {WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 1},
                            {WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0},
                            {0, 0, 0}};
    for (const auto &row : rows) {
        Start(kTenLights +
              "lifx.color.scheme: Manual\r\nlifx.auto.power: " + (row[2] ? "true" : "false"));
        Pass(kSettleMs); // idle for longer than a message's life
        Light(3).off = true;
        HandleCommandText("@LIFX RGB 3 #FF0000");
        Pass(100);
        platform::SleepClock(3600000);
        Light(3).off = false;
        if (row[0])
            Send(row[0], row[1]);
        Pass(kSettleMs);
        EXPECT_EQ(Light(3).colour.saturation, 65535) << row[0] << " " << row[2];
        EXPECT_EQ(Light(3).powerLevel, 65535);
        EXPECT_TRUE(Lines(3).empty()) << ::testing::PrintToString(LogLines());
        Stop();
        ResetLights();
    }
}

TEST_F(DeliveryTest, NoTwoMessagesPendingToOneLightCarryOneSequence)
{
    // The count wrapping past a message still pending; two slots at one
    // address; a strip with two pending in a row, both skipped.
    for (int slot : {3, 4, 9}) {
        int light = slot == 9 ? 9 : 3;
        Start("lifx.device3: {3}\r\nlifx.device4: {3}\r\nlifx.device9: {9}\r\n");
        AcquireLightSocket();
        uint8_t power[kSetLightPowerSize], colour[kSetColorSize], effect[kSetMultiZoneEffectSize];
        EncodeSetLightPower(power, true);
        DeliverConfirmed(light, power, kSetLightPowerSize);
        EncodeSetMultiZoneEffect(effect, true, 5, false);
        if (slot == 9)
            DeliverConfirmed(9, effect, kSetMultiZoneEffectSize);
        size_t pending = slot == 9 ? 2 : 1;
        for (int i = 0; i < 300; i++) {
            EncodeSetColor(colour, Hsbk{(uint16_t)i, 0, 0, 3500}, 0);
            DeliverConfirmed(slot, colour, kSetColorSize);
            Drain();
        }
        const std::vector<ReceivedDatagram> &got = Light(light).received;
        for (size_t n = pending; n < got.size(); n++) {
            for (size_t p = 0; p < pending; p++)
                EXPECT_NE(got[n].bytes[23], got[p].bytes[23]) << slot;
        }
        Stop();
        ResetLights();
    }
}

TEST_F(DeliveryTest, ASlotGivenAnotherAddressStartsUnmarkedAndStopsTheOldResends)
{
    Start(kTenLights);
    Light(3).off = Light(4).off = true;
    HandleCommandText("@LIFX RGB 3 #FF0000");
    Pass(kSettleMs);
    HandleCommandText("@LIFX RGB 3 #00FF00");
    Pass(300);
    HandleCommandText((std::string("@LIFX Device #3 ") + Address(4)).c_str());
    int lost = Light(3).lostDatagrams;
    HandleCommandText("@LIFX RGB 3 #0000FF");
    Pass(kSettleMs);
    EXPECT_EQ(Light(3).lostDatagrams, lost);
    EXPECT_EQ(Lines(3).size(), 2u) << "one line for each light";
    EXPECT_TRUE(DeliverySlotSilent(3));
    HandleCommandText((std::string("@LIFX Device #3 ") + Address(5)).c_str());
    HandleCommandText("@LIFX RGB 3 #FFFFFF");
    Pass(kSettleMs);
    EXPECT_EQ(Lines(1).size(), 2u) << "the two saved lines alone";
    Light(5).off = true;
    HandleCommandText("@LIFX RGB 3 #FF00FF");
    Pass(kSettleMs);
    ASSERT_TRUE(DeliverySlotSilent(3));
    // A new start: a new source, and no slot marked.
    uint32_t source = DeliverySource();
    Stop();
    ASSERT_EQ(beginPlugin(nullptr), 0);
    started = true;
    EXPECT_NE(DeliverySource(), source);
    EXPECT_FALSE(DeliverySlotSilent(3));
}

TEST_F(DeliveryTest, EachSpanOfALongStripIsResentAndOneStepReadsABoundedNumberOfDatagrams)
{
    Start("lifx.device9: {9}\r\nlifx.device9.zones: 120\r\nlifx.color.scheme: Manual\r\n");
    Light(9).stripZones = 120;
    Light(9).off = true;
    HandleCommandText("@LIFX Scheme Fire");
    Pass(300);
    // A flood at the plug-in's socket: one tick leaves most of it for later.
    sockaddr_in at = {};
    socklen_t size = sizeof at;
    SOCKET s = AcquireLightSocket();
    getsockname(s, (sockaddr *)&at, &size);
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int flood = socket(AF_INET, SOCK_DGRAM, 0);
    uint8_t junk[8] = {};
    for (int i = 0; i < 200; i++)
        sendto(flood, junk, sizeof junk, 0, (sockaddr *)&at, sizeof at);
    close(flood);
    Pass(25);
    int left = 0;
    while (left < 1000 && recv(s, junk, sizeof junk, MSG_DONTWAIT) > 0)
        left++;
    EXPECT_GT(left, 100);
    Light(9).off = false;
    Pass(kSettleMs);
    std::set<int> spans;
    for (const ReceivedDatagram &d : Light(9).received)
        spans.insert(d.type == kTypeSetExtendedColorZones ? d.bytes[41] : -1);
    EXPECT_EQ(spans, (std::set<int>{-1, 0, 82})) << "both spans reached the strip";
}

} // namespace
