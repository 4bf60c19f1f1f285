// The prompt's line editor: insert and delete at the cursor, move by
// character, Home and End, Ctrl-U and Ctrl-K, and a history walked with the
// up and down arrows.
#pragma once

#include <stddef.h>

#include <string>
#include <vector>

#include "tools/preview/terminal.h"

namespace preview
{

struct LineEditor {
    std::string text;  // UTF-8
    size_t cursor = 0; // byte offset, at a character's start
    std::vector<std::string> history;
    size_t browsing = 0; // index into history; history.size() when not browsing
    std::string draft;   // the line being typed before browsing began
};

enum EditResult {
    EditChanged,
    EditSubmit, // Enter: the text is the line
    EditEscape,
    EditQuit,   // Ctrl-C, or Ctrl-D on an empty line
    EditRedraw, // Ctrl-L
    EditNothing,
};

EditResult EditKey(LineEditor &editor, const Key &key);

// Replaces the text, cursor at its end, history browsing left.
void SetEditorText(LineEditor &editor, const std::string &text);
// Adds a line to the history (not twice in a row, not empty).
void Remember(LineEditor &editor, const std::string &line);

// Characters before the cursor (its column in the text).
size_t CursorColumn(const LineEditor &editor);

} // namespace preview
