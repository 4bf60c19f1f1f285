// The emulator's sockets: one per light address, bound to that address alone,
// read without blocking; a light's replies leave from its own socket.
#include "emulator/emulator.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

// Every program here is linked with socket() wrapped by the network guard,
// which also counts the plug-in's sockets and injects faults into them. The
// emulator's listening sockets are not the plug-in's: they bypass the
// wrapper so they neither skew those counts nor suffer those faults. Binding
// has no destination to guard; replies go through the guarded sendto.
extern "C" int __real_socket(int domain, int type, int protocol);

namespace
{

// Larger than any message, so an oversized datagram is seen whole enough to
// be refused; MSG_TRUNC reports its real length anyway.
const size_t kReceiveBufferSize = 2048;

// A bound on one poll's reads per socket, so a flood cannot hold the caller.
const int kMaxReadsPerSocket = 10000;

// Room for a few thousand small datagrams between two polls; the kernel caps
// it at its own maximum.
const int kSocketBufferBytes = 1 << 20;

__attribute__((format(printf, 3, 4))) void SetError(char *error, size_t errorSize,
                                                    const char *format, ...)
{
    if (error == nullptr || errorSize == 0) {
        return;
    }
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(error, errorSize, format, arguments);
    va_end(arguments);
}

bool ParseLoopback(const char *address, sockaddr_in &socketAddress)
{
    memset(&socketAddress, 0, sizeof(socketAddress));
    socketAddress.sin_family = AF_INET;
    socketAddress.sin_port = htons(kEmulatorPort);
    if (inet_pton(AF_INET, address, &socketAddress.sin_addr) != 1) {
        return false;
    }
    return (ntohl(socketAddress.sin_addr.s_addr) >> 24) == 127;
}

int OpenLightSocket(const char *address, char *error, size_t errorSize)
{
    sockaddr_in socketAddress;
    if (address == nullptr || strlen(address) >= kEmulatorAddressSize ||
        !ParseLoopback(address, socketAddress)) {
        SetError(error, errorSize, "refusing address \"%s\": only 127.0.0.0/8 is allowed",
                 address == nullptr ? "(null)" : address);
        return -1;
    }
    int fd = __real_socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) {
        SetError(error, errorSize, "cannot open a socket for %s: %s", address, strerror(errno));
        return -1;
    }
    // No SO_REUSEADDR: a second emulator on the same address must fail here.
    int bufferBytes = kSocketBufferBytes;
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bufferBytes, sizeof(bufferBytes));
    int flags = fcntl(fd, F_GETFL, 0);
    if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0 ||
        fcntl(fd, F_SETFD, FD_CLOEXEC) < 0) {
        SetError(error, errorSize, "cannot make the socket for %s non-blocking: %s", address,
                 strerror(errno));
        close(fd);
        return -1;
    }
    if (bind(fd, (const sockaddr *)&socketAddress, sizeof(socketAddress)) != 0) {
        SetError(error, errorSize, "cannot listen on %s port %d: %s", address, (int)kEmulatorPort,
                 strerror(errno));
        close(fd);
        return -1;
    }
    return fd;
}

void CloseAll(Emulator &emulator)
{
    for (int i = 0; i < emulator.lightCount; i++) {
        if (emulator.sockets[i] >= 0) {
            close(emulator.sockets[i]);
        }
        emulator.sockets[i] = -1;
    }
    emulator.lightCount = 0;
    emulator.running = false;
}

bool IsLoopback(const sockaddr_in &address)
{
    return address.sin_family == AF_INET && (ntohl(address.sin_addr.s_addr) >> 24) == 127;
}

void RecordReply(EmulatedLight &light, const EmulatorReply &reply, const char *to, uint16_t port,
                 int64_t nowMs)
{
    EmulatorExchange exchange = {};
    exchange.kind = EmulatorExchangeReply;
    exchange.type = reply.type;
    exchange.fault = reply.fault;
    snprintf(exchange.peer, sizeof(exchange.peer), "%s", to);
    exchange.peerPort = port;
    exchange.atMs = nowMs;
    exchange.afterReceived = light.received.size();
    light.exchanges.push_back(exchange);
}

// Replies go back to where the request came from, and only on loopback.
void SendReplies(Emulator &emulator, int index, const EmulatorReplies &replies,
                 const sockaddr_in &to, const char *toText)
{
    if (!IsLoopback(to)) {
        return;
    }
    EmulatedLight &light = emulator.lights[index];
    for (int i = 0; i < replies.count; i++) {
        const EmulatorReply &reply = replies.replies[i];
        bool acknowledgement = reply.type == kEmulatorTypeAcknowledgement;
        light.acknowledgements += acknowledgement;
        // Each way: answers to the questions that find lights are lost too.
        if (EmulatorLightLoses(emulator, &light)) {
            light.lostAcknowledgements += acknowledgement;
            continue;
        }
        ssize_t sent = sendto(emulator.sockets[index], reply.bytes, reply.length, 0,
                              (const sockaddr *)&to, sizeof(to));
        // A full send buffer loses the reply, as a busy network would.
        if (sent != (ssize_t)reply.length) {
            continue;
        }
        light.repliesSent++;
        emulator.sentDatagrams++;
        RecordReply(light, reply, toText, ntohs(to.sin_port), EmulatorNowMs());
    }
}

