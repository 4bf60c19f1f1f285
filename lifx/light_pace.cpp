#include "lifx/light_pace.h"

#include "lifx/delivery.h"

#include "settings/settings.h"

namespace
{

struct Pace {
    int inFlight;
    // When the last kPacePerSecond messages went, oldest at next.
    uint32_t sentMs[kPacePerSecond];
    bool sent[kPacePerSecond];
    int next;
};

Pace g_pace[kDeviceSlots + 1];

bool Valid(int slot)
{
    return slot >= 1 && slot <= kDeviceSlots;
}

} // namespace

bool PaceAllows(int slot, uint32_t nowMs)
{
    if (!Valid(slot))
        return false;
    const Pace &pace = g_pace[slot];
    if (pace.inFlight >= kPaceInFlight)
        return false;
    // The oldest of the last 20 sends must be a second old.
    return !pace.sent[pace.next] || nowMs - pace.sentMs[pace.next] >= 1000;
}

void PaceSent(int slot, uint32_t nowMs)
{
    if (!Valid(slot))
        return;
    Pace &pace = g_pace[slot];
    pace.inFlight++;
    pace.sentMs[pace.next] = nowMs;
    pace.sent[pace.next] = true;
    pace.next = (pace.next + 1) % kPacePerSecond;
}

void PaceSettled(int slot)
{
    if (Valid(slot) && g_pace[slot].inFlight > 0)
        g_pace[slot].inFlight--;
}

void PaceReset(int slot)
{
    if (Valid(slot))
        g_pace[slot].inFlight = 0;
}

bool PacedSend(int slot, const uint8_t *message, int length, uint32_t nowMs)
{
    if (!DeliverTracked(slot, message, length))
        return false;
    PaceSent(slot, nowMs);
    return true;
}
