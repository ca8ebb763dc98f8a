#include "InstallationUtility/ALCommandLine.h"

#include "InstallationUtility/ALAppDelegate.h"
#include "InstallationUtility/ALMessages.h"
#include "Platform/App/Format.h"
#include "Platform/App/Log.h"
#include "Platform/Bundles/Bundle.h"
#include "Platform/Files/RunAsUser.h"
#include "Platform/Files/RunLock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

using ALMessage::kNoAcrobatMessage;
const QString kShortVersionKey = QStringLiteral("CFBundleShortVersionString");

// Keeps the alert panels' texts, to be told after the real cause of a failure.
class KeptAlerts : public Platform::Alerts {
public:
    QStringList messages;
    void runAlertPanel(const QString&, const QString& message, const QString&) override { messages.append(message); }
};

// Keeps what the delegate logs about a failure ("Error = …"), the real cause, and passes every
// other line on.
class CauseKeepingLog : public Platform::Log {
public:
    explicit CauseKeepingLog(std::shared_ptr<Platform::Log> next) : m_next(std::move(next)) {}
    QStringList causes;
    void line(const QString& text) override
    {
        static const QString prefix = QStringLiteral("Error = ");
        if (text.startsWith(prefix))
            causes.append(text.mid(prefix.size()));
        else if (m_next)
            m_next->line(text);
    }

private:
    std::shared_ptr<Platform::Log> m_next;
};

// Stands in for the password prompt where none may be shown, and remembers it was needed.
class NoPromptShell : public Platform::AdministratorShell {
public:
    bool asked = false;
    Result run(const QString& commandText) override
    {
        asked = true;
        Result result;
        result.errorMessage =
            QStringLiteral("Administrator rights are needed for %1, and --no-prompt does not ask for them")
                .arg(commandText);
        return result;
    }
};

// Root working for a user already is root: what the user's own rights cannot do is reported,
// never handed to a shell that would follow the user's links with root's rights.
class RefusingShell : public Platform::AdministratorShell {
public:
    Result run(const QString&) override
    {
        Result result;
        result.errorMessage =
            QStringLiteral("the user's own rights do not reach it, and working for a user never uses root's");
        return result;
    }
};

// Running for one user, except where an Acrobat's plug-in folder is shared with others (inside
// its bundle, or anywhere outside the user's home): there anyone's process counts.
class SharedFolderWorkspace : public Platform::Workspace {
public:
    SharedFolderWorkspace(std::shared_ptr<Platform::Workspace> user, std::shared_ptr<Platform::Workspace> everyone)
        : m_user(std::move(user)),
          m_everyone(std::move(everyone))
    {
    }
    std::function<bool(const QString& executablePath)> shared;
    bool isExecutableRunning(const QString& executablePath) override
    {
        return m_user->isExecutableRunning(executablePath)
            || (shared && shared(executablePath) && m_everyone->isExecutableRunning(executablePath));
    }
    bool openURL(const QUrl& url) override { return m_user->openURL(url); }

private:
    std::shared_ptr<Platform::Workspace> m_user;
    std::shared_ptr<Platform::Workspace> m_everyone;
};

// Control characters written as escapes, so that no name found on disk can drive the terminal.
QString printable(const QString& text)
{
    QString shown;
    for (const QChar c : text) {
        const char16_t code = c.unicode();
        if (code < 0x20 || code == 0x7f || (code >= 0x80 && code < 0xa0))
            shown += QStringLiteral("\\x%1").arg(unsigned(code), 2, 16, QLatin1Char('0'));
        else if (code == u'\\')
            shown += QStringLiteral("\\\\");
        else
            shown += c;
    }
    return shown;
}

std::optional<QString> textOf(const QVariantMap& record, const QString& key)
{
    return Platform::textOf(record.value(key));
}

// The installed Foldwise version that the row's caption shows: that of the last copy found.
std::optional<QString> installedVersion(const QVariantMap& instance)
{
    const QVariantList copies = instance.value(ALKey::FW).toList();
    return copies.isEmpty() ? std::nullopt : textOf(copies.last().toMap(), ALKey::Version);
}

// The same installation, however the path was written: by the real path where both exist.
bool namesInstallation(const QString& given, const QString& listed)
{
    const QFileInfo givenInfo(given);
    const QString real = givenInfo.canonicalFilePath();
    if (!real.isEmpty() && real == QFileInfo(listed).canonicalFilePath())
        return true;
    return QDir::cleanPath(givenInfo.absoluteFilePath()) == QDir::cleanPath(listed);
}

