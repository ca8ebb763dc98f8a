#include "Platform/Files/RegularFile.h"

#include "Platform/Files/RootPathWalk.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Platform {

namespace {

// All that the descriptor gives, `expected` bytes as fstat said; nothing when it gives more than
// `maxSize` or cannot be read.
std::optional<QByteArray> readAll(int fd, qint64 expected, qint64 maxSize)
{
    // Room for one byte more than expected, to notice a file that grew since fstat.
    QByteArray data(qsizetype(expected) + 1, Qt::Uninitialized);
    qsizetype filled = 0;
    for (;;) {
        if (filled == data.size()) {
            if (filled > maxSize)
                return std::nullopt;
            data.resize(qsizetype(std::min<qint64>(maxSize + 1, qint64(filled) * 2 + 4096)));
        }
        const ssize_t got = ::read(fd, data.data() + filled, size_t(data.size() - filled));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            break;
        filled += got;
        // A regular file that stops short of the room given, right at the size fstat gave, has
        // ended there: asking again would only be told so, a system call for every file.
        if (filled == expected && filled < data.size())
            break;
    }
    if (filled > maxSize)
        return std::nullopt;
    data.truncate(filled);
    return data;
}

// Root reads files in trees that users own, where a link could lead it to a file of root's alone
// or to a device: root walks the path by descriptor instead of letting the system follow links.
int openForReading(const QByteArray& encodedPath)
{
    if (::geteuid() == 0)
        return openFileAsRoot(encodedPath).fd.release();
    return ::open(encodedPath.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
}

}  // namespace

std::optional<QByteArray> readRegularFile(const QString& path, qint64 maxSize)
{
    const QByteArray name = QFile::encodeName(path);
    // A first look by name, so that what is plainly no file (a pipe, a device) is never opened:
    // opening some devices has effects of its own.
    struct stat named;
    if (name.isEmpty() || ::stat(name.constData(), &named) != 0)
        return std::nullopt;
    return readRegularFile(name, named, maxSize);
}

std::optional<QByteArray> readRegularFile(const QByteArray& encodedPath, const struct stat& named, qint64 maxSize)
{
    if (encodedPath.isEmpty() || !S_ISREG(named.st_mode) || named.st_size > maxSize)
        return std::nullopt;
    const int fd = openForReading(encodedPath);
    if (fd < 0)
        return std::nullopt;
    std::optional<QByteArray> contents;
    struct stat opened;
    // What decides is the descriptor: the name may have been pointed elsewhere since the look.
    if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && opened.st_dev == named.st_dev
        && opened.st_ino == named.st_ino && opened.st_size >= 0 && opened.st_size <= maxSize)
        contents = readAll(fd, opened.st_size, maxSize);
    ::close(fd);
    return contents;
}

}  // namespace Platform
