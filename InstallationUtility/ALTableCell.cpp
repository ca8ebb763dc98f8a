#include "ALTableCell.h"

#include "ALRecordKeys.h"
#include "Geometry.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr qreal kIconMaximumSide = 64;
constexpr qreal kGlowBlurRadius = 2;
constexpr qreal kGlowAlpha = 0.75;
// Room around the title's box for the blur to spread and for glyphs overhanging their advance.
constexpr int kGlowMargin = 5;

QFont fontOfPixelSize(int pixelSize)
{
    QFont font = QApplication::font();
    font.setPixelSize(pixelSize);
    return font;
}

// Gaussian weights for a blur of the given radius in device pixels; the radius spans two
// standard deviations, as shadow radii usually do.
std::vector<float> gaussianKernel(qreal radius)
{
    const qreal sigma = std::max<qreal>(radius / 2, 0.01);
    const int half = static_cast<int>(std::ceil(3 * sigma));
    std::vector<float> weights(static_cast<size_t>(2 * half + 1));
    float sum = 0;
    for (int i = -half; i <= half; ++i) {
        const auto weight = static_cast<float>(std::exp(-(i * i) / (2 * sigma * sigma)));
        weights[static_cast<size_t>(i + half)] = weight;
        sum += weight;
    }
    for (float& weight : weights)
        weight /= sum;
    return weights;
}

// One pass of a separable blur over premultiplied pixels; outside the image is transparent.
QImage blurPass(const QImage& source, const std::vector<float>& kernel, bool horizontal)
{
    QImage result(source.size(), QImage::Format_ARGB32_Premultiplied);
    result.setDevicePixelRatio(source.devicePixelRatio());
    const int half = static_cast<int>(kernel.size() / 2);
    const int length = horizontal ? source.width() : source.height();
    for (int y = 0; y < source.height(); ++y) {
        auto* out = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < source.width(); ++x) {
            float a = 0, r = 0, g = 0, b = 0;
            for (int k = -half; k <= half; ++k) {
                const int at = (horizontal ? x : y) + k;
                if (at < 0 || at >= length)
                    continue;
                const QRgb pixel = horizontal ? reinterpret_cast<const QRgb*>(source.constScanLine(y))[at]
                                              : reinterpret_cast<const QRgb*>(source.constScanLine(at))[x];
                const float weight = kernel[static_cast<size_t>(k + half)];
                a += weight * qAlpha(pixel);
                r += weight * qRed(pixel);
                g += weight * qGreen(pixel);
                b += weight * qBlue(pixel);
            }
            const auto channel = [](float value) { return std::clamp(static_cast<int>(std::lround(value)), 0, 255); };
            out[x] = qRgba(channel(r), channel(g), channel(b), channel(a));
        }
    }
    return result;
}

QImage blurred(const QImage& image, qreal radius)
{
    const std::vector<float> kernel = gaussianKernel(radius);
    return blurPass(blurPass(image, kernel, true), kernel, false);
}

// QPainter has no text shadow: the text's coverage is drawn into an image, blurred and laid
// beneath the text.
void drawGlow(const QString& text, const QFont& font, const QPointF& topLeft, QPainter& painter)
{
    const QFontMetricsF metrics(font);
    const qreal scale = painter.device() ? painter.device()->devicePixelRatioF() : 1;
    // A whole-pixel origin keeps the glow aligned with the text drawn at a fractional position.
    const QPointF origin(std::floor(topLeft.x()) - kGlowMargin, std::floor(topLeft.y()) - kGlowMargin);
    const QSizeF size(metrics.horizontalAdvance(text) + 2 * kGlowMargin + 1, metrics.height() + 2 * kGlowMargin + 1);
    QImage coverage(std::ceil(size.width() * scale), std::ceil(size.height() * scale),
                    QImage::Format_ARGB32_Premultiplied);
    coverage.setDevicePixelRatio(scale);
    coverage.fill(Qt::transparent);
    {
        QPainter glowPainter(&coverage);
        glowPainter.setFont(font);
        glowPainter.setPen(QColor::fromRgbF(1, 1, 1, kGlowAlpha));
        glowPainter.drawText(topLeft - origin + QPointF(0, metrics.ascent()), text);
    }
    painter.drawImage(origin, blurred(coverage, kGlowBlurRadius * scale));
}

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

// A square at the frame's left, the icon's proportions fitted into it; without an icon, the
// square itself.
QRectF ALTableCell::iconRect(const QRectF& frame) const
{
    const qreal side = std::min(frame.width(), frame.height()) - 8;
    const QRectF square(frame.x() + 10, frame.y() + 4, side, side);
    return m_icon.isNull() ? square : keepRectInAspect(square, m_icon.deviceIndependentSize());
}

QRectF ALTableCell::cappedIconRect(const QRectF& rect)
{
    const qreal dx = rect.width() > kIconMaximumSide ? (rect.width() - kIconMaximumSide) / 2 : 0;
    const qreal dy = rect.height() > kIconMaximumSide ? (rect.height() - kIconMaximumSide) / 2 : 0;
    return Platform::insetRect(rect, dx, dy);
}

void ALTableCell::drawIcon(const QRectF& rect, QPainter& painter) const
{
    if (m_icon.isNull() || rect.width() <= 0 || rect.height() <= 0)
        return;
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setOpacity(1);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(rect, m_icon, QRectF(m_icon.rect()));
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
    drawGlow(title, font, topLeft, painter);
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

void ALEmptyCell::drawInteriorWithFrame(const QRectF&, QPainter&, QWidget*) {}
