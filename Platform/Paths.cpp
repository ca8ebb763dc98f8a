#include "Platform/Paths.h"

#include <QFile>

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

}  // namespace Platform
