#include "tests/support/DelegateHarness.h"

#include "InstallationUtility/ALCommandLine.h"
#include "Platform/Files/RunLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <cerrno>
#include <cstring>

using Shell = ScriptedAdministratorShell;

namespace {
const QString kRunning = QStringLiteral("Please close Acrobat before installing or uninstalling Foldwise.");
const QString kOldFailed = QStringLiteral(
    "Installation failed, probably due to insufficient writing permissions. Please try again with admin password.");
const QString kRunFirst = QStringLiteral("Please run Acrobat at least once before installing Foldwise.");
const QString kNoAccess =
    QStringLiteral("Can't perform operation, probably there is no access to the selected location");
const QString kPassword = QStringLiteral("The administrator password is required to do this.");
}  // namespace

class ActionTest : public DelegateTest {
protected:
    QString acrobat;
    int discoveries = 0;

    // One Acrobat of the given version; its plug-in folder made when asked.
    ALAppDelegate& start(const QString& version, bool withFolder, bool installed = false)
    {
        acrobat = addAcrobat(QStringLiteral("Acrobat/Acrobat.app"), version);
        ALAppDelegate& d = loadWindow();
        const QString folder = d.pluginsFoldersForAcrobatPath(acrobat, Platform::majorVersion(version)).first();
        if (withFolder)
            QDir().mkpath(folder);
        if (installed)
            Fixtures::makePluginCopy(folder + QStringLiteral("/Foldwise.acroplugin"), QStringLiteral("2.4"));
        d.searchForAcrobat();
        discoveries = 0;
        QObject::connect(&d, &ALAppDelegate::acrobatInstancesDidChange, [this] { ++discoveries; });
        d.table()->selectRow(0);
        return d;
    }

    // Forgets what the fakes were asked and the Acrobats made so far, before a table's next row.
    void forgetEarlierRows()
    {
        fakes = FakeServices();
        fakes.supportFolders = {support};
        QDir(apps).removeRecursively();
    }

    QString pluginPath(ALAppDelegate& d) const
    {
        return d
            .fwPathForAcrobatPath(acrobat,
                                  Platform::majorVersion(d.acrobatInstances().first().value(ALKey::Version).toString()))
            .first();
    }
};

TEST_F(ActionTest, NoSelectionDoesNothingAtAll)
{
    ALAppDelegate& d = start(QStringLiteral("17.0"), true);
    d.table()->clearSelection();
    d.smartInstallation(nullptr);
    EXPECT_TRUE(fakes.alerts->panels.empty());
    EXPECT_EQ(discoveries, 0);
    EXPECT_TRUE(fakes.fileManager->copies.isEmpty());
}

TEST_F(ActionTest, RunningAcrobatIsRefusedBeforeAnyFileIsTouched)
{
    ALAppDelegate& d = start(QStringLiteral("17.0"), true);
    fakes.workspace->running = {QStringLiteral("/usr/bin/other"),
                                acrobat + QStringLiteral("/Contents/MacOS/AdobeAcrobat")};
    d.smartInstallation(nullptr);
    EXPECT_EQ(fakes.alerts->messages(), QStringList{kRunning});
    EXPECT_EQ(fakes.alerts->panels.front().title, QStringLiteral("Error"));
    EXPECT_EQ(fakes.alerts->panels.front().button, QStringLiteral("OK"));
    EXPECT_EQ(discoveries, 0);
    EXPECT_TRUE(fakes.fileManager->copies.isEmpty());
}

TEST_F(ActionTest, InstallCopiesThePluginAndTheCaptionTurnsToUninstall)
{
    ALAppDelegate& d = start(QStringLiteral("17.012"), true);
    d.smartInstallation(nullptr);
    EXPECT_TRUE(fakes.alerts->panels.empty());
    EXPECT_TRUE(fakes.log->lines.isEmpty());
    EXPECT_EQ(discoveries, 1);
    EXPECT_TRUE(QFileInfo::exists(support + QStringLiteral("/Adobe/Acrobat/2017/Plug-Ins/Foldwise.acroplugin")));
    const QVariantMap record = d.acrobatInstances().first();
    EXPECT_EQ(record.value(ALKey::ButtonCaption).value<Platform::AttributedString>().string,
              QStringLiteral("Uninstall (2.5)"));
}

