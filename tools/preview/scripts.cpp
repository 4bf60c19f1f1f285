#include "tools/preview/scripts.h"

#include <arpa/inet.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

namespace preview
{

namespace
{

const char kPrefix[] = "@Chromalet-LIFX ";

std::vector<std::string> Words(const std::string &line)
{
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            i++;
        if (i >= line.size())
            break;
        std::string word;
        if (line[i] == '"') {
            size_t end = line.find('"', i + 1);
            if (end == std::string::npos)
                end = line.size();
            word = line.substr(i + 1, end - i - 1);
            i = end + 1;
        } else {
            size_t end = line.find_first_of(" \t", i);
            if (end == std::string::npos)
                end = line.size();
            word = line.substr(i, end - i);
            i = end;
        }
        words.push_back(word);
    }
    return words;
}

bool StartsWithIgnoringCase(const std::string &text, const char *start)
{
    return strncasecmp(text.c_str(), start, strlen(start)) == 0;
}

// An address the plug-in would reach outside loopback, parsed whole or by
// its leading run of address characters (parsers differ on what follows).
bool ReachesOutside(const std::string &text)
{
    std::string candidates[3] = {
        text, text.substr(0, text.find_first_not_of("0123456789abcdefABCDEFxX.")),
        text.substr(0, text.find_first_not_of("0123456789."))};
    for (const std::string &candidate : candidates) {
        in_addr address;
        if (candidate.empty() || inet_aton(candidate.c_str(), &address) == 0)
            continue;
        uint32_t host = ntohl(address.s_addr);
        if ((host >> 24) != 127 && host != 0)
            return true;
    }
    return false;
}

std::string Flag(bool on)
{
    return on ? "on" : "off";
}

} // namespace

std::string LightsRange(const Lights &lights)
{
    std::string first = lights.addresses[0];
    return first.substr(0, first.rfind('.')) + ".0/28";
}

bool IsDiscover(const std::string &line)
{
    std::vector<std::string> words = Words(line);
    return words.size() >= 2 &&
           (StartsWithIgnoringCase(words[0], "@LIFX") ||
            StartsWithIgnoringCase(words[0], "@Chromalet-LIFX")) &&
           strcasecmp(words[1].c_str(), "Discover") == 0;
}

std::vector<std::string> SetupLines(const Lights &lights, const PluginSettings &settings,
                                    int searchSeconds)
{
    std::vector<std::string> lines;
    if (!lights.enabled)
        return lines;
    bool empty = true;
    for (int n = 1; n <= kLightCount; n++)
        empty = empty && settings.devices[n].empty();
    if (empty) {
        // As a user's first run: the plug-in finds the lights and fills its
        // slots by itself, bulbs 1 to 8 and strips 9 and 10, and sends them
        // nothing until a scheme is chosen.
        lines.push_back(std::string(kPrefix) + "Discover " + LightsRange(lights));
        lines.push_back(":wait " + std::to_string(searchSeconds * 1000));
    }
    std::string first = lights.addresses[0];
    std::string ownGroup = first.substr(0, first.rfind('.') + 1);
    // A home's lights are where its search put them; a later run in another
    // group of addresses finds each in its own slot again.
    for (int n = 1; n <= kLightCount && !empty && lights.ownHome; n++) {
        const std::string &group = ownGroup;
        const std::string &text = settings.devices[n];
        size_t last = text.rfind('.');
        if (text.compare(0, 7, "127.56.") != 0 || last == std::string::npos ||
            text.compare(0, last + 1, group) == 0)
            continue;
        int octet = atoi(text.c_str() + last + 1);
        if (octet >= 1 && octet <= lights.count)
            lines.push_back(std::string(kPrefix) + "Device #" + std::to_string(n) + " " + group +
                            std::to_string(octet));
    }
    for (int n = 1; n <= kLightCount && !empty && !lights.ownHome; n++) {
        if (settings.devices[n] != lights.addresses[n - 1])
            lines.push_back(std::string(kPrefix) + "Device #" + std::to_string(n) + " " +
                            lights.addresses[n - 1]);
    }
    // The restart reads the file afresh: the debug flag of a new folder is
    // written after the plug-in created it.
    if (!lines.empty())
        lines.push_back(":restart");
    return lines;
}