int rowOf(const ALAppDelegate& delegate, const QString& path)
{
    const QList<QVariantMap>& instances = delegate.acrobatInstances();
    for (int row = 0; row < instances.size(); ++row) {
        if (namesInstallation(path, instances.at(row).value(ALKey::Path).toString()))
            return row;
    }
    return -1;
}

// What a change that was not done comes to, and its exit status.
QString notDone(ALActionOutcome outcome, bool needsAdministrator, int& status)
{
    if (outcome == ALActionOutcome::acrobatRunning) {
        status = ALExitStatus::acrobatRunning;
        return QStringLiteral("running");
    }
    status = needsAdministrator ? ALExitStatus::needsAdministrator : ALExitStatus::failed;
    return needsAdministrator ? QStringLiteral("needsAdministrator") : QStringLiteral("failed");
}

volatile std::sig_atomic_t stopSignal = 0;

// Whether the Acrobat that executable belongs to keeps a plug-in folder outside the home.
bool sharesPluginFolder(const ALAppDelegate& delegate, const QString& executable, const QString& home)
{
    for (const QVariantMap& instance : delegate.acrobatInstances()) {
        const QString path = instance.value(ALKey::Path).toString();
        if (!executable.startsWith(path + QLatin1Char('/')))
            continue;
        const QStringList folders =
            delegate.pluginsFoldersForAcrobatPath(path, Platform::majorVersion(textOf(instance, ALKey::Version)));
        return std::any_of(folders.begin(), folders.end(),
                           [&](const QString& folder) { return !Platform::isInsideHome(folder, home); });
    }
    return true;
}

}  // namespace

// One user's view: their services and the delegate that found their installations.
struct ALCommandLine::Session {
    std::optional<QString> user;
    std::shared_ptr<Platform::FileManager> files;
    std::shared_ptr<KeptAlerts> alerts = std::make_shared<KeptAlerts>();
    std::shared_ptr<CauseKeepingLog> log;
    std::shared_ptr<NoPromptShell> noPrompt;
    std::shared_ptr<Platform::ApplicationRegistry> registry;
    std::unique_ptr<ALAppDelegate> delegate;

    QString subject(const QString& path) const
    {
        return printable(user ? QStringLiteral("%1 (user %2)").arg(path, *user) : path);
    }
};

ALCommandLine::ALCommandLine(ServicesFor servicesFor, QTextStream& out, QTextStream& err, Options options)
    : m_servicesFor(std::move(servicesFor)),
      m_options(std::move(options)),
      m_out(out),
      m_err(err)
{
}

int ALCommandLine::run(const ALCommandLineRequest& request)
{
    using Command = ALCommandLineRequest::Command;
    switch (request.command) {
    case Command::help:
        m_out << commandLineHelp();
        return ALExitStatus::done;
    case Command::version: {
        const auto services = m_servicesFor(std::nullopt);
        const Platform::Bundle& main = services->mainBundle;
        const auto plugin = Platform::Bundle::bundleWithPath(
            main.resourcePath() + QStringLiteral("/Foldwise.acroplugin/Contents/Resources/Foldwise.app"));
        m_out << Platform::format(
            QStringLiteral("foldwise-installer %@ (Foldwise %@)"),
            {Platform::textOf(main.infoDictionary().value(kShortVersionKey)),
             plugin ? Platform::textOf(plugin->infoDictionary().value(kShortVersionKey)) : std::nullopt})
              << Qt::endl;
        return ALExitStatus::done;
    }
    case Command::list:
    case Command::install:
    case Command::uninstall:
        break;
    }
    m_report.emplace(m_options.caller);
    m_json = request.json;
    // Held until the run ends, so that no other run changes what this one found.
    std::optional<Platform::RunLock> lock;
    if (!m_options.lockPath.isEmpty()) {
        bool busy = false;
        QString why;
        lock = Platform::RunLock::take(m_options.lockPath, m_options.lockWait, &busy, &why);
        if (!lock) {
            m_err << printable(why) << Qt::endl;
            return finished(request, busy ? ALExitStatus::busy : ALExitStatus::failed);
        }
    }
    return finished(request, request.command == Command::list ? list(request) : installOrUninstall(request));
}

