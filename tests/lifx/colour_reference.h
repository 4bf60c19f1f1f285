// The conversion as first written: three pow calls per colour for the
// channels and one for the re-encoding. Kept as the yardstick the fast
// conversion in lifx/colour.cpp must match bit for bit.
#pragma once

#include <stdint.h>

#include "lifx/colour.h"

Conversion RgbToHsbkReference(uint32_t colour, int calibrationRed, int calibrationGreen,
                              int calibrationBlue);
int HueDegreesReference(int red, int green, int blue);
int RelativeLuminanceReference(int red, int green, int blue);
// One sRGB channel (0-255) to linear light, with pow every time.
double LinearizeReference(int channel);
