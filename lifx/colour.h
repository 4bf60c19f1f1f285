// Palette colours to the lights' hue, saturation, brightness and kelvin.
#pragma once

#include <stdint.h>

#include "lifx/messages.h"

struct Conversion {
    Hsbk hsbk;
    double hue;        // 0 to 65535, not rounded
    double saturation; // 0 to 65535
    double brightness; // 0 to 65535
    int h;             // display values: degrees, percent, percent
    int s;
    int l;
};

// colour is a palette word 0x00BBGGRR; the calibrations are percentages 0-100.
Conversion RgbToHsbk(uint32_t colour, int calibrationRed, int calibrationGreen,
                     int calibrationBlue);
// Hue of three 8-bit channels in whole degrees, 0 to 359.
int HueDegrees(int red, int green, int blue);
// sRGB relative luminance re-encoded to 1-255.
int RelativeLuminance(int red, int green, int blue);
// One 8-bit sRGB channel as linear light, (c / 255 + 0.055) / 1.055 raised to
// 2.4 (c / 255 / 12.92 at the dark end), from a table filled on first use.
double LinearizedChannel(int channel);
