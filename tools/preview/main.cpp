// chromalet-preview: the plug-in in the stand-in host, driving emulated LIFX
// lights on loopback (ten by default, or a home's), shown live in a
// terminal or as plain lines.
#include <ctype.h>
#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "tools/preview/plugin_folder.h"
#include "tools/preview/preview.h"
#include "tools/preview/scripts.h"
#include "tools/preview/terminal.h"

#ifndef CHROMALET_SOURCE_DIR
#define CHROMALET_SOURCE_DIR "."
#endif

namespace
{

const char kUsage[] =
    "usage: chromalet-preview [OPTIONS] [-- HOST-PROGRAM [ARGS...]]\n"
    "\n"
    "Runs the Chromalet-LIFX plug-in in the stand-in host program and shows ten\n"
    "emulated LIFX lights (bulbs 1-8, strips 9 and 10) on 127.56.G.1-10, or the\n"
    "lights of a home (--home, --light) on 127.56.G.1 and on.\n"
    "\n"
    "In a terminal: a live view and a prompt. Type commands as the host delivers\n"
    "them (@Chromalet-LIFX Scheme Fire) or host events (:suspend, :resume,\n"
    ":wait 2000, :restart ...); :menu shows the plug-in's menu numbered, :help\n"
    "lists more, :quit leaves.\n"
    "Without a terminal: with --script FILE, or a script on standard input (a\n"
    "pipe or a file), it plays the script; otherwise the built-in tour. The\n"
    "output is what the host prints and, after each step, the state of every\n"
    "light that changed:\n"
    "  light N: on|off #RRGGBB HUE SATURATION% BRIGHTNESS% KELVIN\n"
    "  strip N: on|off #RRGGBB for each of its zones (82; strip 10 has 16)\n"
    "  strip N move: on|off SPEED ms forward|reverse\n"
    "  light|strip N: not driven   (its slot names another address)\n"
    "and what the preview says of it: \"[preview] no change\" after a command\n"
    "that changed nothing, when the lights come back after :resume or :unlock.\n"
    ":help prints the help, :menu the plug-in's menu numbered as in the live view.\n"
    ":silence N has light N hear and answer nothing, as if switched off at the\n"
    "wall, until :answer N.\n"
    "\n"
    "Options:\n"
    "  --script FILE       play FILE (host script lines) and exit\n"
    "  --tour              play the built-in tour (in a terminal too)\n"
    "  --snapshot FILE     at the end, write an SVG picture of the lights\n"
    "  --style FILE        the host's style file (default: a small one of the\n"
    "                      preview's own), read by the Style scheme\n"
    "  --plugin-dir DIR    the plug-in folder (default: .preview/plugin in the\n"
    "                      repository), kept between runs; created when missing,\n"
    "                      the host copies the plug-in module into it. While\n"
    "                      another preview uses it, a run gets a temporary one\n"
    "  --home FILE         emulate the lights FILE describes, one a line (see\n"
    "                      tools/preview/homes/example.home), in a plug-in folder\n"
    "                      of the home's own (.preview/homes/NAME)\n"
    "  --light \"KIND ...\"  one more light, as a line of a home: bulb, strip [ZONES],\n"
    "                      older-strip [ZONES], matrix CHAIN or switch, then an\n"
    "                      optional \"LABEL\", loss PERCENT, replies MODE, product N\n"
    "  --no-lights         no emulated lights and no set-up: the plug-in sends to\n"
    "                      the devices of its settings file. The preview only lets\n"
    "                      it reach 127.0.0.0/8 (and the Linux host's network guard\n"
    "                      stops the host on anything else): real lights need Vesk.\n"
    "  --lights-group N    try 127.56.N.x first (then N+1, ... when taken)\n"
    "  --loss PERCENT      the lights lose that share (0-100) of what they receive\n"
    "                      and of what they send back, as on a bad network\n"
    "  --debug, --no-debug turn the plug-in's own log on or off (its settings\n"
    "                      file's lifx.debug, as a hand edit would)\n"
    "  --windows-paths     give the host Windows paths (Z:\\...), for Vesk.exe\n"
    "  --host-label TEXT   how the view names the host\n"
    "  --start-seconds N   how long to wait for the plug-in to start (60)\n"
    "The host program defaults to vesk-host beside this program, with the\n"
    "Chromalet-LIFX.so beside it. tools/preview.sh builds and runs all this;\n"
    "tools/preview.sh --windows does it with the DLL in Vesk.exe under Wine.\n";

std::string ProgramFolder()
{
    char self[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return "./";
    std::string path(self, (size_t)length);
    return path.substr(0, path.rfind('/') + 1);
}

bool ParseOptions(int argc, char **argv, preview::Options &options)
{
    for (int i = 1; i < argc; i++) {
        std::string name = argv[i];
        if (name == "--") {
            for (i++; i < argc; i++)
                options.hostCommand.push_back(argv[i]);
            break;
        }
        if (name == "-h" || name == "--help") {
            fputs(kUsage, stdout);
            exit(0);
        }
        if (name == "--no-lights") {
            options.lights = false;
        } else if (name == "--tour") {
            options.tour = true;
        } else if (name == "--debug") {
            options.debug = 1;
        } else if (name == "--no-debug") {
            options.debug = 0;
        } else if (name == "--windows-paths") {
            options.windowsPaths = true;
        } else if (name == "--windows" || name == "--arch") {
            fprintf(stderr,
                    "chromalet-preview: %s is an option of tools/preview.sh, which "
                    "builds the DLL and runs it under Wine\n",
                    name.c_str());
            return false;
        } else if (i + 1 < argc &&
                   (name == "--script" || name == "--snapshot" || name == "--style" ||
                    name == "--plugin-dir" || name == "--lights-group" || name == "--host-label" ||
                    name == "--start-seconds" || name == "--loss" || name == "--home" ||
                    name == "--light")) {
            std::string value = argv[++i];
            if (name == "--home")
                options.homeFile = value;
            else if (name == "--light")
                options.homeLines.push_back(value);
            else if (name == "--script")
                options.script = value;
            else if (name == "--snapshot")
                options.snapshot = value;
            else if (name == "--style")
                options.style = value;
            else if (name == "--plugin-dir")
                options.pluginFolder = value;
            else if (name == "--host-label")
                options.hostLabel = value;
            else if (name == "--lights-group")
                options.lightsGroup = atoi(value.c_str());
            else if (name == "--loss")
                options.lossPercent = atoi(value.c_str());
            else
                options.startSeconds = atoi(value.c_str());
        } else {
            fprintf(stderr, "chromalet-preview: unknown option or missing value: %s\n",
                    name.c_str());
            return false;
        }
    }
    if (options.lossPercent < 0 || options.lossPercent > 100) {
        fprintf(stderr, "chromalet-preview: --loss takes 0 to 100\n");
        return false;
    }
    if (options.lightsGroup < 0 || options.lightsGroup > 255) {
        fprintf(stderr, "chromalet-preview: --lights-group takes 0 to 255\n");
        return false;
    }
    if (options.startSeconds < 1)
        options.startSeconds = 1;
    return true;
}

// Creates the folder and its parents.
bool MakeFolders(const std::string &folder)
{
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        std::string part = folder.substr(0, slash);
        if (!part.empty() && mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            break;
    }
    struct stat info;
    return stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string Absolute(const std::string &path)
{
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved))
        return resolved;
    return path;
}

// A path as the host program takes it: Wine's Z: drive for Vesk.exe.
std::string HostPath(const std::string &path, bool windows)
{
    if (!windows)
        return path;
    std::string text = "Z:" + path;
    for (char &c : text) {
        if (c == '/')
            c = '\\';
    }
    return text;
}

// The default lights, or those of --home and --light, named after the file.
bool ChooseHome(const preview::Options &options, preview::Home &home, std::string &reason)
{
    if (options.homeFile.empty() && options.homeLines.empty()) {
        home = preview::DefaultHome();
        return true;
    }
    home = preview::Home();
    if (!options.homeFile.empty()) {
        if (!preview::ReadHomeFile(options.homeFile, home, reason))
            return false;
        std::string name = options.homeFile.substr(options.homeFile.rfind('/') + 1);
        home.name = name.substr(0, name.find('.'));
    }
    for (const std::string &line : options.homeLines) {
        if (!preview::ReadHomeText(line, "--light \"" + line + "\"", home, reason))
            return false;
    }
    if (home.lights.empty()) {
        reason = "the home names no light";
        return false;
    }
    // A name fit for a folder: letters, digits, '-' and '_'.
    std::string safe;
    for (char c : home.name)
        safe += isalnum((unsigned char)c) || c == '-' || c == '_' ? c : '_';
    home.name = safe.empty() || safe == "default" ? "lights" : safe;
    return true;
}

enum Mode { ModeLive, ModeScript, ModeTour };

Mode ChooseMode(const preview::Options &options)
{
    if (!options.script.empty())
        return ModeScript;
    if (options.tour)
        return isatty(STDIN_FILENO) && isatty(STDOUT_FILENO) ? ModeLive : ModeTour;
    struct stat input;
    if (isatty(STDIN_FILENO))
        return isatty(STDOUT_FILENO) ? ModeLive : ModeScript;
    if (fstat(STDIN_FILENO, &input) == 0) {
        if (S_ISFIFO(input.st_mode) || S_ISSOCK(input.st_mode))
            return ModeScript;
        if (S_ISREG(input.st_mode) && input.st_size > 0)
            return ModeScript;
    }
    return ModeTour;
}

} // namespace

