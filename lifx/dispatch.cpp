// The six light operations. Each sends from the socket it shares with
// discovery, each message that sets a light's state confirmed (resent until
// the light acknowledges it), except a cycle tick's, which the next tick
// replaces anyway.
#include "lifx/dispatch.h"

#include <stdio.h>

#include "host/identity.h"
#include "lifx/colour.h"
#include "lifx/delivery.h"
#include "lifx/images.h"
#include "lifx/kind_query.h"
#include "lifx/label_query.h"
#include "lifx/light_socket.h"
#include "lifx/messages.h"
#include "lifx/zone_query.h"
#include "lifx/zones.h"
#include "palette/palette.h"
#include "settings/debug_log.h"
#include "settings/settings.h"

// Brightness of the white schemes: one third of full.
static const int kWhiteBrightness = 21845;
static const int kWarmKelvin = 3000;
static const int kColdKelvin = 9000;

static const char kConnectingLine[] = PLUGIN_LOG_PREFIX "Connecting to device #%d at %s port %d...";
static const char kNoConnectLine[] =
    PLUGIN_LOG_PREFIX "Could not connect to device #%d at %s port %d!";
static const char kNoSendLine[] =
    PLUGIN_LOG_PREFIX "Could not send control packets to device #%d at %s port %d!";
static const char kNoSocketLayerLine[] = PLUGIN_LOG_PREFIX "Initiating Windows Sockets failed!";
static const char kNoSocketLine[] = PLUGIN_LOG_PREFIX "Could not create socket!";
static const char kPowerOnLine[] = "...turning on the power.";
static const char kPowerOffLine[] = "...turning off the power.";

static bool Cycling()
{
    return g_settings.scheme != SchemeManual && g_settings.cycleColours;
}

// A fade that ends just before the next cycle step.
static uint32_t TransitionMs()
{
    return Cycling() ? g_settings.cycleInterval * 1000 - 200 : 0;
}

// Whether the slot holds an address a light can have.
static bool HasLightAddress(int device)
{
    uint32_t address;
    return DeviceAddress(device, &address) && address != 0;
}

// While a cycle tick sends: its datagrams go once, unconfirmed, exactly as
// they always did (no source, no acknowledgement, sequence 0).
static bool g_tick;

// The shared socket, opened when no other wait keeps it open. On failure
// the failure is logged where the operation reports it.
static SOCKET OpenSocket(bool report)
{
    SOCKET s = AcquireLightSocket();
    if (s == INVALID_SOCKET && report)
        DebugLog(LogError, LightSocketLayerFailed() ? kNoSocketLayerLine : kNoSocketLine);
    return s;
}

// Closed unless a message awaits its acknowledgement or a discovery runs.
static void CloseSocket()
{
    ReleaseLightSocket();
}

// Strips whose newest colour or power message went out with the scheme's
// zones: only these are drawn again when their length is learned late.
static bool g_zonesNewest[kDeviceSlots + 1];

// One message to one light: confirmed, or once on a cycle tick.
template <size_t N> static bool Send(int slot, const uint8_t (&message)[N])
{
    if (N != kSetMultiZoneEffectSize)
        g_zonesNewest[slot] = false;
    // One colour on every pixel or zone replaces the image on its way.
    if (N == kSetColorSize)
        ForgetImage(slot);
    return g_tick ? DeliverOnce(slot, message, (int)N) : DeliverConfirmed(slot, message, (int)N);
}

static bool InMask(unsigned slots, int slot)
{
    return (slots >> slot) & 1u;
}

// Sends one prepared message to every non-empty slot of the mask.
template <size_t N> static void SendToSlots(const uint8_t (&message)[N], unsigned slots)
{
    if (!g_anyDeviceConfigured)
        return;
    if (OpenSocket(false) == INVALID_SOCKET)
        return;
    for (int slot = 1; slot <= kDeviceSlots; slot++) {
        if (InMask(slots, slot) && g_devices[slot][0])
            Send(slot, message);
    }
    CloseSocket();
}

void SetPowerAll(bool on)
{
    if (!g_anyDeviceConfigured)
        return;
    uint8_t message[kSetLightPowerSize];
    EncodeSetLightPower(message, on);
    SendToSlots(message, kAllSlots);
}

void SetMoveEffect(bool on)
{
    SetMoveEffectOn(kAllSlots, on);
}

