// Tens of thousands of random and hostile command texts through the host,
// with the clock moving and the system's power events now and then, then a
// restart. Nothing crashes; menus, timers and sockets stay as few as the
// plug-in's design allows; the settings file keeps exactly one line for
// each key it held, each holding what the plug-in has in memory, and the
// restarted plug-in reads back every value as it was last set.
#include <stdio.h>
#include <stdlib.h>
#include <strings.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "commands/timers.h"
#include "lifx/delivery.h"
#include "host/vesk.h"
#include "lifx/label_query.h"
#include "lifx/zone_query.h"
#include "palette/palette.h"
#include "platform/control_linux.h"
#include "plugin/plugin.h"
#include "settings/settings.h"
#include "tests/support/lights_fixture.h"

namespace
{

enum {
    kCommands = 30000,
    kSeed = 20210220,
};

const char *const kVerbs[] = {"Show",  "Device",        "Scheme",   "Power", "RGB",
                              "White", "Calibration",   "Toggle",   "Cycle", "Movement",
                              "Edit",  "Documentation", "Protocol", "About"};

const char *const kSchemeNames[] = {"Style", "Fire", "Ocean", "Woods", "Spooky", "Manual",
                                    "Warm",  "Cold", "User1", "User2", "User3"};

// Arguments that are wrong for most verbs and right for some; never a text
// that parses as an address, since any verb's arguments may be shuffled.
const char *const kArguments[] = {
    "",      "#",       "#0",     "#11",      "#-1",       "#99999999999", "abc",
    "12x",   "-5",      "0",      "101",      "60",        "61",           "Menu",
    "Off",   "On",      "Colors", "Effect",   "Direction", "Power",        "Interval",
    "Speed", "Devices", "R",      "G",        "B",         "Red",          "red",
    "Cycle", "Move",    "Auto",   "#ff8000",  "#fff",      "#-1",          "#zz",
    "\"\"",  "\"",      "%n",     "%s%s%s%s", "%99999d",   "%*s",          "#%n",
    "\t",    "Rainbow", "fIRE",   "uSER2",    "50",        "4000",         "-2147483648",
};

// Addresses the Device command may be given: this process's lights, and
// texts it must refuse.
const char *const kBadAddresses[] = {"999.1.1.1", "0.0.0.0",   "255.255.255.255",
                                     "abc",       "1.2.3.4.5", "%n%s",
                                     "256.1.1.1", "\"\"",      "-1"};

class SoakTest : public LightsTest
{
  protected:
    // The plug-in's folder is in memory where there is such a place: most
    // commands replace the settings file, and on a disk every replacement
    // waits for it.
    void SetUp() override
    {
        LightsTest::SetUp();
        char inMemory[] = "/dev/shm/chromalet-soak-XXXXXX";
        const char *made = mkdtemp(inMemory);
        pluginFolder = made ? std::string(made) + "/" : Folder();
        platform::SetModuleFileName((pluginFolder + "Chromalet-LIFX.dll").c_str());
    }
    void TearDown() override
    {
        if (g_pluginWindow)
            endPlugin(nullptr);
        std::error_code ignored;
        if (pluginFolder.rfind("/dev/shm/chromalet-soak-", 0) == 0)
            std::filesystem::remove_all(pluginFolder, ignored);
        LightsTest::TearDown();
    }
    std::string SettingsFile() const { return pluginFolder + "Chromalet-LIFX.rc"; }

    std::string Pick(const char *const *list, size_t count) { return list[rng() % count]; }
    template <size_t N> std::string Pick(const char *const (&list)[N]) { return Pick(list, N); }
    std::string Prefix()
    {
        static const char *const kPrefixes[] = {"@LIFX", "@lifx", "@Chromalet-LIFX", "@LIFXBulbs",
                                                "@chromalet-lifx2"};
        return Pick(kPrefixes);
    }
    std::string RandomBytes(size_t length)
    {
        std::string text;
        for (size_t i = 0; i < length; i++)
            text += (char)(1 + rng() % 255);
        return text;
    }
    std::string DeviceAddress()
    {
        if (rng() % 3 == 0)
            return Pick(kBadAddresses);
        return Address(1 + (int)(rng() % 10));
    }
    std::string Argument()
    {
        if (rng() % 8 == 0)
            return std::to_string((int)(rng() % 300) - 100);
        return Pick(kArguments);
    }

