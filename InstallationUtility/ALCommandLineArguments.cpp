#include "InstallationUtility/ALCommandLineArguments.h"

#include "InstallationUtility/CommandLineHelp.h"

#include <QHash>

namespace {

using Command = ALCommandLineRequest::Command;

const QHash<QString, Command> kCommands = {
    {QStringLiteral("--list"), Command::list},
    {QStringLiteral("--install"), Command::install},
    {QStringLiteral("--uninstall"), Command::uninstall},
    {QStringLiteral("--help"), Command::help},
    {QStringLiteral("-h"), Command::help},
    {QStringLiteral("--version"), Command::version},
    {QStringLiteral("-V"), Command::version},
};

// QGuiApplication's and QApplication's own options, written with one dash or two.
const QStringList kToolkitOptionsWithValue = {
    QStringLiteral("platform"),        QStringLiteral("platformpluginpath"),
    QStringLiteral("platformtheme"),   QStringLiteral("plugin"),
    QStringLiteral("qwindowgeometry"), QStringLiteral("qwindowicon"),
    QStringLiteral("qwindowtitle"),    QStringLiteral("session"),
    QStringLiteral("style"),           QStringLiteral("stylesheet"),
    QStringLiteral("display"),         QStringLiteral("geometry"),
};
const QStringList kToolkitFlags = {QStringLiteral("reverse"), QStringLiteral("widgetcount"), QStringLiteral("nograb"),
                                   QStringLiteral("dograb"), QStringLiteral("sync")};

// The option's name without its dashes and value; empty for what is no option.
QString optionName(const QString& argument)
{
    if (!argument.startsWith(QLatin1Char('-')))
        return {};
    const QString bare = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
    return bare.section(QLatin1Char('='), 0, 0);
}

bool actsOnInstallations(Command command)
{
    return command == Command::install || command == Command::uninstall;
}

ALUsageError usage(const QString& reason)
{
    return {reason + QStringLiteral(" (see --help)")};
}

// What the options and paths ask for makes sense for the command.
std::optional<ALUsageError> checked(ALCommandLineRequest request, bool runningAsRoot)
{
    const bool installs = actsOnInstallations(request.command);
    const bool forUsers = !request.users.isEmpty() || request.allUsers;
    if (request.json && request.command != Command::list)
        return usage(QStringLiteral("--json goes only with --list"));
    if (!installs && (request.all || !request.applicationPaths.isEmpty() || request.noPrompt || request.dryRun))
        return usage(QStringLiteral("--all, paths, --no-prompt and --dry-run go only with --install or --uninstall"));
    if (forUsers && !installs && request.command != Command::list)
        return usage(QStringLiteral("--user and --all-users go only with --list, --install or --uninstall"));
    if (installs && request.all == !request.applicationPaths.isEmpty())
        return usage(QStringLiteral("give either --all or the paths of the installations, not both and not neither"));
    if (!request.users.isEmpty() && request.allUsers)
        return usage(QStringLiteral("give either --user or --all-users, not both"));
    if (request.users.removeDuplicates() != 0)
        return usage(QStringLiteral("each user once"));
    if (forUsers && !runningAsRoot)
        return usage(QStringLiteral("only root can work for other users with --user or --all-users"));
    return std::nullopt;
}

}  // namespace

int worse(int a, int b)
{
    // Least to most pressing: a fleet first mends what failed, then what needs a password, then
    // waits for Acrobat to close; an Acrobat never run only needs its user to start it.
    const auto rank = [](int status) {
        switch (status) {
        case ALExitStatus::done:
            return 0;
        case ALExitStatus::neverRun:
            return 1;
        case ALExitStatus::acrobatRunning:
            return 2;
        case ALExitStatus::needsAdministrator:
            return 3;
        case ALExitStatus::interrupted:
            return 5;
        default:
            return 4;
        }
    };
    return rank(a) >= rank(b) ? a : b;
}

QStringList withoutToolkitOptions(const QStringList& arguments)
{
    QStringList ours;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString name = optionName(arguments.at(i));
        if (kToolkitFlags.contains(name))
            continue;
        if (kToolkitOptionsWithValue.contains(name)) {
            if (!arguments.at(i).contains(QLatin1Char('=')))
                ++i;
            continue;
        }
        ours.append(arguments.at(i));
    }
    return ours;
}

bool isCommandLineRequest(const QStringList& arguments)
{
    return !withoutToolkitOptions(arguments).isEmpty();
}

std::variant<ALCommandLineRequest, ALUsageError> parseCommandLine(const QStringList& allArguments, bool runningAsRoot)
{
    const QStringList arguments = withoutToolkitOptions(allArguments);
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
        } else if (argument == QLatin1String("--dry-run")) {
            request.dryRun = true;
        } else if (argument == QLatin1String("--all-users")) {
            request.allUsers = true;
        } else if (argument == QLatin1String("--user") || argument.startsWith(QLatin1String("--user="))) {
            const bool joined = argument.contains(QLatin1Char('='));
            const QString name = joined ? argument.section(QLatin1Char('='), 1)
                                        : (i + 1 < arguments.size() ? arguments.at(++i) : QString());
            if (name.isEmpty() || name.startsWith(QLatin1Char('-')))
                return usage(QStringLiteral("--user needs the name of a user"));
            request.users.append(name);
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
