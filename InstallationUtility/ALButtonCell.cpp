#include "InstallationUtility/ALButtonCell.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>

QRectF ALButtonCell::areaForCellFrame(const QRectF& frame)
{
    const qreal dy = std::max<qreal>(0, frame.height() - 32) / 2;
    return QRectF(frame.x() + 4, frame.y() + dy - 2, frame.width() - 8, frame.height() - 2 * dy);
}

QRectF ALButtonCell::trackingRectForFrame(const QRectF& frame) const
{
    return areaForCellFrame(frame);
}

// Grey once installed (the button removes), blue otherwise; lighter when disabled, and a little
// transparent while pressed.
QColor ALButtonCell::barColor() const
{
    QColor color;
    if (!isEnabled())
        color = QColor::fromRgbF(0.74, 0.74, 0.74, 1);
    else if (objectValue().toBool())
        color = QColor::fromRgbF(0.64, 0.64, 0.64, 1);
    else
        color = QColor::fromRgbF(0.17, 0.64, 0.89, 1);
    if (isHighlighted())
        color.setAlphaF(0.8);
    return color;
}

void ALButtonCell::drawBezelWithFrame(const QRectF& frame, QPainter& painter, QWidget*)
{
    const QRectF area = areaForCellFrame(frame);
    if (area.width() <= 0 || area.height() <= 0)
        return;
    painter.save();
    // The bar replaces what is beneath, alpha included, rather than blending over it.
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(area, barColor());
    painter.restore();
}

QRectF ALButtonCell::drawTitle(const Platform::AttributedString& title, const QRectF& frame, QPainter& painter,
                               QWidget*)
{
    const QRectF area = areaForCellFrame(frame);
    QFont font = QApplication::font();
    font.setPixelSize(12);
    const QFontMetricsF metrics(font);
    const qreal width = metrics.horizontalAdvance(title.string);
    const QPointF topLeft(area.x() + area.width() / 2 - width / 2,
                          area.y() + area.height() / 2 - metrics.height() / 2 + 2);
    painter.save();
    painter.setFont(font);
    painter.setPen(QColor::fromRgbF(1, 1, 1, 1));
    painter.drawText(topLeft + QPointF(0, metrics.ascent()), title.string);
    painter.restore();
    return frame;
}
