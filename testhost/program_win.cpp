// The stand-in host program's system side on Windows: "Vesk.exe" loads the
// plug-in DLL, which imports the host functions from this program.
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <string.h>

#include "testhost/program.h"

namespace hostprogram
{

static int WINAPI HostMessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT type)
{
    PrintMessageBox(caption ? caption : "", text ? text : "", type);
    return IDOK;
}

typedef BOOL(WINAPI *ShellNotifyIconFunction)(DWORD, PNOTIFYICONDATAA);
static ShellNotifyIconFunction g_shellNotifyIcon;
static DWORD g_trayMessage;
static NOTIFYICONDATAA g_trayRecord;
static bool g_trayRecorded;

// Keeps what the shell reads of the record, then hands it to the shell.
static BOOL WINAPI HostShellNotifyIconA(DWORD message, PNOTIFYICONDATAA data)
{
    memset(&g_trayRecord, 0, sizeof g_trayRecord);
    DWORD size = data->cbSize < sizeof g_trayRecord ? data->cbSize : sizeof g_trayRecord;
    memcpy(&g_trayRecord, data, size);
    g_trayMessage = message;
    g_trayRecorded = true;
    return g_shellNotifyIcon(message, data);
}

bool LastTrayRecord(DWORD &message, NOTIFYICONDATAA &record)
{
    if (!g_trayRecorded)
        return false;
    message = g_trayMessage;
    record = g_trayRecord;
    return true;
}

// Points the module's imports of a system function at this program instead.
static void RedirectImport(HMODULE module, ULONG_PTR real, ULONG_PTR replacement)
{
    if (!real)
        return;
    BYTE *base = (BYTE *)module;
    IMAGE_DOS_HEADER *dos = (IMAGE_DOS_HEADER *)base;
    IMAGE_NT_HEADERS *nt = (IMAGE_NT_HEADERS *)(base + dos->e_lfanew);
    IMAGE_DATA_DIRECTORY imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!imports.VirtualAddress)
        return;
    for (IMAGE_IMPORT_DESCRIPTOR *library =
             (IMAGE_IMPORT_DESCRIPTOR *)(base + imports.VirtualAddress);
         library->Name; library++) {
        for (IMAGE_THUNK_DATA *slot = (IMAGE_THUNK_DATA *)(base + library->FirstThunk);
             slot->u1.Function; slot++) {
            if (slot->u1.Function != real)
                continue;
            DWORD protection;
            if (VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, PAGE_READWRITE,
                               &protection)) {
                slot->u1.Function = replacement;
                VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, protection,
                               &protection);
            }
        }
    }
}

static ULONG_PTR SystemFunction(const char *library, const char *name)
{
    HMODULE module = GetModuleHandleA(library);
    return module ? (ULONG_PTR)GetProcAddress(module, name) : 0;
}

// A message box would wait for a click that never comes: it is printed as
// on Linux and the script goes on. The tray record is kept for the script's
// ":tray-record" and still reaches the shell.
static void RedirectImports(HMODULE module)
{
    RedirectImport(module, SystemFunction("user32.dll", "MessageBoxA"), (ULONG_PTR)HostMessageBoxA);
    ULONG_PTR shellNotifyIcon = SystemFunction("shell32.dll", "Shell_NotifyIconA");
    g_shellNotifyIcon = (ShellNotifyIconFunction)shellNotifyIcon;
    RedirectImport(module, shellNotifyIcon, (ULONG_PTR)HostShellNotifyIconA);
}