void ALCommandLine::say(const QString& line)
{
    if (!m_json)
        m_out << line << Qt::endl;
}

int ALCommandLine::finished(const ALCommandLineRequest& request, int status)
{
    if (!m_json)
        return status;
    using Command = ALCommandLineRequest::Command;
    const bool listing = request.command == Command::list;
    const QString command = listing           ? QStringLiteral("list")
        : request.command == Command::install ? QStringLiteral("install")
                                              : QStringLiteral("uninstall");
    m_out << m_report->document(command, status, listing ? std::nullopt : std::optional(request.dryRun));
    m_out.flush();
    return status;
}

std::optional<std::vector<std::unique_ptr<ALCommandLine::Session>>> ALCommandLine::sessionsFor(
    const ALCommandLineRequest& request)
{
    QList<std::optional<QString>> users;
    for (const QString& user : (request.allUsers && m_options.loginUsers) ? m_options.loginUsers() : request.users)
        users.append(user);
    if (users.isEmpty() && !request.allUsers)
        users.append(std::nullopt);
    // Every user is known before anything is done, so a usage error always means nothing changed.
    std::vector<std::unique_ptr<Session>> sessions;
    QList<std::pair<std::optional<QString>, Platform::UnreadableApplication>> unreadable;
    for (const std::optional<QString>& user : users) {
        std::optional<Platform::Services> services = m_servicesFor(user);
        if (!services) {
            m_err << printable(user ? QStringLiteral("There is no user %1 with a home folder.").arg(*user)
                                    : QStringLiteral("Root has no home folder in the password database."))
                  << Qt::endl;
            return std::nullopt;
        }
        auto session = std::make_unique<Session>();
        session->user = user;
        session->files = services->fileManager;
        session->registry = services->applicationRegistry;
        // The run holds the lock already, for the whole run.
        services->runLockPath.clear();
        session->log = std::make_shared<CauseKeepingLog>(services->log);
        services->alerts = session->alerts;
        services->log = session->log;
        if (request.noPrompt) {
            session->noPrompt = std::make_shared<NoPromptShell>();
            services->administratorShell = session->noPrompt;
        } else if (user) {
            services->administratorShell = std::make_shared<RefusingShell>();
        }
        std::shared_ptr<SharedFolderWorkspace> sharing;
        const std::optional<QString> home = user && m_options.homeOf ? m_options.homeOf(*user) : std::nullopt;
        if (home && m_options.everyone) {
            sharing = std::make_shared<SharedFolderWorkspace>(services->workspace, m_options.everyone);
            services->workspace = sharing;
        }
        session->delegate = std::make_unique<ALAppDelegate>(std::move(*services));
        if (sharing)
            sharing->shared = [delegate = session->delegate.get(), home = *home](const QString& executable) {
                return sharesPluginFolder(*delegate, executable, home);
            };
        session->delegate->setDecodesIcons(false);
        session->delegate->searchForAcrobat();
        // Told before anything is done, so that a run that goes no further still names them.
        for (const Platform::UnreadableApplication& met : session->registry->unreadableApplications())
            unreadable.append({session->user, met});
        if (sessions.empty())
            m_report->setCarriedVersion(session->delegate->carriedPluginVersion());
        sessions.push_back(std::move(session));
    }
    for (const auto& [user, met] : unreadable) {
        m_report->addUnreadable(met.path, user, met.reason);
        m_err << printable(QStringLiteral("%1%2: could not be read, so it may be an Acrobat that is left out: %3")
                               .arg(met.path, user ? QStringLiteral(" (user %1)").arg(*user) : QString(), met.reason))
              << Qt::endl;
    }
    for (const QString& path : request.applicationPaths) {
        if (std::none_of(sessions.begin(), sessions.end(),
                         [&](const auto& session) { return rowOf(*session->delegate, path) >= 0; })) {
            m_err << printable(QStringLiteral("%1 is no Acrobat installation that --list shows (see --help)").arg(path))
                  << Qt::endl;
            return std::nullopt;
        }
    }
    return sessions;
}

