#include "Platform/Files/FileManager.h"
#include "Platform/Files/FileSystemCalls.h"
#include "Platform/Files/RunAsUser.h"
#include "tests/support/Fixtures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using Fixtures::readFile;
using Fixtures::writeFile;
using Platform::LocalFileManager;

namespace {

// Every name in the folder, hidden ones included.
QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

// Lets a test fail the copy of chosen items, act once the whole tree is copied, or fail a
// deletion after it took part of the tree.
class HookedFileManager : public LocalFileManager {
public:
    std::function<bool(const std::filesystem::path& from)> allow = [](const auto&) { return true; };
    std::function<void()> afterTree = [] {};
    bool deletionStopsHalfWay = false;

protected:
    bool copyTree(const std::filesystem::path& from, const std::filesystem::path& to, std::error_code& error) override
    {
        if (!allow(from)) {
            error = std::make_error_code(std::errc::no_space_on_device);
            return false;
        }
        if (!LocalFileManager::copyTree(from, to, error))
            return false;
        if (from.filename() == "Source")
            afterTree();
        return true;
    }

    bool removeTree(const std::filesystem::path& path, std::error_code& error) override
    {
        if (!deletionStopsHalfWay)
            return LocalFileManager::removeTree(path, error);
        std::filesystem::remove_all(path / "sub", error);
        error = std::make_error_code(std::errc::permission_denied);
        return false;
    }
};

class PlatformFileManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_source = m_folder.filePath("Source");
        writeFile(m_source + "/a.txt", "alpha");
        writeFile(m_source + "/bin/tool", "#!/bin/sh\n");
        QFile::setPermissions(m_source + "/bin/tool",
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                                  | QFile::ExeGroup | QFile::ExeOther);
        writeFile(m_source + "/sub/deep/b.txt", "beta");
        QFile::link("a.txt", m_source + "/relative-link");
        QFile::link(m_folder.filePath("nowhere"), m_source + "/dangling-link");
        m_target = m_folder.filePath("Target");
        QDir().mkpath(m_target);
    }

    QTemporaryDir m_folder;
    QString m_source;
    QString m_target;
    LocalFileManager m_manager;
};

}  // namespace

TEST_F(PlatformFileManagerTest, FileExistsFollowsLinks)
{
    QFile::link(m_source + "/a.txt", m_folder.filePath("good-link"));
    EXPECT_TRUE(m_manager.fileExistsAtPath(m_source + "/sub"));
    EXPECT_TRUE(m_manager.fileExistsAtPath(m_folder.filePath("good-link")));
    EXPECT_FALSE(m_manager.fileExistsAtPath(m_source + "/dangling-link"));
    EXPECT_FALSE(m_manager.fileExistsAtPath(m_source + "/missing"));
}

TEST_F(PlatformFileManagerTest, CopiesATreeKeepingLinksAndPermissions)
{
    const QString copy = m_target + "/Copy";
    ASSERT_TRUE(m_manager.copyItem(m_source, copy));
    EXPECT_EQ(readFile(copy + "/a.txt"), "alpha");
    EXPECT_EQ(readFile(copy + "/sub/deep/b.txt"), "beta");
    EXPECT_EQ(QFileInfo(copy + "/bin/tool").permissions(), QFileInfo(m_source + "/bin/tool").permissions());
    EXPECT_EQ(QFile::symLinkTarget(copy + "/relative-link"), copy + "/a.txt");
    EXPECT_TRUE(QFileInfo(copy + "/dangling-link").isSymLink());

    ASSERT_TRUE(m_manager.copyItem(m_source + "/bin/tool", m_target + "/tool"));
    EXPECT_TRUE(QFileInfo(m_target + "/tool").isExecutable());
    EXPECT_EQ(entriesOf(m_target), (QStringList{"Copy", "tool"}));
}

