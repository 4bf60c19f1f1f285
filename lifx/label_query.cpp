// The label questions: a table of the ten slots and what each waits for,
// shaped as the strips' zone questions are.
#include "lifx/label_query.h"

#include "lifx/replies.h"
#include "lifx/slot_questions.h"
#include "settings/settings.h"

namespace
{

// Neither discovery's nor the zone questions': an answer meant for one is
// never taken by another. A slot is QuestionQuiet until "Device" sets it:
// a light from the file or a search is not asked.
SlotQuestions g_questions = {0x4C46584Eu, 8, EncodeGetLabelAny, {}, 0, false};

} // namespace

void AskLabelOnce(int slot)
{
    if (slot < 1 || slot > kDeviceSlots || g_questions.slots[slot].state != QuestionToAsk)
        return;
    if (g_deviceLabels[slot][0])
        g_questions.slots[slot].state = QuestionQuiet;
    else
        WantQuestion(g_questions, slot);
}

void ForgetLabelQuery(int slot)
{
    if (slot >= 1 && slot <= kDeviceSlots)
        g_questions.slots[slot].state = g_deviceLabels[slot][0] ? QuestionQuiet : QuestionToAsk;
}

bool LabelQueryWanted()
{
    return QuestionsWanted(g_questions);
}

bool StartLabelQuery(uint32_t nowMs)
{
    return StartQuestions(g_questions, nowMs);
}

bool LabelQueryRunning()
{
    return g_questions.running;
}

bool LabelQueryStep(uint32_t nowMs)
{
    return StepQuestions(g_questions, nowMs);
}

void StopLabelQuery()
{
    StopQuestions(g_questions);
}

bool LabelQueryHandleDatagram(uint32_t from, const uint8_t *data, size_t length)
{
    Reply reply;
    if (!g_questions.running || !ReadReply(data, length, g_questions.source, &reply))
        return false;
    for (int slot = 1; slot <= kDeviceSlots; slot++) {
        if (reply.type == kTypeStateLabel && QuestionAnsweredFrom(g_questions, slot, from)) {
            g_questions.slots[slot].state = QuestionQuiet;
            SaveDeviceLabel(slot, reply.label);
        }
    }
    return true;
}
