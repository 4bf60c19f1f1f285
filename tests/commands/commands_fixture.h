// What the command and menu tests share: the plug-in started on a settings
// file the test wrote, emulated lights in the device slots, and helpers that
// tell what changed in the file, on the lights and in the host.
#pragma once

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/lights_fixture.h"

// One settings line: the key, colon included, and its value.
using SettingLine = std::pair<std::string, std::string>;

// The content of a newly created settings file.
std::string DefaultSettings();
// content with the first line that begins with key replaced by "key value",
// as the host's writer leaves it; a key that no line begins with is appended.
std::string WithLine(const std::string &content, const std::string &key, const std::string &value);
std::string WithLines(std::string content, const std::vector<SettingLine> &lines);
// The number of lines that begin with key (after blanks), ignoring case:
// the lines the host's readers would take for the key.
int CountKeyLines(const std::string &content, const std::string &key);
// The settings key of device slot n.
std::string DeviceKey(int n);

class CommandTest : public LightsTest
{
  protected:
    void TearDown() override;

    // Writes the default settings file changed by lines, starts the plug-in
    // on it and forgets what the start did.
    void Start(const std::vector<SettingLine> &lines = {});
    void StartWithContent(const std::string &content);
    // Starts the plug-in in a folder without a settings file.
    void StartWithoutFile();
    // Ends the plug-in, first emptying the device table so that no stored
    // address is ever contacted on the way out.
    void Stop();

    // The settings lines that put emulated light n into slot n.
    std::vector<SettingLine> LightLines(std::initializer_list<int> slots);

    // Forgets what the host, the platform and the lights recorded so far and
    // remembers the settings file as it is now.
    void Forget();
    // A command as the host delivers it, through the plug-in's window.
    void Send(const std::string &text);
    // A command handed straight to the interpreter.
    void Run(const std::string &text);

    std::string FileNow() const { return ReadFileBytes(SettingsPath()); }
    // The file is as remembered but for key's line, now "key value".
    void ExpectLineWritten(const std::string &key, const std::string &value);
    void ExpectFileUnchanged();
    // The period of CycleTimer on the plug-in window; 0 when it is not running.
    unsigned CycleTimerPeriod();
    // Datagrams that reached any of the ten lights.
    int DatagramsReceived();

    std::string before;

  private:
    void Begin();
};
