#include "InstallationUtility/ALCommandLine.h"
#include "Platform/App/Format.h"
#include "Platform/Files/RunLock.h"
#include "Platform/PropertyList/PropertyList.h"
#include "tests/support/DelegateHarness.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

// The command line in-process over fakes: the caller's world plus two users, ann and bob, each
// with their own registry and data folder; output kept in strings, the exit status returned.
class CommandLineRunTest : public DelegateTest {
public:  // the table's rows arrange through a reference
    using DelegateTest::apps;
    using DelegateTest::fakes;
    struct User {
        FakeServices fakes;
        QString support;
    };
    std::map<QString, User> users;
    QString out, err;

    std::optional<Platform::RunLock> otherRun;

    void SetUp() override
    {
        DelegateTest::SetUp();
        options = {};
        options.caller = QStringLiteral("root");
        otherRun.reset();
        journal.clear();
        for (const QString& name : {QStringLiteral("ann"), QStringLiteral("bob")}) {
            User& user = users[name];
            user.support = temp.filePath(name + QStringLiteral("/.local/share"));
            user.fakes.supportFolders = {user.support};
        }
    }

    ALCommandLine::Options options;
    QStringList journal;

    int run(const QString& line, bool root = true)
    {
        out.clear();
        err.clear();
        const auto parsed = parseCommandLine(line.split(QLatin1Char(' '), Qt::SkipEmptyParts), root);
        if (const auto* error = std::get_if<ALUsageError>(&parsed)) {
            err = error->reason;
            return ALExitStatus::usage;
        }
        QTextStream outStream(&out);
        QTextStream errStream(&err);
        const auto servicesFor = [this](const std::optional<QString>& user) -> std::optional<Platform::Services> {
            if (!user)
                return fakes.services(mainBundle);
            const auto found = users.find(*user);
            return found == users.end() ? std::nullopt : std::optional(found->second.fakes.services(mainBundle));
        };
        ALCommandLine::Options withUsers = options;
        withUsers.loginUsers = [] { return QStringList{QStringLiteral("ann"), QStringLiteral("bob")}; };
        withUsers.journal = [this](const QString& line, bool failure) {
            journal.append((failure ? QStringLiteral("failed ") : QString()) + line);
        };
        withUsers.homeOf = [this](const QString& user) { return std::optional(temp.filePath(user)); };
        ALCommandLine commandLine(servicesFor, outStream, errStream, withUsers);
        return commandLine.run(std::get<ALCommandLineRequest>(parsed));
    }

    // Acrobat 2017 in ann's own applications folder; its plug-in folder made when ranOnce.
    QString annsAcrobat(bool ranOnce = true)
    {
        User& ann = users.at(QStringLiteral("ann"));
        const QString path = Fixtures::makeAcrobat(temp.filePath(QStringLiteral("ann/Applications/Acrobat.app")),
                                                   QStringLiteral("17.012.20098"));
        ann.fakes.registry->applications.append(path);
        if (ranOnce)
            QDir().mkpath(ann.support + QStringLiteral("/Adobe/Acrobat/2017/Plug-Ins"));
        return path;
    }

    QString bobsAcrobat()
    {
        const QString path = Fixtures::makeAcrobat(temp.filePath(QStringLiteral("bob/Applications/A.app")),
                                                   QStringLiteral("17.012.20098"));
        users.at(QStringLiteral("bob")).fakes.registry->applications.append(path);
        return path;
    }

    // Ann's Acrobat 2017 with a copy of the plug-in at that version (none: a damaged copy).
    QString annsCopy(const std::optional<QString>& version)
    {
        annsAcrobat();
        const QString copy =
            pluginsOf(users.at(QStringLiteral("ann")).support) + QStringLiteral("/Foldwise.acroplugin");
        Fixtures::makePluginCopy(copy, version);
        return copy;
    }

    // The version in ann's copy, as discovery reads it; none without one.
    std::optional<QString> annsCopyVersion() const
    {
        const auto info = Platform::PropertyList::dictionaryWithContentsOfFile(
            pluginsOf(users.at(QStringLiteral("ann")).support) + Fixtures::kCopyInfo);
        return info ? Platform::textOf(info->value(QStringLiteral("CFBundleShortVersionString"))) : std::nullopt;
    }

