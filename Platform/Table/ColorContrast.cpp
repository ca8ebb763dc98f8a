#include "Platform/Table/ColorContrast.h"

#include <algorithm>
#include <cmath>

namespace Platform {

namespace {

qreal linear(qreal channel)
{
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

QColor mixed(const QColor& from, const QColor& to, qreal amount)
{
    auto channel = [&](qreal a, qreal b) { return a + (b - a) * amount; };
    return QColor::fromRgbF(channel(from.redF(), to.redF()), channel(from.greenF(), to.greenF()),
                            channel(from.blueF(), to.blueF()), 1);
}

// The largest share of `to` mixed into `from` that keeps the ratio against `fixed`; the
// ratio falls steadily as the share grows, so halving finds it.
qreal largestMix(const QColor& from, const QColor& to, const QColor& fixed, qreal minimumRatio)
{
    qreal low = 0, high = 1;
    for (int step = 0; step < 16; ++step) {
        const qreal middle = (low + high) / 2;
        (contrastRatio(mixed(from, to, middle), fixed) >= minimumRatio ? low : high) = middle;
    }
    return low;
}

}  // namespace

qreal relativeLuminance(const QColor& color)
{
    const QColor rgb = color.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) + 0.0722 * linear(rgb.blueF());
}

qreal contrastRatio(const QColor& first, const QColor& second)
{
    const qreal a = relativeLuminance(first);
    const qreal b = relativeLuminance(second);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

QColor readableOn(const QColor& preferred, const QColor& background, qreal minimumRatio)
{
    if (contrastRatio(preferred, background) >= minimumRatio)
        return preferred;
    const QColor black(Qt::black), white(Qt::white);
    return contrastRatio(black, background) >= contrastRatio(white, background) ? black : white;
}

QColor softenedTowards(const QColor& text, const QColor& background, qreal minimumRatio)
{
    if (contrastRatio(text, background) < minimumRatio)
        return text;
    return mixed(text, background, largestMix(text, background, background, minimumRatio));
}

QColor backgroundFor(const QColor& text, const QColor& background, qreal minimumRatio)
{
    if (contrastRatio(text, background) >= minimumRatio)
        return background;
    const QColor away = relativeLuminance(text) > 0.5 ? QColor(Qt::black) : QColor(Qt::white);
    // Mixing in the far end until the ratio holds: the smallest share that reaches it.
    qreal low = 0, high = 1;
    for (int step = 0; step < 16; ++step) {
        const qreal middle = (low + high) / 2;
        (contrastRatio(text, mixed(background, away, middle)) >= minimumRatio ? high : low) = middle;
    }
    return mixed(background, away, high);
}

}  // namespace Platform