void SetMoveEffectOn(unsigned slots, bool on)
{
    if (!g_anyDeviceConfigured)
        return;
    uint8_t message[kSetMultiZoneEffectSize];
    EncodeSetMultiZoneEffect(message, on, g_settings.movementSpeed, g_settings.reverseDirection);
    // Bulbs never receive it, nor matrix lights, which have no such effect.
    unsigned strips = slots & kStripSlots;
    for (int slot = kLastBulb + 1; slot <= kDeviceSlots; slot++) {
        int kind = DrivenKind(slot);
        if (kind != KindStrip && kind != KindOlderStrip)
            strips &= ~(1u << slot);
    }
    SendToSlots(message, strips);
}

static uint32_t PaletteColour(int entry)
{
    return entry >= 0 && entry < kPaletteEntries ? g_palette.entries[entry] : 0;
}

static Conversion Convert(uint32_t colour)
{
    return RgbToHsbk(colour, g_settings.calibrationRed, g_settings.calibrationGreen,
                     g_settings.calibrationBlue);
}

// Logs, and switches the light on or off; false when the light is to be
// left alone from here on.
static bool ConnectAndPower(int device, bool on)
{
    DebugLog(LogFirst, kConnectingLine, device, g_devices[device], kLifxPort);
    uint8_t power[kSetLightPowerSize];
    EncodeSetLightPower(power, on);
    if (Send(device, power)) {
        // A light set by hand says its name, once.
        AskLabelOnce(device);
        AskKindOnce(device);
        return true;
    }
    // No route to the light: what connecting to it used to find out.
    int error = WSAGetLastError();
    bool unreachable = error == WSAENETUNREACH || error == WSAEHOSTUNREACH;
    DebugLog(LogError, unreachable ? kNoConnectLine : kNoSendLine, device, g_devices[device],
             kLifxPort);
    return false;
}

// A bulb's share of a transfer, converted and encoded before anything is
// sent, so that the sends of a full transfer follow one another.
struct BulbTransfer {
    int device;
    int entry;
    uint32_t colour;
    Conversion converted;
    uint8_t setColor[kSetColorSize];
};

// False when the slot holds no usable address.
static bool PrepareBulb(BulbTransfer &bulb, int device, int entry)
{
    if (!HasLightAddress(device))
        return false;
    bulb.device = device;
    bulb.entry = entry;
    bulb.colour = PaletteColour(entry);
    bulb.converted = Convert(bulb.colour);
    EncodeSetColor(bulb.setColor, bulb.converted.hsbk, TransitionMs());
    return true;
}

static void SendPreparedBulb(const BulbTransfer &bulb)
{
    int device = bulb.device;
    uint32_t colour = bulb.colour;
    if (!ConnectAndPower(device, colour != 0))
        return;
    if (colour == 0) {
        // Black means off: no colour follows.
        DebugLog(LogMore, kPowerOffLine);
        return;
    }
    DebugLog(LogMore, kPowerOnLine);
    if (!Send(device, bulb.setColor)) {
        DebugLog(LogError, kNoSendLine, device, g_devices[device], kLifxPort);
        return;
    }
    int red = colour & 0xFF, green = (colour >> 8) & 0xFF, blue = (colour >> 16) & 0xFF;
    if (Cycling() && g_settings.cycleInterval > 1)
        DebugLog(LogMore,
                 "...setting it to RGB colour #%02x%02x%02x (offset %d), with %d seconds "
                 "transition time.",
                 red, green, blue, bulb.entry, g_settings.cycleInterval);
    else if (Cycling())
        DebugLog(LogMore,
                 "...setting it to RGB colour #%02x%02x%02x (offset %d), with %d second "
                 "transition time.",
                 red, green, blue, bulb.entry, g_settings.cycleInterval);
    else
        DebugLog(LogMore, "...setting it to RGB colour #%02x%02x%02x (offset %d).", red, green,
                 blue, bulb.entry);
    const Conversion &c = bulb.converted;
    DebugLog(LogMore, "   -> H %d\xB0 / S %d%% / L %d%%", c.h, c.s, c.l);
}

// The caller's socket says the caller could open one; the sends go out over
// the shared socket, from which the acknowledgements are read.
void SendBulbColour(int device, int entry, SOCKET s)
{
    if (!g_anyDeviceConfigured || device < 1 || device > kDeviceSlots || s == INVALID_SOCKET)
        return;
    BulbTransfer bulb;
    if (!PrepareBulb(bulb, device, entry) || OpenSocket(false) == INVALID_SOCKET)
        return;
    SendPreparedBulb(bulb);
    CloseSocket();
}

