#include "Platform/Files/RootPathWalk.h"

#include "Platform/Files/FoldersBeneath.h"

#include <QList>

#include <cerrno>
#include <climits>
#include <deque>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace Platform {

namespace {

// As many links as Linux follows in one path.
constexpr int kMaxLinks = 40;

enum class FolderTrust {
    // Only root can change it.
    rootAlone,
    // Root's, and anyone may add entries, but only change their own (like /tmp).
    rootSticky,
    // Someone other than root can change it.
    others,
};

FolderTrust trustOf(const struct stat& folder)
{
    if (folder.st_uid != 0)
        return FolderTrust::others;
    // A POSIX access control list that lets anyone else write shows in the group bits, its mask.
    if ((folder.st_mode & (S_IWGRP | S_IWOTH)) == 0)
        return FolderTrust::rootAlone;
    return (folder.st_mode & S_ISVTX) != 0 ? FolderTrust::rootSticky : FolderTrust::others;
}

struct Folder {
    UniqueFd fd;
    struct stat info;
};

RootOpenedFile failed(int error, RootWalkRefusal refusal = RootWalkRefusal::none)
{
    return RootOpenedFile{UniqueFd(), error, refusal};
}

RootOpenedFile refusedLink()
{
    return failed(ELOOP, RootWalkRefusal::linkOthersCanChange);
}

// The components of a path, "." and empty ones left out, put before those still to walk.
void prependComponents(const QByteArray& path, std::deque<QByteArray>& pending)
{
    const QList<QByteArray> parts = path.split('/');
    for (auto part = parts.crbegin(); part != parts.crend(); ++part) {
        if (!part->isEmpty() && *part != ".")
            pending.push_front(*part);
    }
}

std::optional<Folder> openFolder(int at, const char* name, int& error)
{
    Folder folder{UniqueFd(::openat(at, name, kWalkFolderFlags)), {}};
    if (!folder.fd.valid() || ::fstat(folder.fd.get(), &folder.info) != 0) {
        error = errno;
        return std::nullopt;
    }
    return folder;
}

// The regular file `name` in `holding`, as `entry` (its lstat) describes it, opened without
// following a link.
RootOpenedFile openFileIn(const Folder& holding, const QByteArray& name, const struct stat& entry)
{
    if (S_ISLNK(entry.st_mode))
        return refusedLink();
    if (!S_ISREG(entry.st_mode))
        return failed(S_ISDIR(entry.st_mode) ? EISDIR : EINVAL);
    UniqueFd fd(
        ::openat(holding.fd.get(), name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.valid())
        return errno == ELOOP ? refusedLink() : failed(errno);
    struct stat opened;
    if (::fstat(fd.get(), &opened) != 0)
        return failed(errno);
    if (S_ISREG(opened.st_mode) && opened.st_nlink > 1 && opened.st_uid != holding.info.st_uid)
        return failed(EPERM, RootWalkRefusal::hardLinkOfAnotherOwner);
    return RootOpenedFile{std::move(fd), 0, RootWalkRefusal::none};
}

// What is left of the path, below `from`, a folder someone other than root can change: no link
// is followed and no ".." taken.
RootOpenedFile openBeneath(const Folder& from, std::deque<QByteArray> pending)
{
    const QByteArray name = pending.back();
    pending.pop_back();
    if (name == "..")
        return failed(EXDEV);
    std::optional<Folder> opened;
    if (!pending.empty()) {
        QByteArray folderPath;
        for (const QByteArray& part : pending)
            folderPath += (folderPath.isEmpty() ? QByteArray() : QByteArrayLiteral("/")) + part;
        int error = 0;
        Folder folder{openFolderBeneath(from.fd.get(), folderPath, error), {}};
        if (!folder.fd.valid())
            return error == ELOOP ? refusedLink() : failed(error);
        if (::fstat(folder.fd.get(), &folder.info) != 0)
            return failed(errno);
        opened = std::move(folder);
    }
    const Folder& holding = opened ? *opened : from;
    struct stat entry;
    if (::fstatat(holding.fd.get(), name.constData(), &entry, AT_SYMLINK_NOFOLLOW) != 0)
        return failed(errno);
    return openFileIn(holding, name, entry);
}

// The file at `path` (absolute) when no link stands on its way at all, as the walk would open it,
// in a few calls rather than a few for each folder; none when the walk has to decide.
std::optional<RootOpenedFile> openWhereNoLinkStands(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray name = path.mid(slash + 1);
    if (name.isEmpty() || name == "." || name == "..")
        return std::nullopt;
    int error = 0;
    Folder holding{openFolderWithoutLinks(slash == 0 ? QByteArray("/") : path.left(slash), error), {}};
    struct stat entry;
    if (!holding.fd.valid() || ::fstat(holding.fd.get(), &holding.info) != 0
        || ::fstatat(holding.fd.get(), name.constData(), &entry, AT_SYMLINK_NOFOLLOW) != 0 || S_ISLNK(entry.st_mode))
        return std::nullopt;
    return openFileIn(holding, name, entry);
}

QByteArray absolute(const QByteArray& path)
{
    if (path.startsWith('/'))
        return path;
    char folder[PATH_MAX];
    return ::getcwd(folder, sizeof folder) ? QByteArray(folder) + '/' + path : QByteArray();
}

}  // namespace

RootOpenedFile openFileAsRoot(const QByteArray& path)
{
    const QByteArray full = absolute(path);
    if (path.isEmpty() || full.isEmpty())
        return failed(path.isEmpty() ? ENOENT : errno);
    if (std::optional<RootOpenedFile> opened = openWhereNoLinkStands(full))
        return std::move(*opened);
    int error = 0;
    std::vector<Folder> walked;
    if (auto top = openFolder(AT_FDCWD, "/", error))
        walked.push_back(std::move(*top));
    else
        return failed(error);
    std::deque<QByteArray> pending;
    prependComponents(full, pending);
    int links = 0;
    while (!pending.empty()) {
        const Folder& here = walked.back();
        const FolderTrust trust = trustOf(here.info);
        if (trust == FolderTrust::others)
            return openBeneath(here, std::move(pending));
        const QByteArray name = pending.front();
        pending.pop_front();
        if (name == "..") {
            if (walked.size() > 1)
                walked.pop_back();
            continue;
        }
        struct stat entry;
        if (::fstatat(here.fd.get(), name.constData(), &entry, AT_SYMLINK_NOFOLLOW) != 0)
            return failed(errno);
        if (S_ISLNK(entry.st_mode)) {
            // Anyone may put a link into a sticky folder; only root's is followed there.
            if (trust == FolderTrust::rootSticky && entry.st_uid != 0)
                return refusedLink();
            if (++links > kMaxLinks)
                return failed(ELOOP);
            char target[PATH_MAX];
            const ssize_t length = ::readlinkat(here.fd.get(), name.constData(), target, sizeof target);
            if (length < 0 || length == ssize_t(sizeof target))
                return failed(length < 0 ? errno : ENAMETOOLONG);
            const QByteArray text(target, qsizetype(length));
            if (text.startsWith('/'))
                walked.resize(1);
            prependComponents(text, pending);
            continue;
        }
        if (pending.empty())
            return openFileIn(here, name, entry);
        auto next = openFolder(here.fd.get(), name.constData(), error);
        if (!next)
            return failed(error);
        walked.push_back(std::move(*next));
    }
    return failed(EISDIR);
}

}  // namespace Platform
