// Linux stand-in for the Windows user interface, module and file calls the
// plug-in makes. Single-threaded: everything runs on the caller's thread.
#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/ioctl.h>
#include <time.h>

#include <string>
#include <vector>

#include "platform/control_linux.h"
#include "platform/win32.h"

namespace platform
{
struct Window {
    HWND handle;
    std::string className;
    WNDPROC proc;
    bool alive;
};
struct WindowClass {
    std::string name;
    WNDPROC proc;
};
struct Timer {
    HWND window;
    UINT_PTR id;
    UINT period;
    uint64_t due;
};

static std::vector<Window> windows;
static std::vector<WindowClass> classes;
static std::vector<Timer> timers;
static std::vector<MessageBoxCall> messageBoxes;
static void (*messageBoxObserver)(const MessageBoxCall &);
static std::vector<TrayCall> trayCalls;
static bool trayIconShown;
static std::vector<HWND> sessionWindows;
static std::vector<FilterCall> filterCalls;
static std::vector<std::string> registeredMessages;
static bool iconResourcePresent = true;
static int liveIcons;
static uintptr_t nextIcon = 0x5000;
static std::string moduleFileName;
static int faults[FaultCount];
static int wsaStartups;
static bool manualClock = true;
static uint64_t manualNow;

static int platformCallDepth;

PlatformCall::PlatformCall()
{
    platformCallDepth++;
}

PlatformCall::~PlatformCall()
{
    platformCallDepth--;
}

int PlatformCallDepth()
{
    return platformCallDepth;
}

static bool Fails(Fault fault)
{
    if (faults[fault] == 0)
        return false;
    if (faults[fault] > 0)
        faults[fault]--;
    return true;
}

void InjectFault(Fault fault, int times)
{
    faults[fault] = times;
}
int WsaStartupsOutstanding()
{
    return wsaStartups;
}

void UseManualClock(bool manual)
{
    manualClock = manual;
}

uint64_t NowMs()
{
    if (manualClock)
        return manualNow;
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (uint64_t)now.tv_sec * 1000 + (uint64_t)now.tv_nsec / 1000000;
}

static Window *FindWindow(HWND handle)
{
    for (Window &window : windows) {
        if (window.handle == handle && window.alive)
            return &window;
    }
    return nullptr;
}

bool WindowExists(HWND window)
{
    return FindWindow(window) != nullptr;
}

HWND FindWindowOfClass(const char *className)
{
    for (Window &window : windows) {
        if (window.alive && window.className == className)
            return window.handle;
    }
    return nullptr;
}

static WindowClass *FindClass(const char *name)
{
    for (WindowClass &cls : classes) {
        if (cls.name == name)
            return &cls;
    }
    return nullptr;
}

bool ClassRegistered(const char *className)
{
    return FindClass(className) != nullptr;
}

static HWND AddWindow(const char *className, WNDPROC proc)
{
    HWND handle = (HWND)(uintptr_t)(0x10000 + 0x10 * (windows.size() + 1));
    windows.push_back({handle, className, proc, true});
    return handle;
}

HWND CreateHostWindow(const char *className, WNDPROC proc)
{
    return AddWindow(className, proc);
}

// The earliest timer due at or before `limit`, or null.
static Timer *NextDueTimer(uint64_t limit)
{
    Timer *next = nullptr;
    for (Timer &timer : timers) {
        if (timer.due <= limit && (!next || timer.due < next->due))
            next = &timer;
    }
    return next;
}

// Fires the next due timer, if any is due by `limit`; false when none is.
static bool FireNextTimer(uint64_t limit)
{
    Timer *timer = NextDueTimer(limit);
    if (!timer)
        return false;
    if (manualClock)
        manualNow = timer->due;
    timer->due += timer->period ? timer->period : 1;
    HWND window = timer->window;
    UINT_PTR id = timer->id;
    SendMessageA(window, WM_TIMER, id, 0);
    return true;
}

void AdvanceClock(uint64_t ms)
{
    uint64_t target = manualNow + ms;
    // Bounded: a 1 ms timer over a long advance still ends.
    for (int i = 0; i < 10000000 && FireNextTimer(target); i++) {
    }
    manualNow = target;
}

void SleepClock(uint64_t ms)
{
    manualNow += ms;
    for (Timer &timer : timers) {
        if (timer.due < manualNow)
            timer.due = manualNow;
    }
}

void RunMessageLoop(uint64_t ms)
{
    uint64_t deadline = NowMs() + ms;
    for (;;) {
        uint64_t now = NowMs();
        if (FireNextTimer(now))
            continue;
        if (now >= deadline)
            return;
        uint64_t wake = deadline;
        Timer *next = NextDueTimer(deadline);
        if (next && next->due < wake)
            wake = next->due;
        timespec pause = {(time_t)((wake - now) / 1000), (long)((wake - now) % 1000) * 1000000};
        nanosleep(&pause, nullptr);
    }
}

bool TimerRunning(HWND window, UINT_PTR id, UINT *periodMs)
{
    for (Timer &timer : timers) {
        if (timer.window == window && timer.id == id) {
            if (periodMs)
                *periodMs = timer.period;
            return true;
        }
    }
    return false;
}

int RunningTimers()
{
    return (int)timers.size();
}

const std::vector<MessageBoxCall> &MessageBoxes()
{
    return messageBoxes;
}
void SetMessageBoxObserver(void (*observer)(const MessageBoxCall &))
{
    messageBoxObserver = observer;
}
const std::vector<TrayCall> &TrayCalls()
{
    return trayCalls;
}
bool TrayIconShown()
{
    return trayIconShown;
}

bool SessionNotificationsRegistered(HWND window)
{
    for (HWND registered : sessionWindows) {
        if (registered == window)
            return true;
    }
    return false;
}

const std::vector<FilterCall> &MessageFilterCalls()
{
    return filterCalls;
}
void SetIconResourcePresent(bool present)
{
    iconResourcePresent = present;
}
int LiveIcons()
{
    return liveIcons;
}
void SetModuleFileName(const char *path)
{
    moduleFileName = path ? path : "";
}

void ResetNet();

void Reset()
{
    ResetNet();
    UseMachineInterfaces();
    windows.clear();
    classes.clear();
    timers.clear();
    messageBoxes.clear();
    trayCalls.clear();
    trayIconShown = false;
    sessionWindows.clear();
    filterCalls.clear();
    iconResourcePresent = true;
    liveIcons = 0;
    memset(faults, 0, sizeof faults);
    wsaStartups = 0;
    manualNow = 0;
}
} // namespace platform

