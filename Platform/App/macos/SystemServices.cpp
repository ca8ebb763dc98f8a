#include "Platform/App/Services.h"

#include "Platform/Bundles/FolderScanRegistry.h"
#include "Platform/Bundles/macos/LaunchServicesRegistry.h"
#include "Platform/Bundles/macos/LibprocWorkspace.h"
#include "Platform/Files/RunLock.h"
#include "Platform/Files/SearchPaths.h"
#include "Platform/Privileges/macos/OsascriptAdministratorShell.h"

#include <stdlib.h>

namespace Platform {

Services Services::system()
{
    Services services;
    services.mainBundle = Bundle::mainBundle();
    services.fileManager = std::make_shared<LocalFileManager>();
    services.applicationRegistry = std::make_shared<LaunchServicesRegistry>();
    services.workspace = std::make_shared<LibprocWorkspace>();
    services.administratorShell = std::make_shared<OsascriptAdministratorShell>();
    services.alerts = std::make_shared<MessageBoxAlerts>();
    services.log = std::make_shared<StandardErrorLog>(QString::fromLocal8Bit(::getprogname()));
    services.applicationSupportDirectories = &Platform::applicationSupportDirectories;
    services.runLockPath = RunLock::defaultPath();
    return services;
}

std::shared_ptr<ApplicationRegistry> Services::systemRegistryOf(const QString& home)
{
    // Launch Services answers for the one asking; for another user, their folders are walked.
    return std::make_shared<FolderScanRegistry>(
        QStringList{QStringLiteral("/Applications"), home + QStringLiteral("/Applications")});
}

std::shared_ptr<Workspace> Services::systemWorkspaceOf(uid_t user)
{
    return std::make_shared<LibprocWorkspace>(user);
}

}  // namespace Platform
