// Where a discovery looks: the user's argument, the addresses of a range, and
// the broadcast addresses of the machine's interfaces, as computed. Nothing
// here is sent: broadcasts must never leave a test.
#include <stdint.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "lifx/discovery.h"
#include "platform/control_linux.h"

namespace
{

uint32_t Ip(const char *dotted)
{
    return ntohl(inet_addr(dotted));
}

struct TargetCase {
    const char *text;
    bool valid;
    DiscoveryForm form = DiscoverBroadcast;
    const char *address = "";
    int prefixLength = 0;
};

TEST(DiscoveryTargets, TheArgumentIsNothingAnAddressOrARangeOfAtMost1024)
{
    const TargetCase cases[] = {
        {"", true, DiscoverBroadcast, "0.0.0.0", 0},
        {"192.168.1.20", true, DiscoverAddress, "192.168.1.20", 32},
        {"127.0.0.1", true, DiscoverAddress, "127.0.0.1", 32},
        {"192.168.1.0/24", true, DiscoverRange, "192.168.1.0", 24},
        {"192.168.1.77/24", true, DiscoverRange, "192.168.1.0", 24},
        {"10.20.30.40/22", true, DiscoverRange, "10.20.28.0", 22},
        {"192.168.1.20/32", true, DiscoverRange, "192.168.1.20", 32},
        {"192.168.1.0/21", false},
        {"192.168.1.0/33", false},
        {"192.168.1.0/", false},
        {"192.168.1.0/24x", false},
        {"192.168.1.0/024", false},
        {"192.168.1.0/-24", false},
        {"192.168.1", false},
        {"192.168.1.2.3", false},
        {"192.168.1.256", false},
        {"192.168.01.1x", false},
        {"0x7f.0.0.1", false},
        {" 192.168.1.20", false},
        {"192.168.1.20 ", false},
        {"0.0.0.0", false},
        {"0.0.0.5/24", false},
        {"0.1.2.3", false},
        {"224.0.0.1", false},
        {"239.255.255.250/24", false},
        {"240.0.0.1", false},
        {"223.255.255.254", true, DiscoverAddress, "223.255.255.254", 32},
        {"192.168.001.020", true, DiscoverAddress, "192.168.1.20", 32},
        {"255.255.255.255", false},
        {"lamp", false},
        {"/24", false},
    };
    for (const TargetCase &c : cases) {
        SCOPED_TRACE(std::string("\"") + c.text + "\"");
        DiscoveryTarget target = {};
        ASSERT_EQ(ParseDiscoveryTarget(c.text, &target), c.valid);
        if (!c.valid)
            continue;
        EXPECT_EQ(target.form, c.form);
        EXPECT_EQ(target.address, c.form == DiscoverBroadcast ? 0u : Ip(c.address));
        if (c.form == DiscoverRange) {
            EXPECT_EQ(target.prefixLength, c.prefixLength);
        }
    }
}

TEST(DiscoveryTargets, ARangeIsItsHostAddresses)
{
    const struct {
        const char *network;
        int prefixLength;
        const char *first;
        uint32_t count;
    } cases[] = {
        {"192.168.1.0", 24, "192.168.1.1", 254},  {"10.0.4.0", 22, "10.0.4.1", 1022},
        {"192.168.1.64", 26, "192.168.1.65", 62}, {"192.168.1.8", 30, "192.168.1.9", 2},
        {"192.168.1.8", 31, "192.168.1.8", 2},    {"192.168.1.9", 32, "192.168.1.9", 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.network) + "/" + std::to_string(c.prefixLength));
        uint32_t first = 0, count = 0;
        RangeHosts(Ip(c.network), c.prefixLength, &first, &count);
        EXPECT_EQ(first, Ip(c.first));
        EXPECT_EQ(count, c.count);
    }
}

TEST(DiscoveryTargets, ABroadcastGoesToTheGlobalAddressAndEachNetworksOwnOnce)
{
    const InterfaceAddress interfaces[] = {
        {Ip("192.168.1.33"), 24}, {Ip("10.1.2.200"), 23},
        {Ip("172.16.5.70"), 26},  {Ip("192.168.1.40"), 24}, // the same network again
        {Ip("100.64.0.1"), 32},   {Ip("10.9.9.8"), 31},     // no broadcast address of their own
    };
    uint32_t out[16];
    int n = BroadcastDestinations(interfaces, 6, out, 16);
    std::vector<uint32_t> got(out, out + n);
    EXPECT_EQ(got, (std::vector<uint32_t>{Ip("255.255.255.255"), Ip("192.168.1.255"),
                                          Ip("10.1.3.255"), Ip("172.16.5.127")}));
    EXPECT_EQ(BroadcastDestinations(interfaces, 6, out, 2), 2) << "never beyond the room given";
}

TEST(DiscoveryTargets, OnlyInterfacesThatAreUpAndNotLoopbackCount)
{
    platform::Reset();
    platform::SetInterfaces({{"127.0.0.1", 8, true, true},
                             {"192.168.7.12", 24, true, false},
                             {"10.0.0.5", 8, false, false},
                             {"172.20.1.9", 20, true, false}});
    InterfaceAddress found[kMaxInterfaces];
    int n = ListInterfaces(found, kMaxInterfaces);
    platform::Reset();
    ASSERT_EQ(n, 2);
    EXPECT_EQ(found[0].address, Ip("192.168.7.12"));
    EXPECT_EQ(found[0].prefixLength, 24);
    EXPECT_EQ(found[1].address, Ip("172.20.1.9"));
    EXPECT_EQ(found[1].prefixLength, 20);
}

TEST(DiscoveryTargets, AMachineWithHundredsOfAdaptersStillHasItsListRead)
{
    platform::Reset();
    // More than the first 32 KB hold.
    std::vector<platform::Interface> many(600, {"10.1.2.3", 24, false, false});
    many.back() = {"192.168.7.12", 24, true, false};
    platform::SetInterfaces(many);
    InterfaceAddress found[kMaxInterfaces];
    int n = ListInterfaces(found, kMaxInterfaces);
    platform::Reset();
    ASSERT_EQ(n, 1);
    EXPECT_EQ(found[0].address, Ip("192.168.7.12"));
}

} // namespace
