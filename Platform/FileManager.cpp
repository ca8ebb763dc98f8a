#include "Platform/FileManager.h"

#include "Platform/Paths.h"

#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace Platform {

namespace {

// The hidden siblings we make next to an item are named ".<name>.foldwise-XXXXXX". Names are at
// most 255 bytes; 200 of the item's name leave room for the dot and the suffix.
constexpr size_t kNameRoom = 200;
constexpr char kSiblingMark[] = ".foldwise-";
constexpr size_t kSuffixLength = 6;
constexpr char kSuffixCharacters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

fs::path toPath(const QString& path)
{
    return fs::path(QFile::encodeName(path).toStdString());
}

QString shown(const fs::path& path)
{
    return QLatin1Char('"') + QFile::decodeName(QByteArray::fromStdString(path.native())) + QLatin1Char('"');
}

QString reason(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

void report(FileError* error, int code, const QString& description, const std::optional<QString>& leftBehind = {},
            bool inHoldingFolder = false)
{
    if (!error)
        return;
    error->code = code;
    error->description = description;
    error->leftBehind = leftBehind;
    error->inHoldingFolder = inHoldingFolder;
}

// An item's path split into its folder and its own name, trailing slashes ignored. None for a
// path that names no item of its own: empty, "/", "." or "..".
struct ItemPath {
    fs::path item;
    fs::path folder;
    std::string name;
};

std::optional<ItemPath> itemPath(const QString& path)
{
    if (path.isEmpty())
        return std::nullopt;
    const fs::path item(withoutTrailingSlashes(toPath(path).native()));
    std::string name = item.filename().native();
    if (name.empty() || name == "." || name == "..")
        return std::nullopt;
    return ItemPath{item, item.has_parent_path() ? item.parent_path() : fs::path("."), std::move(name)};
}

bool anythingAt(const fs::path& path)
{
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0;
}

// Whether `inner` is `outer` or lies inside it, after resolving links in both.
bool isWithin(const fs::path& inner, const fs::path& outer)
{
    std::error_code error;
    const fs::path resolvedInner = fs::weakly_canonical(inner, error);
    if (error)
        return false;
    const fs::path resolvedOuter = fs::canonical(outer, error);
    if (error)
        return false;
    auto innerPart = resolvedInner.begin();
    for (auto outerPart = resolvedOuter.begin(); outerPart != resolvedOuter.end(); ++outerPart, ++innerPart) {
        if (innerPart == resolvedInner.end() || *innerPart != *outerPart)
            return false;
    }
    return true;
}

// Renames without ever replacing an item that appeared at the destination meanwhile. Gives
// back 0 or the error number.
int renameNoReplace(const fs::path& from, const fs::path& to)
{
#if defined(__APPLE__)
    if (::renamex_np(from.c_str(), to.c_str(), RENAME_EXCL) == 0)
        return 0;
    if (errno != ENOTSUP)
        return errno;
#elif defined(RENAME_NOREPLACE)
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
#endif
    // The file system cannot rename exclusively; a check narrows the window as far as we can.
    if (anythingAt(to))
        return EEXIST;
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

std::string siblingPrefix(const std::string& name)
{
    return "." + name.substr(0, kNameRoom) + kSiblingMark;
}

bool isOurSibling(const std::string& entry, const std::string& prefix)
{
    if (entry.size() != prefix.size() + kSuffixLength || entry.compare(0, prefix.size(), prefix) != 0)
        return false;
    return entry.find_first_not_of(kSuffixCharacters, prefix.size()) == std::string::npos;
}

std::string randomSuffix()
{
    std::string suffix;
    for (size_t i = 0; i < kSuffixLength; ++i)
        suffix += kSuffixCharacters[QRandomGenerator::global()->bounded(int(sizeof kSuffixCharacters - 1))];
    return suffix;
}

// A lock on a folder of ours while we work in it: another run's sweep leaves a locked folder
// alone. Not for links or files, which nothing works inside.
int lockFolder(const fs::path& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0)
        ::flock(fd, LOCK_EX | LOCK_NB);
    return fd;
}

// Clears away what an earlier run left next to `name` when it stopped half-way (a crash, a
// power cut): staging folders and copies moved aside for removal. Only names of our own
// pattern are touched, and none that a run still at work holds locked. Best effort.
void sweepLeftovers(const fs::path& folder, const std::string& name)
{
    const std::string prefix = siblingPrefix(name);
    std::vector<fs::path> leftovers;
    std::error_code error;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error)) {
        if (isOurSibling(entry->path().filename().native(), prefix))
            leftovers.push_back(entry->path());
    }
    for (const fs::path& leftover : leftovers) {
        const int fd = ::open(leftover.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            continue;
        }
        std::error_code ignored;
        fs::remove_all(leftover, ignored);
        if (fd >= 0)
            ::close(fd);
    }
}

