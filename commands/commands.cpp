// The command interpreter: every menu entry and every typed command ends here.
#include "commands/commands.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

#include "commands/discover.h"
#include "commands/numbers.h"
#include "commands/timers.h"
#include "commands/typos.h"
#include "host/identity.h"
#include "host/log.h"
#include "host/vesk.h"
#include "lifx/delivery.h"
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

static void ShowMenuCommand(const char *arg1, const char *, const char *)
{
    if (EqualIgnoringCase(arg1, "Menu"))
        ShowPluginMenu();
    else
        LogKeywordTypo("Show", arg1, "Show Menu");
}

static const char kUnknownLightLine[] = "...unknown light \"%.40s\"! Give %s.";

// The number of a slot, 1 to last, that holds a light; otherwise one line
// and false.
static bool ReadLight(const char *typed, int last, const char *accepted, int *n)
{
    if (!ReadWholeNumber(typed, n) || *n < 1 || *n > last) {
        LogTypo(kUnknownLightLine, typed, accepted);
        return false;
    }
    if (g_devices[*n][0] == 0) {
        LogTypo("...no light in slot #%.40s! Give %s.", typed,
                "a slot that holds an address in the Devices menu");
        return false;
    }
    return true;
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

// "#3": a slot, 1 to 10; otherwise one line and false.
static bool ReadSlot(const char *typed, int *n)
{
    if (typed[0] == '#' && ReadWholeNumber(typed + 1, n) && *n >= 1 && *n <= kDeviceSlots)
        return true;
    LogTypo(kUnknownLightLine, typed, "# and a slot, #1 to #10");
    return false;
}

static void DeviceCommand(const char *arg1, const char *arg2, const char *)
{
    int n;
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
        if (!ReadSlot(arg1, &n))
            return;
        ForgetSerialUnless(n, address);
        ForgetZonesUnless(n, address);
        ForgetLabelUnless(n, address);
        SaveDevice(n, address);
        LogDeviceLine("...IP address for device #%d saved.", n);
        return;
    }
    // Emptying an empty slot has nothing to report.
    if (!ReadSlot(arg1, &n) || g_devices[n][0] == 0)
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

static void SchemeCommand(const char *arg1, const char *arg2, const char *)
{
    // "User 1", as the menu shows it, is User1; what follows a whole name
    // is not looked at.
    int scheme;
    static char joined[kCommandSize];
    snprintf(joined, sizeof joined, "%s%s", arg1, FindScheme(arg1, &scheme) ? "" : arg2);
    if (!FindScheme(joined, &scheme)) {
        static char name[kCommandSize];
        snprintf(name, sizeof name, "%s%s%s", arg1, arg2[0] ? " " : "", arg2);
        static char names[160];
        names[0] = 0;
        for (int i = 0; SchemeNameAt(i); i++)
            snprintf(names + strlen(names), sizeof names - strlen(names), "%s%s",
                     i == 0                ? ""
                     : SchemeNameAt(i + 1) ? ", "
                                           : " or ",
                     SchemeNameAt(i));
        LogTypo("...unknown scheme \"%.40s\"! Give one of %s.", name, names);
        return;
    }
    g_settings.scheme = scheme;
    ShowScheme();
    SetMoveEffect(MoveEffectWanted());
    // As typed, blank left out: the loader reads it back ignoring case.
    WriteSettingString(KEY_SCHEME, joined);
}

static void PowerCommand(const char *arg1, const char *, const char *)
{
    if (EqualIgnoringCase(arg1, "On")) {
        PowerOnLights();
        return;
    }
    if (!EqualIgnoringCase(arg1, "Off")) {
        LogKeywordTypo("Power", arg1, "Power On or Power Off");
        return;
    }
    StopCycleTimer();
    SetMoveEffect(false);
    SetPowerAll(false);
    // Off, the lights keep the last step's colours: whole ones.
    ConfirmCycleStep();
}

// Colours for single lights stay off while the palette is cycling: the
// next step would undo them.
static bool SingleLightsAllowed()
{
    if (g_settings.scheme == SchemeManual || !g_settings.cycleColours)
        return true;
    HostLog(LogError, "...single lights are not set while the colours cycle! Turn Cycle colors "
                      "off, or choose Manual.");
    return false;
}

static void RgbCommand(const char *arg1, const char *arg2, const char *)
{
    // A typo must not read as black, which would switch the light off.
    uint32_t rgb;
    if (arg2[0] != '#' || !ReadHexColour(arg2 + 1, &rgb)) {
        LogTypo("...invalid RGB colour \"%.40s\"! Give %s.", arg2,
                "# and 1 to 6 hexadecimal digits, red first, such as #FF8800");
        return;
    }
    int n;
    if (!ReadLight(arg1, kDeviceSlots, "1 to 10", &n) || !SingleLightsAllowed())
        return;
    g_palette.entries[n] = ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
    SendColours(n);
}

static void WhiteCommand(const char *arg1, const char *arg2, const char *rest)
{
    int n;
    if (ReadWholeNumber(arg1, &n) && n > kLastBulb && n <= kDeviceSlots) {
        LogTypo("...White sets bulbs only, and #%.40s is a strip! Give %s.", arg1,
                "a bulb, 1 to 8, or RGB for a strip");
        return;
    }
    int percent, kelvin;
    if (!ReadLight(arg1, kLastBulb, "a bulb, 1 to 8", &n) ||
        !ReadTypedNumber(arg2, "brightness", "0 to 100 percent", &percent) ||
        !ReadTypedNumber(rest, "colour temperature", "2500 to 9000 kelvin", &kelvin) ||
        !SingleLightsAllowed())
        return;
    percent = ClampInt(percent, 0, 100);
    int brightness = (int)round(percent * 65535.0 / 100);
    SendWhite(n, brightness, ClampInt(kelvin, 2500, 9000));
}

struct Channel {
    char letter;
    const char *name;
    const char *key;
    int *value;
};

static const Channel kChannels[] = {
    {'R', "red percent", KEY_CALIBRATION_RED, &g_settings.calibrationRed},
    {'G', "green percent", KEY_CALIBRATION_GREEN, &g_settings.calibrationGreen},
    {'B', "blue percent", KEY_CALIBRATION_BLUE, &g_settings.calibrationBlue},
};

static void CalibrationCommand(const char *arg1, const char *arg2, const char *)
{
    for (const Channel &channel : kChannels) {
        if (arg1[0] != channel.letter)
            continue;
        int value;
        if (!ReadTypedNumber(arg2, channel.name, "0 to 100", &value))
            return;
        *channel.value = ClampInt(value, 0, 100);
        WriteSettingInt(channel.key, *channel.value);
        return;
    }
    LogTypo("...unknown calibration channel \"%.40s\"! Give %s.", arg1, "R, G or B (upper case)");
}

static void BrightnessCommand(const char *arg1, const char *, const char *)
{
    int percent;
    if (!ReadTypedNumber(arg1, "brightness", "1 to 100 percent", &percent))
        return;
    g_settings.brightness = ClampInt(percent, 1, 100);
    // Seen at once where the scheme sends; under Manual from the next RGB
    // or White.
    if (g_settings.scheme != SchemeManual)
        SendColours(0);
    WriteSettingInt(KEY_BRIGHTNESS, g_settings.brightness);
}

static void ToggleCycleColours()
{
    StopCycleTimer();
    if (g_settings.cycleColours) {
        g_settings.cycleColours = false;
        g_palette.offset = 1;
        SendColours(0);
        ConfirmCycleStep();
    } else {
        g_settings.cycleColours = true;
        StartCycleTimer();
    }
    WriteSettingBool(KEY_CYCLE_COLOURS, g_settings.cycleColours);
}

static void ToggleMoveEffect()
{
    g_settings.moveEffect = !g_settings.moveEffect;
    SetMoveEffect(MoveEffectWanted());
    WriteSettingBool(KEY_MOVE_EFFECT, g_settings.moveEffect);
}

static void ToggleMoveDirection()
{
    g_settings.reverseDirection = !g_settings.reverseDirection;
    SetMoveEffect(g_settings.moveEffect);
    WriteSettingBool(KEY_REVERSE_DIRECTION, g_settings.reverseDirection);
}

static void ToggleAutoPower()
{
    g_settings.autoPower = !g_settings.autoPower;
    WriteSettingBool(KEY_AUTO_POWER, g_settings.autoPower);
}

struct Toggle {
    const char *name; // two words, as the command and the guide give them
    const char *first;
    const char *second;
    const char *otherSecond; // the guide's spelling, null when the same
    void (*flip)();
};

static const Toggle kToggles[] = {
    {"Cycle Colors", "Cycle", "Colors", "Colours", ToggleCycleColours},
    {"Move Effect", "Move", "Effect", nullptr, ToggleMoveEffect},
    {"Move Direction", "Move", "Direction", nullptr, ToggleMoveDirection},
    {"Auto Power", "Auto", "Power", nullptr, ToggleAutoPower},
};

static void ToggleCommand(const char *arg1, const char *arg2, const char *)
{
    for (const Toggle &t : kToggles) {
        if (EqualIgnoringCase(arg1, t.first) &&
            (EqualIgnoringCase(arg2, t.second) ||
             (t.otherSecond && EqualIgnoringCase(arg2, t.otherSecond)))) {
            t.flip();
            return;
        }
    }
    static char typed[kCommandSize];
    snprintf(typed, sizeof typed, "%s%s%s", arg1, arg2[0] ? " " : "", arg2);
    for (const Toggle &t : kToggles) {
        if (NearlyEqual(typed, t.name)) {
            LogTypo("...unknown command \"Toggle %.40s\"! Did you mean \"Toggle %s\"?", typed,
                    t.name);
            return;
        }
    }
    LogKeywordTypo("Toggle", typed,
                   "Toggle and one of Cycle Colors, Move Effect, Move Direction or Auto Power");
}

static void CycleCommand(const char *arg1, const char *arg2, const char *)
{
    if (!EqualIgnoringCase(arg1, "Interval")) {
        LogKeywordTypo("Cycle", arg1, "Cycle Interval and 1 to 10 seconds");
        return;
    }
    int seconds;
    if (!ReadTypedNumber(arg2, "cycle interval", "1 to 10 seconds", &seconds))
        return;
    g_settings.cycleInterval = ClampInt(seconds, 1, 10);
    if (g_settings.cycleColours) {
        StopCycleTimer();
        StartCycleTimer();
    }
    WriteSettingInt(KEY_CYCLE_INTERVAL, g_settings.cycleInterval);
}

static void MovementCommand(const char *arg1, const char *arg2, const char *)
{
    if (!EqualIgnoringCase(arg1, "Speed")) {
        LogKeywordTypo("Movement", arg1, "Movement Speed and 1 to 60 seconds");
        return;
    }
    int seconds;
    if (!ReadTypedNumber(arg2, "movement speed", "1 to 60 seconds", &seconds))
        return;
    g_settings.movementSpeed = ClampInt(seconds, 1, 60);
    SetMoveEffect(g_settings.moveEffect);
    WriteSettingInt(KEY_MOVEMENT_SPEED, g_settings.movementSpeed);
}

static void Open(const char *target)
{
    VeskExecute(GetDesktopWindow(), nullptr, target, "", "", SW_SHOWNORMAL, 1);
}

static void EditCommand(const char *arg1, const char *, const char *)
{
    if (!EqualIgnoringCase(arg1, "Devices"))
        LogKeywordTypo("Edit", arg1, "Edit Devices");
    else if (g_settingsPath[0] && FileExists(g_settingsPath))
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
    const char *shown; // as a typo's line names it
    void (*run)(const char *arg1, const char *arg2, const char *rest);
};

// Tested in this order; the first verb that matches decides.
static const Command kCommands[] = {
    {"Show", "Show Menu", ShowMenuCommand},
    {"Device", "Device", DeviceCommand},
    {"Scheme", "Scheme", SchemeCommand},
    {"Power", "Power", PowerCommand},
    {"RGB", "RGB", RgbCommand},
    {"White", "White", WhiteCommand},
    {"Calibration", "Calibration", CalibrationCommand},
    {"Toggle", "Toggle", ToggleCommand},
    {"Cycle", "Cycle Interval", CycleCommand},
    {"Movement", "Movement Speed", MovementCommand},
    {"Edit", "Edit Devices", EditCommand},
    {"Documentation", "Documentation", DocumentationCommand},
    {"Protocol", "Protocol", ProtocolCommand},
    {"About", "About", AboutCommand},
    {"Discover", "Discover", DiscoverCommand},
    {"Brightness", "Brightness", BrightnessCommand},
};

enum { kCommandCount = (int)(sizeof kCommands / sizeof kCommands[0]) };

// A verb of no command: the one plainly meant, or all of them.
static void LogUnknownVerb(const char *verb)
{
    for (const Command &c : kCommands) {
        if (NearlyEqual(verb, c.shown) || NearlyEqual(verb, c.verb)) {
            LogTypo("...unknown command \"%.40s\"! Did you mean \"%s\"?", verb, c.shown);
            return;
        }
    }
    static char verbs[320];
    verbs[0] = 0;
    for (int i = 0; i < kCommandCount; i++)
        snprintf(verbs + strlen(verbs), sizeof verbs - strlen(verbs), "%s%s",
                 i == 0                  ? ""
                 : i + 1 < kCommandCount ? ", "
                                         : " or ",
                 kCommands[i].shown);
    LogTypo("...unknown command \"%.40s\"! Give one of %s.", verb, verbs);
}

const char *CommandVerb(int index)
{
    return index >= 0 && index < kCommandCount ? kCommands[index].verb : nullptr;
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

    bool known = false;
    for (const Command &c : kCommands) {
        if (EqualIgnoringCase(tokens[1], c.verb)) {
            c.run(tokens[2], tokens[3], rest);
            known = true;
            break;
        }
    }
    // A longer first word ("@LIFXBulbs") may be another plug-in's prefix:
    // what is not ours is left to it.
    if (!known &&
        (EqualIgnoringCase(tokens[0], kShortPrefix) || EqualIgnoringCase(tokens[0], kLongPrefix)))
        LogUnknownVerb(tokens[1]);
    // What the command sent waits for its acknowledgements.
    KeepAnswersTimer();
    return 0;
}
