#include "Workspace.h"

#include <QDesktopServices>
#include <QFile>

#include <libproc.h>
#include <sys/proc_info.h>

#include <algorithm>
#include <vector>

namespace Platform {

namespace {

class ProcWorkspace : public Workspace {
public:
    QStringList runningExecutablePaths() override
    {
        // The count changes between calls; ask with room to spare.
        const int needed = proc_listallpids(nullptr, 0);
        if (needed <= 0)
            return {};
        std::vector<pid_t> ids(size_t(needed) + 64);
        const int count = proc_listallpids(ids.data(), int(ids.size() * sizeof(pid_t)));
        if (count <= 0)
            return {};
        ids.resize(size_t(count));
        std::sort(ids.begin(), ids.end());
        QStringList paths;
        for (const pid_t id : ids) {
            char path[PROC_PIDPATHINFO_MAXSIZE];
            // Fails for processes of other users we may not look at.
            if (proc_pidpath(id, path, sizeof path) > 0)
                paths.append(QFile::decodeName(path));
        }
        return paths;
    }

    bool openURL(const QUrl& url) override { return QDesktopServices::openUrl(url); }
};

}  // namespace

std::shared_ptr<Workspace> makeSystemWorkspace()
{
    return std::make_shared<ProcWorkspace>();
}

}  // namespace Platform
