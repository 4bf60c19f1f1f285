// Finding lights: the command, its timer, and what becomes of the lights
// found. Its lines are sent whatever the debug setting says, like the
// "Device" command's: the user asked, and waits for the answer.
#include "commands/discover.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "commands/timers.h"
#include "host/identity.h"
#include "host/log.h"
#include "lifx/discovery.h"
#include "lifx/dispatch.h"
#include "palette/palette.h"
#include "settings/debug_log.h"
#include "settings/settings.h"

namespace
{

const char kInvalidLine[] =
    "...invalid IP address or range specified! Give A.B.C.D, or A.B.C.D/P with P from 22 to 32.";
const char kBusyLine[] = "...already looking for lights.";
const char kNothingLine[] =
    "...no light answered. Check that this computer and the lights share a network and that "
    "the firewall lets UDP port 56700 through, or search a range of addresses, for example "
    "\"Discover 192.168.1.0/24\".";

enum Outcome { Already, Moved, Saved, NoSlot };

struct Assignment {
    Outcome outcome;
    int slot;
    char oldAddress[kDeviceTextSize];
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

void FormatAddress(char (&text)[16], uint32_t address)
{
    snprintf(text, sizeof text, "%u.%u.%u.%u", (unsigned)(address >> 24),
             (unsigned)(address >> 16) & 0xFF, (unsigned)(address >> 8) & 0xFF,
             (unsigned)address & 0xFF);
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

// The slot whose address is the light's, or 0.
int SlotWithAddress(uint32_t address)
{
    for (int n = 1; n <= kDeviceSlots; n++) {
        if (g_devices[n][0] && ntohl(inet_addr(g_devices[n])) == address)
            return n;
    }
    return 0;
}

int SlotWithSerial(const char *serial, const bool (&taken)[kDeviceSlots + 1])
{
    for (int n = 1; n <= kDeviceSlots; n++) {
        if (!taken[n] && g_devices[n][0] && strcmp(g_deviceSerials[n], serial) == 0)
            return n;
    }
    return 0;
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

// Lights already in a slot keep it, and a light whose serial a slot holds
// has moved: the slot follows it. The others are new, and take a free slot of
// their kind when they are saved.
void Assign(const DiscoveredLight *lights, int count, Assignment *assignments)
{
    bool taken[kDeviceSlots + 1] = {};
    for (int i = 0; i < count; i++) {
        int slot = SlotWithAddress(lights[i].address);
        assignments[i] = {slot ? Already : Saved, slot, ""};
        taken[slot] = true;
    }
    for (int i = 0; i < count; i++) {
        if (assignments[i].outcome != Saved)
            continue;
        char serial[kSerialTextSize];
        FormatSerial(serial, lights[i].serial);
        int slot = SlotWithSerial(serial, taken);
        if (slot) {
            assignments[i] = {Moved, slot, ""};
            memcpy(assignments[i].oldAddress, g_devices[slot], kDeviceTextSize);
            taken[slot] = true;
        }
    }
}

// Saves the slot and logs what became of the light; returns the slot when
// the light is to be sent the scheme.
unsigned SaveAndReport(const DiscoveredLight &light, Assignment &assignment)
{
    char address[16], serial[kSerialTextSize], label[kLabelSize + 1], name[64];
    FormatAddress(address, light.address);
    FormatSerial(serial, light.serial);
    LabelForLog(label, light.label);
    const char *kind = light.strip ? "strip" : "bulb";
    if (light.labelKnown)
        snprintf(name, sizeof name, "%s \"%s\"", kind, label);
    else
        snprintf(name, sizeof name, "%s", kind);
    if (assignment.outcome == Saved) {
        // In the order of the addresses: earlier new lights are in the
        // table by now.
        assignment.slot = FreeSlot(light.strip);
        if (!assignment.slot)
            assignment.outcome = NoSlot;
    }
    int slot = assignment.slot;
    switch (assignment.outcome) {
    case Already:
        if (strcmp(g_deviceSerials[slot], serial) != 0)
            SaveDeviceSerial(slot, serial);
        Log(LogConfirm, "...found %s at %s: already device #%d.", name, address, slot);
        return 0;
    case Moved:
        SaveDevice(slot, address);
        Log(LogConfirm, "...found %s: device #%d moved from %s to %s.", name, slot,
            assignment.oldAddress, address);
        return 1u << slot;
    case Saved:
        SaveDevice(slot, address);
        SaveDeviceSerial(slot, serial);
        Log(LogConfirm, "...found %s at %s: saved as device #%d.", name, address, slot);
        return 1u << slot;
    case NoSlot:
        Log(LogConfirm, "...found %s at %s: no free slot for a %s, not saved.", name, address,
            kind);
        return 0;
    }
    return 0;
}

// New and moved lights take on what the others show, when the plug-in
// drives the lights by itself.
void ShowSchemeOn(unsigned slots)
{
    if (!slots || !g_settings.autoPower)
        return;
    // Automatic power switched on after the start: no scheme has filled the
    // palette yet.
    if (IsPaletteScheme(g_settings.scheme) && g_palette.offset == 0)
        RefreshPalette();
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
    unsigned changed;
    Assignment assignments[kMaxResponders];
};

Saving g_saving;

void BeginSaving()
{
    const DiscoveredLight *lights;
    g_saving.count = DiscoveredLights(&lights);
    Assign(lights, g_saving.count, g_saving.assignments);
    g_saving.next = 0;
    g_saving.saved = 0;
    g_saving.changed = 0;
    g_saving.active = true;
}

// False once everything is saved and reported.
bool SaveNext()
{
    const DiscoveredLight *lights;
    DiscoveredLights(&lights);
    if (g_saving.next < g_saving.count) {
        int i = g_saving.next++;
        g_saving.changed |= SaveAndReport(lights[i], g_saving.assignments[i]);
        g_saving.saved += g_saving.assignments[i].outcome == Saved;
        return true;
    }
    g_saving.active = false;
    int count = g_saving.count;
    if (count == 0)
        HostLog(LogError, kNothingLine);
    else
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
    char address[16];
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
    if (StartDiscovery(target, GetTickCount()) != DiscoveryStarted) {
        HostLog(LogError, PLUGIN_LOG_PREFIX "Could not create socket!");
        return;
    }
    // Without its timer a discovery would never end.
    if (!StartAnswersTimer())
        StopDiscovery();
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
