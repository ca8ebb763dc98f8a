#include "Platform/Table/TableColumn.h"

#include "Platform/Table/Cell.h"

namespace Platform {

TableColumn::TableColumn(QString identifier, std::unique_ptr<Cell> dataCell, int width)
    : m_identifier(std::move(identifier)),
      m_dataCell(std::move(dataCell)),
      m_width(width)
{
}

TableColumn::~TableColumn() = default;

}  // namespace Platform