// Zone z of every strip shows palette entry offset + z, the scheme's
// pattern running on past the palette's last entry; both strips share them.
static Hsbk g_zoneColours[kMaxStripZones];
// Zones converted for the current transfer.
static int g_zonesReady;

struct RecentColour {
    uint32_t colour;
    Hsbk hsbk;
};

// A scheme has few colours and a strip many zones: each is converted once.
static RecentColour g_recentColours[8];
static int g_recentCount;

static Hsbk ConvertRecent(uint32_t colour)
{
    for (int n = 0; n < g_recentCount; n++) {
        if (g_recentColours[n].colour == colour)
            return g_recentColours[n].hsbk;
    }
    Hsbk hsbk = Convert(colour).hsbk;
    int slot = g_recentCount < 8 ? g_recentCount++ : (int)(colour % 8);
    g_recentColours[slot] = {colour, hsbk};
    return hsbk;
}

static void StartZoneColours()
{
    g_zonesReady = 0;
    g_recentCount = 0;
}

static void PrepareZoneColours(int zoneCount)
{
    for (; g_zonesReady < zoneCount; g_zonesReady++)
        g_zoneColours[g_zonesReady] = ConvertRecent(PatternColour(g_palette.offset + g_zonesReady));
}

// A strip's share of a transfer: the pattern over its own zones, in one
// message or, past 82 zones, several.
struct StripTransfer {
    int device;
    bool image; // a matrix light or an older strip: see lifx/images
    int zoneCount;
    int spans;
    uint8_t setZones[kMaxZoneSpans][kSetExtendedColorZonesSize];
};

// False when the slot holds no usable address.
static bool PrepareStrip(StripTransfer &strip, int device)
{
    if (!HasLightAddress(device))
        return false;
    strip.device = device;
    strip.image = ShowsImage(device);
    if (strip.image) {
        // Its pixels or zones take the pattern as a strip's zones do.
        strip.zoneCount = ImageSize(device);
        strip.spans = 0;
        PrepareZoneColours(strip.zoneCount);
        return true;
    }
    strip.zoneCount = StripZoneCount(device);
    PrepareZoneColours(strip.zoneCount);
    strip.spans = EncodeStripZones(strip.setZones, strip.zoneCount, g_zoneColours, TransitionMs());
    // Driven as 82 zones until it has said how many it has.
    AskZoneCountOnce(device);
    return true;
}

static void LogZonesLine(const StripTransfer &strip)
{
    // An 82-zone strip, or one of unknown length, is reported as it always was.
    char across[48] = "multiple zones";
    if (DrivenKind(strip.device) == KindMatrix)
        snprintf(across, sizeof across, "%d pixels", strip.zoneCount);
    else if (strip.image)
        snprintf(across, sizeof across, "%d zone%s", strip.zoneCount,
                 strip.zoneCount == 1 ? "" : "s");
    else if (strip.zoneCount != kStripZones && strip.spans > 1)
        snprintf(across, sizeof across, "%d zones in %d messages", strip.zoneCount, strip.spans);
    else if (strip.zoneCount != kStripZones)
        snprintf(across, sizeof across, "%d zone%s", strip.zoneCount,
                 strip.zoneCount == 1 ? "" : "s");
    if (Cycling() && g_settings.cycleInterval > 1)
        DebugLog(LogMore, "...setting colours across %s, with %d seconds transition time.", across,
                 g_settings.cycleInterval);
    else if (Cycling())
        DebugLog(LogMore, "...setting colours across %s, with %d second transition time.", across,
                 g_settings.cycleInterval);
    else
        DebugLog(LogMore, "...setting colours across %s.", across);
}

static void SendPreparedStrip(const StripTransfer &strip)
{
    int device = strip.device;
    // A strip is always switched on, even with every zone black.
    if (!ConnectAndPower(device, true))
        return;
    DebugLog(LogMore, kPowerOnLine);
    bool sent;
    if (strip.image)
        // Confirmed even on a cycle tick: a lost message must not leave it
        // half-changed.
        sent = ShowImage(device, g_zoneColours, TransitionMs(), g_tick);
    else
        sent = g_tick ? DeliverStripZonesOnce(device, strip.setZones, strip.spans)
                      : DeliverStripZones(device, strip.setZones, strip.spans);
    if (!sent) {
        DebugLog(LogError, kNoSendLine, device, g_devices[device], kLifxPort);
        return;
    }
    g_zonesNewest[device] = true;
    LogZonesLine(strip);
}

