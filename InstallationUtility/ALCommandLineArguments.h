#pragma once

#include <QString>
#include <QStringList>
#include <variant>

// What the installer is asked to do when started with arguments.
struct ALCommandLineRequest {
    enum class Command { list, install, uninstall, help, version };
    Command command = Command::help;
    bool json = false;
    bool all = false;
    QStringList applicationPaths;
    QStringList users;
    bool noPrompt = false;
};

// Why the arguments make no request, in one line.
struct ALUsageError {
    QString reason;
};

// Exit statuses of the command line.
namespace ALExitStatus {
inline constexpr int done = 0;
inline constexpr int failed = 1;
inline constexpr int usage = 2;
inline constexpr int acrobatRunning = 3;
inline constexpr int noAcrobat = 4;
}  // namespace ALExitStatus

// Whether the program was started for its command line rather than its window: our options
// are all long ones, while the toolkit's own (such as -platform) take a single dash.
bool isCommandLineRequest(const QStringList& arguments);

// Reads the arguments that follow the program's name.
std::variant<ALCommandLineRequest, ALUsageError> parseCommandLine(const QStringList& arguments, bool runningAsRoot);

// The --help text, also the source of the manual page.
QString commandLineHelp();