    QJsonObject document() const { return QJsonDocument::fromJson(out.toUtf8()).object(); }

    QString lockPath() const { return temp.filePath(QStringLiteral("run.lock")); }

    QString pluginsOf(const QString& folder) const { return folder + QStringLiteral("/Adobe/Acrobat/2017/Plug-Ins"); }
};

// The cases that need root to own files as another user; CTest labels them root.
class CommandLineRunAsRoot : public CommandLineRunTest {};

TEST_F(CommandLineRunTest, EachOutcomeHasItsExitStatusAndTheRealCauseComesFirst)
{
    const struct {
        const char* name;
        std::function<void(CommandLineRunTest&)> arrange;
        const char* line;
        int status;
        const char* said;  // a part of what is written, on either stream
        bool installed;  // whether ann's copy stands afterwards
        int journalLines = 0;  // changes and failures told to the system log
    } rows[] = {
        {"installed", [](auto& t) { t.annsAcrobat(); }, "--install --all --user ann", ALExitStatus::done,
         "(user ann): installed", true, 1},
        {"a dry run changes nothing", [](auto& t) { t.annsAcrobat(); }, "--install --all --user ann --dry-run",
         ALExitStatus::done, "(user ann): would install", false},
        {"nothing to do",
         [](auto& t) {
             t.annsAcrobat();
             Fixtures::makePluginCopy(t.pluginsOf(t.users.at(QStringLiteral("ann")).support)
                                          + QStringLiteral("/Foldwise.acroplugin"),
                                      QStringLiteral("2.5"));
         },
         "--install --all --user=ann", ALExitStatus::done, ": already installed", true},
        {"never run", [](auto& t) { t.annsAcrobat(false); }, "--install --all --user ann", ALExitStatus::neverRun,
         "skipped, this Acrobat was never run", false},
        {"running",
         [](auto& t) {
             t.users.at(QStringLiteral("ann"))
                 .fakes.workspace->running.append(t.annsAcrobat() + QStringLiteral("/Contents/MacOS/AdobeAcrobat"));
         },
         "--install --all --user ann", ALExitStatus::acrobatRunning, "Please close Acrobat", false},
        {"someone else runs an Acrobat whose plug-in folder is shared",
         [](auto& t) {
             const QString shared =
                 Fixtures::makeAcrobat(t.apps + QStringLiteral("/Acrobat 11/Acrobat.app"), QStringLiteral("11.0.23"));
             QDir().mkpath(shared + QStringLiteral("/Contents/Plug-ins"));
             t.users.at(QStringLiteral("ann")).fakes.registry->applications.append(shared);
             auto everyone = std::make_shared<FakeWorkspace>();
             everyone->running.append(shared + QStringLiteral("/Contents/MacOS/AdobeAcrobat"));
             t.options.everyone = everyone;
         },
         "--install --all --user ann", ALExitStatus::acrobatRunning, "Please close Acrobat", false},
        {"someone else's Acrobat does not hold up a plug-in folder in ann's home",
         [](auto& t) {
             auto everyone = std::make_shared<FakeWorkspace>();
             everyone->running.append(t.annsAcrobat() + QStringLiteral("/Contents/MacOS/AdobeAcrobat"));
             t.options.everyone = everyone;
         },
         "--install --all --user ann", ALExitStatus::done, "(user ann): installed", true, 1},
        {"full disk",
         [](auto& t) {
             t.annsAcrobat();
             auto& files = *t.users.at(QStringLiteral("ann")).fakes.fileManager;
             const QString copy =
                 t.pluginsOf(t.users.at(QStringLiteral("ann")).support) + QStringLiteral("/Foldwise.acroplugin");
             files.failingCopies.insert(copy);
             files.failureCodes.insert(copy, ENOSPC);
         },
         "--install --all --user ann", ALExitStatus::failed, "(user ann): Injected failure at", false, 1},
        {"rights lacking under --user never reach root's shell",
         [](auto& t) {
             t.annsAcrobat();
             t.users.at(QStringLiteral("ann"))
                 .fakes.fileManager->failingCopies.insert(t.pluginsOf(t.users.at(QStringLiteral("ann")).support)
                                                          + QStringLiteral("/Foldwise.acroplugin"));
         },
         "--install --all --user ann", ALExitStatus::failed, "never uses root's", false, 1},
        {"rights lacking with --no-prompt",
         [](auto& t) {
             t.annsAcrobat();
             t.users.at(QStringLiteral("ann"))
                 .fakes.fileManager->failingCopies.insert(t.pluginsOf(t.users.at(QStringLiteral("ann")).support)
                                                          + QStringLiteral("/Foldwise.acroplugin"));
         },
         "--install --all --user ann --no-prompt", ALExitStatus::needsAdministrator, "--no-prompt does not ask", false,
         1},
        {"an unknown user stops the run before anything is done", [](auto& t) { t.annsAcrobat(); },
         "--install --all --user ann --user nosuch", ALExitStatus::usage, "There is no user nosuch", false},
        {"a path no user lists stops the run before anything is done", [](auto& t) { t.annsAcrobat(); },
         "--install /nowhere/Acrobat.app --all-users", ALExitStatus::usage, "is no Acrobat installation", false},
        {"the worst outcome wins: running over never run",
         [](auto& t) {
             t.annsAcrobat(false);
             QDir().mkpath(t.pluginsOf(t.users.at(QStringLiteral("bob")).support));
             t.users.at(QStringLiteral("bob"))
                 .fakes.workspace->running.append(t.bobsAcrobat() + QStringLiteral("/Contents/MacOS/AdobeAcrobat"));
         },
         "--install --all --all-users", ALExitStatus::acrobatRunning, "(user bob): Please close Acrobat", false},
        {"another run holds the lock",
         [](auto& t) {
             t.annsAcrobat();
             t.options.lockPath = t.lockPath();
             t.options.lockWait = std::chrono::milliseconds(0);
             bool busy = false;
             QString why;
             t.otherRun = Platform::RunLock::take(t.options.lockPath, t.options.lockWait, &busy, &why);
         },
         "--install --all --user ann", ALExitStatus::busy, "Another installer run holds", false},
        {"the lock let go by the run before",
         [](auto& t) {
             t.annsAcrobat();
             t.options.lockPath = t.lockPath();
             // The window's own lock for one copy: the run holds it already.
             t.users.at(QStringLiteral("ann")).fakes.runLockPath = t.lockPath();
             bool busy = false;
             QString why;
             Platform::RunLock::take(t.options.lockPath, t.options.lockWait, &busy, &why);
         },
         "--install --all --user ann", ALExitStatus::done, "(user ann): installed", true, 1},
        {"a signal stops the run after the installation under way",
         [](auto& t) {
             t.annsAcrobat();
             QDir().mkpath(t.pluginsOf(t.users.at(QStringLiteral("bob")).support));
             t.bobsAcrobat();
             t.options.stopRequested = [asked = 0]() mutable { return ++asked > 1; };
         },
         "--install --all --all-users", ALExitStatus::interrupted, "Stopped by a signal", true, 1},
        {"a plug-in folder shared with the user before is found installed",
         [](auto& t) {
             t.annsAcrobat();
             const QString shared =
                 Fixtures::makeAcrobat(t.apps + QStringLiteral("/Acrobat 11/Acrobat.app"), QStringLiteral("11.0.23"));
             QDir().mkpath(shared + QStringLiteral("/Contents/Plug-ins"));
             t.users.at(QStringLiteral("ann")).fakes.registry->applications.append(shared);
             t.users.at(QStringLiteral("bob")).fakes.registry->applications.append(shared);
         },
         "--install --all --all-users", ALExitStatus::done, "Acrobat.app (user bob): already installed", true, 2},
        {"no Acrobat for anyone", [](auto&) {}, "--install --all --all-users", ALExitStatus::noAcrobat,
         "Acrobat is not found", false},
        {"an older copy is upgraded", [](auto& t) { t.annsCopy(QStringLiteral("2.1")); }, "--install --all --user ann",
         ALExitStatus::done, "(user ann): upgraded from 2.1 to 2.5", true, 1},
        {"a damaged copy is replaced", [](auto& t) { t.annsCopy(std::nullopt); }, "--install --all --user ann",
         ALExitStatus::done, "upgraded from a damaged copy to 2.5", true, 1},
        {"a newer copy is left alone", [](auto& t) { t.annsCopy(QStringLiteral("2.10")); },
         "--install --all --user ann", ALExitStatus::done, "left alone, its copy 2.10 is newer than the 2.5", true},
        {"a dry run of an upgrade changes nothing", [](auto& t) { t.annsCopy(QStringLiteral("2.1")); },
         "--install --all --user ann --dry-run", ALExitStatus::done, "would upgrade from 2.1 to 2.5", true},
        {"an upgrade waits for Acrobat to close",
         [](auto& t) {
             t.annsCopy(QStringLiteral("2.1"));
             t.users.at(QStringLiteral("ann"))
                 .fakes.workspace->running.append(t.annsAcrobat() + QStringLiteral("/Contents/MacOS/AdobeAcrobat"));
         },
         "--install --all --user ann", ALExitStatus::acrobatRunning, "Please close Acrobat", true},
        {"an upgrade lacking rights with --no-prompt asks nobody",
         [](auto& t) {
             t.users.at(QStringLiteral("ann"))
                 .fakes.fileManager->failingCopies.insert(t.annsCopy(QStringLiteral("2.1")));
         },
         "--install --all --user ann --no-prompt", ALExitStatus::needsAdministrator,
         "an upgrade never asks for administrator rights", true, 1},
        {"an upgrade lacking rights is a failure, never a prompt",
         [](auto& t) {
             t.fakes.fileManager->failingCopies.insert(t.annsCopy(QStringLiteral("2.1")));
             t.fakes.registry->applications = t.users.at(QStringLiteral("ann")).fakes.registry->applications;
             t.fakes.supportFolders = {t.users.at(QStringLiteral("ann")).support};
         },
         "--install --all", ALExitStatus::failed, "an upgrade never asks for administrator rights", true, 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TearDown();
        users.clear();
        temp.remove();
        ASSERT_TRUE(QDir().mkpath(temp.path()));
        SetUp();
        row.arrange(*this);
        EXPECT_EQ(run(QString::fromUtf8(row.line)), row.status) << out.toStdString() << err.toStdString();
        EXPECT_TRUE((out + err).contains(QString::fromUtf8(row.said))) << out.toStdString() << err.toStdString();
        EXPECT_EQ(QFile::exists(pluginsOf(users.at(QStringLiteral("ann")).support) + Fixtures::kCopyInfo),
                  row.installed);
        EXPECT_FALSE(QFile::exists(pluginsOf(users.at(QStringLiteral("bob")).support) + Fixtures::kCopyInfo))
            << "a stopped run goes no further";
        EXPECT_EQ(journal.size(), row.journalLines) << journal.join(QLatin1Char('\n')).toStdString();
        EXPECT_TRUE(fakes.shell->commands.isEmpty()) << "the password prompt is never shown here";
    }
}

TEST_F(CommandLineRunTest, FailureTellsTheCauseBeforeTheAdvice)
{
    annsAcrobat();
    const QString copy = pluginsOf(users.at(QStringLiteral("ann")).support) + QStringLiteral("/Foldwise.acroplugin");
    users.at(QStringLiteral("ann")).fakes.fileManager->failingCopies.insert(copy);
    users.at(QStringLiteral("ann")).fakes.fileManager->failureCodes.insert(copy, ENOSPC);
    ASSERT_EQ(run(QStringLiteral("--install --all --user ann")), ALExitStatus::failed);
    const qsizetype cause = err.indexOf(QStringLiteral("Injected failure"));
    ASSERT_GE(cause, 0) << err.toStdString();
    EXPECT_GT(err.indexOf(QStringLiteral("Please run Acrobat at least once")), cause) << err.toStdString();
}

TEST_F(CommandLineRunTest, AnInstallationNamedThroughALinkIsTheOneListed)
{
    const QString acrobat = annsAcrobat();
    const QString linkedFolder = temp.filePath(QStringLiteral("linked"));
    ASSERT_TRUE(QFile::link(QFileInfo(acrobat).path(), linkedFolder));
    ASSERT_EQ(run(QStringLiteral("--install %1/Acrobat.app --user ann").arg(linkedFolder)), ALExitStatus::done)
        << err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(pluginsOf(users.at(QStringLiteral("ann")).support)
                                  + QStringLiteral("/Foldwise.acroplugin/Contents/Info.plist")));
}

