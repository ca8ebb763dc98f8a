#pragma once

#include "Platform/Files/FileManager.h"
#include "Platform/Privileges/RootCommands.h"
#include "Platform/Privileges/RootOnlyFolder.h"

#include <QString>
#include <optional>

namespace Platform {

// What root is to do in place of an attempt with the user's own rights that failed: the command
// for the password prompt, built on real paths, or why root is not asked.
struct RootStep {
    std::optional<RootCommand> command;
    // Without a command: why, in words for the user.
    QString reason;
    // Whether the reason is the rule keeping root out (root could act, but must not there), rather
    // than the plain attempt's own failure, which no rights would mend.
    bool refused = false;
};

// The one place that decides whether root may act on an item, and on which real paths: for the
// window's password prompt after the user's own rights fell short, and for root acting by itself
// (the command line run as root). Everything it allows is where only root and administrators can
// change the folders on the way (RootOnlyRule), and a copy only onto a free name.
class RootWarrant {
public:
    RootWarrant(FileManager& files, const RootOnlyRule& rule);

    // Whether root may make up for the failure: missing rights on the folder that holds the item,
    // never a full disk, a read-only file system, an item in the way or a source the user may not
    // read, and never once the attempt moved something aside that it could not put back.
    static bool makesUpFor(const FileError& plain);

    // Root's copy of `source` to `destination` after the user's own copy failed with `plain`.
    RootStep copyInPlaceOf(const QString& source, const QString& destination, const FileError& plain) const;
    // Root's removal of the item at `path` after the user's own removal failed with `plain`.
    RootStep removalInPlaceOf(const QString& path, const FileError& plain) const;

    // Why root, acting with its own rights rather than a user's, must not act on the item at
    // `itemPath` (the reason ending as given): a folder or link on the way that someone else
    // controls could lead it into a folder of root's, or to another program's item of that name.
    // None where it may, where the process is not root, or where the files are handled with a
    // user's rights.
    std::optional<QString> whyNotByItself(const QString& itemPath, const QString& ending) const;

    // Where a root command that failed left its hidden sibling; none when nothing is there.
    std::optional<QString> leftBy(const RootCommand& command) const;

private:
    std::optional<QString> whyNotOnto(const QString& realDestination) const;
    std::optional<QString> whyNotIn(const QString& realPath) const;

    FileManager& m_files;
    const RootOnlyRule& m_rule;
};

}  // namespace Platform
