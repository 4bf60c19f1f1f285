// A strip's zones: how many it is driven with, and the messages that carry
// them.
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

// The messages for a strip of zoneCount zones showing zones[0] to
// zones[zoneCount - 1]: 82 zones a message from zone 0 on, every message but
// the last stored without being shown (apply 0), the last showing them all
// at once. Returns the number of messages written.
int EncodeStripZones(uint8_t (*messages)[kSetExtendedColorZonesSize], int zoneCount,
                     const Hsbk *zones, uint32_t durationMs);
// The message that shows what a strip has stored, carrying no colours
// (apply 2): for a strip that stored a span after its last one was shown.
void EncodeShowStoredZones(uint8_t (&message)[kSetExtendedColorZonesSize], uint32_t durationMs);
