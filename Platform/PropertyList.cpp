#include "PropertyList.h"

#include "RegularFile.h"
#include "XmlPropertyList.h"

#include <QDateTime>
#include <QVariantList>
#include <QXmlStreamReader>

#include <plist/plist.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace Platform {

namespace {

constexpr int kMaxDepth = 512;
constexpr qint64 kMaxFileSize = PropertyList::kMaxFileSize;
// The tree libplist builds costs some 100 bytes a value, and as much again once converted.
// Real Info.plist files hold hundreds to a few thousand values; an XML file within the size
// limit can describe at most about this many, and a binary one may not describe more.
constexpr quint64 kMaxBinaryValues = 1 << 17;
// The text and data bytes that a binary file's values expand to, each shared object counted
// every time it is reached: no more than an XML file within the size limit could hold.
constexpr quint64 kMaxBinaryExpandedBytes = quint64(kMaxFileSize);
// Dates count seconds from 2001-01-01 00:00:00 UTC.
constexpr qint64 kReferenceDateSecsSinceEpoch = 978307200;

// libplist frees trees recursively and parses binary trees recursively, so a deep enough file
// overflows the stack inside it. We measure the file before handing the bytes over.

bool xmlDepthWithinLimit(const QByteArray& data)
{
    // One more than the values: the <plist> element around them.
    const int limit = kMaxDepth + 1;
    QXmlStreamReader reader(data);
    int depth = 0;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            if (++depth > limit)
                return false;
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        default:
            break;
        }
    }
    return !reader.hasError();
}

quint64 readBigEndian(const uchar* bytes, int size)
{
    quint64 value = 0;
    for (int i = 0; i < size; ++i)
        value = (value << 8) | bytes[i];
    return value;
}

