#include "Platform/BinaryPlistTable.h"

namespace Platform {

namespace {

constexpr quint64 kHeaderSize = 8;
constexpr quint64 kTrailerSize = 32;

bool isSizeInBytes(int size)
{
    return size >= 1 && size <= 8;
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
    if (!hasCount(object.kind))
        return object;
    const std::optional<quint64> count = readCount(object.contentStart);
    if (!count)
        return std::nullopt;
    object.count = *count;
    return object;
}

std::optional<std::vector<quint64>> BinaryPlistTable::references(const Object& container) const
{
    const quint64 refCount = container.kind == Dictionary ? container.count * 2 : container.count;
    if (refCount > (m_tableOffset - container.contentStart) / quint64(m_refSize))
        return std::nullopt;
    std::vector<quint64> refs;
    refs.reserve(refCount);
    for (quint64 i = 0; i < refCount; ++i) {
        const quint64 ref = readBigEndian(container.contentStart + i * quint64(m_refSize), m_refSize);
        const bool isKey = container.kind == Dictionary && i < container.count;
        if (ref >= m_objectCount || (isKey && !isUsableKey(ref)))
            return std::nullopt;
        refs.push_back(ref);
    }
    return refs;
}

bool BinaryPlistTable::isUsableKey(quint64 index) const
{
    const std::optional<Object> key = object(index);
    if (!key || (key->kind != AsciiString && key->kind != Utf16String))
        return false;
    const quint64 unitSize = key->kind == AsciiString ? 1 : 2;
    if (key->count > (m_tableOffset - key->contentStart) / unitSize)
        return false;
    for (quint64 i = 0; i < key->count; ++i) {
        const uchar* unit = m_bytes + key->contentStart + i * unitSize;
        if (unit[0] == 0 && (unitSize == 1 || unit[1] == 0))
            return false;
    }
    return true;
}

bool BinaryPlistTable::hasCount(int kind)
{
    switch (kind) {
    case Data:
    case AsciiString:
    case Utf16String:
    case Array:
    case Set:
    case Dictionary:
        return true;
    default:
        return false;
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

quint64 BinaryPlistTable::readBigEndian(quint64 position, int size) const
{
    quint64 value = 0;
    for (int i = 0; i < size; ++i)
        value = (value << 8) | m_bytes[position + i];
    return value;
}

}  // namespace Platform
