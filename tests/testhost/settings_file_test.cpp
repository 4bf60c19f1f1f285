// The stand-in host must treat the user's settings file as carefully as a
// real shell: every byte it was not asked to change stays as it was.
#include <dirent.h>

#include <string>

#include "host/vesk.h"
#include "tests/support/plugin_fixture.h"

namespace
{

class HostSettingsFileTest : public PluginTest
{
  protected:
    std::string path() const { return SettingsPath(); }
};

TEST_F(HostSettingsFileTest, KeysMatchIgnoringCaseAndTheFirstLineWins)
{
    WriteSettings("  LIFX.Color.Scheme:   Fire  \r\nlifx.color.scheme: Ocean\r\n");
    EXPECT_STREQ(ReadString(path().c_str(), "lifx.color.scheme:", "x"), "Fire");
}

TEST_F(HostSettingsFileTest, KeyWithColonDoesNotMatchALongerKey)
{
    WriteSettings("lifx.device10: 127.0.0.10\r\n");
    EXPECT_STREQ(ReadString(path().c_str(), "lifx.device1:", "none"), "none");
    EXPECT_STREQ(ReadString(path().c_str(), "lifx.device10:", "none"), "127.0.0.10");
}

TEST_F(HostSettingsFileTest, ReadersFallBackToTheirDefaults)
{
    WriteSettings("a: 12x\r\nb: abc\r\nc: TRUE\r\nd: maybe\r\ne: #FF8000\r\nf: red\r\n");
    std::string f = path();
    EXPECT_EQ(ReadInt(f.c_str(), "a:", 7), 12);
    EXPECT_EQ(ReadInt(f.c_str(), "b:", 7), 7);
    EXPECT_EQ(ReadInt(f.c_str(), "missing:", -3), -3);
    EXPECT_TRUE(ReadBool(f.c_str(), "c:", false));
    EXPECT_TRUE(ReadBool(f.c_str(), "d:", true));
    EXPECT_FALSE(ReadBool(f.c_str(), "d:", false));
    EXPECT_EQ(ReadColor(f.c_str(), "e:", ""), 0x0080FFu);
    EXPECT_EQ(ReadColor(f.c_str(), "f:", ""), 0u);
    EXPECT_EQ(ReadColor(f.c_str(), "missing:", ""), 0u);
    EXPECT_EQ(ReadColor(f.c_str(), "missing:", "#010203"), 0x030201u);
    EXPECT_STREQ(ReadString((Folder() + "none.rc").c_str(), "a:", "dflt"), "dflt");
}

TEST_F(HostSettingsFileTest, WriterReplacesOneValueAndKeepsEveryOtherByte)
{
    const std::string before = "# comment\r\nlifx.cycle.interval: 10\r\n\r\nlast line no end";
    WriteSettings(before);

    WriteInt(path().c_str(), "lifx.cycle.interval:", 3);

    EXPECT_EQ(ReadFileBytes(path()), "# comment\r\nlifx.cycle.interval: 3\r\n\r\nlast line no end");
}

TEST_F(HostSettingsFileTest, WriterAppendsAMissingKeyWithTheFilesLineEnds)
{
    WriteSettings("a: 1\r\nb: 2");
    WriteBool(path().c_str(), "lifx.auto.power:", true);
    EXPECT_EQ(ReadFileBytes(path()), "a: 1\r\nb: 2\r\nlifx.auto.power: true\r\n");

    WriteSettings("a: 1\n");
    WriteString(path().c_str(), "lifx.device3:", "127.0.0.3");
    EXPECT_EQ(ReadFileBytes(path()), "a: 1\nlifx.device3: 127.0.0.3\n");
}

TEST_F(HostSettingsFileTest, WriterCreatesAMissingFile)
{
    WriteString(path().c_str(), "lifx.color.scheme:", "fire");
    EXPECT_EQ(ReadFileBytes(path()), "lifx.color.scheme: fire\r\n");
}

TEST_F(HostSettingsFileTest, EmptyValueKeepsTheKeyLine)
{
    WriteSettings("lifx.device3: 127.0.0.3\r\nlifx.device4: \r\n");
    WriteString(path().c_str(), "lifx.device3:", "");
    EXPECT_EQ(ReadFileBytes(path()), "lifx.device3: \r\nlifx.device4: \r\n");
    EXPECT_STREQ(ReadString(path().c_str(), "lifx.device3:", "x"), "");
}

TEST_F(HostSettingsFileTest, ValuesCannotBreakIntoANewLine)
{
    WriteSettings("lifx.device3: \r\n");
    WriteString(path().c_str(), "lifx.device3:", "1.2.3.4\r\nlifx.auto.power: true");
    EXPECT_EQ(ReadFileBytes(path()), "lifx.device3: 1.2.3.4  lifx.auto.power: true\r\n");
    EXPECT_FALSE(ReadBool(path().c_str(), "lifx.auto.power:", false));
}

TEST_F(HostSettingsFileTest, WriterLeavesNoTemporaryFileBehind)
{
    WriteSettings("a: 1\r\n");
    for (int i = 0; i < 20; i++)
        WriteInt(path().c_str(), "a:", i);
    int files = 0;
    DIR *dir = opendir(Folder().c_str());
    ASSERT_NE(dir, nullptr);
    while (dirent *entry = readdir(dir)) {
        if (entry->d_name[0] != '.')
            files++;
    }
    closedir(dir);
    EXPECT_EQ(files, 1);
    EXPECT_EQ(ReadInt(path().c_str(), "a:", -1), 19);
}

TEST_F(HostSettingsFileTest, EmptyFileArgumentReadsTheCurrentStyle)
{
    std::string style = Folder() + "style.txt";
    WriteFileBytes(style, "toolbar.appearance: Raised Gradient\n");
    testhost::SetStylePath(style.c_str());
    EXPECT_STREQ(ReadString("", "toolbar.appearance:", ""), "Raised Gradient");
    EXPECT_STREQ(stylePath(nullptr), style.c_str());
}

TEST(HostTokenizer, SplitsAtBlanksKeepsQuotedTokensAndReturnsTheRest)
{
    char a[4096], b[4096], c[4096], d[4096], rest[4096];
    char *words[4] = {a, b, c, d};
    a[0] = b[0] = c[0] = d[0] = 0;
    EXPECT_EQ(VeskTokenize("@LIFX  White\t3 \"50 %\"  4000 K ", words, 4, rest), 4);
    EXPECT_STREQ(a, "@LIFX");
    EXPECT_STREQ(b, "White");
    EXPECT_STREQ(c, "3");
    EXPECT_STREQ(d, "50 %");
    EXPECT_STREQ(rest, "4000 K ");

    a[0] = b[0] = c[0] = d[0] = 0;
    EXPECT_EQ(VeskTokenize("@LIFX \"unbalanced", words, 4, rest), 2);
    EXPECT_STREQ(b, "unbalanced");
    EXPECT_STREQ(c, "");
    EXPECT_STREQ(rest, "");
}

TEST(HostStrings, IsInStringIgnoresCase)
{
    EXPECT_TRUE(IsInString("Vesk 1.0", "vesk"));
    EXPECT_TRUE(IsInString("Flat ParentRelative", "parentrelative"));
    EXPECT_FALSE(IsInString("Flat Gradient", "Solid"));
    EXPECT_TRUE(IsInString("abc", ""));
}

} // namespace
