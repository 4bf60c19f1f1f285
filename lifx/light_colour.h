// The colour a light, a zone or a pixel is given: every kind of light takes
// its colours from here, so that calibration and the dimmer reach them all.
#pragma once

#include <stdint.h>

#include "lifx/colour.h"

// A palette word 0x00BBGGRR as the lights are to show it: calibrated, then
// at the brightness setting.
Conversion LightColour(uint32_t colour);
// A colour not converted from the palette (a white) at the brightness
// setting; unchanged at 100 %.
Hsbk Dimmed(Hsbk colour);
