// The user guide against the plug-in: every command it names is one the
// interpreter knows, every settings key it names is one the plug-in reads or
// writes, every log line it quotes is one the plug-in can write, every
// command verb, settings key and menu entry is in it, and its first steps
// come right after Installing.
//
// The guide writes commands and keys in backticks ("`@Chromalet-LIFX Scheme
// Fire`", "`lifx.cycle.interval:`"), menu entries in bold ("**Cycle
// colors**") and log lines in double quotes or in fenced blocks, beginning
// "Chromalet-LIFX -> " or "..."; other text in fenced blocks (a command, a
// style file) is not looked at.
#include <dirent.h>

#include <regex>
#include <set>
#include <string>
#include <vector>

#include "commands/commands.h"
#include "host/identity.h"
#include "plugin/plugin.h"
#include "settings/settings.h"
#include "tests/support/plugin_fixture.h"

namespace
{

const char kLongPrefix[] = "@Chromalet-LIFX";
const char kShortPrefix[] = "@LIFX";

struct Guide {
    std::vector<std::string> spans;    // the texts between backticks
    std::string text;                  // everything outside fenced blocks
    std::vector<std::string> logLines; // quoted, or lines of fenced blocks
};

bool IsLogLine(const std::string &text)
{
    return text.rfind(PLUGIN_LOG_PREFIX, 0) == 0 || text.rfind("...", 0) == 0;
}

// The log lines the running text quotes. A quoted line may hold quotes of
// its own ("...found bulb "Kitchen" at ..."), so it ends at the first quote
// after a full stop, "!" or "?" that closes as many quotes as it opened.
void QuotedLogLines(const std::string &text, std::vector<std::string> &lines)
{
    // Lines joined, as a paragraph reads.
    std::string flat = std::regex_replace(text, std::regex("\\s*\n\\s*"), " ");
    for (size_t open = flat.find('"'); open != std::string::npos; open = flat.find('"', open + 1)) {
        if (!IsLogLine(flat.substr(open + 1)))
            continue;
        int inner = 0;
        size_t close = open + 1;
        for (; close < flat.size(); close++) {
            if (flat[close] != '"')
                continue;
            if (inner % 2 == 0 && strchr(".!?", flat[close - 1]))
                break;
            inner++;
        }
        lines.push_back(flat.substr(open + 1, close - open - 1));
        open = close;
    }
}

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
        if (fenced) {
            if (IsLogLine(line))
                guide.logLines.push_back(line);
            continue;
        }
        guide.text += line + "\n";
        for (size_t open = line.find('`'); open != std::string::npos;) {
            size_t close = line.find('`', open + 1);
            if (close == std::string::npos)
                break;
            guide.spans.push_back(line.substr(open + 1, close - open - 1));
            open = line.find('`', close + 1);
        }
    }
    QuotedLogLines(guide.text, guide.logLines);
    return guide;
}

// The texts the plug-in's own code writes, with the identity macros filled
// in: each string constant, adjacent ones joined, from every source file of
// the plug-in. Log lines are among them.
void CollectStrings(const std::string &code, std::vector<std::string> &strings)
{
    const std::pair<const char *, const char *> macros[] = {
        {"PLUGIN_LOG_PREFIX", PLUGIN_LOG_PREFIX},
        {"PLUGIN_COMMAND_PREFIX", PLUGIN_COMMAND_PREFIX},
        {"PLUGIN_NAME", PLUGIN_NAME},
        {"DOCUMENTATION_FILE_NAME", DOCUMENTATION_FILE_NAME},
    };
    std::string current;
    bool inString = false; // in a run of joined constants
    size_t at = 0;
    auto finish = [&]() {
        if (inString)
            strings.push_back(current);
        current.clear();
        inString = false;
    };
    while (at < code.size()) {
        char c = code[at];
        if (code.compare(at, 2, "//") == 0) {
            at = code.find('\n', at);
        } else if (code.compare(at, 2, "/*") == 0) {
            at = code.find("*/", at) + 2;
        } else if (c == '\'') {
            finish();
            at = code.find('\'', at + (code[at + 1] == '\\' ? 3 : 2)) + 1;
        } else if (c == '"') {
            inString = true;
            for (at++; at < code.size() && code[at] != '"'; at++) {
                if (code[at] != '\\') {
                    current += code[at];
                } else if (code[++at] == 'x') {
                    // An 8-bit character, as the guide writes it in UTF-8.
                    unsigned byte = (unsigned)strtoul(code.substr(at + 1, 2).c_str(), nullptr, 16);
                    if (byte < 0x80) {
                        current += (char)byte;
                    } else {
                        current += (char)(0xC0 | (byte >> 6));
                        current += (char)(0x80 | (byte & 0x3F));
                    }
                    at += 2;
                } else {
                    current += code[at] == 'n' ? '\n' : code[at];
                }
            }
            at++;
        } else if (isspace((unsigned char)c)) {
            at++;
        } else {
            bool macro = false;
            for (const auto &m : macros) {
                size_t length = strlen(m.first);
                if (code.compare(at, length, m.first) == 0 &&
                    !(isalnum((unsigned char)code[at + length]) || code[at + length] == '_')) {
                    current += m.second;
                    inString = true;
                    at += length;
                    macro = true;
                    break;
                }
            }
            if (!macro) {
                finish();
                at++;
            }
        }
        if (at == std::string::npos)
            break;
    }
    finish();
}

