#pragma once

#include <QColor>

class QFont;
class QPainter;
class QPointF;
class QString;

namespace Platform {

// A shadow cast straight beneath text, without offset: a glow when light.
struct TextShadow {
    QColor color;
    // In logical pixels; the blur spreads over about this distance.
    qreal blurRadius = 0;
    // Room kept around the text's box for the blur to spread and for glyphs overhanging their advance.
    int margin = 0;
};

// Draws the shadow of text laid out from topLeft (the top of its line box) in font; the text itself
// is drawn afterwards by the caller.
void drawTextShadow(QPainter& painter, const QString& text, const QFont& font, const QPointF& topLeft,
                    const TextShadow& shadow);

}  // namespace Platform
