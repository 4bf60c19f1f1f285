// A change that takes a light many messages goes out at the light's pace:
// the vendor asks for no more than about 20 messages a second to one
// device, and the table of pending messages holds 64 for every light
// together.
#pragma once

#include <stdint.h>

enum {
    // Sent and not yet confirmed, per light: two strip slots' worth leave
    // room in the pending table for every bulb's power and colour.
    kPaceInFlight = 16,
    // Sent within any one second, per light.
    kPacePerSecond = 20,
};

// Whether one more message may go to the slot's light now.
bool PaceAllows(int slot, uint32_t nowMs);
// A message of the change went out, and awaits its confirmation.
void PaceSent(int slot, uint32_t nowMs);
// Sends one message of the change, confirmed and followed, and counts it
// against the pace; false when it could not be sent.
bool PacedSend(int slot, const uint8_t *message, int length, uint32_t nowMs);
// One that went out was confirmed or given up.
void PaceSettled(int slot);
// The slot's change was dropped: nothing of it is in flight any more.
void PaceReset(int slot);
