#include "Workspace.h"

#include <QDesktopServices>
#include <QFile>

#include <algorithm>
#include <climits>
#include <dirent.h>
#include <string>
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

class ProcWorkspace : public Workspace {
public:
    QStringList runningExecutablePaths() override
    {
        static const QByteArray deletedMark = " (deleted)";
        QStringList paths;
        for (const unsigned long id : processIds()) {
            const std::string link = "/proc/" + std::to_string(id) + "/exe";
            char target[PATH_MAX];
            const ssize_t length = ::readlink(link.c_str(), target, sizeof target);
            // Processes we may not look at, kernel threads, and ones that just ended.
            if (length <= 0 || size_t(length) >= sizeof target)
                continue;
            QByteArray path(target, length);
            if (path.endsWith(deletedMark))
                path.chop(deletedMark.size());
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
