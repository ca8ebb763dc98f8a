#include "SearchPaths.h"

#include <QDir>
#include <QStandardPaths>

namespace Platform {

QStringList applicationSupportDirectories()
{
    const QString location = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (location.isEmpty() || !QDir::isAbsolutePath(location))
        return {};
    return {location};
}

}  // namespace Platform