    // One command text, of a kind chosen at random.
    std::string NextCommand()
    {
        switch (rng() % 10) {
        case 0: // random bytes, addressed to the plug-in or not
            return (rng() % 2 ? Prefix() + " " : "") + RandomBytes(rng() % 300);
        case 1: { // format directives everywhere
            std::string text = Prefix();
            for (int i = 0, n = 1 + (int)(rng() % 6); i < n; i++)
                text += " " + std::string(rng() % 2 ? Pick(kVerbs) : "") + "%n%s%x%p";
            return text;
        }
        case 2: { // a token of 5000 characters in any position
            std::string text = Prefix() + " " + Pick(kVerbs);
            int position = (int)(rng() % 3);
            for (int i = 0; i < 3; i++)
                text += " " +
                        (i == position ? std::string(5000, (char)('0' + rng() % 75)) : Argument());
            return text;
        }
        case 3: { // unbalanced quotes
            std::string text = Prefix() + " \"" + Pick(kVerbs) + " " + Argument();
            if (rng() % 2)
                text += " \"" + Argument();
            return text;
        }
        case 4:
        case 5: { // every verb with arguments that are mostly wrong
            std::string verb = Pick(kVerbs);
            if (verb == "Device")
                return Prefix() + " Device " + Argument() + " " + DeviceAddress();
            return Prefix() + " " + verb + " " + Argument() + " " + Argument() + " " + Argument();
        }
        default:
            return ValidCommand();
        }
    }

    // A command the menu could send, so that the settings keep changing.
    std::string ValidCommand()
    {
        std::string p = Prefix() + " ";
        switch (rng() % 12) {
        case 0:
            return p + "Scheme " + Pick(kSchemeNames);
        case 1:
            return p + "Calibration " + std::string(1, "RGB"[rng() % 3]) + " " +
                   std::to_string((int)(rng() % 140) - 20);
        case 2: {
            static const char *const kToggles[] = {"Cycle Colors", "Move Effect", "Move Direction",
                                                   "Auto Power"};
            return p + "Toggle " + Pick(kToggles);
        }
        case 3:
            return p + "Cycle Interval " + std::to_string((int)(rng() % 14) - 2);
        case 4:
            return p + "Movement Speed " + std::to_string((int)(rng() % 70) - 5);
        case 5:
            return p + "Device #" + std::to_string(1 + rng() % 10) +
                   (rng() % 3 ? " " + DeviceAddress() : "");
        case 6:
            return p + "RGB " + std::to_string(1 + rng() % 11) + " #" +
                   std::to_string(rng() % 1000000);
        case 7:
            return p + "White " + std::to_string(rng() % 10) + " " + std::to_string(rng() % 120) +
                   " " + std::to_string(rng() % 10000);
        case 8:
            return p + "Show Menu";
        case 9:
            return p + "Power Off";
        case 10:
            return p + (rng() % 2 ? "Edit Devices" : "About");
        default:
            return p + (rng() % 2 ? "Documentation" : "Protocol");
        }
    }

    void Event()
    {
        switch (rng() % 6) {
        case 0:
            Send(WM_POWERBROADCAST, PBT_APMSUSPEND);
            break;
        case 1:
            Send(WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC);
            break;
        case 2:
            Send(WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK);
            break;
        case 3:
            Send(HostMsgStyleChange);
            break;
        case 4:
            Send(WM_USER, 0, WM_RBUTTONUP);
            break;
        default:
            break;
        }
        platform::AdvanceClock(rng() % 12000);
    }

    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        return SendMessageA(g_pluginWindow, message, wParam, lParam);
    }

    // Reads what reached the lights without waiting, counting what was
    // malformed, and forgets it now and then so it does not pile up.
    void ReadLights(bool forget)
    {
        for (int i = 0; i < 100 && EmulatorPoll(emulator, 0) > 0; i++) {
        }
        if (forget) {
            for (int n = 1; n <= 10; n++) {
                malformed += Light(n).malformed;
                datagrams += (long)Light(n).received.size();
            }
            EmulatorResetLights(emulator);
        }
    }

    // Every slot is empty, one of this process's lights, or a text that is
    // no address; anything else would be sent to on the next command.
    void ExpectOnlyOurLights(const std::string &command)
    {
        for (int n = 1; n <= 10; n++) {
            bool ours = g_devices[n][0] == 0 || inet_addr(g_devices[n]) == INADDR_NONE;
            for (int m = 1; m <= 10; m++)
                ours = ours || strcmp(g_devices[n], Address(m)) == 0;
            if (!ours) {
                ADD_FAILURE() << "slot " << n << " holds \"" << g_devices[n] << "\" after \""
                              << command.substr(0, 80) << "\"";
                g_devices[n][0] = 0;
                UpdateAnyDeviceConfigured();
            }
        }
    }

