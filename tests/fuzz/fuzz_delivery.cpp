// Datagrams from the network into delivery's acknowledgement reader. Only an
// Acknowledgement of exactly 36 bytes, protocol 1024, our source, from the
// light's own address and with the sequence of its pending message confirms
// that message; anything else (a foreign source, a wrong sequence, another
// sender, a truncated or padded datagram) leaves it pending, and whatever
// arrives, the resends stay bounded and the socket closes.
//
// An input is records: a byte that chooses the sender (127.0.0.N for N up to
// 4, an address outside loopback from 250), two bytes of length, then the
// datagram. Lights 1 to 3 each await a SetLightPower with sequence 1.
#include <string.h>

#include "lifx/delivery.h"
#include "lifx/dispatch.h"
#include "lifx/light_socket.h"
#include "lifx/messages.h"
#include "platform/control_linux.h"
#include "settings/settings.h"
#include "tests/fuzz/fuzz_support.h"

namespace
{

uint16_t U16(const uint8_t *d, size_t at)
{
    return (uint16_t)(d[at] | d[at + 1] << 8);
}

uint32_t U32(const uint8_t *d, size_t at)
{
    return (uint32_t)d[at] | (uint32_t)d[at + 1] << 8 | (uint32_t)d[at + 2] << 16 |
           (uint32_t)d[at + 3] << 24;
}

// Read here apart from the plug-in's reader, so that the two can disagree.
bool ConfirmsLight(uint32_t from, const uint8_t *d, size_t length, int slot, uint32_t source)
{
    return from == 0x7F000000u + (uint32_t)slot && length == 36 && U16(d, 0) == 36 &&
           (U16(d, 2) & 0x0FFF) == 1024 && U32(d, 4) == source && U16(d, 32) == 45 && d[23] == 1;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzResetAll();
    for (int slot = 1; slot <= 3; slot++) {
        char address[16];
        snprintf(address, sizeof address, "127.0.0.%d", slot);
        SetDeviceSlot(slot, address);
    }
    UpdateAnyDeviceConfigured();
    SetPowerAll(true);
    uint32_t source = DeliverySource();
    for (int slot = 1; slot <= 3; slot++)
        FUZZ_CHECK(DeliveryAwaits(slot, kTypeSetLightPower));

    uint32_t now = GetTickCount();
    size_t at = 0;
    FuzzDatagram d;
    while (NextFuzzDatagram(data, size, &at, &d)) {
        uint32_t from = d.sender < 250 ? 0x7F000000u + (d.sender & 3) : 0x0A000000u + d.sender;
        bool waited[4];
        for (int slot = 1; slot <= 3; slot++)
            waited[slot] = DeliveryAwaits(slot, kTypeSetLightPower);
        DeliveryHandleDatagram(from, d.data, d.length);
        for (int slot = 1; slot <= 3; slot++) {
            bool confirms = ConfirmsLight(from, d.data, d.length, slot, source);
            FUZZ_CHECK(DeliveryAwaits(slot, kTypeSetLightPower) == (waited[slot] && !confirms));
        }
    }

    // Whatever is left runs out of tries, and the socket closes.
    int steps = 0;
    for (; steps < 1000 && DeliveryStep(now); steps++)
        now += 25;
    FUZZ_CHECK(steps < 1000);
    ReleaseLightSocket();
    platform::NetStats net = platform::GetNetStats();
    FUZZ_CHECK(net.socketsCreated == net.socketsClosed);
    FUZZ_CHECK(platform::WsaStartupsOutstanding() == 0);
    return 0;
}
