#pragma once

#include <QAbstractTableModel>

namespace Platform {

class TableView;

// The row and column counts a TableView needs of Qt's model; the values themselves come from
// the cells.
class TableModel : public QAbstractTableModel {
public:
    explicit TableModel(TableView* view) : m_view(view) {}

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex&, int) const override { return {}; }
    // Every row may have changed.
    void reload();

private:
    TableView* m_view;
};

}  // namespace Platform
