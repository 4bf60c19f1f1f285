// The settings file going wrong under a running plug-in: replaced by a
// folder, its folder removed, never created, or its path at the limit of
// what the plug-in can hold and beyond. Commands go on acting on the lights
// and in memory, nothing crashes, and no file is written anywhere else or
// left half-written; once the file is back, writes change only their key.
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "lifx/messages.h"
#include "palette/palette.h"
#include "platform/control_linux.h"
#include "plugin/plugin.h"
#include "settings/settings.h"
#include "tests/faults/fault_fixture.h"

namespace
{

const std::string kSettings = "lifx.device1: {1}\r\n"
                              "lifx.device2: {2}\r\n"
                              "lifx.calibration.red: 80\r\n"
                              "lifx.calibration.green: 100\r\n"
                              "lifx.color.scheme: Fire\r\n"
                              "lifx.cycle.colors: false\r\n"
                              "lifx.cycle.interval: 10\r\n"
                              "\r\n"
                              "user1.color1: #ff0000\r\n";

// Names in a folder, sorted; empty when the folder does not exist.
std::vector<std::string> Entries(const std::string &folder)
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto &entry : std::filesystem::directory_iterator(folder, error))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// content with the line that begins with key made "key value".
std::string WithLine(std::string content, const std::string &key, const std::string &value)
{
    size_t at = content.find(key);
    if (at == std::string::npos)
        return content + key + " " + value + "\r\n";
    size_t end = content.find("\r\n", at);
    return content.replace(at, end - at, key + " " + value);
}

// Commands of every verb that writes a key, and some that do not.
const std::vector<std::string> kWritingCommands = {
    "@LIFX Scheme Ocean",      "@LIFX Calibration R 50",    "@LIFX Calibration G 60",
    "@LIFX Calibration B 70",  "@LIFX Toggle Cycle Colors", "@LIFX Cycle Interval 3",
    "@LIFX Movement Speed 5",  "@LIFX Toggle Move Effect",  "@LIFX Toggle Move Direction",
    "@LIFX Toggle Auto Power", "@LIFX Device #1",           "@LIFX Edit Devices",
    "@LIFX Show Menu",
};

class SettingsFileFaultTest : public FaultTest
{
  protected:
    void RunWritingCommands()
    {
        for (const std::string &command : kWritingCommands)
            Command(command);
        Command("@LIFX Device #3 " + std::string(Address(3)));
    }
    // What the commands above leave in memory, as the menu shows it.
    void ExpectValuesInMemory()
    {
        EXPECT_EQ(g_settings.scheme, SchemeOcean);
        EXPECT_EQ(g_settings.calibrationRed, 50);
        EXPECT_EQ(g_settings.calibrationGreen, 60);
        EXPECT_EQ(g_settings.calibrationBlue, 70);
        EXPECT_TRUE(g_settings.cycleColours);
        EXPECT_EQ(g_settings.cycleInterval, 3);
        EXPECT_EQ(g_settings.movementSpeed, 5);
        EXPECT_TRUE(g_settings.moveEffect);
        EXPECT_TRUE(g_settings.reverseDirection);
        EXPECT_TRUE(g_settings.autoPower);
        EXPECT_STREQ(g_devices[1], "");
        EXPECT_STREQ(g_devices[3], Address(3));
        EXPECT_EQ(testhost::ShownMenus().size(), 1u);
    }
};

TEST_F(SettingsFileFaultTest, FileReplacedByAFolderMidRunCommandsGoOnAndNothingIsWritten)
{
    Start(kSettings);
    std::string original = ReadFileBytes(SettingsPath());
    ASSERT_TRUE(std::filesystem::remove(SettingsPath()));
    ASSERT_EQ(mkdir(SettingsPath().c_str(), 0755), 0);
    std::vector<std::string> entriesBefore = Entries(Folder());

    RunWritingCommands();
    Drain();

    ExpectValuesInMemory();
    EXPECT_TRUE(std::filesystem::is_directory(SettingsPath()));
    EXPECT_TRUE(Entries(SettingsPath()).empty());
    EXPECT_EQ(Entries(Folder()), entriesBefore) << "no stray or temporary file";
    EXPECT_TRUE(testhost::Executions().empty()) << "no file to open";
    EXPECT_FALSE(Types(2).empty()) << "the scheme still reached the lights";

    // The file comes back: a write changes its own key and nothing else.
    std::filesystem::remove(SettingsPath());
    WriteSettings(original);
    Command("@LIFX Cycle Interval 7");
    EXPECT_EQ(ReadFileBytes(SettingsPath()), WithLine(original, "lifx.cycle.interval:", "7"));
}

