#include "tests/support/DelegateHarness.h"

#include "Platform/Files/UniqueFd.h"
#include "Platform/Privileges/AccessControlList.h"
#include "tests/support/PkexecStandIn.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const QString kNoAccess =
    QStringLiteral("Can't perform operation, probably there is no access to the selected location");
}  // namespace

// The administrator fallback through the real pkexec backend, with pkexec standing in: what the
// delegate makes of its outcomes, and what root is asked to do, and where.
class PkexecFallbackTest : public DelegateTest {};

TEST_F(PkexecFallbackTest, UninstallWhoseFallbackFailsShowsTheAccessAlertAloneAndLogs)
{
    // The real shell with pkexec standing in: dismissed, then failing without a word.
    const struct {
        const char* name;
        QByteArray standInBody;
        QString log;
    } rows[] = {
        {"prompt cancelled", kPkexecDismissingThePrompt,
         QStringLiteral("Error = The administrator password is required to do this.")},
        {"silent failure", "exit 1", QStringLiteral("Error = The administrator command failed with exit status 1.")},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        fakes = FakeServices();
        fakes.supportFolders = {support};
        fakes.registry->applications.clear();
        QDir(apps).removeRecursively();
        const QString acrobat = addAcrobat(QStringLiteral("Acrobat/Acrobat.app"), QStringLiteral("11.0"));
        Fixtures::makePluginCopy(acrobat + QStringLiteral("/Contents/Plug-ins/Foldwise.acroplugin"),
                                 QStringLiteral("2.4"));
        auto& d = loadWindow(pkexecStandIn(temp.filePath(QStringLiteral("pkexec")), row.standInBody));
        d.searchForAcrobat();
        d.table()->selectRow(0);
        fakes.fileManager->failingRemovals.insert(d.fwPathForAcrobatPath(acrobat, 11).first());
        d.smartInstallation(nullptr);
        EXPECT_EQ(fakes.alerts->messages(), QStringList{kNoAccess});
        EXPECT_EQ(fakes.log->lines, QStringList{row.log});
        EXPECT_TRUE(d.acrobatInstances().first().contains(ALKey::FW));
    }
}

