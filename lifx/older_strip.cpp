#include "lifx/older_strip.h"

#include <string.h>

#include "lifx/light_pace.h"
#include "lifx/zones.h"
#include "settings/settings.h"

namespace
{

// A change of one strip: its runs of equal colour, in zone order.
struct OlderChange {
    bool open;
    int runs;
    uint8_t start[kMaxOlderStripZones];
    uint8_t end[kMaxOlderStripZones];
    Hsbk colour[kMaxOlderStripZones];
    uint32_t durationMs;
    int next; // the next run to send
    int confirmed;
    bool applied;   // the run that shows them all is confirmed
    bool showAgain; // a run may have been stored after that
    bool showSent;
};

enum { kOlderSlots = kDeviceSlots - kLastBulb };
OlderChange g_changes[kOlderSlots];

OlderChange *ChangeOf(int slot)
{
    return slot > kLastBulb && slot <= kDeviceSlots ? &g_changes[slot - kLastBulb - 1] : nullptr;
}

bool Same(const Hsbk &a, const Hsbk &b)
{
    return a.hue == b.hue && a.saturation == b.saturation && a.brightness == b.brightness &&
           a.kelvin == b.kelvin;
}

void Close(int slot, OlderChange &change)
{
    DeliveryForget(slot, kTypeSetColorZones);
    PaceReset(slot);
    change.open = false;
}

bool ReleaseDue(int slot, OlderChange &change, uint32_t nowMs)
{
    static uint8_t message[kSetColorZonesSize];
    while (change.next < change.runs && PaceAllows(slot, nowMs)) {
        int n = change.next;
        EncodeSetColorZones(message, change.start[n], change.end[n], change.colour[n],
                            change.durationMs, n == change.runs - 1 ? 1 : 0);
        if (!PacedSend(slot, message, kSetColorZonesSize, nowMs))
            return false;
        change.next++;
    }
    return true;
}

} // namespace

int OlderStripZoneCount(int slot)
{
    int zones = StripZoneCount(slot);
    return zones <= kMaxOlderStripZones ? zones : kMaxOlderStripZones;
}

bool OlderStripShow(int slot, const Hsbk *zones, int count, uint32_t durationMs, bool tick,
                    uint32_t nowMs)
{
    OlderChange *change = ChangeOf(slot);
    if (!change || !zones || count < 1)
        return false;
    if (tick && change->open)
        return true;
    Close(slot, *change);
    DeliveryForget(slot, kTypeSetColor);
    DeliveryForget(slot, kTypeSetExtendedColorZones);
    if (count > kMaxOlderStripZones)
        count = kMaxOlderStripZones;
    change->runs = 0;
    for (int z = 0; z < count; z++) {
        int n = change->runs;
        if (n > 0 && Same(change->colour[n - 1], zones[z])) {
            change->end[n - 1] = (uint8_t)z;
            continue;
        }
        change->start[n] = change->end[n] = (uint8_t)z;
        change->colour[n] = zones[z];
        change->runs++;
    }
    change->durationMs = durationMs;
    change->next = 0;
    change->confirmed = 0;
    change->applied = change->showAgain = change->showSent = false;
    change->open = true;
    if (!ReleaseDue(slot, *change, nowMs)) {
        Close(slot, *change);
        return false;
    }
    return true;
}

void OlderStripEvent(int slot, const DeliveryEvent &event)
{
    OlderChange *change = ChangeOf(slot);
    if (!change || !change->open)
        return;
    bool last = event.part == change->start[change->runs - 1];
    if (event.outcome == DeliveredResent) {
        if (event.part != 256 && !last)
            change->showAgain = true;
        return;
    }
    PaceSettled(slot);
    if (event.outcome == DeliveredLost || event.part == 256) {
        // Given up: what the strip stored stays unshown, the zones shown
        // before stay whole. Or shown again: done.
        Close(slot, *change);
        return;
    }
    change->confirmed++;
    if (last)
        change->applied = true;
    else if (change->applied)
        change->showAgain = true;
}

bool OlderStripStep(int slot, uint32_t nowMs)
{
    OlderChange *change = ChangeOf(slot);
    if (!change || !change->open)
        return false;
    if (change->confirmed == change->runs) {
        // Shown again: done once that is confirmed.
        if (change->showSent)
            return true;
        if (!change->showAgain) {
            Close(slot, *change);
            return false;
        }
        static uint8_t show[kSetColorZonesSize];
        static const Hsbk kNone = {};
        EncodeSetColorZones(show, 0, 0, kNone, change->durationMs, 2);
        change->showSent = PacedSend(slot, show, kSetColorZonesSize, nowMs);
        if (!change->showSent) {
            Close(slot, *change);
            return false;
        }
        return true;
    }
    if (!ReleaseDue(slot, *change, nowMs)) {
        Close(slot, *change);
        return false;
    }
    return true;
}

void OlderStripForget(int slot)
{
    OlderChange *change = ChangeOf(slot);
    if (change && change->open)
        Close(slot, *change);
}

void StopOlderStrips()
{
    for (int n = 0; n < kOlderSlots; n++) {
        g_changes[n].open = false;
        PaceReset(kLastBulb + 1 + n);
    }
}
