#include "Platform/Table/TextShadow.h"

#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QString>
#include <algorithm>
#include <cmath>
#include <vector>

namespace Platform {

namespace {

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

}  // namespace

// QPainter has no text shadow: the text's coverage is drawn into an image, blurred and laid
// beneath where the text goes.
void drawTextShadow(QPainter& painter, const QString& text, const QFont& font, const QPointF& topLeft,
                    const TextShadow& shadow)
{
    const QFontMetricsF metrics(font);
    const qreal scale = painter.device() ? painter.device()->devicePixelRatioF() : 1;
    const int margin = shadow.margin;
    // A whole-pixel origin keeps the shadow aligned with text drawn at a fractional position.
    const QPointF origin(std::floor(topLeft.x()) - margin, std::floor(topLeft.y()) - margin);
    const QSizeF size(metrics.horizontalAdvance(text) + 2 * margin + 1, metrics.height() + 2 * margin + 1);
    QImage coverage(std::ceil(size.width() * scale), std::ceil(size.height() * scale),
                    QImage::Format_ARGB32_Premultiplied);
    coverage.setDevicePixelRatio(scale);
    coverage.fill(Qt::transparent);
    {
        QPainter shadowPainter(&coverage);
        shadowPainter.setFont(font);
        shadowPainter.setPen(shadow.color);
        shadowPainter.drawText(topLeft - origin + QPointF(0, metrics.ascent()), text);
    }
    painter.drawImage(origin, blurred(coverage, shadow.blurRadius * scale));
}

}  // namespace Platform
