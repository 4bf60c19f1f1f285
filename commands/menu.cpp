// The plug-in menu, built afresh from the settings each time it is shown.
#include <stdio.h>

#include "commands/chain_text.h"
#include "commands/commands.h"
#include "host/identity.h"
#include "host/vesk.h"
#include "lifx/delivery.h"
#include "palette/palette.h"
#include "settings/settings.h"

#define COMMAND(text) PLUGIN_COMMAND_PREFIX " " text

static const char kSeparator[] = "----------";

// The current menu; its submenus go with it.
static Menu *g_menu;

struct SchemeEntry {
    const char *label; // null: a separator
    const char *command;
    int scheme;
};

static const SchemeEntry kSchemeEntries[] = {
    {"Style", COMMAND("Scheme Style"), SchemeStyle},
    {nullptr, nullptr, 0},
    {"Fire", COMMAND("Scheme Fire"), SchemeFire},
    {"Ocean", COMMAND("Scheme Ocean"), SchemeOcean},
    {"Woods", COMMAND("Scheme Woods"), SchemeWoods},
    {"Spooky", COMMAND("Scheme Spooky"), SchemeSpooky},
    {nullptr, nullptr, 0},
    {"Warm", COMMAND("Scheme Warm"), SchemeWarm},
    {"Cold", COMMAND("Scheme Cold"), SchemeCold},
    {nullptr, nullptr, 0},
    {"User 1", COMMAND("Scheme User1"), SchemeUser1},
    {"User 2", COMMAND("Scheme User2"), SchemeUser2},
    {"User 3", COMMAND("Scheme User3"), SchemeUser3},
    {nullptr, nullptr, 0},
    {"Manual", COMMAND("Scheme Manual"), SchemeManual},
};

// "#3 Bulb", named when the light's label is known ("#3 Bulb: Kitchen"),
// and marked while it does not answer.
static void DeviceEntryLabel(int n, char (&label)[kShownLabelSize + 96])
{
    char shown[kShownLabelSize];
    ShownLabel(g_deviceLabels[n], shown);
    int length = snprintf(label, sizeof label, n <= kLastBulb ? "#%d Bulb" : "#%d MultiZone", n);
    if (shown[0] && g_devices[n][0])
        length += snprintf(label + length, sizeof label - (size_t)length, ": %s", shown);
    // A matrix light shows the scheme across its pixels: say how many.
    if (g_devices[n][0] && DrivenKind(n) == KindMatrix) {
        char chain[kChainWordsSize];
        ChainWords(g_deviceChains[n], true, chain);
        length += snprintf(label + length, sizeof label - (size_t)length, " (%s)", chain);
    }
    if (DeliverySlotSilent(n))
        snprintf(label + length, sizeof label - (size_t)length, " (not answering)");
}

static void AddDevices(Menu *menu)
{
    Menu *devices = MakeMenu("Devices");
    for (int n = 1; n <= kDeviceSlots; n++) {
        if (n == kLastBulb + 1)
            MakeMenuNOP(devices, kSeparator);
        char label[kShownLabelSize + 96], command[64];
        DeviceEntryLabel(n, label);
        snprintf(command, sizeof command, COMMAND("Device #%d"), n);
        MakeMenuItemString(devices, label, command, g_devices[n]);
    }
    MakeMenuNOP(devices, kSeparator);
    MakeMenuItem(devices, "Find lights...", COMMAND("Discover"), false);
    MakeMenuItem(devices, "Edit manually...", COMMAND("Edit Devices"), false);
    MakeSubmenu(menu, devices, "Devices");
}

static void AddCalibration(Menu *menu)
{
    Menu *calibration = MakeMenu("RGB calibration");
    MakeMenuItemInt(calibration, "Red %", COMMAND("Calibration R"), g_settings.calibrationRed, 0,
                    100);
    MakeMenuItemInt(calibration, "Green %", COMMAND("Calibration G"), g_settings.calibrationGreen,
                    0, 100);
    MakeMenuItemInt(calibration, "Blue %", COMMAND("Calibration B"), g_settings.calibrationBlue, 0,
                    100);
    MakeSubmenu(menu, calibration, "RGB calibration");
}

static void AddSchemes(Menu *menu)
{
    Menu *schemes = MakeMenu("Color scheme");
    for (const SchemeEntry &entry : kSchemeEntries) {
        if (!entry.label)
            MakeMenuNOP(schemes, kSeparator);
        else
            MakeMenuItemBool(schemes, entry.label, entry.command, g_settings.scheme == entry.scheme,
                             1);
    }
    MakeSubmenu(menu, schemes, "Color scheme");
}

void ShowPluginMenu()
{
    if (g_menu)
        DelMenu(g_menu);
    g_menu = MakeMenu(PLUGIN_NAME);
    AddDevices(g_menu);
    AddCalibration(g_menu);
    AddSchemes(g_menu);
    MakeMenuNOP(g_menu, kSeparator);
    MakeMenuItemBool(g_menu, "Cycle colors", COMMAND("Toggle Cycle Colors"),
                     g_settings.cycleColours, 0);
    MakeMenuItemInt(g_menu, "Cycle interval", COMMAND("Cycle Interval"), g_settings.cycleInterval,
                    1, 10);
    MakeMenuNOP(g_menu, kSeparator);
    MakeMenuItemBool(g_menu, "Enable move effect", COMMAND("Toggle Move Effect"),
                     g_settings.moveEffect, 0);
    MakeMenuItemInt(g_menu, "Movement speed", COMMAND("Movement Speed"), g_settings.movementSpeed,
                    1, 60);
    MakeMenuItemBool(g_menu, "Reverse direction", COMMAND("Toggle Move Direction"),
                     g_settings.reverseDirection, 0);
    MakeMenuNOP(g_menu, kSeparator);
    MakeMenuItemBool(g_menu, "Auto power on/off", COMMAND("Toggle Auto Power"),
                     g_settings.autoPower, 0);
    MakeMenuItem(g_menu, "Power off now...", COMMAND("Power Off"), false);
    MakeMenuNOP(g_menu, kSeparator);
    MakeMenuItem(g_menu, "Documentation...", COMMAND("Documentation"), false);
    MakeMenuNOP(g_menu, kSeparator);
    MakeMenuItem(g_menu, "About " PLUGIN_NAME "...", COMMAND("About"), false);
    ShowMenu(g_menu);
}

// For a new host, whose menus are not the old host's.
void ForgetPluginMenu()
{
    g_menu = nullptr;
}
