#pragma once

#include <QAccessibleWidget>
#include <QHash>
#include <QModelIndex>
#include <QPointer>

namespace Platform {

class Cell;
class TableView;

// Makes every TableView known to screen readers through Qt's accessibility interfaces; called
// once where a program starts, before any table exists. The rows are drawn by cells shared
// between rows, so each cell's interface works its text, state and action out from the table's
// data source whenever it is asked.
void installTableAccessibility();

// The table: a child for each cell, row by row, in the order Qt's own tables use.
class TableViewAccessible : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    explicit TableViewAccessible(TableView* table);
    ~TableViewAccessible() override;

    QAccessible::Role role() const override { return QAccessible::Table; }
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* focusChild() const override;
    QString text(QAccessible::Text t) const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    // QAccessibleTableInterface
    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override;
    int selectedCellCount() const override;
    QList<QAccessibleInterface*> selectedCells() const override;
    QString columnDescription(int) const override { return {}; }
    QString rowDescription(int) const override { return {}; }
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override;
    int columnCount() const override;
    int rowCount() const override;
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override;
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int row) const override;
    bool selectRow(int row) override;
    bool selectColumn(int) override { return false; }
    bool unselectRow(int row) override;
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent* event) override;
    // Drops the cells' interfaces: screen readers meet each cell as a new object next time.
    void renewCells() { forgetCells(); }

private:
    TableView* table() const;
    void forgetCells();

    // Each cell's interface, once made, keeps its id until the rows change.
    mutable QHash<int, QAccessible::Id> m_cells;
};

// One cell of a table, at a row and a column.
class TableCellAccessible : public QAccessibleInterface,
                            public QAccessibleTableCellInterface,
                            public QAccessibleActionInterface {
public:
    TableCellAccessible(TableView* table, int row, int column);

    bool isValid() const override;
    QObject* object() const override { return nullptr; }
    QWindow* window() const override;
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override;
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text t) const override;
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override;
    QAccessible::Role role() const override;
    QAccessible::State state() const override;
    using Relations = QList<QPair<QAccessibleInterface*, QAccessible::Relation>>;
    Relations relations(QAccessible::Relation match = QAccessible::AllRelations) const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    // QAccessibleTableCellInterface
    bool isSelected() const override;
    QList<QAccessibleInterface*> columnHeaderCells() const override { return {}; }
    QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
    int columnIndex() const override { return m_column; }
    int rowIndex() const override { return m_row; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface* table() const override;

    // QAccessibleActionInterface: a button cell is pressed as a click on it would be.
    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
    QStringList keyBindingsForAction(const QString& actionName) const override;

private:
    Cell* preparedCell() const;
    bool isButton() const;
    // The cell screen readers are told holds the focus: the selected row's button.
    bool isFocusedCell() const;
    QString rowDescription() const;

    QPointer<TableView> m_table;
    int m_row;
    int m_column;
};

}  // namespace Platform
