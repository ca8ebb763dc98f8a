#include "Alerts.h"

#include <QMessageBox>
#include <QPushButton>

namespace Platform {

namespace {

class MessageBoxAlerts : public Alerts {
public:
    void runAlertPanel(const QString& title, const QString& message, const QString& button) override
    {
        QMessageBox box;
        box.setIcon(QMessageBox::Warning);
        box.setWindowTitle(title);
        box.setText(message);
        QPushButton* only = box.addButton(button, QMessageBox::AcceptRole);
        box.setDefaultButton(only);
        box.setEscapeButton(only);
        box.exec();
    }
};

}  // namespace

std::shared_ptr<Alerts> makeSystemAlerts()
{
    return std::make_shared<MessageBoxAlerts>();
}

}  // namespace Platform
