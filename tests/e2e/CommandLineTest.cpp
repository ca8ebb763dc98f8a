#include "tests/e2e/Desktop.h"
#include "tests/support/Fixtures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace E2E;

using Fixtures::kCopyInfo;
using Fixtures::treeOf;

// The program started with arguments, as a fleet tool starts it: no display, fixture Acrobats in
// a fresh home, and only its output and exit status to go by.
class CommandLine : public ::testing::Test {
protected:
    QTemporaryDir temp;
    QString home, applications, support;
    QString acrobat11, acrobat2017;

    void SetUp() override
    {
        ASSERT_TRUE(temp.isValid());
        // Plain users must reach the fixtures, as they reach /Applications.
        ::chmod(QFile::encodeName(temp.path()).constData(), 0755);
        home = QFileInfo(temp.path()).canonicalFilePath() + QStringLiteral("/home");
        applications = home + QStringLiteral("/Applications");
        support = home + QStringLiteral("/.local/share");
        acrobat11 =
            Fixtures::makeAcrobat(applications + QStringLiteral("/Acrobat 11/Acrobat.app"), QStringLiteral("11.0.23"));
        acrobat2017 = Fixtures::makeAcrobat(applications + QStringLiteral("/Acrobat 2017/Acrobat.app"),
                                            QStringLiteral("17.012.20098"));
        ASSERT_TRUE(QDir().mkpath(acrobat11 + QStringLiteral("/Contents/Plug-ins")));
        ASSERT_TRUE(QDir().mkpath(support + QStringLiteral("/Adobe/Acrobat/2017/Plug-Ins")));
    }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.insert(QStringLiteral("HOME"), home);
        environment.insert(QStringLiteral("XDG_DATA_HOME"), support);
        environment.insert(QStringLiteral("FOLDWISE_APPLICATION_DIRS"), applications);
        return environment;
    }

    const QStringList kPlainUser = {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                                    QStringLiteral("--clear-groups")};

    CommandResult run(const QStringList& arguments, const QStringList& asUser = {})
    {
        // setpriv gives up root for the plain user before the program starts.
        const QString program = asUser.isEmpty() ? QStringLiteral(FOLDWISE_APP_EXECUTABLE) : QStringLiteral("setpriv");
        const QStringList all =
            asUser.isEmpty() ? arguments : asUser + QStringList{QStringLiteral(FOLDWISE_APP_EXECUTABLE)} + arguments;
        const CommandResult result = runCommand(program, all, environment(), 60s);
        EXPECT_TRUE(result.finished) << arguments.join(QLatin1Char(' ')).toStdString();
        return result;
    }

    static QJsonArray listed(const CommandResult& result)
    {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(result.output, &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << result.output.toStdString();
        return document.object().value(QStringLiteral("installations")).toArray();
    }
};

// The cases that start the program as root for other users; CTest labels them root.
class CommandLineAsRoot : public CommandLine {};

