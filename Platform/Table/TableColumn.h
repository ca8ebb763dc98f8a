#pragma once

#include <QString>
#include <memory>

namespace Platform {

class Cell;

// One column of a table: an identifier and the cell that draws its rows.
class TableColumn {
public:
    TableColumn(QString identifier, std::unique_ptr<Cell> dataCell, int width);
    ~TableColumn();
    const QString& identifier() const { return m_identifier; }
    Cell* dataCell() const { return m_dataCell.get(); }
    int width() const { return m_width; }

private:
    QString m_identifier;
    std::unique_ptr<Cell> m_dataCell;
    int m_width;
};

}  // namespace Platform
