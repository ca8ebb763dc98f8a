#include "InstallationUtility/ALAppDelegate.h"

#include "InstallationUtility/ALColumnIdentifiers.h"
#include "InstallationUtility/ALMessages.h"
#include "InstallationUtility/ALTableCell.h"
#include "InstallationUtility/Bundle+AppIcon.h"
#include "Platform/App/Format.h"
#include "Platform/Table/Appearance.h"
#include "Platform/Bundles/Bundle.h"
#include "Platform/Files/Paths.h"
#include "Platform/Files/RunLock.h"
#include "Platform/Privileges/RootCommands.h"
#include "Platform/PropertyList/PropertyListCache.h"
#include "Platform/Table/Cell.h"

#include <QApplication>
#include <QColor>
#include <QFileInfo>
#include <QLabel>
#include <QPalette>
#include <QScreen>
#include <QStyle>
#include <QUrl>
#include <QWidget>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

using Platform::appendingPathComponent;
using Platform::format;

const char* const ALUninstallWebPage = "https://www.foldwise.com/foldwise/uninstall/";

namespace {

const QString kAcrobatBundleIdentifier = QStringLiteral("com.adobe.Acrobat.Pro");
const QString kAcrobatExecutable = QStringLiteral("Contents/MacOS/AdobeAcrobat");
const QString kPluginBundleName = QStringLiteral("Foldwise.acroplugin");
const QString kNestedApplication = QStringLiteral("Contents/Resources/Foldwise.app");
const QString kCarriedPluginApplication =
    QStringLiteral("Contents/Resources/Foldwise.acroplugin/Contents/Resources/Foldwise.app");
const QString kShortVersionKey = QStringLiteral("CFBundleShortVersionString");
const QString kNameKey = QStringLiteral("CFBundleName");
// Acrobat up to this major version loads plug-ins from inside its own bundle, later ones from
// the user's Application Support folder; the message of a failed install follows the same line.
constexpr unsigned kLastVersionWithPluginsInBundle = 14;

using ALMessage::kErrorTitle;
using ALMessage::kOK;
using ALMessage::kNoAcrobatMessage;
using ALMessage::kRunningMessage;
using ALMessage::kOldVersionFailedMessage;
using ALMessage::kRunAcrobatFirstMessage;
using ALMessage::kNoAccessMessage;
using ALMessage::kPasswordRequired;
using ALMessage::kBusyMessage;
using ALMessage::kRootWillNotInstallThere;
using ALMessage::kRootWillNotRemoveThere;
using ALMessage::kRootWillNotReplaceThere;

bool keepsPluginsInItsBundle(unsigned majorVersion)
{
    return majorVersion <= kLastVersionWithPluginsInBundle;
}

std::optional<QString> stringEntry(const QVariantMap& map, const QString& key)
{
    return Platform::textOf(map.value(key));
}

// The one way an operation fills its optional error description: into the caller's holder,
// when there is one; the result is passed on.
bool reported(bool result, const std::optional<QString>& description, std::optional<QString>* errorDescription)
{
    if (errorDescription)
        *errorDescription = description;
    return result;
}

// Shows the busy cursor while files are copied or removed, or the password prompt is up.
class WaitCursor {
public:
    WaitCursor() : m_active(qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr)
    {
        if (m_active)
            QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~WaitCursor()
    {
        if (m_active)
            QApplication::restoreOverrideCursor();
    }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    bool m_active;
};

}  // namespace

ALAppDelegate::ALAppDelegate(Platform::Services services, QObject* parent)
    : QObject(parent),
      m_services(std::move(services))
{
}

ALAppDelegate::~ALAppDelegate() = default;

// ---- Launch ---------------------------------------------------------------------------------

void ALAppDelegate::setWindow(QWidget* window)
{
    if (m_window)
        disconnect(m_window, nullptr, this, nullptr);
    m_window = window;
    if (auto* ownWindow = qobject_cast<Platform::Window*>(window)) {
        connect(ownWindow, &Platform::Window::fontDidChange, this, &ALAppDelegate::resizeWindowToRecords);
        connect(ownWindow, &Platform::Window::paletteDidChange, this, &ALAppDelegate::followDesktopPalette);
    }
}

void ALAppDelegate::awakeFromNib()
{
    QWidget* window = this->window();
    followDesktopPalette();
    const QString versionText = format(QStringLiteral("version %@"), {carriedPluginVersion()});
    if (m_versionLabel)
        m_versionLabel->setText(versionText);
    // Screen readers say the window's description with its title, so the version is heard too.
    if (window)
        window->setAccessibleDescription(QStringLiteral("Foldwise ") + versionText);
}

// A palette the user chose to read by (dark, high contrast) keeps its own window colour; under
// the usual one the window has the designed grey. Only the window colour is the window's own, so
// every other colour still follows the desktop.
void ALAppDelegate::followDesktopPalette()
{
    QWidget* window = this->window();
    if (!window)
        return;
    QPalette own;
    if (!Platform::Appearance::ofDesktop(window).followsPalette()) {
        own.setColor(QPalette::Window, QColor::fromRgbF(0.97f, 0.97f, 0.97f, 1.0f));
        window->setAutoFillBackground(true);
    }
    window->setPalette(own);
}

std::optional<QString> ALAppDelegate::carriedPluginVersion() const
{
    const QString pluginApplicationPath =
        appendingPathComponent(m_services.mainBundle.bundlePath(), kCarriedPluginApplication);
    if (const auto bundle = Platform::Bundle::bundleWithPath(pluginApplicationPath))
        return stringEntry(bundle->infoDictionary(), kShortVersionKey);
    return std::nullopt;
}

void ALAppDelegate::applicationDidFinishLaunching()
{
    searchForAcrobat();
    if (!m_acrobatInstances.isEmpty()) {
        if (QWidget* window = this->window()) {
            window->show();
            // Shown, the window has the frame the window manager gave it: it goes inside the
            // screen with that frame.
            window->setGeometry(keptOnScreen(window, window->geometry()));
            window->raise();
            window->activateWindow();
        }
        return;
    }
    showError(kNoAcrobatMessage);
    if (QWidget* window = this->window())
        window->close();
}

void ALAppDelegate::applicationWillTerminate()
{
    if (!m_startingSnapshot)
        return;
    const QSet<QString> current = installationSnapshot(m_acrobatInstances);
    const QSet<QString> removed = QSet<QString>(*m_startingSnapshot).subtract(current);
    const QSet<QString> added = QSet<QString>(current).subtract(*m_startingSnapshot);
    if (added.isEmpty() && !removed.isEmpty())
        m_services.workspace->openURL(QUrl(QString::fromLatin1(ALUninstallWebPage)));
}

// ---- Discovery ------------------------------------------------------------------------------

void ALAppDelegate::searchForAcrobat()
{
    // The registry's scan and the records read the same Info.plists: once is enough.
    const Platform::PropertyListCache::Scope readEachFileOnce;
    m_acrobatInstances.clear();
    if (const auto marker = m_services.mainBundle.pathForImageResource(QStringLiteral("Marker"))) {
        const QStringList applications = m_services.applicationRegistry->editorApplicationsForDocument(*marker);
        for (const QString& applicationPath : applications) {
            if (auto record = acrobatInstanceRecord(applicationPath))
                m_acrobatInstances.append(std::move(*record));
        }
    }
    if (!m_startingSnapshot)
        m_startingSnapshot = installationSnapshot(m_acrobatInstances);
    resizeWindowToRecords();
    // The window's table reloads on this.
    emit acrobatInstancesDidChange();
}

std::optional<QVariantMap> ALAppDelegate::acrobatInstanceRecord(const QString& applicationPath) const
{
    const auto bundle = Platform::Bundle::bundleWithPath(applicationPath);
    if (!bundle || bundle->bundleIdentifier() != kAcrobatBundleIdentifier)
        return std::nullopt;
    const QVariantMap info = bundle->infoDictionary();
    const std::optional<QString> version = stringEntry(info, kShortVersionKey);
    const QVariantList copies = installedCopies(applicationPath, Platform::majorVersion(version));

    QVariantMap record;
    record.insert(ALKey::Title, format(QStringLiteral("%@ %@"), {stringEntry(info, kNameKey), version}));
    record.insert(ALKey::Path, applicationPath);
    if (const auto icon = m_decodesIcons ? AppIcon::appIcon(*bundle) : std::nullopt)
        record.insert(ALKey::Icon, *icon);
    const QString caption = copies.isEmpty()
        ? QStringLiteral("Install")
        : format(QStringLiteral("Uninstall (%@)"), {stringEntry(copies.last().toMap(), ALKey::Version)});
    record.insert(ALKey::ButtonCaption,
                  QVariant::fromValue(Platform::AttributedString{caption, QColor(Qt::white), Qt::AlignHCenter}));
    if (version)
        record.insert(ALKey::Version, *version);
    if (!copies.isEmpty())
        record.insert(ALKey::FW, copies);
    return record;
}

QVariantList ALAppDelegate::installedCopies(const QString& acrobatPath, unsigned version) const
{
    QVariantList copies;
    for (const QString& pluginPath : fwPathForAcrobatPath(acrobatPath, version)) {
        if (m_services.fileManager->fileExistsAtPath(pluginPath))
            copies.append(installedCopyRecord(pluginPath));
    }
    return copies;
}

QVariantMap ALAppDelegate::installedCopyRecord(const QString& pluginPath) const
{
    // Read like every other Info.plist of a discovery, once; a copy without the application
    // still counts, with missing values.
    const QVariantMap info = Platform::Bundle(appendingPathComponent(pluginPath, kNestedApplication)).infoDictionary();
    const std::optional<QString> version = stringEntry(info, kShortVersionKey);
    QVariantMap copy;
    copy.insert(ALKey::Title, format(QStringLiteral("%@ %@"), {stringEntry(info, kNameKey), version}));
    copy.insert(ALKey::Path, pluginPath);
    if (version)
        copy.insert(ALKey::Version, *version);
    return copy;
}

namespace {

// What the window manager adds around the window: known once it is shown; before that, a title
// bar as the style draws one.
QMargins decorationOf(const QWidget* window)
{
    const QRect outer = window->frameGeometry();
    const QRect inner = window->geometry();
    const QMargins margins(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                           outer.bottom() - inner.bottom());
    if (margins.isNull() && !window->isVisible())
        return QMargins(0, window->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window), 0, 0);
    return margins;
}

QRect availableGeometryFor(const QWidget* window)
{
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

}  // namespace

void ALAppDelegate::resizeWindowToRecords()
{
    QWidget* window = this->window();
    if (!window)
        return;
    // The rows at the table's row height, and what the window description puts around the table:
    // the window's least height, since the description lets the table shrink to nothing.
    const int rowHeight = m_table ? m_table->rowRectHeight() : Platform::TableView::kRowRectHeight;
    const int fixedPart = std::max(0, window->minimumSizeHint().height());
    const int wanted = static_cast<int>(m_acrobatInstances.size()) * rowHeight + fixedPart;
    const QRect frame = window->geometry();
    // Screen y grows downwards here, so the bottom edge stays put by moving the top.
    const int bottom = frame.y() + frame.height();
    window->setGeometry(keptOnScreen(window, QRect(frame.x(), bottom - wanted, frame.width(), wanted)));
}

// The window never leaves the screen: no higher or wider than the room there is (the table then
// scrolls), and moved inside it, title bar included.
QRect ALAppDelegate::keptOnScreen(QWidget* window, QRect wanted)
{
    const QRect available = availableGeometryFor(window);
    if (available.isEmpty())
        return wanted;
    const QMargins decoration = decorationOf(window);
    const QRect room = available.marginsRemoved(decoration);
    wanted.setHeight(std::min(wanted.height(), room.height()));
    wanted.setWidth(std::min(wanted.width(), room.width()));
    // A large font's least width gives way to a small screen: the rows' titles are elided.
    if (window->minimumWidth() > wanted.width())
        window->setMinimumWidth(wanted.width());
    wanted.moveTop(std::clamp(wanted.top(), room.top(), room.bottom() + 1 - wanted.height()));
    wanted.moveLeft(std::clamp(wanted.left(), room.left(), room.right() + 1 - wanted.width()));
    return wanted;
}

QSet<QString> ALAppDelegate::installationSnapshot(const QList<QVariantMap>& instances) const
{
    QSet<QString> snapshot;
    for (const QVariantMap& instance : instances) {
        if (instance.contains(ALKey::FW))
            snapshot.insert(instance.value(ALKey::Path).toString());
    }
    return snapshot;
}

// ---- Plug-in folders ------------------------------------------------------------------------

QStringList ALAppDelegate::pluginsFoldersForAcrobatPath(const QString& acrobatPath, unsigned version) const
{
    if (keepsPluginsInItsBundle(version))
        return {appendingPathComponent(acrobatPath, QStringLiteral("Contents/Plug-ins"))};
    const QStringList supportFolders =
        m_services.applicationSupportDirectories ? m_services.applicationSupportDirectories() : QStringList();
    // Without a support folder there is nowhere to look: never fall back to a relative path.
    if (supportFolders.isEmpty() || supportFolders.first().isEmpty())
        return {};
    const QString& supportFolder = supportFolders.first();
    if (acrobatPath.contains(QStringLiteral("Adobe Acrobat DC")))
        return {appendingPathComponent(supportFolder, QStringLiteral("Adobe/Acrobat/DC/Plug-Ins"))};
    return {appendingPathComponent(supportFolder,
                                   format(QStringLiteral("Adobe/Acrobat/20%@/Plug-Ins"), {QString::number(version)}))};
}

QString ALAppDelegate::pluginPathFromFolderPath(const QString& folderPath) const
{
    return appendingPathComponent(folderPath, kPluginBundleName);
}

QStringList ALAppDelegate::fwPathForAcrobatPath(const QString& acrobatPath, unsigned version) const
{
    QStringList paths;
    for (const QString& folder : pluginsFoldersForAcrobatPath(acrobatPath, version))
        paths.append(pluginPathFromFolderPath(folder));
    return paths;
}

// ---- Privileged file operations -------------------------------------------------------------

bool ALAppDelegate::runProcessAsAdministrator(const QString& process, const QStringList& arguments,
                                              std::optional<QString>* output, std::optional<QString>* errorDescription)
{
    return runCommandAsAdministrator(
        format(QStringLiteral("%@ %@"), {Platform::shellSingleQuoted(process), arguments.join(QLatin1Char(' '))}),
        output, errorDescription);
}

bool ALAppDelegate::runCommandAsAdministrator(const QString& commandText, std::optional<QString>* output,
                                              std::optional<QString>* errorDescription)
{
    const Platform::AdministratorShell::Result result = m_services.administratorShell->run(commandText);
    if (result.succeeded()) {
        if (output)
            *output = result.output;
        return true;
    }
    std::optional<QString> description;
    if (result.errorNumber == Platform::kUserCancelledErrorNumber)
        description = kPasswordRequired;
    if (!description && result.errorMessage)
        description = result.errorMessage;
    // A failure is never silent: without it the user would see no alert and the log no line.
    if (!description)
        description = format(QStringLiteral("The administrator command failed without saying why: %@"), {commandText});
    return reported(false, description, errorDescription);
}

// Root's command stopped part-way may have left its hidden sibling, never anything under the
// item's real name: the description says where, and the next run clears it away.
bool ALAppDelegate::runRootCommand(const Platform::RootCommand& command, std::optional<QString>* errorDescription)
{
    std::optional<QString> output;
    std::optional<QString> description;
    if (runCommandAsAdministrator(command.text, &output, &description))
        return reported(true, description, errorDescription);
    if (description != kPasswordRequired)
        if (const auto left = rootWarrant().leftBy(command))
            description = format(QStringLiteral("%@; what is left is at \"%@\""), {description, *left});
    return reported(false, description, errorDescription);
}

// Root's command where the warrant gives one, else the reason: the rule's refusal is kept for the
// access alert, the plain failure only reported.
bool ALAppDelegate::takeRootStep(const Platform::RootStep& step, std::optional<QString>* errorDescription)
{
    if (step.command)
        return runRootCommand(*step.command, errorDescription);
    if (step.refused)
        return declined(step.reason, errorDescription);
    return reported(false, step.reason, errorDescription);
}

bool ALAppDelegate::rootCopyFile(const QString& source, const QString& destinationFile,
                                 std::optional<QString>* errorDescription)
{
    const Platform::RootWarrant warrant = rootWarrant();
    if (const auto refusal = warrant.whyNotByItself(destinationFile, kRootWillNotInstallThere))
        return declined(*refusal, errorDescription);
    Platform::FileError plain;
    if (m_services.fileManager->copyItem(source, destinationFile, &plain))
        return doneButLeftSomething(plain, errorDescription);
    return takeRootStep(warrant.copyInPlaceOf(source, destinationFile, plain), errorDescription);
}

bool ALAppDelegate::rootEraseFile(const QString& path, std::optional<QString>* errorDescription)
{
    const Platform::RootWarrant warrant = rootWarrant();
    if (const auto refusal = warrant.whyNotByItself(path, kRootWillNotRemoveThere))
        return declined(*refusal, errorDescription);
    Platform::FileError plain;
    if (m_services.fileManager->removeItem(path, &plain))
        return doneButLeftSomething(plain, errorDescription);
    return takeRootStep(warrant.removalInPlaceOf(path, plain), errorDescription);
}

bool ALAppDelegate::declined(const QString& refusal, std::optional<QString>* errorDescription)
{
    m_explained = refusal;
    return reported(false, refusal, errorDescription);
}

std::optional<QString> ALAppDelegate::whatWasLeft(const Platform::FileError& error)
{
    if (error.unswept.isEmpty())
        return std::nullopt;
    QStringList shown;
    for (const QString& leftover : error.unswept)
        shown.append(QLatin1Char('"') + leftover + QLatin1Char('"'));
    return format(QStringLiteral("Hidden leftovers of an earlier try could not be cleared away (%@): %@. An "
                                 "administrator can remove them with rm -R."),
                  {QString::fromLocal8Bit(std::strerror(error.unsweptCode)), shown.join(QStringLiteral(", "))});
}

// Done, but what an earlier run left (or this one's staging) could not be cleared away: said, so
// that nothing of ours stays unmentioned.
bool ALAppDelegate::doneButLeftSomething(const Platform::FileError& plain, std::optional<QString>* errorDescription)
{
    if (const auto left = whatWasLeft(plain)) {
        m_explained = left;
        reported(true, left, errorDescription);
    }
    return true;
}

std::optional<QString> ALAppDelegate::sweepLeftovers(int row)
{
    if (row < 0 || row >= m_acrobatInstances.size())
        return std::nullopt;
    const QVariantMap instance = m_acrobatInstances.at(row);
    const unsigned version = Platform::majorVersion(stringEntry(instance, ALKey::Version));
    std::optional<QString> description;
    for (const QString& pluginPath : fwPathForAcrobatPath(instance.value(ALKey::Path).toString(), version)) {
        Platform::FileError error;
        if (!m_services.fileManager->sweepLeftovers(pluginPath, &error))
            description = whatWasLeft(error);
    }
    return description;
}

// ---- The row button's action ----------------------------------------------------------------

void ALAppDelegate::smartInstallation(QObject*)
{
    installOrUninstall(m_table ? m_table->selectedRow() : -1);
}

ALActionOutcome ALAppDelegate::installOrUninstall(int row)
{
    // A selection left over from an older list counts as none.
    if (row < 0 || row >= m_acrobatInstances.size())
        return ALActionOutcome::noSuchRow;
    const QVariantMap instance = m_acrobatInstances.at(row);
    if (applicationIsRunning(instance.value(ALKey::Path).toString())) {
        showError(kRunningMessage);
        return ALActionOutcome::acrobatRunning;
    }
    std::optional<Platform::RunLock> lock;
    if (!takeRunLock(lock))
        return ALActionOutcome::failed;
    std::optional<QString> errorDescription;
    m_explained.reset();
    const bool done = instance.contains(ALKey::FW) ? removePlugin(instance, &errorDescription)
                                                   : installPlugin(instance, &errorDescription);
    if (errorDescription) {
        // Where root was not asked, or something was left, nothing but the reason tells the user
        // what to do about it.
        if (errorDescription == m_explained)
            m_services.alerts->runAlertPanelWithInformativeText(kErrorTitle, kNoAccessMessage, *errorDescription, kOK);
        else
            showError(kNoAccessMessage);
        m_services.log->line(format(QStringLiteral("Error = %@"), {errorDescription}));
    }
    searchForAcrobat();
    if (done)
        announceOutcome(instance);
    return done ? ALActionOutcome::done : ALActionOutcome::failed;
}

bool ALAppDelegate::takeRunLock(std::optional<Platform::RunLock>& lock)
{
    if (m_services.runLockPath.isEmpty())
        return true;
    // Not waited for: the window would stand still meanwhile.
    bool busy = false;
    QString why;
    lock = Platform::RunLock::take(m_services.runLockPath, std::chrono::milliseconds(0), &busy, &why);
    if (lock)
        return true;
    if (!busy) {
        // A lock file someone else put in our way (in a shared temporary folder) must not stop
        // the user: the copy is staged and safe without it, only not kept apart from other runs.
        m_services.log->line(format(QStringLiteral("Working without the run lock: %@"), {why}));
        return true;
    }
    showError(kBusyMessage);
    m_services.log->line(format(QStringLiteral("Error = %@"), {why}));
    return false;
}

// Said once, in words, after the row has been read again with its new caption.
void ALAppDelegate::announceOutcome(const QVariantMap& before)
{
    if (!m_table)
        return;
    const QString title = before.value(ALKey::Title).toString();
    QString outcome;
    if (before.contains(ALKey::FW)) {
        const QVariantMap removed = before.value(ALKey::FW).toList().last().toMap();
        outcome = format(QStringLiteral("%@ removed from %@"), {ALTableCell::copyInWords(removed), title});
    } else {
        const QString path = before.value(ALKey::Path).toString();
        const auto now = std::find_if(m_acrobatInstances.cbegin(), m_acrobatInstances.cend(),
                                      [&](const QVariantMap& record) { return record.value(ALKey::Path) == path; });
        const QVariantMap record = now == m_acrobatInstances.cend() ? QVariantMap() : *now;
        outcome = format(QStringLiteral("%@ in %@"), {ALTableCell::stateInWords(record), title});
    }
    m_table->announceLater(outcome);
}

bool ALAppDelegate::removePlugin(const QVariantMap& instance, std::optional<QString>* errorDescription)
{
    WaitCursor busy;
    bool removedAll = true;
    for (const QVariant& copy : instance.value(ALKey::FW).toList())
        removedAll &= rootEraseFile(copy.toMap().value(ALKey::Path).toString(), errorDescription);
    return removedAll;
}

bool ALAppDelegate::installPlugin(const QVariantMap& instance, std::optional<QString>* errorDescription)
{
    const unsigned version = Platform::majorVersion(stringEntry(instance, ALKey::Version));
    const QString acrobatPath = instance.value(ALKey::Path).toString();
    const auto plugin = m_services.mainBundle.pathForResource(QStringLiteral("Foldwise"), QStringLiteral("acroplugin"));
    bool installed = false;
    if (!plugin) {
        // Never ask for a password to copy something that is not there.
        reported(false, whyPluginIsMissing(), errorDescription);
    } else {
        WaitCursor busy;
        for (const QString& folder : pluginsFoldersForAcrobatPath(acrobatPath, version)) {
            Platform::FileError unknown;
            const std::optional<bool> exists = m_services.fileManager->existenceAtPath(folder, &unknown);
            if (!exists)
                reported(false, unknown.description, errorDescription);
            if (!exists.value_or(false))
                continue;
            if (rootCopyFile(*plugin, pluginPathFromFolderPath(folder), errorDescription)) {
                installed = true;
                break;
            }
        }
    }
    if (!installed)
        showError(keepsPluginsInItsBundle(version) ? kOldVersionFailedMessage : kRunAcrobatFirstMessage);
    return installed;
}

QString ALAppDelegate::whyPluginIsMissing() const
{
    const QString expected = appendingPathComponent(m_services.mainBundle.resourcePath(), kPluginBundleName);
    Platform::FileError unknown;
    const std::optional<bool> exists = m_services.fileManager->existenceAtPath(expected, &unknown);
    if (!exists)
        return format(QStringLiteral("The plug-in to install cannot be read: %@"), {unknown.description});
    if (*exists)
        return format(QStringLiteral("The plug-in to install leads out of the installer: %@"), {expected});
    return format(QStringLiteral("The plug-in to install is missing: %@"), {expected});
}

bool ALAppDelegate::applicationIsRunning(const QString& acrobatPath)
{
    // By file identity: the path as scanned may pass through links that the running
    // executable's path does not.
    return m_services.workspace->isExecutableRunning(appendingPathComponent(acrobatPath, kAcrobatExecutable));
}

ALCopyState ALAppDelegate::copyState(const QVariantMap& copy) const
{
    const std::optional<QString> version = stringEntry(copy, ALKey::Version);
    if (!version || !Platform::compareVersions(*version, *version))
        return ALCopyState::damaged;
    // Without a carried version to compare with, nothing counts as due for replacing.
    const std::optional<QString> carried = carriedPluginVersion();
    const std::optional<int> order = carried ? Platform::compareVersions(*version, *carried) : std::nullopt;
    if (!order || *order == 0)
        return ALCopyState::intact;
    return *order < 0 ? ALCopyState::older : ALCopyState::newer;
}

Platform::RootWarrant ALAppDelegate::rootWarrant() const
{
    return Platform::RootWarrant(*m_services.fileManager, m_services.rootOnlyRule);
}

ALActionOutcome ALAppDelegate::upgradeInstallation(int row, bool* lackOfRights)
{
    if (row < 0 || row >= m_acrobatInstances.size())
        return ALActionOutcome::noSuchRow;
    const QVariantMap instance = m_acrobatInstances.at(row);
    if (applicationIsRunning(instance.value(ALKey::Path).toString())) {
        showError(kRunningMessage);
        return ALActionOutcome::acrobatRunning;
    }
    std::optional<Platform::RunLock> lock;
    if (!takeRunLock(lock))
        return ALActionOutcome::failed;
    const auto plugin = m_services.mainBundle.pathForResource(QStringLiteral("Foldwise"), QStringLiteral("acroplugin"));
    std::optional<QString> errorDescription;
    bool upgraded = plugin.has_value();
    if (!plugin)
        errorDescription = whyPluginIsMissing();
    for (const QVariant& copy : plugin ? instance.value(ALKey::FW).toList() : QVariantList()) {
        const ALCopyState state = copyState(copy.toMap());
        if (state != ALCopyState::older && state != ALCopyState::damaged)
            continue;
        const QString copyPath = copy.toMap().value(ALKey::Path).toString();
        if (const auto refusal = rootWarrant().whyNotByItself(copyPath, kRootWillNotReplaceThere)) {
            upgraded = false;
            errorDescription = refusal;
            continue;
        }
        WaitCursor busy;
        Platform::FileError error;
        if (m_services.fileManager->replaceItem(*plugin, copyPath, &error)) {
            if (const auto left = whatWasLeft(error))
                errorDescription = left;
            continue;
        }
        upgraded = false;
        errorDescription = error.description;
        if (Platform::RootWarrant::makesUpFor(error)) {
            errorDescription =
                format(QStringLiteral("%@; an upgrade never asks for administrator rights: an administrator "
                                      "can run the installer as root, or uninstall and install again"),
                       {error.description});
            if (lackOfRights)
                *lackOfRights = true;
        }
    }
    if (errorDescription) {
        showError(kNoAccessMessage);
        m_services.log->line(format(QStringLiteral("Error = %@"), {errorDescription}));
    }
    searchForAcrobat();
    return upgraded ? ALActionOutcome::done : ALActionOutcome::failed;
}

void ALAppDelegate::showError(const QString& message)
{
    m_services.alerts->runAlertPanel(kErrorTitle, message, kOK);
}

// ---- The table's data -----------------------------------------------------------------------

int ALAppDelegate::numberOfRowsInTableView(Platform::TableView*)
{
    return static_cast<int>(m_acrobatInstances.size());
}

QVariant ALAppDelegate::objectValueForTableColumn(Platform::TableView*, Platform::TableColumn* column, int row)
{
    const QVariantMap instance = m_acrobatInstances.value(row);
    if (!column)
        return {};
    if (column->identifier() == ALColumn::Data)
        return instance;
    if (column->identifier() == ALColumn::Button)
        return instance.contains(ALKey::FW);
    return {};
}

Platform::Cell* ALAppDelegate::dataCellForTableColumn(Platform::TableView*, Platform::TableColumn* column, int row)
{
    if (!column || column->identifier() != ALColumn::Button)
        return nullptr;
    const QVariantMap instance = m_acrobatInstances.value(row);
    Platform::ButtonCell* cell = column->dataCell() ? column->dataCell()->asButtonCell() : nullptr;
    if (cell)
        cell->setAttributedTitle(instance.value(ALKey::ButtonCaption).value<Platform::AttributedString>());
    return cell;
}
