#pragma once

#include "Platform/Table/Appearance.h"
#include "Platform/Table/AttributedString.h"

#include <QAccessible>
#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QVariant>
#include <concepts>
#include <functional>

class QPainter;
class QWidget;

namespace Platform {

class ButtonCell;

// A cell draws one value in a rectangle of a table; the table hands it the value of each row
// just before drawing or tracking that row, so one cell object serves every row of a column.
class Cell {
public:
    virtual ~Cell() = default;

    const QVariant& objectValue() const { return m_objectValue; }
    void setObjectValue(const QVariant& value) { m_objectValue = value; }
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled) { m_enabled = enabled; }
    bool isHighlighted() const { return m_highlighted; }
    void setHighlighted(bool highlighted) { m_highlighted = highlighted; }
    // The look to draw with: the table sets its own before each row; a cell on its own has the
    // designed look.
    const Appearance& appearance() const { return m_appearance; }
    void setAppearance(const Appearance& appearance) { m_appearance = appearance; }

    // The whole cell: by default just its interior.
    virtual void drawWithFrame(const QRectF& frame, QPainter& painter, QWidget* view);
    virtual void drawInteriorWithFrame(const QRectF& frame, QPainter& painter, QWidget* view);
    // Where the full content would be shown when it does not fit the frame; a null rectangle
    // means there is nothing to expand.
    virtual QRectF expansionFrameWithFrame(const QRectF& frame, QWidget* view);
    // The text shown when the table expands the cell.
    virtual QString expansionText() const;
    // The area the keyboard's focus ring goes around: by default the whole frame.
    virtual QRectF focusRingMaskBoundsForFrame(const QRectF& frame) const { return frame; }
    // The cell as a push button, or null: what the table presses and tracks the mouse for.
    virtual ButtonCell* asButtonCell() { return nullptr; }

    // What a screen reader is told of the cell as the table last filled it for a row.
    virtual QAccessible::Role accessibleRole() const { return QAccessible::Cell; }
    virtual QString accessibleName() const { return m_objectValue.toString(); }
    virtual QString accessibleDescription() const { return {}; }

private:
    QVariant m_objectValue;
    bool m_enabled = true;
    bool m_highlighted = false;
    Appearance m_appearance;
};

// Draws its object value as one line of text.
class TextFieldCell : public Cell {
public:
    void drawInteriorWithFrame(const QRectF& frame, QPainter& painter, QWidget* view) override;
    QRectF expansionFrameWithFrame(const QRectF& frame, QWidget* view) override;
    QString expansionText() const override;
};

// A push button drawn in two steps, bezel then title, that sends its action to its target when
// clicked.
class ButtonCell : public Cell {
public:
    const AttributedString& attributedTitle() const { return m_title; }
    QString title() const { return m_title.string; }
    void setTitle(const QString& title) { m_title = AttributedString{title, {}, {}}; }
    void setAttributedTitle(const AttributedString& title) { m_title = title; }

    // What a press calls: a method of the target taking the sender. The target is watched: once
    // it is gone, nothing is sent.
    template <typename Target, typename Receiver>
    requires std::derived_from<Target, QObject> && std::derived_from<Target, Receiver>
    void setAction(Target* target, void (Receiver::*action)(QObject* sender))
    {
        m_target = target;
        m_action = [action](QObject* receiver, QObject* sender) { (static_cast<Target*>(receiver)->*action)(sender); };
    }
    QObject* target() const { return m_target; }
    bool hasAction() const { return m_target && m_action; }
    // Sends the action to the target; false when there is none to send it to.
    bool sendAction(QObject* sender);

    void drawWithFrame(const QRectF& frame, QPainter& painter, QWidget* view) override;
    virtual void drawBezelWithFrame(const QRectF& frame, QPainter& painter, QWidget* view);
    // Draws the title and returns the rectangle it was given.
    virtual QRectF drawTitle(const AttributedString& title, const QRectF& frame, QPainter& painter, QWidget* view);
    // The part of the frame that reacts to the mouse.
    virtual QRectF trackingRectForFrame(const QRectF& frame) const { return frame; }
    QRectF focusRingMaskBoundsForFrame(const QRectF& frame) const override { return trackingRectForFrame(frame); }
    ButtonCell* asButtonCell() override { return this; }

    QAccessible::Role accessibleRole() const override { return QAccessible::Button; }
    QString accessibleName() const override { return title(); }

private:
    AttributedString m_title;
    QPointer<QObject> m_target;
    std::function<void(QObject* target, QObject* sender)> m_action;
};

}  // namespace Platform
