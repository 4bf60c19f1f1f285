// The host's settings readers and writers over plain-text "key: value" files.
//
// Keys are matched ignoring letter case at the start of a line (leading blanks
// allowed); the first matching line wins; values are trimmed of blanks. An
// empty file argument means the current style file. ReadColor understands
// "#rrggbb" and returns 0x00BBGGRR; for a missing key, or a value that is no
// colour, it reads the default text the same way, and when that is no colour
// either (the empty text, say) it returns 0, black.
//
// A writer replaces the value of the key's first line in place, or appends a
// line, keeping every other byte of the file; it writes a temporary file and
// renames it over the old one, so that a crash never leaves half a file.
#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "testhost/host_state.h"

namespace testhost
{

bool ReadWholeFile(const std::string &path, std::string &content)
{
    FILE *file = fopen(path.c_str(), "rb");
    if (!file)
        return false;
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, file)) > 0)
        content.append(buffer, n);
    fclose(file);
    return true;
}

static bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

struct Found {
    size_t valueStart; // first byte after the key
    size_t lineEnd;    // offset of the line's CR LF or LF, or the end of the file
};

// Finds the first line whose text begins with key; false when none does.
static bool FindKey(const std::string &content, const char *key, Found &found)
{
    size_t keyLength = strlen(key);
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos)
            end = content.size();
        size_t p = start;
        while (p < end && (content[p] == ' ' || content[p] == '\t'))
            p++;
        if (keyLength > 0 && end - p >= keyLength &&
            strncasecmp(content.c_str() + p, key, keyLength) == 0 &&
            memchr(content.data() + p, 0, keyLength) == nullptr) {
            found.valueStart = p + keyLength;
            found.lineEnd = end;
            if (end > found.valueStart && content[end - 1] == '\r')
                found.lineEnd = end - 1;
            return true;
        }
        start = end + 1;
    }
    return false;
}

static std::string ResolveFile(const char *file)
{
    if (!file || !file[0])
        return State().stylePath;
    return file;
}

// The trimmed value of key, or false when the file or the key is missing.
static bool LookUp(const char *file, const char *key, std::string &value)
{
    std::string content;
    if (!key || !ReadWholeFile(ResolveFile(file), content))
        return false;
    Found found;
    if (!FindKey(content, key, found))
        return false;
    size_t a = found.valueStart, b = found.lineEnd;
    while (a < b && IsBlank(content[a]))
        a++;
    while (b > a && IsBlank(content[b - 1]))
        b--;
    value.assign(content, a, b - a);
    return true;
}

static bool ParseColour(const std::string &text, COLORREF &colour)
{
    if (text.size() != 7 || text[0] != '#')
        return false;
    for (size_t i = 1; i < 7; i++) {
        if (!isxdigit((unsigned char)text[i]))
            return false;
    }
    unsigned long rgb = strtoul(text.c_str() + 1, nullptr, 16);
    colour = (COLORREF)(((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16));
    return true;
}

static std::string Sanitised(const char *value)
{
    // A value must stay on its own line.
    std::string text = value ? value : "";
    for (char &c : text) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    return text;
}

static bool ReplaceFile(const std::string &path, const std::string &content)
{
    std::string temporary = path + ".tmp-" + std::to_string((long)getpid());
    FILE *file = fopen(temporary.c_str(), "wb");
    if (!file)
        return false;
    bool written = fwrite(content.data(), 1, content.size(), file) == content.size();
    written = fflush(file) == 0 && written;
    written = fclose(file) == 0 && written;
    if (!written || !RenameOver(temporary.c_str(), path.c_str())) {
        remove(temporary.c_str());
        return false;
    }
    return true;
}

static void WriteValue(const char *file, const char *key, const std::string &value)
{
    if (!key || !key[0])
        return;
    std::string path = ResolveFile(file);
    if (path.empty())
        return;
    std::string content;
    ReadWholeFile(path, content);
    Found found;
    if (FindKey(content, key, found)) {
        content.replace(found.valueStart, found.lineEnd - found.valueStart, " " + value);
    } else {
        size_t firstLf = content.find('\n');
        const char *lineEnd =
            (firstLf == std::string::npos || (firstLf > 0 && content[firstLf - 1] == '\r')) ? "\r\n"
                                                                                            : "\n";
        if (!content.empty() && content.back() != '\n')
            content += lineEnd;
        content += std::string(key) + " " + value + lineEnd;
    }
    ReplaceFile(path, content);
    Echo("[host] %s <- %s %s", path.c_str(), key, value.c_str());
}

} // namespace testhost

using namespace testhost;

LPCSTR ReadString(LPCSTR file, LPCSTR key, LPCSTR defaultText)
{
    HostCall call;
    static std::string result;
    if (!LookUp(file, key, result))
        result = defaultText ? defaultText : "";
    return ReturnedText(result);
}

int ReadInt(LPCSTR file, LPCSTR key, int defaultValue)
{
    HostCall call;
    std::string value;
    if (!LookUp(file, key, value))
        return defaultValue;
    char *end = nullptr;
    long number = strtol(value.c_str(), &end, 10);
    if (end == value.c_str())
        return defaultValue;
    if (number > 2147483647L)
        return 2147483647;
    if (number < -2147483647L - 1)
        return -2147483647 - 1;
    return (int)number;
}

bool ReadBool(LPCSTR file, LPCSTR key, bool defaultValue)
{
    HostCall call;
    std::string value;
    if (!LookUp(file, key, value))
        return defaultValue;
    if (strcasecmp(value.c_str(), "true") == 0)
        return true;
    if (strcasecmp(value.c_str(), "false") == 0)
        return false;
    return defaultValue;
}

COLORREF ReadColor(LPCSTR file, LPCSTR key, LPCSTR defaultText)
{
    HostCall call;
    std::string value;
    COLORREF colour = 0;
    if (LookUp(file, key, value) && ParseColour(value, colour))
        return colour;
    if (ParseColour(defaultText ? defaultText : "", colour))
        return colour;
    return 0;
}

void WriteString(LPCSTR file, LPCSTR key, LPCSTR value)
{
    HostCall call;
    WriteValue(file, key, Sanitised(value));
}

void WriteInt(LPCSTR file, LPCSTR key, int value)
{
    HostCall call;
    WriteValue(file, key, std::to_string(value));
}

void WriteBool(LPCSTR file, LPCSTR key, bool value)
{
    HostCall call;
    WriteValue(file, key, value ? "true" : "false");
}
