#include "tools/preview/plugin_settings.h"

#include <arpa/inet.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <unistd.h>

namespace preview
{

const char kSettingsFileName[] = "Chromalet-LIFX.rc";

bool ReadFile(const std::string &path, std::string &content)
{
    FILE *file = fopen(path.c_str(), "rb");
    if (!file)
        return false;
    char buffer[16384];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, file)) > 0)
        content.append(buffer, n);
    fclose(file);
    return true;
}

namespace
{

std::string Trim(const std::string &text)
{
    size_t a = 0, b = text.size();
    while (a < b && (text[a] == ' ' || text[a] == '\t' || text[a] == '\r' || text[a] == '\n'))
        a++;
    while (b > a && (text[b - 1] == ' ' || text[b - 1] == '\t' || text[b - 1] == '\r' ||
                     text[b - 1] == '\n'))
        b--;
    return text.substr(a, b - a);
}

// The line holding key: [start, end) without its line end. False when none.
bool FindKey(const std::string &content, const char *key, size_t &valueStart, size_t &lineEnd)
{
    size_t keyLength = strlen(key);
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos)
            end = content.size();
        size_t p = start;
        while (p < end && (content[p] == ' ' || content[p] == '\t'))
            p++;
        if (end - p >= keyLength && strncasecmp(content.c_str() + p, key, keyLength) == 0) {
            valueStart = p + keyLength;
            lineEnd = (end > valueStart && content[end - 1] == '\r') ? end - 1 : end;
            return true;
        }
        start = end + 1;
    }
    return false;
}

bool Value(const std::string &content, const char *key, std::string &value)
{
    size_t start, end;
    if (!FindKey(content, key, start, end))
        return false;
    value = Trim(content.substr(start, end - start));
    return true;
}

int Number(const std::string &content, const char *key, int fallback, int low, int high)
{
    std::string text;
    if (!Value(content, key, text) || text.empty())
        return fallback;
    char *end = nullptr;
    long value = strtol(text.c_str(), &end, 10);
    if (end == text.c_str())
        return fallback;
    return value < low ? low : value > high ? high : (int)value;
}

bool Flag(const std::string &content, const char *key, bool fallback)
{
    std::string text;
    if (!Value(content, key, text))
        return fallback;
    return strcasecmp(text.c_str(), "true") == 0 || strcasecmp(text.c_str(), "yes") == 0 ||
           text == "1";
}

} // namespace

std::string SettingsPath(const std::string &pluginFolder)
{
    if (!pluginFolder.empty() && pluginFolder.back() == '/')
        return pluginFolder + kSettingsFileName;
    return pluginFolder + "/" + kSettingsFileName;
}

std::string SchemeName(const std::string &text)
{
    static const char *const names[] = {"Style", "Fire",  "Ocean", "Woods", "Spooky", "Warm",
                                        "Cold",  "User1", "User2", "User3", "Manual"};
    for (const char *name : names) {
        if (strcasecmp(text.c_str(), name) == 0)
            return name;
    }
    return "Manual";
}

bool ReadPluginSettings(const std::string &path, PluginSettings &settings)
{
    settings = PluginSettings();
    std::string content;
    if (!ReadFile(path, content))
        return false;
    settings.exists = true;
    for (int n = 1; n <= 10; n++) {
        char key[32];
        snprintf(key, sizeof key, "lifx.device%d:", n);
        Value(content, key, settings.devices[n]);
        snprintf(key, sizeof key, "lifx.device%d.label:", n);
        Value(content, key, settings.labels[n]);
        // A hand-edited file must not steer the terminal.
        for (char &c : settings.labels[n]) {
            if ((unsigned char)c < 0x20 || c == 0x7F)
                c = ' ';
        }
    }
    settings.calibrationRed = Number(content, "lifx.calibration.red:", 80, 0, 100);
    settings.calibrationGreen = Number(content, "lifx.calibration.green:", 100, 0, 100);
    settings.calibrationBlue = Number(content, "lifx.calibration.blue:", 95, 0, 100);
    std::string scheme;
    Value(content, "lifx.color.scheme:", scheme);
    settings.scheme = SchemeName(scheme);
    settings.cycle = Flag(content, "lifx.cycle.colors:", false);
    settings.interval = Number(content, "lifx.cycle.interval:", 10, 1, 10);
    settings.move = Flag(content, "lifx.move.effect:", false);
    settings.speed = Number(content, "lifx.movement.speed:", 10, 1, 60);
    settings.reverse = Flag(content, "lifx.reverse.direction:", false);
    settings.autoPower = Flag(content, "lifx.auto.power:", false);
    settings.debug = Flag(content, "lifx.debug:", false);
    return true;
}

bool SetBooleanSetting(const std::string &path, const char *key, bool value)
{
    std::string content;
    if (!ReadFile(path, content))
        return false;
    const char *text = value ? "true" : "false";
    size_t start, end;
    if (FindKey(content, key, start, end)) {
        content.replace(start, end - start, std::string(" ") + text);
    } else {
        size_t firstLf = content.find('\n');
        bool crlf = firstLf == std::string::npos || (firstLf > 0 && content[firstLf - 1] == '\r');
        const char *lineEnd = crlf ? "\r\n" : "\n";
        if (!content.empty() && content.back() != '\n')
            content += lineEnd;
        content += std::string(key) + " " + text + lineEnd;
    }
    // Written beside and renamed over, so the host never reads half a file.
    std::string temporary = path + ".preview-" + std::to_string((long)getpid());
    FILE *file = fopen(temporary.c_str(), "wb");
    if (!file)
        return false;
    bool written = fwrite(content.data(), 1, content.size(), file) == content.size();
    written = fclose(file) == 0 && written;
    if (!written || rename(temporary.c_str(), path.c_str()) != 0) {
        remove(temporary.c_str());
        return false;
    }
    return true;
}

bool AddressAllowed(const std::string &text)
{
    std::string trimmed = Trim(text);
    in_addr address;
    if (trimmed.empty())
        return true;
    // Text the parser refuses becomes 255.255.255.255 for the power
    // messages, which try every non-empty slot: refused here as well.
    if (inet_aton(trimmed.c_str(), &address) == 0)
        return false;
    uint32_t host = ntohl(address.s_addr);
    return (host >> 24) == 127 || host == 0;
}

} // namespace preview
