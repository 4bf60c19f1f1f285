// The table of messages awaiting acknowledgement, their resends, and the
// lights that stopped answering.
#include "lifx/delivery.h"

#include <stdio.h>
#include <string.h>

#include "host/identity.h"
#include "host/log.h"
#include "lifx/light_socket.h"
#include "lifx/messages.h"
#include "lifx/replies.h"
#include "lifx/zones.h"
#include "settings/settings.h"

namespace
{

// When each try goes out, counted from the first: the first resend soon,
// as most losses are single datagrams; the later ones spread out to outlast
// a burst of losses, or a network that comes back a few seconds after a
// resume.
const uint32_t kTryAtMs[kDeliveryTries] = {0, 250, 750, 1750, 3750, 7750};
// After the last try, this long for its answer, then the light is given up.
const uint32_t kLastAnswerMs = 1250;
const uint32_t kGiveUpMs = 7750 + kLastAnswerMs;
// Discovery's source; ours must differ from it.
const uint32_t kDiscoverySource = 0x4C46584Cu;
// Our bit among the waits that hold the shared socket open.
const unsigned kSocketHolder = 1;

struct Pending {
    bool used;
    int slot;
    uint32_t address; // host byte order
    int type;
    int zoneIndex; // SetExtendedColorZones: the span's first zone; see Part
    bool tracked;  // its fate is told by events
    uint8_t sequence;
    int tries;
    uint32_t firstMs;
    int length;
    uint8_t bytes[kSetExtendedColorZonesSize];
};

Pending g_pending[kMaxPending];
int g_pendingCount;
uint32_t g_source;
// Per light, kept by the first slot holding its address.
uint8_t g_sequence[kDeviceSlots + 1];
// Slots reported as not answering, until they answer again; the mark holds
// only while the slot's change count is the one it was set at.
bool g_silent[kDeviceSlots + 1];
unsigned g_silentChange[kDeviceSlots + 1];
// When the table was last looked after: a much longer pause means the
// computer was away, not the lights.
uint32_t g_lastSeenMs;

uint16_t GetU16(const uint8_t *data, int offset)
{
    return (uint16_t)(data[offset] | (data[offset + 1] << 8));
}

uint32_t GetU32(const uint8_t *data, int offset)
{
    return GetU16(data, offset) | (uint32_t)GetU16(data, offset + 2) << 16;
}

uint32_t Source()
{
    if (!g_source) {
        // Once per start, and never 0: a light broadcasts its answers to 0.
        g_source = GetTickCount() * 2654435761u ^ 0x43484C54u;
        if (g_source == 0 || g_source == kDiscoverySource)
            g_source = 0x43484C54u;
    }
    return g_source;
}

int ZoneIndex(const uint8_t *message, int length)
{
    return GetU16(message, 32) == kTypeSetExtendedColorZones && length >= 43
               ? GetU16(message, 41)
               : DeliveryPart(message, length);
}

// Each slot's events of tracked messages, oldest first; a full ring keeps
// the fact that something was dropped, told as a loss.
enum { kEventRing = 64 };
struct EventRing {
    DeliveryEvent events[kEventRing];
    int first;
    int count;
    bool overflowed;
};
EventRing g_events[kDeviceSlots + 1];

void Tell(const Pending &entry, int outcome)
{
    if (!entry.tracked)
        return;
    EventRing &ring = g_events[entry.slot];
    if (ring.count == kEventRing) {
        ring.overflowed = true;
        return;
    }
    ring.events[(ring.first + ring.count++) % kEventRing] = {entry.type, entry.zoneIndex, outcome};
}

// Set while DeliverTracked hands its message on.
bool g_tracking;

// The shared socket stays open while anything is pending.
void CountPending(int change)
{
    g_pendingCount += change;
    HoldLightSocket(kSocketHolder, g_pendingCount > 0);
}

void Forget(Pending &entry)
{
    if (entry.used) {
        entry.used = false;
        CountPending(-1);
    }
}

// Forgotten unconfirmed by anything but its sender's own replacing.
void Lose(Pending &entry)
{
    if (entry.used)
        Tell(entry, DeliveredLost);
    Forget(entry);
}

Pending *SameKind(int slot, int type, int zoneIndex)
{
    for (Pending &entry : g_pending) {
        if (entry.used && entry.slot == slot && entry.type == type && entry.zoneIndex == zoneIndex)
            return &entry;
    }
    return nullptr;
}

Pending *FreeEntry()
{
    for (Pending &entry : g_pending) {
        if (!entry.used)
            return &entry;
    }
    return nullptr;
}

// " (Kitchen)" for a light with a label, else nothing.
const char *NamePart(int slot)
{
    static char part[kShownLabelSize + 3];
    char shown[kShownLabelSize];
    ShownLabel(g_deviceLabels[slot], shown);
    if (shown[0])
        snprintf(part, sizeof part, " (%s)", shown);
    else
        part[0] = 0;
    return part;
}

bool Marked(int slot)
{
    return g_silent[slot] && g_silentChange[slot] == g_deviceChanges[slot];
}

void ReportSilent(const Pending &entry)
{
    if (Marked(entry.slot))
        return;
    g_silent[entry.slot] = true;
    g_silentChange[entry.slot] = g_deviceChanges[entry.slot];
    // Sent whatever the debug setting says: a light that does not answer
    // is something the user has to do something about.
    static char line[384];
    snprintf(line, sizeof line,
             PLUGIN_LOG_PREFIX "Device #%d%s at %s did not answer; is it switched on and on this "
                               "network?",
             entry.slot, NamePart(entry.slot), g_devices[entry.slot]);
    HostLog(LogError, line);
}

void ReportAnswering(int slot)
{
    if (!Marked(slot))
        return;
    g_silent[slot] = false;
    static char line[384];
    snprintf(line, sizeof line, PLUGIN_LOG_PREFIX "Device #%d%s at %s answers again.", slot,
             NamePart(slot), g_devices[slot]);
    HostLog(LogConfirm, line);
}

bool Carried(uint32_t address, uint8_t sequence)
{
    for (const Pending &entry : g_pending) {
        if (entry.used && entry.address == address && entry.sequence == sequence)
            return true;
    }
    return false;
}

// Unique among the messages to that address still pending, so that one
// acknowledgement confirms one message, however the count has wrapped or
// however many slots hold the address.
uint8_t NextSequence(int slot, uint32_t address)
{
    uint32_t other;
    for (int n = 1; n < slot; n++) {
        if (DeviceAddress(n, &other) && other == address) {
            slot = n;
            break;
        }
    }
    uint8_t sequence = ++g_sequence[slot];
    // Bounded: at most kMaxPending of the 256 values are taken.
    for (int i = 0; i < 256 && Carried(address, sequence); i++)
        sequence = ++g_sequence[slot];
    return sequence;
}

// Tries from the start, now, for what is kept over a time away.
void Restart(Pending &entry, uint32_t nowMs)
{
    entry.tries = 0;
    entry.firstMs = nowMs;
}

bool Valid(int slot, const uint8_t *message, int length)
{
    return slot >= 1 && slot <= kDeviceSlots && message && length >= kHeaderSize &&
           length <= kSetExtendedColorZonesSize;
}

// A strip's spans of one image, delivered as one change. The span that shows
// them all may arrive before a lost span's resend, which, stored with apply
// 0, would never be shown: once every span is confirmed, a change that went
// otherwise than in order is shown again with apply 2.
struct StripChange {
    bool open;
    int spans;
    int confirmed;
    bool applied;   // the span that shows them all is confirmed
    bool showAgain; // a span may have been stored after that
    uint32_t durationMs;
};

StripChange g_stripChange[kDeviceSlots + 1];
// When each light last acknowledged anything: a light that does is answering,
// whatever one message of it ran out of tries.
bool g_answered[kDeviceSlots + 1];
uint32_t g_answeredMs[kDeviceSlots + 1];

// A zone message too short to say is taken as one that shows.
uint8_t Apply(const Pending &entry)
{
    return entry.length > 40 ? entry.bytes[40] : 1;
}

void ForgetType(int slot, int type)
{
    for (Pending &entry : g_pending) {
        if (entry.used && entry.slot == slot && entry.type == type)
            Forget(entry);
    }
}

// On a strip the newest colour wins, whether a whole-strip colour or zones:
// whatever older colour of the other kind is pending goes. Zones replace
// older zones in DeliverStripZones, all spans at once.
void ForgetOlderStripColour(int slot, int type)
{
    if (!IsStripSlot(slot) || (type != kTypeSetColor && type != kTypeSetExtendedColorZones))
        return;
    int older = type == kTypeSetColor ? kTypeSetExtendedColorZones : kTypeSetColor;
    ForgetType(slot, older);
    if (older == kTypeSetExtendedColorZones)
        g_stripChange[slot].open = false;
}

void ForgetStripZones(int slot)
{
    ForgetType(slot, kTypeSetExtendedColorZones);
    g_stripChange[slot] = StripChange();
}

void NoteConfirmed(const Pending &entry)
{
    g_answered[entry.slot] = true;
    g_answeredMs[entry.slot] = GetTickCount();
    StripChange &change = g_stripChange[entry.slot];
    if (!change.open || entry.type != kTypeSetExtendedColorZones || Apply(entry) > 1)
        return;
    change.confirmed++;
    if (Apply(entry) == 1)
        change.applied = true;
    else if (change.applied)
        change.showAgain = true;
}

void NoteResent(const Pending &entry)
{
    Tell(entry, DeliveredResent);
    if (entry.type == kTypeSetExtendedColorZones && Apply(entry) == 0)
        g_stripChange[entry.slot].showAgain = true;
}

bool ZonesPending(int slot)
{
    for (const Pending &entry : g_pending) {
        if (entry.used && entry.slot == slot && entry.type == kTypeSetExtendedColorZones)
            return true;
    }
    return false;
}

// A change whose spans are all settled: shown again when it has to be, and
// closed; one with a span given up is closed as it stands.
void SettleStripChanges()
{
    for (int slot = kLastBulb + 1; slot <= kDeviceSlots; slot++) {
        StripChange &change = g_stripChange[slot];
        if (!change.open || ZonesPending(slot))
            continue;
        change.open = false;
        if (change.showAgain && change.confirmed == change.spans) {
            static uint8_t show[kSetExtendedColorZonesSize];
            EncodeShowStoredZones(show, change.durationMs);
            DeliverConfirmed(slot, show, kSetExtendedColorZonesSize);
        }
    }
}

// A message out of tries from a light that acknowledged something else
// since it was first sent is tried afresh: the light answers, this message
// was unlucky. Only a light that answers nothing for a whole message's life
// is given up.
bool Renew(Pending &entry, uint32_t nowMs)
{
    if (!g_answered[entry.slot] || (int32_t)(g_answeredMs[entry.slot] - entry.firstMs) < 0)
        return false;
    entry.firstMs = nowMs;
    entry.tries = 1;
    NoteResent(entry);
    SendToLight(entry.address, entry.bytes, entry.length);
    return true;
}

} // namespace

