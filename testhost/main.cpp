// The stand-in host shell as a program ("vesk-host" on Linux, "Vesk.exe" on
// Windows): it copies the plug-in module into a plug-in folder, loads it from
// there, starts it, plays a script of host and system events to its window,
// stops it, and prints everything the host sees as plain lines.
//
// Script lines:
//   @...                 a command text, delivered as HostMsgCommand
//   :suspend :resume     power notifications
//   :lock :unlock        session notifications
//   :style-change :reconfigure :taskbar-created :close
//   :tray EVENT          the tray icon's callback with that event (0x205)
//   :wait MS             run the message loop that long, so timers fire
//   :menu                print the last menu shown
//   :tray-record         print the last tray icon record the host received
//   :restart             endPlugin, then beginPlugin again
//   :quit                endPlugin and stop (as the end of the script does)
// Blank lines and lines beginning with "#" are skipped.
#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "testhost/program.h"
#include "testhost/testhost.h"

using hostprogram::Plugin;

namespace
{

const char kPluginClass[] = "Chromalet-LIFX";

enum ExitStatus {
    ExitClean = 0,
    ExitScriptError = 1,
    ExitNoModule = 2,
    ExitPluginFailed = 3,
    ExitUsage = 4,
};

struct Options {
    std::string module;
    std::string folder;
    std::string style;
    std::string script;
    std::string version;
    bool haveVersion = false;
};

void Say(const char *format, const char *text = "")
{
    fputs("[host] ", stdout);
    printf(format, text);
    fputc('\n', stdout);
    fflush(stdout);
}

void Usage()
{
    fprintf(stderr, "usage: vesk-host [--plugin FILE] [--plugin-dir DIR] [--style FILE]\n"
                    "                 [--script FILE] [--version TEXT]\n"
                    "Loads the plug-in from DIR (a new temporary folder by default), plays the\n"
                    "script (standard input by default) and prints what the host sees.\n");
}

bool ParseOptions(int argc, char **argv, Options &options)
{
    for (int i = 1; i < argc; i++) {
        std::string name = argv[i];
        if (name == "--help" || name == "-h")
            return false;
        if (i + 1 >= argc) {
            fprintf(stderr, "vesk-host: %s needs a value\n", name.c_str());
            return false;
        }
        const char *value = argv[++i];
        if (name == "--plugin") {
            options.module = value;
        } else if (name == "--plugin-dir") {
            options.folder = value;
        } else if (name == "--style") {
            options.style = value;
        } else if (name == "--script") {
            options.script = value;
        } else if (name == "--version") {
            options.version = value;
            options.haveVersion = true;
        } else {
            fprintf(stderr, "vesk-host: unknown option %s\n", name.c_str());
            return false;
        }
    }
    return true;
}

// The window the plug-in registered with the host; else the one of its
// class.
HWND PluginWindow()
{
    const std::vector<testhost::Registration> &registrations = testhost::Registrations();
    if (!registrations.empty())
        return registrations.back().window;
    return hostprogram::FindWindowOfClass(kPluginClass);
}

std::string Trimmed(const std::string &text)
{
    size_t a = 0, b = text.size();
    while (a < b && isspace((unsigned char)text[a]))
        a++;
    while (b > a && isspace((unsigned char)text[b - 1]))
        b--;
    return text.substr(a, b - a);
}

bool ParseNumber(const std::string &text, long &value)
{
    if (text.empty())
        return false;
    char *end = nullptr;
    value = strtol(text.c_str(), &end, 0);
    return end && *end == 0;
}

struct Host {
    Plugin plugin;
    bool running = false;

    bool Begin()
    {
        int result = plugin.begin(plugin.instance);
        printf("[host] beginPlugin -> %d\n", result);
        fflush(stdout);
        running = result == 0;
        return running;
    }

