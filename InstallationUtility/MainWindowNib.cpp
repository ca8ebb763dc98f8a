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
#include <QScreen>
#include <algorithm>

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

// The description's sizes are the designed ones at the usual font: a larger desktop font scales
// them, and the label's colour is the palette's when that is followed.
void fitToAppearance(QWidget* window, Ui::MainWindow& ui)
{
    const Platform::Appearance look = Platform::Appearance::of(window);
    const QColor labelColor = look.followsPalette() ? look.windowText() : QColor(128, 128, 128);
    ui.versionLabel->setStyleSheet(
        QStringLiteral("color: %1; font-size: %2px;").arg(labelColor.name()).arg(look.scaledPixels(12)));
    if (look.scale() == 1)
        return;
    ui.mainLayout->setContentsMargins(0, look.scaledPixels(40), 0, look.scaledPixels(40));
    ui.mainLayout->setSpacing(look.scaledPixels(30));
    ui.versionLabel->setFixedHeight(look.scaledPixels(30));
    const QScreen* screen = QGuiApplication::primaryScreen();
    const int roomWidth = screen ? screen->availableGeometry().width() : QWIDGETSIZE_MAX;
    window->setMinimumWidth(std::min(look.scaledPixels(window->minimumWidth()), roomWidth));
    window->resize(std::min(look.scaledPixels(window->width()), roomWidth), look.scaledPixels(window->height()));
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
    fitToAppearance(window.get(), ui);
    centreOnScreen(window.get());

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
