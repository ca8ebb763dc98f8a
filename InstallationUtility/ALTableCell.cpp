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

QFont fontOfPixelSize(int pixelSize)
{
    QFont font = QApplication::font();
    font.setPixelSize(pixelSize);
    return font;
}

// A soft white glow; five pixels of room for the blur and for glyphs overhanging their advance.
const Platform::TextShadow kTitleGlow{QColor::fromRgbF(1, 1, 1, 0.75), 2, 5};

}  // namespace

void ALTableCell::drawInteriorWithFrame(const QRectF& frame, QPainter& painter, QWidget*)
{
    const QVariantMap record = objectValue().toMap();
    const QRectF icon = iconRect(frame);
    const qreal textX = icon.x() + icon.width() + 4;
    // The width leaves out the frame's x, as the rows have always been laid out.
    const QRectF text(textX, frame.y() - 3, frame.width() - textX, frame.height());
    QRectF upperHalf, lowerHalf;
    Platform::divideRectAtTop(text, &upperHalf, &lowerHalf, frame.height() / 2);

    painter.save();
    drawIcon(cappedIconRect(icon), painter);
    drawTitle(record.value(ALKey::Title).toString(), upperHalf, painter);
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
    const qreal side = std::min(frame.width(), frame.height()) - 8;
    const QRectF square(frame.x() + 10, frame.y() + 4, side, side);
    return icon().isNull() ? square : keepRectInAspect(square, icon().deviceIndependentSize());
}

QRectF ALTableCell::cappedIconRect(const QRectF& rect)
{
    const qreal dx = rect.width() > kIconMaximumSide ? (rect.width() - kIconMaximumSide) / 2 : 0;
    const qreal dy = rect.height() > kIconMaximumSide ? (rect.height() - kIconMaximumSide) / 2 : 0;
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

// The title sits on the middle line, a soft white glow around it.
void ALTableCell::drawTitle(const QString& title, const QRectF& upperHalf, QPainter& painter)
{
    if (title.isEmpty())
        return;
    const QFont font = fontOfPixelSize(16);
    const QFontMetricsF metrics(font);
    const QPointF topLeft(upperHalf.x(), upperHalf.bottom() - metrics.height());
    Platform::drawTextShadow(painter, title, font, topLeft, kTitleGlow);
    painter.setFont(font);
    painter.setPen(QColor::fromRgbF(0, 0, 0, 1));
    painter.drawText(topLeft + QPointF(0, metrics.ascent()), title);
}

void ALTableCell::drawPath(const QString& path, const QRectF& lowerHalf, QPainter& painter)
{
    const QFont font = fontOfPixelSize(12);
    const QFontMetricsF metrics(font);
    const QString line = metrics.horizontalAdvance(path) > lowerHalf.width()
        ? metrics.elidedText(path, Qt::ElideMiddle, lowerHalf.width())
        : path;
    painter.setFont(font);
    painter.setPen(QColor::fromRgbF(0.5, 0.5, 0.5, 1));
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

QString ALTableCell::accessibleDescription() const
{
    return objectValue().toMap().value(ALKey::Path).toString();
}

void ALEmptyCell::drawInteriorWithFrame(const QRectF&, QPainter&, QWidget*)
{
}