TEST_F(CommandLineRunTest, ListShowsEachUsersOwnInstallationsAndEscapesWhatTheyNamed)
{
    annsAcrobat();
    const QString odd = Fixtures::makeAcrobat(temp.filePath(QStringLiteral("bob/Applications/B\x1b[2J.app")),
                                              QStringLiteral("17.012.20098"));
    users.at(QStringLiteral("bob")).fakes.registry->applications.append(odd);

    ASSERT_EQ(run(QStringLiteral("--list --json --all-users")), ALExitStatus::done) << err.toStdString();
    const QJsonArray rows = document().value(QStringLiteral("installations")).toArray();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows.at(0).toObject().value(QStringLiteral("user")).toString(), QStringLiteral("ann"));
    EXPECT_EQ(rows.at(1).toObject().value(QStringLiteral("user")).toString(), QStringLiteral("bob"));
    EXPECT_EQ(rows.at(1).toObject().value(QStringLiteral("path")).toString(), odd) << "JSON carries names as they are";

    ASSERT_EQ(run(QStringLiteral("--list --user bob")), ALExitStatus::done);
    EXPECT_FALSE(out.contains(QChar(0x1b)));
    EXPECT_TRUE(out.contains(QStringLiteral("B\\x1b[2J.app"))) << out.toStdString();
    EXPECT_TRUE(out.endsWith(QStringLiteral("\tbob\n"))) << out.toStdString();
    EXPECT_FALSE(out.contains(QStringLiteral("ann")));
}

