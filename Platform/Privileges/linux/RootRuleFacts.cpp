#include "Platform/Privileges/linux/RootRuleFacts.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <grp.h>
#include <pwd.h>
#include <sys/sysmacros.h>

namespace Platform {

namespace {

// Rule files and mount tables are small; a bigger one is not read past this.
constexpr qint64 kMostRead = qint64(4) << 20;

QByteArray contentsOf(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(kMostRead);
}

// The rule files polkit reads: one in /etc hides one of the same name in /usr/share.
QByteArrayList polkitRuleFiles()
{
    QByteArrayList files;
    QStringList seen;
    for (const QString& folder : {QStringLiteral("/etc/polkit-1/rules.d"), QStringLiteral("/usr/share/polkit-1/rules.d")}) {
        for (const QString& name : QDir(folder).entryList({QStringLiteral("*.rules")}, QDir::Files)) {
            if (seen.contains(name))
                continue;
            seen.append(name);
            files.append(contentsOf(folder + QLatin1Char('/') + name));
        }
    }
    return files;
}

// mountinfo writes blanks, tabs, newlines and backslashes in paths as octal escapes.
QByteArray unescaped(const QByteArray& field)
{
    QByteArray text;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            bool ok = false;
            const int code = field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok) {
                text.append(char(code));
                i += 3;
                continue;
            }
        }
        text.append(field[i]);
    }
    return text;
}

std::optional<uid_t> userOfName(const QByteArray& name)
{
    const struct passwd* entry = ::getpwnam(name.constData());
    return entry ? std::optional<uid_t>(entry->pw_uid) : std::nullopt;
}

// The user a mount below /media/USER or /run/media/USER is for, as udisks lays them out.
std::optional<uid_t> userOfMediaFolder(const QByteArray& mountPoint)
{
    for (const QByteArray& prefix : {QByteArray("/media/"), QByteArray("/run/media/")}) {
        if (mountPoint.startsWith(prefix)) {
            const QByteArray rest = mountPoint.mid(prefix.size());
            if (rest.contains('/'))
                return userOfName(rest.left(rest.indexOf('/')));
        }
    }
    return std::nullopt;
}

std::optional<QByteArray> optionValue(const QByteArray& options, const QByteArray& key)
{
    for (const QByteArray& option : options.split(',')) {
        if (option.startsWith(key + '='))
            return option.mid(key.size() + 1);
    }
    return std::nullopt;
}

// What /run/mount/utab notes of the mount at that point: for whom a user or a helper mounted it.
std::optional<UserMount> userTableEntry(const QByteArray& userTable, const QByteArray& mountPoint)
{
    for (const QByteArray& line : userTable.split('\n')) {
        QByteArray target, options;
        for (const QByteArray& field : line.split(' ')) {
            if (field.startsWith("TARGET="))
                target = unescaped(field.mid(7));
            else if (field.startsWith("OPTS="))
                options = field.mid(5);
        }
        if (target != mountPoint)
            continue;
        if (const auto user = optionValue(options, "user"))
            return UserMount{QString::fromLocal8Bit(mountPoint), userOfName(*user)};
        if (optionValue(options, "uhelper"))
            return UserMount{QString::fromLocal8Bit(mountPoint), userOfMediaFolder(mountPoint)};
    }
    return std::nullopt;
}

std::optional<int> mountIdOf(int fd)
{
    for (const QByteArray& line : contentsOf(QStringLiteral("/proc/self/fdinfo/%1").arg(fd)).split('\n')) {
        if (line.startsWith("mnt_id:")) {
            bool ok = false;
            const int id = line.mid(7).trimmed().toInt(&ok);
            if (ok)
                return id;
        }
    }
    return std::nullopt;
}

}  // namespace

AdministratorIdentities administratorsInPolkitRules(const QByteArrayList& ruleFiles)
{
    static const QRegularExpression identity(QStringLiteral("unix-(group|user):([^\"'\\s,\\]]+)"));
    AdministratorIdentities administrators;
    for (const QByteArray& file : ruleFiles) {
        const QString text = QString::fromUtf8(file);
        // Each addAdminRule's function reaches to where the next rule of any kind begins.
        for (qsizetype at = text.indexOf(QLatin1String("addAdminRule")); at >= 0;) {
            const qsizetype next = text.indexOf(QLatin1String("polkit.add"), at + 1);
            const QString rule = text.mid(at, next < 0 ? -1 : next - at);
            for (auto match = identity.globalMatch(rule); match.hasNext();) {
                const auto found = match.next();
                const QByteArray name = found.captured(2).toLocal8Bit();
                if (found.captured(1) == QLatin1String("group")) {
                    if (const struct group* group = ::getgrnam(name.constData()))
                        administrators.groups.push_back(group->gr_gid);
                } else if (const auto user = userOfName(name)) {
                    administrators.users.push_back(*user);
                }
            }
            at = next < 0 ? -1 : text.indexOf(QLatin1String("addAdminRule"), next);
        }
    }
    return administrators;
}

std::optional<UserMount> userMountIn(const QByteArray& mountInfo, const QByteArray& userTable,
                                     std::optional<int> mountId, dev_t device)
{
    for (const QByteArray& line : mountInfo.split('\n')) {
        const QByteArrayList fields = line.split(' ');
        const qsizetype separator = fields.indexOf("-");
        if (fields.size() < 6 || separator < 6 || separator + 3 > fields.size())
            continue;
        const QByteArrayList numbers = fields[2].split(':');
        const bool sameMount = mountId ? fields[0].toInt() == *mountId
                                       : numbers.size() == 2
                && ::makedev(numbers[0].toUInt(), numbers[1].toUInt()) == device;
        if (!sameMount)
            continue;
        const QByteArray mountPoint = unescaped(fields[4]);
        const QString shownPoint = QString::fromLocal8Bit(mountPoint);
        const QByteArrayList options = fields[5].split(',');
        const QByteArray type = fields[separator + 1];
        const QByteArray superOptions = separator + 3 < fields.size() ? fields[separator + 3] : QByteArray();
        if (type == "fuse" || type == "fuseblk" || type.startsWith("fuse.")) {
            const auto owner = optionValue(superOptions, "user_id");
            if (!owner)
                return UserMount{shownPoint, std::nullopt};
            if (owner->toUInt() != 0)
                return UserMount{shownPoint, uid_t(owner->toUInt())};
        }
        const bool media = mountPoint.startsWith("/media/") || mountPoint.startsWith("/run/media/");
        if (media && options.contains("nosuid") && options.contains("nodev"))
            return UserMount{shownPoint, userOfMediaFolder(mountPoint)};
        if (auto entry = userTableEntry(userTable, mountPoint))
            return entry;
    }
    return std::nullopt;
}

RootRuleFacts RootRuleFacts::ofThisSystem()
{
    RootRuleFacts facts;
    facts.administrators = [] { return administratorsInPolkitRules(polkitRuleFiles()); };
    facts.userMountOf = [](int folderFd, const struct stat& info) {
        return userMountIn(contentsOf(QStringLiteral("/proc/self/mountinfo")),
                           contentsOf(QStringLiteral("/run/mount/utab")), mountIdOf(folderFd), info.st_dev);
    };
    return facts;
}

}  // namespace Platform
