// chromalet_settle: how soon a bulb on a lossy network shows a change, for
// the plug-in's confirmed delivery and for the peer library (lifx-lan-client
// with its default resends), one after the other against the same emulated
// bulbs on loopback, in one run and on the real clock. Each bulb is sent a
// run of changes, each a colour of its own; the next one goes out 100 ms
// after the last arrived or its sender gave up on it. Prints, for each
// client, the 90th percentile of the time from asking to the bulb's first
// datagram of the change, and how many changes never arrived; then their
// ratio.
//
//   chromalet_settle --loss PERCENT [--seed N] [--changes N] [--peer SCRIPT]
#include <math.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "commands/timers.h"
#include "emulator/emulator.h"
#include "emulator/loopback.h"
#include "lifx/delivery.h"
#include "lifx/light_socket.h"
#include "lifx/messages.h"
#include "platform/control_linux.h"
#include "settings/settings.h"

namespace
{

enum {
    kBulbs = 8,
    kTickMs = 25, // the answers timer's period
    kGapMs = 100,
    kPhaseLimitMs = 240000,
};

struct Change {
    double issuedMs = -1;
    double arrivedMs = -1;
    bool givenUp = false;
};

struct Bulb {
    int current = 0; // the change last asked for, 1 to N; 0 before the first
    bool asked = false;
    double nextAtMs = 0;
    size_t seen = 0;
    std::vector<Change> changes;
};

double Now()
{
    return (double)EmulatorNowMs();
}

uint16_t HueOf(int change)
{
    return (uint16_t)lround((change * 4 % 360) / 360.0 * 65535);
}

// Reads the colours that reached each bulb since the last look.
void NoteArrivals(Emulator &emulator, Bulb *bulbs, int changes)
{
    for (int b = 0; b < kBulbs; b++) {
        const EmulatedLight &light = emulator.lights[b];
        for (; bulbs[b].seen < light.received.size(); bulbs[b].seen++) {
            const ReceivedDatagram &d = light.received[bulbs[b].seen];
            if (d.type != kEmulatorTypeSetColor || d.bytes.size() < 39)
                continue;
            int hue = d.bytes[37] | d.bytes[38] << 8;
            int change = (int)lround(hue * 360.0 / 65535 / 4);
            if (change >= 1 && change <= changes && bulbs[b].changes[change].arrivedMs < 0)
                bulbs[b].changes[change].arrivedMs = (double)d.atMs;
        }
    }
}

// Whether the bulb may be asked its next change now, and whether all are done.
bool Ready(Bulb &bulb, double now)
{
    if (bulb.current > 0) {
        Change &change = bulb.changes[bulb.current];
        if (change.arrivedMs < 0 && !change.givenUp)
            return false;
        if (bulb.nextAtMs == 0)
            bulb.nextAtMs = now + kGapMs;
    }
    return bulb.current == 0 || now >= bulb.nextAtMs;
}

struct Result {
    double p90 = -1; // negative: more than a tenth never arrived
    int unchanged = 0;
    int total = 0;
};

Result Summarize(Bulb *bulbs, int changes)
{
    Result result;
    std::vector<double> times;
    for (int b = 0; b < kBulbs; b++) {
        for (int k = 1; k <= changes; k++) {
            const Change &c = bulbs[b].changes[k];
            result.total++;
            if (c.arrivedMs < 0 || c.issuedMs < 0)
                result.unchanged++;
            else
                times.push_back(std::max(0.0, c.arrivedMs - c.issuedMs));
        }
    }
    std::sort(times.begin(), times.end());
    size_t rank = (size_t)ceil(0.9 * result.total);
    if (rank >= 1 && rank <= times.size())
        result.p90 = times[rank - 1];
    return result;
}

void ResetBulbs(Bulb *bulbs, int changes)
{
    for (int b = 0; b < kBulbs; b++) {
        bulbs[b] = Bulb();
        bulbs[b].changes.resize((size_t)changes + 1);
    }
}

bool AllDone(Bulb *bulbs, int changes, double now)
{
    for (int b = 0; b < kBulbs; b++) {
        if (bulbs[b].current < changes || !Ready(bulbs[b], now + kGapMs))
            return false;
    }
    return true;
}

// The plug-in's own delivery, its answers timer stepped every 25 ms.
Result RunPlugin(Emulator &emulator, char (*addresses)[kLoopbackAddressSize], int changes)
{
    static Bulb bulbs[kBulbs];
    ResetBulbs(bulbs, changes);
    ClearDeviceTable();
    for (int b = 0; b < kBulbs; b++)
        SetDeviceSlot(b + 1, addresses[b]);
    UpdateAnyDeviceConfigured();
    AcquireLightSocket();
    double start = Now(), nextTick = start + kTickMs;
    while (Now() - start < kPhaseLimitMs) {
        double now = Now();
        for (int b = 0; b < kBulbs; b++) {
            if (bulbs[b].current >= changes || !Ready(bulbs[b], now))
                continue;
            int k = ++bulbs[b].current;
            bulbs[b].nextAtMs = 0;
            uint8_t colour[kSetColorSize];
            EncodeSetColor(colour, Hsbk{HueOf(k), 65535, 32768, 3500}, 0);
            bulbs[b].changes[k].issuedMs = Now();
            DeliverConfirmed(b + 1, colour, kSetColorSize);
        }
        int wait = (int)(nextTick - Now());
        EmulatorPoll(emulator, wait < 0 ? 0 : wait > 5 ? 5 : wait);
        NoteArrivals(emulator, bulbs, changes);
        if (Now() >= nextTick) {
            OfferLightAnswers(GetTickCount());
            DeliveryStep(GetTickCount());
            nextTick += kTickMs;
        }
        for (int b = 0; b < kBulbs; b++) {
            Change &c = bulbs[b].changes[bulbs[b].current];
            if (bulbs[b].current > 0 && c.arrivedMs < 0 && !DeliveryAwaits(b + 1, kTypeSetColor))
                c.givenUp = true;
        }
        if (AllDone(bulbs, changes, Now()) && !DeliveryPending())
            break;
    }
    DropDeliveries();
    ReleaseLightSocket();
    CloseLightSocket();
    return Summarize(bulbs, changes);
}

struct Peer {
    pid_t pid = -1;
    int in = -1, out = -1;
    std::string buffer;
};

bool StartPeer(Peer &peer, const char *script, char (*addresses)[kLoopbackAddressSize])
{
    int toPeer[2], fromPeer[2];
    if (pipe(toPeer) || pipe(fromPeer))
        return false;
    std::vector<std::string> args = {"node", script};
    for (int b = 0; b < kBulbs; b++) {
        unsigned a = 0, b1 = 0, c = 0, d = 0;
        sscanf(addresses[b], "%u.%u.%u.%u", &a, &b1, &c, &d);
        // The emulator's serial for the address: d073d5 and its last octets.
        char arg[64];
        snprintf(arg, sizeof arg, "%.15s:d073d5%02x%02x%02x", addresses[b], b1 & 0xFFu, c & 0xFFu,
                 d & 0xFFu);
        args.push_back(arg);
    }
    peer.pid = fork();
    if (peer.pid == 0) {
        dup2(toPeer[0], 0);
        dup2(fromPeer[1], 1);
        close(toPeer[1]);
        close(fromPeer[0]);
        std::vector<char *> argv;
        for (std::string &arg : args)
            argv.push_back(&arg[0]);
        argv.push_back(nullptr);
        execvp("node", argv.data());
        _exit(127);
    }
    close(toPeer[0]);
    close(fromPeer[1]);
    peer.in = toPeer[1];
    peer.out = fromPeer[0];
    return peer.pid > 0;
}

// One whole line from the peer, waiting at most timeoutMs for it.
bool PeerLine(Peer &peer, std::string &line, int timeoutMs)
{
    for (int round = 0; round < 2; round++) {
        size_t end = peer.buffer.find('\n');
        if (end != std::string::npos) {
            line = peer.buffer.substr(0, end);
            peer.buffer.erase(0, end + 1);
            return true;
        }
        pollfd fd = {peer.out, POLLIN, 0};
        if (poll(&fd, 1, timeoutMs) <= 0)
            return false;
        char chunk[4096];
        ssize_t got = read(peer.out, chunk, sizeof chunk);
        if (got <= 0)
            return false;
        peer.buffer.append(chunk, (size_t)got);
    }
    return false;
}

void StopPeer(Peer &peer)
{
    if (peer.in >= 0)
        close(peer.in);
    for (int i = 0; i < 40 && peer.pid > 0; i++) {
        if (waitpid(peer.pid, nullptr, WNOHANG) == peer.pid) {
            peer.pid = -1;
            break;
        }
        usleep(50000);
    }
    if (peer.pid > 0) {
        kill(peer.pid, SIGTERM);
        waitpid(peer.pid, nullptr, 0);
    }
    if (peer.out >= 0)
        close(peer.out);
    peer = Peer();
}

bool RunPeer(Emulator &emulator, char (*addresses)[kLoopbackAddressSize], int changes,
             const char *script, Result &result)
{
    static Bulb bulbs[kBulbs];
    ResetBulbs(bulbs, changes);
    Peer peer;
    std::string line;
    if (!StartPeer(peer, script, addresses) || !PeerLine(peer, line, 10000) || line != "ready") {
        StopPeer(peer);
        return false;
    }
    double start = Now();
    while (Now() - start < kPhaseLimitMs) {
        double now = Now();
        for (int b = 0; b < kBulbs; b++) {
            if (bulbs[b].current >= changes || !Ready(bulbs[b], now))
                continue;
            int k = ++bulbs[b].current;
            bulbs[b].nextAtMs = 0;
            char go[32];
            int length = snprintf(go, sizeof go, "go %d %d\n", b, k);
            if (write(peer.in, go, (size_t)length) != length) {
                StopPeer(peer);
                return false;
            }
        }
        EmulatorPoll(emulator, 2);
        while (PeerLine(peer, line, 0)) {
            char word[8];
            int b, k;
            double ms;
            char outcome[8];
            if (sscanf(line.c_str(), "%7s %d %d", word, &b, &k) != 3 || b < 0 || b >= kBulbs ||
                k < 1 || k > changes)
                continue;
            if (!strcmp(word, "sent") && sscanf(line.c_str(), "%*s %*d %*d %lf", &ms) == 1)
                bulbs[b].changes[k].issuedMs = ms;
            else if (!strcmp(word, "done") &&
                     sscanf(line.c_str(), "%*s %*d %*d %7s", outcome) == 1 &&
                     !strcmp(outcome, "error"))
                bulbs[b].changes[k].givenUp = true;
        }
        NoteArrivals(emulator, bulbs, changes);
        if (AllDone(bulbs, changes, Now()))
            break;
    }
    StopPeer(peer);
    result = Summarize(bulbs, changes);
    return true;
}

void PrintResult(const char *who, const Result &result)
{
    if (result.p90 < 0)
        printf("  %-8s p90 -- (over a tenth never arrived), %d of %d changes never arrived\n", who,
               result.unchanged, result.total);
    else
        printf("  %-8s p90 %6.0f ms, %d of %d changes never arrived\n", who, result.p90,
               result.unchanged, result.total);
}

} // namespace

