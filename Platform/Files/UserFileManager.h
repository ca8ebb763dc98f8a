#pragma once

#include "Platform/Files/FileManager.h"
#include "Platform/Files/RunAsUser.h"

#include <QString>
#include <optional>

namespace Platform {

// The file manager root uses when it works for another user: every call on a path inside that
// user's home runs in a child process that has taken on the user's identity and groups first,
// so root never writes into a user's home, what is made there belongs to the user, and a link
// the user put there leads nowhere the user could not reach. Other paths are root's own.
class UserFileManager : public LocalFileManager {
public:
    explicit UserFileManager(UserAccount account);

    bool fileExistsAtPath(const QString& path) override;
    bool nothingAtPath(const QString& path, FileError* error = nullptr) override;
    bool copyItem(const QString& source, const QString& destination, FileError* error = nullptr) override;
    bool replaceItem(const QString& source, const QString& destination, FileError* error = nullptr) override;
    bool removeItem(const QString& path, FileError* error = nullptr) override;
    bool sweepLeftovers(const QString& path, FileError* error = nullptr) override;
    std::optional<QString> resolvedPath(const QString& path, FileError* error = nullptr) override;
    bool actsWithOwnRights(const QString& path) const override { return !isInsideHome(path); }

private:
    bool isInsideHome(const QString& path) const;

    UserAccount m_account;
};

}  // namespace Platform
