// The plug-in menu as the host receives it: every entry, in order, with the
// values of the moment.
#include <string>
#include <vector>

#include "commands/commands.h"
#include "settings/settings.h"
#include "tests/commands/commands_fixture.h"

namespace
{

using testhost::MenuEntry;
using testhost::MenuSnapshot;

MenuEntry Entry(testhost::ItemKind kind, const std::string &label, const std::string &command)
{
    MenuEntry e = {};
    e.kind = kind;
    e.label = label;
    e.command = command;
    return e;
}

MenuEntry Text(const std::string &label, const std::string &command, const std::string &text)
{
    MenuEntry e = Entry(testhost::ItemString, label, command);
    e.text = text;
    return e;
}

MenuEntry Number(const std::string &label, const std::string &command, int value, int minimum,
                 int maximum)
{
    MenuEntry e = Entry(testhost::ItemInt, label, command);
    e.value = value;
    e.minimum = minimum;
    e.maximum = maximum;
    return e;
}

MenuEntry Check(const std::string &label, const std::string &command, bool state, int style)
{
    MenuEntry e = Entry(testhost::ItemBool, label, command);
    e.state = state;
    e.style = style;
    return e;
}

MenuEntry Command(const std::string &label, const std::string &command)
{
    return Entry(testhost::ItemCommand, label, command);
}

MenuEntry Separator()
{
    return Entry(testhost::ItemSeparator, "----------", "");
}

MenuEntry Submenu(const std::string &title, const std::vector<MenuEntry> &entries)
{
    MenuEntry e = Entry(testhost::ItemSubmenu, title, "");
    e.submenu.push_back(MenuSnapshot{title, entries});
    return e;
}

struct MenuState {
    std::vector<std::string> devices; // slots 1 to 10
    int red, green, blue;
    int scheme;
    bool cycle;
    int interval;
    bool move;
    int speed;
    bool reverse;
    bool autoPower;
    int brightness = 100;
};

// The whole menu for a state, entry by entry.
MenuSnapshot ExpectedMenu(const MenuState &s)
{
    const std::string p = "@Chromalet-LIFX ";
    std::vector<MenuEntry> devices;
    for (int n = 1; n <= 10; n++) {
        if (n == 9)
            devices.push_back(Separator());
        devices.push_back(Text("#" + std::to_string(n) + (n <= 8 ? " Bulb" : " MultiZone"),
                               p + "Device #" + std::to_string(n), s.devices[n - 1]));
    }
    devices.push_back(Separator());
    devices.push_back(Command("Find lights...", p + "Discover"));
    devices.push_back(Command("Edit manually...", p + "Edit Devices"));

    std::vector<MenuEntry> calibration = {
        Number("Red %", p + "Calibration R", s.red, 0, 100),
        Number("Green %", p + "Calibration G", s.green, 0, 100),
        Number("Blue %", p + "Calibration B", s.blue, 0, 100),
    };

    std::vector<MenuEntry> schemes = {
        Check("Style", p + "Scheme Style", s.scheme == 10, 1),
        Separator(),
        Check("Fire", p + "Scheme Fire", s.scheme == 11, 1),
        Check("Ocean", p + "Scheme Ocean", s.scheme == 12, 1),
        Check("Woods", p + "Scheme Woods", s.scheme == 13, 1),
        Check("Spooky", p + "Scheme Spooky", s.scheme == 14, 1),
        Separator(),
        Check("Warm", p + "Scheme Warm", s.scheme == 1, 1),
        Check("Cold", p + "Scheme Cold", s.scheme == 2, 1),
        Separator(),
        Check("User 1", p + "Scheme User1", s.scheme == 101, 1),
        Check("User 2", p + "Scheme User2", s.scheme == 102, 1),
        Check("User 3", p + "Scheme User3", s.scheme == 103, 1),
        Separator(),
        Check("Manual", p + "Scheme Manual", s.scheme == 0, 1),
    };

    std::vector<MenuEntry> brightness;
    for (int percent : {100, 75, 50, 25, 10})
        brightness.push_back(Check(std::to_string(percent) + " %",
                                   p + "Brightness " + std::to_string(percent),
                                   s.brightness == percent, 1));

    return MenuSnapshot{"Chromalet-LIFX",
                        {
                            Submenu("Devices", devices),
                            Submenu("RGB calibration", calibration),
                            Submenu("Color scheme", schemes),
                            Submenu("Brightness", brightness),
                            Separator(),
                            Check("Cycle colors", p + "Toggle Cycle Colors", s.cycle, 0),
                            Number("Cycle interval", p + "Cycle Interval", s.interval, 1, 10),
                            Separator(),
                            Check("Enable move effect", p + "Toggle Move Effect", s.move, 0),
                            Number("Movement speed", p + "Movement Speed", s.speed, 1, 60),
                            Check("Reverse direction", p + "Toggle Move Direction", s.reverse, 0),
                            Separator(),
                            Check("Auto power on/off", p + "Toggle Auto Power", s.autoPower, 0),
                            Command("Power off now...", p + "Power Off"),
                            Command("Power on now...", p + "Power On"),
                            Separator(),
                            Command("Documentation...", p + "Documentation"),
                            Separator(),
                            Command("About Chromalet-LIFX...", p + "About"),
                        }};
}

void ExpectSameMenu(const MenuSnapshot &got, const MenuSnapshot &want)
{
    SCOPED_TRACE("menu \"" + want.title + "\"");
    EXPECT_EQ(got.title, want.title);
    ASSERT_EQ(got.entries.size(), want.entries.size()) << testhost::DescribeMenu(got);
    for (size_t i = 0; i < want.entries.size(); i++) {
        const MenuEntry &g = got.entries[i];
        const MenuEntry &w = want.entries[i];
        SCOPED_TRACE("entry " + std::to_string(i + 1) + " \"" + w.label + "\"");
        ASSERT_EQ(g.kind, w.kind);
        EXPECT_EQ(g.label, w.label);
        EXPECT_EQ(g.command, w.command);
        switch (w.kind) {
        case testhost::ItemCommand:
            EXPECT_FALSE(g.indicator);
            break;
        case testhost::ItemBool:
            EXPECT_EQ(g.state, w.state);
            EXPECT_EQ(g.style, w.style);
            break;
        case testhost::ItemInt:
            EXPECT_EQ(g.value, w.value);
            EXPECT_EQ(g.minimum, w.minimum);
            EXPECT_EQ(g.maximum, w.maximum);
            break;
        case testhost::ItemString:
            EXPECT_EQ(g.text, w.text);
            break;
        case testhost::ItemSeparator:
            break;
        case testhost::ItemSubmenu:
            ASSERT_EQ(g.submenu.size(), 1u);
            ExpectSameMenu(g.submenu[0], w.submenu[0]);
            break;
        }
    }
}

class MenuTest : public CommandTest
{
  protected:
    const MenuSnapshot &LastMenu()
    {
        EXPECT_FALSE(testhost::ShownMenus().empty());
        static MenuSnapshot none;
        return testhost::ShownMenus().empty() ? none : testhost::ShownMenus().back();
    }
};

TEST_F(MenuTest, FreshStartShowsTheDefaultsAndTenEmptyDeviceTexts)
{
    StartWithoutFile();
    Send("@LIFX Show Menu");
    ASSERT_EQ(testhost::ShownMenus().size(), 1u);
    MenuState state = {
        std::vector<std::string>(10, ""), 80, 100, 95, 10, false, 10, false, 10, false, false};
    ExpectSameMenu(LastMenu(), ExpectedMenu(state));
    ExpectFileUnchanged();
    EXPECT_TRUE(LogLines().empty());
    EXPECT_EQ(DatagramsReceived(), 0);
}

TEST_F(MenuTest, EveryEntryShowsTheSettingsAndTheSlotsAsRead)
{
    const std::string longText(127, 'x');
    std::vector<std::string> devices = {
        Address(1), "lamp in the hall", "192.168.001.020", "", "%s%n%s", "999.1.1.1", "",
        "",         Address(9),         longText};
    // Only addresses are read into the slots, and as A.B.C.D.
    std::vector<std::string> shown = {Address(1), "", "192.168.1.20", "", "", "",
                                      "",         "", Address(9),     ""};
    std::vector<SettingLine> lines;
    for (int n = 1; n <= 10; n++)
        lines.push_back({DeviceKey(n), devices[n - 1]});
    lines.insert(lines.end(), {{"lifx.calibration.red:", "81"},
                               {"lifx.calibration.green:", "99"},
                               {"lifx.calibration.blue:", "7"},
                               {"lifx.color.scheme:", "ocean"},
                               {"lifx.cycle.colors:", "true"},
                               {"lifx.cycle.interval:", "4"},
                               {"lifx.move.effect:", "true"},
                               {"lifx.movement.speed:", "33"},
                               {"lifx.reverse.direction:", "true"},
                               {"lifx.auto.power:", "false"}});
    Start(lines);
    ShowPluginMenu();
    MenuState state = {shown, 81, 99, 7, 12, true, 4, true, 33, true, false};
    ExpectSameMenu(LastMenu(), ExpectedMenu(state));
    EXPECT_EQ(DatagramsReceived(), 0) << "showing the menu contacts no light";
}

struct SchemeFileCase {
    const char *value; // null: no scheme line in the file
    const char *checked;
};

TEST_F(MenuTest, TheSchemeOfTheSettingsFileIsTheOnlyOneChecked)
{
    const SchemeFileCase cases[] = {
        {"Rainbow", "Manual"}, {"Manual", "Manual"}, {nullptr, "Manual"}, {"", "Manual"},
        {"User 1", "Manual"},  {"style", "Style"},   {"FIRE", "Fire"},    {"Woods", "Woods"},
        {"spooky", "Spooky"},  {"warm", "Warm"},     {"Cold", "Cold"},    {"user1", "User 1"},
        {"User2", "User 2"},   {"USER3", "User 3"},  {"Ocean", "Ocean"},
    };
    for (const SchemeFileCase &c : cases) {
        SCOPED_TRACE(c.value ? std::string("scheme \"") + c.value + "\"" : "no scheme key");
        std::string content = DefaultSettings();
        if (c.value) {
            content = WithLine(content, "lifx.color.scheme:", c.value);
        } else {
            const std::string line = "lifx.color.scheme: Style\r\n";
            content.erase(content.find(line), line.size());
        }
        StartWithContent(content);
        ShowPluginMenu();
        const MenuSnapshot &menu = LastMenu();
        ASSERT_EQ(menu.entries.size(), 19u);
        ASSERT_EQ(menu.entries[2].submenu.size(), 1u);
        int checked = 0;
        for (const MenuEntry &e : menu.entries[2].submenu[0].entries) {
            if (e.kind == testhost::ItemBool && e.state) {
                checked++;
                EXPECT_EQ(e.label, c.checked);
            }
        }
        EXPECT_EQ(checked, 1);
    }
}

TEST_F(MenuTest, ShowingTwiceLeavesOneMenu)
{
    Start(LightLines({1}));
    ShowPluginMenu();
    ShowPluginMenu();
    EXPECT_EQ(testhost::ShownMenus().size(), 2u);
    EXPECT_EQ(testhost::LiveMenus(), 1);
    Send("@LIFX Show Menu");
    Send("@Chromalet-LIFX Show Menu");
    EXPECT_EQ(testhost::ShownMenus().size(), 4u);
    EXPECT_EQ(testhost::LiveMenus(), 1);
    for (const MenuSnapshot &menu : testhost::ShownMenus())
        EXPECT_EQ(testhost::DescribeMenu(menu), testhost::DescribeMenu(testhost::ShownMenus()[0]));
}

TEST_F(MenuTest, TheNextMenuShowsTheValuesOfTheMoment)
{
    Start();
    Send("@Chromalet-LIFX Cycle Interval 5");
    Send("@LIFX Calibration G 12");
    Send("@LIFX Scheme Manual");
    Send("@LIFX Toggle Auto Power");
    Send("@LIFX Brightness 25");
    // Stored and shown, never contacted: nothing below sends to the lights.
    Send("@LIFX Device #4 192.168.1.20");
    Send("@LIFX Show Menu");
    std::vector<std::string> devices(10, "");
    devices[3] = "192.168.1.20";
    MenuState state = {devices, 80, 12, 95, 0, false, 5, false, 10, false, true, 25};
    ExpectSameMenu(LastMenu(), ExpectedMenu(state));
}

} // namespace
