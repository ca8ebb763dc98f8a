#include "Bundle+AppIcon.h"

#include "Format.h"

#include <QFileInfo>

namespace AppIcon {

namespace {

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
    // Only regular files: a pipe would block the launch and a device might never end.
    if (!path || !QFileInfo(*path).isFile())
        return std::nullopt;
    QImage image(*path);
    if (image.isNull())
        return std::nullopt;
    return image;
}

}  // namespace AppIcon
