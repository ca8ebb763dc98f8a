#include "Platform/Table/Appearance.h"

#include "Platform/Table/ColorContrast.h"

#include <QApplication>
#include <QFontInfo>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace Platform {

namespace {

// A window darker than this is a dark palette: mid-grey and below.
constexpr qreal kDarkWindowLuminance = 0.2;
// Text against its background beyond this is a high-contrast palette: pure black on white or
// white on black comes to 21; the usual light palette (black on #EFEFEF) to about 18, and our
// window grey #F7F7F7 to 19.6.
constexpr qreal kHighContrast = 20;

qreal pointSizeOf(const QFont& font)
{
    if (font.pointSizeF() > 0)
        return font.pointSizeF();
    // A font given in pixels: points at the usual 96 pixels an inch.
    return font.pixelSize() > 0 ? font.pixelSize() * 72.0 / 96.0 : Appearance::referencePointSize();
}

bool isHighContrastPalette(const QPalette& palette)
{
    return contrastRatio(palette.color(QPalette::WindowText), palette.color(QPalette::Window)) >= kHighContrast
        && contrastRatio(palette.color(QPalette::Text), palette.color(QPalette::Base)) >= kHighContrast;
}

}  // namespace

Appearance Appearance::judge(const QPalette& palette, const QFont& font, const SystemPreference& system)
{
    Appearance look;
    look.m_palette = palette;
    look.m_scale = std::max<qreal>(1, pointSizeOf(font) / referencePointSize());
    look.m_dark = system.dark.value_or(relativeLuminance(palette.color(QPalette::Window)) < kDarkWindowLuminance);
    look.m_highContrast = system.increasedContrast.value_or(false) || isHighContrastPalette(palette);
    return look;
}

Appearance Appearance::of(const QWidget* widget)
{
    if (!widget)
        return judge(QApplication::palette(), QApplication::font(), systemPreference());
    return judge(widget->palette(), widget->font(), systemPreference());
}

Appearance Appearance::ofDesktop(const QWidget* widget)
{
    return judge(QApplication::palette(widget), widget->font(), systemPreference());
}

int Appearance::scaledPixels(int designed) const
{
    return static_cast<int>(std::lround(designed * m_scale));
}

QColor Appearance::text() const
{
    return readableOn(m_palette.color(QPalette::Text), rowBackground(), kTextContrast);
}

QColor Appearance::secondaryText() const
{
    // High contrast means full contrast: the path is as strong as the title.
    if (m_highContrast)
        return text();
    return softenedTowards(text(), rowBackground(), kTextContrast + 0.5);
}

QColor Appearance::windowText() const
{
    const QColor window = m_palette.color(QPalette::Window);
    const QColor text = readableOn(m_palette.color(QPalette::WindowText), window, kTextContrast);
    return m_highContrast ? text : softenedTowards(text, window, kTextContrast + 0.5);
}

QColor Appearance::separator() const
{
    return softenedTowards(text(), rowBackground(), kRingContrast);
}

QColor Appearance::focusRing() const
{
    const QColor highlight = m_palette.color(QPalette::Highlight);
    if (contrastRatio(highlight, rowBackground()) >= kRingContrast)
        return highlight;
    return softenedTowards(text(), rowBackground(), kRingContrast + 0.5);
}

}  // namespace Platform
