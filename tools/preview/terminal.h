// The terminal of the live view: raw input, the alternate screen, and a way
// back to the terminal as it was at exit, on the signals that end the
// preview, and on a crash. Keys are decoded from the bytes a terminal sends.
#pragma once

#include <signal.h>
#include <stddef.h>

#include <string>
#include <vector>

namespace preview
{

// Set by SIGINT, SIGTERM and SIGHUP (the signal's number), and SIGWINCH.
extern volatile sig_atomic_t quitSignal;
extern volatile sig_atomic_t resized;

// Installs the handlers of the signals above, and ignores SIGPIPE (a host
// that has gone shows as a closed pipe instead).
void InstallSignalHandlers();

// Raw input, alternate screen, no line wrap. False when standard input or
// output is no terminal.
bool EnterTerminal();
// Puts everything back; safe to call twice.
void LeaveTerminal();

void TerminalSize(int &columns, int &rows);

// Writes all of the text to standard output.
void WriteAll(const std::string &text);

enum KeyKind {
    KeyText, // one character, UTF-8, in `text`
    KeyEnter,
    KeyBackspace,
    KeyDelete,
    KeyLeft,
    KeyRight,
    KeyUp,
    KeyDown,
    KeyHome,
    KeyEnd,
    KeyEscape,
    KeyTab,
    KeyControl, // Ctrl and a letter, the letter in `control` ('a'-'z')
    KeyIgnored,
};

struct Key {
    KeyKind kind = KeyIgnored;
    std::string text;
    char control = 0;
};

// Decodes the bytes read; an escape sequence cut at the end of a read stays
// in `pending` for the next.
void DecodeKeys(const char *data, size_t length, std::string &pending, std::vector<Key> &keys);

} // namespace preview