TEST_F(CommandLineRunTest, InstallAndUninstallTellEachInstallationInOneJsonDocument)
{
    const QString older = annsAcrobat();
    Fixtures::makePluginCopy(pluginsOf(users.at(QStringLiteral("ann")).support)
                                 + QStringLiteral("/Foldwise.acroplugin"),
                             QStringLiteral("2.1"));
    const QString fresh = bobsAcrobat();
    QDir().mkpath(pluginsOf(users.at(QStringLiteral("bob")).support));
    const auto installationsOf = [](const QJsonObject& document) {
        QStringList told;
        for (const QJsonValue& entry : document.value(QStringLiteral("installations")).toArray()) {
            const QJsonObject row = entry.toObject();
            told.append(QStringList{row.value(QStringLiteral("path")).toString(),
                                    row.value(QStringLiteral("user")).toString(),
                                    row.value(QStringLiteral("versionBefore")).toString(QStringLiteral("null")),
                                    row.value(QStringLiteral("versionAfter")).toString(QStringLiteral("null")),
                                    row.value(QStringLiteral("outcome")).toString()}
                            .join(QLatin1Char(' ')));
        }
        return told;
    };

    ASSERT_EQ(run(QStringLiteral("--install --all --all-users --json --dry-run")), ALExitStatus::done)
        << err.toStdString();
    QJsonObject told = document();
    EXPECT_EQ(told.value(QStringLiteral("schema")).toInt(), ALCommandLineReport::kSchema);
    EXPECT_EQ(told.value(QStringLiteral("command")).toString(), QStringLiteral("install"));
    EXPECT_EQ(told.value(QStringLiteral("user")).toString(), QStringLiteral("root"));
    EXPECT_EQ(told.value(QStringLiteral("carriedVersion")).toString(), QStringLiteral("2.5"));
    EXPECT_TRUE(told.value(QStringLiteral("dryRun")).toBool());
    EXPECT_EQ(installationsOf(told),
              (QStringList{older + " ann 2.1 2.5 wouldUpgrade", fresh + " bob null 2.5 wouldInstall"}));
    EXPECT_EQ(annsCopyVersion(), QStringLiteral("2.1"));

    ASSERT_EQ(run(QStringLiteral("--install --all --all-users --json")), ALExitStatus::done) << err.toStdString();
    told = document();
    EXPECT_FALSE(told.value(QStringLiteral("dryRun")).toBool(true));
    EXPECT_EQ(told.value(QStringLiteral("status")).toInt(-1), ALExitStatus::done);
    EXPECT_EQ(installationsOf(told), (QStringList{older + " ann 2.1 2.5 upgraded", fresh + " bob null 2.5 installed"}));
    EXPECT_EQ(annsCopyVersion(), QStringLiteral("2.5"));
    EXPECT_FALSE(out.contains(QStringLiteral(": installed\n"))) << "nothing but the document on standard output";

    users.at(QStringLiteral("bob"))
        .fakes.fileManager->failingRemovals.insert(pluginsOf(users.at(QStringLiteral("bob")).support)
                                                   + QStringLiteral("/Foldwise.acroplugin"));
    ASSERT_EQ(run(QStringLiteral("--uninstall --all --all-users --json --no-prompt")),
              ALExitStatus::needsAdministrator);
    told = document();
    EXPECT_EQ(told.value(QStringLiteral("command")).toString(), QStringLiteral("uninstall"));
    EXPECT_EQ(told.value(QStringLiteral("status")).toInt(), ALExitStatus::needsAdministrator);
    EXPECT_EQ(installationsOf(told),
              (QStringList{older + " ann 2.5 null uninstalled", fresh + " bob 2.5 2.5 needsAdministrator"}));
    const QJsonObject refused = told.value(QStringLiteral("installations")).toArray().at(1).toObject();
    EXPECT_TRUE(
        refused.value(QStringLiteral("reason")).toString().contains(QStringLiteral("--no-prompt does not ask")));
    EXPECT_TRUE(told.value(QStringLiteral("installations"))
                    .toArray()
                    .at(0)
                    .toObject()
                    .value(QStringLiteral("reason"))
                    .isNull());
    EXPECT_TRUE(err.contains(QStringLiteral("--no-prompt does not ask"))) << "failures still go to standard error";

    options.lockPath = lockPath();
    options.lockWait = std::chrono::milliseconds(0);
    bool busy = false;
    QString why;
    otherRun = Platform::RunLock::take(lockPath(), options.lockWait, &busy, &why);
    ASSERT_EQ(run(QStringLiteral("--install --all --all-users --json")), ALExitStatus::busy);
    EXPECT_EQ(document().value(QStringLiteral("status")).toInt(), ALExitStatus::busy)
        << "a busy run still gives its document";
    EXPECT_TRUE(document().value(QStringLiteral("installations")).toArray().isEmpty());
}

