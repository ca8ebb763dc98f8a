#pragma once

#include "Platform/Workspace.h"

namespace Platform {

// Finds running executables through libproc (proc_listallpids, proc_pidpath).
class LibprocWorkspace : public Workspace {
public:
    bool isExecutableRunning(const QString& executablePath) override;
};

}  // namespace Platform
