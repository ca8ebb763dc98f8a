#include "Platform/Table/TableModel.h"

#include "Platform/Table/TableView.h"

#include <algorithm>

namespace Platform {

int TableModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() || !m_view->dataSource())
        return 0;
    return std::max(0, m_view->dataSource()->numberOfRowsInTableView(m_view));
}

int TableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_view->numberOfColumns();
}

void TableModel::reload()
{
    beginResetModel();
    endResetModel();
}

}  // namespace Platform
