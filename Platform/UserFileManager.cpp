#include "Platform/UserFileManager.h"

#include <QDataStream>
#include <QDir>

#include <cerrno>
#include <functional>

namespace Platform {

namespace {

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
    return out << error.code << error.description << error.leftBehind << error.inHoldingFolder << error.unswept
               << error.unsweptCode;
}

QDataStream& operator>>(QDataStream& in, FileError& error)
{
    return in >> error.code >> error.description >> error.leftBehind >> error.inHoldingFolder >> error.unswept
        >> error.unsweptCode;
}

// A call made as the user: its answer and the error it described, carried back from the child.
template <typename Answer>
Answer asUser(const UserAccount& account, FileError* error, const std::function<Answer(FileError*)>& call,
              const Answer& failed)
{
    const std::optional<QByteArray> reply = runAsUser(account, [&] {
        FileError childError;
        const Answer answer = call(&childError);
        QByteArray bytes;
        QDataStream out(&bytes, QIODevice::WriteOnly);
        out << answer << childError;
        return bytes;
    });
    if (!reply) {
        if (error)
            *error = {ECHILD, QStringLiteral("Could not act as the user %1").arg(account.name), std::nullopt, false, {},
                      0};
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

UserFileManager::UserFileManager(UserAccount account) : m_account(std::move(account))
{
}

bool UserFileManager::isInsideHome(const QString& path) const
{
    // By the text as given: whatever links inside the home lead to, the user's own rights apply.
    return Platform::isInsideHome(path, m_account.home);
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

bool UserFileManager::sweepLeftovers(const QString& path, FileError* error)
{
    if (!isInsideHome(path))
        return LocalFileManager::sweepLeftovers(path, error);
    return asUser<bool>(
        m_account, error, [&](FileError* e) { return LocalFileManager::sweepLeftovers(path, e); }, false);
}

std::optional<QString> UserFileManager::resolvedPath(const QString& path, FileError* error)
{
    if (!isInsideHome(path))
        return LocalFileManager::resolvedPath(path, error);
    return asUser<std::optional<QString>>(
        m_account, error, [&](FileError* e) { return LocalFileManager::resolvedPath(path, e); }, std::nullopt);
}

}  // namespace Platform
