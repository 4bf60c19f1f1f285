#include "tools/preview/terminal.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace preview
{

volatile sig_atomic_t quitSignal = 0;
volatile sig_atomic_t resized = 0;

namespace
{

termios original;
volatile sig_atomic_t entered = 0;

// Cursor shown, line wrap on, attributes reset, main screen back.
const char kRestore[] = "\x1b[0m\x1b[?25h\x1b[?7h\x1b[?1049l";

void Restore()
{
    if (!entered)
        return;
    entered = 0;
    ssize_t ignored = write(STDOUT_FILENO, kRestore, sizeof kRestore - 1);
    (void)ignored;
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &original);
}

void OnQuit(int signal)
{
    quitSignal = signal;
}

void OnResize(int)
{
    resized = 1;
}

// A crash still gives the terminal back; then the default action.
void OnFatal(int signal)
{
    Restore();
    ::signal(signal, SIG_DFL);
    raise(signal);
}

void Handle(int signal, void (*handler)(int))
{
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
}

// The length of the UTF-8 character that begins with this byte.
size_t CharacterLength(unsigned char first)
{
    if (first >= 0xF0)
        return 4;
    if (first >= 0xE0)
        return 3;
    if (first >= 0xC0)
        return 2;
    return 1;
}

Key Simple(KeyKind kind)
{
    Key key;
    key.kind = kind;
    return key;
}

// A whole escape sequence (CSI or SS3) after the ESC.
Key Sequence(const std::string &body)
{
    char final = body.back();
    if (body[0] == 'O') {
        switch (final) {
        case 'A':
            return Simple(KeyUp);
        case 'B':
            return Simple(KeyDown);
        case 'C':
            return Simple(KeyRight);
        case 'D':
            return Simple(KeyLeft);
        case 'H':
            return Simple(KeyHome);
        case 'F':
            return Simple(KeyEnd);
        }
        return Simple(KeyIgnored);
    }
    switch (final) {
    case 'A':
        return Simple(KeyUp);
    case 'B':
        return Simple(KeyDown);
    case 'C':
        return Simple(KeyRight);
    case 'D':
        return Simple(KeyLeft);
    case 'H':
        return Simple(KeyHome);
    case 'F':
        return Simple(KeyEnd);
    case '~': {
        int code = atoi(body.c_str() + 1);
        if (code == 1 || code == 7)
            return Simple(KeyHome);
        if (code == 4 || code == 8)
            return Simple(KeyEnd);
        if (code == 3)
            return Simple(KeyDelete);
        return Simple(KeyIgnored);
    }
    }
    return Simple(KeyIgnored);
}

} // namespace

void InstallSignalHandlers()
{
    Handle(SIGINT, OnQuit);
    Handle(SIGTERM, OnQuit);
    Handle(SIGHUP, OnQuit);
    Handle(SIGWINCH, OnResize);
    ::signal(SIGPIPE, SIG_IGN);
}

bool EnterTerminal()
{
    if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO))
        return false;
    if (tcgetattr(STDIN_FILENO, &original) != 0)
        return false;
    termios raw = original;
    raw.c_iflag &= ~(tcflag_t)(BRKINT | ICRNL | INPCK | ISTRIP | IXON);
    raw.c_oflag &= ~(tcflag_t)OPOST;
    raw.c_cflag |= CS8;
    // Ctrl-C and Ctrl-Z arrive as keys: the preview ends the host in order.
    raw.c_lflag &= ~(tcflag_t)(ECHO | ICANON | IEXTEN | ISIG);
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    if (tcsetattr(STDIN_FILENO, TCSAFLUSH, &raw) != 0)
        return false;
    entered = 1;
    Handle(SIGSEGV, OnFatal);
    Handle(SIGABRT, OnFatal);
    Handle(SIGBUS, OnFatal);
    Handle(SIGFPE, OnFatal);
    Handle(SIGILL, OnFatal);
    atexit(Restore);
    // Alternate screen, cleared once; cursor hidden while drawing; no wrap,
    // so a narrow terminal cuts lines instead of scrolling the frame.
    WriteAll("\x1b[?1049h\x1b[2J\x1b[H\x1b[?7l");
    return true;
}

void LeaveTerminal()
{
    Restore();
}

void TerminalSize(int &columns, int &rows)
{
    winsize size;
    columns = 80;
    rows = 24;
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 && size.ws_row > 0) {
        columns = size.ws_col;
        rows = size.ws_row;
    }
}

void WriteAll(const std::string &text)
{
    size_t done = 0;
    // Bounded: each pass writes something or gives up on an error.
    for (int tries = 0; done < text.size() && tries < 1000; tries++) {
        ssize_t n = write(STDOUT_FILENO, text.data() + done, text.size() - done);
        if (n > 0)
            done += (size_t)n;
        else if (n < 0 && errno != EINTR && errno != EAGAIN)
            return;
    }
}

void DecodeKeys(const char *data, size_t length, std::string &pending, std::vector<Key> &keys)
{
    std::string bytes = pending + std::string(data, length);
    pending.clear();
    size_t i = 0;
    while (i < bytes.size()) {
        unsigned char c = (unsigned char)bytes[i];
        if (c == 0x1b) {
            if (i + 1 >= bytes.size()) {
                // A lone ESC at the end of a read: the Escape key itself.
                keys.push_back(Simple(KeyEscape));
                i++;
                continue;
            }
            char next = bytes[i + 1];
            if (next != '[' && next != 'O') {
                // Alt and a key: taken as Escape, the key follows.
                keys.push_back(Simple(KeyEscape));
                i++;
                continue;
            }
            size_t end = i + 2;
            if (next == '[') {
                while (end < bytes.size() &&
                       ((unsigned char)bytes[end] < 0x40 || (unsigned char)bytes[end] > 0x7e))
                    end++;
            }
            if (end >= bytes.size()) {
                pending = bytes.substr(i);
                return;
            }
            keys.push_back(Sequence(bytes.substr(i + 1, end - i)));
            i = end + 1;
            continue;
        }
        if (c == '\r' || c == '\n') {
            keys.push_back(Simple(KeyEnter));
            // CR LF from a paste is one Enter.
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
                i++;
            i++;
            continue;
        }
        if (c == 0x7f || c == 0x08) {
            keys.push_back(Simple(KeyBackspace));
            i++;
            continue;
        }
        if (c == '\t') {
            keys.push_back(Simple(KeyTab));
            i++;
            continue;
        }
        if (c < 0x20) {
            Key key;
            key.kind = KeyControl;
            key.control = (char)('a' + c - 1);
            keys.push_back(key);
            i++;
            continue;
        }
        size_t n = CharacterLength(c);
        if (i + n > bytes.size()) {
            pending = bytes.substr(i);
            return;
        }
        Key key;
        key.kind = KeyText;
        key.text = bytes.substr(i, n);
        keys.push_back(key);
        i += n;
    }
}

} // namespace preview
