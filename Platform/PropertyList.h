#pragma once

#include <QString>
#include <QVariantMap>
#include <optional>

namespace Platform {

// Reads XML and binary property lists. A file that is missing, empty, damaged or whose root is
// not a dictionary reads as nothing; nothing here throws.
class PropertyList {
public:
    // Real Info.plist files take a few KB, the largest some tens of KB. The limit leaves ample
    // room above that while bounding what one file can cost: an XML file this size makes at most
    // some 150,000 values, and a binary one is held to the same.
    static constexpr qint64 kMaxFileSize = 1024 * 1024;
    // Values nested deeper than this make the file unreadable (an empty array counts as a level).
    static constexpr int kMaxDepth = 512;
    // A binary file names each object once and may refer to it many times; every reference
    // counts as the value it becomes. It may describe no more values than it has bytes or than
    // an XML file within the size limit can hold, and no more text and data bytes than that.
    static constexpr quint64 kMaxBinaryValues = 1 << 17;
    static constexpr quint64 kMaxBinaryExpandedBytes = quint64(kMaxFileSize);

    static std::optional<QVariantMap> dictionaryWithContentsOfFile(const QString& path);
    static std::optional<QVariantMap> dictionaryFromData(const QByteArray& data);

    // An XML property list read the general way only: the XML reader's well-formedness and
    // depth check, then libplist. What the one-pass reader gives must equal this.
    static std::optional<QVariantMap> xmlDictionaryThroughLibplist(const QByteArray& data);
};

}  // namespace Platform