// Walks the object graph of a binary property list without recursion and checks the tree
// libplist would build from it: no chain of values longer than the depth limit, no more values
// than the file has bytes or than kMaxBinaryValues, and no more string, key and data bytes than
// kMaxBinaryExpandedBytes. An object may be referred to many times and libplist copies it each
// time, so without the last two checks a small file could describe an enormous tree (one large
// string referred to thousands of times). Damaged tables, cycles and keys libplist cannot take
// fail.
bool binaryShapeWithinLimits(const QByteArray& data)
{
    constexpr qsizetype kHeaderSize = 8;
    constexpr qsizetype kTrailerSize = 32;
    const auto* bytes = reinterpret_cast<const uchar*>(data.constData());
    const quint64 size = quint64(data.size());
    if (size < kHeaderSize + kTrailerSize)
        return false;
    const uchar* trailer = bytes + size - kTrailerSize;
    const int offsetSize = trailer[6];
    const int refSize = trailer[7];
    const quint64 objectCount = readBigEndian(trailer + 8, 8);
    const quint64 topObject = readBigEndian(trailer + 16, 8);
    const quint64 tableOffset = readBigEndian(trailer + 24, 8);
    const quint64 objectsEnd = size - kTrailerSize;
    if (offsetSize < 1 || offsetSize > 8 || refSize < 1 || refSize > 8 || objectCount == 0
        || topObject >= objectCount || tableOffset < kHeaderSize || tableOffset > objectsEnd
        || objectCount > (objectsEnd - tableOffset) / quint64(offsetSize))
        return false;

    auto objectOffset = [&](quint64 index, quint64& offset) -> bool {
        offset = readBigEndian(bytes + tableOffset + index * offsetSize, offsetSize);
        return offset >= kHeaderSize && offset < tableOffset;
    };
    // The element count of the object whose marker is at `position`, from the marker's low
    // bits or the integer after it; `position` moves past the count.
    auto readCount = [&](quint64& position, quint64& count) -> bool {
        count = bytes[position] & 0x0F;
        ++position;
        if (count != 0x0F)
            return true;
        if (position >= tableOffset || (bytes[position] & 0xF0) != 0x10)
            return false;
        const int countSize = 1 << (bytes[position] & 0x0F);
        if (countSize > 8 || position + 1 + countSize > tableOffset)
            return false;
        count = readBigEndian(bytes + position + 1, countSize);
        position += 1 + countSize;
        return count <= tableOffset;
    };
    // libplist aborts on a dictionary key that holds a NUL character, so those count as damage.
    auto isUsableKey = [&](quint64 index) -> bool {
        quint64 position = 0;
        quint64 length = 0;
        if (!objectOffset(index, position))
            return false;
        const int kind = bytes[position] >> 4;
        if ((kind != 0x5 && kind != 0x6) || !readCount(position, length))
            return false;
        const quint64 unitSize = kind == 0x5 ? 1 : 2;
        if (length > (tableOffset - position) / unitSize)
            return false;
        for (quint64 i = 0; i < length; ++i) {
            const uchar* unit = bytes + position + i * unitSize;
            if (unit[0] == 0 && (unitSize == 1 || unit[1] == 0))
                return false;
        }
        return true;
    };
    // The references held by a container object, and the bytes the object itself expands to
    // (a string, key or data); false when the object cannot be read.
    auto children = [&](quint64 index, std::vector<quint64>& refs, quint64& ownBytes) -> bool {
        refs.clear();
        ownBytes = 0;
        quint64 position = 0;
        if (!objectOffset(index, position))
            return false;
        const int kind = bytes[position] >> 4;
        if (kind == 0x4 || kind == 0x5 || kind == 0x6) {
            quint64 length = 0;
            if (!readCount(position, length))
                return false;
            // UTF-16 text becomes UTF-8, up to three bytes a unit.
            ownBytes = kind == 0x6 ? length * 3 : length;
            return ownBytes <= kMaxBinaryExpandedBytes;
        }
        if (kind != 0xA && kind != 0xC && kind != 0xD)
            return true;
        quint64 count = 0;
        if (!readCount(position, count))
            return false;
        const quint64 refCount = kind == 0xD ? count * 2 : count;
        if (refCount > (tableOffset - position) / quint64(refSize))
            return false;
        refs.reserve(refCount);
        for (quint64 i = 0; i < refCount; ++i) {
            const quint64 ref = readBigEndian(bytes + position + i * refSize, refSize);
            if (ref >= objectCount || (kind == 0xD && i < count && !isUsableKey(ref)))
                return false;
            refs.push_back(ref);
        }
        return true;
    };

    constexpr quint16 kUnvisited = 0;
    constexpr quint16 kVisiting = 0xFFFF;
    const quint64 maxNodes = std::min(size, kMaxBinaryValues);
    struct Shape {
        quint16 height = kUnvisited;  // of the object's subtree, counting the object
        quint32 nodes = 0;            // in the subtree
        quint32 bytes = 0;            // of text and data in the subtree
    };
    std::vector<Shape> shapes(objectCount);
    struct Frame {
        quint64 index;
        std::vector<quint64> refs;
        quint64 ownBytes = 0;
        size_t next = 0;
    };
    std::vector<Frame> stack;
    auto enter = [&](quint64 index) -> bool {
        if (stack.size() >= size_t(kMaxDepth))
            return false;
        Frame frame{index, {}, 0, 0};
        if (!children(index, frame.refs, frame.ownBytes))
            return false;
        shapes[index].height = kVisiting;
        stack.push_back(std::move(frame));
        return true;
    };
    if (!enter(topObject))
        return false;
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next < frame.refs.size()) {
            const quint64 child = frame.refs[frame.next++];
            const Shape& shape = shapes[child];
            if (shape.height == kVisiting)
                return false;
            if (shape.height == kUnvisited) {
                if (!enter(child))
                    return false;
            } else if (stack.size() + shape.height > size_t(kMaxDepth)) {
                return false;
            }
            continue;
        }
        // Each term is within its limit and so is every partial sum, so nothing here overflows.
        quint16 tallest = 0;
        quint64 nodes = 1;
        quint64 expanded = frame.ownBytes;
        for (const quint64 ref : frame.refs) {
            tallest = std::max(tallest, shapes[ref].height);
            nodes += shapes[ref].nodes;
            expanded += shapes[ref].bytes;
            if (nodes > maxNodes || expanded > kMaxBinaryExpandedBytes)
                return false;
        }
        shapes[frame.index] = {quint16(tallest + 1), quint32(nodes), quint32(expanded)};
        stack.pop_back();
    }
    return true;
}

std::optional<QVariant> convert(plist_t node, int depth);

