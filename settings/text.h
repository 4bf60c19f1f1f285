// Text comparisons the plug-in shares. ASCII letter case only: the plug-in's
// names and keywords are ASCII, and the user's locale must not change them.
#pragma once

bool EqualIgnoringCase(const char *a, const char *b);
// True when text begins with prefix, ignoring case.
bool StartsWithIgnoringCase(const char *text, const char *prefix);
