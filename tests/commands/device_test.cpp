// The "Device" command: storing and removing a light's address.
#include <string.h>

#include <string>
#include <vector>

#include "settings/settings.h"
#include "tests/commands/commands_fixture.h"

namespace
{

class DeviceCommandTest : public CommandTest
{
};

const char kSaved3[] = "1 ...IP address for device #3 saved.";
const char kRemoved3[] = "1 ...IP address for device #3 removed.";
const char kInvalid[] = "3 ...invalid IP address specified!";
// A slot number that names no slot.
std::string Unknown(const char *typed)
{
    return std::string("3 ...unknown light \"") + typed + "\"! Give # and a slot, #1 to #10.";
}
const char kBroadcast[] = "3 ...that is a broadcast address, not a light. A search by broadcast "
                          "is \"Discover\" with no address.";

struct DeviceCase {
    const char *text;
    const char *slot3Before; // in the settings file; "" for an empty slot
    int slot;                // the slot that changes, 0 when none does
    const char *slotAfter;
    std::vector<std::string> logs;
};

// Addresses outside loopback are stored here but never sent to: these tests
// send nothing to the lights.
TEST_F(DeviceCommandTest, StoresRemovesAndRefusesAsTheUserTypedIt)
{
    const DeviceCase cases[] = {
        {"@LIFX Device #3 192.168.1.20", "", 3, "192.168.1.20", {kSaved3}},
        {"@LIFX Device #3 192.168.1.20", "192.168.1.7", 3, "192.168.1.20", {kSaved3}},
        {"@lifx device #3 192.168.1.20", "", 3, "192.168.1.20", {kSaved3}},
        {"@LIFX Device #3abc 192.168.1.20", "", 0, nullptr, {Unknown("#3abc")}},
        {"@LIFX Device #3 192.168.001.020", "", 3, "192.168.1.20", {kSaved3}},
        {"@LIFX Device #3 192.168.0001.020", "", 3, "192.168.1.20", {kSaved3}},
        {"@LIFX Device #3 192.168..20", "", 0, nullptr, {kInvalid}},
        {"@LIFX Device #3 1.2.3.", "", 0, nullptr, {kInvalid}},
        {"@LIFX Device #3 192.168.7.255", "", 0, nullptr, {kInvalid, kBroadcast}},
        {"@LIFX Device #3 192.168.6.255", "", 3, "192.168.6.255", {kSaved3}},
        {"@LIFX Device #3 0x7f.1", "", 0, nullptr, {kInvalid}},
        {"@LIFX Device #3 127.57.31", "", 0, nullptr, {kInvalid}},
        {"@LIFX Device #3 127.0.0.1 ", "", 3, "127.0.0.1", {kSaved3}},
        {"@LIFX Device #3 \"127.0.0.1 \"", "", 0, nullptr, {kInvalid}},
        {"@LIFX Device #3 1.2.3.4.5", "", 0, nullptr, {kInvalid}},
        {"@LIFX Device #10 192.168.1.20",
         "",
         10,
         "192.168.1.20",
         {"1 ...IP address for device #10 saved."}},
        {"@LIFX Device #1 192.168.1.20",
         "",
         1,
         "192.168.1.20",
         {"1 ...IP address for device #1 saved."}},
        {"@LIFX Device #3", "192.168.1.7", 3, "", {kRemoved3}},
        {"@Chromalet-LIFX Device #3 ", "192.168.1.7", 3, "", {kRemoved3}},
        {"@LIFX Device #3", "", 0, nullptr, {}},
        {"@LIFX Device #11", "192.168.1.7", 0, nullptr, {Unknown("#11")}},
        {"@LIFX Device #0", "192.168.1.7", 0, nullptr, {Unknown("#0")}},
        {"@LIFX Device #-3", "192.168.1.7", 0, nullptr, {Unknown("#-3")}},
        {"@LIFX Device 3", "192.168.1.7", 0, nullptr, {Unknown("3")}},
        {"@LIFX Device", "192.168.1.7", 0, nullptr, {Unknown("")}},
        {"@LIFX Device #11 192.168.1.20", "", 0, nullptr, {Unknown("#11")}},
        {"@LIFX Device #0 192.168.1.20", "", 0, nullptr, {Unknown("#0")}},
        {"@LIFX Device 3 192.168.1.20", "", 0, nullptr, {Unknown("3")}},
        {"@LIFX Device # 192.168.1.20", "", 0, nullptr, {Unknown("#")}},
        {"@LIFX Device 3 0.0.0.0", "", 0, nullptr, {kInvalid}},
        {"@LIFX Device #11 999.1.1.1", "", 0, nullptr, {kInvalid}},
        {"@LIFX Device #3 999.1.1.1", "192.168.1.7", 0, nullptr, {kInvalid}},
        {"@LIFX Device #3 0.0.0.0", "192.168.1.7", 0, nullptr, {kInvalid}},
        {"@LIFX Device #3 255.255.255.255", "", 0, nullptr, {kInvalid, kBroadcast}},
        {"@LIFX Device #x 999.1.1.1", "", 0, nullptr, {kInvalid}},
        {"@LIFX Device #0 0.0.0.0", "", 0, nullptr, {kInvalid}},
        {"@LIFX Device #3 lamp", "", 0, nullptr, {kInvalid}},
        {"@LIFX Device #3 192.168.1.20x", "", 0, nullptr, {kInvalid}},
    };
    for (bool debug : {false, true}) {
        for (const DeviceCase &c : cases) {
            SCOPED_TRACE(std::string(c.text) + " with slot 3 \"" + c.slot3Before + "\", debug " +
                         (debug ? "on" : "off"));
            Start({{DeviceKey(3), c.slot3Before},
                   {DeviceKey(1), "192.168.1.1"},
                   {"lifx.debug:", debug ? "true" : "false"}});
            platform::SetInterfaces({{"192.168.7.12", 24, true, false}});
            char table[kDeviceSlots + 1][kDeviceTextSize];
            memcpy(table, g_devices, sizeof table);

            Send(c.text);

            EXPECT_EQ(LogLines(), c.logs);
            if (c.slot) {
                ExpectLineWritten(DeviceKey(c.slot), c.slotAfter);
                strcpy(table[c.slot], c.slotAfter);
            } else {
                ExpectFileUnchanged();
            }
            for (int n = 1; n <= kDeviceSlots; n++)
                EXPECT_STREQ(g_devices[n], table[n]) << "slot " << n;
            EXPECT_EQ(CycleTimerPeriod(), 0u);
            EXPECT_EQ(platform::GetNetStats().socketsCreated, 0) << "no light is contacted";
        }
    }
}

TEST_F(DeviceCommandTest, AnAddressWithLeadingZerosDrivesTheLightItNames)
{
    // Each part written with three digits: "127.010...." is 127.10, never octal.
    std::string padded;
    for (const char *p = Address(7); *p;) {
        std::string part;
        for (; *p && *p != '.'; p++)
            part += *p;
        padded += std::string(3 - part.size(), '0') + part + (*p ? "." : "");
        p += *p ? 1 : 0;
    }
    Start({{"lifx.color.scheme:", "Fire"}});
    Send("@LIFX Device #7 " + padded);
    ExpectLineWritten(DeviceKey(7), Address(7));
    Send("@LIFX Scheme Fire");
    EXPECT_EQ(Types(7), (std::vector<int>{kTypeSetLightPower, kTypeSetColor}));
}

TEST_F(DeviceCommandTest, AddedDeviceReceivesColoursAtOnceAndRemovingTheLastStopsAllTraffic)
{
    Start({{"lifx.color.scheme:", "Fire"}});
    ASSERT_FALSE(g_anyDeviceConfigured);

    Send(std::string("@LIFX Device #2 ") + Address(2));
    EXPECT_TRUE(g_anyDeviceConfigured);
    Send("@LIFX Scheme Fire");
    EXPECT_EQ(Types(2), (std::vector<int>{kTypeSetLightPower, kTypeSetColor}));
    EXPECT_EQ(Light(2).powerLevel, 65535);

    Send(std::string("@LIFX Device #9 ") + Address(9));
    Send("@LIFX Device #2");
    EXPECT_TRUE(g_anyDeviceConfigured) << "slot 9 is still configured";
    EmulatorResetLights(emulator);
    Send("@LIFX Power Off");
    EXPECT_TRUE(Light(2).received.empty());
    EXPECT_EQ(Light(9).powerMessages, 1);
    EXPECT_EQ(Light(9).powerLevel, 0);

    Send("@LIFX Device #9");
    EXPECT_FALSE(g_anyDeviceConfigured);
    // With the flag cleared the lights are not even given a socket.
    int sockets = platform::GetNetStats().socketsCreated;
    EmulatorResetLights(emulator);
    Send("@LIFX Power Off");
    Send("@LIFX Scheme Ocean");
    Send("@LIFX Toggle Move Effect");
    EXPECT_EQ(platform::GetNetStats().socketsCreated, sockets);
    EXPECT_EQ(DatagramsReceived(), 0);
}

} // namespace
