// The plain conversion, step by step, with no table: every double operation
// in the same order as the fast one, so both must agree to the last bit.
#include "tests/lifx/colour_reference.h"

#include <math.h>

namespace
{

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

} // namespace

double LinearizeReference(int channel)
{
    double x = channel / 255.0;
    if (x <= 0.04045)
        return x / 12.92;
    return pow((x + 0.055) / 1.055, 2.4);
}

int HueDegreesReference(int red, int green, int blue)
{
    int max = Max3(red, green, blue);
    int min = Min3(red, green, blue);
    if (max == min)
        return 0;
    double d = max - min;
    double h;
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

int RelativeLuminanceReference(int red, int green, int blue)
{
    double y = 0;
    y = 0.2126 * LinearizeReference(red) + y;
    y = 0.7152 * LinearizeReference(green) + y;
    y = 0.0722 * LinearizeReference(blue) + y;
    double v;
    if (y <= 0.0031308)
        v = y * 12.92;
    else
        v = pow(y, 0.4166666666666667) * 1.055 - 0.055;
    return static_cast<int>(round(v * 255 + 0.5));
}

Conversion RgbToHsbkReference(uint32_t colour, int calibrationRed, int calibrationGreen,
                              int calibrationBlue)
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
        c.hue = HueDegreesReference(r, g, b) * 65535.0 / 360.0;
        c.saturation = (max - min) * 65535 / max;
        int lum = RelativeLuminanceReference(r, g, b) & 0xFF;
        c.brightness = lum * 65535.0 / 255.0;
    }

    c.hsbk.hue = static_cast<uint16_t>(c.hue);
    c.hsbk.saturation = static_cast<uint16_t>(c.saturation);
    c.hsbk.brightness = static_cast<uint16_t>(c.brightness);
    c.hsbk.kelvin = 9000;

    c.h = static_cast<int>(c.hue * 360 / 65535);
    c.s = static_cast<int>(c.saturation * 100 / 65535);
    c.l = static_cast<int>(c.brightness * 100 / 65535);
    return c;
}
