#include "tests/support/lights_fixture.h"

#include "commands/timers.h"
#include "lifx/delivery.h"
#include "lifx/light_socket.h"
#include "settings/settings.h"

std::vector<uint8_t> Unstamped(std::vector<uint8_t> bytes)
{
    for (size_t i : {4, 5, 6, 7, 22, 23}) {
        if (i < bytes.size())
            bytes[i] = 0;
    }
    return bytes;
}

void LightsTest::SetUp()
{
    PluginTest::SetUp();
    TestLoopbackAddresses(addresses, 10);
    const char *list[10];
    for (int i = 0; i < 10; i++)
        list[i] = addresses[i];
    char error[256] = "";
    ASSERT_TRUE(EmulatorStart(emulator, list, 10, error, sizeof error)) << error;
}

void LightsTest::TearDown()
{
    EmulatorStop(emulator);
    PluginTest::TearDown();
}

void LightsTest::UseSlots(std::initializer_list<int> slots)
{
    for (int n : slots)
        SetDeviceSlot(n, addresses[n - 1]);
    UpdateAnyDeviceConfigured();
}

int LightsTest::Poll(int timeoutMs)
{
    return EmulatorPoll(emulator, timeoutMs);
}

int LightsTest::Drain()
{
    // Loopback delivers while the sender is still in send(); a short wait
    // only covers a busy machine.
    int total = 0;
    for (int i = 0; i < 50; i++) {
        int n = EmulatorPoll(emulator, i == 0 ? 50 : 5);
        if (n == 0)
            break;
        total += n;
    }
    return total;
}

void LightsTest::Confirm()
{
    for (int i = 0; i < 20; i++) {
        Drain();
        OfferLightAnswers(GetTickCount());
        DeliveryStep(GetTickCount());
        if (!DeliveryPending())
            break;
    }
    ReleaseLightSocket();
}

void LightsTest::Pass(int ms)
{
    const int tick = 25;
    for (int passed = 0; passed < ms; passed += tick) {
        for (int i = 0; i < 100 && EmulatorPoll(emulator, 0) > 0; i++) {
        }
        platform::AdvanceClock(ms - passed < tick ? ms - passed : tick);
    }
    for (int i = 0; i < 100 && EmulatorPoll(emulator, 0) > 0; i++) {
    }
}

std::vector<int> LightsTest::Types(int n)
{
    std::vector<int> types;
    for (const ReceivedDatagram &d : Light(n).received)
        types.push_back(d.type);
    return types;
}

void LightsTest::ResetLights()
{
    Drain();
    EmulatorResetLights(emulator);
}
