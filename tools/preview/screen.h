// One frame of the live view, painted in true colour: title and settings,
// the eight bulbs, the two strips, the log (or the numbered menu, or the
// help), a message line and the prompt. The frame is written over the last
// one line by line, each line cleared to its end: no flicker.
#pragma once

#include <stdint.h>

#include <deque>
#include <string>

#include "tools/preview/light_views.h"
#include "tools/preview/line_editor.h"
#include "tools/preview/menu_tree.h"
#include "tools/preview/plugin_settings.h"

namespace preview
{

enum LogStyle {
    LogPlain,   // the plug-in's log lines
    LogEcho,    // a line the user or the preview sent: "> ..."
    LogHost,    // "[host] ..."
    LogError,   // level 3, and the host's complaints
    LogNotice,  // about and message boxes, shell execution, level 1
    LogPreview, // the preview's own remarks
};

struct LogEntry {
    std::string text;
    LogStyle style;
};

// Picks the style of a line the host printed.
LogStyle StyleOf(const std::string &line);

struct ScreenState {
    std::string hostLabel;   // "Linux" or "Windows x64 under Wine"
    std::string lightsLabel; // "lights 127.56.0.1-10"
    const Lights *lights = nullptr;
    const PluginSettings *settings = nullptr;
    const std::deque<LogEntry> *log = nullptr;
    std::string trayTip; // the tray icon's tip, as the host last had it

    const MenuTree *menu = nullptr; // shown instead of the log when set
    int menuLevel = 0;
    bool help = false; // shown instead of the log
    std::string message;
    bool messageIsError = false;
    std::string promptLabel;
    const LineEditor *editor = nullptr;
    int columns = 80, rows = 24;
};

// The bytes that paint the frame, the cursor left at the prompt.
std::string RenderFrame(const ScreenState &state, int64_t now);

} // namespace preview
