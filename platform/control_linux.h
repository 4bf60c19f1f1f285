// What the Linux stand-in platform lets its programs see and steer: the clock
// its timers run on, the calls the plug-in made, and injected faults. The
// plug-in never includes this; tests and the stand-in host do.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "platform/win32.h"

namespace platform
{

// Unit tests advance a manual clock by hand; host programs use the real one.
void UseManualClock(bool manual);
uint64_t NowMs();
// Manual clock: moves time forward, delivering every timer tick that falls
// due on the way, in order.
void AdvanceClock(uint64_t ms);
// Manual clock: moves time forward as over a computer asleep, no tick on the
// way; each timer then falls due once, at the next advance.
void SleepClock(uint64_t ms);
// Real clock: runs the timers for ms milliseconds.
void RunMessageLoop(uint64_t ms);
bool TimerRunning(HWND window, UINT_PTR id, UINT *periodMs = nullptr);
int RunningTimers();

bool WindowExists(HWND window);
HWND FindWindowOfClass(const char *className);
bool ClassRegistered(const char *className);
// A window whose procedure the caller supplies, as a host creates its own.
HWND CreateHostWindow(const char *className, WNDPROC proc);

struct MessageBoxCall {
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
};
const std::vector<MessageBoxCall> &MessageBoxes();
// Called for each message box as it is shown (the host programs print them).
void SetMessageBoxObserver(void (*observer)(const MessageBoxCall &));

struct TrayCall {
    DWORD message;
    NOTIFYICONDATAA data;
};
const std::vector<TrayCall> &TrayCalls();
bool TrayIconShown();

bool SessionNotificationsRegistered(HWND window);
struct FilterCall {
    HWND window;
    UINT message;
    DWORD action;
};
const std::vector<FilterCall> &MessageFilterCalls();

// Whether the plug-in module carries its icon resource (it does by default).
void SetIconResourcePresent(bool present);
int LiveIcons();

// The file name GetModuleFileNameA reports for every module; empty restores
// the real one.
void SetModuleFileName(const char *path);

enum Fault {
    FaultRegisterClass,
    FaultCreateWindow,
    FaultCreateFile,
    FaultWsaStartup,
    FaultCount,
};
// The next `times` calls fail (-1: every call until cleared).
void InjectFault(Fault fault, int times = 1);
int WsaStartupsOutstanding();

enum NetFault {
    NetFaultSocket,
    NetFaultConnect,
    NetFaultSend,
    NetFaultCount,
};
// Fails socket creation, or connect and send to one address (null: any).
void InjectNetFault(NetFault fault, const char *address = nullptr, int times = 1);
struct NetStats {
    int socketsCreated;
    int socketsClosed;
    int connects;
    int sends;
};
NetStats GetNetStats();

// Platform calls now in progress: what the platform allocates for itself
// while one runs is not the plug-in's doing. SendMessageA is not counted, as
// it runs the receiving window's procedure.
int PlatformCallDepth();
// Marks a platform call for as long as it runs.
struct PlatformCall {
    PlatformCall();
    ~PlatformCall();
};

// The network interfaces GetAdaptersAddresses lists: these instead of the
// machine's own, until Reset or UseMachineInterfaces.
struct Interface {
    std::string address; // dotted IPv4
    int prefixLength;
    bool up;
    bool loopback;
};
void SetInterfaces(const std::vector<Interface> &interfaces);
void UseMachineInterfaces();

// The network guard aborts the program on a destination outside 127.0.0.0/8.
// Recording instead refuses the call (ENETUNREACH), nothing leaves, and the
// destination is kept and, when report is set, named on standard error: for
// the host program, whose user may ask the plug-in to broadcast, and for
// tests of that.
void RecordRefusedDestinations(bool record, bool report = true);
const std::vector<std::string> &RefusedDestinations();

// Back to a clean state: no windows, classes, timers, records or faults.
void Reset();

} // namespace platform
