#include "Platform/RootOnlyFolder.h"

#include <grp.h>

namespace Platform {

// The system ships /Applications as root:admin 0775, and an Acrobat before 15 keeps its plug-ins
// inside its bundle there: an administrator's account may rename what it holds. We accept that
// one folder, as the system does, so that the fallback keeps working for those Acrobats.
bool isSharedWithAdministrators(const std::string& path, const struct stat& info)
{
    if (path != "/Applications" || (info.st_mode & S_IWOTH) != 0)
        return false;
    const struct group* admin = ::getgrnam("admin");
    return admin && info.st_gid == admin->gr_gid;
}

}  // namespace Platform
