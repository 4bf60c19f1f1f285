#include "commands/typos.h"

#include <ctype.h>
#include <stdio.h>
#include <string.h>

#include "commands/numbers.h"
#include "host/log.h"

static char g_line[512];

void LogTypo(const char *format, const char *typed, const char *accepted)
{
    snprintf(g_line, sizeof g_line, format, typed, accepted);
    HostLog(LogError, g_line);
}

bool ReadTypedNumber(const char *typed, const char *name, const char *accepted, int *value)
{
    if (ReadWholeNumber(typed, value))
        return true;
    if (typed[0])
        snprintf(g_line, sizeof g_line, "...%s \"%.40s\" is not a number! Give %s.", name, typed,
                 accepted);
    else
        snprintf(g_line, sizeof g_line, "...no %s given! Give %s.", name, accepted);
    HostLog(LogError, g_line);
    return false;
}

void LogKeywordTypo(const char *verb, const char *typed, const char *accepted)
{
    snprintf(g_line, sizeof g_line, "...unknown command \"%s %.40s\"! Give %s.", verb, typed,
             accepted);
    HostLog(LogError, g_line);
}

enum { kCompared = 40 };

// The letters of text, lower case, blanks left out, at most kCompared.
static int Letters(const char *text, char (&out)[kCompared])
{
    int n = 0;
    for (; *text && n < kCompared; text++) {
        if (*text != ' ' && *text != '\t')
            out[n++] = (char)tolower((unsigned char)*text);
    }
    return *text ? -1 : n;
}

bool NearlyEqual(const char *typed, const char *word)
{
    static char a[kCompared], b[kCompared];
    int n = Letters(typed, a), m = Letters(word, b);
    if (n < 3 || m < 0 || n - m > 2 || m - n > 2)
        return false;
    // Edit distance with swaps of neighbours, over three rows.
    static int rows[3][kCompared + 1];
    int *before = rows[0], *last = rows[1], *now = rows[2];
    for (int j = 0; j <= m; j++)
        last[j] = j;
    for (int i = 1; i <= n; i++) {
        now[0] = i;
        for (int j = 1; j <= m; j++) {
            int cost = a[i - 1] == b[j - 1] ? 0 : 1;
            int best = last[j - 1] + cost;
            if (last[j] + 1 < best)
                best = last[j] + 1;
            if (now[j - 1] + 1 < best)
                best = now[j - 1] + 1;
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1] &&
                before[j - 2] + 1 < best)
                best = before[j - 2] + 1;
            now[j] = best;
        }
        int *spare = before;
        before = last;
        last = now;
        now = spare;
    }
    return last[m] <= 2;
}
