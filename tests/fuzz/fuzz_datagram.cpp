// Datagrams through the light emulator's decoder. The decoder is what the
// tests trust to say what a light shows, so it must refuse anything that is
// not exactly one of the four messages, and change nothing when it does.
#include <string.h>

#include "emulator/emulator.h"
#include "tests/fuzz/fuzz_support.h"

namespace
{

EmulatedLight light;
int64_t now;
unsigned inputs;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // What it received is kept; start afresh now and then to bound it.
    if (++inputs % 256 == 0)
        EmulatorResetLight(light);

    int type = EmulatorDatagramType(data, size);
    int malformedBefore = light.malformed;
    size_t receivedBefore = light.received.size();
    now += 7;

    bool applied = EmulatorApplyDatagram(light, data, size, now);

    FUZZ_CHECK(applied == (type != 0));
    if (!applied) {
        FUZZ_CHECK(light.malformed == malformedBefore + 1);
        FUZZ_CHECK(light.received.size() == receivedBefore);
    } else {
        FUZZ_CHECK(light.malformed == malformedBefore);
        FUZZ_CHECK(light.received.size() == receivedBefore + 1);
        FUZZ_CHECK(light.received.back().type == type);
        FUZZ_CHECK(light.received.back().bytes.size() == size);
        FUZZ_CHECK(EmulatorMessagesInLastSecond(light, now) >= 1);
    }
    return 0;
}
