// The settings file, every settings value and the device table.
#pragma once

#include <stdint.h>

#include "settings/label.h"

enum {
    kDeviceSlots = 10,     // slots 1 to 10; there is no slot 0
    kLastBulb = 8,         // slots 1 to 8 are bulbs, 9 and 10 strips
    kDeviceTextSize = 128, // at most 127 characters
    kPathSize = 260,       // at most 259 characters
    kModuleNameSize = 4096,
};

struct Settings {
    int calibrationRed;   // percent, 0 to 100
    int calibrationGreen; // percent, 0 to 100
    int calibrationBlue;  // percent, 0 to 100
    int scheme;           // a SchemeId
    bool cycleColours;
    int cycleInterval; // seconds, 1 to 10
    bool moveEffect;
    int movementSpeed; // seconds, 1 to 60
    bool reverseDirection;
    bool autoPower;
    bool debug;
};

extern Settings g_settings;

// Device slot N is g_devices[N]; g_devices[0] is never used.
extern char g_devices[kDeviceSlots + 1][kDeviceTextSize];
// The serial of the light found in slot N, 12 hexadecimal digits, or empty.
// Only a discovery saves one; it finds the light again when its address
// changes.
enum { kSerialTextSize = 13 };
extern char g_deviceSerials[kDeviceSlots + 1][kSerialTextSize];
extern bool g_anyDeviceConfigured;
// The number of zones of the strip in slot 9 or 10, 1 to 1000, or 0 when not
// known (the strip is then driven as 82 zones). Always 0 for a bulb's slot.
enum { kMinStripZones = 1, kMaxStripZones = 1000 };
extern int g_deviceZones[kDeviceSlots + 1];
// What the light in slot N said it is. Not known: a bulb's slot holds a
// bulb, a strip's slot an extended strip, as files from before kinds were
// learned meant.
enum DeviceKind {
    KindNotKnown = 0,
    KindBulb = 1,
    KindStrip = 2,      // knows the extended zone messages
    KindOlderStrip = 3, // knows only the original zone messages
    KindMatrix = 4,     // a chain of tiles of pixels
};
extern int g_deviceKinds[kDeviceSlots + 1];
// A matrix light's chain as it told it: 1 to 16 tiles, each 1 to 64 pixels
// wide and high, 1000 pixels at most in all. tiles is 0 when not known.
enum { kMaxTiles = 16, kMaxTileSide = 64, kMaxMatrixPixels = 1000 };
struct DeviceChain {
    int tiles;
    uint8_t width[kMaxTiles];
    uint8_t height[kMaxTiles];
};
extern DeviceChain g_deviceChains[kDeviceSlots + 1];
// How slot n is driven: a bulb's slot always as a bulb, whatever is in it (a
// strip or matrix light there shows one colour); a strip's slot as the kind
// its light said it is, an extended strip when not known.
inline int DrivenKind(int n)
{
    if (n < 1 || n > kDeviceSlots || n <= kLastBulb)
        return KindBulb;
    int kind = g_deviceKinds[n];
    if (kind == KindNotKnown)
        return KindStrip;
    if (kind == KindMatrix && g_deviceChains[n].tiles == 0)
        return KindBulb;
    return kind;
}
// The label of the light in slot N, as CleanLabel keeps it (UTF-8), or
// empty when not known.
extern char g_deviceLabels[kDeviceSlots + 1][kLabelTextSize];
// How often slot N has been given another text since the library was
// loaded: what is remembered about the light in a slot is stale once the
// count has moved on, even if the slot has come back to the same text.
extern unsigned g_deviceChanges[kDeviceSlots + 1];

// The plug-in folder keeps its trailing separator. The settings path is empty
// when no usable path fits its buffer: nothing is then read or written.
extern char g_pluginFolder[kModuleNameSize];
extern char g_settingsPath[kPathSize];
extern char g_iconPath[kPathSize];

// The plug-in's module, as the host passed it to beginPlugin.
#include "platform/win32.h"
extern HINSTANCE g_instance;

