#include "Platform/Table/Appearance.h"
#include "Platform/Table/ColorContrast.h"

#include <gtest/gtest.h>

TEST(ColorContrastTest, RatiosAsWcagMeasuresThem)
{
    const struct {
        QColor a, b;
        qreal ratio;
    } cases[] = {
        {Qt::black, Qt::white, 21},
        {Qt::white, Qt::white, 1},
        {QColor(0x77, 0x77, 0x77), Qt::white, 4.48},  // the well-known just-too-light grey
        {QColor(0x80, 0x80, 0x80), QColor(0xf7, 0xf7, 0xf7), 3.69},
        {Qt::white, QColor(0x2b, 0xa3, 0xe3), 2.82},
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(Platform::contrastRatio(c.a, c.b), c.ratio, 0.01) << c.a.name().toStdString();
        EXPECT_NEAR(Platform::contrastRatio(c.b, c.a), c.ratio, 0.01) << "either order";
    }
}

TEST(ColorContrastTest, ColoursAreMovedOnlyAsFarAsTheRatioNeeds)
{
    const QColor dark(0x2a, 0x2a, 0x2a);
    EXPECT_EQ(Platform::readableOn(Qt::white, dark, 7), QColor(Qt::white));
    EXPECT_EQ(Platform::readableOn(QColor(0x60, 0x60, 0x60), dark, 7), QColor(Qt::white)) << "too dim: white instead";
    EXPECT_EQ(Platform::readableOn(QColor(0x60, 0x60, 0x60), Qt::white, 7), QColor(Qt::black));

    const QColor softened = Platform::softenedTowards(Qt::white, dark, 7.5);
    EXPECT_GE(Platform::contrastRatio(softened, dark), 7.5);
    EXPECT_LT(Platform::contrastRatio(softened, dark), 7.7) << "as quiet as the ratio allows";

    const QColor blue(0x2a, 0x82, 0xda);
    const QColor bar = Platform::backgroundFor(Qt::white, blue, 7);
    EXPECT_GE(Platform::contrastRatio(Qt::white, bar), 7);
    EXPECT_LT(Platform::contrastRatio(Qt::white, bar), 7.2);
    EXPECT_LT(bar.lightnessF(), blue.lightnessF()) << "darkened under white text";
    EXPECT_EQ(Platform::backgroundFor(Qt::black, Qt::white, 7), QColor(Qt::white)) << "already enough";
}

TEST(AppearanceTest, JudgedFromThePalettesWindowAndTextColoursAndTheFontSize)
{
    auto palette = [](QColor window, QColor windowText, QColor base, QColor text) {
        QPalette p;
        p.setColor(QPalette::Window, window);
        p.setColor(QPalette::WindowText, windowText);
        p.setColor(QPalette::Base, base);
        p.setColor(QPalette::Text, text);
        return p;
    };
    auto font = [](qreal points) {
        QFont f;
        f.setPointSizeF(points);
        return f;
    };
    auto pixelFont = [](int pixels) {
        QFont f;
        f.setPixelSize(pixels);
        return f;
    };
    const qreal usual = Platform::Appearance::referencePointSize();
    using Preference = Platform::Appearance::SystemPreference;
    const struct {
        const char* name;
        QPalette palette;
        QFont font;
        Preference system;
        bool dark, highContrast;
        qreal scale;
    } cases[] = {
        {"usual light",
         palette(QColor(0xef, 0xef, 0xef), Qt::black, Qt::white, Qt::black),
         font(usual),
         {},
         false,
         false,
         1},
        {"our own window grey",
         palette(QColor(0xf7, 0xf7, 0xf7), Qt::black, Qt::white, Qt::black),
         font(usual),
         {},
         false,
         false,
         1},
        {"dark",
         palette(QColor(0x35, 0x35, 0x35), Qt::white, QColor(0x2a, 0x2a, 0x2a), Qt::white),
         font(usual),
         {},
         true,
         false,
         1},
        {"high contrast, white on black",
         palette(Qt::black, Qt::white, Qt::black, Qt::white),
         font(usual),
         {},
         true,
         true,
         1},
        {"high contrast, black on white",
         palette(Qt::white, Qt::black, Qt::white, Qt::black),
         font(usual),
         {},
         false,
         true,
         1},
        {"white window, grey text",
         palette(Qt::white, QColor(0x40, 0x40, 0x40), Qt::white, Qt::black),
         font(usual),
         {},
         false,
         false,
         1},
        {"twice the font",
         palette(QColor(0xef, 0xef, 0xef), Qt::black, Qt::white, Qt::black),
         font(2 * usual),
         {},
         false,
         false,
         2},
        {"a smaller font never shrinks",
         palette(QColor(0xef, 0xef, 0xef), Qt::black, Qt::white, Qt::black),
         font(usual / 2),
         {},
         false,
         false,
         1},
        {"a font in pixels",
         palette(QColor(0xef, 0xef, 0xef), Qt::black, Qt::white, Qt::black),
         pixelFont(static_cast<int>(usual * 96 / 72 * 1.5)),
         {},
         false,
         false,
         1.5},
        {"the system says dark and more contrast", palette(QColor(0xef, 0xef, 0xef), Qt::black, Qt::white, Qt::black),
         font(usual), Preference{true, true}, true, true, 1},
        {"the system says light", palette(QColor(0x35, 0x35, 0x35), Qt::white, QColor(0x2a, 0x2a, 0x2a), Qt::white),
         font(usual), Preference{false, std::nullopt}, false, false, 1},
    };
    for (const auto& c : cases) {
        const Platform::Appearance look = Platform::Appearance::judge(c.palette, c.font, c.system);
        EXPECT_EQ(look.isDark(), c.dark) << c.name;
        EXPECT_EQ(look.isHighContrast(), c.highContrast) << c.name;
        EXPECT_EQ(look.followsPalette(), c.dark || c.highContrast) << c.name;
        EXPECT_NEAR(look.scale(), c.scale, 0.01) << c.name;
    }
    EXPECT_EQ(Platform::Appearance().scale(), 1) << "a cell on its own has the designed look";
    EXPECT_FALSE(Platform::Appearance().followsPalette());
}
