// How long one light operation holds the thread, beside a floor: the same
// datagrams, encoded beforehand, sent by the barest loop that can send them.
// Only the call itself is timed; the receivers are drained after it.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/bench_state.h"
#include "bench/plugin_harness.h"
#include "commands/commands.h"
#include "commands/timers.h"
#include "host/vesk.h"
#include "lifx/delivery.h"
#include "lifx/dispatch.h"
#include "lifx/images.h"
#include "palette/palette.h"
#include "platform/control_linux.h"
#include "plugin/plugin.h"
#include "settings/settings.h"

namespace
{

enum {
    kFanOutDatagrams = 20,        // power and a colour message for each of ten lights
    kSchemeCommandDatagrams = 22, // and the move effect stopped on both strips
    kLongStripsDatagrams = 44,    // 1000-zone strips: power and 13 spans each
    kTwoChainsDatagrams = 28,     // chains of five 8x8 tiles: power and 5 writes each
};

void UsePaletteScheme()
{
    g_settings.scheme = SchemeFire;
    g_settings.cycleColours = true;
    FillDistinctPalette();
    ReceiversDrain(g_receivers, 0);
}

void UseWarmScheme()
{
    g_settings.scheme = SchemeWarm;
    ReceiversDrain(g_receivers, 0);
}

// Reads what one call sent; false (and the benchmark stopped) when not all of it came.
bool Received(benchmark::State &state, int expected)
{
    int got = ReceiversDrain(g_receivers, expected);
    if (got == expected)
        return true;
    state.SkipWithError("the receivers did not get every datagram");
    return false;
}

double Median(std::vector<double> &samples)
{
    if (samples.empty())
        return 0;
    size_t middle = samples.size() / 2;
    std::nth_element(samples.begin(), samples.begin() + (long)middle, samples.end());
    return samples[middle];
}

// Times `operation` once per iteration; the counter is the median over the
// iterations, in microseconds, which a moment of other work on the machine
// does not move.
template <typename Operation>
void TimeOperation(benchmark::State &state, int expected, Operation operation)
{
    std::vector<double> samples;
    samples.reserve(state.max_iterations);
    for (auto _ : state) {
        double start = NowSeconds();
        operation();
        double elapsed = NowSeconds() - start;
        state.SetIterationTime(elapsed);
        samples.push_back(elapsed);
        if (!Received(state, expected))
            break;
    }
    if (!state.error_occurred())
        state.counters["median_us"] = Median(samples) * 1e6;
}

// Times the plug-in's operation and its floor in turns, within one
// iteration, so that whatever else the machine is doing weighs on both
// alike; the order alternates between iterations. The iteration time is the
// plug-in's; the counters are the medians over the iterations of each, in
// microseconds, and their ratio.
template <typename Operation, typename Floor>
void TimeAgainstFloor(benchmark::State &state, int expected, Operation operation, Floor floor)
{
    std::vector<double> plugin, bare;
    plugin.reserve(state.max_iterations);
    bare.reserve(state.max_iterations);
    bool floorFirst = false;
    for (auto _ : state) {
        double pluginTime = 0, floorTime = 0;
        for (int turn = 0; turn < 2; turn++) {
            bool isFloor = (turn == 0) == floorFirst;
            double start = NowSeconds();
            if (isFloor)
                floor();
            else
                operation();
            (isFloor ? floorTime : pluginTime) = NowSeconds() - start;
            if (!Received(state, expected))
                break;
        }
        if (state.error_occurred())
            break;
        floorFirst = !floorFirst;
        state.SetIterationTime(pluginTime);
        plugin.push_back(pluginTime);
        bare.push_back(floorTime);
    }
    if (state.error_occurred())
        return;
    double pluginMedian = Median(plugin), floorMedian = Median(bare);
    state.counters["plugin_us"] = pluginMedian * 1e6;
    state.counters["floor_us"] = floorMedian * 1e6;
    state.counters["ratio"] = floorMedian > 0 ? pluginMedian / floorMedian : 0;
}

// The datagrams one SendColours(0) sends now, captured by the receivers.
struct Transfer {
    CapturedDatagram datagrams[kBenchMaxDatagrams];
    int count;
    sockaddr_in lights[kBenchLights];
};

bool CaptureTransfer(benchmark::State &state, Transfer &transfer)
{
    SendColours(0);
    transfer.count =
        ReceiversDrain(g_receivers, kFanOutDatagrams, transfer.datagrams, kBenchMaxDatagrams);
    for (int n = 0; n < kBenchLights; n++) {
        transfer.lights[n] = {};
        transfer.lights[n].sin_family = AF_INET;
        transfer.lights[n].sin_port = htons(56700);
        transfer.lights[n].sin_addr.s_addr = inet_addr(g_receivers.addresses[n]);
    }
    if (transfer.count == kFanOutDatagrams)
        return true;
    state.SkipWithError("could not capture the transfer");
    return false;
}

Transfer g_transfer;

// The floor: the plug-in's own pattern, one socket kept open while
// messages await their acknowledgements and sending to each light by
// address, with every byte (the confirmed datagrams as captured) ready
// beforehand.
int g_floorSocket = -1;

void SendTransferOverOneSocket()
{
    if (g_floorSocket < 0)
        g_floorSocket = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    for (int i = 0; i < g_transfer.count; i++) {
        const CapturedDatagram &d = g_transfer.datagrams[i];
        sendto(g_floorSocket, d.bytes, (size_t)d.size, 0,
               (const sockaddr *)&g_transfer.lights[d.light], sizeof(sockaddr_in));
    }
}

void SendColoursPalette(benchmark::State &state)
{
    static bool failed;
    Repetition(state, failed, [&] {
        UsePaletteScheme();
        if (CaptureTransfer(state, g_transfer))
            TimeAgainstFloor(
                state, kFanOutDatagrams, [] { SendColours(0); }, SendTransferOverOneSocket);
    });
}

void SendColoursWarm(benchmark::State &state)
{
    static bool failed;
    Repetition(state, failed, [&] {
        UseWarmScheme();
        if (CaptureTransfer(state, g_transfer))
            TimeAgainstFloor(
                state, kFanOutDatagrams, [] { SendColours(0); }, SendTransferOverOneSocket);
    });
}

// What the shell's timer costs every cycle step: the window procedure moves
// the rotation on and sends every light its colours.
void CycleTick(benchmark::State &state)
{
    static bool failed;
    Repetition(state, failed, [&] {
        UsePaletteScheme();
        TimeOperation(state, kFanOutDatagrams,
                      [] { SendMessageA(g_pluginWindow, WM_TIMER, CycleTimer, 0); });
    });
}

// The user choosing Fire: tokenizing, the palette refilled, every light
// sent, the timer restarted, the move effect stopped, the setting written.
void SchemeFireCommand(benchmark::State &state)
{
    static bool failed;
    Repetition(state, failed, [&] {
        UsePaletteScheme();
        TimeOperation(state, kSchemeCommandDatagrams, [] { HandleCommand("@LIFX Scheme Fire"); });
    });
}

// The longest step of the answers timer: every light awaiting the
// acknowledgement of its power and colour messages, all due again at once.
// Each iteration sends the scheme afresh (untimed), then times the step a
// resend later.
void TimeResendStep(benchmark::State &state, int expected, uint32_t pauseMs = 0)
{
    UsePaletteScheme();
    // Only this benchmark's messages are due: another's, such as the move
    // effect stopped by Scheme Fire, would be resent with them.
    DropDeliveries();
    std::vector<double> samples;
    samples.reserve(state.max_iterations);
    for (auto _ : state) {
        // A light paced at 20 messages a second takes a new image's writes
        // only once the last ones are a second old.
        if (pauseMs)
            platform::AdvanceClock(pauseMs);
        SendColours(0);
        if (!Received(state, expected))
            break;
        uint32_t due = GetTickCount() + 250;
        double start = NowSeconds();
        OfferLightAnswers(due);
        DeliveryStep(due);
        ImagesStep(due);
        double elapsed = NowSeconds() - start;
        state.SetIterationTime(elapsed);
        samples.push_back(elapsed);
        if (!Received(state, expected))
            break;
    }
    DropDeliveries();
    StopImages();
    if (!state.error_occurred())
        state.counters["median_us"] = Median(samples) * 1e6;
}

// Ten lights, twenty datagrams.
void ResendStep(benchmark::State &state)
{
    static bool failed;
    Repetition(state, failed, [&] { TimeResendStep(state, kFanOutDatagrams); });
}

// Both strips 1000 zones long: each strip's power and 13 spans, and the
// bulbs' 16 datagrams.
void ResendStepLongStrips(benchmark::State &state)
{
    static bool failed;
    Repetition(state, failed, [&] {
        int zones[2] = {g_deviceZones[9], g_deviceZones[10]};
        g_deviceZones[9] = g_deviceZones[10] = kMaxStripZones;
        TimeResendStep(state, kLongStripsDatagrams);
        g_deviceZones[9] = zones[0];
        g_deviceZones[10] = zones[1];
    });
}

// Both strip slots matrix lights, chains of five 8x8 tiles: each chain's
// power and five writes, and the bulbs' 16 datagrams.
void ResendStepTwoChains(benchmark::State &state)
{
    for (int slot = kLastBulb + 1; slot <= kDeviceSlots; slot++) {
        g_deviceKinds[slot] = KindMatrix;
        g_deviceChains[slot] = {5, {8, 8, 8, 8, 8}, {8, 8, 8, 8, 8}};
    }
    TimeResendStep(state, kTwoChainsDatagrams, 1000);
    for (int slot = kLastBulb + 1; slot <= kDeviceSlots; slot++) {
        g_deviceKinds[slot] = KindNotKnown;
        g_deviceChains[slot] = DeviceChain();
    }
}

} // namespace

BENCHMARK(SendColoursPalette)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(SendColoursWarm)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(CycleTick)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(SchemeFireCommand)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(ResendStep)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(ResendStepLongStrips)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(ResendStepTwoChains)->UseManualTime()->Unit(benchmark::kMicrosecond);
