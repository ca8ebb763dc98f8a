#pragma once

#include <QRectF>

namespace Platform {

// Rectangle helpers in the table's coordinates, where y grows downwards.
inline QRectF insetRect(const QRectF& r, qreal dx, qreal dy)
{
    return QRectF(r.x() + dx, r.y() + dy, r.width() - 2 * dx, r.height() - 2 * dy);
}

// Cuts `amount` off the top of r into slice; the rest goes to remainder.
inline void divideRectAtTop(const QRectF& r, QRectF* slice, QRectF* remainder, qreal amount)
{
    *slice = QRectF(r.x(), r.y(), r.width(), amount);
    *remainder = QRectF(r.x(), r.y() + amount, r.width(), r.height() - amount);
}

}  // namespace Platform
