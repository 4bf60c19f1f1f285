// A strip's zones: how many it is driven with, which colour of the 82-zone
// window each takes, and the messages that carry them.
#pragma once

#include <stdint.h>

#include "lifx/messages.h"
#include "settings/settings.h"

enum {
    // One SetExtendedColorZones message sets at most 82 zones.
    kMaxZoneSpans = (kMaxStripZones + kStripZones - 1) / kStripZones,
};

// The zones the strip in the slot is driven with: its known count, or 82.
inline int StripZoneCount(int slot)
{
    if (slot <= kLastBulb || slot > kDeviceSlots)
        return kStripZones;
    int zones = g_deviceZones[slot];
    return zones >= kMinStripZones && zones <= kMaxStripZones ? zones : kStripZones;
}

// The zone of the 82-zone window whose colour zone z of a strip of zoneCount
// zones shows: floor(z * 82 / zoneCount).
int WindowZone(int zone, int zoneCount);

// The messages for a strip of zoneCount zones showing the 82 window colours,
// resampled: 82 zones a message from zone 0 on, every message but the last
// stored without being shown (apply 0), the last showing them all at once.
// Returns the number of messages written.
int EncodeStripZones(uint8_t (*messages)[kSetExtendedColorZonesSize], int zoneCount,
                     const Hsbk (&window)[kStripZones], uint32_t durationMs);
