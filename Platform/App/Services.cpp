#include "Platform/App/Services.h"

#include "Platform/Files/SearchPaths.h"
#include "Platform/Files/UserFileManager.h"

namespace Platform {

std::optional<Services> Services::systemForUser(const QString& userName)
{
    const std::optional<UserAccount> account = userAccountNamed(userName);
    if (!account)
        return std::nullopt;
    Services services = system();
    services.fileManager = std::make_shared<UserFileManager>(*account);
    services.workspace = systemWorkspaceOf(account->uid);
    services.applicationRegistry = systemRegistryOf(account->home);
    const QString support = applicationSupportDirectoryInHome(account->home);
    services.applicationSupportDirectories = [support] { return QStringList{support}; };
    return services;
}

std::optional<Services> Services::systemForRoot()
{
    const std::optional<UserAccount> root = userAccountOf(0);
    if (!root)
        return std::nullopt;
    Services services = system();
    services.applicationRegistry = systemRegistryOf(root->home);
    const QString support = applicationSupportDirectoryInHome(root->home);
    services.applicationSupportDirectories = [support] { return QStringList{support}; };
    return services;
}

}  // namespace Platform
