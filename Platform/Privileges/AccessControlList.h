#pragma once

#include <optional>
#include <sys/stat.h>
#include <sys/types.h>
#include <vector>

namespace Platform {

// Who a folder's access control list lets add, remove or rename its entries.
struct AclWriters {
    std::vector<uid_t> users;
    std::vector<gid_t> groups;
    // Whether the folder's own group may, as the list has it; it stands for the mode's group bits.
    bool owningGroupWrites = false;
};

// Reads the list of the folder open at `fd` (Platform/<system>/AccessControlList.cpp): 0 with
// `writers` none when it has no list beyond its mode, or the error number when the list cannot
// be read.
int aclWritersOf(int fd, const struct stat& info, std::optional<AclWriters>& writers);

}  // namespace Platform
