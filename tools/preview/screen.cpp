#include "tools/preview/screen.h"

#include <stdio.h>

#include <vector>

namespace preview
{

namespace
{

const int kWidth = 79; // the layout's width: an 80-column terminal, last column free

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

Line TitleLine(const ScreenState &state)
{
    Line line;
    std::string title = " Chromalet-LIFX preview · " + state.hostLabel + " · " + state.lightsLabel;
    std::string right = ":help  :menu  :quit ";
    int room = kWidth - Columns(right);
    title = Cut(title, room);
    title += std::string((size_t)(room - Columns(title)), ' ');
    line.Text(title + right, std::string(kInverse) + kBold);
    return line;
}

Line SettingsLine(const PluginSettings &settings)
{
    Line line;
    line.Text(" Scheme ", kDim);
    line.Text(settings.scheme, kBold);
    line.Text("  cycle ", kDim);
    line.Text(OnOff(settings.cycle) + " " + std::to_string(settings.interval) + "s");
    line.Text("  move ", kDim);
    line.Text(OnOff(settings.move) + " " + std::to_string(settings.speed) + "s " +
              (settings.reverse ? "◀" : "▶"));
    line.Text("  auto power ", kDim);
    line.Text(OnOff(settings.autoPower));
    line.Text("  RGB ", kDim);
    line.Text(std::to_string(settings.calibrationRed) + "/" +
              std::to_string(settings.calibrationGreen) + "/" +
              std::to_string(settings.calibrationBlue));
    if (settings.debug)
        line.Text("  debug", kDim);
    return line;
}

std::string Swatch(const LightView &light, const Rgb &shown, int width)
{
    if (!light.heard)
        return std::string(kDim) + std::string((size_t)width, '.') + kReset;
    if (!light.on)
        return Foreground(Rgb{70, 70, 70}) + std::string((size_t)width, ' ') + kReset;
    return Background(shown) + std::string((size_t)width, ' ') + kReset;
}

// Two lines per bulb, 19 columns: swatch, number, power, colour; then the
// numbers, or kelvin for white light.
void BulbCell(const LightView &light, int64_t now, Line &top, Line &bottom)
{
    Rgb shown = BulbShown(light, now);
    std::string swatch = Swatch(light, shown, 4);
    if (!light.on && light.heard)
        swatch = Foreground(Rgb{90, 90, 90}) + "░░░░" + kReset;
    top.bytes += swatch;
    top.width += 4;
    bottom.bytes += swatch;
    bottom.width += 4;
    top.Text(" " + std::to_string(light.device) + " ", kBold);
    if (!light.heard) {
        top.Text("—", kDim);
        return;
    }
    top.Text(OnOff(light.on), light.on ? "" : kDim);
    if (!light.colourKnown)
        return;
    top.Text(" " + Hex(DisplayRgb(light.colour)), light.on ? "" : kDim);
    DisplayNumbers numbers = Numbers(light.colour);
    char text[40];
    if (light.colour.saturation == 0)
        snprintf(text, sizeof text, " %dK %d%%", light.colour.kelvin, numbers.brightness);
    else
        snprintf(text, sizeof text, " %d° %d%% %d%%", numbers.degrees, numbers.saturation,
                 numbers.brightness);
    bottom.Text(text, kDim);
}

// The distinct colours a strip was told, for its second line.
std::string ZoneSummary(const LightView &light)
{
    Hsbk zones[kZones];
    ZonesTarget(light, zones);
    std::vector<std::string> seen;
    for (int z = 0; z < kZones && seen.size() < 4; z++) {
        std::string hex = Hex(DisplayRgb(zones[z]));
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

// Two lines per strip: 82 zones in 41 columns, each column's left and
// right halves two neighbouring zones.
void StripLines(const LightView &light, int64_t now, Line &top, Line &bottom)
{
    Rgb zones[kZones];
    ZonesShown(light, now, zones);
    std::string label = light.device < 10 ? " " + std::to_string(light.device) + " "
                                          : std::to_string(light.device) + " ";
    top.Text(label, kBold);
    top.Text(light.heard ? (light.on ? "on " : "off") : "—  ", light.on ? "" : kDim);
    top.Text(" ");
    bottom.PadTo(top.width);
    std::string band;
    for (int i = 0; i < kZones / 2; i++) {
        const Rgb &left = zones[2 * i], &right = zones[2 * i + 1];
        // Dark zones show as a faint line, so the strip's length stays seen.
        if (!light.heard || !light.on || (left == kBlack && right == kBlack))
            band += std::string(kReset) + Foreground(Rgb{60, 60, 60}) + "▁";
        else
            band += Foreground(left) + Background(right) + "▌";
    }
    band += kReset;
    top.bytes += band;
    top.width += kZones / 2;
    bottom.bytes += band;
    bottom.width += kZones / 2;
    if (light.moveKnown && light.moveOn) {
        char text[48];
        snprintf(text, sizeof text, "  move %s %.3gs", light.moveDirection ? "▶" : "◀",
                 light.moveSpeedMs / 1000.0);
        top.Text(text, kBold);
    } else if (light.heard) {
        top.Text("  move off", kDim);
    }
    if (light.zonesKnown)
        bottom.Text(Cut("  " + ZoneSummary(light), kWidth - bottom.width), kDim);
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

void HeaderLine(std::vector<Line> &lines, const std::string &title)
{
    Line line;
    std::string text = "── " + title + " ";
    text = Cut(text, kWidth);
    int rest = kWidth - Columns(text);
    std::string rule;
    for (int i = 0; i < rest; i++)
        rule += "─";
    line.Text(text + rule, kDim);
    lines.push_back(line);
}

void LogArea(const ScreenState &state, int rows, int width, std::vector<Line> &lines)
{
    HeaderLine(lines, "host output");
    rows--;
    const std::deque<LogEntry> &log = *state.log;
    size_t first = log.size() > (size_t)rows ? log.size() - (size_t)rows : 0;
    for (size_t i = first; i < log.size(); i++) {
        Line line;
        line.Text(Cut(Printable(log[i].text), width), EntryStyle(log[i].style));
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

void MenuArea(const ScreenState &state, int rows, std::vector<Line> &lines)
{
    const MenuTree &tree = *state.menu;
    const Menu &menu = tree.menus[(size_t)state.menuLevel];
    HeaderLine(lines, "menu: " + MenuPath(tree, state.menuLevel));
    rows--;
    std::vector<int> choosable = ChoosableEntries(menu);
    int count = (int)choosable.size();
    int perColumn = rows < 1 ? 1 : rows;
    int columnCount = (count + perColumn - 1) / perColumn;
    if (columnCount < 1)
        columnCount = 1;
    perColumn = (count + columnCount - 1) / columnCount;
    int columnWidth = kWidth / columnCount;
    for (int row = 0; row < perColumn && row < rows; row++) {
        Line line;
        for (int column = 0; column < columnCount; column++) {
            int index = column * perColumn + row;
            if (index >= count)
                break;
            line.PadTo(column * columnWidth);
            const MenuEntry &entry = menu.entries[(size_t)choosable[(size_t)index]];
            char number[16];
            snprintf(number, sizeof number, "%2d ", index + 1);
            line.Text(number, kBold);
            std::string caption = Cut(EntryCaption(entry), columnWidth - 4);
            line.Text(caption, entry.kind == MenuSubmenu                  ? Foreground(kCyan)
                               : entry.kind == MenuCheck && entry.checked ? std::string(kBold)
                                                                          : std::string());
        }
        lines.push_back(line);
    }
}

void HelpArea(int rows, std::vector<Line> &lines)
{
    static const char *const help[] = {
        "Commands go to the plug-in as the host delivers them, e.g.:",
        "  @Chromalet-LIFX Scheme Fire (Ocean Woods Spooky Style Warm Cold User1 Manual)",
        "  @Chromalet-LIFX Toggle Cycle Colors · Cycle Interval 2 · Power Off",
        "  @Chromalet-LIFX Toggle Move Effect · Movement Speed 5 · Toggle Move Direction",
        "  @Chromalet-LIFX Calibration R 100 · RGB 3 #00ff00 · White 2 50 4000",
        "Events: :suspend :resume :lock :unlock :style-change :reconfigure",
        "        :tray 0x205 (menu) :wait MS :restart :close :taskbar-created",
        "Preview: :menu numbered menu · :clear log · :quit · Up/Down history",
    };
    HeaderLine(lines, "help (Esc closes)");
    for (int i = 0; i < (int)(sizeof help / sizeof help[0]) && i < rows - 1; i++) {
        Line line;
        line.Text(help[i]);
        lines.push_back(line);
    }
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
    std::vector<Line> lines;
    lines.push_back(TitleLine(state));
    lines.push_back(SettingsLine(*state.settings));
    lines.push_back(Line());
    const Lights &lights = *state.lights;
    if (lights.enabled) {
        for (int row = 0; row < 2; row++) {
            Line top, bottom;
            for (int column = 0; column < 4; column++) {
                top.PadTo(column * 20);
                bottom.PadTo(column * 20);
                BulbCell(lights.views[row * 4 + column], now, top, bottom);
            }
            lines.push_back(top);
            lines.push_back(bottom);
        }
        lines.push_back(Line());
        for (int strip = kBulbCount; strip < kLightCount; strip++) {
            Line top, bottom;
            StripLines(lights.views[strip], now, top, bottom);
            lines.push_back(top);
            lines.push_back(bottom);
        }
    } else {
        Line line;
        line.Text(" No emulated lights: the plug-in sends to the devices in its settings file.",
                  kDim);
        lines.push_back(line);
        Line devices;
        std::string list = " Devices:";
        for (int n = 1; n <= kLightCount; n++) {
            if (!state.settings->devices[n].empty())
                list += " " + std::to_string(n) + "=" + state.settings->devices[n];
        }
        devices.Text(Cut(list, kWidth), kDim);
        lines.push_back(devices);
    }
    lines.push_back(Line());

    int rows = state.rows < 6 ? 6 : state.rows;
    int logWidth = state.columns - 1 < 20 ? 20 : state.columns - 1;
    // Rows left for the log, the menu or the help, above the message and
    // prompt lines.
    int area = rows - (int)lines.size() - 2;
    if (area >= 2) {
        if (state.menu && state.menuLevel >= 0 && state.menuLevel < (int)state.menu->menus.size())
            MenuArea(state, area, lines);
        else if (state.help)
            HelpArea(area, lines);
        else
            LogArea(state, area, logWidth, lines);
    }
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
