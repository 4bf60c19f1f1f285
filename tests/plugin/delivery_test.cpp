// Confirmed delivery as the lights and the user see it: on a lossy network
// every light ends in the state it was last sent, a newer state is never
// overtaken by an older one, a light that does not answer costs its tries
// and one line, and time spent suspended is nobody's silence.
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
    for (const Hsbk &z : light.zones)
        text += " " + std::to_string(z.hue) + "," + std::to_string(z.brightness);
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
std::vector<std::string> TipChanges()
{
    std::vector<std::string> tips;
    for (const platform::TrayCall &call : platform::TrayCalls()) {
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

    // Two messages a change to a bulb, from five to eight tries each.
    EXPECT_GE(Light(3).lostDatagrams, 2 * 2 * 5);
    EXPECT_LE(Light(3).lostDatagrams, 2 * 2 * 8);
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
    // The count wrapping past a message still pending; two slots at one address.
    for (int slot : {3, 4}) {
        Start("lifx.device3: {3}\r\nlifx.device4: {3}\r\n");
        AcquireLightSocket();
        uint8_t power[kSetLightPowerSize], colour[kSetColorSize];
        EncodeSetLightPower(power, true);
        DeliverConfirmed(3, power, kSetLightPowerSize);
        for (int i = 0; i < 300; i++) {
            EncodeSetColor(colour, Hsbk{(uint16_t)i, 0, 0, 3500}, 0);
            DeliverConfirmed(slot, colour, kSetColorSize);
            Drain();
        }
        for (const ReceivedDatagram &d : Light(3).received)
            EXPECT_TRUE(&d == &Light(3).received[0] ||
                        d.bytes[23] != Light(3).received[0].bytes[23])
                << slot;
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
