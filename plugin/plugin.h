// The plug-in's exported entry points and its process-wide window state.
#pragma once

#include "commands/timers.h"
#include "platform/win32.h"
#include "plugin/tray.h"

#ifdef _WIN32
#define PLUGIN_EXPORT extern "C" __declspec(dllexport)
#else
#define PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))
#endif

// 0 on success, 1 when the plug-in could not start.
PLUGIN_EXPORT int beginPlugin(HINSTANCE instance);
// The same with the shell's further arguments, which are not used.
PLUGIN_EXPORT int beginPluginEx(HINSTANCE instance, HWND slitWindow);
// The result of unregistering the window class: non-zero on success.
PLUGIN_EXPORT int endPlugin(HINSTANCE instance);
PLUGIN_EXPORT LPCSTR pluginInfo(int field);

// The number of the registered "TaskbarCreated" message.
extern UINT g_taskbarCreatedMessage;

LRESULT CALLBACK PluginWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
