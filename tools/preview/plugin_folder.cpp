#include "tools/preview/plugin_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace preview
{

namespace
{

const char kLockName[] = "preview.lock";

} // namespace

bool HoldPluginFolder(const std::string &folder)
{
    // Kept open for the whole run; the kernel lets go of the lock however
    // the preview ends, so a crashed run never blocks the next.
    int fd = open((folder + "/" + kLockName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return true; // a folder we cannot lock is no folder another preview holds
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return false;
    }
    return true;
}

bool MakeFreshFolder(std::string &folder)
{
    const char *base = getenv("TMPDIR");
    std::string pattern =
        std::string(base && base[0] ? base : "/tmp") + "/chromalet-preview-XXXXXX";
    if (!mkdtemp(&pattern[0]))
        return false;
    folder = pattern;
    return true;
}

void RemoveFolder(const std::string &folder)
{
    DIR *dir = opendir(folder.c_str());
    if (!dir)
        return;
    // Bounded by the folder's entries.
    while (dirent *entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        std::string path = folder + "/" + name;
        struct stat info;
        if (lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
            RemoveFolder(path);
        else
            unlink(path.c_str());
    }
    closedir(dir);
    rmdir(folder.c_str());
}

} // namespace preview
