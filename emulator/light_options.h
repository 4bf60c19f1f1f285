// What one emulated light is, as options: lifx-emulator's command line and
// the preview's homes both describe a light this way, so that a light the
// emulator learns to be is at once one the preview can show.
#pragma once

#include <stdint.h>

#include <string>

#include "emulator/emulator.h"

struct EmulatorLightOptions {
    bool strip = false;
    int zones = 0; // 0: the default
    std::string label;
    bool labelGiven = false;
    bool serialGiven = false;
    uint8_t serial[kEmulatorSerialSize] = {};
    EmulatorReplyMode replyMode = EmulatorRepliesNormal;
    int lossPercent = -1; // -1: the emulator's own share
    EmulatorKindConfig kind;
};

enum EmulatorOptionResult {
    EmulatorOptionTaken,   // the option and its value, i moved past them
    EmulatorOptionUnknown, // not an option of a light
    EmulatorOptionBad,     // a light's option with a bad or missing value: error says why
};

// Reads the light option at argv[i] and its value.
EmulatorOptionResult EmulatorTakeLightOption(int argc, const char *const argv[], int &i,
                                             EmulatorLightOptions &options, std::string &error);

// False, with the reason, for options that do not fit one another (an
// older strip of more zones than it can have).
bool EmulatorLightOptionsFit(const EmulatorLightOptions &options, std::string &error);

void EmulatorApplyLightOptions(EmulatedLight &light, const EmulatorLightOptions &options);

// The light options' lines of a usage text.
extern const char kEmulatorLightOptionsUsage[];
