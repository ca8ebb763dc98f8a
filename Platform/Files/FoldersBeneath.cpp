#include "Platform/Files/FoldersBeneath.h"

#include <QList>

#include <cerrno>
#include <sys/stat.h>

namespace Platform {

namespace {

bool isLink(int folder, const QByteArray& name)
{
    struct stat entry;
    return ::fstatat(folder, name.constData(), &entry, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(entry.st_mode);
}

}  // namespace

UniqueFd openFolderBeneathStepByStep(int folder, const QByteArray& relative, int& error)
{
    if (relative.startsWith('/')) {
        error = EXDEV;
        return UniqueFd();
    }
    UniqueFd current(::openat(folder, ".", kWalkFolderFlags));
    if (!current.valid()) {
        error = errno;
        return current;
    }
    for (const QByteArray& name : relative.split('/')) {
        if (name.isEmpty() || name == ".")
            continue;
        if (name == "..") {
            error = EXDEV;
            return UniqueFd();
        }
        UniqueFd next(::openat(current.get(), name.constData(), kWalkFolderFlags));
        if (!next.valid()) {
            const int failure = errno;
            // With O_PATH a link is opened as itself and then fails O_DIRECTORY: tell it apart
            // from a file standing on the way.
            error = (failure == ENOTDIR || failure == ELOOP) && isLink(current.get(), name) ? ELOOP : failure;
            return next;
        }
        current = std::move(next);
    }
    return current;
}

}  // namespace Platform
