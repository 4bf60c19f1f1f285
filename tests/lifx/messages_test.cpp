// What a light receives: the exact datagram bytes of each message.
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <string>

#include <gtest/gtest.h>

#include "lifx/messages.h"
#include "tests/lifx/golden_images.h"

namespace
{

// Hex text of a byte range, so a mismatch shows the offending bytes in place.
// Whole images break every 12 bytes, as the golden images are laid out.
std::string Hex(const uint8_t *bytes, size_t count, size_t perLine = 0)
{
    std::string text;
    char two[4];
    for (size_t i = 0; i < count; ++i) {
        snprintf(two, sizeof two, "%02X", bytes[i]);
        if (i > 0)
            text += (perLine != 0 && i % perLine == 0) ? "\n" : " ";
        text += two;
    }
    return text;
}

template <size_t N> std::string Hex(const uint8_t (&bytes)[N])
{
    return Hex(bytes, N, 12);
}

template <size_t N> void CopyImage(uint8_t (&to)[N], const uint8_t (&from)[N])
{
    memcpy(to, from, N);
}

// Fills a buffer with garbage first: the encoder must not rely on a clean one.
template <size_t N> void Dirty(uint8_t (&buffer)[N])
{
    memset(buffer, 0xA5, N);
}

const Hsbk kGreenHalf = {21845, 65535, 32896, 9000};

TEST(LightPower, SwitchingOnSendsTheExactImage)
{
    uint8_t message[kSetLightPowerSize];
    Dirty(message);
    EncodeSetLightPower(message, true);
    EXPECT_EQ(Hex(kPowerOnImage), Hex(message));
}

TEST(LightPower, SwitchingOffDiffersOnlyInTheLevel)
{
    uint8_t message[kSetLightPowerSize];
    Dirty(message);
    EncodeSetLightPower(message, false);
    EXPECT_EQ(Hex(kPowerOffImage), Hex(message));

    uint8_t on[kSetLightPowerSize];
    CopyImage(on, kPowerOnImage);
    on[36] = 0x00;
    on[37] = 0x00;
    EXPECT_EQ(Hex(on), Hex(message));
}

TEST(SetColor, CarriesTheColourAfterOneReservedByte)
{
    uint8_t message[kSetColorSize];
    Dirty(message);
    EncodeSetColor(message, kGreenHalf, 0);
    EXPECT_EQ(Hex(kSetColorImage), Hex(message));
}

TEST(SetColor, CarriesTheTransitionTimeLittleEndian)
{
    uint8_t message[kSetColorSize];
    const Hsbk colour = {0x0102, 0x0304, 0x0506, 0x0708};
    EncodeSetColor(message, colour, 0x0A0B0C0Du);
    EXPECT_EQ("00 02 01 04 03 06 05 08 07 0D 0C 0B 0A", Hex(message + 36, 13));
}

TEST(MoveEffect, StartingAtTenSecondsSendsTheExactImage)
{
    uint8_t message[kSetMultiZoneEffectSize];
    Dirty(message);
    EncodeSetMultiZoneEffect(message, true, 10, false);
    EXPECT_EQ(Hex(kMoveEffectImage), Hex(message));
}

struct MoveCase {
    const char *name;
    bool on;
    int speedSeconds;
    bool reverse;
    // Bytes that differ from the ten-second, forward, running image.
    struct {
        int offset;
        uint8_t value;
    } changes[4];
    int changeCount;
};

const MoveCase kMoveCases[] = {
    {"speed 1 s", true, 1, false, {{43, 0xE8}, {44, 0x03}}, 2},
    {"speed 60 s", true, 60, false, {{43, 0x60}, {44, 0xEA}}, 2},
    {"reversed", true, 10, true, {{67, 0x00}}, 1},
    {"stopped keeps speed and direction", false, 10, false, {{40, 0x00}}, 1},
    {"stopped while reversed at 60 s",
     false,
     60,
     true,
     {{40, 0x00}, {43, 0x60}, {44, 0xEA}, {67, 0x00}},
     4},
};

TEST(MoveEffect, SpeedDirectionAndStopChangeOnlyTheirOwnBytes)
{
    for (const MoveCase &c : kMoveCases) {
        SCOPED_TRACE(c.name);
        uint8_t expected[kSetMultiZoneEffectSize];
        CopyImage(expected, kMoveEffectImage);
        for (int i = 0; i < c.changeCount; ++i)
            expected[c.changes[i].offset] = c.changes[i].value;

        uint8_t message[kSetMultiZoneEffectSize];
        Dirty(message);
        EncodeSetMultiZoneEffect(message, c.on, c.speedSeconds, c.reverse);
        EXPECT_EQ(Hex(expected), Hex(message));
    }
}

TEST(MoveEffect, SpeedFieldHoldsMilliseconds)
{
    uint8_t message[kSetMultiZoneEffectSize];
    EncodeSetMultiZoneEffect(message, true, 60, false);
    EXPECT_EQ("60 EA 00 00", Hex(message + 43, 4));
    EncodeSetMultiZoneEffect(message, true, 1, false);
    EXPECT_EQ("E8 03 00 00", Hex(message + 43, 4));
}

TEST(MoveEffect, DirectionFieldIsOneForwardAndZeroReversed)
{
    uint8_t message[kSetMultiZoneEffectSize];
    EncodeSetMultiZoneEffect(message, true, 10, false);
    EXPECT_EQ("01 00 00 00", Hex(message + 67, 4));
    EncodeSetMultiZoneEffect(message, true, 10, true);
    EXPECT_EQ("00 00 00 00", Hex(message + 67, 4));
}

// Each zone gets a colour of its own so a wrong stride or a lost zone shows.
void FillZones(Hsbk (&zones)[kStripZones])
{
    for (int z = 0; z < kStripZones; ++z) {
        zones[z].hue = static_cast<uint16_t>(0x1000 + z);
        zones[z].saturation = static_cast<uint16_t>(0x2000 + z);
        zones[z].brightness = static_cast<uint16_t>(0x3000 + z);
        zones[z].kelvin = static_cast<uint16_t>(0x4000 + z);
    }
}

TEST(ExtendedColorZones, StartsWithDurationApplyFirstZoneAndCount)
{
    Hsbk zones[kStripZones];
    FillZones(zones);
    uint8_t message[kSetExtendedColorZonesSize];
    Dirty(message);
    EncodeSetExtendedColorZones(message, zones, 9800);
    EXPECT_EQ("BC 02 00 34", Hex(message, 4));
    EXPECT_EQ("FE 01 00 00", Hex(message + 32, 4));
    // 9800 ms, apply 1, zone index 0, 82 colours.
    EXPECT_EQ("48 26 00 00 01 00 00 52", Hex(message + 36, 8));
}

TEST(ExtendedColorZones, ZoneZeroIsFirstAndZone81EndsTheMessage)
{
    Hsbk zones[kStripZones];
    FillZones(zones);
    uint8_t message[kSetExtendedColorZonesSize];
    Dirty(message);
    EncodeSetExtendedColorZones(message, zones, 0);
    EXPECT_EQ("00 10 00 20 00 30 00 40", Hex(message + 44, 8));
    EXPECT_EQ("51 10 51 20 51 30 51 40", Hex(message + 692, 8));
    EXPECT_EQ(700u, sizeof message);
}

TEST(ExtendedColorZones, EveryZoneLiesEightBytesAfterTheLast)
{
    Hsbk zones[kStripZones];
    FillZones(zones);
    uint8_t message[kSetExtendedColorZonesSize];
    EncodeSetExtendedColorZones(message, zones, 0);
    for (int z = 0; z < kStripZones; ++z) {
        SCOPED_TRACE(z);
        const uint8_t *p = message + 44 + 8 * z;
        EXPECT_EQ(z, p[0]);
        EXPECT_EQ(0x10, p[1]);
        EXPECT_EQ(z, p[2]);
        EXPECT_EQ(0x20, p[3]);
        EXPECT_EQ(z, p[4]);
        EXPECT_EQ(0x30, p[5]);
        EXPECT_EQ(z, p[6]);
        EXPECT_EQ(0x40, p[7]);
    }
}

struct Encoded {
    const char *name;
    const uint8_t *bytes;
    size_t length;
    int type;
};

TEST(EveryMessage, HasItsLengthInTheSizeFieldAndAnEmptyHeaderOtherwise)
{
    uint8_t powerOn[kSetLightPowerSize], powerOff[kSetLightPowerSize];
    uint8_t colour[kSetColorSize];
    uint8_t zonesMessage[kSetExtendedColorZonesSize];
    uint8_t moveOn[kSetMultiZoneEffectSize], moveOff[kSetMultiZoneEffectSize];
    Hsbk zones[kStripZones];
    FillZones(zones);
    Dirty(powerOn);
    Dirty(powerOff);
    Dirty(colour);
    Dirty(zonesMessage);
    Dirty(moveOn);
    Dirty(moveOff);
    EncodeSetLightPower(powerOn, true);
    EncodeSetLightPower(powerOff, false);
    EncodeSetColor(colour, {65535, 65535, 65535, 65535}, 0xFFFFFFFFu);
    EncodeSetExtendedColorZones(zonesMessage, zones, 0xFFFFFFFFu);
    EncodeSetMultiZoneEffect(moveOn, true, 60, false);
    EncodeSetMultiZoneEffect(moveOff, false, 1, true);
    uint8_t olderZones[kSetColorZonesSize], set64[kSet64Size], copy[kCopyFrameBufferSize];
    Dirty(olderZones);
    Dirty(set64);
    Dirty(copy);
    EncodeSetColorZones(olderZones, 3, 200, kGreenHalf, 0x01020304u, 1);
    EncodeSet64(set64, 4, 1, 4, 16, zones, 64, 0x0A0B0C0Du);
    EncodeCopyFrameBuffer(copy, 4, 16, 8, 0x01020304u);

    const Encoded messages[] = {
        {"SetLightPower on", powerOn, sizeof powerOn, 117},
        {"SetLightPower off", powerOff, sizeof powerOff, 117},
        {"SetColor", colour, sizeof colour, 102},
        {"SetExtendedColorZones", zonesMessage, sizeof zonesMessage, 510},
        {"SetMultiZoneEffect on", moveOn, sizeof moveOn, 508},
        {"SetMultiZoneEffect off", moveOff, sizeof moveOff, 508},
        {"SetColorZones", olderZones, sizeof olderZones, 501},
        {"Set64", set64, sizeof set64, 715},
        {"CopyFrameBuffer", copy, sizeof copy, 716},
    };
    const size_t expectedLengths[] = {42, 42, 49, 700, 95, 95, 51, 558, 51};

    for (size_t m = 0; m < sizeof messages / sizeof messages[0]; ++m) {
        const Encoded &e = messages[m];
        SCOPED_TRACE(e.name);
        EXPECT_EQ(expectedLengths[m], e.length);
        EXPECT_EQ(e.length, static_cast<size_t>(e.bytes[0] | (e.bytes[1] << 8)));
        EXPECT_EQ(0x00, e.bytes[2]);
        EXPECT_EQ(0x34, e.bytes[3]);
        for (int i = 4; i <= 31; ++i)
            EXPECT_EQ(0, e.bytes[i]) << "header byte " << i;
        EXPECT_EQ(e.type, e.bytes[32] | (e.bytes[33] << 8));
        EXPECT_EQ(0, e.bytes[34]);
        EXPECT_EQ(0, e.bytes[35]);
    }
    // Each field of the older strip's and matrix light's messages at its
    // offset, little-endian.
    const struct {
        const uint8_t *bytes;
        int offset;
        int value;
    } fields[] = {
        {olderZones, 36, 3},
        {olderZones, 37, 200},
        {olderZones, 38, 0x55},
        {olderZones, 44, 0x28},
        {olderZones, 45, 0x23},
        {olderZones, 46, 0x04},
        {olderZones, 49, 0x01},
        {olderZones, 50, 1},
        {set64, 36, 4},
        {set64, 37, 1},
        {set64, 38, 1},
        {set64, 39, 0},
        {set64, 40, 4},
        {set64, 41, 16},
        {set64, 42, 0x0D},
        {set64, 45, 0x0A},
        {set64, 46, zones[0].hue & 0xFF},
        {set64, 557, zones[63].kelvin >> 8},
        {copy, 36, 4},
        {copy, 37, 1},
        {copy, 38, 1},
        {copy, 39, 0},
        {copy, 40, 0},
        {copy, 43, 0},
        {copy, 44, 16},
        {copy, 45, 8},
        {copy, 46, 0x04},
        {copy, 49, 0x01},
        {copy, 50, 0},
    };
    for (const auto &field : fields)
        EXPECT_EQ(field.value, field.bytes[field.offset]) << "byte " << field.offset;
}

} // namespace
