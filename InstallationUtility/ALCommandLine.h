#pragma once

#include "InstallationUtility/ALCommandLineArguments.h"
#include "InstallationUtility/ALCommandLineReport.h"
#include "Platform/App/Services.h"

#include <QTextStream>
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

// The installer without its window, for administrators and fleet tools: lists the Acrobat
// installations, installs or uninstalls through the same delegate rules as the window, and
// tells the outcome by its exit status. Where the window would show an alert, one line goes to
// standard error instead.
class ALCommandLine {
public:
    // The services for the one running the command, or, as root with --user, for each user
    // named (with that user's Application Support folder, processes and rights in their home).
    using ServicesFor = std::function<std::optional<Platform::Services>(const std::optional<QString>& user)>;
    struct Options {
        // The names of the people who log in here, for --all-users.
        std::function<QStringList()> loginUsers;
        // Asked between installations: a signal stops the run after the step under way.
        std::function<bool()> stopRequested;
        // For --user: the user's home, and whether anyone at all runs an executable; an Acrobat
        // whose plug-in folder lies outside the user's home is shared, so every user's counts.
        std::function<std::optional<QString>(const QString& user)> homeOf;
        std::shared_ptr<Platform::Workspace> everyone;
        // Where each change and each failure is also told, for an audit trail.
        std::function<void(const QString& line, bool failure)> journal;
        // The lock taken before discovery, and how long to wait for another run; none to run unlocked.
        QString lockPath;
        std::chrono::milliseconds lockWait{10000};
        // The name of the account that runs the command, for the JSON documents.
        QString caller;
    };

    ALCommandLine(ServicesFor servicesFor, QTextStream& out, QTextStream& err, Options options);

    // Runs the request and gives the exit status.
    int run(const ALCommandLineRequest& request);

    // The program's entry point when it is started with arguments.
    static int main(int argc, char* argv[]);

    struct Session;

private:
    // One session per user asked for, each with its installations found; none after a usage
    // error, which is told before anything is done.
    std::optional<std::vector<std::unique_ptr<Session>>> sessionsFor(const ALCommandLineRequest& request);
    int list(const ALCommandLineRequest& request);
    int installOrUninstall(const ALCommandLineRequest& request);
    // Acts on one installation, tells how it went, and gives its exit status.
    int act(Session& session, const QString& path, const ALCommandLineRequest& request);
    ALCommandLineReport::Outcome decide(Session& session, int row, const ALCommandLineRequest& request, int& status);
    ALCommandLineReport::Outcome upgrade(Session& session, int row, const ALCommandLineRequest& request, int& status);
    ALCommandLineReport::Outcome change(Session& session, int row, const ALCommandLineRequest& request, int& status);
    // After a failed change: the real cause, then what the window would have said.
    QString tellFailure(Session& session, const QString& subject, bool journal);
    bool neverRun(Session& session, const QVariantMap& instance) const;
    // A line about an installation on standard output, which --json keeps for its document.
    void say(const QString& line);
    // The run's exit status, once its JSON document is printed when one was asked for.
    int finished(const ALCommandLineRequest& request, int status);

    ServicesFor m_servicesFor;
    Options m_options;
    QTextStream& m_out;
    QTextStream& m_err;
    std::optional<ALCommandLineReport> m_report;
    bool m_json = false;
};
