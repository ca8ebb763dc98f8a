#include "InstallationUtility/ALButtonCell.h"
#include "InstallationUtility/ALTableCell.h"
#include "InstallationUtility/ALTableView.h"
#include "tests/support/ImageBounds.h"

#include <QAccessible>
#include <QApplication>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QPainter>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

const QRgb kBackground = qRgb(255, 0, 255);
const QColor kBlue = QColor::fromRgbF(0.17, 0.64, 0.89, 1);
const QColor kGrey = QColor::fromRgbF(0.64, 0.64, 0.64, 1);
const QColor kLightGrey = QColor::fromRgbF(0.74, 0.74, 0.74, 1);

bool sameColour(QRgb pixel, const QColor& colour)
{
    return std::abs(qRed(pixel) - colour.red()) <= 1 && std::abs(qGreen(pixel) - colour.green()) <= 1
        && std::abs(qBlue(pixel) - colour.blue()) <= 1;
}

struct ButtonState {
    bool enabled = true;
    bool installed = false;
    bool pressed = false;
};

QImage drawButton(const QRectF& frame, const ButtonState& state, const QString& title = QString(),
                  QRgb background = kBackground, QSize size = QSize(140, 120))
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(background);
    ALButtonCell cell;
    cell.setEnabled(state.enabled);
    cell.setObjectValue(state.installed);
    cell.setHighlighted(state.pressed);
    cell.setTitle(title);
    QPainter painter(&image);
    cell.drawWithFrame(frame, painter, nullptr);
    return image;
}

}  // namespace

TEST(ButtonDrawingTest, BarIsThirtyTwoHighCentredAndInsetByFour)
{
    struct Case {
        QRectF frame;
        QRect bar;
    };
    const Case cases[] = {
        {{0, 0, 120, 88}, {4, 26, 112, 32}},
        {{10, 40, 120, 88}, {14, 66, 112, 32}},
        {{0, 10, 120, 32}, {4, 8, 112, 32}},  // exactly the bar's height: raised by two
        {{0, 10, 120, 20}, {4, 8, 112, 20}},  // lower than the bar: the frame's height
    };
    for (const Case& c : cases) {
        const QImage image = drawButton(c.frame, {});
        EXPECT_EQ(boundsOf(image, [](QRgb p) { return p != kBackground; }), c.bar)
            << c.frame.y() << "+" << c.frame.height();
    }
    const QImage narrow = drawButton(QRectF(10, 0, 8, 88), {});
    EXPECT_FALSE(boundsOf(narrow, [](QRgb p) { return p != kBackground; }).isValid()) << "no room, no bar";
}

TEST(ButtonDrawingTest, BarColourFollowsTheStateOnly)
{
    struct Case {
        ButtonState state;
        QColor colour;
        const char* name;
    };
    const Case cases[] = {
        {{true, false, false}, kBlue, "install"},
        {{true, true, false}, kGrey, "uninstall"},
        {{false, false, false}, kLightGrey, "disabled install"},
        {{false, true, false}, kLightGrey, "disabled uninstall"},
    };
    for (const Case& c : cases) {
        const QImage image = drawButton(QRectF(0, 0, 120, 88), c.state);
        const QRgb pixel = image.pixel(10, 30);
        EXPECT_TRUE(sameColour(pixel, c.colour)) << c.name << ": " << QColor(pixel).name().toStdString();
        EXPECT_EQ(qAlpha(pixel), 255) << c.name;
    }
}

TEST(ButtonDrawingTest, PressedBarReplacesWhatIsBeneathAtEightyPercent)
{
    for (const bool installed : {false, true}) {
        // Copied, not blended: even over an opaque background the bar's pixels keep alpha 0.8.
        for (const QRgb background : {qRgba(0, 0, 0, 0), qRgb(255, 255, 255)}) {
            const QImage image = drawButton(QRectF(0, 0, 120, 88), {true, installed, true}, QString(), background);
            const QRgb inside = image.pixel(60, 30);
            EXPECT_EQ(qAlpha(inside), 204);
            EXPECT_TRUE(sameColour(inside, installed ? kGrey : kBlue)) << QColor(inside).name().toStdString();
            EXPECT_EQ(image.pixel(4, 26), inside) << "corner of the bar";
            EXPECT_EQ(image.pixel(115, 57), inside) << "opposite corner of the bar";
            for (const QPoint outside : {QPoint(3, 30), QPoint(116, 30), QPoint(60, 25), QPoint(60, 58), QPoint(0, 0)})
                EXPECT_EQ(image.pixel(outside), background) << outside.x() << "," << outside.y();
        }
    }
}

