#include "AdministratorShell.h"

#include <QProcess>

namespace Platform {

namespace {

// Escapes text for the inside of an AppleScript string literal.
QString appleScriptEscaped(const QString& text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    escaped.replace(QLatin1Char('"'), QStringLiteral("\\\""));
    return escaped;
}

class OsascriptAdministratorShell : public AdministratorShell {
public:
    Result run(const QString& commandText) override
    {
        Result result;
        const QString source = QStringLiteral("do shell script \"") + appleScriptEscaped(commandText)
            + QStringLiteral("\" with administrator privileges");
        QProcess process;
        process.setProgram(QStringLiteral("/usr/bin/osascript"));
        process.setArguments({QStringLiteral("-e"), source});
        process.setStandardInputFile(QProcess::nullDevice());
        process.start();
        if (!process.waitForStarted(-1)) {
            result.errorMessage =
                QStringLiteral("The administrator shell could not be started: %1").arg(process.errorString());
            return result;
        }
        // No time limit: the user may take as long as they like at the password prompt.
        process.waitForFinished(-1);

        if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0) {
            QString output = QString::fromUtf8(process.readAllStandardOutput());
            if (output.endsWith(QLatin1Char('\n')))
                output.chop(1);
            result.output = output;
            return result;
        }
        const QString message = QString::fromUtf8(process.readAllStandardError()).trimmed();
        // osascript reports a dismissed password prompt as "User canceled. (-128)".
        if (message.contains(QLatin1String("(-128)")) || message.contains(QLatin1String("User canceled"))) {
            result.errorNumber = kUserCancelledErrorNumber;
            return result;
        }
        if (!message.isEmpty())
            result.errorMessage = message;
        else if (process.exitStatus() == QProcess::NormalExit)
            result.errorMessage =
                QStringLiteral("The administrator command failed with exit status %1.").arg(process.exitCode());
        else
            result.errorMessage = QStringLiteral("The administrator command crashed: %1").arg(process.errorString());
        return result;
    }
};

}  // namespace

std::shared_ptr<AdministratorShell> makeSystemAdministratorShell()
{
    return std::make_shared<OsascriptAdministratorShell>();
}

}  // namespace Platform
