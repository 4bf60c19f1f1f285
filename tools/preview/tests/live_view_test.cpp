// The live view as a user drives it, in a terminal of 80 x 24: the menu by
// numbers, a number entry, wrong input, and Ctrl-C giving the terminal back.
// The plug-in's settings file shows what the plug-in was sent.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

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

TEST(LiveView, MenuNumbersSendTheCommandsAndWrongInputChangesNothing)
{
    std::string folder = std::string(PREVIEW_WORK_DIR) + "/live-" + std::to_string((long)getpid());
    ASSERT_EQ(system(("rm -rf '" + folder + "'").c_str()), 0);
    std::string settings = folder + "/Chromalet-LIFX.rc";
    std::string group = std::to_string(100 + getpid() % 100);

    Terminal terminal;
    winsize size = {};
    size.ws_col = 80;
    size.ws_row = 24;
    terminal.pid = forkpty(&terminal.fd, nullptr, nullptr, &size);
    ASSERT_GE(terminal.pid, 0);
    if (terminal.pid == 0) {
        setenv("TERM", "xterm-256color", 1);
        execl(PREVIEW_PROGRAM, PREVIEW_PROGRAM, "--plugin-dir", folder.c_str(), "--lights-group",
              group.c_str(), (char *)nullptr);
        _exit(127);
    }

    // The first run's set-up, through the plug-in's own commands.
    ASSERT_TRUE(SettingsHold(terminal, settings, "lifx.auto.power: true")) << terminal.screen;
    ASSERT_TRUE(terminal.WaitFor("beginPlugin -> 0", terminal.screen.find("> :restart")));
    EXPECT_NE(terminal.screen.find("\x1b[?1049h"), std::string::npos) << "alternate screen";
    EXPECT_NE(terminal.screen.find("\x1b[48;2;"), std::string::npos) << "true colour";

    // Color scheme (3), then Ocean (3) in it.
    size_t mark = terminal.screen.size();
    terminal.Type(":menu\r");
    ASSERT_TRUE(terminal.WaitFor("menu: Chromalet-LIFX", mark)) << terminal.screen.substr(mark);
    terminal.Type("3\r");
    ASSERT_TRUE(terminal.WaitFor("menu: Chromalet-LIFX › Color scheme", mark));
    terminal.Type("3\r");
    EXPECT_TRUE(SettingsHold(terminal, settings, "lifx.color.scheme: Ocean"));

    // A number entry: Cycle interval (5), its value typed anew.
    mark = terminal.screen.size();
    terminal.Type(":menu\r");
    ASSERT_TRUE(terminal.WaitFor("menu: Chromalet-LIFX", mark));
    terminal.Type("5\r");
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

} // namespace
