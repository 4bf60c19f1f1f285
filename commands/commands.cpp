// The command interpreter: every menu entry and every typed command ends here.
#include "commands/commands.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

#include "commands/discover.h"
#include "commands/numbers.h"
#include "commands/timers.h"
#include "host/identity.h"
#include "host/log.h"
#include "host/vesk.h"
#include "lifx/discovery.h"
#include "lifx/dispatch.h"
#include "lifx/kind_query.h"
#include "lifx/label_query.h"
#include "lifx/zone_query.h"
#include "palette/palette.h"
#include "settings/address.h"
#include "settings/settings.h"
#include "settings/text.h"

enum { kCommandSize = 4096 };

static const char kShortPrefix[] = "@LIFX";
static const char kLongPrefix[] = PLUGIN_COMMAND_PREFIX;

static const char kAboutCredits[] = "LIFX lights that follow your desktop.\n"
                                    "\n"
                                    "By " PLUGIN_AUTHOR "\n"
                                    "\n";
// Whichever is true now.
static const char kAboutGuideHere[] =
    "The user guide, " DOCUMENTATION_FILE_NAME ", lies beside the plug-in.\n";
static const char kAboutGuideElsewhere[] =
    "The user guide, " DOCUMENTATION_FILE_NAME ", comes in the release package; copied beside "
    "the plug-in, it opens from the menu.\n";
static const char kAboutProtocol[] =
    "\n"
    "Speaks the public LIFX LAN protocol; LIFX is a trademark of its owner.";

// A typed command that was not understood: one error line, whatever the
// debug setting, naming what was typed (cut short) and what is accepted.
static void LogTypo(const char *format, const char *typed, const char *accepted)
{
    static char line[256];
    snprintf(line, sizeof line, format, typed, accepted);
    HostLog(LogError, line);
}

static void ShowMenuCommand(const char *arg1, const char *, const char *)
{
    if (EqualIgnoringCase(arg1, "Menu"))
        ShowPluginMenu();
}

static const char kBroadcastSlotLine[] =
    "...that is a broadcast address, not a light. A search by broadcast is \"Discover\" with no "
    "address.";

static void LogDeviceLine(const char *format, int n)
{
    char line[64];
    snprintf(line, sizeof line, format, n);
    HostLog(LogConfirm, line);
}

// A serial saved by a discovery belongs to the light at the slot's address:
// another address, typed by hand, is another light.
static void ForgetSerialUnless(int n, const char *address)
{
    if (g_deviceSerials[n][0] && strcmp(g_devices[n], address) != 0)
        SaveDeviceSerial(n, "");
}

// A strip's zone count, and what the light is, belong to the light at the
// slot's address too; and a light set by hand is asked them anew.
static void ForgetZonesUnless(int n, const char *address)
{
    if (strcmp(g_devices[n], address) != 0) {
        if (g_deviceZones[n])
            SaveDeviceZones(n, 0);
        ForgetDeviceKind(n);
    }
    ForgetZoneQuery(n);
    ForgetKindQuery(n);
}

// And so does its label; a light set by hand without one is asked for it
// when it is first driven.
static void ForgetLabelUnless(int n, const char *address)
{
    if (strcmp(g_devices[n], address) != 0)
        SaveDeviceLabel(n, "");
    ForgetLabelQuery(n);
}

static void DeviceCommand(const char *arg1, const char *arg2, const char *)
{
    if (arg1[0] != '#' || arg1[1] == 0)
        return;
    if (arg2[0]) {
        // Stored as A.B.C.D, whatever zeros were typed: what is sent to is
        // what the settings file shows.
        char address[kAddressTextSize];
        // A broadcast address would set every light on the network while a
        // search by broadcast has broadcasts allowed.
        uint32_t value;
        bool broadcast = ReadAddress(arg2, strlen(arg2), &value) && IsBroadcastAddress(value);
        if (broadcast || !ReadDeviceAddress(arg2, address)) {
            HostLog(LogError, "...invalid IP address specified!");
            if (broadcast)
                HostLog(LogError, kBroadcastSlotLine);
            return;
        }
        int n = ReadNumber(arg1 + 1);
        if (n < 1 || n > kDeviceSlots)
            return;
        ForgetSerialUnless(n, address);
        ForgetZonesUnless(n, address);
        ForgetLabelUnless(n, address);
        SaveDevice(n, address);
        LogDeviceLine("...IP address for device #%d saved.", n);
        return;
    }
    int n = ReadNumber(arg1 + 1);
    if (n < 1 || n > kDeviceSlots || g_devices[n][0] == 0)
        return;
    ForgetSerialUnless(n, "");
    ForgetZonesUnless(n, "");
    ForgetLabelUnless(n, "");
    SaveDevice(n, "");
    LogDeviceLine("...IP address for device #%d removed.", n);
}

static bool MoveEffectWanted()
{
    return g_settings.moveEffect && IsPaletteScheme(g_settings.scheme);
}

