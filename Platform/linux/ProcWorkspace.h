#pragma once

#include "Platform/Workspace.h"

namespace Platform {

// Finds running executables through /proc/<pid>/exe.
class ProcWorkspace : public Workspace {
public:
    bool isExecutableRunning(const QString& executablePath) override;
};

}  // namespace Platform
