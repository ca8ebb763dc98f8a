#pragma once

#include "Platform/Table/Cell.h"

#include <QColor>

// The row's Install / Uninstall button: a flat bar with a white caption.
class ALButtonCell : public Platform::ButtonCell {
public:
    // The bar drawn inside a cell frame.
    static QRectF areaForCellFrame(const QRectF& frame);

    // Only the bar reacts to the mouse.
    QRectF trackingRectForFrame(const QRectF& frame) const override;
    void drawBezelWithFrame(const QRectF& frame, QPainter& painter, QWidget* view) override;
    QRectF drawTitle(const Platform::AttributedString& title, const QRectF& frame, QPainter& painter,
                     QWidget* view) override;

private:
    QColor barColor() const;
};
