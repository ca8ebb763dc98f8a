#include "Platform/RootOnlyFolder.h"

namespace Platform {

// No folder that a plug-in folder lies in is meant to be shared with a group of administrators.
bool isSharedWithAdministrators(const std::string&, const struct stat&)
{
    return false;
}

}  // namespace Platform
