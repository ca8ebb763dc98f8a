#include "Platform/FileManager.h"

#include "Platform/FileSystemCalls.h"
#include "Platform/HiddenSiblings.h"
#include "Platform/Paths.h"
#include "Platform/UniqueFd.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace Platform {

namespace {

QString shown(const fs::path& path)
{
    return QLatin1Char('"') + fromPath(path) + QLatin1Char('"');
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

// Notes the siblings left for the caller; true when none are.
bool noteUnswept(FileError* error, const std::vector<fs::path>& left, int code)
{
    if (error && !left.empty()) {
        for (const fs::path& path : left)
            error->unswept.append(fromPath(path));
        if (error->unsweptCode == 0)
            error->unsweptCode = code;
    }
    return left.empty();
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

// Makes a rename in the folder last across a crash. Best effort: the item is in place already.
void syncFolder(const fs::path& folder)
{
    const UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.valid())
        ::fsync(fd.get());
}

// A new file at `to` with the bytes of `from`, written out to the disk as this system does it
// file by file. The umask trims `mode`, as for a plain cp.
bool copyFile(const fs::path& from, const fs::path& to, mode_t mode, std::error_code& error)
{
    const UniqueFd in(::open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!in.valid()) {
        error.assign(errno, std::generic_category());
        return false;
    }
    int created = -1;
    if (const int code = createFile(to.c_str(), mode, created)) {
        error.assign(code, std::generic_category());
        return false;
    }
    UniqueFd out(created);
    int code = copyBytes(in.get(), out.get());
    if (code == 0)
        code = flushCopiedFile(out.get());
    // A quota or a network file system may report a failed write only now.
    if (const int closed = out.close(); closed != 0 && code == 0)
        code = closed;
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

std::optional<bool> LocalFileManager::existenceAtPath(const QString& path, FileError* error)
{
    struct stat info;
    const int code = path.isEmpty() ? ENOENT : ::stat(toPath(path).c_str(), &info) == 0 ? 0 : errno;
    if (code == 0 || code == ENOENT)
        return code == 0;
    report(error, code,
           QStringLiteral("Could not tell whether anything is at %1: %2").arg(shown(toPath(path)), reason(code)));
    return std::nullopt;
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
    const std::optional<ItemPath> target = itemPath(toPath(destination));
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

    const HiddenSiblings siblings(target->folder, target->name);
    int sweepCode = 0;
    noteUnswept(error, siblings.sweepLeftovers(sweepCode), sweepCode);
    int stagingCode = 0;
    const std::optional<fs::path> staging = siblings.makeStagingFolder(stagingCode);
    if (!staging)
        return failed(stagingCode, std::nullopt, true);
    const fs::path staged = *staging / target->name;
    UniqueFd lock = HiddenSiblings::lockFolder(*staging);

    std::error_code copyError;
    bool copied = false;
    bool renameFailed = false;
    if (!lock.valid()) {
        copyError.assign(errno, std::generic_category());
    } else {
        try {
            copied = copyTree(from, staged, copyError);
            if (copied) {
                if (const int code = flushCopiedTree(lock.get())) {
                    copyError.assign(code, std::generic_category());
                    copied = false;
                }
            }
        } catch (...) {
            copyError = std::make_error_code(std::errc::not_enough_memory);
        }
        if (copied) {
            if (const int code = renameNoReplace(staged.c_str(), target->item.c_str())) {
                copyError.assign(code, std::generic_category());
                copied = false;
                renameFailed = true;
            }
        }
    }
    std::error_code cleanup;
    if (const int code = removeAll(*staging))
        cleanup.assign(code, std::generic_category());
    lock.reset();
    if (copied) {
        syncFolder(target->folder);
        if (cleanup)
            noteUnswept(error, {*staging}, cleanup.value());
        return true;
    }
    const std::optional<QString> leftBehind = cleanup ? std::optional(fromPath(*staging)) : std::nullopt;
    return failed(copyError ? copyError.value() : EIO, leftBehind, renameFailed);
}

bool LocalFileManager::removeItem(const QString& path, FileError* error)
{
    const std::optional<ItemPath> target = itemPath(toPath(path));
    const auto failed = [&](int code, bool inHoldingFolder = false) {
        report(error, code,
               QStringLiteral("Could not remove %1: %2")
                   .arg(target ? shown(target->item) : shown(toPath(path)), reason(code)),
               std::nullopt, inHoldingFolder);
        return false;
    };
    if (!target)
        return failed(EINVAL);
    // First what an earlier removal of this item left, even when the item is gone already.
    const HiddenSiblings siblings(target->folder, target->name);
    int sweepCode = 0;
    noteUnswept(error, siblings.sweepLeftovers(sweepCode), sweepCode);
    if (!anythingAt(target->item))
        return failed(errno);

    // Out of the way under a hidden name in one step: a deletion that stops part-way then never
    // leaves half a copy under the real name. Locked before, so that no sweep takes it meanwhile.
    const UniqueFd lock = HiddenSiblings::lockFolder(target->item);
    fs::path aside;
    if (const int code = siblings.moveAside(target->item, aside))
        return failed(code, true);
    std::error_code removal;
    bool removed = false;
    try {
        removed = removeTree(aside, removal);
    } catch (...) {
        removal = std::make_error_code(std::errc::not_enough_memory);
    }
    if (removed)
        return true;
    const QString left = fromPath(aside);
    const int removalCode = removal ? removal.value() : EIO;
    report(error, removalCode,
           QStringLiteral("Could not remove %1 completely: %2; what is left is at \"%3\"")
               .arg(shown(target->item), reason(removalCode), left),
           left);
    return false;
}

bool LocalFileManager::sweepLeftovers(const QString& path, FileError* error)
{
    const std::optional<ItemPath> target = itemPath(toPath(path));
    if (!target)
        return true;
    int code = 0;
    const std::vector<fs::path> left = HiddenSiblings(target->folder, target->name).sweepLeftovers(code);
    if (!left.empty())
        report(error, code,
               QStringLiteral("Could not clear away what an earlier try left beside %1: %2")
                   .arg(shown(target->item), reason(code)));
    return noteUnswept(error, left, code);
}

std::optional<QString> LocalFileManager::resolvedPath(const QString& path, FileError* error)
{
    const auto failed = [&](int code) -> std::optional<QString> {
        report(error, code,
               QStringLiteral("Could not find the real folder of %1: %2").arg(shown(toPath(path)), reason(code)));
        return std::nullopt;
    };
    int code = 0;
    const std::optional<std::string> resolved = withResolvedFolder(toPath(path), &code);
    if (!resolved)
        return failed(code);
    // A name that is not valid in the local encoding would come back as a look-alike.
    const QString named = fromPath(*resolved);
    if (toPath(named).native() != *resolved)
        return failed(EILSEQ);
    return named;
}

bool LocalFileManager::removeTree(const fs::path& path, std::error_code& error)
{
    if (const int code = removeAll(path))
        error.assign(code, std::generic_category());
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
        if (const int code = makeLink(target, to))
            error.assign(code, std::generic_category());
        return !error;
    }
    case S_IFREG:
        // Set-ID bits are never carried over.
        return copyFile(from, to, info.st_mode & 0777, error);
    case S_IFDIR: {
        if (const int code = makeFolder(to.c_str(), info.st_mode & 01777)) {
            error.assign(code, std::generic_category());
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
        if (const int code = closed ? changeMode(to.c_str(), mode | S_IRWXU) : 0) {
            error.assign(code, std::generic_category());
            return false;
        }
        for (fs::directory_iterator entry(from, error), end; !error && entry != end; entry.increment(error)) {
            if (!copyTree(entry->path(), to / entry->path().filename(), error))
                return false;
        }
        if (error)
            return false;
        if (const int code = closed ? changeMode(to.c_str(), mode) : 0) {
            error.assign(code, std::generic_category());
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
