#pragma once

#include <QByteArray>
#include <QString>
#include <filesystem>
#include <optional>
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

// A path as the file system takes it (its bytes in the local encoding), and back as text.
std::filesystem::path toPath(const QString& path);
QString fromPath(const std::filesystem::path& path);

// An item's path split into its folder and its own name, trailing slashes ignored; a name
// alone lies in ".". None for a path that names no item of its own: empty, "/", "." or "..".
struct ItemPath {
    std::filesystem::path item;
    std::filesystem::path folder;
    std::string name;
};
std::optional<ItemPath> itemPath(const std::filesystem::path& path);

// The path with its folder made absolute and resolved through every link, its own name kept as
// it is: how another process, in another working folder, reaches the same item, and how the
// system shows a process's executable even once the file is gone. None when the path names no
// item (EINVAL) or its folder cannot be resolved (realpath's error), the number in `error`.
std::optional<std::string> withResolvedFolder(const std::filesystem::path& path, int* error = nullptr);

}  // namespace Platform
