// Every entry of the menu, chosen or edited as a user would: the command the
// host sends back does what the entry says, and the next menu shows it.
#include <stdlib.h>

#include <string>
#include <vector>

#include "commands/commands.h"
#include "settings/settings.h"
#include "tests/commands/commands_fixture.h"

namespace
{

using testhost::MenuEntry;
using testhost::MenuSnapshot;

struct Placed {
    std::string submenu; // "" for the top-level menu
    MenuEntry entry;
};

std::vector<Placed> Flatten(const MenuSnapshot &menu)
{
    std::vector<Placed> all;
    for (const MenuEntry &e : menu.entries) {
        if (e.kind == testhost::ItemSubmenu && !e.submenu.empty()) {
            for (const MenuEntry &inner : e.submenu[0].entries)
                all.push_back({e.label, inner});
        } else {
            all.push_back({"", e});
        }
    }
    return all;
}

struct NumberSetting {
    const char *label;
    const char *key;
    int Settings::*field;
};

const NumberSetting kNumbers[] = {
    {"Red %", "lifx.calibration.red:", &Settings::calibrationRed},
    {"Green %", "lifx.calibration.green:", &Settings::calibrationGreen},
    {"Blue %", "lifx.calibration.blue:", &Settings::calibrationBlue},
    {"Cycle interval", "lifx.cycle.interval:", &Settings::cycleInterval},
    {"Movement speed", "lifx.movement.speed:", &Settings::movementSpeed},
};

struct FlagSetting {
    const char *label;
    const char *key;
    bool Settings::*field;
};

const FlagSetting kFlags[] = {
    {"Cycle colors", "lifx.cycle.colors:", &Settings::cycleColours},
    {"Enable move effect", "lifx.move.effect:", &Settings::moveEffect},
    {"Reverse direction", "lifx.reverse.direction:", &Settings::reverseDirection},
    {"Auto power on/off", "lifx.auto.power:", &Settings::autoPower},
};

struct SchemeEntry {
    const char *label;
    int id;
};

const SchemeEntry kSchemes[] = {
    {"Style", 10}, {"Fire", 11},    {"Ocean", 12},   {"Woods", 13},   {"Spooky", 14}, {"Warm", 1},
    {"Cold", 2},   {"User 1", 101}, {"User 2", 102}, {"User 3", 103}, {"Manual", 0},
};

class MenuRoundTripTest : public CommandTest
{
  protected:
    // Shows a new menu and returns its entry with this label.
    MenuEntry EntryNow(const std::string &submenu, const std::string &label)
    {
        ShowPluginMenu();
        for (const Placed &p : Flatten(testhost::ShownMenus().back())) {
            if (p.submenu == submenu && p.entry.label == label)
                return p.entry;
        }
        ADD_FAILURE() << "no entry " << label << " in the next menu";
        return MenuEntry{};
    }
    void Reply(const std::string &command)
    {
        Forget();
        Send(command);
    }

