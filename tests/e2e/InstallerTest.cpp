#include "tests/e2e/InstallerSession.h"

#include "tests/support/Fixtures.h"

#include <QDir>
#include <QFile>
#include <QThread>
#include <QUrl>

using namespace E2E;

namespace {

using Fixtures::kCopyInfo;
using Fixtures::readFile;

const QString kInstaller = QStringLiteral("Foldwise Installer");
const QString kError = QStringLiteral("Error");

// Gives an address handed over late the time to be written down.
void settle()
{
    QThread::msleep(1000);
}

}  // namespace

TEST_F(InstallerSession, WithoutAcrobatTheErrorPanelEndsTheRunAfterOK)
{
    launch();
    const std::optional<QString> panel = desktop.waitForWindow(kError);
    ASSERT_TRUE(panel) << "no Error panel";
    EXPECT_FALSE(desktop.hasWindow(kInstaller)) << "the window is never shown without an Acrobat";
    EXPECT_TRUE(installer->running()) << "the panel waits for OK";
    ASSERT_TRUE(desktop.key(*panel, QStringLiteral("Return")));
    EXPECT_EQ(waitForExit(), 0) << "the process ends by itself, successfully";
    settle();
    EXPECT_TRUE(opened().isEmpty());
}

TEST_F(InstallerSession, OneInstallationMakesAWindowOfOneRow)
{
    addAcrobat(QStringLiteral("Acrobat 11"), QStringLiteral("11.0.23"));
    const QString window = launchToMainWindow();
    ASSERT_FALSE(window.isEmpty());
    EXPECT_EQ(windowSize(window), QSize(600, 230));
    EXPECT_EQ(waitForBars(window, {QStringLiteral("blue")}), QStringList{QStringLiteral("blue")});
}

TEST_F(InstallerSession, ThreeInstallationsEachShowTheirOwnState)
{
    // Rows come in the order of the folders' names; each Acrobat has its own plug-in folder.
    const QString old = addAcrobat(QStringLiteral("Acrobat 11"), QStringLiteral("11.0.23"));
    addAcrobat(QStringLiteral("Acrobat 2017"), QStringLiteral("17.012.20098"));
    addAcrobat(QStringLiteral("Adobe Acrobat DC"), QStringLiteral("15.006.30060"));
    Fixtures::makePluginCopy(old + QStringLiteral("/Contents/Plug-ins/Foldwise.acroplugin"), QStringLiteral("2.5"));
    QDir().mkpath(support + QStringLiteral("/Adobe/Acrobat/2017/Plug-Ins"));
    Fixtures::makePluginCopy(support + QStringLiteral("/Adobe/Acrobat/DC/Plug-Ins/Foldwise.acroplugin"),
                             QStringLiteral("2.4"));
    const QString window = launchToMainWindow();
    ASSERT_FALSE(window.isEmpty());
    const QStringList expected{QStringLiteral("grey"), QStringLiteral("blue"), QStringLiteral("grey")};
    EXPECT_EQ(waitForBars(window, expected), expected);
}

TEST_F(InstallerSession, InstallThenUninstallChangesTheDiskAndTheBar)
{
    const QString acrobat = addAcrobat(QStringLiteral("Acrobat 11"), QStringLiteral("11.0.23"));
    const QString plugins = acrobat + QStringLiteral("/Contents/Plug-ins");
    ASSERT_TRUE(QDir().mkpath(plugins));
    const QString window = launchToMainWindow();
    ASSERT_FALSE(window.isEmpty());
    ASSERT_EQ(waitForBars(window, {QStringLiteral("blue")}), QStringList{QStringLiteral("blue")});

    // Let go outside the bar: no action.
    const QRect bar = barOfRow(window, 0);
    ASSERT_TRUE(desktop.drag(window, bar.center(), QPoint(bar.center().x(), bar.bottom() + 10)));
    settle();
    EXPECT_TRUE(QDir(plugins).isEmpty()) << "released outside the bar, yet it acted";
    EXPECT_EQ(waitForBars(window, {QStringLiteral("blue")}), QStringList{QStringLiteral("blue")});

    ASSERT_TRUE(clickBar(window, 0));
    ASSERT_TRUE(eventually([&] { return QFile::exists(plugins + kCopyInfo); })) << "Install copied nothing";
    EXPECT_EQ(readFile(plugins + kCopyInfo),
              readFile(QStringLiteral(FOLDWISE_APP_BUNDLE "/Contents/Resources") + kCopyInfo))
        << "the copy is of the plug-in the installer carries";
    EXPECT_EQ(waitForBars(window, {QStringLiteral("grey")}), QStringList{QStringLiteral("grey")});

    ASSERT_TRUE(clickBar(window, 0));
    ASSERT_TRUE(eventually([&] { return !QFileInfo::exists(plugins + QStringLiteral("/Foldwise.acroplugin")); }))
        << "Uninstall left the copy";
    EXPECT_TRUE(QDir(plugins).exists()) << "only the copy goes, not the folder";
    EXPECT_EQ(waitForBars(window, {QStringLiteral("blue")}), QStringList{QStringLiteral("blue")});

    // Back to how it started: nothing was removed in the end, so no page opens.
    ASSERT_TRUE(desktop.key(window, QStringLiteral("ctrl+q")));
    EXPECT_EQ(waitForExit(), 0);
    settle();
    EXPECT_TRUE(opened().isEmpty()) << opened().join(QLatin1Char(' ')).toStdString();
}

