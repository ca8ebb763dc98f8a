#include "InstallationUtility/ALTableCell.h"

#include "InstallationUtility/ALRecordKeys.h"
#include "Platform/Table/Geometry.h"
#include "Platform/Table/TextShadow.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>

namespace {

constexpr qreal kIconMaximumSide = 64;
// Designed for the usual font; the desktop's larger font scales them.
constexpr int kTitlePixelSize = 16;
constexpr int kPathPixelSize = 12;
const QString kPluginName = QStringLiteral("Foldwise");

QFont fontOfPixelSize(int pixelSize, const Platform::Appearance& look)
{
    QFont font = QApplication::font();
    font.setPixelSize(look.scaledPixels(pixelSize));
    return font;
}

// A soft white glow; five pixels of room for the blur and for glyphs overhanging their advance.
Platform::TextShadow titleGlow(const Platform::Appearance& look)
{
    return {QColor::fromRgbF(1, 1, 1, 0.75), look.scaled(2), look.scaledPixels(5)};
}

}  // namespace

void ALTableCell::drawInteriorWithFrame(const QRectF& frame, QPainter& painter, QWidget* view)
{
    const Platform::Appearance& look = appearance();
    const QVariantMap record = objectValue().toMap();
    const QRectF icon = iconRect(frame);
    const qreal textX = icon.x() + icon.width() + look.scaled(4);
    // The width leaves out the frame's x, as the rows have always been laid out.
    const QRectF text(textX, frame.y() - look.scaled(3), frame.width() - textX, frame.height());
    QRectF upperHalf, lowerHalf;
    Platform::divideRectAtTop(text, &upperHalf, &lowerHalf, frame.height() / 2);
    // In a table the button's column follows: a title too long for the row ends in an ellipsis
    // at the frame's edge rather than run under the button. Drawn on its own, it runs on.
    const qreal titleRoom = view ? frame.x() + frame.width() - textX : -1;

    painter.save();
    drawIcon(cappedIconRect(icon), painter);
    drawTitle(record.value(ALKey::Title).toString(), upperHalf, titleRoom, painter);
    drawPath(record.value(ALKey::Path).toString(), lowerHalf, painter);
    painter.restore();
}

const QImage& ALTableCell::icon() const
{
    if (!m_iconFile.isEmpty()) {
        m_icon.load(m_iconFile);
        m_iconFile.clear();
    }
    return m_icon;
}

void ALTableCell::setIcon(const QImage& icon)
{
    m_icon = icon;
    m_iconFile.clear();
}

void ALTableCell::setIconFile(const QString& path)
{
    m_icon = QImage();
    m_iconFile = path;
}

// A square at the frame's left, the icon's proportions fitted into it; without an icon, the
// square itself.
QRectF ALTableCell::iconRect(const QRectF& frame) const
{
    const Platform::Appearance& look = appearance();
    const qreal side = std::min(frame.width(), frame.height()) - look.scaled(8);
    const QRectF square(frame.x() + look.scaled(10), frame.y() + look.scaled(4), side, side);
    return icon().isNull() ? square : keepRectInAspect(square, icon().deviceIndependentSize());
}

QRectF ALTableCell::cappedIconRect(const QRectF& rect) const
{
    const qreal maximum = appearance().scaled(kIconMaximumSide);
    const qreal dx = rect.width() > maximum ? (rect.width() - maximum) / 2 : 0;
    const qreal dy = rect.height() > maximum ? (rect.height() - maximum) / 2 : 0;
    return Platform::insetRect(rect, dx, dy);
}

void ALTableCell::drawIcon(const QRectF& rect, QPainter& painter) const
{
    if (icon().isNull() || rect.width() <= 0 || rect.height() <= 0)
        return;
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setOpacity(1);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(rect, icon(), QRectF(icon().rect()));
    painter.restore();
}

// The title sits on the middle line: black with a soft white glow, or in the palette's text
// colour when the desktop's palette is followed.
void ALTableCell::drawTitle(const QString& title, const QRectF& upperHalf, qreal room, QPainter& painter) const
{
    if (title.isEmpty())
        return;
    const Platform::Appearance& look = appearance();
    const QFont font = fontOfPixelSize(kTitlePixelSize, look);
    const QFontMetricsF metrics(font);
    const QString line = room >= 0 && metrics.horizontalAdvance(title) > room
        ? metrics.elidedText(title, Qt::ElideRight, std::max<qreal>(0, room))
        : title;
    const QPointF topLeft(upperHalf.x(), upperHalf.bottom() - metrics.height());
    if (!look.followsPalette())
        Platform::drawTextShadow(painter, line, font, topLeft, titleGlow(look));
    painter.setFont(font);
    painter.setPen(look.followsPalette() ? look.text() : QColor::fromRgbF(0, 0, 0, 1));
    painter.drawText(topLeft + QPointF(0, metrics.ascent()), line);
}

void ALTableCell::drawPath(const QString& path, const QRectF& lowerHalf, QPainter& painter) const
{
    const Platform::Appearance& look = appearance();
    const QFont font = fontOfPixelSize(kPathPixelSize, look);
    const QFontMetricsF metrics(font);
    const QString line = metrics.horizontalAdvance(path) > lowerHalf.width()
        ? metrics.elidedText(path, Qt::ElideMiddle, lowerHalf.width())
        : path;
    painter.setFont(font);
    painter.setPen(look.followsPalette() ? look.secondaryText() : QColor::fromRgbF(0.5, 0.5, 0.5, 1));
    painter.drawText(lowerHalf.topLeft() + QPointF(0, metrics.ascent()), line);
}

QRectF ALTableCell::expansionFrameWithFrame(const QRectF&, QWidget*)
{
    return QRectF(0, 0, 0, 0);
}

QRectF ALTableCell::keepRectInAspect(const QRectF& rect, const QSizeF& imageSize)
{
    qreal pw = imageSize.width();
    qreal ph = imageSize.height();
    if (pw == 0)
        return rect;
    if (pw != rect.width()) {
        ph = ph * (rect.width() / pw);
        pw = rect.width();
    }
    if (ph > rect.height()) {
        pw = pw * (rect.height() / ph);
        ph = rect.height();
    }
    return QRectF(rect.x() + (rect.width() - pw) / 2, rect.y() + (rect.height() - ph) / 2, pw, ph);
}

QString ALTableCell::accessibleName() const
{
    return objectValue().toMap().value(ALKey::Title).toString();
}

// The plug-in's state in words, then where the Acrobat is: "Foldwise 2.5 installed, /Applications/…".
QString ALTableCell::accessibleDescription() const
{
    const QVariantMap record = objectValue().toMap();
    const QString path = record.value(ALKey::Path).toString();
    return path.isEmpty() ? stateInWords(record) : stateInWords(record) + QStringLiteral(", ") + path;
}

QString ALTableCell::stateInWords(const QVariantMap& record)
{
    const QVariantList copies = record.value(ALKey::FW).toList();
    if (copies.isEmpty())
        return kPluginName + QStringLiteral(" not installed");
    return copyInWords(copies.last().toMap()) + QStringLiteral(" installed");
}

QString ALTableCell::copyInWords(const QVariantMap& copy)
{
    const QString version = copy.value(ALKey::Version).toString();
    return version.isEmpty() ? kPluginName : kPluginName + QLatin1Char(' ') + version;
}

void ALEmptyCell::drawInteriorWithFrame(const QRectF&, QPainter&, QWidget*)
{
}
