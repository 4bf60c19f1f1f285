// Log lines that the debug setting ("lifx.debug:") lets through.
#pragma once

#include "host/log.h"

// Formats into a fixed buffer and sends, only while the debug flag is on.
void DebugLog(int level, const char *format, ...)
#ifdef __GNUC__
    __attribute__((format(printf, 2, 3)))
#endif
    ;