// Writes everything staged under the folder to the disk before it is renamed into place, so
// that a crash never leaves a copy under the real name whose files are empty or missing. One
// syncfs lets the kernel write the whole tree in one go, far cheaper than an fsync per file,
// and reports a write-back failure (a full disk found late) as an error of its own.
bool flushed(int folderFd, std::error_code& error)
{
#if defined(__linux__)
    if (::syncfs(folderFd) != 0) {
        error.assign(errno, std::generic_category());
        return false;
    }
#else
    (void)folderFd;
    (void)error;  // each file was flushed as it was copied
#endif
    return true;
}

// Makes a rename in the folder last across a crash. Best effort: the item is in place already.
void syncFolder(const fs::path& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Copies the bytes from one open file to another, from where each stands. Gives back 0 or the
// error number.
int copyBytes(int in, int out)
{
#if defined(__linux__)
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
        break;
    }
#endif
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

#if !defined(__linux__)
// Writes what was written to the file out to the disk. Gives back 0 or the error number. On macOS
// fsync stops at the drive's own cache: F_FULLFSYNC has the drive write that out too, and a file
// system that cannot gets the plain fsync.
int flushedToDisk(int fd)
{
#if defined(__APPLE__)
    if (::fcntl(fd, F_FULLFSYNC) == 0)
        return 0;
#endif
    return ::fsync(fd) == 0 ? 0 : errno;
}
#endif

// A new file at `to` with the bytes of `from`. The umask trims `mode`, as for a plain cp.
bool copyFile(const fs::path& from, const fs::path& to, mode_t mode, std::error_code& error)
{
    const int in = ::open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (in < 0) {
        error.assign(errno, std::generic_category());
        return false;
    }
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (out < 0) {
        error.assign(errno, std::generic_category());
        ::close(in);
        return false;
    }
    int code = copyBytes(in, out);
#if !defined(__linux__)
    // No syncfs here: each file is flushed on its own.
    if (code == 0)
        code = flushedToDisk(out);
#endif
    // A quota or a network file system may report a failed write only now.
    if (::close(out) != 0 && code == 0)
        code = errno;
    ::close(in);
    if (code != 0)
        error.assign(code, std::generic_category());
    return code == 0;
}

}  // namespace

bool LocalFileManager::fileExistsAtPath(const QString& path)
{
    struct stat info;
    return !path.isEmpty() && ::stat(toPath(path).c_str(), &info) == 0;
}

bool LocalFileManager::nothingAtPath(const QString& path, FileError* error)
{
    struct stat info;
    const int code = path.isEmpty() ? EINVAL : ::lstat(toPath(path).c_str(), &info) == 0 ? EEXIST : errno;
    if (code == ENOENT)
        return true;
    report(error, code, QStringLiteral("%1 is not free: %2").arg(shown(toPath(path)), reason(code)));
    return false;
}

bool LocalFileManager::copyItem(const QString& source, const QString& destination, FileError* error)
{
    const std::optional<ItemPath> target = itemPath(destination);
    const fs::path from = toPath(source);
    const auto failed = [&](int code, const std::optional<QString>& leftBehind = std::nullopt,
                            bool inHoldingFolder = false) {
        QString description =
            QStringLiteral("Could not copy %1 to %2: %3")
                .arg(shown(from), target ? shown(target->item) : shown(toPath(destination)), reason(code));
        if (leftBehind)
            description += QStringLiteral("; what is left is at \"%1\"").arg(*leftBehind);
        report(error, code, description, leftBehind, inHoldingFolder);
        return false;
    };
    if (source.isEmpty() || !target)
        return failed(EINVAL);
    if (anythingAt(target->item))
        return failed(EEXIST);
    struct stat info;
    if (::lstat(from.c_str(), &info) != 0)
        return failed(errno);
    struct stat folder;
    if (::stat(target->folder.c_str(), &folder) != 0)
        return failed(errno);
    if (!S_ISDIR(folder.st_mode))
        return failed(ENOTDIR);
    // Copying a folder into itself would copy its own staging folder without end.
    if (S_ISDIR(info.st_mode) && isWithin(target->folder, from))
        return failed(EINVAL);

    sweepLeftovers(target->folder, target->name);
    std::string stagingTemplate = (target->folder / (siblingPrefix(target->name) + "XXXXXX")).native();
    if (!::mkdtemp(stagingTemplate.data()))
        return failed(errno, std::nullopt, true);
    const fs::path staging(stagingTemplate);
    const fs::path staged = staging / target->name;
    const int lock = lockFolder(staging);

    std::error_code copyError;
    bool copied = false;
    bool renameFailed = false;
    if (lock < 0) {
        copyError.assign(errno, std::generic_category());
    } else {
        try {
            copied = copyTree(from, staged, copyError) && flushed(lock, copyError);
        } catch (...) {
            copyError = std::make_error_code(std::errc::not_enough_memory);
        }
        if (copied) {
            if (const int code = renameNoReplace(staged, target->item)) {
                copyError.assign(code, std::generic_category());
                copied = false;
                renameFailed = true;
            }
        }
    }
    std::error_code cleanup;
    fs::remove_all(staging, cleanup);
    if (lock >= 0)
        ::close(lock);
    if (copied) {
        syncFolder(target->folder);
        return true;
    }
    const std::optional<QString> leftBehind =
        cleanup ? std::optional(QFile::decodeName(QByteArray::fromStdString(staging.native()))) : std::nullopt;
    return failed(copyError ? copyError.value() : EIO, leftBehind, renameFailed);
}

