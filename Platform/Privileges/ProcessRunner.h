#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace Platform {

// How a program run to its end went, as the administrator shells need it.
struct ProcessRun {
    bool started = false;
    // Ended by itself rather than crashing or being killed.
    bool exited = false;
    int exitCode = 0;
    QByteArray standardOutput;
    QByteArray standardError;
    // The system's words for why it could not start or did not exit.
    QString errorString;

    bool succeeded() const { return exited && exitCode == 0; }
};

// Runs the program with nothing on its standard input and the umask 022, and waits, without a
// time limit, for it to end: the user may take as long as they like at a password prompt.
ProcessRun runToEnd(const QString& program, const QStringList& arguments);

// A successful command's output as the caller gets it: without the one newline that ends it.
QString withoutFinalNewline(QString output);

// What a failed run says about itself: its standard error when it wrote any, else its exit
// status, else how it crashed.
QString failureDescription(const ProcessRun& run, const QString& standardError);

}  // namespace Platform
