#pragma once

#include "Platform/Workspace.h"

namespace Platform {

// Finds running executables through libproc (proc_listallpids, proc_pidpath); hands addresses
// to the desktop.
class LibprocWorkspace : public Workspace {
public:
    bool isExecutableRunning(const QString& executablePath) override;
    bool openURL(const QUrl& url) override;
};

}  // namespace Platform
