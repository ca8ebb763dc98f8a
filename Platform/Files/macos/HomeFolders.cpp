#include "Platform/Files/RunAsUser.h"
#include "Platform/Files/SearchPaths.h"

namespace Platform {

QString applicationSupportDirectoryInHome(const QString& home)
{
    return home + QStringLiteral("/Library/Application Support");
}

QString systemLockFolder()
{
    return QStringLiteral("/var/run");
}

uid_t firstLoginUid()
{
    return 501;
}

}  // namespace Platform
