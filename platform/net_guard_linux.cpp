// Every Linux program of this project is linked with socket, connect, send
// and sendto wrapped by these functions. They refuse, loudly, any destination
// outside 127.0.0.0/8: the tests and tools must never reach a real network.
// They also let tests make one light's socket calls fail, and count them.
#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>

#include <string>
#include <vector>

#include "platform/control_linux.h"
#include "platform/win32.h"

extern "C" {
int __real_socket(int domain, int type, int protocol);
int __real_connect(int fd, const sockaddr *address, socklen_t length);
ssize_t __real_send(int fd, const void *data, size_t size, int flags);
ssize_t __real_sendto(int fd, const void *data, size_t size, int flags, const sockaddr *address,
                      socklen_t length);
}

namespace platform
{
struct NetFaultRule {
    bool anyAddress;
    in_addr_t address;
    int times;
};
static NetFaultRule netFaults[NetFaultCount];
static NetStats netStats;
static bool recordRefused;
static bool reportRefused;
static std::vector<std::string> refused;

void RecordRefusedDestinations(bool record, bool report)
{
    recordRefused = record;
    reportRefused = report;
}

const std::vector<std::string> &RefusedDestinations()
{
    return refused;
}

void InjectNetFault(NetFault fault, const char *address, int times)
{
    netFaults[fault].anyAddress = address == nullptr;
    netFaults[fault].address = address ? inet_addr(address) : 0;
    netFaults[fault].times = times;
}

NetStats GetNetStats()
{
    return netStats;
}

void ResetNet()
{
    memset(netFaults, 0, sizeof netFaults);
    memset(&netStats, 0, sizeof netStats);
    recordRefused = false;
    refused.clear();
}

void CountSocketClosed()
{
    netStats.socketsClosed++;
}
} // namespace platform

using namespace platform;

// Sockets opened through the wrapper, as the plug-in opens them: the
// emulator opens its own past it.
static bool pluginSockets[4096];

static bool IsPluginSocket(int fd)
{
    return fd >= 0 && fd < (int)(sizeof pluginSockets) && pluginSockets[fd];
}

static bool NetFails(NetFault fault, in_addr_t address)
{
    NetFaultRule &rule = netFaults[fault];
    if (rule.times == 0 || (!rule.anyAddress && rule.address != address))
        return false;
    if (rule.times > 0)
        rule.times--;
    return true;
}

// Aborts unless the destination is on loopback; while refusals are recorded,
// refuses instead. Returns false, with errno set, for a destination refused
// here or one the system itself would refuse.
static bool GuardDestination(int fd, const char *call, const sockaddr *address)
{
    if (!address)
        return true;
    if (address->sa_family == AF_INET) {
        const sockaddr_in *ipv4 = (const sockaddr_in *)address;
        // 0.0.0.0 names this host itself, and never leaves it.
        if ((ntohl(ipv4->sin_addr.s_addr) >> 24) == 127 || ipv4->sin_addr.s_addr == 0)
            return true;
        // Without SO_BROADCAST the system refuses the broadcast address
        // itself; let that refusal happen, as it would on a user's machine.
        int broadcast = 0;
        socklen_t length = sizeof broadcast;
        if (ipv4->sin_addr.s_addr == INADDR_BROADCAST &&
            getsockopt(fd, SOL_SOCKET, SO_BROADCAST, &broadcast, &length) == 0 && !broadcast) {
            errno = EACCES;
            return false;
        }
        char text[INET_ADDRSTRLEN] = "?";
        inet_ntop(AF_INET, &ipv4->sin_addr, text, sizeof text);
        if (!recordRefused || reportRefused)
            fprintf(stderr,
                    "\n*** network guard: %s to %s refused: only 127.0.0.0/8 may be reached from "
                    "this build ***\n",
                    call, text);
        if (!recordRefused)
            abort();
        refused.push_back(text);
        errno = ENETUNREACH;
        return false;
    }
    if (address->sa_family == AF_INET6) {
        const sockaddr_in6 *ipv6 = (const sockaddr_in6 *)address;
        if (IN6_IS_ADDR_LOOPBACK(&ipv6->sin6_addr))
            return true;
        fprintf(stderr, "\n*** network guard: %s to an IPv6 address refused ***\n", call);
        abort();
    }
    return true;
}

static in_addr_t PeerAddress(int fd)
{
    sockaddr_in peer;
    socklen_t length = sizeof peer;
    memset(&peer, 0, sizeof peer);
    if (getpeername(fd, (sockaddr *)&peer, &length) != 0 || peer.sin_family != AF_INET)
        return 0;
    return peer.sin_addr.s_addr;
}

extern "C" int __wrap_socket(int domain, int type, int protocol)
{
    if (NetFails(NetFaultSocket, 0)) {
        errno = EMFILE;
        return -1;
    }
    int fd = __real_socket(domain, type, protocol);
    if (fd >= 0)
        netStats.socketsCreated++;
    if (fd >= 0 && fd < (int)(sizeof pluginSockets))
        pluginSockets[fd] = true;
    return fd;
}

extern "C" int __wrap_connect(int fd, const sockaddr *address, socklen_t length)
{
    if (!GuardDestination(fd, "connect", address))
        return -1;
    netStats.connects++;
    if (address && address->sa_family == AF_INET &&
        NetFails(NetFaultConnect, ((const sockaddr_in *)address)->sin_addr.s_addr)) {
        errno = ENETUNREACH;
        return -1;
    }
    return __real_connect(fd, address, length);
}

extern "C" ssize_t __wrap_send(int fd, const void *data, size_t size, int flags)
{
    netStats.sends++;
    if (netFaults[NetFaultSend].times != 0 && NetFails(NetFaultSend, PeerAddress(fd))) {
        errno = ENOBUFS;
        return -1;
    }
    return __real_send(fd, data, size, flags);
}

extern "C" ssize_t __wrap_sendto(int fd, const void *data, size_t size, int flags,
                                 const sockaddr *address, socklen_t length)
{
    if (!GuardDestination(fd, "sendto", address))
        return -1;
    // The emulator's answers are not the plug-in's sends.
    if (!address || address->sa_family != AF_INET || !IsPluginSocket(fd))
        return __real_sendto(fd, data, size, flags, address, length);
    netStats.sends++;
    in_addr_t to = ((const sockaddr_in *)address)->sin_addr.s_addr;
    // Unconnected, a light without a route fails its sends as its connect
    // used to.
    if (NetFails(NetFaultConnect, to)) {
        errno = ENETUNREACH;
        return -1;
    }
    if (NetFails(NetFaultSend, to)) {
        errno = ENOBUFS;
        return -1;
    }
    return __real_sendto(fd, data, size, flags, address, length);
}

int closesocket(SOCKET s)
{
    CountSocketClosed();
    if (s >= 0 && s < (int)(sizeof pluginSockets))
        pluginSockets[s] = false;
    return close(s);
}
