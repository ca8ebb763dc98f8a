#include "tests/support/DelegateHarness.h"

#include <QFile>
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
        const QString executable = acrobat + QStringLiteral("/Contents/MacOS/AdobeAcrobat");
        QDir().mkpath(acrobat + QStringLiteral("/Contents/MacOS"));
        ASSERT_TRUE(QFile::copy(QStringLiteral("/bin/sleep"), executable));
        acrobatProcess.start(executable, {QStringLiteral("30")});
        ASSERT_TRUE(acrobatProcess.waitForStarted());
    }
};

TEST_F(RunningCheckTest, OnlyTheRunningInstallationsOwnExecutableCounts)
{
    const QString running = addAcrobat(QStringLiteral("Running/Acrobat.app"), QStringLiteral("17.0"));
    const QString other = addAcrobat(QStringLiteral("Other/Acrobat.app"), QStringLiteral("17.0"));
    startAcrobat(running);
    Platform::Services services = fakes.services(mainBundle);
    services.workspace = Platform::makeSystemWorkspace();
    ALAppDelegate d(services);

    EXPECT_TRUE(d.applicationIsRunning(running));
    EXPECT_FALSE(d.applicationIsRunning(other)) << "a second installation is not blocked";
    EXPECT_FALSE(d.applicationIsRunning(apps + QStringLiteral("/running/Acrobat.app"))) << "letter case matters";

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
    Platform::Services services = fakes.services(mainBundle);
    services.workspace = Platform::makeSystemWorkspace();
    ALAppDelegate d(services);

    EXPECT_TRUE(d.applicationIsRunning(scanned));
    EXPECT_TRUE(d.applicationIsRunning(real));
}
