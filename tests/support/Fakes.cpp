#include "tests/support/Fakes.h"

#include <cerrno>
#include <cstring>
#include <utility>

bool InjectingFileManager::injectedFailure(const QString& path, Platform::FileError* error) const
{
    const int code = failureCodes.value(path, EACCES);
    if (error)
        *error = {code,
                  QStringLiteral("Injected failure at %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(code))),
                  std::nullopt,
                  !failingInsideTheTree.contains(path),
                  unswept,
                  unswept.isEmpty() ? 0 : EACCES};
    return false;
}

std::optional<bool> InjectingFileManager::existenceAtPath(const QString& path, Platform::FileError* error)
{
    if (!failingLookups.contains(path))
        return LocalFileManager::existenceAtPath(path, error);
    const int code = failingLookups.value(path);
    if (error)
        *error = {
            code,
            QStringLiteral("Injected look-up failure at %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(code))),
            std::nullopt,
            false,
            {},
            0};
    return std::nullopt;
}

bool InjectingFileManager::copyItem(const QString& source, const QString& destination, Platform::FileError* error)
{
    copies.append(source + QStringLiteral(" -> ") + destination);
    if (failingCopies.contains(destination))
        return injectedFailure(destination, error);
    return LocalFileManager::copyItem(source, destination, error);
}

bool InjectingFileManager::replaceItem(const QString& source, const QString& destination, Platform::FileError* error)
{
    replacements.append(source + QStringLiteral(" -> ") + destination);
    if (failingCopies.contains(destination))
        return injectedFailure(destination, error);
    return LocalFileManager::replaceItem(source, destination, error);
}

bool InjectingFileManager::removeItem(const QString& path, Platform::FileError* error)
{
    removals.append(path);
    if (failingRemovals.contains(path))
        return injectedFailure(path, error);
    return LocalFileManager::removeItem(path, error);
}

Platform::AdministratorShell::Result ScriptedAdministratorShell::run(const QString& commandText)
{
    commands.append(commandText);
    if (results.empty())
        return failure(std::nullopt);
    Result next = std::exchange(results.front(), {});
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
    panels.push_back({title, message, button, {}});
}

void RecordingAlerts::runAlertPanelWithInformativeText(const QString& title, const QString& message,
                                                       const QString& informativeText, const QString& button)
{
    panels.push_back({title, message, button, informativeText});
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
    services.rootOnlyRule = rootOnlyRule;
    services.runLockPath = runLockPath;
    const QStringList folders = supportFolders;
    services.applicationSupportDirectories = [folders] { return folders; };
    return services;
}
