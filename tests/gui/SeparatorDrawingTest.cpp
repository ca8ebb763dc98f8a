#include "tests/support/DelegateHarness.h"

#include "InstallationUtility/ALTableView.h"

#include <QPainter>
#include <QTest>

namespace {

const QRgb kLine = qRgb(204, 204, 204);

// The pixel rows whose every pixel is the separator's colour.
std::vector<int> lineRows(const QImage& image)
{
    std::vector<int> rows;
    for (int y = 0; y < image.height(); ++y) {
        bool whole = true;
        for (int x = 0; x < image.width() && whole; ++x)
            whole = image.pixel(x, y) == kLine;
        if (whole)
            rows.push_back(y);
    }
    return rows;
}

int countNotWhite(const QImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixel(x, y) != qRgb(255, 255, 255);
    return count;
}

QImage paintBeneathRows(ALTableView& table, const QRectF& clip, QSize size)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    table.highlightSelectionInClipRect(clip, painter);
    return image;
}

}  // namespace

// The real window with three Acrobats, the second selected.
class SeparatorDrawingTest : public DelegateTest {
protected:
    ALTableView* table = nullptr;

    void SetUp() override
    {
        DelegateTest::SetUp();
        for (const char* folder : {"A", "B", "C"})
            addAcrobat(QString::fromLatin1(folder) + QStringLiteral("/Acrobat.app"), QStringLiteral("11.0"));
        ALAppDelegate& d = loadWindow();
        d.awakeFromNib();
        d.searchForAcrobat();
        table = qobject_cast<ALTableView*>(d.table());
        ASSERT_NE(table, nullptr);
        ASSERT_EQ(table->numberOfRows(), 3);
        nib.window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(nib.window.get()));
        table->selectRow(1);
    }

    QImage grabRows() { return table->viewport()->grab().toImage().convertToFormat(QImage::Format_ARGB32); }
};

TEST_F(SeparatorDrawingTest, OneLineAboveEachRowAcrossTheWidthAndNoHighlight)
{
    const int width = table->viewport()->width();
    ASSERT_GT(width, 0);
    const QImage image = paintBeneathRows(*table, QRectF(0, 0, width, 400), QSize(width, 400));
    EXPECT_EQ(lineRows(image), (std::vector<int>{0, 90, 180}));
    EXPECT_EQ(countNotWhite(image), 3 * width) << "nothing but the lines, even for the selected row";
}

TEST_F(SeparatorDrawingTest, OnlyRowsMeetingTheClipGetTheirLine)
{
    const int width = table->viewport()->width();
    struct Case {
        QRectF clip;
        std::vector<int> lines;
        const char* name;
    };
    const Case cases[] = {
        {{0, 100, qreal(width), 100}, {90, 180}, "rows 1 and 2"},
        {{0, 200, 10, 10}, {180}, "a corner of row 2"},
        {{0, 280, qreal(width), 100}, {}, "below the last row"},
        {{0, 90, qreal(width), 90}, {90}, "exactly row 1: its neighbours share only an edge"},
        {{0, 89.5, 10, 1}, {0, 90}, "across the edge between rows 0 and 1"},
        {{0, -50, qreal(width), 50}, {}, "above the first row, touching it"},
        {{0, -50, qreal(width), 51}, {0}, "one pixel into the first row"},
        {{0, 269, qreal(width), 500}, {180}, "from the last row's last pixel on"},
        {{0, 150, qreal(width), 0}, {}, "no height"},
        {{qreal(width), 0, 10, 270}, {}, "beside the rows"},
        {{10, 200, -10, -30}, {90, 180}, "given from its bottom right corner"},
    };
    for (const Case& c : cases) {
        const QImage image = paintBeneathRows(*table, c.clip, QSize(width, 400));
        EXPECT_EQ(lineRows(image), c.lines) << c.name;
        EXPECT_EQ(countNotWhite(image), int(c.lines.size()) * width) << c.name;
    }
}

TEST_F(SeparatorDrawingTest, EmptyTableDrawsNothing)
{
    ALTableView empty;
    empty.resize(300, 200);
    EXPECT_EQ(countNotWhite(paintBeneathRows(empty, QRectF(0, 0, 300, 200), QSize(300, 200))), 0);
}

TEST_F(SeparatorDrawingTest, PaintedTableShowsTheLinesAndNoSelection)
{
    const QImage selected = grabRows();
    for (const int y : {0, 90, 180}) {
        EXPECT_EQ(selected.pixel(0, y), kLine) << y;
        EXPECT_EQ(selected.pixel(selected.width() - 1, y), kLine) << y;
        EXPECT_NE(selected.pixel(0, y + 1), kLine) << y;
    }
    table->clearSelection();
    EXPECT_EQ(table->selectedRow(), -1);
    EXPECT_EQ(grabRows(), selected);

    // Selected by a click too, with whatever focus the click brings.
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, QPoint(50, 100));
    EXPECT_EQ(table->selectedRow(), 1);
    EXPECT_EQ(grabRows(), selected);
}