using namespace platform;

int WSAStartup(WORD version, WSADATA *data)
{
    if (Fails(FaultWsaStartup))
        return 10091; // WSASYSNOTREADY
    data->wVersion = version;
    data->wHighVersion = version;
    wsaStartups++;
    return 0;
}

int WSACleanup()
{
    wsaStartups--;
    return 0;
}

int ioctlsocket(SOCKET s, long command, u_long *argument)
{
    int value = argument ? (int)*argument : 0;
    return ioctl(s, (unsigned long)command, &value);
}

int WSAGetLastError()
{
    return errno;
}

DWORD GetTickCount()
{
    return (DWORD)NowMs();
}

ATOM RegisterClassA(const WNDCLASSA *cls)
{
    PlatformCall call;
    if (Fails(FaultRegisterClass) || !cls->lpszClassName || FindClass(cls->lpszClassName))
        return 0;
    classes.push_back({cls->lpszClassName, cls->lpfnWndProc});
    return (ATOM)classes.size();
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE)
{
    PlatformCall call;
    for (size_t i = 0; i < classes.size(); i++) {
        if (classes[i].name == className) {
            classes.erase(classes.begin() + (long)i);
            return TRUE;
        }
    }
    return FALSE;
}

HWND CreateWindowExA(DWORD, LPCSTR className, LPCSTR, DWORD, int, int, int, int, HWND, HMENU,
                     HINSTANCE, LPVOID)
{
    PlatformCall call;
    WindowClass *cls = FindClass(className);
    if (!cls || Fails(FaultCreateWindow))
        return nullptr;
    return AddWindow(className, cls->proc);
}

BOOL ShowWindow(HWND, int)
{
    return FALSE;
}

BOOL DestroyWindow(HWND handle)
{
    PlatformCall call;
    Window *window = FindWindow(handle);
    if (!window)
        return FALSE;
    window->alive = false;
    for (size_t i = timers.size(); i-- > 0;) {
        if (timers[i].window == handle)
            timers.erase(timers.begin() + (long)i);
    }
    return TRUE;
}

LRESULT DefWindowProcA(HWND, UINT, WPARAM, LPARAM)
{
    return 0;
}

LRESULT SendMessageA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam)
{
    Window *window = FindWindow(handle);
    if (!window || !window->proc)
        return 0;
    return window->proc(handle, message, wParam, lParam);
}

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapseMs, TIMERPROC)
{
    PlatformCall call;
    if (!FindWindow(window))
        return 0;
    // Windows keeps the period within 10 ms and about 24.8 days.
    UINT period = elapseMs < 10 ? 10 : elapseMs;
    for (Timer &timer : timers) {
        if (timer.window == window && timer.id == id) {
            timer.period = period;
            timer.due = NowMs() + period;
            return id;
        }
    }
    timers.push_back({window, id, period, NowMs() + period});
    return id;
}

