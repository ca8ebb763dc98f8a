#include "Platform/Bundles/FolderScanRegistry.h"

#include "Platform/Files/Paths.h"
#include "Platform/Files/RootPathWalk.h"
#include "Platform/PropertyList/PropertyListCache.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMimeDatabase>
#include <QVariantList>
#include <QVariantMap>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace Platform {

// What a document is, in each of the ways a bundle may claim it.
struct DocumentKind {
    QString extension;
    QString typeIdentifier;
    QString mimeType;
};

namespace {

constexpr int kMaxFolderDepth = 8;

DocumentKind kindOfDocument(const QString& documentPath)
{
    // The kinds of the documents we ask about. The MIME database is left for others: asking it
    // costs about as much as reading an Info.plist, once every discovery.
    static const QHash<QString, std::pair<QString, QString>> known = {
        {QStringLiteral("pdf"), {QStringLiteral("com.adobe.pdf"), QStringLiteral("application/pdf")}},
        {QStringLiteral("png"), {QStringLiteral("public.png"), QStringLiteral("image/png")}},
    };
    DocumentKind kind;
    kind.extension = QFileInfo(documentPath).suffix().toLower();
    if (const auto found = known.constFind(kind.extension); found != known.cend()) {
        kind.typeIdentifier = found->first;
        kind.mimeType = found->second;
        return kind;
    }
    const QMimeType mime = QMimeDatabase().mimeTypeForFile(documentPath, QMimeDatabase::MatchExtension);
    if (mime.isValid() && !mime.isDefault())
        kind.mimeType = mime.name();
    return kind;
}

// What a value holds when it is a T, looked at in place: discovery looks into every bundle's
// information dictionary, and a copy of each value looked at would cost more than the look.
template <typename T>
const T* valueOf(const QVariant& value)
{
    return value.metaType() == QMetaType::fromType<T>() ? static_cast<const T*>(value.constData()) : nullptr;
}

template <typename T>
const T* valueOf(const QVariantMap& map, const QString& key)
{
    const auto found = map.constFind(key);
    return found == map.cend() ? nullptr : valueOf<T>(*found);
}

bool listHolds(const QVariantList* list, const QString& wanted)
{
    if (wanted.isEmpty() || !list)
        return false;
    return std::any_of(list->cbegin(), list->cend(), [&](const QVariant& item) {
        const QString* text = valueOf<QString>(item);
        return text && text->compare(wanted, Qt::CaseInsensitive) == 0;
    });
}

bool isEditorFor(const std::optional<QVariantMap>& info, const DocumentKind& kind)
{
    const QVariantList* types = info ? valueOf<QVariantList>(*info, QStringLiteral("CFBundleDocumentTypes")) : nullptr;
    if (!types)
        return false;
    for (const QVariant& entry : *types) {
        const QVariantMap* type = valueOf<QVariantMap>(entry);
        const QString* role = type ? valueOf<QString>(*type, QStringLiteral("CFBundleTypeRole")) : nullptr;
        if (!role || *role != QLatin1String("Editor"))
            continue;
        if (listHolds(valueOf<QVariantList>(*type, QStringLiteral("CFBundleTypeExtensions")), kind.extension)
            || listHolds(valueOf<QVariantList>(*type, QStringLiteral("LSItemContentTypes")), kind.typeIdentifier)
            || listHolds(valueOf<QVariantList>(*type, QStringLiteral("CFBundleTypeMIMETypes")), kind.mimeType))
            return true;
    }
    return false;
}

// Whether an entry of `folder` is a folder itself, not a link to one. Most file systems say so in
// the entry; the others are asked.
bool isFolder(const QByteArray& folder, const dirent& item)
{
    if (item.d_type != DT_UNKNOWN)
        return item.d_type == DT_DIR;
    struct stat info;
    const QByteArray path = folder + '/' + item.d_name;
    return ::lstat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode);
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
        if (isFolder(encoded, *item))
            names.push_back(name);
    }
    ::closedir(directory);
    std::sort(names.begin(), names.end());
    return names;
}

// Why root's walk declined the bundle's Info.plist, if it did.
std::optional<QString> whyRootDeclined(const QString& infoPath)
{
    switch (openFileAsRoot(QFile::encodeName(infoPath)).refusal) {
    case RootWalkRefusal::linkOthersCanChange:
        return QStringLiteral("its Contents/Info.plist lies behind a link that someone other than root can change");
    case RootWalkRefusal::hardLinkOfAnotherOwner:
        return QStringLiteral("its Contents/Info.plist is a hard link to a file that the owner of its folder does "
                              "not own");
    case RootWalkRefusal::none:
        break;
    }
    return std::nullopt;
}

// Why a bundle's Info.plist did not read, as far as a look at the entry tells without reading it.
QString whyUnreadable(const QString& infoPath)
{
    if (::geteuid() == 0) {
        if (std::optional<QString> declined = whyRootDeclined(infoPath))
            return *declined;
    }
    struct stat info;
    if (::lstat(QFile::encodeName(infoPath).constData(), &info) != 0)
        return errno == ENOENT ? QStringLiteral("it has no Contents/Info.plist")
                               : QStringLiteral("its Contents/Info.plist cannot be looked at: %1")
                                     .arg(QString::fromLocal8Bit(std::strerror(errno)));
    if (!S_ISREG(info.st_mode))
        return QStringLiteral("its Contents/Info.plist is not a regular file");
    return QStringLiteral("its Contents/Info.plist is no property list the installer can read (damaged, larger "
                          "than 1 MiB, or not a dictionary)");
}

}  // namespace

void FolderScanRegistry::collectEditors(const QString& folder, int depth, const DocumentKind& kind, QStringList& found)
{
    for (const std::string& name : subfolderNames(folder)) {
        const QString path = appendingPathComponent(folder, QFile::decodeName(name.c_str()));
        if (name.ends_with(".app")) {
            // A bundle is never walked into, whether it turns out to be an editor or not.
            // Reading the Info.plist checks it is a regular file.
            const QString infoPath = path + QStringLiteral("/Contents/Info.plist");
            const std::optional<QVariantMap> info = PropertyListCache::dictionaryWithContentsOfFile(infoPath);
            if (!info
                && std::none_of(m_unreadable.cbegin(), m_unreadable.cend(),
                                [&](const UnreadableApplication& met) { return met.path == path; }))
                m_unreadable.append({path, whyUnreadable(infoPath)});
            if (isEditorFor(info, kind) && !found.contains(path))
                found.append(path);
            continue;
        }
        if (depth < kMaxFolderDepth)
            collectEditors(path, depth + 1, kind, found);
    }
}

FolderScanRegistry::FolderScanRegistry(QStringList applicationFolders) : m_folders(std::move(applicationFolders))
{
}

QStringList FolderScanRegistry::editorApplicationsForDocument(const QString& documentPath)
{
    const DocumentKind kind = kindOfDocument(documentPath);
    m_unreadable.clear();
    QStringList found;
    for (const QString& folder : m_folders) {
        if (!folder.isEmpty())
            collectEditors(withoutTrailingSlashes(folder), 1, kind, found);
    }
    return found;
}

}  // namespace Platform
