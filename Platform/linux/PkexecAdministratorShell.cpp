#include "linux/PkexecAdministratorShell.h"

#include <QProcess>

#include <utility>

namespace Platform {

namespace {

// pkexec ends with 126 when the prompt was dismissed, and says so on standard error; 126 is just
// as much the shell's own status for a command it found and could not run. pkexec's refusals
// (not authorised, no agent) end with 127 and its own message, which is passed on as it is.
constexpr int kPkexecDismissedStatus = 126;
const QLatin1String kPkexecDismissed("Error executing command as another user: Request dismissed");

}  // namespace

PkexecAdministratorShell::PkexecAdministratorShell(QString pkexecPath)
    : m_pkexecPath(std::move(pkexecPath))
{
}

AdministratorShell::Result PkexecAdministratorShell::run(const QString& commandText)
{
    Result result;
    QProcess process;
    process.setProgram(m_pkexecPath);
    // Without a graphical agent pkexec would otherwise ask for the password on a terminal that
    // nobody sees, and we would wait for ever.
    process.setArguments(
        {QStringLiteral("--disable-internal-agent"), QStringLiteral("/bin/sh"), QStringLiteral("-c"), commandText});
    process.setStandardInputFile(QProcess::nullDevice());
    process.start();
    if (!process.waitForStarted(-1)) {
        result.errorMessage =
            QStringLiteral("The administrator shell %1 could not be started: %2").arg(m_pkexecPath, process.errorString());
        return result;
    }
    // No time limit: the user may take as long as they like at the password prompt.
    process.waitForFinished(-1);

    const bool exited = process.exitStatus() == QProcess::NormalExit;
    if (exited && process.exitCode() == 0) {
        QString output = QString::fromLocal8Bit(process.readAllStandardOutput());
        if (output.endsWith(QLatin1Char('\n')))
            output.chop(1);
        result.output = output;
        return result;
    }
    const QString message = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
    if (exited && process.exitCode() == kPkexecDismissedStatus && message.contains(kPkexecDismissed)) {
        result.errorNumber = kUserCancelledErrorNumber;
        return result;
    }
    if (!message.isEmpty())
        result.errorMessage = message;
    else if (exited)
        result.errorMessage =
            QStringLiteral("The administrator command failed with exit status %1.").arg(process.exitCode());
    else
        result.errorMessage = QStringLiteral("The administrator command crashed: %1").arg(process.errorString());
    return result;
}

std::shared_ptr<AdministratorShell> makeSystemAdministratorShell()
{
    return std::make_shared<PkexecAdministratorShell>();
}

}  // namespace Platform
