// The plug-in's menu as the host printed it (an indented tree, one entry a
// line), read back into entries that the preview numbers, and the command
// the host sends when an entry is chosen.
#pragma once

#include <string>
#include <vector>

namespace preview
{

enum MenuKind { MenuCommand, MenuCheck, MenuNumber, MenuText, MenuSeparator, MenuSubmenu };

struct MenuEntry {
    MenuKind kind = MenuSeparator;
    std::string label;
    std::string command;
    bool checked = false;                    // check entries
    int value = 0, minimum = 0, maximum = 0; // number entries
    std::string text;                        // text entries
    int submenu = -1;                        // submenu entries: index into MenuTree::menus
};

struct Menu {
    std::string title;
    int parent = -1;
    std::vector<MenuEntry> entries;
};

// menus[0] is the top-level menu.
struct MenuTree {
    std::vector<Menu> menus;
};

// True when the line is the first of a printed menu: "[TITLE]" at the start.
bool IsMenuStart(const std::string &line);
// True when the line continues a printed menu: it begins with a blank.
bool IsMenuContinuation(const std::string &line);

// Reads a printed menu, its first line "[TITLE]". False when the lines are
// not one.
bool ParseMenu(const std::vector<std::string> &lines, MenuTree &tree);

// The entries of a menu that can be chosen (all but separators), in order;
// the number shown for an entry is its position here plus one.
std::vector<int> ChoosableEntries(const Menu &menu);

// What the host sends back for an entry: a check or command entry its
// command; a number entry its command, a blank and the number; a text entry
// its command, a blank and the text (an emptied text leaves the blank).
std::string CommandForCheck(const MenuEntry &entry);
std::string CommandForNumber(const MenuEntry &entry, int number);
std::string CommandForText(const MenuEntry &entry, const std::string &text);

// The whole menu as plain lines, each entry with the number that reaches it
// in the live view ("3.2 [ ] Fire"), a submenu's entries indented below it.
std::vector<std::string> NumberedMenu(const MenuTree &tree);

// One line for the entry as the preview lists it ("[x] Fire", "Cycle
// interval = 10 (1..10)", "#1 Bulb = 127.56.0.1", "Devices >").
std::string EntryCaption(const MenuEntry &entry);

} // namespace preview
