#pragma once

#include "Platform/Privileges/linux/PkexecAdministratorShell.h"
#include "tests/support/Fixtures.h"

#include <memory>

// The real administrator shell, with a shell script of the given body at path standing in for
// pkexec. The script gets pkexec's arguments: --disable-internal-agent, /bin/sh, -c and the
// command text.
inline std::shared_ptr<Platform::PkexecAdministratorShell> pkexecStandIn(const QString& path, const QByteArray& body)
{
    return std::make_shared<Platform::PkexecAdministratorShell>(Fixtures::writeScript(path, body));
}

// A stand-in body that runs the command as the calling user, once it has been told not to fall
// back to a text prompt.
inline const QByteArray kPkexecRunningTheCommand = "[ \"$1\" = --disable-internal-agent ] && shift && exec \"$@\"";
// A stand-in body that ends as pkexec does when the user dismisses its password prompt.
inline const QByteArray kPkexecDismissingThePrompt =
    "echo 'Error executing command as another user: Request dismissed' >&2; exit 126";
