#include "tools/preview/menu_tree.h"

#include <stdlib.h>

namespace preview
{

namespace
{

int IndentOf(const std::string &line)
{
    size_t n = line.find_first_not_of(' ');
    return n == std::string::npos ? (int)line.size() : (int)n;
}

bool EndsWith(const std::string &text, const std::string &end)
{
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool ParseInt(const std::string &text, int &value)
{
    if (text.empty())
        return false;
    char *end = nullptr;
    long number = strtol(text.c_str(), &end, 10);
    if (!end || *end != 0)
        return false;
    value = (int)number;
    return true;
}

// One entry line, its indentation removed. False when it is none.
bool ParseEntry(const std::string &text, MenuEntry &entry)
{
    size_t arrow = text.rfind(" -> ");
    if (arrow == std::string::npos) {
        if (EndsWith(text, " >")) {
            entry.kind = MenuSubmenu;
            entry.label = text.substr(0, text.size() - 2);
        } else {
            entry.kind = MenuSeparator;
            entry.label = text;
        }
        return true;
    }
    std::string left = text.substr(0, arrow);
    std::string right = text.substr(arrow + 4);
    if ((left.compare(0, 4, "[x] ") == 0 || left.compare(0, 4, "[ ] ") == 0) &&
        EndsWith(right, ")") && right.rfind(" (style ") != std::string::npos) {
        entry.kind = MenuCheck;
        entry.checked = left[1] == 'x';
        entry.label = left.substr(4);
        entry.command = right.substr(0, right.rfind(" (style "));
        return true;
    }
    // The last: a light's label in the entry's label may hold one too.
    size_t quote = left.rfind(" = \"");
    if (quote != std::string::npos && EndsWith(left, "\"") && EndsWith(right, " TEXT")) {
        entry.kind = MenuText;
        entry.label = left.substr(0, quote);
        entry.text = left.substr(quote + 4, left.size() - quote - 5);
        entry.command = right.substr(0, right.size() - 5);
        return true;
    }
    size_t equals = left.find(" = ");
    size_t open = left.rfind(" (");
    size_t dots = left.rfind("..");
    if (equals != std::string::npos && open != std::string::npos && dots != std::string::npos &&
        open > equals && dots > open && EndsWith(left, ")") && EndsWith(right, " N")) {
        MenuEntry number;
        number.kind = MenuNumber;
        number.label = left.substr(0, equals);
        if (!ParseInt(left.substr(equals + 3, open - equals - 3), number.value) ||
            !ParseInt(left.substr(open + 2, dots - open - 2), number.minimum) ||
            !ParseInt(left.substr(dots + 2, left.size() - dots - 3), number.maximum))
            return false;
        number.command = right.substr(0, right.size() - 2);
        entry = number;
        return true;
    }
    entry.kind = MenuCommand;
    entry.label = left;
    entry.command = right;
    return true;
}

bool IsTitle(const std::string &line, int indent, std::string &title)
{
    if (IndentOf(line) != indent)
        return false;
    std::string text = line.substr((size_t)indent);
    if (text.size() < 2 || text[0] != '[' || text.back() != ']')
        return false;
    title = text.substr(1, text.size() - 2);
    return true;
}

// Reads the menu whose title is at lines[at], with that indentation, into
// tree.menus[index]; at ends past its last entry.
bool ParseLevel(const std::vector<std::string> &lines, size_t &at, int indent, int index,
                MenuTree &tree, int depth)
{
    std::string title;
    if (depth > 8 || at >= lines.size() || !IsTitle(lines[at], indent, title))
        return false;
    tree.menus[(size_t)index].title = title;
    at++;
    while (at < lines.size() && IndentOf(lines[at]) == indent + 2) {
        MenuEntry entry;
        if (!ParseEntry(lines[at].substr((size_t)indent + 2), entry))
            return false;
        at++;
        if (entry.kind == MenuSubmenu) {
            std::string subtitle;
            if (at < lines.size() && IsTitle(lines[at], indent + 4, subtitle)) {
                int child = (int)tree.menus.size();
                tree.menus.push_back(Menu());
                tree.menus[(size_t)child].parent = index;
                entry.submenu = child;
                if (!ParseLevel(lines, at, indent + 4, child, tree, depth + 1))
                    return false;
            }
        }
        tree.menus[(size_t)index].entries.push_back(entry);
    }
    return true;
}

void NumberLevel(const MenuTree &tree, int index, const std::string &prefix, int depth,
                 std::vector<std::string> &lines)
{
    if (depth > 8 || index < 0 || index >= (int)tree.menus.size())
        return;
    const Menu &menu = tree.menus[(size_t)index];
    std::vector<int> choosable = ChoosableEntries(menu);
    for (size_t i = 0; i < choosable.size(); i++) {
        const MenuEntry &entry = menu.entries[(size_t)choosable[i]];
        std::string number = prefix + std::to_string(i + 1);
        std::string indent((size_t)depth * 2 + (prefix.empty() && i < 9 ? 1 : 0), ' ');
        lines.push_back(indent + number + " " + EntryCaption(entry));
        if (entry.kind == MenuSubmenu)
            NumberLevel(tree, entry.submenu, number + ".", depth + 1, lines);
    }
}

} // namespace

bool IsMenuStart(const std::string &line)
{
    std::string title;
    return IsTitle(line, 0, title) && title.find(' ') == std::string::npos;
}

bool IsMenuContinuation(const std::string &line)
{
    return !line.empty() && line[0] == ' ';
}

bool ParseMenu(const std::vector<std::string> &lines, MenuTree &tree)
{
    tree = MenuTree();
    tree.menus.push_back(Menu());
    size_t at = 0;
    if (!ParseLevel(lines, at, 0, 0, tree, 0) || at != lines.size()) {
        tree = MenuTree();
        return false;
    }
    return true;
}

std::vector<int> ChoosableEntries(const Menu &menu)
{
    std::vector<int> list;
    for (size_t i = 0; i < menu.entries.size(); i++) {
        if (menu.entries[i].kind != MenuSeparator)
            list.push_back((int)i);
    }
    return list;
}

std::string CommandForCheck(const MenuEntry &entry)
{
    return entry.command;
}

std::string CommandForNumber(const MenuEntry &entry, int number)
{
    return entry.command + " " + std::to_string(number);
}

std::string CommandForText(const MenuEntry &entry, const std::string &text)
{
    return entry.command + " " + text;
}

std::vector<std::string> NumberedMenu(const MenuTree &tree)
{
    std::vector<std::string> lines;
    NumberLevel(tree, 0, "", 0, lines);
    return lines;
}

std::string EntryCaption(const MenuEntry &entry)
{
    switch (entry.kind) {
    case MenuCheck:
        return std::string(entry.checked ? "[x] " : "[ ] ") + entry.label;
    case MenuNumber:
        return entry.label + " = " + std::to_string(entry.value) + " (" +
               std::to_string(entry.minimum) + ".." + std::to_string(entry.maximum) + ")";
    case MenuText:
        return entry.label + " = " + (entry.text.empty() ? "(none)" : entry.text);
    case MenuSubmenu:
        return entry.label + " >";
    default:
        return entry.label;
    }
}

} // namespace preview