static void SchemeCommand(const char *arg1, const char *, const char *)
{
    int scheme;
    if (!FindScheme(arg1, &scheme)) {
        static char names[160];
        names[0] = 0;
        for (int i = 0; SchemeNameAt(i); i++)
            snprintf(names + strlen(names), sizeof names - strlen(names), "%s%s",
                     i == 0                ? ""
                     : SchemeNameAt(i + 1) ? ", "
                                           : " or ",
                     SchemeNameAt(i));
        LogTypo("...unknown scheme \"%.40s\"! Give one of %s.", arg1, names);
        return;
    }
    g_settings.scheme = scheme;
    ShowScheme();
    SetMoveEffect(MoveEffectWanted());
    // As typed: the loader reads it back ignoring case.
    WriteSettingString(KEY_SCHEME, arg1);
}

static void PowerCommand(const char *arg1, const char *, const char *)
{
    if (!EqualIgnoringCase(arg1, "Off"))
        return;
    StopCycleTimer();
    SetMoveEffect(false);
    SetPowerAll(false);
}

// Colours for single lights stay off while the palette is cycling.
static bool SingleLightsAllowed()
{
    return g_settings.scheme == SchemeManual || !g_settings.cycleColours;
}

static void RgbCommand(const char *arg1, const char *arg2, const char *)
{
    if (!arg2[0] || !SingleLightsAllowed())
        return;
    // A typo must not read as black, which would switch the light off.
    uint32_t rgb;
    if (arg2[0] != '#' || !ReadHexColour(arg2 + 1, &rgb)) {
        HostLog(LogError, "...invalid RGB colour specified!");
        return;
    }
    int n = ReadNumber(arg1);
    if (n < 1 || n > kDeviceSlots)
        return;
    g_palette.entries[n] = ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
    SendColours(n);
}

static void WhiteCommand(const char *arg1, const char *arg2, const char *rest)
{
    if (!arg2[0] || !rest[0] || !SingleLightsAllowed())
        return;
    int n = ReadNumber(arg1);
    if (n > kLastBulb && n <= kDeviceSlots) {
        LogTypo("...White sets bulbs only, and #%.40s is a strip! Give %s.", arg1,
                "a bulb, 1 to 8, or RGB for a strip");
        return;
    }
    if (n < 1 || n > kLastBulb)
        return;
    int percent = ClampInt(ReadNumber(arg2), 0, 100);
    int brightness = (int)round(percent * 65535.0 / 100);
    int kelvin = ClampInt(ReadNumber(rest), 2500, 9000);
    SendWhite(n, brightness, kelvin);
}

static void CalibrationCommand(const char *arg1, const char *arg2, const char *)
{
    if (!arg2[0])
        return;
    int value = ClampInt(ReadNumber(arg2), 0, 100);
    switch (arg1[0]) {
    case 'R':
        g_settings.calibrationRed = value;
        WriteSettingInt(KEY_CALIBRATION_RED, value);
        break;
    case 'G':
        g_settings.calibrationGreen = value;
        WriteSettingInt(KEY_CALIBRATION_GREEN, value);
        break;
    case 'B':
        g_settings.calibrationBlue = value;
        WriteSettingInt(KEY_CALIBRATION_BLUE, value);
        break;
    default:
        LogTypo("...unknown calibration channel \"%.40s\"! Give %s.", arg1,
                "R, G or B (upper case)");
    }
}

static void ToggleCommand(const char *arg1, const char *arg2, const char *)
{
    if (EqualIgnoringCase(arg1, "Cycle") && EqualIgnoringCase(arg2, "Colors")) {
        StopCycleTimer();
        if (g_settings.cycleColours) {
            g_settings.cycleColours = false;
            g_palette.offset = 1;
            SendColours(0);
        } else {
            g_settings.cycleColours = true;
            StartCycleTimer();
        }
        WriteSettingBool(KEY_CYCLE_COLOURS, g_settings.cycleColours);
    } else if (EqualIgnoringCase(arg1, "Move") && EqualIgnoringCase(arg2, "Effect")) {
        g_settings.moveEffect = !g_settings.moveEffect;
        SetMoveEffect(MoveEffectWanted());
        WriteSettingBool(KEY_MOVE_EFFECT, g_settings.moveEffect);
    } else if (EqualIgnoringCase(arg1, "Move") && EqualIgnoringCase(arg2, "Direction")) {
        g_settings.reverseDirection = !g_settings.reverseDirection;
        SetMoveEffect(g_settings.moveEffect);
        WriteSettingBool(KEY_REVERSE_DIRECTION, g_settings.reverseDirection);
    } else if (EqualIgnoringCase(arg1, "Auto") && EqualIgnoringCase(arg2, "Power")) {
        g_settings.autoPower = !g_settings.autoPower;
        WriteSettingBool(KEY_AUTO_POWER, g_settings.autoPower);
    }
}

static void CycleCommand(const char *arg1, const char *arg2, const char *)
{
    if (!EqualIgnoringCase(arg1, "Interval") || !arg2[0])
        return;
    g_settings.cycleInterval = ClampInt(ReadNumber(arg2), 1, 10);
    if (g_settings.cycleColours) {
        StopCycleTimer();
        StartCycleTimer();
    }
    WriteSettingInt(KEY_CYCLE_INTERVAL, g_settings.cycleInterval);
}

