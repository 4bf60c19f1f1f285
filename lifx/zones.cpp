#include "lifx/zones.h"

#include <string.h>

int EncodeStripZones(uint8_t (*messages)[kSetExtendedColorZonesSize], int zoneCount,
                     const Hsbk *zones, uint32_t durationMs)
{
    if (zoneCount < kMinStripZones || zoneCount > kMaxStripZones)
        zoneCount = kStripZones;
    int spans = 0;
    for (int first = 0; first < zoneCount; first += kStripZones) {
        int count = zoneCount - first < kStripZones ? zoneCount - first : kStripZones;
        Hsbk colours[kStripZones] = {};
        memcpy(colours, zones + first, sizeof(Hsbk) * (size_t)count);
        bool last = first + count == zoneCount;
        EncodeSetExtendedColorZonesSpan(messages[spans++], colours, (uint16_t)first, (uint8_t)count,
                                        last ? 1 : 0, durationMs);
    }
    return spans;
}

void EncodeShowStoredZones(uint8_t (&message)[kSetExtendedColorZonesSize], uint32_t durationMs)
{
    static const Hsbk kNone[kStripZones] = {};
    EncodeSetExtendedColorZonesSpan(message, kNone, 0, 0, 2, durationMs);
}
