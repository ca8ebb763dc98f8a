#pragma once

#include "Platform/App/Alerts.h"
#include "Platform/App/Log.h"
#include "Platform/Bundles/ApplicationRegistry.h"
#include "Platform/Bundles/Bundle.h"
#include "Platform/Bundles/Workspace.h"
#include "Platform/Files/FileManager.h"
#include "Platform/Privileges/AdministratorShell.h"
#include "Platform/Privileges/RootOnlyFolder.h"

#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <sys/types.h>

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
    // When root may act in a folder: this system's rule unless a test gives other facts.
    RootOnlyRule rootOnlyRule;
    // The lock that one copy or removal holds against another run of the installer (RunLock);
    // none to take no lock, as where the caller holds it already.
    QString runLockPath;

    // The real services of this machine. Each system wires its own backends in one file,
    // Platform/<system>/SystemServices.cpp; nothing else names them.
    static Services system();
    // The same for root working on behalf of the user of that name: files inside the user's
    // home are handled as the user, only the user's processes count as running, and the
    // Application Support folder is the one in the user's home. None when there is no such user.
    static std::optional<Services> systemForUser(const QString& userName);
    // The real services for root acting as itself: its application and Application Support
    // folders come from its own home in the password database, never from HOME or XDG_* (which
    // `sudo -E` would hand over from a user). None when root has no such home.
    static std::optional<Services> systemForRoot();

private:
    // This system's workspace that sees only the processes of the user; beside system().
    static std::shared_ptr<Workspace> systemWorkspaceOf(uid_t user);
    // This system's registry for the user with that home: the system-wide application folders
    // and the user's own, never another user's nor those the caller's HOME names.
    static std::shared_ptr<ApplicationRegistry> systemRegistryOf(const QString& home);
};

}  // namespace Platform