std::vector<std::string> TourLines(const PluginSettings &before)
{
    std::string p = kPrefix;
    std::vector<std::string> lines;
    if (before.cycle)
        lines.push_back(p + "Toggle Cycle Colors");
    if (before.move)
        lines.push_back(p + "Toggle Move Effect");
    if (before.reverse)
        lines.push_back(p + "Toggle Move Direction");
    if (!before.autoPower)
        lines.push_back(p + "Toggle Auto Power");
    const std::vector<std::string> tour = {
        "# The built-in schemes: three colours each over the bulbs and along the strips.",
        p + "Scheme Fire",
        ":wait 400",
        p + "Scheme Ocean",
        ":wait 400",
        p + "Scheme Woods",
        p + "Scheme Spooky",
        "# Style: the colours of the host's style (the preview's small style file).",
        p + "Scheme Style",
        "# User1: eight colours from the plug-in's settings file.",
        p + "Scheme User1",
        "# White light at 3000 K and 9000 K.",
        p + "Scheme Warm",
        p + "Scheme Cold",
        "# Cycling: every second the colours move one place on, fading.",
        p + "Scheme Fire",
        p + "Cycle Interval 1",
        p + "Toggle Cycle Colors",
        ":wait 2300",
        p + "Toggle Cycle Colors",
        "# The strips' own move effect, one loop in 5 seconds, then the other way.",
        p + "Movement Speed 5",
        p + "Toggle Move Effect",
        ":wait 1000",
        p + "Toggle Move Direction",
        ":wait 1000",
        p + "Toggle Move Direction",
        p + "Toggle Move Effect",
        "# Suspend switches the lights off; 5 seconds after resume they come back.",
        ":suspend",
        ":wait 500",
        ":resume",
        ":wait 5400",
        "# Calibration: red and blue at full strength, then as they were.",
        p + "Calibration R 100",
        p + "Calibration B 100",
        p + "Scheme Spooky",
        p + "Calibration R " + std::to_string(before.calibrationRed),
        p + "Calibration B " + std::to_string(before.calibrationBlue),
        p + "Scheme Spooky",
        "# Manual: single lights by colour or as white light.",
        p + "Scheme Manual",
        p + "RGB 1 #00ff00",
        p + "White 2 50 4000",
        "# The menu, as the host received it.",
        p + "Show Menu",
    };
    lines.insert(lines.end(), tour.begin(), tour.end());
    return lines;
}

std::vector<std::string> RestoreLines(const PluginSettings &before, const PluginSettings &after)
{
    std::string p = kPrefix;
    std::vector<std::string> lines;
    if (after.calibrationRed != before.calibrationRed)
        lines.push_back(p + "Calibration R " + std::to_string(before.calibrationRed));
    if (after.calibrationGreen != before.calibrationGreen)
        lines.push_back(p + "Calibration G " + std::to_string(before.calibrationGreen));
    if (after.calibrationBlue != before.calibrationBlue)
        lines.push_back(p + "Calibration B " + std::to_string(before.calibrationBlue));
    if (after.interval != before.interval)
        lines.push_back(p + "Cycle Interval " + std::to_string(before.interval));
    if (after.speed != before.speed)
        lines.push_back(p + "Movement Speed " + std::to_string(before.speed));
    if (after.reverse != before.reverse)
        lines.push_back(p + "Toggle Move Direction");
    if (after.move != before.move)
        lines.push_back(p + "Toggle Move Effect");
    if (after.autoPower != before.autoPower)
        lines.push_back(p + "Toggle Auto Power");
    if (after.cycle != before.cycle)
        lines.push_back(p + "Toggle Cycle Colors");
    // Last, so the lights show the scheme as it was.
    lines.push_back(p + "Scheme " + before.scheme);
    lines.insert(lines.begin(), "# Back to the settings as they were before the tour: cycle " +
                                    Flag(before.cycle) + ", move effect " + Flag(before.move) +
                                    ", scheme " + before.scheme + ".");
    return lines;
}