std::optional<QVariant> convertDictionary(plist_t node, int depth)
{
    QVariantMap map;
    plist_dict_iter iterator = nullptr;
    plist_dict_new_iter(node, &iterator);
    if (!iterator)
        return std::nullopt;
    bool ok = true;
    for (;;) {
        char* key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(node, iterator, &key, &value);
        if (!value) {
            std::free(key);
            break;
        }
        std::optional<QVariant> converted = convert(value, depth + 1);
        if (key && converted)
            map.insert(QString::fromUtf8(key), *converted);
        std::free(key);
        if (!converted) {
            ok = false;
            break;
        }
    }
    std::free(iterator);
    if (!ok)
        return std::nullopt;
    return QVariant(map);
}

std::optional<QVariant> convertArray(plist_t node, int depth)
{
    QVariantList list;
    const uint32_t count = plist_array_get_size(node);
    list.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        std::optional<QVariant> converted = convert(plist_array_get_item(node, i), depth + 1);
        if (!converted)
            return std::nullopt;
        list.append(*converted);
    }
    return QVariant(list);
}

std::optional<QVariant> convert(plist_t node, int depth)
{
    if (!node || depth > kMaxDepth)
        return std::nullopt;
    switch (plist_get_node_type(node)) {
    case PLIST_DICT:
        return convertDictionary(node, depth);
    case PLIST_ARRAY:
        return convertArray(node, depth);
    case PLIST_STRING:
    case PLIST_KEY: {
        uint64_t length = 0;
        const char* text = plist_get_string_ptr(node, &length);
        return QVariant(QString::fromUtf8(text, text ? qsizetype(length) : 0));
    }
    case PLIST_BOOLEAN: {
        uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return QVariant(value != 0);
    }
    case PLIST_UINT: {
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        // Negative integers arrive as their two's complement bits.
        return QVariant(qlonglong(value));
    }
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        return QVariant(value);
    }
    case PLIST_DATA: {
        uint64_t length = 0;
        const char* bytes = plist_get_data_ptr(node, &length);
        return QVariant(QByteArray(bytes, bytes ? qsizetype(length) : 0));
    }
    case PLIST_DATE: {
        int32_t seconds = 0;
        int32_t microseconds = 0;
        plist_get_date_val(node, &seconds, &microseconds);
        const qint64 msecs = (kReferenceDateSecsSinceEpoch + seconds) * 1000 + microseconds / 1000;
        return QVariant(QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC));
    }
    case PLIST_UID: {
        uint64_t value = 0;
        plist_get_uid_val(node, &value);
        return QVariant(qulonglong(value));
    }
    default:
        return std::nullopt;
    }
}

// Bytes already checked to be safe for libplist.
std::optional<QVariantMap> readWithLibplist(const QByteArray& data)
{
    plist_t root = nullptr;
    plist_from_memory(data.constData(), uint32_t(data.size()), &root);
    if (!root)
        return std::nullopt;
    std::optional<QVariantMap> result;
    if (plist_get_node_type(root) == PLIST_DICT) {
        if (std::optional<QVariant> converted = convert(root, 1))
            result = converted->toMap();
    }
    plist_free(root);
    return result;
}

}  // namespace

std::optional<QVariantMap> PropertyList::dictionaryFromData(const QByteArray& data)
{
    if (data.isEmpty() || data.size() > kMaxFileSize)
        return std::nullopt;
    if (data.startsWith("bplist00")) {
        if (!binaryShapeWithinLimits(data))
            return std::nullopt;
        return readWithLibplist(data);
    }
    // Most XML property lists are read in one pass straight into our values; the rest take the
    // slower way through the XML reader and libplist.
    XmlPropertyList::Result xml = XmlPropertyList::read(data, kMaxDepth + 1);
    switch (xml.outcome) {
    case XmlPropertyList::Outcome::Read:
        return std::move(xml.dictionary);
    case XmlPropertyList::Outcome::Unreadable:
        return std::nullopt;
    case XmlPropertyList::Outcome::Undecided:
        break;
    }
    return xmlDictionaryThroughLibplist(data);
}

std::optional<QVariantMap> PropertyList::xmlDictionaryThroughLibplist(const QByteArray& data)
{
    if (data.isEmpty() || data.size() > kMaxFileSize || data.startsWith("bplist00") || !xmlDepthWithinLimit(data))
        return std::nullopt;
    return readWithLibplist(data);
}

std::optional<QVariantMap> PropertyList::dictionaryWithContentsOfFile(const QString& path)
{
    const std::optional<QByteArray> data = readRegularFile(path, kMaxFileSize);
    if (!data)
        return std::nullopt;
    return dictionaryFromData(*data);
}

}  // namespace Platform
