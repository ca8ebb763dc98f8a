#pragma once

#include <QString>

namespace Platform {

class Alerts {
public:
    virtual ~Alerts() = default;
    // A modal alert panel; returns when the user has pressed its one button.
    virtual void runAlertPanel(const QString& title, const QString& message, const QString& button) = 0;
};

// A modal QMessageBox over the active window; alike on every system.
class MessageBoxAlerts : public Alerts {
public:
    void runAlertPanel(const QString& title, const QString& message, const QString& button) override;
};

}  // namespace Platform
