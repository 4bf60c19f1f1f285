// Finding lights: GetService to broadcast addresses, to one address or to
// every address of a range, answers read for about two seconds (longer while
// datagrams get lost, never past kDiscoveryLongestMs) without ever blocking,
// and each light that answered asked its label and what it is (its product,
// then the questions that tell a strip, an older strip and a matrix light
// apart) until it has told or the tries run out. One discovery at a time; its
// socket lives only while it runs.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "lifx/chain.h"
#include "lifx/messages.h"

enum {
    kMaxResponders = 64,
    kMaxInterfaces = 32,
    kMinRangePrefix = 22, // 1024 addresses at most
    kDiscoveryRounds = 3, // at least
    kDiscoveryLongestMs = 6000,
};

enum DiscoveryForm {
    DiscoverBroadcast, // 255.255.255.255 and every interface's own broadcast
    DiscoverAddress,   // one address
    DiscoverRange,     // every host address of a range, by unicast
};

// Addresses here are in host byte order: 192.168.1.20 is 0xC0A80114.
struct DiscoveryTarget {
    DiscoveryForm form;
    uint32_t address; // the one address, or the range's network
    int prefixLength; // the range's
};

// "" for a broadcast, "A.B.C.D", or "A.B.C.D/P" with P from 22 to 32; false
// for anything else.
bool ParseDiscoveryTarget(const char *text, DiscoveryTarget *target);
// The addresses a range's lights can have: every address of a /31 or /32,
// otherwise all but the network and the broadcast address.
void RangeHosts(uint32_t network, int prefixLength, uint32_t *first, uint32_t *count);
// The broadcast address of the network that address lies in.
uint32_t DirectedBroadcast(uint32_t address, int prefixLength);

struct InterfaceAddress {
    uint32_t address;
    int prefixLength;
};
// The IPv4 addresses of the machine's interfaces that are up and not loopback.
int ListInterfaces(InterfaceAddress *out, int max);
// 255.255.255.255, or the broadcast address of a network this computer is
// on: no light's address, and every light's while broadcasts are allowed.
bool IsBroadcastAddress(uint32_t address);
// Where a broadcast discovery sends: 255.255.255.255, then the broadcast
// address of each interface's network, each once. Interfaces without one
// (/31, /32) add nothing.
int BroadcastDestinations(const InterfaceAddress *interfaces, int count, uint32_t *out, int max);

struct DiscoveredLight {
    uint32_t address;
    uint8_t serial[kSerialSize];
    char label[kLabelSize + 1]; // as the light sent it; empty when it did not
    bool labelKnown;
    bool strip; // a strip of either kind
    int zones;  // a strip's zone count as it said, 0 when it did not
    // What it said it is: a DeviceKind, KindNotKnown when it never said.
    int kind;
    // A matrix light's chain; tiles 0 when it told one out of bounds, and
    // chainRefused says why (it is then a bulb).
    DeviceChain chain;
    char chainRefused[kChainRefusalSize];
    // A device without a light (a Switch): it is never put in a slot.
    bool noLight;
};

enum DiscoveryStart { DiscoveryStarted, DiscoveryBusy, DiscoveryNoSocket };

// Opens the socket and sends the first requests.
DiscoveryStart StartDiscovery(const DiscoveryTarget &target, uint32_t nowMs);
bool DiscoveryRunning();
// One step, after the answers that have arrived were offered: sends what is
// due. False once the window has closed; the socket is then closed and the
// lights found wait for DiscoveredLights.
bool DiscoveryStep(uint32_t nowMs);
// Whether the window has closed and the lights found wait to be taken.
bool DiscoveryFinished();
// The lights found by the last discovery, in the order of their addresses.
int DiscoveredLights(const DiscoveredLight **lights);
// Datagrams refused since the start, and requests the system would not send.
int DiscoveryIgnored();
int DiscoveryFailedSends();
// Whether the system refused every request; error is its code for the
// last refusal.
bool DiscoveryNothingSent(int *error);
// A datagram that could not be read, or was not for anyone.
void DiscoveryCountIgnored();
// Closes the socket, if open, and forgets the lights found.
void StopDiscovery();

// One datagram as if it had arrived from `from`; the fuzz target's door.
void DiscoveryHandleDatagram(uint32_t from, const uint8_t *data, size_t length, uint32_t nowMs);
