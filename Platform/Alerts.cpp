#include "Platform/Alerts.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace Platform {

void MessageBoxAlerts::runAlertPanel(const QString& title, const QString& message, const QString& button)
{
    // Over the window the user is looking at, so a window manager keeps it in front of it.
    QMessageBox box(QApplication::activeWindow());
    box.setIcon(QMessageBox::Warning);
    box.setWindowTitle(title);
    box.setText(message);
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
