#include "Platform/App/Services.h"
#include "Platform/Bundles/linux/ProcWorkspace.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

TEST(PlatformWorkspaceTest, SeesRunningExecutablesEvenWhenDeletedOrReplaced)
{
    QTemporaryDir folder;
    const QString copy = folder.filePath("sleeper");
    ASSERT_TRUE(QFile::copy("/bin/sleep", copy));
    QProcess sleeper;
    sleeper.start(copy, {"30"});
    ASSERT_TRUE(sleeper.waitForStarted());
    const std::shared_ptr<Platform::Workspace> workspace = Platform::Services::system().workspace;

    EXPECT_TRUE(workspace->isExecutableRunning(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget()));
    EXPECT_TRUE(workspace->isExecutableRunning(copy));
    ASSERT_TRUE(QFile::remove(copy));
    EXPECT_TRUE(workspace->isExecutableRunning(copy)) << "deleted";
    EXPECT_FALSE(workspace->isExecutableRunning(copy + " (deleted)"));
    ASSERT_TRUE(QFile::copy("/bin/sleep", copy));
    EXPECT_TRUE(workspace->isExecutableRunning(copy)) << "replaced by another file";
    EXPECT_TRUE(Platform::ProcWorkspace(::getuid()).isExecutableRunning(copy)) << "the user's own";
    EXPECT_FALSE(Platform::ProcWorkspace(::getuid() + 1).isExecutableRunning(copy))
        << "only the chosen user's processes count";

    sleeper.kill();
    sleeper.waitForFinished();
    EXPECT_FALSE(workspace->isExecutableRunning(copy));
}
