#include "Platform/SearchPaths.h"

namespace Platform {

// Where XDG_DATA_HOME points when a user has not moved it.
QString applicationSupportDirectoryInHome(const QString& home)
{
    return home + QStringLiteral("/.local/share");
}

}  // namespace Platform
