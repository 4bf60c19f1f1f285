// The plug-in window's timers, which both the window procedure and the
// commands start and stop.
#pragma once

#include "platform/win32.h"

enum {
    CycleTimer = 1,
    PowerOnTimer = 2,
    // Runs only while a discovery does: each tick reads its answers and
    // sends what is due.
    DiscoveryTimer = 3,
    kDiscoveryTickMs = 25,
    // Runs only while a strip is asked its number of zones.
    ZoneQueryTimer = 4,
    kZoneQueryTickMs = 25,
    kPowerOnAfterResumeMs = 5000,
    kPowerOnAfterUnlockMs = 1000,
};

// The hidden window that receives host, system and tray events; null before
// beginPlugin and after endPlugin.
extern HWND g_pluginWindow;

// Starts CycleTimer with the current cycle interval; a running timer restarts.
void StartCycleTimer();
void StopCycleTimer();
// The scheme's colours afresh: the palette rebuilt from rotation offset 1,
// sent to every light, and cycling started again when it is on.
void ShowScheme();
