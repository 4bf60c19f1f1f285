#include "commands/timers.h"

#include "commands/discover.h"
#include "lifx/delivery.h"
#include "lifx/dispatch.h"
#include "lifx/light_socket.h"
#include "palette/palette.h"
#include "settings/settings.h"

HWND g_pluginWindow;
static bool g_answersTimer;

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

bool StartAnswersTimer()
{
    if (!g_answersTimer)
        g_answersTimer = SetTimer(g_pluginWindow, AnswersTimer, kAnswersTickMs, nullptr) != 0;
    return g_answersTimer;
}

void KeepAnswersTimer()
{
    if (g_pluginWindow && (DeliveryPending() || DiscoveryUnderway()))
        StartAnswersTimer();
}

void AnswersTick()
{
    bool discovering = DiscoveryTick();
    bool delivering = DeliveryStep(GetTickCount());
    ReleaseLightSocket();
    if (discovering || delivering)
        return;
    KillTimer(g_pluginWindow, AnswersTimer);
    g_answersTimer = false;
}

void StopAnswers()
{
    CancelDiscovery();
    StopDelivery();
    CloseLightSocket();
    if (g_answersTimer)
        KillTimer(g_pluginWindow, AnswersTimer);
    g_answersTimer = false;
}
