#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <sys/stat.h>
#include <sys/types.h>
#include <vector>

namespace Platform {

// Who may become root with their own password besides root itself: the users and the members of
// the groups that the system names as administrators.
struct AdministratorIdentities {
    std::vector<uid_t> users;
    std::vector<gid_t> groups;
};

// A file system mounted for a user (removable media, disk images, FUSE): whoever it was mounted
// for can swap it for one of their own making while root works there, whatever its files'
// owners say.
struct UserMount {
    QString mountPoint;
    std::optional<uid_t> user;  // none when it cannot be told for whom
};

// What the rule needs to know of this system; each system gives its own
// (Platform/<system>/RootRuleFacts.cpp), tests their own.
struct RootRuleFacts {
    std::function<AdministratorIdentities()> administrators;
    // The user mount that holds the folder open at `folderFd`, if it lies on one.
    std::function<std::optional<UserMount>(int folderFd, const struct stat& info)> userMountOf;

    static RootRuleFacts ofThisSystem();
};

// Root is asked to act only on a path that nobody who could not already become root can change
// while the password prompt is up. A folder passes when every party that may write it is root
// or an administrator: its owner; its group's members when it is group-writable; whoever an
// access control list lets write it; others never, except that above the folder root acts in, a
// sticky folder (like /tmp) lets others add entries of their own but never move ours. A file
// system mounted for a user counts as changeable by that user.
class RootOnlyRule {
public:
    explicit RootOnlyRule(RootRuleFacts facts = RootRuleFacts::ofThisSystem());

    // Why someone who is no administrator could change `folder` or a folder above it, in words
    // for the user with what an administrator can do; none when root may act there. `folder` is
    // an absolute path without links, such as resolvedPath gives; each step is opened by
    // descriptor from "/" down without following links, so the answer is about the very folders
    // that root will act in.
    std::optional<QString> whyOthersCanChange(const QString& folder) const;

    // The same for an item to be copied by root, and everything in it: a plug-in that its user
    // could swap, or change, while the prompt is up must not be copied by root into a shared place.
    std::optional<QString> whyOthersCanChangeTree(const QString& item) const;

    // The same, the reason ending as given instead of with what an administrator can do there.
    std::optional<QString> whyOthersCanChange(const QString& folder, const std::optional<QString>& ending) const;

    // The same for a folder named by a path that may pass through links: the folders holding
    // the links count too, since whoever can change one of them can lead the path elsewhere.
    std::optional<QString> whyOthersCanRedirect(const QString& folder, const std::optional<QString>& ending) const;

    bool isAdministrator(uid_t user) const;

private:
    RootRuleFacts m_facts;
};

// The rule with this system's facts.
std::optional<QString> whyOthersCanChange(const QString& folder);

}  // namespace Platform
