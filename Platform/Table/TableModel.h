#pragma once

#include <QAbstractTableModel>

#include <functional>

namespace Platform {

// The row and column counts a table view needs of Qt's model, asked of whoever owns the model;
// the values themselves come from the cells.
class TableModel : public QAbstractTableModel {
public:
    TableModel(std::function<int()> rows, std::function<int()> columns)
        : m_rows(std::move(rows)), m_columns(std::move(columns))
    {
    }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex&, int) const override { return {}; }
    // Every row may have changed.
    void reload();

private:
    std::function<int()> m_rows;
    std::function<int()> m_columns;
};

}  // namespace Platform
