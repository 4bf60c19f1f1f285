// The preview as a whole: its options, the emulated lights, the host
// program's command line, and the two ways it runs (a live view in a
// terminal; plain lines for a script or the built-in tour).
#pragma once

#include <string>
#include <vector>

#include "tools/preview/light_views.h"
#include "tools/preview/plugin_settings.h"

namespace preview
{

struct Options {
    std::string script;   // --script FILE
    std::string snapshot; // --snapshot FILE.svg
    std::string style;
    std::string pluginFolder;
    bool lights = true;
    int lightsGroup = 0; // the third octet tried first
    int lossPercent = 0; // --loss: what the lights lose each way
    int debug = -1;      // 1 --debug, 0 --no-debug, -1 as the file says
    bool tour = false;
    bool windowsPaths = false;
    std::string hostLabel = "Linux";
    int startSeconds = 60; // for beginPlugin; Wine's first start is slow
    std::vector<std::string> hostCommand;
    // --home FILE and --light "KIND ...": the lights to emulate.
    std::string homeFile;
    std::vector<std::string> homeLines;
};

struct Preview {
    Options options;
    Home home;
    Lights lights;
    std::string settingsPath;
    bool firstRun = false;
    // The host program and its arguments, plug-in folder and style added.
    std::vector<std::string> hostArgv;
    // The plug-in folder as the host prints it in its lines, to shorten them.
    std::string hostFolderText;
    // The folder asked for, when another preview was using it: this run then
    // has a temporary folder of its own, removed at its end.
    std::string busyFolder;
};

// "lights 127.56.0.1-10", or what stands for none.
std::string LightsLabel(const Preview &preview);

// "emulated lights: bulbs 1-8 and strips 9-10 at A to B", or the home's.
std::string LightsRemark(const Preview &preview);

// What the preview says about itself, one line: "[preview] TEXT".
std::string Remark(const std::string &text);

// Which plug-in folder this run uses, for its first lines.
std::string FolderRemark(const Preview &preview);

// The text of a host line shortened for the view: the plug-in folder's path
// left out.
std::string Shortened(const Preview &preview, const std::string &line);

// The set-up after the first beginPlugin: the debug flag as asked, then the
// lines SetupLines gives (with a restart when the debug flag changed). False,
// with the reason, when the settings file names a device outside loopback.
bool PrepareSetup(Preview &preview, std::vector<std::string> &lines, std::string &reason);

int RunPlain(Preview &preview, FILE *script);
int RunLive(Preview &preview);

} // namespace preview
