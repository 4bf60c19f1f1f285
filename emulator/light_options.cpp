#include "emulator/light_options.h"

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
    "                   instead of --loss's\n";

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
                  name == "--replies" || name == "--light-loss";
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
    } else {
        if (!WholeNumber(value, 0, 100, number)) {
            error = std::string("a loss is a percentage from 0 to 100: \"") + value + "\"";
            return EmulatorOptionBad;
        }
        options.lossPercent = (int)number;
    }
    return EmulatorOptionTaken;
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
}
