#pragma once

#include "Platform/Bundles/Workspace.h"

#include <optional>
#include <sys/types.h>

namespace Platform {

// Finds running executables through libproc (proc_listallpids, proc_pidpath).
class LibprocWorkspace : public Workspace {
public:
    // With a user, only the processes that run as that user count.
    explicit LibprocWorkspace(std::optional<uid_t> onlyUser = std::nullopt) : m_onlyUser(onlyUser) {}
    bool isExecutableRunning(const QString& executablePath) override;

private:
    std::optional<uid_t> m_onlyUser;
};

}  // namespace Platform
