#include "Platform/FolderScanRegistry.h"

#include "Platform/Paths.h"

#include <QDir>
#include <QFile>

namespace Platform {

// On Linux the registry is the folder scan, over the folders applications are kept in.
std::shared_ptr<ApplicationRegistry> makeSystemApplicationRegistry()
{
    // Folders named by bytes that text cannot carry are left out, as names inside them are.
    QStringList folders;
    if (qEnvironmentVariableIsSet("FOLDWISE_APPLICATION_DIRS")) {
        for (const QByteArray& folder : qgetenv("FOLDWISE_APPLICATION_DIRS").split(':')) {
            if (!folder.isEmpty() && encodedNameRoundTrips(folder))
                folders.append(QFile::decodeName(folder));
        }
    } else {
        folders = {QStringLiteral("/Applications")};
        if (encodedNameRoundTrips(qgetenv("HOME")))
            folders.append(QDir::homePath() + QStringLiteral("/Applications"));
    }
    return std::make_shared<FolderScanRegistry>(folders);
}

}  // namespace Platform
