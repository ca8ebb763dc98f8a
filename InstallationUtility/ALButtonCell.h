#pragma once

#include "Platform/Table/Cell.h"

#include <QColor>
#include <utility>

// The row's Install / Uninstall button: a flat bar with a white caption. When the desktop's
// palette is followed, the bar and caption come from its roles instead, the caption at 7:1.
class ALButtonCell : public Platform::ButtonCell {
public:
    // The bar drawn inside a cell frame, at a scale of the designed sizes.
    static QRectF areaForCellFrame(const QRectF& frame, qreal scale = 1);

    // Only the bar reacts to the mouse.
    QRectF trackingRectForFrame(const QRectF& frame) const override;
    void drawBezelWithFrame(const QRectF& frame, QPainter& painter, QWidget* view) override;
    QRectF drawTitle(const Platform::AttributedString& title, const QRectF& frame, QPainter& painter,
                     QWidget* view) override;

    // The colours drawn now: the bar's, before a press makes it translucent, and the caption's.
    QColor barColor() const;
    QColor captionColor() const;

private:
    QColor designedBarColor() const;
    // The palette's pair for the state: the bar, and the caption preferred on it.
    std::pair<QColor, QColor> paletteColors() const;
};
