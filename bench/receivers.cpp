#include "bench/receivers.h"

#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdio.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

bool ReceiversOpen(Receivers &receivers, int group, char *error, size_t errorSize)
{
    receivers.count = 0;
    TestLoopbackAddresses(receivers.addresses, kBenchLights, group);
    for (int n = 0; n < kBenchLights; n++) {
        int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, IPPROTO_UDP);
        sockaddr_in local = {};
        local.sin_family = AF_INET;
        local.sin_port = htons(56700);
        local.sin_addr.s_addr = inet_addr(receivers.addresses[n]);
        // Only ever loopback: TestLoopbackAddresses gives 127.x.y.z.
        if (fd < 0 || (ntohl(local.sin_addr.s_addr) >> 24) != 127 ||
            bind(fd, (const sockaddr *)&local, sizeof local) != 0) {
            snprintf(error, errorSize, "cannot listen on %s port 56700: %s", receivers.addresses[n],
                     strerror(errno));
            if (fd >= 0)
                close(fd);
            ReceiversClose(receivers);
            return false;
        }
        receivers.sockets[n] = fd;
        receivers.count = n + 1;
    }
    return true;
}

void ReceiversClose(Receivers &receivers)
{
    for (int n = 0; n < receivers.count; n++)
        close(receivers.sockets[n]);
    receivers.count = 0;
}

static int ReadAll(Receivers &receivers, CapturedDatagram *captured, int capacity, int already)
{
    static uint8_t scratch[kBenchDatagramSize];
    int total = 0;
    for (int n = 0; n < receivers.count; n++) {
        // A socket never holds more than a few hundred of these datagrams.
        for (int i = 0; i < 4096; i++) {
            int index = already + total;
            bool keep = captured && index < capacity;
            uint8_t *into = keep ? captured[index].bytes : scratch;
            ssize_t got = recv(receivers.sockets[n], into, kBenchDatagramSize, MSG_DONTWAIT);
            if (got < 0)
                break;
            if (keep) {
                captured[index].light = n;
                captured[index].size = (int)got;
            }
            total++;
        }
    }
    return total;
}

int ReceiversDrain(Receivers &receivers, int expected, CapturedDatagram *captured, int capacity)
{
    // Loopback queues a datagram before send() returns, so the first pass
    // normally finds them all; the waits only cover a busy machine.
    int total = ReadAll(receivers, captured, capacity, 0);
    for (int round = 0; round < 20 && total < expected; round++) {
        pollfd fds[kBenchLights];
        for (int n = 0; n < receivers.count; n++)
            fds[n] = {receivers.sockets[n], POLLIN, 0};
        if (poll(fds, (nfds_t)receivers.count, 5) <= 0)
            continue;
        total += ReadAll(receivers, captured, capacity, total);
    }
    return total;
}
