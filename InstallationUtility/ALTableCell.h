#pragma once

#include "Platform/Table/Cell.h"

#include <QImage>
#include <QSizeF>
#include <QVariantMap>

class QFont;

// Draws one Acrobat installation: the Acrobat icon, the title and, below it, the path.
class ALTableCell : public Platform::TextFieldCell {
public:
    void drawInteriorWithFrame(const QRectF& frame, QPainter& painter, QWidget* view) override;
    QRectF expansionFrameWithFrame(const QRectF& frame, QWidget* view) override;
    // Read out as the record's title, then the plug-in's state in words and the path.
    QString accessibleName() const override;
    QString accessibleDescription() const override;
    // "Foldwise 2.5 installed" or "Foldwise not installed", for a record.
    static QString stateInWords(const QVariantMap& record);
    // "Foldwise 2.5", for an installed copy's record.
    static QString copyInWords(const QVariantMap& copy);

    // The rectangle of the image's proportions fitted into rect and centred in it.
    static QRectF keepRectInAspect(const QRectF& rect, const QSizeF& imageSize);

    // The icon every row shows, given when the window is built; without one the rows are laid
    // out as for a square icon and none is drawn.
    const QImage& icon() const;
    void setIcon(const QImage& icon);
    // The same, read from a file when first drawn: decoding it (and Qt's first look for image
    // plug-ins) would otherwise delay showing the window by several milliseconds.
    void setIconFile(const QString& path);

private:
    QRectF iconRect(const QRectF& frame) const;
    QRectF cappedIconRect(const QRectF& rect) const;
    void drawIcon(const QRectF& rect, QPainter& painter) const;
    // The title on one line, ended by an ellipsis where it would need more than room (none when
    // room is negative).
    void drawTitle(const QString& title, const QRectF& upperHalf, qreal room, QPainter& painter) const;
    void drawPath(const QString& path, const QRectF& lowerHalf, QPainter& painter) const;

    mutable QImage m_icon;
    mutable QString m_iconFile;
};

// A cell that draws nothing.
class ALEmptyCell : public Platform::TextFieldCell {
public:
    void drawInteriorWithFrame(const QRectF& frame, QPainter& painter, QWidget* view) override;
};
