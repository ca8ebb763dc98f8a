#include "Platform/Files/FoldersBeneath.h"

#include <cerrno>

namespace Platform {

// The system's own O_NOFOLLOW_ANY would do in one call from macOS 11 on; the step-by-step walk
// keeps older systems and this code the same.
UniqueFd openFolderBeneath(int folder, const QByteArray& relative, int& error)
{
    return openFolderBeneathStepByStep(folder, relative, error);
}

UniqueFd openFolderWithoutLinks(const QByteArray&, int& error)
{
    error = ENOSYS;
    return UniqueFd();
}

}  // namespace Platform
