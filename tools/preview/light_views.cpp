#include "tools/preview/light_views.h"

#include "emulator/light_options.h"

#include <stdlib.h>
#include <string.h>

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
        if (view.strip || view.matrix) {
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

// What an older strip or a matrix light shows now, faded to from what the
// view showed.
void TakeShown(LightView &view, const EmulatedLight &light, int64_t at, uint32_t duration)
{
    const Hsbk *shown = view.matrix ? light.frameBuffer[0].data() : light.zones;
    int count = view.matrix ? (int)light.frameBuffer[0].size() : view.zoneCount;
    if (count > view.zoneCount)
        count = view.zoneCount;
    bool same = view.zonesKnown;
    for (int z = 0; z < count && same; z++)
        same = memcmp(&view.zones[z], &shown[z], sizeof(Hsbk)) == 0;
    if (same)
        return;
    static Rgb faded[kMaxViewZones];
    ZonesFaded(view, at, faded);
    for (int z = 0; z < count; z++) {
        view.zonesFrom[z] = faded[z];
        view.zones[z] = view.storedZones[z] = shown[z];
    }
    view.zonesKnown = true;
    view.zonesAt = at;
    view.zonesDuration = duration;
}

} // namespace

int64_t NowMs()
{
    return EmulatorNowMs();
}