TEST(ButtonDrawingTest, CaptionIsWhiteAndCentredWhateverItsAttributes)
{
    QFont font = QApplication::font();
    font.setPixelSize(12);
    const QFontMetricsF metrics(font);
    const QString caption = QStringLiteral("Uninstall (2.5)");
    // Its own colour and alignment are ignored.
    const Platform::AttributedString attributed{caption, QColor(Qt::red), Qt::AlignLeft};
    for (const QRectF frame : {QRectF(0, 0, 120, 88), QRectF(10, 20, 160, 88), QRectF(0, 0, 120, 32)}) {
        QImage image(200, 140, QImage::Format_ARGB32);
        image.fill(kBackground);
        ALButtonCell cell;
        cell.setAttributedTitle(attributed);
        QPainter painter(&image);
        cell.drawWithFrame(frame, painter, nullptr);
        EXPECT_EQ(cell.drawTitle(attributed, frame, painter, nullptr), frame);
        painter.end();

        const QRect text = boundsOf(image, [](QRgb p) { return qRed(p) > 240 && qGreen(p) > 240 && qBlue(p) > 240; });
        ASSERT_TRUE(text.isValid());
        EXPECT_FALSE(boundsOf(image, [](QRgb p) { return qRed(p) > 200 && qGreen(p) < 50 && qBlue(p) < 50; }).isValid())
            << "never drawn in the title's own colour";
        const QRectF bar = ALButtonCell::areaForCellFrame(frame);
        EXPECT_NEAR(QRectF(text).center().x(), bar.center().x(), 2);
        // The box is centred two points below the bar's middle; the ink runs from cap height to baseline.
        const qreal boxTop = bar.center().y() - metrics.height() / 2 + 2;
        const qreal inkMiddle = boxTop + metrics.ascent() - metrics.capHeight() / 2;
        EXPECT_NEAR(QRectF(text).center().y(), inkMiddle, 2) << "frame y " << frame.y() << " h " << frame.height();
    }
}

namespace {

// Three rows of a data column and a button column, each button sending to one counting target.
class ButtonTable : public Platform::TableDataSource {
public:
    ALTableView table;
    std::vector<bool> installed = {false, true, false};

    ButtonTable()
    {
        table.addTableColumn(
            std::make_unique<Platform::TableColumn>(QStringLiteral("Data"), std::make_unique<ALTableCell>(), 0));
        table.addTableColumn(
            std::make_unique<Platform::TableColumn>(QStringLiteral("Button"), std::make_unique<ALButtonCell>(), 170));
        table.setDataSource(this);
    }
    int numberOfRowsInTableView(Platform::TableView*) override { return static_cast<int>(installed.size()); }
    QVariant objectValueForTableColumn(Platform::TableView*, Platform::TableColumn* column, int row) override
    {
        if (column && column->identifier() == QLatin1String("Button"))
            return bool(installed[static_cast<size_t>(row)]);
        return QVariantMap();
    }
    Platform::Cell* dataCellForTableColumn(Platform::TableView*, Platform::TableColumn*, int) override
    {
        return nullptr;
    }
    QString toolTipForCell(Platform::TableView*, Platform::Cell*, QRectF*, Platform::TableColumn*, int,
                           const QPointF&) override
    {
        return {};
    }
};

}  // namespace

