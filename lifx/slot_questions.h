// A table of questions to the lights in the ten slots, one each, repeated as
// UDP gets lost: the shape of the strips' zone questions and the labels'.
// Each kind keeps one table, with its own source so that no other wait takes
// its answers, and its own bit among the holders of the shared socket.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "lifx/messages.h"
#include "settings/settings.h"

enum QuestionState {
    QuestionQuiet,   // not to be asked
    QuestionToAsk,   // asked at its next drive
    QuestionWanted,  // to be asked by the next step
    QuestionAsking,  // asked, waiting for the answer
    QuestionGivenUp, // asked its tries unanswered: not asked unless its kind asks again
};

struct SlotQuestion {
    QuestionState state;
    uint32_t address; // where it was asked, host byte order
    int tries;
    uint32_t dueMs; // the next question, the giving up, or when it was given up
    int givenUp;    // how many times, since its kind last forgot it
};

struct SlotQuestions {
    uint32_t source;
    unsigned socketHolder;
    void (*encode)(uint8_t (&message)[kRequestSize], uint32_t source, uint8_t sequence);
    SlotQuestion slots[kDeviceSlots + 1];
    uint8_t sequence;
    // Whether questions are out: the shared socket stays open meanwhile.
    bool running;
};

// The slot's light, at its address now, is to be asked by the next step.
void WantQuestion(SlotQuestions &table, int slot);
// Whether a light waits to be asked while no asking runs.
bool QuestionsWanted(const SlotQuestions &table);
// Opens the shared socket and sends the first questions; false when it could
// not be opened (the lights are then asked again at their next drive).
bool StartQuestions(SlotQuestions &table, uint32_t nowMs);
// Sends what is due and gives up on what ran out of tries. False once nothing
// is outstanding: the shared socket is then released.
bool StepQuestions(SlotQuestions &table, uint32_t nowMs);
// Stops asking and releases the shared socket; lights still waiting for an
// answer are asked again at their next drive.
void StopQuestions(SlotQuestions &table);
// Whether an answer from `from` answers the slot's question: asked there, and
// the slot's address not changed since.
bool QuestionAnsweredFrom(const SlotQuestions &table, int slot, uint32_t from);
