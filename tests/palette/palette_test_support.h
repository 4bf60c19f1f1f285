// Shared by the palette tests: style files written into the test's folder
// and colour words spelled the way the settings file spells them.
#pragma once

#include <stdint.h>
#include <stdlib.h>

#include <string>

#include "palette/palette.h"
#include "settings/settings.h"
#include "tests/support/plugin_fixture.h"

// "#rrggbb" as the palette stores it: red in the low byte.
inline uint32_t Word(const char *hex)
{
    unsigned long rgb = strtoul(hex + 1, nullptr, 16);
    return (uint32_t)(((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16));
}

class PaletteTest : public PluginTest
{
  protected:
    // Writes a style file into the test's folder and returns its path.
    std::string WriteStyle(const std::string &name, const std::string &content)
    {
        std::string path = Folder() + name;
        WriteFileBytes(path, content);
        return path;
    }
    // Writes the style file and makes it the host's current style.
    std::string UseStyle(const std::string &content)
    {
        std::string path = WriteStyle("current.style", content);
        testhost::SetStylePath(path.c_str());
        return path;
    }
    void Refresh(int scheme)
    {
        g_settings.scheme = scheme;
        RefreshPalette();
    }
    uint32_t Entry(int n) const { return g_palette.entries[n]; }
};
