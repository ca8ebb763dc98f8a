#include "tests/gui/ButtonTableTest.h"

#include <QAccessible>
#include <QApplication>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <vector>

// What the keys do in the table, the focus ring they bring, and what screen readers are told
// and may press; the rows of the installer's table, their buttons counting the presses.
class KeyboardTest : public ButtonTableTest {};
class ScreenReaderTest : public ButtonTableTest {};

struct Key {
    int key;
    Qt::KeyboardModifiers modifiers = {};
    bool autoRepeat = false;
};

TEST_F(KeyboardTest, KeysMoveTheSelectionAndPressTheSelectedRowsButtonOnce)
{
    struct Case {
        const char* name;
        int selectedBefore;  // when focus arrives
        std::vector<Key> keys;
        int selected;
        std::vector<int> actedOn;
        // Tab, or the focus Qt gives the window's only control at launch and after a panel.
        Qt::FocusReason focus = Qt::TabFocusReason;
    };
    const Qt::FocusReason launch = Qt::ActiveWindowFocusReason;
    const Case cases[] = {
        {"focus alone selects the first row", -1, {}, 0, {}},
        {"no selection at launch, and no key acts",
         -1,
         {{Qt::Key_Space}, {Qt::Key_Return}, {Qt::Key_Enter, Qt::KeypadModifier}},
         -1,
         {},
         launch},
        {"the first down selects the first row", -1, {{Qt::Key_Down}}, 0, {}, launch},
        {"the first up selects the first row", -1, {{Qt::Key_Up}}, 0, {}, launch},
        {"the first end selects the last row", -1, {{Qt::Key_End}}, 2, {}, launch},
        {"tab with nowhere else to go selects the first row", -1, {{Qt::Key_Tab}}, 0, {}, launch},
        {"space acts once a key chose the row", -1, {{Qt::Key_Home}, {Qt::Key_Space}}, 0, {0}, launch},
        {"back from a panel, the row chosen before", 1, {{Qt::Key_Return}}, 1, {1}, launch},
        {"focus keeps the selection", 1, {}, 1, {}},
        {"down twice", -1, {{Qt::Key_Down}, {Qt::Key_Down}}, 2, {}},
        {"down stops at the last row", 1, {{Qt::Key_Down}, {Qt::Key_Down}, {Qt::Key_Down}}, 2, {}},
        {"up stops at the first row", 1, {{Qt::Key_Up}, {Qt::Key_Up}}, 0, {}},
        {"end, then up", -1, {{Qt::Key_End}, {Qt::Key_Up}}, 1, {}},
        {"home", 2, {{Qt::Key_Home}}, 0, {}},
        {"space presses the selected row", 1, {{Qt::Key_Space}}, 1, {1}},
        {"return after moving", -1, {{Qt::Key_Down}, {Qt::Key_Return}}, 1, {1}},
        {"keypad enter", -1, {{Qt::Key_End}, {Qt::Key_Enter, Qt::KeypadModifier}}, 2, {2}},
        {"a held key acts once", -1, {{Qt::Key_Space}, {Qt::Key_Space, {}, true}, {Qt::Key_Space, {}, true}}, 0, {0}},
        {"each press acts, the row kept through the reload", 2, {{Qt::Key_Return}, {Qt::Key_Return}}, 2, {2, 2}},
        {"modified keys are the window's",
         0,
         {{Qt::Key_Down, Qt::ControlModifier}, {Qt::Key_Return, Qt::ControlModifier}, {Qt::Key_Space, Qt::AltModifier}},
         0,
         {}},
        {"other keys do nothing", 0, {{Qt::Key_Right}, {Qt::Key_A}, {Qt::Key_PageDown}}, 0, {}},
    };
    for (const Case& c : cases) {
        rows.table.clearFocus();
        rows.table.clearSelection();
        rows.table.selectRow(c.selectedBefore);
        counter.selectedRows.clear();
        focusTable(c.focus);
        for (const Key& k : c.keys)
            key(k.key, k.modifiers, k.autoRepeat);
        EXPECT_EQ(rows.table.selectedRow(), c.selected) << c.name;
        EXPECT_EQ(counter.selectedRows, c.actedOn) << c.name;
    }
}

