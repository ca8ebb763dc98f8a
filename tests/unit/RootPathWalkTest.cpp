#include "Platform/Files/RootPathWalk.h"
#include "Platform/Files/FoldersBeneath.h"
#include "tests/support/Fixtures.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using Platform::RootWalkRefusal;

namespace {

// A tree below a temporary folder of root's: root's own folders (one sticky, one its group may
// write), and a folder of the plain user's holding links and hard links the user could have made.
class RootPathWalkAsRoot : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_root.isValid());
        Fixtures::writeFile(path("secret.plist"), "root's alone");
        ::chmod(encoded("secret.plist"), 0600);
        for (const char* folder : {"root", "sticky", "group", "user/plain", "rootApp/Contents"})
            ASSERT_TRUE(QDir().mkpath(path(folder)));
        ::chmod(encoded("root"), 0755);
        ::chmod(encoded("sticky"), 01777);
        ::chmod(encoded("group"), 0775);
        Fixtures::writeFile(path("rootApp/Contents/Info.plist"), "root's bundle");
        Fixtures::writeFile(path("user/plain/Info.plist"), "the user's own");
        Fixtures::writeFile(path("user/own.plist"), "the user's, twice");
        link("../secret.plist", "root/relative.plist");
        link(path("secret.plist"), "root/absolute.plist");
        link("loop", "root/loop");
        link(path("secret.plist"), "sticky/roots.plist");
        link(path("secret.plist"), "sticky/users.plist");
        link(path("secret.plist"), "group/link.plist");
        link(path("root"), "user/linkedFolder");
        link(path("secret.plist"), "user/link.plist");
        link(path("rootApp/Contents"), "user/plain/Contents");
        ASSERT_EQ(::link(encoded("secret.plist"), encoded("user/hard.plist")), 0);
        ASSERT_EQ(::link(encoded("user/own.plist"), encoded("user/own2.plist")), 0);
        Fixtures::chownTree(path("user"), Fixtures::kPlainUser);
        ::lchown(encoded("sticky/users.plist"), Fixtures::kPlainUser, Fixtures::kPlainUser);
        // The hard link is the same file as root's secret, which stays root's.
        ::chown(encoded("secret.plist"), 0, 0);
    }

    QString path(const char* relative) const { return m_root.filePath(QString::fromUtf8(relative)); }
    const char* encoded(const char* relative)
    {
        m_encoded = QFile::encodeName(path(relative));
        return m_encoded.constData();
    }
    void link(const QString& target, const char* name)
    {
        ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), encoded(name)), 0) << name;
    }

    QTemporaryDir m_root;
    QByteArray m_encoded;
};

QByteArray contentsOf(const Platform::UniqueFd& fd)
{
    char buffer[64];
    const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
    return got < 0 ? QByteArray("(unreadable)") : QByteArray(buffer, got);
}

}  // namespace

TEST_F(RootPathWalkAsRoot, FollowsOnlyLinksNobodyButRootCouldHavePlaced)
{
    FOLDWISE_REQUIRE_ROOT("to own the tree as root and as a plain user");
    const struct {
        const char* name;
        const char* path;
        QByteArray read;  // empty when the walk opens nothing
        RootWalkRefusal refusal;
        int error;
    } rows[] = {
        {"root's relative link in root's folder", "root/relative.plist", "root's alone", RootWalkRefusal::none, 0},
        {"root's absolute link in root's folder", "root/absolute.plist", "root's alone", RootWalkRefusal::none, 0},
        {"root's link in root's sticky folder", "sticky/roots.plist", "root's alone", RootWalkRefusal::none, 0},
        {"the user's link in root's sticky folder",
         "sticky/users.plist",
         {},
         RootWalkRefusal::linkOthersCanChange,
         ELOOP},
        {"root's link in a folder its group may write",
         "group/link.plist",
         {},
         RootWalkRefusal::linkOthersCanChange,
         ELOOP},
        {"the user's link to a file of root's", "user/link.plist", {}, RootWalkRefusal::linkOthersCanChange, ELOOP},
        {"the user's link to a folder of root's",
         "user/linkedFolder/relative.plist",
         {},
         RootWalkRefusal::linkOthersCanChange,
         ELOOP},
        {"a folder above the file is the user's link",
         "user/plain/Contents/Info.plist",
         {},
         RootWalkRefusal::linkOthersCanChange,
         ELOOP},
        {"the user's name for a file of root's", "user/hard.plist", {}, RootWalkRefusal::hardLinkOfAnotherOwner, EPERM},
        {"the user's second name for their own file", "user/own2.plist", "the user's, twice", RootWalkRefusal::none, 0},
        {"the user's own file", "user/plain/Info.plist", "the user's own", RootWalkRefusal::none, 0},
        {"no '..' below the user's folder", "user/plain/../own.plist", {}, RootWalkRefusal::none, EXDEV},
        {"'..' in root's folders", "root/../user/own.plist", "the user's, twice", RootWalkRefusal::none, 0},
        {"a link loop", "root/loop", {}, RootWalkRefusal::none, ELOOP},
        {"a folder", "root", {}, RootWalkRefusal::none, EISDIR},
        {"nothing there", "user/plain/missing", {}, RootWalkRefusal::none, ENOENT},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const Platform::RootOpenedFile opened = Platform::openFileAsRoot(QFile::encodeName(path(row.path)));
        EXPECT_EQ(opened.refusal, row.refusal);
        EXPECT_EQ(opened.error, row.error) << std::strerror(opened.error);
        EXPECT_EQ(opened.fd.valid() ? contentsOf(opened.fd) : QByteArray(), row.read);
    }
}

TEST_F(RootPathWalkAsRoot, FoldersBeneathAreReachedWithoutLinksOrGoingUp)
{
    FOLDWISE_REQUIRE_ROOT("to own the tree as root and as a plain user");
    const struct {
        const char* name;
        const char* relative;
        int error;  // 0 when the folder opens
    } rows[] = {
        {"a plain folder", "plain", 0},
        {"a folder reached through a link", "linkedFolder", ELOOP},
        {"a link on the way", "plain/Contents/.", ELOOP},
        {"a file on the way", "own.plist/x", ENOTDIR},
        {"a '..' that stays below", "plain/..", EXDEV},
        {"an absolute path", "/tmp", EXDEV},
        {"nothing there", "missing", ENOENT},
    };
    const Platform::UniqueFd user(::open(encoded("user"), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    ASSERT_TRUE(user.valid());
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        // Both the system's one call and the step-by-step walk it falls back on.
        for (auto* openBeneath : {&Platform::openFolderBeneath, &Platform::openFolderBeneathStepByStep}) {
            int error = 0;
            const Platform::UniqueFd folder = openBeneath(user.get(), row.relative, error);
            EXPECT_EQ(folder.valid(), row.error == 0);
            EXPECT_EQ(error, row.error) << std::strerror(error);
        }
    }
}