TEST_F(CommandLineAsRoot, ListsInstallsAgainWithoutChangeAndUninstallsOnePath)
{
    // As a plain user in their own home: root's HOME and XDG_DATA_HOME would not be heeded.
    FOLDWISE_REQUIRE_ROOT("to start the program as a plain user");
    ASSERT_TRUE(runCommand(QStringLiteral("chown"), {QStringLiteral("-R"), QStringLiteral("65534:65534"), home},
                           QProcessEnvironment::systemEnvironment())
                    .succeeded());
    const auto run = [this](const QStringList& arguments) { return CommandLine::run(arguments, kPlainUser); };
    const QString plugins2017 = support + QStringLiteral("/Adobe/Acrobat/2017/Plug-Ins");
    CommandResult result = run({QStringLiteral("--list"), QStringLiteral("--json")});
    EXPECT_EQ(result.exitCode, 0) << result.errors.toStdString();
    const QJsonArray before = listed(result);
    ASSERT_EQ(before.size(), 2);
    const QJsonObject first = before.at(0).toObject();
    EXPECT_EQ(first.keys(),
              (QStringList{"copies", "majorVersion", "path", "pluginFolders", "running", "state", "title", "user",
                           "version"}));
    EXPECT_EQ(first.value("title").toString(), QStringLiteral("Adobe Acrobat Pro 11.0.23"));
    EXPECT_EQ(first.value("path").toString(), acrobat11);
    EXPECT_TRUE(first.value("version").isNull());
    EXPECT_EQ(first.value("majorVersion").toInt(), 11);
    EXPECT_EQ(first.value("pluginFolders").toArray(), QJsonArray{acrobat11 + QStringLiteral("/Contents/Plug-ins")});
    EXPECT_EQ(first.value("copies").toArray(), QJsonArray());
    EXPECT_EQ(first.value("running").toBool(true), false);
    EXPECT_EQ(before.at(1).toObject().value("pluginFolders").toArray(), QJsonArray{plugins2017});

    result = run({QStringLiteral("--install"), QStringLiteral("--all")});
    EXPECT_EQ(result.exitCode, 0) << result.errors.toStdString();
    EXPECT_EQ(QString::fromUtf8(result.output),
              acrobat11 + QStringLiteral(": installed\n") + acrobat2017 + QStringLiteral(": installed\n"));
    const QJsonArray after = listed(run({QStringLiteral("--list"), QStringLiteral("--json")}));
    ASSERT_EQ(after.size(), 2);
    EXPECT_EQ(after.at(1).toObject().value("version").toString(), QStringLiteral("2.5"));
    EXPECT_EQ(
        after.at(1).toObject().value("copies").toArray(),
        (QJsonArray{QJsonObject{
            {"path", plugins2017 + QStringLiteral("/Foldwise.acroplugin")}, {"version", "2.5"}, {"state", "intact"}}}));
    EXPECT_TRUE(QFile::exists(acrobat11 + QStringLiteral("/Contents/Plug-ins") + kCopyInfo));

    const QStringList installed = treeOf(home);
    result = run({QStringLiteral("--install"), QStringLiteral("--all")});
    EXPECT_EQ(result.exitCode, 0) << "running it again is no failure";
    EXPECT_TRUE(QString::fromUtf8(result.output).contains(QStringLiteral(": already installed")));
    EXPECT_EQ(treeOf(home), installed);

    result = run({QStringLiteral("--uninstall"), acrobat2017 + QLatin1Char('/')});
    EXPECT_EQ(result.exitCode, 0) << result.errors.toStdString();
    EXPECT_FALSE(QFileInfo::exists(plugins2017 + QStringLiteral("/Foldwise.acroplugin")));
    EXPECT_TRUE(QFile::exists(acrobat11 + QStringLiteral("/Contents/Plug-ins") + kCopyInfo)) << "the other stays";

    result = run({QStringLiteral("--uninstall"), temp.filePath(QStringLiteral("Elsewhere.app"))});
    EXPECT_EQ(result.exitCode, 2) << "a path that names no installation";
    EXPECT_TRUE(QFile::exists(acrobat11 + QStringLiteral("/Contents/Plug-ins") + kCopyInfo));
    EXPECT_EQ(run({QStringLiteral("--lsit")}).exitCode, 2);

    QDir(applications).removeRecursively();
    result = run({QStringLiteral("--list")});
    EXPECT_EQ(result.exitCode, 4);
    EXPECT_TRUE(result.errors.contains("Acrobat is not found"));
}

