// Palette colour to the lights' HSBK. The order of the double operations is
// kept exactly as written below: changing it moves results across truncation
// boundaries and a light would show a different colour.
#include "lifx/colour.h"

#include <math.h>

namespace
{

const uint16_t kPaletteKelvin = 9000;

int Max3(int a, int b, int c)
{
    int m = a > b ? a : b;
    return m > c ? m : c;
}

int Min3(int a, int b, int c)
{
    int m = a < b ? a : b;
    return m < c ? m : c;
}

// One sRGB channel (0-255) to linear light.
double Linearize(int channel)
{
    double x = channel / 255.0;
    if (x <= 0.04045)
        return x / 12.92;
    return pow((x + 0.055) / 1.055, 2.4);
}

// Linearize for each of the 256 channel values, filled on first use with
// the very same arithmetic: a strip takes 82 conversions, three channels
// each, and pow is by far the dearest step of one.
double g_linear[256];
bool g_linearFilled;

double Linear(int channel)
{
    if (!g_linearFilled) {
        for (int c = 0; c < 256; c++)
            g_linear[c] = Linearize(c);
        g_linearFilled = true;
    }
    // Calibrated channels are always 0-255; anything else is computed.
    if (static_cast<unsigned>(channel) > 255)
        return Linearize(channel);
    return g_linear[channel];
}

} // namespace

double LinearizedChannel(int channel)
{
    return Linear(channel);
}

int HueDegrees(int red, int green, int blue)
{
    int max = Max3(red, green, blue);
    int min = Min3(red, green, blue);
    if (max == min)
        return 0;
    double d = max - min;
    double h;
    // Ties for the largest channel resolve red first, then green.
    if (max == red)
        h = (green - blue) / d;
    else if (max == green)
        h = (blue - red) / d + 2;
    else
        h = (red - green) / d + 4;
    double degrees = h * 60;
    if (degrees < 0)
        degrees += 360;
    return static_cast<int>(degrees);
}

int RelativeLuminance(int red, int green, int blue)
{
    double y = 0;
    y = 0.2126 * Linear(red) + y;
    y = 0.7152 * Linear(green) + y;
    y = 0.0722 * Linear(blue) + y;
    double v;
    if (y <= 0.0031308)
        v = y * 12.92;
    else
        v = pow(y, 0.4166666666666667) * 1.055 - 0.055;
    // The +0.5 before rounding is deliberate: it keeps black at 1, not 0.
    return static_cast<int>(round(v * 255 + 0.5));
}

Conversion RgbToHsbk(uint32_t colour, int calibrationRed, int calibrationGreen, int calibrationBlue)
{
    int red = static_cast<int>(colour & 0xFF);
    int green = static_cast<int>((colour >> 8) & 0xFF);
    int blue = static_cast<int>((colour >> 16) & 0xFF);

    int r = red * calibrationRed / 100;
    int g = green * calibrationGreen / 100;
    int b = blue * calibrationBlue / 100;
    int max = Max3(r, g, b);
    int min = Min3(r, g, b);

    Conversion c;
    if (max == min) {
        c.hue = 0;
        c.saturation = 0;
        c.brightness = round(max * 257.0);
    } else {
        c.hue = HueDegrees(r, g, b) * 65535.0 / 360.0;
        c.saturation = (max - min) * 65535 / max;
        // Brightness follows perceived lightness, not the largest channel.
        int lum = RelativeLuminance(r, g, b) & 0xFF;
        c.brightness = lum * 65535.0 / 255.0;
    }

    c.hsbk.hue = static_cast<uint16_t>(c.hue);
    c.hsbk.saturation = static_cast<uint16_t>(c.saturation);
    c.hsbk.brightness = static_cast<uint16_t>(c.brightness);
    c.hsbk.kelvin = kPaletteKelvin;

    c.h = static_cast<int>(c.hue * 360 / 65535);
    c.s = static_cast<int>(c.saturation * 100 / 65535);
    c.l = static_cast<int>(c.brightness * 100 / 65535);
    return c;
}
