#include "InstallationUtility/ALCommandLine.h"

#include "InstallationUtility/ALAppDelegate.h"
#include "Platform/Bundle.h"
#include "Platform/Format.h"
#include "Platform/Log.h"
#include "Platform/RunAsUser.h"
#include "Platform/RunLock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

const QString kNoAcrobatMessage =
    QStringLiteral("Acrobat is not found, can't install Foldwise here. Consider using standalone version instead.");
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

QJsonValue jsonText(const std::optional<QString>& text)
{
    return text ? QJsonValue(*text) : QJsonValue(QJsonValue::Null);
}

QJsonObject jsonOf(ALAppDelegate& delegate, const QVariantMap& instance)
{
    const QString path = instance.value(ALKey::Path).toString();
    const unsigned major = Platform::majorVersion(textOf(instance, ALKey::Version));
    QJsonArray copies;
    for (const QVariant& copy : instance.value(ALKey::FW).toList())
        copies.append(QJsonObject{{QStringLiteral("path"), copy.toMap().value(ALKey::Path).toString()},
                                  {QStringLiteral("version"), jsonText(textOf(copy.toMap(), ALKey::Version))}});
    return {
        {QStringLiteral("title"), instance.value(ALKey::Title).toString()},
        {QStringLiteral("path"), path},
        {QStringLiteral("version"), jsonText(installedVersion(instance))},
        {QStringLiteral("majorVersion"), qint64(major)},
        {QStringLiteral("pluginFolders"),
         QJsonArray::fromStringList(delegate.pluginsFoldersForAcrobatPath(path, major))},
        {QStringLiteral("copies"), copies},
        {QStringLiteral("running"), delegate.applicationIsRunning(path)},
    };
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
    // Held until the run ends, so that no other run changes what this one found.
    std::optional<Platform::RunLock> lock;
    if (!m_options.lockPath.isEmpty()) {
        bool busy = false;
        QString why;
        lock = Platform::RunLock::take(m_options.lockPath, m_options.lockWait, &busy, &why);
        if (!lock) {
            m_err << printable(why) << Qt::endl;
            return busy ? ALExitStatus::busy : ALExitStatus::failed;
        }
    }
    return request.command == Command::list ? list(request) : installOrUninstall(request);
}

std::optional<std::vector<std::unique_ptr<ALCommandLine::Session>>> ALCommandLine::sessionsFor(
    const ALCommandLineRequest& request)
{
    QList<std::optional<QString>> users;
    for (const QString& user : request.allUsers&& m_options.loginUsers ? m_options.loginUsers() : request.users)
        users.append(user);
    if (users.isEmpty() && !request.allUsers)
        users.append(std::nullopt);
    // Every user is known before anything is done, so a usage error always means nothing changed.
    std::vector<std::unique_ptr<Session>> sessions;
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
        sessions.push_back(std::move(session));
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
    QJsonArray rows;
    for (const auto& session : *sessions) {
        ALAppDelegate& delegate = *session->delegate;
        for (const QVariantMap& instance : delegate.acrobatInstances()) {
            QJsonObject row = jsonOf(delegate, instance);
            if (session->user)
                row.insert(QStringLiteral("user"), *session->user);
            rows.append(row);
            if (request.json)
                continue;
            const std::optional<QString> version = installedVersion(instance);
            QStringList fields = {
                row.value(QStringLiteral("title")).toString(), row.value(QStringLiteral("path")).toString(),
                instance.contains(ALKey::FW) ? Platform::format(QStringLiteral("Foldwise %@"), {version})
                                             : QStringLiteral("not installed"),
                row.value(QStringLiteral("running")).toBool() ? QStringLiteral("running")
                                                              : QStringLiteral("not running")};
            if (session->user)
                fields.append(*session->user);
            for (QString& field : fields)
                field = printable(field);
            m_out << fields.join(QLatin1Char('\t')) << Qt::endl;
        }
    }
    if (request.json)
        m_out << QJsonDocument(rows).toJson(QJsonDocument::Indented);
    if (rows.isEmpty()) {
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
    const bool installing = request.command == ALCommandLineRequest::Command::install;
    ALAppDelegate& delegate = *session.delegate;
    const int row = rowOf(delegate, path);
    if (row < 0)
        return ALExitStatus::done;
    const QVariantMap instance = delegate.acrobatInstances().at(row);
    const QString subject = session.subject(path);
    if (instance.contains(ALKey::FW) == installing) {
        m_out << subject << (installing ? QStringLiteral(": already installed") : QStringLiteral(": not installed"))
              << Qt::endl;
        // A removal stopped part-way leaves the copy hidden beside its name: finish that job.
        if (const auto left = installing || request.dryRun ? std::nullopt : delegate.sweepLeftovers(row)) {
            m_err << subject << QStringLiteral(": ") << printable(*left) << Qt::endl;
            return ALExitStatus::failed;
        }
        return ALExitStatus::done;
    }
    // A running Acrobat is told as such: once closed, its plug-in folder may well be there.
    if (installing && neverRun(session, instance) && !delegate.applicationIsRunning(path)) {
        m_out << subject
              << QStringLiteral(": skipped, this Acrobat was never run, so its plug-in folder is not there yet")
              << Qt::endl;
        return ALExitStatus::neverRun;
    }
    if (request.dryRun) {
        if (delegate.applicationIsRunning(path)) {
            m_out << subject << QStringLiteral(": would be left alone, Acrobat runs") << Qt::endl;
            return ALExitStatus::acrobatRunning;
        }
        m_out << subject << (installing ? QStringLiteral(": would install") : QStringLiteral(": would uninstall"))
              << Qt::endl;
        return ALExitStatus::done;
    }
    session.alerts->messages.clear();
    session.log->causes.clear();
    if (session.noPrompt)
        session.noPrompt->asked = false;
    const ALActionOutcome outcome = delegate.installOrUninstall(row);
    if (outcome == ALActionOutcome::done) {
        const QString line = subject + (installing ? QStringLiteral(": installed") : QStringLiteral(": uninstalled"));
        m_out << line << Qt::endl;
        if (m_options.journal)
            m_options.journal(line, false);
        return ALExitStatus::done;
    }
    // The real cause first, then what the window would have said.
    for (const QString& line : session.log->causes + session.alerts->messages)
        m_err << subject << QStringLiteral(": ") << printable(line) << Qt::endl;
    if (m_options.journal && outcome == ALActionOutcome::failed)
        m_options.journal(subject + QStringLiteral(": ")
                              + printable((session.log->causes + session.alerts->messages).join(QStringLiteral("; "))),
                          true);
    if (outcome == ALActionOutcome::acrobatRunning)
        return ALExitStatus::acrobatRunning;
    if (session.noPrompt && session.noPrompt->asked)
        return ALExitStatus::needsAdministrator;
    return ALExitStatus::failed;
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
    options.journal = &Platform::systemLogLine;
    // No SA_RESTART: a wait for a child ends, and the run stops at the next installation.
    struct sigaction stop = {};
    stop.sa_handler = [](int signal) { stopSignal = signal; };
    ::sigaction(SIGINT, &stop, nullptr);
    ::sigaction(SIGTERM, &stop, nullptr);
    ALCommandLine commandLine(servicesFor, out, err, options);
    return commandLine.run(std::get<ALCommandLineRequest>(parsed));
}
