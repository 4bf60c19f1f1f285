#include "tests/plugin/plugin_test_support.h"

#include "host/vesk.h"
#include "plugin/plugin.h"

void StartedPluginTest::TearDown()
{
    if (started)
        Stop();
    LightsTest::TearDown();
}

void StartedPluginTest::Start(const std::string &settings, int expectedResult)
{
    std::string text = settings;
    for (int n = 10; n >= 1; n--) {
        std::string mark = "{" + std::to_string(n) + "}";
        for (size_t at; (at = text.find(mark)) != std::string::npos;)
            text.replace(at, mark.size(), Address(n));
    }
    WriteSettings(text);
    ASSERT_EQ(beginPlugin(nullptr), expectedResult);
    started = expectedResult == 0;
}

void StartedPluginTest::Stop()
{
    EXPECT_NE(endPlugin(nullptr), 0);
    started = false;
}

LRESULT StartedPluginTest::Send(UINT message, WPARAM wParam, LPARAM lParam)
{
    return SendMessageA(g_pluginWindow, message, wParam, lParam);
}

bool StartedPluginTest::CycleTimerRunning(UINT *period)
{
    return platform::TimerRunning(g_pluginWindow, CycleTimer, period);
}

bool StartedPluginTest::PowerOnTimerRunning(UINT *period)
{
    return platform::TimerRunning(g_pluginWindow, PowerOnTimer, period);
}

int StartedPluginTest::TotalDatagrams()
{
    Drain();
    int total = 0;
    for (int n = 1; n <= 10; n++)
        total += (int)Light(n).received.size();
    return total;
}

void HandleCommandText(const char *text)
{
    SendMessageA(g_pluginWindow, HostMsgCommand, 0, (LPARAM)text);
}