int main(int argc, char **argv)
{
    int loss = -1, changes = 80;
    uint32_t seed = 1;
    const char *script = nullptr;
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "--loss") && i + 1 < argc)
            loss = atoi(argv[++i]);
        else if (!strcmp(argv[i], "--seed") && i + 1 < argc)
            seed = (uint32_t)strtoul(argv[++i], nullptr, 10);
        else if (!strcmp(argv[i], "--changes") && i + 1 < argc)
            changes = atoi(argv[++i]);
        else if (!strcmp(argv[i], "--peer") && i + 1 < argc)
            script = argv[++i];
        else
            loss = -2;
    }
    if (loss < 0 || loss > 100 || changes < 1 || changes > 89) {
        fprintf(stderr, "usage: chromalet_settle --loss PERCENT [--seed N] [--changes 1-89] "
                        "[--peer SCRIPT]\n");
        return 2;
    }
    signal(SIGPIPE, SIG_IGN);
    platform::UseManualClock(false);
    static Emulator emulator;
    char addresses[kBulbs][kLoopbackAddressSize];
    TestLoopbackAddresses(addresses, kBulbs, 3);
    const char *const names[kBulbs] = {addresses[0], addresses[1], addresses[2], addresses[3],
                                       addresses[4], addresses[5], addresses[6], addresses[7]};
    char error[256] = "";
    if (!EmulatorStart(emulator, names, kBulbs, error, sizeof error)) {
        fprintf(stderr, "chromalet_settle: %s\n", error);
        return 1;
    }
    EmulatorSetLoss(emulator, loss, seed);
    for (int b = 0; b < kBulbs; b++)
        emulator.lights[b].takesAddressed = true;
    printf("settle at %d%% loss each way, %d bulbs, %d changes each:\n", loss, kBulbs, changes);
    Result plugin = RunPlugin(emulator, addresses, changes);
    PrintResult("plug-in", plugin);
    EmulatorResetLights(emulator);
    Result library;
    bool ran = script && RunPeer(emulator, addresses, changes, script, library);
    EmulatorStop(emulator);
    if (!ran) {
        printf("  library not run (node, or tests/peer/node_modules, missing)\n");
        return 0;
    }
    PrintResult("library", library);
    if (plugin.p90 >= 0 && library.p90 > 0)
        printf("settle ratio to the library at %d%% loss: %.2f\n", loss, plugin.p90 / library.p90);
    else
        printf("settle ratio to the library at %d%% loss: --\n", loss);
    return 0;
}
