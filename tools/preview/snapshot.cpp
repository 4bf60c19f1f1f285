#include "tools/preview/snapshot.h"

#include <stdio.h>

namespace preview
{

namespace
{

const int kPictureWidth = 900;
const int kPictureHeight = 380;
const char kBackground[] = "#15181c";
const char kText[] = "#d8dde3";
const char kFaint[] = "#7d8690";

std::string Escaped(const std::string &text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

void Label(FILE *file, int x, int y, const std::string &text, const char *colour, int size,
           const char *anchor = "middle")
{
    fprintf(file,
            "  <text x=\"%d\" y=\"%d\" fill=\"%s\" font-size=\"%d\" text-anchor=\"%s\">%s</text>\n",
            x, y, colour, size, anchor, Escaped(text).c_str());
}

// A white record (saturation 0) is drawn as white light at its colour
// temperature, its brightness left to the caption: dimmed, 3000 K reads as
// brown and 9000 K as grey, which no one takes for white light.
Rgb PictureRgb(const Hsbk &colour)
{
    if (colour.saturation == 0 && colour.brightness > 0)
        return KelvinTint(colour.kelvin);
    return DisplayRgb(colour);
}

} // namespace

bool WriteSnapshot(const std::string &path, const Lights &lights, const PluginSettings &settings)
{
    FILE *file = fopen(path.c_str(), "w");
    if (!file)
        return false;
    fprintf(file,
            "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" "
            "viewBox=\"0 0 %d %d\" font-family=\"DejaVu Sans, Verdana, sans-serif\">\n",
            kPictureWidth, kPictureHeight, kPictureWidth, kPictureHeight);
    fprintf(file, "  <rect width=\"%d\" height=\"%d\" fill=\"%s\"/>\n", kPictureWidth,
            kPictureHeight, kBackground);
    std::string title =
        "Chromalet-LIFX · scheme " + settings.scheme + " · cycle " +
        (settings.cycle ? "on" : "off") + " · move effect " + (settings.move ? "on" : "off") +
        " · calibration " + std::to_string(settings.calibrationRed) + "/" +
        std::to_string(settings.calibrationGreen) + "/" + std::to_string(settings.calibrationBlue);
    Label(file, 30, 36, title, kText, 18, "start");

    for (int n = 0; n < kBulbCount; n++) {
        const LightView &light = lights.views[n];
        int x = 75 + n * 107, y = 110;
        bool driven = SlotDriven(lights, settings, n + 1);
        bool lit = driven && light.heard && light.on && light.colourKnown;
        std::string fill = lit ? Hex(PictureRgb(light.colour)) : "#26292e";
        fprintf(file, "  <circle cx=\"%d\" cy=\"%d\" r=\"38\" fill=\"%s\" stroke=\"%s\"%s/>\n", x,
                y, fill.c_str(), lit ? "#000000" : "#4a4f57",
                lit ? " stroke-opacity=\"0.4\"" : " stroke-dasharray=\"4 4\"");
        Label(file, x, y + 62,
              "Bulb " + std::to_string(light.device) + " · " +
                  (!driven       ? "not driven"
                   : light.heard ? (light.on ? "on" : "off")
                                 : "—"),
              kText, 13);
        if (driven && light.colourKnown) {
            DisplayNumbers numbers = Numbers(light.colour);
            char text[48];
            if (light.colour.saturation == 0)
                snprintf(text, sizeof text, "%dK %d%%", light.colour.kelvin, numbers.brightness);
            else
                snprintf(text, sizeof text, "%d° %d%% %d%%", numbers.degrees, numbers.saturation,
                         numbers.brightness);
            Label(file, x, y + 80, Hex(PictureRgb(light.colour)), kFaint, 12);
            Label(file, x, y + 96, text, kFaint, 12);
        }
    }

    for (int s = 0; s < 2; s++) {
        const LightView &light = lights.views[kBulbCount + s];
        int y = 250 + s * 64;
        bool driven = SlotDriven(lights, settings, kBulbCount + s + 1);
        std::string caption = "Strip " + std::to_string(light.device) + " · " +
                              std::to_string(light.zoneCount) + " zones · " +
                              (!driven       ? "not driven"
                               : light.heard ? (light.on ? "on" : "off")
                                             : "—");
        if (driven && light.moveKnown && light.moveOn)
            caption += std::string(" · move effect ") + (light.moveDirection ? "→" : "←") + " " +
                       std::to_string(light.moveSpeedMs / 1000) + " s";
        Label(file, 40, y - 8, caption, kText, 13, "start");
        static Hsbk zones[kMaxViewZones];
        ZonesTarget(light, zones);
        bool lit = driven && light.heard && light.on && light.zonesKnown;
        // Every strip as long as 82 zones of 10 pixels; its own zones share
        // that length.
        int count = light.zoneCount;
        double pitch = 10.0 * kZones / count;
        for (int z = 0; z < count; z++) {
            std::string fill = lit ? Hex(PictureRgb(zones[z])) : "#26292e";
            if (count == kZones)
                fprintf(file,
                        "  <rect x=\"%d\" y=\"%d\" width=\"9\" height=\"30\" rx=\"1.5\" "
                        "fill=\"%s\"/>\n",
                        40 + z * 10, y, fill.c_str());
            else
                fprintf(file,
                        "  <rect x=\"%.2f\" y=\"%d\" width=\"%.2f\" height=\"30\" "
                        "rx=\"1.5\" fill=\"%s\"/>\n",
                        40 + z * pitch, y, pitch > 1.5 ? pitch - 1 : pitch, fill.c_str());
        }
    }
    fprintf(file, "</svg>\n");
    return fclose(file) == 0;
}

} // namespace preview
