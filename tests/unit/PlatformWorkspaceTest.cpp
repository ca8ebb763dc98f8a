#include "Workspace.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(PlatformWorkspaceTest, SeesRunningExecutablesEvenWhenDeleted)
{
    QTemporaryDir folder;
    const QString copy = folder.filePath("sleeper");
    ASSERT_TRUE(QFile::copy("/bin/sleep", copy));
    QProcess sleeper;
    sleeper.start(copy, {"30"});
    ASSERT_TRUE(sleeper.waitForStarted());
    ASSERT_TRUE(QFile::remove(copy));

    const QStringList paths = Platform::makeSystemWorkspace()->runningExecutablePaths();
    sleeper.kill();
    sleeper.waitForFinished();
    EXPECT_TRUE(paths.contains(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget()));
    EXPECT_TRUE(paths.contains(copy));
    EXPECT_FALSE(paths.contains(copy + " (deleted)"));
}
