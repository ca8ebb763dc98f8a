#pragma once

#include <QString>
#include <QStringList>

namespace Platform {

// A shell command for root, and the hidden sibling of the item that it works in.
struct RootCommand {
    QString text;
    QString sibling;
};

// Root's copy and removal, staged like the user's own so that a stop at any point (a kill, a
// full disk) leaves the old or the new item under the real name, and built only from
// single-quoted real paths, so that pkexec's prompt shows exactly what root will do.
// The copy makes a fresh hidden sibling (failing if anything is there), copies the source's
// contents into it, takes group and other write away from all it copied (a default ACL of the
// folder would give them), and renames it into place without replacing anything; when a step
// fails it removes the sibling again.
// Both first clear away `leftovers`, the hidden siblings beside the item that an earlier run left
// and the user's rights could not remove.
RootCommand rootCopyCommand(const QString& realSource, const QString& realDestination,
                            const QStringList& leftovers = {});
// The removal renames the item to a fresh hidden sibling in one step, then deletes that.
RootCommand rootRemovalCommand(const QString& realPath, const QStringList& leftovers = {});

// This system's shell words that rename one quoted path to another without replacing, nor moving
// into, anything that stands at the second (Platform/<system>/RootCommandParts.cpp).
QString shellRenameNoReplace(const QString& quotedFrom, const QString& quotedTo);

}  // namespace Platform
