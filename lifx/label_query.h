// Asking a light set by hand for its label, once, as a search would have:
// the first time it is driven, as a strip is asked its zone count. The
// question goes out from the socket shared with the other waits, nothing
// waits for the answer, and the label is saved when it comes.
#pragma once

#include <stddef.h>
#include <stdint.h>

// The light in slot 1-10 is asked when it is driven, if "Device" set the
// slot since it was last asked and it has no label.
void AskLabelOnce(int slot);
// "Device" set the slot: a question still out for it is forgotten, and its
// light, unless it has a label, is asked at its next drive.
void ForgetLabelQuery(int slot);

// Whether a light waits to be asked while no asking runs.
bool LabelQueryWanted();
// Opens the shared socket and sends the first questions; false when it
// could not be opened (the lights are then not asked).
bool StartLabelQuery(uint32_t nowMs);
bool LabelQueryRunning();
// Sends what is due. False once nothing is outstanding: the shared socket
// is then released.
bool LabelQueryStep(uint32_t nowMs);
// Stops asking and releases the shared socket; lights still waiting for an
// answer are asked again at their next drive.
void StopLabelQuery();

// One datagram from `from` (host byte order); false when it is no answer to
// a question of ours.
bool LabelQueryHandleDatagram(uint32_t from, const uint8_t *data, size_t length);
