#include "InstallationUtility/ALTableView.h"

#include <QPainter>

void ALTableView::highlightSelectionInClipRect(const QRectF& clipRect, QPainter& painter)
{
    const RowRange rows = rowsInRect(clipRect);
    if (rows.length == 0)
        return;
    painter.save();
    const Platform::Appearance look = appearance();
    QPen pen(look.followsPalette() ? look.separator() : QColor::fromRgbF(0.8, 0.8, 0.8, 1), 1);
    pen.setCosmetic(true);
    pen.setCapStyle(Qt::FlatCap);
    painter.setPen(pen);
    // Half a pixel down, the line covers exactly the row's first pixel row.
    for (int row = rows.location; row < rows.location + rows.length; ++row) {
        const QRectF rect = rectOfRow(row);
        painter.drawLine(QPointF(rect.x(), rect.y() + 0.5), QPointF(rect.x() + rect.width(), rect.y() + 0.5));
    }
    painter.restore();
}