bool LocalFileManager::removeItem(const QString& path, FileError* error)
{
    const std::optional<ItemPath> target = itemPath(path);
    const auto failed = [&](int code, bool inHoldingFolder = false) {
        report(error, code,
               QStringLiteral("Could not remove %1: %2")
                   .arg(target ? shown(target->item) : shown(toPath(path)), reason(code)),
               std::nullopt, inHoldingFolder);
        return false;
    };
    if (!target)
        return failed(EINVAL);
    if (!anythingAt(target->item))
        return failed(errno);
    sweepLeftovers(target->folder, target->name);

    // Out of the way under a hidden name in one step: a deletion that stops part-way then never
    // leaves half a copy under the real name.
    const int lock = lockFolder(target->item);
    fs::path aside;
    int code = EEXIST;
    for (int attempt = 0; attempt < 100 && code == EEXIST; ++attempt) {
        aside = target->folder / (siblingPrefix(target->name) + randomSuffix());
        code = renameNoReplace(target->item, aside);
    }
    if (code != 0) {
        if (lock >= 0)
            ::close(lock);
        return failed(code, true);
    }
    std::error_code removal;
    bool removed = false;
    try {
        removed = removeTree(aside, removal);
    } catch (...) {
        removal = std::make_error_code(std::errc::not_enough_memory);
    }
    if (lock >= 0)
        ::close(lock);
    if (removed)
        return true;
    const QString left = QFile::decodeName(QByteArray::fromStdString(aside.native()));
    const int removalCode = removal ? removal.value() : EIO;
    report(error, removalCode,
           QStringLiteral("Could not remove %1 completely: %2; what is left is at \"%3\"")
               .arg(shown(target->item), reason(removalCode), left),
           left);
    return false;
}

std::optional<QString> LocalFileManager::resolvedPath(const QString& path, FileError* error)
{
    const std::optional<ItemPath> target = itemPath(path);
    const auto failed = [&](int code) -> std::optional<QString> {
        report(error, code,
               QStringLiteral("Could not find the real folder of %1: %2").arg(shown(toPath(path)), reason(code)));
        return std::nullopt;
    };
    if (!target)
        return failed(EINVAL);
    const std::unique_ptr<char, decltype(&std::free)> real(::realpath(target->folder.c_str(), nullptr), &std::free);
    if (!real)
        return failed(errno);
    std::string resolved = real.get();
    if (resolved != "/")
        resolved += '/';
    resolved += target->name;
    // A name that is not valid in the local encoding would come back as a look-alike.
    const QString named = QFile::decodeName(QByteArray::fromStdString(resolved));
    if (QFile::encodeName(named).toStdString() != resolved)
        return failed(EILSEQ);
    return named;
}

bool LocalFileManager::removeTree(const fs::path& path, std::error_code& error)
{
    fs::remove_all(path, error);
    return !error;
}

bool LocalFileManager::copyTree(const fs::path& from, const fs::path& to, std::error_code& error)
{
    struct stat info;
    if (::lstat(from.c_str(), &info) != 0) {
        error.assign(errno, std::generic_category());
        return false;
    }
    switch (info.st_mode & S_IFMT) {
    case S_IFLNK: {
        const fs::path target = fs::read_symlink(from, error);
        if (error)
            return false;
        fs::create_symlink(target, to, error);
        return !error;
    }
    case S_IFREG:
        // Set-ID bits are never carried over.
        return copyFile(from, to, info.st_mode & 0777, error);
    case S_IFDIR: {
        if (::mkdir(to.c_str(), info.st_mode & 01777) != 0) {
            error.assign(errno, std::generic_category());
            return false;
        }
        // The umask has trimmed the bits as for a plain cp -R. A folder that would not let us
        // fill it is opened to us until it is full.
        struct stat made;
        if (::stat(to.c_str(), &made) != 0) {
            error.assign(errno, std::generic_category());
            return false;
        }
        const mode_t mode = made.st_mode & 07777;
        const bool closed = (mode & S_IRWXU) != S_IRWXU;
        if (closed && ::chmod(to.c_str(), mode | S_IRWXU) != 0) {
            error.assign(errno, std::generic_category());
            return false;
        }
        for (fs::directory_iterator entry(from, error), end; !error && entry != end; entry.increment(error)) {
            if (!copyTree(entry->path(), to / entry->path().filename(), error))
                return false;
        }
        if (error)
            return false;
        if (closed && ::chmod(to.c_str(), mode) != 0) {
            error.assign(errno, std::generic_category());
            return false;
        }
        return true;
    }
    default:
        // Pipes, devices and sockets have no place in a plug-in.
        error = std::make_error_code(std::errc::not_supported);
        return false;
    }
}

}  // namespace Platform
