#include "Platform/RunAsUser.h"

#include "Platform/FileSystemCalls.h"
#include "Platform/UniqueFd.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace Platform {

namespace {

// Gives up root for good. Called by root, setgid and setuid set the real, effective and saved
// ids alike on every POSIX system (setresuid is Linux's alone); root must then be out of reach.
bool become(const UserAccount& account, const QByteArray& name)
{
    const bool grouped = name.isEmpty() ? ::setgroups(0, nullptr) == 0
                                        : ::initgroups(name.constData(), account.gid) == 0;
    return grouped && ::setgid(account.gid) == 0 && ::setuid(account.uid) == 0 && ::geteuid() == account.uid
        && ::getegid() == account.gid && (account.uid == 0 || ::setuid(0) != 0);
}

bool writeAll(int fd, const QByteArray& bytes)
{
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t put = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (put < 0 && errno != EINTR)
            return false;
        done += put > 0 ? put : 0;
    }
    return true;
}

}  // namespace

std::optional<UserAccount> userAccountNamed(const QString& name)
{
    const QByteArray encoded = name.toLocal8Bit();
    std::vector<char> buffer(16384);
    struct passwd entry;
    struct passwd* found = nullptr;
    if (name.isEmpty() || ::getpwnam_r(encoded.constData(), &entry, buffer.data(), buffer.size(), &found) != 0
        || !found)
        return std::nullopt;
    const QString home = QFile::decodeName(found->pw_dir);
    if (!QDir::isAbsolutePath(home))
        return std::nullopt;
    return UserAccount{name, found->pw_uid, found->pw_gid, QDir::cleanPath(home)};
}

std::optional<UserAccount> userAccountOf(uid_t uid)
{
    std::vector<char> buffer(16384);
    struct passwd entry;
    struct passwd* found = nullptr;
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return std::nullopt;
    return userAccountNamed(QString::fromLocal8Bit(found->pw_name));
}

std::vector<UserAccount> loginAccounts()
{
    std::vector<UserAccount> accounts;
    ::setpwent();
    while (const struct passwd* entry = ::getpwent()) {
        const QByteArray shell(entry->pw_shell ? entry->pw_shell : "");
        const bool loginShell = !shell.isEmpty() && !shell.endsWith("/nologin") && !shell.endsWith("/false");
        const QString home = QFile::decodeName(entry->pw_dir);
        if (entry->pw_uid >= firstLoginUid() && entry->pw_uid != uid_t(-2) && loginShell && QDir::isAbsolutePath(home)
            && QDir::cleanPath(home) != QLatin1String("/"))
            accounts.push_back(
                {QString::fromLocal8Bit(entry->pw_name), entry->pw_uid, entry->pw_gid, QDir::cleanPath(home)});
    }
    ::endpwent();
    return accounts;
}

bool isInsideHome(const QString& path, const QString& home)
{
    const QString cleaned = QDir::cleanPath(path);
    return home == QLatin1String("/") || cleaned == home || cleaned.startsWith(home + QLatin1Char('/'));
}

std::optional<QByteArray> runAsUser(const UserAccount& account, const std::function<QByteArray()>& work)
{
    // Encoded before the fork: the child only changes its identity, works and writes.
    const QByteArray name = account.name.toLocal8Bit();
    int ends[2];
    if (::pipe(ends) != 0)
        return std::nullopt;
    UniqueFd reading(ends[0]);
    UniqueFd writing(ends[1]);
    const pid_t parent = ::getpid();
    const pid_t child = ::fork();
    if (child == 0) {
        reading.reset();
        // After becoming the user: changing identity clears the parent-death signal.
        if (!become(account, name) || !endWithParent(parent))
            ::_exit(2);
        ::_exit(writeAll(writing.get(), work()) ? 0 : 3);
    }
    writing.reset();
    if (child < 0)
        return std::nullopt;
    QByteArray result;
    char buffer[4096];
    for (ssize_t got; (got = ::read(reading.get(), buffer, sizeof buffer)) != 0;) {
        if (got > 0)
            result.append(buffer, got);
        else if (errno != EINTR)
            break;
    }
    // Closed before waiting, so that a child still writing stops instead of waiting for us.
    reading.reset();
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {}
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return result;
}

}  // namespace Platform
