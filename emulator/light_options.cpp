#include "emulator/light_options.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

const char kEmulatorLightOptionsUsage[] =
    "  --strip          a multi-zone strip (without it, a bulb)\n"
    "  --zones N        a strip of N zones, 1 to 1000 (without it, 82)\n"
    "  --label TEXT     its label, at most 32 bytes (default \"Light ADDRESS\")\n"
    "  --serial HEX     its serial, 12 hexadecimal digits (default d073d5 and the\n"
    "                   address's last three octets)\n"
    "  --replies MODE   normal, silent, malformed or older-firmware\n"
    "  --light-loss PERCENT  this light loses that share (0-100) each way,\n"
    "                   instead of --loss's\n"
    "  --kind KIND      bulb, strip, older-strip (at most 255 zones), matrix or switch\n"
    "  --product N      the product it names (default the kind's usual one)\n"
    "  --firmware M.N   the firmware it names (default 3.70)\n"
    "  --chain WxH,...  a matrix light's tiles, in chain order (default 8x8)\n";

namespace
{

// Twelve hexadecimal digits into six bytes.
bool ParseSerial(const char *text, uint8_t serial[kEmulatorSerialSize])
{
    if (strlen(text) != 2 * kEmulatorSerialSize)
        return false;
    for (int i = 0; i < kEmulatorSerialSize; i++) {
        unsigned value = 0;
        for (int d = 0; d < 2; d++) {
            char c = text[2 * i + d];
            int digit = c >= '0' && c <= '9'   ? c - '0'
                        : c >= 'a' && c <= 'f' ? c - 'a' + 10
                        : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                               : -1;
            if (digit < 0)
                return false;
            value = value * 16 + (unsigned)digit;
        }
        serial[i] = (uint8_t)value;
    }
    return true;
}

// The whole text as a number from low to high.
bool WholeNumber(const char *text, long low, long high, long &value)
{
    char *end = nullptr;
    value = strtol(text, &end, 10);
    return end != text && *end == '\0' && value >= low && value <= high;
}

} // namespace

EmulatorOptionResult EmulatorTakeLightOption(int argc, const char *const argv[], int &i,
                                             EmulatorLightOptions &options, std::string &error)
{
    std::string name = argv[i];
    if (name == "--strip") {
        options.strip = true;
        return EmulatorOptionTaken;
    }
    bool valued = name == "--zones" || name == "--label" || name == "--serial" ||
                  name == "--replies" || name == "--light-loss" || name == "--kind" ||
                  name == "--product" || name == "--firmware" || name == "--chain";
    if (!valued)
        return EmulatorOptionUnknown;
    if (i + 1 >= argc) {
        error = name + " needs a value";
        return EmulatorOptionBad;
    }
    const char *value = argv[++i];
    long number = 0;
    if (name == "--zones") {
        if (!WholeNumber(value, 1, kEmulatorMaxZones, number)) {
            error = "a strip has 1 to " + std::to_string(kEmulatorMaxZones) + " zones: \"" + value +
                    "\"";
            return EmulatorOptionBad;
        }
        options.strip = true;
        options.zones = (int)number;
    } else if (name == "--label") {
        if (strlen(value) > kEmulatorLabelSize) {
            error = "a label holds at most " + std::to_string(kEmulatorLabelSize) + " bytes: \"" +
                    value + "\"";
            return EmulatorOptionBad;
        }
        options.label = value;
        options.labelGiven = true;
    } else if (name == "--serial") {
        if (!ParseSerial(value, options.serial)) {
            error = std::string("a serial is 12 hexadecimal digits: \"") + value + "\"";
            return EmulatorOptionBad;
        }
        options.serialGiven = true;
    } else if (name == "--replies") {
        if (!EmulatorParseReplyMode(value, options.replyMode)) {
            error = std::string("unknown reply mode \"") + value +
                    "\" (normal, silent, malformed, older-firmware)";
            return EmulatorOptionBad;
        }
    } else if (name == "--kind") {
        if (!EmulatorParseKind(value, options.kind.kind)) {
            error = std::string("unknown kind \"") + value +
                    "\" (bulb, strip, older-strip, matrix, switch)";
            return EmulatorOptionBad;
        }
    } else if (name == "--product") {
        if (!WholeNumber(value, 0, 999999, number)) {
            error = std::string("a product is a number: \"") + value + "\"";
            return EmulatorOptionBad;
        }
        options.kind.product = (uint32_t)number;
    } else if (name == "--firmware") {
        unsigned major = 0, minor = 0;
        if (sscanf(value, "%u.%u", &major, &minor) != 2 || major > 65535 || minor > 65535) {
            error = std::string("a firmware is MAJOR.MINOR: \"") + value + "\"";
            return EmulatorOptionBad;
        }
        options.kind.firmwareMajor = (uint16_t)major;
        options.kind.firmwareMinor = (uint16_t)minor;
    } else if (name == "--chain") {
        if (!EmulatorParseChain(value, options.kind)) {
            error = "a chain is 1 to " + std::to_string(kEmulatorMaxTiles) +
                    " tiles, WxH,WxH...: \"" + value + "\"";
            return EmulatorOptionBad;
        }
    } else {
        if (!WholeNumber(value, 0, 100, number)) {
            error = std::string("a loss is a percentage from 0 to 100: \"") + value + "\"";
            return EmulatorOptionBad;
        }
        options.lossPercent = (int)number;
    }
    return EmulatorOptionTaken;
}

bool EmulatorLightOptionsFit(const EmulatorLightOptions &options, std::string &error)
{
    if (options.kind.kind == EmulatorKindOlderStrip &&
        options.zones > kEmulatorMaxOlderStripZones) {
        error = "an older strip has 1 to " + std::to_string(kEmulatorMaxOlderStripZones) + " zones";
        return false;
    }
    return true;
}

void EmulatorApplyLightOptions(EmulatedLight &light, const EmulatorLightOptions &options)
{
    light.strip = options.strip;
    if (options.zones)
        light.stripZones = options.zones;
    if (options.labelGiven)
        EmulatorSetLabel(light, options.label.c_str());
    if (options.serialGiven)
        memcpy(light.serial, options.serial, sizeof light.serial);
    light.replyMode = options.replyMode;
    light.lossPercent = options.lossPercent;
    light.kind = options.kind;
    if (options.kind.kind == EmulatorKindStrip || options.kind.kind == EmulatorKindOlderStrip)
        light.strip = true;
}
