// One discovery at a time: what it has sent, and who answered. It sends from
// and reads through the socket it shares with delivery.
#include "lifx/discovery.h"

#include <string.h>

#include "lifx/light_socket.h"
#include "lifx/replies.h"
#include "platform/win32.h"

namespace
{

// Ours, so our answers can be told from anyone else's. Never 0: with source
// 0 a light broadcasts its answers.
const uint32_t kSource = 0x4C46584Cu;
// The whole request goes out three times, these apart: UDP gets lost on
// Wi-Fi, and a light that missed one round hears the next.
const uint32_t kRoundSpacingMs = 700;
// The window closes this long after the start, and not before every round
// is out and this long has passed since the last request.
const uint32_t kWindowMs = 2000;
const uint32_t kQuietMs = 500;
// Whatever happens, a discovery ends after this long.
const uint32_t kLongestMs = 10000;
// Per step: so that one step never holds the user-interface thread for long,
// a range goes out in batches.
const int kSendsPerStep = 64;
// A light is asked its label and kind at most this many times, this long
// apart, from when it is first heard: one heard in the last round is asked
// as often as one heard in the first.
const int kMaxQueries = 3;
const uint32_t kQuerySpacingMs = kRoundSpacingMs;
const int kMaxDestinations = 1024;
// Our bit among the waits that hold the shared socket open.
const unsigned kSocketHolder = 4;

enum Kind { KindUnknown, KindBulb, KindStrip };

struct Responder {
    uint32_t address;
    uint8_t serial[kSerialSize];
    char label[kLabelSize + 1];
    bool labelKnown;
    Kind kind;
    int zones;
    int queries;
    uint32_t askedMs;
};

struct Session {
    bool running;
    DiscoveryTarget target;
    uint32_t destinations[kMaxDestinations];
    int destinationCount;
    int round; // rounds fully sent
    int sentInRound;
    uint32_t startMs;
    uint32_t roundDueMs;
    uint32_t lastSendMs;
    Responder responders[kMaxResponders];
    int responderCount;
    int ignored;
    int sends;
    int failedSends;
    int sendError;
    uint8_t sequence;
};

Session g_session;
DiscoveredLight g_found[kMaxResponders];
int g_foundCount;
bool g_finished;

bool Elapsed(uint32_t nowMs, uint32_t sinceMs, uint32_t spanMs)
{
    // Unsigned: correct across the tick count's wrap.
    return nowMs - sinceMs >= spanMs;
}

void SendTo(uint32_t address, const uint8_t (&message)[kRequestSize], uint32_t nowMs)
{
    g_session.sends++;
    if (!SendToLight(address, message, kRequestSize)) {
        g_session.failedSends++;
        g_session.sendError = WSAGetLastError();
    }
    g_session.lastSendMs = nowMs;
}

void AskLabelAndKind(Responder &responder, uint32_t nowMs)
{
    if (responder.queries >= kMaxQueries)
        return;
    responder.queries++;
    responder.askedMs = nowMs;
    uint8_t message[kRequestSize];
    EncodeGetLabel(message, kSource, responder.serial, ++g_session.sequence);
    SendTo(responder.address, message, nowMs);
    EncodeGetExtendedColorZones(message, kSource, responder.serial, ++g_session.sequence);
    SendTo(responder.address, message, nowMs);
}

// Whether a GetService of ours may have reached that address.
bool Asked(uint32_t address)
{
    const DiscoveryTarget &target = g_session.target;
    switch (target.form) {
    case DiscoverAddress:
        return address == target.address;
    case DiscoverRange: {
        uint32_t first, count;
        RangeHosts(target.address, target.prefixLength, &first, &count);
        return address - first < count;
    }
    case DiscoverBroadcast:
        break;
    }
    // Whoever heard a broadcast, but never these two.
    return address != 0 && address != 0xFFFFFFFFu;
}

Responder *FindResponder(uint32_t address)
{
    for (int i = 0; i < g_session.responderCount; i++) {
        if (g_session.responders[i].address == address)
            return &g_session.responders[i];
    }
    return nullptr;
}

bool SerialSeen(const uint8_t (&serial)[kSerialSize])
{
    for (int i = 0; i < g_session.responderCount; i++) {
        if (memcmp(g_session.responders[i].serial, serial, kSerialSize) == 0)
            return true;
    }
    return false;
}

bool SerialIsZero(const uint8_t (&serial)[kSerialSize])
{
    for (uint8_t byte : serial) {
        if (byte)
            return false;
    }
    return true;
}

// A StateService: a light, new or heard again.
bool TakeService(uint32_t from, const Reply &reply, uint32_t nowMs)
{
    if (reply.service != kServiceUdp || SerialIsZero(reply.serial) || !Asked(from))
        return false;
    // Each round brings every light's answer again.
    if (FindResponder(from) || SerialSeen(reply.serial))
        return true;
    if (g_session.responderCount >= kMaxResponders)
        return false;
    Responder &responder = g_session.responders[g_session.responderCount++];
    memset(&responder, 0, sizeof responder);
    responder.address = from;
    memcpy(responder.serial, reply.serial, kSerialSize);
    AskLabelAndKind(responder, nowMs);
    return true;
}

// An answer about a light already heard: its label, or what it is.
bool TakeDetail(uint32_t from, const Reply &reply)
{
    Responder *responder = FindResponder(from);
    if (!responder || memcmp(responder->serial, reply.serial, kSerialSize) != 0)
        return false;
    switch (reply.type) {
    case kTypeStateLabel:
        memcpy(responder->label, reply.label, sizeof responder->label);
        responder->labelKnown = true;
        return true;
    case kTypeStateExtendedColorZones:
        responder->kind = KindStrip;
        responder->zones = reply.zoneCount;
        return true;
    case kTypeStateUnhandled:
        if (reply.unhandledType != kTypeGetExtendedColorZones)
            return false;
        if (responder->kind == KindUnknown)
            responder->kind = KindBulb;
        return true;
    }
    return false;
}

void SendDue(uint32_t nowMs)
{
    Session &s = g_session;
    if (s.round >= kDiscoveryRounds || !Elapsed(nowMs, s.startMs, s.roundDueMs - s.startMs))
        return;
    uint8_t message[kRequestSize];
    EncodeGetService(message, kSource, (uint8_t)(s.round + 1));
    for (int n = 0; n < kSendsPerStep && s.sentInRound < s.destinationCount; n++)
        SendTo(s.destinations[s.sentInRound++], message, nowMs);
    if (s.sentInRound == s.destinationCount) {
        s.round++;
        s.sentInRound = 0;
        s.roundDueMs = s.startMs + (uint32_t)s.round * kRoundSpacingMs;
    }
}

// A light that has not yet said what it is, and may still be asked.
bool Waiting(const Responder &responder)
{
    return (!responder.labelKnown || responder.kind == KindUnknown) &&
           responder.queries < kMaxQueries;
}

// Each light that has not yet said what it is is asked again on its own
// schedule.
void AskAgain(uint32_t nowMs)
{
    for (int i = 0; i < g_session.responderCount; i++) {
        Responder &responder = g_session.responders[i];
        if (Waiting(responder) && Elapsed(nowMs, responder.askedMs, kQuerySpacingMs))
            AskLabelAndKind(responder, nowMs);
    }
}

bool WindowClosed(uint32_t nowMs)
{
    const Session &s = g_session;
    if (Elapsed(nowMs, s.startMs, kLongestMs))
        return true;
    for (int i = 0; i < s.responderCount; i++) {
        if (Waiting(s.responders[i]))
            return false;
    }
    return s.round >= kDiscoveryRounds && Elapsed(nowMs, s.startMs, kWindowMs) &&
           Elapsed(nowMs, s.lastSendMs, kQuietMs);
}

void CloseSocket()
{
    if (!g_session.running)
        return;
    g_session.running = false;
    HoldLightSocket(kSocketHolder, false);
    if (g_session.target.form == DiscoverBroadcast)
        AllowLightBroadcasts(false);
    ReleaseLightSocket();
}

// The lights found, in the order of their addresses.
void Collect()
{
    g_finished = true;
    g_foundCount = 0;
    for (int i = 0; i < g_session.responderCount; i++) {
        const Responder &responder = g_session.responders[i];
        DiscoveredLight light;
        memset(&light, 0, sizeof light);
        light.address = responder.address;
        memcpy(light.serial, responder.serial, kSerialSize);
        memcpy(light.label, responder.label, sizeof light.label);
        light.labelKnown = responder.labelKnown;
        light.strip = responder.kind == KindStrip;
        light.zones = light.strip ? responder.zones : 0;
        int at = g_foundCount++;
        for (; at > 0 && g_found[at - 1].address > light.address; at--)
            g_found[at] = g_found[at - 1];
        g_found[at] = light;
    }
}

int FillDestinations(const DiscoveryTarget &target)
{
    uint32_t *out = g_session.destinations;
    switch (target.form) {
    case DiscoverAddress:
        out[0] = target.address;
        return 1;
    case DiscoverRange: {
        uint32_t first, count;
        RangeHosts(target.address, target.prefixLength, &first, &count);
        for (uint32_t i = 0; i < count && i < (uint32_t)kMaxDestinations; i++)
            out[i] = first + i;
        return count < (uint32_t)kMaxDestinations ? (int)count : kMaxDestinations;
    }
    case DiscoverBroadcast:
        break;
    }
    InterfaceAddress interfaces[kMaxInterfaces];
    int count = ListInterfaces(interfaces, kMaxInterfaces);
    return BroadcastDestinations(interfaces, count, out, kMaxDestinations);
}

} // namespace

