#include "Log.h"
#include "SearchPaths.h"
#include "Workspace.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>

namespace {

// Restores an environment variable when the test ends.
class SavedEnvironment {
public:
    explicit SavedEnvironment(const char* name)
        : m_name(name)
        , m_wasSet(qEnvironmentVariableIsSet(name))
        , m_value(qgetenv(name))
    {
    }
    ~SavedEnvironment()
    {
        if (m_wasSet)
            qputenv(m_name, m_value);
        else
            qunsetenv(m_name);
    }

private:
    const char* m_name;
    bool m_wasSet;
    QByteArray m_value;
};

// What the code under test writes to standard error while the object lives.
class CapturedStandardError {
public:
    CapturedStandardError()
    {
        m_file.open();
        std::fflush(stderr);
        m_saved = ::dup(STDERR_FILENO);
        ::dup2(m_file.handle(), STDERR_FILENO);
    }
    ~CapturedStandardError() { restore(); }

    QByteArray text()
    {
        restore();
        m_file.seek(0);
        return m_file.readAll();
    }

private:
    void restore()
    {
        if (m_saved < 0)
            return;
        std::fflush(stderr);
        ::dup2(m_saved, STDERR_FILENO);
        ::close(m_saved);
        m_saved = -1;
    }

    QTemporaryFile m_file;
    int m_saved = -1;
};

}  // namespace

TEST(WorkspaceTest, SeesOurOwnExecutable)
{
    const QString self = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    EXPECT_TRUE(Platform::makeSystemWorkspace()->runningExecutablePaths().contains(self));
}

TEST(WorkspaceTest, ExecutableDeletedWhileRunningKeepsItsPath)
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
    EXPECT_TRUE(paths.contains(copy));
    EXPECT_FALSE(paths.contains(copy + " (deleted)"));
}

TEST(LogTest, WritesOneStampedLine)
{
    CapturedStandardError captured;
    Platform::makeSystemLog()->line("first\nsecond\r\nthird");
    const QString text = QString::fromLocal8Bit(captured.text());

    const QRegularExpression pattern(QStringLiteral(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} .+\[(\d+)\] (.*)\n$)"));
    const QRegularExpressionMatch match = pattern.match(text);
    ASSERT_TRUE(match.hasMatch()) << text.toStdString();
    EXPECT_EQ(match.captured(1).toLongLong(), QCoreApplication::applicationPid());
    EXPECT_EQ(match.captured(2), "first second  third");
}

TEST(SearchPathsTest, ApplicationSupportIsTheAbsoluteDataLocation)
{
    SavedEnvironment restore("XDG_DATA_HOME");
    QTemporaryDir folder;
    qputenv("XDG_DATA_HOME", folder.path().toLocal8Bit());
    EXPECT_EQ(Platform::applicationSupportDirectories(), QStringList{folder.path()});

    qputenv("XDG_DATA_HOME", "relative/data");
    EXPECT_TRUE(Platform::applicationSupportDirectories().isEmpty());
}
