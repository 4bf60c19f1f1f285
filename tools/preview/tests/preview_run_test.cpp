// The preview as a user runs it without a terminal: the real host program,
// the real plug-in and the emulated lights, driven by a script or playing
// its tour; the checks read its plain output and the plug-in's settings file.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tools/preview/notes.h"

extern char **environ;

namespace
{

const int kRunSeconds = 150;

std::string WorkFolder(const char *name)
{
    std::string folder =
        std::string(PREVIEW_WORK_DIR) + "/" + name + "-" + std::to_string((long)getpid());
    std::string command = "rm -rf '" + folder + "' && mkdir -p '" + folder + "'";
    EXPECT_EQ(system(command.c_str()), 0);
    return folder;
}

// Tests run beside a live preview (127.56.0.x and up) and beside each other.
std::string LightsGroup()
{
    return std::to_string(100 + getpid() % 100);
}

std::string ReadAll(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> Lines(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

// Starts the program with standard input from `input` (a file, a pipe or
// /dev/null) and its output into `output`; the process, or -1.
pid_t StartProgram(const char *program, const std::vector<std::string> &arguments,
                   const std::string &input, const std::string &output)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, input.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    std::vector<std::string> all = {program};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char *> argv;
    for (std::string &a : all)
        argv.push_back(&a[0]);
    argv.push_back(nullptr);
    pid_t pid;
    int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return spawned == 0 ? pid : -1;
}

pid_t StartPreview(const std::vector<std::string> &arguments, const std::string &input,
                   const std::string &output)
{
    return StartProgram(PREVIEW_PROGRAM, arguments, input, output);
}

// Its exit status, or -1 when it had to be stopped after kRunSeconds.
int WaitForProgram(pid_t pid)
{
    if (pid < 0)
        return -2;
    int status = 0;
    // Bounded: a quarter of a second a pass, kRunSeconds in all.
    for (int pass = 0; pass < kRunSeconds * 4; pass++) {
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        usleep(250000);
    }
    kill(pid, SIGTERM);
    waitpid(pid, &status, 0);
    return -1;
}

int RunProgram(const char *program, const std::vector<std::string> &arguments,
               const std::string &input, const std::string &output)
{
    return WaitForProgram(StartProgram(program, arguments, input, output));
}

int RunPreview(const std::vector<std::string> &arguments, const std::string &input,
               const std::string &output)
{
    return WaitForProgram(StartPreview(arguments, input, output));
}

// Waits up to 60 s for the file to hold the text.
bool FileShows(const std::string &path, const std::string &text)
{
    // Bounded: 600 passes of 100 ms.
    for (int pass = 0; pass < 600; pass++) {
        if (ReadAll(path).find(text) != std::string::npos)
            return true;
        usleep(100000);
    }
    return false;
}

// The Fire pattern over palette entries 1-8: #FF0000, #880000, #FF0000, then
// #FF8800 four times, #880000. Under the default calibration (80/100/95) the
// plug-in sends them as these records, printed as hue, saturation%,
// brightness%, kelvin.
const char *const kRed = "0 100 39 9000";
const char *const kDark = "0 100 19 9000";
const char *const kOrange = "40 100 58 9000";
const char *const kFireEntries[8] = {kRed, kDark, kRed, kOrange, kOrange, kOrange, kOrange, kDark};

// The lights as the output last printed them.
struct Light {
    bool on = false;
    std::string hex;
    std::string numbers; // "H S B K"
    std::vector<std::string> zones;
};

struct Shown {
    std::map<int, Light> lights;
    std::map<int, std::string> move; // "on 5000 ms forward"
};

// Applies a "light N: ..." or "strip N: ..." line; false for other lines.
bool Apply(Shown &shown, const std::string &line)
{
    int n = 0;
    char power[8] = "";
    char hex[8] = "";
    int used = 0;
    if (sscanf(line.c_str(), "light %d: %7s %7s %n", &n, power, hex, &used) == 3 && used > 0) {
        Light &light = shown.lights[n];
        light.on = std::string(power) == "on";
        light.hex = hex;
        light.numbers = line.substr((size_t)used);
        return true;
    }
    if (sscanf(line.c_str(), "strip %d move: %n", &n, &used) == 1 && used > 0) {
        shown.move[n] = line.substr((size_t)used);
        return true;
    }
    if (sscanf(line.c_str(), "strip %d: %7s %n", &n, power, &used) == 2 && used > 0) {
        Light &light = shown.lights[n];
        light.on = std::string(power) == "on";
        std::istringstream zones(line.substr((size_t)used));
        light.zones.clear();
        std::string zone;
        while (zones >> zone)
            light.zones.push_back(zone);
        return true;
    }
    return false;
}

// The Fire rotation the bulbs show (1-8: bulb 1 shows entry k), or 0.
int FireRotation(const Shown &shown)
{
    for (int k = 1; k <= 8; k++) {
        bool all = true;
        for (int bulb = 1; bulb <= 8 && all; bulb++) {
            auto light = shown.lights.find(bulb);
            all = light != shown.lights.end() && light->second.on &&
                  light->second.numbers == kFireEntries[(bulb + k - 2) % 8];
        }
        if (all)
            return k;
    }
    return 0;
}

// Both strips show entries k on, one a zone, with the colours the bulbs show
// for the same entries: strip 9 in its 82 zones, strip 10 in its 16.
void ExpectStripsAtRotation(const Shown &shown, int k, const std::string &where)
{
    std::string hexOfEntry[8];
    for (int bulb = 1; bulb <= 8; bulb++)
        hexOfEntry[(bulb + k - 2) % 8] = shown.lights.at(bulb).hex;
    for (int strip = 9; strip <= 10; strip++) {
        const Light &light = shown.lights.at(strip);
        EXPECT_TRUE(light.on) << where;
        int zones = strip == 10 ? 16 : 82;
        ASSERT_EQ(light.zones.size(), (size_t)zones) << where;
        for (int z = 0; z < zones; z++)
            ASSERT_EQ(light.zones[(size_t)z], hexOfEntry[(k - 1 + z) % 8])
                << where << ", strip " << strip << " zone " << z + 1;
    }
}

// The output cut into steps: each echoed line with the lines after it.
struct Step {
    std::string line;
    std::vector<std::string> output;
};

std::vector<Step> Steps(const std::vector<std::string> &lines)
{
    std::vector<Step> steps(1);
    for (const std::string &line : lines) {
        if (line.compare(0, 2, "> ") == 0)
            steps.push_back(Step{line.substr(2), {}});
        else
            steps.back().output.push_back(line);
    }
    return steps;
}

std::map<std::string, std::string> SettingsFile(const std::string &folder)
{
    std::map<std::string, std::string> values;
    for (std::string line : Lines(ReadAll(folder + "/Chromalet-LIFX.rc"))) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        size_t colon = line.find(": ");
        if (colon != std::string::npos)
            values[line.substr(0, colon + 1)] = line.substr(colon + 2);
    }
    return values;
}

std::string FirstAddress(const std::vector<std::string> &lines)
{
    for (const std::string &line : lines) {
        size_t at = line.find("strips 9-10 at ");
        if (line.compare(0, 9, "[preview]") == 0 && at != std::string::npos)
            return line.substr(at + 15, line.find(' ', at + 15) - at - 15);
    }
    return "";
}

TEST(PreviewScript, LightsFollowFireWarmCyclingSuspendAndResume)
{
    std::string work = WorkFolder("script");
    std::string script = work + "/script.txt";
    std::ofstream(script) << "# Fire, then white light, then Fire cycling every second\n"
                             "@Chromalet-LIFX Toggle Auto Power\n"
                             "@Chromalet-LIFX Scheme Fire\n"
                             "@Chromalet-LIFX Scheme Warm\n"
                             "@Chromalet-LIFX Scheme Fire\n"
                             "@Chromalet-LIFX Cycle Interval 1\n"
                             "@Chromalet-LIFX Toggle Cycle Colors\n"
                             ":wait 2600\n"
                             "@Chromalet-LIFX Toggle Cycle Colors\n"
                             "@Chromalet-LIFX Toggle Move Effect\n"
                             ":suspend\n"
                             ":resume\n"
                             ":wait 5600\n"
                             "@Chromalet-LIFX Scheme Rainbow\n"
                             "@Chromalet-LIFX Toggle Move Effect\n";
    std::string output = work + "/output.txt";
    int status = RunPreview({"--script", script, "--plugin-dir", work + "/plugin", "--lights-group",
                             LightsGroup(), "--debug", "--snapshot", work + "/lights.svg"},
                            "/dev/null", output);
    std::vector<std::string> lines = Lines(ReadAll(output));
    ASSERT_EQ(status, 0) << ReadAll(output);

    // The first run went through the plug-in's own commands.
    std::string first = FirstAddress(lines);
    ASSERT_FALSE(first.empty());
    std::string group = first.substr(0, first.rfind('.') + 1);
    std::map<std::string, std::string> settings = SettingsFile(work + "/plugin");
    for (int n = 1; n <= 10; n++)
        EXPECT_EQ(settings["lifx.device" + std::to_string(n) + ":"], group + std::to_string(n));
    EXPECT_EQ(settings["lifx.auto.power:"], "true");
    EXPECT_EQ(settings["lifx.color.scheme:"], "Fire");

    Shown shown;
    std::vector<int> rotationsWhileCycling;
    bool sawWarm = false, sawOff = false;
    int fireSteps = 0;
    for (const Step &step : Steps(lines)) {
        bool changed = false;
        for (size_t i = 0; i < step.output.size(); i++) {
            bool applied = Apply(shown, step.output[i]);
            changed = changed || applied;
            bool nextIsLight =
                i + 1 < step.output.size() && (step.output[i + 1].compare(0, 6, "light ") == 0 ||
                                               step.output[i + 1].compare(0, 6, "strip ") == 0);
            bool batchEnds = applied && !nextIsLight;
            if (batchEnds && step.line == ":wait 2600") {
                // Each tick shows Fire turned by one more place.
                int k = FireRotation(shown);
                ASSERT_NE(k, 0) << "while cycling, after line " << i;
                ExpectStripsAtRotation(shown, k, "while cycling");
                if (rotationsWhileCycling.empty() || rotationsWhileCycling.back() != k)
                    rotationsWhileCycling.push_back(k);
            }
        }
        if (step.line == "@Chromalet-LIFX Scheme Fire") {
            fireSteps++;
            ASSERT_EQ(FireRotation(shown), 1) << "after Fire, bulb n shows entry n";
            ExpectStripsAtRotation(shown, 1, "after Fire");
            if (fireSteps == 1) {
                // What the plug-in says it sent agrees with what each light
                // received: "   -> H 0° / S 100% / L 39%" per bulb.
                int device = 0, checked = 0;
                for (const std::string &line : step.output) {
                    sscanf(line.c_str(), "[0] Chromalet-LIFX -> Connecting to device #%d", &device);
                    int h, sat, l;
                    if (sscanf(line.c_str(), "[254]    -> H %d\xC2\xB0 / S %d%% / L %d%%", &h, &sat,
                               &l) == 3) {
                        char numbers[32];
                        snprintf(numbers, sizeof numbers, "%d %d %d 9000", h, sat, l);
                        EXPECT_EQ(shown.lights[device].numbers, numbers) << "device " << device;
                        checked++;
                    }
                }
                EXPECT_EQ(checked, 8) << "the plug-in's log, with debug on, names each bulb";
            }
        }
        if (step.line == "@Chromalet-LIFX Scheme Warm") {
            for (int n = 1; n <= 8; n++) {
                EXPECT_TRUE(shown.lights[n].on);
                EXPECT_EQ(shown.lights[n].numbers, "0 0 33 3000") << "bulb " << n;
            }
            for (int n = 9; n <= 10; n++) {
                EXPECT_EQ(shown.lights[n].zones.size(), n == 10 ? 16u : 82u);
                for (const std::string &zone : shown.lights[n].zones)
                    EXPECT_EQ(zone, shown.lights[1].hex) << "strip " << n;
            }
            sawWarm = true;
        }
        if (step.line == "@Chromalet-LIFX Toggle Move Effect" && fireSteps == 2 && !sawOff) {
            EXPECT_EQ(shown.move[9], "on 10000 ms forward");
            EXPECT_EQ(shown.move[10], "on 10000 ms forward");
        }
        if (step.line == ":suspend") {
            for (int n = 1; n <= 10; n++)
                EXPECT_FALSE(shown.lights[n].on) << "light " << n << " after suspend";
            EXPECT_EQ(shown.move[9], "off 10000 ms forward");
            sawOff = true;
        }
        if (step.line == ":resume") {
            // Nothing yet: the lights come back 5 seconds later.
            EXPECT_FALSE(changed);
        }
        if (step.line == "@Chromalet-LIFX Scheme Rainbow") {
            // A wrong command changes nothing.
            EXPECT_FALSE(changed);
        }
    }
    EXPECT_EQ(fireSteps, 2);
    EXPECT_TRUE(sawWarm);
    EXPECT_TRUE(sawOff);
    // Ticks one place at a time from the start, 2, 3 ... (the real clock
    // gives two ticks in 2.6 s, three on a slow machine at most).
    ASSERT_GE(rotationsWhileCycling.size(), 2u);
    for (size_t i = 0; i < rotationsWhileCycling.size(); i++)
        EXPECT_EQ(rotationsWhileCycling[i], (int)i + 2);
    // Five seconds after the resume: Fire again from the start, the move
    // effect going, until the last toggle and the host's end stop it.
    EXPECT_EQ(FireRotation(shown), 1);
    ExpectStripsAtRotation(shown, 1, "at the end");
    EXPECT_EQ(shown.move[9], "off 10000 ms forward");

    std::string picture = ReadAll(work + "/lights.svg");
    EXPECT_NE(picture.find("<svg"), std::string::npos);
    EXPECT_NE(picture.find("fill=\"" + shown.lights[4].hex + "\""), std::string::npos);
    // Each strip drawn with its own zones: 82, and 16 for strip 10.
    int zoneRects = 0;
    for (size_t at = 0; (at = picture.find("height=\"30\"", at)) != std::string::npos; at++)
        zoneRects++;
    EXPECT_EQ(zoneRects, 82 + 16);
}

// A search sent down a pipe, and nothing after it until the search has
// said what it found: the plug-in's time runs while the pipe is quiet.
TEST(PreviewScript, AScriptOnAPipeIsPlayedToo)
{
    std::string work = WorkFolder("pipe");
    std::string fifo = work + "/input";
    std::string output = work + "/output.txt";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    pid_t writer = fork();
    if (writer == 0) {
        int fd = open(fifo.c_str(), O_WRONLY);
        FileShows(output, "strips 9-10 at ");
        std::string first = FirstAddress(Lines(ReadAll(output)));
        std::string search =
            "@Chromalet-LIFX Discover " + first.substr(0, first.rfind('.')) + ".0/28\n";
        ssize_t ignored = write(fd, search.data(), search.size());
        FileShows(output, "...found 10 lights, 0 new.");
        const char text[] = "@Chromalet-LIFX Scheme Ocean\n:wait 50\n";
        ignored = write(fd, text, sizeof text - 1);
        (void)ignored;
        close(fd);
        _exit(0);
    }
    int status = RunPreview({"--plugin-dir", work + "/plugin", "--lights-group", LightsGroup()},
                            fifo, output);
    waitpid(writer, nullptr, 0);
    std::string text = ReadAll(output);
    ASSERT_EQ(status, 0) << text;
    // Ocean's #0088FF in bulb 1, #0000FF in bulb 2 (calibration 80/100/95).
    Shown shown;
    for (const std::string &line : Lines(text))
        Apply(shown, line);
    EXPECT_EQ(shown.lights[1].numbers, "206 100 52 9000") << text;
    EXPECT_EQ(shown.lights[2].numbers, "240 100 28 9000") << text;
    EXPECT_EQ(text.find("# The Chromalet-LIFX tour"), std::string::npos);
    EXPECT_LT(text.find("...found 10 lights, 0 new."), text.find("> @Chromalet-LIFX Scheme Ocean"))
        << text;
}

// A home of two lights from the command line; its strip, in slot 9, stops
// answering: named once, counted in the tray tip, then back.
TEST(PreviewScript, ASilencedLightIsNamedOnceAndInTheTrayTipUntilItAnswers)
{
    std::string work = WorkFolder("silence");
    std::string script = work + "/script.txt";
    std::ofstream(script) << "@Chromalet-LIFX Scheme Fire\n:silence 2\n@Chromalet-LIFX Scheme "
                             "Ocean\n:wait 20000\n:tray-record\n:answer 2\n"
                             "@Chromalet-LIFX Scheme Woods\n:wait 3000\n:tray-record\n";
    std::string output = work + "/output.txt";
    int status = RunPreview({"--script", script, "--plugin-dir", work + "/plugin", "--lights-group",
                             LightsGroup(), "--light", "bulb \"Porch\"", "--light",
                             "strip 120 \"TV backlight\" loss 10"},
                            "/dev/null", output);
    std::string text = ReadAll(output);
    ASSERT_EQ(status, 0) << text;
    EXPECT_NE(text.find(": 1 bulb \"Porch\", 2 strip 120 \"TV backlight\""), std::string::npos)
        << text;
    std::string silent =
        "Device #9 (TV backlight) at 127.56." + LightsGroup() + ".2 did not answer";
    size_t first = text.find(silent);
    EXPECT_NE(first, std::string::npos) << text;
    EXPECT_EQ(text.find(silent, first + 1), std::string::npos) << text;
    size_t tip = text.find("tip \"Chromalet-LIFX: 1 light not answering\"");
    size_t back =
        text.find("Device #9 (TV backlight) at 127.56." + LightsGroup() + ".2 answers again.");
    EXPECT_LT(first, tip) << text;
    EXPECT_LT(tip, back) << text;
    EXPECT_NE(text.find("tip \"Chromalet-LIFX\"", back), std::string::npos) << text;
    Shown shown;
    for (const std::string &line : Lines(text))
        Apply(shown, line);
    ASSERT_EQ(shown.lights[2].zones.size(), 120u) << text;
    EXPECT_EQ(SettingsFile(work + "/plugin")["lifx.device9.zones:"], "120");
}

TEST(PreviewScript, ACommandThatWouldLeaveLoopbackIsRefusedAndChangesNothing)
{
    std::string work = WorkFolder("refused");
    std::string script = work + "/script.txt";
    std::ofstream(script) << "@Chromalet-LIFX Device #3 192.168.1.20\n"
                             "@Chromalet-LIFX Scheme Woods\n";
    std::string output = work + "/output.txt";
    int status = RunPreview(
        {"--script", script, "--plugin-dir", work + "/plugin", "--lights-group", LightsGroup()},
        "/dev/null", output);
    std::string text = ReadAll(output);
    EXPECT_EQ(status, 1) << text;
    EXPECT_NE(text.find("[preview] refused"), std::string::npos) << text;
    // The next line still played.
    EXPECT_NE(text.find("light 3: on"), std::string::npos) << text;
    std::map<std::string, std::string> settings = SettingsFile(work + "/plugin");
    EXPECT_EQ(settings["lifx.device3:"].compare(0, 7, "127.56."), 0);
    EXPECT_EQ(settings["lifx.color.scheme:"], "Woods");
}

TEST(PreviewTour, WithoutInputTheTourPlaysAndEndsWell)
{
    std::string work = WorkFolder("tour");
    std::string output = work + "/output.txt";
    time_t start = time(nullptr);
    int status = RunPreview({"--plugin-dir", work + "/plugin", "--lights-group", LightsGroup()},
                            "/dev/null", output);
    std::string text = ReadAll(output);
    ASSERT_EQ(status, 0) << text;
    // Reported, not asserted: a slow machine is no fault of the preview.
    printf("the tour took %ld s\n", (long)(time(nullptr) - start));
    EXPECT_NE(text.find("# The Chromalet-LIFX tour"), std::string::npos);
    for (const char *expected :
         {"> @Chromalet-LIFX Scheme Spooky", "> :suspend", "> :resume",
          "strip 9 move: on 5000 ms forward", "strip 10 move: on 5000 ms reverse",
          "light 1: on #00FF00", "light 2: on", "[Chromalet-LIFX]", "[host] endPlugin"})
        EXPECT_NE(text.find(expected), std::string::npos) << expected;
    // The settings are back as the first run left them.
    std::map<std::string, std::string> settings = SettingsFile(work + "/plugin");
    EXPECT_EQ(settings["lifx.color.scheme:"], "Style");
    EXPECT_EQ(settings["lifx.cycle.colors:"], "false");
    EXPECT_EQ(settings["lifx.move.effect:"], "false");
    EXPECT_EQ(settings["lifx.calibration.red:"], "80");
    EXPECT_EQ(settings["lifx.movement.speed:"], "10");
}

// Ocean and Woods in bulb 1 (calibration 80/100/95).
const char kOceanBulb1[] = "206 100 52 9000";
const char kWoodsBulb1[] = "120 100 34 9000";

TEST(PreviewFolder, TwoRunsAtOnceKeepTheirOwnModuleAndSettings)
{
    std::string work = WorkFolder("two");
    std::string folder = work + "/plugin";
    std::string fifo = work + "/input";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // Read and write: opening does not wait for the preview to open its end.
    int lines = open(fifo.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(lines, 0);
    auto send = [&](const char *text) {
        ssize_t written = write(lines, text, strlen(text));
        EXPECT_EQ(written, (ssize_t)strlen(text));
    };
    std::string firstOutput = work + "/first.txt";
    pid_t first =
        StartPreview({"--plugin-dir", folder, "--lights-group", LightsGroup()}, fifo, firstOutput);
    ASSERT_GT(first, 0);
    send("@Chromalet-LIFX Scheme Ocean\n:wait 1\n");
    bool ready = FileShows(firstOutput, "> :wait 1");

    // The second run starts while the first has the module loaded and
    // waits for its next line.
    std::string script = work + "/script.txt";
    std::ofstream(script) << "@Chromalet-LIFX Scheme Woods\n";
    std::string secondOutput = work + "/second.txt";
    int second = ready ? RunPreview({"--script", script, "--plugin-dir", folder, "--lights-group",
                                     LightsGroup()},
                                    "/dev/null", secondOutput)
                       : -3;
    // The first run starts its plug-in afresh from its settings file.
    send(":restart\n:wait 1\n");
    close(lines);
    int firstStatus = WaitForProgram(first);
    std::string firstText = ReadAll(firstOutput), secondText = ReadAll(secondOutput);
    ASSERT_TRUE(ready) << firstText;
    EXPECT_EQ(firstStatus, 0) << firstText;
    EXPECT_EQ(second, 0) << secondText;

    Shown firstShown, secondShown;
    bool secondSawOcean = false;
    for (const std::string &line : Lines(firstText))
        Apply(firstShown, line);
    for (const std::string &line : Lines(secondText)) {
        Apply(secondShown, line);
        secondSawOcean = secondSawOcean || secondShown.lights[1].numbers == kOceanBulb1;
    }
    EXPECT_EQ(firstShown.lights[1].numbers, kOceanBulb1) << firstText;
    EXPECT_NE(firstText.find("> :restart"), std::string::npos);
    EXPECT_EQ(firstText.find("another preview"), std::string::npos);
    EXPECT_FALSE(secondSawOcean) << secondText;
    EXPECT_NE(secondShown.lights[1].numbers, kOceanBulb1) << secondText;
    EXPECT_EQ(secondShown.lights[1].numbers, kWoodsBulb1) << secondText;

    // The second run said where it went, and cleared up after itself.
    std::vector<std::string> secondLines = Lines(secondText);
    std::string prefix = "[preview] another preview is using " + folder + ": ";
    std::string temporary;
    for (const std::string &line : secondLines) {
        if (line.compare(0, prefix.size(), prefix) == 0) {
            size_t start = line.find(", ") + 2;
            temporary = line.substr(start, line.find(", ", start) - start);
        }
    }
    ASSERT_FALSE(temporary.empty()) << secondText;
    struct stat info;
    EXPECT_NE(stat(temporary.c_str(), &info), 0) << temporary;

    // The folder still holds the first run's lights and scheme.
    std::map<std::string, std::string> settings = SettingsFile(folder);
    std::string group = FirstAddress(Lines(firstText));
    group = group.substr(0, group.rfind('.') + 1);
    EXPECT_EQ(settings["lifx.device1:"], group + "1");
    EXPECT_EQ(settings["lifx.color.scheme:"], "Ocean");
}

TEST(PreviewFolder, AHostStartingBesideARunningOneLeavesItsModuleAlone)
{
    std::string work = WorkFolder("hosts");
    std::string fifo = work + "/input";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    int lines = open(fifo.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(lines, 0);
    std::vector<std::string> arguments = {"--plugin-dir", work + "/plugin"};
    std::string firstOutput = work + "/first.txt";
    pid_t first = StartProgram(HOST_PROGRAM, arguments, fifo, firstOutput);
    ASSERT_GT(first, 0);
    bool started = FileShows(firstOutput, "beginPlugin -> 0");
    int second =
        started ? RunProgram(HOST_PROGRAM, arguments, "/dev/null", work + "/second.txt") : -3;
    // The first host runs its plug-in's code again after the second's copy.
    const char text[] = "@Chromalet-LIFX Show Menu\n";
    EXPECT_EQ(write(lines, text, sizeof text - 1), (ssize_t)(sizeof text - 1));
    close(lines);
    int firstStatus = WaitForProgram(first);
    std::string firstText = ReadAll(firstOutput);
    ASSERT_TRUE(started) << firstText;
    EXPECT_EQ(second, 0) << ReadAll(work + "/second.txt");
    EXPECT_EQ(firstStatus, 0) << firstText;
    EXPECT_NE(firstText.find("[Chromalet-LIFX]"), std::string::npos) << firstText;
}

TEST(PreviewScript, HelpAndMenuGoOnAndEachLineSaysWhatHappened)
{
    std::string work = WorkFolder("notes");
    std::string script = work + "/script.txt";
    std::ofstream(script) << ":help\n"
                             ":menu\n"
                             "@Chromalet-LIFX Toggle Auto Power\n"
                             "@Chromalet-LIFX Scheme Rainbow\n"
                             "@Chromalet-LIFX Device #11 127.0.0.5\n"
                             "@Chromalet-LIFX Scheme Ocean\n"
                             ":resume\n"
                             ":unlock\n"
                             "@Chromalet-LIFX Device #3 127.0.0.9\n"
                             "@Chromalet-LIFX Scheme Woods\n";
    std::string output = work + "/output.txt";
    int status = RunPreview(
        {"--script", script, "--plugin-dir", work + "/plugin", "--lights-group", LightsGroup()},
        "/dev/null", output);
    std::string text = ReadAll(output);
    EXPECT_EQ(status, 0) << text;
    std::map<std::string, std::vector<std::string>> said;
    for (const Step &step : Steps(Lines(text)))
        said[step.line] = step.output;

    EXPECT_EQ(said[":help"], preview::HelpLines());
    // The menu numbered as the live view numbers it: 3 is the scheme
    // submenu, 3.3 Ocean in it.
    const std::vector<std::string> &menu = said[":menu"];
    ASSERT_FALSE(menu.empty()) << text;
    EXPECT_EQ(menu[0].compare(0, 22, "[menu] Chromalet-LIFX,"), 0) << menu[0];
    for (const char *entry : {" 1 Devices >", " 3 Color scheme >", "  3.3 [ ] Ocean", "14 About"}) {
        bool found = false;
        for (const std::string &line : menu)
            found = found || line.compare(0, strlen(entry), entry) == 0;
        EXPECT_TRUE(found) << entry << "\n" << text;
    }

    // Commands that change nothing say so; one that changes the lights does not.
    const std::vector<std::string> noChange = {"[preview] no change"};
    const std::vector<std::string> &rainbow = said["@Chromalet-LIFX Scheme Rainbow"];
    ASSERT_EQ(rainbow.size(), 2u) << text;
    EXPECT_EQ(rainbow[0].rfind("[3] ...unknown scheme \"Rainbow\"!", 0), 0u) << rainbow[0];
    EXPECT_EQ(rainbow[1], noChange[0]);
    const std::vector<std::string> &slot11 = said["@Chromalet-LIFX Device #11 127.0.0.5"];
    ASSERT_EQ(slot11.size(), 2u) << text;
    EXPECT_EQ(slot11[0].rfind("[3] ...unknown light \"#11\"!", 0), 0u) << slot11[0];
    EXPECT_EQ(slot11[1], noChange[0]);
    const std::vector<std::string> &ocean = said["@Chromalet-LIFX Scheme Ocean"];
    EXPECT_FALSE(ocean.empty());
    for (const std::string &line : ocean)
        EXPECT_NE(line, "[preview] no change");
    EXPECT_EQ(said[":resume"], std::vector<std::string>{"[preview] the lights come back in 5 s"});
    EXPECT_EQ(said[":unlock"], std::vector<std::string>{"[preview] the lights come back in 1 s"});

    // A slot pointed where no emulated light is: that light is not driven,
    // and what the plug-in sends next leaves it so.
    const std::vector<std::string> &moved = said["@Chromalet-LIFX Device #3 127.0.0.9"];
    EXPECT_NE(std::find(moved.begin(), moved.end(), "light 3: not driven"), moved.end()) << text;
    const std::vector<std::string> &woods = said["@Chromalet-LIFX Scheme Woods"];
    EXPECT_NE(std::find(woods.begin(), woods.end(), "light 1: on #006600 120 100 34 9000"),
              woods.end())
        << text;
    for (const std::string &line : woods)
        EXPECT_NE(line.compare(0, 8, "light 3:"), 0) << line;
}

} // namespace
