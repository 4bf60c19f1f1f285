// What the preview says on its own account about a line it played: "no
// change" after a plug-in command that changed nothing, when the lights come
// back after a resume or an unlock; and its help.
#pragma once

#include <string>
#include <vector>

#include "tools/preview/light_views.h"
#include "tools/preview/plugin_settings.h"

namespace preview
{

// What a command could change, taken before it is played and compared after.
struct StepWatch {
    long datagrams = 0;
    std::string settingsFile; // its bytes
    bool shown = false;       // the host showed something besides log lines
};

// Before the command: the lights' datagrams read so far, the settings file.
void StartWatch(StepWatch &watch, Lights &lights, const std::string &settingsPath);
// Each line the host printed while the command was played.
void WatchHostLine(StepWatch &watch, const std::string &line);
// After it: true when no light was sent anything, the settings file is as
// it was, and the host printed nothing but the plug-in's log lines (a menu,
// an about text or an opened file count as something).
bool NothingChanged(StepWatch &watch, Lights &lights, const std::string &settingsPath);

extern const char kNoChange[];
// Said after a Discover, whose result comes later.
extern const char kDiscoverNote[];

// What follows a host event: when the lights come back after ":resume"
// (5 s) and ":unlock" (1 s), or that automatic power is off; "" for other
// lines.
std::string EventNote(const std::string &line, const PluginSettings &settings);

// The help, one entry a line.
const std::vector<std::string> &HelpLines();

} // namespace preview