int ALCommandLine::list(const ALCommandLineRequest& request)
{
    auto sessions = sessionsFor(request);
    if (!sessions)
        return ALExitStatus::usage;
    bool anyFound = false;
    for (const auto& session : *sessions) {
        ALAppDelegate& delegate = *session->delegate;
        for (const QVariantMap& instance : delegate.acrobatInstances()) {
            anyFound = true;
            m_report->addInstallation(delegate, instance, session->user);
            if (m_json)
                continue;
            const QString path = instance.value(ALKey::Path).toString();
            const QString state = ALCommandLineReport::stateOf(delegate, instance);
            QString installed = QStringLiteral("not installed");
            if (instance.contains(ALKey::FW)) {
                installed = Platform::format(QStringLiteral("Foldwise %@"), {installedVersion(instance)});
                if (state != QLatin1String("intact"))
                    installed += QStringLiteral(", ") + state;
            }
            QStringList fields = {instance.value(ALKey::Title).toString(), path, installed,
                                  delegate.applicationIsRunning(path) ? QStringLiteral("running")
                                                                      : QStringLiteral("not running")};
            if (session->user)
                fields.append(*session->user);
            for (QString& field : fields)
                field = printable(field);
            m_out << fields.join(QLatin1Char('\t')) << Qt::endl;
        }
    }
    if (!anyFound) {
        m_err << kNoAcrobatMessage << Qt::endl;
        return ALExitStatus::noAcrobat;
    }
    return ALExitStatus::done;
}

int ALCommandLine::installOrUninstall(const ALCommandLineRequest& request)
{
    auto sessions = sessionsFor(request);
    if (!sessions)
        return ALExitStatus::usage;
    int status = ALExitStatus::done;
    bool anyFound = false;
    for (const auto& session : *sessions) {
        ALAppDelegate& delegate = *session->delegate;
        // A user before may have changed a plug-in folder this user shares (inside a system-wide
        // bundle): what was found before anything was done is looked at again.
        if (session != sessions->front())
            delegate.searchForAcrobat();
        anyFound |= !delegate.acrobatInstances().isEmpty();
        QStringList paths;
        for (const QVariantMap& instance : delegate.acrobatInstances()) {
            const QString listed = instance.value(ALKey::Path).toString();
            if (request.all
                || std::any_of(request.applicationPaths.begin(), request.applicationPaths.end(),
                               [&](const QString& given) { return namesInstallation(given, listed); }))
                paths.append(listed);
        }
        for (const QString& path : paths) {
            if (m_options.stopRequested && m_options.stopRequested()) {
                m_err << QStringLiteral("Stopped by a signal; the installations not yet reached are unchanged.")
                      << Qt::endl;
                return ALExitStatus::interrupted;
            }
            status = worse(status, act(*session, path, request));
        }
    }
    if (!anyFound) {
        m_err << kNoAcrobatMessage << Qt::endl;
        return ALExitStatus::noAcrobat;
    }
    return status;
}

bool ALCommandLine::neverRun(Session& session, const QVariantMap& instance) const
{
    // Acrobat makes the plug-in folder in its user's data folder when it first runs; one that
    // belongs in the bundle and is missing is a damaged installation instead.
    const QString path = instance.value(ALKey::Path).toString();
    const QStringList folders =
        session.delegate->pluginsFoldersForAcrobatPath(path, Platform::majorVersion(textOf(instance, ALKey::Version)));
    return !folders.isEmpty() && std::none_of(folders.begin(), folders.end(), [&](const QString& folder) {
        return folder.startsWith(path + QLatin1Char('/')) || session.files->fileExistsAtPath(folder);
    });
}

int ALCommandLine::act(Session& session, const QString& path, const ALCommandLineRequest& request)
{
    ALAppDelegate& delegate = *session.delegate;
    const int row = rowOf(delegate, path);
    if (row < 0)
        return ALExitStatus::done;
    int status = ALExitStatus::done;
    ALCommandLineReport::Outcome outcome = decide(session, row, request, status);
    outcome.path = path;
    outcome.user = session.user;
    m_report->addOutcome(outcome);
    return status;
}

