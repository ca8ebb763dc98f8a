#pragma once

#include "Platform/Privileges/RootOnlyFolder.h"

#include <QByteArray>
#include <QByteArrayList>
#include <sys/types.h>

namespace Platform {

// The administrators that polkit's rule files name: every "unix-group:" and "unix-user:" in what
// their addAdminRule calls return. Names that this system does not know are left out.
AdministratorIdentities administratorsInPolkitRules(const QByteArrayList& ruleFiles);

// The user mount, if any, among /proc/self/mountinfo's entries (`mountInfo`) that is the mount of
// that id (or, without one, of that device): FUSE mounted by a user, removable media that udisks
// mounted below /media or /run/media (nosuid and nodev), and what /run/mount/utab (`userTable`)
// notes as mounted by a user or a helper.
std::optional<UserMount> userMountIn(const QByteArray& mountInfo, const QByteArray& userTable,
                                     std::optional<int> mountId, dev_t device);

}  // namespace Platform
