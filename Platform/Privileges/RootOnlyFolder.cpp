#include "Platform/Privileges/RootOnlyFolder.h"

#include "Platform/Files/FoldersBeneath.h"
#include "Platform/Files/Paths.h"
#include "Platform/Files/UniqueFd.h"
#include "Platform/Privileges/AccessControlList.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <functional>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <string>
#include <unistd.h>

namespace Platform {

namespace {

const QString kRemedy = QStringLiteral(
    "An administrator can let only root and administrators change that folder, or install Foldwise from a root shell.");
// For what root would copy: the installer itself must move.
const QString kSourceEnding = QStringLiteral(
    ", so the installer will not ask for administrator rights to copy it. An administrator can put the installer where "
    "only root and administrators can change it (such as /Applications), or install Foldwise from a root shell.");
const QString kMountRemedy = QStringLiteral(
    "An administrator can install Foldwise from a root shell, or move Acrobat to a disk of the computer's own.");

// The same for a file or a folder; where a descriptor cannot merely name the item, reading it is
// what the copy needs anyway.
#if defined(O_PATH)
constexpr int kLookAtAnyFlags = O_PATH | O_NOFOLLOW | O_CLOEXEC;
#else
constexpr int kLookAtAnyFlags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
#endif

// A plug-in holds a few hundred entries at most; a tree far bigger is not ours to copy.
constexpr size_t kMostEntries = 100000;
constexpr int kMostDepth = 64;

QString shown(const std::string& path)
{
    return QLatin1Char('"') + fromPath(path) + QLatin1Char('"');
}

QString couldNotCheck(const std::string& path, int code)
{
    return QStringLiteral("Could not check who can change %1 (%2), so the installer will not ask for administrator "
                          "rights there. %3")
        .arg(shown(path), QString::fromLocal8Bit(std::strerror(code)), kRemedy);
}

QString userNamed(uid_t user)
{
    std::vector<char> buffer(16384);
    struct passwd entry;
    struct passwd* found = nullptr;
    if (::getpwuid_r(user, &entry, buffer.data(), buffer.size(), &found) == 0 && found)
        return QStringLiteral("the user \"%1\" (uid %2)").arg(QString::fromLocal8Bit(found->pw_name)).arg(user);
    return QStringLiteral("the user with uid %1").arg(user);
}

QString groupNamed(gid_t group)
{
    std::vector<char> buffer(16384);
    struct group entry;
    struct group* found = nullptr;
    if (::getgrgid_r(group, &entry, buffer.data(), buffer.size(), &found) == 0 && found)
        return QStringLiteral("the members of the group \"%1\" (gid %2)").arg(QString::fromLocal8Bit(found->gr_name)).arg(group);
    return QStringLiteral("the members of the group with gid %1").arg(group);
}

QString modeOf(const struct stat& info)
{
    return QStringLiteral("mode %1").arg(info.st_mode & 07777, 4, 8, QLatin1Char('0'));
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

bool contains(const auto& list, auto value)
{
    return std::find(list.begin(), list.end(), value) != list.end();
}

bool isAdministratorAmong(uid_t user, const AdministratorIdentities& administrators)
{
    if (user == 0)
        return true;
    if (contains(administrators.users, user))
        return true;
    std::vector<char> buffer(16384);
    struct passwd entry;
    struct passwd* found = nullptr;
    if (::getpwuid_r(user, &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return false;
    // Every group the user belongs to, the primary one first.
    std::vector<gid_t> groups(64);
    for (int tries = 0; tries < 4; ++tries) {
        int count = int(groups.size());
#if defined(__APPLE__)
        const int listed = ::getgrouplist(found->pw_name, int(found->pw_gid), reinterpret_cast<int*>(groups.data()), &count);
#else
        const int listed = ::getgrouplist(found->pw_name, found->pw_gid, groups.data(), &count);
#endif
        if (listed >= 0) {
            groups.resize(size_t(count));
            return std::any_of(groups.begin(), groups.end(),
                               [&](gid_t group) { return contains(administrators.groups, group); });
        }
        groups.resize(std::max(size_t(count), groups.size() * 2));
    }
    return false;
}

// Looks at one folder of the way: who, that is no administrator, may change it.
class FolderCheck {
public:
    explicit FolderCheck(const AdministratorIdentities& administrators) : m_administrators(administrators) {}

    // Who (in words) may change the folder though no administrator, or none.
    std::optional<QString> strangerWhoCanChange(int fd, const struct stat& info, bool isFolderItself,
                                                bool mayBeFile = false) const
    {
        if (!S_ISDIR(info.st_mode) && !(mayBeFile && S_ISREG(info.st_mode)))
            return QStringLiteral("whoever made it something other than a folder (%1)").arg(modeOf(info));
        if (!isAdministratorAmong(info.st_uid, m_administrators))
            return userNamed(info.st_uid) + QStringLiteral(", who owns it and is no administrator");
        // Others may add entries of their own to a sticky folder, never move ours (whose owners the
        // next steps look at); the folder root acts in must take none.
        if ((info.st_mode & S_ISVTX) != 0 && !isFolderItself)
            return std::nullopt;
        std::optional<AclWriters> acl;
        if (const int code = aclWritersOf(fd, info, acl))
            return QStringLiteral("whoever its access control list lets (it cannot be read: %1)")
                .arg(QString::fromLocal8Bit(std::strerror(code)));
        const bool groupWrites = acl ? acl->owningGroupWrites : (info.st_mode & S_IWGRP) != 0;
        if (groupWrites && !isAdministratorsGroup(info.st_gid))
            return groupNamed(info.st_gid) + QStringLiteral(", which is no administrators' group (%1)").arg(modeOf(info));
        if (acl) {
            for (const uid_t user : acl->users) {
                if (!isAdministratorAmong(user, m_administrators))
                    return userNamed(user) + QStringLiteral(", whom an access control list lets write it");
            }
            for (const gid_t group : acl->groups) {
                if (!isAdministratorsGroup(group))
                    return groupNamed(group) + QStringLiteral(", whom an access control list lets write it");
            }
        }
        if ((info.st_mode & S_IWOTH) != 0)
            return QStringLiteral("every user (%1)").arg(modeOf(info));
        return std::nullopt;
    }

private:
    bool isAdministratorsGroup(gid_t group) const { return contains(m_administrators.groups, group); }

    const AdministratorIdentities& m_administrators;
};

}  // namespace

RootOnlyRule::RootOnlyRule(RootRuleFacts facts) : m_facts(std::move(facts))
{
}

bool RootOnlyRule::isAdministrator(uid_t user) const
{
    return isAdministratorAmong(user, m_facts.administrators());
}

std::optional<QString> RootOnlyRule::whyOthersCanChange(const QString& folder) const
{
    return whyOthersCanChange(folder, std::nullopt);
}

std::optional<QString> RootOnlyRule::whyOthersCanRedirect(const QString& folder,
                                                          const std::optional<QString>& ending) const
{
    // Whoever can replace a link on the way can send the path elsewhere: each folder holding one
    // must pass, and the real folder at the end, with every folder above it.
    const QString written = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    QString prefix;
    for (const QString& part : written.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        const QString holder = prefix.isEmpty() ? QStringLiteral("/") : prefix;
        prefix += QLatin1Char('/') + part;
        if (!QFileInfo(prefix).isSymLink())
            continue;
        const QString realHolder = QFileInfo(holder).canonicalFilePath();
        if (realHolder.isEmpty())
            return couldNotCheck(toPath(holder).native(), ENOENT);
        if (auto reason = whyOthersCanChange(realHolder, ending))
            return reason;
    }
    const QString real = QFileInfo(written).canonicalFilePath();
    return whyOthersCanChange(real.isEmpty() ? written : real, ending);
}

std::optional<QString> RootOnlyRule::whyOthersCanChange(const QString& folder, const std::optional<QString>& ending) const
{
    const std::string path = toPath(folder).native();
    const auto steps = stepsOf(path);
    if (!steps)
        return couldNotCheck(path, EINVAL);
    const AdministratorIdentities administrators = m_facts.administrators();
    const FolderCheck check(administrators);
    std::string walked = "/";
    UniqueFd current(::open("/", kWalkFolderFlags));
    for (size_t step = 0;; ++step) {
        struct stat info;
        if (!current.valid() || ::fstat(current.get(), &info) != 0)
            return couldNotCheck(walked, errno);
        const bool isFolderItself = step == steps->size();
        if (const auto stranger = check.strangerWhoCanChange(current.get(), info, isFolderItself))
            return QStringLiteral("%1 can be changed by %2").arg(shown(walked), *stranger)
                + ending.value_or(QStringLiteral(", so the installer will not ask for administrator rights there. ") + kRemedy);
        if (const auto mount = m_facts.userMountOf(current.get(), info); 
            mount && !(mount->user && isAdministratorAmong(*mount->user, administrators))) {
            const QString forWhom = mount->user ? QStringLiteral("for ") + userNamed(*mount->user)
                                                : QStringLiteral("for a user");
            return QStringLiteral("%1 lies on a file system mounted %2 at \"%3\", who can swap it for another")
                       .arg(shown(walked), forWhom, mount->mountPoint)
                + ending.value_or(QStringLiteral(", so the installer will not ask for administrator rights there. ")
                                  + kMountRemedy);
        }
        if (isFolderItself)
            return std::nullopt;
        walked += (step == 0 ? "" : "/") + steps->at(step);
        current = UniqueFd(::openat(current.get(), steps->at(step).c_str(), kWalkFolderFlags));
    }
}

std::optional<QString> RootOnlyRule::whyOthersCanChangeTree(const QString& item) const
{
    if (auto reason = whyOthersCanChange(item, kSourceEnding))
        return reason;
    const std::string path = toPath(item).native();
    const AdministratorIdentities administrators = m_facts.administrators();
    const FolderCheck check(administrators);
    size_t looked = 0;
    const auto why = [&](const std::string& at, const QString& stranger) {
        return QStringLiteral("%1 can be changed by %2").arg(shown(at), stranger) + kSourceEnding;
    };
    // Depth first, each entry by descriptor and never through a link: links are copied as links.
    const std::function<std::optional<QString>(int, const std::string&, int)> walk =
        [&](int folderFd, const std::string& at, int depth) -> std::optional<QString> {
        const UniqueFd listed(::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        DIR* folder = listed.valid() ? ::fdopendir(::dup(listed.get())) : nullptr;
        if (!folder)
            return couldNotCheck(at, errno);
        std::optional<QString> reason;
        while (const struct dirent* entry = ::readdir(folder)) {
            const std::string name = entry->d_name;
            if (name == "." || name == "..")
                continue;
            const std::string inner = at + "/" + name;
            struct stat info;
            if (++looked > kMostEntries || depth > kMostDepth || ::fstatat(folderFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
                reason = couldNotCheck(inner, looked > kMostEntries || depth > kMostDepth ? E2BIG : errno);
                break;
            }
            if (S_ISLNK(info.st_mode))
                continue;
            if (!S_ISDIR(info.st_mode) && !S_ISREG(info.st_mode)) {
                reason = why(inner, QStringLiteral("whoever made it something other than a file or folder"));
                break;
            }
            const UniqueFd fd(::openat(folderFd, name.c_str(), kLookAtAnyFlags));
            struct stat opened;
            if (!fd.valid() || ::fstat(fd.get(), &opened) != 0 || opened.st_ino != info.st_ino) {
                reason = couldNotCheck(inner, fd.valid() ? EAGAIN : errno);
                break;
            }
            if (const auto stranger = check.strangerWhoCanChange(fd.get(), opened, true, true)) {
                reason = why(inner, *stranger);
                break;
            }
            if (S_ISDIR(opened.st_mode)) {
                const UniqueFd inside(::openat(folderFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
                reason = inside.valid() ? walk(inside.get(), inner, depth + 1) : couldNotCheck(inner, errno);
                if (reason)
                    break;
            }
        }
        ::closedir(folder);
        return reason;
    };
    const UniqueFd top(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    return top.valid() ? walk(top.get(), path, 0) : couldNotCheck(path, errno);
}

std::optional<QString> whyOthersCanChange(const QString& folder)
{
    return RootOnlyRule().whyOthersCanChange(folder);
}

}  // namespace Platform