bool DeliverStripZones(int slot, const uint8_t (*spans)[kSetExtendedColorZonesSize], int count)
{
    if (!IsStripSlot(slot) || count < 1)
        return false;
    ForgetStripZones(slot);
    for (int n = 0; n < count; n++) {
        if (!DeliverConfirmed(slot, spans[n], kSetExtendedColorZonesSize)) {
            // The rest is not sent; what went out is resent as it stands.
            return false;
        }
    }
    StripChange &change = g_stripChange[slot];
    change.open = true;
    change.spans = count;
    change.durationMs = GetU32(spans[count - 1], 36);
    return true;
}

bool DeliverStripZonesOnce(int slot, const uint8_t (*spans)[kSetExtendedColorZonesSize], int count)
{
    if (!IsStripSlot(slot) || count < 1)
        return false;
    ForgetStripZones(slot);
    for (int n = 0; n < count; n++) {
        if (!DeliverOnce(slot, spans[n], kSetExtendedColorZonesSize))
            return false;
    }
    return true;
}

bool DeliverTracked(int slot, const uint8_t *message, int length)
{
    g_tracking = true;
    bool sent = DeliverConfirmed(slot, message, length);
    g_tracking = false;
    return sent;
}

bool DeliveryNextEvent(int slot, DeliveryEvent *event)
{
    if (slot < 1 || slot > kDeviceSlots)
        return false;
    EventRing &ring = g_events[slot];
    if (ring.count == 0 && ring.overflowed) {
        ring.overflowed = false;
        *event = {0, 0, DeliveredLost};
        return true;
    }
    if (ring.count == 0)
        return false;
    *event = ring.events[ring.first];
    ring.first = (ring.first + 1) % kEventRing;
    ring.count--;
    return true;
}

