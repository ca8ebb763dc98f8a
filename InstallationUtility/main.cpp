#include "InstallationUtility/MainWindowNib.h"

int main(int argc, char* argv[])
{
    return Platform::applicationMain(argc, argv, [] { return loadMainWindowNib(Platform::Services::system()); });
}
