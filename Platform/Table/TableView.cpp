#include "Platform/Table/TableView.h"

#include "Platform/Table/Cell.h"
#include "Platform/Table/TableAccessibility.h"
#include "Platform/Table/TableModel.h"

#include <QFocusEvent>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace Platform {

TableView::TableView(QWidget* parent)
    : QTableView(parent),
      m_model(std::make_unique<TableModel>(
          [this] { return dataSource() ? dataSource()->numberOfRowsInTableView(this) : 0; },
          [this] { return numberOfColumns(); }))
{
    // What a screen reader hears of a table comes with the table.
    installTableAccessibility();
    setModel(m_model.get());
    horizontalHeader()->hide();
    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(0);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    setShowGrid(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setFrameShape(QFrame::NoFrame);
    // Tab reaches the table and a click does not, so the mouse never changes how it looks.
    setFocusPolicy(Qt::TabFocus);
    setTabKeyNavigation(false);
    setWordWrap(false);
    applySizes();
}

TableView::~TableView()
{
    // The model asks the columns for their count while it goes.
    setModel(nullptr);
}

void TableView::setDataSource(TableDataSource* dataSource)
{
    m_dataSource = dataSource;
    reloadData();
}

void TableView::addTableColumn(std::unique_ptr<TableColumn> column)
{
    m_columns.push_back(std::move(column));
    reloadData();
}

TableColumn* TableView::tableColumnWithIdentifier(const QString& identifier) const
{
    for (const auto& column : m_columns)
        if (column->identifier() == identifier)
            return column.get();
    return nullptr;
}

TableColumn* TableView::tableColumnAt(int index) const
{
    if (index < 0 || index >= numberOfColumns())
        return nullptr;
    return m_columns[static_cast<size_t>(index)].get();
}

void TableView::reloadData()
{
    // Keep the selection across a reload, as long as its row still exists.
    const int selected = selectedRow();
    m_tracking = {};
    // The reset also tells screen readers that every row may have changed: the accessible
    // table drops its cells, and they are read afresh with their new captions. A screen reader
    // speaks a name change of the focused button late or not at all, so the selected row's new
    // button is announced as the focus when the selection comes back.
    m_model->reload();
    applySizes();
    if (selected >= 0 && selected < numberOfRows()) {
        selectRow(selected);
        scrollToSelectedRow();
    }
    viewport()->update();
}

int TableView::rowRectHeight() const
{
    return appearance().scaledPixels(kRowRectHeight);
}

void TableView::applySizes()
{
    const Appearance look = appearance();
    verticalHeader()->setDefaultSectionSize(look.scaledPixels(kRowRectHeight));
    for (int i = 0; i < numberOfColumns(); ++i) {
        const int width = m_columns[static_cast<size_t>(i)]->width();
        horizontalHeader()->setSectionResizeMode(i, width > 0 ? QHeaderView::Fixed : QHeaderView::Stretch);
        if (width > 0)
            horizontalHeader()->resizeSection(i, look.scaledPixels(width));
    }
}

void TableView::changeEvent(QEvent* event)
{
    QTableView::changeEvent(event);
    switch (event->type()) {
    case QEvent::FontChange:
    case QEvent::ApplicationFontChange:
    case QEvent::PaletteChange:
    case QEvent::ApplicationPaletteChange:
    case QEvent::StyleChange:
        applySizes();
        scrollToSelectedRow();
        viewport()->update();
        break;
    default:
        break;
    }
}

void TableView::resizeEvent(QResizeEvent* event)
{
    QTableView::resizeEvent(event);
    // A window made lower keeps the chosen row in view.
    scrollToSelectedRow();
}

void TableView::scrollToSelectedRow()
{
    if (const int row = selectedRow(); row >= 0)
        scrollTo(m_model->index(row, 0));
}

int TableView::numberOfRows() const
{
    return m_model->rowCount();
}

int TableView::selectedRow() const
{
    if (!selectionModel())
        return -1;
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.last().row();
}

void TableView::selectRow(int row)
{
    if (row < 0 || row >= numberOfRows())
        return;
    const QModelIndex index = m_model->index(row, 0);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    viewport()->update();
}

TableView::RowRange TableView::rowsInRect(const QRectF& rect) const
{
    const int rows = numberOfRows();
    if (rows == 0)
        return {};
    // All rows are equally high, so the range follows from where the rectangle begins and ends;
    // a row it only touches at an edge is not in it.
    const QRectF firstRow = rectOfRow(0);
    const qreal height = rowRectHeight();
    const QRectF allRows(firstRow.topLeft(), QSizeF(firstRow.width(), qreal(rows) * height));
    if (!allRows.intersects(rect))
        return {};
    const QRectF area = rect.normalized();
    const qreal first = std::floor((area.top() - firstRow.top()) / height);
    const qreal last = std::ceil((area.bottom() - firstRow.top()) / height) - 1;
    const int location = static_cast<int>(std::clamp<qreal>(first, 0, rows - 1));
    const int end = static_cast<int>(std::clamp<qreal>(last, 0, rows - 1));
    return {location, end - location + 1};
}

QRectF TableView::rectOfRow(int row) const
{
    return QRectF(-horizontalOffset(), rowViewportPosition(row), horizontalHeader()->length(), rowHeight(row));
}

QRectF TableView::frameOfCellAtColumn(int column, int row) const
{
    const QRectF rowRect = rectOfRow(row);
    return QRectF(columnViewportPosition(column) + kColumnSpacing / 2.0, rowRect.y() + kRowSpacing / 2.0,
                  columnWidth(column) - kColumnSpacing, rowRect.height() - kRowSpacing);
}

Cell* TableView::preparedCellAtColumn(int column, int row)
{
    TableColumn* tableColumn = tableColumnAt(column);
    if (!tableColumn || !m_dataSource)
        return nullptr;
    Cell* cell = m_dataSource->dataCellForTableColumn(this, tableColumn, row);
    if (!cell)
        cell = tableColumn->dataCell();
    if (cell) {
        cell->setObjectValue(m_dataSource->objectValueForTableColumn(this, tableColumn, row));
        cell->setAppearance(appearance());
    }
    return cell;
}

ButtonCell* TableView::preparedButtonAtColumn(int column, int row)
{
    Cell* cell = preparedCellAtColumn(column, row);
    return cell ? cell->asButtonCell() : nullptr;
}

int TableView::buttonColumnForRow(int row)
{
    if (row < 0 || row >= numberOfRows())
        return -1;
    for (int column = 0; column < numberOfColumns(); ++column)
        if (preparedButtonAtColumn(column, row))
            return column;
    return -1;
}

bool TableView::performClickOnCellAtColumn(int column, int row)
{
    if (row < 0 || row >= numberOfRows())
        return false;
    // The action reads the selected row, so the row is selected first.
    selectRow(row);
    // The cell is shared by every row: it gets this row's title and value just before it acts.
    ButtonCell* button = preparedButtonAtColumn(column, row);
    if (!button || !button->isEnabled())
        return false;
    return button->sendAction(this);
}

bool TableView::showsFocusRing() const
{
    return m_keyboardFocusVisible && hasFocus() && selectedRow() >= 0;
}

bool TableView::showsTableFocusRing() const
{
    return !m_tableRingHidden && hasFocus() && selectedRow() < 0 && numberOfRows() > 0;
}

void TableView::announceLater(const QString& text)
{
    QTimer::singleShot(0, this, [this, text] { announce(text); });
}

void TableView::announce(const QString& text)
{
    if (text.isEmpty())
        return;
    // Screen readers speak a changed description of the object they follow; the text is the
    // description only while they are told, so nothing reads it again later.
    m_announcement = text;
    QAccessibleEvent event(this, QAccessible::DescriptionChanged);
    if (const int row = selectedRow(); hasFocus() && row >= 0)
        event.setChild(row * numberOfColumns() + keyboardColumnForRow(row));
    QAccessible::updateAccessibility(&event);
    emit announced(text);
    m_announcement.clear();
}

void TableView::highlightSelectionInClipRect(const QRectF& clipRect, QPainter& painter)
{
    const int selected = selectedRow();
    if (selected < 0)
        return;
    const QRectF rowRect = rectOfRow(selected);
    if (rowRect.intersects(clipRect))
        painter.fillRect(rowRect, palette().color(QPalette::Highlight));
}

void TableView::paintEvent(QPaintEvent* event)
{
    QPainter painter(viewport());
    const QRectF clip = event->rect();
    painter.save();
    highlightSelectionInClipRect(clip, painter);
    painter.restore();
    if (!m_dataSource)
        return;
    const RowRange rows = rowsInRect(clip);
    for (int row = rows.location; row < rows.location + rows.length; ++row) {
        if (Cell* rowCell = m_dataSource->dataCellForTableColumn(this, nullptr, row)) {
            rowCell->setObjectValue(m_dataSource->objectValueForTableColumn(this, nullptr, row));
            rowCell->setAppearance(appearance());
            painter.save();
            rowCell->drawWithFrame(rectOfRow(row), painter, this);
            painter.restore();
            continue;
        }
        for (int column = 0; column < numberOfColumns(); ++column) {
            const QRectF frame = frameOfCellAtColumn(column, row);
            if (!frame.intersects(clip))
                continue;
            Cell* cell = preparedCellAtColumn(column, row);
            if (!cell)
                continue;
            const bool pressed = m_tracking.inside && m_tracking.row == row && m_tracking.column == column;
            cell->setHighlighted(pressed);
            painter.save();
            cell->drawWithFrame(frame, painter, this);
            painter.restore();
            cell->setHighlighted(false);
        }
    }
    painter.save();
    drawFocusRing(painter, clip);
    painter.restore();
    painter.save();
    drawTableFocusRing(painter);
    painter.restore();
}

void TableView::drawTableFocusRing(QPainter& painter)
{
    if (!showsTableFocusRing())
        return;
    const Appearance look = appearance();
    const int width = look.scaledPixels(kFocusRingWidth);
    const QRectF outer = viewport()->rect();
    QPainterPath ring;
    ring.addRect(outer);
    ring.addRect(outer.adjusted(width, width, -width, -width));
    painter.fillPath(ring, look.focusRing());
}

void TableView::drawFocusRing(QPainter& painter, const QRectF& clipRect)
{
    if (!showsFocusRing())
        return;
    const int row = selectedRow();
    const int column = keyboardColumnForRow(row);
    Cell* cell = preparedCellAtColumn(column, row);
    if (!cell)
        return;
    const QRectF bounds = cell->focusRingMaskBoundsForFrame(frameOfCellAtColumn(column, row));
    if (bounds.isEmpty())
        return;
    // Two pixels wide and two clear of what it surrounds (at the usual font), so that it stands
    // out even around a bar of the highlight's own hue.
    const Appearance look = appearance();
    const qreal gap = look.scaledPixels(kFocusRingGap);
    const qreal width = look.scaledPixels(kFocusRingWidth);
    const QRectF inner = bounds.adjusted(-gap, -gap, gap, gap);
    const QRectF outer = inner.adjusted(-width, -width, width, width);
    if (!outer.intersects(clipRect))
        return;
    QPainterPath ring;
    ring.addRect(outer);
    ring.addRect(inner);
    painter.fillPath(ring, look.focusRing());
}

bool TableView::trackingContains(const QPointF& point)
{
    const ButtonCell* button = preparedButtonAtColumn(m_tracking.column, m_tracking.row);
    return button
        && button->trackingRectForFrame(frameOfCellAtColumn(m_tracking.column, m_tracking.row)).contains(point);
}

void TableView::updateTrackedCell()
{
    viewport()->update(frameOfCellAtColumn(m_tracking.column, m_tracking.row).toAlignedRect().adjusted(-2, -2, 2, 2));
}

void TableView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    setKeyboardFocusVisible(false);
    m_tableRingHidden = true;
    const QPointF point = event->position();
    const int row = rowAt(static_cast<int>(point.y()));
    const int column = columnAt(static_cast<int>(point.x()));
    if (row < 0) {
        clearSelection();
        return;
    }
    selectRow(row);
    const ButtonCell* button = preparedButtonAtColumn(column, row);
    if (!button || !button->isEnabled())
        return;
    if (!button->trackingRectForFrame(frameOfCellAtColumn(column, row)).contains(point))
        return;
    m_tracking = {column, row, true};
    updateTrackedCell();
}