// Row 0's bar is (436, 27, 158, 32): the ring is two pixels wide, two pixels clear of it.
TEST_F(KeyboardTest, FocusRingShowsOnlyAfterKeyboardUse)
{
    const QColor highlight = rows.table.palette().color(QPalette::Highlight);
    struct Case {
        const char* name;
        Qt::FocusReason focus;
        std::function<void()> then;
        bool ring;
    };
    const Case cases[] = {
        {"focus at launch", Qt::ActiveWindowFocusReason, {}, false},
        {"tab", Qt::TabFocusReason, {}, true},
        {"backtab", Qt::BacktabFocusReason, {}, true},
        {"arrow after launch", Qt::ActiveWindowFocusReason, [this] { key(Qt::Key_Up); }, true},
        {"tab with nowhere else to go", Qt::ActiveWindowFocusReason, [this] { key(Qt::Key_Tab); }, true},
        {"click on the bar after tab", Qt::TabFocusReason,
         [this] { QTest::mouseClick(viewport(), Qt::LeftButton, {}, QPoint(515, 43)); }, false},
        {"focus gone", Qt::TabFocusReason, [this] { rows.table.clearFocus(); }, false},
    };
    rows.table.clearFocus();
    const QImage unfocused = render();
    for (const Case& c : cases) {
        rows.table.clearFocus();
        rows.table.selectRow(0);
        focusTable(Qt::ActiveWindowFocusReason);
        key(Qt::Key_Home);
        // Reset: a click hides the ring whatever came before.
        QTest::mouseClick(viewport(), Qt::LeftButton, {}, QPoint(50, 43));
        rows.table.clearFocus();
        focusTable(c.focus);
        if (c.then)
            c.then();
        ASSERT_EQ(rows.table.selectedRow(), 0) << c.name;
        const QImage image = render();
        for (const QPoint ring : {QPoint(432, 43), QPoint(433, 43), QPoint(597, 43), QPoint(515, 23), QPoint(515, 62)})
            EXPECT_EQ(image.pixel(ring) == highlight.rgb(), c.ring) << c.name << " at " << ring.x() << "," << ring.y();
        // Nothing else changes: not the gap, not the bar, not the other rows.
        for (const QPoint same : {QPoint(434, 43), QPoint(436, 43), QPoint(431, 43), QPoint(595, 43), QPoint(515, 113)})
            EXPECT_EQ(image.pixel(same), unfocused.pixel(same)) << c.name << " at " << same.x() << "," << same.y();
    }
}

TEST_F(ScreenReaderTest, PressesTheRowsButtonUnlessDisabled)
{
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(&rows.table);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->role(), QAccessible::Table);
    ASSERT_EQ(table->childCount(), 6) << "a data cell and a button for each of three rows";
    QAccessibleInterface* button = table->child(3);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->role(), QAccessible::Button);
    EXPECT_EQ(table->indexOfChild(button), 3);
    EXPECT_EQ(button->tableCellInterface()->rowIndex(), 1);
    EXPECT_EQ(table->child(2)->role(), QAccessible::Cell);
    using Relations = QList<QPair<QAccessibleInterface*, QAccessible::Relation>>;
    EXPECT_EQ(button->relations(QAccessible::Label), Relations({{table->child(2), QAccessible::Label}}))
        << "the row names its button";
    EXPECT_EQ(table->child(2)->relations(), Relations({{button, QAccessible::Labelled}}));

    // The focus is the selected row's button, and no cell while no row is chosen.
    focusTable(Qt::ActiveWindowFocusReason);
    EXPECT_EQ(table->focusChild(), nullptr);
    key(Qt::Key_End);
    EXPECT_EQ(table->focusChild(), table->child(5));
    EXPECT_TRUE(table->child(5)->state().focused);
    EXPECT_FALSE(table->child(4)->state().focused);

    const QString press = QAccessibleActionInterface::pressAction();
    ASSERT_EQ(button->actionInterface()->actionNames(), QStringList{press});
    button->actionInterface()->doAction(press);
    QTest::qWait(0);
    EXPECT_EQ(counter.selectedRows, std::vector<int>{1}) << "selects the row, then acts";

    rows.table.tableColumnWithIdentifier(ALColumn::Button)->dataCell()->setEnabled(false);
    EXPECT_TRUE(button->state().disabled);
    EXPECT_TRUE(button->actionInterface()->actionNames().isEmpty());
    button->actionInterface()->doAction(press);
    QTest::qWait(0);
    EXPECT_EQ(counter.selectedRows.size(), 1u);
}

