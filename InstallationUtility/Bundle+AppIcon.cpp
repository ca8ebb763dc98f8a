#include "InstallationUtility/Bundle+AppIcon.h"

#include "Platform/App/Format.h"
#include "Platform/Files/RegularFile.h"

#include <QBuffer>
#include <QImageReader>

namespace AppIcon {

namespace {

// Application icons take tens of KB to a few MB (an .icns with every size up to 1024 pixels);
// anything far beyond is no icon we want to hold in memory.
constexpr qint64 kMaxIconFileSize = 16 * 1024 * 1024;
// 1024 by 1024 is the largest size icons come in; this leaves room and bounds the one image
// decoded at a time (64 MB at four bytes a pixel).
constexpr qint64 kMaxIconPixels = 4096 * 4096;
constexpr int kMaxIconMegabytes = int(kMaxIconPixels * 4 / (1024 * 1024));
// A row shows its icon at most 64 points a side; twice that serves a high-density screen, and
// keeps what every row holds to 64 KB.
constexpr int kRowIconSide = 128;

// The extension of the last path component, after its last dot; empty when there is none.
qsizetype extensionDot(const QString& name)
{
    const qsizetype slash = name.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > slash + 1 ? dot : -1;
}

// Only the formats application icons come in, told by their first bytes whatever the name says.
// Anything else stays undecoded: SVG above all, which may name other files and needs fonts.
QByteArray iconFormatOf(const QByteArray& bytes)
{
    if (bytes.startsWith("\x89PNG\r\n\x1a\n"))
        return QByteArrayLiteral("png");
    if (bytes.startsWith("icns"))
        return QByteArrayLiteral("icns");
    return {};
}

// Qt's allocation limit is process-wide; ours holds only while an icon is decoded, and covers the
// images an .icns nests too.
class AllocationLimit {
public:
    explicit AllocationLimit(int megabytes) : m_previous(QImageReader::allocationLimit())
    {
        QImageReader::setAllocationLimit(megabytes);
    }
    ~AllocationLimit() { QImageReader::setAllocationLimit(m_previous); }
    AllocationLimit(const AllocationLimit&) = delete;
    AllocationLimit& operator=(const AllocationLimit&) = delete;

private:
    int m_previous;
};

bool fitsInRow(const QSize& size)
{
    return size.width() <= kRowIconSide && size.height() <= kRowIconSide;
}

// Decoded under the pixel cap and brought down to the row's size at once, so that a large icon
// costs its memory only while it is read.
std::optional<QImage> decodedForRow(QByteArray bytes, const QByteArray& format)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setAutoDetectImageFormat(false);
    const AllocationLimit limit(kMaxIconMegabytes);
    const QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() > kMaxIconPixels)
        return std::nullopt;
    if (size.isValid() && !fitsInRow(size))
        reader.setScaledSize(size.scaled(kRowIconSide, kRowIconSide, Qt::KeepAspectRatio));
    QImage image = reader.read();
    if (image.isNull())
        return std::nullopt;
    if (!fitsInRow(image.size()))
        image = image.scaled(kRowIconSide, kRowIconSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
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
    const QByteArray format = iconFormatOf(*bytes);
    if (format.isEmpty())
        return std::nullopt;
    return decodedForRow(std::move(*bytes), format);
}

}  // namespace AppIcon
