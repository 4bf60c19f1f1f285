#include "bench/plugin_harness.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <filesystem>
#include <string>

#include "palette/palette.h"
#include "platform/control_linux.h"
#include "plugin/plugin.h"
#include "testhost/testhost.h"

static std::string g_folder;

bool StartBenchPlugin(const Receivers &receivers, char *error, size_t errorSize)
{
    // In memory where there is such a place: a settings write replaces the
    // file, and on a disk the rename waits for it, which would be timed as
    // the plug-in's.
    char inMemory[] = "/dev/shm/chromalet-bench-XXXXXX";
    char onDisk[] = "/tmp/chromalet-bench-XXXXXX";
    const char *made = mkdtemp(inMemory);
    if (!made)
        made = mkdtemp(onDisk);
    if (!made) {
        snprintf(error, errorSize, "cannot make a folder under /dev/shm or /tmp");
        return false;
    }
    g_folder = std::string(made) + "/";

    platform::Reset();
    platform::UseManualClock(true);
    testhost::Reset();
    platform::SetModuleFileName((g_folder + "Chromalet-LIFX.dll").c_str());

    std::string settings;
    for (int n = 1; n <= kBenchLights; n++)
        settings += "lifx.device" + std::to_string(n) + ": " + receivers.addresses[n - 1] + "\r\n";
    // Strips of known length: the receivers would never answer the
    // question of how many zones they have, and no call is to carry one.
    settings += "lifx.device9.zones: 82\r\nlifx.device10.zones: 82\r\n";
    settings += "lifx.calibration.red: 80\r\n"
                "lifx.calibration.green: 100\r\n"
                "lifx.calibration.blue: 95\r\n"
                "lifx.color.scheme: Fire\r\n"
                "lifx.cycle.colors: true\r\n"
                "lifx.cycle.interval: 2\r\n"
                "lifx.move.effect: false\r\n"
                "lifx.auto.power: false\r\n"
                "lifx.debug: false\r\n";
    std::string path = g_folder + "Chromalet-LIFX.rc";
    FILE *file = fopen(path.c_str(), "wb");
    if (!file) {
        snprintf(error, errorSize, "cannot write %s", path.c_str());
        return false;
    }
    fwrite(settings.data(), 1, settings.size(), file);
    fclose(file);

    if (beginPlugin(nullptr) != 0) {
        snprintf(error, errorSize, "beginPlugin failed");
        return false;
    }
    return true;
}

void StopBenchPlugin()
{
    endPlugin(nullptr);
    platform::SetModuleFileName("");
    std::error_code ignored;
    if (g_folder.find("/chromalet-bench-") != std::string::npos)
        std::filesystem::remove_all(g_folder, ignored);
}

void FillDistinctPalette()
{
    // A fixed sequence, the same in every run.
    uint32_t state = 0x2545F491u;
    for (int n = 1; n < kPaletteEntries; n++) {
        uint32_t colour;
        do {
            state = state * 1664525u + 1013904223u;
            colour = (state >> 8) & 0xFFFFFF;
        } while ((colour & 0xFF) == ((colour >> 8) & 0xFF) &&
                 ((colour >> 8) & 0xFF) == (colour >> 16));
        g_palette.entries[n] = colour;
    }
    g_palette.offset = 1;
}
