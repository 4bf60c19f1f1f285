// A one-line picture of a light for test failures and the preview's log.
#include <inttypes.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "emulator/emulator.h"

namespace
{

void Append(std::string &text, const char *format, ...) __attribute__((format(printf, 2, 3)));

void Append(std::string &text, const char *format, ...)
{
    char part[256];
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(part, sizeof(part), format, arguments);
    va_end(arguments);
    text += part;
}

void AppendHsbk(std::string &text, const Hsbk &colour)
{
    Append(text, "%u,%u,%u,%u", colour.hue, colour.saturation, colour.brightness, colour.kelvin);
}

} // namespace

std::string EmulatorDescribeLight(const EmulatedLight &light)
{
    std::string text = "light ";
    text += light.address;
    text += ":";

    if (!light.powerReceived) {
        text += " power?";
    } else if (light.powerLevel == 0) {
        text += " off";
    } else if (light.powerLevel == 0xFFFF) {
        text += " on";
    } else {
        Append(text, " power=%u", light.powerLevel);
    }

    if (light.colourReceived) {
        text += " hsbk=";
        AppendHsbk(text, light.colour);
        Append(text, " dur=%" PRIu32, light.colourDuration);
    }

    if (light.zonesReceived) {
        Append(text, "; zones dur=%" PRIu32 " apply=%u index=%u count=%u z0=", light.zonesDuration,
               light.zonesApply, light.zoneIndex, light.zoneCount);
        AppendHsbk(text, light.zones[0]);
        // The strip's last zone: 81 on a strip of 82.
        int last = light.stripZones >= 1 && light.stripZones <= kEmulatorMaxZones
                       ? light.stripZones - 1
                       : kEmulatorZones - 1;
        Append(text, " z%d=", last);
        AppendHsbk(text, light.zones[last]);
    }

    // A matrix light's shown pixels, in the plug-in's order: the first, the
    // last, and the shortest period the whole image repeats by.
    const std::vector<Hsbk> &shown = light.frameBuffer[0];
    if (!shown.empty()) {
        size_t period = 1;
        for (; period < shown.size(); period++) {
            size_t p = period;
            while (p < shown.size() && memcmp(&shown[p], &shown[p - period], sizeof(Hsbk)) == 0)
                p++;
            if (p == shown.size())
                break;
        }
        text += "; pixels p0=";
        AppendHsbk(text, shown[0]);
        Append(text, " p%zu=", shown.size() - 1);
        AppendHsbk(text, shown.back());
        Append(text, " period=%zu", period);
    }

    if (light.effectReceived) {
        Append(text, "; move %s speed=%" PRIu32 "ms dir=%" PRIu32, light.moveOn ? "on" : "off",
               light.moveSpeedMs, light.moveDirection);
    }

    Append(text, "; messages power=%d colour=%d zones=%d effect=%d malformed=%d peak=%d/s",
           light.powerMessages, light.colourMessages, light.zonesMessages, light.effectMessages,
           light.malformed, light.peakPerSecond);

    // Only lights that were asked say so, so the lines of the others stay
    // as they always were.
    if (light.serviceRequests + light.labelRequests + light.zonesRequests + light.ignoredRequests >
        0) {
        Append(text, "; requests service=%d label=%d zones=%d ignored=%d replies=%d (%s)",
               light.serviceRequests, light.labelRequests, light.zonesRequests,
               light.ignoredRequests, light.repliesSent, EmulatorReplyModeName(light.replyMode));
    }
    // Only lights of another kind than a bulb or an extended strip, or asked
    // what they are, say what they are.
    EmulatorKind kind = EmulatorLightKind(light);
    if (light.kindRequests + light.unhandledMessages > 0 ||
        (kind != EmulatorKindBulb && kind != EmulatorKindStrip)) {
        Append(text, "; kind %s product=%u asked=%d refused=%d", EmulatorKindName(kind),
               light.kind.product != 0 ? light.kind.product : EmulatorUsualProduct(kind),
               light.kindRequests, light.unhandledMessages);
    }
    return text;
}
