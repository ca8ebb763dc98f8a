#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>
#include <sys/types.h>
#include <vector>

namespace Platform {

// A user of this machine as the password database knows them.
struct UserAccount {
    // Empty for an account known by its numbers alone, which then has no supplementary groups.
    QString name;
    uid_t uid = 0;
    gid_t gid = 0;
    QString home;
};

// The account of that name; none when there is no such user or their home is not absolute.
std::optional<UserAccount> userAccountNamed(const QString& name);
// The same by user id.
std::optional<UserAccount> userAccountOf(uid_t uid);

// The accounts people log in with: a login shell, an absolute home, and a user id from the
// first this system gives people (firstLoginUid()) on. In the password database's order.
std::vector<UserAccount> loginAccounts();
uid_t firstLoginUid();

// Whether the path, as written, lies in the home folder (or is it).
bool isInsideHome(const QString& path, const QString& home);

// Runs `work` in a child process that has taken on the account's identity for good (its user,
// its group, and the groups the system lists for its name, or none for an account without a
// name) and gives back what `work` returned; none when the child could not become the user,
// could become root again, or did not finish. Only root can run it. The child shares nothing
// with us but what it returns and the file system, and leaves without running our destructors
// or exit handlers.
std::optional<QByteArray> runAsUser(const UserAccount& account, const std::function<QByteArray()>& work);

}  // namespace Platform
