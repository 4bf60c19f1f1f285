// The plug-in window's timers, which both the window procedure and the
// commands start and stop.
#pragma once

#include <stdint.h>

#include "platform/win32.h"

enum {
    CycleTimer = 1,
    PowerOnTimer = 2,
    // Runs only while something waits for lights (a discovery, a message
    // awaiting its acknowledgement, a strip asked its length): each tick
    // reads their answers and sends what is due.
    AnswersTimer = 3,
    kAnswersTickMs = 25,
    kPowerOnAfterResumeMs = 5000,
    kPowerOnAfterUnlockMs = 1000,
};

// The hidden window that receives host, system and tray events; null before
// beginPlugin and after endPlugin.
extern HWND g_pluginWindow;

// Starts CycleTimer with the current cycle interval; a running timer restarts.
void StartCycleTimer();
void StopCycleTimer();
// Starts AnswersTimer unless it runs; false when it cannot be started.
bool StartAnswersTimer();
// Starts AnswersTimer when something waits for lights and it does not run:
// after every event that may have sent.
void KeepAnswersTimer();
// Reads, without waiting, at most a bounded number of datagrams, and offers
// each to delivery, then to the zone and label questions, then to
// discovery, until one takes it. Each is read once, here and nowhere else.
void OfferLightAnswers(uint32_t nowMs);
// A tick: the answers offered, then the steps of discovery, of the strips'
// zone questions and of delivery; the timer stops, and the socket closes,
// once none has anything outstanding.
void AnswersTick();
// At exit, or when the plug-in's state is reset: the timer stopped, every
// wait forgotten, the socket closed.
void StopAnswers();
// The scheme's colours afresh: the palette rebuilt from rotation offset 1,
// sent to every light, and cycling started again when it is on.
void ShowScheme();
// The lights back on as the scheme has them, as after a resume: under Manual
// only switched on, each keeping the colour it was given.
void PowerOnLights();