TEST_F(PlatformFileManagerTest, PermissionBitsGoThroughTheUmaskLikeAPlainCpAndLoseSetIdBits)
{
    namespace fs = std::filesystem;
    const fs::path source = QFile::encodeName(m_source).toStdString();
    // Group- and world-write bits, set-ID bits on a file and a folder, and a folder closed even
    // to its owner that still has to be filled.
    fs::permissions(source / "a.txt", fs::perms(0666));
    fs::permissions(source / "bin/tool", fs::perms(06775));
    fs::permissions(source / "sub", fs::perms(02777));
    fs::permissions(source / "sub/deep", fs::perms(0555));
    const mode_t previous = ::umask(022);
    const bool copied = m_manager.copyItem(m_source, m_target + "/Copy");
    ::umask(previous);
    fs::permissions(source / "sub/deep", fs::perms(0755));
    ASSERT_TRUE(copied);
    const fs::path copy = QFile::encodeName(m_target + "/Copy").toStdString();
    EXPECT_EQ(fs::status(copy / "a.txt").permissions(), fs::perms(0644));
    EXPECT_EQ(fs::status(copy / "bin/tool").permissions(), fs::perms(0755));
    EXPECT_EQ(fs::status(copy / "sub").permissions(), fs::perms(0755));
    EXPECT_EQ(fs::status(copy / "sub/deep").permissions(), fs::perms(0555));
    EXPECT_EQ(readFile(m_target + "/Copy/sub/deep/b.txt"), "beta");
    fs::permissions(copy / "sub/deep", fs::perms(0755));
}

TEST_F(PlatformFileManagerTest, RefusesExistingDestinationMissingSourceOrParentAndSaysWhy)
{
    writeFile(m_target + "/Copy/keep.txt", "mine");
    QFile::link(m_folder.filePath("nowhere"), m_target + "/Dangling");

    const struct {
        QString source, destination;
        int code;
    } refusals[] = {
        {m_source, m_target + "/Copy", EEXIST},
        {m_source, m_target + "/Dangling", EEXIST},
        {m_folder.filePath("missing"), m_target + "/New", ENOENT},
        {m_source, m_target + "/no/such/New", ENOENT},
        {m_source, m_source + "/sub/New", EINVAL},
    };
    for (const auto& refusal : refusals) {
        Platform::FileError error;
        EXPECT_FALSE(m_manager.copyItem(refusal.source, refusal.destination, &error));
        EXPECT_EQ(error.code, refusal.code) << refusal.destination.toStdString();
        EXPECT_TRUE(error.description.contains(refusal.destination)) << error.description.toStdString();
    }
    EXPECT_EQ(entriesOf(m_target + "/Copy"), QStringList{"keep.txt"});
    EXPECT_TRUE(QFileInfo(m_target + "/Dangling").isSymLink());
    EXPECT_EQ(entriesOf(m_target), (QStringList{"Copy", "Dangling"}));
    EXPECT_EQ(entriesOf(m_source + "/sub"), QStringList{"deep"});
}

TEST_F(PlatformFileManagerTest, FailurePartWayLeavesNothingBehindAndKeepsTheReason)
{
    HookedFileManager manager;
    int copied = 0;
    manager.allow = [&](const std::filesystem::path& from) { return from.filename() != "b.txt" && ++copied; };
    Platform::FileError error;
    EXPECT_FALSE(manager.copyItem(m_source, m_target + "/Copy", &error));
    EXPECT_GT(copied, 2);
    EXPECT_TRUE(entriesOf(m_target).isEmpty());
    EXPECT_EQ(error.code, ENOSPC);
    EXPECT_FALSE(error.leftBehind);
}