TEST_F(ActionTest, FailedInstallsShowTheVersionAlertAndTheAccessAlertOnlyWithADescription)
{
    const struct {
        const char* name;
        const char* version;
        bool folder;
        int plainFailure;  // the reason the plain copy fails, or 0 for none
        std::optional<Shell::Result> fallback;
        QStringList alerts;
        QString log;  // how the one log line starts, or empty for none
        bool insideTheTree = false;  // the plain copy fails on a file inside, not in the holding folder
    } rows[] = {
        {"old, folder missing", "11.0.23", false, 0, std::nullopt, {kOldFailed}, {}},
        {"new, folder missing", "15.006", false, 0, std::nullopt, {kRunFirst}, {}},
        {"14, the last old one", "14.9", false, 0, std::nullopt, {kOldFailed}, {}},
        {"no version", "v1", false, 0, std::nullopt, {kOldFailed}, {}},
        {"prompt cancelled",
         "17.0",
         true,
         EACCES,
         Shell::cancelled(),
         {kRunFirst, kNoAccess},
         QStringLiteral("Error = ") + kPassword},
        {"fallback message",
         "11.0",
         true,
         EACCES,
         Shell::failure(QStringLiteral("cp: denied")),
         {kOldFailed, kNoAccess},
         QStringLiteral("Error = cp: denied")},
        {"fallback silent",
         "17.0",
         true,
         EACCES,
         Shell::failure(std::nullopt),
         {kRunFirst, kNoAccess},
         QStringLiteral("Error = The administrator command failed without saying why")},
        {"fallback succeeds", "17.0", true, EACCES, Shell::success(), {}, {}},
        {"disk full: no prompt",
         "17.0",
         true,
         ENOSPC,
         std::nullopt,
         {kRunFirst, kNoAccess},
         QStringLiteral("Error = Injected failure")},
        {"a file the user may not read: no prompt",
         "17.0",
         true,
         EACCES,
         std::nullopt,
         {kRunFirst, kNoAccess},
         QStringLiteral("Error = Injected failure"),
         true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        forgetEarlierRows();
        QDir(support).removeRecursively();
        ALAppDelegate& d = start(QString::fromLatin1(row.version), row.folder);
        if (row.plainFailure) {
            fakes.fileManager->failingCopies.insert(pluginPath(d));
            fakes.fileManager->failureCodes.insert(pluginPath(d), row.plainFailure);
            if (row.insideTheTree)
                fakes.fileManager->failingInsideTheTree.insert(pluginPath(d));
        }
        if (row.fallback)
            fakes.shell->results = {*row.fallback};
        d.smartInstallation(nullptr);
        EXPECT_EQ(fakes.alerts->messages(), row.alerts);
        ASSERT_EQ(fakes.log->lines.size(), row.log.isEmpty() ? 0 : 1);
        if (!row.log.isEmpty()) {
            EXPECT_TRUE(fakes.log->lines.first().startsWith(row.log)) << fakes.log->lines.first().toStdString();
            EXPECT_EQ(fakes.log->alertsShownBefore, std::vector<size_t>{size_t(row.alerts.size())})
                << "the line is written after the last alert";
        }
        EXPECT_EQ(discoveries, 1);
        EXPECT_EQ(fakes.shell->commands.size(), row.fallback ? 1 : 0);
    }
}

TEST_F(ActionTest, APluginOrFolderThatCannotBeFoundNeverPromptsAndOnlyAbsenceGoesUndescribed)
{
    // Only "no such entry" means absent: any other reason a look-up fails is told as it is.
    const struct {
        const char* name;
        bool withPlugin;
        bool folderUnreadable;
        bool pluginUnreadable;
        QString log;
    } rows[] = {
        {"plug-in missing", false, false, false, QStringLiteral("The plug-in to install is missing: ")},
        {"plug-in unreadable", false, false, true, QStringLiteral("The plug-in to install cannot be read: ")},
        {"plug-in folder unreadable", true, true, false, QStringLiteral("Injected look-up failure at ")},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        forgetEarlierRows();
        mainBundle = Fixtures::makeMainBundle(temp.filePath(QStringLiteral("Installer %1.app").arg(row.name)),
                                              QStringLiteral("2.5"), row.withPlugin);
        const QString carried = mainBundle + QStringLiteral("/Contents/Resources/Foldwise.acroplugin");
        if (row.pluginUnreadable)
            fakes.fileManager->failingLookups.insert(carried, EIO);
        ALAppDelegate& d = start(QStringLiteral("17.0"), true);
        if (row.folderUnreadable)
            fakes.fileManager->failingLookups.insert(QFileInfo(pluginPath(d)).path(), EIO);
        d.smartInstallation(nullptr);
        EXPECT_TRUE(fakes.shell->commands.isEmpty());
        EXPECT_TRUE(fakes.fileManager->copies.isEmpty());
        EXPECT_EQ(fakes.alerts->messages(), (QStringList{kRunFirst, kNoAccess}));
        ASSERT_EQ(fakes.log->lines.size(), 1);
        const QString line = fakes.log->lines.first();
        EXPECT_TRUE(line.startsWith(QStringLiteral("Error = ") + row.log)) << line.toStdString();
        EXPECT_TRUE(line.contains(row.withPlugin ? QFileInfo(pluginPath(d)).path() : carried)) << line.toStdString();
        if (row.folderUnreadable || row.pluginUnreadable) {
            EXPECT_TRUE(line.contains(QString::fromLocal8Bit(std::strerror(EIO)))) << line.toStdString();
        }
    }
}

TEST_F(ActionTest, UninstallRemovesTheCopyAndTheCaptionReturnsToInstall)
{
    ALAppDelegate& d = start(QStringLiteral("11.0"), true, true);
    ASSERT_TRUE(d.acrobatInstances().first().contains(ALKey::FW));
    d.smartInstallation(nullptr);
    EXPECT_TRUE(fakes.alerts->panels.empty());
    EXPECT_FALSE(QFileInfo::exists(pluginPath(d)));
    EXPECT_FALSE(d.acrobatInstances().first().contains(ALKey::FW));
    EXPECT_EQ(d.acrobatInstances().first().value(ALKey::ButtonCaption).value<Platform::AttributedString>().string,
              QStringLiteral("Install"));
}

TEST_F(ActionTest, RemovingSeveralCopiesReportsWhatTheLastFallbackSaid)
{
    const QStringList folders{temp.filePath(QStringLiteral("one")), temp.filePath(QStringLiteral("two"))};
    const QString first = folders[0] + QStringLiteral("/Foldwise.acroplugin");
    const QString second = folders[1] + QStringLiteral("/Foldwise.acroplugin");
    const struct {
        const char* name;
        QSet<QString> refused;  // copies whose plain removal lacks rights
        std::deque<Shell::Result> prompts;
        QStringList alerts;
        QStringList log;
        bool secondGone;  // a scripted prompt removes nothing
    } rows[] = {
        {"the first prompt cancelled, the second copy removed plainly: the password text stays",
         {first},
         {Shell::cancelled()},
         {kNoAccess},
         {QStringLiteral("Error = ") + kPassword},
         true},
        {"the second copy's prompt succeeds: nothing is left to report",
         {first, second},
         {Shell::cancelled(), Shell::success()},
         {},
         {},
         false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        forgetEarlierRows();
        addAcrobat(QStringLiteral("Acrobat/Acrobat.app"), QStringLiteral("11.0"));
        fakes.fileManager->failingRemovals = row.refused;
        fakes.shell->results = row.prompts;
        Fixtures::makePluginCopy(first, QStringLiteral("2.4"));
        Fixtures::makePluginCopy(second, QStringLiteral("2.5"));
        ALAppDelegate& d = makeDelegateWithPluginFolders(folders);
        d.searchForAcrobat();
        ASSERT_EQ(d.acrobatInstances().first().value(ALKey::FW).toList().size(), 2);

        EXPECT_EQ(d.installOrUninstall(0), ALActionOutcome::failed);
        EXPECT_EQ(fakes.shell->commands.size(), qsizetype(row.prompts.size()));
        EXPECT_EQ(fakes.alerts->messages(), row.alerts);
        EXPECT_EQ(fakes.log->lines, row.log);
        EXPECT_TRUE(QFileInfo::exists(first)) << "the cancelled prompt removed nothing";
        EXPECT_NE(QFileInfo::exists(second), row.secondGone);
        EXPECT_TRUE(d.acrobatInstances().first().contains(ALKey::FW)) << "the row still shows the copy left";
    }
}

TEST_F(ActionTest, ARowThatVanishedFromTheListIsNoRowToActOn)
{
    ALAppDelegate& d = start(QStringLiteral("17.0"), true);
    // Discovery finds the selected Acrobat gone and tells the table.
    fakes.registry->applications.clear();
    d.searchForAcrobat();
    discoveries = 0;
    d.smartInstallation(nullptr);
    EXPECT_TRUE(fakes.alerts->panels.empty());
    EXPECT_EQ(discoveries, 0);
    EXPECT_TRUE(fakes.fileManager->copies.isEmpty());
    // Asked for by number, as the command line asks, a row the list lacks is none either.
    EXPECT_EQ(d.installOrUninstall(0), ALActionOutcome::noSuchRow);
    EXPECT_EQ(d.installOrUninstall(-1), ALActionOutcome::noSuchRow);
    EXPECT_EQ(discoveries, 0);
}

TEST_F(ActionTest, CommandLineUninstallWithNoCopyLeftFinishesWhatAStoppedRemovalLeft)
{
    ALAppDelegate& d = start(QStringLiteral("17.0"), true);
    const QString folder = QFileInfo(pluginPath(d)).path();
    Fixtures::makePluginCopy(folder + QStringLiteral("/.Foldwise.acroplugin.foldwise-Ab12Cd"), QStringLiteral("2.4"));
    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    ALCommandLine commandLine([&](const std::optional<QString>&) { return std::optional(fakes.services(mainBundle)); },
                              outStream, errStream, {});
    ALCommandLineRequest request;
    request.command = ALCommandLineRequest::Command::uninstall;
    request.applicationPaths = {acrobat};
    EXPECT_EQ(commandLine.run(request), ALExitStatus::done) << err.toStdString();
    EXPECT_TRUE(out.endsWith(QStringLiteral(": not installed\n"))) << out.toStdString();
    EXPECT_TRUE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
}

TEST_F(ActionTest, AnotherRunHoldingTheLockRefusesTheRowsActionAndNothingChanges)
{
    fakes.runLockPath = temp.filePath(QStringLiteral("run.lock"));
    ALAppDelegate& d = start(QStringLiteral("17.012"), true, true);
    bool busy = false;
    QString why;
    std::optional<Platform::RunLock> otherRun =
        Platform::RunLock::take(fakes.runLockPath, std::chrono::milliseconds(0), &busy, &why);
    ASSERT_TRUE(otherRun);
    const QStringList before = Fixtures::treeOf(support);
    d.smartInstallation(nullptr);
    EXPECT_EQ(
        fakes.alerts->messages(),
        QStringList{QStringLiteral("Another run of the installer is installing or uninstalling Foldwise right now. "
                                   "Please try again when it is done.")});
    EXPECT_EQ(fakes.log->lines,
              QStringList{QStringLiteral("Error = Another installer run holds ") + fakes.runLockPath});
    EXPECT_TRUE(fakes.fileManager->removals.isEmpty());
    EXPECT_EQ(Fixtures::treeOf(support), before);
    EXPECT_EQ(d.acrobatInstances().first().value(ALKey::ButtonCaption).value<Platform::AttributedString>().string,
              QStringLiteral("Uninstall (2.4)"));

    otherRun.reset();
    d.smartInstallation(nullptr);
    EXPECT_FALSE(QFileInfo::exists(pluginPath(d)));
    EXPECT_TRUE(Platform::RunLock::take(fakes.runLockPath, std::chrono::milliseconds(0), &busy, &why))
        << "held around the removal only";
    // A lock file that cannot be used (here: its folder is not there) stops nobody.
    forgetEarlierRows();
    fakes.runLockPath = temp.filePath(QStringLiteral("nowhere/run.lock"));
    ALAppDelegate& again = start(QStringLiteral("17.012"), true);
    again.smartInstallation(nullptr);
    EXPECT_TRUE(QFileInfo::exists(pluginPath(again)));
    EXPECT_TRUE(fakes.alerts->panels.empty());
    ASSERT_EQ(fakes.log->lines.size(), 1);
    EXPECT_TRUE(
        fakes.log->lines.first().startsWith(QStringLiteral("Working without the run lock: Cannot use the lock file")))
        << fakes.log->lines.first().toStdString();
}
