// Linux stand-in for the IP Helper library's list of network interfaces:
// the machine's own IPv4 interfaces (getifaddrs), or the ones a test set.
#include <ifaddrs.h>
#include <net/if.h>
#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

#include "platform/control_linux.h"
#include "platform/win32.h"

namespace platform
{
static bool fakeInterfaces;
static std::vector<Interface> interfaces;

void SetInterfaces(const std::vector<Interface> &list)
{
    fakeInterfaces = true;
    interfaces = list;
}

void UseMachineInterfaces()
{
    fakeInterfaces = false;
    interfaces.clear();
}
} // namespace platform

using namespace platform;

namespace
{

// One adapter with one address, laid out in the caller's buffer.
struct AdapterRecord {
    IP_ADAPTER_ADDRESSES adapter;
    IP_ADAPTER_UNICAST_ADDRESS unicast;
    sockaddr_in address;
};

struct Entry {
    in_addr_t address;
    int prefixLength;
    bool up;
    bool loopback;
};

int PrefixLength(in_addr_t mask)
{
    int length = 0;
    for (uint32_t bits = ntohl(mask); bits & 0x80000000u; bits <<= 1)
        length++;
    return length;
}

std::vector<Entry> Entries()
{
    std::vector<Entry> entries;
    if (fakeInterfaces) {
        for (const Interface &i : interfaces)
            entries.push_back({inet_addr(i.address.c_str()), i.prefixLength, i.up, i.loopback});
        return entries;
    }
    ifaddrs *list = nullptr;
    if (getifaddrs(&list) != 0)
        return entries;
    for (ifaddrs *i = list; i; i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET || !i->ifa_netmask)
            continue;
        entries.push_back({((sockaddr_in *)i->ifa_addr)->sin_addr.s_addr,
                           PrefixLength(((sockaddr_in *)i->ifa_netmask)->sin_addr.s_addr),
                           (i->ifa_flags & IFF_UP) && (i->ifa_flags & IFF_RUNNING),
                           (i->ifa_flags & IFF_LOOPBACK) != 0});
    }
    freeifaddrs(list);
    return entries;
}

} // namespace

ULONG GetAdaptersAddresses(ULONG family, ULONG, void *, IP_ADAPTER_ADDRESSES *addresses,
                           ULONG *size)
{
    PlatformCall call;
    if (family != AF_INET || !size)
        return ERROR_NO_DATA;
    std::vector<Entry> entries = Entries();
    if (entries.empty())
        return ERROR_NO_DATA;
    ULONG needed = (ULONG)(entries.size() * sizeof(AdapterRecord));
    if (!addresses || *size < needed) {
        *size = needed;
        return ERROR_BUFFER_OVERFLOW;
    }
    AdapterRecord *records = (AdapterRecord *)addresses;
    for (size_t n = 0; n < entries.size(); n++) {
        AdapterRecord &r = records[n];
        memset(&r, 0, sizeof r);
        r.address.sin_family = AF_INET;
        r.address.sin_addr.s_addr = entries[n].address;
        r.unicast.Address.lpSockaddr = (sockaddr *)&r.address;
        r.unicast.Address.iSockaddrLength = sizeof r.address;
        r.unicast.OnLinkPrefixLength = (BYTE)entries[n].prefixLength;
        r.adapter.FirstUnicastAddress = &r.unicast;
        r.adapter.IfType = entries[n].loopback ? IF_TYPE_SOFTWARE_LOOPBACK : 6; // Ethernet
        r.adapter.OperStatus = entries[n].up ? IfOperStatusUp : IfOperStatusDown;
        r.adapter.Next = n + 1 < entries.size() ? &records[n + 1].adapter : nullptr;
    }
    return ERROR_SUCCESS;
}
