// Asking a strip how many zones it has, when no discovery has told us: once
// after the start, or after "Device" changed its slot, the first time the
// strip is sent its zones. Nothing waits for the answer: it is read without
// blocking on a timer, and saved when it comes; until then, and for a strip
// that never answers, the strip is driven as 82 zones. A strip that answered
// none of a round's questions is asked again at a drive a minute later, a few
// times at most.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Marks the strip in slot 9 or 10 to be asked, unless its count is known or
// it was asked since the start or since ForgetZoneQuery (and is not due to be
// asked again after a round without an answer).
void AskZoneCountOnce(int slot);
// "Device" changed the slot: its strip may be asked again.
void ForgetZoneQuery(int slot);
// Back to the start: no strip asked yet.
void ForgetZoneQueries();

// Whether a strip waits to be asked while no asking runs.
bool ZoneQueryWanted();
// Opens the shared socket and sends the first questions; false when it
// could not be opened (the strips then stay unasked until the next drive).
bool StartZoneQuery(uint32_t nowMs);
bool ZoneQueryRunning();
// Sends what is due, after the answers that have arrived were offered.
// *learned gets the slots whose count, other than 82, was saved since the
// last step. False once
// nothing is outstanding: the shared socket is then released.
bool ZoneQueryStep(uint32_t nowMs, unsigned *learned);
// Stops asking and releases the shared socket. Strips still waiting for an answer are asked again
// at their next drive; the others are not.
void StopZoneQuery();

// One datagram from `from` (host byte order); false when it is no answer to
// a question of ours.
bool ZoneQueryHandleDatagram(uint32_t from, const uint8_t *data, size_t length);
