// lifx-emulator: emulated LIFX lights on loopback addresses, for end-to-end
// runs of the host programs. It listens until its standard input closes or
// its time runs out, then prints each light's final state.
//
//   lifx-emulator [--seconds N] [--datagrams [--hex]] [--loss PERCENT [--seed N]]
//                 [LIGHT-OPTION...] ADDRESS...
//
// --loss loses that share of what each light receives and of the
// answers it sends, as a bad Wi-Fi network does; the same seed
// (default 1) loses the same datagrams.
//
// Light options describe the address that follows them, and that one only:
//   --strip           a multi-zone strip (without it, a bulb)
//   --zones N         a strip of N zones, 1 to 1000 (a strip has 82 without it)
//   --label TEXT      its label, at most 32 bytes (default "Light ADDRESS")
//   --serial HEX      its serial, 12 hexadecimal digits (default d073d5 and
//                     the address's last three octets, in hexadecimal)
//   --replies MODE    normal (as a real light), silent, malformed (only
//                     broken replies, one per fault) or older-firmware (a
//                     bulb sends nothing for GetExtendedColorZones)
//   --light-loss PERCENT  this light's own loss, each way, instead of --loss's
//   --kind KIND       bulb, strip, older-strip (only the original zone
//                     messages, 8 zones to an answer, at most 255 zones),
//                     matrix or switch (no light: refuses light messages)
//   --product N       the product GetVersion names (default the kind's usual)
//   --firmware M.N    the firmware GetHostFirmware names (default 3.70)
//   --chain WxH,...   a matrix light's tiles in chain order (default 8x8)
//
// "ready" is printed once every address is bound; with --datagrams one line
// per datagram follows as it arrives ("ADDRESS power 65535", "ADDRESS color
// H,S,B,K dur=MS", "ADDRESS zones ...", "ADDRESS effect move ..."), one per
// request ("ADDRESS request GetService target=all from=127.0.0.1:PORT", or
// "ADDRESS ignored GetLabel target=SERIAL ..." for another light's serial)
// and one per reply sent ("ADDRESS reply StateService to=127.0.0.1:PORT",
// "ADDRESS reply StateService broken=size-field to=..."). With --hex the
// lines of Set datagrams end in the datagram's bytes ("hex=2400...").
#include <inttypes.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "emulator/emulator.h"
#include "emulator/light_options.h"

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

void PrintMessageName(int type)
{
    const char *name = EmulatorMessageName(type);
    if (name != nullptr)
        printf("%s", name);
    else
        printf("type-%d", type);
}

void PrintExchange(const EmulatedLight &light, const EmulatorExchange &exchange, int64_t startMs)
{
    static const char *const kKinds[] = {"request", "ignored", "reply"};
    printf("%s %s ", light.address, kKinds[exchange.kind]);
    PrintMessageName(exchange.type);
    if (exchange.kind == EmulatorExchangeReply) {
        if (exchange.fault != EmulatorFaultNone)
            printf(" broken=%s", EmulatorFaultName(exchange.fault));
        printf(" to=%s:%u", exchange.peer, exchange.peerPort);
    } else {
        if (exchange.tagged) {
            printf(" target=all");
        } else {
            printf(" target=");
            for (uint8_t byte : exchange.target)
                printf("%02x", byte);
        }
        printf(" from=%s:%u", exchange.peer, exchange.peerPort);
    }
    printf(" at=+%" PRId64 "ms\n", exchange.atMs - startMs);
}

struct Printed {
    size_t received;
    size_t exchanges;
};

// Set datagrams and exchanges, in the order they happened.
void PrintNewDatagrams(Emulator &emulator, Printed printed[], int64_t startMs, bool hex)
{
    for (int i = 0; i < emulator.lightCount; i++) {
        const EmulatedLight &light = emulator.lights[i];
        Printed &done = printed[i];
        while (done.received < light.received.size() || done.exchanges < light.exchanges.size()) {
            if (done.exchanges < light.exchanges.size() &&
                (light.exchanges[done.exchanges].afterReceived <= done.received ||
                 done.received == light.received.size()))
                PrintExchange(light, light.exchanges[done.exchanges++], startMs);
            else
                PrintDatagram(light, light.received[done.received++], startMs, hex);
        }
    }
    fflush(stdout);
}

int Usage()
{
    fprintf(stderr,
            "usage: lifx-emulator [--seconds N] [--datagrams [--hex]] [--loss PERCENT [--seed N]]\n"
            "                     [LIGHT-OPTION...] ADDRESS...\n"
            "(at most %d loopback addresses)\n"
            "  --loss PERCENT   lose that share (0-100) of what each light receives and of\n"
            "                   its answers; --seed N chooses which (default 1)\n"
            "light options, for the address that follows them:\n"
            "%s",
            kEmulatorMaxLights, kEmulatorLightOptionsUsage);
    return 2;
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
    int lossPercent = 0;
    uint32_t seed = 1;
    bool datagrams = false, hex = false;
    const char *addresses[kEmulatorMaxLights];
    static EmulatorLightOptions lightOptions[kEmulatorMaxLights];
    EmulatorLightOptions next;
    bool pending = false;
    int count = 0;
    for (int i = 1; i < argc; i++) {
        std::string error;
        EmulatorOptionResult light = EmulatorTakeLightOption(argc, argv, i, next, error);
        if (light == EmulatorOptionBad) {
            fprintf(stderr, "lifx-emulator: %s\n", error.c_str());
            return 2;
        }
        if (light == EmulatorOptionTaken) {
            pending = true;
        } else if (!strcmp(argv[i], "--seconds") && i + 1 < argc) {
            seconds = atoi(argv[++i]);
        } else if (!strcmp(argv[i], "--loss") && i + 1 < argc) {
            char *end;
            long percent = strtol(argv[++i], &end, 10);
            if (*end || percent < 0 || percent > 100) {
                fprintf(stderr, "lifx-emulator: --loss takes a percentage from 0 to 100\n");
                return 2;
            }
            lossPercent = (int)percent;
        } else if (!strcmp(argv[i], "--seed") && i + 1 < argc) {
            seed = (uint32_t)strtoul(argv[++i], nullptr, 10);
        } else if (!strcmp(argv[i], "--datagrams")) {
            datagrams = true;
        } else if (!strcmp(argv[i], "--hex")) {
            hex = true;
        } else if (argv[i][0] != '-' && count < kEmulatorMaxLights) {
            if (!EmulatorLightOptionsFit(next, error)) {
                fprintf(stderr, "lifx-emulator: %s\n", error.c_str());
                return 2;
            }
            lightOptions[count] = next;
            addresses[count++] = argv[i];
            next = EmulatorLightOptions();
            pending = false;
        } else {
            return Usage();
        }
    }
    if (pending) {
        fprintf(stderr, "lifx-emulator: light options must come before an address\n");
        return 2;
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
    for (int i = 0; i < count; i++)
        EmulatorApplyLightOptions(emulator.lights[i], lightOptions[i]);
    EmulatorSetLoss(emulator, lossPercent, seed);
    printf("ready\n");
    fflush(stdout);

    int64_t startMs = EmulatorNowMs();
    int64_t endMs = startMs + (int64_t)seconds * 1000;
    Printed printed[kEmulatorMaxLights] = {};
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
