#include "InstallationUtility/ALCommandLineArguments.h"

#include "InstallationUtility/CommandLineHelp.h"

#include <QHash>

namespace {

using Command = ALCommandLineRequest::Command;

const QHash<QString, Command> kCommands = {
    {QStringLiteral("--list"), Command::list},           {QStringLiteral("--install"), Command::install},
    {QStringLiteral("--uninstall"), Command::uninstall}, {QStringLiteral("--help"), Command::help},
    {QStringLiteral("--version"), Command::version},
};

bool actsOnInstallations(Command command)
{
    return command == Command::install || command == Command::uninstall;
}

ALUsageError usage(const QString& reason)
{
    return {reason + QStringLiteral(" (see --help)")};
}

// What the options and paths ask for makes sense for the command.
std::optional<ALUsageError> checked(const ALCommandLineRequest& request, bool runningAsRoot)
{
    const bool installs = actsOnInstallations(request.command);
    if (request.json && request.command != Command::list)
        return usage(QStringLiteral("--json goes only with --list"));
    if (!installs
        && (request.all || !request.applicationPaths.isEmpty() || !request.users.isEmpty() || request.noPrompt))
        return usage(QStringLiteral("--all, paths, --user and --no-prompt go only with --install or --uninstall"));
    if (installs && request.all == !request.applicationPaths.isEmpty())
        return usage(QStringLiteral("give either --all or the paths of the installations, not both and not neither"));
    if (!request.users.isEmpty() && !runningAsRoot)
        return usage(QStringLiteral("only root can work for another user with --user"));
    return std::nullopt;
}

}  // namespace

bool isCommandLineRequest(const QStringList& arguments)
{
    return !arguments.isEmpty() && arguments.first().startsWith(QLatin1String("--"));
}

std::variant<ALCommandLineRequest, ALUsageError> parseCommandLine(const QStringList& arguments, bool runningAsRoot)
{
    ALCommandLineRequest request;
    std::optional<Command> command;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (kCommands.contains(argument)) {
            if (command)
                return usage(QStringLiteral("one command at a time: %1 after another").arg(argument));
            command = kCommands.value(argument);
        } else if (argument == QLatin1String("--json")) {
            request.json = true;
        } else if (argument == QLatin1String("--all")) {
            request.all = true;
        } else if (argument == QLatin1String("--no-prompt")) {
            request.noPrompt = true;
        } else if (argument == QLatin1String("--user")) {
            if (i + 1 == arguments.size() || arguments.at(i + 1).isEmpty()
                || arguments.at(i + 1).startsWith(QLatin1String("--")))
                return usage(QStringLiteral("--user needs the name of a user"));
            request.users.append(arguments.at(++i));
        } else if (argument.startsWith(QLatin1Char('-'))) {
            return usage(QStringLiteral("unknown option %1").arg(argument));
        } else if (argument.isEmpty()) {
            return usage(QStringLiteral("an empty path names no installation"));
        } else {
            request.applicationPaths.append(argument);
        }
    }
    if (!command)
        return usage(QStringLiteral("no command: give --list, --install, --uninstall, --help or --version"));
    request.command = *command;
    if (const auto error = checked(request, runningAsRoot))
        return *error;
    return request;
}

QString commandLineHelp()
{
    return QString::fromUtf8(kCommandLineHelp);
}
