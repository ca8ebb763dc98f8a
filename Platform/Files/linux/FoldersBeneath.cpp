#include "Platform/Files/FoldersBeneath.h"

#include <QList>

#include <cerrno>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace Platform {

namespace {

bool takesParentStep(const QByteArray& path)
{
    return path.split('/').contains(QByteArrayLiteral(".."));
}

}  // namespace

UniqueFd openFolderBeneath(int folder, const QByteArray& relative, int& error)
{
#ifdef SYS_openat2
    // RESOLVE_BENEATH alone would still allow a ".." that stays below; we take none at all, as
    // the step-by-step walk does.
    if (takesParentStep(relative)) {
        error = EXDEV;
        return UniqueFd();
    }
    open_how how{};
    // Without O_NOFOLLOW, so that a link at the end fails with ELOOP like one on the way, instead
    // of being opened as itself.
    how.flags = kWalkFolderFlags & ~O_NOFOLLOW;
    how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS | RESOLVE_BENEATH;
    const long fd = ::syscall(SYS_openat2, folder, relative.constData(), &how, sizeof how);
    if (fd >= 0)
        return UniqueFd(int(fd));
    // A kernel before 5.6, or a seccomp filter (as in some containers) that refuses the call.
    if (errno != ENOSYS && errno != EPERM) {
        error = errno;
        return UniqueFd();
    }
#endif
    return openFolderBeneathStepByStep(folder, relative, error);
}

UniqueFd openFolderWithoutLinks(const QByteArray& path, int& error)
{
#ifdef SYS_openat2
    if (takesParentStep(path)) {
        error = EXDEV;
        return UniqueFd();
    }
    open_how how{};
    how.flags = kWalkFolderFlags & ~O_NOFOLLOW;
    how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    const long fd = ::syscall(SYS_openat2, AT_FDCWD, path.constData(), &how, sizeof how);
    if (fd >= 0)
        return UniqueFd(int(fd));
    error = errno == EPERM ? ENOSYS : errno;
#else
    (void)path;
    error = ENOSYS;
#endif
    return UniqueFd();
}

}  // namespace Platform
