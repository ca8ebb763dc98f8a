#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <memory>

namespace Platform {

class Workspace {
public:
    virtual ~Workspace() = default;
    // The executable path of every running process we may look at.
    virtual QStringList runningExecutablePaths() = 0;
    // Hands the address to the user's browser.
    virtual bool openURL(const QUrl& url) = 0;
};

std::shared_ptr<Workspace> makeSystemWorkspace();

}  // namespace Platform