    void End()
    {
        if (!running)
            return;
        running = false;
        int result = plugin.end(plugin.instance);
        printf("[host] endPlugin -> %d\n", result);
        fflush(stdout);
    }

    LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam)
    {
        HWND window = PluginWindow();
        if (!window) {
            Say("no plug-in window");
            return 0;
        }
        return SendMessageA(window, message, wParam, lParam);
    }
};

bool AllZero(const void *bytes, size_t size)
{
    for (size_t i = 0; i < size; i++) {
        if (((const unsigned char *)bytes)[i])
            return false;
    }
    return true;
}

// The record as the shell reads it: the size it states, then the fields at
// this program's own layout, so a record laid out for another architecture
// shows.
void PrintTrayRecord()
{
    DWORD message = 0;
    NOTIFYICONDATAA record;
    if (!hostprogram::LastTrayRecord(message, record)) {
        Say("no tray record");
        return;
    }
    static const char *const kMessages[] = {"add", "modify", "delete", "set focus", "set version"};
    bool othersZero =
        record.dwState == 0 && record.dwStateMask == 0 &&
        AllZero(record.szInfo, sizeof record.szInfo) &&
        AllZero(record.szInfoTitle, sizeof record.szInfoTitle) && record.dwInfoFlags == 0 &&
        AllZero(&record.guidItem, sizeof record.guidItem) && record.hBalloonIcon == nullptr;
    char tip[sizeof record.szTip + 1] = "";
    memcpy(tip, record.szTip, sizeof record.szTip);
    printf("[host] tray record: %s, %lu bytes, %s window, id %u, flags 0x%X, callback %u, %s, "
           "tip \"%s\", version %u, other fields %s\n",
           message < 5 ? kMessages[message] : "?", (unsigned long)record.cbSize,
           record.hWnd == PluginWindow() ? "plug-in" : "other", record.uID, record.uFlags,
           record.uCallbackMessage, record.hIcon ? "icon" : "no icon",
           testhost::ToUtf8(tip).c_str(), record.uVersion, othersZero ? "zero" : "set");
    fflush(stdout);
}

enum LineResult { LineDone, LineQuit, LineError };

