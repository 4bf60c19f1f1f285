#include "settings/settings.h"

#include <stdio.h>
#include <string.h>

#include "host/identity.h"
#include "host/log.h"
#include "host/vesk.h"
#include "settings/address.h"
#include "settings/schemes.h"
#include "settings/text.h"

Settings g_settings = {80, 100, 95, SchemeManual, false, 10, false, 10, false, false, false};
char g_devices[kDeviceSlots + 1][kDeviceTextSize];
char g_deviceSerials[kDeviceSlots + 1][kSerialTextSize];
int g_deviceZones[kDeviceSlots + 1];
int g_deviceKinds[kDeviceSlots + 1];
DeviceChain g_deviceChains[kDeviceSlots + 1];
char g_deviceLabels[kDeviceSlots + 1][kLabelTextSize];
unsigned g_deviceChanges[kDeviceSlots + 1];
bool g_anyDeviceConfigured;
char g_pluginFolder[kModuleNameSize];
char g_settingsPath[kPathSize];
char g_iconPath[kPathSize];
HINSTANCE g_instance;

static const char kSettingsFileName[] = PLUGIN_NAME ".rc";
static const char kIconFileName[] = PLUGIN_NAME ".ico";

static const char *const kKeyFormats[] = {
    KEY_DEVICE_FORMAT,
    KEY_DEVICE_SERIAL_FORMAT,
    KEY_DEVICE_ZONES_FORMAT,
    KEY_DEVICE_LABEL_FORMAT,
    KEY_DEVICE_KIND_FORMAT,
    KEY_DEVICE_CHAIN_FORMAT,
    KEY_CALIBRATION_RED,
    KEY_CALIBRATION_GREEN,
    KEY_CALIBRATION_BLUE,
    KEY_SCHEME,
    KEY_CYCLE_COLOURS,
    KEY_CYCLE_INTERVAL,
    KEY_MOVE_EFFECT,
    KEY_MOVEMENT_SPEED,
    KEY_REVERSE_DIRECTION,
    KEY_AUTO_POWER,
    KEY_DEBUG,
    KEY_USER_COLOUR_FORMAT,
};

const char *SettingsKeyFormat(int index)
{
    int count = (int)(sizeof kKeyFormats / sizeof kKeyFormats[0]);
    return index >= 0 && index < count ? kKeyFormats[index] : nullptr;
}

int ClampInt(int value, int low, int high)
{
    if (value < low)
        return low;
    if (value > high)
        return high;
    return value;
}

void ClearDeviceTable()
{
    for (int n = 1; n <= kDeviceSlots; n++)
        g_deviceChanges[n] += g_devices[n][0] != 0;
    memset(g_devices, 0, sizeof g_devices);
    memset(g_deviceSerials, 0, sizeof g_deviceSerials);
    memset(g_deviceZones, 0, sizeof g_deviceZones);
    memset(g_deviceKinds, 0, sizeof g_deviceKinds);
    memset(g_deviceChains, 0, sizeof g_deviceChains);
    memset(g_deviceLabels, 0, sizeof g_deviceLabels);
}

void UpdateAnyDeviceConfigured()
{
    g_anyDeviceConfigured = false;
    for (int n = 1; n <= kDeviceSlots; n++) {
        if (g_devices[n][0]) {
            g_anyDeviceConfigured = true;
            break;
        }
    }
}

bool SetDeviceSlot(int n, const char *text)
{
    if (n < 1 || n > kDeviceSlots)
        return false;
    size_t length = strlen(text);
    bool fits = length < kDeviceTextSize;
    if (fits ? strcmp(g_devices[n], text) == 0 : !g_devices[n][0])
        return fits;
    g_deviceChanges[n]++;
    if (!fits) {
        g_devices[n][0] = 0;
        return false;
    }
    memcpy(g_devices[n], text, length + 1);
    return true;
}

static bool IsSerialText(const char *text)
{
    for (int i = 0; i < kSerialTextSize - 1; i++) {
        char c = text[i];
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')))
            return false;
    }
    return text[kSerialTextSize - 1] == 0;
}

bool DeviceAddress(int n, uint32_t *address)
{
    if (n < 1 || n > kDeviceSlots || !g_devices[n][0])
        return false;
    return ReadAddress(g_devices[n], strlen(g_devices[n]), address) && *address != 0xFFFFFFFFu;
}

bool SaveDevice(int n, const char *address)
{
    if (!SetDeviceSlot(n, address))
        return false;
    UpdateAnyDeviceConfigured();
    char key[32];
    snprintf(key, sizeof key, KEY_DEVICE_FORMAT, n);
    WriteSettingString(key, address);
    return true;
}

