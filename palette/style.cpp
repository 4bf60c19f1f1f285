// Colours taken from the host's current style, or from a user scheme of the
// settings file, laid out over palette entries 1 to 128.
#include <stdio.h>
#include <string.h>

#include "host/identity.h"
#include "host/log.h"
#include "host/vesk.h"
#include "palette/palette.h"
#include "settings/settings.h"

enum {
    kFileArgumentSize = 260,
    kTextSize = 4096,
    kMaxItemColours = 8,
};

struct StyleItem {
    const char *name;
    bool fromStylePath; // read from the style path itself, whatever the host
};

// Tried in this order; the first usable one gives the colours.
static const StyleItem kStyleItems[] = {
    {"hardware", true},       {"toolbar.windowLabel", false}, {"toolbar.clock", false},
    {"toolbar.label", false}, {"menu.grip", false},           {"menu.active", false},
    {"menu.hilite", false},   {"menu.title", false},          {"toolbar", false},
    {"menu.frame", false},
};

// Keys of each kind, appended to the item name, in the order they are read.
static const char *const kSolidKeys[] = {".color:"};
static const char *const kSplitKeys[] = {".color:", ".colorTo:", ".color3:", ".color4:"};
static const char *const kSuperKeys[] = {
    ".color1:", ".color2:", ".color3:", ".color4:", ".color5:", ".color6:", ".color7:", ".color8:"};
static const char *const kTwoColourKeys[] = {".color:", ".colorTo:"};

struct AppearanceKind {
    const char *contains; // the appearance must contain this; null: no test
    const char *lacks;    // ... and must not contain this; null: no test
    bool userItem;        // a user item is of this kind whatever its appearance
    const char *const *keys;
    int colourCount;
    const char *detected;
};

// Tested in this order; the last one takes whatever is left.
static const AppearanceKind kAppearanceKinds[] = {
    {"Solid", "Split", false, kSolidKeys, 1, "1-color solid detected."},
    {"Split", "Solid", false, kSplitKeys, 4, "4-color split gradient detected."},
    {"Super", nullptr, true, kSuperKeys, 8, "8-color super gradient detected."},
    {"SplitSolid", nullptr, false, kTwoColourKeys, 2, "2-color split solid detected."},
    {nullptr, nullptr, false, kTwoColourKeys, 2, "2-color regular gradient detected."},
};

static const int kAppearanceKindCount = sizeof kAppearanceKinds / sizeof kAppearanceKinds[0];

static bool IsKind(const AppearanceKind &kind, const char *appearance, bool userItem)
{
    if (kind.userItem && userItem)
        return true;
    if (!kind.contains)
        return true;
    if (!IsInString(appearance, kind.contains))
        return false;
    return !kind.lacks || !IsInString(appearance, kind.lacks);
}

static const AppearanceKind &FindKind(const char *appearance, bool userItem)
{
    for (const AppearanceKind &kind : kAppearanceKinds) {
        if (IsKind(kind, appearance, userItem))
            return kind;
    }
    return kAppearanceKinds[kAppearanceKindCount - 1];
}

// The host's texts live only until its next call: copy them at once.
static void CopyText(char *buffer, size_t size, const char *text)
{
    snprintf(buffer, size, "%s", text ? text : "");
}

bool ReadStyleItemColours(const char *file, const char *item)
{
    char key[kTextSize];
    char appearance[kTextSize];
    char line[kTextSize];

    snprintf(key, sizeof key, "%s.appearance:", item);
    CopyText(appearance, sizeof appearance, ReadString(file, key, ""));
    if (!appearance[0]) {
        snprintf(key, sizeof key, "%s:", item);
        CopyText(appearance, sizeof appearance, ReadString(file, key, ""));
    }

    bool userItem = IsInString(item, "user");
    if (!userItem && (!appearance[0] || IsInString(appearance, "parentrelative")))
        return false;

    const AppearanceKind &kind = FindKind(appearance, userItem);
    if (g_settings.debug) {
        snprintf(line, sizeof line,
                 PLUGIN_LOG_PREFIX "Reading color values from the %s style settings -> %s", item,
                 kind.detected);
    }

    uint32_t colours[kMaxItemColours];
    for (int i = 0; i < kind.colourCount; i++) {
        snprintf(key, sizeof key, "%s%s", item, kind.keys[i]);
        colours[i] = ReadColor(file, key, "");
    }

    // There and back: k1 .. kN, then k(N-1) down to k2, and again, over
    // every entry: a strip reads 82 of them, and none may keep the colours
    // of an earlier scheme.
    int count = kind.colourCount;
    int period = count > 1 ? 2 * count - 2 : 1;
    for (int n = 1; n < kPaletteEntries; n++) {
        int step = (n - 1) % period;
        g_palette.entries[n] = colours[step < count ? step : period - step];
    }
    g_palette.period = period;

    if (g_settings.debug)
        HostLog(LogFirst, line);
    return true;
}

static void ClearPalette()
{
    // Black everywhere; the rotation offset stays as it was.
    for (int n = 0; n < kPaletteEntries; n++)
        g_palette.entries[n] = 0;
    g_palette.period = 1;
}

void LoadStyleColours()
{
    static char fileArgument[kFileArgumentSize];

    // With the host's own readers an empty file means the current style;
    // other hosts need the style's path.
    CopyText(fileArgument, sizeof fileArgument, GetVeskVersion());
    if (IsInString(fileArgument, "vesk"))
        fileArgument[0] = 0;
    else
        CopyText(fileArgument, sizeof fileArgument, stylePath(nullptr));

    int scheme = g_settings.scheme;
    bool accepted = false;
    // Without a settings file of its own (its path did not fit) a user
    // scheme has nothing to read: an empty file argument would read the
    // style instead. The palette stays as it is.
    if (scheme >= SchemeUser1 && scheme <= SchemeUser3 && !g_settingsPath[0])
        return;
    if (scheme == SchemeUser1) {
        accepted = ReadStyleItemColours(g_settingsPath, "user1");
    } else if (scheme == SchemeUser2) {
        accepted = ReadStyleItemColours(g_settingsPath, "user2");
    } else if (scheme == SchemeUser3) {
        accepted = ReadStyleItemColours(g_settingsPath, "user3");
    } else if (scheme < SchemeUser1) {
        for (const StyleItem &item : kStyleItems) {
            const char *file = fileArgument;
            if (item.fromStylePath) {
                // The whole path, copied before the host's next call can
                // overwrite it; a path cut short would name another file.
                static char wholeStylePath[kTextSize];
                const char *path = stylePath(nullptr);
                if (!path)
                    path = "";
                if (strlen(path) >= sizeof wholeStylePath)
                    continue;
                memcpy(wholeStylePath, path, strlen(path) + 1);
                file = wholeStylePath;
            }
            if (ReadStyleItemColours(file, item.name)) {
                accepted = true;
                break;
            }
        }
    }
    if (!accepted)
        ClearPalette();
}
