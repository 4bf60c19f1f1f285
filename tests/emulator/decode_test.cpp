// What an emulated light shows after each datagram, without sockets: the
// byte images a real light would receive, decoded field by field.
#include <string>

#include <gtest/gtest.h>

#include "emulator/emulator.h"
#include "tests/emulator/emulator_test_support.h"
#include "tests/lifx/golden_images.h"

namespace
{

bool Apply(EmulatedLight &light, const Bytes &datagram, int64_t nowMs = 1000)
{
    return EmulatorApplyDatagram(light, datagram.data(), datagram.size(), nowMs);
}

Hsbk ZoneRecord(int z)
{
    return Hsbk{(uint16_t)(z * 700), (uint16_t)(65535 - z), (uint16_t)(z * 3 + 1),
                (uint16_t)(9000 - z)};
}

void FillRecords(Hsbk (&records)[kEmulatorZones])
{
    for (int z = 0; z < kEmulatorZones; z++)
        records[z] = ZoneRecord(z);
}

void ExpectHsbk(const Hsbk &expected, const Hsbk &actual, const std::string &where)
{
    EXPECT_EQ(expected.hue, actual.hue) << where;
    EXPECT_EQ(expected.saturation, actual.saturation) << where;
    EXPECT_EQ(expected.brightness, actual.brightness) << where;
    EXPECT_EQ(expected.kelvin, actual.kelvin) << where;
}

TEST(EmulatedLightPower, OnImageSwitchesTheLightOn)
{
    EmulatedLight light;
    ASSERT_TRUE(Apply(light, ToBytes(kPowerOnImage), 1234));
    EXPECT_TRUE(light.powerReceived);
    EXPECT_EQ(65535, light.powerLevel);
    EXPECT_EQ(0u, light.powerDuration);
    EXPECT_EQ(1234, light.powerAtMs);
    EXPECT_EQ(1, light.powerMessages);
    EXPECT_FALSE(light.colourReceived);
    EXPECT_EQ(0, light.malformed);
}

TEST(EmulatedLightPower, OffImageSwitchesItOffAgain)
{
    EmulatedLight light;
    ASSERT_TRUE(Apply(light, ToBytes(kPowerOnImage)));
    ASSERT_TRUE(Apply(light, ToBytes(kPowerOffImage)));
    EXPECT_EQ(0, light.powerLevel);
    EXPECT_EQ(2, light.powerMessages);
}

TEST(EmulatedLightPower, DurationIsReadAfterTheLevel)
{
    Bytes datagram = ToBytes(kPowerOnImage);
    PutU32(datagram, 38, 0x01020304);
    EmulatedLight light;
    ASSERT_TRUE(Apply(light, datagram));
    EXPECT_EQ(65535, light.powerLevel);
    EXPECT_EQ(0x01020304u, light.powerDuration);
}

TEST(EmulatedLightColour, ExampleImageShowsGreenAtHalfBrightness)
{
    EmulatedLight light;
    ASSERT_TRUE(Apply(light, ToBytes(kSetColorImage), 777));
    EXPECT_TRUE(light.colourReceived);
    ExpectHsbk(Hsbk{21845, 65535, 32896, 9000}, light.colour, "colour");
    EXPECT_EQ(0u, light.colourDuration);
    EXPECT_EQ(777, light.colourAtMs);
    EXPECT_EQ(1, light.colourMessages);
    EXPECT_FALSE(light.powerReceived);
}

TEST(EmulatedLightColour, ColourStartsAfterTheReservedByteAndDurationFollowsIt)
{
    // A reserved byte that is not 0 must not shift the colour: a decoder
    // reading the hue at 36 would see 0xEE here.
    Bytes datagram = ToBytes(kSetColorImage);
    datagram[36] = 0xEE;
    PutU32(datagram, 45, 9800);
    EmulatedLight light;
    ASSERT_TRUE(Apply(light, datagram));
    ExpectHsbk(Hsbk{21845, 65535, 32896, 9000}, light.colour, "colour");
    EXPECT_EQ(9800u, light.colourDuration);
}

TEST(EmulatedLightColour, EveryFieldLandsInItsOwnPlace)
{
    Bytes datagram = Header(49, 102);
    PutHsbk(datagram, 37, Hsbk{0x0102, 0x0304, 0x0506, 0x0708});
    PutU32(datagram, 45, 0x090A0B0C);
    EmulatedLight light;
    ASSERT_TRUE(Apply(light, datagram));
    ExpectHsbk(Hsbk{0x0102, 0x0304, 0x0506, 0x0708}, light.colour, "colour");
    EXPECT_EQ(0x090A0B0Cu, light.colourDuration);
}

TEST(EmulatedStripZones, FullMessageSetsAll82Zones)
{
    Hsbk records[kEmulatorZones];
    FillRecords(records);
    EmulatedLight light;
    ASSERT_TRUE(Apply(light, ZonesDatagram(800, 1, 0, 82, records), 4321));
    EXPECT_TRUE(light.zonesReceived);
    EXPECT_EQ(800u, light.zonesDuration);
    EXPECT_EQ(1, light.zonesApply);
    EXPECT_EQ(0, light.zoneIndex);
    EXPECT_EQ(82, light.zoneCount);
    EXPECT_EQ(4321, light.zonesAtMs);
    EXPECT_EQ(1, light.zonesMessages);
    for (int z = 0; z < kEmulatorZones; z++)
        ExpectHsbk(records[z], light.zones[z], "zone " + std::to_string(z));
}

TEST(EmulatedStripZones, LastZoneComesFromTheLastEightBytes)
{
    Bytes datagram = Header(700, 510);
    datagram[40] = 1;
    datagram[43] = 82;
    PutHsbk(datagram, 692, Hsbk{1, 2, 3, 4});
    EmulatedLight light;
    ASSERT_TRUE(Apply(light, datagram));
    ExpectHsbk(Hsbk{1, 2, 3, 4}, light.zones[81], "zone 81");
    ExpectHsbk(Hsbk{0, 0, 0, 0}, light.zones[80], "zone 80");
}

struct ZoneRangeCase {
    const char *name;
    uint16_t zoneIndex;
    uint8_t count;
    int firstChanged; // -1: none
    int lastChanged;
};

const ZoneRangeCase kZoneRanges[] = {
    {"first two zones", 0, 2, 0, 1},
    {"from zone 10, five zones", 10, 5, 10, 14},
    {"count past the end stops at zone 81", 80, 5, 80, 81},
    {"index past the end changes nothing", 82, 10, -1, -1},
    {"index far past the end changes nothing", 65535, 82, -1, -1},
    {"count 0 changes nothing", 0, 0, -1, -1},
    {"count above 82 uses the 82 records", 0, 255, 0, 81},
};

TEST(EmulatedStripZones, IndexAndCountChooseTheZonesChanged)
{
    Hsbk records[kEmulatorZones];
    FillRecords(records);
    const Hsbk old = {111, 222, 333, 4444};
    for (const ZoneRangeCase &row : kZoneRanges) {
        EmulatedLight light;
        // What the strip stores is what it shows.
        for (int z = 0; z < kEmulatorMaxZones; z++)
            light.zones[z] = light.storedZones[z] = old;
        ASSERT_TRUE(Apply(light, ZonesDatagram(1234, 1, row.zoneIndex, row.count, records)))
            << row.name;
        // Fields beside the zone array stay intact: nothing is written past zone 81.
        EXPECT_EQ(1234u, light.zonesDuration) << row.name;
        EXPECT_EQ(1, light.zonesApply) << row.name;
        EXPECT_EQ(1, light.zonesMessages) << row.name;
        EXPECT_EQ(row.zoneIndex, light.zoneIndex) << row.name;
        EXPECT_EQ(row.count, light.zoneCount) << row.name;
        for (int z = 0; z < kEmulatorZones; z++) {
            bool changed = row.firstChanged >= 0 && z >= row.firstChanged && z <= row.lastChanged;
            // Record i lands on zone index + i.
            const Hsbk &expected = changed ? records[z - row.zoneIndex] : old;
            ExpectHsbk(expected, light.zones[z],
                       std::string(row.name) + ", zone " + std::to_string(z));
        }
    }
}

TEST(EmulatedStripEffect, ExampleImageStartsTheMoveEffect)
{
    EmulatedLight light;
    ASSERT_TRUE(Apply(light, ToBytes(kMoveEffectImage)));
    EXPECT_TRUE(light.effectReceived);
    EXPECT_TRUE(light.moveOn);
    EXPECT_EQ(1, light.effectType);
    EXPECT_EQ(0x1A2B3C4Du, light.effectInstance);
    EXPECT_EQ(10000u, light.moveSpeedMs);
    EXPECT_EQ(1u, light.moveDirection);
    EXPECT_EQ(1, light.effectMessages);
}

TEST(EmulatedStripEffect, OffMessageStopsItAndKeepsSpeedAndDirection)
{
    Bytes off = ToBytes(kMoveEffectImage);
    off[40] = 0;
    EmulatedLight light;
    ASSERT_TRUE(Apply(light, ToBytes(kMoveEffectImage)));
    ASSERT_TRUE(Apply(light, off));
    EXPECT_FALSE(light.moveOn);
    EXPECT_EQ(0, light.effectType);
    EXPECT_EQ(10000u, light.moveSpeedMs);
    EXPECT_EQ(1u, light.moveDirection);
    EXPECT_EQ(2, light.effectMessages);
}

TEST(EmulatedStripEffect, OnlyEffectTypeOneIsTheMoveEffect)
{
    Bytes other = ToBytes(kMoveEffectImage);
    other[40] = 2;
    EmulatedLight light;
    ASSERT_TRUE(Apply(light, other));
    EXPECT_FALSE(light.moveOn);
    EXPECT_EQ(2, light.effectType);
}

struct EffectFieldsCase {
    const char *name;
    uint8_t speedBytes[4];     // offsets 43-46
    uint8_t directionBytes[4]; // offsets 67-70
    uint32_t speedMs;
    uint32_t direction;
};

const EffectFieldsCase kEffectFields[] = {
    {"speed 60 s, forward", {0x60, 0xEA, 0x00, 0x00}, {0x01, 0x00, 0x00, 0x00}, 60000, 1},
    {"speed 1 s, forward", {0xE8, 0x03, 0x00, 0x00}, {0x01, 0x00, 0x00, 0x00}, 1000, 1},
    {"speed 10 s, reversed", {0x10, 0x27, 0x00, 0x00}, {0x00, 0x00, 0x00, 0x00}, 10000, 0},
    {"every byte counts",
     {0x01, 0x02, 0x03, 0x04},
     {0x05, 0x06, 0x07, 0x08},
     0x04030201,
     0x08070605},
};

TEST(EmulatedStripEffect, SpeedAndDirectionAreReadFromTheirOffsets)
{
    for (const EffectFieldsCase &row : kEffectFields) {
        Bytes datagram = ToBytes(kMoveEffectImage);
        for (int i = 0; i < 4; i++) {
            datagram[43 + i] = row.speedBytes[i];
            datagram[67 + i] = row.directionBytes[i];
        }
        EmulatedLight light;
        ASSERT_TRUE(Apply(light, datagram)) << row.name;
        EXPECT_EQ(row.speedMs, light.moveSpeedMs) << row.name;
        EXPECT_EQ(row.direction, light.moveDirection) << row.name;
    }
}

TEST(EmulatedLightHistory, EveryValidDatagramIsKeptInOrderWithItsBytes)
{
    Hsbk records[kEmulatorZones];
    FillRecords(records);
    const Bytes sent[] = {ToBytes(kPowerOnImage), ToBytes(kSetColorImage),
                          ZonesDatagram(0, 1, 0, 82, records), ToBytes(kMoveEffectImage),
                          ToBytes(kPowerOffImage)};
    const uint16_t types[] = {117, 102, 510, 508, 117};
    EmulatedLight light;
    int64_t now = 5000;
    for (const Bytes &datagram : sent)
        ASSERT_TRUE(Apply(light, datagram, now++));
    ASSERT_EQ(5u, light.received.size());
    for (size_t i = 0; i < light.received.size(); i++) {
        EXPECT_EQ(types[i], light.received[i].type) << "datagram " << i;
        EXPECT_EQ(5000 + (int64_t)i, light.received[i].atMs) << "datagram " << i;
        EXPECT_EQ(sent[i], light.received[i].bytes) << "datagram " << i;
    }
    EXPECT_EQ(2, light.powerMessages);
    EXPECT_EQ(1, light.colourMessages);
    EXPECT_EQ(1, light.zonesMessages);
    EXPECT_EQ(1, light.effectMessages);
}

// Malformed datagrams, each a small change to a valid one.
struct MalformedCase {
    const char *name;
    Bytes datagram;
};

std::vector<MalformedCase> MalformedCases()
{
    std::vector<MalformedCase> cases;
    cases.push_back({"empty", Bytes()});
    cases.push_back({"one byte", Bytes(1, 0x2A)});

    Bytes shortHeader = Header(36, 117);
    shortHeader.resize(35);
    shortHeader[0] = 35;
    cases.push_back({"shorter than a header", shortHeader});
    cases.push_back({"header alone with a message type", Header(36, 117)});

    Bytes sizeTooBig = ToBytes(kPowerOnImage);
    sizeTooBig[0] = 43;
    cases.push_back({"size field one more than the length", sizeTooBig});
    Bytes sizeTooSmall = ToBytes(kPowerOnImage);
    sizeTooSmall[0] = 41;
    cases.push_back({"size field one less than the length", sizeTooSmall});
    Bytes sizeHighByte = ToBytes(kPowerOnImage);
    sizeHighByte[1] = 1;
    cases.push_back({"size field with a high byte", sizeHighByte});
    Bytes trailing = ToBytes(kPowerOnImage);
    trailing.push_back(0);
    cases.push_back({"one byte after the message", trailing});

    Bytes notTagged = ToBytes(kPowerOnImage);
    notTagged[3] = 0x14;
    cases.push_back({"protocol word without the tagged bit", notTagged});
    Bytes otherProtocol = ToBytes(kPowerOnImage);
    otherProtocol[2] = 0x01;
    cases.push_back({"protocol word 0x3401", otherProtocol});
    Bytes swapped = ToBytes(kPowerOnImage);
    swapped[2] = 0x34;
    swapped[3] = 0x00;
    cases.push_back({"protocol word in the wrong byte order", swapped});
    Bytes origin = ToBytes(kPowerOnImage);
    origin[3] = 0x74;
    cases.push_back({"protocol word with an origin", origin});

    cases.push_back({"GetColor, a request the plug-in never sends", Header(36, 101)});
    cases.push_back({"unknown type at the power size", Header(42, 118)});
    Bytes bigEndianType = ToBytes(kPowerOnImage);
    bigEndianType[32] = 0x00;
    bigEndianType[33] = 0x75;
    cases.push_back({"type in the wrong byte order", bigEndianType});

    cases.push_back({"SetColor at the power size", Header(42, 102)});
    cases.push_back({"SetLightPower at the colour size", Header(49, 117)});
    cases.push_back({"SetColor one byte short", Header(48, 102)});
    cases.push_back({"SetExtendedColorZones one byte short", Header(699, 510)});
    cases.push_back({"SetExtendedColorZones one byte long", Header(701, 510)});
    cases.push_back({"SetMultiZoneEffect one byte long", Header(96, 508)});
    cases.push_back({"SetMultiZoneEffect at the zones size", Header(700, 508)});
    return cases;
}

TEST(EmulatedLightMalformed, IsCountedAndChangesNothingElse)
{
    Hsbk records[kEmulatorZones];
    FillRecords(records);
    for (const MalformedCase &row : MalformedCases()) {
        EmulatedLight light;
        snprintf(light.address, sizeof light.address, "127.0.0.9");
        ASSERT_TRUE(Apply(light, ToBytes(kPowerOnImage), 100));
        ASSERT_TRUE(Apply(light, ToBytes(kSetColorImage), 110));
        ASSERT_TRUE(Apply(light, ZonesDatagram(800, 1, 0, 82, records), 120));
        ASSERT_TRUE(Apply(light, ToBytes(kMoveEffectImage), 130));
        const std::string before = StateText(light);

        EXPECT_EQ(0, EmulatorDatagramType(row.datagram.data(), row.datagram.size())) << row.name;
        EXPECT_FALSE(Apply(light, row.datagram, 140)) << row.name;
        EXPECT_EQ(1, light.malformed) << row.name;
        EXPECT_EQ(before, StateText(light)) << row.name;
    }
}

TEST(EmulatedLightMalformed, NullDataIsRefused)
{
    EmulatedLight light;
    EXPECT_FALSE(EmulatorApplyDatagram(light, nullptr, 42, 0));
    EXPECT_EQ(1, light.malformed);
}

TEST(EmulatedLightMalformed, TheFourMessagesAreRecognised)
{
    Hsbk records[kEmulatorZones];
    FillRecords(records);
    const Bytes zones = ZonesDatagram(0, 1, 0, 82, records);
    EXPECT_EQ(117, EmulatorDatagramType(kPowerOnImage, sizeof kPowerOnImage));
    EXPECT_EQ(102, EmulatorDatagramType(kSetColorImage, sizeof kSetColorImage));
    EXPECT_EQ(510, EmulatorDatagramType(zones.data(), zones.size()));
    EXPECT_EQ(508, EmulatorDatagramType(kMoveEffectImage, sizeof kMoveEffectImage));
}

TEST(EmulatedLightRate, CountsMessagesWithinTheLastSecond)
{
    EmulatedLight light;
    // 25 messages within 240 ms: more than the 20 per second LIFX asks for.
    for (int i = 0; i < 25; i++)
        ASSERT_TRUE(Apply(light, ToBytes(kPowerOnImage), 10000 + i * 10));
    EXPECT_EQ(25, EmulatorMessagesInLastSecond(light, 10240));
    EXPECT_EQ(25, EmulatorMessagesInLastSecond(light, 10999));
    EXPECT_EQ(24, EmulatorMessagesInLastSecond(light, 11000)); // the first is a second old
    EXPECT_EQ(0, EmulatorMessagesInLastSecond(light, 12000));
    EXPECT_EQ(25, light.peakPerSecond);
    EXPECT_GT(light.peakPerSecond, kEmulatorRecommendedRate);
}

TEST(EmulatedLightRate, PeakKeepsTheBusiestSecond)
{
    EmulatedLight light;
    for (int i = 0; i < 8; i++)
        ASSERT_TRUE(Apply(light, ToBytes(kSetColorImage), 1000 + i));
    // Later, slower traffic: one message every 400 ms, at most 3 a second.
    for (int i = 0; i < 10; i++)
        ASSERT_TRUE(Apply(light, ToBytes(kSetColorImage), 5000 + i * 400));
    EXPECT_EQ(3, EmulatorMessagesInLastSecond(light, 5000 + 9 * 400));
    EXPECT_EQ(8, light.peakPerSecond);
}

TEST(EmulatedLightRate, MessagesASecondApartNeverShareASecond)
{
    EmulatedLight light;
    for (int i = 0; i < 5; i++)
        ASSERT_TRUE(Apply(light, ToBytes(kPowerOnImage), 1000 + i * 1000));
    EXPECT_EQ(1, light.peakPerSecond);
    EXPECT_EQ(1, EmulatorMessagesInLastSecond(light, 5000));
}

TEST(EmulatedLightRate, MalformedDatagramsAreNotCounted)
{
    EmulatedLight light;
    const Bytes junk = Header(36, 101);
    for (int i = 0; i < 30; i++)
        Apply(light, junk, 1000);
    EXPECT_EQ(0, EmulatorMessagesInLastSecond(light, 1000));
    EXPECT_EQ(0, light.peakPerSecond);
    EXPECT_EQ(30, light.malformed);
}

TEST(EmulatedLightReset, ForgetsEverythingButTheAddress)
{
    EmulatedLight light;
    snprintf(light.address, sizeof light.address, "127.0.0.9");
    Apply(light, ToBytes(kPowerOnImage));
    Apply(light, ToBytes(kMoveEffectImage));
    Apply(light, Header(36, 101));
    EmulatorResetLight(light);
    EmulatedLight fresh;
    snprintf(fresh.address, sizeof fresh.address, "127.0.0.9");
    EXPECT_EQ(StateText(fresh), StateText(light));
    EXPECT_EQ(0, light.malformed);
}

TEST(EmulatedLightDescription, NamesTheAddressPowerColourAndDuration)
{
    EmulatedLight light;
    snprintf(light.address, sizeof light.address, "127.0.0.9");
    EXPECT_EQ(0u, EmulatorDescribeLight(light).find("light 127.0.0.9: power?"))
        << EmulatorDescribeLight(light);

    Apply(light, ToBytes(kPowerOnImage));
    Bytes colour = ToBytes(kSetColorImage);
    PutU32(colour, 45, 800);
    Apply(light, colour);
    const std::string text = EmulatorDescribeLight(light);
    EXPECT_EQ(0u, text.find("light 127.0.0.9: on hsbk=21845,65535,32896,9000 dur=800")) << text;

    Apply(light, ToBytes(kPowerOffImage));
    Apply(light, ToBytes(kMoveEffectImage));
    const std::string off = EmulatorDescribeLight(light);
    EXPECT_EQ(0u, off.find("light 127.0.0.9: off")) << off;
    EXPECT_NE(std::string::npos, off.find("move on speed=10000ms dir=1")) << off;
}

} // namespace
