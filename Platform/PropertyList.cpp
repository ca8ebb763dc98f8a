#include "Platform/PropertyList.h"

#include "Platform/BinaryPropertyList.h"
#include "Platform/RegularFile.h"
#include "Platform/XmlPropertyList.h"

#include <QDateTime>
#include <QVariantList>
#include <QXmlStreamReader>

#include <plist/plist.h>

#include <cstdint>
#include <cstdlib>

namespace Platform {

namespace {

constexpr int kMaxDepth = PropertyList::kMaxDepth;
constexpr qint64 kMaxFileSize = PropertyList::kMaxFileSize;
// Dates count seconds from 2001-01-01 00:00:00 UTC.
constexpr qint64 kReferenceDateSecsSinceEpoch = 978307200;

// libplist frees trees recursively and parses XML trees recursively, so a deep enough file
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
        const std::optional<QVariant> root = BinaryPropertyList::read(data);
        if (!root || root->typeId() != QMetaType::QVariantMap)
            return std::nullopt;
        return root->toMap();
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
