#include "Platform/RootCommands.h"

#include "Platform/AdministratorShell.h"
#include "Platform/HiddenSiblings.h"
#include "Platform/Paths.h"

namespace Platform {

namespace {

QString freshSiblingOf(const QString& realPath)
{
    const std::optional<ItemPath> item = itemPath(toPath(realPath));
    if (!item)
        return realPath + QStringLiteral(".foldwise-staging");
    return fromPath(HiddenSiblings(item->folder, item->name).freshName());
}

// Removes what an earlier run left, whether or not that works: the rest of the command does not
// depend on it.
QString sweepOf(const QStringList& leftovers)
{
    if (leftovers.isEmpty())
        return {};
    QStringList quoted;
    for (const QString& leftover : leftovers)
        quoted.append(shellSingleQuoted(leftover));
    return QStringLiteral("'rm' -R -f %1; ").arg(quoted.join(QLatin1Char(' ')));
}

}  // namespace

RootCommand rootCopyCommand(const QString& realSource, const QString& realDestination, const QStringList& leftovers)
{
    const QString sibling = freshSiblingOf(realDestination);
    const QString staged = shellSingleQuoted(sibling);
    const QString contents = shellSingleQuoted(realSource + QStringLiteral("/."));
    const QString text = sweepOf(leftovers)
        + QStringLiteral("'mkdir' %1 && { 'cp' -R %2 %1 && 'chmod' -R go-w %1 && %3 && [ ! -e %1 ] || { 'rm' -R -f %1; "
                         "exit 1; }; }")
              .arg(staged, contents, shellRenameNoReplace(staged, shellSingleQuoted(realDestination)));
    return {text, sibling};
}

RootCommand rootRemovalCommand(const QString& realPath, const QStringList& leftovers)
{
    const QString sibling = freshSiblingOf(realPath);
    const QString item = shellSingleQuoted(realPath);
    const QString aside = shellSingleQuoted(sibling);
    const QString text = sweepOf(leftovers)
        + QStringLiteral("%1 && [ ! -e %2 ] && 'rm' -R %3").arg(shellRenameNoReplace(item, aside), item, aside);
    return {text, sibling};
}

}  // namespace Platform
