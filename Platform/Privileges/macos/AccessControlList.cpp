#include "Platform/Privileges/AccessControlList.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/param.h>
#include <membership.h>
#include <sys/acl.h>
#include <sys/stat.h>

namespace Platform {

namespace {

// Rights that let a holder add, remove or rename the folder's entries, or give itself more.
bool letsChangeEntries(acl_permset_t permissions)
{
    for (const acl_perm_t right : {ACL_ADD_FILE, ACL_ADD_SUBDIRECTORY, ACL_DELETE_CHILD, ACL_WRITE_SECURITY,
                                   ACL_CHANGE_OWNER}) {
        if (acl_get_perm_np(permissions, right) == 1)
            return true;
    }
    return false;
}

}  // namespace

int aclWritersOf(int fd, const struct stat& info, std::optional<AclWriters>& writers)
{
    writers.reset();
    acl_t acl = acl_get_fd_np(fd, ACL_TYPE_EXTENDED);
    // A descriptor opened only to search the folder may not be read from: by its path then.
    char path[MAXPATHLEN];
    if (!acl && errno == EBADF && ::fcntl(fd, F_GETPATH, path) == 0)
        acl = acl_get_link_np(path, ACL_TYPE_EXTENDED);
    if (!acl)
        return errno == ENOENT ? 0 : errno;
    AclWriters found;
    // Extended entries come on top of the mode, which keeps its say.
    found.owningGroupWrites = (info.st_mode & S_IWGRP) != 0;
    acl_entry_t entry;
    for (int which = ACL_FIRST_ENTRY; acl_get_entry(acl, which, &entry) == 0; which = ACL_NEXT_ENTRY) {
        acl_tag_t tag;
        acl_permset_t permissions;
        if (acl_get_tag_type(entry, &tag) != 0 || tag != ACL_EXTENDED_ALLOW || acl_get_permset(entry, &permissions) != 0
            || !letsChangeEntries(permissions))
            continue;
        auto* qualifier = static_cast<guid_t*>(acl_get_qualifier(entry));
        id_t id = 0;
        int type = 0;
        const bool known = qualifier && mbr_uuid_to_id(qualifier->g_guid, &id, &type) == 0;
        if (qualifier)
            acl_free(qualifier);
        if (known && type == ID_TYPE_GID)
            found.groups.push_back(gid_t(id));
        else
            // Someone we cannot name counts as no administrator.
            found.users.push_back(known ? uid_t(id) : uid_t(-1));
    }
    acl_free(acl);
    writers = found;
    return 0;
}

}  // namespace Platform