// The run itself, the plug-in folder taken.
static int Run(preview::Preview &run)
{
    preview::Options &options = run.options;
    std::string here = ProgramFolder();
    if (access(options.style.c_str(), R_OK) != 0) {
        fprintf(stderr, "chromalet-preview: cannot read the style file %s\n",
                options.style.c_str());
        return 2;
    }
    options.style = Absolute(options.style);
    run.settingsPath = preview::SettingsPath(options.pluginFolder);
    run.firstRun = access(run.settingsPath.c_str(), F_OK) != 0;

    preview::PluginSettings settings;
    std::string reason;
    if (preview::ReadPluginSettings(run.settingsPath, settings) &&
        !preview::SettingsAllowed(settings, reason)) {
        fprintf(stderr, "chromalet-preview: %s\n", reason.c_str());
        return 2;
    }

    // An existing folder gets the debug flag before the start; a new one
    // right after the plug-in has created its file.
    if (settings.exists && options.debug >= 0 && settings.debug != (options.debug == 1))
        preview::SetBooleanSetting(run.settingsPath, "lifx.debug:", options.debug == 1);

    Mode mode = ChooseMode(options);
    FILE *script = nullptr;
    if (mode == ModeScript) {
        script = options.script.empty() ? stdin : fopen(options.script.c_str(), "r");
        if (!script) {
            fprintf(stderr, "chromalet-preview: cannot read the script %s\n",
                    options.script.c_str());
            return 2;
        }
    }

    if (options.lights) {
        std::string message;
        if (!preview::StartLights(run.lights, run.home, options.lightsGroup, 10, message)) {
            fprintf(stderr,
                    "chromalet-preview: cannot start the emulated lights on 127.56.%d.x to "
                    "127.56.%d.x: %s\n",
                    options.lightsGroup, options.lightsGroup + 9, message.c_str());
            return 2;
        }
        run.lights.ownHome = run.home.name != "default";
        preview::SetLightsLoss(options.lossPercent);
    }

    if (options.hostCommand.empty())
        options.hostCommand = {here + "vesk-host", "--plugin", here + "Chromalet-LIFX.so"};
    run.hostArgv = options.hostCommand;
    run.hostArgv.push_back("--plugin-dir");
    run.hostArgv.push_back(HostPath(options.pluginFolder, options.windowsPaths));
    run.hostArgv.push_back("--style");
    run.hostArgv.push_back(HostPath(options.style, options.windowsPaths));
    run.hostFolderText =
        HostPath(options.pluginFolder, options.windowsPaths) + (options.windowsPaths ? "\\" : "/");

    int status = mode == ModeLive ? preview::RunLive(run) : preview::RunPlain(run, script);
    if (script && script != stdin)
        fclose(script);
    preview::StopLights(run.lights);
    return status;
}

