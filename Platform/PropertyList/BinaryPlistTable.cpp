#include "Platform/PropertyList/BinaryPlistTable.h"

namespace Platform {

namespace {

constexpr quint64 kHeaderSize = 8;
constexpr quint64 kTrailerSize = 32;

bool isSizeInBytes(int size)
{
    return size >= 1 && size <= 8;
}

bool hasCount(int kind)
{
    switch (kind) {
    case BinaryPlistTable::Data:
    case BinaryPlistTable::AsciiString:
    case BinaryPlistTable::Utf16String:
    case BinaryPlistTable::Array:
    case BinaryPlistTable::Set:
    case BinaryPlistTable::Dictionary:
        return true;
    default:
        return false;
    }
}

}  // namespace

std::optional<BinaryPlistTable> BinaryPlistTable::read(const QByteArray& data)
{
    const quint64 size = quint64(data.size());
    if (size < kHeaderSize + kTrailerSize)
        return std::nullopt;
    BinaryPlistTable table(reinterpret_cast<const uchar*>(data.constData()), size);
    const quint64 trailer = size - kTrailerSize;
    table.m_offsetSize = table.m_bytes[trailer + 6];
    table.m_refSize = table.m_bytes[trailer + 7];
    table.m_objectCount = table.readBigEndian(trailer + 8, 8);
    table.m_topObject = table.readBigEndian(trailer + 16, 8);
    table.m_tableOffset = table.readBigEndian(trailer + 24, 8);
    const quint64 objectsEnd = trailer;
    if (!isSizeInBytes(table.m_offsetSize) || !isSizeInBytes(table.m_refSize) || table.m_objectCount == 0
        || table.m_topObject >= table.m_objectCount || table.m_tableOffset < kHeaderSize
        || table.m_tableOffset > objectsEnd
        || table.m_objectCount > (objectsEnd - table.m_tableOffset) / quint64(table.m_offsetSize))
        return std::nullopt;
    return table;
}

std::optional<quint64> BinaryPlistTable::objectOffset(quint64 index) const
{
    if (index >= m_objectCount)
        return std::nullopt;
    const quint64 offset = readBigEndian(m_tableOffset + index * quint64(m_offsetSize), m_offsetSize);
    if (offset < kHeaderSize || offset >= m_tableOffset)
        return std::nullopt;
    return offset;
}

std::optional<BinaryPlistTable::Object> BinaryPlistTable::object(quint64 index) const
{
    const std::optional<quint64> offset = objectOffset(index);
    if (!offset)
        return std::nullopt;
    Object object;
    object.kind = m_bytes[*offset] >> 4;
    object.contentStart = *offset;
    if (hasCount(object.kind)) {
        const std::optional<quint64> count = readCount(object.contentStart);
        if (!count)
            return std::nullopt;
        object.count = *count;
    } else {
        object.count = m_bytes[object.contentStart++] & 0x0F;
    }
    const std::optional<quint64> size = contentSize(object.kind, object.count);
    if (!size || *size > m_tableOffset - object.contentStart)
        return std::nullopt;
    object.contentSize = *size;
    return object;
}

quint64 BinaryPlistTable::referenceCount(const Object& container)
{
    switch (container.kind) {
    case Array:
    case Set:
        return container.count;
    case Dictionary:
        return container.count * 2;
    default:
        return 0;
    }
}

std::optional<quint64> BinaryPlistTable::contentSize(int kind, quint64 count) const
{
    switch (kind) {
    case Simple:
        return 0;
    case Integer:
        // 1, 2, 4 and 8 bytes, and 16 for values beyond 63 bits.
        return count <= 4 ? std::optional(quint64(1) << count) : std::nullopt;
    case Real:
        return count == 2 || count == 3 ? std::optional(quint64(1) << count) : std::nullopt;
    case Date:
        return count == 3 ? std::optional<quint64>(8) : std::nullopt;
    case Uid:
        return count < 8 ? std::optional(count + 1) : std::nullopt;
    case Data:
    case AsciiString:
        return count;
    case Utf16String:
        return count * 2;
    case Array:
    case Set:
    case Dictionary:
        return referenceCount({kind, count}) * quint64(m_refSize);
    default:
        return std::nullopt;
    }
}

std::optional<quint64> BinaryPlistTable::readCount(quint64& position) const
{
    const quint64 shortCount = m_bytes[position] & 0x0F;
    ++position;
    if (shortCount != 0x0F)
        return shortCount;
    // A longer count follows as an integer object: marker 0x1N, then 2^N bytes.
    if (position >= m_tableOffset || (m_bytes[position] & 0xF0) != 0x10)
        return std::nullopt;
    const int countSize = 1 << (m_bytes[position] & 0x0F);
    if (countSize > 8 || position + 1 + countSize > m_tableOffset)
        return std::nullopt;
    const quint64 count = readBigEndian(position + 1, countSize);
    position += 1 + countSize;
    if (count > m_tableOffset)
        return std::nullopt;
    return count;
}

}  // namespace Platform