std::vector<std::string> PluginLogFormats()
{
    std::vector<std::string> formats;
    for (const char *folder : {"host", "settings", "palette", "lifx", "commands", "plugin"}) {
        std::string path = std::string(CHROMALET_SOURCE_DIR) + "/" + folder;
        DIR *dir = opendir(path.c_str());
        if (!dir)
            continue;
        while (dirent *entry = readdir(dir)) {
            std::string name = entry->d_name;
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".cpp") == 0) {
                std::vector<std::string> strings;
                CollectStrings(ReadFileBytes(path + "/" + name), strings);
                for (const std::string &text : strings) {
                    if (IsLogLine(text))
                        formats.push_back(text);
                }
            }
        }
        closedir(dir);
    }
    return formats;
}

// A format as a pattern that also takes the guide's placeholders: "#N",
// "ADDRESS".
std::string Pattern(const std::string &format)
{
    std::string pattern;
    for (size_t i = 0; i < format.size(); i++) {
        char c = format[i];
        if (c == '%') {
            size_t end = format.find_first_of("diuxsc%", i + 1);
            char conversion = format[end];
            if (conversion == '%')
                pattern += "%";
            else if (conversion == 's')
                pattern += ".+";
            else if (conversion == 'x')
                pattern += "[0-9a-fA-F]+";
            else
                pattern += "(-?[0-9]+|[A-Z]+)";
            i = end;
        } else if (strchr("\\^$.|?*+()[]{}", c)) {
            pattern += std::string("\\") + c;
        } else {
            pattern += c;
        }
    }
    return pattern;
}

// A log line may be quoted whole, or up to the end of one of its sentences.
std::vector<std::regex> LogPatterns()
{
    std::vector<std::regex> patterns;
    for (const std::string &format : PluginLogFormats()) {
        patterns.emplace_back(Pattern(format));
        for (size_t at = format.find(' '); at != std::string::npos; at = format.find(' ', at + 1)) {
            if (strchr(".!", format[at - 1]) && format.compare(at - 3, 3, "...") != 0)
                patterns.emplace_back(Pattern(format.substr(0, at)));
        }
    }
    return patterns;
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

TEST_F(UserGuideTest, EveryLogLineItQuotesIsOneThePluginWrites)
{
    std::vector<std::regex> patterns = LogPatterns();
    ASSERT_GT(patterns.size(), 20u);
    for (const std::string &line : guide.logLines) {
        bool known = false;
        for (const std::regex &pattern : patterns)
            known = known || std::regex_match(line, pattern);
        EXPECT_TRUE(known) << "the plug-in writes no such line: " << line;
    }
    EXPECT_GT(guide.logLines.size(), 20u);
}

// Images a reader of the repository sees, committed beside the guide, each
// naming its strips' zone counts.
TEST_F(UserGuideTest, ShowsAPictureOfEachBuiltInSchemeFromTheRepository)
{
    std::string folder = CHROMALET_USER_GUIDE;
    folder.erase(folder.rfind('/') + 1);
    for (const char *name : {"style", "fire", "ocean", "woods", "spooky", "warm", "cold"}) {
        std::string file = std::string("schemes/") + name + ".svg";
        EXPECT_NE(guide.text.find("](" + file + ")\n"), std::string::npos) << file;
        EXPECT_NE(ReadFileBytes(folder + file).find(" zones · "), std::string::npos) << file;
    }
}

// A new user reads the first steps before anything else: right after
// Installing, numbered, each opening with its title in bold, and every
// other bold text in them an entry of the menu.
TEST_F(UserGuideTest, FirstUseStepsComeRightAfterInstalling)
{
    std::smatch sections;
    ASSERT_TRUE(std::regex_search(guide.text, sections,
                                  std::regex("\n## Installing\n[^]*?\n## ([^\n]*)\n([^]*?)\n## ")));
    EXPECT_EQ(sections[1].str(), "First use, step by step");
    std::string steps = sections[2];
    int number = 0;
    const std::regex step("(^|\n)([0-9]+)\\. \\*\\*[^*]+\\*\\*"), bold("\\*\\*([^*]+)\\*\\*");
    for (std::sregex_iterator it(steps.begin(), steps.end(), step); it != std::sregex_iterator();
         ++it)
        EXPECT_EQ(std::stoi((*it)[2]), ++number);
    EXPECT_GE(number, 5);
    // The titles are no menu entries.
    std::string rest = std::regex_replace(steps, step, "\n");
    for (std::sregex_iterator it(rest.begin(), rest.end(), bold); it != std::sregex_iterator();
         ++it) {
        std::string text = (*it)[1];
        bool entry = false;
        for (const std::string &label : menuLabels)
            entry = entry || text == label;
        EXPECT_TRUE(entry) << "no such menu entry: " << text;
    }
}

} // namespace
