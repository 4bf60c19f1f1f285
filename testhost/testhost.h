// The stand-in host shell: what it was asked to do, and how tests and the
// host programs set it up. The host functions themselves are declared in
// host/vesk.h.
#pragma once

#include <stdio.h>

#include <string>
#include <vector>

#include "host/vesk.h"

namespace testhost
{

struct LogLine {
    int level;
    std::string text;
};

struct AboutBox {
    std::string title;
    std::string text;
};

struct Execution {
    HWND owner;
    std::string verb; // "(null)" when none was given
    std::string target;
    std::string args;
    std::string dir;
    int show;
    int flags;
};

enum ItemKind { ItemCommand, ItemBool, ItemInt, ItemString, ItemSeparator, ItemSubmenu };

struct MenuEntry;
// A menu as the host received it, copied when it was shown.
struct MenuSnapshot {
    std::string title;
    std::vector<MenuEntry> entries;
};
struct MenuEntry {
    ItemKind kind;
    std::string label;
    std::string command;
    bool indicator;                    // command entries
    bool state;                        // check entries
    int style;                         // check entries
    int value, minimum, maximum;       // number entries
    std::string text;                  // text entries
    std::vector<MenuSnapshot> submenu; // one element for a submenu entry
};

// Everything the host has been told, in order.
const std::vector<LogLine> &Logs();
const std::vector<AboutBox> &AboutBoxes();
const std::vector<Execution> &Executions();
const std::vector<MenuSnapshot> &ShownMenus();
int LiveMenus();
// The plug-in windows registered with HostMsgRegister and the message list
// each passed.
struct Registration {
    HWND window;
    std::vector<unsigned> messages;
};
const std::vector<Registration> &Registrations();

// Forgets what was recorded and returns to the default set-up: version text
// "Vesk 1.0 (stand-in host)", no style file, no configuration folder.
void Reset();
void ClearRecords();
void SetVersion(const char *version);
// The current style file, returned by stylePath and read for an empty file
// argument.
void SetStylePath(const char *path);
// A folder of the host's own where ConfigFileExists also looks, after the
// plug-in's folder; empty for none.
void SetConfigFolder(const char *folder);
// The host's main window goes away, as when the host shuts down: it is
// destroyed, and from then on GetVeskWnd returns its old handle (stale) or
// null, until Reset.
void LoseHostWindow(bool stale);
// Every text the host returns (version, style path, configuration path,
// settings value) is copied into one buffer that the next such call
// overwrites, as a host with a single return buffer would do.
void ShareOneReturnBuffer(bool shared);
// The text as the host returns it: its own copy, or the shared buffer.
LPCSTR ReturnedText(const std::string &text);
// Host programs print every event as it happens.
void SetEcho(FILE *out);

// Calls into the host now in progress: what the host allocates for itself
// while one runs is not the plug-in's doing.
int HostCallDepth();

// Appends a whole file's bytes to content; false when it cannot be opened.
bool ReadWholeFile(const std::string &path, std::string &content);

// Renders a menu as an indented tree, one entry a line.
std::string DescribeMenu(const MenuSnapshot &menu, int indent = 0);
// Windows-1252 text as UTF-8, for printing.
std::string ToUtf8(const std::string &text);

} // namespace testhost
