#include "Platform/Privileges/RootCommands.h"

namespace Platform {

// GNU mv: -T never moves into a folder at the destination, -n renames with RENAME_NOREPLACE and
// leaves the source where it is when something is there (which the command then checks).
QString shellRenameNoReplace(const QString& quotedFrom, const QString& quotedTo)
{
    return QStringLiteral("'mv' -n -T %1 %2").arg(quotedFrom, quotedTo);
}

}  // namespace Platform
