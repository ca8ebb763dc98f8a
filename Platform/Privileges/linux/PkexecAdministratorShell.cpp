#include "Platform/Privileges/linux/PkexecAdministratorShell.h"

#include "Platform/Privileges/ProcessRunner.h"

#include <utility>

namespace Platform {

namespace {

// pkexec ends with 126 when the prompt was dismissed, and says so on standard error; 126 is just
// as much the shell's own status for a command it found and could not run. pkexec's refusals
// (not authorised, no agent) end with 127 and its own message, which is passed on as it is.
constexpr int kPkexecDismissedStatus = 126;
const QLatin1String kPkexecDismissed("Error executing command as another user: Request dismissed");

}  // namespace

PkexecAdministratorShell::PkexecAdministratorShell(QString pkexecPath) : m_pkexecPath(std::move(pkexecPath))
{
}

AdministratorShell::Result PkexecAdministratorShell::run(const QString& commandText)
{
    Result result;
    // Without a graphical agent pkexec would otherwise ask for the password on a terminal that
    // nobody sees, and we would wait for ever.
    const ProcessRun run = runToEnd(
        m_pkexecPath,
        {QStringLiteral("--disable-internal-agent"), QStringLiteral("/bin/sh"), QStringLiteral("-c"), commandText});
    if (!run.started) {
        result.errorMessage =
            QStringLiteral("The administrator shell %1 could not be started: %2").arg(m_pkexecPath, run.errorString);
        return result;
    }
    if (run.succeeded()) {
        result.output = withoutFinalNewline(QString::fromLocal8Bit(run.standardOutput));
        return result;
    }
    const QString message = QString::fromLocal8Bit(run.standardError).trimmed();
    if (run.exited && run.exitCode == kPkexecDismissedStatus && message.contains(kPkexecDismissed)) {
        result.errorNumber = kUserCancelledErrorNumber;
        return result;
    }
    result.errorMessage = failureDescription(run, message);
    return result;
}

}  // namespace Platform
