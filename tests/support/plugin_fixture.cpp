#include "tests/support/plugin_fixture.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <filesystem>

#include "commands/commands.h"
#include "commands/timers.h"
#include "lifx/zone_query.h"
#include "palette/palette.h"
#include "plugin/plugin.h"
#include "settings/settings.h"
#include "testhost/testhost.h"

std::string ReadFileBytes(const std::string &path)
{
    std::string content;
    testhost::ReadWholeFile(path, content);
    return content;
}

void WriteFileBytes(const std::string &path, const std::string &content)
{
    FILE *file = fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    fwrite(content.data(), 1, content.size(), file);
    fclose(file);
}

bool PathExists(const std::string &path)
{
    return std::filesystem::exists(path);
}

TempFolder::TempFolder()
{
    char pattern[] = "/tmp/chromalet-test-XXXXXX";
    const char *made = mkdtemp(pattern);
    path = std::string(made ? made : "/tmp") + "/";
}

TempFolder::~TempFolder()
{
    std::error_code ignored;
    if (path.rfind("/tmp/chromalet-test-", 0) == 0)
        std::filesystem::remove_all(path, ignored);
}

void ResetPluginState()
{
    g_settings =
        Settings{80, 100, 95, SchemeManual, false, 10, false, 10, false, false, false, 100};
    ClearDeviceTable();
    g_anyDeviceConfigured = false;
    g_pluginFolder[0] = 0;
    g_settingsPath[0] = 0;
    g_iconPath[0] = 0;
    memset(&g_palette, 0, sizeof g_palette);
    // Nothing left waiting for a light from before.
    StopAnswers();
    g_pluginWindow = nullptr;
    memset(&g_trayIcon, 0, sizeof g_trayIcon);
    g_taskbarCreatedMessage = 0;
    ForgetPluginMenu();
    StopZoneQuery();
    ForgetZoneQueries();
}

std::vector<std::string> LogLines()
{
    std::vector<std::string> lines;
    for (const testhost::LogLine &line : testhost::Logs())
        lines.push_back(std::to_string(line.level) + " " + line.text);
    return lines;
}

void PluginTest::SetUp()
{
    platform::Reset();
    platform::UseManualClock(true);
    testhost::Reset();
    ResetPluginState();
    platform::SetModuleFileName((folder.path + "Chromalet-LIFX.dll").c_str());
}

void PluginTest::TearDown()
{
    StopAnswers();
    platform::SetModuleFileName("");
}

void PluginTest::WriteSettings(const std::string &content)
{
    WriteFileBytes(SettingsPath(), content);
}
