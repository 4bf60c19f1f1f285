#include "tools/preview/screen.h"

#include <stdio.h>

#include <vector>

#include "tools/preview/notes.h"

namespace preview
{

namespace
{

// The layout's width: at most an 80-column terminal's, its last column left
// free. Narrower terminals get fewer bulbs a row, shorter strip bars and
// fewer menu columns, down to the smallest size the view is drawn at.
const int kWidth = 79;
const int kSmallestColumns = 40;
const int kBulbColumns = 20; // a bulb's cell and the gap after it
const int kStripLead = 7;    // " 9 on " and a blank
const int kMoveRoom = 12;    // "  move ▶ 10s"
const int kSmallestArea = 3; // the log's header and two lines

const char kReset[] = "\x1b[0m";
const char kBold[] = "\x1b[1m";
const char kDim[] = "\x1b[2m";
const char kInverse[] = "\x1b[7m";

std::string Foreground(const Rgb &c)
{
    char text[32];
    snprintf(text, sizeof text, "\x1b[38;2;%d;%d;%dm", c.r, c.g, c.b);
    return text;
}

std::string Background(const Rgb &c)
{
    char text[32];
    snprintf(text, sizeof text, "\x1b[48;2;%d;%d;%dm", c.r, c.g, c.b);
    return text;
}

const Rgb kBlack = {0, 0, 0};
const Rgb kRed = {255, 95, 95};
const Rgb kGreen = {120, 220, 120};
const Rgb kYellow = {230, 200, 90};
const Rgb kCyan = {110, 200, 230};

bool Continuation(char c)
{
    return ((unsigned char)c & 0xC0) == 0x80;
}

int Columns(const std::string &text)
{
    int n = 0;
    for (char c : text)
        n += Continuation(c) ? 0 : 1;
    return n;
}

// At most `width` characters of text; a cut shows as "…".
std::string Cut(const std::string &text, int width)
{
    if (width <= 0)
        return "";
    if (Columns(text) <= width)
        return text;
    std::string out;
    int n = 0;
    for (size_t i = 0; i < text.size(); i++) {
        if (!Continuation(text[i])) {
            if (n == width - 1)
                break;
            n++;
        }
        out += text[i];
    }
    return out + "…";
}

// Control characters would move the cursor: shown as blanks.
std::string Printable(const std::string &text)
{
    std::string out = text;
    for (char &c : out) {
        if ((unsigned char)c < 0x20 || c == 0x7f)
            c = ' ';
    }
    return out;
}

// A line being built, its visible width counted.
struct Line {
    std::string bytes;
    int width = 0;

