#include "InstallationUtility/MainWindowNib.h"

#include "InstallationUtility/ALAppDelegate.h"
#include "InstallationUtility/ALButtonCell.h"
#include "InstallationUtility/ALColumnIdentifiers.h"
#include "InstallationUtility/ALTableCell.h"
#include "InstallationUtility/ALTableView.h"
#include "Platform/Table/Appearance.h"
#include "Platform/Bundles/Bundle.h"
#include "ui_MainWindow.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <algorithm>
#include <cmath>

namespace {

constexpr int kButtonColumnWidth = 170;

void addColumns(ALTableView* table, ALAppDelegate* delegate, const std::optional<QString>& rowIcon)
{
    auto data = std::make_unique<ALTableCell>();
    if (rowIcon)
        data->setIconFile(*rowIcon);
    table->addTableColumn(std::make_unique<Platform::TableColumn>(ALColumn::Data, std::move(data), 0));
    auto button = std::make_unique<ALButtonCell>();
    button->setAction(delegate, &ALAppDelegate::smartInstallation);
    table->addTableColumn(
        std::make_unique<Platform::TableColumn>(ALColumn::Button, std::move(button), kButtonColumnWidth));
}

constexpr int kVersionFontPixels = 12;

// What the window description gives, at the usual font: every fit to a font scales from these,
// never from sizes already fitted to another font.
struct DescribedSizes {
    QMargins margins;
    int spacing = 0;
    int labelHeight = 0;
    int minimumWidth = 0;
    QSize window;
};

DescribedSizes describedSizes(const QWidget* window, const Ui::MainWindow& ui)
{
    return {.margins = ui.mainLayout->contentsMargins(),
            .spacing = ui.mainLayout->spacing(),
            .labelHeight = ui.versionLabel->minimumHeight(),
            .minimumWidth = window->minimumWidth(),
            .window = window->size()};
}

int roomWidth()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry().width() : QWIDGETSIZE_MAX;
}

// The label's colour is the palette's when that is followed.
void styleVersionLabel(QLabel* label, const Platform::Appearance& look)
{
    const QColor color = look.followsPalette() ? look.windowText() : QColor(128, 128, 128);
    label->setStyleSheet(
        QStringLiteral("color: %1; font-size: %2px;").arg(color.name()).arg(look.scaledPixels(kVersionFontPixels)));
}

// A larger desktop font scales what lies around the table, and the window's least width.
void fitLayoutToFont(QWidget* window, const Ui::MainWindow& ui, const DescribedSizes& described,
                     const Platform::Appearance& look)
{
    const QMargins& m = described.margins;
    ui.mainLayout->setContentsMargins(look.scaledPixels(m.left()), look.scaledPixels(m.top()),
                                      look.scaledPixels(m.right()), look.scaledPixels(m.bottom()));
    ui.mainLayout->setSpacing(look.scaledPixels(described.spacing));
    ui.versionLabel->setFixedHeight(look.scaledPixels(described.labelHeight));
    window->setMinimumWidth(std::min(look.scaledPixels(described.minimumWidth), roomWidth()));
}

int launchWidth(const DescribedSizes& described, const Platform::Appearance& look)
{
    return std::min(look.scaledPixels(described.window.width()), roomWidth());
}

// The description's sizes are the designed ones at the usual font: a larger desktop font scales them.
void fitToAppearance(QWidget* window, const Ui::MainWindow& ui, const DescribedSizes& described)
{
    const Platform::Appearance look = Platform::Appearance::ofDesktop(window);
    styleVersionLabel(ui.versionLabel, look);
    fitLayoutToFont(window, ui, described, look);
    window->resize(launchWidth(described, look), look.scaledPixels(described.window.height()));
}

// While the window is open, its width keeps its proportion to the font, never narrower than it
// would have opened at that font; the delegate then fits its height to the rows.
void followDesktop(Platform::Window* window, const Ui::MainWindow& ui, const DescribedSizes& described)
{
    const qreal launchScale = Platform::Appearance::ofDesktop(window).scale();
    QObject::connect(window, &Platform::Window::fontDidChange, window, [=, fittedScale = launchScale]() mutable {
        const Platform::Appearance look = Platform::Appearance::ofDesktop(window);
        styleVersionLabel(ui.versionLabel, look);
        fitLayoutToFont(window, ui, described, look);
        const int kept = static_cast<int>(std::lround(window->width() * look.scale() / fittedScale));
        window->resize(std::max(kept, launchWidth(described, look)), window->height());
        fittedScale = look.scale();
    });
    QObject::connect(window, &Platform::Window::paletteDidChange, ui.versionLabel, [window, label = ui.versionLabel] {
        styleVersionLabel(label, Platform::Appearance::ofDesktop(window));
    });
}

void centreOnScreen(QWidget* window)
{
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = window->geometry();
        frame.moveCenter(screen->availableGeometry().center());
        window->setGeometry(frame);
    }
}

}  // namespace

Platform::LoadedNib loadMainWindowNib(Platform::Services services)
{
    auto window = std::make_unique<Platform::Window>();
    Ui::MainWindow ui;
    ui.setupUi(window.get());
    const DescribedSizes described = describedSizes(window.get(), ui);
    fitToAppearance(window.get(), ui, described);
    centreOnScreen(window.get());
    // Connected before the delegate's own fit to the rows, which comes after this one.
    followDesktop(window.get(), ui, described);

    const std::optional<QString> rowIcon = services.mainBundle.pathForImageResource(QStringLiteral("Acrobat"));
    auto delegate = std::make_unique<ALAppDelegate>(std::move(services));
    addColumns(ui.table, delegate.get(), rowIcon);
    delegate->setWindow(window.get());
    delegate->setVersionLabel(ui.versionLabel);
    delegate->setTable(ui.table);
    ui.table->setDataSource(delegate.get());
    QObject::connect(delegate.get(), &ALAppDelegate::acrobatInstancesDidChange, ui.table,
                     &Platform::TableView::reloadData);
    return {.delegate = std::move(delegate), .window = std::move(window)};
}
