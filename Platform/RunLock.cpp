#include "Platform/RunLock.h"

#include "Platform/SearchPaths.h"

#include <QDir>
#include <QFile>

#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>

namespace Platform {

std::optional<RunLock> RunLock::take(const QString& path, std::chrono::milliseconds wait, bool* busy, QString* why)
{
    *busy = false;
    // Never through a link, and never a file someone else made for us to wait on.
    UniqueFd fd(::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644));
    struct stat info;
    if (!fd.valid() || ::fstat(fd.get(), &info) != 0) {
        *why =
            QStringLiteral("Cannot use the lock file %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return std::nullopt;
    }
    if (!S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) {
        *why = QStringLiteral("The lock file %1 is not a file of ours; remove it").arg(path);
        return std::nullopt;
    }
    const auto giveUp = std::chrono::steady_clock::now() + wait;
    while (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            *why = QStringLiteral("Cannot lock %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
            return std::nullopt;
        }
        if (std::chrono::steady_clock::now() >= giveUp) {
            *busy = true;
            *why = QStringLiteral("Another installer run holds %1").arg(path);
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return RunLock(std::move(fd));
}

QString RunLock::defaultPath()
{
    const QString name = QStringLiteral("/foldwise-installer.lock");
    if (::geteuid() == 0)
        return systemLockFolder() + name;
    const QString runtime = QFile::decodeName(qgetenv("XDG_RUNTIME_DIR"));
    if (QDir::isAbsolutePath(runtime))
        return runtime + name;
    return QDir::tempPath() + QStringLiteral("/foldwise-installer-%1.lock").arg(::geteuid());
}

}  // namespace Platform