bool SilenceEvent(const std::string &line, int &device, bool &silent)
{
    std::vector<std::string> words = Words(line);
    if (words.size() != 2 || (words[0] != ":silence" && words[0] != ":answer"))
        return false;
    const std::string &number = words[1];
    if (number.empty() || number.size() > 3 ||
        number.find_first_not_of("0123456789") != std::string::npos)
        return false;
    device = atoi(number.c_str());
    silent = words[0] == ":silence";
    return true;
}

std::string SilenceNote(const Lights &lights, int device, bool silent, bool done)
{
    if (!done)
        return "there is no light " + std::to_string(device) + ": the lights are 1 to " +
               std::to_string(lights.count);
    std::string light =
        "light " + std::to_string(device) + " (" + lights.addresses[device - 1] + ")";
    if (silent)
        return light + " hears and answers nothing now, as if switched off at the wall; :answer " +
               std::to_string(device) + " brings it back";
    return light + " hears and answers again";
}

bool IsHostEvent(const std::string &line)
{
    static const char *const events[] = {
        ":suspend",         ":resume", ":lock",    ":unlock", ":style-change", ":reconfigure",
        ":taskbar-created", ":close",  ":restart", ":quit",   ":menu",         ":tray-record"};
    for (const char *event : events) {
        if (line == event)
            return true;
    }
    long ms;
    if (WaitMilliseconds(line, ms))
        return true;
    if (line.compare(0, 6, ":tray ") == 0) {
        std::string number = line.substr(6);
        size_t start = number.find_first_not_of(" \t");
        if (start == std::string::npos)
            return false;
        char *end = nullptr;
        strtol(number.c_str() + start, &end, 0);
        return end && *end == 0 && end != number.c_str() + start;
    }
    return false;
}

bool WaitMilliseconds(const std::string &line, long &ms)
{
    if (line.compare(0, 6, ":wait ") != 0)
        return false;
    std::string number = line.substr(6);
    size_t start = number.find_first_not_of(" \t");
    if (start == std::string::npos)
        return false;
    char *end = nullptr;
    ms = strtol(number.c_str() + start, &end, 0);
    return end && *end == 0 && end != number.c_str() + start && ms >= 0;
}

bool CommandAllowed(const std::string &line, std::string &reason)
{
    std::vector<std::string> words = Words(line);
    if (words.size() < 4)
        return true;
    // The plug-in's own test: the first word begins with either prefix.
    if (!StartsWithIgnoringCase(words[0], "@LIFX") &&
        !StartsWithIgnoringCase(words[0], "@Chromalet-LIFX"))
        return true;
    if (strcasecmp(words[1].c_str(), "Device") != 0)
        return true;
    if (!ReachesOutside(words[3]))
        return true;
    reason = words[3] + " is outside 127.0.0.0/8, which is all the preview reaches";
    return false;
}

bool DiscoverAllowed(const std::string &line, const Lights &lights, std::string &reason)
{
    if (!IsDiscover(line))
        return true;
    std::vector<std::string> words = Words(line);
    std::string where = words.size() > 2 ? words[2] : "";
    std::string address = where.substr(0, where.find('/'));
    in_addr parsed;
    if (!where.empty() &&
        (inet_aton(address.c_str(), &parsed) == 0 || (ntohl(parsed.s_addr) >> 24) == 127))
        return true;
    reason =
        (where.empty() ? std::string("a search without an address broadcasts") : where + " is") +
        " beyond this machine, and the preview reaches only 127.0.0.0/8: its lights are "
        "found with Discover " +
        LightsRange(lights);
    return false;
}

bool SettingsAllowed(const PluginSettings &settings, std::string &reason)
{
    for (int n = 1; n <= kLightCount; n++) {
        const std::string &text = settings.devices[n];
        if (text.empty() || (AddressAllowed(text) && !ReachesOutside(text)))
            continue;
        reason = "device " + std::to_string(n) + " in the settings file is \"" + text +
                 "\": the preview keeps every light on 127.0.0.0/8 (empty that slot, or give "
                 "a 127.x.x.x address)";
        return false;
    }
    return true;
}

} // namespace preview
