// The palette the lights read, the colour schemes and their names.
#pragma once

#include <stdint.h>

enum SchemeId {
    SchemeManual = 0,
    SchemeWarm = 1,
    SchemeCold = 2,
    SchemeStyle = 10,
    SchemeFire = 11,
    SchemeOcean = 12,
    SchemeWoods = 13,
    SchemeSpooky = 14,
    SchemeUser1 = 101,
    SchemeUser2 = 102,
    SchemeUser3 = 103,
};

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

// Identifiers of 10 and above are the schemes that use the palette.
inline bool IsPaletteScheme(int scheme)
{
    return scheme >= SchemeStyle;
}

// Looks a scheme name up, ignoring ASCII case. Returns false for a name
// that is not one of the eleven, leaving *id untouched.
bool FindScheme(const char *name, int *id);
// The name of a scheme as the menu and the settings file spell it.
const char *SchemeName(int id);

// Rebuilds the palette for the current scheme; the rotation offset becomes 1.
void RefreshPalette();
// Reads the colours of the style (or of the user scheme) into entries 1 to 32.
void LoadStyleColours();
// Reads one item's appearance and colours; false when the item is not usable.
bool ReadStyleItemColours(const char *file, const char *item);
