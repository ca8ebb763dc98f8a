#pragma once

#include <QString>

// The identifiers of the window's two table columns: each row's installation and its button.
namespace ALColumn {
inline const QString Data = QStringLiteral("Data");
inline const QString Button = QStringLiteral("Button");
}  // namespace ALColumn
