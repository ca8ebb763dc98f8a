#include "Platform/Privileges/AdministratorShell.h"

namespace Platform {

QString shellSingleQuoted(const QString& text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

}  // namespace Platform
