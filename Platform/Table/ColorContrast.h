#pragma once

#include <QColor>

namespace Platform {

// Colour contrast as WCAG 2 measures it: relative luminance from sRGB, and the ratio
// (lighter + 0.05) / (darker + 0.05), from 1 (no contrast) to 21 (black on white).
qreal relativeLuminance(const QColor& color);
qreal contrastRatio(const QColor& first, const QColor& second);

// The preferred text colour if it reaches the ratio on the background; else black or white,
// whichever stands out more.
QColor readableOn(const QColor& preferred, const QColor& background, qreal minimumRatio);
// The text colour moved towards the background, as far as the ratio still allows: a quieter
// second line that stays readable. The text must already reach the ratio.
QColor softenedTowards(const QColor& text, const QColor& background, qreal minimumRatio);
// The background moved away from the text until the pair reaches the ratio (unchanged if it does).
QColor backgroundFor(const QColor& text, const QColor& background, qreal minimumRatio);

}  // namespace Platform
