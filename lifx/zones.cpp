#include "lifx/zones.h"

int WindowZone(int zone, int zoneCount)
{
    return zone * kStripZones / zoneCount;
}

int EncodeStripZones(uint8_t (*messages)[kSetExtendedColorZonesSize], int zoneCount,
                     const Hsbk (&window)[kStripZones], uint32_t durationMs)
{
    if (zoneCount < kMinStripZones || zoneCount > kMaxStripZones)
        zoneCount = kStripZones;
    int spans = 0;
    for (int first = 0; first < zoneCount; first += kStripZones) {
        int count = zoneCount - first < kStripZones ? zoneCount - first : kStripZones;
        Hsbk colours[kStripZones] = {};
        for (int i = 0; i < count; i++)
            colours[i] = window[WindowZone(first + i, zoneCount)];
        bool last = first + count == zoneCount;
        EncodeSetExtendedColorZonesSpan(messages[spans++], colours, (uint16_t)first, (uint8_t)count,
                                        last ? 1 : 0, durationMs);
    }
    return spans;
}
