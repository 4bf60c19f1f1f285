#include "tools/preview/display_colour.h"

#include <math.h>
#include <stdio.h>

namespace preview
{

namespace
{

double Linear(double encoded)
{
    return encoded <= 0.04045 ? encoded / 12.92 : pow((encoded + 0.055) / 1.055, 2.4);
}

double Luminance(double r, double g, double b)
{
    return 0.2126 * Linear(r) + 0.7152 * Linear(g) + 0.0722 * Linear(b);
}

uint8_t Channel(double value)
{
    if (value <= 0)
        return 0;
    if (value >= 1)
        return 255;
    return (uint8_t)lround(value * 255);
}

// Scales the fully bright colour (r, g, b) down until its luminance is the
// one the brightness field encodes.
Rgb MatchLuminance(double r, double g, double b, uint16_t brightness)
{
    if (brightness == 0)
        return Rgb{0, 0, 0};
    // The plug-in's lightness is the whole part of the encoded luminance
    // (0-255) plus one; the middle of that step is one half below.
    double lightness = brightness / 257.0 - 0.5;
    if (lightness < 0)
        lightness = 0;
    double target = Linear(lightness / 255.0);
    double low = 0, high = 1;
    if (Luminance(r, g, b) <= target) {
        low = 1;
    } else {
        // Luminance grows with the scale: 40 halvings pin it far below a
        // channel step.
        for (int i = 0; i < 40; i++) {
            double middle = (low + high) / 2;
            if (Luminance(r * middle, g * middle, b * middle) < target)
                low = middle;
            else
                high = middle;
        }
    }
    return Rgb{Channel(r * low), Channel(g * low), Channel(b * low)};
}

} // namespace

Rgb KelvinTint(int kelvin)
{
    // A common fit of black-body colours (valid from 1000 K to 40000 K).
    double t = kelvin / 100.0;
    double r, g, b;
    if (t <= 66) {
        r = 255;
        g = 99.4708025861 * log(t) - 161.1195681661;
        b = t <= 19 ? 0 : 138.5177312231 * log(t - 10) - 305.0447927307;
    } else {
        r = 329.698727446 * pow(t - 60, -0.1332047592);
        g = 288.1221695283 * pow(t - 60, -0.0755148492);
        b = 255;
    }
    double top = fmax(r, fmax(g, b));
    if (top <= 0)
        return Rgb{255, 255, 255};
    return Rgb{Channel(r / top), Channel(g / top), Channel(b / top)};
}

Rgb DisplayRgb(const Hsbk &colour)
{
    double r, g, b;
    if (colour.saturation == 0) {
        Rgb tint = KelvinTint(colour.kelvin ? colour.kelvin : 6500);
        r = tint.r / 255.0;
        g = tint.g / 255.0;
        b = tint.b / 255.0;
    } else {
        // Hue and saturation as HSV at full value.
        double degrees = colour.hue * 360.0 / 65535.0;
        double s = colour.saturation / 65535.0;
        double sector = fmod(degrees / 60.0, 6.0);
        double f = sector - floor(sector);
        double p = 1 - s, q = 1 - s * f, u = 1 - s * (1 - f);
        switch ((int)floor(sector)) {
        case 0:
            r = 1, g = u, b = p;
            break;
        case 1:
            r = q, g = 1, b = p;
            break;
        case 2:
            r = p, g = 1, b = u;
            break;
        case 3:
            r = p, g = q, b = 1;
            break;
        case 4:
            r = u, g = p, b = 1;
            break;
        default:
            r = 1, g = p, b = q;
            break;
        }
    }
    return MatchLuminance(r, g, b, colour.brightness);
}

Rgb Mix(const Rgb &a, const Rgb &b, double t)
{
    if (t <= 0)
        return a;
    if (t >= 1)
        return b;
    return Rgb{(uint8_t)lround(a.r + (b.r - a.r) * t), (uint8_t)lround(a.g + (b.g - a.g) * t),
               (uint8_t)lround(a.b + (b.b - a.b) * t)};
}

std::string Hex(const Rgb &colour)
{
    char text[8];
    snprintf(text, sizeof text, "#%02X%02X%02X", colour.r, colour.g, colour.b);
    return text;
}

DisplayNumbers Numbers(const Hsbk &colour)
{
    DisplayNumbers numbers;
    numbers.degrees = (int)lround(colour.hue * 360.0 / 65535.0) % 360;
    numbers.saturation = (int)(colour.saturation * 100L / 65535);
    numbers.brightness = (int)(colour.brightness * 100L / 65535);
    return numbers;
}

Rgb NamedRgb(const Hsbk &colour)
{
    if (colour.saturation == 0 && colour.brightness > 0)
        return KelvinTint(colour.kelvin);
    return DisplayRgb(colour);
}

std::string ColourWords(const Hsbk &colour)
{
    DisplayNumbers numbers = Numbers(colour);
    char text[48];
    if (colour.saturation == 0)
        snprintf(text, sizeof text, "%d K %d%%", colour.kelvin, numbers.brightness);
    else
        snprintf(text, sizeof text, "%d° %d%% %d%%", numbers.degrees, numbers.saturation,
                 numbers.brightness);
    return text;
}

} // namespace preview
