#include "Platform/RootOnlyFolder.h"

#include "Platform/Paths.h"
#include "Platform/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <vector>

namespace Platform {

namespace {

// Opening a folder only to look at it needs no right to list it where the system allows that.
#if defined(O_PATH)
constexpr int kLookFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
#elif defined(O_SEARCH)
constexpr int kLookFlags = O_SEARCH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
#else
constexpr int kLookFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
#endif

QString shown(const std::string& path)
{
    return QLatin1Char('"') + fromPath(path) + QLatin1Char('"');
}

QString couldNotCheck(const std::string& path, int code)
{
    return QStringLiteral("Could not check who can change %1: %2")
        .arg(shown(path), QString::fromLocal8Bit(std::strerror(code)));
}

// The names of an absolute path's steps below "/"; none for a path that is not absolute or
// that steps through "." or "..".
std::optional<std::vector<std::string>> stepsOf(const std::string& path)
{
    if (path.empty() || path.front() != '/')
        return std::nullopt;
    std::vector<std::string> names;
    for (size_t start = 1; start < path.size();) {
        const size_t slash = std::min(path.find('/', start), path.size());
        std::string name = path.substr(start, slash - start);
        if (name == "." || name == "..")
            return std::nullopt;
        if (!name.empty())
            names.push_back(std::move(name));
        start = slash + 1;
    }
    return names;
}

// Whether someone other than root may rename, replace or add entries in the folder: the
// folder itself must be root's alone; above it, a sticky folder keeps root's entries root's.
bool othersCanChange(const std::string& path, const struct stat& info, bool isFolderItself)
{
    if (!S_ISDIR(info.st_mode) || info.st_uid != 0)
        return true;
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) == 0)
        return false;
    if (isFolderItself)
        return true;
    return (info.st_mode & S_ISVTX) == 0 && !isSharedWithAdministrators(path, info);
}

}  // namespace

std::optional<QString> whyOthersCanChange(const QString& folder)
{
    const std::string path = toPath(folder).native();
    const auto steps = stepsOf(path);
    if (!steps)
        return couldNotCheck(path, EINVAL);
    std::string walked = "/";
    UniqueFd current(::open("/", kLookFlags));
    for (size_t step = 0;; ++step) {
        struct stat info;
        if (!current.valid() || ::fstat(current.get(), &info) != 0)
            return couldNotCheck(walked, errno);
        const bool isFolderItself = step == steps->size();
        if (othersCanChange(walked, info, isFolderItself))
            return QStringLiteral("%1 can be changed by users other than root (owner uid %2, mode %3), so the "
                                  "installer will not ask for administrator rights there.")
                .arg(shown(walked))
                .arg(info.st_uid)
                .arg(info.st_mode & 07777, 4, 8, QLatin1Char('0'));
        if (isFolderItself)
            return std::nullopt;
        walked += (step == 0 ? "" : "/") + steps->at(step);
        current = UniqueFd(::openat(current.get(), steps->at(step).c_str(), kLookFlags));
    }
}

}  // namespace Platform
