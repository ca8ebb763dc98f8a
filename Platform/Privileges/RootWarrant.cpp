#include "Platform/Privileges/RootWarrant.h"

#include "Platform/Files/Paths.h"

#include <QFileInfo>
#include <cerrno>
#include <unistd.h>

namespace Platform {

namespace {

RootStep notForRoot(const QString& reason)
{
    return {std::nullopt, reason, false};
}

RootStep refusedBecause(const QString& reason)
{
    return {std::nullopt, reason, true};
}

QString folderOf(const QString& path)
{
    return QFileInfo(path).path();
}

// The hidden siblings that the user's sweep left beside the item, by their names in its real folder.
QStringList leftoversBeside(const QString& realPath, const FileError& plain)
{
    QStringList leftovers;
    for (const QString& leftover : plain.unswept)
        leftovers.append(appendingPathComponent(folderOf(realPath), QFileInfo(leftover).fileName()));
    return leftovers;
}

}  // namespace

RootWarrant::RootWarrant(FileManager& files, const RootOnlyRule& rule) : m_files(files), m_rule(rule) {}

bool RootWarrant::makesUpFor(const FileError& plain)
{
    return (plain.code == EACCES || plain.code == EPERM) && plain.inHoldingFolder && !plain.leftBehind;
}

// Root acts on the folders the user saw, by names that hold no link and no relative part (pkexec
// starts the shell in another working folder), and only onto a free destination: `cp -R` would
// copy into a folder standing there and write through links in it.
RootStep RootWarrant::copyInPlaceOf(const QString& source, const QString& destination, const FileError& plain) const
{
    if (!makesUpFor(plain))
        return notForRoot(plain.description);
    FileError unresolved;
    const std::optional<QString> realSource = m_files.resolvedPath(source, &unresolved);
    const std::optional<QString> realDestination = realSource ? m_files.resolvedPath(destination, &unresolved)
                                                              : std::nullopt;
    if (!realDestination)
        return notForRoot(unresolved.description);
    if (const auto refusal = whyNotOnto(*realDestination))
        return refusedBecause(*refusal);
    // What root copies must be as safe from others as where it goes.
    if (const auto refusal = m_rule.whyOthersCanChangeTree(*realSource))
        return refusedBecause(*refusal);
    return {rootCopyCommand(*realSource, *realDestination, leftoversBeside(*realDestination, plain)), {}, false};
}

// Only a copy that could not even be moved aside for lack of rights comes here; once moved, what
// is left is named in the plain failure instead.
RootStep RootWarrant::removalInPlaceOf(const QString& path, const FileError& plain) const
{
    if (!makesUpFor(plain))
        return notForRoot(plain.description);
    FileError unresolved;
    const std::optional<QString> realPath = m_files.resolvedPath(path, &unresolved);
    if (!realPath)
        return notForRoot(unresolved.description);
    if (const auto refusal = whyNotIn(*realPath))
        return refusedBecause(*refusal);
    return {rootRemovalCommand(*realPath, leftoversBeside(*realPath, plain)), {}, false};
}

std::optional<QString> RootWarrant::whyNotByItself(const QString& itemPath, const QString& ending) const
{
    if (::geteuid() != 0 || !m_files.actsWithOwnRights(itemPath))
        return std::nullopt;
    return m_rule.whyOthersCanRedirect(QFileInfo(itemPath).absolutePath(), ending);
}

std::optional<QString> RootWarrant::leftBy(const RootCommand& command) const
{
    if (m_files.nothingAtPath(command.sibling))
        return std::nullopt;
    return command.sibling;
}

std::optional<QString> RootWarrant::whyNotIn(const QString& realPath) const
{
    return m_rule.whyOthersCanChange(folderOf(realPath));
}

std::optional<QString> RootWarrant::whyNotOnto(const QString& realDestination) const
{
    if (auto reason = whyNotIn(realDestination))
        return reason;
    FileError taken;
    if (!m_files.nothingAtPath(realDestination, &taken))
        return taken.description
            + QStringLiteral(", so the installer will not ask for administrator rights to copy there. An "
                             "administrator can clear the way, or install Foldwise from a root shell.");
    return std::nullopt;
}

}  // namespace Platform
