#include "Platform/RunAsUser.h"
#include "Platform/SearchPaths.h"

namespace Platform {

QString applicationSupportDirectoryInHome(const QString& home)
{
    return home + QStringLiteral("/Library/Application Support");
}

uid_t firstLoginUid()
{
    return 501;
}

}  // namespace Platform
