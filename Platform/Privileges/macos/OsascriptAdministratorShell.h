#pragma once

#include "Platform/Privileges/AdministratorShell.h"

namespace Platform {

// Runs the command as an AppleScript "do shell script … with administrator privileges" through
// osascript; the system asks for the password.
class OsascriptAdministratorShell : public AdministratorShell {
public:
    Result run(const QString& commandText) override;
};

}  // namespace Platform
