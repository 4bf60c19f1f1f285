// IPv4 addresses as people write them: four decimal numbers of 0 to 255,
// leading zeros read as decimal ("192.168.001.020" is 192.168.1.20). The one
// reader for every address the user gives, by command or in the settings
// file; octal, hexadecimal and short forms are refused.
#pragma once

#include <stddef.h>
#include <stdint.h>

enum { kAddressTextSize = 16 }; // "255.255.255.255" and its terminator

// Reads exactly `length` characters. Host byte order: 192.168.1.20 is
// 0xC0A80114.
bool ReadAddress(const char *text, size_t length, uint32_t *address);
// A.B.C.D without leading zeros.
void FormatAddress(char (&text)[kAddressTextSize], uint32_t address);
// A light's address for a device slot: readable, and neither 0.0.0.0 nor
// 255.255.255.255. The address as it is then stored and sent to.
bool ReadDeviceAddress(const char *text, char (&address)[kAddressTextSize]);
