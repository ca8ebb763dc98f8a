#include "Platform/Table/Cell.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QWidget>

namespace Platform {

void Cell::drawWithFrame(const QRectF& frame, QPainter& painter, QWidget* view)
{
    drawInteriorWithFrame(frame, painter, view);
}

void Cell::drawInteriorWithFrame(const QRectF&, QPainter&, QWidget*)
{
}

QRectF Cell::expansionFrameWithFrame(const QRectF&, QWidget*)
{
    return {};
}

QString Cell::expansionText() const
{
    return {};
}

void TextFieldCell::drawInteriorWithFrame(const QRectF& frame, QPainter& painter, QWidget* view)
{
    const QFont font = view ? view->font() : QApplication::font();
    painter.setFont(font);
    painter.setPen(view ? view->palette().color(QPalette::Text) : QColor(Qt::black));
    const QString text = QFontMetricsF(font).elidedText(objectValue().toString(), Qt::ElideRight, frame.width());
    painter.drawText(frame, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
}

QRectF TextFieldCell::expansionFrameWithFrame(const QRectF& frame, QWidget* view)
{
    const QFont font = view ? view->font() : QApplication::font();
    const qreal needed = QFontMetricsF(font).horizontalAdvance(objectValue().toString());
    if (needed <= frame.width())
        return {};
    return QRectF(frame.topLeft(), QSizeF(needed, frame.height()));
}

QString TextFieldCell::expansionText() const
{
    return objectValue().toString();
}

bool ButtonCell::sendAction(QObject* sender)
{
    if (!hasAction())
        return false;
    m_action(m_target, sender);
    return true;
}

void ButtonCell::drawWithFrame(const QRectF& frame, QPainter& painter, QWidget* view)
{
    painter.save();
    drawBezelWithFrame(frame, painter, view);
    painter.restore();
    painter.save();
    drawTitle(m_title, frame, painter, view);
    painter.restore();
}

void ButtonCell::drawBezelWithFrame(const QRectF& frame, QPainter& painter, QWidget* view)
{
    QStyleOptionButton option;
    option.rect = frame.toAlignedRect();
    option.state = QStyle::State_None;
    if (isEnabled())
        option.state |= QStyle::State_Enabled;
    option.state |= isHighlighted() ? QStyle::State_Sunken : QStyle::State_Raised;
    QStyle* style = view ? view->style() : QApplication::style();
    style->drawControl(QStyle::CE_PushButtonBevel, &option, &painter, view);
}

QRectF ButtonCell::drawTitle(const AttributedString& title, const QRectF& frame, QPainter& painter, QWidget* view)
{
    const QPalette palette = view ? view->palette() : QApplication::palette();
    painter.setPen(title.foregroundColor.value_or(palette.color(QPalette::ButtonText)));
    painter.drawText(frame, static_cast<int>(title.alignment.value_or(Qt::AlignCenter) | Qt::AlignVCenter),
                     title.string);
    return frame;
}

}  // namespace Platform
