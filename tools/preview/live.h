// The live view's state, shared by its loop (live_mode.cpp) and its input
// handling (live_input.cpp).
#pragma once

#include <stdint.h>
#include <sys/types.h>
#include <time.h>

#include <deque>
#include <string>
#include <vector>

#include "tools/preview/host_process.h"
#include "tools/preview/line_editor.h"
#include "tools/preview/menu_tree.h"
#include "tools/preview/notes.h"
#include "tools/preview/plugin_settings.h"
#include "tools/preview/preview.h"
#include "tools/preview/screen.h"
#include "tools/preview/terminal.h"

namespace preview
{

extern const char kMenuHint[];

enum PromptKind { PromptCommand, PromptNumber, PromptText };

struct Live {
    Preview &preview;
    HostProcess host;
    LineEditor editor;
    std::deque<LogEntry> log;
    std::deque<std::string> queue; // lines to send, in order
    bool begun = false;
    bool quitting = false;
    bool quitSent = false;
    int64_t quitDeadline = 0;
    bool hostGone = false;
    int status = 0;
    std::string stopReason;

    PluginSettings settings;
    time_t settingsSeconds = 0;
    long settingsNanoseconds = 0;
    off_t settingsSize = -1;
    int64_t settingsCheckedAt = 0;
    PluginSettings tourBefore;

    MenuTree menu;
    bool menuOpen = false;
    int menuLevel = 0;
    bool collecting = false;
    std::vector<std::string> menuLines;
    std::vector<std::string> shownMenuLines;
    PromptKind prompt = PromptCommand;
    MenuEntry asking;

    // The command sent, watched for what it changes from before it was sent
    // until the echo after its own; the note that follows the line being
    // played; the end of a typed wait.
    bool settled = false; // the marker before a command has been echoed
    bool watching = false;
    bool watchEchoed = false;
    bool watchingDiscover = false; // its result comes later: no "no change"
    StepWatch watch;
    std::string pendingNote;
    int64_t waitEnd = 0;
    long waitMs = 0;

    // The tray icon's tip, asked of the host now and then: the tray record
    // asked for on the preview's own account is not logged.
    std::string trayTip;
    int64_t trayAskedAt = 0;
    bool trayRecordOwn = false;

    bool help = false;
    std::string message;
    bool messageError = false;
    std::string lastFrame;
    bool clear = true;
    int columns = 80, rows = 24;

    explicit Live(Preview &p) : preview(p) {}
};

void AddLog(Live &live, const std::string &text, LogStyle style);
// The message line, until the next line is entered.
void Say(Live &live, const std::string &text, bool error = false);
// A line to send to the host after those before it.
void Queue(Live &live, const std::string &line);
void BeginQuit(Live &live, bool dropQueued);
void CloseMenu(Live &live);

// One key typed at the prompt.
void HandleKey(Live &live, const Key &key);

} // namespace preview
