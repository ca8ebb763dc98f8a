#include "InstallationUtility/ALRecordKeys.h"
#include "InstallationUtility/ALTableCell.h"
#include "tests/support/ImageBounds.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QPainter>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>

namespace {

bool isRed(QRgb p)
{
    return qRed(p) > 200 && qGreen(p) < 60 && qBlue(p) < 60;
}
bool isDark(QRgb p)
{
    return qGray(p) < 80;
}
// Any ink on a white background: the grey path and the edges of the title.
bool isInk(QRgb p)
{
    return qGray(p) < 235;
}

QImage solidImage(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::red);
    return image;
}

QVariantMap record(const QString& title, const QString& path)
{
    return {{ALKey::Title, title}, {ALKey::Path, path}};
}

QFont fontOfPixelSize(int size)
{
    QFont font = QApplication::font();
    font.setPixelSize(size);
    return font;
}

const QString kTitle = QStringLiteral("Adobe Acrobat Pro");
const QString kPath = QStringLiteral("/Applications/Adobe Acrobat/Adobe Acrobat.app");

}  // namespace

class RowDrawingTest : public ::testing::Test {
protected:
    // The row icon the cells drawn get; none unless a test sets one.
    QImage icon;

    QImage draw(const QRectF& frame, const QVariantMap& value, QColor background = Qt::white,
                QSize size = QSize(420, 100), bool highlighted = false) const
    {
        QImage image(size, QImage::Format_ARGB32);
        image.fill(background);
        ALTableCell cell;
        cell.setIcon(icon);
        cell.setObjectValue(value);
        cell.setHighlighted(highlighted);
        QPainter painter(&image);
        cell.drawWithFrame(frame, painter, nullptr);
        return image;
    }
};

TEST_F(RowDrawingTest, IconIsFittedIntoTheSquareThenCappedAtSixtyFour)
{
    struct Case {
        QSize image;
        QRectF frame;
        QRect drawn;
    };
    const Case cases[] = {
        {{100, 100}, {2, 0, 400, 88}, {20, 12, 64, 64}},
        {{100, 50}, {2, 0, 400, 88}, {20, 24, 64, 40}},
        {{50, 100}, {2, 0, 400, 88}, {32, 12, 40, 64}},
        {{32, 32}, {2, 0, 400, 88}, {20, 12, 64, 64}},  // small images are scaled up first
        {{100, 100}, {2, 0, 400, 40}, {12, 4, 32, 32}},  // a low row: no cap needed
        {{100, 100}, {2, 0, 30, 88}, {12, 4, 22, 22}},  // narrower than high: the width decides
        {{100, 100}, {2, 90, 400, 88}, {20, 102, 64, 64}},
    };
    for (const Case& c : cases) {
        icon = solidImage(c.image.width(), c.image.height());
        const QImage image = draw(c.frame, record(QString(), QString()), Qt::white, QSize(420, 200));
        EXPECT_EQ(boundsOf(image, isRed), c.drawn)
            << c.image.width() << "x" << c.image.height() << " in frame " << c.frame.width() << "x" << c.frame.height();
    }
}

TEST_F(RowDrawingTest, IconPlacementCornerCases)
{
    // A zero-width size cannot be scaled: the rectangle comes back as given.
    const QRectF rect(12, 4, 80, 80);
    EXPECT_EQ(ALTableCell::keepRectInAspect(rect, QSizeF(0, 50)), rect);
    EXPECT_EQ(ALTableCell::keepRectInAspect(rect, QSizeF(0, 0)), rect);
    EXPECT_EQ(ALTableCell::keepRectInAspect(QRectF(0, 0, 30, 20), QSizeF(10, 10)), QRectF(5, 0, 20, 20));
    EXPECT_EQ(ALTableCell::keepRectInAspect(QRectF(0, 0, 9, 9), QSizeF(3, 1)), QRectF(0, 3, 9, 3));
}

