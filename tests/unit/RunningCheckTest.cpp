#include "tests/support/DelegateHarness.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>

// The running check against real processes started from fixture Acrobat bundles.
class RunningCheckTest : public DelegateTest {
protected:
    QProcess acrobatProcess;

    void TearDown() override
    {
        acrobatProcess.kill();
        acrobatProcess.waitForFinished();
    }

    void startAcrobat(const QString& acrobat)
    {
        acrobatProcess.start(Fixtures::makeAcrobatExecutable(acrobat), {QStringLiteral("30")});
        ASSERT_TRUE(acrobatProcess.waitForStarted());
    }
};

TEST_F(RunningCheckTest, RunningCheckMatchesOnlyThisExactExecutable)
{
    const QString running = addAcrobat(QStringLiteral("Running/Acrobat.app"), QStringLiteral("17.0"));
    const QString other = addAcrobat(QStringLiteral("Other/Acrobat.app"), QStringLiteral("17.0"));
    startAcrobat(running);
    // The other installation holds the same program, not the same file.
    Fixtures::makeAcrobatExecutable(other);
    // Where the volume ignores letter case (macOS's default), both spellings name one file.
    Fixtures::writeFile(apps + QStringLiteral("/probe"), "");
    const bool caseInsensitive = QFileInfo::exists(apps + QStringLiteral("/PROBE"));
    ALAppDelegate& d = makeDelegate(Platform::Services::system().workspace);

    const struct {
        const char* name;
        QString path;
        bool isRunning;
    } rows[] = {
        {"the running installation", running, true},
        {"a second installation of the same program", other, false},
        {"the same path in other letter case", apps + QStringLiteral("/running/Acrobat.app"), caseInsensitive},
        {"a path where nothing is", apps + QStringLiteral("/Missing/Acrobat.app"), false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(d.applicationIsRunning(row.path), row.isRunning);
    }

    acrobatProcess.kill();
    acrobatProcess.waitForFinished();
    EXPECT_FALSE(d.applicationIsRunning(running));
}

TEST_F(RunningCheckTest, AnAcrobatReachedThroughALinkedFolderIsRunning)
{
    // The registry hands out paths as scanned; the process's executable shows the resolved one.
    const QString real = addAcrobat(QStringLiteral("Real/Acrobat.app"), QStringLiteral("17.0"));
    const QString linkedFolder = temp.filePath(QStringLiteral("Linked Applications"));
    ASSERT_TRUE(QFile::link(apps + QStringLiteral("/Real"), linkedFolder));
    const QString scanned = linkedFolder + QStringLiteral("/Acrobat.app");
    startAcrobat(scanned);
    ALAppDelegate& d = makeDelegate(Platform::Services::system().workspace);

    EXPECT_TRUE(d.applicationIsRunning(scanned));
    EXPECT_TRUE(d.applicationIsRunning(real));
}