    void ExpectResourcesSteady()
    {
        // The lights' acknowledgements read (a bounded number a tick), the
        // shared socket closes and the timer that read them stops.
        for (int i = 0; i < 40 && (i == 0 || DeliveryPending()); i++) {
            ReadLights(false);
            platform::AdvanceClock(kAnswersTickMs);
        }
        // A light set by a command may be waiting for its zone count or its
        // label: the shared socket and the timer stay until the asking ends.
        int asking = ZoneQueryRunning() || LabelQueryRunning() ? 1 : 0;
        platform::NetStats net = platform::GetNetStats();
        EXPECT_EQ(net.socketsCreated, net.socketsClosed + asking);
        EXPECT_EQ(platform::WsaStartupsOutstanding(), asking);
        EXPECT_LE(testhost::LiveMenus(), 1);
        EXPECT_LE(platform::RunningTimers(), 2 + asking);
    }

    std::mt19937 rng{kSeed};
    long malformed = 0;
    long datagrams = 0;
    std::string pluginFolder;
};

// The file's lines, without their CR LF.
std::vector<std::string> Lines(const std::string &content)
{
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < content.size()) {
        size_t lf = content.find('\n', at);
        size_t end = lf == std::string::npos ? content.size() : lf;
        lines.push_back(content.substr(at, end - at - (end > at && content[end - 1] == '\r')));
        if (lf == std::string::npos)
            break;
        at = lf + 1;
    }
    return lines;
}

// The key a line begins with ("lifx.debug:"), or empty.
std::string KeyOf(const std::string &line)
{
    size_t colon = line.find(':');
    return colon == std::string::npos ? "" : line.substr(0, colon + 1);
}

std::string ValueOf(const std::string &line)
{
    std::string value = line.substr(KeyOf(line).size());
    size_t first = value.find_first_not_of(" \t");
    size_t last = value.find_last_not_of(" \t");
    return first == std::string::npos ? "" : value.substr(first, last - first + 1);
}

int SchemeOf(const std::string &name)
{
    static const int kIds[] = {SchemeStyle,  SchemeFire,   SchemeOcean, SchemeWoods,
                               SchemeSpooky, SchemeManual, SchemeWarm,  SchemeCold,
                               SchemeUser1,  SchemeUser2,  SchemeUser3};
    for (size_t i = 0; i < sizeof kIds / sizeof kIds[0]; i++) {
        if (strcasecmp(name.c_str(), kSchemeNames[i]) == 0)
            return kIds[i];
    }
    return SchemeManual;
}

const char *Bool(bool value)
{
    return value ? "true" : "false";
}

// What the file must say for each key, from the plug-in's values in memory.
std::string Expected(const std::string &key, const std::string &fileValue)
{
    if (key.rfind("lifx.device", 0) == 0 && key.find(".label:") != std::string::npos)
        return g_deviceLabels[atoi(key.c_str() + 11)];
    if (key.rfind("lifx.device", 0) == 0)
        return g_devices[atoi(key.c_str() + 11)];
    if (key == "lifx.calibration.red:")
        return std::to_string(g_settings.calibrationRed);
    if (key == "lifx.calibration.green:")
        return std::to_string(g_settings.calibrationGreen);
    if (key == "lifx.calibration.blue:")
        return std::to_string(g_settings.calibrationBlue);
    if (key == "lifx.color.scheme:") // written as typed, read ignoring case
        return SchemeOf(fileValue) == g_settings.scheme ? fileValue : "(another scheme)";
    if (key == "lifx.cycle.colors:")
        return Bool(g_settings.cycleColours);
    if (key == "lifx.cycle.interval:")
        return std::to_string(g_settings.cycleInterval);
    if (key == "lifx.move.effect:")
        return Bool(g_settings.moveEffect);
    if (key == "lifx.movement.speed:")
        return std::to_string(g_settings.movementSpeed);
    if (key == "lifx.reverse.direction:")
        return Bool(g_settings.reverseDirection);
    if (key == "lifx.auto.power:")
        return Bool(g_settings.autoPower);
    return fileValue; // never written: the debug flag and the user colours
}

// The file has the lines it started with, in order, each key once, and
// every key holds what the plug-in has in memory.
void ExpectFileMatchesMemory(const std::vector<std::string> &original, const std::string &content)
{
    std::vector<std::string> lines = Lines(content);
    ASSERT_EQ(lines.size(), original.size()) << content;
    for (size_t i = 0; i < lines.size(); i++) {
        std::string key = KeyOf(original[i]);
        if (key.empty()) {
            EXPECT_EQ(lines[i], original[i]) << "line " << i + 1;
            continue;
        }
        EXPECT_EQ(KeyOf(lines[i]), key) << "line " << i + 1;
        EXPECT_EQ(ValueOf(lines[i]), Expected(key, ValueOf(lines[i]))) << key;
    }
}

