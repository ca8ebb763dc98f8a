#include "tests/support/Fixtures.h"

#include "Platform/Files/RunAsUser.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/xattr.h>
#include <stdexcept>
#include <unistd.h>

namespace Fixtures {

namespace {

QString escaped(const QString& text)
{
    return text.toHtmlEscaped();
}

void writeValue(QString& out, const QVariant& value, int depth)
{
    const QString indent(depth, QLatin1Char('\t'));
    switch (value.typeId()) {
    case QMetaType::Bool:
        out += indent + (value.toBool() ? QStringLiteral("<true/>\n") : QStringLiteral("<false/>\n"));
        break;
    case QMetaType::Int:
    case QMetaType::LongLong:
        out += indent + QStringLiteral("<integer>%1</integer>\n").arg(value.toLongLong());
        break;
    case QMetaType::QVariantList:
    case QMetaType::QStringList:
        out += indent + QStringLiteral("<array>\n");
        for (const QVariant& item : value.toList())
            writeValue(out, item, depth + 1);
        out += indent + QStringLiteral("</array>\n");
        break;
    case QMetaType::QVariantMap: {
        out += indent + QStringLiteral("<dict>\n");
        const QVariantMap map = value.toMap();
        for (auto it = map.begin(); it != map.end(); ++it) {
            out += indent + QStringLiteral("\t<key>%1</key>\n").arg(escaped(it.key()));
            writeValue(out, it.value(), depth + 1);
        }
        out += indent + QStringLiteral("</dict>\n");
        break;
    }
    default:
        out += indent + QStringLiteral("<string>%1</string>\n").arg(escaped(value.toString()));
    }
}

}  // namespace

void writeFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) != content.size())
        throw std::runtime_error("cannot write fixture " + path.toStdString());
}

QString writeScript(const QString& path, const QByteArray& body)
{
    writeFile(path, "#!/bin/sh\n" + body + "\n");
    QFile::setPermissions(path,
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup
                              | QFile::ReadOther | QFile::ExeOther);
    return path;
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList treeOf(const QString& folder)
{
    QStringList entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        entries.append(it.next());
    entries.sort();
    return entries;
}

void writePlist(const QString& path, const QVariantMap& root)
{
    QString out = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
        "<plist version=\"1.0\">\n");
    writeValue(out, root, 0);
    out += QStringLiteral("</plist>\n");
    writeFile(path, out.toUtf8());
}

QByteArray bigEndian(quint64 value, int size)
{
    QByteArray bytes(size, '\0');
    for (int i = size - 1; i >= 0; --i, value >>= 8)
        bytes[i] = char(value & 0xFF);
    return bytes;
}

QByteArray asciiObject(const QByteArray& text)
{
    if (text.size() < 15)
        return char(0x50 | text.size()) + text;
    // A longer one gives its length as an integer object of one, two or four bytes.
    const int lengthSize = text.size() <= 0xFF ? 1 : text.size() <= 0xFFFF ? 2 : 4;
    const char lengthMarker = lengthSize == 1 ? '\x10' : lengthSize == 2 ? '\x11' : '\x12';
    return QByteArray("\x5F") + lengthMarker + bigEndian(quint64(text.size()), lengthSize) + text;
}

QByteArray arrayObject(const std::vector<quint64>& references)
{
    QByteArray object(1, char(0xA0 | references.size()));
    for (const quint64 reference : references)
        object += bigEndian(reference, 4);
    return object;
}

QByteArray binaryPlistOf(const std::vector<QByteArray>& objects, int refSize)
{
    QByteArray out = "bplist00";
    QByteArray table;
    for (const QByteArray& object : objects) {
        table += bigEndian(quint64(out.size()), 4);
        out += object;
    }
    const quint64 tableOffset = quint64(out.size());
    return out + table + QByteArray(6, '\0') + char(4) + char(refSize) + bigEndian(objects.size(), 8) + bigEndian(0, 8)
        + bigEndian(tableOffset, 8);
}

void makeBundle(const QString& path, const QVariantMap& info)
{
    writePlist(path + QStringLiteral("/Contents/Info.plist"), info);
}

