// What a discovery searches: the user's argument, and the addresses it means.
#include <stdio.h>
#include <string.h>

#include "host/log.h"
#include "lifx/discovery.h"
#include "platform/win32.h"
#include "settings/address.h"

namespace
{

const uint32_t kBroadcastAll = 0xFFFFFFFFu;

uint32_t Mask(int prefixLength)
{
    return prefixLength <= 0 ? 0 : 0xFFFFFFFFu << (32 - prefixLength);
}

// What no light can have: "this network" (0.0.0.0/8), multicast
// (224.0.0.0/4) and the reserved 240.0.0.0/4 with the broadcast address.
bool CannotBeALight(uint32_t address)
{
    uint32_t first = address >> 24;
    return first == 0 || first >= 224;
}

bool ParsePrefix(const char *text, int *prefixLength)
{
    size_t length = strlen(text);
    if (length < 1 || length > 2)
        return false;
    int value = 0;
    for (size_t i = 0; i < length; i++) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        value = value * 10 + (text[i] - '0');
    }
    *prefixLength = value;
    return value >= kMinRangePrefix && value <= 32;
}

} // namespace

bool ParseDiscoveryTarget(const char *text, DiscoveryTarget *target)
{
    if (!text[0]) {
        *target = {DiscoverBroadcast, 0, 0};
        return true;
    }
    const char *slash = strchr(text, '/');
    size_t addressLength = slash ? (size_t)(slash - text) : strlen(text);
    uint32_t address;
    if (!ReadAddress(text, addressLength, &address) || CannotBeALight(address))
        return false;
    if (!slash) {
        *target = {DiscoverAddress, address, 32};
        return true;
    }
    int prefixLength;
    if (!ParsePrefix(slash + 1, &prefixLength))
        return false;
    // The host part the user typed does not matter: 192.168.1.77/24 is
    // 192.168.1.0/24.
    *target = {DiscoverRange, address & Mask(prefixLength), prefixLength};
    return true;
}

void RangeHosts(uint32_t network, int prefixLength, uint32_t *first, uint32_t *count)
{
    uint32_t size = prefixLength >= 32 ? 1 : 1u << (32 - prefixLength);
    network &= Mask(prefixLength);
    if (prefixLength >= 31) {
        *first = network;
        *count = size;
    } else {
        *first = network + 1;
        *count = size - 2;
    }
}

uint32_t DirectedBroadcast(uint32_t address, int prefixLength)
{
    return (address & Mask(prefixLength)) | ~Mask(prefixLength);
}

int BroadcastDestinations(const InterfaceAddress *interfaces, int count, uint32_t *out, int max)
{
    int n = 0;
    if (max < 1)
        return 0;
    out[n++] = kBroadcastAll;
    for (int i = 0; i < count && n < max; i++) {
        // A /31 or /32 has no broadcast address of its own; /0 is no network.
        if (interfaces[i].prefixLength < 1 || interfaces[i].prefixLength > 30)
            continue;
        uint32_t broadcast = DirectedBroadcast(interfaces[i].address, interfaces[i].prefixLength);
        bool seen = false;
        for (int j = 0; j < n; j++)
            seen = seen || out[j] == broadcast;
        if (!seen)
            out[n++] = broadcast;
    }
    return n;
}

// The adapters as Windows lists them; *result its answer.
static int ReadInterfaces(InterfaceAddress *out, int max, ULONG *result)
{
    // An ordinary machine's adapters fit in the first 32 KB; one with many
    // (virtual switches, VPNs) gets one more try at the size Windows asks
    // for. Only the pages Windows writes are ever touched.
    static union {
        IP_ADAPTER_ADDRESSES first;
        uint8_t bytes[262144];
    } buffer;
    ULONG size = 32768;
    ULONG flags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER |
                  GAA_FLAG_SKIP_FRIENDLY_NAME;
    *result = GetAdaptersAddresses(AF_INET, flags, nullptr, &buffer.first, &size);
    if (*result == ERROR_BUFFER_OVERFLOW && size <= sizeof buffer)
        *result = GetAdaptersAddresses(AF_INET, flags, nullptr, &buffer.first, &size);
    if (*result != ERROR_SUCCESS)
        return 0;
    int n = 0;
    for (IP_ADAPTER_ADDRESSES *adapter = &buffer.first; adapter && n < max;
         adapter = adapter->Next) {
        if (adapter->OperStatus != IfOperStatusUp || adapter->IfType == IF_TYPE_SOFTWARE_LOOPBACK)
            continue;
        for (IP_ADAPTER_UNICAST_ADDRESS *unicast = adapter->FirstUnicastAddress; unicast && n < max;
             unicast = unicast->Next) {
            const sockaddr *address = unicast->Address.lpSockaddr;
            if (!address || address->sa_family != AF_INET)
                continue;
            uint32_t ipv4 = ntohl(((const sockaddr_in *)address)->sin_addr.s_addr);
            // A loopback address on an adapter not marked as such.
            if ((ipv4 >> 24) == 127)
                continue;
            out[n++] = {ipv4, unicast->OnLinkPrefixLength};
        }
    }
    return n;
}

int ListInterfaces(InterfaceAddress *out, int max)
{
    ULONG result;
    int n = ReadInterfaces(out, max, &result);
    if (result != ERROR_SUCCESS && result != ERROR_NO_DATA) {
        char line[128];
        snprintf(line, sizeof line,
                 "...could not read this computer's network adapters (error %lu): searching by "
                 "255.255.255.255 alone.",
                 (unsigned long)result);
        HostLog(LogError, line);
    }
    return n;
}

bool IsBroadcastAddress(uint32_t address)
{
    // Every broadcast address of a network with room for hosts ends in two
    // set bits: most addresses need no look at the adapters.
    if (address == kBroadcastAll || (address & 3) != 3)
        return address == kBroadcastAll;
    InterfaceAddress interfaces[kMaxInterfaces];
    ULONG result;
    int count = ReadInterfaces(interfaces, kMaxInterfaces, &result);
    for (int i = 0; i < count; i++) {
        int prefixLength = interfaces[i].prefixLength;
        if (prefixLength >= 1 && prefixLength <= 30 &&
            DirectedBroadcast(interfaces[i].address, prefixLength) == address)
            return true;
    }
    return false;
}
