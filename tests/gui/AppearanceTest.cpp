#include "tests/support/DelegateHarness.h"

#include "InstallationUtility/ALButtonCell.h"
#include "InstallationUtility/ALColumnIdentifiers.h"
#include "Platform/Table/Appearance.h"
#include "Platform/Table/ColorContrast.h"
#include "Platform/Table/TableView.h"
#include "tests/support/ImageBounds.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QHash>
#include <QLabel>
#include <QScreen>
#include <QTest>
#include <iostream>
#include <optional>

namespace {

QPalette darkPalette()
{
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(0x35, 0x35, 0x35));
    palette.setColor(QPalette::WindowText, Qt::white);
    palette.setColor(QPalette::Base, QColor(0x2a, 0x2a, 0x2a));
    palette.setColor(QPalette::Text, Qt::white);
    palette.setColor(QPalette::Button, QColor(0x35, 0x35, 0x35));
    palette.setColor(QPalette::ButtonText, Qt::white);
    palette.setColor(QPalette::Highlight, QColor(0x2a, 0x82, 0xda));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Mid, QColor(0x25, 0x25, 0x25));
    return palette;
}

QPalette highContrastPalette()
{
    QPalette palette;
    for (const auto role : {QPalette::Window, QPalette::Base, QPalette::Button})
        palette.setColor(role, Qt::black);
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(role, Qt::white);
    palette.setColor(QPalette::Highlight, QColor(0x1a, 0xeb, 0xff));
    palette.setColor(QPalette::HighlightedText, Qt::black);
    return palette;
}

// The contrast of what is drawn in an area, as measured: the background is the area's most
// common colour, the text its pixel that differs most from it (the core of a glyph, not its
// anti-aliased edge).
qreal measuredContrast(const QImage& image, const QRect& area)
{
    QHash<QRgb, int> counts;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            ++counts[image.pixel(x, y) | 0xff000000];
    QRgb background = 0;
    int most = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > most)
            most = it.value(), background = it.key();
    qreal ratio = 1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        ratio = std::max(ratio, Platform::contrastRatio(QColor(it.key()), QColor(background)));
    return ratio;
}

}  // namespace

// The real window over three Acrobats (the second with the plug-in), under the desktop's palette
// and font of each case; what is drawn is measured from the rendered window.
class AppearanceTest : public DelegateTest {
protected:
    QPalette savedPalette = QApplication::palette();
    QFont savedFont = QApplication::font();
    Platform::TableView* table = nullptr;

    void TearDown() override
    {
        nib = {};
        QApplication::setPalette(savedPalette);
        QApplication::setFont(savedFont);
    }

    ALAppDelegate& showWindow(const QPalette& palette, const QFont& font, int acrobats = 3)
    {
        QApplication::setPalette(palette);
        QApplication::setFont(font);
        for (int i = 0; i < acrobats; ++i) {
            const QString acrobat = addAcrobat(QStringLiteral("A%1/Acrobat.app").arg(i), QStringLiteral("11.0"));
            if (i == 1)
                Fixtures::makePluginCopy(acrobat + QStringLiteral("/Contents/Plug-ins/Foldwise.acroplugin"),
                                         QStringLiteral("2.5"));
        }
        ALAppDelegate& d = loadWindow();
        d.awakeFromNib();
        d.applicationDidFinishLaunching();
        table = d.table();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(nib.window.get()));
        return d;
    }

    static QFont pointSized(qreal pointSize)
    {
        QFont font = QApplication::font();
        font.setPointSizeF(pointSize);
        return font;
    }

    // The desktop's font changes while the window is open, as a user's settings change it.
    static void changeDesktopFont(const QFont& font)
    {
        QApplication::setFont(font);
        QCoreApplication::processEvents();
    }

    QImage grabRows() const { return table->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32); }
    QRect cellFrame(int column, int row) const { return table->frameOfCellAtColumn(column, row).toAlignedRect(); }
    QRect barOf(int row) const
    {
        return ALButtonCell::areaForCellFrame(table->frameOfCellAtColumn(1, row), table->appearance().scale())
            .toAlignedRect();
    }
};

