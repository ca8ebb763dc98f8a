#pragma once

#include <QString>
#include <memory>

namespace Platform {

class Alerts {
public:
    virtual ~Alerts() = default;
    // A modal alert panel; returns when the user has pressed its one button.
    virtual void runAlertPanel(const QString& title, const QString& message, const QString& button) = 0;
};

std::shared_ptr<Alerts> makeSystemAlerts();

}  // namespace Platform
