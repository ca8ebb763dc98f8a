#pragma once

#include "InstallationUtility/ALCommandLineArguments.h"
#include "Platform/Services.h"

#include <QTextStream>
#include <functional>

// The installer without its window, for administrators and fleet tools: lists the Acrobat
// installations, installs or uninstalls through the same delegate rules as the window, and
// tells the outcome by its exit status. Where the window would show an alert, one line goes to
// standard error instead.
class ALCommandLine {
public:
    // The services for the one running the command, or, as root with --user, for each user
    // named (with that user's Application Support folder, processes and rights in their home).
    using ServicesFor = std::function<std::optional<Platform::Services>(const std::optional<QString>& user)>;

    ALCommandLine(ServicesFor servicesFor, QTextStream& out, QTextStream& err);

    // Runs the request and gives the exit status.
    int run(const ALCommandLineRequest& request);

    // The program's entry point when it is started with arguments.
    static int main(int argc, char* argv[]);

private:
    int list(bool json);
    int installOrUninstall(const ALCommandLineRequest& request);
    int forUser(const ALCommandLineRequest& request, const std::optional<QString>& user);

    ServicesFor m_servicesFor;
    QTextStream& m_out;
    QTextStream& m_err;
};
