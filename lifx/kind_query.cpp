// The kind questions: a table of the ten slots, shaped as the label
// questions are.
#include "lifx/kind_query.h"

#include <stdio.h>

#include "host/log.h"
#include "lifx/chain.h"
#include "lifx/replies.h"
#include "lifx/slot_questions.h"
#include "settings/settings.h"

namespace
{

// No other wait's: an answer meant for one is never taken by another. A
// slot is QuestionQuiet until "Device" sets it: a light from the file or a
// search is not asked.
SlotQuestions g_questions = {0x4C46584Bu, 16, EncodeGetDeviceChainAny, {}, 0, false};

void TakeChain(int slot, const Reply &reply)
{
    DeviceChain chain;
    char why[kChainRefusalSize];
    if (ChainFromReply(reply, &chain, why)) {
        SaveDeviceChain(slot, chain);
        SaveDeviceKind(slot, KindMatrix);
        return;
    }
    char line[160];
    snprintf(line, sizeof line,
             "...the matrix light of device #%d told a chain no light has (%s): it is driven as "
             "a bulb, showing one colour.",
             slot, why);
    HostLog(LogError, line);
    SaveDeviceKind(slot, IsStripSlot(slot) ? KindBulb : KindNotKnown);
}

} // namespace

void AskKindOnce(int slot)
{
    if (slot < 1 || slot > kDeviceSlots || g_questions.slots[slot].state != QuestionToAsk)
        return;
    if (g_deviceKinds[slot] != KindNotKnown)
        g_questions.slots[slot].state = QuestionQuiet;
    else
        WantQuestion(g_questions, slot);
}

void ForgetKindQuery(int slot)
{
    if (slot >= 1 && slot <= kDeviceSlots)
        g_questions.slots[slot].state =
            g_deviceKinds[slot] != KindNotKnown ? QuestionQuiet : QuestionToAsk;
}

bool KindQueryWanted()
{
    return QuestionsWanted(g_questions);
}

bool StartKindQuery(uint32_t nowMs)
{
    return StartQuestions(g_questions, nowMs);
}

bool KindQueryRunning()
{
    return g_questions.running;
}

bool KindQueryStep(uint32_t nowMs)
{
    return StepQuestions(g_questions, nowMs);
}

void StopKindQuery()
{
    StopQuestions(g_questions);
}

bool KindQueryHandleDatagram(uint32_t from, const uint8_t *data, size_t length)
{
    Reply reply;
    if (!g_questions.running || !ReadReply(data, length, g_questions.source, &reply))
        return false;
    for (int slot = 1; slot <= kDeviceSlots; slot++) {
        if (!QuestionAnsweredFrom(g_questions, slot, from))
            continue;
        if (reply.type == kTypeStateDeviceChain) {
            g_questions.slots[slot].state = QuestionQuiet;
            TakeChain(slot, reply);
        } else if (reply.type == kTypeStateUnhandled &&
                   reply.unhandledType == kTypeGetDeviceChain) {
            // Not a matrix light: a bulb or strip, as its slot says.
            g_questions.slots[slot].state = QuestionQuiet;
        }
    }
    return true;
}