// Serials are kept in lower case, whatever case the file gave them in.
static void CopySerial(char (&out)[kSerialTextSize], const char *serial)
{
    size_t i = 0;
    for (; serial[i] && i < kSerialTextSize - 1; i++)
        out[i] = serial[i] >= 'A' && serial[i] <= 'Z' ? (char)(serial[i] + ('a' - 'A')) : serial[i];
    out[i] = 0;
}

int SlotWithSerial(const char *serial)
{
    for (int n = 1; serial[0] && n <= kDeviceSlots; n++) {
        if (EqualIgnoringCase(g_deviceSerials[n], serial))
            return n;
    }
    return 0;
}

void SaveDeviceSerial(int n, const char *serial)
{
    if (n < 1 || n > kDeviceSlots || (serial[0] && !IsSerialText(serial)))
        return;
    // One light, one slot: wherever else its serial is, it is stale.
    for (int other = 1; serial[0] && other <= kDeviceSlots; other++) {
        if (other == n || !EqualIgnoringCase(g_deviceSerials[other], serial))
            continue;
        g_deviceSerials[other][0] = 0;
        char key[32];
        snprintf(key, sizeof key, KEY_DEVICE_SERIAL_FORMAT, other);
        WriteSettingString(key, "");
    }
    CopySerial(g_deviceSerials[n], serial);
    char key[32];
    snprintf(key, sizeof key, KEY_DEVICE_SERIAL_FORMAT, n);
    WriteSettingString(key, g_deviceSerials[n]);
}

bool IsStripSlot(int n)
{
    return n > kLastBulb && n <= kDeviceSlots;
}

// A zone count as the file holds it: digits alone, 1 to 1000; 0 otherwise.
static int ReadZoneCount(const char *text)
{
    int value = 0, digits = 0;
    for (; text[digits] >= '0' && text[digits] <= '9' && digits < 5; digits++)
        value = value * 10 + (text[digits] - '0');
    if (digits == 0 || text[digits] != 0 || value < kMinStripZones || value > kMaxStripZones)
        return 0;
    return value;
}

void SaveDeviceZones(int n, int zones)
{
    if (!IsStripSlot(n) || (zones != 0 && (zones < kMinStripZones || zones > kMaxStripZones)))
        return;
    g_deviceZones[n] = zones;
    char key[32], value[8] = "";
    snprintf(key, sizeof key, KEY_DEVICE_ZONES_FORMAT, n);
    if (zones)
        snprintf(value, sizeof value, "%d", zones);
    WriteSettingString(key, value);
}

// The settings file's names of the kinds, by DeviceKind.
static const char *const kKindTexts[] = {"", "bulb", "strip", "older-strip", "matrix"};

const char *DeviceKindText(int kind)
{
    return kind > KindNotKnown && kind <= KindMatrix ? kKindTexts[kind] : "";
}

int ReadDeviceKind(const char *text)
{
    for (int kind = KindBulb; kind <= KindMatrix; kind++) {
        if (strcmp(text, kKindTexts[kind]) == 0)
            return kind;
    }
    return KindNotKnown;
}

void SaveDeviceKind(int n, int kind)
{
    if (n < 1 || n > kDeviceSlots || kind < KindNotKnown || kind > KindMatrix)
        return;
    g_deviceKinds[n] = kind;
    char key[32];
    snprintf(key, sizeof key, KEY_DEVICE_KIND_FORMAT, n);
    WriteSettingString(key, DeviceKindText(kind));
}

int ChainPixels(const DeviceChain &chain)
{
    int pixels = 0;
    for (int t = 0; t < chain.tiles && t < kMaxTiles; t++)
        pixels += chain.width[t] * chain.height[t];
    return pixels;
}

bool ChainWithinBounds(const DeviceChain &chain)
{
    if (chain.tiles < 1 || chain.tiles > kMaxTiles)
        return false;
    for (int t = 0; t < chain.tiles; t++) {
        if (chain.width[t] < 1 || chain.width[t] > kMaxTileSide || chain.height[t] < 1 ||
            chain.height[t] > kMaxTileSide)
            return false;
    }
    return ChainPixels(chain) <= kMaxMatrixPixels;
}

void FormatDeviceChain(const DeviceChain &chain, char (&out)[kChainTextSize])
{
    size_t n = 0;
    out[0] = 0;
    for (int t = 0; t < chain.tiles && t < kMaxTiles; t++)
        n += (size_t)snprintf(out + n, sizeof out - n, "%s%ux%u", t ? "," : "", chain.width[t],
                              chain.height[t]);
}

// One side of a tile: one or two digits, 1 to 64.
static bool ReadSide(const char *&p, uint8_t *side)
{
    int value = 0, digits = 0;
    for (; *p >= '0' && *p <= '9' && digits < 3; p++, digits++)
        value = value * 10 + (*p - '0');
    if (digits == 0 || value < 1 || value > kMaxTileSide)
        return false;
    *side = (uint8_t)value;
    return true;
}

