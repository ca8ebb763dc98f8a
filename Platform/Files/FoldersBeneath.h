#pragma once

// Opening a folder below one that someone other than root can change, so that nothing they put
// there can lead root elsewhere. Platform/<system>/FoldersBeneath.cpp holds the best form each
// system has; Platform/Files/FoldersBeneath.cpp the step-by-step walk they fall back on.
#include "Platform/Files/UniqueFd.h"

#include <QByteArray>
#include <fcntl.h>

namespace Platform {

// How a folder is opened to walk on from it: only as a starting point of openat() and fstat()
// where the system can, so that opening it reads nothing and needs no right to list it.
#if defined(O_PATH)
inline constexpr int kWalkFolderFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
#elif defined(O_SEARCH)
inline constexpr int kWalkFolderFlags = O_SEARCH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
#else
inline constexpr int kWalkFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
#endif

// The folder at `relative` (components split by "/", none of them "..") below `folder`, reached
// without following any link. The error number in `error` when it is not opened: ELOOP when a
// link stands on the way, EXDEV for an absolute path or a ".." step.
UniqueFd openFolderBeneath(int folder, const QByteArray& relative, int& error);
// The same one component at a time, as every system can.
UniqueFd openFolderBeneathStepByStep(int folder, const QByteArray& relative, int& error);

// The folder at the absolute `path` in one call, when no link stands anywhere on it and no ".."
// is taken: ELOOP for a link, EXDEV for "..", ENOSYS where the system has no such call.
UniqueFd openFolderWithoutLinks(const QByteArray& path, int& error);

}  // namespace Platform
