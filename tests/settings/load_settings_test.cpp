#include <string.h>
#include <sys/stat.h>

#include <string>

#include "palette/palette.h"
#include "settings/settings.h"
#include "tests/support/plugin_fixture.h"

namespace
{

class LoadSettingsTest : public PluginTest
{
};

TEST_F(LoadSettingsTest, FirstStartCreatesTheDefaultFileByteForByte)
{
    LoadSettings();

    std::string bytes = ReadFileBytes(SettingsPath());
    EXPECT_EQ(bytes.size(), 728u);
    EXPECT_EQ(bytes, std::string(kDefaultSettingsFile));
    int lines = 0;
    for (size_t i = 0; i < bytes.size(); i++) {
        if (bytes[i] == '\n') {
            lines++;
            EXPECT_EQ(bytes[i - 1], '\r') << "line " << lines << " must end in CR LF";
        }
    }
    EXPECT_EQ(lines, 37);
    EXPECT_EQ(bytes.substr(0, 16), "lifx.device1: \r\n");
    EXPECT_NE(bytes.find("\r\nlifx.auto.power: false\r\n\r\nlifx.debug: false\r\n\r\nuser1"),
              std::string::npos);
    EXPECT_EQ(bytes.substr(bytes.size() - 23), "user3.color2: #ff0000\r\n");
}

TEST_F(LoadSettingsTest, FirstStartRunsWithTheDefaultValues)
{
    LoadSettings();

    EXPECT_EQ(g_settingsPath, SettingsPath());
    EXPECT_EQ(g_settings.scheme, SchemeStyle);
    EXPECT_EQ(g_settings.calibrationRed, 80);
    EXPECT_EQ(g_settings.calibrationGreen, 100);
    EXPECT_EQ(g_settings.calibrationBlue, 95);
    EXPECT_EQ(g_settings.cycleInterval, 10);
    EXPECT_EQ(g_settings.movementSpeed, 10);
    EXPECT_FALSE(g_settings.cycleColours);
    EXPECT_FALSE(g_settings.moveEffect);
    EXPECT_FALSE(g_settings.reverseDirection);
    EXPECT_FALSE(g_settings.autoPower);
    EXPECT_FALSE(g_settings.debug);
    EXPECT_FALSE(g_anyDeviceConfigured);
    for (int n = 1; n <= kDeviceSlots; n++)
        EXPECT_STREQ(g_devices[n], "") << "slot " << n;
}

TEST_F(LoadSettingsTest, AnExistingFileIsReadAndLeftAlone)
{
    const std::string content = "lifx.device3: 192.168.1.20\nlifx.color.scheme: Ocean\n"
                                "lifx.cycle.colors: true\nlifx.auto.power: TRUE\n";
    WriteSettings(content);

    LoadSettings();

    EXPECT_EQ(ReadFileBytes(SettingsPath()), content);
    EXPECT_STREQ(g_devices[3], "192.168.1.20");
    EXPECT_EQ(g_settings.scheme, SchemeOcean);
    EXPECT_TRUE(g_settings.cycleColours);
    EXPECT_TRUE(g_settings.autoPower);
    EXPECT_TRUE(g_anyDeviceConfigured);
    // Keys the file lacks take their defaults.
    EXPECT_EQ(g_settings.calibrationRed, 80);
    EXPECT_EQ(g_settings.cycleInterval, 10);
}

struct ClampCase {
    const char *line;
    int Settings::*value;
    int expected;
};

TEST_F(LoadSettingsTest, NumbersAreClampedToTheirRanges)
{
    const ClampCase cases[] = {
        {"lifx.cycle.interval: 0", &Settings::cycleInterval, 1},
        {"lifx.cycle.interval: -5", &Settings::cycleInterval, 1},
        {"lifx.cycle.interval: 11", &Settings::cycleInterval, 10},
        {"lifx.cycle.interval: 1", &Settings::cycleInterval, 1},
        {"lifx.cycle.interval: 10", &Settings::cycleInterval, 10},
        {"lifx.movement.speed: 0", &Settings::movementSpeed, 1},
        {"lifx.movement.speed: 61", &Settings::movementSpeed, 60},
        {"lifx.movement.speed: 60", &Settings::movementSpeed, 60},
        {"lifx.calibration.red: -1", &Settings::calibrationRed, 0},
        {"lifx.calibration.red: 101", &Settings::calibrationRed, 100},
        {"lifx.calibration.green: -1", &Settings::calibrationGreen, 0},
        {"lifx.calibration.green: 101", &Settings::calibrationGreen, 100},
        {"lifx.calibration.blue: -1", &Settings::calibrationBlue, 0},
        {"lifx.calibration.blue: 101", &Settings::calibrationBlue, 100},
        {"lifx.calibration.blue: 0", &Settings::calibrationBlue, 0},
    };
    for (const ClampCase &c : cases) {
        ResetPluginState();
        WriteSettings(std::string(c.line) + "\r\n");
        LoadSettings();
        EXPECT_EQ(g_settings.*c.value, c.expected) << c.line;
    }
}

TEST_F(LoadSettingsTest, SchemeNamesIgnoreCaseAndUnknownNamesGiveManual)
{
    const struct {
        const char *value;
        int scheme;
    } cases[] = {
        {"Style", SchemeStyle}, {"fire", SchemeFire},     {"OCEAN", SchemeOcean},
        {"wOoDs", SchemeWoods}, {"Spooky", SchemeSpooky}, {"warm", SchemeWarm},
        {"Cold", SchemeCold},   {"user1", SchemeUser1},   {"User2", SchemeUser2},
        {"USER3", SchemeUser3}, {"Manual", SchemeManual}, {"Rainbow", SchemeManual},
        {"", SchemeManual},     {"Fire2", SchemeManual},  {"User 1", SchemeManual},
    };
    for (const auto &c : cases) {
        ResetPluginState();
        WriteSettings(std::string("lifx.color.scheme: ") + c.value + "\r\n");
        LoadSettings();
        EXPECT_EQ(g_settings.scheme, c.scheme) << "\"" << c.value << "\"";
    }
}

TEST_F(LoadSettingsTest, MissingSchemeKeyGivesManual)
{
    WriteSettings("lifx.debug: false\r\n");
    LoadSettings();
    EXPECT_EQ(g_settings.scheme, SchemeManual);
}

TEST_F(LoadSettingsTest, OnlyTheLastDeviceSetStillCountsAsConfigured)
{
    WriteSettings("lifx.device10: 127.0.0.1\r\n");
    LoadSettings();
    EXPECT_TRUE(g_anyDeviceConfigured);
    EXPECT_STREQ(g_devices[10], "127.0.0.1");
    EXPECT_STREQ(g_devices[1], "");
}

TEST_F(LoadSettingsTest, EmptyDeviceKeysLeaveTheFlagClear)
{
    WriteSettings("lifx.device1: \r\nlifx.device2:\r\nlifx.device10:    \r\n");
    LoadSettings();
    EXPECT_FALSE(g_anyDeviceConfigured);
}

TEST_F(LoadSettingsTest, IconStaysInThePluginFolderWhenTheHostFindsTheSettingsElsewhere)
{
    TempFolder hostFolder;
    WriteFileBytes(hostFolder.path + "Chromalet-LIFX.rc", "lifx.color.scheme: Fire\r\n");
    testhost::SetConfigFolder(hostFolder.path.c_str());

    LoadSettings();

    EXPECT_EQ(std::string(g_settingsPath), hostFolder.path + "Chromalet-LIFX.rc");
    EXPECT_EQ(std::string(g_iconPath), Folder() + "Chromalet-LIFX.ico");
    EXPECT_EQ(g_settings.scheme, SchemeFire);
    EXPECT_FALSE(PathExists(SettingsPath())) << "no second file is created";
}

TEST_F(LoadSettingsTest, FolderThatCannotHoldTheFileGivesDefaultsWithoutCrashing)
{
    platform::SetModuleFileName((Folder() + "missing/Chromalet-LIFX.dll").c_str());

    LoadSettings();

    EXPECT_EQ(std::string(g_settingsPath), Folder() + "missing/Chromalet-LIFX.rc");
    EXPECT_FALSE(PathExists(g_settingsPath));
    EXPECT_EQ(g_settings.scheme, SchemeManual);
    EXPECT_EQ(g_settings.calibrationRed, 80);
    EXPECT_EQ(g_settings.cycleInterval, 10);
}

TEST_F(LoadSettingsTest, FailedCreationGoesOnWithDefaults)
{
    platform::InjectFault(platform::FaultCreateFile);

    LoadSettings();

    EXPECT_FALSE(PathExists(SettingsPath()));
    EXPECT_EQ(std::string(g_settingsPath), SettingsPath());
    EXPECT_EQ(g_settings.scheme, SchemeManual);
    EXPECT_EQ(g_settings.calibrationBlue, 95);
}

TEST_F(LoadSettingsTest, JunkLongLinesAndBinaryBytesLoadWithoutHarm)
{
    std::string content = "garbage without a colon\r\n:\r\n::::\r\n";
    content += std::string(100000, 'x') + "\r\n";
    content += "lifx.device1: " + std::string(5000, '1') + "\r\n";
    content += std::string("\0\x01\x02\xff\xfe lifx.debug: true\r\n", 24);
    content += "lifx.calibration.red: 99999999999999999999\r\n";
    content += "lifx.cycle.interval: abc\r\n";
    content += "lifx.device2: 127.0.0.2\r\n";
    content += std::string("\xff\xd8\xff\xe0\0\0\0", 7);
    WriteSettings(content);

    LoadSettings();

    EXPECT_STREQ(g_devices[1], "") << "a device text longer than a slot leaves it empty";
    EXPECT_STREQ(g_devices[2], "127.0.0.2");
    EXPECT_TRUE(g_anyDeviceConfigured);
    EXPECT_EQ(g_settings.calibrationRed, 100);
    EXPECT_EQ(g_settings.cycleInterval, 10);
    EXPECT_EQ(ReadFileBytes(SettingsPath()), content) << "loading never writes";
}

TEST_F(LoadSettingsTest, SlotsHoldDecimalAddressesAndAnythingElseIsNoDeviceWithALine)
{
    std::string long7(127, '7');
    WriteSettings("lifx.device2: 192.168.001.020\r\nlifx.device4: 127.57.31\r\n"
                  "lifx.device5: " +
                  long7 + "\r\nlifx.device6: 0x7f.0.0.1\r\n");
    LoadSettings();
    EXPECT_STREQ(g_devices[2], "192.168.1.20");
    for (int n : {4, 5, 6})
        EXPECT_STREQ(g_devices[n], "") << "slot " << n;
    auto line = [](const std::string &text, int n) {
        return "3 Chromalet-LIFX -> Invalid IP address \"" + text + "\" for device #" +
               std::to_string(n) + " in the settings file: the slot is left empty.";
    };
    EXPECT_EQ(LogLines(), (std::vector<std::string>{line("127.57.31", 4), line(long7, 5),
                                                    line("0x7f.0.0.1", 6)}));
}

TEST_F(LoadSettingsTest, DebugFlagKeepsItsValueAcrossAReloadWithoutTheKey)
{
    WriteSettings("lifx.debug: true\r\n");
    LoadSettings();
    EXPECT_TRUE(g_settings.debug);

    WriteSettings("lifx.color.scheme: Fire\r\n");
    ClearDeviceTable();
    LoadSettings();
    EXPECT_TRUE(g_settings.debug);

    WriteSettings("lifx.debug: false\r\n");
    LoadSettings();
    EXPECT_FALSE(g_settings.debug);
}

TEST_F(LoadSettingsTest, TooLongPluginFolderIsRefusedAndNothingIsWritten)
{
    // 259 characters is the most a path may hold; the folder alone is longer.
    std::string deep = Folder() + std::string(250, 'd') + "/";
    platform::SetModuleFileName((deep + "Chromalet-LIFX.dll").c_str());

    LoadSettings();

    EXPECT_STREQ(g_settingsPath, "");
    EXPECT_STREQ(g_iconPath, "");
    EXPECT_EQ(g_settings.scheme, SchemeManual);
    EXPECT_EQ(g_settings.calibrationGreen, 100);
    EXPECT_EQ(std::string(g_pluginFolder), deep);
}

TEST_F(LoadSettingsTest, PathsOfExactly259CharactersAreKept)
{
    // Folder + "Chromalet-LIFX.rc" (17 characters) = 259.
    std::string folder = Folder();
    std::string sub(259 - 17 - folder.size() - 1, 'p');
    std::string pluginFolder = folder + sub + "/";
    ASSERT_EQ(pluginFolder.size() + 17, 259u);
    ASSERT_EQ(mkdir(pluginFolder.c_str(), 0755), 0);
    platform::SetModuleFileName((pluginFolder + "Chromalet-LIFX.dll").c_str());

    LoadSettings();

    EXPECT_EQ(std::string(g_settingsPath), pluginFolder + "Chromalet-LIFX.rc");
    EXPECT_EQ(g_settings.scheme, SchemeStyle) << "the default file was created and read";
    // "Chromalet-LIFX.ico" is one character longer: 260 does not fit.
    EXPECT_STREQ(g_iconPath, "");
}

TEST_F(LoadSettingsTest, SettingsFoundElsewhereWithTooLongAPathAreRefused)
{
    std::string longFolder = Folder() + std::string(245, 'h') + "/";
    ASSERT_EQ(mkdir(longFolder.c_str(), 0755), 0);
    WriteFileBytes(longFolder + "Chromalet-LIFX.rc", "lifx.color.scheme: Fire\r\n");
    testhost::SetConfigFolder(longFolder.c_str());

    LoadSettings();

    EXPECT_STREQ(g_settingsPath, "");
    EXPECT_EQ(g_settings.scheme, SchemeManual);
    EXPECT_FALSE(PathExists(SettingsPath()));
}

TEST_F(LoadSettingsTest, WritesWithoutASettingsPathGoNowhere)
{
    g_settingsPath[0] = 0;
    testhost::SetStylePath((Folder() + "style.rc").c_str());
    WriteSettingString(KEY_SCHEME, "Fire");
    WriteSettingInt(KEY_CYCLE_INTERVAL, 3);
    WriteSettingBool(KEY_AUTO_POWER, true);
    EXPECT_FALSE(PathExists(Folder() + "style.rc"));
}

} // namespace