// At launch the table has the focus and no row is chosen: a ring around the whole table shows
// it, until a row is chosen or a click.
TEST_F(KeyboardTest, RingAroundTheTableShowsTheFocusUntilARowIsChosen)
{
    const QColor ring = rows.table.appearance().focusRing();
    struct Case {
        const char* name;
        std::function<void()> then;
        bool tableRing;
    };
    const Case cases[] = {
        {"focus at launch", {}, true},
        {"a space with no row chosen", [this] { key(Qt::Key_Space); }, true},
        {"down chooses a row", [this] { key(Qt::Key_Down); }, false},
        {"a click on a row", [this] { QTest::mouseClick(viewport(), Qt::LeftButton, {}, QPoint(50, 43)); }, false},
        {"focus gone", [this] { rows.table.clearFocus(); }, false},
    };
    rows.table.clearFocus();
    rows.table.clearSelection();
    const QImage unfocused = render();
    for (const Case& c : cases) {
        rows.table.clearFocus();
        rows.table.clearSelection();
        focusTable(Qt::ActiveWindowFocusReason);
        if (c.then)
            c.then();
        EXPECT_EQ(rows.table.showsTableFocusRing(), c.tableRing) << c.name;
        const QImage image = render();
        for (const QPoint edge : {QPoint(0, 150), QPoint(1, 150), QPoint(599, 150), QPoint(300, 0), QPoint(300, 299)})
            EXPECT_EQ(image.pixel(edge) == ring.rgb(), c.tableRing) << c.name << " at " << edge.x() << "," << edge.y();
        EXPECT_EQ(image.pixel(2, 150), unfocused.pixel(2, 150)) << c.name << ": two pixels wide";
    }
}

TEST_F(ScreenReaderTest, SpaceWithNoRowChosenSaysHowToChooseOneOncePerPress)
{
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(&rows.table);
    QStringList said, describedAs;
    QObject::connect(&rows.table, &Platform::TableView::announced, [&](const QString& text) {
        said.append(text);
        describedAs.append(table->text(QAccessible::Description));
    });
    const QString hint = QStringLiteral("No installation is chosen yet. Tab or an arrow key chooses one.");
    rows.table.clearSelection();
    focusTable(Qt::ActiveWindowFocusReason);
    key(Qt::Key_Space);
    key(Qt::Key_Space, {}, true);
    key(Qt::Key_Return);
    EXPECT_EQ(said, QStringList({hint, hint})) << "a held key says it once";
    EXPECT_EQ(describedAs, said) << "the table, which holds the focus, is what says it";
    EXPECT_NE(table->text(QAccessible::Description), hint) << "and only while it is said";
    EXPECT_TRUE(counter.selectedRows.empty());

    // With a row chosen, the keys press its button and say nothing of their own.
    key(Qt::Key_Home);
    key(Qt::Key_Space);
    EXPECT_EQ(said.size(), 2);
    EXPECT_EQ(counter.selectedRows, std::vector<int>{0});
}

TEST_F(ScreenReaderTest, AnnouncementsGoThroughTheFocusedButtonAndTabSaysTheRowAgain)
{
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(&rows.table);
    focusTable(Qt::ActiveWindowFocusReason);
    key(Qt::Key_End);
    QString focusedSaid;
    QObject::connect(&rows.table, &Platform::TableView::announced,
                     [&] { focusedSaid = table->focusChild()->text(QAccessible::Description); });
    rows.table.announce(QStringLiteral("Foldwise 2.5 installed in Adobe Acrobat Pro 11.0"));
    EXPECT_EQ(focusedSaid, QStringLiteral("Foldwise 2.5 installed in Adobe Acrobat Pro 11.0"));
    EXPECT_EQ(table->child(5)->text(QAccessible::Description), QStringLiteral("Foldwise not installed"));

    // Screen readers say a focus again only for a new object: Tab makes the row's cells anew.
    for (const int tab : {Qt::Key_Tab, Qt::Key_Backtab}) {
        const QAccessible::Id before = QAccessible::uniqueId(table->child(5));
        key(tab, tab == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
        EXPECT_EQ(rows.table.selectedRow(), 2);
        EXPECT_NE(QAccessible::uniqueId(table->child(5)), before) << "key " << tab;
        EXPECT_EQ(table->focusChild(), table->child(5));
    }
}
