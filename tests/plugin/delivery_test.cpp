// Confirmed delivery as the lights and the user see it: on a lossy network
// every light ends in the state it was last sent, a newer state is never
// overtaken by an older one, a light that does not answer costs its tries
// and one line, and time spent suspended is nobody's silence.
#include <set>
#include <string>
#include <vector>

#include "host/vesk.h"
#include "lifx/messages.h"
#include "plugin/plugin.h"
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
    for (const Hsbk &z : light.zones)
        text += " " + std::to_string(z.hue) + "," + std::to_string(z.brightness);
    text += light.moveOn ? " moving" : " still";
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
    std::vector<std::vector<std::string>> RunEveryKindOfChange()
    {
        std::vector<std::vector<std::string>> after;
        Start(kTenLights + kAutoFire + "lifx.device9.zones: 120\r\nlifx.device10.zones: 1000\r\n");
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
    std::vector<std::vector<std::string>> clean = RunEveryKindOfChange();
    Stop();
    ResetLights();
    testhost::ClearRecords();
    EmulatorSetLoss(emulator, 15, 20261209);
    std::vector<std::vector<std::string>> lossy = RunEveryKindOfChange();

    int lost = 0;
    for (int n = 1; n <= 10; n++)
        lost += Light(n).lostDatagrams + Light(n).lostAcknowledgements;
    ASSERT_GT(lost, 10) << "the network lost something";
    ASSERT_EQ(clean.size(), lossy.size());
    for (size_t step = 0; step < clean.size(); step++)
        EXPECT_EQ(lossy[step], clean[step]) << "after change " << step;
    EXPECT_TRUE(Lines(3).empty()) << ::testing::PrintToString(LogLines());
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

TEST_F(DeliveryTest, ALightThatNeverAnswersCostsItsTriesAndOneLineThenAnswersAgain)
{
    Start(kTenLights + "lifx.color.scheme: Manual\r\nlifx.auto.power: true\r\n");
    Light(3).off = true;
    HandleCommandText("@LIFX Scheme Fire");
    Pass(kSettleMs);
    HandleCommandText("@LIFX Scheme Woods");
    Pass(kSettleMs);

    // Two messages a change to a bulb, from five to eight tries each.
    EXPECT_GE(Light(3).lostDatagrams, 2 * 2 * 5);
    EXPECT_LE(Light(3).lostDatagrams, 2 * 2 * 8);
    for (int n : {1, 2, 4, 9})
        EXPECT_EQ(Light(n).received.size(), n <= 8 ? 4u : 6u) << "light " << n;
    std::string line = std::string("3 Chromalet-LIFX -> Device #3 at ") + Address(3) +
                       " did not answer; is it switched on and on this network?";
    EXPECT_EQ(Lines(3), std::vector<std::string>{line}) << "once, until it answers";

    Light(3).off = false;
    HandleCommandText("@LIFX Scheme Ocean");
    Pass(kSettleMs);
    EXPECT_EQ(Lines(1), std::vector<std::string>{std::string("1 Chromalet-LIFX -> Device #3 at ") +
                                                 Address(3) + " answers again."});
    EXPECT_EQ(Light(3).received.size(), 2u);
    EXPECT_EQ(Lines(3).size(), 1u);
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

} // namespace
