#include "Platform/FolderScanRegistry.h"

#include "Platform/Paths.h"
#include "Platform/PropertyListCache.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMimeDatabase>
#include <QVariantList>
#include <QVariantMap>

#include <algorithm>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace Platform {

namespace {

constexpr int kMaxFolderDepth = 8;

// What a document is, in each of the ways a bundle may claim it.
struct DocumentKind {
    QString extension;
    QString typeIdentifier;
    QString mimeType;
};

DocumentKind kindOfDocument(const QString& documentPath)
{
    static const QHash<QString, QString> typeIdentifiers = {
        {QStringLiteral("pdf"), QStringLiteral("com.adobe.pdf")},
        {QStringLiteral("png"), QStringLiteral("public.png")},
    };
    DocumentKind kind;
    kind.extension = QFileInfo(documentPath).suffix().toLower();
    kind.typeIdentifier = typeIdentifiers.value(kind.extension);
    const QMimeType mime = QMimeDatabase().mimeTypeForFile(documentPath, QMimeDatabase::MatchExtension);
    if (mime.isValid() && !mime.isDefault())
        kind.mimeType = mime.name();
    return kind;
}

bool listHolds(const QVariant& list, const QString& wanted)
{
    if (wanted.isEmpty() || list.typeId() != QMetaType::QVariantList)
        return false;
    const QVariantList items = list.toList();
    return std::any_of(items.begin(), items.end(), [&](const QVariant& item) {
        return item.typeId() == QMetaType::QString && item.toString().compare(wanted, Qt::CaseInsensitive) == 0;
    });
}

bool isEditorFor(const QString& bundlePath, const DocumentKind& kind)
{
    const std::optional<QVariantMap> info =
        PropertyListCache::dictionaryWithContentsOfFile(bundlePath + QStringLiteral("/Contents/Info.plist"));
    if (!info)
        return false;
    const QVariant types = info->value(QStringLiteral("CFBundleDocumentTypes"));
    if (types.typeId() != QMetaType::QVariantList)
        return false;
    for (const QVariant& entry : types.toList()) {
        if (entry.typeId() != QMetaType::QVariantMap)
            continue;
        const QVariantMap type = entry.toMap();
        const QVariant role = type.value(QStringLiteral("CFBundleTypeRole"));
        if (role.typeId() != QMetaType::QString || role.toString() != QLatin1String("Editor"))
            continue;
        if (listHolds(type.value(QStringLiteral("CFBundleTypeExtensions")), kind.extension)
            || listHolds(type.value(QStringLiteral("LSItemContentTypes")), kind.typeIdentifier)
            || listHolds(type.value(QStringLiteral("CFBundleTypeMIMETypes")), kind.mimeType))
            return true;
    }
    return false;
}

// The names of the folders inside a folder, in byte order; links to folders are left out, and
// so are names that text cannot carry.
std::vector<std::string> subfolderNames(const QString& folder)
{
    std::vector<std::string> names;
    const QByteArray encoded = QFile::encodeName(folder);
    DIR* directory = ::opendir(encoded.constData());
    if (!directory)
        return names;
    while (const dirent* item = ::readdir(directory)) {
        const std::string name = item->d_name;
        if (name == "." || name == ".." || !encodedNameRoundTrips(QByteArray::fromStdString(name)))
            continue;
        struct stat info;
        const std::string path = encoded.toStdString() + "/" + name;
        if (::lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
            continue;
        names.push_back(name);
    }
    ::closedir(directory);
    std::sort(names.begin(), names.end());
    return names;
}

void collectEditors(const QString& folder, int depth, const DocumentKind& kind, QStringList& found)
{
    for (const std::string& name : subfolderNames(folder)) {
        const QString path = appendingPathComponent(folder, QFile::decodeName(name.c_str()));
        if (name.ends_with(".app")) {
            // A bundle is never walked into, whether it turns out to be an editor or not.
            // Reading the Info.plist checks it is a regular file.
            if (isEditorFor(path, kind) && !found.contains(path))
                found.append(path);
            continue;
        }
        if (depth < kMaxFolderDepth)
            collectEditors(path, depth + 1, kind, found);
    }
}

}  // namespace

FolderScanRegistry::FolderScanRegistry(QStringList applicationFolders) : m_folders(std::move(applicationFolders))
{
}

QStringList FolderScanRegistry::editorApplicationsForDocument(const QString& documentPath)
{
    const DocumentKind kind = kindOfDocument(documentPath);
    QStringList found;
    for (const QString& folder : m_folders) {
        if (!folder.isEmpty())
            collectEditors(withoutTrailingSlashes(folder), 1, kind, found);
    }
    return found;
}

}  // namespace Platform
