#include "Platform/Services.h"

#include "Platform/SearchPaths.h"

namespace Platform {

Services Services::system()
{
    Services services;
    services.mainBundle = Bundle::mainBundle();
    services.fileManager = std::make_shared<LocalFileManager>();
    services.applicationRegistry = makeSystemApplicationRegistry();
    services.workspace = makeSystemWorkspace();
    services.administratorShell = makeSystemAdministratorShell();
    services.alerts = makeSystemAlerts();
    services.log = makeSystemLog();
    services.applicationSupportDirectories = &Platform::applicationSupportDirectories;
    return services;
}

}  // namespace Platform