void SetUp()
{
    // Lines end in LF, as on Linux, so both hosts' output compares alike.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

static std::string Backslashed(std::string path)
{
    for (char &c : path) {
        if (c == '/')
            c = '\\';
    }
    return path;
}

std::string DefaultModulePath()
{
    char self[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, self, sizeof self);
    std::string path(self, length < sizeof self ? length : 0);
    return path.substr(0, path.rfind('\\') + 1) + "Chromalet-LIFX.dll";
}

bool MakeTemporaryFolder(std::string &folder)
{
    char temporary[MAX_PATH];
    DWORD length = GetTempPathA(sizeof temporary, temporary);
    if (length == 0 || length >= sizeof temporary)
        return false;
    for (unsigned attempt = 0; attempt < 100; attempt++) {
        char name[64];
        snprintf(name, sizeof name, "vesk-host-%lu-%lu-%u", (unsigned long)GetCurrentProcessId(),
                 (unsigned long)GetTickCount(), attempt);
        std::string path = FolderPath(temporary) + name;
        if (CreateDirectoryA(path.c_str(), nullptr)) {
            folder = path;
            return true;
        }
    }
    return false;
}

bool MakeFolder(const std::string &folder)
{
    std::string path = Backslashed(folder);
    // Each parent in turn; a drive ("C:") or an empty root part fails
    // harmlessly as it already exists.
    for (size_t i = 0; i <= path.size(); i++) {
        if (i == path.size() || (path[i] == '\\' && i > 0))
            CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
    }
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void RemoveFolderTree(const std::string &folder)
{
    std::string path = Backslashed(folder);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!strcmp(found.cFileName, ".") || !strcmp(found.cFileName, ".."))
                continue;
            std::string entry = path + "\\" + found.cFileName;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveFolderTree(entry);
            else
                DeleteFileA(entry.c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(path.c_str());
}

std::string FolderPath(const std::string &folder)
{
    std::string path = Backslashed(folder);
    if (!path.empty() && path.back() == '\\')
        return path;
    return path + "\\";
}

std::string BaseName(const std::string &path)
{
    size_t separator = path.find_last_of("\\/");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

// Files a host moved aside because another host still had them loaded;
// those no host holds any more go.
static void RemoveMovedAside(const std::string &target)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((target + ".old-*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    std::string folder = target.substr(0, target.rfind('\\') + 1);
    // Bounded by the folder's entries.
    do {
        DeleteFileA((folder + found.cFileName).c_str());
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

// The copy is written to a new file and renamed over the target, so a host
// that has the module loaded never sees it rewritten. Windows refuses to
// replace a loaded module, but lets it be renamed: such a one is moved aside
// first, and removed by a later start once no host holds it.
bool CopyModule(const std::string &from, const std::string &to)
{
    std::string target = Backslashed(to);
    RemoveMovedAside(target);
    char unique[64];
    snprintf(unique, sizeof unique, "-%lu-%lu", (unsigned long)GetCurrentProcessId(),
             (unsigned long)GetTickCount());
    std::string fresh = target + ".new" + unique;
    if (!CopyFileA(Backslashed(from).c_str(), fresh.c_str(), TRUE))
        return false;
    if (MoveFileExA(fresh.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING))
        return true;
    std::string aside = target + ".old" + unique;
    if (MoveFileExA(target.c_str(), aside.c_str(), 0) &&
        MoveFileExA(fresh.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        DeleteFileA(aside.c_str());
        return true;
    }
    DeleteFileA(fresh.c_str());
    return false;
}

bool LoadPlugin(const std::string &path, Plugin &plugin, std::string &error)
{
    HMODULE module = LoadLibraryA(Backslashed(path).c_str());
    if (!module) {
        char text[64];
        snprintf(text, sizeof text, "LoadLibrary failed with error %lu",
                 (unsigned long)GetLastError());
        error = text;
        return false;
    }
    plugin.begin = (BeginPluginFunction)(void *)GetProcAddress(module, "beginPlugin");
    plugin.end = (EndPluginFunction)(void *)GetProcAddress(module, "endPlugin");
    if (!plugin.begin || !plugin.end) {
        error = "beginPlugin or endPlugin is not exported";
        FreeLibrary(module);
        return false;
    }
    RedirectImports(module);
    plugin.instance = (HINSTANCE)module;
    return true;
}

void UnloadPlugin(Plugin &plugin)
{
    if (plugin.instance)
        FreeLibrary((HMODULE)plugin.instance);
    plugin = Plugin();
}

HWND FindWindowOfClass(const char *className)
{
    return FindWindowA(className, nullptr);
}

void RunMessageLoop(unsigned ms)
{
    ULONGLONG deadline = GetTickCount64() + ms;
    // Bounded by the deadline; each pass either dispatches or waits.
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        ULONGLONG now = GetTickCount64();
        if (now >= deadline)
            return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, (DWORD)(deadline - now), QS_ALLINPUT);
    }
}

} // namespace hostprogram
