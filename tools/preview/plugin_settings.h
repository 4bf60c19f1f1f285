// The plug-in's settings file as the preview reads it, to show the scheme
// and flags of the moment: the plug-in writes each change there at once.
#pragma once

#include <string>

namespace preview
{

struct PluginSettings {
    bool exists = false;
    std::string devices[11]; // slots 1-10
    std::string labels[11];  // the lights' names, UTF-8, control characters as spaces
    int calibrationRed = 80, calibrationGreen = 100, calibrationBlue = 95;
    std::string scheme; // as the file names it, mapped: "Fire", "Manual", ...
    bool cycle = false;
    int interval = 10;
    bool move = false;
    int speed = 10;
    bool reverse = false;
    bool autoPower = false;
    bool debug = false;
};

// The file's name in the plug-in folder.
extern const char kSettingsFileName[];

std::string SettingsPath(const std::string &pluginFolder);

// Appends a whole file's bytes to content; false when it cannot be opened.
bool ReadFile(const std::string &path, std::string &content);

// Reads the file the way the host's readers do (keys ignoring case at the
// start of a line, the first match wins, values trimmed); missing keys take
// the plug-in's defaults. False when the file cannot be read.
bool ReadPluginSettings(const std::string &path, PluginSettings &settings);

// The scheme a settings text selects, by its menu name: "Fire", "User1",
// and "Manual" for any text the plug-in does not know.
std::string SchemeName(const std::string &text);

// Sets a boolean key in place (or appends it), keeping every other byte, as
// a user editing the file by hand would. False when the file cannot be
// written.
bool SetBooleanSetting(const std::string &path, const char *key, bool value);

// True when a device text is one the preview lets the plug-in reach: empty,
// or an address within 127.0.0.0/8 (or 0.0.0.0), parsed as the plug-in
// parses it.
bool AddressAllowed(const std::string &text);

} // namespace preview