TEST_F(PlatformFileManagerTest, LeftoversOfACrashedRunAreSweptAndNothingElse)
{
    // What a run that stopped half-way leaves: a staging folder and a copy moved aside.
    writeFile(m_target + "/.Copy.foldwise-Ab12Cd/Copy/a.txt", "stale");
    writeFile(m_target + "/.Copy.foldwise-Zz99zz/Contents/x", "stale");
    // Look-alikes of other names or shapes, and a staging folder that a live run holds.
    const QStringList kept{".Copy.foldwise-Ab12C", ".Copy.foldwise-Ab12Cd7", ".Copy.foldwise-Ab-2Cd",
                           ".Other.foldwise-Ab12Cd", "Copy.foldwise-Ab12Cd"};
    for (const QString& name : kept)
        writeFile(m_target + "/" + name + "/keep", "keep");
    writeFile(m_target + "/.Copy.foldwise-Live00/Copy/part", "in progress");
    const int live = ::open(QFile::encodeName(m_target + "/.Copy.foldwise-Live00").constData(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(live, 0);
    ASSERT_EQ(::flock(live, LOCK_EX), 0);

    ASSERT_TRUE(m_manager.copyItem(m_source, m_target + "/Copy"));
    EXPECT_EQ(sorted(entriesOf(m_target)), sorted(kept + QStringList{".Copy.foldwise-Live00", "Copy"}));
    ::close(live);

    ASSERT_TRUE(m_manager.removeItem(m_target + "/Copy"));
    EXPECT_EQ(sorted(entriesOf(m_target)), sorted(kept)) << "the removal swept the run that has ended meanwhile";
}

TEST_F(PlatformFileManagerTest, NeverReplacesADestinationThatAppearsDuringTheCopy)
{
    // A plain rename would silently replace an empty folder.
    HookedFileManager manager;
    manager.afterTree = [&] { QDir().mkpath(m_target + "/Copy"); };
    EXPECT_FALSE(manager.copyItem(m_source, m_target + "/Copy"));
    EXPECT_TRUE(entriesOf(m_target + "/Copy").isEmpty());
    EXPECT_EQ(entriesOf(m_target), QStringList{"Copy"});
}

TEST_F(PlatformFileManagerTest, RemovesFilesTreesAndLinksWithoutFollowingThem)
{
    QFile::link(m_source, m_folder.filePath("link-to-source"));
    QFile::link(m_target, m_source + "/sub/link-to-target");
    writeFile(m_target + "/survivor.txt", "still here");

    EXPECT_TRUE(m_manager.removeItem(m_folder.filePath("link-to-source")));
    EXPECT_EQ(readFile(m_source + "/a.txt"), "alpha");
    EXPECT_TRUE(m_manager.removeItem(m_source + "/dangling-link"));
    EXPECT_TRUE(m_manager.removeItem(m_source + "/a.txt"));
    EXPECT_TRUE(m_manager.removeItem(m_source));
    EXPECT_EQ(entriesOf(m_folder.path()), QStringList{"Target"});
    EXPECT_EQ(readFile(m_target + "/survivor.txt"), "still here");
    Platform::FileError error;
    EXPECT_FALSE(m_manager.removeItem(m_source, &error));
    EXPECT_EQ(error.code, ENOENT);
}

TEST_F(PlatformFileManagerTest, RemovalThatStopsHalfWayLeavesNothingUnderTheRealName)
{
    HookedFileManager manager;
    manager.deletionStopsHalfWay = true;
    Platform::FileError error;
    EXPECT_FALSE(manager.removeItem(m_source, &error));
    EXPECT_FALSE(QFileInfo::exists(m_source));
    ASSERT_TRUE(error.leftBehind);
    EXPECT_TRUE(error.description.contains(*error.leftBehind)) << error.description.toStdString();
    EXPECT_EQ(QFileInfo(*error.leftBehind).dir(), QDir(m_folder.path()));
    EXPECT_EQ(readFile(*error.leftBehind + "/a.txt"), "alpha") << "what is left is the moved copy";
}

TEST_F(PlatformFileManagerTest, ResolvedPathNamesTheRealFolderAbsolutely)
{
    const QString real = QFileInfo(m_target).canonicalFilePath();
    QFile::link(m_target, m_folder.filePath("Linked"));
    EXPECT_EQ(m_manager.resolvedPath(m_folder.filePath("Linked") + "/Foldwise.acroplugin/"),
              real + "/Foldwise.acroplugin");
    // The item's own name stays as it is, a link included.
    EXPECT_EQ(m_manager.resolvedPath(m_folder.filePath("Linked")),
              QFileInfo(m_folder.path()).canonicalFilePath() + "/Linked");

    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(m_folder.path()));
    const auto relative = m_manager.resolvedPath("Linked/../Target/Foldwise.acroplugin");
    QDir::setCurrent(previous);
    EXPECT_EQ(relative, real + "/Foldwise.acroplugin");

    Platform::FileError error;
    EXPECT_FALSE(m_manager.resolvedPath(m_folder.filePath("missing/Foldwise.acroplugin"), &error));
    EXPECT_EQ(error.code, ENOENT);
    // A real folder whose name is not UTF-8 could only be named by a look-alike.
    const std::string raw = QFile::encodeName(m_folder.path()).toStdString() + "/bad \xff";
    ASSERT_EQ(::mkdir(raw.c_str(), 0755), 0);
    ASSERT_EQ(::symlink(raw.c_str(), QFile::encodeName(m_folder.filePath("Fine")).constData()), 0);
    EXPECT_FALSE(m_manager.resolvedPath(m_folder.filePath("Fine") + "/Foldwise.acroplugin", &error));
    EXPECT_EQ(error.code, EILSEQ);
    std::filesystem::remove(raw);
}

// Every call that changes the file system, failed (EIO) or stopped (the process killed there) in
// turn, for one install, one uninstall and one upgrade over an older tree: the real name holds
// exactly the old or the new tree, success is told only for the new state, and the same action
// run again ends in the new state with no hidden sibling left.
TEST_F(PlatformFileManagerTest, EveryCallFailedOrStoppedInTurnLeavesTheOldOrTheNewTreeAndTheNextTryFinishes)
{
    const QString item = m_target + "/Copy";
    const auto contentsOf = [](const QString& root) {
        QStringList entries;
        for (const QString& entry : Fixtures::treeOf(root)) {
            std::error_code notALink;
            const QString linked = QString::fromStdString(
                std::filesystem::read_symlink(QFile::encodeName(entry).toStdString(), notALink).native());
            entries.append(entry.mid(root.size()) + QLatin1Char(' ') + linked + QLatin1Char(' ')
                           + QString::fromLatin1(readFile(entry).toHex()));
        }
        return entries;
    };
    const QStringList full = contentsOf(m_source);
    const QString older = m_folder.filePath("Older");
    writeFile(older + "/a.txt", "alpha, an older one");
    writeFile(older + "/gone/c.txt", "gamma");
    const QStringList old = contentsOf(older);
    enum class Holds { nothing, oldTree, newTree };
    // What the real name holds: the whole new tree, the whole old one, or nothing at all.
    const auto state = [&]() -> std::optional<Holds> {
        if (!QFileInfo(item).exists() && !QFileInfo(item).isSymLink())
            return Holds::nothing;
        const QStringList held = contentsOf(item);
        if (held == full)
            return Holds::newTree;
        return held == old ? std::optional(Holds::oldTree) : std::nullopt;
    };
    enum class Action { install, uninstall, upgrade };
    for (const Action action : {Action::install, Action::uninstall, Action::upgrade}) {
        const Holds before = action == Action::install ? Holds::nothing
            : action == Action::uninstall              ? Holds::newTree
                                                       : Holds::oldTree;
        const Holds after = action == Action::uninstall ? Holds::nothing : Holds::newTree;
        const auto prepare = [&] {
            QDir(m_target).removeRecursively();
            QDir().mkpath(m_target);
            if (before != Holds::nothing) {
                ASSERT_TRUE(m_manager.copyItem(before == Holds::newTree ? m_source : older, item));
            }
        };
        const auto act = [&] {
            switch (action) {
            case Action::install:
                return m_manager.copyItem(m_source, item);
            case Action::uninstall:
                return m_manager.removeItem(item);
            case Action::upgrade:
                return m_manager.replaceItem(m_source, item);
            }
            return false;
        };
        int calls = 0;
        prepare();
        Platform::setFileSystemCallGate([&](const char*) { return ++calls, 0; });
        ASSERT_TRUE(act());
        Platform::setFileSystemCallGate({});
        ASSERT_GT(calls, 5);
        for (const bool stopping : {false, true}) {
            for (int failing = 1; failing <= calls; ++failing) {
                SCOPED_TRACE(testing::Message() << "action " << int(action) << ", call " << failing
                                                << (stopping ? " stopped" : " failed"));
                prepare();
                int seen = 0;
                Platform::setFileSystemCallGate([&](const char*) {
                    if (++seen != failing)
                        return 0;
                    if (stopping)
                        ::_exit(0);
                    return EIO;
                });
                bool succeeded = false;
                if (stopping) {
                    const pid_t child = ::fork();
                    if (child == 0)
                        ::_exit(act() ? 1 : 2);
                    int status = 0;
                    ::waitpid(child, &status, 0);
                    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "stopped at that call";
                } else {
                    succeeded = act();
                }
                Platform::setFileSystemCallGate({});
                const std::optional<Holds> holds = state();
                ASSERT_TRUE(holds) << "half a tree under the real name";
                EXPECT_TRUE(*holds == before || *holds == after) << "never anything but the old or the new";
                if (succeeded) {
                    EXPECT_EQ(*holds, after);
                }
                // The same action again, where it is still to do; otherwise what is left is swept.
                if (*holds != after) {
                    EXPECT_TRUE(act());
                } else {
                    EXPECT_TRUE(m_manager.sweepLeftovers(item));
                }
                EXPECT_EQ(state(), std::optional(after));
                EXPECT_EQ(entriesOf(m_target), after == Holds::newTree ? QStringList{"Copy"} : QStringList{})
                    << "no hidden sibling is left";
            }
        }
    }
}

TEST(HomeBoundaryTest, APathIsInsideAHomeOnlyAtAFolderBoundary)
{
    const struct {
        const char* path;
        const char* home;
        bool inside;
    } rows[] = {
        {"/home/ann", "/home/ann", true},
        {"/home/ann/Applications/Acrobat.app", "/home/ann", true},
        {"/home/ann/./x/../Applications", "/home/ann", true},
        {"/home/anna/Applications", "/home/ann", false},
        {"/home/ann/../bob/Applications", "/home/ann", false},
        {"/home", "/home/ann", false},
        {"/srv/anything", "/", true},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Platform::isInsideHome(QString::fromUtf8(row.path), QString::fromUtf8(row.home)), row.inside)
            << row.path << " in " << row.home;
}

// An upgrade exchanges a whole new copy for the old one, whatever stood there (a link is replaced,
// never followed; a file system that cannot exchange fails it and keeps the old copy); with
// nothing to replace, nothing is made. Each call failed in turn is the test above.
TEST_F(PlatformFileManagerTest, ReplacementExchangesInOneStepOrLeavesTheOldCopyAsItWas)
{
    const QString item = m_target + "/Copy";
    writeFile(item + "/a.txt", "old");
    Platform::setFileSystemCallGate([](const char* call) { return std::strcmp(call, "exchange") == 0 ? EINVAL : 0; });
    Platform::FileError refused;
    EXPECT_FALSE(m_manager.replaceItem(m_source, item, &refused));
    Platform::setFileSystemCallGate({});
    EXPECT_EQ(refused.code, EINVAL);
    EXPECT_TRUE(refused.description.contains("Could not replace with a copy of")) << refused.description.toStdString();
    EXPECT_EQ(readFile(item + "/a.txt"), "old");
    EXPECT_EQ(entriesOf(m_target), QStringList{"Copy"});
    ASSERT_TRUE(m_manager.replaceItem(m_source, item));
    EXPECT_EQ(readFile(item + "/a.txt"), "alpha");
    EXPECT_EQ(readFile(item + "/sub/deep/b.txt"), "beta");
    EXPECT_EQ(entriesOf(m_target), QStringList{"Copy"});

    const QString elsewhere = m_folder.filePath("Elsewhere");
    writeFile(elsewhere + "/keep.txt", "the user's");
    const QString linked = m_target + "/Linked";
    ASSERT_TRUE(QFile::link(elsewhere, linked));
    ASSERT_TRUE(m_manager.replaceItem(m_source, linked));
    EXPECT_FALSE(QFileInfo(linked).isSymLink());
    EXPECT_EQ(readFile(linked + "/a.txt"), "alpha");
    EXPECT_EQ(readFile(elsewhere + "/keep.txt"), "the user's") << "what the link led to is untouched";

    Platform::FileError error;
    EXPECT_FALSE(m_manager.replaceItem(m_source, m_target + "/Missing", &error));
    EXPECT_EQ(error.code, ENOENT);
    EXPECT_FALSE(QFileInfo::exists(m_target + "/Missing"));
}
