#include "tools/preview/home.h"

#include <stdlib.h>
#include <strings.h>

#include <fstream>
#include <sstream>

namespace preview
{

namespace
{

const char kKinds[] =
    "bulb, strip [ZONES], older-strip [ZONES], matrix CHAIN (8x8, 5*8x8, 8x8,5x6) or switch";

struct Word {
    std::string text;
    bool quoted = false;
};

std::vector<Word> Words(const std::string &line)
{
    std::vector<Word> words;
    size_t i = 0;
    // Bounded by the line's length: every pass moves on.
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r'))
            i++;
        if (i >= line.size())
            break;
        Word word;
        size_t end;
        if (line[i] == '"') {
            end = line.find('"', i + 1);
            if (end == std::string::npos)
                end = line.size();
            word.text = line.substr(i + 1, end - i - 1);
            word.quoted = true;
            i = end + 1;
        } else {
            end = line.find_first_of(" \t\r", i);
            if (end == std::string::npos)
                end = line.size();
            word.text = line.substr(i, end - i);
            i = end;
        }
        words.push_back(word);
    }
    return words;
}

bool Number(const std::string &text, long low, long high, long &value)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos ||
        text.size() > 6)
        return false;
    value = atol(text.c_str());
    return value >= low && value <= high;
}

// "WxH" with two numbers.
bool Tile(const std::string &text)
{
    size_t x = text.find('x');
    long n;
    return x != std::string::npos && Number(text.substr(0, x), 1, 9999, n) &&
           Number(text.substr(x + 1), 1, 9999, n);
}

// "8x8,5x6" as it is, "5*8x8" as five tiles of 8x8; the emulator judges
// the sizes.
bool Chain(const std::string &text, std::string &chain)
{
    chain.clear();
    std::stringstream parts(text);
    std::string part;
    int tiles = 0;
    // Bounded by the text's length.
    while (std::getline(parts, part, ',')) {
        long count = 1;
        size_t star = part.find('*');
        if (star != std::string::npos) {
            if (!Number(part.substr(0, star), 1, 99, count))
                return false;
            part = part.substr(star + 1);
        }
        if (!Tile(part) || (tiles += (int)count) > 99)
            return false;
        for (long i = 0; i < count; i++)
            chain += (chain.empty() ? "" : ",") + part;
    }
    return !chain.empty() && text.back() != ',';
}

bool Is(const std::string &text, const char *name)
{
    return strcasecmp(text.c_str(), name) == 0;
}

} // namespace

bool ZonedKind(const std::string &kind)
{
    return kind == "strip" || kind == "older-strip";
}

bool ParseHomeLine(const std::string &line, HomeLight &light, std::string &reason)
{
    light = HomeLight();
    std::vector<Word> words = Words(line);
    if (words.empty()) {
        reason = "names no light";
        return false;
    }
    const std::string &kind = words[0].text;
    for (const char *known : {"bulb", "strip", "older-strip", "matrix", "switch"}) {
        if (Is(kind, known))
            light.kind = known;
    }
    if (light.kind.empty() || words[0].quoted) {
        reason = "\"" + kind + "\" is no kind of light: " + kKinds;
        return false;
    }
    size_t next = 1;
    long value = 0;
    if (ZonedKind(light.kind) && next < words.size() && !words[next].quoted &&
        words[next].text.find_first_not_of("0123456789") == std::string::npos) {
        if (!Number(words[next].text, 1, 1000, value)) {
            reason = "a strip has 1 to 1000 zones, not " + words[next].text;
            return false;
        }
        light.zones = (int)value;
        next++;
    }
    if (light.kind == "matrix") {
        if (next >= words.size() || words[next].quoted || !Chain(words[next].text, light.chain)) {
            reason = "a matrix light needs its chain, each tile's width x height: 8x8, 5*8x8 "
                     "(five tiles), 5x6, 16x8, 8x8,8x8";
            return false;
        }
        next++;
    }
    std::vector<std::string> &options = light.options;
    if (light.kind != "bulb" && light.kind != "strip")
        options.insert(options.end(), {"--kind", light.kind});
    if (light.kind == "strip" && light.zones == 0)
        options.push_back("--strip");
    if (light.zones)
        options.insert(options.end(), {"--zones", std::to_string(light.zones)});
    if (!light.chain.empty())
        options.insert(options.end(), {"--chain", light.chain});
    bool labelled = false;
    for (; next < words.size(); next++) {
        const Word &word = words[next];
        bool keyword = !word.quoted && (Is(word.text, "loss") || Is(word.text, "replies") ||
                                        Is(word.text, "product"));
        if (!keyword) {
            if (labelled) {
                reason = "a second label, \"" + word.text +
                         "\": put a label of several words in double quotes";
                return false;
            }
            light.label = word.text;
            labelled = true;
            continue;
        }
        if (next + 1 >= words.size()) {
            reason = word.text + " needs a value";
            return false;
        }
        const std::string &given = words[++next].text;
        if (Is(word.text, "loss")) {
            std::string percent = given.back() == '%' ? given.substr(0, given.size() - 1) : given;
            if (!Number(percent, 0, 100, value)) {
                reason = "loss takes a share from 0 to 100, not " + given;
                return false;
            }
            options.insert(options.end(), {"--light-loss", std::to_string(value)});
        } else if (Is(word.text, "replies")) {
            options.insert(options.end(), {"--replies", given});
        } else {
            if (!Number(given, 0, 65535, value)) {
                reason = "product takes a LIFX product number, not " + given;
                return false;
            }
            options.insert(options.end(), {"--product", std::to_string(value)});
        }
    }
    if (labelled)
        options.insert(options.end(), {"--label", light.label});
    return true;
}

bool ReadHomeText(const std::string &text, const std::string &origin, Home &home,
                  std::string &reason)
{
    std::istringstream in(text);
    std::string line;
    int number = 0;
    // Bounded by the text's length.
    while (std::getline(in, line)) {
        number++;
        size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line[first] == '#')
            continue;
        HomeLight light;
        std::string why;
        if (!ParseHomeLine(line, light, why)) {
            reason = origin + " line " + std::to_string(number) + ": " + why;
            return false;
        }
        if (home.lights.size() >= kMaxHomeLights) {
            reason = origin + " line " + std::to_string(number) + ": a home holds at most " +
                     std::to_string(kMaxHomeLights) + " lights";
            return false;
        }
        home.lights.push_back(light);
    }
    return true;
}

bool ReadHomeFile(const std::string &path, Home &home, std::string &reason)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        reason = "cannot read the home " + path;
        return false;
    }
    std::stringstream text;
    text << in.rdbuf();
    return ReadHomeText(text.str(), path, home, reason);
}

Home DefaultHome()
{
    Home home;
    home.name = "default";
    std::string text;
    for (int n = 1; n <= 8; n++)
        text += "bulb \"Bulb " + std::to_string(n) + "\"\n";
    // Strip 10 is a short one, to show a whole scheme laid over few zones.
    text += "strip \"Strip 9\"\nstrip 16 \"Strip 10\"\n";
    std::string unused;
    ReadHomeText(text, "default", home, unused);
    return home;
}

} // namespace preview
