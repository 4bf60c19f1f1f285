#include "tools/preview/host_process.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char **environ;

namespace preview
{

namespace
{

int64_t Clock()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (int64_t)now.tv_sec * 1000 + now.tv_nsec / 1000000;
}

void SplitLines(HostProcess &host, const char *data, size_t length, std::vector<HostLine> &lines)
{
    host.partial.append(data, length);
    size_t start = 0;
    for (;;) {
        size_t end = host.partial.find('\n', start);
        if (end == std::string::npos)
            break;
        HostLine line;
        line.text = host.partial.substr(start, end - start);
        if (!line.text.empty() && line.text.back() == '\r')
            line.text.pop_back();
        // The host echoes each line it plays, trimmed, as "> LINE".
        if (!host.unechoed.empty() && line.text.size() >= 2 && line.text.compare(0, 2, "> ") == 0 &&
            line.text.compare(2, std::string::npos, host.unechoed.front().text) == 0) {
            line.echo = true;
            line.internal = host.unechoed.front().internal;
            host.unechoed.pop_front();
        }
        lines.push_back(line);
        start = end + 1;
    }
    host.partial.erase(0, start);
}

bool Reap(HostProcess &host, bool wait)
{
    if (host.reaped || host.pid <= 0)
        return true;
    int status = 0;
    pid_t result = waitpid(host.pid, &status, wait ? 0 : WNOHANG);
    if (result != host.pid)
        return false;
    host.reaped = true;
    host.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return true;
}

// Polls for the child's end for up to ms, reading and dropping what it
// still prints so that it never blocks on a full pipe.
bool ReapWithin(HostProcess &host, int ms)
{
    int64_t end = Clock() + ms;
    // Bounded by the time given.
    while (!Reap(host, false)) {
        if (Clock() >= end)
            return false;
        if (host.output >= 0) {
            pollfd fd = {host.output, POLLIN, 0};
            if (poll(&fd, 1, 20) > 0) {
                char buffer[4096];
                if (read(host.output, buffer, sizeof buffer) <= 0) {
                    close(host.output);
                    host.output = -1;
                }
            }
        } else {
            usleep(20000);
        }
    }
    return true;
}

} // namespace

bool StartHost(HostProcess &host, const std::vector<std::string> &argv, bool mergeErrors,
               std::string &error)
{
    int toHost[2], fromHost[2];
    if (pipe2(toHost, O_CLOEXEC) != 0)
        return error = strerror(errno), false;
    if (pipe2(fromHost, O_CLOEXEC) != 0) {
        error = strerror(errno);
        close(toHost[0]);
        close(toHost[1]);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toHost[0], 0);
    posix_spawn_file_actions_adddup2(&actions, fromHost[1], 1);
    if (mergeErrors)
        posix_spawn_file_actions_adddup2(&actions, fromHost[1], 2);
    // Its own process group: a terminal's Ctrl-C reaches the preview, which
    // ends the host in order.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                              POSIX_SPAWN_SETSIGDEF);
    posix_spawnattr_setpgroup(&attributes, 0);
    sigset_t none, defaults;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    sigaddset(&defaults, SIGHUP);
    posix_spawnattr_setsigdefault(&attributes, &defaults);

    std::vector<char *> args;
    for (const std::string &arg : argv)
        args.push_back(const_cast<char *>(arg.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    int result = posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(toHost[0]);
    close(fromHost[1]);
    if (result != 0) {
        error = std::string("cannot start ") + argv[0] + ": " + strerror(result);
        close(toHost[1]);
        close(fromHost[0]);
        return false;
    }
    host = HostProcess();
    host.pid = pid;
    host.input = toHost[1];
    host.output = fromHost[0];
    return true;
}

bool SendHostLine(HostProcess &host, const std::string &line, bool internal)
{
    if (host.input < 0)
        return false;
    std::string text = line + "\n";
    size_t done = 0;
    // A line is small; the pipe takes it whole unless the host has stopped
    // reading, which the bounded retries give up on.
    for (int tries = 0; done < text.size() && tries < 200; tries++) {
        ssize_t n = write(host.input, text.data() + done, text.size() - done);
        if (n > 0) {
            done += (size_t)n;
        } else if (n < 0 && errno != EINTR && errno != EAGAIN) {
            close(host.input);
            host.input = -1;
            return false;
        } else {
            usleep(10000);
        }
    }
    if (done < text.size())
        return false;
    host.unechoed.push_back({line, internal});
    return true;
}

void TakeHostOutput(HostProcess &host, std::vector<HostLine> &lines)
{
    if (host.output < 0)
        return;
    char buffer[65536];
    ssize_t n = read(host.output, buffer, sizeof buffer);
    if (n > 0) {
        SplitLines(host, buffer, (size_t)n, lines);
    } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
        if (!host.partial.empty())
            SplitLines(host, "\n", 1, lines);
        close(host.output);
        host.output = -1;
        host.ended = true;
    }
}

bool ReadHostLines(HostProcess &host, int timeoutMs, std::vector<HostLine> &lines)
{
    if (host.output < 0)
        return false;
    pollfd fd = {host.output, POLLIN, 0};
    int ready = poll(&fd, 1, timeoutMs < 0 ? 0 : timeoutMs);
    if (ready > 0)
        TakeHostOutput(host, lines);
    return host.output >= 0;
}

int FinishHost(HostProcess &host, int graceMs)
{
    if (host.input >= 0) {
        close(host.input);
        host.input = -1;
    }
    // The host runs in a process group of its own, with whatever it started
    // (Wine's loader under xvfb-run, say): the group is ended with it.
    if (host.pid > 0 && !ReapWithin(host, graceMs)) {
        kill(-host.pid, SIGTERM);
        if (!ReapWithin(host, 3000)) {
            kill(-host.pid, SIGKILL);
            Reap(host, true);
        }
    }
    if (host.output >= 0) {
        close(host.output);
        host.output = -1;
    }
    return host.status;
}

} // namespace preview
