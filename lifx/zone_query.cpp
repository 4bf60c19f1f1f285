// The asking of strips' zone counts: a table of the two strip slots and
// what each waits for; the questions go out from the socket shared with the
// other waits, which stays open while one is outstanding.
#include "lifx/zone_query.h"

#include "lifx/replies.h"
#include "lifx/slot_questions.h"
#include "platform/win32.h"
#include "settings/settings.h"

namespace
{

// Not discovery's: an answer meant for one is never taken by the other.
// Strips not asked since the start or "Device" are QuestionToAsk; answered,
// QuestionQuiet.
SlotQuestions g_strips = {0x4C46585Au, 2, EncodeGetExtendedColorZonesAny, {}, 0, false};
unsigned g_learned;

// A strip that let every try of a round go unanswered may have been off or
// out of reach: it is asked again at its first drive a minute later, for at
// most five rounds in all, then not until "Device" or a restart.
const uint32_t kAskAgainMs = 60000;
const int kRounds = 5;

} // namespace

void AskZoneCountOnce(int slot)
{
    if (!IsStripSlot(slot) || g_deviceZones[slot])
        return;
    const SlotQuestion &strip = g_strips.slots[slot];
    bool again = strip.state == QuestionGivenUp && strip.givenUp < kRounds &&
                 GetTickCount() - strip.dueMs >= kAskAgainMs;
    if (strip.state == QuestionToAsk || again)
        WantQuestion(g_strips, slot);
}

void ForgetZoneQuery(int slot)
{
    if (IsStripSlot(slot))
        g_strips.slots[slot] = {QuestionToAsk, 0, 0, 0, 0};
}

void ForgetZoneQueries()
{
    for (SlotQuestion &strip : g_strips.slots)
        strip = {QuestionToAsk, 0, 0, 0, 0};
}

bool ZoneQueryWanted()
{
    return QuestionsWanted(g_strips);
}

bool StartZoneQuery(uint32_t nowMs)
{
    return StartQuestions(g_strips, nowMs);
}

bool ZoneQueryRunning()
{
    return g_strips.running;
}

bool ZoneQueryStep(uint32_t nowMs, unsigned *learned)
{
    bool running = StepQuestions(g_strips, nowMs);
    // Answers read by the other waits' steps since the last of ours count too.
    *learned = g_learned;
    g_learned = 0;
    return running;
}

void StopZoneQuery()
{
    StopQuestions(g_strips);
}

bool ZoneQueryHandleDatagram(uint32_t from, const uint8_t *data, size_t length)
{
    Reply reply;
    if (!g_strips.running || !ReadReply(data, length, g_strips.source, &reply))
        return false;
    for (int slot = kLastBulb + 1; slot <= kDeviceSlots; slot++) {
        if (!QuestionAnsweredFrom(g_strips, slot, from))
            continue;
        if (reply.type == kTypeStateExtendedColorZones) {
            g_strips.slots[slot].state = QuestionQuiet;
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
            g_strips.slots[slot].state = QuestionQuiet;
        }
    }
    return true;
}
