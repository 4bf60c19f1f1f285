// Settings file contents through LoadSettings, then the menu that shows them.
// Loading must keep every value within its range, every slot within its
// buffer, and must never write the file.
#include <string.h>

#include <string>

#include "commands/commands.h"
#include "palette/palette.h"
#include "settings/settings.h"
#include "testhost/testhost.h"
#include "tests/fuzz/fuzz_support.h"

namespace
{

bool KnownScheme(int id)
{
    static const int kIds[] = {SchemeManual, SchemeWarm,  SchemeCold,  SchemeStyle,
                               SchemeFire,   SchemeOcean, SchemeWoods, SchemeSpooky,
                               SchemeUser1,  SchemeUser2, SchemeUser3};
    for (int known : kIds) {
        if (id == known)
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzResetAll();
    std::string path = FuzzSettingsPath();
    FuzzWriteFile(path, data, size);

    LoadSettings();

    FUZZ_CHECK(path == g_settingsPath);
    FUZZ_CHECK(g_settings.calibrationRed >= 0 && g_settings.calibrationRed <= 100);
    FUZZ_CHECK(g_settings.calibrationGreen >= 0 && g_settings.calibrationGreen <= 100);
    FUZZ_CHECK(g_settings.calibrationBlue >= 0 && g_settings.calibrationBlue <= 100);
    FUZZ_CHECK(g_settings.cycleInterval >= 1 && g_settings.cycleInterval <= 10);
    FUZZ_CHECK(g_settings.movementSpeed >= 1 && g_settings.movementSpeed <= 60);
    FUZZ_CHECK(KnownScheme(g_settings.scheme));
    bool any = false;
    for (int n = 1; n <= kDeviceSlots; n++) {
        FUZZ_CHECK(memchr(g_devices[n], 0, kDeviceTextSize) != nullptr);
        FUZZ_CHECK(strlen(g_deviceLabels[n]) <= kLabelBytes);
        any = any || g_devices[n][0];
    }
    FUZZ_CHECK(any == g_anyDeviceConfigured);
    FUZZ_CHECK(g_devices[0][0] == 0);

    // The menu shows the slot texts verbatim.
    ShowPluginMenu();
    FUZZ_CHECK(testhost::LiveMenus() == 1);
    FUZZ_CHECK(testhost::ShownMenus().size() == 1);
    // A light's label stays on its entry's line, in the menu's bytes.
    for (const testhost::MenuEntry &entry :
         testhost::ShownMenus()[0].entries[0].submenu[0].entries) {
        for (char c : entry.label)
            FUZZ_CHECK((unsigned char)c >= 0x20);
    }

    std::string after = FuzzReadFile(path);
    FUZZ_CHECK(after.size() == size && (size == 0 || memcmp(after.data(), data, size) == 0));
    return 0;
}
