#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <optional>

class QWidget;

namespace Platform {

// What the desktop asks of the way the window looks: a font larger than the usual one, and
// whether its palette is one the user chose to read by (dark, or high contrast). Under the
// usual light palette at the usual font size the window keeps its own designed look; otherwise
// it draws from the palette's roles, every text at least 7:1 against what lies beneath it.
class Appearance {
public:
    // What the system itself says of dark appearance and increased contrast, where it has such
    // settings; unset, the palette decides.
    struct SystemPreference {
        std::optional<bool> dark;
        std::optional<bool> increasedContrast;
    };

    static constexpr qreal kTextContrast = 7;
    static constexpr qreal kRingContrast = 3;

    // The designed look at scale 1: what a cell drawn on its own uses.
    Appearance() = default;
    // Judged from a palette and a font alone, and from what the system says, if anything.
    static Appearance judge(const QPalette& palette, const QFont& font, const SystemPreference& system = {});
    // The look a widget should have now: its palette and font, and the system's settings.
    static Appearance of(const QWidget* widget);
    // The same from the palette the desktop gives the widget, whatever colours it set for itself.
    static Appearance ofDesktop(const QWidget* widget);

    // The factor by which the designed sizes grow: the font's size over the usual one, never below 1.
    qreal scale() const { return m_scale; }
    qreal scaled(qreal designed) const { return designed * m_scale; }
    int scaledPixels(int designed) const;
    bool isDark() const { return m_dark; }
    bool isHighContrast() const { return m_highContrast; }
    // Whether colours come from the palette instead of the designed ones.
    bool followsPalette() const { return m_dark || m_highContrast; }
    const QPalette& palette() const { return m_palette; }

    // Colours for drawing from the palette, each readable on the background it is drawn on.
    QColor rowBackground() const { return m_palette.color(QPalette::Base); }
    QColor text() const;
    QColor secondaryText() const;
    QColor windowText() const;
    QColor separator() const;
    // The keyboard's focus ring: the palette's highlight, kept at 3:1 against the rows.
    QColor focusRing() const;

    // The usual font size on this system, in points: what the designed sizes were drawn at.
    static qreal referencePointSize();
    // The system's own dark and contrast settings, where it has them.
    static SystemPreference systemPreference();

private:
    qreal m_scale = 1;
    bool m_dark = false;
    bool m_highContrast = false;
    QPalette m_palette;
};

}  // namespace Platform