int DeliveryPart(const uint8_t *message, int length)
{
    int type = length >= kHeaderSize ? GetU16(message, 32) : 0;
    if (type == kTypeSetColorZones && length >= kSetColorZonesSize)
        // Showing what is stored is a part of its own, replacing no zones.
        return message[50] == 2 ? 256 : message[36];
    if (type == kTypeSet64 && length >= kSet64Size)
        return message[36] << 8 | message[40];
    if (type == kTypeCopyFrameBuffer && length >= kCopyFrameBufferSize)
        return message[36];
    return 0;
}

void DeliveryForget(int slot, int type)
{
    if (slot < 1 || slot > kDeviceSlots)
        return;
    ForgetType(slot, type);
    g_events[slot] = EventRing();
}

bool DeliverConfirmed(int slot, const uint8_t *message, int length)
{
    uint32_t address;
    // 0.0.0.0 is tried, as the system may take it for this host.
    if (!Valid(slot, message, length) || !DeviceAddress(slot, &address))
        return false;
    int type = GetU16(message, 32);
    int zoneIndex = ZoneIndex(message, length);
    ForgetOlderStripColour(slot, type);
    Pending *entry = SameKind(slot, type, zoneIndex);
    if (!entry) {
        entry = FreeEntry();
        // Cannot happen with ten lights; sent unconfirmed rather than not.
        if (!entry)
            return SendToLight(address, message, length);
    }
    Pending fresh;
    fresh.used = true;
    fresh.slot = slot;
    fresh.address = address;
    fresh.type = type;
    fresh.zoneIndex = zoneIndex;
    fresh.tracked = g_tracking;
    fresh.sequence = NextSequence(slot, address);
    fresh.tries = 1;
    fresh.firstMs = GetTickCount();
    fresh.length = length;
    memcpy(fresh.bytes, message, (size_t)length);
    AskAcknowledgement(fresh.bytes, Source(), fresh.sequence);
    if (!SendToLight(address, fresh.bytes, length)) {
        // A failed send is reported by the caller; the older message it
        // replaces would be stale all the same.
        Forget(*entry);
        return false;
    }
    if (!g_pendingCount)
        g_lastSeenMs = fresh.firstMs;
    bool wasUsed = entry->used;
    *entry = fresh;
    if (!wasUsed)
        CountPending(1);
    return true;
}