void TableView::mouseDoubleClickEvent(QMouseEvent* event)
{
    // Each press of a double click is a click of its own, as with any push button.
    mousePressEvent(event);
}

void TableView::mouseMoveEvent(QMouseEvent* event)
{
    if (m_tracking.row < 0)
        return;
    const bool inside = trackingContains(event->position());
    if (inside != m_tracking.inside) {
        m_tracking.inside = inside;
        updateTrackedCell();
    }
}

void TableView::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_tracking.row < 0 || event->button() != Qt::LeftButton)
        return;
    const Tracking tracked = m_tracking;
    const bool inside = trackingContains(event->position());
    updateTrackedCell();
    m_tracking = {};
    if (inside)
        performClickOnCellAtColumn(tracked.column, tracked.row);
}

void TableView::keyPressEvent(QKeyEvent* event)
{
    // Modified keys belong to the window's shortcuts.
    if (event->modifiers() & ~Qt::KeyboardModifiers(Qt::KeypadModifier)) {
        event->ignore();
        return;
    }
    const int selected = selectedRow();
    switch (event->key()) {
    case Qt::Key_Up:
        moveSelectionTo(selected < 0 ? 0 : selected - 1);
        break;
    case Qt::Key_Down:
        moveSelectionTo(selected < 0 ? 0 : selected + 1);
        break;
    case Qt::Key_Home:
        moveSelectionTo(0);
        break;
    case Qt::Key_End:
        moveSelectionTo(numberOfRows() - 1);
        break;
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Only a row the user chose is acted on; a key held down acts once, not once per repeat.
        if (selected < 0) {
            if (!event->isAutoRepeat())
                announce(tr("No installation is chosen yet. Tab or an arrow key chooses one."));
            break;
        }
        setKeyboardFocusVisible(true);
        if (!event->isAutoRepeat())
            performClickOnCellAtColumn(buttonColumnForRow(selected), selected);
        break;
    default:
        event->ignore();
        return;
    }
    event->accept();
}

