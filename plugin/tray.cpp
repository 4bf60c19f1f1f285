#include "plugin/tray.h"

#include <stdio.h>
#include <string.h>

#include "host/identity.h"
#include "lifx/delivery.h"
#include "settings/settings.h"

NOTIFYICONDATAA g_trayIcon;
bool g_trayShown;

void TrayTip(char (&tip)[sizeof g_trayIcon.szTip])
{
    int silent = DeliverySilentLights();
    if (silent == 0)
        snprintf(tip, sizeof tip, "%s", PLUGIN_NAME);
    else
        snprintf(tip, sizeof tip, "%s: %d light%s not answering", PLUGIN_NAME, silent,
                 silent == 1 ? "" : "s");
}

void UpdateTrayTip()
{
    char tip[sizeof g_trayIcon.szTip];
    TrayTip(tip);
    if (!g_trayShown || strcmp(tip, g_trayIcon.szTip) == 0)
        return;
    // Kept in the record: the icon re-added after "TaskbarCreated" shows it.
    memcpy(g_trayIcon.szTip, tip, sizeof tip);
    NOTIFYICONDATAA change = g_trayIcon;
    change.uFlags = NIF_TIP | NIF_SHOWTIP;
    Shell_NotifyIconA(NIM_MODIFY, &change);
}
