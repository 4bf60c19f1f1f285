// The plug-in started in the stand-in host, as a shell would load it, with
// its ten device slots pointing at the benchmark's receiving sockets.
#pragma once

#include "bench/receivers.h"

// Writes a settings file into a fresh folder (in /dev/shm, else /tmp) and calls
// beginPlugin. The settings: eight bulbs and two strips on the receivers'
// addresses, the Fire scheme, cycling every 2 seconds, debug off.
bool StartBenchPlugin(const Receivers &receivers, char *error, size_t errorSize);
// endPlugin, and the folder removed.
void StopBenchPlugin();

// Gives every palette entry its own colour, none black or grey, so that a
// full SendColours converts 172 different colours.
void FillDistinctPalette();