bool ReadDeviceChain(const char *text, DeviceChain *chain)
{
    DeviceChain read;
    memset(&read, 0, sizeof read);
    const char *p = text;
    while (*p && read.tiles < kMaxTiles) {
        if (!ReadSide(p, &read.width[read.tiles]) || *p++ != 'x' ||
            !ReadSide(p, &read.height[read.tiles]))
            return false;
        read.tiles++;
        if (*p == ',' && p[1])
            p++;
        else if (*p)
            return false;
    }
    if (*p || !ChainWithinBounds(read))
        return false;
    *chain = read;
    return true;
}

void SaveDeviceChain(int n, const DeviceChain &chain)
{
    if (n < 1 || n > kDeviceSlots || (chain.tiles != 0 && !ChainWithinBounds(chain)))
        return;
    DeviceChain kept;
    memset(&kept, 0, sizeof kept);
    if (chain.tiles)
        kept = chain;
    g_deviceChains[n] = kept;
    char key[32], value[kChainTextSize];
    snprintf(key, sizeof key, KEY_DEVICE_CHAIN_FORMAT, n);
    FormatDeviceChain(kept, value);
    WriteSettingString(key, value);
}

void ForgetDeviceKind(int n)
{
    if (n < 1 || n > kDeviceSlots)
        return;
    if (g_deviceKinds[n] != KindNotKnown)
        SaveDeviceKind(n, KindNotKnown);
    if (g_deviceChains[n].tiles) {
        DeviceChain none;
        memset(&none, 0, sizeof none);
        SaveDeviceChain(n, none);
    }
}

void SaveDeviceLabel(int n, const char *label)
{
    if (n < 1 || n > kDeviceSlots)
        return;
    char clean[kLabelTextSize];
    CleanLabel(label, kLabelBytes, clean);
    if (strcmp(clean, g_deviceLabels[n]) == 0)
        return;
    memcpy(g_deviceLabels[n], clean, sizeof clean);
    char key[32];
    snprintf(key, sizeof key, KEY_DEVICE_LABEL_FORMAT, n);
    WriteSettingString(key, clean);
}

// Joins folder and name into out; false, leaving out empty, when they do
// not fit.
static bool JoinPath(char (&out)[kPathSize], const char *folder, const char *name)
{
    int length = snprintf(out, sizeof out, "%s%s", folder, name);
    if (length < 0 || length >= (int)sizeof out) {
        out[0] = 0;
        return false;
    }
    return true;
}

static void FindPluginFolder()
{
    DWORD length = GetModuleFileNameA(g_instance, g_pluginFolder, sizeof g_pluginFolder);
    if (length >= sizeof g_pluginFolder)
        length = sizeof g_pluginFolder - 1;
    g_pluginFolder[length] = 0;
    int cut = 0;
    for (int i = (int)length - 1; i >= 0; i--) {
        if (g_pluginFolder[i] == kPathSeparator) {
            cut = i + 1;
            break;
        }
    }
    g_pluginFolder[cut] = 0;
}

// Said once per start: a folder the user may not write loses every change.
static bool g_writeFailureLogged;

static void LogWriteFailure()
{
    if (g_writeFailureLogged)
        return;
    g_writeFailureLogged = true;
    static char line[kPathSize + 128];
    snprintf(line, sizeof line,
             PLUGIN_LOG_PREFIX "Could not write the settings file %s! Settings changed now are "
                               "lost when the plug-in stops.",
             g_settingsPath);
    HostLog(LogError, line);
}

// The host's writers say nothing of failure: after a write, the file must
// exist and open for writing.
static void CheckWritten()
{
    if (g_writeFailureLogged || !g_settingsPath[0])
        return;
    HANDLE file = CreateFileA(g_settingsPath, GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        LogWriteFailure();
        return;
    }
    CloseHandle(file);
}

static void CreateDefaultSettingsFile()
{
    HANDLE file = CreateFileA(g_settingsPath, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        LogWriteFailure();
        return;
    }
    DWORD written = 0;
    if (!WriteFile(file, kDefaultSettingsFile, kDefaultSettingsFileSize, &written, NULL) ||
        written != kDefaultSettingsFileSize)
        LogWriteFailure();
    CloseHandle(file);
}

// A slot's text from the file, read as the "Device" command reads an
// address; anything else is no device, and said.
static void ReadDeviceSlot(int n, const char *text)
{
    char address[kAddressTextSize];
    if (!text[0])
        return;
    if (ReadDeviceAddress(text, address)) {
        SetDeviceSlot(n, address);
        return;
    }
    static char line[512];
    snprintf(line, sizeof line,
             PLUGIN_LOG_PREFIX "Invalid IP address \"%s\" for device #%d in the settings file: "
                               "the slot is left empty.",
             text, n);
    HostLog(LogError, line);
}

