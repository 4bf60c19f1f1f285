// A home: the lights the preview emulates, one a line, as a user describes
// their own ("strip 82 \"TV backlight\""), each turned into the emulator's
// options for that light, so that every kind the emulator can be is one a
// home can hold.
#pragma once

#include <string>
#include <vector>

namespace preview
{

enum {
    // The plug-in's search covers the emulated lights' /28: 127.56.G.1 to .14.
    kMaxHomeLights = 14,
};

struct HomeLight {
    std::string kind;  // "bulb", "strip", "older-strip", "matrix", "switch"
    int zones = 0;     // a strip's, 0 for the emulator's default
    std::string chain; // a matrix light's tiles, "8x8,8x8"
    std::string label;
    std::vector<std::string> options; // for the emulator
};

struct Home {
    std::string name; // "default", or the file's name without its folder
    std::vector<HomeLight> lights;
};

// One line of a home (no comment, not blank); false with the reason.
bool ParseHomeLine(const std::string &line, HomeLight &light, std::string &reason);

// Adds the lines of a home to `home`; false with "LINE N: reason" (or why the
// file cannot be read). `origin` names the file in the reason.
bool ReadHomeText(const std::string &text, const std::string &origin, Home &home,
                  std::string &reason);
bool ReadHomeFile(const std::string &path, Home &home, std::string &reason);

// Eight bulbs "Bulb 1".. and strips "Strip 9" (82 zones) and "Strip 10" (16).
Home DefaultHome();

// True for the lights that take the strip slots' messages as zones.
bool ZonedKind(const std::string &kind);

} // namespace preview
