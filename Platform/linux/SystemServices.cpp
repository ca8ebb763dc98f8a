#include "Platform/Services.h"

#include "Platform/FolderScanRegistry.h"
#include "Platform/Paths.h"
#include "Platform/SearchPaths.h"
#include "Platform/linux/PkexecAdministratorShell.h"
#include "Platform/linux/ProcWorkspace.h"

#include <QDir>
#include <QFile>

#include <cerrno>

namespace Platform {

namespace {

// No system registry of applications: the folder scan walks the folders applications are kept
// in. Folders named by bytes that text cannot carry are left out, as names inside them are.
QStringList applicationFolders()
{
    QStringList folders;
    if (qEnvironmentVariableIsSet("FOLDWISE_APPLICATION_DIRS")) {
        for (const QByteArray& folder : qgetenv("FOLDWISE_APPLICATION_DIRS").split(':')) {
            if (!folder.isEmpty() && encodedNameRoundTrips(folder))
                folders.append(QFile::decodeName(folder));
        }
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
    return services;
}

std::shared_ptr<Workspace> Services::systemWorkspaceOf(uid_t user)
{
    return std::make_shared<ProcWorkspace>(user);
}

}  // namespace Platform