TEST_F(CommandLineRunTest, ListJsonTellsEachCopysStateAndWhatCouldNotBeRead)
{
    User& ann = users.at(QStringLiteral("ann"));
    User& bob = users.at(QStringLiteral("bob"));
    annsCopy(QStringLiteral("2.5"));
    const QString acrobat2020 = Fixtures::makeAcrobat(
        temp.filePath(QStringLiteral("ann/Applications/Acrobat 2020.app")), QStringLiteral("20.001"));
    ann.fakes.registry->applications.append(acrobat2020);
    Fixtures::makePluginCopy(ann.support + QStringLiteral("/Adobe/Acrobat/2020/Plug-Ins/Foldwise.acroplugin"),
                             QStringLiteral("2.1"));
    const QString dc = Fixtures::makeAcrobat(
        temp.filePath(QStringLiteral("ann/Applications/Adobe Acrobat DC/Acrobat.app")), QStringLiteral("15.006"));
    ann.fakes.registry->applications.append(dc);
    Fixtures::makePluginCopy(ann.support + QStringLiteral("/Adobe/Acrobat/DC/Plug-Ins/Foldwise.acroplugin"),
                             QStringLiteral("3.0"));
    bobsAcrobat();
    Fixtures::makePluginCopy(pluginsOf(bob.support) + QStringLiteral("/Foldwise.acroplugin"), std::nullopt);
    const QString bobs2020 =
        Fixtures::makeAcrobat(temp.filePath(QStringLiteral("bob/Applications/B.app")), QStringLiteral("20.001"));
    bob.fakes.registry->applications.append(bobs2020);
    bob.fakes.workspace->running.append(bobs2020 + QStringLiteral("/Contents/MacOS/AdobeAcrobat"));
    bob.fakes.registry->unreadable.append(
        {temp.filePath(QStringLiteral("bob/Applications/C.app")), QStringLiteral("it has no Contents/Info.plist")});

    ASSERT_EQ(run(QStringLiteral("--list --json --all-users")), ALExitStatus::done) << err.toStdString();
    const QJsonObject told = document();
    EXPECT_EQ(told.value(QStringLiteral("schema")).toInt(), ALCommandLineReport::kSchema);
    EXPECT_EQ(told.value(QStringLiteral("command")).toString(), QStringLiteral("list"));
    EXPECT_EQ(told.value(QStringLiteral("user")).toString(), QStringLiteral("root"));
    EXPECT_EQ(told.value(QStringLiteral("carriedVersion")).toString(), QStringLiteral("2.5"));
    EXPECT_FALSE(told.contains(QStringLiteral("dryRun")));
    QStringList states;
    for (const QJsonValue& entry : told.value(QStringLiteral("installations")).toArray()) {
        const QJsonObject row = entry.toObject();
        const QJsonArray copies = row.value(QStringLiteral("copies")).toArray();
        states.append(row.value(QStringLiteral("user")).toString() + QLatin1Char(' ')
                      + row.value(QStringLiteral("state")).toString() + QLatin1Char(' ')
                      + (copies.isEmpty() ? QStringLiteral("-")
                                          : copies.at(0).toObject().value(QStringLiteral("state")).toString())
                      + (row.value(QStringLiteral("running")).toBool() ? QStringLiteral(" running") : QString()));
    }
    EXPECT_EQ(states,
              (QStringList{"ann intact intact", "ann older older", "ann newer newer", "bob damaged damaged",
                           "bob notInstalled - running"}));
    const QJsonArray unreadable = told.value(QStringLiteral("unreadable")).toArray();
    ASSERT_EQ(unreadable.size(), 1);
    EXPECT_EQ(unreadable.at(0).toObject(),
              (QJsonObject{{"path", temp.filePath(QStringLiteral("bob/Applications/C.app"))},
                           {"user", "bob"},
                           {"reason", "it has no Contents/Info.plist"}}));

    ASSERT_EQ(run(QStringLiteral("--list --user ann")), ALExitStatus::done);
    EXPECT_TRUE(out.contains(QStringLiteral("\tFoldwise 2.1, older\t"))) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("\tFoldwise 2.5\t"))) << out.toStdString();
    ASSERT_EQ(run(QStringLiteral("--list --user bob")), ALExitStatus::done);
    EXPECT_TRUE(out.contains(QStringLiteral("\tFoldwise (null), damaged\t"))) << out.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("C.app (user bob): could not be read"))) << err.toStdString();
}