    void Text(const std::string &text, const std::string &style = "")
    {
        bytes += style + text + (style.empty() ? "" : kReset);
        width += Columns(text);
    }
    void PadTo(int column)
    {
        if (width < column) {
            bytes += std::string((size_t)(column - width), ' ');
            width = column;
        }
    }
};

std::string OnOff(bool on)
{
    return on ? "on" : "off";
}

Line TitleLine(const ScreenState &state, int width)
{
    Line line;
    std::string title = " Chromalet-LIFX preview · " + state.hostLabel + " · " + state.lightsLabel;
    std::string right = ":help  :menu  :quit ";
    // The hints go first when the width runs out: the message line has them.
    if (Columns(title) + 1 + Columns(right) > width)
        right = "";
    int room = width - Columns(right);
    title = Cut(title, room);
    title += std::string((size_t)(room - Columns(title)), ' ');
    line.Text(title + right, std::string(kInverse) + kBold);
    return line;
}

// What the lights show of cycling and the move effect: the settings may say
// on while the plug-in has stopped both (after a suspend or "Power Off").
struct Running {
    bool known = false; // emulated lights to look at
    bool lit = false;   // a light the plug-in drives is on
    bool moving = false;
};

Running WhatRuns(const ScreenState &state)
{
    Running running;
    const Lights *lights = state.lights;
    if (!lights || !lights->enabled)
        return running;
    running.known = true;
    for (int n = 0; n < lights->count; n++) {
        const LightView &light = lights->views[n];
        if (!light.heard || !light.on || !SlotDriven(*lights, *state.settings, n + 1))
            continue;
        running.lit = true;
        running.moving = running.moving || (light.strip && light.moveKnown && light.moveOn);
    }
    return running;
}

std::string RunState(bool flag, bool known, bool running)
{
    if (!flag)
        return "off";
    return known && !running ? "paused" : "on";
}

// The settings, item by item, flowed over as many lines as the width needs.
void SettingsLines(const ScreenState &state, int width, std::vector<Line> &lines)
{
    const PluginSettings &settings = *state.settings;
    Running running = WhatRuns(state);
    bool cycles = running.lit && settings.scheme != "Manual";
    struct Item {
        std::string label, value, style;
    };
    std::vector<Item> items = {
        {"Scheme ", settings.scheme, kBold},
        {"cycle ",
         RunState(settings.cycle, running.known, cycles) + " " + std::to_string(settings.interval) +
             "s",
         ""},
        {"move ",
         RunState(settings.move, running.known, running.moving) + " " +
             std::to_string(settings.speed) + "s " + (settings.reverse ? "◀" : "▶"),
         ""},
        {"auto power ", OnOff(settings.autoPower), ""},
        {"RGB ",
         std::to_string(settings.calibrationRed) + "/" + std::to_string(settings.calibrationGreen) +
             "/" + std::to_string(settings.calibrationBlue),
         ""},
    };
    if (settings.debug)
        items.push_back({"debug", "", ""});
    if (!state.trayTip.empty())
        items.push_back({"tray tip ", "\"" + state.trayTip + "\"",
                         state.trayTip.find(':') != std::string::npos ? kBold : ""});
    Line line;
    for (const Item &item : items) {
        std::string gap = line.width == 0 ? " " : "  ";
        int size = Columns(gap + item.label + item.value);
        if (line.width > 0 && line.width + size > width) {
            lines.push_back(line);
            line = Line();
            gap = " ";
        }
        line.Text(gap + item.label, kDim);
        line.Text(item.value, item.style);
    }
    lines.push_back(line);
}

std::string Swatch(const LightView &light, const Rgb &shown, int width)
{
    if (!light.heard)
        return std::string(kDim) + std::string((size_t)width, '.') + kReset;
    if (!light.on)
        return Foreground(Rgb{70, 70, 70}) + std::string((size_t)width, ' ') + kReset;
    return Background(shown) + std::string((size_t)width, ' ') + kReset;
}

// A bulb in 19 columns: swatch, number, power, colour; below (when there
// is a line for it) the numbers, or kelvin for white light.
void BulbCell(const LightView &light, bool driven, int64_t now, Line &top, Line *bottom)
{
    Rgb shown = BulbShown(light, now);
    std::string swatch = Swatch(light, shown, 4);
    if (!driven)
        swatch = std::string(kDim) + "...." + kReset;
    else if (!light.on && light.heard)
        swatch = Foreground(Rgb{90, 90, 90}) + "░░░░" + kReset;
    top.bytes += swatch;
    top.width += 4;
    if (bottom) {
        bottom->bytes += swatch;
        bottom->width += 4;
    }
    top.Text(" " + std::to_string(light.device) + " ", kBold);
    if (light.kind == "switch") {
        top.Text("switch: no light", kDim);
        return;
    }
    if (!driven) {
        top.Text("not driven", kDim);
        return;
    }
    if (light.silent) {
        top.Text("no answer", kBold);
        return;
    }
    if (!light.heard) {
        top.Text("—", kDim);
        return;
    }
    top.Text(OnOff(light.on), light.on ? "" : kDim);
    if (!light.colourKnown)
        return;
    top.Text(" " + Hex(NamedRgb(light.colour)), light.on ? "" : kDim);
    if (!bottom)
        return;
    bottom->Text(" " + ColourWords(light.colour), kDim);
}

// The distinct colours a strip was told, for its second line.
std::string ZoneSummary(const LightView &light)
{
    static Hsbk zones[kMaxViewZones];
    ZonesTarget(light, zones);
    std::vector<std::string> seen;
    for (int z = 0; z < light.zoneCount && seen.size() < 4; z++) {
        std::string hex = Hex(NamedRgb(zones[z]));
        bool known = false;
        for (const std::string &s : seen)
            known = known || s == hex;
        if (!known)
            seen.push_back(hex);
    }
    std::string text;
    for (const std::string &s : seen)
        text += (text.empty() ? "" : " ") + s;
    return text;
}

// A strip: its zones in a bar of `bar` columns (half its zones at most, so a
// short strip draws a short bar), each column's left and right halves two
// places along the strip; below (when there is a line for it) the bar again
// and the colours it was told.
void StripLines(const LightView &light, bool driven, int bar, int width, int64_t now, Line &top,
                Line *bottom)
{
    static Rgb zones[kMaxViewZones];
    ZonesShown(light, now, zones);
    int count = light.zoneCount;
    if (bar > (count + 1) / 2)
        bar = (count + 1) / 2;
    std::string label = light.device < 10 ? " " + std::to_string(light.device) + " "
                                          : std::to_string(light.device) + " ";
    top.Text(label, kBold);
    if (!driven) {
        top.Text("not driven", kDim);
        return;
    }
    if (light.silent) {
        top.Text("no answer", kBold);
        return;
    }
    top.Text(light.heard ? (light.on ? "on " : "off") : "—  ", light.on ? "" : kDim);
    top.Text(" ");
    if (bottom)
        bottom->PadTo(top.width);
    std::string band;
    for (int i = 0; i < bar; i++) {
        const Rgb &left = zones[2 * i * count / (2 * bar)];
        const Rgb &right = zones[(2 * i + 1) * count / (2 * bar)];
        // Dark zones show as a faint line, so the strip's length stays seen.
        if (!light.heard || !light.on || (left == kBlack && right == kBlack))
            band += std::string(kReset) + Foreground(Rgb{60, 60, 60}) + "▁";
        else
            band += Foreground(left) + Background(right) + "▌";
    }
    band += kReset;
    top.bytes += band;
    top.width += bar;
    if (light.moveKnown && light.moveOn) {
        char text[48];
        snprintf(text, sizeof text, "  move %s %.3gs", light.moveDirection ? "▶" : "◀",
                 light.moveSpeedMs / 1000.0);
        top.Text(text, kBold);
    } else if (light.heard && !light.matrix) {
        top.Text("  move off", kDim);
    }
    if (!bottom)
        return;
    bottom->bytes += band;
    bottom->width += bar;
    if (light.zonesKnown)
        bottom->Text(Cut("  " + ZoneSummary(light), width - bottom->width), kDim);
}

// A matrix light's tiles side by side, as many as the width holds, each
// text line two rows of pixels (the upper half block: foreground the upper
// row, background the lower).
void MatrixLines(const LightView &light, int64_t now, int width, std::vector<Line> &lines)
{
    static Rgb pixels[kMaxViewZones];
    ZonesShown(light, now, pixels);
    int height = 0, first[kEmulatorMaxTiles], shownTiles = 0, used = kStripLead;
    for (int t = 0, start = 0; t < light.tiles;
         start += light.tileWidth[t] * light.tileHeight[t], t++) {
        if (used + light.tileWidth[t] > width)
            break;
        first[t] = start;
        used += light.tileWidth[t] + 1;
        height = light.tileHeight[t] > height ? light.tileHeight[t] : height;
        shownTiles = t + 1;
    }
    for (int row = 0; row < height; row += 2) {
        Line line;
        line.PadTo(kStripLead);
        for (int t = 0; t < shownTiles; t++) {
            std::string band;
            for (int x = 0; x < light.tileWidth[t]; x++) {
                auto at = [&](int y) {
                    return y < light.tileHeight[t] ? pixels[first[t] + y * light.tileWidth[t] + x]
                                                   : kBlack;
                };
                band += Foreground(at(row)) + Background(at(row + 1)) + "▀";
            }
            line.bytes += band + kReset + " ";
            line.width += light.tileWidth[t] + 1;
        }
        lines.push_back(line);
    }
}

// The lights' names as the plug-in keeps them, each marked as the Devices
// menu marks it while it does not answer; nothing before any is known.
void NamesLine(const ScreenState &state, int width, std::vector<Line> &lines)
{
    std::string list;
    for (int n = 1; n <= kLightCount; n++) {
        const std::string &label = state.settings->labels[n];
        if (label.empty() || state.settings->devices[n].empty())
            continue;
        list += (list.empty() ? " Names: #" : ", #") + std::to_string(n) + " " + label;
        if (state.lights->slotSilent[n])
            list += " (not answering)";
    }
    if (list.empty())
        return;
    lines.push_back(Line());
    Line line;
    line.Text(Cut(list, width), kDim);
    lines.push_back(line);
}

// Title, settings and lights. Compact: one line a bulb and a strip.
std::vector<Line> LightLines(const ScreenState &state, int width, int64_t now, bool compact)
{
    std::vector<Line> lines;
    lines.push_back(TitleLine(state, width));
    SettingsLines(state, width, lines);
    lines.push_back(Line());
    const Lights &lights = *state.lights;
    if (!lights.enabled) {
        Line line;
        line.Text(Cut(" No emulated lights: the plug-in sends to the devices in its settings file.",
                      width),
                  kDim);
        lines.push_back(line);
        Line devices;
        std::string list = " Devices:";
        for (int n = 1; n <= kLightCount; n++) {
            if (!state.settings->devices[n].empty())
                list += " " + std::to_string(n) + "=" + state.settings->devices[n];
        }
        devices.Text(Cut(list, width), kDim);
        lines.push_back(devices);
        lines.push_back(Line());
        return lines;
    }
    int perRow = (width + 1) / kBulbColumns;
    perRow = perRow < 1 ? 1 : perRow > 4 ? 4 : perRow;
    // The lights of one colour in rows of cells, then the strips a line each.
    std::vector<int> cells, strips, matrices;
    for (int n = 0; n < lights.count; n++) {
        const LightView &view = lights.views[n];
        (view.matrix ? matrices : view.strip ? strips : cells).push_back(n);
    }
    for (size_t first = 0; first < cells.size(); first += (size_t)perRow) {
        Line top, bottom;
        for (size_t i = first; i < first + (size_t)perRow && i < cells.size(); i++) {
            int n = cells[i];
            top.PadTo((int)(i - first) * kBulbColumns);
            bottom.PadTo((int)(i - first) * kBulbColumns);
            BulbCell(lights.views[n], SlotDriven(lights, *state.settings, n + 1), now, top,
                     compact ? nullptr : &bottom);
        }
        lines.push_back(top);
        if (!compact)
            lines.push_back(bottom);
    }
    lines.push_back(Line());
    int bar = width - kStripLead - kMoveRoom;
    bar = bar > kZones / 2 ? kZones / 2 : bar < 1 ? 1 : bar;
    for (int strip : strips) {
        Line top, bottom;
        StripLines(lights.views[strip], SlotDriven(lights, *state.settings, strip + 1), bar, width,
                   now, top, compact ? nullptr : &bottom);
        lines.push_back(top);
        if (!compact)
            lines.push_back(bottom);
    }
    for (int n : matrices) {
        Line top, bottom;
        // Compact, a matrix light is one line: its pixels as a strip.
        StripLines(lights.views[n], SlotDriven(lights, *state.settings, n + 1), bar, width, now,
                   top, nullptr);
        lines.push_back(top);
        if (!compact && SlotDriven(lights, *state.settings, n + 1))
            MatrixLines(lights.views[n], now, width, lines);
    }
    NamesLine(state, width, lines);
    lines.push_back(Line());
    return lines;
}

std::string EntryStyle(LogStyle style)
{
    switch (style) {
    case LogEcho:
        return kBold;
    case LogHost:
        return kDim;
    case LogError:
        return Foreground(kRed);
    case LogNotice:
        return Foreground(kGreen);
    case LogPreview:
        return Foreground(kYellow);
    default:
        return "";
    }
}

void HeaderLine(std::vector<Line> &lines, const std::string &title, int width)
{
    Line line;
    std::string text = "── " + title + " ";
    text = Cut(text, width);
    int rest = width - Columns(text);
    std::string rule;
    for (int i = 0; i < rest; i++)
        rule += "─";
    line.Text(text + rule, kDim);
    lines.push_back(line);
}

void LogArea(const ScreenState &state, int rows, int width, int logWidth, std::vector<Line> &lines)
{
    HeaderLine(lines, "host output", width);
    rows--;
    const std::deque<LogEntry> &log = *state.log;
    size_t first = log.size() > (size_t)rows ? log.size() - (size_t)rows : 0;
    for (size_t i = first; i < log.size(); i++) {
        Line line;
        line.Text(Cut(Printable(log[i].text), logWidth), EntryStyle(log[i].style));
        lines.push_back(line);
    }
}

std::string MenuPath(const MenuTree &tree, int level)
{
    std::string path;
    for (int at = level; at >= 0 && at < (int)tree.menus.size(); at = tree.menus[(size_t)at].parent)
        path = tree.menus[(size_t)at].title + (path.empty() ? "" : " › " + path);
    return path;
}

const Menu *ShownMenu(const ScreenState &state)
{
    if (!state.menu || state.menuLevel < 0 || state.menuLevel >= (int)state.menu->menus.size())
        return nullptr;
    return &state.menu->menus[(size_t)state.menuLevel];
}

// The rows a menu's entries take when each column is wide enough for its
// longest caption (at least one column).
int MenuRowsWanted(const Menu &menu, int width)
{
    std::vector<int> choosable = ChoosableEntries(menu);
    int widest = 1;
    for (int index : choosable) {
        int size = Columns(EntryCaption(menu.entries[(size_t)index])) + 4;
        widest = size > widest ? size : widest;
    }
    int columns = width / widest < 1 ? 1 : width / widest;
    return ((int)choosable.size() + columns - 1) / columns;
}

const int kNarrowestMenuColumn = 12;

void MenuArea(const ScreenState &state, int rows, int width, std::vector<Line> &lines)
{
    const MenuTree &tree = *state.menu;
    const Menu &menu = *ShownMenu(state);
    HeaderLine(lines, "menu: " + MenuPath(tree, state.menuLevel), width);
    rows--;
    std::vector<int> choosable = ChoosableEntries(menu);
    int count = (int)choosable.size();
    int perColumn = rows < 1 ? 1 : rows;
    int columnCount = (count + perColumn - 1) / perColumn;
    if (columnCount < 1)
        columnCount = 1;
    // Fewer, wider columns where they fit in the rows there are.
    int fitting = width / kNarrowestMenuColumn < 1 ? 1 : width / kNarrowestMenuColumn;
    int shown = count;
    if (columnCount > fitting) {
        // Even the narrowest columns hold only so many: the last place
        // says how many more there are.
        columnCount = fitting;
        shown = columnCount * perColumn - 1;
    }
    perColumn = (count + columnCount - 1) / columnCount;
    if (perColumn > rows)
        perColumn = rows;
    int columnWidth = width / columnCount;
    for (int row = 0; row < perColumn; row++) {
        Line line;
        for (int column = 0; column < columnCount; column++) {
            int index = column * perColumn + row;
            if (index >= count)
                break;
            line.PadTo(column * columnWidth);
            if (index >= shown) {
                line.Text(Cut("+" + std::to_string(count - shown) + " more (" +
                                  std::to_string(shown + 1) + "-" + std::to_string(count) + ")",
                              columnWidth - 1),
                          kDim);
                break;
            }
            const MenuEntry &entry = menu.entries[(size_t)choosable[(size_t)index]];
            char number[16];
            snprintf(number, sizeof number, "%2d ", index + 1);
            line.Text(number, kBold);
            std::string caption = EntryCaption(entry);
            // A number's range shows again when it is asked for.
            if (entry.kind == MenuNumber && Columns(caption) > columnWidth - 4)
                caption = entry.label + " = " + std::to_string(entry.value);
            caption = Cut(caption, columnWidth - 4);
            line.Text(caption, entry.kind == MenuSubmenu                  ? Foreground(kCyan)
                               : entry.kind == MenuCheck && entry.checked ? std::string(kBold)
                                                                          : std::string());
        }
        lines.push_back(line);
    }
}

void HelpArea(int rows, int width, std::vector<Line> &lines)
{
    HeaderLine(lines, "help (Esc closes)", width);
    const std::vector<std::string> &help = HelpLines();
    for (int i = 0; i < (int)help.size() && i < rows - 1; i++) {
        Line line;
        line.Text(Cut(help[(size_t)i], width));
        lines.push_back(line);
    }
}

// The rows the area below the lights would like: the whole menu or help,
// or a few lines of the log.
int AreaWanted(const ScreenState &state, int width)
{
    if (const Menu *menu = ShownMenu(state))
        return 1 + MenuRowsWanted(*menu, width);
    if (state.help)
        return 1 + (int)HelpLines().size();
    return 4;
}

std::string TooSmall(const ScreenState &state, int64_t now)
{
    int width = state.columns - 1;
    width = width < kSmallestColumns - 1 ? kSmallestColumns - 1 : width > kWidth ? kWidth : width;
    int rows = (int)LightLines(state, width, now, true).size() + kSmallestArea + 2;
    int columns = state.columns < kSmallestColumns ? kSmallestColumns : state.columns;
    char text[160];
    snprintf(text, sizeof text,
             "The terminal is %d×%d: the preview needs at least %d×%d. Ctrl-C or :quit leaves.",
             state.columns, state.rows, columns, rows);
    int room = state.columns - 1 < 1 ? 1 : state.columns - 1;
    // The shorter forms for the narrowest terminals.
    if (Columns(text) > room)
        snprintf(text, sizeof text, "Too small: needs %d×%d", columns, rows);
    if (Columns(text) > room)
        snprintf(text, sizeof text, "Too small");
    Line line;
    line.Text(Cut(text, room));
    return "\x1b[?25l\x1b[H\x1b[2J" + line.bytes + kReset + "\x1b[?25h";
}

} // namespace

LogStyle StyleOf(const std::string &line)
{
    if (line.compare(0, 2, "> ") == 0)
        return LogEcho;
    if (line.compare(0, 3, "[3]") == 0 || line.find("not understood") != std::string::npos ||
        line.compare(0, 12, "vesk-host: ") == 0)
        return LogError;
    if (line.compare(0, 3, "[1]") == 0 || line.compare(0, 7, "[about]") == 0 ||
        line.compare(0, 13, "[message box]") == 0 || line.compare(0, 9, "[execute]") == 0)
        return LogNotice;
    if (line.compare(0, 6, "[host]") == 0)
        return LogHost;
    if (line.compare(0, 9, "[preview]") == 0)
        return LogPreview;
    return LogPlain;
}

std::string RenderFrame(const ScreenState &state, int64_t now)
{
    if (state.columns < kSmallestColumns)
        return TooSmall(state, now);
    int width = state.columns - 1 < kWidth ? state.columns - 1 : kWidth;
    int rows = state.rows;
    int logWidth = state.columns - 1;
    // Rows left for the log, the menu or the help, above the message and
    // prompt lines: the lights take one line each when two leave too few.
    std::vector<Line> lines = LightLines(state, width, now, false);
    int area = rows - (int)lines.size() - 2;
    if (area < AreaWanted(state, width)) {
        lines = LightLines(state, width, now, true);
        area = rows - (int)lines.size() - 2;
    }
    if (area < kSmallestArea)
        return TooSmall(state, now);
    if (ShownMenu(state))
        MenuArea(state, area, width, lines);
    else if (state.help)
        HelpArea(area, width, lines);
    else
        LogArea(state, area, width, logWidth, lines);
    while ((int)lines.size() < rows - 2)
        lines.push_back(Line());
    lines.resize((size_t)(rows - 2));

    Line message;
    message.Text(Cut(" " + state.message, logWidth),
                 state.messageIsError ? Foreground(kRed) : std::string(kDim));
    lines.push_back(message);

    // The prompt scrolls sideways to keep the cursor in view.
    Line prompt;
    prompt.Text(state.promptLabel, std::string(kBold) + Foreground(kCyan));
    int room = logWidth - prompt.width - 1;
    if (room < 10)
        room = 10;
    const std::string &text = state.editor->text;
    int cursor = (int)CursorColumn(*state.editor);
    int skip = cursor > room ? cursor - room : 0;
    std::string visible;
    int column = 0;
    for (size_t i = 0; i < text.size(); i++) {
        if (!Continuation(text[i]))
            column++;
        if (column > skip && column <= skip + room)
            visible += text[i];
    }
    int cursorColumn = prompt.width + (cursor - skip) + 1;
    prompt.Text(Printable(visible));
    lines.push_back(prompt);

    std::string out = "\x1b[?25l\x1b[H";
    for (size_t i = 0; i < lines.size(); i++) {
        out += lines[i].bytes;
        out += kReset;
        out += "\x1b[K";
        if (i + 1 < lines.size())
            out += "\r\n";
    }
    char place[32];
    snprintf(place, sizeof place, "\x1b[%d;%dH\x1b[?25h", (int)lines.size(), cursorColumn);
    out += place;
    return out;
}

} // namespace preview
