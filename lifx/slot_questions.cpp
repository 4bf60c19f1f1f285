#include "lifx/slot_questions.h"

#include "lifx/light_socket.h"
#include "platform/win32.h"

namespace
{

// The light is given up on this long after the last question.
const int kTries = 3;
const uint32_t kRetryMs = 700;
const uint32_t kLastWaitMs = 1000;

void SetRunning(SlotQuestions &table, bool running)
{
    table.running = running;
    HoldLightSocket(table.socketHolder, running);
}

bool Due(uint32_t nowMs, uint32_t dueMs)
{
    // Unsigned: correct across the tick count's wrap.
    return (int32_t)(nowMs - dueMs) >= 0;
}

// The slot's address, or 0 when it holds none.
uint32_t SlotAddress(int slot)
{
    uint32_t address;
    return DeviceAddress(slot, &address) ? address : 0;
}

void SendDue(SlotQuestions &table, uint32_t nowMs)
{
    for (SlotQuestion &question : table.slots) {
        if (question.state == QuestionWanted) {
            question.state = QuestionAsking;
            question.tries = 0;
            question.dueMs = nowMs;
        }
        if (question.state != QuestionAsking || !Due(nowMs, question.dueMs))
            continue;
        if (question.tries == kTries) {
            question.state = QuestionGivenUp;
            question.dueMs = nowMs;
            question.givenUp++;
            continue;
        }
        question.tries++;
        question.dueMs = nowMs + (question.tries == kTries ? kLastWaitMs : kRetryMs);
        uint8_t message[kRequestSize];
        table.encode(message, table.source, ++table.sequence);
        // A lost question is asked again; a refused one gets no answer.
        SendToLight(question.address, message, kRequestSize);
    }
}

bool Outstanding(const SlotQuestions &table)
{
    for (const SlotQuestion &question : table.slots) {
        if (question.state == QuestionWanted || question.state == QuestionAsking)
            return true;
    }
    return false;
}

} // namespace

void WantQuestion(SlotQuestions &table, int slot)
{
    uint32_t address = SlotAddress(slot);
    if (!address)
        return;
    table.slots[slot].state = QuestionWanted;
    table.slots[slot].address = address;
}

bool QuestionsWanted(const SlotQuestions &table)
{
    return !table.running && Outstanding(table);
}

bool StartQuestions(SlotQuestions &table, uint32_t nowMs)
{
    if (table.running)
        return true;
    if (AcquireLightSocket() == INVALID_SOCKET) {
        StopQuestions(table);
        return false;
    }
    SetRunning(table, true);
    SendDue(table, nowMs);
    return true;
}

bool StepQuestions(SlotQuestions &table, uint32_t nowMs)
{
    if (table.running)
        SendDue(table, nowMs);
    if (table.running && Outstanding(table))
        return true;
    SetRunning(table, false);
    ReleaseLightSocket();
    return false;
}

void StopQuestions(SlotQuestions &table)
{
    SetRunning(table, false);
    ReleaseLightSocket();
    for (SlotQuestion &question : table.slots) {
        if (question.state == QuestionWanted || question.state == QuestionAsking)
            question.state = QuestionToAsk;
    }
}

bool QuestionAnsweredFrom(const SlotQuestions &table, int slot, uint32_t from)
{
    const SlotQuestion &question = table.slots[slot];
    return question.state == QuestionAsking && question.address == from &&
           SlotAddress(slot) == from;
}
