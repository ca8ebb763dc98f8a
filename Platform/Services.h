#pragma once

#include "Platform/AdministratorShell.h"
#include "Platform/Alerts.h"
#include "Platform/ApplicationRegistry.h"
#include "Platform/Bundle.h"
#include "Platform/FileManager.h"
#include "Platform/Log.h"
#include "Platform/Workspace.h"

#include <QStringList>
#include <functional>
#include <memory>

namespace Platform {

// Everything the application asks of the system, handed to it in one piece so that tests can
// replace any part.
struct Services {
    Bundle mainBundle{QString()};
    std::shared_ptr<FileManager> fileManager;
    std::shared_ptr<ApplicationRegistry> applicationRegistry;
    std::shared_ptr<Workspace> workspace;
    std::shared_ptr<AdministratorShell> administratorShell;
    std::shared_ptr<Alerts> alerts;
    std::shared_ptr<Log> log;
    std::function<QStringList()> applicationSupportDirectories;

    // The real services of this machine.
    static Services system();
};

}  // namespace Platform
