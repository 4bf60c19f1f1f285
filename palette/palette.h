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
};

extern Palette g_palette;

// Rebuilds the palette for the current scheme; the rotation offset becomes 1.
void RefreshPalette();
// Reads the colours of the style (or of the user scheme) into entries 1 to 128.
void LoadStyleColours();
// Reads one item's appearance and colours; false when the item is not usable.
bool ReadStyleItemColours(const char *file, const char *item);
