#include "Platform/Files/Paths.h"

#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <memory>

namespace Platform {

QString appendingPathComponent(const QString& path, const QString& component)
{
    if (path.isEmpty())
        return component;
    if (component.isEmpty())
        return path;
    const bool pathEnds = path.endsWith(QLatin1Char('/'));
    const bool componentStarts = component.startsWith(QLatin1Char('/'));
    if (pathEnds && componentStarts)
        return path + component.mid(1);
    if (pathEnds || componentStarts)
        return path + component;
    return path + QLatin1Char('/') + component;
}

QString withoutTrailingSlashes(QString path)
{
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

std::string withoutTrailingSlashes(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

bool encodedNameRoundTrips(const QByteArray& name)
{
    return QFile::encodeName(QFile::decodeName(name)) == name;
}

std::filesystem::path toPath(const QString& path)
{
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

QString fromPath(const std::filesystem::path& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path.native()));
}

std::optional<ItemPath> itemPath(const std::filesystem::path& path)
{
    if (path.empty())
        return std::nullopt;
    const std::filesystem::path item(withoutTrailingSlashes(path.native()));
    std::string name = item.filename().native();
    if (name.empty() || name == "." || name == "..")
        return std::nullopt;
    return ItemPath{item, item.has_parent_path() ? item.parent_path() : std::filesystem::path("."), std::move(name)};
}

std::optional<std::string> withResolvedFolder(const std::filesystem::path& path, int* error)
{
    const auto failed = [error](int code) -> std::optional<std::string> {
        if (error)
            *error = code;
        return std::nullopt;
    };
    const std::optional<ItemPath> target = itemPath(path);
    if (!target)
        return failed(EINVAL);
    const std::unique_ptr<char, decltype(&std::free)> real(::realpath(target->folder.c_str(), nullptr), &std::free);
    if (!real)
        return failed(errno);
    std::string resolved = real.get();
    if (resolved != "/")
        resolved += '/';
    return resolved + target->name;
}

}  // namespace Platform