static void MovementCommand(const char *arg1, const char *arg2, const char *)
{
    if (!EqualIgnoringCase(arg1, "Speed") || !arg2[0])
        return;
    g_settings.movementSpeed = ClampInt(ReadNumber(arg2), 1, 60);
    SetMoveEffect(g_settings.moveEffect);
    WriteSettingInt(KEY_MOVEMENT_SPEED, g_settings.movementSpeed);
}

static void Open(const char *target)
{
    VeskExecute(GetDesktopWindow(), nullptr, target, "", "", SW_SHOWNORMAL, 1);
}

static void EditCommand(const char *arg1, const char *, const char *)
{
    if (EqualIgnoringCase(arg1, "Devices") && g_settingsPath[0] && FileExists(g_settingsPath))
        Open(g_settingsPath);
}

// The guide beside the module, when it is there.
static bool FindGuide(char (&path)[kPathSize])
{
    int length = snprintf(path, sizeof path, "%s%s", g_pluginFolder, DOCUMENTATION_FILE_NAME);
    return length > 0 && length < (int)sizeof path && FileExists(path);
}

// The project has no web page of its own to fall back on: without the guide
// the user learns where it was looked for.
static void DocumentationCommand(const char *, const char *, const char *)
{
    static char path[kPathSize];
    if (FindGuide(path)) {
        Open(path);
        return;
    }
    static char line[kModuleNameSize + 160];
    snprintf(line, sizeof line,
             PLUGIN_LOG_PREFIX "No user guide in %s: copy " DOCUMENTATION_FILE_NAME
                               " there from the release package.",
             g_pluginFolder[0] ? g_pluginFolder : "the plug-in's folder");
    HostLog(LogError, line);
}

static void ProtocolCommand(const char *, const char *, const char *)
{
    Open(PROTOCOL_ADDRESS);
}

static void AboutCommand(const char *, const char *, const char *)
{
    static char about[kCommandSize];
    static char guide[kPathSize];
    snprintf(about, sizeof about, "%s (%s)   \n\n%s%s%s", PLUGIN_FULL_NAME, PLUGIN_RELEASE_DATE,
             kAboutCredits, FindGuide(guide) ? kAboutGuideHere : kAboutGuideElsewhere,
             kAboutProtocol);
    static char version[kCommandSize];
    const char *hostVersion = GetVeskVersion();
    snprintf(version, sizeof version, "%s", hostVersion ? hostVersion : "");
    if (IsInString(version, "vesk"))
        SendMessageA(GetVeskWnd(), HostMsgAbout, (WPARAM)ABOUT_TITLE, (LPARAM)about);
    else
        MessageBoxA(nullptr, about, ABOUT_TITLE, MB_OK | MB_ICONINFORMATION);
}

struct Command {
    const char *verb;
    void (*run)(const char *arg1, const char *arg2, const char *rest);
};

// Tested in this order; the first verb that matches decides.
static const Command kCommands[] = {
    {"Show", ShowMenuCommand},
    {"Device", DeviceCommand},
    {"Scheme", SchemeCommand},
    {"Power", PowerCommand},
    {"RGB", RgbCommand},
    {"White", WhiteCommand},
    {"Calibration", CalibrationCommand},
    {"Toggle", ToggleCommand},
    {"Cycle", CycleCommand},
    {"Movement", MovementCommand},
    {"Edit", EditCommand},
    {"Documentation", DocumentationCommand},
    {"Protocol", ProtocolCommand},
    {"About", AboutCommand},
    {"Discover", DiscoverCommand},
};

const char *CommandVerb(int index)
{
    int count = (int)(sizeof kCommands / sizeof kCommands[0]);
    return index >= 0 && index < count ? kCommands[index].verb : nullptr;
}

int HandleCommand(const char *text)
{
    if (!text)
        return 0;
    // Longer texts are cut: nothing may run past the fixed buffers.
    static char command[kCommandSize];
    snprintf(command, sizeof command, "%s", text);
    // Only the beginning counts: "@LIFXBulbs" is as good as "@LIFX".
    if (!StartsWithIgnoringCase(command, kShortPrefix) &&
        !StartsWithIgnoringCase(command, kLongPrefix))
        return 0;

    static char tokens[4][kCommandSize];
    static char rest[kCommandSize];
    char *words[4];
    for (int i = 0; i < 4; i++) {
        tokens[i][0] = 0;
        words[i] = tokens[i];
    }
    rest[0] = 0;
    VeskTokenize(command, words, 4, rest);
    // A careless host must not leave a token unterminated.
    for (int i = 0; i < 4; i++)
        tokens[i][kCommandSize - 1] = 0;
    rest[kCommandSize - 1] = 0;

    for (const Command &c : kCommands) {
        if (EqualIgnoringCase(tokens[1], c.verb)) {
            c.run(tokens[2], tokens[3], rest);
            break;
        }
    }
    // What the command sent waits for its acknowledgements.
    KeepAnswersTimer();
    return 0;
}