void TableView::moveSelectionTo(int row)
{
    setKeyboardFocusVisible(true);
    const int rows = numberOfRows();
    if (rows == 0)
        return;
    row = std::clamp(row, 0, rows - 1);
    selectRow(row);
    scrollTo(m_model->index(row, 0));
}

void TableView::focusInEvent(QFocusEvent* event)
{
    QTableView::focusInEvent(event);
    // Only Tab chooses a row on arrival: the focus Qt gives the window's only control at launch,
    // or back after a panel, leaves the selection as the user left it.
    if (event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason)
        enterByKeyboard();
    else if (event->reason() == Qt::MouseFocusReason)
        setKeyboardFocusVisible(false);
    m_tableRingHidden = event->reason() == Qt::MouseFocusReason;
    announceSelectedRowLater();
    viewport()->update();
}

void TableView::focusOutEvent(QFocusEvent* event)
{
    QTableView::focusOutEvent(event);
    viewport()->update();
}

bool TableView::focusNextPrevChild(bool next)
{
    const bool hadFocus = hasFocus();
    const bool moved = QTableView::focusNextPrevChild(next);
    // Alone in its window, the table is where Tab comes back to: no focus event, but Tab has
    // brought the keyboard into the table all the same.
    if (hasFocus()) {
        if (hadFocus && selectedRow() >= 0)
            reannounceSelectedRow();
        enterByKeyboard();
    }
    return moved;
}

