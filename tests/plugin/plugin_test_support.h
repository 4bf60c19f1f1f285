#pragma once

#include <string>

#include "tests/support/lights_fixture.h"

// A plug-in started by beginPlugin in a folder holding the given settings,
// with emulated lights in the slots the settings name.
class StartedPluginTest : public LightsTest
{
  protected:
    void TearDown() override;
    // Settings lines; "{N}" stands for emulated light N's address.
    void Start(const std::string &settings, int expectedResult = 0);
    void Stop();
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    bool CycleTimerRunning(UINT *period = nullptr);
    bool PowerOnTimerRunning(UINT *period = nullptr);
    int TotalDatagrams();
    bool started = false;
};

// Sends a command to the plug-in window as the host does.
void HandleCommandText(const char *text);
