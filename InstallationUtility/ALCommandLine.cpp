#include "InstallationUtility/ALCommandLine.h"

#include "InstallationUtility/ALAppDelegate.h"
#include "Platform/Bundle.h"
#include "Platform/Format.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <unistd.h>

namespace {

const QString kNoAcrobatMessage =
    QStringLiteral("Acrobat is not found, can't install Foldwise here. Consider using standalone version instead.");
const QString kShortVersionKey = QStringLiteral("CFBundleShortVersionString");

// An alert panel's text as one line on standard error, after what it is about.
class StandardErrorAlerts : public Platform::Alerts {
public:
    explicit StandardErrorAlerts(QTextStream& err) : m_err(err) {}
    QString subject;
    void runAlertPanel(const QString&, const QString& message, const QString&) override
    {
        m_err << (subject.isEmpty() ? QString() : subject + QStringLiteral(": ")) << message << Qt::endl;
    }

private:
    QTextStream& m_err;
};

// Stands in for the password prompt where none may be shown.
class NoPromptShell : public Platform::AdministratorShell {
public:
    Result run(const QString& commandText) override
    {
        Result result;
        result.errorMessage =
            QStringLiteral("Administrator rights are needed for %1, and --no-prompt does not ask for them")
                .arg(commandText);
        return result;
    }
};

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

// The worse of two statuses: a failure outweighs a skipped installation, which outweighs success.
int worse(int a, int b)
{
    const auto rank = [](int status) {
        return status == ALExitStatus::failed ? 3 : status == ALExitStatus::acrobatRunning ? 2 : status ? 1 : 0;
    };
    return rank(a) >= rank(b) ? a : b;
}

}  // namespace

ALCommandLine::ALCommandLine(ServicesFor servicesFor, QTextStream& out, QTextStream& err)
    : m_servicesFor(std::move(servicesFor)),
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
        return list(request.json);
    case Command::install:
    case Command::uninstall:
        return installOrUninstall(request);
    }
    return ALExitStatus::usage;
}

int ALCommandLine::list(bool json)
{
    ALAppDelegate delegate(*m_servicesFor(std::nullopt));
    delegate.setDecodesIcons(false);
    delegate.searchForAcrobat();
    QJsonArray rows;
    for (const QVariantMap& instance : delegate.acrobatInstances()) {
        const QJsonObject row = jsonOf(delegate, instance);
        rows.append(row);
        if (json)
            continue;
        const std::optional<QString> version = installedVersion(instance);
        m_out << row.value(QStringLiteral("title")).toString() << '\t' << row.value(QStringLiteral("path")).toString()
              << '\t'
              << (instance.contains(ALKey::FW) ? Platform::format(QStringLiteral("Foldwise %@"), {version})
                                               : QStringLiteral("not installed"))
              << '\t' << (row.value(QStringLiteral("running")).toBool() ? "running" : "not running") << Qt::endl;
    }
    if (json)
        m_out << QJsonDocument(rows).toJson(QJsonDocument::Indented);
    if (rows.isEmpty()) {
        m_err << kNoAcrobatMessage << Qt::endl;
        return ALExitStatus::noAcrobat;
    }
    return ALExitStatus::done;
}

int ALCommandLine::installOrUninstall(const ALCommandLineRequest& request)
{
    if (request.users.isEmpty())
        return forUser(request, std::nullopt);
    int status = ALExitStatus::done;
    for (const QString& user : request.users)
        status = worse(status, forUser(request, user));
    return status;
}

int ALCommandLine::forUser(const ALCommandLineRequest& request, const std::optional<QString>& user)
{
    std::optional<Platform::Services> services = m_servicesFor(user);
    if (!services) {
        m_err << QStringLiteral("There is no user %1 with a home folder.").arg(user.value_or(QString())) << Qt::endl;
        return ALExitStatus::usage;
    }
    auto alerts = std::make_shared<StandardErrorAlerts>(m_err);
    services->alerts = alerts;
    if (request.noPrompt)
        services->administratorShell = std::make_shared<NoPromptShell>();
    ALAppDelegate delegate(std::move(*services));
    delegate.setDecodesIcons(false);
    delegate.searchForAcrobat();
    if (delegate.acrobatInstances().isEmpty()) {
        m_err << kNoAcrobatMessage << Qt::endl;
        return ALExitStatus::noAcrobat;
    }
    QStringList paths = request.applicationPaths;
    if (request.all) {
        for (const QVariantMap& instance : delegate.acrobatInstances())
            paths.append(instance.value(ALKey::Path).toString());
    }
    for (const QString& path : paths) {
        if (rowOf(delegate, path) < 0) {
            m_err << QStringLiteral("%1 is no Acrobat installation that --list shows (see --help)").arg(path)
                  << Qt::endl;
            return ALExitStatus::usage;
        }
    }

    const bool installing = request.command == ALCommandLineRequest::Command::install;
    int status = ALExitStatus::done;
    for (const QString& path : paths) {
        const int row = rowOf(delegate, path);
        const QString listed = delegate.acrobatInstances().at(row).value(ALKey::Path).toString();
        const QString subject = user ? QStringLiteral("%1 (user %2)").arg(listed, *user) : listed;
        alerts->subject = subject;
        const bool installed = delegate.acrobatInstances().at(row).contains(ALKey::FW);
        if (installed == installing) {
            m_out << subject << (installing ? QStringLiteral(": already installed") : QStringLiteral(": not installed"))
                  << Qt::endl;
            // A removal stopped part-way leaves the copy hidden beside its name: finish that job.
            if (const auto left = installing ? std::nullopt : delegate.sweepLeftovers(row)) {
                m_err << subject << QStringLiteral(": ") << *left << Qt::endl;
                status = worse(status, ALExitStatus::failed);
            }
            continue;
        }
        switch (delegate.installOrUninstall(row)) {
        case ALActionOutcome::done:
            m_out << subject << (installing ? QStringLiteral(": installed") : QStringLiteral(": uninstalled"))
                  << Qt::endl;
            break;
        case ALActionOutcome::acrobatRunning:
            status = worse(status, ALExitStatus::acrobatRunning);
            break;
        case ALActionOutcome::failed:
        case ALActionOutcome::noSuchRow:
            status = worse(status, ALExitStatus::failed);
            break;
        }
    }
    return status;
}

int ALCommandLine::main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const bool root = ::geteuid() == 0;
    const auto parsed = parseCommandLine(QCoreApplication::arguments().mid(1), root);
    if (const auto* error = std::get_if<ALUsageError>(&parsed)) {
        err << error->reason << Qt::endl;
        return ALExitStatus::usage;
    }
    const auto servicesFor = [](const std::optional<QString>& user) -> std::optional<Platform::Services> {
        return user ? Platform::Services::systemForUser(*user) : Platform::Services::system();
    };
    ALCommandLine commandLine(servicesFor, out, err);
    return commandLine.run(std::get<ALCommandLineRequest>(parsed));
}
