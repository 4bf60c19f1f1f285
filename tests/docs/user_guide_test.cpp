// The user guide against the plug-in: every command it names is one the
// interpreter knows, every settings key it names is one the plug-in reads or
// writes, and every command verb, settings key and menu entry is in it.
//
// The guide writes commands and keys in backticks ("`@Chromalet-LIFX Scheme
// Fire`", "`lifx.cycle.interval:`") and menu entries in bold ("**Cycle
// colors**"); text in fenced blocks (log lines, style files) is not looked at.
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "commands/commands.h"
#include "plugin/plugin.h"
#include "settings/settings.h"
#include "tests/support/plugin_fixture.h"

namespace
{

const char kLongPrefix[] = "@Chromalet-LIFX";
const char kShortPrefix[] = "@LIFX";

struct Guide {
    std::vector<std::string> spans; // the texts between backticks
    std::string text;               // everything outside fenced blocks
};

Guide ReadGuide()
{
    Guide guide;
    std::string content = ReadFileBytes(CHROMALET_USER_GUIDE);
    bool fenced = false;
    size_t at = 0;
    while (at < content.size()) {
        size_t end = content.find('\n', at);
        if (end == std::string::npos)
            end = content.size();
        std::string line = content.substr(at, end - at);
        at = end + 1;
        if (line.rfind("```", 0) == 0) {
            fenced = !fenced;
            continue;
        }
        if (fenced)
            continue;
        guide.text += line + "\n";
        for (size_t open = line.find('`'); open != std::string::npos;) {
            size_t close = line.find('`', open + 1);
            if (close == std::string::npos)
                break;
            guide.spans.push_back(line.substr(open + 1, close - open - 1));
            open = line.find('`', close + 1);
        }
    }
    return guide;
}

std::vector<std::string> Words(const std::string &text)
{
    std::vector<std::string> words;
    size_t at = 0;
    while (at < text.size()) {
        size_t blank = text.find(' ', at);
        if (blank == std::string::npos)
            blank = text.size();
        if (blank > at)
            words.push_back(text.substr(at, blank - at));
        at = blank + 1;
    }
    return words;
}

// A command the guide names, with the long prefix; empty for other spans
// and for a prefix alone.
std::string GuideCommand(const std::string &span)
{
    for (const std::string prefix : {kLongPrefix, kShortPrefix}) {
        if (span.rfind(prefix + " ", 0) == 0 && Words(span).size() > 1)
            return kLongPrefix + span.substr(prefix.size());
    }
    return "";
}

std::vector<std::string> Verbs()
{
    std::vector<std::string> verbs;
    for (int i = 0; CommandVerb(i); i++)
        verbs.push_back(CommandVerb(i));
    return verbs;
}

void CollectMenu(const testhost::MenuSnapshot &menu, std::vector<std::string> &labels,
                 std::vector<std::string> &commands)
{
    for (const testhost::MenuEntry &entry : menu.entries) {
        if (entry.kind == testhost::ItemSeparator)
            continue;
        labels.push_back(entry.label);
        if (!entry.command.empty())
            commands.push_back(entry.command);
        for (const testhost::MenuSnapshot &submenu : entry.submenu)
            CollectMenu(submenu, labels, commands);
    }
}

class UserGuideTest : public PluginTest
{
  protected:
    void SetUp() override
    {
        PluginTest::SetUp();
        guide = ReadGuide();
        ASSERT_FALSE(guide.text.empty()) << "cannot read " << CHROMALET_USER_GUIDE;
        ShowPluginMenu();
        ASSERT_EQ(testhost::ShownMenus().size(), 1u);
        CollectMenu(testhost::ShownMenus()[0], menuLabels, knownCommands);
        // The commands the host offers: "@Chromalet-LIFX Show Menu" and the like.
        std::string offered = pluginInfo(7);
        for (size_t at = offered.find('@'); at != std::string::npos;) {
            size_t next = offered.find('@', at + 1);
            knownCommands.push_back(offered.substr(at, next - at));
            at = next;
        }
    }

    Guide guide;
    std::vector<std::string> menuLabels;
    std::vector<std::string> knownCommands; // whole commands, keywords included
};

TEST_F(UserGuideTest, EveryCommandItNamesIsOneThePluginKnows)
{
    std::vector<std::string> verbs = Verbs();
    int named = 0;
    for (const std::string &span : guide.spans) {
        std::string command = GuideCommand(span);
        if (command.empty())
            continue;
        named++;
        SCOPED_TRACE(span);
        std::string verb = Words(command)[1];
        bool inTable = false;
        for (const std::string &known : verbs)
            inTable = inTable || verb == known;
        if (!inTable) {
            ADD_FAILURE() << "no such verb: " << verb;
            continue;
        }
        // Where the menu or the host's list carries the verb, the guide's
        // command is one of theirs, keywords and all, or one of theirs with
        // a value after it, as a number or text entry sends it.
        bool verbKnown = false, matches = false;
        for (const std::string &known : knownCommands) {
            if (Words(known)[1] != verb)
                continue;
            verbKnown = true;
            matches = matches || command == known || command.rfind(known + " ", 0) == 0;
        }
        EXPECT_TRUE(!verbKnown || matches) << "keywords as the menu has none of them";
    }
    EXPECT_GT(named, 10);
}

TEST_F(UserGuideTest, NamesEveryVerbOfTheCommandTable)
{
    std::set<std::string> named;
    for (const std::string &span : guide.spans) {
        std::string command = GuideCommand(span);
        if (!command.empty())
            named.insert(Words(command)[1]);
    }
    for (const std::string &verb : Verbs())
        EXPECT_TRUE(named.count(verb)) << "the guide has no command " << verb;
}

TEST_F(UserGuideTest, EveryKeyItNamesIsASettingsKeyAndEveryKeyIsNamed)
{
    std::vector<std::string> formats;
    std::vector<std::regex> patterns;
    for (int i = 0; SettingsKeyFormat(i); i++) {
        formats.push_back(SettingsKeyFormat(i));
        std::string pattern;
        for (const char *c = SettingsKeyFormat(i); *c; c++) {
            if (c[0] == '%' && c[1] == 'd') {
                pattern += "[0-9]+";
                c++;
            } else if (*c == '.') {
                pattern += "\\.";
            } else {
                pattern += *c;
            }
        }
        patterns.emplace_back(pattern);
    }
    // A key alone, or a whole settings line ("lifx.debug: true").
    const std::regex keyLike("([a-z][a-z0-9]*(\\.[a-zA-Z0-9]+)+:)( .*)?");
    std::vector<bool> named(formats.size(), false);
    for (const std::string &span : guide.spans) {
        std::smatch match;
        if (!std::regex_match(span, match, keyLike))
            continue;
        std::string key = match[1];
        bool found = false;
        for (size_t i = 0; i < patterns.size(); i++) {
            if (std::regex_match(key, patterns[i])) {
                named[i] = true;
                found = true;
            }
        }
        EXPECT_TRUE(found) << "no such settings key: " << key;
    }
    for (size_t i = 0; i < formats.size(); i++)
        EXPECT_TRUE(named[i]) << "the guide does not name the key " << formats[i];
}

TEST_F(UserGuideTest, NamesEveryMenuEntryInBold)
{
    for (const std::string &label : menuLabels) {
        // The device slots' entries are numbered: "#3 Bulb".
        if (label.empty() || label[0] == '#')
            continue;
        EXPECT_NE(guide.text.find("**" + label + "**"), std::string::npos)
            << "the guide does not name the menu entry " << label;
    }
}

} // namespace
