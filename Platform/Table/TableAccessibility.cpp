#include "Platform/Table/TableAccessibility.h"

#include "Platform/Table/Cell.h"
#include "Platform/Table/TableView.h"

#include <QTimer>
#include <QWindow>

namespace Platform {

namespace {

QAccessibleInterface* tableAccessibleFactory(const QString&, QObject* object)
{
    if (auto* table = qobject_cast<TableView*>(object))
        return new TableViewAccessible(table);
    return nullptr;
}

}  // namespace

void installTableAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(tableAccessibleFactory);
        return true;
    }();
    (void)installed;
}

// ---- TableViewAccessible --------------------------------------------------------------------

TableViewAccessible::TableViewAccessible(TableView* table) : QAccessibleWidget(table, QAccessible::Table)
{
}

TableViewAccessible::~TableViewAccessible()
{
    forgetCells();
}

TableView* TableViewAccessible::table() const
{
    return static_cast<TableView*>(widget());
}

int TableViewAccessible::rowCount() const
{
    return table()->numberOfRows();
}

int TableViewAccessible::columnCount() const
{
    return table()->numberOfColumns();
}

int TableViewAccessible::childCount() const
{
    return rowCount() * columnCount();
}

QAccessibleInterface* TableViewAccessible::child(int index) const
{
    if (index < 0 || index >= childCount())
        return nullptr;
    if (const auto known = m_cells.constFind(index); known != m_cells.constEnd())
        return QAccessible::accessibleInterface(*known);
    auto* cell = new TableCellAccessible(table(), index / columnCount(), index % columnCount());
    m_cells.insert(index, QAccessible::registerAccessibleInterface(cell));
    return cell;
}

int TableViewAccessible::indexOfChild(const QAccessibleInterface* child) const
{
    const auto* cell = child ? const_cast<QAccessibleInterface*>(child)->tableCellInterface() : nullptr;
    if (!cell || cell->table() != this || !child->isValid())
        return -1;
    return cell->rowIndex() * columnCount() + cell->columnIndex();
}

QAccessibleInterface* TableViewAccessible::cellAt(int row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return nullptr;
    return child(row * columnCount() + column);
}

QAccessibleInterface* TableViewAccessible::childAt(int x, int y) const
{
    const QPoint point = table()->viewport()->mapFromGlobal(QPoint(x, y));
    return cellAt(table()->rowAt(point.y()), table()->columnAt(point.x()));
}

QString TableViewAccessible::text(QAccessible::Text t) const
{
    // What the table says while no row holds the focus.
    if (t == QAccessible::Description && !table()->announcement().isEmpty())
        return table()->announcement();
    return QAccessibleWidget::text(t);
}

QAccessibleInterface* TableViewAccessible::focusChild() const
{
    // The selected row's button, where the keyboard acts; with no row chosen, no cell.
    const int row = table()->selectedRow();
    if (!table()->hasFocus() || row < 0)
        return nullptr;
    return cellAt(row, table()->keyboardColumnForRow(row));
}

void* TableViewAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TableInterface)
        return static_cast<QAccessibleTableInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

int TableViewAccessible::selectedRowCount() const
{
    return table()->selectedRow() >= 0 ? 1 : 0;
}

QList<int> TableViewAccessible::selectedRows() const
{
    const int row = table()->selectedRow();
    return row >= 0 ? QList<int>{row} : QList<int>{};
}

int TableViewAccessible::selectedCellCount() const
{
    return selectedRowCount() * columnCount();
}

QList<QAccessibleInterface*> TableViewAccessible::selectedCells() const
{
    QList<QAccessibleInterface*> cells;
    for (const int row : selectedRows())
        for (int column = 0; column < columnCount(); ++column)
            cells.append(cellAt(row, column));
    return cells;
}

bool TableViewAccessible::isRowSelected(int row) const
{
    return row >= 0 && row == table()->selectedRow();
}

bool TableViewAccessible::selectRow(int row)
{
    if (row < 0 || row >= rowCount())
        return false;
    table()->selectRow(row);
    return true;
}

bool TableViewAccessible::unselectRow(int row)
{
    if (!isRowSelected(row))
        return false;
    table()->clearSelection();
    return true;
}

void TableViewAccessible::modelChange(QAccessibleTableModelChangeEvent*)
{
    // The table only ever reloads as a whole: every cell may now stand for another record or
    // carry another caption, so screen readers get fresh objects rather than stale ones.
    forgetCells();
}

void TableViewAccessible::forgetCells()
{
    const QHash<int, QAccessible::Id> cells = std::exchange(m_cells, {});
    for (const QAccessible::Id id : cells)
        QAccessible::deleteAccessibleInterface(id);
}

// ---- TableCellAccessible --------------------------------------------------------------------

TableCellAccessible::TableCellAccessible(TableView* table, int row, int column)
    : m_table(table),
      m_row(row),
      m_column(column)
{
}