// Both strips' messages, all encoded before the first is sent.
static StripTransfer g_strips[kDeviceSlots - kLastBulb];

void SendStripZones(int device, SOCKET s)
{
    if (!g_anyDeviceConfigured || device < 1 || device > kDeviceSlots || s == INVALID_SOCKET)
        return;
    StartZoneColours();
    if (!PrepareStrip(g_strips[0], device))
        return;
    if (OpenSocket(false) == INVALID_SOCKET)
        return;
    SendPreparedStrip(g_strips[0]);
    CloseSocket();
}

// Every light from the palette: all conversions and encodings first (the
// strips' zones once for both), then the sends, light after light in slot
// order with each light's log lines beside its own sends.
static void SendPaletteColours(unsigned slots)
{
    static BulbTransfer bulbs[kDeviceSlots];
    int bulbCount = 0;
    for (int slot = 1; slot <= kDeviceSlots; slot++) {
        // A strip slot whose light can show only one colour shows it as a
        // bulb does.
        if (!InMask(slots, slot) || !g_devices[slot][0] ||
            (slot > kLastBulb && DrivenKind(slot) != KindBulb))
            continue;
        int entry = slot + g_palette.offset - 1;
        if (entry > kRotationSteps)
            entry -= kRotationSteps;
        if (PrepareBulb(bulbs[bulbCount], slot, entry))
            bulbCount++;
    }
    StartZoneColours();
    int stripCount = 0;
    for (int slot = kLastBulb + 1; slot <= kDeviceSlots; slot++) {
        if (!InMask(slots, slot) || !HasLightAddress(slot) || DrivenKind(slot) == KindBulb)
            continue;
        if (PrepareStrip(g_strips[stripCount], slot))
            stripCount++;
    }

    for (int n = 0; n < bulbCount; n++)
        SendPreparedBulb(bulbs[n]);
    for (int n = 0; n < stripCount; n++)
        SendPreparedStrip(g_strips[n]);
}

void SendWhite(int device, int brightness, int kelvin)
{
    if (!g_anyDeviceConfigured || device < 1 || device > kDeviceSlots)
        return;
    if (!HasLightAddress(device))
        return;
    if (OpenSocket(true) == INVALID_SOCKET)
        return;
    uint8_t power[kSetLightPowerSize];
    EncodeSetLightPower(power, true);
    uint8_t setColor[kSetColorSize];
    Hsbk white = {0, 0, (uint16_t)brightness, (uint16_t)kelvin};
    EncodeSetColor(setColor, white, 0);

    DebugLog(LogFirst, kConnectingLine, device, g_devices[device], kLifxPort);
    if (Send(device, power)) {
        DebugLog(LogMore, kPowerOnLine);
        if (Send(device, setColor))
            DebugLog(LogMore, "...setting it to white light at %d\xB0 and %d%% brightness.", kelvin,
                     brightness * 100 / 65535);
    }
    CloseSocket();
}

static void SendColoursTo(int which, unsigned slots)
{
    if (!g_anyDeviceConfigured)
        return;
    SOCKET s = OpenSocket(true);
    if (s == INVALID_SOCKET)
        return;
    if (which >= 1) {
        // One light from its own entry; a strip shows it over its whole length.
        if (which <= kDeviceSlots)
            SendBulbColour(which, which, s);
    } else if (g_settings.scheme == SchemeWarm || g_settings.scheme == SchemeCold) {
        int kelvin = g_settings.scheme == SchemeWarm ? kWarmKelvin : kColdKelvin;
        for (int slot = 1; slot <= kDeviceSlots; slot++) {
            if (InMask(slots, slot) && g_devices[slot][0])
                SendWhite(slot, kWhiteBrightness, kelvin);
        }
    } else if (g_settings.scheme != SchemeManual) {
        SendPaletteColours(slots);
    }
    CloseSocket();
}

void SendColours(int which)
{
    SendColoursTo(which, kAllSlots);
}

void SendCycleColours()
{
    g_tick = true;
    SendColoursTo(0, kAllSlots);
    g_tick = false;
}

void SendSchemeTo(unsigned slots)
{
    SendColoursTo(0, slots);
}

void RedrawStrips(unsigned slots)
{
    unsigned newest = 0;
    for (int slot = kLastBulb + 1; slot <= kDeviceSlots; slot++) {
        if (InMask(slots, slot) && g_zonesNewest[slot])
            newest |= 1u << slot;
    }
    if (newest)
        SendSchemeTo(newest);
}
