#include "tests/commands/commands_fixture.h"

#include <stdio.h>
#include <strings.h>

#include "commands/commands.h"
#include "plugin/plugin.h"
#include "settings/settings.h"

std::string DefaultSettings()
{
    return std::string(kDefaultSettingsFile, kDefaultSettingsFileSize);
}

// Calls visit(start, end) for each line of content, end before its CR LF.
template <typename Visit> static void ForEachLine(const std::string &content, Visit visit)
{
    size_t at = 0;
    while (at < content.size()) {
        size_t lf = content.find('\n', at);
        size_t end = lf == std::string::npos ? content.size() : lf;
        if (end > at && content[end - 1] == '\r')
            end--;
        if (!visit(at, end) || lf == std::string::npos)
            return;
        at = lf + 1;
    }
}

// Whether the line [start, end) begins with key after blanks, ignoring case.
static bool BeginsWithKey(const std::string &content, size_t start, size_t end,
                          const std::string &key)
{
    while (start < end && (content[start] == ' ' || content[start] == '\t'))
        start++;
    return end - start >= key.size() &&
           strncasecmp(content.c_str() + start, key.c_str(), key.size()) == 0;
}

std::string WithLine(const std::string &content, const std::string &key, const std::string &value)
{
    std::string result = content;
    bool found = false;
    ForEachLine(content, [&](size_t start, size_t end) {
        if (!BeginsWithKey(content, start, end, key))
            return true;
        result.replace(start, end - start, key + " " + value);
        found = true;
        return false;
    });
    if (!found)
        result += key + " " + value + "\r\n";
    return result;
}

std::string WithLines(std::string content, const std::vector<SettingLine> &lines)
{
    for (const SettingLine &line : lines)
        content = WithLine(content, line.first, line.second);
    return content;
}

int CountKeyLines(const std::string &content, const std::string &key)
{
    int count = 0;
    ForEachLine(content, [&](size_t start, size_t end) {
        count += BeginsWithKey(content, start, end, key) ? 1 : 0;
        return true;
    });
    return count;
}

std::string DeviceKey(int n)
{
    return "lifx.device" + std::to_string(n) + ":";
}

void CommandTest::TearDown()
{
    Stop();
    LightsTest::TearDown();
}

void CommandTest::Stop()
{
    ClearDeviceTable();
    UpdateAnyDeviceConfigured();
    if (g_pluginWindow)
        endPlugin(nullptr);
}

void CommandTest::Begin()
{
    Stop();
    platform::Reset();
    platform::UseManualClock(true);
    testhost::Reset();
    ResetPluginState();
    ASSERT_EQ(beginPlugin(nullptr), 0);
    ASSERT_NE(g_pluginWindow, nullptr);
    Drain();
    Forget();
}

void CommandTest::Start(const std::vector<SettingLine> &lines)
{
    StartWithContent(WithLines(DefaultSettings(), lines));
}

void CommandTest::StartWithContent(const std::string &content)
{
    WriteSettings(content);
    Begin();
}

void CommandTest::StartWithoutFile()
{
    remove(SettingsPath().c_str());
    Begin();
}

std::vector<SettingLine> CommandTest::LightLines(std::initializer_list<int> slots)
{
    std::vector<SettingLine> lines;
    for (int n : slots)
        lines.push_back({DeviceKey(n), Address(n)});
    return lines;
}

void CommandTest::Forget()
{
    testhost::ClearRecords();
    EmulatorResetLights(emulator);
    before = FileNow();
}

void CommandTest::Send(const std::string &text)
{
    ASSERT_NE(g_pluginWindow, nullptr);
    EXPECT_EQ(SendMessageA(g_pluginWindow, HostMsgCommand, 0, (LPARAM)text.c_str()), 0);
    Drain();
}

void CommandTest::Run(const std::string &text)
{
    EXPECT_EQ(HandleCommand(text.c_str()), 0);
    Drain();
}

void CommandTest::ExpectLineWritten(const std::string &key, const std::string &value)
{
    EXPECT_EQ(FileNow(), WithLine(before, key, value)) << "only " << key << " changes";
}

void CommandTest::ExpectFileUnchanged()
{
    EXPECT_EQ(FileNow(), before) << "nothing written";
}

unsigned CommandTest::CycleTimerPeriod()
{
    UINT period = 0;
    if (!platform::TimerRunning(g_pluginWindow, CycleTimer, &period))
        return 0;
    return period;
}

int CommandTest::DatagramsReceived()
{
    int total = 0;
    for (int n = 1; n <= 10; n++)
        total += (int)Light(n).received.size();
    return total;
}
