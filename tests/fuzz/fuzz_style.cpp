// Style files through the Style scheme, and the plug-in's settings file
// through the user schemes: RefreshPalette reads whatever the file holds.
//
// The input's first byte chooses the scheme (bits 0-1: Style, User1, User2,
// User3), the debug flag (bit 2) and whether the host's version names
// "vesk" (bit 3 clear) or not; the rest is the file.
#include <string.h>

#include <string>

#include "palette/palette.h"
#include "settings/settings.h"
#include "testhost/testhost.h"
#include "tests/fuzz/fuzz_support.h"

namespace
{

const int kSchemes[] = {SchemeStyle, SchemeUser1, SchemeUser2, SchemeUser3};

// Never 0, so that entry 0 tells a cleared palette from black colours.
uint32_t Marker(int n)
{
    return (uint32_t)((n + 1) * 0x010203) & 0xFFFFFF;
}

// Entries 1 to 128 repeat with the period of one of the four kinds.
bool LaidOutThereAndBack()
{
    static const int kPeriods[] = {1, 2, 6, 14};
    for (int period : kPeriods) {
        bool repeats = true;
        for (int n = 1; n + period < kPaletteEntries && repeats; n++)
            repeats = g_palette.entries[n] == g_palette.entries[n + period];
        if (repeats)
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    uint8_t mode = size > 0 ? data[0] : 0;
    const uint8_t *file = size > 0 ? data + 1 : data;
    size_t fileSize = size > 0 ? size - 1 : 0;

    FuzzResetAll();
    int scheme = kSchemes[mode & 3];
    g_settings.scheme = scheme;
    g_settings.debug = (mode & 4) != 0;
    if (mode & 8)
        testhost::SetVersion("Othershell 2.0");
    std::string settingsPath = FuzzSettingsPath();
    snprintf(g_settingsPath, sizeof g_settingsPath, "%s", settingsPath.c_str());
    std::string stylePath = FuzzFolder() + "style.rc";
    testhost::SetStylePath(stylePath.c_str());
    if (scheme == SchemeStyle) {
        FuzzWriteFile(stylePath, file, fileSize);
        FuzzWriteFile(settingsPath, "", 0);
    } else {
        FuzzWriteFile(settingsPath, file, fileSize);
        FuzzWriteFile(stylePath, "", 0);
    }
    for (int n = 0; n < kPaletteEntries; n++)
        g_palette.entries[n] = Marker(n);
    g_palette.offset = 5;

    RefreshPalette();

    FUZZ_CHECK(g_palette.offset == 1);
    bool cleared = true;
    for (int n = 0; n < kPaletteEntries; n++) {
        FUZZ_CHECK((g_palette.entries[n] >> 24) == 0);
        cleared = cleared && g_palette.entries[n] == 0;
    }
    if (!cleared) {
        FUZZ_CHECK(g_palette.entries[0] == Marker(0));
        FUZZ_CHECK(LaidOutThereAndBack());
    }
    // A user item is always taken.
    FUZZ_CHECK(scheme == SchemeStyle || !cleared);
    // One line for the item taken, and only with debug on.
    size_t logs = testhost::Logs().size();
    FUZZ_CHECK(logs == (g_settings.debug && !cleared ? 1u : 0u));
    return 0;
}
