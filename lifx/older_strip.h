// An older strip in slot 9 or 10, which knows only the original zone
// messages: one SetColorZones per run of zones of equal colour, each stored
// (apply 0) but the last, which shows them all (apply 1). A strip that may
// have stored a run after that is told, once every run is confirmed, to
// show what it stored (apply 2).
#pragma once

#include <stdint.h>

#include "lifx/delivery.h"
#include "lifx/messages.h"

// The zones the older strip in the slot is driven with: its known count, at
// most 255, or 82.
int OlderStripZoneCount(int slot);
// Shows zones[0] to zones[count - 1], fading over durationMs. It replaces a
// change still on its way; a cycle tick does not, and is skipped while one
// is. False when nothing could be sent.
bool OlderStripShow(int slot, const Hsbk *zones, int count, uint32_t durationMs, bool tick,
                    uint32_t nowMs);
void OlderStripEvent(int slot, const DeliveryEvent &event);
// Sends what is due at the light's pace; true while a change is on its way.
bool OlderStripStep(int slot, uint32_t nowMs);
void OlderStripForget(int slot);
void StopOlderStrips();