namespace
{

TEST_F(LoadSettingsTest, AStripsZoneCountIsReadFromOneTo1000AndAnythingElseMeans82)
{
    struct Row {
        const char *value;
        int zones; // 0: not known, driven as 82
    };
    const Row rows[] = {{"16", 16}, {"1", 1},    {"1000", 1000},    {"120", 120},
                        {"0", 0},   {"1001", 0}, {"-16", 0},        {"abc", 0},
                        {"16x", 0}, {"", 0},     {"99999999999", 0}};
    for (const Row &row : rows) {
        ClearDeviceTable();
        WriteSettings(std::string("lifx.device9: 127.0.0.9\r\nlifx.device9.zones: ") + row.value +
                      "\r\nlifx.device10.zones: 30\r\nlifx.device3.zones: 16\r\n");
        LoadSettings();
        EXPECT_EQ(g_deviceZones[9], row.zones) << "\"" << row.value << "\"";
        EXPECT_EQ(g_deviceZones[10], 30) << "a strip slot's count without its address";
        EXPECT_EQ(g_deviceZones[3], 0) << "a bulb has no zones";
    }
}

TEST_F(LoadSettingsTest, AZoneCountIsSavedBesideAStripSlotOnlyAndWithinRange)
{
    WriteSettings("lifx.device9: 127.0.0.9\r\n");
    LoadSettings();
    SaveDeviceZones(9, 16);
    SaveDeviceZones(10, 1001);
    SaveDeviceZones(4, 16);
    EXPECT_EQ(ReadFileBytes(SettingsPath()),
              "lifx.device9: 127.0.0.9\r\nlifx.device9.zones: 16\r\n");
    SaveDeviceZones(9, 0);
    EXPECT_EQ(ReadFileBytes(SettingsPath()), "lifx.device9: 127.0.0.9\r\nlifx.device9.zones: \r\n");
    EXPECT_EQ(g_deviceZones[9], 0);
}

TEST_F(LoadSettingsTest, AKindAndAChainAreReadWithinBoundsAndWrittenBackAsRead)
{
    struct Row {
        const char *kind, *chain;
        int kindRead;
        const char *chainRead; // "" when refused
    };
    const Row rows[] = {
        {"matrix", "16x8", KindMatrix, "16x8"},
        {"matrix", "8x8,8x8,8x8,8x8,8x8", KindMatrix, "8x8,8x8,8x8,8x8,8x8"},
        {"older-strip", "5x6", KindOlderStrip, "5x6"},
        {"strip", "64x15", KindStrip, "64x15"},
        {"bulb", "65x1", KindBulb, ""},
        {"Matrix", "0x8", KindNotKnown, ""},
        {"switch", "8x8,", KindNotKnown, ""},
        {"", "64x16", KindNotKnown, ""}, // 1024 pixels
        {"strips", "1x1,1x1,1x1,1x1,1x1,1x1,1x1,1x1,1x1,1x1,1x1,1x1,1x1,1x1,1x1,1x1,1x1",
         KindNotKnown, ""},
    };
    for (const Row &row : rows) {
        ClearDeviceTable();
        const std::string file = std::string("lifx.device10.kind: ") + row.kind +
                                 "\r\nlifx.device10.chain: " + row.chain + "\r\n";
        WriteSettings(file);
        LoadSettings();
        EXPECT_EQ(g_deviceKinds[10], row.kindRead) << row.kind;
        char chain[kChainTextSize];
        FormatDeviceChain(g_deviceChains[10], chain);
        EXPECT_STREQ(chain, row.chainRead) << row.chain;
        SaveDeviceKind(10, g_deviceKinds[10]);
        SaveDeviceChain(10, g_deviceChains[10]);
        EXPECT_EQ(ReadFileBytes(SettingsPath()),
                  std::string("lifx.device10.kind: ") + DeviceKindText(row.kindRead) +
                      "\r\nlifx.device10.chain: " + row.chainRead + "\r\n")
            << row.chain;
    }
}

TEST_F(LoadSettingsTest, ASerialSavedInOneSlotIsClearedFromEveryOtherSlotTheLastIncluded)
{
    WriteSettings("lifx.device10.serial: D073D5000003\r\n");
    LoadSettings();
    SaveDeviceSerial(3, "d073d5000003");
    EXPECT_EQ(ReadFileBytes(SettingsPath()),
              "lifx.device10.serial: \r\nlifx.device3.serial: d073d5000003\r\n");
}

} // namespace