TEST_F(CommandLineAsRoot, WithoutPromptsAPlainUserFailsWhereRootWouldBeNeeded)
{
    FOLDWISE_REQUIRE_ROOT("to start the program as a plain user");
    // Acrobat 11's plug-in folder is root's alone: the plain user's copy fails for lack of rights.
    const QStringList before = treeOf(home);
    const CommandResult result =
        run({QStringLiteral("--install"), acrobat11, QStringLiteral("--no-prompt")},
            {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"), QStringLiteral("--clear-groups")});
    EXPECT_EQ(result.exitCode, 6) << result.errors.toStdString();
    const QString errors = QString::fromUtf8(result.errors);
    const qsizetype cause = errors.indexOf(QStringLiteral("--no-prompt does not ask"));
    EXPECT_GE(cause, 0) << result.errors.toStdString();
    EXPECT_GT(errors.indexOf(acrobat11
                             + QStringLiteral(": Can't perform operation, probably there is no access to the "
                                              "selected location")),
              cause)
        << "the real cause comes first";
    EXPECT_EQ(treeOf(home), before);
}

TEST_F(CommandLineAsRoot, RootWorksForAUserWithTheirRights)
{
    FOLDWISE_REQUIRE_ROOT("to work for another user");
    const QString user = QStringLiteral("foldwise-e2e");
    const QString userHome = temp.filePath(QStringLiteral("user home"));
    runCommand(QStringLiteral("userdel"), {user}, QProcessEnvironment::systemEnvironment());
    const CommandResult added = runCommand(QStringLiteral("useradd"),
                                           {QStringLiteral("--home-dir"), userHome, QStringLiteral("--no-create-home"),
                                            QStringLiteral("--user-group"), user},
                                           QProcessEnvironment::systemEnvironment());
    ASSERT_TRUE(added.succeeded()) << added.errors.toStdString();
    const QString plugins = userHome + QStringLiteral("/.local/share/Adobe/Acrobat/2017/Plug-Ins");
    ASSERT_TRUE(QDir().mkpath(plugins));
    const CommandResult owned = runCommand(QStringLiteral("chown"), {QStringLiteral("-R"), user + ':' + user, userHome},
                                           QProcessEnvironment::systemEnvironment());
    ASSERT_TRUE(owned.succeeded());
    struct stat account;
    ASSERT_EQ(::stat(QFile::encodeName(userHome).constData(), &account), 0);

    const CommandResult result = run({QStringLiteral("--install"), acrobat2017, QStringLiteral("--user"), user});
    runCommand(QStringLiteral("userdel"), {user}, QProcessEnvironment::systemEnvironment());
    EXPECT_EQ(result.exitCode, 0) << result.errors.toStdString();
    EXPECT_EQ(QString::fromUtf8(result.output),
              acrobat2017 + QStringLiteral(" (user ") + user + QStringLiteral("): installed\n"));
    ASSERT_TRUE(QFile::exists(plugins + kCopyInfo));
    for (const QString& path : treeOf(plugins)) {
        struct stat info;
        ASSERT_EQ(::lstat(QFile::encodeName(path).constData(), &info), 0);
        EXPECT_EQ(info.st_uid, account.st_uid) << path.toStdString();
        EXPECT_EQ(info.st_gid, account.st_gid) << path.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(support + QStringLiteral("/Adobe/Acrobat/2017/Plug-Ins/Foldwise.acroplugin")))
        << "root's own folder is left alone";
}

// Throwaway accounts for one test, with homes in the test's own folder; deleted with their
// homes when the test ends, however it ends, and first deleted if an earlier run left them.
class ThrowawayUsers {
public:
    ThrowawayUsers(const QString& homes, const QStringList& names) : m_names(names)
    {
        for (const QString& name : m_names) {
            remove(name);
            const QString home = homes + QLatin1Char('/') + name;
            const CommandResult added = runCommand(QStringLiteral("useradd"),
                                                   {QStringLiteral("--home-dir"), home,
                                                    QStringLiteral("--no-create-home"), QStringLiteral("--user-group"),
                                                    QStringLiteral("--shell"), QStringLiteral("/bin/bash"), name},
                                                   QProcessEnvironment::systemEnvironment());
            m_ready = m_ready && added.succeeded() && QDir().mkpath(home);
            m_homes.append(home);
        }
    }
    ~ThrowawayUsers()
    {
        for (const QString& name : m_names)
            remove(name);
    }
    ThrowawayUsers(const ThrowawayUsers&) = delete;
    ThrowawayUsers& operator=(const ThrowawayUsers&) = delete;

    bool ready() const { return m_ready; }
    QString home(int user) const { return m_homes.at(user); }
    // Gives everything in the user's home to the user, as their own files are.
    bool own(int user) const
    {
        return runCommand(QStringLiteral("chown"),
                          {QStringLiteral("-R"), m_names.at(user) + ':' + m_names.at(user), m_homes.at(user)},
                          QProcessEnvironment::systemEnvironment())
            .succeeded();
    }

private:
    static void remove(const QString& name)
    {
        runCommand(QStringLiteral("userdel"), {QStringLiteral("-r"), name}, QProcessEnvironment::systemEnvironment());
    }

    QStringList m_names;
    QStringList m_homes;
    bool m_ready = true;
};

// The fleet example of the manual page, run as root over three people: one who never ran the
// system-wide Acrobat 2017, one with Foldwise 2.1 in it, and one with Acrobats of their own in
// ~/Applications. The system-wide folder stands in for /Applications (FOLDWISE_APPLICATION_DIRS);
// the homes are the real ones of real accounts. Run twice it comes to the same, and a run started
// while another holds the machine's lock waits for it.
TEST_F(CommandLineAsRoot, AFleetRunOverThreeUsersInstallsEveryCopyAndComesToTheSameTwice)
{
    FOLDWISE_REQUIRE_ROOT("makes throwaway accounts with useradd");
    const QStringList names = {QStringLiteral("fw-fleet-never"), QStringLiteral("fw-fleet-older"),
                               QStringLiteral("fw-fleet-own")};
    const ThrowawayUsers users(temp.filePath(QStringLiteral("homes")), names);
    ASSERT_TRUE(users.ready());
    const auto pluginsIn = [&](int user, const QString& version) {
        return users.home(user) + QStringLiteral("/.local/share/Adobe/Acrobat/") + version
            + QStringLiteral("/Plug-Ins");
    };
    Fixtures::makePluginCopy(pluginsIn(1, QStringLiteral("2017")) + QStringLiteral("/Foldwise.acroplugin"),
                             QStringLiteral("2.1"));
    const QString ownDC = Fixtures::makeAcrobat(
        users.home(2) + QStringLiteral("/Applications/Adobe Acrobat DC/Acrobat.app"), QStringLiteral("15.006.30060"));
    const QString own11 = Fixtures::makeAcrobat(
        users.home(2) + QStringLiteral("/Applications/My Acrobat 11/Acrobat.app"), QStringLiteral("11.0.23"));
    ASSERT_TRUE(QDir().mkpath(own11 + QStringLiteral("/Contents/Plug-ins")));
    ASSERT_TRUE(QDir().mkpath(pluginsIn(2, QStringLiteral("DC"))));
    ASSERT_TRUE(QDir().mkpath(pluginsIn(2, QStringLiteral("2017"))));
    for (int user = 0; user < 3; ++user)
        ASSERT_TRUE(users.own(user));

    // The example's own lines, with the users named: a machine's other people are no test's.
    const QString script = QStringLiteral(
        "\"$0\" --install --all --user fw-fleet-never --user fw-fleet-older --user fw-fleet-own --no-prompt --json\n"
        "status=$?\n"
        "case $status in 0|5) echo fine >&2 ;; 3|7) echo \"retry later\" >&2 ;; *) echo check >&2 ;; esac\n"
        "exit $status\n");
    const QStringList fleet = {QStringLiteral("-c"), script, QStringLiteral(FOLDWISE_APP_EXECUTABLE)};
    const auto outcomes = [](const CommandResult& result) {
        QStringList told;
        for (const QJsonValue& entry : listed(result)) {
            const QJsonObject row = entry.toObject();
            told.append(row.value("user").toString().mid(9) + QLatin1Char(' ')
                        + QFileInfo(row.value("path").toString()).dir().dirName() + QLatin1Char(' ')
                        + row.value("outcome").toString() + QLatin1Char(' ')
                        + row.value("versionAfter").toString(QStringLiteral("none")));
        }
        return told;
    };
    CommandResult result = runCommand(QStringLiteral("bash"), fleet, environment(), 60s);
    EXPECT_EQ(result.exitCode, 5) << result.errors.toStdString();
    EXPECT_TRUE(result.errors.endsWith("fine\n")) << result.errors.toStdString();
    EXPECT_EQ(outcomes(result),
              (QStringList{"never Acrobat 11 installed 2.5", "never Acrobat 2017 neverRun none",
                           "older Acrobat 11 alreadyInstalled 2.5", "older Acrobat 2017 upgraded 2.5",
                           "own Acrobat 11 alreadyInstalled 2.5", "own Acrobat 2017 installed 2.5",
                           "own Adobe Acrobat DC installed 2.5", "own My Acrobat 11 installed 2.5"}));
    // What each user got is theirs, as if they had installed it themselves.
    for (const QString& copy : {pluginsIn(1, QStringLiteral("2017")), pluginsIn(2, QStringLiteral("DC")),
                                own11 + QStringLiteral("/Contents/Plug-ins")}) {
        struct stat info;
        ASSERT_EQ(::stat(QFile::encodeName(copy + kCopyInfo).constData(), &info), 0) << copy.toStdString();
        EXPECT_EQ(info.st_uid, ::getpwnam(copy.startsWith(users.home(1)) ? "fw-fleet-older" : "fw-fleet-own")->pw_uid);
    }
    EXPECT_TRUE(Fixtures::readFile(pluginsIn(1, QStringLiteral("2017")) + kCopyInfo).contains("<string>2.5</string>"));
    EXPECT_FALSE(QFileInfo::exists(pluginsIn(0, QStringLiteral("2017"))))
        << "nothing made for the one who never ran it";

    const QStringList after = treeOf(temp.path());
    result = runCommand(QStringLiteral("bash"), fleet, environment(), 60s);
    EXPECT_EQ(result.exitCode, 5) << result.errors.toStdString();
    EXPECT_EQ(outcomes(result),
              (QStringList{"never Acrobat 11 alreadyInstalled 2.5", "never Acrobat 2017 neverRun none",
                           "older Acrobat 11 alreadyInstalled 2.5", "older Acrobat 2017 alreadyInstalled 2.5",
                           "own Acrobat 11 alreadyInstalled 2.5", "own Acrobat 2017 alreadyInstalled 2.5",
                           "own Adobe Acrobat DC alreadyInstalled 2.5", "own My Acrobat 11 alreadyInstalled 2.5"}));
    EXPECT_EQ(treeOf(temp.path()), after) << "the second run changes nothing";

    // Another run holding the machine's lock: this one waits, and finishes once it is let go.
    ChildProcess holder(QStringLiteral("flock"),
                        {QStringLiteral("--close"), QStringLiteral("/run/lock/foldwise-installer.lock"),
                         QStringLiteral("sleep"), QStringLiteral("60")});
    ASSERT_TRUE(holder.started());
    ASSERT_TRUE(eventually([] {
        return runCommand(
                   QStringLiteral("flock"),
                   {QStringLiteral("-n"), QStringLiteral("/run/lock/foldwise-installer.lock"), QStringLiteral("true")},
                   QProcessEnvironment::systemEnvironment())
                   .exitCode
            == 1;
    }));
    ChildProcess waiting(QStringLiteral("bash"), fleet, environment());
    ASSERT_TRUE(waiting.started());
    EXPECT_FALSE(waiting.waitForExit(2s)) << "it goes on only once the other run lets go";
    holder.stop();
    ASSERT_TRUE(waiting.waitForExit(30s));
    EXPECT_EQ(waiting.process().exitCode(), 5) << waiting.process().readAllStandardError().toStdString();
    EXPECT_EQ(treeOf(temp.path()), after);
}
