#pragma once

#include <QString>

// Keys of the Acrobat instance records and of the installed copy records.
namespace ALKey {
inline const QString Title = QStringLiteral("Title");
inline const QString Path = QStringLiteral("Path");
inline const QString Icon = QStringLiteral("Icon");
inline const QString ButtonCaption = QStringLiteral("ButtonCaption");
inline const QString Version = QStringLiteral("Version");
inline const QString FW = QStringLiteral("FW");
}  // namespace ALKey
