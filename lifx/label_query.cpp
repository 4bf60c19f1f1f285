// The label questions: a table of the ten slots and what each waits for,
// shaped as the strips' zone questions are.
#include "lifx/label_query.h"

#include "lifx/light_socket.h"
#include "lifx/messages.h"
#include "lifx/replies.h"
#include "platform/win32.h"
#include "settings/settings.h"

namespace
{

// Neither discovery's nor the zone questions': an answer meant for one is
// never taken by another.
const uint32_t kSource = 0x4C46584Eu;
// A question is repeated, as UDP gets lost, and the light given up on this
// long after the last.
const int kTries = 3;
const uint32_t kRetryMs = 700;
const uint32_t kLastWaitMs = 1000;
// Our bit among the waits that hold the shared socket open.
const unsigned kSocketHolder = 8;

enum State {
    Idle,   // not to be asked
    ToAsk,  // asked at its next drive
    Wanted, // to be asked by the next step
    Asking, // asked, waiting for the answer
};

struct Question {
    State state;
    uint32_t address; // where it was asked, host byte order
    int tries;
    uint32_t dueMs; // the next question, or the giving up
};

Question g_questions[kDeviceSlots + 1];
uint8_t g_sequence;
// Whether questions are out: the shared socket stays open meanwhile.
bool g_running;

void SetRunning(bool running)
{
    g_running = running;
    HoldLightSocket(kSocketHolder, running);
}

bool Due(uint32_t nowMs, uint32_t dueMs)
{
    return (int32_t)(nowMs - dueMs) >= 0;
}

void SendDue(uint32_t nowMs)
{
    for (int slot = 1; slot <= kDeviceSlots; slot++) {
        Question &question = g_questions[slot];
        if (question.state == Wanted) {
            question.state = Asking;
            question.tries = 0;
            question.dueMs = nowMs;
        }
        if (question.state != Asking || !Due(nowMs, question.dueMs))
            continue;
        if (question.tries == kTries) {
            // Never answered: the slot stays without a label until a search.
            question.state = Idle;
            continue;
        }
        question.tries++;
        question.dueMs = nowMs + (question.tries == kTries ? kLastWaitMs : kRetryMs);
        uint8_t message[kRequestSize];
        EncodeGetLabelAny(message, kSource, ++g_sequence);
        SendToLight(question.address, message, kRequestSize);
    }
}

bool Outstanding()
{
    for (const Question &question : g_questions) {
        if (question.state == Wanted || question.state == Asking)
            return true;
    }
    return false;
}

} // namespace

void AskLabelOnce(int slot)
{
    uint32_t address;
    if (!DeviceAddress(slot, &address) || g_questions[slot].state != ToAsk)
        return;
    g_questions[slot].state = g_deviceLabels[slot][0] ? Idle : Wanted;
    g_questions[slot].address = address;
}

void ForgetLabelQuery(int slot)
{
    if (slot >= 1 && slot <= kDeviceSlots)
        g_questions[slot].state = g_deviceLabels[slot][0] ? Idle : ToAsk;
}

bool LabelQueryWanted()
{
    return !g_running && Outstanding();
}

bool StartLabelQuery(uint32_t nowMs)
{
    if (g_running)
        return true;
    if (AcquireLightSocket() == INVALID_SOCKET) {
        StopLabelQuery();
        return false;
    }
    SetRunning(true);
    SendDue(nowMs);
    return true;
}

bool LabelQueryRunning()
{
    return g_running;
}

bool LabelQueryStep(uint32_t nowMs)
{
    if (g_running)
        SendDue(nowMs);
    if (g_running && Outstanding())
        return true;
    SetRunning(false);
    ReleaseLightSocket();
    return false;
}

void StopLabelQuery()
{
    SetRunning(false);
    ReleaseLightSocket();
    for (Question &question : g_questions) {
        if (question.state == Wanted || question.state == Asking)
            question.state = ToAsk;
    }
}

bool LabelQueryHandleDatagram(uint32_t from, const uint8_t *data, size_t length)
{
    Reply reply;
    if (!g_running || !ReadReply(data, length, kSource, &reply))
        return false;
    for (int slot = 1; slot <= kDeviceSlots; slot++) {
        Question &question = g_questions[slot];
        uint32_t address;
        // The slot's address may have changed since the question.
        if (question.state != Asking || question.address != from ||
            !DeviceAddress(slot, &address) || address != from)
            continue;
        if (reply.type == kTypeStateLabel) {
            question.state = Idle;
            SaveDeviceLabel(slot, reply.label);
        }
    }
    return true;
}
