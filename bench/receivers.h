// Plain UDP sockets on loopback that stand where the lights would be. They
// only read what arrives, so the benchmarks time the sender and nothing else.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "emulator/loopback.h"

enum {
    kBenchLights = 10,
    kBenchMaxDatagrams = 64,
    kBenchDatagramSize = 1024, // the largest message is 700 bytes
};

struct CapturedDatagram {
    int light; // 0-9, the receiving socket
    int size;
    uint8_t bytes[kBenchDatagramSize];
};

struct Receivers {
    char addresses[kBenchLights][kLoopbackAddressSize];
    int sockets[kBenchLights];
    int count;
};

// Binds one non-blocking socket to port 56700 on each of ten loopback
// addresses of this process. False, with the reason in error, on failure.
bool ReceiversOpen(Receivers &receivers, int group, char *error, size_t errorSize);
void ReceiversClose(Receivers &receivers);

// Reads everything queued on every socket, waiting a little (bounded) while
// fewer than `expected` datagrams have come. Copies at most `capacity` of
// them into `captured` in the order read (light by light). Returns how many
// were read.
int ReceiversDrain(Receivers &receivers, int expected, CapturedDatagram *captured = nullptr,
                   int capacity = 0);
