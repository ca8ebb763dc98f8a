#include "Platform/Table/TableModel.h"

#include <algorithm>

namespace Platform {

int TableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : std::max(0, m_rows());
}

int TableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_columns();
}

void TableModel::reload()
{
    beginResetModel();
    endResetModel();
}

}  // namespace Platform