TEST_F(SoakTest, HostileCommandsThenARestartLeaveTheSettingsFileWholeAndReadBack)
{
    std::string content(kDefaultSettingsFile, kDefaultSettingsFileSize);
    for (int n = 10; n >= 1; n--) {
        std::string key = "lifx.device" + std::to_string(n) + ": ";
        content.insert(content.find(key) + key.size(), Address(n));
        // A light set by hand says its label when first driven.
        content += "lifx.device" + std::to_string(n) + ".label: \r\n";
    }
    content.replace(content.find("lifx.debug: false"), 17, "lifx.debug: true");
    content.replace(content.find("lifx.auto.power: false"), 22, "lifx.auto.power: true");
    WriteFileBytes(SettingsFile(), content);
    std::vector<std::string> original = Lines(content);
    WriteFileBytes(pluginFolder + "style.rc",
                   "toolbar.appearance: Raised Gradient\r\n"
                   "toolbar.color: #203040\r\ntoolbar.colorTo: #a0b0c0\r\n");
    testhost::SetStylePath((pluginFolder + "style.rc").c_str());
    ASSERT_EQ(beginPlugin(nullptr), 0);

    std::string previous = content;
    int changes = 0;
    for (int i = 0; i < kCommands; i++) {
        std::string command = NextCommand();
        ASSERT_EQ(Send(HostMsgCommand, 0, (LPARAM)command.c_str()), 0);
        ExpectOnlyOurLights(command);
        if (rng() % 40 == 0)
            Event();
        ReadLights(i % 200 == 0);
        if (i % 500 == 0) {
            testhost::ClearRecords();
            ExpectResourcesSteady();
            std::string now = ReadFileBytes(SettingsFile());
            ExpectFileMatchesMemory(original, now);
            changes += now != previous;
            previous = now;
            if (HasFailure())
                FAIL() << "after command " << i << ": \"" << command.substr(0, 80) << "\"";
        }
    }
    Send(HostMsgCommand, 0, (LPARAM) "@LIFX Show Menu");
    EXPECT_EQ(testhost::LiveMenus(), 1);
    ExpectResourcesSteady();
    ReadLights(true);
    EXPECT_EQ(malformed, 0) << "every datagram the plug-in sent was a whole message";
    // The run did what it is for: the lights were driven, the file rewritten.
    EXPECT_GT(datagrams, kCommands / 2);
    EXPECT_GT(changes, kCommands / 500 / 2);
    printf("%d commands: %ld datagrams, the settings file changed between %d of %d checks\n",
           kCommands, datagrams, changes, kCommands / 500);

    Settings before = g_settings;
    char devices[kDeviceSlots + 1][kDeviceTextSize];
    memcpy(devices, g_devices, sizeof devices);
    std::string file = ReadFileBytes(SettingsFile());
    ExpectFileMatchesMemory(original, file);

    EXPECT_NE(endPlugin(nullptr), 0);
    EXPECT_EQ(platform::RunningTimers(), 0);
    ASSERT_EQ(beginPlugin(nullptr), 0);

    EXPECT_EQ(g_settings.calibrationRed, before.calibrationRed);
    EXPECT_EQ(g_settings.calibrationGreen, before.calibrationGreen);
    EXPECT_EQ(g_settings.calibrationBlue, before.calibrationBlue);
    EXPECT_EQ(g_settings.scheme, before.scheme);
    EXPECT_EQ(g_settings.cycleColours, before.cycleColours);
    EXPECT_EQ(g_settings.cycleInterval, before.cycleInterval);
    EXPECT_EQ(g_settings.moveEffect, before.moveEffect);
    EXPECT_EQ(g_settings.movementSpeed, before.movementSpeed);
    EXPECT_EQ(g_settings.reverseDirection, before.reverseDirection);
    EXPECT_EQ(g_settings.autoPower, before.autoPower);
    EXPECT_TRUE(g_settings.debug);
    for (int n = 1; n <= kDeviceSlots; n++)
        EXPECT_STREQ(g_devices[n], devices[n]) << "slot " << n;
    EXPECT_EQ(ReadFileBytes(SettingsFile()), file) << "starting writes nothing";

    Send(HostMsgCommand, 0, (LPARAM) "@LIFX Show Menu");
    EXPECT_EQ(testhost::LiveMenus(), 1) << "the menu from before the restart was deleted";
    ExpectResourcesSteady();
}

} // namespace
