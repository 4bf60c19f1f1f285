// The socket shared by everything that waits for lights.
#include "lifx/light_socket.h"

#include "lifx/messages.h"

#if defined(_WIN32) && !defined(SIO_UDP_CONNRESET)
#define SIO_UDP_CONNRESET _WSAIOW(IOC_VENDOR, 12)
#endif

namespace
{

// Larger than any answer, so an over-long datagram shows as one.
const int kReceiveSize = 1024;

SOCKET g_socket = INVALID_SOCKET;
bool g_layerFailed;
unsigned g_holders;

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

void HoldLightSocket(unsigned holder, bool held)
{
    g_holders = held ? g_holders | holder : g_holders & ~holder;
}

void ReleaseLightSocket()
{
    if (!g_holders)
        CloseLightSocket();
}

LightRead ReadFromLights(uint32_t *from, const uint8_t **data, size_t *length)
{
    static uint8_t buffer[kReceiveSize];
    if (g_socket == INVALID_SOCKET)
        return LightReadNothing;
    sockaddr_in sender = {};
    socklen_t senderLength = sizeof sender;
    int received =
        recvfrom(g_socket, (char *)buffer, kReceiveSize, 0, (sockaddr *)&sender, &senderLength);
    if (received < 0) {
        int error = WSAGetLastError();
        if (error == WSAEWOULDBLOCK)
            return LightReadNothing;
        // Windows reports here a refusal of an earlier datagram (an ICMP
        // "port unreachable", as WSAECONNRESET) and an over-long datagram
        // (WSAEMSGSIZE): each is that datagram's alone, and the reading
        // goes on.
        return error == WSAEINTR ? LightReadAgain : LightReadUnreadable;
    }
    if (sender.sin_family != AF_INET || received >= kReceiveSize)
        return LightReadUnreadable;
    *from = ntohl(sender.sin_addr.s_addr);
    *data = buffer;
    *length = (size_t)received;
    return LightReadDatagram;
}

void CloseLightSocket()
{
    if (g_socket == INVALID_SOCKET)
        return;
    closesocket(g_socket);
    WSACleanup();
    g_socket = INVALID_SOCKET;
}
