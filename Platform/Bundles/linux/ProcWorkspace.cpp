#include "Platform/Bundles/linux/ProcWorkspace.h"

#include "Platform/Files/Paths.h"

#include <algorithm>
#include <climits>
#include <dirent.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace Platform {

namespace {

// Process ids from the names of /proc's numeric entries, in ascending order.
std::vector<unsigned long> processIds()
{
    std::vector<unsigned long> ids;
    DIR* directory = ::opendir("/proc");
    if (!directory)
        return ids;
    while (const dirent* item = ::readdir(directory)) {
        const std::string name = item->d_name;
        if (name.empty() || name.size() > 10 || !std::all_of(name.begin(), name.end(), ::isdigit))
            continue;
        ids.push_back(std::stoul(name));
    }
    ::closedir(directory);
    std::sort(ids.begin(), ids.end());
    return ids;
}

}  // namespace

bool ProcWorkspace::isExecutableRunning(const QString& executablePath)
{
    const std::string wanted = toPath(executablePath).native();
    if (wanted.empty())
        return false;
    struct stat wantedFile;
    const bool wantedExists = ::stat(wanted.c_str(), &wantedFile) == 0;
    // As /proc shows an executable whose file is gone: its folder resolved, its name kept.
    const std::optional<std::string> wantedResolved = withResolvedFolder(wanted);
    static const std::string deletedMark = " (deleted)";
    for (const unsigned long id : processIds()) {
        const std::string folder = "/proc/" + std::to_string(id);
        struct stat owner;
        if (m_onlyUser && (::stat(folder.c_str(), &owner) != 0 || owner.st_uid != *m_onlyUser))
            continue;
        const std::string link = folder + "/exe";
        struct stat running;
        // Processes we may not look at, kernel threads, and ones that just ended.
        if (::stat(link.c_str(), &running) != 0)
            continue;
        if (wantedExists && running.st_dev == wantedFile.st_dev && running.st_ino == wantedFile.st_ino)
            return true;
        // An executable deleted or replaced since the process started: only its path is
        // left, resolved and marked by /proc.
        if (running.st_nlink != 0 || !wantedResolved)
            continue;
        char target[PATH_MAX];
        const ssize_t length = ::readlink(link.c_str(), target, sizeof target);
        if (length <= 0 || size_t(length) >= sizeof target)
            continue;
        std::string path(target, size_t(length));
        if (path.ends_with(deletedMark))
            path.resize(path.size() - deletedMark.size());
        if (path == *wantedResolved)
            return true;
    }
    return false;
}

}  // namespace Platform