TEST_F(RowDrawingTest, TitleSitsOnTheMiddleLineRightOfTheIcon)
{
    struct Case {
        QSize image;
        QRectF frame;
        int textX;
        int middle;  // y - 3 + h / 2
    };
    const Case cases[] = {
        {{100, 100}, {2, 0, 400, 88}, 96, 41}, {{100, 50}, {2, 0, 400, 88}, 96, 41},
        {{50, 100}, {2, 0, 400, 88}, 76, 41},  {{100, 100}, {2, 0, 400, 40}, 48, 17},
        {{}, {2, 0, 400, 88}, 96, 41},  // no icon at all: placed as for a square one
    };
    const QFontMetricsF metrics(fontOfPixelSize(16));
    for (const Case& c : cases) {
        icon = c.image.isEmpty() ? QImage() : solidImage(c.image.width(), c.image.height());
        const QImage image = draw(c.frame, record(kTitle, QString()));
        const QRect title = boundsOf(image, isDark);
        ASSERT_FALSE(title.isEmpty());
        EXPECT_GE(title.left(), c.textX);
        EXPECT_LE(title.left(), c.textX + 3);
        // "Adobe Acrobat Pro" has no descenders: the ink ends on the baseline.
        const qreal baseline = c.middle - metrics.descent();
        EXPECT_NEAR(title.bottom() + 1, baseline, 1.5) << "text x " << c.textX;
        EXPECT_GE(title.top(), c.middle - metrics.height() - 1);
    }
}

TEST_F(RowDrawingTest, PathIsGreyInTheLowerHalf)
{
    const QImage image = draw(QRectF(2, 0, 400, 88), record(QString(), kPath));
    const QRect path = boundsOf(image, isInk);
    ASSERT_FALSE(path.isEmpty());
    EXPECT_GE(path.left(), 96);
    EXPECT_LE(path.left(), 99);
    EXPECT_GE(path.top(), 41);
    EXPECT_LE(path.bottom(), 41 + QFontMetricsF(fontOfPixelSize(12)).height());
    // Grey, never darker than its colour.
    for (int y = path.top(); y <= path.bottom(); ++y)
        for (int x = path.left(); x <= path.right(); ++x) {
            const QRgb p = image.pixel(x, y);
            EXPECT_GE(qGray(p), 120) << x << "," << y;
            EXPECT_EQ(qRed(p), qBlue(p));
        }
    EXPECT_FALSE(boundsOf(image, isDark).isValid()) << "the path is never drawn black";
}

TEST_F(RowDrawingTest, LongPathIsElidedInTheMiddleWithinTheLowerHalf)
{
    const QString longPath =
        QStringLiteral("/Volumes/Archive Disk/Older Applications/Adobe Acrobat Professional Edition/"
                       "Version Eleven Installed For Testing/Adobe Acrobat Pro.app");
    const QFont font = fontOfPixelSize(12);
    const QFontMetricsF metrics(font);
    struct Case {
        QRectF frame;
        qreal textX;
        qreal width;  // the frame's width less the text's x, the frame's own x not counted
    };
    for (const Case& c : {Case{{2, 0, 400, 88}, 96, 304}, Case{{40, 0, 400, 88}, 134, 266}}) {
        ASSERT_GT(metrics.horizontalAdvance(longPath), c.width);
        const QImage image = draw(c.frame, record(QString(), longPath), Qt::white, QSize(1200, 100));
        const QRect drawn = boundsOf(image, isInk);
        ASSERT_FALSE(drawn.isEmpty());
        EXPECT_LE(drawn.right(), c.textX + c.width) << "frame x " << c.frame.x();
        EXPECT_GE(drawn.right(), c.textX + c.width - 20) << "frame x " << c.frame.x();

        // Both ends of the path are kept: what the middle-elided line looks like, drawn on its own.
        auto reference = [&](Qt::TextElideMode mode) {
            QImage expected(image.size(), QImage::Format_ARGB32);
            expected.fill(Qt::white);
            QPainter painter(&expected);
            painter.setFont(font);
            painter.setPen(QColor::fromRgbF(0.5, 0.5, 0.5, 1));
            painter.drawText(QPointF(c.textX, 41 + metrics.ascent()), metrics.elidedText(longPath, mode, c.width));
            return expected;
        };
        EXPECT_EQ(image, reference(Qt::ElideMiddle)) << "frame x " << c.frame.x();
        EXPECT_NE(image, reference(Qt::ElideRight));
    }
}

TEST_F(RowDrawingTest, LongTitleIsNeitherTruncatedNorClipped)
{
    const QString longTitle = QStringLiteral("Adobe Acrobat Professional Extended Edition Eleven Point Zero");
    ASSERT_GT(QFontMetricsF(fontOfPixelSize(16)).horizontalAdvance(longTitle), 400);
    const QImage image = draw(QRectF(2, 0, 400, 88), record(longTitle, QString()), Qt::white, QSize(1200, 100));
    const QRect title = boundsOf(image, isDark);
    EXPECT_GT(title.right(), 402) << "drawn past the frame's right edge";
}

