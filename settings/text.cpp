#include "settings/text.h"

static char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? (char)(c + ('a' - 'A')) : c;
}

bool EqualIgnoringCase(const char *a, const char *b)
{
    for (;; a++, b++) {
        if (Lower(*a) != Lower(*b))
            return false;
        if (!*a)
            return true;
    }
}

bool StartsWithIgnoringCase(const char *text, const char *prefix)
{
    for (; *prefix; text++, prefix++) {
        if (Lower(*text) != Lower(*prefix))
            return false;
    }
    return true;
}
