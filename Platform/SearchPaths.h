#pragma once

#include <QStringList>

namespace Platform {

// The user's Application Support folders, most relevant first; empty when none can be determined.
QStringList applicationSupportDirectories();

}  // namespace Platform
