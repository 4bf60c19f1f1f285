// Shared by the emulator's tests: datagrams built byte by byte, a loopback
// sender, and a full text of a light's state for before/after comparisons.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "emulator/emulator.h"

typedef std::vector<uint8_t> Bytes;

void PutU16(Bytes &bytes, size_t offset, uint16_t value);
void PutU32(Bytes &bytes, size_t offset, uint32_t value);
void PutHsbk(Bytes &bytes, size_t offset, const Hsbk &colour);

// A zeroed datagram with the size, protocol word and type written.
Bytes Header(size_t size, uint16_t type);

// SetExtendedColorZones carrying records[0..81] at 44 + 8 * z.
Bytes ZonesDatagram(uint32_t durationMs, uint8_t apply, uint16_t zoneIndex, uint8_t count,
                    const Hsbk (&records)[kEmulatorZones]);

template <size_t N> Bytes ToBytes(const uint8_t (&image)[N])
{
    return Bytes(image, image + N);
}

// Sends from a fresh socket to address:56700. The address must be loopback.
bool SendDatagram(const char *address, const Bytes &datagram);

// Polls until at least `expected` datagrams were handled, in a bounded number
// of bounded waits. Returns how many were handled.
int PollFor(Emulator &emulator, int expected);

// Every field of a light that datagrams change, except its malformed count,
// as text: who the light is (label, serial, kind, reply mode) is left out.
std::string StateText(const EmulatedLight &light);