static void FindSettingsFile()
{
    g_settingsPath[0] = 0;
    const char *found = ConfigFileExists(kSettingsFileName, g_pluginFolder);
    if (found && found[0]) {
        // A path the buffer cannot hold is refused: better the defaults than
        // reading or writing some other, truncated, path.
        if (strlen(found) < sizeof g_settingsPath)
            memcpy(g_settingsPath, found, strlen(found) + 1);
        return;
    }
    if (JoinPath(g_settingsPath, g_pluginFolder, kSettingsFileName))
        CreateDefaultSettingsFile();
}

static int ReadSettingInt(const char *key, int defaultValue)
{
    return g_settingsPath[0] ? ReadInt(g_settingsPath, key, defaultValue) : defaultValue;
}

static bool ReadSettingBool(const char *key, bool defaultValue)
{
    return g_settingsPath[0] ? ReadBool(g_settingsPath, key, defaultValue) : defaultValue;
}

static const char *ReadSettingString(const char *key)
{
    const char *text = g_settingsPath[0] ? ReadString(g_settingsPath, key, "") : "";
    return text ? text : "";
}

void LoadSettings()
{
    g_writeFailureLogged = false;
    FindPluginFolder();
    FindSettingsFile();
    JoinPath(g_iconPath, g_pluginFolder, kIconFileName);

    for (int n = 1; n <= kDeviceSlots; n++) {
        char key[32];
        snprintf(key, sizeof key, KEY_DEVICE_FORMAT, n);
        ReadDeviceSlot(n, ReadSettingString(key));
        snprintf(key, sizeof key, KEY_DEVICE_SERIAL_FORMAT, n);
        const char *serial = ReadSettingString(key);
        if (IsSerialText(serial))
            CopySerial(g_deviceSerials[n], serial);
        if (IsStripSlot(n)) {
            snprintf(key, sizeof key, KEY_DEVICE_ZONES_FORMAT, n);
            g_deviceZones[n] = ReadZoneCount(ReadSettingString(key));
        }
        snprintf(key, sizeof key, KEY_DEVICE_LABEL_FORMAT, n);
        const char *label = ReadSettingString(key);
        CleanLabel(label, strlen(label), g_deviceLabels[n]);
        snprintf(key, sizeof key, KEY_DEVICE_KIND_FORMAT, n);
        g_deviceKinds[n] = ReadDeviceKind(ReadSettingString(key));
        snprintf(key, sizeof key, KEY_DEVICE_CHAIN_FORMAT, n);
        if (!ReadDeviceChain(ReadSettingString(key), &g_deviceChains[n]))
            memset(&g_deviceChains[n], 0, sizeof g_deviceChains[n]);
    }
    UpdateAnyDeviceConfigured();

    g_settings.calibrationRed = ClampInt(ReadSettingInt(KEY_CALIBRATION_RED, 80), 0, 100);
    g_settings.calibrationGreen = ClampInt(ReadSettingInt(KEY_CALIBRATION_GREEN, 100), 0, 100);
    g_settings.calibrationBlue = ClampInt(ReadSettingInt(KEY_CALIBRATION_BLUE, 95), 0, 100);

    static char scheme[4096];
    snprintf(scheme, sizeof scheme, "%s", ReadSettingString(KEY_SCHEME));
    g_settings.scheme = SchemeManual;
    FindScheme(scheme, &g_settings.scheme);

    g_settings.cycleColours = ReadSettingBool(KEY_CYCLE_COLOURS, false);
    g_settings.cycleInterval = ClampInt(ReadSettingInt(KEY_CYCLE_INTERVAL, 10), 1, 10);
    g_settings.moveEffect = ReadSettingBool(KEY_MOVE_EFFECT, false);
    g_settings.movementSpeed = ClampInt(ReadSettingInt(KEY_MOVEMENT_SPEED, 10), 1, 60);
    g_settings.reverseDirection = ReadSettingBool(KEY_REVERSE_DIRECTION, false);
    g_settings.autoPower = ReadSettingBool(KEY_AUTO_POWER, false);
    g_settings.debug = ReadSettingBool(KEY_DEBUG, g_settings.debug);
}

void WriteSettingString(const char *key, const char *value)
{
    if (g_settingsPath[0])
        WriteString(g_settingsPath, key, value);
    CheckWritten();
}

void WriteSettingInt(const char *key, int value)
{
    if (g_settingsPath[0])
        WriteInt(g_settingsPath, key, value);
    CheckWritten();
}

void WriteSettingBool(const char *key, bool value)
{
    if (g_settingsPath[0])
        WriteBool(g_settingsPath, key, value);
    CheckWritten();
}
