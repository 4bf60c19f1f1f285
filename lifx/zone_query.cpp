// The asking of strips' zone counts: a table of the two strip slots and
// what each waits for; the questions go out from the socket shared with the
// other waits, which stays open while one is outstanding.
#include "lifx/zone_query.h"

#include <string.h>

#include "lifx/light_socket.h"
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
// Our bit among the waits that hold the shared socket open.
const unsigned kSocketHolder = 2;

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

// Whether questions are out: the shared socket stays open meanwhile.
bool g_running;

void SetRunning(bool running)
{
    g_running = running;
    HoldLightSocket(kSocketHolder, running);
}

void SendTo(uint32_t address, const uint8_t (&message)[kRequestSize])
{
    // A lost question is asked again; a refused one gets no answer.
    SendToLight(address, message, kRequestSize);
}

// The slot's address, or 0 when it holds none.
uint32_t SlotAddress(int slot)
{
    uint32_t address;
    return DeviceAddress(slot, &address) ? address : 0;
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
    return !g_running && Outstanding();
}

bool StartZoneQuery(uint32_t nowMs)
{
    if (g_running)
        return true;
    if (AcquireLightSocket() == INVALID_SOCKET) {
        StopZoneQuery();
        return false;
    }
    SetRunning(true);
    SendDue(nowMs);
    return true;
}

bool ZoneQueryRunning()
{
    return g_running;
}

bool ZoneQueryStep(uint32_t nowMs, unsigned *learned)
{
    if (g_running)
        SendDue(nowMs);
    // Answers read by the other waits' steps since the last of ours count too.
    *learned = g_learned;
    g_learned = 0;
    if (g_running && Outstanding())
        return true;
    SetRunning(false);
    ReleaseLightSocket();
    return false;
}

void StopZoneQuery()
{
    SetRunning(false);
    ReleaseLightSocket();
    for (Strip &strip : g_strips) {
        if (strip.state == Wanted || strip.state == Asking)
            strip.state = NotAsked;
    }
}

bool ZoneQueryHandleDatagram(uint32_t from, const uint8_t *data, size_t length)
{
    Reply reply;
    if (!g_running || !ReadReply(data, length, kSource, &reply))
        return false;
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
    return true;
}