    void TextEntry(const Placed &p);
    void NumberEntry(const Placed &p);
    void SchemeCheck(const Placed &p);
    void FlagCheck(const Placed &p);
    void CommandEntry(const Placed &p);
};

void MenuRoundTripTest::TextEntry(const Placed &p)
{
    const MenuEntry &e = p.entry;
    int n = atoi(e.command.c_str() + e.command.find('#') + 1);
    ASSERT_GE(n, 1);
    ASSERT_LE(n, 10);
    const std::string number = std::to_string(n);

    Reply(e.command + " " + Address(n));
    EXPECT_STREQ(g_devices[n], Address(n));
    ExpectLineWritten(DeviceKey(n), Address(n));
    EXPECT_EQ(LogLines(),
              std::vector<std::string>{"1 ...IP address for device #" + number + " saved."});
    EXPECT_EQ(EntryNow(p.submenu, e.label).text, Address(n));

    // The user empties the text.
    Reply(e.command + " ");
    EXPECT_STREQ(g_devices[n], "");
    ExpectLineWritten(DeviceKey(n), "");
    EXPECT_EQ(LogLines(),
              std::vector<std::string>{"1 ...IP address for device #" + number + " removed."});
    EXPECT_EQ(EntryNow(p.submenu, e.label).text, "");

    // Back in, for the entries that drive the lights.
    Reply(e.command + " " + Address(n));
    EXPECT_STREQ(g_devices[n], Address(n));
}

void MenuRoundTripTest::NumberEntry(const Placed &p)
{
    const MenuEntry &e = p.entry;
    const NumberSetting *setting = nullptr;
    for (const NumberSetting &s : kNumbers) {
        if (e.label == s.label)
            setting = &s;
    }
    ASSERT_NE(setting, nullptr) << "unexpected number entry " << e.label;
    int value = e.minimum + (e.maximum - e.minimum) * 3 / 4;
    if (value == e.value)
        value = e.minimum;

    Reply(e.command + " " + std::to_string(value));
    EXPECT_EQ(g_settings.*(setting->field), value);
    ExpectLineWritten(setting->key, std::to_string(value));
    EXPECT_EQ(EntryNow(p.submenu, e.label).value, value);
}

void MenuRoundTripTest::SchemeCheck(const Placed &p)
{
    const MenuEntry &e = p.entry;
    const SchemeEntry *scheme = nullptr;
    for (const SchemeEntry &s : kSchemes) {
        if (e.label == s.label)
            scheme = &s;
    }
    ASSERT_NE(scheme, nullptr) << "unexpected scheme entry " << e.label;

    Reply(e.command);
    EXPECT_EQ(g_settings.scheme, scheme->id);
    ExpectLineWritten("lifx.color.scheme:", e.command.substr(e.command.rfind(' ') + 1));
    ShowPluginMenu();
    for (const Placed &q : Flatten(testhost::ShownMenus().back())) {
        if (q.submenu == p.submenu && q.entry.kind == testhost::ItemBool) {
            EXPECT_EQ(q.entry.state, q.entry.label == e.label) << q.entry.label;
        }
    }
}

void MenuRoundTripTest::FlagCheck(const Placed &p)
{
    const MenuEntry &e = p.entry;
    const FlagSetting *setting = nullptr;
    for (const FlagSetting &s : kFlags) {
        if (e.label == s.label)
            setting = &s;
    }
    ASSERT_NE(setting, nullptr) << "unexpected check entry " << e.label;
    bool was = g_settings.*(setting->field);
    EXPECT_EQ(e.state, was);

    Reply(e.command);
    EXPECT_EQ(g_settings.*(setting->field), !was);
    ExpectLineWritten(setting->key, was ? "false" : "true");
    EXPECT_EQ(EntryNow(p.submenu, e.label).state, !was);
}

void MenuRoundTripTest::CommandEntry(const Placed &p)
{
    const MenuEntry &e = p.entry;
    if (e.label == "Find lights...") {
        // A broadcast, which must not leave the test: the network guard
        // refuses it and keeps its address.
        platform::SetInterfaces({});
        platform::RecordRefusedDestinations(true, false);
        Reply(e.command);
        platform::AdvanceClock(3000);
        EXPECT_EQ(platform::RefusedDestinations(), std::vector<std::string>(3, "255.255.255.255"))
            << "three rounds";
        ASSERT_EQ(LogLines().size(), 2u);
        EXPECT_EQ(LogLines()[0], "1 Chromalet-LIFX -> Looking for lights on the local network...");
        // Refused, every one.
        EXPECT_EQ(LogLines()[1].substr(0, 36), "3 ...the requests could not be sent:");
        ExpectFileUnchanged();
        platform::RecordRefusedDestinations(false);
        return;
    }
    Reply(e.command);
    ExpectFileUnchanged();
    if (e.label == "Edit manually...") {
        ASSERT_EQ(testhost::Executions().size(), 1u);
        EXPECT_EQ(testhost::Executions()[0].target, SettingsPath());
    } else if (e.label == "Power off now...") {
        for (int n = 1; n <= 10; n++) {
            ASSERT_FALSE(Light(n).received.empty()) << "light " << n;
            EXPECT_EQ(Light(n).received.back().type, kTypeSetLightPower) << "light " << n;
            EXPECT_EQ(Light(n).powerLevel, 0) << "light " << n;
        }
        EXPECT_EQ(CycleTimerPeriod(), 0u);
    } else if (e.label == "Power on now...") {
        for (int n = 1; n <= 10; n++)
            EXPECT_FALSE(Light(n).received.empty()) << "light " << n;
        EXPECT_EQ(Light(10).powerLevel, 65535);
    } else if (e.label == "Documentation...") {
        ASSERT_EQ(testhost::Executions().size(), 1u);
        EXPECT_EQ(testhost::Executions()[0].target, Folder() + "Chromalet-LIFX.html");
    } else if (e.label == "About Chromalet-LIFX...") {
        EXPECT_EQ(testhost::AboutBoxes().size(), 1u);
    } else {
        ADD_FAILURE() << "unexpected command entry " << e.label;
    }
}

TEST_F(MenuRoundTripTest, EveryEntryDoesWhatItSaysAndTheNextMenuShowsIt)
{
    WriteFileBytes(Folder() + "Chromalet-LIFX.html", "<!DOCTYPE html>\n");
    Start();
    ShowPluginMenu();
    ASSERT_EQ(testhost::ShownMenus().size(), 1u);
    const MenuSnapshot menu = testhost::ShownMenus()[0];

    int handled = 0;
    for (const Placed &p : Flatten(menu)) {
        SCOPED_TRACE((p.submenu.empty() ? "" : p.submenu + " > ") + p.entry.label);
        switch (p.entry.kind) {
        case testhost::ItemString:
            TextEntry(p);
            break;
        case testhost::ItemInt:
            NumberEntry(p);
            break;
        case testhost::ItemBool:
            if (p.submenu == "Color scheme")
                SchemeCheck(p);
            else if (p.submenu == "Brightness") {
                Reply(p.entry.command);
                EXPECT_TRUE(EntryNow(p.submenu, p.entry.label).state) << "checked next time";
            } else
                FlagCheck(p);
            break;
        case testhost::ItemCommand:
            CommandEntry(p);
            break;
        case testhost::ItemSeparator:
        case testhost::ItemSubmenu:
            continue;
        }
        handled++;
    }
    EXPECT_EQ(handled, 41) << "10 devices, find, edit, 3 calibrations, 11 schemes, 5 "
                              "brightnesses, 4 switches, 2 numbers, power off and on, "
                              "documentation, about";
    EXPECT_EQ(testhost::LiveMenus(), 1);
}

TEST_F(MenuRoundTripTest, CycleIntervalFiveFromTheMenuIsShownNextTime)
{
    Start();
    ShowPluginMenu();
    Send("@Chromalet-LIFX Cycle Interval 5");
    EXPECT_EQ(EntryNow("", "Cycle interval").value, 5);
    ExpectLineWritten("lifx.cycle.interval:", "5");
}

} // namespace
