// A LIFX light emulator on loopback: one UDP socket per light address,
// decoding the four messages the plug-in sends into the state a real light
// would show. It never answers, as the plug-in never listens.
//
// Single-threaded and poll-driven: the owner calls EmulatorPoll from its own
// loop (a preview) or right after the plug-in has sent (a test).
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <deque>
#include <string>
#include <vector>

#include "lifx/messages.h"

// The emulator keeps its own copy of the wire constants so that a mistake in
// the plug-in's encoder cannot be mirrored by the decoder that checks it.
enum {
    kEmulatorPort = 56700,
    kEmulatorMaxLights = 16,
    kEmulatorZones = 82,
    kEmulatorAddressSize = 16, // "127.255.255.255" and its terminator

    kEmulatorHeaderSize = 36,
    // The plug-in always sends protocol 1024 with the addressable and tagged
    // bits set and origin 0; any other word is not from this plug-in.
    kEmulatorProtocolWord = 0x3400,

    kEmulatorTypeSetColor = 102,
    kEmulatorTypeSetLightPower = 117,
    kEmulatorTypeSetMultiZoneEffect = 508,
    kEmulatorTypeSetExtendedColorZones = 510,

    kEmulatorSetLightPowerSize = 42,
    kEmulatorSetColorSize = 49,
    kEmulatorSetMultiZoneEffectSize = 95,
    kEmulatorSetExtendedColorZonesSize = 700,

    // LIFX asks for at most 20 messages per second per device.
    kEmulatorRateWindowMs = 1000,
    kEmulatorRecommendedRate = 20,
};

struct ReceivedDatagram {
    uint16_t type;
    int64_t atMs;
    std::vector<uint8_t> bytes;
};

struct EmulatedLight {
    char address[kEmulatorAddressSize] = {};

    // SetLightPower
    bool powerReceived = false;
    uint16_t powerLevel = 0;
    uint32_t powerDuration = 0;
    int64_t powerAtMs = 0;

    // SetColor
    bool colourReceived = false;
    Hsbk colour = {};
    uint32_t colourDuration = 0;
    int64_t colourAtMs = 0;

    // SetExtendedColorZones; the apply byte is recorded, not interpreted:
    // the plug-in always sends 1 (apply now).
    bool zonesReceived = false;
    Hsbk zones[kEmulatorZones] = {};
    uint32_t zonesDuration = 0;
    uint8_t zonesApply = 0;
    uint16_t zoneIndex = 0;
    uint8_t zoneCount = 0;
    int64_t zonesAtMs = 0;

    // SetMultiZoneEffect
    bool effectReceived = false;
    bool moveOn = false;
    uint8_t effectType = 0;
    uint32_t effectInstance = 0;
    uint32_t moveSpeedMs = 0;
    uint32_t moveDirection = 0; // raw parameter 1: 1 forward, 0 reversed

    // Valid datagrams by type, and the datagrams refused.
    int powerMessages = 0;
    int colourMessages = 0;
    int zonesMessages = 0;
    int effectMessages = 0;
    int malformed = 0;

    // Every valid datagram, in order of arrival.
    std::vector<ReceivedDatagram> received;

    // Arrival times of valid datagrams within the last rate window, and the
    // most that ever arrived within one window.
    std::deque<int64_t> recentArrivals;
    int peakPerSecond = 0;
};

struct Emulator {
    int lightCount = 0;
    EmulatedLight lights[kEmulatorMaxLights];
    int sockets[kEmulatorMaxLights] = {};
    bool running = false;

    long malformed = 0;
    // Nothing ever increments this: the emulator never answers, and tests
    // check that it stays so.
    long sentDatagrams = 0;
};

// Binds one non-blocking UDP socket to port 56700 on each address, each
// separately (never the wildcard address), so other emulators can listen on
// other loopback addresses beside this one. Only 127.0.0.0/8 is accepted.
// On failure nothing stays open and error holds the reason.
bool EmulatorStart(Emulator &emulator, const char *const addresses[], int count, char *error,
                   size_t errorSize);

// Waits up to timeoutMs for the first datagram, then reads every datagram
// available now on every socket, decoding each into its light. Returns how
// many datagrams were read, malformed ones included. A negative timeout is
// taken as 0: the emulator never waits without end.
int EmulatorPoll(Emulator &emulator, int timeoutMs);

void EmulatorStop(Emulator &emulator);

// Forgets what every light received, keeping the sockets and addresses.
void EmulatorResetLights(Emulator &emulator);
void EmulatorResetLight(EmulatedLight &light);

EmulatedLight *EmulatorFindLight(Emulator &emulator, const char *address);

// The message type of a datagram the plug-in could have sent, or 0 when the
// datagram is malformed.
int EmulatorDatagramType(const uint8_t *data, size_t length);

// Decodes one datagram into the light, as if it arrived at nowMs (which must
// not go backwards between calls). A malformed datagram changes nothing but
// the light's malformed count.
bool EmulatorApplyDatagram(EmulatedLight &light, const uint8_t *data, size_t length, int64_t nowMs);

// Valid datagrams that arrived in the second up to nowMs, (nowMs - 1000,
// nowMs]. Only the latest second is kept, so nowMs is the present or later.
int EmulatorMessagesInLastSecond(const EmulatedLight &light, int64_t nowMs);

// The clock EmulatorPoll stamps arrivals with: monotonic milliseconds.
int64_t EmulatorNowMs();

// One line for logs and failure messages, e.g.
// "light 127.10.3.1: on hsbk=21845,65535,32896,9000 dur=0 ...".
std::string EmulatorDescribeLight(const EmulatedLight &light);