DiscoveryStart StartDiscovery(const DiscoveryTarget &target, uint32_t nowMs)
{
    if (g_session.running)
        return DiscoveryBusy;
    g_foundCount = 0;
    g_finished = false;
    if (AcquireLightSocket() == INVALID_SOCKET)
        return DiscoveryNoSocket;
    // Only the broadcast form: an address typed as one light's that is a
    // network's broadcast address is refused, and says so.
    if (!AllowLightBroadcasts(target.form == DiscoverBroadcast)) {
        ReleaseLightSocket();
        return DiscoveryNoSocket;
    }
    memset(&g_session, 0, sizeof g_session);
    g_session.target = target;
    g_session.destinationCount = FillDestinations(target);
    g_session.startMs = nowMs;
    g_session.roundDueMs = nowMs;
    g_session.lastSendMs = nowMs;
    g_session.running = true;
    HoldLightSocket(kSocketHolder, true);
    SendDue(nowMs);
    return DiscoveryStarted;
}

bool DiscoveryRunning()
{
    return g_session.running;
}

bool DiscoveryStep(uint32_t nowMs)
{
    if (!g_session.running)
        return false;
    SendDue(nowMs);
    AskAgain(nowMs);
    if (!WindowClosed(nowMs))
        return true;
    CloseSocket();
    Collect();
    return false;
}

void DiscoveryHandleDatagram(uint32_t from, const uint8_t *data, size_t length, uint32_t nowMs)
{
    if (!g_session.running)
        return;
    Reply reply;
    bool taken = false;
    if (ReadReply(data, length, kSource, &reply))
        taken = reply.type == kTypeStateService ? TakeService(from, reply, nowMs)
                                                : TakeDetail(from, reply);
    if (!taken)
        g_session.ignored++;
}

bool DiscoveryFinished()
{
    return g_finished;
}

int DiscoveredLights(const DiscoveredLight **lights)
{
    *lights = g_found;
    return g_foundCount;
}

void DiscoveryCountIgnored()
{
    if (g_session.running)
        g_session.ignored++;
}

int DiscoveryIgnored()
{
    return g_session.ignored;
}

int DiscoveryFailedSends()
{
    return g_session.failedSends;
}

bool DiscoveryNothingSent(int *error)
{
    *error = g_session.sendError;
    return g_session.sends > 0 && g_session.failedSends == g_session.sends;
}

void StopDiscovery()
{
    CloseSocket();
    g_foundCount = 0;
    g_finished = false;
}
