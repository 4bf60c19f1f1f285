// The palette the lights read.
#pragma once

#include <stdint.h>

#include "settings/schemes.h"

enum {
    kPaletteEntries = 129, // entry 0 never holds a colour; 1 to 128 do
    kRotationSteps = 8,    // the rotation offset runs 1 to 8
};

struct Palette {
    // 0x00BBGGRR: red in bits 0-7, green 8-15, blue 16-23.
    uint32_t entries[kPaletteEntries];
    int offset; // entry the lights start reading from
    // The scheme's pattern repeats every `period` entries, from entry 1 on;
    // entries past 128 go on by it. 0: no pattern, past 128 is black.
    int period;
};

extern Palette g_palette;

// The colour of entry n, 1 and up: past the last stored entry the scheme's
// pattern goes on, as a strip longer than the palette reads it.
uint32_t PatternColour(int n);

// Rebuilds the palette for the current scheme; the rotation offset becomes 1.
void RefreshPalette();
// Reads the colours of the style (or of the user scheme) into entries 1 to 128.
void LoadStyleColours();
// Reads one item's appearance and colours; false when the item is not usable.
bool ReadStyleItemColours(const char *file, const char *item);
