#include "Platform/FileSystemCalls.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace Platform {

int renameAfterCheck(const char* from, const char* to)
{
    struct stat info;
    if (::lstat(to, &info) == 0)
        return EEXIST;
    return ::rename(from, to) == 0 ? 0 : errno;
}

int copyBytesThroughBuffer(int in, int out)
{
    const size_t size = size_t(128) * 1024;
    const std::unique_ptr<char[]> buffer(new char[size]);
    for (;;) {
        const ssize_t got = ::read(in, buffer.get(), size);
        if (got == 0)
            return 0;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(out, buffer.get() + done, size_t(got - done));
            if (put < 0) {
                if (errno == EINTR)
                    continue;
                return errno;
            }
            done += put;
        }
    }
}

}  // namespace Platform
