#include "Platform/UserFileManager.h"

#include <QDataStream>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <functional>
#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace Platform {

namespace {

// Runs `work` in a child that has become the user, and gives back what it returned; none when
// the child could not become the user or did not finish. The child touches nothing of ours but
// the pipe, and leaves without running our exit handlers.
std::optional<QByteArray> runAs(const UserAccount& account, const std::function<QByteArray()>& work)
{
    const QByteArray name = account.name.toLocal8Bit();
    int channel[2];
    if (::pipe(channel) != 0)
        return std::nullopt;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        if (::initgroups(name.constData(), account.gid) != 0 || ::setgid(account.gid) != 0 || ::setuid(account.uid) != 0
            || ::geteuid() != account.uid || ::getegid() != account.gid || (account.uid != 0 && ::setuid(0) == 0))
            ::_exit(2);
        const QByteArray result = work();
        for (qsizetype done = 0; done < result.size();) {
            const ssize_t put = ::write(channel[1], result.constData() + done, size_t(result.size() - done));
            if (put < 0 && errno != EINTR)
                ::_exit(3);
            done += put > 0 ? put : 0;
        }
        ::_exit(0);
    }
    ::close(channel[1]);
    if (child < 0) {
        ::close(channel[0]);
        return std::nullopt;
    }
    QByteArray result;
    char buffer[4096];
    for (ssize_t got; (got = ::read(channel[0], buffer, sizeof buffer)) != 0;) {
        if (got > 0)
            result.append(buffer, got);
        else if (errno != EINTR)
            break;
    }
    ::close(channel[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {}
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return result;
}

QDataStream& operator<<(QDataStream& out, const std::optional<QString>& text)
{
    return out << text.has_value() << text.value_or(QString());
}

QDataStream& operator>>(QDataStream& in, std::optional<QString>& text)
{
    bool present = false;
    QString value;
    in >> present >> value;
    text = present ? std::optional(value) : std::nullopt;
    return in;
}

QDataStream& operator<<(QDataStream& out, const FileError& error)
{
    return out << error.code << error.description << error.leftBehind << error.inHoldingFolder;
}

QDataStream& operator>>(QDataStream& in, FileError& error)
{
    return in >> error.code >> error.description >> error.leftBehind >> error.inHoldingFolder;
}

// A call made as the user: its answer and the error it described, carried back from the child.
template <typename Answer>
Answer asUser(const UserAccount& account, FileError* error, const std::function<Answer(FileError*)>& call,
              const Answer& failed)
{
    const std::optional<QByteArray> reply = runAs(account, [&] {
        FileError childError;
        const Answer answer = call(&childError);
        QByteArray bytes;
        QDataStream out(&bytes, QIODevice::WriteOnly);
        out << answer << childError;
        return bytes;
    });
    if (!reply) {
        if (error)
            *error = {ECHILD, QStringLiteral("Could not act as the user %1").arg(account.name), std::nullopt, false};
        return failed;
    }
    Answer answer = failed;
    FileError childError;
    QDataStream in(*reply);
    in >> answer >> childError;
    if (error)
        *error = childError;
    return answer;
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

UserFileManager::UserFileManager(UserAccount account) : m_account(std::move(account))
{
}

bool UserFileManager::isInsideHome(const QString& path) const
{
    // By the text as given: whatever links inside the home lead to, the user's own rights apply.
    const QString cleaned = QDir::cleanPath(path);
    return cleaned == m_account.home || cleaned.startsWith(m_account.home + QLatin1Char('/'))
        || m_account.home == QLatin1String("/");
}

bool UserFileManager::fileExistsAtPath(const QString& path)
{
    if (!isInsideHome(path))
        return LocalFileManager::fileExistsAtPath(path);
    return asUser<bool>(
        m_account, nullptr, [&](FileError*) { return LocalFileManager::fileExistsAtPath(path); }, false);
}

bool UserFileManager::nothingAtPath(const QString& path, FileError* error)
{
    if (!isInsideHome(path))
        return LocalFileManager::nothingAtPath(path, error);
    return asUser<bool>(
        m_account, error, [&](FileError* e) { return LocalFileManager::nothingAtPath(path, e); }, false);
}

bool UserFileManager::copyItem(const QString& source, const QString& destination, FileError* error)
{
    if (!isInsideHome(destination))
        return LocalFileManager::copyItem(source, destination, error);
    return asUser<bool>(
        m_account, error, [&](FileError* e) { return LocalFileManager::copyItem(source, destination, e); }, false);
}

bool UserFileManager::removeItem(const QString& path, FileError* error)
{
    if (!isInsideHome(path))
        return LocalFileManager::removeItem(path, error);
    return asUser<bool>(
        m_account, error, [&](FileError* e) { return LocalFileManager::removeItem(path, e); }, false);
}

std::optional<QString> UserFileManager::resolvedPath(const QString& path, FileError* error)
{
    if (!isInsideHome(path))
        return LocalFileManager::resolvedPath(path, error);
    return asUser<std::optional<QString>>(
        m_account, error, [&](FileError* e) { return LocalFileManager::resolvedPath(path, e); }, std::nullopt);
}

}  // namespace Platform
