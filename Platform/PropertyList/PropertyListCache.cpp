#include "Platform/PropertyList/PropertyListCache.h"

#include "Platform/Files/FileTimes.h"
#include "Platform/Files/RegularFile.h"
#include "Platform/PropertyList/PropertyList.h"
#include "Platform/PropertyList/SaltedHash.h"

#include <QFile>

#include <memory>
#include <sys/stat.h>
#include <unordered_map>

namespace Platform {

namespace {

struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};

    bool operator==(const FileIdentity& other) const
    {
        return device == other.device && inode == other.inode && size == other.size
            && modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec
            && changed.tv_sec == other.changed.tv_sec && changed.tv_nsec == other.changed.tv_nsec;
    }
};

struct Entry {
    FileIdentity identity;
    std::optional<QVariantMap> dictionary;
};

struct Cache {
    int scopes = 0;
    std::unordered_map<QString, Entry, SaltedTextHash> entries;
    // The file sizes of the entries kept.
    qint64 keptBytes = 0;

    // Keeps what was read, within the bounds; what was kept of an earlier version goes.
    void keep(const QString& path, Entry entry)
    {
        if (const auto found = entries.find(path); found != entries.end()) {
            keptBytes -= found->second.identity.size;
            entries.erase(found);
        }
        const qint64 size = entry.identity.size;
        if (size > PropertyList::kMaxCachedFileSize || keptBytes + size > PropertyList::kMaxCachedBytes)
            return;
        keptBytes += size;
        entries.emplace(path, std::move(entry));
    }
};

thread_local std::unique_ptr<Cache> current;

}  // namespace

PropertyListCache::Scope::Scope()
{
    if (!current)
        current = std::make_unique<Cache>();
    ++current->scopes;
}

PropertyListCache::Scope::~Scope()
{
    if (--current->scopes == 0)
        current.reset();
}

std::optional<QVariantMap> PropertyListCache::dictionaryWithContentsOfFile(const QString& path)
{
    if (!current)
        return PropertyList::dictionaryWithContentsOfFile(path);
    const QByteArray name = QFile::encodeName(path);
    struct stat info;
    if (name.isEmpty() || ::stat(name.constData(), &info) != 0)
        return std::nullopt;
    // Taken before reading: a file replaced meanwhile is then found changed at the next look.
    const FileIdentity identity{info.st_dev, info.st_ino, info.st_size, modificationTime(info), changeTime(info)};
    const auto found = current->entries.find(path);
    if (found != current->entries.end() && found->second.identity == identity)
        return found->second.dictionary;
    // The read checks the file by this same look and then by its descriptor.
    const std::optional<QByteArray> data = readRegularFile(name, info, PropertyList::kMaxFileSize);
    std::optional<QVariantMap> dictionary = data ? PropertyList::dictionaryFromData(*data) : std::nullopt;
    current->keep(path, Entry{identity, dictionary});
    return dictionary;
}

}  // namespace Platform
