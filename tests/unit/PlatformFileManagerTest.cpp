#include "FileManager.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

using Platform::LocalFileManager;

namespace {

void writeFile(const QString& path, const QByteArray& contents)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(contents);
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every name in the folder, hidden ones included.
QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

// Lets a test fail the copy of chosen items, or act once the whole tree is copied.
class HookedFileManager : public LocalFileManager {
public:
    std::function<bool(const std::filesystem::path& from)> allow = [](const auto&) { return true; };
    std::function<void()> afterTree = [] {};

protected:
    bool copyTree(const std::filesystem::path& from, const std::filesystem::path& to) override
    {
        if (!allow(from) || !LocalFileManager::copyTree(from, to))
            return false;
        if (from.filename() == "Source")
            afterTree();
        return true;
    }
};

class PlatformFileManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_source = m_folder.filePath("Source");
        writeFile(m_source + "/a.txt", "alpha");
        writeFile(m_source + "/bin/tool", "#!/bin/sh\n");
        QFile::setPermissions(m_source + "/bin/tool", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                          | QFile::ReadGroup | QFile::ExeGroup | QFile::ExeOther);
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

TEST_F(PlatformFileManagerTest, CopiesPermissionBitsExactlyButNoSetIdBits)
{
    namespace fs = std::filesystem;
    const fs::path source = QFile::encodeName(m_source).toStdString();
    // Bits a umask would take away, and set-ID bits on a file and a folder.
    fs::permissions(source / "a.txt", fs::perms(0666));
    fs::permissions(source / "bin/tool", fs::perms(06755));
    fs::permissions(source / "sub", fs::perms(02775));
    ASSERT_TRUE(m_manager.copyItem(m_source, m_target + "/Copy"));
    const fs::path copy = QFile::encodeName(m_target + "/Copy").toStdString();
    EXPECT_EQ(fs::status(copy / "a.txt").permissions(), fs::perms(0666));
    EXPECT_EQ(fs::status(copy / "bin/tool").permissions(), fs::perms(0755));
    EXPECT_EQ(fs::status(copy / "sub").permissions(), fs::perms(0775));
}

TEST_F(PlatformFileManagerTest, RefusesExistingDestinationMissingSourceOrParent)
{
    writeFile(m_target + "/Copy/keep.txt", "mine");
    QFile::link(m_folder.filePath("nowhere"), m_target + "/Dangling");

    EXPECT_FALSE(m_manager.copyItem(m_source, m_target + "/Copy"));
    EXPECT_FALSE(m_manager.copyItem(m_source, m_target + "/Dangling"));
    EXPECT_FALSE(m_manager.copyItem(m_folder.filePath("missing"), m_target + "/New"));
    EXPECT_FALSE(m_manager.copyItem(m_source, m_target + "/no/such/New"));
    EXPECT_FALSE(m_manager.copyItem(m_source, m_source + "/sub/New"));
    EXPECT_EQ(entriesOf(m_target + "/Copy"), QStringList{"keep.txt"});
    EXPECT_TRUE(QFileInfo(m_target + "/Dangling").isSymLink());
    EXPECT_EQ(entriesOf(m_target), (QStringList{"Copy", "Dangling"}));
    EXPECT_EQ(entriesOf(m_source + "/sub"), QStringList{"deep"});
}

TEST_F(PlatformFileManagerTest, FailurePartWayLeavesNothingBehind)
{
    HookedFileManager manager;
    int copied = 0;
    manager.allow = [&](const std::filesystem::path& from) { return from.filename() != "b.txt" && ++copied; };
    EXPECT_FALSE(manager.copyItem(m_source, m_target + "/Copy"));
    EXPECT_GT(copied, 2);
    EXPECT_TRUE(entriesOf(m_target).isEmpty());
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
    EXPECT_FALSE(m_manager.removeItem(m_source));
}