// Root's own command, with pkexec standing in as a shell that runs it and stops it part-way:
// nothing is ever left under the real name, and what is left elsewhere is named.
TEST_F(PkexecFallbackTest, RootsCopyOrRemovalStoppedPartWayLeavesNothingUnderTheRealName)
{
    const QString source = mainBundle + QStringLiteral("/Contents/Resources/Foldwise.acroplugin");
    const QString folder = temp.filePath(QStringLiteral("Plug ins"));
    const QString destination = folder + QStringLiteral("/Foldwise.acroplugin");
    const struct {
        const char* name;
        bool removing;
        QByteArray standIn;  // run as "$0 --disable-internal-agent /bin/sh -c COMMAND"
        QString description;  // how the description starts
        bool leavesHiddenSibling;
    } rows[] = {
        {"the copy runs out of room", false,
         "shift\ncp() { mkdir \"$3/Contents\"; echo 'cp: error writing: No space left on device' >&2; return 1; }\n"
         "eval \"$3\"",
         QStringLiteral("cp: error writing: No space left on device"), false},
        {"the copy is killed half-way", false,
         "shift\ncp() { mkdir \"$3/Contents\"; : > \"$3/Contents/Info.plist\"; kill -9 $$; }\neval \"$3\"",
         QStringLiteral("The administrator command"), true},
        {"the removal meets an I/O error half-way", true,
         "shift\nrm() { command rm \"$2/Contents/Info.plist\"; echo 'rm: Input/output error' >&2; return 1; }\n"
         "eval \"$3\"",
         QStringLiteral("rm: Input/output error"), true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QDir(folder).removeRecursively();
        QDir().mkpath(folder);
        if (row.removing)
            Fixtures::makePluginCopy(destination, QStringLiteral("2.4"));
        fakes = FakeServices();
        fakes.fileManager->failingCopies = {destination};
        fakes.fileManager->failingRemovals = {destination};
        ALAppDelegate& d = makeDelegate(pkexecStandIn(temp.filePath(QStringLiteral("pkexec")), row.standIn));
        std::optional<QString> description;
        EXPECT_FALSE(row.removing ? d.rootEraseFile(destination, &description)
                                  : d.rootCopyFile(source, destination, &description));
        EXPECT_FALSE(QFileInfo::exists(destination));
        EXPECT_TRUE(description.value_or(QString()).startsWith(row.description)) << description.value_or(QString()).toStdString();
        const QStringList hidden = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        ASSERT_EQ(hidden.size(), row.leavesHiddenSibling ? 1 : 0) << hidden.join(QLatin1Char(' ')).toStdString();
        if (row.leavesHiddenSibling) {
            EXPECT_TRUE(description->endsWith(QStringLiteral("what is left is at \"%1/%2\"")
                                                  .arg(QFileInfo(folder).canonicalFilePath(), hidden.first())))
                << description->toStdString();
        }
    }
}

TEST_F(PkexecFallbackTest, RootsCopyIsWritableByNobodyElseWhateverTheFoldersDefaultAccessControlList)
{
    const QString source = mainBundle + QStringLiteral("/Contents/Resources/Foldwise.acroplugin");
    const QString folder = temp.filePath(QStringLiteral("Plug ins"));
    const QString destination = folder + QStringLiteral("/Foldwise.acroplugin");
    QDir().mkpath(folder);
    ASSERT_TRUE(Fixtures::grantWriteByAccessControlList(folder, Fixtures::kPlainUser, true)) << std::strerror(errno);
    fakes.fileManager->failingCopies = {destination};
    ALAppDelegate& d = makeDelegate(pkexecStandIn(temp.filePath(QStringLiteral("pkexec")), kPkexecRunningTheCommand));
    std::optional<QString> description;
    ASSERT_TRUE(d.rootCopyFile(source, destination, &description)) << description.value_or(QString()).toStdString();
    const QStringList copied = Fixtures::treeOf(destination) << destination;
    EXPECT_GT(copied.size(), 3);
    for (const QString& entry : copied) {
        SCOPED_TRACE(entry.toStdString());
        struct stat info;
        ASSERT_EQ(::lstat(QFile::encodeName(entry).constData(), &info), 0);
        if (S_ISLNK(info.st_mode))
            continue;
        EXPECT_EQ(info.st_mode & 022, 0u);
        const Platform::UniqueFd fd(::open(QFile::encodeName(entry).constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        std::optional<Platform::AclWriters> writers;
        ASSERT_EQ(Platform::aclWritersOf(fd.get(), info, writers), 0);
        if (writers) {
            EXPECT_TRUE(writers->users.empty() && writers->groups.empty() && !writers->owningGroupWrites);
        }
    }
}

// As a plain user, with pkexec standing in (it notes each command, then runs it as that same
// user): root is asked only where the user's own rights on the plug-in folder fall short, onto a
// free destination, by the real path, and only where nobody but root can change that path; never
// into a folder planted after discovery; and a removal never leaves half a copy under the real name.
class PlainUserFallbackAsRoot : public PkexecFallbackTest {
protected:
    struct Seen {
        QStringList alerts, log, commands;
        QStringList informativeTexts;  // one for each alert, empty when it has none
    };

    QString real, calls, secret, acrobatPath, userPlugins, rootPlugins, plugin;
    std::shared_ptr<Platform::PkexecAdministratorShell> shell;

    void SetUp() override
    {
        PkexecFallbackTest::SetUp();
        FOLDWISE_REQUIRE_ROOT("to own the files that a plain user must not reach");
        ::chmod(QFile::encodeName(temp.path()).constData(), 0755);
        real = QFileInfo(temp.path()).canonicalFilePath();
        calls = temp.filePath(QStringLiteral("calls"));
        QDir().mkpath(calls);
        ::chmod(QFile::encodeName(calls).constData(), 0777);
        shell = pkexecStandIn(
            temp.filePath(QStringLiteral("pkexec")),
            ("printf '%s\\n' \"$4\" >> '" + calls + "/log'\nif [ -e '" + calls + "/dismiss' ]; then\n").toUtf8()
                + kPkexecDismissingThePrompt + "\nfi\nshift; exec \"$@\"");
        secret = temp.filePath(QStringLiteral("secret"));
        Fixtures::writeFile(secret, "root's own");
        acrobatPath = Fixtures::makeAcrobat(apps + QStringLiteral("/Acrobat.app"), QStringLiteral("17.0"));
        // The user's own support folder, and one reached through a link whose plug-in folder is root's.
        userPlugins = support + QStringLiteral("/Adobe/Acrobat/2017/Plug-Ins");
        rootPlugins = temp.filePath(QStringLiteral("Real Support/Adobe/Acrobat/2017/Plug-Ins"));
        QFile::link(temp.filePath(QStringLiteral("Real Support")), temp.filePath(QStringLiteral("Support link")));
        plugin = mainBundle + QStringLiteral("/Contents/Resources/Foldwise.acroplugin");
    }

    // Loads the window as root, then discovers, lets `plant` act and clicks as the plain user.
    Seen click(
        const QString& supportFolder, const std::function<void()>& plant = [] {},
        const Platform::RootOnlyRule& rule = Platform::RootOnlyRule())
    {
        QFile::remove(calls + QStringLiteral("/log"));
        fakes = FakeServices();
        fakes.rootOnlyRule = rule;
        fakes.registry->applications = {acrobatPath};
        fakes.supportFolders = {supportFolder};
        auto& d = loadWindow(shell);
        const auto report = Fixtures::runAsPlainUser([&] {
            d.searchForAcrobat();
            plant();
            d.table()->selectRow(0);
            d.smartInstallation(nullptr);
            QByteArray bytes;
            QDataStream out(&bytes, QIODevice::WriteOnly);
            QStringList informative;
            for (const auto& panel : fakes.alerts->panels)
                informative.append(panel.informativeText);
            out << fakes.alerts->messages() << fakes.log->lines << informative;
            return bytes;
        });
        Seen seen;
        EXPECT_TRUE(report) << "the plain user's click did not finish";
        if (report) {
            QDataStream in(*report);
            in >> seen.alerts >> seen.log >> seen.informativeTexts;
        }
        seen.commands = QString::fromUtf8(Fixtures::readFile(calls + QStringLiteral("/log")))
                            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        return seen;
    }

    // Each entry with its contents: equal only when nothing was made, removed or changed.
    static QStringList tree(const QString& folder)
    {
        QStringList entries = Fixtures::treeOf(folder);
        for (QString& entry : entries)
            entry += QString::fromUtf8(Fixtures::readFile(entry).toHex());
        return entries;
    }
};

TEST_F(PlainUserFallbackAsRoot, AFolderPlantedAfterDiscoveryIsNeverCopiedIntoByRoot)
{
    QDir().mkpath(userPlugins);
    Fixtures::chownTree(support, Fixtures::kPlainUser);
    const QString planted = userPlugins + QStringLiteral("/Foldwise.acroplugin/Foldwise.acroplugin/Contents");
    const Seen seen = click(support, [&] {
        QDir().mkpath(planted);
        QFile::link(secret, planted + QStringLiteral("/Info.plist"));
    });
    EXPECT_TRUE(QFileInfo(planted + QStringLiteral("/Info.plist")).isSymLink()) << "the plant took";
    EXPECT_TRUE(seen.commands.isEmpty()) << seen.commands.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(seen.alerts,
              (QStringList{QStringLiteral("Please run Acrobat at least once before installing Foldwise."), kNoAccess}));
    ASSERT_EQ(seen.log.size(), 1);
    EXPECT_TRUE(seen.log.first().contains(QString::fromLocal8Bit(std::strerror(EEXIST))))
        << seen.log.first().toStdString();
    EXPECT_EQ(Fixtures::readFile(secret), "root's own");
}

TEST_F(PlainUserFallbackAsRoot, RootsFolderThroughALinkIsAskedForOnceByTheRealPath)
{
    QDir().mkpath(rootPlugins);
    const Seen seen = click(temp.filePath(QStringLiteral("Support link")));
    EXPECT_EQ(withSiblingsMasked(seen.commands),
              QStringList{rootCopyCommandText(
                  QFileInfo(plugin).canonicalFilePath(),
                  real + QStringLiteral("/Real Support/Adobe/Acrobat/2017/Plug-Ins/Foldwise.acroplugin"))});
    // The stand-in ran cp as the plain user, which root's folder refused.
    ASSERT_EQ(seen.log.size(), 1);
    EXPECT_TRUE(seen.log.first().contains(QStringLiteral("Permission denied"))) << seen.log.first().toStdString();
}

TEST_F(PlainUserFallbackAsRoot, ARemovalWhosePromptIsDismissedLeavesTheCopyWhole)
{
    Fixtures::makePluginCopy(rootPlugins + QStringLiteral("/Foldwise.acroplugin"), QStringLiteral("2.4"));
    const QStringList before = tree(rootPlugins);
    Fixtures::writeFile(calls + QStringLiteral("/dismiss"), "");
    const Seen seen = click(temp.filePath(QStringLiteral("Support link")));
    EXPECT_EQ(withSiblingsMasked(seen.commands),
              QStringList{rootRemovalCommandText(
                  real + QStringLiteral("/Real Support/Adobe/Acrobat/2017/Plug-Ins/Foldwise.acroplugin"))});
    EXPECT_EQ(seen.log, QStringList{QStringLiteral("Error = The administrator password is required to do this.")});
    EXPECT_EQ(tree(rootPlugins), before);
}

TEST_F(PlainUserFallbackAsRoot, ACopyHoldingAFolderOfRootsLeavesNothingUnderTheRealNameAndIsNamedAfter)
{
    const QString copy = userPlugins + QStringLiteral("/Foldwise.acroplugin");
    Fixtures::makePluginCopy(copy, QStringLiteral("2.4"));
    Fixtures::chownTree(support, Fixtures::kPlainUser);
    Fixtures::chownTree(copy + QStringLiteral("/Contents/Resources"), 0);
    const Seen seen = click(support);
    EXPECT_TRUE(seen.commands.isEmpty()) << "root is not asked to delete what was moved aside";
    EXPECT_FALSE(QFileInfo::exists(copy));
    EXPECT_EQ(seen.alerts, QStringList{kNoAccess});
    ASSERT_EQ(seen.log.size(), 1);
    const QStringList aside = QDir(userPlugins).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    ASSERT_EQ(aside.size(), 1);
    EXPECT_TRUE(seen.log.first().contains(userPlugins + QLatin1Char('/') + aside.first()))
        << seen.log.first().toStdString();

    SCOPED_TRACE("the next install cannot clear that away either: it installs, and says what stays");
    const Seen next = click(support);
    EXPECT_TRUE(next.commands.isEmpty());
    EXPECT_TRUE(QFileInfo::exists(copy + QStringLiteral("/Contents")));
    EXPECT_EQ(next.alerts, QStringList{kNoAccess});
    ASSERT_EQ(next.log.size(), 1);
    EXPECT_TRUE(next.log.first().contains(userPlugins + QLatin1Char('/') + aside.first()))
        << next.log.first().toStdString();
    EXPECT_EQ(QStringLiteral("Error = ") + next.informativeTexts.last(), next.log.first());
}

// Where anyone but root could change the path while the prompt is up, root is never asked.
TEST_F(PlainUserFallbackAsRoot, RootIsAskedOnlyWhereNobodyButRootAndAdministratorsCanChangeThePath)
{
    constexpr uid_t kOtherUser = Fixtures::kPlainUser - 1;
    const auto own = [](const QString& path, uid_t user, gid_t group, mode_t mode) {
        ::chown(QFile::encodeName(path).constData(), user, group);
        ::chmod(QFile::encodeName(path).constData(), mode);
    };
    const QString copyToPlant = QStringLiteral("/Foldwise.acroplugin/Foldwise.acroplugin/Contents");
    const auto rowSupportOf = [&](const QString& plugins) { return plugins.left(plugins.indexOf(QStringLiteral("/Adobe"))); };
    const Platform::AdministratorIdentities none;
    // The plain user's own group stands for the administrators' group.
    const Platform::AdministratorIdentities plainUsersGroup{{}, {Fixtures::kPlainUser}};
    const QString remedy = QStringLiteral(", so the installer will not ask for administrator rights");
    const struct {
        const char* name;
        std::function<void(const QString& plugins)> arrange;
        Platform::AdministratorIdentities administrators;
        bool onTheUsersMedium;  // the support folder lies on a file system mounted for the plain user
        bool prompts;
        QString why;  // what the log line says when root is not asked; empty: the plain failure as it is
    } rows[] = {
        {"a plug-in folder of another user's that the user cannot search, with a planted copy inside",
         [&](const QString& plugins) {
             QDir().mkpath(plugins + copyToPlant);
             QFile::link(secret, plugins + copyToPlant + QStringLiteral("/Info.plist"));
             Fixtures::chownTree(plugins, kOtherUser);
             own(plugins, kOtherUser, kOtherUser, 0700);
         },
         none, false, false, QStringLiteral("by the user with uid %1, who owns it and is no administrator").arg(kOtherUser)},
        {"root's plug-in folder that a group writes", [&](const QString& p) { own(p, 0, kOtherUser, 0775); }, none,
         false, false, QStringLiteral("group with gid %1, which is no administrators' group (mode 0775)").arg(kOtherUser)},
        {"root's sticky plug-in folder that a group writes", [&](const QString& p) { own(p, 0, kOtherUser, 01775); },
         none, false, false, QStringLiteral("which is no administrators' group (mode 1775)")},
        {"the user's own plug-in folder made read-only",
         [&](const QString& p) { own(p, Fixtures::kPlainUser, Fixtures::kPlainUser, 0555); }, none, false, false,
         QStringLiteral("by the user \"nobody\" (uid %1), who owns it and is no administrator").arg(Fixtures::kPlainUser)},
        {"an installer of the user's with a file the user cannot read",
         [&](const QString& p) {
             own(p, Fixtures::kPlainUser, Fixtures::kPlainUser, 0755);
             Fixtures::chownTree(plugin, Fixtures::kPlainUser);
             ::chmod(QFile::encodeName(plugin + QStringLiteral("/Contents/Info.plist")).constData(), 0);
         },
         none, false, false, QString()},
        {"an installer of the user's, root's plug-in folder",
         [&](const QString&) { Fixtures::chownTree(plugin, Fixtures::kPlainUser); }, none, false, false,
         QStringLiteral("%1\" can be changed by the user \"nobody\" (uid %2), who owns it and is no administrator, so the "
                        "installer will not ask for administrator rights to copy it")
             .arg(QFileInfo(plugin).canonicalFilePath()).arg(Fixtures::kPlainUser)},
        {"an installer of root's holding a file of the user's, root's plug-in folder",
         [&](const QString&) { Fixtures::chownTree(plugin + QStringLiteral("/Contents/Info.plist"), Fixtures::kPlainUser); },
         none, false, false, QStringLiteral("Contents/Info.plist\" can be changed by the user \"nobody\"")},
        {"root's plug-in folder under a folder of the user's, who is no administrator",
         [&](const QString& p) { own(rowSupportOf(p), Fixtures::kPlainUser, 0, 0755); }, none, false, false,
         QStringLiteral("\" can be changed by the user \"nobody\" (uid %1), who owns it").arg(Fixtures::kPlainUser)},
        {"root's plug-in folder under a folder of the user's, who is an administrator",
         [&](const QString& p) { own(rowSupportOf(p), Fixtures::kPlainUser, 0, 0755); }, plainUsersGroup, false, true,
         QString()},
        {"a copy in root's plug-in folder under a folder of the user's",
         [&](const QString& p) {
             Fixtures::makePluginCopy(p + QStringLiteral("/Foldwise.acroplugin"), QStringLiteral("2.4"));
             own(rowSupportOf(p), Fixtures::kPlainUser, 0, 0755);
         },
         none, false, false, QStringLiteral("(uid %1), who owns it and is no administrator").arg(Fixtures::kPlainUser)},
        {"root's plug-in folder under one the administrators' group writes, the user in that group",
         [&](const QString& p) { own(rowSupportOf(p), 0, Fixtures::kPlainUser, 0775); }, plainUsersGroup, false, true,
         QString()},
        {"the same, the group being no administrators' group",
         [&](const QString& p) { own(rowSupportOf(p), 0, Fixtures::kPlainUser, 0775); }, none, false, false,
         QStringLiteral("the members of the group \"nogroup\" (gid %1), which is no administrators' group (mode 0775)")
             .arg(Fixtures::kPlainUser)},
        {"root's plug-in folder whose access control list lets another user write it",
         [&](const QString& p) { EXPECT_TRUE(Fixtures::grantWriteByAccessControlList(p, kOtherUser)) << std::strerror(errno); }, plainUsersGroup, false,
         false, QStringLiteral("the user with uid %1, whom an access control list lets write it").arg(kOtherUser)},
        {"root's folders on a medium mounted for the user",
         [&](const QString&) {}, none, true, false,
         QStringLiteral("lies on a file system mounted for the user \"nobody\" (uid %1)").arg(Fixtures::kPlainUser)},
    };
    int number = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const QString rowSupport = temp.filePath(QStringLiteral("Support %1").arg(++number));
        const QString plugins = rowSupport + QStringLiteral("/Adobe/Acrobat/2017/Plug-Ins");
        QDir().mkpath(plugins);
        row.arrange(plugins);
        Platform::RootRuleFacts facts;
        facts.administrators = [administrators = row.administrators] { return administrators; };
        const QString medium = QFileInfo(rowSupport).canonicalFilePath();
        facts.userMountOf = [medium, onMedium = row.onTheUsersMedium](int fd, const struct stat&) {
            const QString folder = QFile::symLinkTarget(QStringLiteral("/proc/self/fd/%1").arg(fd));
            const bool inside = folder == medium || folder.startsWith(medium + QLatin1Char('/'));
            return onMedium && inside ? std::optional(Platform::UserMount{medium, Fixtures::kPlainUser}) : std::nullopt;
        };
        const QStringList before = tree(rowSupport);
        const Seen seen = click(rowSupport, [] {}, Platform::RootOnlyRule(facts));
        Fixtures::chownTree(plugin, 0);
        ::chmod(QFile::encodeName(plugin + QStringLiteral("/Contents/Info.plist")).constData(), 0644);
        EXPECT_EQ(seen.commands.size(), row.prompts ? 1 : 0) << seen.commands.join(QLatin1Char('\n')).toStdString();
        ASSERT_EQ(seen.log.size(), 1);
        if (row.prompts) {
            // The stand-in ran root's command as the plain user, whom root's folder refused.
            EXPECT_TRUE(seen.log.first().contains(QStringLiteral("Permission denied"))) << seen.log.first().toStdString();
        } else if (row.why.isEmpty()) {
            EXPECT_TRUE(seen.log.first().contains(QStringLiteral("Permission denied")))
                << seen.log.first().toStdString();
            EXPECT_FALSE(seen.log.first().contains(remedy)) << "refused for the source alone";
            EXPECT_EQ(seen.informativeTexts.last(), QString()) << "only a refusal of root's is explained on screen";
        } else {
            EXPECT_TRUE(seen.log.first().contains(row.why)) << seen.log.first().toStdString();
            EXPECT_TRUE(seen.log.first().contains(remedy)) << seen.log.first().toStdString();
            EXPECT_EQ(QStringLiteral("Error = ") + seen.informativeTexts.last(), seen.log.first())
                << "the access alert tells the reason the log line gives";
        }
        EXPECT_EQ(tree(rowSupport), before);
        EXPECT_EQ(Fixtures::readFile(secret), "root's own");
    }
}
