#include "InstallationUtility/MainWindowNib.h"

#include "InstallationUtility/ALAppDelegate.h"
#include "InstallationUtility/ALButtonCell.h"
#include "InstallationUtility/ALTableCell.h"
#include "InstallationUtility/ALTableView.h"
#include "Platform/Bundle.h"
#include "ui_MainWindow.h"

#include <QGuiApplication>
#include <QImage>
#include <QScreen>

namespace {

constexpr int kButtonColumnWidth = 170;

// Null when the bundle has no such image or it cannot be read.
QImage imageResource(const Platform::Bundle& bundle, const QString& name)
{
    QImage image;
    if (const auto path = bundle.pathForImageResource(name))
        image.load(*path);
    return image;
}

void addColumns(ALTableView* table, ALAppDelegate* delegate, const QImage& rowIcon)
{
    auto data = std::make_unique<ALTableCell>();
    data->setIcon(rowIcon);
    table->addTableColumn(std::make_unique<Platform::TableColumn>(QStringLiteral("Data"), std::move(data), 0));
    auto button = std::make_unique<ALButtonCell>();
    button->setAction(delegate, &ALAppDelegate::smartInstallation);
    table->addTableColumn(
        std::make_unique<Platform::TableColumn>(QStringLiteral("Button"), std::move(button), kButtonColumnWidth));
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

    const QImage rowIcon = imageResource(services.mainBundle, QStringLiteral("Acrobat"));
    auto delegate = std::make_unique<ALAppDelegate>(std::move(services));
    addColumns(ui.table, delegate.get(), rowIcon);
    delegate->setWindow(window.get());
    delegate->setVersionLabel(ui.versionLabel);
    delegate->setTable(ui.table);
    ui.table->setDataSource(delegate.get());
    return {std::move(window), std::move(delegate)};
}
