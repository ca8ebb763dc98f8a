#include "Platform/Privileges/RootOnlyFolder.h"

#include <grp.h>
#include <sys/mount.h>
#include <sys/param.h>

namespace Platform {

RootRuleFacts RootRuleFacts::ofThisSystem()
{
    RootRuleFacts facts;
    // The system lets the members of "admin" become root with their own password.
    facts.administrators = [] {
        AdministratorIdentities administrators;
        if (const struct group* admin = ::getgrnam("admin"))
            administrators.groups.push_back(admin->gr_gid);
        return administrators;
    };
    // A volume that a user mounted (a disk image, removable media) is that user's; one that
    // ignores ownership is anyone's.
    facts.userMountOf = [](int folderFd, const struct stat&) -> std::optional<UserMount> {
        struct statfs volume;
        if (::fstatfs(folderFd, &volume) != 0)
            return UserMount{QStringLiteral("(unknown)"), std::nullopt};
        const QString mountPoint = QString::fromUtf8(volume.f_mntonname);
        if ((volume.f_flags & MNT_IGNORE_OWNERSHIP) != 0)
            return UserMount{mountPoint, std::nullopt};
        if (volume.f_owner != 0)
            return UserMount{mountPoint, volume.f_owner};
        return std::nullopt;
    };
    return facts;
}

}  // namespace Platform
