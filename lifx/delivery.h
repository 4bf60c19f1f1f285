// Confirmed delivery: every message that sets a light's state asks the light
// for an acknowledgement, and is sent again, the identical datagram, until
// the light answers or its tries run out. Lossy Wi-Fi then costs a resend,
// not a light left in its old state.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "lifx/messages.h"

enum {
    // Pending messages at most: per light its power, colour and effect, and
    // a strip's zones in spans of 82.
    kMaxPending = 64,
    // Tries of one message, the first send included.
    kDeliveryTries = 6,
};

// Sends an encoded Set message to the light in slot 1-10, asking for an
// acknowledgement, and keeps it until the light answers. It replaces a
// pending message of the same type to that light (for zones: the same first
// zone; on a strip a whole-strip colour and zones replace each other), so a
// light never receives an older state after a newer one. The
// caller's bytes are copied, not changed. False when the system would not
// send it; nothing is kept then.
bool DeliverConfirmed(int slot, const uint8_t *message, int length);
// A strip's zones, the spans of one image, delivered as one change: they
// replace whatever colour the strip still awaits, older zones or a
// whole-strip colour. Once every span is confirmed, a strip that may have
// stored a span after showing the others is told to show what it stored.
// False when a span could not be sent; the spans after it are not.
bool DeliverStripZones(int slot, const uint8_t (*spans)[kSetExtendedColorZonesSize], int count);
// The same sent once, unconfirmed, as a cycle tick does.
bool DeliverStripZonesOnce(int slot, const uint8_t (*spans)[kSetExtendedColorZonesSize], int count);
// Sends the message once, unconfirmed, as a cycle tick does: the next tick
// replaces it. A pending message of the same kind is forgotten, as it is
// older (on a strip, any older colour).
bool DeliverOnce(int slot, const uint8_t *message, int length);

// A message of a change in many messages, delivered as DeliverConfirmed
// does, whose fate the light's own rules follow: each confirmation, resend
// and loss is told in order by DeliveryNextEvent. Messages of one type are
// told apart by their part: an older strip's first zone, a matrix light's
// tile and row.
bool DeliverTracked(int slot, const uint8_t *message, int length);
enum DeliveryOutcome { DeliveredConfirmed, DeliveredResent, DeliveredLost };
struct DeliveryEvent {
    int type;
    int part;
    int outcome;
};
// The slot's next event, oldest first; false when none is left. Events that
// did not fit are told as one loss.
bool DeliveryNextEvent(int slot, DeliveryEvent *event);
// The part a tracked message is told by.
int DeliveryPart(const uint8_t *message, int length);
// Forgets the slot's pending messages of that type, and the events of what
// was tracked: the caller replaces them.
void DeliveryForget(int slot, int type);

bool DeliveryPending();
// Whether a message of that type to that light awaits its acknowledgement.
bool DeliveryAwaits(int slot, int type);
// The source our messages carry: chosen once per start, never 0.
uint32_t DeliverySource();
// One step, after the answers that have arrived were offered: sends what is
// due again, and gives up on what ran out of tries. True while anything is
// pending.
bool DeliveryStep(uint32_t nowMs);
// An acknowledgement from `from` (host byte order) confirms the message of
// that light with its sequence number. True when the datagram was an
// acknowledgement of ours, so that nobody else needs to read it.
bool DeliveryHandleDatagram(uint32_t from, const uint8_t *data, size_t length);
// Whether the slot's light was reported as not answering and has not
// answered since; a slot given another address starts unmarked.
bool DeliverySlotSilent(int slot);
// After a suspend or an unlock: the pending messages of the types listed
// are forgotten, as what follows sends them again; every other one starts
// its tries afresh, so that the time away is no light's silence.
void RestartDeliveries(const int *resentTypes, int count);
// Forgets every pending message.
void DropDeliveries();
// At exit: forgets everything; the next start chooses a new source.
void StopDelivery();