ALCommandLineReport::Outcome ALCommandLine::decide(Session& session, int row, const ALCommandLineRequest& request,
                                                   int& status)
{
    const bool installing = request.command == ALCommandLineRequest::Command::install;
    ALAppDelegate& delegate = *session.delegate;
    const QVariantMap instance = delegate.acrobatInstances().at(row);
    const QString path = instance.value(ALKey::Path).toString();
    const QString subject = session.subject(path);
    ALCommandLineReport::Outcome told;
    told.versionBefore = told.versionAfter = installedVersion(instance);
    const auto tell = [&](const QString& outcome, const QString& text, int exitStatus = ALExitStatus::done) {
        say(subject + QStringLiteral(": ") + printable(text));
        told.outcome = outcome;
        status = exitStatus;
        return told;
    };
    if (installing && instance.contains(ALKey::FW)) {
        const QString state = ALCommandLineReport::stateOf(delegate, instance);
        const QVariantList copies = instance.value(ALKey::FW).toList();
        if (std::any_of(copies.begin(), copies.end(), [&](const QVariant& copy) {
                const ALCopyState each = delegate.copyState(copy.toMap());
                return each == ALCopyState::older || each == ALCopyState::damaged;
            }))
            return upgrade(session, row, request, status);
        if (state == QLatin1String("newer")) {
            told.reason = Platform::format(QStringLiteral("its copy %@ is newer than the %@ this installer carries"),
                                           {told.versionBefore, delegate.carriedPluginVersion()});
            return tell(QStringLiteral("newer"), QStringLiteral("left alone, ") + *told.reason);
        }
        return tell(QStringLiteral("alreadyInstalled"), QStringLiteral("already installed"));
    }
    if (!installing && !instance.contains(ALKey::FW)) {
        tell(QStringLiteral("notInstalled"), QStringLiteral("not installed"));
        // A removal stopped part-way leaves the copy hidden beside its name: finish that job.
        if (const auto left = request.dryRun ? std::nullopt : delegate.sweepLeftovers(row)) {
            m_err << subject << QStringLiteral(": ") << printable(*left) << Qt::endl;
            told.outcome = QStringLiteral("failed");
            told.reason = left;
            status = ALExitStatus::failed;
        }
        return told;
    }
    // A running Acrobat is told as such: once closed, its plug-in folder may well be there.
    if (installing && neverRun(session, instance) && !delegate.applicationIsRunning(path)) {
        told.reason = QStringLiteral("this Acrobat was never run, so its plug-in folder is not there yet");
        return tell(QStringLiteral("neverRun"), QStringLiteral("skipped, ") + *told.reason, ALExitStatus::neverRun);
    }
    if (request.dryRun) {
        if (delegate.applicationIsRunning(path)) {
            told.reason = QStringLiteral("Acrobat runs");
            return tell(QStringLiteral("running"), QStringLiteral("would be left alone, Acrobat runs"),
                        ALExitStatus::acrobatRunning);
        }
        told.versionAfter = installing ? delegate.carriedPluginVersion() : std::nullopt;
        return installing ? tell(QStringLiteral("wouldInstall"), QStringLiteral("would install"))
                          : tell(QStringLiteral("wouldUninstall"), QStringLiteral("would uninstall"));
    }
    return change(session, row, request, status);
}

ALCommandLineReport::Outcome ALCommandLine::upgrade(Session& session, int row, const ALCommandLineRequest& request,
                                                    int& status)
{
    ALAppDelegate& delegate = *session.delegate;
    const QVariantMap instance = delegate.acrobatInstances().at(row);
    const QString path = instance.value(ALKey::Path).toString();
    const QString subject = session.subject(path);
    ALCommandLineReport::Outcome told;
    told.versionBefore = installedVersion(instance);
    const std::optional<QString> carried = delegate.carriedPluginVersion();
    const QString from = told.versionBefore ? *told.versionBefore : QStringLiteral("a damaged copy");
    if (request.dryRun) {
        told.versionAfter = told.versionBefore;
        if (delegate.applicationIsRunning(path)) {
            say(subject + QStringLiteral(": would be left alone, Acrobat runs"));
            told.outcome = QStringLiteral("running");
            told.reason = QStringLiteral("Acrobat runs");
            status = ALExitStatus::acrobatRunning;
            return told;
        }
        told.versionAfter = carried;
        say(subject + printable(Platform::format(QStringLiteral(": would upgrade from %@ to %@"), {from, carried})));
        told.outcome = QStringLiteral("wouldUpgrade");
        return told;
    }
    session.alerts->messages.clear();
    session.log->causes.clear();
    bool lackOfRights = false;
    const ALActionOutcome outcome = delegate.upgradeInstallation(row, &lackOfRights);
    const int now = rowOf(delegate, path);
    told.versionAfter = now < 0 ? std::nullopt : installedVersion(delegate.acrobatInstances().at(now));
    if (outcome == ALActionOutcome::done) {
        const QString line = subject
            + printable(Platform::format(QStringLiteral(": upgraded from %@ to %@"), {from, told.versionAfter}));
        say(line);
        if (m_options.journal)
            m_options.journal(line, false);
        told.outcome = QStringLiteral("upgraded");
        return told;
    }
    told.reason = tellFailure(session, subject, outcome == ALActionOutcome::failed);
    told.outcome = notDone(outcome, lackOfRights && request.noPrompt, status);
    return told;
}