TEST_F(RowDrawingTest, TitleHasASoftLightGlowButThePathHasNone)
{
    const QColor grey = QColor::fromRgbF(0.5, 0.5, 0.5, 1);
    const int background = qGray(grey.rgb());
    const QImage image = draw(QRectF(2, 0, 400, 88), record(kTitle, kPath), grey);
    auto lighter = [&](QRgb p) { return qGray(p) > background; };
    auto darker = [&](QRgb p) { return qGray(p) < background - 3; };
    const QRect ink = boundsOf(image, darker, 0, 41);
    ASSERT_FALSE(ink.isEmpty());

    // Around the glyphs on every side, spread by the blur but not far.
    const QRect glow = boundsOf(image, lighter, 0, 41);
    ASSERT_FALSE(glow.isEmpty());
    EXPECT_LT(glow.left(), ink.left());
    EXPECT_GE(glow.left(), ink.left() - 6);
    EXPECT_LT(glow.top(), ink.top());
    EXPECT_GE(glow.top(), ink.top() - 6);
    EXPECT_GT(glow.right(), ink.right());
    EXPECT_LE(glow.right(), ink.right() + 6);
    EXPECT_GT(glow.bottom(), ink.bottom());
    // Light, yet translucent and soft: never fully white.
    int brightest = 0;
    for (int y = glow.top(); y <= glow.bottom(); ++y)
        for (int x = glow.left(); x <= glow.right(); ++x)
            brightest = std::max(brightest, qGray(image.pixel(x, y)));
    EXPECT_GT(brightest, background + 30);
    EXPECT_LT(brightest, 250);

    // Below the glow's reach, the grey path lightens nothing.
    EXPECT_FALSE(boundsOf(image, lighter, 41 + 6).isValid());
}

TEST_F(RowDrawingTest, SelectionOrPressingChangesNothing)
{
    icon = solidImage(100, 100);
    const QVariantMap value = record(kTitle, kPath);
    EXPECT_EQ(draw(QRectF(2, 0, 400, 88), value, Qt::white, QSize(420, 100), true),
              draw(QRectF(2, 0, 400, 88), value, Qt::white, QSize(420, 100), false));
}

TEST_F(RowDrawingTest, RowsNeverExpandAndTheEmptyCellDrawsNothing)
{
    ALTableCell cell;
    cell.setObjectValue(record(QString(200, QLatin1Char('W')), QString(200, QLatin1Char('W'))));
    EXPECT_EQ(cell.expansionFrameWithFrame(QRectF(2, 0, 40, 88), nullptr), QRectF(0, 0, 0, 0));

    QImage image(100, 100, QImage::Format_ARGB32);
    image.fill(Qt::white);
    const QImage before = image;
    ALEmptyCell empty;
    empty.setObjectValue(QStringLiteral("text"));
    QPainter painter(&image);
    empty.drawWithFrame(QRectF(0, 0, 100, 100), painter, nullptr);
    painter.end();
    EXPECT_EQ(image, before);
}

TEST_F(RowDrawingTest, InATableALongTitleEndsInAnEllipsisBeforeTheNextColumn)
{
    const QString longTitle = QStringLiteral("Adobe Acrobat Professional Extended Edition Eleven Point Zero");
    QWidget table;
    QImage image(1200, 100, QImage::Format_ARGB32);
    image.fill(Qt::white);
    ALTableCell cell;
    cell.setObjectValue(record(longTitle, kPath));
    QPainter painter(&image);
    cell.drawWithFrame(QRectF(2, 0, 246, 88), painter, &table);
    painter.end();
    const QRect ink = boundsOf(image, isInk);
    EXPECT_LE(ink.right(), 248) << "nothing drawn where the button's column begins";
    EXPECT_GE(ink.right(), 248 - 20) << "the room is used";
}

TEST(RowAccessibilityTest, DescriptionSaysThePluginsStateInWordsThenThePath)
{
    const QVariantMap copy24{{ALKey::Version, QStringLiteral("2.4")}};
    const QVariantMap copy25{{ALKey::Version, QStringLiteral("2.5")}};
    const struct {
        QVariantMap record;
        QString description;
    } cases[] = {
        {record(kTitle, kPath), QStringLiteral("Foldwise not installed, ") + kPath},
        {{{ALKey::Path, kPath}, {ALKey::FW, QVariantList{copy25}}}, QStringLiteral("Foldwise 2.5 installed, ") + kPath},
        {{{ALKey::FW, QVariantList{copy24, copy25}}}, QStringLiteral("Foldwise 2.5 installed")},
        {{{ALKey::FW, QVariantList{QVariantMap()}}}, QStringLiteral("Foldwise installed")},
    };
    ALTableCell cell;
    for (const auto& c : cases) {
        cell.setObjectValue(c.record);
        EXPECT_EQ(cell.accessibleDescription(), c.description);
    }
}
