// The exported entry points: start, stop and identity.
#include "plugin/plugin.h"

#include <stdio.h>
#include <string.h>

#include "commands/discover.h"
#include "commands/timers.h"
#include "host/identity.h"
#include "host/log.h"
#include "host/vesk.h"
#include "lifx/discovery.h"
#include "lifx/dispatch.h"
#include "lifx/zone_query.h"
#include "palette/palette.h"
#include "settings/settings.h"

NOTIFYICONDATAA g_trayIcon;
UINT g_taskbarCreatedMessage;

// Kept from start to stop: logs ask GetVeskWnd anew, registration does not.
static HWND g_hostWindow;

// The host messages this plug-in wants, ending in 0.
static UINT g_hostMessages[] = {HostMsgCommand, HostMsgReconfigure, HostMsgStyleChange, 0};

enum { kIconResource = 102, kTrayFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP };

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(NOTIFYICONDATAA) == 508, "the tray record of 32-bit Windows");
#endif

static void ShowStartError(const char *text)
{
    MessageBoxA(nullptr, text, PLUGIN_FULL_NAME, MB_TOPMOST | MB_ICONERROR);
}

static HICON LoadTrayIcon(HINSTANCE instance)
{
    HICON icon = LoadIconA(instance, MAKEINTRESOURCEA(kIconResource));
    if (!icon && g_iconPath[0])
        icon = (HICON)LoadImageA(nullptr, g_iconPath, IMAGE_ICON, 16, 16, LR_LOADFROMFILE);
    if (!icon)
        icon = LoadIconA(nullptr, IDI_APPLICATION);
    return icon;
}

static void AddTrayIcon(HINSTANCE instance)
{
    memset(&g_trayIcon, 0, sizeof g_trayIcon);
    // The shell needs the record's true size, which differs between the
    // 32-bit and the 64-bit build.
    g_trayIcon.cbSize = sizeof g_trayIcon;
    g_trayIcon.hWnd = g_pluginWindow;
    g_trayIcon.uID = 0;
    g_trayIcon.uFlags = kTrayFlags;
    g_trayIcon.uCallbackMessage = WM_USER;
    g_trayIcon.hIcon = LoadTrayIcon(instance);
    strcpy(g_trayIcon.szTip, PLUGIN_NAME);
    Shell_NotifyIconA(NIM_ADD, &g_trayIcon);
    g_trayIcon.uVersion = NOTIFYICON_VERSION_4;
    Shell_NotifyIconA(NIM_SETVERSION, &g_trayIcon);
}

// A broadcast address in the file is no light's: the slot is left empty,
// as for any other address no light can have.
static void EmptyBroadcastSlots()
{
    for (int n = 1; n <= kDeviceSlots; n++) {
        uint32_t address;
        if (!DeviceAddress(n, &address) || !IsBroadcastAddress(address))
            continue;
        static char line[512];
        snprintf(line, sizeof line,
                 PLUGIN_LOG_PREFIX "Broadcast address \"%s\" for device #%d in the settings file: "
                                   "the slot is left empty. A search by broadcast is \"Discover\" "
                                   "with no address.",
                 g_devices[n], n);
        HostLog(LogError, line);
        SetDeviceSlot(n, "");
    }
    UpdateAnyDeviceConfigured();
}

PLUGIN_EXPORT int beginPlugin(HINSTANCE instance)
{
    g_hostWindow = GetVeskWnd();
    g_instance = instance;

    WNDCLASSA windowClass;
    memset(&windowClass, 0, sizeof windowClass);
    windowClass.lpfnWndProc = PluginWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = PLUGIN_NAME;
    if (!RegisterClassA(&windowClass)) {
        ShowStartError("Error registering plugin window class!");
        return 1;
    }

    ClearDeviceTable();
    LoadSettings();
    EmptyBroadcastSlots();
    // A strip of unknown length is asked once a start.
    ForgetZoneQueries();

    g_pluginWindow = CreateWindowExA(WS_EX_TOOLWINDOW, PLUGIN_NAME, nullptr,
                                     WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0, 0, 0,
                                     nullptr, nullptr, instance, nullptr);
    if (!g_pluginWindow) {
        ShowStartError("Error creating plugin window!");
        UnregisterClassA(PLUGIN_NAME, instance);
        return 1;
    }
    ShowWindow(g_pluginWindow, SW_HIDE);
    SendMessageA(g_hostWindow, HostMsgRegister, (WPARAM)g_pluginWindow, (LPARAM)g_hostMessages);
    WTSRegisterSessionNotification(g_pluginWindow, NOTIFY_FOR_THIS_SESSION);

    // The palette is filled whatever automatic power says: cycling turned
    // on later must not send an empty, black, palette. Without automatic
    // power no light is contacted and no timer runs.
    RefreshPalette();
    if (g_settings.autoPower) {
        SendColours(0);
        if (g_settings.cycleColours)
            StartCycleTimer();
        if (g_settings.moveEffect && IsPaletteScheme(g_settings.scheme))
            SetMoveEffect(true);
    }

    KeepAnswersTimer();
    AddTrayIcon(instance);
    g_taskbarCreatedMessage = RegisterWindowMessageA("TaskbarCreated");
    ChangeWindowMessageFilterEx(g_pluginWindow, g_taskbarCreatedMessage, MSGFLT_ALLOW, nullptr);
    return 0;
}

PLUGIN_EXPORT int beginPluginEx(HINSTANCE instance, HWND)
{
    return beginPlugin(instance);
}

PLUGIN_EXPORT int endPlugin(HINSTANCE instance)
{
    CancelDiscovery();
    Shell_NotifyIconA(NIM_DELETE, &g_trayIcon);
    DestroyIcon(g_trayIcon.hIcon);
    // The lights keep what they show; only the strips' effect stops.
    SetMoveEffect(false);
    // Sent once: nothing may stay behind to resend it.
    StopAnswers();
    KillTimer(g_pluginWindow, CycleTimer);
    KillTimer(g_pluginWindow, PowerOnTimer);
    WTSUnRegisterSessionNotification(g_pluginWindow);
    SendMessageA(g_hostWindow, HostMsgUnregister, (WPARAM)g_pluginWindow, (LPARAM)g_hostMessages);
    DestroyWindow(g_pluginWindow);
    g_pluginWindow = nullptr;
    return UnregisterClassA(PLUGIN_NAME, instance);
}

PLUGIN_EXPORT LPCSTR pluginInfo(int field)
{
    switch (field) {
    case 1:
        return PLUGIN_NAME;
    case 2:
        return PLUGIN_VERSION;
    case 3:
        return PLUGIN_AUTHOR;
    case 4:
        return PLUGIN_RELEASE_DATE;
    case 5:
        return PLUGIN_WEB_LINK;
    case 6:
        return PLUGIN_EMAIL;
    case 7:
        return PLUGIN_COMMAND_PREFIX " Documentation" PLUGIN_COMMAND_PREFIX
                                     " Show Menu" PLUGIN_COMMAND_PREFIX " About";
    default:
        return PLUGIN_FULL_NAME;
    }
}
