#include "Platform/Files/FileSystemCalls.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace Platform {

int renameNoReplace(const char* from, const char* to)
{
    if (const int refused = passGate("rename"))
        return refused;
    if (::renamex_np(from, to, RENAME_EXCL) == 0)
        return 0;
    // A file system that cannot.
    if (errno != ENOTSUP)
        return errno;
    return renameAfterCheck(from, to);
}

int exchangeItems(const char* first, const char* second)
{
    if (const int refused = passGate("exchange"))
        return refused;
    return ::renamex_np(first, second, RENAME_SWAP) == 0 ? 0 : errno;
}

int copyBytes(int in, int out)
{
    if (const int refused = passGate("write"))
        return refused;
    return copyBytesThroughBuffer(in, out);
}

int flushCopiedFile(int fd)
{
    if (const int refused = passGate("sync"))
        return refused;
    // fsync stops at the drive's own cache; a file system that cannot do more gets the plain fsync.
    if (::fcntl(fd, F_FULLFSYNC) == 0)
        return 0;
    return ::fsync(fd) == 0 ? 0 : errno;
}

int flushCopiedTree(int)
{
    if (const int refused = passGate("sync"))
        return refused;
    return 0;  // each file was flushed as it was copied
}

bool endWithParent(int parentPid)
{
    // No parent-death signal here: the child learns of it only when its answer cannot be sent.
    return ::getppid() == parentPid;
}

}  // namespace Platform
