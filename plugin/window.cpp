// The hidden window's procedure: host messages, tray, power and session
// events, and the two timers.
#include "plugin/plugin.h"

#include "commands/commands.h"
#include "commands/discover.h"
#include "commands/timers.h"
#include "host/identity.h"
#include "lifx/delivery.h"
#include "lifx/dispatch.h"
#include "lifx/kind_query.h"
#include "lifx/label_query.h"
#include "lifx/messages.h"
#include "lifx/zone_query.h"
#include "palette/palette.h"
#include "settings/debug_log.h"
#include "settings/settings.h"

static void OnTrayEvent(LPARAM lParam)
{
    // The low word holds the event both with NOTIFYICON_VERSION_4 and
    // without it (the icon re-added after "TaskbarCreated").
    switch (lParam & 0xFFFF) {
    case WM_RBUTTONUP:
    case WM_LBUTTONDOWN:
    case NIN_SELECT:
    case NIN_KEYSELECT:
        ShowPluginMenu();
        break;
    }
}

// After a time away: what the power-on step is going to send again is
// dropped, not resent stale until then; a state nothing sends again (a
// single light's colour under Manual, anything without automatic power)
// is kept and starts its tries afresh.
static void KeepWhatPowerOnLeaves()
{
    static const int kPower[] = {kTypeSetLightPower};
    static const int kEveryState[] = {kTypeSetLightPower, kTypeSetColor, kTypeSetExtendedColorZones,
                                      kTypeSetMultiZoneEffect};
    if (!g_settings.autoPower)
        RestartDeliveries(nullptr, 0);
    else if (g_settings.scheme == SchemeManual)
        RestartDeliveries(kPower, 1);
    else
        RestartDeliveries(kEveryState, 4);
}

static void OnPower(WPARAM event)
{
    // The network goes with the suspend: a discovery would find nothing.
    if (event == PBT_APMSUSPEND) {
        CancelDiscovery();
        // A strip not yet answered is asked again at its next drive.
        StopZoneQuery();
        StopLabelQuery();
        StopKindQuery();
    }
    // Hours may have passed: the lights' silence while the computer slept
    // is not theirs.
    if (event == PBT_APMRESUMEAUTOMATIC)
        KeepWhatPowerOnLeaves();
    if (!g_settings.autoPower)
        return;
    if (event == PBT_APMSUSPEND) {
        DebugLog(LogFirst,
                 PLUGIN_LOG_PREFIX "Suspending to low power state; turning off the lights.");
        StopCycleTimer();
        SetMoveEffect(false);
        SetPowerAll(false);
    } else if (event == PBT_APMRESUMEAUTOMATIC) {
        DebugLog(LogFirst,
                 PLUGIN_LOG_PREFIX "Resuming from low power state; turning on the lights.");
        // The lights come back in the power-on step, once the network is up.
        SetTimer(g_pluginWindow, PowerOnTimer, kPowerOnAfterResumeMs, nullptr);
    }
}

static void OnSessionChange(WPARAM event)
{
    if (event == WTS_SESSION_UNLOCK && g_settings.autoPower) {
        KeepWhatPowerOnLeaves();
        SetTimer(g_pluginWindow, PowerOnTimer, kPowerOnAfterUnlockMs, nullptr);
    }
}

static void CycleStep()
{
    if (g_settings.scheme == SchemeManual || !g_settings.cycleColours)
        return;
    g_palette.offset++;
    if (g_palette.offset > kRotationSteps)
        g_palette.offset = 1;
    // Unconfirmed: the next tick replaces it.
    SendCycleColours();
}

static void PowerOnStep()
{
    KillTimer(g_pluginWindow, PowerOnTimer);
    if (!g_settings.autoPower)
        return;
    if (g_settings.scheme == SchemeManual) {
        SetPowerAll(true);
        return;
    }
    ShowScheme();
    SetMoveEffect(g_settings.moveEffect && IsPaletteScheme(g_settings.scheme));
}

static void StyleRefresh()
{
    if (g_settings.scheme == SchemeStyle)
        ShowScheme();
}

static LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Known only at run time, so tested before the fixed numbers.
    if (g_taskbarCreatedMessage && message == g_taskbarCreatedMessage) {
        Shell_NotifyIconA(NIM_ADD, &g_trayIcon);
        DebugLog(LogFirst, PLUGIN_LOG_PREFIX "System \"TaskbarCreated\" message received -> "
                                             "Recreating the system tray icon.");
        return 0;
    }
    switch (message) {
    case WM_USER:
        OnTrayEvent(lParam);
        return 0;
    case WM_POWERBROADCAST:
        // Never refuses a suspend.
        OnPower(wParam);
        return TRUE;
    case WM_WTSSESSION_CHANGE:
        OnSessionChange(wParam);
        return 0;
    case WM_CLOSE:
        // Only endPlugin destroys the window.
        return 0;
    case WM_TIMER:
        if (wParam == CycleTimer)
            CycleStep();
        else if (wParam == PowerOnTimer)
            PowerOnStep();
        else if (wParam == AnswersTimer)
            AnswersTick();
        return 0;
    case HostMsgReconfigure:
    case HostMsgStyleChange:
        StyleRefresh();
        return 0;
    case HostMsgCommand:
        return HandleCommand((const char *)lParam);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK PluginWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = HandleMessage(window, message, wParam, lParam);
    // Whatever the event sent waits for its acknowledgements, and a strip
    // it drove may wait to be asked its zones.
    KeepAnswersTimer();
    // A light may have stopped answering, or answered again.
    UpdateTrayTip();
    return result;
}
