// Who an emulated light is, and the names the emulator prints.
#include <arpa/inet.h>
#include <stdio.h>
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
