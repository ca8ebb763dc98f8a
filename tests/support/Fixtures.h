#pragma once

#include <QString>
#include <QVariantMap>
#include <functional>
#include <optional>
#include <sys/types.h>
#include <vector>

// Fixture bundles written into temporary folders.
namespace Fixtures {

// Writes an XML property list of strings, booleans, integers, lists and dictionaries.
void writePlist(const QString& path, const QVariantMap& root);
void writeFile(const QString& path, const QByteArray& content);

// The value in `size` bytes, most significant first.
QByteArray bigEndian(quint64 value, int size);
// A binary property list of already encoded objects, the first being the root; offsets are
// four bytes wide, references `refSize` bytes.
QByteArray binaryPlistOf(const std::vector<QByteArray>& objects, int refSize = 4);

// An application bundle at path with the given information dictionary.
void makeBundle(const QString& path, const QVariantMap& info);

// An information dictionary of an application that edits PDF documents.
QVariantMap acrobatInfo(const std::optional<QString>& name, const std::optional<QString>& version,
                        const QString& identifier = QStringLiteral("com.adobe.Acrobat.Pro"));

// An Acrobat bundle at path; returns path.
QString makeAcrobat(const QString& path, const std::optional<QString>& version,
                    const std::optional<QString>& name = QStringLiteral("Adobe Acrobat Pro"),
                    const QString& identifier = QStringLiteral("com.adobe.Acrobat.Pro"));

// A copy of the plug-in bundle at pluginPath whose nested application has the version.
void makePluginCopy(const QString& pluginPath, const std::optional<QString>& version);

// Our own application bundle with the marker document and the plug-in to install.
QString makeMainBundle(const QString& path, const QString& pluginVersion = QStringLiteral("2.5"),
                       bool withPlugin = true, bool withMarker = true);

// The unprivileged user and group that a plain user's process runs as in tests.
inline constexpr uid_t kPlainUser = 65534;

// Runs `work` in a child process that has given up root for kPlainUser (user, group, no
// supplementary groups) and gives back what it returned; none when the child could not drop its
// rights or did not finish. Only root can run it. The child shares nothing with the test but what
// it returns and the file system.
std::optional<QByteArray> runAsPlainUser(const std::function<QByteArray()>& work);

// Gives a tree to the user and group, links included (not followed).
void chownTree(const QString& path, uid_t user);

}  // namespace Fixtures
