#pragma once

#include <QString>
#include <QStringList>

#include <filesystem>
#include <functional>
#include <optional>
#include <system_error>

namespace Platform {

// Why a copy or a removal failed.
struct FileError {
    // The system's error number for the step that failed (EACCES, ENOSPC, EEXIST, …).
    int code = 0;
    // For people: what was attempted, on which item, and why it failed.
    QString description;
    // Something the attempt moved aside or made and could not clear away again.
    std::optional<QString> leftBehind;
    // Whether the step that failed was making, renaming or removing an entry of the folder that
    // holds the item, the one failure that more rights on that folder can mend; not reading what
    // is copied, nor working inside a copy.
    bool inHoldingFolder = false;
    // Hidden siblings of ours (what an earlier run left, or this one's empty staging folder) that
    // could not be cleared away, and why (`unsweptCode`); set whether the operation succeeded or
    // not, so that a good install that leaves one behind can say so.
    QStringList unswept;
    int unsweptCode = 0;
};

class FileManager {
public:
    virtual ~FileManager() = default;
    // Whether anything (file, folder, link to an existing item) is at the path.
    virtual bool fileExistsAtPath(const QString& path) = 0;
    // The same, links followed, but only the system's "no such entry" counts as nothing there:
    // none, described in `error`, when it cannot tell (an I/O error, a folder on the way that
    // may not be searched, a file where a folder should be).
    virtual std::optional<bool> existenceAtPath(const QString& path, FileError* error = nullptr) = 0;
    // Whether nothing at all is at the path itself: true only when the system answers that there
    // is no such entry. An item, a dangling link or a folder on the way that may not be searched
    // all answer false, described in `error`. Links are not followed.
    virtual bool nothingAtPath(const QString& path, FileError* error = nullptr) = 0;
    // Copies a file or folder tree to the destination path, which must not exist yet.
    virtual bool copyItem(const QString& source, const QString& destination, FileError* error = nullptr) = 0;
    // Puts a copy of the source in the place of the item at the destination, which must be
    // there: the copy is made beside it and exchanged with it in one step, then the old item is
    // deleted. The destination's name holds the old item or the whole new one at every moment,
    // and a failure leaves the old item as it was.
    virtual bool replaceItem(const QString& source, const QString& destination, FileError* error = nullptr) = 0;
    // Removes a file or folder tree; a link is removed, never followed.
    virtual bool removeItem(const QString& path, FileError* error = nullptr) = 0;
    // Clears away the hidden siblings that an earlier run of ours left beside the item at the
    // path (only names of our own pattern); false, with `error->unswept`, when some stay.
    virtual bool sweepLeftovers(const QString& path, FileError* error = nullptr) = 0;
    // Whether a call on the path works with this process's own rights (root's, when root runs)
    // rather than as another user.
    virtual bool actsWithOwnRights(const QString& path) const
    {
        (void)path;
        return true;
    }
    // The path with its folder made absolute and resolved through every link, its own name kept
    // as it is: the name under which another process, in another working folder, reaches the
    // same item. None when the folder cannot be resolved or the result cannot be written exactly.
    virtual std::optional<QString> resolvedPath(const QString& path, FileError* error = nullptr) = 0;
};

// The local file system. A copy is made into a hidden sibling of the destination and renamed
// into place, so a copy that fails part-way leaves nothing behind; a removal first renames the
// item to a hidden sibling, so one that fails part-way leaves nothing under the item's name.
// What a crashed run left in those siblings is cleared away by the next copy or removal there.
class LocalFileManager : public FileManager {
public:
    bool fileExistsAtPath(const QString& path) override;
    std::optional<bool> existenceAtPath(const QString& path, FileError* error = nullptr) override;
    bool nothingAtPath(const QString& path, FileError* error = nullptr) override;
    bool copyItem(const QString& source, const QString& destination, FileError* error = nullptr) override;
    bool replaceItem(const QString& source, const QString& destination, FileError* error = nullptr) override;
    bool removeItem(const QString& path, FileError* error = nullptr) override;
    bool sweepLeftovers(const QString& path, FileError* error = nullptr) override;
    std::optional<QString> resolvedPath(const QString& path, FileError* error = nullptr) override;

protected:
    // Copies the item at `from` to `to`, which does not exist yet: a folder with all it holds,
    // links as links; permission bits as a plain `cp -R` gives them (the umask applies,
    // set-ID bits are dropped). Calls itself for each item inside a folder. May leave a partial
    // copy behind when it fails; copyItem clears that away.
    virtual bool copyTree(const std::filesystem::path& from, const std::filesystem::path& to, std::error_code& error);
    // Deletes a file or tree, not following links.
    virtual bool removeTree(const std::filesystem::path& path, std::error_code& error);

private:
    // Copies the source into a fresh hidden sibling of the destination and puts it in place
    // with `place` (the staged copy's path, the destination's), which gives back 0 or the error
    // number; whatever the staging folder holds afterwards is deleted.
    bool stagedCopy(const QString& source, const QString& destination, bool replacing,
                    const std::function<int(const char* staged, const char* item)>& place, FileError* error);
};

}  // namespace Platform