ALCommandLineReport::Outcome ALCommandLine::change(Session& session, int row, const ALCommandLineRequest& request,
                                                   int& status)
{
    const bool installing = request.command == ALCommandLineRequest::Command::install;
    ALAppDelegate& delegate = *session.delegate;
    const QString path = delegate.acrobatInstances().at(row).value(ALKey::Path).toString();
    const QString subject = session.subject(path);
    ALCommandLineReport::Outcome told;
    told.versionBefore = installedVersion(delegate.acrobatInstances().at(row));
    session.alerts->messages.clear();
    session.log->causes.clear();
    if (session.noPrompt)
        session.noPrompt->asked = false;
    const ALActionOutcome outcome = delegate.installOrUninstall(row);
    const int now = rowOf(delegate, path);
    told.versionAfter = now < 0 ? std::nullopt : installedVersion(delegate.acrobatInstances().at(now));
    if (outcome == ALActionOutcome::done) {
        const QString line = subject + (installing ? QStringLiteral(": installed") : QStringLiteral(": uninstalled"));
        say(line);
        if (m_options.journal)
            m_options.journal(line, false);
        told.outcome = installing ? QStringLiteral("installed") : QStringLiteral("uninstalled");
        return told;
    }
    told.reason = tellFailure(session, subject, outcome == ALActionOutcome::failed);
    told.outcome = notDone(outcome, session.noPrompt && session.noPrompt->asked, status);
    return told;
}

QString ALCommandLine::tellFailure(Session& session, const QString& subject, bool journal)
{
    const QStringList lines = session.log->causes + session.alerts->messages;
    for (const QString& line : lines)
        m_err << subject << QStringLiteral(": ") << printable(line) << Qt::endl;
    if (m_options.journal && journal)
        m_options.journal(subject + QStringLiteral(": ") + printable(lines.join(QStringLiteral("; "))), true);
    return lines.join(QStringLiteral("; "));
}

int ALCommandLine::main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const bool root = ::geteuid() == 0;
    const auto parsed = parseCommandLine(QCoreApplication::arguments().mid(1), root);
    if (const auto* error = std::get_if<ALUsageError>(&parsed)) {
        err << printable(error->reason) << Qt::endl;
        return ALExitStatus::usage;
    }
    const auto servicesFor = [](const std::optional<QString>& user) -> std::optional<Platform::Services> {
        if (user)
            return Platform::Services::systemForUser(*user);
        return ::geteuid() == 0 ? Platform::Services::systemForRoot() : Platform::Services::system();
    };
    Options options;
    options.loginUsers = [] {
        QStringList names;
        for (const Platform::UserAccount& account : Platform::loginAccounts())
            names.append(account.name);
        return names;
    };
    options.stopRequested = [] { return stopSignal != 0; };
    options.homeOf = [](const QString& user) -> std::optional<QString> {
        const auto account = Platform::userAccountNamed(user);
        return account ? std::optional(account->home) : std::nullopt;
    };
    options.everyone = Platform::Services::system().workspace;
    options.lockPath = Platform::RunLock::defaultPath();
    if (const auto caller = Platform::userAccountOf(::geteuid()))
        options.caller = caller->name;
    options.journal = &Platform::systemLogLine;
    // No SA_RESTART: a wait for a child ends, and the run stops at the next installation.
    struct sigaction stop = {};
    stop.sa_handler = [](int signal) { stopSignal = signal; };
    ::sigaction(SIGINT, &stop, nullptr);
    ::sigaction(SIGTERM, &stop, nullptr);
    ALCommandLine commandLine(servicesFor, out, err, options);
    return commandLine.run(std::get<ALCommandLineRequest>(parsed));
}
