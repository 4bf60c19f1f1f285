#include "commands/timers.h"

#include "commands/discover.h"
#include "lifx/delivery.h"
#include "lifx/discovery.h"
#include "lifx/dispatch.h"
#include "lifx/images.h"
#include "lifx/kind_query.h"
#include "lifx/label_query.h"
#include "lifx/light_socket.h"
#include "lifx/zone_query.h"
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
    // A strip just sent its zones may wait to be asked how many it has.
    if (g_pluginWindow && ZoneQueryWanted())
        StartZoneQuery(GetTickCount());
    // A light set by hand may wait to be asked its label.
    if (g_pluginWindow && LabelQueryWanted())
        StartLabelQuery(GetTickCount());
    if (g_pluginWindow && KindQueryWanted())
        StartKindQuery(GetTickCount());
    if (!DeliveryPending() && !DiscoveryUnderway() && !ZoneQueryRunning() && !LabelQueryRunning() &&
        !KindQueryRunning() && !ImagesRunning())
        return;
    // Without its timer a discovery would never end.
    bool ticking = g_pluginWindow && StartAnswersTimer();
    if (!ticking && DiscoveryRunning())
        StopDiscovery();
}

void OfferLightAnswers(uint32_t nowMs)
{
    uint32_t from;
    const uint8_t *data;
    size_t length;
    for (int reads = 0; reads < kLightReadsPerStep; reads++) {
        switch (ReadFromLights(&from, &data, &length)) {
        case LightReadNothing:
            return;
        case LightReadUnreadable:
            DiscoveryCountIgnored();
            break;
        case LightReadAgain:
            break;
        case LightReadDatagram:
            if (!DeliveryHandleDatagram(from, data, length) &&
                !ImagesHandleDatagram(from, data, length) &&
                !ZoneQueryHandleDatagram(from, data, length) &&
                !LabelQueryHandleDatagram(from, data, length) &&
                !KindQueryHandleDatagram(from, data, length))
                DiscoveryHandleDatagram(from, data, length, nowMs);
            break;
        }
    }
}

// A strip whose length was just learnt was sent 82 zones: it shows the
// scheme over its own zones now rather than at the next change, unless
// something newer (a colour, white light, power) went to it since.
static bool ZoneQueryTick()
{
    unsigned learned = 0;
    bool running = ZoneQueryStep(GetTickCount(), &learned);
    if (learned && IsPaletteScheme(g_settings.scheme) && g_palette.offset != 0)
        RedrawStrips(learned);
    return running;
}

void AnswersTick()
{
    OfferLightAnswers(GetTickCount());
    bool discovering = DiscoveryTick();
    bool asking = ZoneQueryTick();
    asking = LabelQueryStep(GetTickCount()) || asking;
    asking = KindQueryStep(GetTickCount()) || asking;
    bool delivering = DeliveryStep(GetTickCount());
    // After delivery's step, which tells what it resent and gave up.
    delivering = ImagesStep(GetTickCount()) || delivering;
    ReleaseLightSocket();
    if (discovering || asking || delivering)
        return;
    KillTimer(g_pluginWindow, AnswersTimer);
    g_answersTimer = false;
}

void StopAnswers()
{
    CancelDiscovery();
    StopZoneQuery();
    StopLabelQuery();
    StopKindQuery();
    StopDelivery();
    StopImages();
    CloseLightSocket();
    if (g_answersTimer)
        KillTimer(g_pluginWindow, AnswersTimer);
    g_answersTimer = false;
}
