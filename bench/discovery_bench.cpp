// How long a discovery holds the shell's thread in one step: the command,
// then every tick of its timer, each timed by itself, over a /22 range
// (1022 addresses, three rounds, in batches) where ten emulated lights
// answer, until all ten are saved in the device slots and the settings file.
// An iteration is one whole discovery; its figure is its longest step.
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/bench_state.h"
#include "commands/commands.h"
#include "commands/discover.h"
#include "commands/timers.h"
#include "emulator/emulator.h"
#include "emulator/loopback.h"
#include "lifx/delivery.h"
#include "platform/control_linux.h"
#include "settings/settings.h"

namespace
{

enum { kAnswering = 10, kLightsGroup = 9 };

Emulator g_lights;
char g_addresses[kAnswering][kLoopbackAddressSize];

bool StartLights(benchmark::State &state)
{
    if (g_lights.running)
        return true;
    TestLoopbackAddresses(g_addresses, kAnswering, kLightsGroup);
    const char *list[kAnswering];
    for (int n = 0; n < kAnswering; n++)
        list[n] = g_addresses[n];
    char error[256] = "";
    if (!EmulatorStart(g_lights, list, kAnswering, error, sizeof error)) {
        state.SkipWithError(error);
        return false;
    }
    g_lights.lights[8].strip = g_lights.lights[9].strip = true;
    return true;
}

double TimeIt(void (*step)())
{
    double start = NowSeconds();
    step();
    return NowSeconds() - start;
}

std::string g_command;

void StartCommand()
{
    HandleCommand(g_command.c_str());
}

void Tick()
{
    platform::AdvanceClock(kAnswersTickMs);
}

void TimeDiscoveries(benchmark::State &state)
{
    if (!StartLights(state))
        return;
    std::string network = g_addresses[0];
    g_command = "@LIFX Discover " + network.substr(0, network.rfind('.')) + ".0/22";
    // Only the discovery's timer may tick, and it has nothing else to do:
    // what the other benchmarks left awaiting an acknowledgement would
    // otherwise be resent and given up on within the timed ticks.
    StopCycleTimer();
    DropDeliveries();
    char devices[sizeof g_devices];
    memcpy(devices, g_devices, sizeof devices);
    int zones[kDeviceSlots + 1];
    memcpy(zones, g_deviceZones, sizeof zones);

    std::vector<double> longest;
    int steps = 0, found = 0;
    for (auto _ : state) {
        // Every light is new each time, and is saved.
        ClearDeviceTable();
        double most = TimeIt(StartCommand);
        for (steps = 0; steps < 1000 && DiscoveryUnderway(); steps++) {
            EmulatorPoll(g_lights, 0);
            most = std::max(most, TimeIt(Tick));
        }
        found = 0;
        for (int n = 1; n <= kDeviceSlots; n++)
            found += g_devices[n][0] != 0;
        state.SetIterationTime(most);
        longest.push_back(most);
        ReceiversDrain(g_receivers, 0);
    }
    memcpy(g_devices, devices, sizeof devices);
    memcpy(g_deviceZones, zones, sizeof zones);
    UpdateAnyDeviceConfigured();
    if (found != kAnswering) {
        state.SkipWithError("the discovery did not find every light");
        return;
    }
    std::nth_element(longest.begin(), longest.begin() + (long)(longest.size() / 2), longest.end());
    state.counters["median_us"] = longest[longest.size() / 2] * 1e6;
    state.counters["steps"] = steps;
}

void DiscoveryLongestStep(benchmark::State &state)
{
    static bool failed;
    Repetition(state, failed, [&] { TimeDiscoveries(state); });
}

} // namespace

BENCHMARK(DiscoveryLongestStep)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(20);
