#pragma once

#include <QPointF>
#include <QRectF>
#include <QString>
#include <QVariant>

namespace Platform {

class Cell;
class TableColumn;
class TableView;

// What a table asks of whoever feeds it. A null column means a cell spanning the whole row.
// The row count and the values must be answered; the other two questions are optional.
class TableDataSource {
public:
    virtual ~TableDataSource() = default;
    virtual int numberOfRowsInTableView(TableView* tableView) = 0;
    virtual QVariant objectValueForTableColumn(TableView* tableView, TableColumn* column, int row) = 0;
    // A cell to use for this row instead of the column's own, or null for the column's own.
    virtual Cell* dataCellForTableColumn(TableView* /*tableView*/, TableColumn* /*column*/, int /*row*/)
    {
        return nullptr;
    }
    // The tool tip for a cell; an empty text shows none. rect may be narrowed to the tip's area.
    virtual QString toolTipForCell(TableView* /*tableView*/, Cell* /*cell*/, QRectF* /*rect*/, TableColumn* /*column*/,
                                   int /*row*/, const QPointF& /*mouseLocation*/)
    {
        return {};
    }
};

}  // namespace Platform
