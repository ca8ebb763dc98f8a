#include "Platform/Privileges/linux/RootRuleFacts.h"

#include <gtest/gtest.h>
#include <grp.h>
#include <pwd.h>
#include <sys/sysmacros.h>

namespace {

gid_t groupId(const char* name)
{
    const struct group* group = ::getgrnam(name);
    return group ? group->gr_gid : gid_t(-1);
}

}  // namespace

TEST(RootRuleFactsTest, AdministratorsAreWhatTheAdminRulesReturnAndNothingElse)
{
    const struct {
        const char* name;
        QByteArrayList files;
        std::vector<gid_t> groups;
        std::vector<uid_t> users;
    } rows[] = {
        {"Debian's default", {"polkit.addAdminRule(function(action, subject) {\n    return [\"unix-group:sudo\"];\n});"},
         {groupId("sudo")}, {}},
        {"a user and a group not on this system",
         {"polkit.addAdminRule(function(a, s) { return ['unix-user:root', 'unix-group:no-such-group']; });"}, {}, {0}},
        {"a plain rule's groups do not count",
         {"polkit.addRule(function(a, s) { if (s.isInGroup(\"adm\")) return polkit.Result.YES; });\n"
          "polkit.addAdminRule(function(a, s) { return [\"unix-group:nogroup\"]; });\n"
          "polkit.addRule(function(a, s) { return [\"unix-group:adm\"]; });"},
         {groupId("nogroup")}, {}},
        {"no rule at all", {}, {}, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const Platform::AdministratorIdentities found = Platform::administratorsInPolkitRules(row.files);
        EXPECT_EQ(found.groups, row.groups);
        EXPECT_EQ(found.users, row.users);
    }
}

TEST(RootRuleFactsTest, UserMountsAreToldFromTheMountTables)
{
    const uid_t nobody = ::getpwnam("nobody")->pw_uid;
    const QByteArray mountInfo =
        "26 1 254:1 / / rw,relatime - ext4 /dev/vda1 rw\n"
        "40 26 0:50 / /run/user/1000/doc rw,nosuid,nodev - fuse.portal portal rw,user_id=1000,group_id=1000\n"
        "41 26 0:51 / /srv/root\\040fuse rw - fuse.sshfs host: rw,user_id=0,group_id=0\n"
        "42 26 8:17 / /media/nobody/USB\\040STICK rw,nosuid,nodev,relatime - vfat /dev/sdb1 rw\n"
        "43 26 8:33 / /media/cdrom rw,nosuid,nodev - iso9660 /dev/sr0 ro\n"
        "44 26 8:49 / /mnt/card rw,relatime - exfat /dev/sdc1 rw\n"
        "45 26 8:65 / /media/backup rw,relatime - ext4 /dev/sdd1 rw\n";
    const QByteArray userTable = "ID=44 SRC=/dev/sdc1 TARGET=/mnt/card ROOT=/ OPTS=user=nobody\n";
    const struct {
        const char* name;
        std::optional<int> mountId;
        dev_t device;
        std::optional<QString> mountPoint;  // none: no user mount
        std::optional<uid_t> user;
    } rows[] = {
        {"the system's own disk", 26, 0, std::nullopt, std::nullopt},
        {"FUSE of a user", 40, 0, QStringLiteral("/run/user/1000/doc"), 1000},
        {"FUSE of root's", 41, 0, std::nullopt, std::nullopt},
        {"removable media for a user", 42, 0, QStringLiteral("/media/nobody/USB STICK"), nobody},
        {"removable media for whom it cannot be told", 43, 0, QStringLiteral("/media/cdrom"), std::nullopt},
        {"what the user table notes as the user's", 44, 0, QStringLiteral("/mnt/card"), nobody},
        {"a system disk below /media", 45, 0, std::nullopt, std::nullopt},
        {"by device when the id is unknown", std::nullopt, ::makedev(8, 17), QStringLiteral("/media/nobody/USB STICK"),
         nobody},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const auto found = Platform::userMountIn(mountInfo, userTable, row.mountId, row.device);
        ASSERT_EQ(found.has_value(), row.mountPoint.has_value());
        if (found) {
            EXPECT_EQ(found->mountPoint, *row.mountPoint);
            EXPECT_EQ(found->user, row.user);
        }
    }
}
