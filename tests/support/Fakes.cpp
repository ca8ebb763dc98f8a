#include "Fakes.h"

bool InjectingFileManager::copyItem(const QString& source, const QString& destination)
{
    copies.append(source + QStringLiteral(" -> ") + destination);
    if (failingCopies.contains(destination))
        return false;
    return LocalFileManager::copyItem(source, destination);
}

bool InjectingFileManager::removeItem(const QString& path)
{
    removals.append(path);
    if (failingRemovals.contains(path))
        return false;
    return LocalFileManager::removeItem(path);
}

Platform::AdministratorShell::Result ScriptedAdministratorShell::run(const QString& commandText)
{
    commands.append(commandText);
    if (results.empty())
        return failure(std::nullopt);
    Result next = results.front();
    results.pop_front();
    return next;
}

Platform::AdministratorShell::Result ScriptedAdministratorShell::success(const QString& output)
{
    Result result;
    result.output = output;
    return result;
}

Platform::AdministratorShell::Result ScriptedAdministratorShell::cancelled()
{
    Result result;
    result.errorNumber = Platform::kUserCancelledErrorNumber;
    return result;
}

Platform::AdministratorShell::Result ScriptedAdministratorShell::failure(const std::optional<QString>& message)
{
    Result result;
    result.errorMessage = message;
    return result;
}

QStringList RecordingAlerts::messages() const
{
    QStringList result;
    for (const Panel& panel : panels)
        result.append(panel.message);
    return result;
}

void RecordingAlerts::runAlertPanel(const QString& title, const QString& message, const QString& button)
{
    panels.push_back({title, message, button});
}

Platform::Services FakeServices::services(const QString& mainBundlePath) const
{
    Platform::Services services;
    services.mainBundle = Platform::Bundle(mainBundlePath);
    services.fileManager = fileManager;
    services.applicationRegistry = registry;
    services.workspace = workspace;
    services.administratorShell = shell;
    services.alerts = alerts;
    services.log = log;
    const QStringList folders = supportFolders;
    services.applicationSupportDirectories = [folders] { return folders; };
    return services;
}
