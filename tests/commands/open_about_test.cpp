// "Edit Devices", "Documentation", "Protocol" and "About": what the host is
// asked to open or show.
#include <stdio.h>

#include <string>

#include "platform/control_linux.h"
#include "tests/commands/commands_fixture.h"

namespace
{

class OpenAndAboutTest : public CommandTest
{
};

enum Target { None, SettingsFile, DocumentationPage, ProtocolPage };

struct OpenCase {
    const char *text;
    Target target;
};

bool IsWebAddress(const std::string &text)
{
    return text.rfind("https://", 0) == 0 || text.rfind("http://", 0) == 0;
}

TEST_F(OpenAndAboutTest, OpensTheSettingsFileAndTheDocumentationThroughTheHost)
{
    const OpenCase cases[] = {
        {"@LIFX Edit Devices", SettingsFile},
        {"@lifx edit DEVICES", SettingsFile},
        {"@Chromalet-LIFX Edit Devices", SettingsFile},
        {"@LIFX Edit", None},
        {"@LIFX Edit Device", None},
        {"@LIFX Edit Settings", None},
        {"@LIFX Documentation", DocumentationPage},
        {"@LIFX documentation please", DocumentationPage},
        {"@LIFX Docs", None},
        {"@LIFX Protocol", ProtocolPage},
        {"@LIFX PROTOCOL LAN", ProtocolPage},
        {"@LIFX Protocols", None},
    };
    Start(LightLines({1}));
    WriteFileBytes(Folder() + "Chromalet-LIFX.html", "<!DOCTYPE html>\n");
    std::string documentation, protocol;
    for (const OpenCase &c : cases) {
        SCOPED_TRACE(c.text);
        Forget();
        Send(c.text);
        ExpectFileUnchanged();
        // What is not understood gets its typo line.
        EXPECT_EQ(LogLines().size(), c.target == None ? 1u : 0u);
        EXPECT_EQ(DatagramsReceived(), 0);
        if (c.target == None) {
            EXPECT_TRUE(testhost::Executions().empty());
            continue;
        }
        ASSERT_EQ(testhost::Executions().size(), 1u);
        const testhost::Execution &e = testhost::Executions()[0];
        EXPECT_EQ(e.owner, GetDesktopWindow());
        EXPECT_EQ(e.verb, "(null)");
        EXPECT_EQ(e.args, "");
        EXPECT_EQ(e.dir, "");
        EXPECT_EQ(e.show, 1);
        EXPECT_EQ(e.flags, 1);
        switch (c.target) {
        case SettingsFile:
            EXPECT_EQ(e.target, SettingsPath());
            break;
        case DocumentationPage:
            EXPECT_EQ(e.target, Folder() + "Chromalet-LIFX.html");
            documentation = e.target;
            break;
        case ProtocolPage:
            EXPECT_TRUE(IsWebAddress(e.target)) << e.target;
            protocol = e.target;
            break;
        case None:
            break;
        }
    }
    EXPECT_NE(documentation, protocol);
}

TEST_F(OpenAndAboutTest, EditDevicesWithoutTheSettingsFileDoesNothing)
{
    Start();
    ASSERT_EQ(remove(SettingsPath().c_str()), 0);
    Send("@LIFX Edit Devices");
    EXPECT_TRUE(testhost::Executions().empty());
    EXPECT_FALSE(PathExists(SettingsPath())) << "nor is the file made";
}

TEST_F(OpenAndAboutTest,
       DocumentationWithoutTheGuideBesideTheModuleSaysWhereItLookedAndAboutStaysTrue)
{
    Start();
    Send("@LIFX Documentation");
    EXPECT_TRUE(testhost::Executions().empty()) << "no web page stands in for the guide";
    EXPECT_EQ(LogLines(),
              std::vector<std::string>{"3 Chromalet-LIFX -> No user guide in " + Folder() +
                                       ": copy Chromalet-LIFX.html there from the "
                                       "release package."});
    // About says where the guide is, true either way.
    const std::string here = "Chromalet-LIFX.html, lies beside the plug-in.";
    Send("@LIFX About");
    EXPECT_EQ(testhost::AboutBoxes().back().text.find(here), std::string::npos);

    // Put there later, it is found without a restart.
    WriteFileBytes(Folder() + "Chromalet-LIFX.html", "<!DOCTYPE html>\n");
    Forget();
    Send("@LIFX Documentation");
    ASSERT_EQ(testhost::Executions().size(), 1u);
    EXPECT_EQ(testhost::Executions()[0].target, Folder() + "Chromalet-LIFX.html");
    EXPECT_TRUE(LogLines().empty());
    Send("@LIFX About");
    EXPECT_NE(testhost::AboutBoxes().back().text.find(here), std::string::npos);
}

struct AboutCase {
    const char *version;
    bool toHost; // HostMsgAbout rather than a message box
};

TEST_F(OpenAndAboutTest, AboutGoesToTheHostWhenItsVersionNamesVeskAndToAMessageBoxOtherwise)
{
    const AboutCase cases[] = {
        {"Vesk 1.0 (stand-in host)", true}, {"vesk", true},       {"Desktop xVESKx 2.3", true},
        {"Othershell 2.3", false},          {"Ves k 1.0", false}, {"", false},
    };
    const std::string firstLine = "Chromalet-LIFX 1.2 (2026-12-10)   \n\n";
    Start();
    for (const AboutCase &c : cases) {
        SCOPED_TRACE(std::string("version \"") + c.version + "\"");
        testhost::SetVersion(c.version);
        size_t boxes = platform::MessageBoxes().size();
        Forget();
        Send("@LIFX About");
        std::string text;
        if (c.toHost) {
            ASSERT_EQ(testhost::AboutBoxes().size(), 1u);
            EXPECT_EQ(platform::MessageBoxes().size(), boxes);
            EXPECT_EQ(testhost::AboutBoxes()[0].title, "About this plugin...");
            text = testhost::AboutBoxes()[0].text;
        } else {
            EXPECT_TRUE(testhost::AboutBoxes().empty());
            ASSERT_EQ(platform::MessageBoxes().size(), boxes + 1);
            const platform::MessageBoxCall &box = platform::MessageBoxes().back();
            EXPECT_EQ(box.owner, nullptr);
            EXPECT_EQ(box.caption, "About this plugin...");
            EXPECT_EQ(box.type, 0x40u) << "MB_OK | MB_ICONINFORMATION";
            text = box.text;
        }
        EXPECT_EQ(text.substr(0, firstLine.size()), firstLine);
        EXPECT_GT(text.size(), firstLine.size()) << "the credit block follows";
        EXPECT_EQ(text.find("://"), std::string::npos)
            << "no web address the project does not hold";
        ExpectFileUnchanged();
        EXPECT_TRUE(LogLines().empty());
    }
}

TEST_F(OpenAndAboutTest, AboutIgnoresItsArgumentsAndALongerVerbIsNotAbout)
{
    Start();
    Send("@LIFX About %s %n extra");
    ASSERT_EQ(testhost::AboutBoxes().size(), 1u);
    EXPECT_EQ(testhost::AboutBoxes()[0].text.find('%'), std::string::npos);
    Forget();
    Send("@LIFX Abouts");
    Send("@LIFX Abou");
    EXPECT_TRUE(testhost::AboutBoxes().empty());
}

} // namespace
