// What the benchmarks share: the receiving sockets and a clock for the time
// the plug-in holds the thread.
#pragma once

#include <time.h>

#include "bench/receivers.h"

extern Receivers g_receivers;

inline double NowSeconds()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (double)now.tv_sec + (double)now.tv_nsec * 1e-9;
}
