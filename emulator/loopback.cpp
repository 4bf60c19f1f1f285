#include "emulator/loopback.h"

#include <stdio.h>
#include <unistd.h>

namespace
{

const int kGroupWidth = 16;
const int kGroups = 15; // 15 x 16 stays within the fourth octet's 1-254

} // namespace

void TestLoopbackAddresses(char out[][kLoopbackAddressSize], int count, int group)
{
    unsigned pid = (unsigned)getpid();
    unsigned second = 10 + (pid / 250) % 40;
    unsigned third = pid % 250 + 1;
    unsigned first = 1 + (unsigned)((group % kGroups + kGroups) % kGroups) * kGroupWidth;
    for (int n = 0; n < count; n++) {
        if (n < kGroupWidth) {
            // Each octet is below 256 already; the masks tell the compiler so.
            unsigned fourth = first + (unsigned)n;
            snprintf(out[n], kLoopbackAddressSize, "127.%u.%u.%u", second & 0xFF, third & 0xFF,
                     fourth & 0xFF);
        } else {
            out[n][0] = '\0';
        }
    }
}
