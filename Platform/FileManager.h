#pragma once

#include <QString>

#include <filesystem>

namespace Platform {

class FileManager {
public:
    virtual ~FileManager() = default;
    // Whether anything (file, folder, link to an existing item) is at the path.
    virtual bool fileExistsAtPath(const QString& path) = 0;
    // Copies a file or folder tree to the destination path, which must not exist yet.
    virtual bool copyItem(const QString& source, const QString& destination) = 0;
    // Removes a file or folder tree; a link is removed, never followed.
    virtual bool removeItem(const QString& path) = 0;
};

// The local file system. A copy is made into a hidden sibling of the destination and renamed
// into place, so a copy that fails part-way leaves nothing behind.
class LocalFileManager : public FileManager {
public:
    bool fileExistsAtPath(const QString& path) override;
    bool copyItem(const QString& source, const QString& destination) override;
    bool removeItem(const QString& path) override;

protected:
    // Copies the item at `from` to `to`, which does not exist yet: a folder with all it holds,
    // links as links, permission bits kept. Calls itself for each item inside a folder. May
    // leave a partial copy behind when it fails; copyItem clears that away.
    virtual bool copyTree(const std::filesystem::path& from, const std::filesystem::path& to);
};

}  // namespace Platform
