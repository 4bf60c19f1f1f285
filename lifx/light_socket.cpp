// The socket shared by discovery and delivery, and the reading of answers.
#include "lifx/light_socket.h"

#include "lifx/delivery.h"
#include "lifx/discovery.h"
#include "lifx/label_query.h"
#include "lifx/messages.h"
#include "lifx/zone_query.h"

#if defined(_WIN32) && !defined(SIO_UDP_CONNRESET)
#define SIO_UDP_CONNRESET _WSAIOW(IOC_VENDOR, 12)
#endif

namespace
{

// So that one step never holds the user-interface thread for long.
const int kReadsPerStep = 64;
// Larger than any answer, so an over-long datagram shows as one.
const int kReceiveSize = 1024;

SOCKET g_socket = INVALID_SOCKET;
bool g_layerFailed;

SOCKET Open()
{
    WSADATA data;
    g_layerFailed = WSAStartup(MAKEWORD(1, 1), &data) != 0;
    if (g_layerFailed)
        return INVALID_SOCKET;
    SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET) {
        WSACleanup();
        return INVALID_SOCKET;
    }
    u_long nonBlocking = 1;
    sockaddr_in any = {};
    any.sin_family = AF_INET;
    any.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(s, (const sockaddr *)&any, sizeof any) != 0 ||
        ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
        closesocket(s);
        WSACleanup();
        return INVALID_SOCKET;
    }
#ifdef _WIN32
    // Otherwise one light's ICMP "port unreachable" comes back as an error
    // on a later read, in place of another light's answer.
    BOOL report = FALSE;
    DWORD returned = 0;
    WSAIoctl(s, SIO_UDP_CONNRESET, &report, sizeof report, nullptr, 0, &returned, nullptr, nullptr);
#endif
    return s;
}

} // namespace

SOCKET AcquireLightSocket(bool *opened)
{
    if (opened)
        *opened = false;
    if (g_socket != INVALID_SOCKET)
        return g_socket;
    g_socket = Open();
    if (opened)
        *opened = g_socket != INVALID_SOCKET;
    return g_socket;
}

bool LightSocketOpen()
{
    return g_socket != INVALID_SOCKET;
}

bool SendToLight(uint32_t address, const uint8_t *data, int length)
{
    if (g_socket == INVALID_SOCKET)
        return false;
    sockaddr_in light = {};
    light.sin_family = AF_INET;
    light.sin_port = htons(kLifxPort);
    light.sin_addr.s_addr = htonl(address);
    return sendto(g_socket, (const char *)data, length, 0, (const sockaddr *)&light,
                  sizeof light) == length;
}

bool AllowLightBroadcasts(bool on)
{
    int value = on ? 1 : 0;
    return g_socket != INVALID_SOCKET &&
           setsockopt(g_socket, SOL_SOCKET, SO_BROADCAST, (const char *)&value, sizeof value) == 0;
}

bool LightSocketLayerFailed()
{
    return g_layerFailed;
}

void ReleaseLightSocket()
{
    if (!DeliveryPending() && !DiscoveryRunning() && !ZoneQueryRunning() &&
        !LabelQueryRunning())
        CloseLightSocket();
}

void ReadLightAnswers(uint32_t nowMs)
{
    static uint8_t buffer[kReceiveSize];
    for (int reads = 0; reads < kReadsPerStep && g_socket != INVALID_SOCKET; reads++) {
        sockaddr_in from = {};
        socklen_t fromLength = sizeof from;
        int length =
            recvfrom(g_socket, (char *)buffer, kReceiveSize, 0, (sockaddr *)&from, &fromLength);
        if (length < 0) {
            int error = WSAGetLastError();
            if (error == WSAEWOULDBLOCK)
                return;
            // Windows reports here a refusal of an earlier datagram (an ICMP
            // "port unreachable", as WSAECONNRESET) and an over-long
            // datagram (WSAEMSGSIZE): each is that datagram's alone, and
            // the reading goes on.
            if (error != WSAEINTR)
                DiscoveryCountIgnored();
            continue;
        }
        if (from.sin_family != AF_INET || length >= kReceiveSize) {
            DiscoveryCountIgnored();
            continue;
        }
        uint32_t address = ntohl(from.sin_addr.s_addr);
        if (!DeliveryHandleDatagram(address, buffer, (size_t)length) &&
            !ZoneQueryHandleDatagram(address, buffer, (size_t)length) &&
            !LabelQueryHandleDatagram(address, buffer, (size_t)length))
            DiscoveryHandleDatagram(address, buffer, (size_t)length, nowMs);
    }
}

void CloseLightSocket()
{
    if (g_socket == INVALID_SOCKET)
        return;
    closesocket(g_socket);
    WSACleanup();
    g_socket = INVALID_SOCKET;
}