TEST_F(CommandLineRunAsRoot, NobodyElseCanOpenTheLockFileToHoldEveryRunBusy)
{
    FOLDWISE_REQUIRE_ROOT("tries the lock as another user");
    // Left open to others by an earlier run, in a folder anyone may enter.
    ::chmod(QFile::encodeName(temp.path()).constData(), 0755);
    Fixtures::writeFile(lockPath(), QByteArray());
    ASSERT_TRUE(
        QFile::setPermissions(lockPath(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
    bool busy = false;
    QString why;
    ASSERT_TRUE(Platform::RunLock::take(lockPath(), std::chrono::milliseconds(0), &busy, &why)) << why.toStdString();
    struct stat info;
    ASSERT_EQ(::stat(QFile::encodeName(lockPath()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    const std::optional<QByteArray> opened = Fixtures::runAsPlainUser([path = QFile::encodeName(lockPath())] {
        const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
        return QByteArray(fd < 0 ? "refused" : "opened");
    });
    EXPECT_EQ(opened, QByteArray("refused"));
}

TEST_F(CommandLineRunAsRoot, RootActingByItselfNeverFollowsAFolderSomeoneElseControls)
{
    FOLDWISE_REQUIRE_ROOT("the rule is root's");
    const struct {
        const char* name;
        const char* arguments;
        std::optional<const char*> copyVersion;  // of the copy in root's folder, if any
        const char* reason;
    } rows[] = {
        {"an older copy is not replaced", "--install --all", "2.1", "so root will not replace the copy there"},
        {"nothing is copied in", "--install --all", std::nullopt, "so root will not install there"},
        {"a copy is not removed", "--uninstall --all", "2.1", "so root will not remove the copy there"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        // A bundle a plain user owns, whose plug-in folder they linked to a folder of root's.
        QDir(apps).removeRecursively();
        const QString acrobat =
            Fixtures::makeAcrobat(apps + QStringLiteral("/Acrobat 11/Acrobat.app"), QStringLiteral("11.0.23"));
        const QString rootsFolder = temp.filePath(QStringLiteral("root only"));
        QDir(rootsFolder).removeRecursively();
        QDir().mkpath(rootsFolder);
        if (row.copyVersion)
            Fixtures::makePluginCopy(rootsFolder + QStringLiteral("/Foldwise.acroplugin"),
                                     QString::fromLatin1(*row.copyVersion));
        const QStringList before = Fixtures::treeOf(rootsFolder);
        ASSERT_TRUE(QFile::link(rootsFolder, acrobat + QStringLiteral("/Contents/Plug-ins")));
        Fixtures::chownTree(apps, Fixtures::kPlainUser);
        fakes.registry->applications = {acrobat};

        EXPECT_EQ(run(QString::fromLatin1(row.arguments)), ALExitStatus::failed) << out.toStdString();
        EXPECT_TRUE(err.contains(QString::fromLatin1(row.reason))) << err.toStdString();
        EXPECT_EQ(Fixtures::treeOf(rootsFolder), before) << "root's folder is as it was";
        EXPECT_TRUE(fakes.fileManager->replacements.isEmpty());
    }
}

TEST_F(CommandLineRunAsRoot, RootListsNothingItWouldReadThroughAUsersLink)
{
    FOLDWISE_REQUIRE_ROOT("to give a bundle to a plain user");
    // An Acrobat whose Info.plist root alone may read, under a name nobody else should learn.
    const QString hidden = Fixtures::makeAcrobat(temp.filePath(QStringLiteral("root only/Hidden.app")),
                                                 QStringLiteral("11.0.1"), QStringLiteral("Secret Acrobat"));
    const QString hiddenInfo = hidden + QStringLiteral("/Contents/Info.plist");
    ASSERT_EQ(::chmod(QFile::encodeName(hiddenInfo).constData(), 0600), 0);
    const struct {
        const char* name;
        bool usersLink;
        bool shown;
    } rows[] = {
        {"a plain user's link is not followed", true, false},
        {"root's own link in root's folder is", false, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QDir(apps).removeRecursively();
        const QString acrobat = apps + QStringLiteral("/Acrobat.app");
        ASSERT_TRUE(QDir().mkpath(acrobat + QStringLiteral("/Contents")));
        ASSERT_TRUE(QFile::link(hiddenInfo, acrobat + QStringLiteral("/Contents/Info.plist")));
        if (row.usersLink)
            Fixtures::chownTree(apps, Fixtures::kPlainUser);
        fakes.registry->applications = {acrobat};

        run(QStringLiteral("--list --json"));
        EXPECT_EQ(out.contains(QStringLiteral("Secret Acrobat")), row.shown) << out.toStdString();
    }
}
