#include "InstallationUtility/Bundle+AppIcon.h"

#include "Platform/Format.h"
#include "Platform/RegularFile.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageReader>

namespace AppIcon {

namespace {

// Application icons take tens of KB to a few MB (an .icns with every size up to 1024 pixels);
// anything far beyond is no icon we want to hold in memory.
constexpr qint64 kMaxIconFileSize = 16 * 1024 * 1024;
// 1024 by 1024 is the largest size icons come in; this leaves room and bounds the decoded image
// (64 MB at four bytes a pixel).
constexpr qint64 kMaxIconPixels = 4096 * 4096;

// The extension of the last path component, after its last dot; empty when there is none.
qsizetype extensionDot(const QString& name)
{
    const qsizetype slash = name.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > slash + 1 ? dot : -1;
}

}  // namespace

std::optional<QString> appIconPath(const Platform::Bundle& bundle)
{
    const std::optional<QString> iconFile =
        Platform::textOf(bundle.objectForInfoDictionaryKey(QStringLiteral("CFBundleIconFile")));
    if (!iconFile || iconFile->isEmpty())
        return std::nullopt;
    const qsizetype dot = extensionDot(*iconFile);
    const QString name = dot < 0 ? *iconFile : iconFile->left(dot);
    const QString type = dot < 0 ? QString() : iconFile->mid(dot + 1);
    return bundle.pathForResource(name, type);
}

std::optional<QImage> appIcon(const Platform::Bundle& bundle)
{
    const std::optional<QString> path = appIconPath(bundle);
    if (!path)
        return std::nullopt;
    // Read once through a checked descriptor: a pipe would block the launch and a device might
    // never end.
    std::optional<QByteArray> bytes = Platform::readRegularFile(*path, kMaxIconFileSize);
    if (!bytes)
        return std::nullopt;
    QBuffer buffer(&*bytes);
    buffer.open(QIODevice::ReadOnly);
    // The extension is a hint; the content decides when it does not fit.
    QImageReader reader(&buffer, QFileInfo(*path).suffix().toLatin1());
    const QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() > kMaxIconPixels)
        return std::nullopt;
    QImage image = reader.read();
    if (image.isNull())
        return std::nullopt;
    return image;
}

}  // namespace AppIcon
