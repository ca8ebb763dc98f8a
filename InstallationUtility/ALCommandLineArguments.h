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
    bool allUsers = false;
    bool noPrompt = false;
    bool dryRun = false;
};

// Why the arguments make no request, in one line.
struct ALUsageError {
    QString reason;
};

// Exit statuses of the command line; a run gives the worst its installations met (see worse()).
namespace ALExitStatus {
inline constexpr int done = 0;  // done, or nothing to do
inline constexpr int failed = 1;
inline constexpr int usage = 2;  // checked before anything is done: nothing changed
inline constexpr int acrobatRunning = 3;
inline constexpr int noAcrobat = 4;
inline constexpr int neverRun = 5;  // skipped: that Acrobat has no plug-in folder yet; no failure
inline constexpr int needsAdministrator = 6;  // administrator rights needed, but --no-prompt
inline constexpr int busy = 7;  // another run held the lock past the wait: nothing done
inline constexpr int interrupted = 8;  // stopped by SIGINT or SIGTERM after the step under way
}  // namespace ALExitStatus

// The worse of two statuses of installations, for a fleet to act on the one that matters most.
int worse(int a, int b);

// The arguments without the toolkit's own options (such as -platform X or --style=fusion).
QStringList withoutToolkitOptions(const QStringList& arguments);

// Whether the program was started for its command line rather than its window: any argument
// that is not one of the toolkit's own options asks for it, so a mistyped one never opens a
// window.
bool isCommandLineRequest(const QStringList& arguments);

// Reads the arguments that follow the program's name.
std::variant<ALCommandLineRequest, ALUsageError> parseCommandLine(const QStringList& arguments, bool runningAsRoot);

// The --help text, also the source of the manual page.
QString commandLineHelp();
