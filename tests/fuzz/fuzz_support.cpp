#include "tests/fuzz/fuzz_support.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <filesystem>

#include "commands/commands.h"
#include "lifx/delivery.h"
#include "lifx/discovery.h"
#include "lifx/light_socket.h"
#include "palette/palette.h"
#include "platform/control_linux.h"
#include "plugin/plugin.h"
#include "settings/settings.h"
#include "testhost/testhost.h"

// A smaller quarantine than the default keeps the memory of a long run, and
// the page faults of every allocation, down.
extern "C" const char *__asan_default_options()
{
    return "quarantine_size_mb=32";
}

static std::string folder;

static void RemoveFolder()
{
    std::error_code ignored;
    if (folder.find("/chromalet-fuzz-") != std::string::npos)
        std::filesystem::remove_all(folder, ignored);
}

const std::string &FuzzFolder()
{
    if (folder.empty()) {
        // In memory where there is such a place: every command that changes
        // a setting replaces the settings file, and a disk makes each
        // replacement wait for it.
        char inMemory[] = "/dev/shm/chromalet-fuzz-XXXXXX";
        char onDisk[] = "/tmp/chromalet-fuzz-XXXXXX";
        const char *made = mkdtemp(inMemory);
        if (!made)
            made = mkdtemp(onDisk);
        if (!made)
            FuzzFail("cannot make a scratch folder");
        folder = std::string(made) + "/";
        atexit(RemoveFolder);
    }
    return folder;
}

std::string FuzzSettingsPath()
{
    return FuzzFolder() + "Chromalet-LIFX.rc";
}

void FuzzWriteFile(const std::string &path, const void *data, size_t size)
{
    FILE *file = fopen(path.c_str(), "wb");
    if (!file)
        FuzzFail("cannot write a scratch file");
    if (size)
        fwrite(data, 1, size, file);
    fclose(file);
}

std::string FuzzReadFile(const std::string &path)
{
    std::string content;
    testhost::ReadWholeFile(path, content);
    return content;
}

void FuzzResetAll()
{
    // A discovery or a delivery left by the last input closes its socket
    // first.
    StopDiscovery();
    StopDelivery();
    CloseLightSocket();
    platform::Reset();
    platform::UseManualClock(true);
    testhost::Reset();
    g_settings =
        Settings{80, 100, 95, SchemeManual, false, 10, false, 10, false, false, false, 100};
    ClearDeviceTable();
    g_anyDeviceConfigured = false;
    g_pluginFolder[0] = 0;
    g_settingsPath[0] = 0;
    g_iconPath[0] = 0;
    memset(&g_palette, 0, sizeof g_palette);
    g_pluginWindow = nullptr;
    memset(&g_trayIcon, 0, sizeof g_trayIcon);
    g_taskbarCreatedMessage = 0;
    ForgetPluginMenu();
    platform::SetModuleFileName((FuzzFolder() + "Chromalet-LIFX.dll").c_str());
}

void FuzzFail(const char *what)
{
    fprintf(stderr, "\n*** fuzz check failed: %s ***\n", what);
    fflush(stderr);
    abort();
}

bool NextFuzzDatagram(const uint8_t *input, size_t size, size_t *at, FuzzDatagram *datagram)
{
    if (*at + 3 > size)
        return false;
    datagram->sender = input[*at];
    size_t length = input[*at + 1] | (size_t)input[*at + 2] << 8;
    *at += 3;
    if (length > size - *at)
        length = size - *at;
    datagram->data = input + *at;
    datagram->length = length;
    *at += length;
    return true;
}
