// Who an emulated light is, and the names the emulator prints.
#include <arpa/inet.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "emulator/emulator.h"

namespace
{

// LIFX's own prefix, so a default serial looks like a real light's.
const uint8_t kSerialPrefix[3] = {0xD0, 0x73, 0xD5};

struct Name {
    int value;
    const char *text;
};

const Name kMessageNames[] = {
    {kEmulatorTypeGetService, "GetService"},
    {kEmulatorTypeStateService, "StateService"},
    {kEmulatorTypeGetLabel, "GetLabel"},
    {kEmulatorTypeAcknowledgement, "Acknowledgement"},
    {kEmulatorTypeStateLabel, "StateLabel"},
    {kEmulatorTypeSetColor, "SetColor"},
    {kEmulatorTypeSetLightPower, "SetLightPower"},
    {kEmulatorTypeStateUnhandled, "StateUnhandled"},
    {kEmulatorTypeSetMultiZoneEffect, "SetMultiZoneEffect"},
    {kEmulatorTypeSetExtendedColorZones, "SetExtendedColorZones"},
    {kEmulatorTypeGetExtendedColorZones, "GetExtendedColorZones"},
    {kEmulatorTypeStateExtendedColorZones, "StateExtendedColorZones"},
    {kEmulatorTypeGetHostFirmware, "GetHostFirmware"},
    {kEmulatorTypeStateHostFirmware, "StateHostFirmware"},
    {kEmulatorTypeSetPower, "SetPower"},
    {kEmulatorTypeGetVersion, "GetVersion"},
    {kEmulatorTypeStateVersion, "StateVersion"},
    {kEmulatorTypeGetColor, "GetColor"},
    {kEmulatorTypeLightState, "LightState"},
    {kEmulatorTypeSetColorZones, "SetColorZones"},
    {kEmulatorTypeGetColorZones, "GetColorZones"},
    {kEmulatorTypeStateZone, "StateZone"},
    {kEmulatorTypeStateMultiZone, "StateMultiZone"},
    {kEmulatorTypeGetDeviceChain, "GetDeviceChain"},
    {kEmulatorTypeStateDeviceChain, "StateDeviceChain"},
    {kEmulatorTypeGet64, "Get64"},
    {kEmulatorTypeSet64, "Set64"},
    {kEmulatorTypeCopyFrameBuffer, "CopyFrameBuffer"},
};

const Name kKindNames[] = {
    {EmulatorKindBulb, "bulb"},
    {EmulatorKindStrip, "strip"},
    {EmulatorKindOlderStrip, "older-strip"},
    {EmulatorKindMatrix, "matrix"},
    {EmulatorKindSwitch, "switch"},
};

const Name kFaultNames[] = {
    {EmulatorFaultNone, "none"},
    {EmulatorFaultSizeField, "size-field"},
    {EmulatorFaultProtocol, "protocol"},
    {EmulatorFaultSource, "source"},
    {EmulatorFaultShortPayload, "short-payload"},
    {EmulatorFaultLongPayload, "long-payload"},
    {EmulatorFaultWrongType, "wrong-type"},
};

const Name kReplyModeNames[] = {
    {EmulatorRepliesNormal, "normal"},
    {EmulatorRepliesSilent, "silent"},
    {EmulatorRepliesMalformed, "malformed"},
    {EmulatorRepliesOlderFirmware, "older-firmware"},
};

template <size_t N> const char *Find(const Name (&names)[N], int value)
{
    for (const Name &name : names) {
        if (name.value == value) {
            return name.text;
        }
    }
    return nullptr;
}

} // namespace

void EmulatorSetDefaultIdentity(EmulatedLight &light)
{
    char label[kEmulatorLabelSize + 1];
    snprintf(label, sizeof(label), "Light %s", light.address);
    EmulatorSetLabel(light, label);
    light.strip = false;
    light.kind = EmulatorKindConfig();
    light.replyMode = EmulatorRepliesNormal;
    memcpy(light.serial, kSerialPrefix, sizeof(kSerialPrefix));
    in_addr parsed;
    uint32_t host = inet_pton(AF_INET, light.address, &parsed) == 1 ? ntohl(parsed.s_addr) : 0;
    light.serial[3] = (host >> 16) & 0xFF;
    light.serial[4] = (host >> 8) & 0xFF;
    light.serial[5] = host & 0xFF;
}

void EmulatorSetLabel(EmulatedLight &light, const char *label)
{
    memset(light.label, 0, sizeof(light.label));
    if (label != nullptr) {
        memcpy(light.label, label, strnlen(label, kEmulatorLabelSize));
    }
}

const char *EmulatorMessageName(int type)
{
    return Find(kMessageNames, type);
}

const char *EmulatorFaultName(EmulatorFault fault)
{
    const char *name = Find(kFaultNames, fault);
    return name == nullptr ? "?" : name;
}

const char *EmulatorReplyModeName(EmulatorReplyMode mode)
{
    const char *name = Find(kReplyModeNames, mode);
    return name == nullptr ? "?" : name;
}

bool EmulatorParseReplyMode(const char *text, EmulatorReplyMode &mode)
{
    for (const Name &name : kReplyModeNames) {
        if (text != nullptr && strcmp(text, name.text) == 0) {
            mode = (EmulatorReplyMode)name.value;
            return true;
        }
    }
    return false;
}

EmulatorKind EmulatorLightKind(const EmulatedLight &light)
{
    if (light.kind.kind == EmulatorKindBulb && light.strip) {
        return EmulatorKindStrip;
    }
    return light.kind.kind;
}

uint32_t EmulatorUsualProduct(EmulatorKind kind)
{
    // From LIFX's list: an A19 bulb, a Z strip (the extended messages from
    // firmware 2.77 on), the first Z, the Tile and the Switch.
    switch (kind) {
    case EmulatorKindStrip:
        return 38;
    case EmulatorKindOlderStrip:
        return 31;
    case EmulatorKindMatrix:
        return 55;
    case EmulatorKindSwitch:
        return 70;
    default:
        return 27;
    }
}

const char *EmulatorKindName(EmulatorKind kind)
{
    const char *name = Find(kKindNames, kind);
    return name == nullptr ? "?" : name;
}

bool EmulatorParseKind(const char *text, EmulatorKind &kind)
{
    for (const Name &name : kKindNames) {
        if (text != nullptr && strcmp(text, name.text) == 0) {
            kind = (EmulatorKind)name.value;
            return true;
        }
    }
    return false;
}

bool EmulatorParseChain(const char *text, EmulatorKindConfig &config)
{
    EmulatorTile tiles[kEmulatorMaxTiles];
    int count = 0;
    const char *at = text;
    while (at != nullptr && *at != '\0') {
        char *end;
        long width = strtol(at, &end, 10);
        if (end == at || *end != 'x' || width < 0 || width > 255 || count == kEmulatorMaxTiles) {
            return false;
        }
        at = end + 1;
        long height = strtol(at, &end, 10);
        if (end == at || (*end != ',' && *end != '\0') || height < 0 || height > 255) {
            return false;
        }
        tiles[count].width = (uint8_t)width;
        tiles[count++].height = (uint8_t)height;
        at = *end == ',' ? end + 1 : end;
    }
    if (count == 0) {
        return false;
    }
    config.tileCount = count;
    memcpy(config.tiles, tiles, sizeof(tiles[0]) * (size_t)count);
    return true;
}
