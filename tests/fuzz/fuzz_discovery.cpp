// Answers from the network into a running discovery. Whatever arrives, it
// keeps at most 64 lights in fixed arrays, each with a serial and a
// terminated label, reports them in the order of their addresses, and its
// window still closes with its socket.
//
// An input is records: a byte that chooses the sender (127.0.0.N, or an
// address outside loopback when the byte is 250 or more), two bytes of
// length, then the datagram.
#include <string.h>

#include "lifx/discovery.h"
#include "platform/control_linux.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzResetAll();
    // A broadcast discovery hears anyone. What it sends beyond loopback is
    // refused by the network guard, and never leaves.
    platform::SetInterfaces({});
    platform::RecordRefusedDestinations(true, false);
    uint32_t now = 1000;
    DiscoveryTarget target = {DiscoverBroadcast, 0, 0};
    FUZZ_CHECK(StartDiscovery(target, now) == DiscoveryStarted);

    size_t at = 0;
    FuzzDatagram d;
    while (NextFuzzDatagram(data, size, &at, &d)) {
        uint32_t from = d.sender < 250 ? 0x7F000000u + d.sender : 0x0A000000u + d.sender;
        now += 5;
        DiscoveryHandleDatagram(from, d.data, d.length, now);
    }

    // The window closes within its longest time.
    int steps = 0;
    for (; steps < 1000 && DiscoveryStep(now); steps++)
        now += 25;
    FUZZ_CHECK(steps < 1000);
    FUZZ_CHECK(DiscoveryFinished() && !DiscoveryRunning());

    const DiscoveredLight *lights;
    int count = DiscoveredLights(&lights);
    FUZZ_CHECK(count >= 0 && count <= kMaxResponders);
    static const uint8_t kNoSerial[kSerialSize] = {};
    for (int i = 0; i < count; i++) {
        FUZZ_CHECK(memchr(lights[i].label, 0, sizeof lights[i].label) != nullptr);
        FUZZ_CHECK(memcmp(lights[i].serial, kNoSerial, kSerialSize) != 0);
        FUZZ_CHECK(i == 0 || lights[i - 1].address < lights[i].address);
        FUZZ_CHECK(lights[i].labelKnown || !lights[i].label[0]);
    }
    StopDiscovery();
    platform::NetStats net = platform::GetNetStats();
    FUZZ_CHECK(net.socketsCreated == net.socketsClosed);
    FUZZ_CHECK(platform::WsaStartupsOutstanding() == 0);
    return 0;
}
