// Counts the heap allocations the plug-in makes itself. The global
// allocation functions of this program are replaced, and malloc, calloc and
// realloc are wrapped at link time; an allocation is counted only while a
// test has armed the counter and no call into the stand-in host or platform
// is in progress (what they allocate for themselves is theirs).
#pragma once

#include <string>

namespace allocations
{

void Arm();
// Disarms and returns the allocations counted since Arm.
long Disarm();
// Where the first counted allocations came from (frame addresses; build with
// symbols and use addr2line to name them).
std::string Sites();

} // namespace allocations
