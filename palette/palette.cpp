#include "palette/palette.h"

#include "settings/settings.h"

Palette g_palette;

struct BuiltinPattern {
    int scheme;
    // Even entries with bit 2 clear, odd entries with bit 2 clear, bit 2 set.
    uint32_t first, second, third;
};

// Colour words: 0x00BBGGRR, so #FF8800 is 0x0088FF.
static const BuiltinPattern kBuiltinPatterns[] = {
    {SchemeFire, 0x000088, 0x0000FF, 0x0088FF},
    {SchemeOcean, 0xFF0000, 0xFF8800, 0xFFCC00},
    {SchemeWoods, 0x004400, 0x006600, 0x00FF00},
    {SchemeSpooky, 0x440044, 0x880088, 0x0088FF},
};

static void FillPattern(const BuiltinPattern &pattern)
{
    // Repeats every eight entries: second, first, second, third x4, first.
    for (int n = 1; n < kPaletteEntries; n++) {
        if (n & 4)
            g_palette.entries[n] = pattern.third;
        else if (n & 1)
            g_palette.entries[n] = pattern.second;
        else
            g_palette.entries[n] = pattern.first;
    }
    g_palette.period = 8;
}

uint32_t PatternColour(int n)
{
    if (n >= 1 && n < kPaletteEntries)
        return g_palette.entries[n];
    int period = g_palette.period;
    if (n < 1 || period < 1 || period >= kPaletteEntries)
        return 0;
    return g_palette.entries[(n - 1) % period + 1];
}

void RefreshPalette()
{
    g_palette.offset = 1;
    int scheme = g_settings.scheme;
    if (scheme == SchemeStyle || scheme >= SchemeUser1) {
        LoadStyleColours();
        return;
    }
    for (const BuiltinPattern &pattern : kBuiltinPatterns) {
        if (pattern.scheme == scheme) {
            FillPattern(pattern);
            return;
        }
    }
    // Manual, Warm and Cold keep whatever the palette holds.
}