TEST_F(SettingsFileFaultTest, FolderRemovedMidRunCommandsGoOnAndNothingIsRecreated)
{
    Start(kSettings);
    std::string original = ReadFileBytes(SettingsPath());
    std::filesystem::remove_all(Folder());

    RunWritingCommands();
    Drain();

    ExpectValuesInMemory();
    EXPECT_FALSE(PathExists(Folder()));
    EXPECT_FALSE(Types(2).empty());

    ASSERT_EQ(mkdir(Folder().c_str(), 0755), 0);
    WriteSettings(original);
    Command("@LIFX Scheme Woods");
    EXPECT_EQ(ReadFileBytes(SettingsPath()), WithLine(original, "lifx.color.scheme:", "Woods"));
    EXPECT_EQ(Entries(Folder()), std::vector<std::string>{"Chromalet-LIFX.rc"});
}

TEST_F(SettingsFileFaultTest, FileThatCouldNotBeCreatedIsWrittenKeyByKeyAndReadAtTheNextStart)
{
    platform::InjectFault(platform::FaultCreateFile);
    ASSERT_EQ(beginPlugin(nullptr), 0);
    started = true;
    EXPECT_FALSE(PathExists(SettingsPath()));

    Command("@LIFX Scheme fire");
    Command("@LIFX Cycle Interval 4");
    Command("@LIFX Scheme Fire");
    EXPECT_EQ(ReadFileBytes(SettingsPath()),
              "lifx.color.scheme: Fire\r\nlifx.cycle.interval: 4\r\n");

    Stop();
    ASSERT_EQ(beginPlugin(nullptr), 0);
    started = true;
    EXPECT_EQ(g_settings.scheme, SchemeFire);
    EXPECT_EQ(g_settings.cycleInterval, 4);
    EXPECT_EQ(g_settings.calibrationRed, 80) << "every other key has its default";
}

TEST_F(SettingsFileFaultTest, AFileThatCannotBeCreatedOrWrittenIsNamedOncePerStart)
{
    const std::string line = "3 Chromalet-LIFX -> Could not write the settings file " +
                             SettingsPath() +
                             "! Settings changed now are lost when the plug-in "
                             "stops.";
    auto times = [&] {
        std::vector<std::string> lines = LogLines();
        return std::count(lines.begin(), lines.end(), line);
    };
    platform::InjectFault(platform::FaultCreateFile);
    ASSERT_EQ(beginPlugin(nullptr), 0);
    started = true;
    EXPECT_EQ(times(), 1) << "not created";
    Stop();

    Start(kSettings);
    ASSERT_TRUE(std::filesystem::remove(SettingsPath()));
    ASSERT_EQ(mkdir(SettingsPath().c_str(), 0755), 0);
    RunWritingCommands();
    EXPECT_EQ(times(), 1) << "writes failed";
}

class SettingsPathLimitTest : public SettingsFileFaultTest
{
  protected:
    // A plug-in folder whose settings path is `length` characters long.
    std::string PluginFolderFor(size_t length)
    {
        std::string folder = Folder();
        std::string sub(length - 17 - folder.size() - 1, 'p');
        std::string pluginFolder = folder + sub + "/";
        EXPECT_EQ(pluginFolder.size() + 17, length);
        EXPECT_EQ(mkdir(pluginFolder.c_str(), 0755), 0);
        platform::SetModuleFileName((pluginFolder + "Chromalet-LIFX.dll").c_str());
        return pluginFolder;
    }
};