// Leaving by either key after only removing a copy opens our page once.
class UninstallThenLeave : public InstallerSession, public ::testing::WithParamInterface<const char*> {};

TEST_P(UninstallThenLeave, OpensTheUninstallPageOnce)
{
    const QString acrobat = addAcrobat(QStringLiteral("Acrobat 11"), QStringLiteral("11.0.23"));
    const QString copy = acrobat + QStringLiteral("/Contents/Plug-ins/Foldwise.acroplugin");
    Fixtures::makePluginCopy(copy, QStringLiteral("2.4"));
    const QString window = launchToMainWindow();
    ASSERT_FALSE(window.isEmpty());
    ASSERT_EQ(waitForBars(window, {QStringLiteral("grey")}), QStringList{QStringLiteral("grey")});

    ASSERT_TRUE(clickBar(window, 0));
    ASSERT_TRUE(eventually([&] { return !QFileInfo::exists(copy); })) << "Uninstall left the copy";
    EXPECT_EQ(waitForBars(window, {QStringLiteral("blue")}), QStringList{QStringLiteral("blue")});
    EXPECT_TRUE(opened().isEmpty()) << "nothing opens before the end";

    ASSERT_TRUE(desktop.key(window, QString::fromLatin1(GetParam())));
    EXPECT_EQ(waitForExit(), 0);
    ASSERT_TRUE(eventually([&] { return !opened().isEmpty(); })) << "no address was opened";
    settle();
    const QStringList addresses = opened();
    ASSERT_EQ(addresses.size(), 1) << addresses.join(QLatin1Char(' ')).toStdString();
    const QUrl url(addresses.first());
    EXPECT_EQ(url.scheme(), QStringLiteral("https"));
    EXPECT_EQ(url.path(), QStringLiteral("/foldwise/uninstall/"));
}

INSTANTIATE_TEST_SUITE_P(Keys, UninstallThenLeave, ::testing::Values("ctrl+q", "ctrl+w"),
                         [](const auto& info) { return std::string(info.param[5] == 'q' ? "Quit" : "Close"); });

TEST_F(InstallerSession, RunningAcrobatIsRefusedUntilItEnds)
{
    const QString acrobat = addAcrobat(QStringLiteral("Acrobat 2017"), QStringLiteral("17.012.20098"));
    const QString plugins = support + QStringLiteral("/Adobe/Acrobat/2017/Plug-Ins");
    ASSERT_TRUE(QDir().mkpath(plugins));
    ChildProcess running(Fixtures::makeAcrobatExecutable(acrobat), {QStringLiteral("60")});
    ASSERT_TRUE(running.started());

    const QString window = launchToMainWindow();
    ASSERT_FALSE(window.isEmpty());
    ASSERT_EQ(waitForBars(window, {QStringLiteral("blue")}), QStringList{QStringLiteral("blue")});
    ASSERT_TRUE(clickBar(window, 0));
    const std::optional<QString> alert = desktop.waitForWindow(kError, 10s);
    ASSERT_TRUE(alert) << "no alert while Acrobat runs";
    EXPECT_TRUE(QDir(plugins).isEmpty()) << "nothing is copied while Acrobat runs";
    ASSERT_TRUE(desktop.key(*alert, QStringLiteral("Return")));
    EXPECT_TRUE(eventually([&] { return !desktop.hasWindow(kError); })) << "OK closes the alert";
    EXPECT_TRUE(installer->running()) << "the alert does not end the run";
    EXPECT_EQ(waitForBars(window, {QStringLiteral("blue")}), QStringList{QStringLiteral("blue")});

    // The same click works once Acrobat has quit.
    running.stop();
    ASSERT_TRUE(clickBar(window, 0));
    EXPECT_TRUE(eventually([&] { return QFile::exists(plugins + kCopyInfo); })) << "Install copied nothing";
    EXPECT_EQ(waitForBars(window, {QStringLiteral("grey")}), QStringList{QStringLiteral("grey")});
    EXPECT_FALSE(desktop.hasWindow(kError));
}

TEST_F(InstallerSession, Acrobat15WithoutItsPluginFolderIsRefused)
{
    addAcrobat(QStringLiteral("Adobe Acrobat DC"), QStringLiteral("15.006.30060"));
    const QString window = launchToMainWindow();
    ASSERT_FALSE(window.isEmpty());
    ASSERT_EQ(waitForBars(window, {QStringLiteral("blue")}), QStringList{QStringLiteral("blue")});
    ASSERT_TRUE(clickBar(window, 0));
    const std::optional<QString> alert = desktop.waitForWindow(kError, 10s);
    ASSERT_TRUE(alert) << "no alert for the missing plug-in folder";
    ASSERT_TRUE(desktop.key(*alert, QStringLiteral("Return")));
    EXPECT_TRUE(eventually([&] { return !desktop.hasWindow(kError); })) << "OK closes the alert";
    EXPECT_FALSE(QFileInfo::exists(support + QStringLiteral("/Adobe"))) << "no folder is made for Acrobat";
    EXPECT_TRUE(QDir(support).isEmpty());
    EXPECT_TRUE(installer->running());
    EXPECT_EQ(waitForBars(window, {QStringLiteral("blue")}), QStringList{QStringLiteral("blue")});
}
