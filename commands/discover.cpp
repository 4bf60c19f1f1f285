// Finding lights: the command, its timer, and what becomes of the lights
// found. Its lines are sent whatever the debug setting says, like the
// "Device" command's: the user asked, and waits for the answer.
#include "commands/discover.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "commands/chain_text.h"
#include "host/identity.h"
#include "host/log.h"
#include "lifx/delivery.h"
#include "lifx/discovery.h"
#include "lifx/dispatch.h"
#include "palette/palette.h"
#include "settings/address.h"
#include "settings/debug_log.h"
#include "settings/settings.h"
#include "settings/text.h"

namespace
{

const char kInvalidLine[] =
    "...invalid IP address or range specified! Give A.B.C.D, or A.B.C.D/P with P from 22 to 32.";
const char kBusyLine[] = "...already looking for lights.";
const char kNothingLine[] =
    "...no light answered. Check that this computer and the lights share a network and that "
    "the firewall lets UDP port 56700 through, or search a range of addresses, for example "
    "\"" PLUGIN_COMMAND_PREFIX " Discover %s\".";
// The example when this computer's networks are not known.
const char kExampleRange[] = "192.168.1.0/24";
// A range has been searched already: suggesting one again would send the
// user round in a circle.
const char kNothingInRangeLine[] =
    "...no light answered in that range. Check that the range is the lights' network, that "
    "this computer is on that network (not a guest network) and that the firewall lets UDP "
    "port 56700 through.";

enum Outcome { Already, Moved, Saved, NoSlot, Skipped };

struct Decision {
    Outcome outcome;
    int slot;
};

char g_line[512];

void Log(int level, const char *format, ...)
#ifdef __GNUC__
    __attribute__((format(printf, 2, 3)))
#endif
    ;

void Log(int level, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    vsnprintf(g_line, sizeof g_line, format, args);
    va_end(args);
    HostLog(level, g_line);
}

void FormatSerial(char (&text)[kSerialTextSize], const uint8_t (&serial)[kSerialSize])
{
    for (int i = 0; i < kSerialSize; i++)
        snprintf(text + 2 * i, 3, "%02x", serial[i]);
}

// A label from the network, for an 8-bit log line: printable ASCII as it
// is, Latin-1 letters from their UTF-8 form, anything else a "?".
void LabelForLog(char (&out)[kLabelSize + 1], const char *label)
{
    int n = 0;
    for (const unsigned char *p = (const unsigned char *)label; *p && n < kLabelSize;) {
        if (*p >= 0x20 && *p < 0x7F) {
            out[n++] = (char)*p++;
        } else if ((p[0] == 0xC2 || p[0] == 0xC3) && (p[1] & 0xC0) == 0x80 &&
                   (p[0] == 0xC3 || p[1] >= 0xA0)) {
            out[n++] = (char)(((p[0] & 0x03) << 6) | (p[1] & 0x3F));
            p += 2;
        } else {
            out[n++] = '?';
            // Past the rest of the character.
            for (p++; (*p & 0xC0) == 0x80; p++) {
            }
        }
    }
    out[n] = 0;
}

bool SlotHasAddress(int n, uint32_t address)
{
    uint32_t stored;
    return DeviceAddress(n, &stored) && stored == address;
}

// The first empty slot of the kind, or 0.
int FreeSlot(bool strip)
{
    int first = strip ? kLastBulb + 1 : 1, last = strip ? kDeviceSlots : kLastBulb;
    for (int n = first; n <= last; n++) {
        if (!g_devices[n][0])
            return n;
    }
    return 0;
}

// A matrix light with a chain it can be driven by shows the scheme across
// its pixels only in a strip's slot.
bool IsMatrix(const DiscoveredLight &light)
{
    return light.kind == KindMatrix && light.chain.tiles > 0;
}

bool WantsStripSlot(const DiscoveredLight &light)
{
    return light.strip || IsMatrix(light);
}

// A strip's slot first; a matrix light takes a bulb's where both are taken,
// and shows one colour there.
int FreeSlotFor(const DiscoveredLight &light)
{
    int slot = FreeSlot(WantsStripSlot(light));
    return slot || !IsMatrix(light) ? slot : FreeSlot(false);
}

// Where a light belongs, against the table as it is at the light's own turn
// (a "Device" command may have changed it since the search). The slot that
// holds its serial, wherever it now answers; else one with its address and
// no serial, which the user typed, choosing it for this light. A slot whose
// address answers with another serial has lost its light, which moved away:
// the light now there is placed like any new one, in the first free slot of
// its kind.
Decision Decide(const DiscoveredLight &light, const char *serial)
{
    int slot = SlotWithSerial(serial);
    if (slot && !g_devices[slot][0])
        return {Saved, slot};
    if (slot)
        return {SlotHasAddress(slot, light.address) ? Already : Moved, slot};
    for (int n = 1; n <= kDeviceSlots; n++) {
        if (SlotHasAddress(n, light.address) && !g_deviceSerials[n][0])
            return {Already, n};
    }
    slot = FreeSlotFor(light);
    return {slot ? Saved : NoSlot, slot};
}

// Whether this search heard the light with that serial.
bool FoundInThisSearch(const char *serial)
{
    const DiscoveredLight *lights;
    int count = DiscoveredLights(&lights);
    char text[kSerialTextSize];
    for (int i = 0; serial[0] && i < count; i++) {
        FormatSerial(text, lights[i].serial);
        if (EqualIgnoringCase(text, serial))
            return true;
    }
    return false;
}

// Slot n given up entirely: its address, serial, label, zones and kind.
void EmptySlot(int n)
{
    if (g_deviceSerials[n][0])
        SaveDeviceSerial(n, "");
    if (g_deviceZones[n])
        SaveDeviceZones(n, 0);
    ForgetDeviceKind(n);
    SaveDeviceLabel(n, "");
    SaveDevice(n, "");
}

// One light, one slot: any other slot at the address of the light just
// settled in `slot` names that light too, and is emptied. Only a slot whose
// own light this search heard elsewhere keeps it, to follow that light at
// its turn.
void EmptyOtherSlots(uint32_t address, int slot)
{
    for (int n = 1; n <= kDeviceSlots; n++) {
        if (n == slot || !SlotHasAddress(n, address) || FoundInThisSearch(g_deviceSerials[n]))
            continue;
        char text[kDeviceTextSize];
        memcpy(text, g_devices[n], kDeviceTextSize);
        EmptySlot(n);
        Log(LogConfirm, "...device #%d at %s emptied: that light is device #%d.", n, text, slot);
    }
}

// What the light said it is, beside its slot. Only what differs from what
// a slot without the key means (a bulb in slots 1 to 8, a strip in 9 and
// 10) is written, so files stay as they were for the lights of old; a light
// that never said keeps what was known.
void SaveKind(const DiscoveredLight &light, int slot)
{
    if (light.kind == KindNotKnown)
        return;
    int kind = light.kind == (IsStripSlot(slot) ? KindStrip : KindBulb) ? KindNotKnown : light.kind;
    if (g_deviceKinds[slot] != kind)
        SaveDeviceKind(slot, kind);
    DeviceChain chain;
    memset(&chain, 0, sizeof chain);
    if (IsMatrix(light))
        chain = light.chain;
    if (memcmp(&g_deviceChains[slot], &chain, sizeof chain) != 0)
        SaveDeviceChain(slot, chain);
}

// A strip's zone count beside its slot, when it said one we can use, and
// what the light is; true when the zone count saved changed.
bool SaveZones(const DiscoveredLight &light, int slot)
{
    SaveKind(light, slot);
    if (slot <= kLastBulb || !light.strip)
        return false;
    int zones = light.zones >= kMinStripZones && light.zones <= kMaxStripZones ? light.zones : 0;
    if (g_deviceZones[slot] == zones)
        return false;
    SaveDeviceZones(slot, zones);
    return true;
}

// The light's label beside its slot, when it said one: a light renamed
// since the last search is renamed here too. A slot new to the light keeps
// no label of another.
void SaveLabel(const DiscoveredLight &light, int slot, bool fresh)
{
    if (light.labelKnown || fresh)
        SaveDeviceLabel(slot, light.label);
}

const char kOneColourAdvice[] =
    "where it shows one colour; empty device #9 or #10 and search again to show the scheme "
    "across it.";

// A device without a light never takes a slot; one that took a slot before
// it was known gives it back.
void SkipNoLight(const DiscoveredLight &light, const char *label, const char *address,
                 const char *serial)
{
    char name[kLabelSize + 8] = "a device";
    if (light.labelKnown)
        snprintf(name, sizeof name, "\"%s\"", label);
    Log(LogConfirm, "...skipped %s at %s: a LIFX Switch has no light.", name, address);
    int slot = SlotWithSerial(serial);
    for (int n = 1; !slot && n <= kDeviceSlots; n++) {
        if (SlotHasAddress(n, light.address) && !g_deviceSerials[n][0])
            slot = n;
    }
    if (!slot)
        return;
    char text[kDeviceTextSize];
    memcpy(text, g_devices[slot], kDeviceTextSize);
    EmptySlot(slot);
    Log(LogConfirm, "...device #%d at %s emptied: a LIFX Switch has no light.", slot, text);
}

// A strip or matrix light found in a bulb's slot, where it shows one colour
// (saved there before it said what it is): into the free strip's slot, with
// all that is known of it.
unsigned MoveToStripSlot(const DiscoveredLight &light, int from, const char *name,
                         const char *address)
{
    int to = FreeSlot(true);
    char serial[kSerialTextSize], label[kLabelTextSize];
    memcpy(serial, g_deviceSerials[from], sizeof serial);
    memcpy(label, g_deviceLabels[from], sizeof label);
    SaveDevice(to, g_devices[from]);
    EmptySlot(from);
    if (serial[0])
        SaveDeviceSerial(to, serial);
    SaveDeviceLabel(to, label);
    SaveLabel(light, to, false);
    SaveZones(light, to);
    Log(LogConfirm, "...found %s at %s: moved from device #%d to device #%d, a strip's slot.", name,
        address, from, to);
    EmptyOtherSlots(light.address, to);
    return 1u << to;
}

// Saves the slot and logs what became of the light; returns the slot when
// the light is to be sent the scheme.
unsigned SaveAndReport(const DiscoveredLight &light, Outcome *outcome)
{
    char address[kAddressTextSize], serial[kSerialTextSize], label[kLabelSize + 1], name[128];
    char oldAddress[kDeviceTextSize], zones[kChainWordsSize + 4] = "";
    FormatAddress(address, light.address);
    FormatSerial(serial, light.serial);
    LabelForLog(label, light.label);
    if (light.noLight) {
        *outcome = Skipped;
        SkipNoLight(light, label, address, serial);
        return 0;
    }
    const char *kind = light.kind == KindOlderStrip ? "older strip"
                       : light.strip                ? "strip"
                       : IsMatrix(light)            ? "matrix light"
                                                    : "bulb";
    if (light.strip && light.zones >= kMinStripZones && light.zones <= kMaxStripZones)
        snprintf(zones, sizeof zones, " (%d zone%s)", light.zones, light.zones == 1 ? "" : "s");
    if (IsMatrix(light)) {
        char chain[kChainWordsSize];
        ChainWords(light.chain, false, chain);
        snprintf(zones, sizeof zones, " (%s)", chain);
    }
    if (light.labelKnown)
        snprintf(name, sizeof name, "%s \"%s\"%s", kind, label, zones);
    else
        snprintf(name, sizeof name, "%s%s", kind, zones);
    Decision decision = Decide(light, serial);
    *outcome = decision.outcome;
    int slot = decision.slot;
    switch (decision.outcome) {
    case Already:
        // Only ever into a slot without one: a saved serial is never
        // replaced by another.
        if (!g_deviceSerials[slot][0])
            SaveDeviceSerial(slot, serial);
        // It answered the search: a light marked silent is not.
        DeliveryHeard(light.address);
        if (slot <= kLastBulb && WantsStripSlot(light) && FreeSlot(true))
            return MoveToStripSlot(light, slot, name, address);
        // A strip grown or shortened shows the scheme over its zones now, as
        // when it answers the zone question itself.
        if (SaveZones(light, slot) && IsPaletteScheme(g_settings.scheme) && g_palette.offset != 0)
            RedrawStrips(1u << slot);
        SaveLabel(light, slot, false);
        if (slot <= kLastBulb && WantsStripSlot(light))
            Log(LogConfirm, "...found %s at %s: already device #%d, %s", name, address, slot,
                kOneColourAdvice);
        else
            Log(LogConfirm, "...found %s at %s: already device #%d.", name, address, slot);
        EmptyOtherSlots(light.address, slot);
        return 0;
    case Moved:
        memcpy(oldAddress, g_devices[slot], kDeviceTextSize);
        SaveDevice(slot, address);
        SaveZones(light, slot);
        SaveLabel(light, slot, false);
        Log(LogConfirm, "...found %s: device #%d moved from %s to %s.", name, slot, oldAddress,
            address);
        EmptyOtherSlots(light.address, slot);
        return 1u << slot;
    case Saved:
        SaveDevice(slot, address);
        SaveDeviceSerial(slot, serial);
        SaveZones(light, slot);
        SaveLabel(light, slot, true);
        if (slot <= kLastBulb && IsMatrix(light))
            Log(LogConfirm, "...found %s at %s: saved as device #%d, %s", name, address, slot,
                kOneColourAdvice);
        else
            Log(LogConfirm, "...found %s at %s: saved as device #%d.", name, address, slot);
        EmptyOtherSlots(light.address, slot);
        return 1u << slot;
    case NoSlot:
        Log(LogConfirm, "...found %s at %s: no free slot for a %s, not saved.", name, address,
            kind);
        return 0;
    case Skipped:
        break;
    }
    return 0;
}

// A light that answered but left something untold, after all its tries:
// said at error level, since it is saved without it.
void ReportMissing(const DiscoveredLight &light)
{
    if (light.noLight)
        return;
    if (light.chainRefused[0]) {
        char address[kAddressTextSize];
        FormatAddress(address, light.address);
        Log(LogError,
            "...the matrix light at %s told a chain no light has (%s): it is driven as "
            "a bulb, showing one colour.",
            address, light.chainRefused);
    }
    bool zones = light.strip && (light.zones < kMinStripZones || light.zones > kMaxStripZones);
    if (light.labelKnown && !zones)
        return;
    char address[kAddressTextSize];
    FormatAddress(address, light.address);
    const char *missing = light.labelKnown ? "its zone count"
                          : zones          ? "its label and zone count"
                                           : "its label";
    Log(LogError, "...the %s at %s did not tell %s; search again to learn it.",
        light.strip ? "strip" : "bulb", address, missing);
}

// New and moved lights take on what the others show, when the plug-in
// drives the lights by itself.
void ShowSchemeOn(unsigned slots)
{
    if (!slots || !g_settings.autoPower)
        return;
    SendSchemeTo(slots);
    if (g_settings.moveEffect && IsPaletteScheme(g_settings.scheme))
        SetMoveEffectOn(slots, true);
}

// After the window has closed, the lights found are saved and reported one a
// tick, so that no tick holds the shell's thread for long; the summary and
// the scheme for the new lights come with the tick after the last.
struct Saving {
    bool active;
    int next;
    int count;
    int saved;
    int skipped;
    unsigned changed;
};

Saving g_saving;
DiscoveryTarget g_target;

void BeginSaving()
{
    const DiscoveredLight *lights;
    g_saving.count = DiscoveredLights(&lights);
    g_saving.next = 0;
    g_saving.saved = 0;
    g_saving.skipped = 0;
    g_saving.changed = 0;
    g_saving.active = true;
}

// Why the system refused to send, in words, for the common cases.
const char *SendErrorText(int error)
{
    switch (error) {
    case WSAENETUNREACH:
        return "no route to that network";
    case WSAEHOSTUNREACH:
        return "no route to that host";
    case WSAENETDOWN:
        return "the network is down";
    case WSAEADDRNOTAVAIL:
        return "the address is not available here";
    case WSAENOBUFS:
        return "the system has no room for them";
    }
    return "the system refused them";
}

// Not one request went out: no network, or an address the system will not
// send to. The firewall advice would mislead.
void LogNothingSent(int error)
{
    char address[kAddressTextSize];
    FormatAddress(address, g_target.address);
    // Refused as a broadcast: the address is a network's broadcast address.
    if (g_target.form == DiscoverAddress && error == WSAEACCES)
        Log(LogError,
            "...the requests could not be sent to %s, a broadcast address. A search by "
            "broadcast is \"Discover\" with no address.",
            address);
    else
        Log(LogError, "...the requests could not be sent: %s (error %d).", SendErrorText(error),
            error);
}

// A range to try, as "Discover" takes it: the first network of this computer
// that has room for lights, or the /24 around its address when the network
// is larger than one search may cover.
void SuggestRange(char (&out)[kAddressTextSize + 3])
{
    InterfaceAddress interfaces[kMaxInterfaces];
    int count = ListInterfaces(interfaces, kMaxInterfaces);
    for (int i = 0; i < count; i++) {
        int prefixLength = interfaces[i].prefixLength;
        // A /31 or /32 is a link to one peer, not a network of lights.
        if (prefixLength < 1 || prefixLength > 30)
            continue;
        if (prefixLength < kMinRangePrefix)
            prefixLength = 24;
        uint32_t network = interfaces[i].address & (0xFFFFFFFFu << (32 - prefixLength));
        char address[kAddressTextSize];
        FormatAddress(address, network);
        snprintf(out, sizeof out, "%s/%d", address, prefixLength);
        return;
    }
    snprintf(out, sizeof out, "%s", kExampleRange);
}

// False once everything is saved and reported.
bool SaveNext()
{
    const DiscoveredLight *lights;
    DiscoveredLights(&lights);
    if (g_saving.next < g_saving.count) {
        Outcome outcome;
        g_saving.changed |= SaveAndReport(lights[g_saving.next], &outcome);
        ReportMissing(lights[g_saving.next++]);
        g_saving.saved += outcome == Saved;
        g_saving.skipped += outcome == Skipped;
        return true;
    }
    g_saving.active = false;
    // Devices without a light are not counted among the lights.
    int count = g_saving.count - g_saving.skipped;
    int error;
    if (g_saving.count == 0 && DiscoveryNothingSent(&error))
        LogNothingSent(error);
    else if (g_saving.count == 0 && g_target.form == DiscoverRange)
        HostLog(LogError, kNothingInRangeLine);
    else if (g_saving.count == 0) {
        char range[kAddressTextSize + 3];
        SuggestRange(range);
        Log(LogError, kNothingLine, range);
    } else
        Log(LogConfirm, "...found %d light%s, %d new.", count, count == 1 ? "" : "s",
            g_saving.saved);
    if (DiscoveryIgnored() || DiscoveryFailedSends())
        DebugLog(LogMore, "...%d datagrams ignored, %d requests not sent.", DiscoveryIgnored(),
                 DiscoveryFailedSends());
    ShowSchemeOn(g_saving.changed);
    return false;
}

void LogStart(const DiscoveryTarget &target)
{
    char address[kAddressTextSize];
    FormatAddress(address, target.address);
    uint32_t first, count;
    switch (target.form) {
    case DiscoverBroadcast:
        Log(LogConfirm, PLUGIN_LOG_PREFIX "Looking for lights on the local network...");
        break;
    case DiscoverAddress:
        Log(LogConfirm, PLUGIN_LOG_PREFIX "Looking for a light at %s...", address);
        break;
    case DiscoverRange:
        RangeHosts(target.address, target.prefixLength, &first, &count);
        Log(LogConfirm, PLUGIN_LOG_PREFIX "Looking for lights at %s/%d (%u addresses)...", address,
            target.prefixLength, (unsigned)count);
        break;
    }
}

} // namespace

