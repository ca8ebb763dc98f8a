#include "Platform/Bundles/Bundle.h"

#include "Platform/PropertyList/PropertyListCache.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <utility>

namespace Platform {

namespace {

// Whether something is at `path` and, every link resolved, it lies in the bundle's own
// Contents/Resources: a link there may lead to another resource, never out of them.
bool isResolvedOwnResource(const QString& path, const QString& bundlePath)
{
    const QString resolved = QFileInfo(path).canonicalFilePath();
    if (resolved.isEmpty())
        return false;  // nothing there: no need to resolve the bundle too
    const QString bundle = QFileInfo(bundlePath).canonicalFilePath();
    return !bundle.isEmpty() && resolved.startsWith(bundle + QStringLiteral("/Contents/Resources/"));
}

enum class Parts { Missing, Plain, Linked };

// What the parts of `below` are, each looked at below the bundle: one missing, one a link (the
// first found), or all plain files and folders.
Parts partsBelow(const QString& bundlePath, const QString& below)
{
    QString path = bundlePath;
    for (const QStringView part : QStringView(below).split(QLatin1Char('/'))) {
        path.append(QLatin1Char('/')).append(part);
        struct stat info;
        if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
            return Parts::Missing;
        if (S_ISLNK(info.st_mode))
            return Parts::Linked;
    }
    return Parts::Plain;
}

// The same for the resource `fileName`, with no part that leaves the folder. Without a link below
// the bundle the resource lies where its path says: one lstat a part instead of resolving the
// whole path and the bundle's, a readlink for every folder of each.
bool isOwnResource(const QString& bundlePath, const QString& fileName)
{
    if (bundlePath.isEmpty())
        return false;
    const QString below = QStringLiteral("Contents/Resources/") + fileName;
    switch (partsBelow(bundlePath, below)) {
    case Parts::Missing:
        return false;
    case Parts::Plain:
        return true;
    case Parts::Linked:
        break;
    }
    return isResolvedOwnResource(bundlePath + QLatin1Char('/') + below, bundlePath);
}

}  // namespace

Bundle::Bundle(QString path) : m_path(std::move(path))
{
}

std::optional<Bundle> Bundle::bundleWithPath(const QString& path)
{
    if (path.isEmpty() || !QFileInfo(path).isDir())
        return std::nullopt;
    return Bundle(path);
}

Bundle Bundle::mainBundle()
{
    QString executableFolder;
    if (QCoreApplication::instance())
        executableFolder = QCoreApplication::applicationDirPath();
    else
        executableFolder = QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget()).path();
    return Bundle(QDir::cleanPath(executableFolder + QStringLiteral("/../..")));
}

QString Bundle::resourcePath() const
{
    return m_path + QStringLiteral("/Contents/Resources");
}

QVariantMap Bundle::infoDictionary() const
{
    if (!m_info)
        m_info = PropertyListCache::dictionaryWithContentsOfFile(m_path + QStringLiteral("/Contents/Info.plist"))
                     .value_or(QVariantMap());
    return *m_info;
}

std::optional<QString> Bundle::bundleIdentifier() const
{
    return stringForInfoDictionaryKey(QStringLiteral("CFBundleIdentifier"));
}

QVariant Bundle::objectForInfoDictionaryKey(const QString& key) const
{
    return infoDictionary().value(key);
}

std::optional<QString> Bundle::stringForInfoDictionaryKey(const QString& key) const
{
    const QVariant value = objectForInfoDictionaryKey(key);
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

std::optional<QString> Bundle::pathForResource(const QString& name, const QString& type) const
{
    if (name.isEmpty())
        return std::nullopt;
    const QString fileName = type.isEmpty() ? name : name + QLatin1Char('.') + type;
    // Names come from information dictionaries that anyone may write: one may lead into a
    // folder of Resources, never out of it.
    if (fileName.contains(QChar(0)))
        return std::nullopt;
    for (const QStringView part : QStringView(fileName).split(QLatin1Char('/'))) {
        if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String(".."))
            return std::nullopt;
    }
    if (!isOwnResource(m_path, fileName))
        return std::nullopt;
    return resourcePath() + QLatin1Char('/') + fileName;
}

std::optional<QString> Bundle::pathForImageResource(const QString& name) const
{
    static const QStringList extensions = {
        QStringLiteral("png"),  QStringLiteral("pdf"),  QStringLiteral("icns"), QStringLiteral("jpg"),
        QStringLiteral("jpeg"), QStringLiteral("tiff"), QStringLiteral("tif"),  QStringLiteral("gif"),
        QStringLiteral("bmp"),  QStringLiteral("svg"),
    };
    if (!QFileInfo(name).suffix().isEmpty()) {
        if (std::optional<QString> path = pathForResource(name, QString()))
            return path;
    }
    for (const QString& extension : extensions) {
        if (std::optional<QString> path = pathForResource(name, extension))
            return path;
    }
    return std::nullopt;
}

}  // namespace Platform
