// The plug-in started by beginPlugin on a settings file the test wrote, with
// emulated lights in the slots it names, for tests that then break something
// underneath it: the network, the settings file or its folder, the host.
#pragma once

#include <string>

#include "tests/support/lights_fixture.h"

class FaultTest : public LightsTest
{
  protected:
    void TearDown() override;
    // Settings lines; "{N}" stands for emulated light N's address. The
    // debug log is on unless the lines say otherwise.
    void Start(const std::string &settings);
    void Stop();
    // A command as the host delivers it, through the plug-in's window.
    void Command(const std::string &text);
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    // The host's log lines as "level text", and whether one is there.
    bool Logged(const std::string &line);
    // "Chromalet-LIFX -> <what> device #n at <address> port 56700!"
    std::string DeviceError(const char *what, int n);
    // Reads what is on its way to the lights, then forgets it and the
    // host's records.
    void Forget();
    bool started = false;
};