bool DiscoveryUnderway()
{
    return DiscoveryRunning() || g_saving.active;
}

void DiscoverCommand(const char *arg1, const char *arg2, const char *)
{
    if (DiscoveryUnderway()) {
        HostLog(LogError, kBusyLine);
        return;
    }
    DiscoveryTarget target;
    if (arg2[0] || !ParseDiscoveryTarget(arg1, &target)) {
        HostLog(LogError, kInvalidLine);
        return;
    }
    LogStart(target);
    g_target = target;
    // Its timer starts with the command's end, or the search stops.
    if (StartDiscovery(target, GetTickCount()) != DiscoveryStarted)
        HostLog(LogError, PLUGIN_LOG_PREFIX "Could not create socket!");
}

bool DiscoveryTick()
{
    if (DiscoveryRunning() && DiscoveryStep(GetTickCount()))
        return true;
    // The window has just closed: the saving starts with the next tick. Or
    // a tick already on its way when the discovery was cancelled, which
    // does nothing.
    if (DiscoveryFinished() && !g_saving.active) {
        BeginSaving();
        return true;
    }
    if (g_saving.active && SaveNext())
        return true;
    StopDiscovery();
    return false;
}

void CancelDiscovery()
{
    if (!DiscoveryUnderway())
        return;
    // The timer stops by itself once nothing else waits.
    StopDiscovery();
    g_saving.active = false;
    DebugLog(LogFirst, PLUGIN_LOG_PREFIX "Stopped looking for lights.");
}