TEST_F(SettingsPathLimitTest, SettingsPathOf259CharactersIsWrittenAtRunTime)
{
    std::string pluginFolder = PluginFolderFor(259);
    std::string path = pluginFolder + "Chromalet-LIFX.rc";
    std::string content = kSettings;
    for (int n : {1, 2})
        content.replace(content.find("{" + std::to_string(n) + "}"), 3, Address(n));
    WriteFileBytes(path, content);
    ASSERT_EQ(beginPlugin(nullptr), 0);
    started = true;

    Command("@LIFX Scheme Woods");
    Command("@LIFX Calibration G 42");
    Command("@LIFX Edit Devices");

    EXPECT_EQ(ReadFileBytes(path), WithLine(WithLine(content, "lifx.color.scheme:", "Woods"),
                                            "lifx.calibration.green:", "42"));
    ASSERT_EQ(testhost::Executions().size(), 1u);
    EXPECT_EQ(testhost::Executions()[0].target, path);
    EXPECT_EQ(Entries(pluginFolder), std::vector<std::string>{"Chromalet-LIFX.rc"});
}

TEST_F(SettingsPathLimitTest, SettingsPathBeyond259CharactersIsNeverWrittenAndCommandsStillAct)
{
    std::string pluginFolder = PluginFolderFor(260);
    std::string stylePath = Folder() + "style.rc";
    WriteFileBytes(stylePath, "user1.color1: #123456\r\n");
    testhost::SetStylePath(stylePath.c_str());
    ASSERT_EQ(beginPlugin(nullptr), 0);
    started = true;

    Command("@LIFX Device #2 " + std::string(Address(2)));
    Command("@LIFX Calibration R 10");
    Command("@LIFX Toggle Auto Power");
    Command("@LIFX Scheme Fire");
    Command("@LIFX Edit Devices");
    Drain();
    ASSERT_EQ(Types(2), (std::vector<int>{kTypeSetLightPower, kTypeSetColor}));
    Hsbk fire = Light(2).colour;

    // A user scheme has no file to read: the lights keep the palette they had.
    Forget();
    Command("@LIFX Scheme User1");
    Drain();
    ASSERT_EQ(Types(2), (std::vector<int>{kTypeSetLightPower, kTypeSetColor}));
    EXPECT_EQ(Light(2).colour.hue, fire.hue);
    EXPECT_EQ(Light(2).colour.brightness, fire.brightness);

    EXPECT_EQ(g_settings.calibrationRed, 10);
    EXPECT_TRUE(g_settings.autoPower);
    EXPECT_TRUE(Entries(pluginFolder).empty()) << "nothing is created in the plug-in folder";
    EXPECT_EQ(ReadFileBytes(stylePath), "user1.color1: #123456\r\n") << "nor in the style";
    EXPECT_TRUE(testhost::Executions().empty());
}

TEST_F(SettingsPathLimitTest, SettingsFoundByTheHostAtThe259CharacterLimitAreWrittenThere)
{
    std::string hostFolder = Folder() + std::string(259 - 17 - Folder().size() - 1, 'h') + "/";
    ASSERT_EQ(hostFolder.size() + 17, 259u);
    ASSERT_EQ(mkdir(hostFolder.c_str(), 0755), 0);
    std::string path = hostFolder + "Chromalet-LIFX.rc";
    WriteFileBytes(path, "lifx.color.scheme: Ocean\r\n");
    testhost::SetConfigFolder(hostFolder.c_str());
    ASSERT_EQ(beginPlugin(nullptr), 0);
    started = true;
    EXPECT_EQ(g_settings.scheme, SchemeOcean);

    Command("@LIFX Movement Speed 33");

    EXPECT_EQ(ReadFileBytes(path), "lifx.color.scheme: Ocean\r\nlifx.movement.speed: 33\r\n");
    EXPECT_FALSE(PathExists(SettingsPath())) << "nothing in the plug-in folder";
}

} // namespace