bool StartLights(Lights &lights, const Home &home, int firstGroup, int tries, std::string &message)
{
    char error[256] = "";
    int count = (int)home.lights.size();
    if (count < 1 || count > kMaxHomeLights) {
        message = "a home holds 1 to " + std::to_string(kMaxHomeLights) + " lights";
        return false;
    }
    // Each light's options first: a home the emulator cannot be starts
    // nothing.
    static EmulatorLightOptions options[kMaxHomeLights];
    for (int n = 0; n < count; n++) {
        const HomeLight &light = home.lights[n];
        std::vector<const char *> argv;
        for (const std::string &option : light.options)
            argv.push_back(option.c_str());
        options[n] = EmulatorLightOptions();
        for (int i = 0; i < (int)argv.size(); i++) {
            std::string why;
            EmulatorOptionResult result =
                EmulatorTakeLightOption((int)argv.size(), argv.data(), i, options[n], why);
            if (result == EmulatorOptionTaken)
                continue;
            if (result == EmulatorOptionUnknown)
                why = "the emulator cannot be a light of kind " + light.kind + " yet (" + argv[i] +
                      ")";
            message = "light " + std::to_string(n + 1) + " of the home: " + why;
            return false;
        }
        std::string why;
        if (!EmulatorLightOptionsFit(options[n], why)) {
            message = "light " + std::to_string(n + 1) + " of the home: " + why;
            return false;
        }
    }
    for (int attempt = 0; attempt < tries; attempt++) {
        int group = firstGroup + attempt;
        if (group > 255)
            break;
        const char *list[kMaxHomeLights];
        for (int n = 0; n < count; n++) {
            snprintf(lights.addresses[n], sizeof lights.addresses[n], "127.56.%u.%u",
                     (unsigned)group & 0xFF, (unsigned)(n + 1) & 0xFF);
            list[n] = lights.addresses[n];
        }
        if (EmulatorStart(emulator, list, count, error, sizeof error)) {
            lights.enabled = true;
            lights.count = count;
            for (int n = 0; n < count; n++) {
                const HomeLight &light = home.lights[n];
                LightView &view = lights.views[n];
                view = LightView();
                view.device = n + 1;
                view.kind = light.kind;
                view.strip = ZonedKind(light.kind);
                if (light.zones)
                    view.zoneCount = light.zones;
                EmulatorApplyLightOptions(emulator.lights[n], options[n]);
                view.label = emulator.lights[n].label;
                const EmulatedLight &made = emulator.lights[n];
                if (light.kind == "matrix" && made.kind.tileCount > 0) {
                    view.matrix = true;
                    view.tiles = made.kind.tileCount;
                    view.zoneCount = 0;
                    for (int t = 0; t < view.tiles; t++) {
                        view.tileWidth[t] = made.kind.tiles[t].width;
                        view.tileHeight[t] = made.kind.tiles[t].height;
                        view.zoneCount += view.tileWidth[t] * view.tileHeight[t];
                    }
                }
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

bool SilenceLight(Lights &lights, int device, bool silent)
{
    if (!lights.enabled || device < 1 || device > lights.count)
        return false;
    emulator.lights[device - 1].off = silent;
    return true;
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
    for (int i = 0; i < emulator.lightCount && i < lights.count; i++) {
        EmulatedLight &light = emulator.lights[i];
        // An older strip's runs of zones and a matrix light's tiles build up
        // over several messages: what the light shows after them is its own.
        bool told = false;
        int64_t at = 0;
        uint32_t duration = 0;
        for (const ReceivedDatagram &datagram : light.received) {
            ApplyDatagram(lights.views[i], datagram);
            applied++;
            const std::vector<uint8_t> &b = datagram.bytes;
            size_t field = datagram.type == kEmulatorTypeSetColorZones     ? 46
                           : datagram.type == kEmulatorTypeCopyFrameBuffer ? 46
                           : datagram.type == kEmulatorTypeSet64           ? 42
                                                                           : 0;
            if (field && b.size() >= field + 4) {
                told = true;
                at = datagram.atMs;
                uint32_t ms = (uint32_t)b[field] | (uint32_t)b[field + 1] << 8 |
                              (uint32_t)b[field + 2] << 16 | (uint32_t)b[field + 3] << 24;
                // A write into the frame buffer not shown changes nothing seen.
                if (datagram.type != kEmulatorTypeSet64 || b[38] == 0)
                    duration = ms;
            }
        }
        if (told)
            TakeShown(lights.views[i], light, at, duration);
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
    if (!light.strip && !light.matrix) {
        DisplayNumbers numbers = Numbers(light.colour);
        snprintf(line, sizeof line, "light %d: %s %s %d %d %d %d", light.device,
                 light.on ? "on" : "off", Hex(NamedRgb(light.colour)).c_str(), numbers.degrees,
                 numbers.saturation, numbers.brightness, light.colour.kelvin);
        return line;
    }
    snprintf(line, sizeof line, "%s %d: %s", light.matrix ? "matrix" : "strip", light.device,
             light.on ? "on" : "off");
    std::string text = line;
    static Hsbk zones[kMaxViewZones];
    ZonesTarget(light, zones);
    for (int z = 0; z < light.zoneCount; z++)
        text += " " + Hex(NamedRgb(zones[z]));
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

int LightSlot(const Lights &lights, const PluginSettings &settings, int device)
{
    if (!lights.enabled || device < 1 || device > lights.count)
        return 0;
    in_addr own;
    if (inet_aton(lights.addresses[device - 1], &own) == 0)
        return 0;
    // The light's own number first: the default lights fill their slots so.
    for (int pass = 0; pass < 2; pass++) {
        for (int slot = 1; slot <= kLightCount; slot++) {
            if ((pass == 0) != (slot == device))
                continue;
            in_addr named;
            if (inet_aton(settings.devices[slot].c_str(), &named) != 0 &&
                named.s_addr == own.s_addr)
                return slot;
        }
    }
    return 0;
}

bool SlotDriven(const Lights &lights, const PluginSettings &settings, int device)
{
    return LightSlot(lights, settings, device) != 0;
}

std::string NotDrivenLine(const LightView &light)
{
    return std::string(light.matrix  ? "matrix "
                       : light.strip ? "strip "
                                     : "light ") +
           std::to_string(light.device) + ": not driven";
}

void NoteAnswering(Lights &lights, const PluginSettings &settings, const std::string &hostLine)
{
    size_t at = hostLine.find("Chromalet-LIFX -> Device #");
    if (at == std::string::npos)
        return;
    int slot = atoi(hostLine.c_str() + at + 26);
    if (slot < 1 || slot > kLightCount)
        return;
    bool silent;
    if (hostLine.find(" did not answer", at) != std::string::npos)
        silent = true;
    else if (hostLine.find(" answers again.", at) != std::string::npos)
        silent = false;
    else
        return;
    lights.slotSilent[slot] = silent;
    for (int n = 1; n <= lights.count; n++) {
        if (LightSlot(lights, settings, n) == slot)
            lights.views[n - 1].silent = silent;
    }
}

} // namespace preview
