// The Windows calls the plug-in makes. On Windows these are the real headers;
// elsewhere a small stand-in with the same names and meanings.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>
#include <shellapi.h>
#include <wtsapi32.h>

// The module file name of a Windows module uses backslashes.
static const char kPathSeparator = '\\';
#else
#include "platform/win32_linux.h"
#endif
