// The emulated lights of a home as the preview shows them: the emulator's
// sockets on loopback, and for each light what it was last told, with the
// fade in progress and the strips' move effect, so that a frame can be
// painted at any moment.
#pragma once

#include <stdint.h>

#include <string>

#include "emulator/emulator.h"
#include "tools/preview/display_colour.h"
#include "tools/preview/home.h"
#include "tools/preview/plugin_settings.h"

namespace preview
{

enum {
    kLightCount = 10, // the plug-in's slots: 1-8 bulbs, 9 and 10 strips
    kBulbCount = 8,
    kZones = kEmulatorZones, // in one message, and a strip's unless told otherwise
    kMaxViewZones = kEmulatorMaxZones,
};

struct LightView {
    int device = 0; // the light's place in its home, from 1, as it is shown
    std::string kind = "bulb";
    std::string label;
    bool strip = false;
    // A matrix light: its pixels are the zones below, tile after tile, row
    // by row from the top; one colour sent to it lands in every pixel.
    bool matrix = false;
    int tiles = 0;
    int tileWidth[kEmulatorMaxTiles] = {};
    int tileHeight[kEmulatorMaxTiles] = {};
    int zoneCount = kZones; // a strip's own number of zones
    bool heard = false;     // any valid datagram so far
    bool on = false;
    // The plug-in said it does not answer, and has not said since that it
    // answers again.
    bool silent = false;

    // The colour last set (a bulb, or a strip told one colour), fading from
    // `from` since `at` over `duration` milliseconds.
    bool colourKnown = false;
    Hsbk colour = {};
    Rgb from = {};
    int64_t at = 0;
    uint32_t duration = 0;

    // A strip's zones, fading the same way; a single colour sent to a strip
    // lands here too, in every zone. Spans sent without being shown wait in
    // storedZones, as on a strip.
    bool zonesKnown = false;
    Hsbk zones[kMaxViewZones] = {};
    Hsbk storedZones[kMaxViewZones] = {};
    Rgb zonesFrom[kMaxViewZones] = {};
    int64_t zonesAt = 0;
    uint32_t zonesDuration = 0;

    bool moveKnown = false;
    bool moveOn = false;
    uint32_t moveSpeedMs = 0;
    uint32_t moveDirection = 0; // as sent: 1 not reversed, 0 reversed
    int64_t moveSince = 0;
};

struct Lights {
    bool enabled = false;
    // A home of the user's own rather than the default ten lights: its
    // slots are the plug-in's to fill.
    bool ownHome = false;
    int count = 0;
    char addresses[kMaxHomeLights][kEmulatorAddressSize] = {};
    LightView views[kMaxHomeLights];
    // Slots the plug-in said do not answer, and has not said since that
    // they answer again.
    bool slotSilent[kLightCount + 1] = {};
    long datagrams = 0; // every datagram the lights have received so far
};

// Binds the emulator to 127.56.G.1 and on, one address a light of the home,
// trying the groups G = firstGroup, firstGroup + 1, ... up to `tries` of
// them while the addresses are taken (another preview, say), and makes each
// light what its options say. On failure, message says why.
bool StartLights(Lights &lights, const Home &home, int firstGroup, int tries, std::string &message);
void StopLights(Lights &lights);
// Each light loses that share of what it receives and of its
// acknowledgements, always the same ones: a bad Wi-Fi network. A light of
// the home with a loss of its own keeps it.
void SetLightsLoss(int percent);
// Light N (from 1) of the home hears nothing and answers nothing until
// told again: a light switched off at the wall.
bool SilenceLight(Lights &lights, int device, bool silent);

// The emulator's sockets, to wait on; returns how many were written.
int LightSockets(const Lights &lights, int fds[], int capacity);

// Reads every datagram that has arrived and applies it to the views, in
// order of arrival. Returns how many were applied.
int UpdateLights(Lights &lights);

int64_t NowMs();

// What a bulb shows at `now`: its fade, black while off.
Rgb BulbShown(const LightView &light, int64_t now);
// What a strip shows at `now`, zone by zone along the strip (its zoneCount
// zones): fades, the move effect's travel, black while off.
void ZonesShown(const LightView &light, int64_t now, Rgb out[kMaxViewZones]);
// The zones the strip was last told, without fade or travel.
void ZonesTarget(const LightView &light, Hsbk out[kMaxViewZones]);

// The plain-text state: "light N: on|off #RRGGBB H S B K" for a bulb,
// "strip N: on|off" and the colours of its zones for a strip.
std::string StateLine(const LightView &light);
// "matrix N: on|off" and the colours of its pixels, in chain order.
// "strip N move: on|off SPEED ms forward|reverse", or "" before any.
std::string MoveLine(const LightView &light);

// The slot (1-10) of the settings that names light N's address (N from 1),
// or 0: only a light in a slot shows what the plug-in sends.
int LightSlot(const Lights &lights, const PluginSettings &settings, int device);
bool SlotDriven(const Lights &lights, const PluginSettings &settings, int device);
// "light N: not driven" or "strip N: not driven".
std::string NotDrivenLine(const LightView &light);

// Follows the plug-in's lines about lights that stop and start answering:
// the slot, and the light the settings put in it.
void NoteAnswering(Lights &lights, const PluginSettings &settings, const std::string &hostLine);

} // namespace preview
