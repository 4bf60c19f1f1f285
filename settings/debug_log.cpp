#include "settings/debug_log.h"

#include <stdarg.h>
#include <stdio.h>

#include "settings/settings.h"

void DebugLog(int level, const char *format, ...)
{
    if (!g_settings.debug)
        return;
    // One line at a time on the host's thread, so one buffer serves all.
    static char line[4096];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    HostLog(level, line);
}
