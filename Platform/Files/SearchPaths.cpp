#include "Platform/Files/SearchPaths.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace Platform {

QStringList applicationSupportDirectories()
{
    // The folder comes from XDG_DATA_HOME or HOME. Bytes that are not valid UTF-8 would be read
    // as a look-alike path naming some other folder: then there is no folder we may act on.
    for (const char* variable : {"XDG_DATA_HOME", "HOME"}) {
        const QByteArray value = qgetenv(variable);
        if (QFile::encodeName(QFile::decodeName(value)) != value)
            return {};
    }
    const QString location = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (location.isEmpty() || !QDir::isAbsolutePath(location))
        return {};
    return {location};
}

}  // namespace Platform
