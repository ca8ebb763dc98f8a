#pragma once

#include <QString>
#include <QVariantMap>
#include <optional>
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

}  // namespace Fixtures
