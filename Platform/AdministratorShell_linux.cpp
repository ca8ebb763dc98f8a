#include "AdministratorShell_linux.h"

#include <QProcess>

#include <utility>

namespace Platform {

namespace {

// pkexec's exit code when the user dismissed the authentication dialog.
constexpr int kPkexecNotAuthorized = 126;

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
    process.setArguments({QStringLiteral("/bin/sh"), QStringLiteral("-c"), commandText});
    process.setStandardInputFile(QProcess::nullDevice());
    process.start();
    if (!process.waitForStarted(-1)) {
        result.errorMessage = QStringLiteral("The administrator shell could not be started.");
        return result;
    }
    // No time limit: the user may take as long as they like at the password prompt.
    process.waitForFinished(-1);

    if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0) {
        QString output = QString::fromLocal8Bit(process.readAllStandardOutput());
        if (output.endsWith(QLatin1Char('\n')))
            output.chop(1);
        result.output = output;
        return result;
    }
    if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == kPkexecNotAuthorized) {
        result.errorNumber = kUserCancelledErrorNumber;
        return result;
    }
    const QString message = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
    if (!message.isEmpty())
        result.errorMessage = message;
    return result;
}

std::shared_ptr<AdministratorShell> makeSystemAdministratorShell()
{
    return std::make_shared<PkexecAdministratorShell>();
}

}  // namespace Platform
