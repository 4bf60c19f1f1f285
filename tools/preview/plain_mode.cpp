// The preview without a terminal: a script (or the tour) played line by
// line, printing what the host prints and, after each step, the state of
// every light that changed.
#include <errno.h>
#include <poll.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "tools/preview/host_process.h"
#include "tools/preview/menu_tree.h"
#include "tools/preview/notes.h"
#include "tools/preview/preview.h"
#include "tools/preview/scripts.h"
#include "tools/preview/snapshot.h"
#include "tools/preview/terminal.h"

namespace preview
{

namespace
{

// Long waits run as slices, so that the lights are printed after each
// cycle tick rather than once at the end.
const long kWaitSlice = 100;
// The step after which the host program has surely answered, beyond its own
// waits.
const int kStepSeconds = 60;
const char kSync[] = ":wait 0";
const char kPrefix[] = "@Chromalet-LIFX ";

struct PlainRun {
    Preview &preview;
    HostProcess host;
    std::string printedState[kMaxHomeLights];
    std::string printedMove[kMaxHomeLights];
    bool refused = false;

    explicit PlainRun(Preview &p) : preview(p) {}
};

void Print(const std::string &line)
{
    fputs(line.c_str(), stdout);
    fputc('\n', stdout);
}

void PrintChanges(PlainRun &run)
{
    Lights &lights = run.preview.lights;
    UpdateLights(lights);
    PluginSettings settings;
    ReadPluginSettings(run.preview.settingsPath, settings);
    for (int n = 0; n < lights.count && lights.enabled; n++) {
        const LightView &view = lights.views[n];
        bool driven = SlotDriven(lights, settings, n + 1);
        // A light the plug-in no longer sends to says so once it was shown.
        if (!view.heard || (!driven && run.printedState[n].empty()))
            continue;
        std::string state = driven ? StateLine(view) : NotDrivenLine(view);
        if (state != run.printedState[n]) {
            Print(state);
            run.printedState[n] = state;
        }
        std::string move = driven ? MoveLine(view) : "";
        if (!move.empty() && move != run.printedMove[n]) {
            Print(move);
            run.printedMove[n] = move;
        }
    }
    fflush(stdout);
}

// What a step does with the host's lines besides printing them.
struct Listen {
    StepWatch *watch = nullptr;
    std::vector<std::string> *capture = nullptr; // taken instead of printed
};

void PrintHostLines(const std::vector<HostLine> &lines, bool &synced, const Listen &listen)
{
    for (const HostLine &line : lines) {
        if (line.echo && line.internal) {
            if (line.text.compare(2, std::string::npos, kSync) == 0)
                synced = true;
            continue;
        }
        if (listen.watch && !line.echo)
            WatchHostLine(*listen.watch, line.text);
        if (listen.capture && !line.echo)
            listen.capture->push_back(line.text);
        else
            Print(line.text);
    }
}

// Sends a line and a marker after it; returns once the marker's echo shows
// that the line has been played (false when the host ended first or took
// too long).
bool Exchange(PlainRun &run, const std::string &line, bool internal, long waitMs,
              const Listen &listen = Listen())
{
    if (!SendHostLine(run.host, line, internal) || !SendHostLine(run.host, kSync, true))
        return false;
    int64_t deadline = NowMs() + waitMs + kStepSeconds * 1000L;
    bool synced = false;
    // Bounded by the deadline; each read waits at most 100 ms.
    while (!synced) {
        std::vector<HostLine> lines;
        bool open = ReadHostLines(run.host, 100, lines);
        PrintHostLines(lines, synced, listen);
        if (synced)
            break;
        if (quitSignal)
            return false;
        if (!open) {
            Print(Remark("the host program ended"));
            return false;
        }
        if (NowMs() > deadline) {
            Print(Remark("the host program did not answer in time"));
            return false;
        }
    }
    return true;
}

// ":menu": the plug-in's menu, numbered as the live view numbers it.
bool ShowMenu(PlainRun &run)
{
    Print("> :menu");
    std::vector<std::string> printed;
    Listen listen;
    listen.capture = &printed;
    if (!Exchange(run, std::string(kPrefix) + "Show Menu", true, 0, listen))
        return false;
    std::vector<std::string> menu, other;
    for (const std::string &line : printed) {
        if (menu.empty() ? IsMenuStart(line) : IsMenuContinuation(line))
            menu.push_back(line);
        else
            other.push_back(line);
    }
    for (const std::string &line : other)
        Print(line);
    MenuTree tree;
    if (!ParseMenu(menu, tree)) {
        for (const std::string &line : menu)
            Print(line);
        return true;
    }
    Print("[menu] " + tree.menus[0].title + ", numbered as in the live view:");
    for (const std::string &line : NumberedMenu(tree))
        Print(line);
    return true;
}

// One script line; false when the run cannot go on.
bool Step(PlainRun &run, const std::string &line)
{
    std::string reason;
    if (line == ":help" || line == ":?") {
        Print("> " + line);
        for (const std::string &help : HelpLines())
            Print(help);
        return true;
    }
    if (line == ":menu")
        return ShowMenu(run);
    int device = 0;
    bool silent = false;
    if (SilenceEvent(line, device, silent)) {
        Print("> " + line);
        bool done = SilenceLight(run.preview.lights, device, silent);
        Print(Remark(SilenceNote(run.preview.lights, device, silent, done)));
        run.refused = run.refused || !done;
        return true;
    }
    if (line[0] == '@' &&
        (!CommandAllowed(line, reason) || !DiscoverAllowed(line, run.preview.lights, reason))) {
        Print("> " + line);
        Print(Remark("refused: " + reason));
        run.refused = true;
        return true;
    }
    if (line == ":restart") {
        PluginSettings settings;
        ReadPluginSettings(run.preview.settingsPath, settings);
        if (!SettingsAllowed(settings, reason)) {
            Print("> " + line);
            Print(Remark("refused: " + reason));
            run.refused = true;
            return true;
        }
    }
    long ms = 0;
    if (WaitMilliseconds(line, ms) && ms > kWaitSlice) {
        Print("> " + line);
        // Bounded by the wait asked for.
        for (long left = ms; left > 0 && !quitSignal; left -= kWaitSlice) {
            long slice = left < kWaitSlice ? left : kWaitSlice;
            if (!Exchange(run, ":wait " + std::to_string(slice), true, slice))
                return false;
            PrintChanges(run);
        }
        return true;
    }
    Preview &preview = run.preview;
    if (line[0] == '@' && preview.lights.enabled) {
        StepWatch watch;
        Listen listen;
        listen.watch = &watch;
        StartWatch(watch, preview.lights, preview.settingsPath);
        bool ok = Exchange(run, line, false, ms, listen);
        PrintChanges(run);
        if (ok && IsDiscover(line))
            Print(Remark(kDiscoverNote));
        else if (ok && NothingChanged(watch, preview.lights, preview.settingsPath))
            Print(Remark(kNoChange));
        return ok;
    }
    bool ok = Exchange(run, line, false, ms);
    PrintChanges(run);
    PluginSettings settings;
    ReadPluginSettings(preview.settingsPath, settings);
    std::string note = EventNote(line, settings);
    if (ok && !note.empty())
        Print(Remark(note));
    return ok;
}

// What has come on standard input and is not yet a whole line.
struct PipedInput {
    std::string partial;
    bool ended = false;
};

// The next line from a pipe, the plug-in's timers running in slices while
// none has come; false at the input's end (or when the host has gone:
// `alive` false).
bool NextPipedLine(PlainRun &run, PipedInput &input, std::string &line, bool &alive)
{
    // Bounded by the input: every pass reads, or waits one slice of the
    // plug-in's time.
    while (!quitSignal) {
        size_t end = input.partial.find('\n');
        if (end != std::string::npos) {
            line = input.partial.substr(0, end);
            input.partial.erase(0, end + 1);
            return true;
        }
        if (input.ended) {
            line = input.partial;
            input.partial.clear();
            return !line.empty();
        }
        pollfd wait = {STDIN_FILENO, POLLIN, 0};
        if (poll(&wait, 1, 0) > 0) {
            char buffer[4096];
            ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
            if (n > 0)
                input.partial.append(buffer, (size_t)n);
            else if (n == 0 || (errno != EINTR && errno != EAGAIN))
                input.ended = true;
            continue;
        }
        if (!Exchange(run, ":wait " + std::to_string(kWaitSlice), true, kWaitSlice)) {
            alive = false;
            return false;
        }
        PrintChanges(run);
    }
    return false;
}

std::string Trimmed(const char *text)
{
    std::string line = text;
    size_t a = line.find_first_not_of(" \t\r\n");
    if (a == std::string::npos)
        return "";
    size_t b = line.find_last_not_of(" \t\r\n");
    return line.substr(a, b - a + 1);
}

// Waits for the plug-in's start, printing what comes; false when it failed.
bool WaitForStart(PlainRun &run)
{
    int64_t deadline = NowMs() + run.preview.options.startSeconds * 1000L;
    // Bounded by the deadline.
    for (;;) {
        std::vector<HostLine> lines;
        bool open = ReadHostLines(run.host, 100, lines);
        int started = -1;
        for (const HostLine &line : lines) {
            Print(line.text);
            if (started < 0 && line.text.compare(0, 22, "[host] beginPlugin -> ") == 0)
                started = line.text == "[host] beginPlugin -> 0";
        }
        if (started >= 0)
            return started == 1;
        if (!open || quitSignal)
            return false;
        if (NowMs() > deadline) {
            Print(Remark("the plug-in did not start in time"));
            return false;
        }
    }
}

// Plays lines until the script ends or asks to quit; false when the host
// has gone.
bool PlayLines(PlainRun &run, const std::vector<std::string> &lines, bool narrate)
{
    for (const std::string &line : lines) {
        if (line.empty())
            continue;
        if (line[0] == '#') {
            if (narrate)
                Print(line);
            continue;
        }
        if (line == ":quit")
            return true;
        if (quitSignal || !Step(run, line))
            return false;
    }
    return true;
}

} // namespace

int RunPlain(Preview &preview, FILE *script)
{
    PlainRun run(preview);
    std::string error;
    // The host's complaints go to standard error, as the host prints them.
    if (!StartHost(run.host, preview.hostArgv, false, error)) {
        fprintf(stderr, "chromalet-preview: %s\n", error.c_str());
        return 2;
    }
    if (preview.lights.enabled)
        Print(Remark(LightsRemark(preview)));
    Print(FolderRemark(preview));

    bool alive = WaitForStart(run);
    std::vector<std::string> setup;
    std::string reason;
    if (alive && !PrepareSetup(preview, setup, reason)) {
        Print(Remark("stopped: " + reason));
        alive = false;
        run.refused = true;
    }
    if (alive && !setup.empty()) {
        Print(Remark(
            preview.firstRun
                ? "first run: the plug-in finds the emulated lights by itself, as on a user's "
                  "first run; they change once a scheme is chosen"
                : "the plug-in's own commands point it at the emulated lights"));
        alive = PlayLines(run, setup, false);
    }
    if (alive)
        PrintChanges(run);

    if (alive && script) {
        // Lines that come as someone writes them: the plug-in's time runs
        // while the next is awaited, as it does for lines typed in the live
        // view. A script file is played line after line, the same on every
        // run.
        struct stat input;
        bool timeRuns =
            script == stdin && fstat(fileno(script), &input) == 0 && !S_ISREG(input.st_mode);
        PipedInput piped;
        char buffer[8192];
        std::string next;
        // Bounded by the script's length (or, on a pipe, by its end).
        while (alive && !quitSignal &&
               (timeRuns ? NextPipedLine(run, piped, next, alive)
                         : fgets(buffer, sizeof buffer, script) != nullptr)) {
            std::string line = Trimmed(timeRuns ? next.c_str() : buffer);
            if (line.empty() || line[0] == '#')
                continue;
            if (line == ":quit")
                break;
            alive = Step(run, line);
        }
    } else if (alive) {
        PluginSettings before;
        ReadPluginSettings(preview.settingsPath, before);
        Print("# The Chromalet-LIFX tour: the plug-in in the host, ten emulated lights.");
        alive = PlayLines(run, TourLines(before), true);
        PluginSettings after;
        ReadPluginSettings(preview.settingsPath, after);
        if (alive)
            alive = PlayLines(run, RestoreLines(before, after), true);
    }

    // The host ends the plug-in (its move effect stops) and exits.
    if (quitSignal)
        alive = false;
    if (SendHostLine(run.host, ":quit", false)) {
        int64_t deadline = NowMs() + kStepSeconds * 1000L;
        bool synced = false;
        // Bounded by the deadline.
        for (;;) {
            std::vector<HostLine> lines;
            bool open = ReadHostLines(run.host, 100, lines);
            PrintHostLines(lines, synced, Listen());
            if (!open || NowMs() > deadline || (quitSignal && NowMs() > deadline - 50000))
                break;
        }
    }
    int status = FinishHost(run.host, quitSignal ? 2000 : 10000);
    PrintChanges(run);
    if (!preview.options.snapshot.empty()) {
        PluginSettings settings;
        ReadPluginSettings(preview.settingsPath, settings);
        if (!WriteSnapshot(preview.options.snapshot, preview.lights, settings)) {
            fprintf(stderr, "chromalet-preview: cannot write %s\n",
                    preview.options.snapshot.c_str());
            return 2;
        }
        Print(Remark("picture of the lights: " + preview.options.snapshot));
    }
    if (status != 0)
        Print(Remark("the host program ended with status " + std::to_string(status)));
    if (quitSignal)
        return 128 + quitSignal;
    if (!alive && status == 0)
        status = 1;
    if (run.refused && status == 0)
        status = 1;
    return status;
}

} // namespace preview
