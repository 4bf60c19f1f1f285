// Log lines to the host's console.
#pragma once

#include "host/vesk.h"

// Sends one line with HostMsgLog to the host's window.
void HostLog(int level, const char *text);
