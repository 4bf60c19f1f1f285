// The live view as a user drives it, in a terminal of 80 x 24: the menu by
// numbers, a number entry, wrong input, and Ctrl-C giving the terminal back;
// in one of 60 x 20, the view reflowed and what each line did.
// The plug-in's settings file shows what the plug-in was sent.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace
{

int64_t Now()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (int64_t)now.tv_sec * 1000 + now.tv_nsec / 1000000;
}

std::string ReadFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Terminal {
    int fd = -1;
    pid_t pid = -1;
    std::string screen; // everything the preview wrote

    // Reads for up to ms.
    void Read(int ms)
    {
        int64_t end = Now() + ms;
        // Bounded by the time given.
        while (Now() < end) {
            pollfd p = {fd, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0)
                continue;
            char buffer[65536];
            ssize_t n = read(fd, buffer, sizeof buffer);
            if (n <= 0)
                return;
            screen.append(buffer, (size_t)n);
        }
    }

    // Waits up to seconds for text to appear after `from`; true when it did.
    bool WaitFor(const std::string &text, size_t from, int seconds = 30)
    {
        int64_t end = Now() + seconds * 1000L;
        // Bounded by the time given.
        while (Now() < end) {
            if (screen.find(text, from) != std::string::npos)
                return true;
            Read(50);
        }
        return screen.find(text, from) != std::string::npos;
    }

    void Type(const std::string &keys)
    {
        ssize_t n = write(fd, keys.data(), keys.size());
        (void)n;
    }
};

// Waits up to 30 s for the settings file to hold the line, reading the
// terminal meanwhile (a terminal nobody reads stops the program writing).
bool SettingsHold(Terminal &terminal, const std::string &path, const std::string &line)
{
    // Bounded: 300 passes of 100 ms.
    for (int pass = 0; pass < 300; pass++) {
        if (ReadFile(path).find(line) != std::string::npos)
            return true;
        terminal.Read(100);
    }
    return false;
}

// The last whole frame on screen, as the lines a user reads: escape
// sequences taken out.
std::vector<std::string> LastFrame(const std::string &screen)
{
    size_t start = screen.rfind("\x1b[?25l\x1b[H");
    if (start == std::string::npos)
        return {};
    std::string frame = screen.substr(start);
    size_t end = frame.find("\x1b[?25h");
    if (end == std::string::npos)
        return {}; // still arriving
    frame.resize(end);
    std::vector<std::string> lines(1);
    for (size_t i = 0; i < frame.size(); i++) {
        if (frame[i] == '\x1b' && i + 1 < frame.size() && frame[i + 1] == '[') {
            i += 2;
            while (i < frame.size() && !(frame[i] >= 0x40 && frame[i] <= 0x7e))
                i++;
        } else if (frame[i] == '\r') {
        } else if (frame[i] == '\n') {
            lines.push_back("");
        } else {
            lines.back() += frame[i];
        }
    }
    return lines;
}

// Characters, not bytes.
int Width(const std::string &line)
{
    int n = 0;
    for (char c : line)
        n += ((unsigned char)c & 0xC0) != 0x80;
    return n;
}

bool Shows(const std::vector<std::string> &frame, const std::string &text)
{
    for (const std::string &line : frame) {
        if (line.find(text) != std::string::npos)
            return true;
    }
    return false;
}

// Waits up to 20 s for a frame that shows the text; that frame, or the last.
std::vector<std::string> FrameShowing(Terminal &terminal, const std::string &text)
{
    std::vector<std::string> frame;
    // Bounded: 200 passes of 100 ms.
    for (int pass = 0; pass < 200; pass++) {
        frame = LastFrame(terminal.screen);
        if (Shows(frame, text))
            break;
        terminal.Read(100);
    }
    return frame;
}

std::string Joined(const std::vector<std::string> &frame)
{
    std::string text;
    for (const std::string &line : frame)
        text += line + "\n";
    return text;
}

// The preview on the plug-in folder, in a terminal of that size.
void StartInTerminal(Terminal &terminal, const std::string &folder, unsigned short columns,
                     unsigned short rows)
{
    std::string group = std::to_string(100 + getpid() % 100);
    winsize size = {};
    size.ws_col = columns;
    size.ws_row = rows;
    terminal.pid = forkpty(&terminal.fd, nullptr, nullptr, &size);
    ASSERT_GE(terminal.pid, 0);
    if (terminal.pid == 0) {
        setenv("TERM", "xterm-256color", 1);
        execl(PREVIEW_PROGRAM, PREVIEW_PROGRAM, "--plugin-dir", folder.c_str(), "--lights-group",
              group.c_str(), (char *)nullptr);
        _exit(127);
    }
}

