#include "tools/preview/snapshot.h"

#include <stdio.h>

#include <vector>

namespace preview
{

namespace
{

const int kPictureWidth = 900;
const int kPictureHeight = 380; // a row of bulbs and two strips
const int kPerRow = 8;
const int kRowHeight = 150;
const int kStripHeight = 64;
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

// A matrix light's pixels as squares: the whole chain fits the width.
int MatrixPitch(const LightView &light)
{
    int columns = 0;
    for (int t = 0; t < light.tiles; t++)
        columns += light.tileWidth[t];
    int pitch = columns ? (kPictureWidth - 80 - 12 * light.tiles) / columns : 10;
    return pitch > 10 ? 10 : pitch < 3 ? 3 : pitch;
}

int MatrixHeight(const LightView &light)
{
    int rows = 0;
    for (int t = 0; t < light.tiles; t++)
        rows = light.tileHeight[t] > rows ? light.tileHeight[t] : rows;
    return rows * MatrixPitch(light) + 40;
}

// What a light of one colour is called under its circle.
std::string CellName(const LightView &light)
{
    if (light.kind == "switch")
        return "Switch";
    if (light.kind == "matrix")
        return "Matrix";
    return "Bulb";
}

} // namespace

bool WriteSnapshot(const std::string &path, const Lights &lights, const PluginSettings &settings)
{
    // The lights of one colour in rows of eight, then the strips.
    std::vector<int> cells, strips, matrices;
    int matricesHeight = 0;
    for (int n = 0; n < lights.count; n++) {
        const LightView &view = lights.views[n];
        (view.matrix ? matrices : view.strip ? strips : cells).push_back(n);
        if (view.matrix)
            matricesHeight += MatrixHeight(view);
    }
    int rows = cells.empty() ? 1 : ((int)cells.size() + kPerRow - 1) / kPerRow;
    int stripsTop = 250 + (rows - 1) * kRowHeight;
    int extraStrips = strips.size() > 2 ? (int)strips.size() - 2 : 0;
    int pictureHeight =
        kPictureHeight + (rows - 1) * kRowHeight + extraStrips * kStripHeight + matricesHeight;
    FILE *file = fopen(path.c_str(), "w");
    if (!file)
        return false;
    fprintf(file,
            "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" "
            "viewBox=\"0 0 %d %d\" font-family=\"DejaVu Sans, Verdana, sans-serif\">\n",
            kPictureWidth, pictureHeight, kPictureWidth, pictureHeight);
    fprintf(file, "  <rect width=\"%d\" height=\"%d\" fill=\"%s\"/>\n", kPictureWidth,
            pictureHeight, kBackground);
    std::string title =
        "Chromalet-LIFX · scheme " + settings.scheme + " · cycle " +
        (settings.cycle ? "on" : "off") + " · move effect " + (settings.move ? "on" : "off") +
        " · calibration " + std::to_string(settings.calibrationRed) + "/" +
        std::to_string(settings.calibrationGreen) + "/" + std::to_string(settings.calibrationBlue);
    Label(file, 30, 36, title, kText, 18, "start");

    for (size_t i = 0; i < cells.size(); i++) {
        int n = cells[i];
        const LightView &light = lights.views[n];
        int x = 75 + (int)(i % kPerRow) * 107, y = 110 + (int)(i / kPerRow) * kRowHeight;
        bool driven = SlotDriven(lights, settings, n + 1);
        bool lit = driven && light.heard && light.on && light.colourKnown;
        std::string fill = lit ? Hex(NamedRgb(light.colour)) : "#26292e";
        fprintf(file, "  <circle cx=\"%d\" cy=\"%d\" r=\"38\" fill=\"%s\" stroke=\"%s\"%s/>\n", x,
                y, fill.c_str(), lit ? "#000000" : "#4a4f57",
                lit ? " stroke-opacity=\"0.4\"" : " stroke-dasharray=\"4 4\"");
        Label(file, x, y + 62,
              CellName(light) + " " + std::to_string(light.device) + " · " +
                  (light.kind == "switch" ? "no light"
                   : !driven              ? "not driven"
                   : light.heard          ? (light.on ? "on" : "off")
                                          : "—"),
              kText, 13);
        if (driven && light.colourKnown) {
            Label(file, x, y + 80, Hex(NamedRgb(light.colour)), kFaint, 12);
            Label(file, x, y + 96, ColourWords(light.colour), kFaint, 12);
        }
    }

    for (size_t s = 0; s < strips.size(); s++) {
        const LightView &light = lights.views[strips[s]];
        int y = stripsTop + (int)s * kStripHeight;
        bool driven = SlotDriven(lights, settings, strips[s] + 1);
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
            std::string fill = lit ? Hex(NamedRgb(zones[z])) : "#26292e";
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
    int y = stripsTop + (int)(strips.size() > 2 ? strips.size() : 2) * kStripHeight;
    for (int n : matrices) {
        const LightView &light = lights.views[n];
        bool driven = SlotDriven(lights, settings, n + 1);
        Label(file, 40, y + 4,
              "Matrix " + std::to_string(light.device) + " · " + std::to_string(light.tiles) +
                  (light.tiles == 1 ? " tile · " : " tiles · ") +
                  (!driven       ? "not driven"
                   : light.heard ? (light.on ? "on" : "off")
                                 : "—"),
              kText, 13, "start");
        static Hsbk pixels[kMaxViewZones];
        ZonesTarget(light, pixels);
        bool lit = driven && light.heard && light.on && light.zonesKnown;
        int x = 40, first = 0, pitch = MatrixPitch(light);
        for (int t = 0; t < light.tiles; t++) {
            for (int p = 0; p < light.tileWidth[t] * light.tileHeight[t]; p++) {
                std::string fill = lit ? Hex(NamedRgb(pixels[first + p])) : "#26292e";
                fprintf(file,
                        "  <rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" rx=\"1\" "
                        "fill=\"%s\"/>\n",
                        x + p % light.tileWidth[t] * pitch, y + 14 + p / light.tileWidth[t] * pitch,
                        pitch - 1, pitch - 1, fill.c_str());
            }
            first += light.tileWidth[t] * light.tileHeight[t];
            x += light.tileWidth[t] * pitch + 12;
        }
        y += MatrixHeight(light);
    }
    fprintf(file, "</svg>\n");
    return fclose(file) == 0;
}

} // namespace preview