TEST_F(AppearanceTest, EveryTextReachesSevenToOneUnderADarkOrHighContrastPalette)
{
    const QPalette usual = QApplication::palette();
    struct Case {
        const char* name;
        QPalette palette;
        bool follows;
        // The desktop's palette at launch, when another than the one chosen while it runs.
        std::optional<QPalette> launchPalette = std::nullopt;
    };
    const Case cases[] = {
        {"default", usual, false},
        {"dark", darkPalette(), true},
        {"high contrast", highContrastPalette(), true},
        {"high contrast chosen while it runs", highContrastPalette(), true, usual},
        {"the default chosen again while it runs", usual, false, highContrastPalette()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        showWindow(c.launchPalette.value_or(c.palette), QApplication::font());
        if (c.launchPalette) {
            QApplication::setPalette(c.palette);
            QCoreApplication::processEvents();
        }
        EXPECT_EQ(table->appearance().followsPalette(), c.follows);
        const QImage rows = grabRows();
        const QRect data = cellFrame(0, 0);
        const int middle = data.center().y() - 3;
        // Right of the icon: the title above the middle line, the path below it.
        const QRect title(data.left() + 90, data.top() + 4, data.width() - 95, middle - data.top() - 4);
        const QRect path(data.left() + 90, middle + 2, data.width() - 95, data.bottom() - middle - 4);
        const QImage label = nib.window->findChild<QLabel*>()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const struct {
            const char* what;
            qreal ratio;
        } measured[] = {
            {"title", measuredContrast(rows, title)},
            {"path", measuredContrast(rows, path)},
            {"Install caption", measuredContrast(rows, barOf(0))},
            {"Uninstall caption", measuredContrast(rows, barOf(1))},
            {"version label", measuredContrast(label, label.rect())},
        };
        for (const auto& m : measured) {
            std::cout << c.name << ": " << m.what << " " << m.ratio << ":1\n";
            if (c.follows) {
                EXPECT_GE(m.ratio, 7) << m.what;
            }
        }

        // The focus ring, where Tab puts it, against the row beneath it.
        nib.window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(nib.window.get()));
        table->setFocus(Qt::ActiveWindowFocusReason);
        QTest::keyClick(table, Qt::Key_Home);
        const QImage focused = grabRows();
        const QRect ring = barOf(0).adjusted(-4, -4, 4, 4);
        const QColor ringColour = focused.pixel(ring.left(), ring.center().y());
        const qreal ringRatio = Platform::contrastRatio(ringColour, rows.pixel(ring.left(), ring.center().y()));
        std::cout << c.name << ": focus ring " << ringRatio << ":1\n";
        EXPECT_GE(ringRatio, 3);
        if (!c.follows) {
            EXPECT_EQ(ringColour, table->palette().color(QPalette::Highlight)) << "the designed look keeps its ring";
            EXPECT_EQ(nib.window->palette().color(QPalette::Window), QColor::fromRgbF(0.97f, 0.97f, 0.97f, 1.0f));
        } else {
            EXPECT_EQ(nib.window->palette().color(QPalette::Window), c.palette.color(QPalette::Window))
                << "a palette the user chose keeps its window colour";
        }
        nib = {};
        fakes.registry->applications.clear();
    }
}

