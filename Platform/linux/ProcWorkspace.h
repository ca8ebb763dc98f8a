#pragma once

#include "Platform/Workspace.h"

namespace Platform {

// Finds running executables through /proc/<pid>/exe; hands addresses to the desktop.
class ProcWorkspace : public Workspace {
public:
    bool isExecutableRunning(const QString& executablePath) override;
    bool openURL(const QUrl& url) override;
};

}  // namespace Platform
