#pragma once

#include "Cell.h"

#include <QImage>
#include <QSizeF>

class QFont;

// Draws one Acrobat installation: the Acrobat icon, the title and, below it, the path.
class ALTableCell : public Platform::TextFieldCell {
public:
    void drawInteriorWithFrame(const QRectF& frame, QPainter& painter, QWidget* view) override;
    QRectF expansionFrameWithFrame(const QRectF& frame, QWidget* view) override;
    // Read out as the record's title, then its path.
    QString accessibleName() const override;
    QString accessibleDescription() const override;

    // The rectangle of the image's proportions fitted into rect and centred in it.
    static QRectF keepRectInAspect(const QRectF& rect, const QSizeF& imageSize);

    // The icon every row shows. Replacing it with a null image makes the next drawing load it
    // from the main bundle again.
    static void setIcon(const QImage& icon);

private:
    static QImage& sharedIcon();
    static void loadIconIfNeeded();
    static QRectF iconRect(const QRectF& frame);
    static QRectF cappedIconRect(const QRectF& rect);
    static void drawIcon(const QRectF& rect, QPainter& painter);
    static void drawTitle(const QString& title, const QRectF& upperHalf, QPainter& painter);
    static void drawPath(const QString& path, const QRectF& lowerHalf, QPainter& painter);
};

// A cell that draws nothing.
class ALEmptyCell : public Platform::TextFieldCell {
public:
    void drawInteriorWithFrame(const QRectF& frame, QPainter& painter, QWidget* view) override;
};
