// The host program as a child process: its standard input takes script
// lines, its standard output is read back line by line. The host echoes
// each line it plays as "> LINE" before playing it, so the echo of the next
// line marks the end of the one before.
#pragma once

#include <sys/types.h>

#include <deque>
#include <string>
#include <vector>

namespace preview
{

struct HostLine {
    std::string text;
    // The echo of a line the preview sent; `internal` when the preview sent
    // it on its own account (the waits that keep the timers running).
    bool echo = false;
    bool internal = false;
};

struct HostProcess {
    pid_t pid = -1;
    int input = -1;  // the host's standard input
    int output = -1; // its standard output (and standard error when merged)
    std::string partial;
    struct Sent {
        std::string text;
        bool internal;
    };
    std::deque<Sent> unechoed;
    bool ended = false; // its output has closed
    bool reaped = false;
    int status = -1; // exit status once reaped; 128 + signal when killed
};

// Starts the program (argv[0] looked up on PATH when it has no slash).
// Standard error goes to the same pipe as standard output when mergeErrors,
// else it stays the preview's own.
bool StartHost(HostProcess &host, const std::vector<std::string> &argv, bool mergeErrors,
               std::string &error);

// Sends one line (without its line end). False once the host has gone.
bool SendHostLine(HostProcess &host, const std::string &line, bool internal);

// Waits up to timeoutMs for output and appends every complete line read;
// returns false once the output has closed and nothing is left.
bool ReadHostLines(HostProcess &host, int timeoutMs, std::vector<HostLine> &lines);

// Takes what is read without waiting (the descriptor polled ready).
void TakeHostOutput(HostProcess &host, std::vector<HostLine> &lines);

// Closes its input, waits up to graceMs for it to end, then ends it
// (SIGTERM, then SIGKILL after another grace). Returns the exit status.
int FinishHost(HostProcess &host, int graceMs);

} // namespace preview
