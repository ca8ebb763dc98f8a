#include "Platform/App/Alerts.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace Platform {

void Alerts::runAlertPanelWithInformativeText(const QString& title, const QString& message,
                                              const QString& informativeText, const QString& button)
{
    const QString joint = message.endsWith(QLatin1Char('.')) ? QStringLiteral(" ") : QStringLiteral(". ");
    runAlertPanel(title, message + joint + informativeText, button);
}

void MessageBoxAlerts::runAlertPanel(const QString& title, const QString& message, const QString& button)
{
    run(title, message, QString(), button);
}

void MessageBoxAlerts::runAlertPanelWithInformativeText(const QString& title, const QString& message,
                                                        const QString& informativeText, const QString& button)
{
    run(title, message, informativeText, button);
}

void MessageBoxAlerts::run(const QString& title, const QString& message, const QString& informativeText,
                           const QString& button)
{
    // Over the window the user is looking at, so a window manager keeps it in front of it.
    QMessageBox box(QApplication::activeWindow());
    box.setIcon(QMessageBox::Warning);
    box.setWindowTitle(title);
    box.setText(message);
    box.setInformativeText(informativeText);
    QPushButton* only = box.addButton(button, QMessageBox::AcceptRole);
    box.setDefaultButton(only);
    box.setEscapeButton(only);
    box.exec();
    // The keyboard goes back to the window the panel came over; without a window manager to
    // do it, nothing else would give it back.
    if (QWidget* window = box.parentWidget(); window && window->isVisible())
        window->activateWindow();
}

}  // namespace Platform
