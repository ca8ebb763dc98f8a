#include "InstallationUtility/ALButtonCell.h"

#include "Platform/Table/ColorContrast.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>

namespace {

constexpr int kCaptionPixelSize = 12;
// Aimed a little above 7:1, so that rounding to whole colour steps never falls below it.
constexpr qreal kCaptionContrast = Platform::Appearance::kTextContrast + 0.25;

}  // namespace

QRectF ALButtonCell::areaForCellFrame(const QRectF& frame, qreal scale)
{
    const qreal dy = std::max<qreal>(0, frame.height() - 32 * scale) / 2;
    return QRectF(frame.x() + 4 * scale, frame.y() + dy - 2 * scale, frame.width() - 8 * scale,
                  frame.height() - 2 * dy);
}

QRectF ALButtonCell::trackingRectForFrame(const QRectF& frame) const
{
    return areaForCellFrame(frame, appearance().scale());
}

// Grey once installed (the button removes), blue otherwise; lighter when disabled.
QColor ALButtonCell::designedBarColor() const
{
    if (!isEnabled())
        return QColor::fromRgbF(0.74, 0.74, 0.74, 1);
    if (objectValue().toBool())
        return QColor::fromRgbF(0.64, 0.64, 0.64, 1);
    return QColor::fromRgbF(0.17, 0.64, 0.89, 1);
}

// Install in the highlight's colours, Uninstall in a plain button's, as the desktop draws them.
std::pair<QColor, QColor> ALButtonCell::paletteColors() const
{
    const QPalette& palette = appearance().palette();
    if (!isEnabled())
        return {palette.color(QPalette::Disabled, QPalette::Button),
                palette.color(QPalette::Disabled, QPalette::ButtonText)};
    if (objectValue().toBool())
        return {palette.color(QPalette::Button), palette.color(QPalette::ButtonText)};
    return {palette.color(QPalette::Highlight), palette.color(QPalette::HighlightedText)};
}

QColor ALButtonCell::captionColor() const
{
    if (!appearance().followsPalette())
        return QColor::fromRgbF(1, 1, 1, 1);
    const auto [bar, caption] = paletteColors();
    return Platform::readableOn(caption, bar, kCaptionContrast);
}

QColor ALButtonCell::barColor() const
{
    if (!appearance().followsPalette())
        return designedBarColor();
    // Where no caption colour reaches 7:1 on the palette's bar, the bar gives way.
    return Platform::backgroundFor(captionColor(), paletteColors().first, kCaptionContrast);
}

void ALButtonCell::drawBezelWithFrame(const QRectF& frame, QPainter& painter, QWidget*)
{
    const Platform::Appearance& look = appearance();
    const QRectF area = areaForCellFrame(frame, look.scale());
    if (area.width() <= 0 || area.height() <= 0)
        return;
    // A little transparent while pressed.
    QColor color = barColor();
    if (isHighlighted())
        color.setAlphaF(0.8);
    painter.save();
    // The bar replaces what is beneath, alpha included, rather than blending over it.
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(area, color);
    // A bar of the rows' own colour (high-contrast palettes often make buttons so) still shows
    // its edge.
    if (look.followsPalette()
        && Platform::contrastRatio(color, look.rowBackground()) < Platform::Appearance::kRingContrast) {
        const qreal edge = look.scaled(1);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.setPen(QPen(captionColor(), edge));
        painter.drawRect(area.adjusted(edge / 2, edge / 2, -edge / 2, -edge / 2));
    }
    painter.restore();
}

QRectF ALButtonCell::drawTitle(const Platform::AttributedString& title, const QRectF& frame, QPainter& painter,
                               QWidget*)
{
    const Platform::Appearance& look = appearance();
    const QRectF area = areaForCellFrame(frame, look.scale());
    QFont font = QApplication::font();
    font.setPixelSize(look.scaledPixels(kCaptionPixelSize));
    const QFontMetricsF metrics(font);
    const qreal width = metrics.horizontalAdvance(title.string);
    const QPointF topLeft(area.x() + area.width() / 2 - width / 2,
                          area.y() + area.height() / 2 - metrics.height() / 2 + look.scaled(2));
    painter.save();
    painter.setFont(font);
    painter.setPen(captionColor());
    painter.drawText(topLeft + QPointF(0, metrics.ascent()), title.string);
    painter.restore();
    return frame;
}
