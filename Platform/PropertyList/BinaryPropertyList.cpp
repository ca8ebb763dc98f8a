#include "Platform/PropertyList/BinaryPropertyList.h"

#include "Platform/PropertyList/BinaryPlistTable.h"
#include "Platform/PropertyList/PropertyListLimits.h"

#include <QDateTime>
#include <QHash>
#include <QVariantList>
#include <QVariantMap>
#include <QtEndian>

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

namespace Platform::BinaryPropertyList {

namespace {

using Object = BinaryPlistTable::Object;

// Dates count seconds from 2001-01-01 00:00:00 UTC.
constexpr double kReferenceDateSecsSinceEpoch = 978307200;
// Some three million years either way: far beyond any real date, well within QDateTime's range.
constexpr double kMaxDateSecs = 1e14;
constexpr quint64 kSignedMax = quint64(std::numeric_limits<qint64>::max());

std::optional<QVariant> integerValue(const BinaryPlistTable& table, const Object& object)
{
    // 1, 2 and 4 bytes are unsigned and 8 bytes signed. 16 bytes hold a signed 128-bit value,
    // which fits in 64 bits when its high half is all zeros or extends a negative low half.
    if (object.contentSize <= 8)
        return QVariant(qlonglong(table.readBigEndian(object.contentStart, int(object.contentSize))));
    const quint64 high = table.readBigEndian(object.contentStart, 8);
    const quint64 low = table.readBigEndian(object.contentStart + 8, 8);
    if (high == 0)
        return low <= kSignedMax ? QVariant(qlonglong(low)) : QVariant(qulonglong(low));
    if (high == ~quint64(0) && low > kSignedMax)
        return QVariant(qlonglong(low));
    return std::nullopt;
}

std::optional<QVariant> realValue(const BinaryPlistTable& table, const Object& object)
{
    const quint64 bits = table.readBigEndian(object.contentStart, int(object.contentSize));
    if (object.contentSize == 4)
        return QVariant(double(std::bit_cast<float>(quint32(bits))));
    return QVariant(std::bit_cast<double>(bits));
}

std::optional<QVariant> dateValue(const BinaryPlistTable& table, const Object& object)
{
    const double seconds = std::bit_cast<double>(table.readBigEndian(object.contentStart, 8));
    if (!(std::abs(seconds) <= kMaxDateSecs))
        return std::nullopt;
    const qint64 msecs = std::llround((seconds + kReferenceDateSecsSinceEpoch) * 1000);
    return QVariant(QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC));
}

QVariant utf16Value(const BinaryPlistTable& table, const Object& object)
{
    QString text(qsizetype(object.count), Qt::Uninitialized);
    qFromBigEndian<quint16>(table.bytes(object.contentStart), text.size(), text.data());
    return QVariant(text);
}

// Reads in two walks over the table. The first measures the tree that the references describe
// without making a value; the second makes the values of a tree known to be within the limits.
class Reader {
public:
    explicit Reader(const BinaryPlistTable& table)
        : m_table(table),
          m_maxNodes(std::min(table.fileSize(), PropertyListLimits::kMaxBinaryValues))
    {
    }

    std::optional<QVariant> read()
    {
        if (!measure(m_table.topObject(), 1))
            return std::nullopt;
        return value(m_table.topObject());
    }

private:
    // What is known of the tree below an object once it has been measured.
    struct Shape {
        quint16 height = 0;  // counting the object itself; 0 while the walk is inside it
        quint32 nodes = 1;
        quint32 bytes = 0;  // of text and data
    };

    // The tree below object `index`, reached at `depth`; none when it breaks a limit or loops.
    // Each object is measured once however often it is referred to, and the references of each
    // container count against the values the tree may hold before any is read: the walk costs
    // no more than the file's size or the value limit allows.
    std::optional<Shape> measure(quint64 index, int depth)
    {
        if (const auto known = m_shapes.constFind(index); known != m_shapes.cend()) {
            // A cycle, or measured through another parent: its chain must fit below this one too.
            if (known->height == 0 || depth - 1 + known->height > PropertyListLimits::kMaxDepth)
                return std::nullopt;
            return *known;
        }
        const std::optional<Object> object = m_table.object(index);
        if (!object || depth > PropertyListLimits::kMaxDepth)
            return std::nullopt;
        Shape shape{1, 1, 0};
        if (!ownBytes(*object, shape.bytes))
            return std::nullopt;
        const quint64 refs = BinaryPlistTable::referenceCount(*object);
        if (refs > m_maxNodes - m_refsCounted)
            return std::nullopt;
        m_refsCounted += refs;
        m_shapes.insert(index, Shape{0, 0, 0});
        for (quint64 i = 0; i < refs; ++i) {
            const std::optional<quint64> ref = m_table.reference(*object, i);
            const std::optional<Shape> child = ref ? measure(*ref, depth + 1) : std::nullopt;
            if (!child)
                return std::nullopt;
            shape.height = std::max(shape.height, quint16(child->height + 1));
            shape.nodes += child->nodes;
            shape.bytes += child->bytes;
            if (shape.nodes > m_maxNodes || shape.bytes > PropertyListLimits::kMaxBinaryExpandedBytes)
                return std::nullopt;
        }
        m_shapes.insert(index, shape);
        return shape;
    }

