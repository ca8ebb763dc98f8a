#include "Platform/SearchPaths.h"

namespace Platform {

QString applicationSupportDirectoryInHome(const QString& home)
{
    return home + QStringLiteral("/Library/Application Support");
}

}  // namespace Platform
