#pragma once

#include "InstallationUtility/ALButtonCell.h"
#include "InstallationUtility/ALColumnIdentifiers.h"
#include "InstallationUtility/ALTableCell.h"
#include "InstallationUtility/ALTableView.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

// Three rows of a data column and a button column, each button sending to one counting target.
class ButtonTable : public Platform::TableDataSource {
public:
    ALTableView table;
    std::vector<bool> installed = {false, true, false};

    ButtonTable()
    {
        table.addTableColumn(
            std::make_unique<Platform::TableColumn>(ALColumn::Data, std::make_unique<ALTableCell>(), 0));
        table.addTableColumn(
            std::make_unique<Platform::TableColumn>(ALColumn::Button, std::make_unique<ALButtonCell>(), 170));
        table.setDataSource(this);
    }
    int numberOfRowsInTableView(Platform::TableView*) override { return static_cast<int>(installed.size()); }
    QVariant objectValueForTableColumn(Platform::TableView*, Platform::TableColumn* column, int row) override
    {
        if (column && column->identifier() == ALColumn::Button)
            return bool(installed[static_cast<size_t>(row)]);
        return QVariantMap();
    }
};

// Records the row selected whenever a button sends its action.
class ClickCounter : public QObject {
public:
    Platform::TableView* table = nullptr;
    std::vector<int> selectedRows;
    void clicked(QObject* sender)
    {
        EXPECT_EQ(sender, table);
        selectedRows.push_back(table->selectedRow());
        // As the installer's action ends: the rows are found again.
        table->reloadData();
    }
};

// The button table shown at 600 x 300, its buttons counted, with the mouse, the keyboard and
// the rendered rows at hand.
class ButtonTableTest : public ::testing::Test {
protected:
    ButtonTable rows;
    ClickCounter counter;

    void SetUp() override
    {
        Platform::Cell* button = rows.table.tableColumnWithIdentifier(ALColumn::Button)->dataCell();
        button->asButtonCell()->setAction(&counter, &ClickCounter::clicked);
        counter.table = &rows.table;
        rows.table.resize(600, 300);
        rows.table.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&rows.table));
    }

    QImage render()
    {
        QImage image(rows.table.viewport()->size(), QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        rows.table.viewport()->render(&image);
        return image;
    }
    QWidget* viewport() { return rows.table.viewport(); }

    void focusTable(Qt::FocusReason reason)
    {
        rows.table.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&rows.table));
        rows.table.setFocus(reason);
        ASSERT_TRUE(rows.table.hasFocus());
    }
    void key(int key, Qt::KeyboardModifiers modifiers = {}, bool autoRepeat = false)
    {
        QKeyEvent press(QEvent::KeyPress, key, modifiers, QString(), autoRepeat);
        QApplication::sendEvent(&rows.table, &press);
        QKeyEvent release(QEvent::KeyRelease, key, modifiers, QString(), autoRepeat);
        QApplication::sendEvent(&rows.table, &release);
    }
};
