#include "Platform/Bundle.h"

#include "Platform/PropertyListCache.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <utility>

namespace Platform {

namespace {

// Whether something is at `path` and, every link resolved, it lies in the bundle's own
// Contents/Resources: a link there may lead to another resource, never out of them.
bool isOwnResource(const QString& path, const QString& bundlePath)
{
    const QString resolved = QFileInfo(path).canonicalFilePath();
    if (resolved.isEmpty())
        return false;  // nothing there: no need to resolve the bundle too
    const QString bundle = QFileInfo(bundlePath).canonicalFilePath();
    return !bundle.isEmpty() && resolved.startsWith(bundle + QStringLiteral("/Contents/Resources/"));
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
    const QString path = resourcePath() + QLatin1Char('/') + fileName;
    if (!isOwnResource(path, m_path))
        return std::nullopt;
    return path;
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
