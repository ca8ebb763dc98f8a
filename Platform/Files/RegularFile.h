#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <sys/stat.h>

namespace Platform {

// The whole content of the regular file at `path`, or nothing when something else is there
// (a folder, a pipe, a device), when it holds more than `maxSize` bytes, or when it cannot be
// read. The file is opened once, without blocking, and checked through its descriptor: a pipe
// swapped in after the first look is refused, never waited on. Root opens it by walking the
// path as openFileAsRoot() does (RootPathWalk.h), so a link or a hard link that a user placed
// never leads root to a file of its own.
std::optional<QByteArray> readRegularFile(const QString& path, qint64 maxSize);
// The same for a caller that has just looked at the file by name itself: `named` is what stat()
// gave for `encodedPath`, so that the name is not looked up twice.
std::optional<QByteArray> readRegularFile(const QByteArray& encodedPath, const struct stat& named, qint64 maxSize);

}  // namespace Platform
