// One discovery at a time: what it has sent, and who answered. It sends from
// and reads through the socket it shares with delivery.
#include "lifx/discovery.h"

#include <math.h>
#include <string.h>

#include "lifx/light_socket.h"
#include "lifx/products.h"
#include "lifx/replies.h"
#include "platform/win32.h"

namespace
{

// Ours, so our answers can be told from anyone else's. Never 0: with source
// 0 a light broadcasts its answers.
const uint32_t kSource = 0x4C46584Cu;
// The whole request goes out at least three times, these apart: UDP gets
// lost on Wi-Fi, and a light that missed one round hears the next.
const uint32_t kRoundSpacingMs = 200;
// More rounds follow while the last one brought a new light, or while the
// lights already heard miss so many rounds that one never heard may still
// be out there: until a light missing that often would have missed every
// round with a chance below one in kMissedEveryRound.
const int kMaxRounds = 16;
const double kMissedEveryRound = 10000.0;
// The window closes this long after the start, and not before the rounds
// are over and this long has passed since the last request.
const uint32_t kWindowMs = 2000;
const uint32_t kQuietMs = 500;
// Whatever happens, a discovery ends after this long.
const uint32_t kLongestMs = kDiscoveryLongestMs;
// Per step: so that one step never holds the user-interface thread for long,
// a range goes out in batches.
const int kSendsPerStep = 64;
// A light is asked what it has not told yet (its label, whether it is a
// strip and how long) this long apart, from when it is first heard: one heard
// in the last round is asked as often as one heard in the first. Three times
// where nothing gets lost (an older bulb never says what it is, and must not
// hold every search up), more where the rounds show losses, as for the
// rounds, up to kMaxQueries.
const int kMinQueries = 3;
const int kMaxQueries = 16;
const uint32_t kQuerySpacingMs = kRoundSpacingMs;
const int kMaxDestinations = 1024;
// Our bit among the waits that hold the shared socket open.
const unsigned kSocketHolder = 4;

// What a light said to one of the questions that tell what it is.
enum Answer { NotAnswered, Yes, No };

struct Responder {
    uint32_t address;
    uint8_t serial[kSerialSize];
    char label[kLabelSize + 1];
    bool labelKnown;
    bool versionKnown;
    uint32_t product;
    Answer extended; // GetExtendedColorZones
    Answer original; // GetColorZones
    Answer chained;  // GetDeviceChain
    Answer lit;      // GetColor: a light answers with its state
    int zones;
    int originalZones;
    DeviceChain chain;
    char chainRefused[kChainRefusalSize];
    int queries;
    uint32_t askedMs;
    int firstRound;       // the round it first answered
    uint32_t roundsHeard; // bit r: it answered round r
};

struct Session {
    bool running;
    DiscoveryTarget target;
    uint32_t destinations[kMaxDestinations];
    int destinationCount;
    int round; // rounds fully sent
    bool roundsOver;
    bool newInRound[kMaxRounds];
    int queryLimit;
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

ProductKind ProductOf(const Responder &responder)
{
    return responder.versionKnown ? KindOfProduct(responder.product) : ProductNotListed;
}

// Which questions tell what this light is: those its product leaves open.
// The original zone question only once the extended one is refused or
// unanswered, so that a strip that knows both is asked the one.
bool ExtendedWanted(const Responder &r)
{
    ProductKind product = ProductOf(r);
    return product != ProductNoLight && product != ProductOlderStrip && product != ProductMatrix;
}

bool ChainWanted(const Responder &r)
{
    ProductKind product = ProductOf(r);
    return product == ProductNotListed || product == ProductMatrix;
}

bool OriginalWanted(const Responder &r)
{
    ProductKind product = ProductOf(r);
    return product != ProductNoLight && product != ProductMatrix && product != ProductStrip &&
           r.extended != Yes;
}

// A product not listed may be a device without a light, released since:
// a light tells its colour, and only a light.
bool LitWanted(const Responder &r)
{
    return ProductOf(r) == ProductNotListed;
}

bool NoLight(const Responder &r)
{
    return ProductOf(r) == ProductNoLight || r.lit == No;
}

// What the light has said it is so far, KindNotKnown while it may still say.
// A light that refuses every question left open is a bulb.
int SettledKind(const Responder &r)
{
    if (NoLight(r))
        return KindNotKnown;
    if (r.extended == Yes)
        return KindStrip;
    if (r.chained == Yes)
        return r.chain.tiles ? KindMatrix : KindBulb;
    if (r.original == Yes && (r.extended == No || !ExtendedWanted(r)))
        return KindOlderStrip;
    if ((!ExtendedWanted(r) || r.extended == No) && (!ChainWanted(r) || r.chained == No) &&
        (!OriginalWanted(r) || r.original == No) && (!LitWanted(r) || r.lit == Yes))
        return KindBulb;
    return KindNotKnown;
}

bool KindSettled(const Responder &r)
{
    return NoLight(r) || SettledKind(r) != KindNotKnown;
}

void AskLabelAndKind(Responder &responder, uint32_t nowMs)
{
    if (responder.queries >= g_session.queryLimit)
        return;
    // The first time only the label, the product and the extended zones:
    // most lights settle there, and a search stays as short as it was.
    bool first = responder.queries == 0;
    responder.queries++;
    responder.askedMs = nowMs;
    uint8_t message[kRequestSize];
    if (!responder.labelKnown) {
        EncodeGetLabel(message, kSource, responder.serial, ++g_session.sequence);
        SendTo(responder.address, message, nowMs);
    }
    if (KindSettled(responder))
        return;
    if (!responder.versionKnown) {
        EncodeGetVersion(message, kSource, responder.serial, ++g_session.sequence);
        SendTo(responder.address, message, nowMs);
    }
    if (responder.extended == NotAnswered && ExtendedWanted(responder)) {
        EncodeGetExtendedColorZones(message, kSource, responder.serial, ++g_session.sequence);
        SendTo(responder.address, message, nowMs);
    }
    if (first && !responder.versionKnown)
        return;
    if (responder.lit == NotAnswered && LitWanted(responder)) {
        EncodeGetColor(message, kSource, responder.serial, ++g_session.sequence);
        SendTo(responder.address, message, nowMs);
    }
    if (responder.chained == NotAnswered && ChainWanted(responder)) {
        EncodeGetDeviceChain(message, kSource, responder.serial, ++g_session.sequence);
        SendTo(responder.address, message, nowMs);
    }
    if (responder.original == NotAnswered && OriginalWanted(responder)) {
        uint8_t zones[kGetColorZonesSize];
        EncodeGetColorZones(zones, kSource, responder.serial, ++g_session.sequence);
        g_session.sends++;
        if (!SendToLight(responder.address, zones, sizeof zones)) {
            g_session.failedSends++;
            g_session.sendError = WSAGetLastError();
        }
        g_session.lastSendMs = nowMs;
    }
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
    // The sequence names the round answered; anything else counts for none.
    int round = reply.sequence - 1;
    uint32_t heard = round >= 0 && round < kMaxRounds ? 1u << round : 0;
    // Each round brings every light's answer again.
    if (Responder *known = FindResponder(from)) {
        known->roundsHeard |= heard;
        return true;
    }
    if (SerialSeen(reply.serial))
        return true;
    if (g_session.responderCount >= kMaxResponders)
        return false;
    Responder &responder = g_session.responders[g_session.responderCount++];
    memset(&responder, 0, sizeof responder);
    responder.address = from;
    memcpy(responder.serial, reply.serial, kSerialSize);
    responder.roundsHeard = heard;
    responder.firstRound = heard ? round : g_session.round;
    if (heard)
        g_session.newInRound[round] = true;
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
        responder->extended = Yes;
        responder->zones = reply.zoneCount;
        return true;
    case kTypeStateVersion:
        responder->versionKnown = true;
        responder->product = reply.product;
        return true;
    case kTypeStateZone:
    case kTypeStateMultiZone:
        // Every answer names the strip's total.
        responder->original = Yes;
        responder->originalZones = reply.zoneCount;
        return true;
    case kTypeStateDeviceChain:
        // The first chain told is the one kept.
        if (responder->chained != Yes &&
            !ChainFromReply(reply, &responder->chain, responder->chainRefused))
            memset(&responder->chain, 0, sizeof responder->chain);
        responder->chained = Yes;
        return true;
    case kTypeLightState:
        responder->lit = Yes;
        return true;
    case kTypeStateUnhandled:
        if (reply.unhandledType == kTypeGetColor && responder->lit == NotAnswered)
            responder->lit = No;
        else if (reply.unhandledType == kTypeGetExtendedColorZones &&
                 responder->extended == NotAnswered)
            responder->extended = No;
        else if (reply.unhandledType == kTypeGetColorZones && responder->original == NotAnswered)
            responder->original = No;
        else if (reply.unhandledType == kTypeGetDeviceChain && responder->chained == NotAnswered)
            responder->chained = No;
        else
            return reply.unhandledType == kTypeGetColor ||
                   reply.unhandledType == kTypeGetExtendedColorZones ||
                   reply.unhandledType == kTypeGetColorZones ||
                   reply.unhandledType == kTypeGetDeviceChain;
        return true;
    }
    return false;
}

// The share of the rounds after their first answer that the lights heard
// missed: how lossy the network is, as far as it shows; 0 before it shows.
double MissedShare()
{
    const Session &s = g_session;
    int asked = 0, missed = 0;
    for (int i = 0; i < s.responderCount; i++) {
        const Responder &responder = s.responders[i];
        for (int r = responder.firstRound + 1; r < s.round; r++) {
            asked++;
            missed += !(responder.roundsHeard & (1u << r));
        }
    }
    return missed ? (double)missed / asked : 0;
}

// Tries that a light of that luck misses all of with a chance below one in
// kMissedEveryRound, within the bounds.
int TriesWanted(double missed, int least, int most)
{
    if (missed <= 0)
        return least;
    int tries = missed >= 1 ? most : (int)ceil(log(1 / kMissedEveryRound) / log(missed));
    return tries < least ? least : tries > most ? most : tries;
}

// Whether a light never heard may still answer another round: the last
// round brought a new light, or the lights heard missed enough rounds that
// one of the same luck could have missed every round so far.
bool MoreRoundsWanted()
{
    const Session &s = g_session;
    if (s.round >= kMaxRounds)
        return false;
    return s.newInRound[s.round - 1] ||
           s.round < TriesWanted(MissedShare(), kDiscoveryRounds, kMaxRounds);
}

void SendDue(uint32_t nowMs)
{
    Session &s = g_session;
    if (s.roundsOver || !Elapsed(nowMs, s.startMs, s.roundDueMs - s.startMs))
        return;
    if (s.sentInRound == 0 && s.round >= kDiscoveryRounds && !MoreRoundsWanted()) {
        s.roundsOver = true;
        return;
    }
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
    return (!responder.labelKnown || !KindSettled(responder)) &&
           responder.queries < g_session.queryLimit;
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
    return s.roundsOver && Elapsed(nowMs, s.startMs, kWindowMs) &&
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
        light.noLight = NoLight(responder);
        light.kind = SettledKind(responder);
        // Zone messages answered, the extended one never: an older strip.
        if (light.kind == KindNotKnown && responder.original == Yes)
            light.kind = KindOlderStrip;
        light.strip = light.kind == KindStrip || light.kind == KindOlderStrip;
        light.zones = light.kind == KindStrip        ? responder.zones
                      : light.kind == KindOlderStrip ? responder.originalZones
                                                     : 0;
        light.chain = responder.chain;
        memcpy(light.chainRefused, responder.chainRefused, sizeof light.chainRefused);
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
    g_session.queryLimit = kMinQueries;
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
    g_session.queryLimit = TriesWanted(MissedShare(), kMinQueries, kMaxQueries);
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
