#include "Platform/FileSystemCalls.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace Platform {

namespace {

FileSystemCallGate& gate()
{
    static FileSystemCallGate theGate;
    return theGate;
}

}  // namespace

void setFileSystemCallGate(FileSystemCallGate newGate)
{
    gate() = std::move(newGate);
}

int passGate(const char* call)
{
    return gate() ? gate()(call) : 0;
}

int makeFolder(const char* path, mode_t mode)
{
    if (const int refused = passGate("mkdir"))
        return refused;
    return ::mkdir(path, mode) == 0 ? 0 : errno;
}

int createFile(const char* path, mode_t mode, int& fd)
{
    fd = -1;
    if (const int refused = passGate("open"))
        return refused;
    fd = ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    return fd >= 0 ? 0 : errno;
}

int changeMode(const char* path, mode_t mode)
{
    if (const int refused = passGate("chmod"))
        return refused;
    return ::chmod(path, mode) == 0 ? 0 : errno;
}

int makeLink(const std::filesystem::path& target, const std::filesystem::path& link)
{
    if (const int refused = passGate("symlink"))
        return refused;
    return ::symlink(target.c_str(), link.c_str()) == 0 ? 0 : errno;
}

int makeUniqueFolder(char* pathTemplate)
{
    if (const int refused = passGate("mkdtemp"))
        return refused;
    return ::mkdtemp(pathTemplate) ? 0 : errno;
}

int removeAll(const std::filesystem::path& path)
{
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0)
        return errno == ENOENT ? 0 : errno;
    if (S_ISDIR(info.st_mode)) {
        std::error_code error;
        for (std::filesystem::directory_iterator entry(path, error), end; !error && entry != end;
             entry.increment(error)) {
            if (const int code = removeAll(entry->path()))
                return code;
        }
        if (error)
            return error.value();
    }
    if (const int refused = passGate("remove"))
        return refused;
    return ::remove(path.c_str()) == 0 ? 0 : errno;
}

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