LineResult PlayLine(Host &host, const std::string &line)
{
    if (line[0] == '@') {
        host.Send(HostMsgCommand, 0, (LPARAM)line.c_str());
        return LineDone;
    }
    std::string verb = line, argument;
    size_t blank = line.find_first_of(" \t");
    if (blank != std::string::npos) {
        verb = line.substr(0, blank);
        argument = Trimmed(line.substr(blank));
    }
    long number = 0;
    if (verb == ":suspend") {
        host.Send(WM_POWERBROADCAST, PBT_APMSUSPEND, 0);
    } else if (verb == ":resume") {
        host.Send(WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
    } else if (verb == ":lock") {
        host.Send(WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, 0);
    } else if (verb == ":unlock") {
        host.Send(WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, 0);
    } else if (verb == ":style-change") {
        host.Send(HostMsgStyleChange, 0, 0);
    } else if (verb == ":reconfigure") {
        host.Send(HostMsgReconfigure, 0, 0);
    } else if (verb == ":taskbar-created") {
        host.Send(RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    } else if (verb == ":close") {
        host.Send(WM_CLOSE, 0, 0);
    } else if (verb == ":tray" && ParseNumber(argument, number)) {
        host.Send(WM_USER, 0, (LPARAM)number);
    } else if (verb == ":wait" && ParseNumber(argument, number) && number >= 0) {
        hostprogram::RunMessageLoop((unsigned)number);
    } else if (verb == ":menu") {
        const std::vector<testhost::MenuSnapshot> &menus = testhost::ShownMenus();
        if (menus.empty())
            Say("no menu shown");
        else
            fputs(testhost::ToUtf8(testhost::DescribeMenu(menus.back())).c_str(), stdout);
        fflush(stdout);
    } else if (verb == ":tray-record") {
        PrintTrayRecord();
    } else if (verb == ":restart") {
        host.End();
        if (!host.Begin())
            return LineQuit;
    } else if (verb == ":quit") {
        return LineQuit;
    } else {
        return LineError;
    }
    return LineDone;
}

// Plays the script; false when a line was not understood.
bool PlayScript(Host &host, FILE *script)
{
    bool understood = true;
    char buffer[8192];
    // Bounded by the script's length.
    while (host.running && fgets(buffer, sizeof buffer, script)) {
        std::string line = Trimmed(buffer);
        if (line.empty() || line[0] == '#')
            continue;
        printf("> %s\n", line.c_str());
        fflush(stdout);
        LineResult result = PlayLine(host, line);
        if (result == LineQuit)
            break;
        if (result == LineError) {
            Say("script line not understood: %s", line.c_str());
            fprintf(stderr, "vesk-host: script line not understood: %s\n", line.c_str());
            understood = false;
        }
    }
    return understood;
}

} // namespace

namespace hostprogram
{

void PrintMessageBox(const char *caption, const char *text, unsigned type)
{
    printf("[message box] %s: %s (flags 0x%X)\n", testhost::ToUtf8(caption).c_str(),
           testhost::ToUtf8(text).c_str(), type);
    fflush(stdout);
}

} // namespace hostprogram

int main(int argc, char **argv)
{
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        Usage();
        return ExitUsage;
    }
    hostprogram::SetUp();
    testhost::SetEcho(stdout);
    if (!options.style.empty())
        testhost::SetStylePath(options.style.c_str());
    if (options.haveVersion)
        testhost::SetVersion(options.version.c_str());

    FILE *script = stdin;
    if (!options.script.empty()) {
        script = fopen(options.script.c_str(), "r");
        if (!script) {
            fprintf(stderr, "vesk-host: cannot read the script %s\n", options.script.c_str());
            return ExitUsage;
        }
    }

    // As in a real installation, the module's own folder is the plug-in
    // folder, where its settings file lives.
    std::string module = options.module.empty() ? hostprogram::DefaultModulePath() : options.module;
    bool temporary = options.folder.empty();
    std::string folder = options.folder;
    if (temporary ? !hostprogram::MakeTemporaryFolder(folder) : !hostprogram::MakeFolder(folder)) {
        fprintf(stderr, "vesk-host: cannot create the plug-in folder %s\n", folder.c_str());
        return ExitNoModule;
    }
    std::string copy = hostprogram::FolderPath(folder) + hostprogram::BaseName(module);
    if (!hostprogram::CopyModule(module, copy)) {
        fprintf(stderr, "vesk-host: cannot copy the plug-in %s into %s\n", module.c_str(),
                folder.c_str());
        if (temporary)
            hostprogram::RemoveFolderTree(folder);
        return ExitNoModule;
    }

    Host host;
    std::string error;
    if (!hostprogram::LoadPlugin(copy, host.plugin, error)) {
        fprintf(stderr, "vesk-host: cannot load the plug-in %s: %s\n", copy.c_str(), error.c_str());
        if (temporary)
            hostprogram::RemoveFolderTree(folder);
        return ExitNoModule;
    }

    int status = ExitClean;
    if (!host.Begin()) {
        fprintf(stderr, "vesk-host: beginPlugin failed\n");
        status = ExitPluginFailed;
    } else {
        if (!PlayScript(host, script))
            status = ExitScriptError;
        if (!host.running) {
            // A restart whose beginPlugin failed.
            fprintf(stderr, "vesk-host: beginPlugin failed\n");
            status = ExitPluginFailed;
        }
        host.End();
    }
    if (script != stdin)
        fclose(script);
    hostprogram::UnloadPlugin(host.plugin);
    // The host owns the menus the plug-in left behind.
    testhost::Reset();
    if (temporary)
        hostprogram::RemoveFolderTree(folder);
    return status;
}
