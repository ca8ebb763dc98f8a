#include "InstallationUtility/ALCommandLine.h"
#include "InstallationUtility/MainWindowNib.h"

int main(int argc, char* argv[])
{
    // Started with our options, the installer works without its window.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    if (isCommandLineRequest(arguments))
        return ALCommandLine::main(argc, argv);
    return Platform::applicationMain(argc, argv, [] { return loadMainWindowNib(Platform::Services::system()); });
}
