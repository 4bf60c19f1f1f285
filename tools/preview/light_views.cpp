#include "tools/preview/light_views.h"

#include <stdlib.h>

#include <arpa/inet.h>
#include <stdio.h>

namespace preview
{

namespace
{

// Large (the lights keep every datagram until the preview has read it), so
// not on the stack.
Emulator emulator;

double Progress(int64_t at, uint32_t duration, int64_t now)
{
    if (duration == 0 || now >= at + duration)
        return 1;
    if (now <= at)
        return 0;
    return (double)(now - at) / duration;
}

Rgb ColourNow(const LightView &light, int64_t now)
{
    return Mix(light.from, DisplayRgb(light.colour), Progress(light.at, light.duration, now));
}

// Zones without travel or power, fading.
void ZonesFaded(const LightView &light, int64_t now, Rgb out[kMaxViewZones])
{
    double t = Progress(light.zonesAt, light.zonesDuration, now);
    for (int z = 0; z < light.zoneCount; z++)
        out[z] = light.zonesKnown ? Mix(light.zonesFrom[z], DisplayRgb(light.zones[z]), t)
                                  : Rgb{0, 0, 0};
}

void ApplyDatagram(LightView &view, const ReceivedDatagram &datagram)
{
    static EmulatedLight decoded;
    decoded = EmulatedLight();
    decoded.stripZones = view.zoneCount;
    if (!EmulatorApplyDatagram(decoded, datagram.bytes.data(), datagram.bytes.size(),
                               datagram.atMs))
        return;
    int64_t at = datagram.atMs;
    view.heard = true;
    switch (datagram.type) {
    case kEmulatorTypeSetLightPower:
        view.on = decoded.powerLevel != 0;
        break;
    case kEmulatorTypeSetColor:
        if (view.strip) {
            // One colour over the whole strip.
            static Rgb shown[kMaxViewZones];
            ZonesFaded(view, at, shown);
            for (int z = 0; z < view.zoneCount; z++) {
                view.zonesFrom[z] = shown[z];
                view.zones[z] = view.storedZones[z] = decoded.colour;
            }
            view.zonesKnown = true;
            view.zonesAt = at;
            view.zonesDuration = decoded.colourDuration;
        }
        view.from = view.colourKnown ? ColourNow(view, at) : Rgb{0, 0, 0};
        view.colour = decoded.colour;
        view.colourKnown = true;
        view.at = at;
        view.duration = decoded.colourDuration;
        break;
    case kEmulatorTypeSetExtendedColorZones: {
        // This message's colours are stored; apply 0 shows nothing yet.
        if (decoded.zonesApply != 2) {
            for (int i = 0; i < decoded.zoneCount && i < kZones; i++) {
                int z = decoded.zoneIndex + i;
                if (z < view.zoneCount)
                    view.storedZones[z] = decoded.storedZones[z];
            }
        }
        if (decoded.zonesApply == 0)
            break;
        static Rgb shown[kMaxViewZones];
        ZonesFaded(view, at, shown);
        for (int z = 0; z < view.zoneCount; z++) {
            view.zonesFrom[z] = shown[z];
            view.zones[z] = view.storedZones[z];
        }
        view.zonesKnown = true;
        view.zonesAt = at;
        view.zonesDuration = decoded.zonesDuration;
        break;
    }
    case kEmulatorTypeSetMultiZoneEffect:
        // The travel starts afresh when the effect starts or changes.
        if (!view.moveOn || !decoded.moveOn || view.moveSpeedMs != decoded.moveSpeedMs ||
            view.moveDirection != decoded.moveDirection)
            view.moveSince = at;
        view.moveKnown = true;
        view.moveOn = decoded.moveOn;
        view.moveSpeedMs = decoded.moveSpeedMs;
        view.moveDirection = decoded.moveDirection;
        break;
    default:
        break;
    }
}

} // namespace

int64_t NowMs()
{
    return EmulatorNowMs();
}

bool StartLights(Lights &lights, int firstGroup, int tries, std::string &message)
{
    char error[256] = "";
    for (int attempt = 0; attempt < tries; attempt++) {
        int group = firstGroup + attempt;
        if (group > 255)
            break;
        const char *list[kLightCount];
        for (int n = 0; n < kLightCount; n++) {
            snprintf(lights.addresses[n], sizeof lights.addresses[n], "127.56.%u.%u",
                     (unsigned)group & 0xFF, (unsigned)(n + 1) & 0xFF);
            list[n] = lights.addresses[n];
        }
        if (EmulatorStart(emulator, list, kLightCount, error, sizeof error)) {
            lights.enabled = true;
            for (int n = 0; n < kLightCount; n++) {
                lights.views[n] = LightView();
                lights.views[n].device = n + 1;
                lights.views[n].strip = n >= kBulbCount;
                if (n == kLightCount - 1)
                    lights.views[n].zoneCount = kShortStripZones;
                // As a finding plug-in sees them: the last two are strips.
                emulator.lights[n].strip = lights.views[n].strip;
                emulator.lights[n].stripZones = lights.views[n].zoneCount;
                std::string label = (n >= kBulbCount ? "Strip " : "Bulb ") + std::to_string(n + 1);
                EmulatorSetLabel(emulator.lights[n], label.c_str());
            }
            return true;
        }
    }
    message = error;
    return false;
}

void SetLightsLoss(int percent)
{
    EmulatorSetLoss(emulator, percent, 1);
}

void StopLights(Lights &lights)
{
    if (lights.enabled)
        EmulatorStop(emulator);
    lights.enabled = false;
}

int LightSockets(const Lights &lights, int fds[], int capacity)
{
    int count = 0;
    for (int i = 0; lights.enabled && i < emulator.lightCount && count < capacity; i++)
        fds[count++] = emulator.sockets[i];
    return count;
}

int UpdateLights(Lights &lights)
{
    if (!lights.enabled)
        return 0;
    // Bounded: each pass reads what has arrived by then.
    for (int pass = 0; pass < 100 && EmulatorPoll(emulator, 0) > 0; pass++) {
    }
    int applied = 0;
    for (int i = 0; i < emulator.lightCount && i < kLightCount; i++) {
        EmulatedLight &light = emulator.lights[i];
        for (const ReceivedDatagram &datagram : light.received) {
            ApplyDatagram(lights.views[i], datagram);
            applied++;
        }
        // The views hold what matters; the preview may run for hours.
        light.received.clear();
    }
    lights.datagrams += applied;
    return applied;
}

Rgb BulbShown(const LightView &light, int64_t now)
{
    if (!light.on || !light.colourKnown)
        return Rgb{0, 0, 0};
    return ColourNow(light, now);
}

void ZonesShown(const LightView &light, int64_t now, Rgb out[kMaxViewZones])
{
    int zones = light.zoneCount;
    static Rgb faded[kMaxViewZones];
    ZonesFaded(light, now, faded);
    int shift = 0;
    if (light.moveOn && light.moveSpeedMs > 0) {
        // The speed is the time of one full loop of the strip. Direction 1
        // (not reversed) is shown moving away from zone 1, towards the far
        // end; 0 towards zone 1.
        int64_t elapsed = now > light.moveSince ? now - light.moveSince : 0;
        shift = (int)((elapsed % light.moveSpeedMs) * zones / light.moveSpeedMs);
        if (light.moveDirection == 0)
            shift = (zones - shift) % zones;
    }
    for (int z = 0; z < zones; z++)
        out[z] = light.on ? faded[(z - shift + zones) % zones] : Rgb{0, 0, 0};
}

void ZonesTarget(const LightView &light, Hsbk out[kMaxViewZones])
{
    for (int z = 0; z < light.zoneCount; z++)
        out[z] = light.zonesKnown ? light.zones[z] : Hsbk{};
}

std::string StateLine(const LightView &light)
{
    char line[128];
    if (!light.strip) {
        DisplayNumbers numbers = Numbers(light.colour);
        snprintf(line, sizeof line, "light %d: %s %s %d %d %d %d", light.device,
                 light.on ? "on" : "off", Hex(DisplayRgb(light.colour)).c_str(), numbers.degrees,
                 numbers.saturation, numbers.brightness, light.colour.kelvin);
        return line;
    }
    snprintf(line, sizeof line, "strip %d: %s", light.device, light.on ? "on" : "off");
    std::string text = line;
    static Hsbk zones[kMaxViewZones];
    ZonesTarget(light, zones);
    for (int z = 0; z < light.zoneCount; z++)
        text += " " + Hex(DisplayRgb(zones[z]));
    return text;
}

std::string MoveLine(const LightView &light)
{
    if (!light.strip || !light.moveKnown)
        return "";
    char line[96];
    snprintf(line, sizeof line, "strip %d move: %s %u ms %s", light.device,
             light.moveOn ? "on" : "off", light.moveSpeedMs,
             light.moveDirection ? "forward" : "reverse");
    return line;
}

bool SlotDriven(const Lights &lights, const PluginSettings &settings, int slot)
{
    if (!lights.enabled || slot < 1 || slot > kLightCount)
        return false;
    in_addr named, own;
    std::string text = settings.devices[slot];
    return inet_aton(text.c_str(), &named) != 0 &&
           inet_aton(lights.addresses[slot - 1], &own) != 0 && named.s_addr == own.s_addr;
}

std::string NotDrivenLine(const LightView &light)
{
    return std::string(light.strip ? "strip " : "light ") + std::to_string(light.device) +
           ": not driven";
}

void NoteAnswering(Lights &lights, const std::string &hostLine)
{
    size_t at = hostLine.find("Chromalet-LIFX -> Device #");
    if (at == std::string::npos)
        return;
    int device = atoi(hostLine.c_str() + at + 26);
    if (device < 1 || device > kLightCount)
        return;
    if (hostLine.find(" did not answer", at) != std::string::npos)
        lights.views[device - 1].silent = true;
    else if (hostLine.find(" answers again.", at) != std::string::npos)
        lights.views[device - 1].silent = false;
}

} // namespace preview
