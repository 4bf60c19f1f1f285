// The asking of strips' zone counts: a table of the two strip slots, what
// each waits for, and one non-blocking socket open only while one waits.
#include "lifx/zone_query.h"

#include <string.h>

#include "lifx/messages.h"
#include "lifx/replies.h"
#include "platform/win32.h"
#include "settings/settings.h"

namespace
{

// Not discovery's: an answer meant for one is never taken by the other.
const uint32_t kSource = 0x4C46585Au;
// A question is repeated, as UDP gets lost, and the strip given up on this
// long after the last.
const int kTries = 3;
const uint32_t kRetryMs = 700;
const uint32_t kLastWaitMs = 1000;
const int kReadsPerStep = 16;
// Larger than any answer, so an over-long datagram shows as one.
const int kReceiveSize = 1024;

enum State {
    NotAsked, // asked at its next drive, unless its count is known
    Wanted,   // to be asked by the next step
    Asking,   // asked, waiting for the answer
    Done,     // answered, or given up on: not asked again
};

struct Strip {
    State state;
    uint32_t address; // where it was asked, host byte order
    int tries;
    uint32_t dueMs; // the next question, or the giving up
};

Strip g_strips[kDeviceSlots + 1]; // slots 9 and 10 only
uint8_t g_sequence;

bool IsStrip(int slot)
{
    return slot > kLastBulb && slot <= kDeviceSlots;
}

bool Due(uint32_t nowMs, uint32_t dueMs)
{
    // Unsigned: correct across the tick count's wrap.
    return (int32_t)(nowMs - dueMs) >= 0;
}

// The socket: opened by StartZoneQuery, closed when nothing is outstanding.
// Everything that touches it sits here.
struct Socket {
    bool open;
    SOCKET s;
};
Socket g_socket;

bool OpenSocket()
{
    WSADATA data;
    if (WSAStartup(MAKEWORD(1, 1), &data) != 0)
        return false;
    SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET) {
        WSACleanup();
        return false;
    }
    u_long nonBlocking = 1;
    sockaddr_in any = {};
    any.sin_family = AF_INET;
    any.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(s, (const sockaddr *)&any, sizeof any) != 0 ||
        ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
        closesocket(s);
        WSACleanup();
        return false;
    }
    g_socket = {true, s};
    return true;
}

void CloseSocket()
{
    if (!g_socket.open)
        return;
    closesocket(g_socket.s);
    WSACleanup();
    g_socket.open = false;
}

void SendTo(uint32_t address, const uint8_t (&message)[kRequestSize])
{
    sockaddr_in light = {};
    light.sin_family = AF_INET;
    light.sin_port = htons(kLifxPort);
    light.sin_addr.s_addr = htonl(address);
    // A lost question is asked again; a refused one gets no answer.
    sendto(g_socket.s, (const char *)message, kRequestSize, 0, (const sockaddr *)&light,
           sizeof light);
}

void Receive(uint32_t nowMs)
{
    static uint8_t buffer[kReceiveSize];
    for (int reads = 0; reads < kReadsPerStep; reads++) {
        sockaddr_in from = {};
        socklen_t fromLength = sizeof from;
        int length =
            recvfrom(g_socket.s, (char *)buffer, kReceiveSize, 0, (sockaddr *)&from, &fromLength);
        if (length < 0) {
            // Nothing more now; a refusal of an earlier question (Windows
            // reports it here) or an over-long datagram is passed over.
            if (WSAGetLastError() == WSAEWOULDBLOCK)
                return;
            continue;
        }
        if (from.sin_family == AF_INET && length < kReceiveSize)
            ZoneQueryHandleDatagram(ntohl(from.sin_addr.s_addr), buffer, (size_t)length, nowMs);
    }
}
// End of the socket.

uint32_t SlotAddress(int slot)
{
    unsigned long address = inet_addr(g_devices[slot]);
    return address == INADDR_NONE ? 0 : ntohl(address);
}

void SendDue(uint32_t nowMs)
{
    for (int slot = kLastBulb + 1; slot <= kDeviceSlots; slot++) {
        Strip &strip = g_strips[slot];
        if (strip.state == Wanted) {
            strip.state = Asking;
            strip.tries = 0;
            strip.dueMs = nowMs;
        }
        if (strip.state != Asking || !Due(nowMs, strip.dueMs))
            continue;
        if (strip.tries == kTries) {
            // Never answered: 82 zones, until a restart or "Device".
            strip.state = Done;
            continue;
        }
        strip.tries++;
        strip.dueMs = nowMs + (strip.tries == kTries ? kLastWaitMs : kRetryMs);
        uint8_t message[kRequestSize];
        EncodeGetExtendedColorZonesAny(message, kSource, ++g_sequence);
        SendTo(strip.address, message);
    }
}

bool Outstanding()
{
    for (int slot = kLastBulb + 1; slot <= kDeviceSlots; slot++) {
        if (g_strips[slot].state == Wanted || g_strips[slot].state == Asking)
            return true;
    }
    return false;
}

unsigned g_learned;

} // namespace

void AskZoneCountOnce(int slot)
{
    if (!IsStrip(slot) || g_deviceZones[slot] || g_strips[slot].state != NotAsked)
        return;
    uint32_t address = SlotAddress(slot);
    if (!address)
        return;
    g_strips[slot].state = Wanted;
    g_strips[slot].address = address;
}

void ForgetZoneQuery(int slot)
{
    if (IsStrip(slot))
        g_strips[slot].state = NotAsked;
}

void ForgetZoneQueries()
{
    for (Strip &strip : g_strips)
        strip.state = NotAsked;
}

bool ZoneQueryWanted()
{
    return !g_socket.open && Outstanding();
}

bool StartZoneQuery(uint32_t nowMs)
{
    if (g_socket.open)
        return true;
    if (!OpenSocket()) {
        StopZoneQuery();
        return false;
    }
    SendDue(nowMs);
    return true;
}

bool ZoneQueryRunning()
{
    return g_socket.open;
}

bool ZoneQueryStep(uint32_t nowMs, unsigned *learned)
{
    g_learned = 0;
    if (g_socket.open) {
        Receive(nowMs);
        SendDue(nowMs);
    }
    *learned = g_learned;
    if (g_socket.open && Outstanding())
        return true;
    CloseSocket();
    return false;
}

void StopZoneQuery()
{
    CloseSocket();
    for (Strip &strip : g_strips) {
        if (strip.state == Wanted || strip.state == Asking)
            strip.state = NotAsked;
    }
}

void ZoneQueryHandleDatagram(uint32_t from, const uint8_t *data, size_t length, uint32_t)
{
    Reply reply;
    if (!ReadReply(data, length, kSource, &reply))
        return;
    for (int slot = kLastBulb + 1; slot <= kDeviceSlots; slot++) {
        Strip &strip = g_strips[slot];
        // The slot's address may have changed since the question.
        if (strip.state != Asking || strip.address != from || SlotAddress(slot) != from)
            continue;
        if (reply.type == kTypeStateExtendedColorZones) {
            strip.state = Done;
            int zones = reply.zoneCount;
            if (zones < kMinStripZones || zones > kMaxStripZones)
                continue;
            SaveDeviceZones(slot, zones);
            // An 82-zone strip already shows what it would be sent again.
            if (zones != kStripZones)
                g_learned |= 1u << slot;
        } else if (reply.type == kTypeStateUnhandled &&
                   reply.unhandledType == kTypeGetExtendedColorZones) {
            // It takes no extended multizone messages: nothing to learn.
            strip.state = Done;
        }
    }
}