// The settings keys.
#define KEY_DEVICE_FORMAT "lifx.device%d:"
#define KEY_DEVICE_SERIAL_FORMAT "lifx.device%d.serial:"
#define KEY_DEVICE_ZONES_FORMAT "lifx.device%d.zones:"
#define KEY_DEVICE_LABEL_FORMAT "lifx.device%d.label:"
#define KEY_DEVICE_KIND_FORMAT "lifx.device%d.kind:"
#define KEY_DEVICE_CHAIN_FORMAT "lifx.device%d.chain:"
#define KEY_CALIBRATION_RED "lifx.calibration.red:"
#define KEY_CALIBRATION_GREEN "lifx.calibration.green:"
#define KEY_CALIBRATION_BLUE "lifx.calibration.blue:"
#define KEY_SCHEME "lifx.color.scheme:"
#define KEY_CYCLE_COLOURS "lifx.cycle.colors:"
#define KEY_CYCLE_INTERVAL "lifx.cycle.interval:"
#define KEY_MOVE_EFFECT "lifx.move.effect:"
#define KEY_MOVEMENT_SPEED "lifx.movement.speed:"
#define KEY_REVERSE_DIRECTION "lifx.reverse.direction:"
#define KEY_AUTO_POWER "lifx.auto.power:"
#define KEY_DEBUG "lifx.debug:"
// Read by the user schemes: "user1.color1:" to "user3.color8:".
#define KEY_USER_COLOUR_FORMAT "user%d.color%d:"

// Every key of the settings file, "%d" standing for a number; null past the
// last.
const char *SettingsKeyFormat(int index);

// The content of a newly created settings file.
extern const char kDefaultSettingsFile[];
extern const unsigned kDefaultSettingsFileSize;

// Finds or creates the settings file and reads every setting once.
void LoadSettings();
// Empties every device slot.
void ClearDeviceTable();
// True when any slot 1 to 10 holds a text; called whenever a slot changes.
void UpdateAnyDeviceConfigured();
// Stores text in slot n (1 to 10); a text that does not fit leaves the slot
// empty and returns false.
bool SetDeviceSlot(int n, const char *text);

// Whether slot n is one of the strips' (9 and 10).
bool IsStripSlot(int n);
// Slot n's address in host byte order, read as every address is read;
// false for an empty slot, a text that is no address, or 255.255.255.255.
bool DeviceAddress(int n, uint32_t *address);
// Slot n's address, stored and written to the settings file as the "Device"
// command writes it; false, changing nothing, for a text that does not fit.
bool SaveDevice(int n, const char *address);
// Slot n's serial, stored (in lower case) and written; "" forgets it. A
// serial is in one slot at most: any other slot holding it forgets it.
void SaveDeviceSerial(int n, const char *serial);
// The slot holding the serial, compared without regard to case, or 0.
int SlotWithSerial(const char *serial);
// A strip's zone count, stored and written; 0 forgets it. Refused, changing
// nothing, for a bulb's slot or a count outside 1 to 1000.
void SaveDeviceZones(int n, int zones);
// What slot n's light is, stored and written: KindBulb to KindMatrix, or
// KindNotKnown, which forgets it. Any other value changes nothing.
void SaveDeviceKind(int n, int kind);
// A matrix light's chain, stored and written; tiles 0 forgets it. Refused,
// changing nothing, for a chain outside the bounds above.
void SaveDeviceChain(int n, const DeviceChain &chain);
// Forgets slot n's kind and chain, as when another light takes the slot.
void ForgetDeviceKind(int n);
// The kind as the settings file names it ("bulb", "strip", "older-strip",
// "matrix"), or "" for KindNotKnown; and back, KindNotKnown for any other
// text.
const char *DeviceKindText(int kind);
int ReadDeviceKind(const char *text);
// Whether the chain is within the bounds: 1 to 16 tiles, each side 1 to 64,
// 1000 pixels at most.
bool ChainWithinBounds(const DeviceChain &chain);
int ChainPixels(const DeviceChain &chain);
// "16x8" or "8x8,8x8": each tile's width and height in chain order. Reading
// takes exactly that form within the bounds, and is false otherwise.
enum { kChainTextSize = kMaxTiles * 6 + 1 };
void FormatDeviceChain(const DeviceChain &chain, char (&out)[kChainTextSize]);
bool ReadDeviceChain(const char *text, DeviceChain *chain);
// Slot n's label, cleaned as CleanLabel does, stored and written when it
// differs from the one kept; "" forgets it.
void SaveDeviceLabel(int n, const char *label);

int ClampInt(int value, int low, int high);

// Settings writes go to the settings file, unless there is none.
void WriteSettingString(const char *key, const char *value);
void WriteSettingInt(const char *key, int value);
void WriteSettingBool(const char *key, bool value);
