#include "tools/preview/notes.h"

namespace preview
{

const char kNoChange[] = "no change";
const char kDiscoverNote[] =
    "the plug-in listens for about 2 s (up to 6 s while datagrams get lost), then logs each "
    "light it found and saves it";

namespace
{

std::string FileBytes(const std::string &path)
{
    std::string content;
    ReadFile(path, content);
    return content;
}

// "[0] ...", "[254] ...": the plug-in's own log; "[host] ...": the host's
// account of calls, settings writes included (the file itself says whether
// they changed anything).
bool QuietLine(const std::string &line)
{
    if (line.size() >= 2 && line[0] == '[' && line[1] >= '0' && line[1] <= '9')
        return true;
    return line.compare(0, 6, "[host]") == 0 || line.empty();
}

} // namespace

void StartWatch(StepWatch &watch, Lights &lights, const std::string &settingsPath)
{
    // What arrived before the command belongs to what ran before it.
    UpdateLights(lights);
    watch.datagrams = lights.datagrams;
    watch.settingsFile = FileBytes(settingsPath);
    watch.shown = false;
}

void WatchHostLine(StepWatch &watch, const std::string &line)
{
    if (!QuietLine(line))
        watch.shown = true;
}

bool NothingChanged(StepWatch &watch, Lights &lights, const std::string &settingsPath)
{
    UpdateLights(lights);
    return !watch.shown && lights.datagrams == watch.datagrams &&
           FileBytes(settingsPath) == watch.settingsFile;
}

std::string EventNote(const std::string &line, const PluginSettings &settings)
{
    bool power = line == ":resume" || line == ":unlock";
    if (!power && line != ":suspend")
        return "";
    if (!settings.autoPower)
        return "automatic power is off: the plug-in leaves the lights as they are";
    if (line == ":resume")
        return "the lights come back in 5 s";
    if (line == ":unlock")
        return "the lights come back in 1 s";
    return "";
}

const std::vector<std::string> &HelpLines()
{
    static const std::vector<std::string> lines = {
        "Commands go to the plug-in as the host delivers them, e.g.:",
        "  @Chromalet-LIFX Scheme Fire (Ocean Woods Spooky Style Warm Cold User1 Manual)",
        "  @Chromalet-LIFX Toggle Cycle Colors · Cycle Interval 2 · Power Off",
        "  @Chromalet-LIFX Toggle Move Effect · Movement Speed 5 · Toggle Move Direction",
        "  @Chromalet-LIFX Calibration R 100 · RGB 3 #00ff00 · White 2 50 4000",
        "  @Chromalet-LIFX Discover 127.56.N.0/28: finds the lights of the header's range",
        "    (the plug-in found them so on the first run; Device #3 sets a slot by hand)",
        "Events: :suspend :resume :lock :unlock :style-change :reconfigure",
        "        :tray 0x205 (menu) :tray-record (the tray icon as the host has it)",
        "        :wait MS :restart :close :taskbar-created",
        "Preview: :menu numbered menu · :silence N / :answer N light N stops answering,",
        "         comes back · :clear log · :quit · Up/Down history",
    };
    return lines;
}

} // namespace preview