BOOL KillTimer(HWND window, UINT_PTR id)
{
    PlatformCall call;
    for (size_t i = 0; i < timers.size(); i++) {
        if (timers[i].window == window && timers[i].id == id) {
            timers.erase(timers.begin() + (long)i);
            return TRUE;
        }
    }
    return FALSE;
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    PlatformCall call;
    messageBoxes.push_back({owner, text ? text : "", caption ? caption : "", type});
    if (messageBoxObserver)
        messageBoxObserver(messageBoxes.back());
    return 1; // IDOK
}

UINT RegisterWindowMessageA(LPCSTR name)
{
    PlatformCall call;
    for (size_t i = 0; i < registeredMessages.size(); i++) {
        if (registeredMessages[i] == name)
            return (UINT)(0xC000 + i);
    }
    registeredMessages.push_back(name);
    return (UINT)(0xC000 + registeredMessages.size() - 1);
}

BOOL ChangeWindowMessageFilterEx(HWND window, UINT message, DWORD action, void *)
{
    PlatformCall call;
    filterCalls.push_back({window, message, action});
    return TRUE;
}

HWND GetDesktopWindow()
{
    return (HWND)(uintptr_t)0x10010;
}

HICON LoadIconA(HINSTANCE instance, LPCSTR name)
{
    // Only the system's stock icons and the plug-in's own resource exist.
    if (!instance || iconResourcePresent) {
        liveIcons++;
        return (HICON)(nextIcon++);
    }
    (void)name;
    return nullptr;
}

HANDLE LoadImageA(HINSTANCE, LPCSTR name, UINT type, int, int, UINT flags)
{
    struct stat info;
    if (type != IMAGE_ICON || !(flags & LR_LOADFROMFILE) || !name || stat(name, &info) != 0 ||
        !S_ISREG(info.st_mode))
        return nullptr;
    liveIcons++;
    return (HANDLE)(nextIcon++);
}

BOOL DestroyIcon(HICON icon)
{
    if (!icon)
        return FALSE;
    liveIcons--;
    return TRUE;
}

BOOL Shell_NotifyIconA(DWORD message, NOTIFYICONDATAA *data)
{
    PlatformCall call;
    trayCalls.push_back({message, *data});
    if (message == NIM_ADD)
        trayIconShown = true;
    else if (message == NIM_DELETE)
        trayIconShown = false;
    return TRUE;
}

BOOL WTSRegisterSessionNotification(HWND window, DWORD)
{
    PlatformCall call;
    sessionWindows.push_back(window);
    return TRUE;
}

BOOL WTSUnRegisterSessionNotification(HWND window)
{
    PlatformCall call;
    for (size_t i = 0; i < sessionWindows.size(); i++) {
        if (sessionWindows[i] == window) {
            sessionWindows.erase(sessionWindows.begin() + (long)i);
            return TRUE;
        }
    }
    return FALSE;
}

BOOL DisableThreadLibraryCalls(HMODULE)
{
    return TRUE;
}

DWORD GetModuleFileNameA(HMODULE module, LPSTR name, DWORD size)
{
    PlatformCall call;
    std::string path = moduleFileName;
    if (path.empty()) {
        link_map *map = nullptr;
        if (module && dlinfo((void *)module, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name)
            path = map->l_name;
        else {
            char self[4096];
            ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
            if (length > 0)
                path.assign(self, (size_t)length);
        }
    }
    if (size == 0)
        return 0;
    // As on Windows: a name that does not fit is cut, terminated, and the
    // full buffer size returned.
    if (path.size() >= size) {
        memcpy(name, path.data(), size - 1);
        name[size - 1] = 0;
        return size;
    }
    memcpy(name, path.c_str(), path.size() + 1);
    return (DWORD)path.size();
}

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD, void *, DWORD disposition, DWORD, HANDLE)
{
    PlatformCall call;
    if (Fails(FaultCreateFile) || (disposition != CREATE_ALWAYS && disposition != OPEN_EXISTING) ||
        !(access & GENERIC_WRITE))
        return INVALID_HANDLE_VALUE;
    int flags = disposition == CREATE_ALWAYS ? O_CREAT | O_TRUNC : 0;
    int fd = open(name, O_WRONLY | O_CLOEXEC | flags, 0644);
    if (fd < 0)
        return INVALID_HANDLE_VALUE;
    return (HANDLE)(intptr_t)(fd + 1);
}

BOOL WriteFile(HANDLE file, const void *data, DWORD size, DWORD *written, void *)
{
    PlatformCall call;
    int fd = (int)(intptr_t)file - 1;
    const char *bytes = (const char *)data;
    DWORD done = 0;
    while (done < size) {
        ssize_t n = write(fd, bytes + done, size - done);
        if (n <= 0)
            break;
        done += (DWORD)n;
    }
    if (written)
        *written = done;
    return done == size;
}

BOOL CloseHandle(HANDLE handle)
{
    PlatformCall call;
    return close((int)(intptr_t)handle - 1) == 0;
}
