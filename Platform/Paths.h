#pragma once

#include <QByteArray>
#include <QString>
#include <string>

namespace Platform {

// Joins two path parts with exactly one "/" between them.
QString appendingPathComponent(const QString& path, const QString& component);

// The path without the slashes that end it; "/" itself stays "/". The byte form is for paths
// already encoded for the file system.
QString withoutTrailingSlashes(QString path);
std::string withoutTrailingSlashes(std::string path);

// Whether an encoded file name reads back as text that names the same bytes again. A name that
// is not valid UTF-8 would come back as a look-alike (U+FFFD in place of each bad byte), which
// may name another entry or none: such a name is skipped rather than acted on as the look-alike.
bool encodedNameRoundTrips(const QByteArray& name);

}  // namespace Platform
