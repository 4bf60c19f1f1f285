#include "lifx/light_colour.h"

#include "settings/settings.h"

// At full brightness nothing is touched, so that every message keeps the
// bytes it had before there was a dimmer.
static bool Dimming()
{
    return g_settings.brightness >= 1 && g_settings.brightness < 100;
}

Hsbk Dimmed(Hsbk colour)
{
    if (Dimming())
        colour.brightness =
            (uint16_t)((colour.brightness * (uint32_t)g_settings.brightness + 50) / 100);
    return colour;
}

Conversion LightColour(uint32_t colour)
{
    Conversion c = RgbToHsbk(colour, g_settings.calibrationRed, g_settings.calibrationGreen,
                             g_settings.calibrationBlue);
    if (Dimming()) {
        c.brightness = c.brightness * g_settings.brightness / 100;
        c.hsbk.brightness = static_cast<uint16_t>(c.brightness);
        c.l = static_cast<int>(c.brightness * 100 / 65535);
    }
    return c;
}