bool DeliverOnce(int slot, const uint8_t *message, int length)
{
    uint32_t address;
    if (!Valid(slot, message, length) || !DeviceAddress(slot, &address))
        return false;
    Pending *older = SameKind(slot, GetU16(message, 32), ZoneIndex(message, length));
    if (older)
        Forget(*older);
    ForgetOlderStripColour(slot, GetU16(message, 32));
    return SendToLight(address, message, length);
}

bool DeliveryPending()
{
    return g_pendingCount > 0;
}

bool DeliveryAwaits(int slot, int type)
{
    for (const Pending &entry : g_pending) {
        if (entry.used && entry.slot == slot && entry.type == type)
            return true;
    }
    return false;
}

uint32_t DeliverySource()
{
    return Source();
}

bool DeliveryStep(uint32_t nowMs)
{
    if (!g_pendingCount)
        return false;
    // Signed: a clock read a moment earlier elsewhere is no pause.
    if ((int32_t)(nowMs - g_lastSeenMs) >= (int32_t)kGiveUpMs) {
        // Nothing ran for longer than a message's whole life: the computer
        // slept, and the lights are not to blame. What they were to show
        // still stands.
        for (Pending &entry : g_pending)
            Restart(entry, nowMs);
    }
    g_lastSeenMs = nowMs;
    for (Pending &entry : g_pending) {
        if (!entry.used)
            continue;
        // The slot now names another light, or none: this one is not ours
        // to chase any more.
        uint32_t address;
        if (!DeviceAddress(entry.slot, &address) || address != entry.address) {
            Lose(entry);
            continue;
        }
        uint32_t age = nowMs - entry.firstMs;
        if (age >= kGiveUpMs) {
            if (Renew(entry, nowMs))
                continue;
            ReportSilent(entry);
            Lose(entry);
        } else if (entry.tries < kDeliveryTries && age >= kTryAtMs[entry.tries]) {
            entry.tries++;
            NoteResent(entry);
            SendToLight(entry.address, entry.bytes, entry.length);
        }
    }
    SettleStripChanges();
    return g_pendingCount > 0;
}