int DrainSocket(Emulator &emulator, int index)
{
    uint8_t buffer[kReceiveBufferSize];
    EmulatorReplies replies;
    int handled = 0;
    for (int reads = 0; reads < kMaxReadsPerSocket; reads++) {
        sockaddr_in from;
        socklen_t fromLength = sizeof(from);
        memset(&from, 0, sizeof(from));
        ssize_t length = recvfrom(emulator.sockets[index], buffer, sizeof(buffer), MSG_TRUNC,
                                  (sockaddr *)&from, &fromLength);
        if (length < 0) {
            if (errno == EINTR) {
                continue;
            }
            break; // EAGAIN: nothing more now
        }
        handled++;
        EmulatedLight &light = emulator.lights[index];
        bool chosen =
            light.loseCount > 0 && length >= 34 && (buffer[32] | buffer[33] << 8) == light.loseType;
        if (light.off || chosen || EmulatorLightLoses(emulator, &light)) {
            light.loseCount -= chosen ? 1 : 0;
            light.lostDatagrams++;
            continue;
        }
        if ((size_t)length > sizeof(buffer)) {
            light.malformed++;
            emulator.malformed++;
            continue;
        }
        char fromText[INET_ADDRSTRLEN] = "";
        if (from.sin_family == AF_INET) {
            inet_ntop(AF_INET, &from.sin_addr, fromText, sizeof(fromText));
        }
        EmulatorOutcome outcome =
            EmulatorHandleDatagram(light, buffer, (size_t)length, fromText, ntohs(from.sin_port),
                                   EmulatorNowMs(), replies);
        if (outcome == EmulatorRefused) {
            emulator.malformed++;
        } else if (outcome == EmulatorRequested || replies.count > 0) {
            SendReplies(emulator, index, replies, from, fromText);
        }
    }
    return handled;
}

} // namespace

bool EmulatorStart(Emulator &emulator, const char *const addresses[], int count, char *error,
                   size_t errorSize)
{
    if (error != nullptr && errorSize > 0) {
        error[0] = '\0';
    }
    if (emulator.running) {
        SetError(error, errorSize, "the emulator is already running");
        return false;
    }
    if (addresses == nullptr || count < 1 || count > kEmulatorMaxLights) {
        SetError(error, errorSize, "the emulator takes 1 to %d addresses", (int)kEmulatorMaxLights);
        return false;
    }
    emulator.lightCount = 0;
    emulator.malformed = 0;
    emulator.sentDatagrams = 0;
    for (int i = 0; i < count; i++) {
        int fd = OpenLightSocket(addresses[i], error, errorSize);
        if (fd < 0) {
            CloseAll(emulator);
            return false;
        }
        emulator.sockets[i] = fd;
        emulator.lightCount = i + 1;
        EmulatedLight &light = emulator.lights[i];
        light = EmulatedLight();
        snprintf(light.address, sizeof(light.address), "%s", addresses[i]);
        EmulatorSetDefaultIdentity(light);
    }
    emulator.running = true;
    return true;
}

int EmulatorPoll(Emulator &emulator, int timeoutMs)
{
    if (!emulator.running) {
        return 0;
    }
    pollfd fds[kEmulatorMaxLights];
    for (int i = 0; i < emulator.lightCount; i++) {
        fds[i].fd = emulator.sockets[i];
        fds[i].events = POLLIN;
        fds[i].revents = 0;
    }
    // One wait only: a signal cutting it short just means nothing was ready.
    if (poll(fds, (nfds_t)emulator.lightCount, timeoutMs < 0 ? 0 : timeoutMs) <= 0) {
        return 0;
    }
    // Every socket is read, not only those poll saw ready, so datagrams that
    // arrived during the wait are handled in this call too.
    int handled = 0;
    for (int i = 0; i < emulator.lightCount; i++) {
        handled += DrainSocket(emulator, i);
    }
    return handled;
}

void EmulatorStop(Emulator &emulator)
{
    CloseAll(emulator);
}

void EmulatorResetLights(Emulator &emulator)
{
    for (int i = 0; i < emulator.lightCount; i++) {
        EmulatorResetLight(emulator.lights[i]);
    }
    emulator.malformed = 0;
}

EmulatedLight *EmulatorFindLight(Emulator &emulator, const char *address)
{
    if (address == nullptr) {
        return nullptr;
    }
    for (int i = 0; i < emulator.lightCount; i++) {
        if (strcmp(emulator.lights[i].address, address) == 0) {
            return &emulator.lights[i];
        }
    }
    return nullptr;
}

int64_t EmulatorNowMs()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (int64_t)now.tv_sec * 1000 + now.tv_nsec / 1000000;
}

void EmulatorSetLoss(Emulator &emulator, int percent, uint32_t seed)
{
    emulator.lossPercent = percent < 0 ? 0 : percent > 100 ? 100 : percent;
    emulator.lossState = seed ? seed : 1;
}

bool EmulatorLoses(Emulator &emulator)
{
    return EmulatorLightLoses(emulator, nullptr);
}

bool EmulatorLightLoses(Emulator &emulator, const EmulatedLight *light)
{
    int percent = light && light->lossPercent >= 0 ? light->lossPercent : emulator.lossPercent;
    if (percent <= 0) {
        return false;
    }
    // xorshift32: the same seed, the same losses, on every machine.
    uint32_t x = emulator.lossState;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    emulator.lossState = x;
    return (int)(x % 100) < percent;
}
