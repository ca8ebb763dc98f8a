#pragma once

#include <QString>

namespace Platform {

class Alerts {
public:
    virtual ~Alerts() = default;
    // A modal alert panel; returns when the user has pressed its one button.
    virtual void runAlertPanel(const QString& title, const QString& message, const QString& button) = 0;
    // The same with a smaller text below the message that says why and what can be done. Where
    // there is no room for a second text, both go as one.
    virtual void runAlertPanelWithInformativeText(const QString& title, const QString& message,
                                                  const QString& informativeText, const QString& button);
};

// A modal QMessageBox over the active window; alike on every system.
class MessageBoxAlerts : public Alerts {
public:
    void runAlertPanel(const QString& title, const QString& message, const QString& button) override;
    void runAlertPanelWithInformativeText(const QString& title, const QString& message, const QString& informativeText,
                                          const QString& button) override;

private:
    void run(const QString& title, const QString& message, const QString& informativeText, const QString& button);
};

}  // namespace Platform