TEST_F(AppearanceTest, TwiceTheUsualFontDoublesTheRowsTheirTextAndTheWindow)
{
    const qreal usual = Platform::Appearance::referencePointSize();
    struct Case {
        const char* name;
        // The desktop's font at launch, then each one it changes to while the window is open.
        QList<qreal> pointSizes;
    };
    const Case cases[] = {
        {"at launch", {usual * 2}},
        {"the font doubled while it runs", {usual, usual * 2}},
        {"the font doubled in two steps while it runs", {usual, usual * 1.5, usual * 2}},
        {"the font doubled, back to the usual size, and doubled again", {usual * 2, usual, usual * 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ALAppDelegate& d = showWindow(QApplication::palette(), pointSized(c.pointSizes.first()), 1);
        for (qsizetype i = 1; i < c.pointSizes.size(); ++i)
            changeDesktopFont(pointSized(c.pointSizes[i]));
        EXPECT_EQ(table->appearance().scale(), 2);
        EXPECT_EQ(table->rowRectHeight(), 180);
        EXPECT_EQ(table->columnWidth(1), 340) << "the button column";
        EXPECT_EQ(barOf(0).height(), 64);
        EXPECT_EQ(d.window()->height(), 180 + 280) << "one row and the doubled margins, spacing and label";
        const int sides = d.window()->frameGeometry().width() - d.window()->width();
        EXPECT_EQ(d.window()->width(), std::min(1200, d.window()->screen()->availableGeometry().width() - sides))
            << "twice the described width, as far as the screen has room";
        EXPECT_EQ(nib.window->findChild<QLabel*>()->font().pixelSize(), 24) << "the version label";

        // The title's capitals stand twice as high as at the usual font, in the designed colours.
        const QImage rows = grabRows();
        const QRect data = cellFrame(0, 0);
        const QRect ink = boundsOf(
            rows, [](QRgb p) { return qGray(p) < 80; }, data.top(), data.center().y());
        const QFont designed = [] {
            QFont font = QApplication::font();
            font.setPixelSize(32);
            return font;
        }();
        EXPECT_NEAR(ink.height(), QFontMetricsF(designed).capHeight(), 3);
        EXPECT_GE(ink.left(), data.left() + 2 * 86) << "right of the doubled icon square";
        EXPECT_EQ(rows.pixel(barOf(0).left() + 2, barOf(0).top() + 2), QColor::fromRgbF(0.17, 0.64, 0.89, 1).rgb());
        nib = {};
        fakes.registry->applications.clear();
    }
}

TEST_F(AppearanceTest, ManyRowsOnASmallScreenStayInsideItAndTheChosenRowInView)
{
    const qreal usual = Platform::Appearance::referencePointSize();
    struct Case {
        const char* name;
        int rows;
        qreal launchPointSize;
        // The desktop's font once the last row is chosen.
        qreal runningPointSize;
    };
    const Case cases[] = {
        {"twelve rows at the usual font", 12, usual, usual},
        {"five rows at twice the font", 5, usual * 2, usual * 2},
        {"five rows, the font doubled while the last row is chosen", 5, usual, usual * 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ALAppDelegate& d = showWindow(QApplication::palette(), pointSized(c.launchPointSize), c.rows);

        // The last row, chosen by the keyboard, is scrolled into view.
        nib.window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(nib.window.get()));
        table->setFocus(Qt::ActiveWindowFocusReason);
        QTest::keyClick(table, Qt::Key_End);
        EXPECT_EQ(table->selectedRow(), c.rows - 1);
        if (c.runningPointSize != c.launchPointSize)
            changeDesktopFont(pointSized(c.runningPointSize));

        const QRect available = d.window()->screen()->availableGeometry();
        ASSERT_GT(c.rows * table->rowRectHeight(), available.height()) << "the rows alone are higher than the screen";
        const QRect frame = d.window()->frameGeometry();
        EXPECT_TRUE(available.contains(frame))
            << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height() << " in "
            << available.width() << "x" << available.height();
        EXPECT_GT(frame.height(), available.height() - table->rowRectHeight()) << "no row's room left unused";
        EXPECT_TRUE(table->viewport()->rect().contains(table->rectOfRow(c.rows - 1).toAlignedRect()));
        // And kept there when a discovery reloads the rows.
        d.searchForAcrobat();
        EXPECT_TRUE(table->viewport()->rect().contains(table->rectOfRow(c.rows - 1).toAlignedRect()));
        nib = {};
        fakes.registry->applications.clear();
    }
}
