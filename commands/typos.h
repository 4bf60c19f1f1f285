// The answers to typed commands that cannot be carried out: one error line
// each, whatever the debug setting, naming what was typed (cut short) and
// what is accepted.
#pragma once

// format holds two %s: what was typed, then what is accepted.
void LogTypo(const char *format, const char *typed, const char *accepted);
// A typed number, as ReadWholeNumber reads it; otherwise the line "...name
// "typed" is not a number! Give accepted." (or "...no name given!") and
// false.
bool ReadTypedNumber(const char *typed, const char *name, const char *accepted, int *value);
// "...unknown command "verb typed"! Give accepted.", for a keyword that the
// verb does not take.
void LogKeywordTypo(const char *verb, const char *typed, const char *accepted);
// Whether typed is at most two slips of a key (a letter missing, added,
// changed, or two swapped) from word, ignoring case and blanks: "Dicover"
// is Discover, "AutoPower" is "Auto Power".
bool NearlyEqual(const char *typed, const char *word);
