// How the preview paints what a light was told: the light's hue, saturation,
// brightness and kelvin turned back into an sRGB colour for a terminal or a
// picture, and the numbers the preview prints beside it.
#pragma once

#include <stdint.h>

#include <string>

#include "lifx/messages.h"

namespace preview
{

struct Rgb {
    uint8_t r, g, b;
};

inline bool operator==(const Rgb &a, const Rgb &b)
{
    return a.r == b.r && a.g == b.g && a.b == b.b;
}
inline bool operator!=(const Rgb &a, const Rgb &b)
{
    return !(a == b);
}

// The colour a light shows for a colour record. The plug-in puts perceived
// lightness into the brightness field (sRGB relative luminance re-encoded to
// 0-255, times 257), so this picks the colour of that hue and saturation
// whose luminance matches, not HSV with V = brightness. Saturation 0 is
// white light at the record's kelvin, tinted and matched the same way.
Rgb DisplayRgb(const Hsbk &colour);

// A white light's tint at a colour temperature, brightest channel at 255.
Rgb KelvinTint(int kelvin);

// The colour a record is named by, in the terminal and in pictures alike: a
// white record (saturation 0) by its white point at full brightness, its
// brightness named beside it (dimmed, 3000 K reads as brown and 9000 K as
// grey, which no one takes for white light); any other by the colour shown.
Rgb NamedRgb(const Hsbk &colour);

// Linear mix of two colours, t from 0 (a) to 1 (b).
Rgb Mix(const Rgb &a, const Rgb &b, double t);

// "#RRGGBB".
std::string Hex(const Rgb &colour);

// The numbers printed for a record, as the plug-in's own log line gives
// them: hue in whole degrees (rounded: the record holds the degrees scaled
// and truncated), saturation and brightness in per cent, rounded down.
struct DisplayNumbers {
    int degrees;
    int saturation;
    int brightness;
};
DisplayNumbers Numbers(const Hsbk &colour);

// The words beside a named colour: "3000 K 33%" for white light,
// "120° 100% 39%" for a colour.
std::string ColourWords(const Hsbk &colour);

} // namespace preview