TEST(LiveView, MenuNumbersSendTheCommandsAndWrongInputChangesNothing)
{
    std::string folder = std::string(PREVIEW_WORK_DIR) + "/live-" + std::to_string((long)getpid());
    ASSERT_EQ(system(("rm -rf '" + folder + "'").c_str()), 0);
    std::string settings = folder + "/Chromalet-LIFX.rc";
    Terminal terminal;
    ASSERT_NO_FATAL_FAILURE(StartInTerminal(terminal, folder, 80, 24));

    // The first run's set-up, through the plug-in's own commands: a search,
    // and automatic power left off.
    ASSERT_TRUE(terminal.WaitFor("found 10 lights", 0)) << terminal.screen;
    EXPECT_TRUE(SettingsHold(terminal, settings, "lifx.auto.power: false"));
    // The restart that follows may not be on the screen yet.
    ASSERT_TRUE(terminal.WaitFor("> :restart", 0)) << terminal.screen;
    ASSERT_TRUE(terminal.WaitFor("beginPlugin -> 0", terminal.screen.find("> :restart")));
    EXPECT_NE(terminal.screen.find("\x1b[?1049h"), std::string::npos) << "alternate screen";

    // Color scheme (3), then Ocean (3) in it.
    size_t mark = terminal.screen.size();
    terminal.Type(":menu\r");
    ASSERT_TRUE(terminal.WaitFor("menu: Chromalet-LIFX", mark)) << terminal.screen.substr(mark);
    terminal.Type("3\r");
    ASSERT_TRUE(terminal.WaitFor("menu: Chromalet-LIFX › Color scheme", mark));
    terminal.Type("3\r");
    EXPECT_TRUE(SettingsHold(terminal, settings, "lifx.color.scheme: Ocean"));
    EXPECT_TRUE(terminal.WaitFor("\x1b[48;2;", mark)) << "true colour";

    // A number entry: Cycle interval (6), its value typed anew.
    mark = terminal.screen.size();
    terminal.Type(":menu\r");
    ASSERT_TRUE(terminal.WaitFor("menu: Chromalet-LIFX", mark));
    terminal.Type("6\r");
    ASSERT_TRUE(terminal.WaitFor("Cycle interval (1..10): ", mark));
    terminal.Type("\x15"
                  "4\r");
    EXPECT_TRUE(SettingsHold(terminal, settings, "lifx.cycle.interval: 4"));

    // Wrong input: nothing sent, nothing changed, the view goes on.
    std::string before = ReadFile(settings);
    mark = terminal.screen.size();
    terminal.Type("99\r");
    EXPECT_TRUE(terminal.WaitFor("No menu is open", mark));
    terminal.Type(":bogus\r");
    EXPECT_TRUE(terminal.WaitFor("Unknown event :bogus", mark));
    terminal.Type("@Chromalet-LIFX Scheme Rainbow\r");
    terminal.Type("@Chromalet-LIFX Device #2 192.168.1.20\r");
    EXPECT_TRUE(terminal.WaitFor("Not sent: 192.168.1.20", mark));
    terminal.Type("@Chromalet-LIFX Calibration G 90\r");
    EXPECT_TRUE(SettingsHold(terminal, settings, "lifx.calibration.green: 90"));
    std::string after = ReadFile(settings);
    EXPECT_EQ(after.find("192.168"), std::string::npos);
    EXPECT_NE(after.find("lifx.color.scheme: Ocean"), std::string::npos);

    // Ctrl-C ends the host in order and gives the terminal back.
    mark = terminal.screen.size();
    terminal.Type("\x03");
    EXPECT_TRUE(terminal.WaitFor("\x1b[?1049l", mark));
    terminal.Read(500);
    int status = -1;
    // Bounded: 100 passes of 100 ms, then it is ended.
    for (int pass = 0; pass < 100 && waitpid(terminal.pid, &status, WNOHANG) == 0; pass++)
        usleep(100000);
    if (!WIFEXITED(status) && !WIFSIGNALED(status)) {
        kill(terminal.pid, SIGKILL);
        waitpid(terminal.pid, &status, 0);
        ADD_FAILURE() << "the preview did not end after Ctrl-C";
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_NE(terminal.screen.find("endPlugin", mark), std::string::npos);
    close(terminal.fd);
}

// A terminal of 60 x 20: every light and menu entry in view, the header and
// the log saying what the plug-in is doing, Escape going back one level.
TEST(LiveView, ANarrowTerminalShowsEverythingAndSaysWhatHappened)
{
    std::string folder =
        std::string(PREVIEW_WORK_DIR) + "/narrow-" + std::to_string((long)getpid());
    ASSERT_EQ(system(("rm -rf '" + folder + "'").c_str()), 0);
    std::string settings = folder + "/Chromalet-LIFX.rc";
    Terminal terminal;
    ASSERT_NO_FATAL_FAILURE(StartInTerminal(terminal, folder, 60, 20));
    ASSERT_TRUE(terminal.WaitFor("found 10 lights", 0)) << terminal.screen;
    terminal.Type("@Chromalet-LIFX Toggle Auto Power\r");
    ASSERT_TRUE(SettingsHold(terminal, settings, "lifx.auto.power: true")) << terminal.screen;
    terminal.Type("@Chromalet-LIFX Toggle Cycle Colors\r@Chromalet-LIFX Toggle Move Effect\r");
    ASSERT_TRUE(SettingsHold(terminal, settings, "lifx.move.effect: true"));

    // Every bulb and both strips, whole, within the width.
    std::vector<std::string> frame = FrameShowing(terminal, "move on");
    ASSERT_TRUE(Shows(frame, "cycle on")) << Joined(frame);
    for (const char *light : {" 1 on #", " 4 on #", " 5 on #", " 8 on #", " 9 on ", "10 on "})
        EXPECT_TRUE(Shows(frame, light)) << light << "\n" << Joined(frame);
    for (const std::string &line : frame)
        EXPECT_LE(Width(line), 59) << line;
    // The first run found the lights, and with them their names.
    EXPECT_TRUE(Shows(frame, " Names: #1 Bulb 1, #2 Bulb 2")) << Joined(frame);

    // Suspended, the plug-in runs neither cycling nor the move effect.
    terminal.Type(":suspend\r");
    frame = FrameShowing(terminal, "cycle paused");
    EXPECT_TRUE(Shows(frame, "cycle paused")) << Joined(frame);
    EXPECT_TRUE(Shows(frame, "move paused")) << Joined(frame);
    EXPECT_FALSE(Shows(frame, "move on")) << Joined(frame);
    terminal.Type(":resume\r");
    frame = FrameShowing(terminal, "[preview] the lights come back in 5 s");
    EXPECT_TRUE(Shows(frame, "[preview] the lights come back in 5 s")) << Joined(frame);
    terminal.Type(":wait 3000\r");
    frame = FrameShowing(terminal, "Waiting:");
    EXPECT_TRUE(Shows(frame, "Waiting:")) << Joined(frame);
    terminal.Type("@Chromalet-LIFX Scheme Rainbow\r");
    frame = FrameShowing(terminal, "[preview] no change");
    EXPECT_TRUE(Shows(frame, "[preview] no change")) << Joined(frame);

    // The menu: every entry's number in view; Escape leaves the submenu for
    // the menu above it.
    terminal.Type(":menu\r");
    frame = FrameShowing(terminal, "menu: Chromalet-LIFX");
    for (int n = 1; n <= 12; n++) {
        char number[8];
        snprintf(number, sizeof number, "%2d ", n);
        EXPECT_TRUE(Shows(frame, number)) << n << "\n" << Joined(frame);
    }
    for (const std::string &line : frame)
        EXPECT_LE(Width(line), 59) << line;
    terminal.Type("3\r");
    frame = FrameShowing(terminal, "menu: Chromalet-LIFX › Color scheme");
    ASSERT_TRUE(Shows(frame, "Color scheme ─")) << Joined(frame);
    terminal.Type("\x1b");
    terminal.Read(300);
    frame = FrameShowing(terminal, "menu: Chromalet-LIFX ─");
    EXPECT_TRUE(Shows(frame, "menu: Chromalet-LIFX ─")) << Joined(frame);
    terminal.Type("\x1b");
    terminal.Read(300);

    // A slot pointed away from its emulated light.
    terminal.Type("@Chromalet-LIFX Device #3 127.0.0.9\r");
    frame = FrameShowing(terminal, "3 not driven");
    EXPECT_TRUE(Shows(frame, "3 not driven")) << Joined(frame);

    // Too small for the view: one line says so.
    winsize small = {};
    small.ws_col = 30;
    small.ws_row = 10;
    ioctl(terminal.fd, TIOCSWINSZ, &small);
    frame = FrameShowing(terminal, "Too small");
    EXPECT_TRUE(Shows(frame, "Too small: needs 40×")) << Joined(frame);

    terminal.Type("\x03");
    int status = -1;
    // Bounded: 100 passes of at least 100 ms (reading returns at once once
    // the preview has closed the terminal), then it is ended.
    for (int pass = 0; pass < 100 && waitpid(terminal.pid, &status, WNOHANG) == 0; pass++) {
        terminal.Read(50);
        usleep(50000);
    }
    if (!WIFEXITED(status) && !WIFSIGNALED(status)) {
        kill(terminal.pid, SIGKILL);
        waitpid(terminal.pid, &status, 0);
        ADD_FAILURE() << "the preview did not end after Ctrl-C";
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    close(terminal.fd);
}

} // namespace
