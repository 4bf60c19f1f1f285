// The stand-in host's menus: built by the plug-in, recorded when shown.
#include <algorithm>
#include <string>
#include <vector>

#include "testhost/host_state.h"

struct VeskMenuItem {
    testhost::ItemKind kind;
    std::string label;
    std::string command;
    bool indicator = false;
    bool state = false;
    int style = 0;
    int value = 0, minimum = 0, maximum = 0;
    std::string text;
    VeskMenu *submenu = nullptr;
};

struct VeskMenu {
    std::string title;
    std::vector<VeskMenuItem *> items;
    bool attached = false;
};

namespace testhost
{

static std::vector<VeskMenu *> liveMenus;

static bool IsLive(Menu *menu)
{
    return menu && std::find(liveMenus.begin(), liveMenus.end(), menu) != liveMenus.end();
}

static void Destroy(Menu *menu)
{
    if (!IsLive(menu))
        return;
    liveMenus.erase(std::find(liveMenus.begin(), liveMenus.end(), menu));
    for (VeskMenuItem *item : menu->items) {
        if (item->submenu)
            Destroy(item->submenu);
        delete item;
    }
    delete menu;
}

void ResetMenus()
{
    while (!liveMenus.empty())
        Destroy(liveMenus.front());
}

int LiveMenus()
{
    // Submenus attached to a menu count with it.
    int count = 0;
    for (VeskMenu *menu : liveMenus)
        count += menu->attached ? 0 : 1;
    return count;
}

static MenuSnapshot Snapshot(const VeskMenu *menu, int depth)
{
    MenuSnapshot snapshot;
    snapshot.title = menu->title;
    for (const VeskMenuItem *item : menu->items) {
        MenuEntry entry = {item->kind,  item->label, item->command, item->indicator, item->state,
                           item->style, item->value, item->minimum, item->maximum,   item->text,
                           {}};
        if (item->submenu && depth < 8)
            entry.submenu.push_back(Snapshot(item->submenu, depth + 1));
        snapshot.entries.push_back(entry);
    }
    return snapshot;
}

std::string DescribeMenu(const MenuSnapshot &menu, int indent)
{
    std::string pad(indent * 2, ' ');
    std::string out = pad + "[" + menu.title + "]\n";
    for (const MenuEntry &entry : menu.entries) {
        out += pad + "  ";
        switch (entry.kind) {
        case ItemCommand:
            out += entry.label + " -> " + entry.command + "\n";
            break;
        case ItemBool:
            out += std::string(entry.state ? "[x] " : "[ ] ") + entry.label + " -> " +
                   entry.command + " (style " + std::to_string(entry.style) + ")\n";
            break;
        case ItemInt:
            out += entry.label + " = " + std::to_string(entry.value) + " (" +
                   std::to_string(entry.minimum) + ".." + std::to_string(entry.maximum) + ") -> " +
                   entry.command + " N\n";
            break;
        case ItemString:
            out += entry.label + " = \"" + entry.text + "\" -> " + entry.command + " TEXT\n";
            break;
        case ItemSeparator:
            out += entry.label + "\n";
            break;
        case ItemSubmenu:
            out += entry.label + " >\n";
            if (!entry.submenu.empty())
                out += DescribeMenu(entry.submenu[0], indent + 2);
            break;
        }
    }
    return out;
}

static MenuItem *Add(Menu *menu, VeskMenuItem *item)
{
    if (!IsLive(menu)) {
        delete item;
        return nullptr;
    }
    menu->items.push_back(item);
    return item;
}

} // namespace testhost

using namespace testhost;

Menu *MakeMenu(LPCSTR title)
{
    HostCall call;
    VeskMenu *menu = new VeskMenu;
    menu->title = title ? title : "";
    liveMenus.push_back(menu);
    return menu;
}

void DelMenu(Menu *menu)
{
    HostCall call;
    Destroy(menu);
}

void MakeSubmenu(Menu *menu, Menu *submenu, LPCSTR title)
{
    HostCall call;
    if (!IsLive(menu) || !IsLive(submenu) || submenu->attached || menu == submenu)
        return;
    submenu->attached = true;
    VeskMenuItem *item = new VeskMenuItem;
    item->kind = ItemSubmenu;
    item->label = title ? title : "";
    item->submenu = submenu;
    Add(menu, item);
}

void ShowMenu(Menu *menu)
{
    HostCall call;
    if (!IsLive(menu))
        return;
    State().shownMenus.push_back(Snapshot(menu, 0));
    if (State().echo)
        fprintf(State().echo, "%s", ToUtf8(DescribeMenu(State().shownMenus.back())).c_str());
}

static VeskMenuItem *NewItem(ItemKind kind, LPCSTR label, LPCSTR command)
{
    VeskMenuItem *item = new VeskMenuItem;
    item->kind = kind;
    item->label = label ? label : "";
    item->command = command ? command : "";
    return item;
}

MenuItem *MakeMenuItem(Menu *menu, LPCSTR label, LPCSTR command, bool indicator)
{
    HostCall call;
    VeskMenuItem *item = NewItem(ItemCommand, label, command);
    item->indicator = indicator;
    return Add(menu, item);
}

MenuItem *MakeMenuItemBool(Menu *menu, LPCSTR label, LPCSTR command, bool state, int style)
{
    HostCall call;
    VeskMenuItem *item = NewItem(ItemBool, label, command);
    item->state = state;
    item->style = style;
    return Add(menu, item);
}

MenuItem *MakeMenuItemInt(Menu *menu, LPCSTR label, LPCSTR command, int value, int minimum,
                          int maximum)
{
    HostCall call;
    VeskMenuItem *item = NewItem(ItemInt, label, command);
    item->value = value;
    item->minimum = minimum;
    item->maximum = maximum;
    return Add(menu, item);
}

MenuItem *MakeMenuItemString(Menu *menu, LPCSTR label, LPCSTR command, LPCSTR text)
{
    HostCall call;
    VeskMenuItem *item = NewItem(ItemString, label, command);
    item->text = text ? text : "";
    return Add(menu, item);
}

MenuItem *MakeMenuNOP(Menu *menu, LPCSTR label)
{
    HostCall call;
    return Add(menu, NewItem(ItemSeparator, label, ""));
}
