#include "FileManager.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace Platform {

namespace {

// Set-user-ID and set-group-ID bits are not carried over to copies.
constexpr fs::perms kKeptPermissions = fs::perms::owner_all | fs::perms::group_all | fs::perms::others_all
    | fs::perms::sticky_bit;

fs::path toPath(const QString& path)
{
    return fs::path(QFile::encodeName(path).toStdString());
}

bool anythingAt(const fs::path& path)
{
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0;
}

bool folderAt(const fs::path& path)
{
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
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

// Renames without ever replacing an item that appeared at the destination meanwhile.
bool renameNoReplace(const fs::path& from, const fs::path& to)
{
#if defined(__APPLE__)
    if (::renamex_np(from.c_str(), to.c_str(), RENAME_EXCL) == 0)
        return true;
    if (errno != ENOTSUP)
        return false;
#elif defined(RENAME_NOREPLACE)
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
#endif
    // The file system cannot rename exclusively; a check narrows the window as far as we can.
    if (anythingAt(to))
        return false;
    return ::rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace

bool LocalFileManager::fileExistsAtPath(const QString& path)
{
    struct stat info;
    return !path.isEmpty() && ::stat(toPath(path).c_str(), &info) == 0;
}

bool LocalFileManager::copyItem(const QString& source, const QString& destination)
{
    if (source.isEmpty() || destination.isEmpty())
        return false;
    const fs::path from = toPath(source);
    std::string destinationText = toPath(destination).native();
    while (destinationText.size() > 1 && destinationText.back() == '/')
        destinationText.pop_back();
    const fs::path to(destinationText);
    const std::string name = to.filename().native();
    if (name.empty() || name == "." || name == "..")
        return false;
    const fs::path parent = to.has_parent_path() ? to.parent_path() : fs::path(".");

    if (anythingAt(to) || !anythingAt(from) || !folderAt(parent))
        return false;
    // Copying a folder into itself would copy its own staging folder without end.
    if (folderAt(from) && isWithin(parent, from))
        return false;

    // Names are at most 255 bytes; leave room for the dot and the suffix.
    std::string stagingTemplate = (parent / ("." + name.substr(0, 200) + ".foldwise-XXXXXX")).native();
    if (!::mkdtemp(stagingTemplate.data()))
        return false;
    const fs::path staging(stagingTemplate);
    const fs::path staged = staging / name;

    bool copied = false;
    try {
        copied = copyTree(from, staged) && renameNoReplace(staged, to);
    } catch (...) {
        copied = false;
    }
    std::error_code ignored;
    fs::remove_all(staging, ignored);
    return copied;
}

bool LocalFileManager::removeItem(const QString& path)
{
    if (path.isEmpty())
        return false;
    const fs::path target = toPath(path);
    if (!anythingAt(target))
        return false;
    std::error_code error;
    fs::remove_all(target, error);
    return !error;
}

bool LocalFileManager::copyTree(const fs::path& from, const fs::path& to)
{
    std::error_code error;
    const fs::file_status status = fs::symlink_status(from, error);
    if (error)
        return false;
    switch (status.type()) {
    case fs::file_type::symlink: {
        const fs::path target = fs::read_symlink(from, error);
        if (error)
            return false;
        fs::create_symlink(target, to, error);
        return !error;
    }
    case fs::file_type::regular:
        if (!fs::copy_file(from, to, fs::copy_options::none, error) || error)
            return false;
        // copy_file gave the copy the source's permission bits already; only set-ID bits are
        // left to clear.
        if ((status.permissions() & ~kKeptPermissions) == fs::perms::none)
            return true;
        break;
    case fs::file_type::directory: {
        if (!fs::create_directory(to, error) || error)
            return false;
        for (fs::directory_iterator entry(from, error), end; !error && entry != end; entry.increment(error)) {
            if (!copyTree(entry->path(), to / entry->path().filename()))
                return false;
        }
        if (error)
            return false;
        break;
    }
    default:
        return false;
    }
    // Last, so that a read-only folder can still be filled first.
    fs::permissions(to, status.permissions() & kKeptPermissions, fs::perm_options::replace, error);
    return !error;
}

}  // namespace Platform
