#pragma once

#include <QString>
#include <QStringList>

namespace Platform {

// The user's Application Support folders, most relevant first; empty when none can be determined.
QStringList applicationSupportDirectories();

// The Application Support folder inside a home folder, as this system lays homes out; for
// working on another user's behalf, whose environment we do not have.
QString applicationSupportDirectoryInHome(const QString& home);

// Where root's lock files live: a folder only root writes, kept in memory and emptied at boot.
QString systemLockFolder();

}  // namespace Platform
