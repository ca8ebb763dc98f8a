#include "Platform/PropertyList.h"

#include "Platform/BinaryPlistTable.h"
#include "Platform/RegularFile.h"
#include "Platform/XmlPropertyList.h"

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

// The tree libplist would build from a binary property list, measured without recursion: no
// chain of values longer than the depth limit, no more values than the file has bytes or than
// kMaxBinaryValues, and no more string, key and data bytes than kMaxBinaryExpandedBytes. An
// object may be referred to many times and libplist copies it each time, so without the last two
// checks a small file could describe an enormous tree (one large string referred to thousands of
// times). Unreadable objects and cycles fail.
class BinaryTreeWalk {
public:
    explicit BinaryTreeWalk(const BinaryPlistTable& table)
        : m_table(table),
          m_maxNodes(std::min(table.fileSize(), kMaxBinaryValues)),
          m_shapes(table.objectCount())
    {
    }

    bool treeWithinLimits()
    {
        if (!enter(m_table.topObject()))
            return false;
        while (!m_stack.empty()) {
            Frame& frame = m_stack.back();
            const bool ok = frame.next < frame.refs.size() ? visit(frame.refs[frame.next++]) : leave();
            if (!ok)
                return false;
        }
        return true;
    }

private:
    static constexpr quint16 kUnvisited = 0;
    static constexpr quint16 kVisiting = 0xFFFF;

    // What is known of the tree below an object once the walk has left it.
    struct Shape {
        quint16 height = kUnvisited;  // counting the object itself
        quint32 nodes = 0;
        quint32 bytes = 0;  // of text and data
    };
    struct Frame {
        quint64 index = 0;
        std::vector<quint64> refs;
        quint64 ownBytes = 0;  // the text or data the object itself expands to
        size_t next = 0;  // the next of refs to visit
    };

    std::optional<Frame> readFrame(quint64 index) const
    {
        const std::optional<BinaryPlistTable::Object> object = m_table.object(index);
        if (!object)
            return std::nullopt;
        Frame frame;
        frame.index = index;
        switch (object->kind) {
        case BinaryPlistTable::Data:
        case BinaryPlistTable::AsciiString:
        case BinaryPlistTable::Utf16String:
            // UTF-16 text becomes UTF-8, up to three bytes a unit.
            frame.ownBytes = object->kind == BinaryPlistTable::Utf16String ? object->count * 3 : object->count;
            if (frame.ownBytes > kMaxBinaryExpandedBytes)
                return std::nullopt;
            return frame;
        case BinaryPlistTable::Array:
        case BinaryPlistTable::Set:
        case BinaryPlistTable::Dictionary: {
            std::optional<std::vector<quint64>> refs = m_table.references(*object);
            if (!refs)
                return std::nullopt;
            frame.refs = std::move(*refs);
            return frame;
        }
        default:
            return frame;
        }
    }

    bool enter(quint64 index)
    {
        if (m_stack.size() >= size_t(kMaxDepth))
            return false;
        std::optional<Frame> frame = readFrame(index);
        if (!frame)
            return false;
        m_shapes[index].height = kVisiting;
        m_stack.push_back(std::move(*frame));
        return true;
    }

    bool visit(quint64 child)
    {
        const Shape& shape = m_shapes[child];
        if (shape.height == kVisiting)
            return false;  // a cycle
        if (shape.height == kUnvisited)
            return enter(child);
        // Measured already, through another parent: its chain must fit below this one too.
        return m_stack.size() + shape.height <= size_t(kMaxDepth);
    }

    // Sums up the children's shapes. Each term is within its limit and so is every partial sum,
    // so nothing here overflows.
    bool leave()
    {
        const Frame& frame = m_stack.back();
        quint16 tallest = 0;
        quint64 nodes = 1;
        quint64 expanded = frame.ownBytes;
        for (const quint64 ref : frame.refs) {
            tallest = std::max(tallest, m_shapes[ref].height);
            nodes += m_shapes[ref].nodes;
            expanded += m_shapes[ref].bytes;
            if (nodes > m_maxNodes || expanded > kMaxBinaryExpandedBytes)
                return false;
        }
        m_shapes[frame.index] = {quint16(tallest + 1), quint32(nodes), quint32(expanded)};
        m_stack.pop_back();
        return true;
    }

    const BinaryPlistTable& m_table;
    const quint64 m_maxNodes;
    std::vector<Shape> m_shapes;
    std::vector<Frame> m_stack;
};

bool binaryShapeWithinLimits(const QByteArray& data)
{
    const std::optional<BinaryPlistTable> table = BinaryPlistTable::read(data);
    return table && BinaryTreeWalk(*table).treeWithinLimits();
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
