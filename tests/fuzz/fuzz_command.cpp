// Command texts through the plug-in's window, as the host delivers them.
//
// An input is two bytes that choose the settings the plug-in starts with,
// then lines. A line is a command text, or an event when it begins with '!':
// "!t<ms>" advances the clock (at most a minute), "!s" suspend, "!r" resume,
// "!u" unlock, "!l" lock, "!c" style change, "!g" reconfigure, "!m" a tray
// click, "!b" the taskbar recreated, "!x" endPlugin and beginPlugin, "!w" and
// "!W" the host's window gone (a stale handle, or none). In any line "{N}"
// stands for emulated light N's address.
//
// The lights are emulated on this process's own loopback addresses. An
// address a command stores that is not one of them is taken out of the
// device table before anything can send to it; the network guard aborts on
// anything that slips through.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "emulator/emulator.h"
#include "emulator/loopback.h"
#include "host/vesk.h"
#include "platform/control_linux.h"
#include "plugin/plugin.h"
#include "settings/settings.h"
#include "testhost/testhost.h"
#include "tests/fuzz/fuzz_support.h"

namespace
{

const int kMaxLines = 64;
const long kMaxAdvanceMs = 60000;

Emulator emulator;
char addresses[kDeviceSlots][kLoopbackAddressSize];
in_addr_t ours[kDeviceSlots];

const char *const kSchemes[] = {"Style", "Fire", "Ocean", "Woods", "Spooky", "Manual",
                                "Warm",  "Cold", "User1", "User2", "User3"};

const char kStyle[] = "toolbar.appearance: Raised Gradient Vertical\r\n"
                      "toolbar.color: #203040\r\n"
                      "toolbar.colorTo: #a0b0c0\r\n"
                      "menu.frame.appearance: Flat Solid\r\n"
                      "menu.frame.color: #ff8800\r\n";

std::string Line(const std::string &key, const std::string &value)
{
    return key + " " + value + "\r\n";
}

const char *Bool(bool value)
{
    return value ? "true" : "false";
}

// The settings file the plug-in starts on, chosen by the input's first bytes.
std::string StartSettings(uint8_t flags, uint8_t choice)
{
    std::string text;
    for (int n = 1; n <= kDeviceSlots; n++) {
        std::string value = (flags & 0x20) ? "" : addresses[n - 1];
        if ((flags & 0x40) && n == 5)
            value = "not-an-address";
        if ((flags & 0x40) && n == 7)
            value = std::string(127, '7');
        text += Line("lifx.device" + std::to_string(n) + ":", value);
    }
    text += Line("lifx.calibration.red:", "80");
    text += Line("lifx.calibration.green:", "100");
    text += Line("lifx.calibration.blue:", "95");
    text += Line("lifx.color.scheme:", kSchemes[(choice & 0x0F) % 11]);
    text += Line("lifx.cycle.colors:", Bool(flags & 0x04));
    text += Line("lifx.cycle.interval:", std::to_string(1 + (choice >> 4) % 10));
    text += Line("lifx.move.effect:", Bool(flags & 0x08));
    text += Line("lifx.movement.speed:", "10");
    text += Line("lifx.reverse.direction:", Bool(flags & 0x10));
    text += Line("lifx.auto.power:", Bool(flags & 0x02));
    text += "\r\n" + Line("lifx.debug:", Bool(flags & 0x01)) + "\r\n";
    text += "user1.color1: #ff0000\r\nuser1.color2: #ffff00\r\nuser1.color3: #00ff00\r\n";
    text += "user2.color1: #000088\r\nuser2.color2: #0000ff\r\n";
    return text;
}

// Empties every slot whose address is not one of this process's lights, in
// the device table and in the settings file.
void KeepOnlyOurLights()
{
    bool changed = false;
    for (int n = 1; n <= kDeviceSlots; n++) {
        if (!g_devices[n][0])
            continue;
        in_addr_t address = inet_addr(g_devices[n]);
        bool allowed = address == INADDR_NONE; // never reaches the wire
        for (in_addr_t own : ours)
            allowed = allowed || address == own;
        if (!allowed) {
            // From the file too: a restart reads the slots again.
            g_devices[n][0] = 0;
            changed = true;
            char key[32];
            snprintf(key, sizeof key, "lifx.device%d:", n);
            WriteString(g_settingsPath, key, "");
        }
    }
    if (changed)
        UpdateAnyDeviceConfigured();
}

void DrainLights()
{
    for (int i = 0; i < 100 && EmulatorPoll(emulator, 0) > 0; i++) {
    }
    for (int n = 0; n < emulator.lightCount; n++)
        FUZZ_CHECK(emulator.lights[n].malformed == 0);
    EmulatorResetLights(emulator);
}

LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
{
    return SendMessageA(g_pluginWindow, message, wParam, lParam);
}

bool Start()
{
    return beginPlugin(nullptr) == 0;
}

void Stop()
{
    // Nothing the plug-in stores may be contacted on its way out either.
    KeepOnlyOurLights();
    endPlugin(nullptr);
}

void RunEvent(const std::string &line, bool &started)
{
    switch (line.size() > 1 ? line[1] : 0) {
    case 't': {
        long ms = atol(line.c_str() + 2);
        platform::AdvanceClock((uint64_t)(ms < 0 ? 0 : ms > kMaxAdvanceMs ? kMaxAdvanceMs : ms));
        break;
    }
    case 's':
        Send(WM_POWERBROADCAST, PBT_APMSUSPEND);
        break;
    case 'r':
        Send(WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC);
        break;
    case 'u':
        Send(WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK);
        break;
    case 'l':
        Send(WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK);
        break;
    case 'c':
        Send(HostMsgStyleChange);
        break;
    case 'g':
        Send(HostMsgReconfigure);
        break;
    case 'm':
        Send(WM_USER, 0, WM_RBUTTONUP);
        break;
    case 'b':
        Send(g_taskbarCreatedMessage);
        break;
    case 'x':
        Stop();
        started = Start();
        break;
    case 'w':
        testhost::LoseHostWindow(true);
        break;
    case 'W':
        testhost::LoseHostWindow(false);
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    TestLoopbackAddresses(addresses, kDeviceSlots);
    const char *list[kDeviceSlots];
    for (int n = 0; n < kDeviceSlots; n++) {
        list[n] = addresses[n];
        ours[n] = inet_addr(addresses[n]);
    }
    char error[256] = "";
    if (!EmulatorStart(emulator, list, kDeviceSlots, error, sizeof error)) {
        fprintf(stderr, "emulated lights: %s\n", error);
        FuzzFail("cannot start the emulated lights");
    }
    FuzzWriteFile(FuzzFolder() + "style.rc", kStyle, sizeof kStyle - 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    uint8_t flags = size > 0 ? data[0] : 0;
    uint8_t choice = size > 1 ? data[1] : 0;
    size_t at = size < 2 ? size : 2;

    FuzzResetAll();
    // "Discover" broadcasts, and searches ranges anywhere: the network guard
    // refuses all that, and nothing leaves.
    platform::SetInterfaces({{"192.168.77.5", 24, true, false}});
    platform::RecordRefusedDestinations(true, false);
    if (flags & 0x80)
        testhost::SetVersion("Other shell 2.0");
    testhost::SetStylePath((FuzzFolder() + "style.rc").c_str());
    std::string settings = StartSettings(flags, choice);
    FuzzWriteFile(FuzzSettingsPath(), settings.data(), settings.size());

    bool started = Start();
    FUZZ_CHECK(started);
    for (int lines = 0; at < size && lines < kMaxLines; lines++) {
        const uint8_t *end = (const uint8_t *)memchr(data + at, '\n', size - at);
        size_t length = end ? (size_t)(end - (data + at)) : size - at;
        std::string line((const char *)data + at, length);
        at += length + 1;
        if (!started)
            break;
        // "{N}" stands for emulated light N's address.
        for (int n = kDeviceSlots; n >= 1; n--) {
            std::string mark = "{" + std::to_string(n) + "}";
            for (size_t found; (found = line.find(mark)) != std::string::npos;)
                line.replace(found, mark.size(), addresses[n - 1]);
        }
        if (!line.empty() && line[0] == '!')
            RunEvent(line, started);
        else
            Send(HostMsgCommand, 0, (LPARAM)line.c_str());
        KeepOnlyOurLights();
        DrainLights();
    }
    if (started)
        Stop();
    DrainLights();

    platform::NetStats net = platform::GetNetStats();
    FUZZ_CHECK(net.socketsCreated == net.socketsClosed);
    FUZZ_CHECK(platform::WsaStartupsOutstanding() == 0);
    FUZZ_CHECK(platform::RunningTimers() == 0);
    FUZZ_CHECK(testhost::LiveMenus() <= 1);
    return 0;
}
