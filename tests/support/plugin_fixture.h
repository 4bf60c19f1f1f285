// What most tests share: a temporary plug-in folder, a clean stand-in host
// and platform, and the plug-in's process-wide state as after loading.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/control_linux.h"
#include "testhost/testhost.h"

std::string ReadFileBytes(const std::string &path);
void WriteFileBytes(const std::string &path, const std::string &content);
bool PathExists(const std::string &path);

// A folder of its own under /tmp, removed with everything in it.
struct TempFolder {
    TempFolder();
    ~TempFolder();
    std::string path; // ends in '/'
};

// The plug-in's process-wide state as when the library was just loaded.
void ResetPluginState();

// The host's log lines as "level text" strings.
std::vector<std::string> LogLines();

class PluginTest : public ::testing::Test
{
  protected:
    void SetUp() override;
    void TearDown() override;
    // The plug-in's folder: the module file name is pointed into it.
    std::string Folder() const { return folder.path; }
    std::string SettingsPath() const { return folder.path + "Chromalet-LIFX.rc"; }
    // Writes the settings file into the plug-in folder.
    void WriteSettings(const std::string &content);
    TempFolder folder;
};