bool TableCellAccessible::isValid() const
{
    return m_table && m_row < m_table->numberOfRows() && m_column < m_table->numberOfColumns();
}

Cell* TableCellAccessible::preparedCell() const
{
    return isValid() ? m_table->preparedCellAtColumn(m_column, m_row) : nullptr;
}

QWindow* TableCellAccessible::window() const
{
    return m_table ? m_table->window()->windowHandle() : nullptr;
}

QAccessibleInterface* TableCellAccessible::parent() const
{
    return m_table ? QAccessible::queryAccessibleInterface(m_table) : nullptr;
}

QAccessibleInterface* TableCellAccessible::table() const
{
    return parent();
}

QString TableCellAccessible::text(QAccessible::Text t) const
{
    const Cell* cell = preparedCell();
    if (!cell)
        return {};
    switch (t) {
    case QAccessible::Name:
        return cell->accessibleName();
    case QAccessible::Description:
        if (isFocusedCell() && !m_table->announcement().isEmpty())
            return m_table->announcement();
        if (const QString own = cell->accessibleDescription(); !own.isEmpty() || !isButton())
            return own;
        // A button says what it acts on: its row, as the row's other cells describe it.
        return rowDescription();
    default:
        return {};
    }
}

bool TableCellAccessible::isFocusedCell() const
{
    return m_table && m_table->hasFocus() && isSelected() && m_table->keyboardColumnForRow(m_row) == m_column;
}

bool TableCellAccessible::isButton() const
{
    return isValid() && m_table->buttonColumnForRow(m_row) == m_column;
}

QString TableCellAccessible::rowDescription() const
{
    QStringList descriptions;
    for (int column = 0; column < m_table->numberOfColumns(); ++column) {
        if (column == m_column)
            continue;
        if (const Cell* cell = m_table->preparedCellAtColumn(column, m_row))
            descriptions.append(cell->accessibleDescription());
    }
    descriptions.removeAll(QString());
    return descriptions.join(QStringLiteral(", "));
}

TableCellAccessible::Relations TableCellAccessible::relations(QAccessible::Relation match) const
{
    // A row's button is labelled by the row's other cells, as a form's button by its label, so
    // that a screen reader names the row along with the button.
    Relations related;
    const int button = isValid() ? m_table->buttonColumnForRow(m_row) : -1;
    const QAccessible::Relation relation = m_column == button ? QAccessible::Label : QAccessible::Labelled;
    QAccessibleInterface* table = parent();
    if (button < 0 || !(match & relation) || !table || !table->tableInterface())
        return related;
    for (int column = 0; column < m_table->numberOfColumns(); ++column) {
        if ((m_column == button) != (column == button))
            related.append({table->tableInterface()->cellAt(m_row, column), relation});
    }
    return related;
}

QRect TableCellAccessible::rect() const
{
    if (!isValid())
        return {};
    const QRect frame = m_table->frameOfCellAtColumn(m_column, m_row).toAlignedRect();
    return QRect(m_table->viewport()->mapToGlobal(frame.topLeft()), frame.size());
}

QAccessible::Role TableCellAccessible::role() const
{
    const Cell* cell = preparedCell();
    return cell ? cell->accessibleRole() : QAccessible::Cell;
}

QAccessible::State TableCellAccessible::state() const
{
    QAccessible::State state;
    const Cell* cell = preparedCell();
    if (!cell) {
        state.invalid = true;
        return state;
    }
    state.disabled = !cell->isEnabled();
    state.selectable = true;
    state.selected = isSelected();
    state.focusable = (m_table->focusPolicy() & Qt::TabFocus) != 0;
    state.focused = isFocusedCell();
    state.invisible = !m_table->isVisible();
    state.offscreen = !m_table->viewport()->rect().intersects(m_table->rectOfRow(m_row).toAlignedRect());
    return state;
}

void* TableCellAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TableCellInterface)
        return static_cast<QAccessibleTableCellInterface*>(this);
    if (type == QAccessible::ActionInterface)
        return static_cast<QAccessibleActionInterface*>(this);
    return nullptr;
}

bool TableCellAccessible::isSelected() const
{
    return m_table && m_table->selectedRow() == m_row;
}

QStringList TableCellAccessible::actionNames() const
{
    const ButtonCell* button = isValid() ? m_table->preparedButtonAtColumn(m_column, m_row) : nullptr;
    if (!button || !button->isEnabled())
        return {};
    return {pressAction()};
}

void TableCellAccessible::doAction(const QString& actionName)
{
    if (!actionNames().contains(actionName))
        return;
    // The action may show modal panels; the screen reader that asked gets its answer first.
    QTimer::singleShot(0, m_table, [table = m_table, row = m_row, column = m_column] {
        if (table)
            table->performClickOnCellAtColumn(column, row);
    });
}

QStringList TableCellAccessible::keyBindingsForAction(const QString&) const
{
    return {};
}

}  // namespace Platform
