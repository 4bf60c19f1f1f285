// The benchmark program: receiving sockets on loopback, the plug-in started
// in the stand-in host, then Google Benchmark's own command line.
#include <stdio.h>

#include <benchmark/benchmark.h>

#include "bench/bench_state.h"
#include "bench/plugin_harness.h"

Receivers g_receivers;
bool g_benchFailed;

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    char error[256] = "";
    // A group of addresses apart from the ones the tests take.
    if (!ReceiversOpen(g_receivers, 7, error, sizeof error)) {
        fprintf(stderr, "chromalet_bench: %s\n", error);
        return 1;
    }
    if (!StartBenchPlugin(g_receivers, error, sizeof error)) {
        fprintf(stderr, "chromalet_bench: %s\n", error);
        ReceiversClose(g_receivers);
        return 1;
    }
    ReceiversDrain(g_receivers, 0);
    benchmark::RunSpecifiedBenchmarks();
    StopBenchPlugin();
    ReceiversClose(g_receivers);
    benchmark::Shutdown();
    if (g_benchFailed)
        fprintf(stderr, "chromalet_bench: a benchmark failed (see ERROR OCCURRED above)\n");
    return g_benchFailed ? 1 : 0;
}
