// Tests that watch what emulated lights on loopback receive.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "emulator/emulator.h"
#include "emulator/loopback.h"
#include "tests/support/plugin_fixture.h"

// A datagram as it was before it asked for an acknowledgement: the source
// (bytes 4-7), the flags (22) and the sequence (23) zeroed, every other byte
// as sent.
std::vector<uint8_t> Unstamped(std::vector<uint8_t> bytes);

class LightsTest : public PluginTest
{
  protected:
    void SetUp() override;
    void TearDown() override;
    // Puts emulated light n (1-10) into device slot n for each slot given.
    void UseSlots(std::initializer_list<int> slots);
    // Reads what has arrived; wait for at least one datagram when one is due.
    int Poll(int timeoutMs = 200);
    // Reads until nothing more arrives, and returns the count.
    int Drain();
    // Reads what has arrived, lets the plug-in read the lights'
    // acknowledgements (without time passing, so nothing is resent), and
    // closes the shared socket once nothing awaits one.
    void Confirm();
    // Lets ms pass on the manual clock in timer ticks, the lights reading
    // and answering between ticks as they would in real time.
    void Pass(int ms);
    // Reads what is on its way, then forgets what every light received.
    void ResetLights();
    EmulatedLight &Light(int n) { return emulator.lights[n - 1]; }
    const char *Address(int n) const { return addresses[n - 1]; }
    // The types of the datagrams light n received, in order.
    std::vector<int> Types(int n);

    Emulator emulator;
    char addresses[10][kLoopbackAddressSize];
};
