#pragma once

#include "Platform/Privileges/AdministratorShell.h"

namespace Platform {

// Runs the command through /bin/sh under pkexec; the desktop's polkit agent asks for the password.
class PkexecAdministratorShell : public AdministratorShell {
public:
    explicit PkexecAdministratorShell(QString pkexecPath = QStringLiteral("/usr/bin/pkexec"));
    Result run(const QString& commandText) override;

private:
    QString m_pkexecPath;
};

}  // namespace Platform
