// What the fuzz targets share: one scratch folder for the whole run, the
// plug-in's state put back as after loading, and a way to stop at once on a
// broken rule so that libFuzzer keeps the input that broke it.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>

// A folder of its own (in /dev/shm, else /tmp), made on first use and removed at exit; the
// plug-in module's file name is pointed into it. Ends in '/'.
const std::string &FuzzFolder();
std::string FuzzSettingsPath();

void FuzzWriteFile(const std::string &path, const void *data, size_t size);
std::string FuzzReadFile(const std::string &path);

// The stand-in platform and host reset, the manual clock, and the plug-in's
// process-wide values as when the library was just loaded.
void FuzzResetAll();

// Inputs of the targets that take answers from the network: datagrams one
// after another, each a sender byte, a little-endian length of two bytes and
// that many bytes, the last cut short to what is left.
struct FuzzDatagram {
    uint8_t sender;
    const uint8_t *data;
    size_t length;
};
// The datagram at *at, moving *at past it; false when none is left.
bool NextFuzzDatagram(const uint8_t *input, size_t size, size_t *at, FuzzDatagram *datagram);

// Reports a broken rule and aborts, so the fuzzer saves the input.
[[noreturn]] void FuzzFail(const char *what);
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition))                                                                          \
            FuzzFail(#condition);                                                                  \
    } while (0)
