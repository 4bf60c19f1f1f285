// The preview in a terminal: the live view redrawn many times a second, the
// host kept busy with short waits so that the plug-in's timers run, and a
// prompt whose lines are sent between those waits.
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <deque>
#include <string>
#include <vector>

#include "tools/preview/live.h"
#include "tools/preview/scripts.h"
#include "tools/preview/snapshot.h"

namespace preview
{

const char kMenuHint[] = "An entry's number (3.2 reaches into a submenu); Enter or Esc: back";

namespace
{

const char kKeepAlive[] = ":wait 40";
const char kTrayRecord[] = ":tray-record";
const int kTrayEveryMs = 1000;
const char kSettle[] = ":wait 0";
const int kFrameMs = 33;
const size_t kLogLimit = 500;
// Queue entries that are no lines of their own: the tour, computed when its
// turn comes (after the set-up), the settings put back after it, and pauses
// the view does not list.
const char kTourMarker[] = "\x01tour";
const char kRestoreMarker[] = "\x01restore";
const char kQuietPause[] = "\x02:wait 1500";

} // namespace

void AddLog(Live &live, const std::string &text, LogStyle style)
{
    live.log.push_back({text, style});
    while (live.log.size() > kLogLimit)
        live.log.pop_front();
}

void Say(Live &live, const std::string &text, bool error)
{
    live.message = text;
    live.messageError = error;
}

void Queue(Live &live, const std::string &line)
{
    live.queue.push_back(line);
}

void BeginQuit(Live &live, bool dropQueued)
{
    if (live.quitting)
        return;
    live.quitting = true;
    if (dropQueued)
        live.queue.clear();
    live.queue.push_back(":quit");
    int grace = live.preview.options.startSeconds < 20 ? 10 : live.preview.options.startSeconds / 2;
    live.quitDeadline = NowMs() + grace * 1000L;
    Say(live, "Ending the plug-in and the host…");
}

void CloseMenu(Live &live)
{
    live.menuOpen = false;
    live.prompt = PromptCommand;
}

namespace
{

// Typed lines still go first; a signal or Ctrl-C drops them.

void ReloadSettings(Live &live, bool force)
{
    int64_t now = NowMs();
    if (!force && now - live.settingsCheckedAt < 200)
        return;
    live.settingsCheckedAt = now;
    struct stat info;
    if (stat(live.preview.settingsPath.c_str(), &info) != 0)
        return;
    if (!force && info.st_mtim.tv_sec == live.settingsSeconds &&
        info.st_mtim.tv_nsec == live.settingsNanoseconds && info.st_size == live.settingsSize)
        return;
    live.settingsSeconds = info.st_mtim.tv_sec;
    live.settingsNanoseconds = info.st_mtim.tv_nsec;
    live.settingsSize = info.st_size;
    ReadPluginSettings(live.preview.settingsPath, live.settings);
}

// The tour, paced for watching: a pause after each line that is no wait.

std::vector<std::string> PacedTour(Live &live)
{
    ReadPluginSettings(live.preview.settingsPath, live.tourBefore);
    std::vector<std::string> lines;
    for (const std::string &line : TourLines(live.tourBefore)) {
        lines.push_back(line);
        long ms;
        if (line[0] != '#' && !WaitMilliseconds(line, ms))
            lines.push_back(kQuietPause);
    }
    lines.push_back(kRestoreMarker);
    return lines;
}

void Started(Live &live)
{
    live.begun = true;
    ReloadSettings(live, true);
    std::vector<std::string> setup;
    std::string reason;
    if (!PrepareSetup(live.preview, setup, reason)) {
        live.stopReason = reason;
        AddLog(live, Remark("stopped: " + reason), LogError);
        BeginQuit(live, true);
        return;
    }
    if (!setup.empty()) {
        AddLog(
            live,
            Remark(
                live.preview.firstRun
                    ? "first run: the plug-in finds the emulated lights by itself, as on a user's "
                      "first run; they change once a scheme is chosen"
                    : "pointing the plug-in at the emulated lights through its own commands"),
            LogPreview);
        for (const std::string &line : setup)
            Queue(live, line);
    }
    if (live.preview.options.tour)
        Queue(live, kTourMarker);
}

void FinishMenu(Live &live)
{
    live.collecting = false;
    MenuTree tree;
    if (!ParseMenu(live.menuLines, tree)) {
        for (const std::string &line : live.menuLines)
            AddLog(live, line, LogPlain);
        return;
    }
    // ":menu" prints again the menu that "Show Menu" has just shown.
    bool again = live.menuOpen && live.menuLines == live.shownMenuLines;
    live.shownMenuLines = live.menuLines;
    live.menu = tree;
    live.menuOpen = true;
    live.prompt = PromptCommand;
    live.help = false;
    if (again)
        return;
    live.menuLevel = 0;
    AddLog(live, "[menu] " + tree.menus[0].title + ", shown below, numbered", LogNotice);
    Say(live, kMenuHint);
}

// The echo of the next line marks the end of the one before: what it
// changed, and what follows it, are said then.
void LineEnded(Live &live)
{
    Preview &preview = live.preview;
    if (!live.pendingNote.empty())
        AddLog(live, Remark(live.pendingNote), LogPreview);
    live.pendingNote.clear();
    live.waitEnd = 0;
    if (!live.watching)
        return;
    // The first echo after sending is the command's own.
    if (!live.watchEchoed) {
        live.watchEchoed = true;
        return;
    }
    if (live.watchingDiscover)
        AddLog(live, Remark(kDiscoverNote), LogPreview);
    else if (NothingChanged(live.watch, preview.lights, preview.settingsPath))
        AddLog(live, Remark(kNoChange), LogPreview);
    live.watching = false;
}

void LineBegins(Live &live, const std::string &line)
{
    Preview &preview = live.preview;
    PluginSettings settings;
    ReadPluginSettings(preview.settingsPath, settings);
    live.pendingNote = EventNote(line, settings);
    long ms = 0;
    if (WaitMilliseconds(line, ms) && ms > 0) {
        live.waitEnd = NowMs() + ms;
        live.waitMs = ms;
    }
}

// "[host] tray record: ..., tip \"TEXT\", version ...": TEXT.
bool TrayTip(const std::string &line, std::string &tip)
{
    if (line.compare(0, 20, "[host] tray record: ") != 0)
        return false;
    size_t start = line.find(", tip \"");
    size_t end = line.rfind("\", version ");
    if (start == std::string::npos || end == std::string::npos || end < start + 7)
        return false;
    tip = line.substr(start + 7, end - start - 7);
    return true;
}

void OnHostLines(Live &live, const std::vector<HostLine> &lines)
{
    for (const HostLine &line : lines) {
        NoteAnswering(live.preview.lights, live.settings, line.text);
        if (line.echo && line.internal && line.text.compare(2, std::string::npos, kTrayRecord) == 0)
            live.trayRecordOwn = true;
        if (!line.echo && live.trayRecordOwn &&
            (TrayTip(line.text, live.trayTip) || line.text == "[host] no tray record")) {
            live.trayRecordOwn = false;
            continue;
        }
        if (line.echo) {
            LineEnded(live);
            if (!line.internal)
                LineBegins(live, line.text.substr(2));
        } else if (live.watching && live.watchEchoed) {
            WatchHostLine(live.watch, line.text);
        }
        // The host's account of a settings write: the slots and flags drawn
        // follow at once.
        if (line.text.compare(0, 7, "[host] ") == 0 && line.text.find(" <- ") != std::string::npos)
            ReloadSettings(live, true);
        if (live.collecting) {
            if (IsMenuContinuation(line.text)) {
                live.menuLines.push_back(line.text);
                continue;
            }
            FinishMenu(live);
        }
        if (line.echo && line.internal)
            continue;
        if (IsMenuStart(line.text)) {
            live.collecting = true;
            live.menuLines.assign(1, line.text);
            continue;
        }
        if (!live.begun && line.text.compare(0, 22, "[host] beginPlugin -> ") == 0) {
            if (line.text == "[host] beginPlugin -> 0") {
                Started(live);
                Say(live, "");
            } else {
                Say(live, "The plug-in did not start.", true);
            }
        }
        AddLog(live, Shortened(live.preview, line.text), StyleOf(line.text));
    }
}

void SendNext(Live &live)
{
    HostProcess &host = live.host;
    if (!live.begun || live.quitSent || host.input < 0 || host.ended || !host.unechoed.empty())
        return;
    // Bounded by the queue's length.
    while (!live.queue.empty()) {
        std::string line = live.queue.front();
        live.queue.pop_front();
        if (line == kTourMarker) {
            std::vector<std::string> tour = PacedTour(live);
            live.queue.insert(live.queue.begin(), tour.begin(), tour.end());
            continue;
        }
        if (line[0] == kQuietPause[0]) {
            SendHostLine(host, line.substr(1), true);
            return;
        }
        if (line == kRestoreMarker) {
            // The menu the tour showed is out of date from here on.
            CloseMenu(live);
            PluginSettings after;
            ReadPluginSettings(live.preview.settingsPath, after);
            std::vector<std::string> restore = RestoreLines(live.tourBefore, after);
            live.queue.insert(live.queue.begin(), restore.begin(), restore.end());
            continue;
        }
        int device = 0;
        bool silent = false;
        if (SilenceEvent(line, device, silent)) {
            bool done = SilenceLight(live.preview.lights, device, silent);
            AddLog(live, "> " + line, LogEcho);
            AddLog(live, Remark(SilenceNote(live.preview.lights, device, silent, done)),
                   done ? LogPreview : LogError);
            continue;
        }
        if (line[0] == '#') {
            std::string text = line.size() > 2 ? line.substr(2) : "";
            AddLog(live, Remark(text), LogPreview);
            Say(live, text);
            continue;
        }
        if (line == ":quit")
            live.quitSent = true;
        // A command is watched from a moment when the host has finished
        // everything before it: a marker goes first, and once its echo is
        // back, the command.
        if (line[0] == '@' && live.preview.lights.enabled) {
            if (!live.settled) {
                live.queue.push_front(line);
                SendHostLine(host, kSettle, true);
                live.settled = true;
                return;
            }
            live.settled = false;
            StartWatch(live.watch, live.preview.lights, live.preview.settingsPath);
            live.watching = true;
            live.watchEchoed = false;
            live.watchingDiscover = IsDiscover(line);
        }
        SendHostLine(host, line, false);
        return;
    }
    if (NowMs() - live.trayAskedAt >= kTrayEveryMs) {
        live.trayAskedAt = NowMs();
        SendHostLine(host, kTrayRecord, true);
        return;
    }
    SendHostLine(host, kKeepAlive, true);
}

std::string DefaultHint(const Live &live)
{
    if (!live.begun)
        return "Starting the plug-in in the host…";
    if (live.hostGone)
        return "The host program has ended: :quit leaves.";
    if (live.menuOpen)
        return kMenuHint;
    return "A command (@Chromalet-LIFX Scheme Ocean) or event (:suspend); Tab, Up, :help";
}

void Render(Live &live)
{
    ScreenState state;
    state.hostLabel = live.preview.options.hostLabel;
    state.lightsLabel = LightsLabel(live.preview);
    state.lights = &live.preview.lights;
    state.settings = &live.settings;
    state.log = &live.log;
    state.trayTip = live.trayTip;
    if (live.menuOpen) {
        state.menu = &live.menu;
        state.menuLevel = live.menuLevel;
    }
    state.help = live.help;
    state.message = live.message.empty() ? DefaultHint(live) : live.message;
    state.messageIsError = !live.message.empty() && live.messageError;
    int64_t left = live.waitEnd - NowMs();
    if (live.waitEnd && left > 0 && !state.messageIsError) {
        char text[96];
        snprintf(text, sizeof text, "Waiting: %.1f s left of :wait %ld; lines typed now follow it.",
                 left / 1000.0, live.waitMs);
        state.message = text;
    }
    if (live.prompt == PromptNumber)
        state.promptLabel = live.asking.label + " (" + std::to_string(live.asking.minimum) + ".." +
                            std::to_string(live.asking.maximum) + "): ";
    else if (live.prompt == PromptText)
        state.promptLabel = live.asking.label + ": ";
    else
        state.promptLabel = "› ";
    state.editor = &live.editor;
    state.columns = live.columns;
    state.rows = live.rows;
    std::string frame = RenderFrame(state, NowMs());
    if (live.clear) {
        frame = "\x1b[2J" + frame;
        live.clear = false;
    } else if (frame == live.lastFrame) {
        return;
    }
    WriteAll(frame);
    live.lastFrame = frame;
}

} // namespace

int RunLive(Preview &preview)
{
    Live live(preview);
    std::string error;
    if (!EnterTerminal()) {
        fprintf(stderr, "chromalet-preview: the live view needs a terminal\n");
        return 2;
    }
    if (!StartHost(live.host, preview.hostArgv, true, error)) {
        LeaveTerminal();
        fprintf(stderr, "chromalet-preview: %s\n", error.c_str());
        return 2;
    }
    TerminalSize(live.columns, live.rows);
    ReloadSettings(live, true);
    if (preview.lights.enabled)
        AddLog(live, Remark(LightsRemark(preview)), LogPreview);
    AddLog(live, FolderRemark(preview), LogPreview);
    int64_t startDeadline = NowMs() + preview.options.startSeconds * 1000L;
    std::string pendingKeys;

    // Ends on :quit, Ctrl-C, a signal, or the host's end while quitting; every
    // pass waits at most one frame.
    for (;;) {
        if (quitSignal)
            BeginQuit(live, true);
        if (resized) {
            resized = 0;
            TerminalSize(live.columns, live.rows);
            live.clear = true;
        }
        pollfd fds[2 + kMaxHomeLights];
        int count = 0;
        fds[count++] = {STDIN_FILENO, POLLIN, 0};
        int hostIndex = -1;
        if (live.host.output >= 0) {
            hostIndex = count;
            fds[count++] = {live.host.output, POLLIN, 0};
        }
        int sockets[kMaxHomeLights];
        int socketCount = LightSockets(preview.lights, sockets, kMaxHomeLights);
        for (int i = 0; i < socketCount; i++)
            fds[count++] = {sockets[i], POLLIN, 0};
        poll(fds, (nfds_t)count, kFrameMs);

        if (fds[0].revents & POLLIN) {
            char buffer[1024];
            ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
            if (n > 0) {
                std::vector<Key> keys;
                DecodeKeys(buffer, (size_t)n, pendingKeys, keys);
                for (const Key &key : keys)
                    HandleKey(live, key);
            }
        } else if (fds[0].revents & (POLLHUP | POLLERR)) {
            BeginQuit(live, true);
        }
        if (hostIndex >= 0 && (fds[hostIndex].revents & (POLLIN | POLLHUP | POLLERR))) {
            std::vector<HostLine> lines;
            TakeHostOutput(live.host, lines);
            OnHostLines(live, lines);
        }
        UpdateLights(preview.lights);
        ReloadSettings(live, false);
        SendNext(live);

        if (live.host.ended && !live.hostGone) {
            if (live.collecting)
                FinishMenu(live);
            live.hostGone = true;
            live.status = FinishHost(live.host, 3000);
            if (live.quitting)
                break;
            AddLog(live, Remark("the host program ended, status " + std::to_string(live.status)),
                   LogError);
            Say(live, "The host program has ended: :quit leaves.", true);
        }
        if (live.hostGone && live.quitting)
            break;
        if (live.quitting && NowMs() > live.quitDeadline)
            break;
        if (!live.begun && !live.hostGone && NowMs() > startDeadline) {
            live.stopReason = "the plug-in did not start in time";
            break;
        }
        Render(live);
    }
    if (!live.hostGone)
        live.status = FinishHost(live.host, 2000);
    UpdateLights(preview.lights);
    LeaveTerminal();

    if (!live.stopReason.empty())
        fprintf(stderr, "chromalet-preview: %s\n", live.stopReason.c_str());
    // What was on screen last, for the record.
    size_t first = live.log.size() > 8 ? live.log.size() - 8 : 0;
    for (size_t i = first; i < live.log.size(); i++)
        printf("%s\n", live.log[i].text.c_str());
    if (preview.busyFolder.empty())
        printf("%s\n", Remark("plug-in folder kept: " + preview.options.pluginFolder).c_str());
    if (!preview.options.snapshot.empty()) {
        ReadPluginSettings(preview.settingsPath, live.settings);
        if (WriteSnapshot(preview.options.snapshot, preview.lights, live.settings))
            printf("%s\n", Remark("picture of the lights: " + preview.options.snapshot).c_str());
    }
    if (!live.stopReason.empty())
        return 1;
    if (quitSignal)
        return 128 + quitSignal;
    return live.status < 0 ? 0 : live.status;
}

} // namespace preview
