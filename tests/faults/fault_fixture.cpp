#include "tests/faults/fault_fixture.h"

#include <algorithm>

#include "host/vesk.h"
#include "plugin/plugin.h"
#include "settings/settings.h"

void FaultTest::TearDown()
{
    if (started)
        Stop();
    LightsTest::TearDown();
}

void FaultTest::Start(const std::string &settings)
{
    std::string text = "lifx.debug: true\r\n" + settings;
    for (int n = 10; n >= 1; n--) {
        std::string mark = "{" + std::to_string(n) + "}";
        for (size_t at; (at = text.find(mark)) != std::string::npos;)
            text.replace(at, mark.size(), Address(n));
    }
    // A later line of the same key would not be read: the test's own wins.
    if (settings.find("lifx.debug:") != std::string::npos)
        text.erase(0, text.find('\n') + 1);
    WriteSettings(text);
    ASSERT_EQ(beginPlugin(nullptr), 0);
    started = true;
    Forget();
}

void FaultTest::Stop()
{
    EXPECT_NE(endPlugin(nullptr), 0);
    started = false;
}

void FaultTest::Command(const std::string &text)
{
    Send(HostMsgCommand, 0, (LPARAM)text.c_str());
}

LRESULT FaultTest::Send(UINT message, WPARAM wParam, LPARAM lParam)
{
    return SendMessageA(g_pluginWindow, message, wParam, lParam);
}

bool FaultTest::Logged(const std::string &line)
{
    std::vector<std::string> lines = LogLines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::string FaultTest::DeviceError(const char *what, int n)
{
    return std::string("3 Chromalet-LIFX -> ") + what + " device #" + std::to_string(n) + " at " +
           Address(n) + " port 56700!";
}

void FaultTest::Forget()
{
    ResetLights();
    testhost::ClearRecords();
}
