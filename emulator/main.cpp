// lifx-emulator: emulated LIFX lights on loopback addresses, for end-to-end
// runs of the host programs. It listens until its standard input closes or
// its time runs out, then prints each light's final state.
//
//   lifx-emulator [--seconds N] [--datagrams [--hex]] ADDRESS...
//
// "ready" is printed once every address is bound; with --datagrams one line
// per datagram follows as it arrives ("ADDRESS power 65535", "ADDRESS color
// H,S,B,K dur=MS", "ADDRESS zones ...", "ADDRESS effect move ..."), with
// --hex ending in the datagram's bytes ("hex=2400...").
#include <inttypes.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "emulator/emulator.h"

namespace
{

const int kDefaultSeconds = 600;

void PrintHsbk(const Hsbk &colour)
{
    printf("%u,%u,%u,%u", colour.hue, colour.saturation, colour.brightness, colour.kelvin);
}

// One line for one datagram, decoded afresh into a light of its own.
void PrintDatagram(const EmulatedLight &light, const ReceivedDatagram &datagram, int64_t startMs,
                   bool hex)
{
    EmulatedLight decoded;
    EmulatorApplyDatagram(decoded, datagram.bytes.data(), datagram.bytes.size(), datagram.atMs);
    printf("%s ", light.address);
    switch (datagram.type) {
    case kEmulatorTypeSetLightPower:
        printf("power %u dur=%" PRIu32, decoded.powerLevel, decoded.powerDuration);
        break;
    case kEmulatorTypeSetColor:
        printf("color ");
        PrintHsbk(decoded.colour);
        printf(" dur=%" PRIu32, decoded.colourDuration);
        break;
    case kEmulatorTypeSetExtendedColorZones:
        printf("zones dur=%" PRIu32 " count=%u z0=", decoded.zonesDuration, decoded.zoneCount);
        PrintHsbk(decoded.zones[0]);
        printf(" z1=");
        PrintHsbk(decoded.zones[1]);
        printf(" z81=");
        PrintHsbk(decoded.zones[kEmulatorZones - 1]);
        break;
    case kEmulatorTypeSetMultiZoneEffect:
        if (decoded.moveOn)
            printf("effect move speed=%" PRIu32 " dir=%" PRIu32, decoded.moveSpeedMs,
                   decoded.moveDirection);
        else
            printf("effect off type=%u", decoded.effectType);
        break;
    default:
        printf("type %u", datagram.type);
        break;
    }
    printf(" at=+%" PRId64 "ms", datagram.atMs - startMs);
    if (hex) {
        printf(" hex=");
        for (uint8_t byte : datagram.bytes)
            printf("%02x", byte);
    }
    printf("\n");
}

void PrintNewDatagrams(Emulator &emulator, size_t printed[], int64_t startMs, bool hex)
{
    for (int i = 0; i < emulator.lightCount; i++) {
        const EmulatedLight &light = emulator.lights[i];
        for (; printed[i] < light.received.size(); printed[i]++)
            PrintDatagram(light, light.received[printed[i]], startMs, hex);
    }
    fflush(stdout);
}

// True once standard input has closed.
bool InputClosed(short revents)
{
    if (!(revents & (POLLIN | POLLHUP | POLLERR)))
        return false;
    char buffer[256];
    ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
    return n <= 0;
}

} // namespace

int main(int argc, char **argv)
{
    int seconds = kDefaultSeconds;
    bool datagrams = false, hex = false;
    const char *addresses[kEmulatorMaxLights];
    int count = 0;
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "--seconds") && i + 1 < argc) {
            seconds = atoi(argv[++i]);
        } else if (!strcmp(argv[i], "--datagrams")) {
            datagrams = true;
        } else if (!strcmp(argv[i], "--hex")) {
            hex = true;
        } else if (argv[i][0] != '-' && count < kEmulatorMaxLights) {
            addresses[count++] = argv[i];
        } else {
            fprintf(stderr,
                    "usage: lifx-emulator [--seconds N] [--datagrams [--hex]] ADDRESS...\n"
                    "(at most %d loopback addresses)\n",
                    kEmulatorMaxLights);
            return 2;
        }
    }
    if (count == 0 || seconds <= 0) {
        fprintf(stderr, "lifx-emulator: give at least one address and a positive time\n");
        return 2;
    }

    static Emulator emulator;
    char error[256] = "";
    if (!EmulatorStart(emulator, addresses, count, error, sizeof error)) {
        fprintf(stderr, "lifx-emulator: %s\n", error);
        return 1;
    }
    printf("ready\n");
    fflush(stdout);

    int64_t startMs = EmulatorNowMs();
    int64_t endMs = startMs + (int64_t)seconds * 1000;
    size_t printed[kEmulatorMaxLights] = {};
    bool inputOpen = true;
    // Bounded by the time limit: each pass waits at most a second.
    while (inputOpen && EmulatorNowMs() < endMs) {
        pollfd fds[kEmulatorMaxLights + 1];
        for (int i = 0; i < emulator.lightCount; i++)
            fds[i] = {emulator.sockets[i], POLLIN, 0};
        fds[count] = {STDIN_FILENO, POLLIN, 0};
        int64_t wait = endMs - EmulatorNowMs();
        poll(fds, (nfds_t)count + 1, wait > 1000 ? 1000 : (int)(wait < 0 ? 0 : wait));
        EmulatorPoll(emulator, 0);
        if (datagrams)
            PrintNewDatagrams(emulator, printed, startMs, hex);
        if (InputClosed(fds[count].revents))
            inputOpen = false;
    }
    // What was sent before the input closed is already queued: read it all.
    for (int i = 0; i < 1000 && EmulatorPoll(emulator, 0) > 0; i++) {
    }
    if (datagrams)
        PrintNewDatagrams(emulator, printed, startMs, hex);

    for (int i = 0; i < emulator.lightCount; i++)
        printf("final %s\n", EmulatorDescribeLight(emulator.lights[i]).c_str());
    printf("malformed %ld\n", emulator.malformed);
    fflush(stdout);
    EmulatorStop(emulator);
    return 0;
}
