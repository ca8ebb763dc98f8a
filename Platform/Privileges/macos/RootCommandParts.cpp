#include "Platform/Privileges/RootCommands.h"

namespace Platform {

// The system's mv has no -T and would move into a folder standing at the destination: the check
// before it keeps that from happening in a folder that only root and administrators can change.
QString shellRenameNoReplace(const QString& quotedFrom, const QString& quotedTo)
{
    return QStringLiteral("[ ! -e %2 ] && [ ! -L %2 ] && 'mv' -n %1 %2").arg(quotedFrom, quotedTo);
}

}  // namespace Platform
