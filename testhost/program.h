// What the stand-in host program needs from the system it runs on: a plug-in
// folder, the plug-in module loaded from it, the message loop and the
// message boxes. program_linux.cpp and program_win.cpp implement it.
#pragma once

#include <string>

#include "platform/win32.h"

namespace hostprogram
{

typedef int (*BeginPluginFunction)(HINSTANCE);
typedef int (*EndPluginFunction)(HINSTANCE);

struct Plugin {
    HINSTANCE instance = nullptr; // what beginPlugin and endPlugin are given
    BeginPluginFunction begin = nullptr;
    EndPluginFunction end = nullptr;
};

// Real clock, output without line-end translation, message boxes printed
// instead of shown.
void SetUp();

// The plug-in module beside the program.
std::string DefaultModulePath();
// A new folder of its own under the system's temporary folder.
bool MakeTemporaryFolder(std::string &folder);
// Creates the folder and any missing parents.
bool MakeFolder(const std::string &folder);
void RemoveFolderTree(const std::string &folder);
// The folder with the system's separator at its end.
std::string FolderPath(const std::string &folder);
// The file name part of a path.
std::string BaseName(const std::string &path);
bool CopyModule(const std::string &from, const std::string &to);

// Loads the module and finds beginPlugin and endPlugin; error says why not.
bool LoadPlugin(const std::string &path, Plugin &plugin, std::string &error);
void UnloadPlugin(Plugin &plugin);

// The plug-in's window by its class name, for a plug-in that did not
// register with the host.
HWND FindWindowOfClass(const char *className);
// Delivers messages and timer ticks for that long.
void RunMessageLoop(unsigned ms);

// The last record the plug-in passed to Shell_NotifyIconA and that call's
// message, as the shell took them: no more of the record than its cbSize
// states, read with this program's own layout. False before the first call.
bool LastTrayRecord(DWORD &message, NOTIFYICONDATAA &record);

// Prints a message box the plug-in showed (main.cpp).
void PrintMessageBox(const char *caption, const char *text, unsigned type);

} // namespace hostprogram
