// Lights' labels: 32 bytes of UTF-8 from the network, kept safely, and
// shown in the system's code page in menus and log lines.
#pragma once

#include <stddef.h>

enum {
    kLabelBytes = 32,
    kLabelTextSize = kLabelBytes + 1,
    // A character of the code page takes no more bytes than its UTF-8 form,
    // but at most two; room for two each.
    kShownLabelSize = 2 * kLabelBytes + 1,
};

// A label as it is kept: at most `size` and at most 32 bytes of text, up to
// its first zero; control characters become spaces, blanks at either end go
// (the settings file would lose them), every other byte stays as it was.
void CleanLabel(const char *text, size_t size, char (&out)[kLabelTextSize]);
// The label in the system's code page: whole characters only, each that the
// code page cannot show, or that is no valid UTF-8, a "?".
void ShownLabel(const char *label, char (&out)[kShownLabelSize]);
// The multiplication sign, as in "16×8", in the system's code page: an "x"
// where the code page has none.
void ShownTimesSign(char (&out)[4]);
