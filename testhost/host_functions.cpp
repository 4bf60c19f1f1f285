// The stand-in host's window, version, style, files, tokenizer and shell
// execution.
#include <ctype.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include <string>

#include "testhost/host_state.h"

#ifndef _WIN32
#include "platform/control_linux.h"
#endif

namespace testhost
{

static int hostCallDepth;

HostCall::HostCall()
{
    hostCallDepth++;
}

HostCall::~HostCall()
{
    hostCallDepth--;
}

int HostCallDepth()
{
    return hostCallDepth;
}

HostState &State()
{
    static HostState state;
    return state;
}

void Echo(const char *format, ...)
{
    FILE *out = State().echo;
    if (!out)
        return;
    char line[8192];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    fprintf(out, "%s\n", ToUtf8(line).c_str());
    fflush(out);
}

bool RenameOver(const char *from, const char *to)
{
#ifdef _WIN32
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
    return rename(from, to) == 0;
#endif
}

const std::vector<LogLine> &Logs()
{
    return State().logs;
}
const std::vector<AboutBox> &AboutBoxes()
{
    return State().aboutBoxes;
}
const std::vector<Execution> &Executions()
{
    return State().executions;
}
const std::vector<MenuSnapshot> &ShownMenus()
{
    return State().shownMenus;
}
const std::vector<Registration> &Registrations()
{
    return State().registrations;
}

void ClearRecords()
{
    HostState &state = State();
    state.logs.clear();
    state.aboutBoxes.clear();
    state.executions.clear();
    state.shownMenus.clear();
    state.registrations.clear();
}

void Reset()
{
    ClearRecords();
    ResetMenus();
    HostState &state = State();
    state.version = "Vesk 1.0 (stand-in host)";
    state.stylePath.clear();
    state.configFolder.clear();
    state.window = nullptr;
    state.windowGone = false;
    state.sharedReturnBuffer = false;
}

void SetVersion(const char *version)
{
    State().version = version;
}
void SetStylePath(const char *path)
{
    State().stylePath = path ? path : "";
}
void SetConfigFolder(const char *folder)
{
    State().configFolder = folder ? folder : "";
}
void LoseHostWindow(bool stale)
{
    HostState &state = State();
    HWND window = HostWindow();
    DestroyWindow(window);
    state.window = stale ? window : nullptr;
    state.windowGone = true;
}

void ShareOneReturnBuffer(bool shared)
{
    State().sharedReturnBuffer = shared;
}

LPCSTR ReturnedText(const std::string &text)
{
    if (!State().sharedReturnBuffer)
        return text.c_str();
    static char buffer[8192];
    snprintf(buffer, sizeof buffer, "%s", text.c_str());
    return buffer;
}

void SetEcho(FILE *out)
{
    State().echo = out;
}

std::string ToUtf8(const std::string &text)
{
    // Windows-1252 bytes 0x80-0x9F differ from Latin-1; the plug-in only
    // uses the degree sign, so Latin-1 is close enough for the rest.
    std::string out;
    for (unsigned char c : text) {
        if (c < 0x80) {
            out += (char)c;
        } else {
            out += (char)(0xC0 | (c >> 6));
            out += (char)(0x80 | (c & 0x3F));
        }
    }
    return out;
}

static LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    HostCall call;
    HostState &state = State();
    switch (message) {
    case HostMsgLog: {
        const char *text = lParam ? (const char *)lParam : "";
        state.logs.push_back({(int)wParam, text});
        Echo("[%d] %s", (int)wParam, text);
        return 0;
    }
    case HostMsgAbout: {
        const char *title = wParam ? (const char *)wParam : "";
        const char *text = lParam ? (const char *)lParam : "";
        state.aboutBoxes.push_back({title, text});
        Echo("[about] %s: %s", title, text);
        return 0;
    }
    case HostMsgRegister:
    case HostMsgUnregister: {
        Registration registration = {(HWND)wParam, {}};
        // The list ends at a 0; stop at 16 numbers in case it does not.
        const unsigned *list = (const unsigned *)lParam;
        for (int i = 0; list && i < 16 && list[i]; i++)
            registration.messages.push_back(list[i]);
        if (message == HostMsgRegister) {
            state.registrations.push_back(registration);
        } else {
            for (size_t i = 0; i < state.registrations.size(); i++) {
                if (state.registrations[i].window == registration.window) {
                    state.registrations.erase(state.registrations.begin() + (long)i);
                    break;
                }
            }
        }
        return 0;
    }
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND HostWindow()
{
    HostState &state = State();
    if (state.windowGone)
        return state.window;
#ifdef _WIN32
    if (!state.window) {
        WNDCLASSA cls = {};
        cls.lpfnWndProc = HostWindowProc;
        cls.hInstance = GetModuleHandleA(nullptr);
        cls.lpszClassName = "VeskStandIn";
        RegisterClassA(&cls);
        state.window = CreateWindowExA(0, "VeskStandIn", "Vesk", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                       nullptr, cls.hInstance, nullptr);
    }
#else
    if (!state.window || !platform::WindowExists(state.window))
        state.window = platform::CreateHostWindow("VeskStandIn", HostWindowProc);
#endif
    return state.window;
}

} // namespace testhost

using namespace testhost;

HWND GetVeskWnd()
{
    HostCall call;
    return HostWindow();
}

LPCSTR GetVeskVersion()
{
    HostCall call;
    return ReturnedText(State().version);
}

LPCSTR stylePath(LPCSTR)
{
    HostCall call;
    return ReturnedText(State().stylePath);
}

static bool IsFile(const std::string &path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && (info.st_mode & S_IFMT) == S_IFREG;
}

LPCSTR ConfigFileExists(LPCSTR fileName, LPCSTR pluginFolder)
{
    HostCall call;
    static std::string found;
    found.clear();
    if (!fileName || !fileName[0])
        return "";
    std::string inPluginFolder = std::string(pluginFolder ? pluginFolder : "") + fileName;
    if (IsFile(inPluginFolder))
        found = inPluginFolder;
    else if (!State().configFolder.empty() && IsFile(State().configFolder + fileName))
        found = State().configFolder + fileName;
    return ReturnedText(found);
}

bool FileExists(LPCSTR path)
{
    HostCall call;
    return path && path[0] && IsFile(path);
}

bool IsInString(LPCSTR text, LPCSTR part)
{
    HostCall call;
    // Letter case is ignored, as style files are written by hand.
    if (!text || !part)
        return false;
    size_t textLength = strlen(text), partLength = strlen(part);
    if (partLength > textLength)
        return false;
    for (size_t i = 0; i + partLength <= textLength; i++) {
        if (strncasecmp(text + i, part, partLength) == 0)
            return true;
    }
    return false;
}

static bool IsSeparator(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

int VeskTokenize(LPCSTR text, LPSTR *words, unsigned count, LPSTR rest)
{
    HostCall call;
    // Tokens split at blanks; a double-quoted token keeps its blanks and loses
    // its quotes. No token can be longer than the text, so buffers as large
    // as the text are enough.
    if (rest)
        rest[0] = 0;
    if (!text)
        return 0;
    const char *p = text;
    unsigned found = 0;
    while (found < count) {
        while (IsSeparator(*p))
            p++;
        if (!*p)
            break;
        char *out = words ? words[found] : nullptr;
        size_t n = 0;
        if (*p == '"') {
            p++;
            while (*p && *p != '"') {
                if (out)
                    out[n++] = *p;
                p++;
            }
            if (*p == '"')
                p++;
        } else {
            while (*p && !IsSeparator(*p)) {
                if (out)
                    out[n++] = *p;
                p++;
            }
        }
        if (out)
            out[n] = 0;
        found++;
    }
    while (IsSeparator(*p))
        p++;
    if (rest)
        strcpy(rest, p);
    return (int)found;
}

BOOL VeskExecute(HWND owner, LPCSTR verb, LPCSTR target, LPCSTR args, LPCSTR dir, int show,
                 int flags)
{
    HostCall call;
    // The stand-in host never starts a program or opens an address itself.
    State().executions.push_back({owner, verb ? verb : "(null)", target ? target : "",
                                  args ? args : "", dir ? dir : "", show, flags});
    Echo("[execute] %s", target ? target : "");
    return TRUE;
}
