// The stand-in host program's system side on Linux: the plug-in is a shared
// object whose host functions and platform calls resolve from this program.
#include <dirent.h>
#include <dlfcn.h>
#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/control_linux.h"
#include "testhost/program.h"

namespace hostprogram
{

static void ShowMessageBox(const platform::MessageBoxCall &call)
{
    PrintMessageBox(call.caption.c_str(), call.text.c_str(), call.type);
}

void SetUp()
{
    // A user may ask the plug-in to broadcast, or to search a range beyond
    // loopback: the network guard refuses it and says so on standard error,
    // and the host goes on.
    platform::RecordRefusedDestinations(true);
    platform::UseManualClock(false);
    platform::SetMessageBoxObserver(ShowMessageBox);
}

static std::string ProgramFolder()
{
    char self[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return "./";
    std::string path(self, (size_t)length);
    return path.substr(0, path.rfind('/') + 1);
}

std::string DefaultModulePath()
{
    return ProgramFolder() + "Chromalet-LIFX.so";
}

bool MakeTemporaryFolder(std::string &folder)
{
    const char *base = getenv("TMPDIR");
    std::string pattern = std::string(base && base[0] ? base : "/tmp") + "/vesk-host-XXXXXX";
    if (!mkdtemp(&pattern[0]))
        return false;
    folder = pattern;
    return true;
}

bool MakeFolder(const std::string &folder)
{
    std::string path;
    size_t start = 0;
    while (start <= folder.size()) {
        size_t slash = folder.find('/', start);
        if (slash == std::string::npos)
            slash = folder.size();
        path = folder.substr(0, slash);
        if (!path.empty() && mkdir(path.c_str(), 0755) != 0 && errno != EEXIST)
            return false;
        start = slash + 1;
    }
    struct stat info;
    return stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

void RemoveFolderTree(const std::string &folder)
{
    DIR *dir = opendir(folder.c_str());
    if (!dir)
        return;
    while (dirent *entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        std::string path = folder + "/" + name;
        struct stat info;
        if (lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
            RemoveFolderTree(path);
        else
            unlink(path.c_str());
    }
    closedir(dir);
    rmdir(folder.c_str());
}

std::string FolderPath(const std::string &folder)
{
    if (!folder.empty() && folder.back() == '/')
        return folder;
    return folder + "/";
}

std::string BaseName(const std::string &path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The copy is written to a new file beside the target and renamed over it:
// another host that has the module loaded keeps the file it mapped, which a
// copy written in place would change under it.
bool CopyModule(const std::string &from, const std::string &to)
{
    FILE *in = fopen(from.c_str(), "rb");
    if (!in)
        return false;
    std::string temporary = to + ".new-XXXXXX";
    int fd = mkstemp(&temporary[0]);
    FILE *out = fd < 0 ? nullptr : fdopen(fd, "wb");
    if (!out) {
        if (fd >= 0) {
            close(fd);
            unlink(temporary.c_str());
        }
        fclose(in);
        return false;
    }
    char buffer[65536];
    size_t n;
    bool ok = true;
    while (ok && (n = fread(buffer, 1, sizeof buffer, in)) > 0)
        ok = fwrite(buffer, 1, n, out) == n;
    ok = !ferror(in) && ok;
    fclose(in);
    ok = fchmod(fileno(out), 0644) == 0 && ok;
    ok = fclose(out) == 0 && ok;
    ok = ok && rename(temporary.c_str(), to.c_str()) == 0;
    if (!ok)
        unlink(temporary.c_str());
    return ok;
}

bool LoadPlugin(const std::string &path, Plugin &plugin, std::string &error)
{
    // RTLD_NOW: a host function or platform call this program lacks shows
    // here, not in the middle of a script.
    void *module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        const char *reason = dlerror();
        error = reason ? reason : "dlopen failed";
        return false;
    }
    plugin.begin = (BeginPluginFunction)dlsym(module, "beginPlugin");
    plugin.end = (EndPluginFunction)dlsym(module, "endPlugin");
    if (!plugin.begin || !plugin.end) {
        error = "beginPlugin or endPlugin is not exported";
        dlclose(module);
        return false;
    }
    // The platform layer finds the module's file through this handle.
    plugin.instance = (HINSTANCE)module;
    return true;
}

void UnloadPlugin(Plugin &plugin)
{
    if (plugin.instance)
        dlclose((void *)plugin.instance);
    plugin = Plugin();
}

HWND FindWindowOfClass(const char *className)
{
    return platform::FindWindowOfClass(className);
}

void RunMessageLoop(unsigned ms)
{
    platform::RunMessageLoop(ms);
}

bool LastTrayRecord(DWORD &message, NOTIFYICONDATAA &record)
{
    const std::vector<platform::TrayCall> &calls = platform::TrayCalls();
    if (calls.empty())
        return false;
    message = calls.back().message;
    record = calls.back().data;
    return true;
}

} // namespace hostprogram
