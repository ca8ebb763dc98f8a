#include "Platform/Files/FileSystemCalls.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace Platform {

int renameNoReplace(const char* from, const char* to)
{
    if (const int refused = passGate("rename"))
        return refused;
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0)
        return 0;
    // An older kernel, or a file system that cannot.
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    return renameAfterCheck(from, to);
}

int exchangeItems(const char* first, const char* second)
{
    if (const int refused = passGate("exchange"))
        return refused;
    return ::renameat2(AT_FDCWD, first, AT_FDCWD, second, RENAME_EXCHANGE) == 0 ? 0 : errno;
}

int copyBytes(int in, int out)
{
    if (const int refused = passGate("write"))
        return refused;
    // In the kernel, without a trip through our memory; may share blocks on file systems that can.
    for (;;) {
        const ssize_t copied = ::copy_file_range(in, nullptr, out, nullptr, size_t(1) << 30, 0);
        if (copied > 0)
            continue;
        if (copied == 0)
            return 0;
        if (errno == EINTR)
            continue;
        // Not offered between these files or file systems: copy through a buffer instead.
        if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP && errno != ETXTBSY)
            return errno;
        return copyBytesThroughBuffer(in, out);
    }
}

int flushCopiedFile(int)
{
    if (const int refused = passGate("sync"))
        return refused;
    return 0;  // the whole tree is flushed at once
}

int flushCopiedTree(int folderFd)
{
    if (const int refused = passGate("sync"))
        return refused;
    return ::syncfs(folderFd) == 0 ? 0 : errno;
}

bool endWithParent(int parentPid)
{
    // Checked after asking: the parent may have gone just before.
    return ::prctl(PR_SET_PDEATHSIG, SIGKILL) == 0 && ::getppid() == parentPid;
}

}  // namespace Platform
