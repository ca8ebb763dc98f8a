#include "Platform/Privileges/AccessControlList.h"

#include <QByteArray>
#include <QtEndian>

#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <sys/xattr.h>

namespace Platform {

namespace {

// The kernel's form of a POSIX access ACL: a version, then entries of tag, permissions and id,
// little-endian (linux/posix_acl_xattr.h).
constexpr quint32 kVersion = 2;
constexpr size_t kHeaderSize = 4;
constexpr size_t kEntrySize = 8;
constexpr quint16 kUser = 0x02;
constexpr quint16 kGroupObject = 0x04;
constexpr quint16 kGroup = 0x08;
constexpr quint16 kMask = 0x10;
constexpr quint16 kWrite = 0x02;
// Far more entries than any file system keeps.
constexpr size_t kMostBytes = kHeaderSize + 1024 * kEntrySize;

struct Entry {
    quint16 tag, permissions;
    quint32 id;
};

}  // namespace

int aclWritersOf(int fd, const struct stat&, std::optional<AclWriters>& writers)
{
    writers.reset();
    // The descriptor may be one that only names the folder, which the xattr calls refuse; its
    // link in /proc reaches the same folder without a look-up by name.
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    QByteArray bytes(qsizetype(kMostBytes), Qt::Uninitialized);
    const ssize_t size = ::getxattr(link, "system.posix_acl_access", bytes.data(), size_t(bytes.size()));
    if (size < 0)
        return errno == ENODATA || errno == ENOTSUP ? 0 : errno;
    if (size_t(size) < kHeaderSize || (size_t(size) - kHeaderSize) % kEntrySize != 0
        || qFromLittleEndian<quint32>(bytes.constData()) != kVersion)
        return EINVAL;
    std::vector<Entry> entries;
    quint16 mask = 0x07;
    for (size_t at = kHeaderSize; at < size_t(size); at += kEntrySize) {
        const char* entry = bytes.constData() + at;
        entries.push_back({qFromLittleEndian<quint16>(entry), qFromLittleEndian<quint16>(entry + 2),
                           qFromLittleEndian<quint32>(entry + 4)});
        if (entries.back().tag == kMask)
            mask = entries.back().permissions;
    }
    AclWriters found;
    for (const Entry& entry : entries) {
        if ((entry.permissions & mask & kWrite) == 0)
            continue;
        if (entry.tag == kUser)
            found.users.push_back(uid_t(entry.id));
        else if (entry.tag == kGroup)
            found.groups.push_back(gid_t(entry.id));
        else if (entry.tag == kGroupObject)
            found.owningGroupWrites = true;
    }
    writers = found;
    return 0;
}

}  // namespace Platform
