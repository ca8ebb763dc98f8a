#pragma once

#include "Platform/Table/Appearance.h"
#include "Platform/Table/TableColumn.h"
#include "Platform/Table/TableDataSource.h"

#include <QAccessible>
#include <QString>
#include <QTableView>
#include <memory>
#include <vector>

namespace Platform {

class ButtonCell;
class Cell;
class TableModel;

// A table whose rows are drawn by cells, asked for afresh for every row just before it is drawn
// or clicked. Coordinates are the viewport's: y grows downwards.
//
// The keyboard reaches it by Tab only, so a click never changes how it looks: Up, Down, Home and
// End move the selected row, Space, Return and Enter press the selected row's button. No row is
// selected until the user chooses one (Tab into the table, one of those four keys, or a click),
// and until then those three keys do nothing. A focus ring around the selected row's button
// shows once the keyboard is in use, and a click hides it again; screen readers are told that
// the button holds the focus. Until a row is chosen, a ring around the whole table shows where
// the keyboard is, and Space, Return and Enter tell screen readers how to choose one.
//
// Sizes follow the desktop's font (see Appearance): the row height and the columns' widths are
// the designed ones times its scale.
class TableView : public QTableView {
    Q_OBJECT
public:
    static constexpr int kRowHeight = 88;
    static constexpr int kRowSpacing = 2;
    // Every row's rectangle is this high at the usual font, from one row's top to the next one's.
    static constexpr int kRowRectHeight = kRowHeight + kRowSpacing;
    static constexpr int kColumnSpacing = 4;
    static constexpr int kFocusRingWidth = 2;
    static constexpr int kFocusRingGap = 2;

    struct RowRange {
        int location = 0;
        int length = 0;
    };

    explicit TableView(QWidget* parent = nullptr);
    ~TableView() override;

    void setDataSource(TableDataSource* dataSource);
    TableDataSource* dataSource() const { return m_dataSource; }
    void addTableColumn(std::unique_ptr<TableColumn> column);
    TableColumn* tableColumnWithIdentifier(const QString& identifier) const;
    int numberOfColumns() const { return static_cast<int>(m_columns.size()); }
    TableColumn* tableColumnAt(int index) const;

    void reloadData();
    int numberOfRows() const;
    // The look the table draws with now, and its row rectangles' height at that look.
    Appearance appearance() const { return Appearance::of(this); }
    int rowRectHeight() const;
    int selectedRow() const;
    void selectRow(int row);

    // Rows meeting the rectangle, as a first row and a count.
    RowRange rowsInRect(const QRectF& rect) const;
    // A row's rectangle: the row's full height and the table's full width.
    QRectF rectOfRow(int row) const;
    // The frame given to the cell at a column and row: the row inset by half the spacing.
    QRectF frameOfCellAtColumn(int column, int row) const;
    // The cell that draws a row of a column, filled with that row's value.
    Cell* preparedCellAtColumn(int column, int row);
    // The same when it is a push button; null otherwise.
    ButtonCell* preparedButtonAtColumn(int column, int row);
    // The first column whose cell is a button in that row, or -1: the one the keyboard presses.
    int buttonColumnForRow(int row);
    // Where the keyboard's focus sits in a row: its button, else its first cell. The focus ring
    // goes around it and screen readers are told it holds the focus.
    int keyboardColumnForRow(int row);
    // Selects the row and sends the action of the cell's button, as a click on it does; false
    // when the cell is no enabled button.
    bool performClickOnCellAtColumn(int column, int row);
    // Whether the focus ring is drawn now: the table has focus and the keyboard was used.
    bool showsFocusRing() const;
    // Whether the ring around the whole table is drawn now: it has focus, and since the focus
    // came no row has been chosen and no click made.
    bool showsTableFocusRing() const;
    // Says the text to screen readers once, through the object that holds the focus: the
    // selected row's button, else the table. While it is said, that object's description is
    // the text.
    void announce(const QString& text);
    // The same once the event loop turns: after the row's own announcement.
    void announceLater(const QString& text);
    // The text being said, for the object that says it.
    const QString& announcement() const { return m_announcement; }

signals:
    // Each text said by announce(), as it is said.
    void announced(const QString& text);

protected:
    // Paints what lies beneath the rows' cells in the rectangle being redrawn: by default the
    // highlight of the selected rows.
    virtual void highlightSelectionInClipRect(const QRectF& clipRect, QPainter& painter);

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;

private:
    struct Tracking {
        int column = -1;
        int row = -1;
        bool inside = false;
    };
    bool trackingContains(const QPointF& point);
    void updateTrackedCell();
    void showToolTip(class QHelpEvent* event);
    void setKeyboardFocusVisible(bool visible);
    // Tab brought the keyboard into the table: the first row is chosen if none was.
    void enterByKeyboard();
    // Tells screen readers that the selected row's keyboard cell holds the focus.
    void announceSelectedRowLater();
    // Tells screen readers that the cell at index became current or was (de)selected. QTableView
    // would number the cells as if its hidden headers were cells too; ours has none.
    void notifyAccessibleCell(QAccessible::Event event, const QModelIndex& index);
    void moveSelectionTo(int row);
    void scrollToSelectedRow();
    void drawFocusRing(QPainter& painter, const QRectF& clipRect);
    void drawTableFocusRing(QPainter& painter);
    // Row height and column widths for the desktop's font.
    void applySizes();
    // Tab or Shift+Tab while a row was chosen: screen readers hear the row again.
    void reannounceSelectedRow();

    TableDataSource* m_dataSource = nullptr;
    std::vector<std::unique_ptr<TableColumn>> m_columns;
    std::unique_ptr<TableModel> m_model;
    Tracking m_tracking;
    // Like a web page's :focus-visible: set by keyboard use, cleared by a click.
    bool m_keyboardFocusVisible = false;
    // The ring around the table shows from the focus's arrival until a row is chosen or a click.
    bool m_tableRingHidden = false;
    bool m_announcePending = false;
    QString m_announcement;
};

}  // namespace Platform
