// The host shell's functions, as the plug-in imports them from "Vesk.exe",
// and the window messages the plug-in and the host exchange.
#pragma once

#include "platform/win32.h"

#if defined(_WIN32) && defined(VESK_HOST_BUILD)
#define VESK_API __declspec(dllexport)
#elif defined(_WIN32)
#define VESK_API __declspec(dllimport)
#else
#define VESK_API __attribute__((visibility("default")))
#endif

// Menus and menu items belong to the host; the plug-in only passes them back.
typedef struct VeskMenu Menu;
typedef struct VeskMenuItem MenuItem;

extern "C" {
// The host's main window and its version text.
VESK_API HWND GetVeskWnd();
VESK_API LPCSTR GetVeskVersion();
// Path of the current style file; the argument is unused and passed as null.
VESK_API LPCSTR stylePath(LPCSTR other);
// Full path of a configuration file the host knows of, or an empty text.
// The folder ends in a path separator.
VESK_API LPCSTR ConfigFileExists(LPCSTR fileName, LPCSTR pluginFolder);
VESK_API bool FileExists(LPCSTR path);

// Settings readers: the key includes its colon. Returned texts live until
// the next call and are copied at once.
VESK_API LPCSTR ReadString(LPCSTR file, LPCSTR key, LPCSTR defaultText);
VESK_API int ReadInt(LPCSTR file, LPCSTR key, int defaultValue);
VESK_API bool ReadBool(LPCSTR file, LPCSTR key, bool defaultValue);
// Colours come back as 0x00BBGGRR.
VESK_API COLORREF ReadColor(LPCSTR file, LPCSTR key, LPCSTR defaultText);

// Settings writers.
VESK_API void WriteString(LPCSTR file, LPCSTR key, LPCSTR value);
VESK_API void WriteInt(LPCSTR file, LPCSTR key, int value);
VESK_API void WriteBool(LPCSTR file, LPCSTR key, bool value);

VESK_API bool IsInString(LPCSTR text, LPCSTR part);
// Copies up to count words of text into words[0..count-1] and what follows
// them into rest; returns the number of words found.
VESK_API int VeskTokenize(LPCSTR text, LPSTR *words, unsigned count, LPSTR rest);
VESK_API BOOL VeskExecute(HWND owner, LPCSTR verb, LPCSTR target, LPCSTR args, LPCSTR dir, int show,
                          int flags);

VESK_API Menu *MakeMenu(LPCSTR title);
VESK_API void DelMenu(Menu *menu);
VESK_API void MakeSubmenu(Menu *menu, Menu *submenu, LPCSTR title);
VESK_API void ShowMenu(Menu *menu);
VESK_API MenuItem *MakeMenuItem(Menu *menu, LPCSTR label, LPCSTR command, bool indicator);
VESK_API MenuItem *MakeMenuItemBool(Menu *menu, LPCSTR label, LPCSTR command, bool state,
                                    int style);
VESK_API MenuItem *MakeMenuItemInt(Menu *menu, LPCSTR label, LPCSTR command, int value, int minimum,
                                   int maximum);
VESK_API MenuItem *MakeMenuItemString(Menu *menu, LPCSTR label, LPCSTR command, LPCSTR text);
VESK_API MenuItem *MakeMenuNOP(Menu *menu, LPCSTR label);
}

// Plug-in to host.
enum : UINT {
    HostMsgRegister = 10001,
    HostMsgUnregister = 10002,
    HostMsgLog = 10304,
    HostMsgAbout = 20608,
};

// Host to plug-in.
enum : UINT {
    HostMsgCommand = 10901,
    HostMsgReconfigure = 10103,
    HostMsgStyleChange = 10881,
};

// Levels of HostMsgLog, its wParam.
enum LogLevel {
    LogFirst = 0,
    LogConfirm = 1,
    LogError = 3,
    LogMore = 254,
};
