#pragma once

#include <QString>
#include <optional>
#include <string>
#include <sys/stat.h>

namespace Platform {

// Root is asked to act only where nobody but root can change the path while the password prompt
// is up: the folder owned by root and writable by nobody else, and every folder above it owned
// by root and writable by nobody else or sticky (where others may add entries of their own but
// never move root's). Gives why someone other than root could change `folder`, or none when only
// root can. `folder` is an absolute path without links, such as resolvedPath gives; each step is
// opened by descriptor from "/" down without following links, so the answer is about the very
// folders that root will act in.
std::optional<QString> whyOthersCanChange(const QString& folder);

// A folder above the plug-in folder that the system itself lets a group of administrators
// write, and that we accept for that reason; per system (none on Linux).
bool isSharedWithAdministrators(const std::string& path, const struct stat& info);

}  // namespace Platform
