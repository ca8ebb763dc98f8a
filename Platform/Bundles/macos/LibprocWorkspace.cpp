#include "Platform/Bundles/macos/LibprocWorkspace.h"

#include <QFile>

#include <libproc.h>
#include <sys/proc_info.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

namespace Platform {

bool LibprocWorkspace::isExecutableRunning(const QString& executablePath)
{
    const std::string wanted = QFile::encodeName(executablePath).toStdString();
    if (wanted.empty())
        return false;
    struct stat wantedFile;
    const bool wantedExists = ::stat(wanted.c_str(), &wantedFile) == 0;
    char resolved[PATH_MAX];
    const bool wantedResolves = ::realpath(wanted.c_str(), resolved) != nullptr;
    // proc_listallpids takes the buffer's size in bytes and answers with a number of pids. The
    // number changes between calls; ask with room to spare.
    const int needed = proc_listallpids(nullptr, 0);
    if (needed <= 0)
        return false;
    std::vector<pid_t> ids(size_t(needed) + 64);
    const int count = proc_listallpids(ids.data(), int(ids.size() * sizeof(pid_t)));
    if (count <= 0)
        return false;
    ids.resize(size_t(count));
    std::sort(ids.begin(), ids.end());
    for (const pid_t id : ids) {
        struct proc_bsdinfo owner;
        if (m_onlyUser
            && (proc_pidinfo(id, PROC_PIDTBSDINFO, 0, &owner, sizeof owner) != int(sizeof owner)
                || owner.pbi_uid != *m_onlyUser))
            continue;
        char path[PROC_PIDPATHINFO_MAXSIZE];
        // Fails for processes of other users we may not look at.
        if (proc_pidpath(id, path, sizeof path) <= 0)
            continue;
        struct stat running;
        if (wantedExists && ::stat(path, &running) == 0 && running.st_dev == wantedFile.st_dev
            && running.st_ino == wantedFile.st_ino)
            return true;
        // The path the system gives is resolved; compare it with ours resolved the same way.
        if (wantedResolves && std::string(path) == resolved)
            return true;
    }
    return false;
}

}  // namespace Platform
