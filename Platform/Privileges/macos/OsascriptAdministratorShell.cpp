#include "Platform/Privileges/macos/OsascriptAdministratorShell.h"

#include "Platform/Privileges/ProcessRunner.h"

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

}  // namespace

AdministratorShell::Result OsascriptAdministratorShell::run(const QString& commandText)
{
    Result result;
    const QString source = QStringLiteral("do shell script \"") + appleScriptEscaped(commandText)
        + QStringLiteral("\" with administrator privileges");
    const ProcessRun run = runToEnd(QStringLiteral("/usr/bin/osascript"), {QStringLiteral("-e"), source});
    if (!run.started) {
        result.errorMessage = QStringLiteral("The administrator shell could not be started: %1").arg(run.errorString);
        return result;
    }
    if (run.succeeded()) {
        result.output = withoutFinalNewline(QString::fromUtf8(run.standardOutput));
        return result;
    }
    const QString message = QString::fromUtf8(run.standardError).trimmed();
    // osascript ends its message with the error number: "…: execution error: User canceled. (-128)"
    // for a dismissed prompt. The command's own words come before it and may hold anything.
    if (message.endsWith(QLatin1String(" (-128)"))) {
        result.errorNumber = kUserCancelledErrorNumber;
        return result;
    }
    result.errorMessage = failureDescription(run, message);
    return result;
}

}  // namespace Platform