void TableView::enterByKeyboard()
{
    if (selectedRow() < 0)
        selectRow(0);
    scrollToSelectedRow();
    setKeyboardFocusVisible(true);
}

void TableView::reannounceSelectedRow()
{
    // Screen readers say nothing of a focus on the object they already follow: the row's cells
    // become new objects first, as after a reload.
    if (auto* accessible = dynamic_cast<TableViewAccessible*>(QAccessible::queryAccessibleInterface(this)))
        accessible->renewCells();
    announceSelectedRowLater();
}

// QTableView's own version only tells screen readers of the current cell, with its numbering
// of the cells; ours tell them of the selected row instead.
void TableView::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QAbstractItemView::currentChanged(current, previous);
}

void TableView::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    // Once a row is chosen, its ring shows where the keyboard is.
    if (!selected.isEmpty())
        m_tableRingHidden = true;
    notifyAccessibleCell(QAccessible::SelectionAdd, selected.indexes().value(0));
    notifyAccessibleCell(QAccessible::SelectionRemove, deselected.indexes().value(0));
    QAbstractItemView::selectionChanged(selected, deselected);
    // Also after a reload: the button's new caption is read as its row comes back selected.
    if (hasFocus())
        announceSelectedRowLater();
}

void TableView::notifyAccessibleCell(QAccessible::Event type, const QModelIndex& index)
{
    if (!QAccessible::isActive() || !index.isValid())
        return;
    QAccessibleEvent event(this, type);
    event.setChild(index.row() * numberOfColumns() + index.column());
    QAccessible::updateAccessibility(&event);
}

