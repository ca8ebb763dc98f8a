#include "Platform/Files/FoldersBeneath.h"

#include <QList>

#include <cerrno>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace Platform {

namespace {

#ifdef SYS_openat2
bool takesParentStep(const QByteArray& path)
{
    return path.split('/').contains(QByteArrayLiteral(".."));
}

// The folder at `path` from `folder` in one openat2() call that follows no link; -1 with errno
// set when it is not opened. ".." is refused before the call, as the step-by-step walk refuses it.
long openFolderResolving(int folder, const QByteArray& path, unsigned long long resolve)
{
    if (takesParentStep(path)) {
        errno = EXDEV;
        return -1;
    }
    open_how how{};
    // Without O_NOFOLLOW, so that a link at the end fails with ELOOP like one on the way, instead
    // of being opened as itself.
    how.flags = kWalkFolderFlags & ~O_NOFOLLOW;
    how.resolve = resolve | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    return ::syscall(SYS_openat2, folder, path.constData(), &how, sizeof how);
}
#endif

}  // namespace

UniqueFd openFolderBeneath(int folder, const QByteArray& relative, int& error)
{
#ifdef SYS_openat2
    // RESOLVE_BENEATH alone would still allow a ".." that stays below; none is taken at all.
    const long fd = openFolderResolving(folder, relative, RESOLVE_BENEATH);
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
    const long fd = openFolderResolving(AT_FDCWD, path, 0);
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
