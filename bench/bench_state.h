// What the benchmarks share: the receiving sockets and a clock for the time
// the plug-in holds the thread.
#pragma once

#include <time.h>

#include <benchmark/benchmark.h>

#include "bench/receivers.h"

extern Receivers g_receivers;
// Whether any benchmark failed: the program then ends with status 1.
extern bool g_benchFailed;

inline double NowSeconds()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (double)now.tv_sec + (double)now.tv_nsec * 1e-9;
}

// One repetition of a benchmark, unless an earlier one failed: then this one
// fails too. Google Benchmark (1.7) summarises the repetitions with the
// statistics of the first, which a failed one lacks: a failed first
// repetition followed by good ones crashed the whole run.
template <typename Body> void Repetition(benchmark::State &state, bool &failed, Body body)
{
    if (failed) {
        state.SkipWithError("an earlier repetition failed");
        return;
    }
    body();
    failed = state.error_occurred();
    g_benchFailed = g_benchFailed || failed;
}