int TableView::keyboardColumnForRow(int row)
{
    return std::max(0, buttonColumnForRow(row));
}

void TableView::announceSelectedRowLater()
{
    // After the event loop turns: Qt tells of the focus on the table itself only once the focus
    // event has been handled, and the row must be the last thing screen readers hear of.
    if (m_announcePending)
        return;
    m_announcePending = true;
    QTimer::singleShot(0, this, [this] {
        m_announcePending = false;
        const int row = selectedRow();
        if (hasFocus() && row >= 0)
            notifyAccessibleCell(QAccessible::Focus, m_model->index(row, keyboardColumnForRow(row)));
    });
}

void TableView::setKeyboardFocusVisible(bool visible)
{
    if (visible == m_keyboardFocusVisible)
        return;
    m_keyboardFocusVisible = visible;
    viewport()->update();
}

bool TableView::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        showToolTip(static_cast<QHelpEvent*>(event));
        return true;
    }
    return QTableView::viewportEvent(event);
}

void TableView::showToolTip(QHelpEvent* event)
{
    const int row = rowAt(event->pos().y());
    const int column = columnAt(event->pos().x());
    Cell* cell = row >= 0 ? preparedCellAtColumn(column, row) : nullptr;
    QString text;
    QRectF area;
    if (cell) {
        const QRectF frame = frameOfCellAtColumn(column, row);
        area = frame;
        text = m_dataSource->toolTipForCell(this, cell, &area, tableColumnAt(column), row, event->pos());
        if (text.isEmpty() && !cell->expansionFrameWithFrame(frame, this).isNull())
            text = cell->expansionText();
    }
    if (text.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
        return;
    }
    QToolTip::showText(event->globalPos(), text, viewport(), area.toAlignedRect());
}

}  // namespace Platform