QVariantMap acrobatInfo(const std::optional<QString>& name, const std::optional<QString>& version,
                        const QString& identifier)
{
    // The one description of an Acrobat's Info.plist, shared with the demo and the fuzzer's seeds.
    static const QVariantMap common = [] {
        QFile file(QStringLiteral(FOLDWISE_TEST_DATA_DIR "/AcrobatInfo.json"));
        if (!file.open(QIODevice::ReadOnly))
            throw std::runtime_error("cannot read " + file.fileName().toStdString());
        return QJsonDocument::fromJson(file.readAll()).object().toVariantMap();
    }();
    QVariantMap info = common;
    info.insert(QStringLiteral("CFBundleIdentifier"), identifier);
    info.remove(QStringLiteral("CFBundleName"));
    info.remove(QStringLiteral("CFBundleShortVersionString"));
    if (name)
        info.insert(QStringLiteral("CFBundleName"), *name);
    if (version)
        info.insert(QStringLiteral("CFBundleShortVersionString"), *version);
    return info;
}

QString makeAcrobat(const QString& path, const std::optional<QString>& version, const std::optional<QString>& name,
                    const QString& identifier)
{
    makeBundle(path, acrobatInfo(name, version, identifier));
    return path;
}

void makePluginCopy(const QString& pluginPath, const std::optional<QString>& version)
{
    QVariantMap info{{QStringLiteral("CFBundleName"), QStringLiteral("Foldwise")}};
    if (version)
        info.insert(QStringLiteral("CFBundleShortVersionString"), *version);
    writePlist(pluginPath + QStringLiteral("/Contents/Info.plist"), info);
    writePlist(pluginPath + QStringLiteral("/Contents/Resources/Foldwise.app/Contents/Info.plist"), info);
}

QString makeAcrobatExecutable(const QString& acrobatPath)
{
    const QString executable = acrobatPath + QStringLiteral("/Contents/MacOS/AdobeAcrobat");
    QDir().mkpath(QFileInfo(executable).path());
    QFile::remove(executable);
    if (!QFile::copy(QStringLiteral("/bin/sleep"), executable))
        throw std::runtime_error("cannot make an executable at " + executable.toStdString());
    return executable;
}

QString makeMainBundle(const QString& path, const QString& pluginVersion, bool withPlugin, bool withMarker)
{
    makeBundle(path, {{QStringLiteral("CFBundleIdentifier"), QStringLiteral("com.foldwise.InstallationUtility")}});
    QDir().mkpath(path + QStringLiteral("/Contents/Resources"));
    if (withMarker)
        writeFile(path + QStringLiteral("/Contents/Resources/Marker.pdf"), "%PDF-1.4\n%%EOF\n");
    if (withPlugin)
        makePluginCopy(path + QStringLiteral("/Contents/Resources/Foldwise.acroplugin"), pluginVersion);
    return path;
}

std::optional<QByteArray> runAsPlainUser(const std::function<QByteArray()>& work)
{
    // No name: no supplementary groups.
    return Platform::runAsUser(Platform::UserAccount{QString(), kPlainUser, kPlainUser, QString()}, work);
}

void chownTree(const QString& path, uid_t user)
{
    namespace fs = std::filesystem;
    const fs::path root = QFile::encodeName(path).toStdString();
    ::lchown(root.c_str(), user, user);
    std::error_code ignored;
    for (fs::recursive_directory_iterator it(root, ignored), end; it != end; it.increment(ignored))
        ::lchown(it->path().c_str(), user, user);
}

bool grantWriteByAccessControlList(const QString& folder, uid_t user, bool byDefault)
{
    const auto littleEndian = [](quint64 value, int size) {
        QByteArray bytes = bigEndian(value, size);
        std::reverse(bytes.begin(), bytes.end());
        return bytes;
    };
    // The kernel's little-endian form: a version, then tag, permissions and id for each entry.
    QByteArray list = littleEndian(2, 4);
    const auto entry = [&](quint16 tag, quint16 permissions, quint32 id) {
        list += littleEndian(tag, 2) + littleEndian(permissions, 2) + littleEndian(id, 4);
    };
    const quint32 none = 0xffffffff;
    entry(0x01, 7, none);  // owner
    entry(0x02, 7, quint32(user));
    entry(0x04, 5, none);  // owning group
    entry(0x10, 7, none);  // mask
    entry(0x20, 5, none);  // others
    const char* name = byDefault ? "system.posix_acl_default" : "system.posix_acl_access";
    return ::setxattr(QFile::encodeName(folder).constData(), name, list.constData(), size_t(list.size()), 0) == 0;
}

}  // namespace Fixtures