    // The text or data bytes that the object itself expands to; UTF-16 text counts as the up to
    // three bytes a unit that it takes in an XML file.
    static bool ownBytes(const Object& object, quint32& bytes)
    {
        const quint64 units = object.kind == BinaryPlistTable::Utf16String                          ? object.count * 3
            : object.kind == BinaryPlistTable::Data || object.kind == BinaryPlistTable::AsciiString ? object.count
                                                                                                    : 0;
        bytes = quint32(std::min(units, PropertyListLimits::kMaxBinaryExpandedBytes + 1));
        return units <= PropertyListLimits::kMaxBinaryExpandedBytes;
    }

    // The value of object `index`, whose tree has been measured.
    std::optional<QVariant> value(quint64 index) const
    {
        const std::optional<Object> object = m_table.object(index);
        if (!object)
            return std::nullopt;
        const char* bytes = reinterpret_cast<const char*>(m_table.bytes(object->contentStart));
        switch (object->kind) {
        case BinaryPlistTable::Simple:
            // 0x08 is false, 0x09 true; null and fill bytes are no values.
            return object->count == 8 || object->count == 9 ? std::optional(QVariant(object->count == 9))
                                                            : std::nullopt;
        case BinaryPlistTable::Integer:
            return integerValue(m_table, *object);
        case BinaryPlistTable::Real:
            return realValue(m_table, *object);
        case BinaryPlistTable::Date:
            return dateValue(m_table, *object);
        case BinaryPlistTable::Data:
            return QVariant(QByteArray(bytes, qsizetype(object->count)));
        case BinaryPlistTable::AsciiString:
            return QVariant(QString::fromUtf8(bytes, qsizetype(object->count)));
        case BinaryPlistTable::Utf16String:
            return utf16Value(m_table, *object);
        case BinaryPlistTable::Uid:
            return QVariant(qulonglong(m_table.readBigEndian(object->contentStart, int(object->contentSize))));
        case BinaryPlistTable::Array:
        case BinaryPlistTable::Set:
            return arrayValue(*object);
        case BinaryPlistTable::Dictionary:
            return dictionaryValue(*object);
        default:
            return std::nullopt;
        }
    }

    std::optional<QVariant> element(const Object& container, quint64 i) const
    {
        const std::optional<quint64> ref = m_table.reference(container, i);
        return ref ? value(*ref) : std::nullopt;
    }

    std::optional<QVariant> arrayValue(const Object& array) const
    {
        QVariantList list;
        list.reserve(qsizetype(array.count));
        for (quint64 i = 0; i < array.count; ++i) {
            std::optional<QVariant> item = element(array, i);
            if (!item)
                return std::nullopt;
            list.append(std::move(*item));
        }
        return QVariant(std::move(list));
    }

    std::optional<QVariant> dictionaryValue(const Object& dictionary) const
    {
        QVariantMap map;
        for (quint64 i = 0; i < dictionary.count; ++i) {
            const std::optional<QVariant> key = element(dictionary, i);
            std::optional<QVariant> item = element(dictionary, dictionary.count + i);
            if (!key || key->typeId() != QMetaType::QString || !item)
                return std::nullopt;
            map.insert(key->toString(), std::move(*item));
        }
        return QVariant(std::move(map));
    }

    const BinaryPlistTable& m_table;
    const quint64 m_maxNodes;
    quint64 m_refsCounted = 0;
    QHash<quint64, Shape> m_shapes;
};

}  // namespace

std::optional<QVariant> read(const QByteArray& data)
{
    const std::optional<BinaryPlistTable> table = BinaryPlistTable::read(data);
    if (!table)
        return std::nullopt;
    return Reader(*table).read();
}

}  // namespace Platform::BinaryPropertyList
