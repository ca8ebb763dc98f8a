#include "tests/gui/ButtonTableTest.h"

#include "InstallationUtility/ALButtonCell.h"
#include "tests/support/ImageBounds.h"

#include <QApplication>
#include <QFontMetricsF>
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

class ButtonTrackingTest : public ButtonTableTest {};

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
