#include "Platform/Files/RunAsUser.h"
#include "Platform/Files/SearchPaths.h"

namespace Platform {

// Where XDG_DATA_HOME points when a user has not moved it.
QString applicationSupportDirectoryInHome(const QString& home)
{
    return home + QStringLiteral("/.local/share");
}

QString systemLockFolder()
{
    return QStringLiteral("/run/lock");
}

uid_t firstLoginUid()
{
    return 1000;
}

}  // namespace Platform