bool DeliveryHandleDatagram(uint32_t from, const uint8_t *data, size_t length)
{
    uint8_t sequence;
    if (!g_source || !ReadAcknowledgement(data, length, g_source, &sequence))
        return false;
    for (Pending &entry : g_pending) {
        if (entry.used && entry.address == from && entry.sequence == sequence) {
            Tell(entry, DeliveredConfirmed);
            NoteConfirmed(entry);
            Forget(entry);
        }
    }
    SettleStripChanges();
    uint32_t address;
    for (int slot = 1; slot <= kDeviceSlots; slot++) {
        if (Marked(slot) && DeviceAddress(slot, &address) && address == from)
            ReportAnswering(slot);
    }
    return true;
}

bool DeliverySlotSilent(int slot)
{
    return slot >= 1 && slot <= kDeviceSlots && Marked(slot);
}

void RestartDeliveries(const int *resentTypes, int count)
{
    uint32_t now = GetTickCount();
    for (Pending &entry : g_pending) {
        bool resent = false;
        for (int i = 0; i < count; i++)
            resent = resent || entry.type == resentTypes[i];
        if (resent)
            Lose(entry);
        else
            Restart(entry, now);
    }
    g_lastSeenMs = now;
}

void DropDeliveries()
{
    for (Pending &entry : g_pending) {
        if (entry.used)
            Tell(entry, DeliveredLost);
        entry.used = false;
    }
    g_pendingCount = 0;
    HoldLightSocket(kSocketHolder, false);
}

void StopDelivery()
{
    DropDeliveries();
    // A new start, a new source: the sequences may begin again.
    g_source = 0;
    memset(g_sequence, 0, sizeof g_sequence);
    memset(g_silent, 0, sizeof g_silent);
    // Nor did any light answer it yet: an acknowledgement of the last start
    // must not keep a silent light's messages going.
    memset(g_answered, 0, sizeof g_answered);
    for (StripChange &change : g_stripChange)
        change = StripChange();
    for (EventRing &ring : g_events)
        ring = EventRing();
}
