#include "commands/timers.h"

#include "lifx/dispatch.h"
#include "palette/palette.h"
#include "settings/settings.h"

HWND g_pluginWindow;

void StartCycleTimer()
{
    SetTimer(g_pluginWindow, CycleTimer, (UINT)g_settings.cycleInterval * 1000, nullptr);
}

void StopCycleTimer()
{
    KillTimer(g_pluginWindow, CycleTimer);
}

void ShowScheme()
{
    StopCycleTimer();
    RefreshPalette();
    SendColours(0);
    if (g_settings.cycleColours)
        StartCycleTimer();
}