class ClickCounter : public QObject {
    Q_OBJECT
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

TEST(ButtonActionTest, SendsToItsTargetOnlyWhileTheTargetLives)
{
    struct Receiver : QObject {
        std::vector<QObject*> senders;
        void pressed(QObject* sender) { senders.push_back(sender); }
    };
    Platform::ButtonCell button;
    QObject sender;
    EXPECT_FALSE(button.hasAction());
    EXPECT_FALSE(button.sendAction(&sender)) << "no action set";

    auto receiver = std::make_unique<Receiver>();
    button.setAction(receiver.get(), &Receiver::pressed);
    EXPECT_TRUE(button.sendAction(&sender));
    EXPECT_EQ(receiver->senders, std::vector<QObject*>{&sender});

    receiver.reset();
    EXPECT_FALSE(button.hasAction());
    EXPECT_FALSE(button.sendAction(&sender)) << "the target is gone";
}

class ButtonTrackingTest : public ::testing::Test {
protected:
    ButtonTable rows;
    ClickCounter counter;

    void SetUp() override
    {
        auto* button = static_cast<Platform::ButtonCell*>(
            rows.table.tableColumnWithIdentifier(QStringLiteral("Button"))->dataCell());
        button->setAction(&counter, &ClickCounter::clicked);
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

// The button column is 170 wide at the right: frame x = 432, width 166; row 1's bar is
// (436, 117, 158, 32).
TEST_F(ButtonTrackingTest, PressSelectsTheRowAndShowsTheBarPressedUntilRelease)
{
    const QPoint inBar(515, 133);
    EXPECT_EQ(qAlpha(render().pixel(inBar)), 255);
    QTest::mousePress(viewport(), Qt::LeftButton, {}, inBar);
    EXPECT_EQ(rows.table.selectedRow(), 1);
    const QImage held = render();
    EXPECT_EQ(qAlpha(held.pixel(inBar)), 204);
    EXPECT_TRUE(sameColour(held.pixel(inBar), kGrey));
    EXPECT_EQ(qAlpha(held.pixel(515, 43)), 255) << "other rows' bars are not pressed";

    QTest::mouseRelease(viewport(), Qt::LeftButton, {}, inBar);
    EXPECT_EQ(counter.selectedRows, std::vector<int>{1});
    EXPECT_EQ(qAlpha(render().pixel(inBar)), 255);
}

TEST_F(ButtonTrackingTest, OnlyTheBarSendsTheAction)
{
    // Released inside the bar's rectangle, at its corners.
    QTest::mousePress(viewport(), Qt::LeftButton, {}, QPoint(437, 27));
    QTest::mouseRelease(viewport(), Qt::LeftButton, {}, QPoint(592, 57));
    EXPECT_EQ(counter.selectedRows, std::vector<int>{0});

    // Pressed in the bar, released beside it but still in the cell.
    QTest::mousePress(viewport(), Qt::LeftButton, {}, QPoint(515, 223));
    QTest::mouseMove(viewport(), QPoint(515, 255));
    QTest::mouseRelease(viewport(), Qt::LeftButton, {}, QPoint(515, 255));
    EXPECT_EQ(counter.selectedRows.size(), 1u);

    // Pressed in the cell outside the bar: the row is selected and nothing is tracked.
    QTest::mousePress(viewport(), Qt::LeftButton, {}, QPoint(515, 100));
    EXPECT_EQ(rows.table.selectedRow(), 1);
    EXPECT_EQ(qAlpha(render().pixel(515, 133)), 255);
    QTest::mouseRelease(viewport(), Qt::LeftButton, {}, QPoint(515, 133));
    EXPECT_EQ(counter.selectedRows.size(), 1u);
}

TEST_F(ButtonTrackingTest, ScreenReaderPressesTheRowsButtonUnlessDisabled)
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

    rows.table.tableColumnWithIdentifier(QStringLiteral("Button"))->dataCell()->setEnabled(false);
    EXPECT_TRUE(button->state().disabled);
    EXPECT_TRUE(button->actionInterface()->actionNames().isEmpty());
    button->actionInterface()->doAction(press);
    QTest::qWait(0);
    EXPECT_EQ(counter.selectedRows.size(), 1u);
}

struct Key {
    int key;
    Qt::KeyboardModifiers modifiers = {};
    bool autoRepeat = false;
};

TEST_F(ButtonTrackingTest, KeysMoveTheSelectionAndPressTheSelectedRowsButtonOnce)
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
TEST_F(ButtonTrackingTest, FocusRingShowsOnlyAfterKeyboardUse)
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

#include "ButtonDrawingTest.moc"
