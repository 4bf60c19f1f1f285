// The one socket that waits for lights. Finding lights, confirming delivery
// and asking strips their length all send from it and read their answers
// from it: it opens on the first need, never blocks, hands every datagram
// that arrives to each, and closes once none has anything outstanding.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "platform/win32.h"

// Opens the socket (and starts Windows Sockets) unless it is open already;
// INVALID_SOCKET when that fails. *opened tells whether this call opened it,
// so that nothing can be pending on it yet.
SOCKET AcquireLightSocket(bool *opened = nullptr);
bool LightSocketOpen();
// Broadcasts are refused unless allowed, so that a slot holding a broadcast
// address never sets every light on the network; a search by broadcast
// allows them while it runs. False when the system would not.
bool AllowLightBroadcasts(bool on);
// Whether the last failure to open it was Windows Sockets' start-up.
bool LightSocketLayerFailed();
// To one light, port 56700; address in host byte order. False when the
// socket is not open or the system would not send it.
bool SendToLight(uint32_t address, const uint8_t *data, int length);
// Closes the socket unless something is outstanding.
void ReleaseLightSocket();
// Reads, without waiting, at most a bounded number of datagrams, and hands
// each to delivery, then to the zone and label questions, then to
// discovery, until
// one takes it.
void ReadLightAnswers(uint32_t nowMs);
// Closes the socket and cleans Windows Sockets up, whatever is outstanding.
void CloseLightSocket();
