#include "InstallationUtility/MainWindowNib.h"

#include "InstallationUtility/ALAppDelegate.h"
#include "InstallationUtility/ALButtonCell.h"
#include "InstallationUtility/ALColumnIdentifiers.h"
#include "InstallationUtility/ALTableCell.h"
#include "InstallationUtility/ALTableView.h"
#include "Platform/Bundles/Bundle.h"
#include "ui_MainWindow.h"

#include <QGuiApplication>
#include <QScreen>

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