int main(int argc, char **argv)
{
    preview::Preview run;
    preview::Options &options = run.options;
    if (!ParseOptions(argc, argv, options)) {
        fputs("(chromalet-preview --help lists the options)\n", stderr);
        return 2;
    }
    preview::InstallSignalHandlers();
    setvbuf(stdout, nullptr, _IOLBF, 0);

    std::string reason;
    if (!ChooseHome(options, run.home, reason)) {
        fprintf(stderr, "chromalet-preview: %s\n", reason.c_str());
        return 2;
    }
    // Each home keeps its own settings: the slots its search filled.
    if (options.pluginFolder.empty() && run.home.name == "default")
        options.pluginFolder = std::string(CHROMALET_SOURCE_DIR) + "/.preview/plugin";
    else if (options.pluginFolder.empty())
        options.pluginFolder =
            std::string(CHROMALET_SOURCE_DIR) + "/.preview/homes/" + run.home.name;
    if (options.style.empty())
        options.style = std::string(CHROMALET_SOURCE_DIR) + "/tools/preview/default-style.rc";
    if (!MakeFolders(options.pluginFolder)) {
        fprintf(stderr, "chromalet-preview: cannot create the plug-in folder %s: %s\n",
                options.pluginFolder.c_str(), strerror(errno));
        return 2;
    }
    options.pluginFolder = Absolute(options.pluginFolder);
    // Two previews on one folder would share its settings file and module.
    if (!preview::HoldPluginFolder(options.pluginFolder)) {
        std::string fresh;
        if (!preview::MakeFreshFolder(fresh) || !preview::HoldPluginFolder(fresh)) {
            fprintf(stderr,
                    "chromalet-preview: another preview uses %s and no temporary folder can be "
                    "made: name another with --plugin-dir DIR\n",
                    options.pluginFolder.c_str());
            return 2;
        }
        run.busyFolder = options.pluginFolder;
        options.pluginFolder = fresh;
    }
    int status = Run(run);
    if (!run.busyFolder.empty())
        preview::RemoveFolder(options.pluginFolder);
    return status;
}
