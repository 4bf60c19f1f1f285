// What the user types in the live view: command lines and host events sent
// on, the menu chosen by numbers, number and text entries, wrong input
// answered on the message line and sent nowhere.
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <string>
#include <vector>

#include "tools/preview/live.h"
#include "tools/preview/scripts.h"

namespace preview
{

namespace
{

const long kLongestWait = 600000;
const char kPrefix[] = "@Chromalet-LIFX ";

std::string Trim(const std::string &text)
{
    size_t a = text.find_first_not_of(" \t");
    if (a == std::string::npos)
        return "";
    size_t b = text.find_last_not_of(" \t");
    return text.substr(a, b - a + 1);
}

bool StrictNumber(const std::string &text, long &value)
{
    if (text.empty())
        return false;
    char *end = nullptr;
    value = strtol(text.c_str(), &end, 10);
    return end && *end == 0;
}

bool IsMenuPath(const std::string &text)
{
    if (text.empty() || text[0] == '.' || text.back() == '.')
        return false;
    for (char c : text) {
        if (!(c >= '0' && c <= '9') && c != '.')
            return false;
    }
    return text.find("..") == std::string::npos;
}

void Choose(Live &live, const MenuEntry &entry)
{
    switch (entry.kind) {
    case MenuCheck:
    case MenuCommand: {
        std::string command = CommandForCheck(entry), reason;
        CloseMenu(live);
        if (!DiscoverAllowed(command, live.preview.lights, reason)) {
            // "Find lights..." broadcasts, which the preview cannot let out:
            // it searches the emulated lights' range instead.
            command += " " + LightsRange(live.preview.lights);
            Queue(live, command);
            Say(live, "Sent " + command + " (a broadcast would leave this machine)");
            break;
        }
        Queue(live, command);
        Say(live, "Sent " + command);
        break;
    }
    case MenuNumber:
        live.prompt = PromptNumber;
        live.asking = entry;
        SetEditorText(live.editor, std::to_string(entry.value));
        Say(live, "A number from " + std::to_string(entry.minimum) + " to " +
                      std::to_string(entry.maximum) + "; Enter sends it, Esc cancels.");
        break;
    case MenuText:
        live.prompt = PromptText;
        live.asking = entry;
        SetEditorText(live.editor, entry.text);
        Say(live, "Edit the text; Enter sends it (an empty text too), Esc cancels.");
        break;
    default:
        break;
    }
}

void ChoosePath(Live &live, const std::string &path)
{
    int level = live.menuLevel;
    size_t start = 0;
    // Bounded by the path's length.
    while (start <= path.size()) {
        size_t dot = path.find('.', start);
        std::string part =
            path.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
        const Menu &menu = live.menu.menus[(size_t)level];
        std::vector<int> choosable = ChoosableEntries(menu);
        long number = atol(part.c_str());
        if (number < 1 || number > (long)choosable.size()) {
            Say(live,
                "No entry " + part + " in " + menu.title + ": 1 to " +
                    std::to_string(choosable.size()) + ".",
                true);
            return;
        }
        const MenuEntry &entry = menu.entries[(size_t)choosable[(size_t)number - 1]];
        bool last = dot == std::string::npos;
        if (entry.kind == MenuSubmenu) {
            if (entry.submenu < 0) {
                Say(live, entry.label + " is empty.", true);
                return;
            }
            level = entry.submenu;
            if (last) {
                live.menuLevel = level;
                Say(live, kMenuHint);
                return;
            }
        } else if (!last) {
            Say(live, entry.label + " has no submenu.", true);
            return;
        } else {
            Choose(live, entry);
            return;
        }
        start = dot + 1;
    }
}

const char *const kVerbs[] = {"Show",  "Device",        "Scheme",   "Power", "RGB",
                              "White", "Calibration",   "Toggle",   "Cycle", "Movement",
                              "Edit",  "Documentation", "Protocol", "About", "Discover"};

void HandleCommandLine(Live &live, const std::string &line)
{
    std::string reason;
    if (line[0] == '@') {
        if (!CommandAllowed(line, reason) || !DiscoverAllowed(line, live.preview.lights, reason)) {
            Say(live, "Not sent: " + reason, true);
            return;
        }
        Queue(live, line);
        Say(live, "");
        return;
    }
    if (line[0] == ':') {
        std::string verb = line.substr(0, line.find_first_of(" \t"));
        long ms = 0;
        if (line == ":quit" || line == ":q" || line == ":exit") {
            BeginQuit(live, false);
        } else if (line == ":help" || line == ":?") {
            live.help = true;
            CloseMenu(live);
            Say(live, "");
        } else if (line == ":clear") {
            live.log.clear();
        } else if (verb == ":silence" || verb == ":answer") {
            int device = 0;
            bool silent = false;
            if (!SilenceEvent(line, device, silent)) {
                Say(live, verb + " takes a light's number, e.g. " + verb + " 4", true);
                return;
            }
            // In its turn, after the lines before it.
            Queue(live, line);
            Say(live, "");
        } else if (line == ":menu") {
            Queue(live, std::string(kPrefix) + "Show Menu");
            Queue(live, ":menu");
            Say(live, "Asking the plug-in for its menu…");
        } else if (line == ":restart") {
            PluginSettings settings;
            ReadPluginSettings(live.preview.settingsPath, settings);
            if (!SettingsAllowed(settings, reason)) {
                Say(live, "Not restarted: " + reason, true);
                return;
            }
            Queue(live, line);
        } else if (WaitMilliseconds(line, ms) && ms > kLongestWait) {
            Say(live, "A wait of at most 600000 ms (10 minutes), please.", true);
        } else if (verb == ":wait" && !IsHostEvent(line)) {
            Say(live, ":wait takes milliseconds, e.g. :wait 2000", true);
        } else if (verb == ":tray" && !IsHostEvent(line)) {
            Say(live, ":tray takes the tray event's number, e.g. :tray 0x205", true);
        } else if (IsHostEvent(line)) {
            Queue(live, line);
            Say(live, "");
        } else {
            Say(live, "Unknown event " + verb + ": :help lists the events.", true);
        }
        return;
    }
    if (IsMenuPath(line)) {
        Say(live, "No menu is open: :menu shows it.", true);
        return;
    }
    std::string first = line.substr(0, line.find_first_of(" \t"));
    for (const char *verb : kVerbs) {
        if (strcasecmp(first.c_str(), verb) == 0) {
            std::string suggestion = kPrefix + line;
            Remember(live.editor, suggestion);
            Say(live, "Press Up for \"" + suggestion + "\"", true);
            return;
        }
    }
    Say(live, "Not a command: commands start with @Chromalet-LIFX, events with \":\" (:help)",
        true);
}

void HandleSubmit(Live &live)
{
    std::string line = Trim(live.editor.text);
    if (live.prompt == PromptNumber) {
        long value = 0;
        if (line.empty()) {
            live.prompt = PromptCommand;
            SetEditorText(live.editor, "");
            Say(live, "");
            return;
        }
        if (!StrictNumber(line, value) || value < live.asking.minimum ||
            value > live.asking.maximum) {
            Say(live,
                "A whole number from " + std::to_string(live.asking.minimum) + " to " +
                    std::to_string(live.asking.maximum) + ", please.",
                true);
            return;
        }
        std::string command = CommandForNumber(live.asking, (int)value);
        Queue(live, command);
        CloseMenu(live);
        SetEditorText(live.editor, "");
        Say(live, "Sent " + command);
        return;
    }
    if (live.prompt == PromptText) {
        std::string command = CommandForText(live.asking, line);
        std::string reason;
        if (!CommandAllowed(command, reason)) {
            Say(live, "Not sent: " + reason, true);
            return;
        }
        Queue(live, command);
        CloseMenu(live);
        SetEditorText(live.editor, "");
        Say(live, "Sent " + command);
        return;
    }
    Remember(live.editor, line);
    SetEditorText(live.editor, "");
    if (line.empty()) {
        if (live.menuOpen) {
            int parent = live.menu.menus[(size_t)live.menuLevel].parent;
            if (parent >= 0)
                live.menuLevel = parent;
            else
                CloseMenu(live);
        }
        live.help = false;
        Say(live, "");
        return;
    }
    live.help = false;
    if (live.hostGone && line != ":quit" && line != ":q" && line != ":exit") {
        Say(live, "The host program has ended: :quit leaves.", true);
        return;
    }
    if (live.menuOpen && IsMenuPath(line)) {
        ChoosePath(live, line);
        return;
    }
    if (live.menuOpen)
        CloseMenu(live);
    HandleCommandLine(live, line);
}

// Tab: the longest common continuation among the known lines.
void Complete(Live &live)
{
    static const char *const known[] = {
        "@Chromalet-LIFX Scheme Style",
        "@Chromalet-LIFX Scheme Fire",
        "@Chromalet-LIFX Scheme Ocean",
        "@Chromalet-LIFX Scheme Woods",
        "@Chromalet-LIFX Scheme Spooky",
        "@Chromalet-LIFX Scheme Warm",
        "@Chromalet-LIFX Scheme Cold",
        "@Chromalet-LIFX Scheme User1",
        "@Chromalet-LIFX Scheme User2",
        "@Chromalet-LIFX Scheme User3",
        "@Chromalet-LIFX Scheme Manual",
        "@Chromalet-LIFX Toggle Cycle Colors",
        "@Chromalet-LIFX Toggle Move Effect",
        "@Chromalet-LIFX Toggle Move Direction",
        "@Chromalet-LIFX Toggle Auto Power",
        "@Chromalet-LIFX Cycle Interval ",
        "@Chromalet-LIFX Movement Speed ",
        "@Chromalet-LIFX Calibration ",
        "@Chromalet-LIFX RGB ",
        "@Chromalet-LIFX White ",
        "@Chromalet-LIFX Power Off",
        "@Chromalet-LIFX Device #",
        "@Chromalet-LIFX Show Menu",
        "@Chromalet-LIFX About",
        ":suspend",
        ":resume",
        ":lock",
        ":unlock",
        ":style-change",
        ":reconfigure",
        ":taskbar-created",
        ":tray 0x205",
        ":wait ",
        ":restart",
        ":close",
        ":tray-record",
        ":silence ",
        ":answer ",
        ":menu",
        ":help",
        ":quit",
        ":clear",
    };
    const std::string &text = live.editor.text;
    std::string common;
    bool any = false;
    for (const char *candidate : known) {
        std::string c = candidate;
        if (c.size() < text.size() || strncasecmp(c.c_str(), text.c_str(), text.size()) != 0)
            continue;
        if (!any) {
            common = c;
            any = true;
        } else {
            size_t n = 0;
            while (n < common.size() && n < c.size() && common[n] == c[n])
                n++;
            common.resize(n);
        }
    }
    if (any && common.size() >= text.size())
        SetEditorText(live.editor, common);
}

} // namespace

void HandleKey(Live &live, const Key &key)
{
    if (key.kind == KeyTab) {
        if (live.prompt == PromptCommand)
            Complete(live);
        return;
    }
    switch (EditKey(live.editor, key)) {
    case EditSubmit:
        HandleSubmit(live);
        break;
    case EditEscape:
        if (live.prompt != PromptCommand) {
            live.prompt = PromptCommand;
            SetEditorText(live.editor, "");
            Say(live, "");
        } else if (live.menuOpen) {
            // Back one level; the top level closes.
            int parent = live.menu.menus[(size_t)live.menuLevel].parent;
            if (parent >= 0) {
                live.menuLevel = parent;
                Say(live, kMenuHint);
            } else {
                CloseMenu(live);
                Say(live, "");
            }
        } else if (live.help) {
            live.help = false;
        } else {
            SetEditorText(live.editor, "");
        }
        break;
    case EditQuit:
        BeginQuit(live, true);
        break;
    case EditRedraw:
        live.clear = true;
        break;
    default:
        break;
    }
}

} // namespace preview
