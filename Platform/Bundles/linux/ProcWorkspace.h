#pragma once

#include "Platform/Bundles/Workspace.h"

#include <optional>
#include <sys/types.h>

namespace Platform {

// Finds running executables through /proc/<pid>/exe.
class ProcWorkspace : public Workspace {
public:
    // With a user, only the processes that run as that user count.
    explicit ProcWorkspace(std::optional<uid_t> onlyUser = std::nullopt) : m_onlyUser(onlyUser) {}
    bool isExecutableRunning(const QString& executablePath) override;

private:
    std::optional<uid_t> m_onlyUser;
};

}  // namespace Platform
