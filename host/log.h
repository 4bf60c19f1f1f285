// Log lines to the host's console.
#pragma once

#include "host/vesk.h"

// Sends one line with HostMsgLog to the host's window, whatever the debug flag.
void HostLog(int level, const char *text);
// Formats into a fixed buffer and sends, only while the debug flag is on.
void DebugLog(int level, const char *format, ...)
#ifdef __GNUC__
    __attribute__((format(printf, 2, 3)))
#endif
    ;
