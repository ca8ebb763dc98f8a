#pragma once

#include "InstallationUtility/ALRecordKeys.h"
#include "Platform/App/Application.h"
#include "Platform/App/Services.h"
#include "Platform/Files/RunLock.h"
#include "Platform/Privileges/RootCommands.h"
#include "Platform/Privileges/RootWarrant.h"
#include "Platform/Table/TableView.h"

#include <QLabel>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <optional>

// Where we ask people who removed Foldwise what made them leave.
extern const char* const ALUninstallWebPage;

// What one press of a row's button came to.
enum class ALActionOutcome {
    noSuchRow,  // no row selected, or one the list no longer has: nothing happened
    acrobatRunning,  // refused with the running alert; nothing touched
    done,  // installed, or every copy removed
    failed,  // described to the user in alerts (and the log line when there is a description)
};

// How an installed copy stands to the plug-in this installer carries: the same version, an older
// or a newer one, or damaged (no readable information, or no version in it).
enum class ALCopyState { intact, older, newer, damaged };

// Owns the application's state: the Acrobat installations found, the snapshot taken at launch,
// and every behaviour of the window: launch, discovery, installing and removing, the table's data.
class ALAppDelegate : public QObject, public Platform::ApplicationDelegate, public Platform::TableDataSource {
    Q_OBJECT
public:
    explicit ALAppDelegate(Platform::Services services, QObject* parent = nullptr);
    ~ALAppDelegate() override;

    // The one list of instance records; the same object for the whole run.
    const QList<QVariantMap>& acrobatInstances() const { return m_acrobatInstances; }
    const std::optional<QSet<QString>>& startingSnapshot() const { return m_startingSnapshot; }
    QWidget* window() const { return m_window; }
    // The window's size follows the desktop's font, and its background the desktop's palette,
    // while it runs.
    void setWindow(QWidget* window);
    QLabel* versionLabel() const { return m_versionLabel; }
    void setVersionLabel(QLabel* label) { m_versionLabel = label; }
    Platform::TableView* table() const { return m_table; }
    void setTable(Platform::TableView* table) { m_table = table; }

    // Launch and the end of the run.
    void awakeFromNib() override;
    void applicationDidFinishLaunching() override;
    bool applicationShouldTerminateAfterLastWindowClosed() override { return true; }
    void applicationWillTerminate() override;

    // Discovery.
    void searchForAcrobat();
    // Whether records carry the application's icon; a run without a window has no use for it
    // and decodes no image.
    void setDecodesIcons(bool decodes) { m_decodesIcons = decodes; }
    QSet<QString> installationSnapshot(const QList<QVariantMap>& instances) const;

    // Where each Acrobat version loads plug-ins from. Discovery and the action reach the folder
    // rule through dispatch, so that one override gives them both a rule with several folders.
    virtual QStringList pluginsFoldersForAcrobatPath(const QString& acrobatPath, unsigned version) const;
    QString pluginPathFromFolderPath(const QString& folderPath) const;
    QStringList fwPathForAcrobatPath(const QString& acrobatPath, unsigned version) const;

    // Copying and removing, with the administrator shell when the user's own rights fall short.
    bool runProcessAsAdministrator(const QString& process, const QStringList& arguments, std::optional<QString>* output,
                                   std::optional<QString>* errorDescription);
    bool rootCopyFile(const QString& source, const QString& destinationFile, std::optional<QString>* errorDescription);
    bool rootEraseFile(const QString& path, std::optional<QString>* errorDescription);

    // The row button's action: installs into, or removes from, the selected row's Acrobat.
    void smartInstallation(QObject* sender);
    // The same for the given row, telling how it went; discovery runs again unless nothing was done.
    ALActionOutcome installOrUninstall(int row);
    bool applicationIsRunning(const QString& acrobatPath);
    // Puts the carried plug-in in the place of the given row's older or damaged copies, each in one
    // exchange and with the user's own rights only: what those cannot replace is told, never
    // handed to the administrator shell (`lackOfRights` set). Discovery runs again unless nothing
    // was done. The window never upgrades: its button removes a copy of any version.
    ALActionOutcome upgradeInstallation(int row, bool* lackOfRights = nullptr);
    // The version of the plug-in this installer carries; none when it cannot be read.
    std::optional<QString> carriedPluginVersion() const;
    // How a copy record (one of an instance's "FW") stands to the carried plug-in.
    ALCopyState copyState(const QVariantMap& copy) const;
    // Clears away what an earlier, stopped run left beside the given row's plug-in paths, with the
    // user's rights (an install or uninstall does it first anyway); tells what stays, if anything.
    std::optional<QString> sweepLeftovers(int row);

    // The table's questions.
    int numberOfRowsInTableView(Platform::TableView* tableView) override;
    QVariant objectValueForTableColumn(Platform::TableView* tableView, Platform::TableColumn* column, int row) override;
    Platform::Cell* dataCellForTableColumn(Platform::TableView* tableView, Platform::TableColumn* column,
                                           int row) override;
    // No tool tips: the table's own answer, none, holds for every cell.

signals:
    // Once after each discovery, the list holding its new records.
    void acrobatInstancesDidChange();

private:
    std::optional<QVariantMap> acrobatInstanceRecord(const QString& applicationPath) const;
    QVariantList installedCopies(const QString& acrobatPath, unsigned version) const;
    QVariantMap installedCopyRecord(const QString& pluginPath) const;
    void resizeWindowToRecords();
    void followDesktopPalette();
    static QRect keptOnScreen(QWidget* window, QRect wanted);
    void announceOutcome(const QVariantMap& before);
    bool installPlugin(const QVariantMap& instance, std::optional<QString>* errorDescription);
    bool removePlugin(const QVariantMap& instance, std::optional<QString>* errorDescription);
    bool runCommandAsAdministrator(const QString& commandText, std::optional<QString>* output,
                                   std::optional<QString>* errorDescription);
    bool runRootCommand(const Platform::RootCommand& command, std::optional<QString>* errorDescription);
    bool takeRootStep(const Platform::RootStep& step, std::optional<QString>* errorDescription);
    // Whether and where root may act, over this run's files and rule.
    Platform::RootWarrant rootWarrant() const;
    QString whyPluginIsMissing() const;
    // Takes the lock against other runs of the installer for one copy or removal; where another
    // run holds it, the user is told and false is given. A lock file that cannot be used is
    // logged and worked without.
    bool takeRunLock(std::optional<Platform::RunLock>& lock);
    // Fails an operation for which root is not asked, keeping the reason for the access alert.
    bool declined(const QString& refusal, std::optional<QString>* errorDescription);
    static std::optional<QString> whatWasLeft(const Platform::FileError& error);
    bool doneButLeftSomething(const Platform::FileError& plain, std::optional<QString>* errorDescription);
    void showError(const QString& message);

    Platform::Services m_services;
    QList<QVariantMap> m_acrobatInstances;
    std::optional<QSet<QString>> m_startingSnapshot;
    bool m_decodesIcons = true;
    // The window description's, not ours: each reads as null once its widget is gone.
    QPointer<QWidget> m_window;
    QPointer<QLabel> m_versionLabel;
    QPointer<Platform::TableView> m_table;
    // Why root was last not asked, or what was last left behind, during the action under way; the
    // access alert shows it when it is what the action ends with.
    std::optional<QString> m_explained;
};
