// The one socket that waits for lights. Finding lights, confirming delivery
// and asking strips their length all send from it: it opens on the first
// need, never blocks, and closes once nobody holds it. It sends and reads
// and knows none of its readers: whoever runs the answers timer reads the
// datagrams and offers each to them.
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
// A wait holds the socket, under a bit of its own, while it has something
// outstanding; holding neither opens nor closes it.
void HoldLightSocket(unsigned holder, bool held);
// Closes the socket unless a wait holds it.
void ReleaseLightSocket();

enum {
    // Datagrams read in one step at most, so that one step never holds the
    // user-interface thread for long.
    kLightReadsPerStep = 64,
};
enum LightRead {
    LightReadNothing,    // nothing more has arrived, or the socket is closed
    LightReadDatagram,   // *from, *data and *length are set
    LightReadUnreadable, // a datagram that could not be read, or is too long
    LightReadAgain,      // interrupted: nothing lost
};
// One datagram, without waiting; from in host byte order. *data stays
// valid until the next read.
LightRead ReadFromLights(uint32_t *from, const uint8_t **data, size_t *length);
// Closes the socket and cleans Windows Sockets up, whatever is outstanding.
void CloseLightSocket();
