#include "Platform/Privileges/ProcessRunner.h"

#include <QProcess>

#include <sys/stat.h>

namespace Platform {

ProcessRun runToEnd(const QString& program, const QStringList& arguments)
{
    ProcessRun run;
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    // Whatever umask we were started with, what root makes for us is never group- or
    // world-writable: others could then change code that Acrobat loads.
    process.setChildProcessModifier([] { ::umask(022); });
    process.start();
    if (!process.waitForStarted(-1)) {
        run.errorString = process.errorString();
        return run;
    }
    run.started = true;
    process.waitForFinished(-1);
    run.exited = process.exitStatus() == QProcess::NormalExit;
    run.exitCode = process.exitCode();
    run.standardOutput = process.readAllStandardOutput();
    run.standardError = process.readAllStandardError();
    run.errorString = process.errorString();
    return run;
}

QString withoutFinalNewline(QString output)
{
    if (output.endsWith(QLatin1Char('\n')))
        output.chop(1);
    return output;
}

QString failureDescription(const ProcessRun& run, const QString& standardError)
{
    if (!standardError.isEmpty())
        return standardError;
    if (run.exited)
        return QStringLiteral("The administrator command failed with exit status %1.").arg(run.exitCode);
    return QStringLiteral("The administrator command crashed: %1").arg(run.errorString);
}

}  // namespace Platform
