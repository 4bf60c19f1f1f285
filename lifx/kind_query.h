// Asking a light set by hand whether it is a matrix light, and its chain,
// once, as a search would have: the first time it is driven, as its label is
// asked. Nothing waits for the answer; the kind and chain are saved when it
// comes. A strip's zones are the zone questions' to learn.
#pragma once

#include <stddef.h>
#include <stdint.h>

// The light in slot 1-10 is asked when it is driven, if "Device" set the
// slot since it was last asked and its kind is not known.
void AskKindOnce(int slot);
// "Device" set the slot: its light, unless its kind is known, is asked at
// its next drive.
void ForgetKindQuery(int slot);
bool KindQueryWanted();
bool StartKindQuery(uint32_t nowMs);
bool KindQueryRunning();
// Sends what is due. False once nothing is outstanding: the shared socket
// is then released.
bool KindQueryStep(uint32_t nowMs);
void StopKindQuery();
// One datagram from `from` (host byte order); false when it is no answer to
// a question of ours.
bool KindQueryHandleDatagram(uint32_t from, const uint8_t *data, size_t length);
