#include "tools/preview/line_editor.h"

namespace preview
{

namespace
{

const size_t kHistoryLimit = 200;
const size_t kLineLimit = 4000; // the host reads lines of up to 8 KiB

bool Continuation(char c)
{
    return ((unsigned char)c & 0xC0) == 0x80;
}

size_t Previous(const std::string &text, size_t at)
{
    if (at == 0)
        return 0;
    at--;
    while (at > 0 && Continuation(text[at]))
        at--;
    return at;
}

size_t Next(const std::string &text, size_t at)
{
    if (at >= text.size())
        return text.size();
    at++;
    while (at < text.size() && Continuation(text[at]))
        at++;
    return at;
}

void Browse(LineEditor &editor, bool back)
{
    if (editor.browsing > editor.history.size())
        editor.browsing = editor.history.size();
    if (back) {
        if (editor.browsing == 0)
            return;
        if (editor.browsing == editor.history.size())
            editor.draft = editor.text;
        editor.browsing--;
        editor.text = editor.history[editor.browsing];
    } else {
        if (editor.browsing >= editor.history.size())
            return;
        editor.browsing++;
        editor.text = editor.browsing == editor.history.size() ? editor.draft
                                                               : editor.history[editor.browsing];
    }
    editor.cursor = editor.text.size();
}

} // namespace

void SetEditorText(LineEditor &editor, const std::string &text)
{
    editor.text = text.substr(0, kLineLimit);
    editor.cursor = editor.text.size();
    editor.browsing = editor.history.size();
    editor.draft.clear();
}

void Remember(LineEditor &editor, const std::string &line)
{
    if (!line.empty() && (editor.history.empty() || editor.history.back() != line))
        editor.history.push_back(line);
    if (editor.history.size() > kHistoryLimit)
        editor.history.erase(editor.history.begin());
    editor.browsing = editor.history.size();
    editor.draft.clear();
}

size_t CursorColumn(const LineEditor &editor)
{
    size_t column = 0;
    for (size_t i = 0; i < editor.cursor && i < editor.text.size(); i++) {
        if (!Continuation(editor.text[i]))
            column++;
    }
    return column;
}

EditResult EditKey(LineEditor &editor, const Key &key)
{
    std::string &text = editor.text;
    switch (key.kind) {
    case KeyText:
        if (text.size() + key.text.size() > kLineLimit)
            return EditNothing;
        text.insert(editor.cursor, key.text);
        editor.cursor += key.text.size();
        return EditChanged;
    case KeyEnter:
        return EditSubmit;
    case KeyBackspace: {
        if (editor.cursor == 0)
            return EditNothing;
        size_t from = Previous(text, editor.cursor);
        text.erase(from, editor.cursor - from);
        editor.cursor = from;
        return EditChanged;
    }
    case KeyDelete:
        if (editor.cursor >= text.size())
            return EditNothing;
        text.erase(editor.cursor, Next(text, editor.cursor) - editor.cursor);
        return EditChanged;
    case KeyLeft:
        editor.cursor = Previous(text, editor.cursor);
        return EditChanged;
    case KeyRight:
        editor.cursor = Next(text, editor.cursor);
        return EditChanged;
    case KeyHome:
        editor.cursor = 0;
        return EditChanged;
    case KeyEnd:
        editor.cursor = text.size();
        return EditChanged;
    case KeyUp:
        Browse(editor, true);
        return EditChanged;
    case KeyDown:
        Browse(editor, false);
        return EditChanged;
    case KeyEscape:
        return EditEscape;
    case KeyControl:
        switch (key.control) {
        case 'a':
            editor.cursor = 0;
            return EditChanged;
        case 'e':
            editor.cursor = text.size();
            return EditChanged;
        case 'b':
            editor.cursor = Previous(text, editor.cursor);
            return EditChanged;
        case 'f':
            editor.cursor = Next(text, editor.cursor);
            return EditChanged;
        case 'u':
            text.erase(0, editor.cursor);
            editor.cursor = 0;
            return EditChanged;
        case 'k':
            text.erase(editor.cursor);
            return EditChanged;
        case 'p':
            Browse(editor, true);
            return EditChanged;
        case 'n':
            Browse(editor, false);
            return EditChanged;
        case 'c':
            return EditQuit;
        case 'd':
            if (text.empty())
                return EditQuit;
            if (editor.cursor < text.size())
                text.erase(editor.cursor, Next(text, editor.cursor) - editor.cursor);
            return EditChanged;
        case 'l':
            return EditRedraw;
        }
        return EditNothing;
    default:
        return EditNothing;
    }
}

} // namespace preview
