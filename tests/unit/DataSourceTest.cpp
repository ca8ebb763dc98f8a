#include "tests/support/DelegateHarness.h"

#include "InstallationUtility/ALButtonCell.h"
#include "InstallationUtility/ALTableCell.h"
#include "Platform/Table/Cell.h"

#include <QApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QToolTip>
#include <typeinfo>

class DataSourceTest : public DelegateTest {
protected:
    ALAppDelegate* d = nullptr;
    Platform::TableView* table = nullptr;

    void SetUp() override
    {
        DelegateTest::SetUp();
        const QString installed = addAcrobat(QStringLiteral("A/Acrobat.app"), QStringLiteral("11.0"));
        addAcrobat(QStringLiteral("B/Acrobat.app"), QStringLiteral("17.0"));
        Fixtures::makePluginCopy(installed + QStringLiteral("/Contents/Plug-ins/Foldwise.acroplugin"),
                                 QStringLiteral("2.5"));
        QImage icon(6, 4, QImage::Format_ARGB32);
        icon.fill(Qt::red);
        ASSERT_TRUE(icon.save(mainBundle + QStringLiteral("/Contents/Resources/Acrobat.png")));
        d = &loadWindow();
        d->awakeFromNib();
        d->searchForAcrobat();
        table = d->table();
    }
    Platform::TableColumn* column(const char* identifier)
    {
        return table->tableColumnWithIdentifier(QString::fromLatin1(identifier));
    }
};

TEST_F(DataSourceTest, WindowDescriptionWiresTheColumnsAndOutlets)
{
    ASSERT_NE(table, nullptr);
    auto* rows = dynamic_cast<ALTableCell*>(column("Data")->dataCell());
    ASSERT_NE(rows, nullptr);
    EXPECT_EQ(rows->icon().size(), QSize(6, 4)) << "the row icon comes from our own bundle";
    Platform::ButtonCell* button = column("Button")->dataCell()->asButtonCell();
    ASSERT_NE(button, nullptr);
    EXPECT_TRUE(typeid(*button) == typeid(ALButtonCell));
    EXPECT_EQ(button->target(), d);
    EXPECT_TRUE(button->hasAction());
    EXPECT_EQ(table->dataSource(), d);
    EXPECT_EQ(d->versionLabel()->text(), QStringLiteral("version 2.5"));
    EXPECT_EQ(d->window()->palette().color(QPalette::Window), QColor::fromRgbF(0.97f, 0.97f, 0.97f));
}

TEST_F(DataSourceTest, AnswersEachRowFromTheList)
{
    EXPECT_EQ(d->numberOfRowsInTableView(table), 2);
    EXPECT_EQ(table->numberOfRows(), 2);
    EXPECT_EQ(d->objectValueForTableColumn(table, column("Data"), 1).toMap(), d->acrobatInstances().at(1));
    EXPECT_EQ(d->objectValueForTableColumn(table, column("Button"), 0), QVariant(true));
    EXPECT_EQ(d->objectValueForTableColumn(table, column("Button"), 1), QVariant(false));
    EXPECT_FALSE(d->objectValueForTableColumn(table, nullptr, 0).isValid());
}

TEST_F(DataSourceTest, OtherColumnsGetNothingAndKeepTheirCell)
{
    Platform::TableColumn other(QStringLiteral("button"), std::make_unique<Platform::TextFieldCell>(), 10);
    EXPECT_FALSE(d->objectValueForTableColumn(table, &other, 0).isValid());
    EXPECT_EQ(d->dataCellForTableColumn(table, &other, 0), nullptr);
    EXPECT_EQ(d->dataCellForTableColumn(table, column("Data"), 0), nullptr);
    EXPECT_EQ(d->dataCellForTableColumn(table, nullptr, 0), nullptr) << "rows are never one wide cell";
}

TEST_F(DataSourceTest, NoCellShowsAToolTip)
{
    table->resize(600, 400);
    for (int row = 0; row < table->numberOfRows(); ++row) {
        for (int column = 0; column < 2; ++column) {
            SCOPED_TRACE(testing::Message() << "row " << row << ", column " << column);
            const QPoint inside = table->frameOfCellAtColumn(column, row).center().toPoint();
            QHelpEvent hover(QEvent::ToolTip, inside, table->viewport()->mapToGlobal(inside));
            QApplication::sendEvent(table->viewport(), &hover);
            EXPECT_FALSE(QToolTip::isVisible()) << QToolTip::text().toStdString();
        }
    }
}

TEST_F(DataSourceTest, SharedButtonCellCarriesEachRowsOwnCaption)
{
    auto* shared = static_cast<Platform::ButtonCell*>(column("Button")->dataCell());
    EXPECT_EQ(d->dataCellForTableColumn(table, column("Button"), 0), shared);
    EXPECT_EQ(shared->title(), QStringLiteral("Uninstall (2.5)"));
    EXPECT_EQ(d->dataCellForTableColumn(table, column("Button"), 1), shared);
    EXPECT_EQ(shared->title(), QStringLiteral("Install"));
    // What the table prepares for drawing matches the row asked for.
    Platform::Cell* prepared = table->preparedCellAtColumn(1, 0);
    EXPECT_EQ(prepared, shared);
    EXPECT_EQ(shared->title(), QStringLiteral("Uninstall (2.5)"));
    EXPECT_EQ(prepared->objectValue(), QVariant(true));
}

TEST_F(DataSourceTest, RowsAreNinetyPointsWithTheCellInsetByTheSpacing)
{
    table->resize(600, 400);
    EXPECT_EQ(table->rectOfRow(1).y(), 90);
    EXPECT_EQ(table->rectOfRow(1).height(), 90);
    const QRectF data = table->frameOfCellAtColumn(0, 0);
    EXPECT_EQ(data.x(), 2);
    EXPECT_EQ(data.y(), 1);
    EXPECT_EQ(data.height(), 88);
}
