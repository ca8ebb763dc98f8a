#include "Platform/App/Services.h"

#include "Platform/Bundles/FolderScanRegistry.h"
#include "Platform/Bundles/linux/ProcWorkspace.h"
#include "Platform/Files/Paths.h"
#include "Platform/Files/RunAsUser.h"
#include "Platform/Files/RunLock.h"
#include "Platform/Files/SearchPaths.h"
#include "Platform/Privileges/linux/PkexecAdministratorShell.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>

namespace Platform {

namespace {

// The folders FOLDWISE_APPLICATION_DIRS names, when it is set.
std::optional<QStringList> foldersFromEnvironment()
{
    if (!qEnvironmentVariableIsSet("FOLDWISE_APPLICATION_DIRS"))
        return std::nullopt;
    QStringList folders;
    for (const QByteArray& folder : qgetenv("FOLDWISE_APPLICATION_DIRS").split(':')) {
        if (!folder.isEmpty() && encodedNameRoundTrips(folder))
            folders.append(QFile::decodeName(folder));
    }
    return folders;
}

// No system registry of applications: the folder scan walks the folders applications are kept
// in. Folders named by bytes that text cannot carry are left out, as names inside them are.
QStringList applicationFolders()
{
    QStringList folders;
    if (const auto named = foldersFromEnvironment()) {
        folders = *named;
    } else {
        folders = {QStringLiteral("/Applications")};
        if (encodedNameRoundTrips(qgetenv("HOME")))
            folders.append(QDir::homePath() + QStringLiteral("/Applications"));
    }
    return folders;
}

}  // namespace

Services Services::system()
{
    Services services;
    services.mainBundle = Bundle::mainBundle();
    services.fileManager = std::make_shared<LocalFileManager>();
    services.applicationRegistry = std::make_shared<FolderScanRegistry>(applicationFolders());
    services.workspace = std::make_shared<ProcWorkspace>();
    services.administratorShell = std::make_shared<PkexecAdministratorShell>();
    services.alerts = std::make_shared<MessageBoxAlerts>();
    services.log = std::make_shared<StandardErrorLog>(QString::fromLocal8Bit(program_invocation_short_name));
    services.applicationSupportDirectories = &Platform::applicationSupportDirectories;
    services.runLockPath = RunLock::defaultPath();
    return services;
}

std::shared_ptr<ApplicationRegistry> Services::systemRegistryOf(const QString& home)
{
    // One user's Acrobat must never land in another user's data folder: of the folders named,
    // those in another person's home are theirs alone.
    QStringList folders;
    const std::vector<UserAccount> people = loginAccounts();
    for (const QString& folder : foldersFromEnvironment().value_or(QStringList{QStringLiteral("/Applications")})) {
        const bool anothers = std::any_of(people.begin(), people.end(), [&](const UserAccount& person) {
            return person.home != home && isInsideHome(folder, person.home) && !isInsideHome(home, person.home);
        });
        if (!anothers && QDir::cleanPath(folder) != home + QStringLiteral("/Applications"))
            folders.append(folder);
    }
    folders.append(home + QStringLiteral("/Applications"));
    return std::make_shared<FolderScanRegistry>(folders);
}

std::shared_ptr<Workspace> Services::systemWorkspaceOf(uid_t user)
{
    return std::make_shared<ProcWorkspace>(user);
}

}  // namespace Platform
