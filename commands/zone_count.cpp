#include "commands/zone_count.h"

#include "commands/timers.h"
#include "lifx/dispatch.h"
#include "lifx/zone_query.h"
#include "palette/palette.h"
#include "settings/settings.h"

void StartZoneQueryIfWanted()
{
    if (!g_pluginWindow || !ZoneQueryWanted())
        return;
    if (!StartZoneQuery(GetTickCount()))
        return;
    // Without its timer the socket would never close.
    if (!SetTimer(g_pluginWindow, ZoneQueryTimer, kZoneQueryTickMs, nullptr))
        StopZoneQuery();
}

void ZoneQueryTick()
{
    unsigned learned = 0;
    bool running = ZoneQueryStep(GetTickCount(), &learned);
    if (!running)
        KillTimer(g_pluginWindow, ZoneQueryTimer);
    // The strip was just sent 82 zones: it shows the scheme over its own
    // zones now rather than at the next change.
    if (learned && IsPaletteScheme(g_settings.scheme) && g_palette.offset != 0)
        SendSchemeTo(learned);
}

void CancelZoneQuery()
{
    if (!ZoneQueryRunning())
        return;
    KillTimer(g_pluginWindow, ZoneQueryTimer);
    StopZoneQuery();
}
