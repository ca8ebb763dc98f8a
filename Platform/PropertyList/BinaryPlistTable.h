#pragma once

#include <QByteArray>

#include <optional>

namespace Platform {

// The object table of a binary property list ("bplist00"): the trailer, the offset table and
// the objects it points to. Every read is checked against the bytes, so a damaged file gives
// "no answer" rather than a read past its end. The table refers to the bytes it was read from;
// they must outlive it.
class BinaryPlistTable {
public:
    // The high four bits of an object's marker byte.
    enum Kind : int {
        Simple = 0x0,  // false (0x08), true (0x09) and others that hold no value
        Integer = 0x1,
        Real = 0x2,
        Date = 0x3,
        Data = 0x4,
        AsciiString = 0x5,
        Utf16String = 0x6,
        Uid = 0x8,
        Array = 0xA,
        Set = 0xC,
        Dictionary = 0xD,
    };

    struct Object {
        int kind = 0;
        // Bytes, text units or elements (a dictionary's pairs); for the kinds of a fixed size,
        // the marker's low four bits.
        quint64 count = 0;
        // Where the object's bytes, text units or references start, past its marker and count,
        // and how many bytes they take; all of them lie inside the objects.
        quint64 contentStart = 0;
        quint64 contentSize = 0;
    };

    // Reads the trailer; no value when it is damaged or points outside the file.
    static std::optional<BinaryPlistTable> read(const QByteArray& data);

    quint64 fileSize() const { return m_size; }
    quint64 topObject() const { return m_topObject; }

    // Object `index`; none when it lies outside the objects or has no kind we know.
    std::optional<Object> object(quint64 index) const;
    // How many objects a container refers to: a dictionary its keys, then its values.
    static quint64 referenceCount(const Object& container);
    // The container's reference `i` (below referenceCount); none when it names no object.
    std::optional<quint64> reference(const Object& container, quint64 i) const
    {
        const quint64 ref = readBigEndian(container.contentStart + i * quint64(m_refSize), m_refSize);
        return ref < m_objectCount ? std::optional(ref) : std::nullopt;
    }
    // `size` bytes from `position`, most significant first.
    quint64 readBigEndian(quint64 position, int size) const
    {
        quint64 value = 0;
        for (const uchar *byte = m_bytes + position, *end = byte + size; byte != end; ++byte)
            value = (value << 8) | *byte;
        return value;
    }
    const uchar* bytes(quint64 position) const { return m_bytes + position; }

private:
    BinaryPlistTable(const uchar* bytes, quint64 size) : m_bytes(bytes), m_size(size) {}

    std::optional<quint64> objectOffset(quint64 index) const;
    // The bytes the content of an object of this kind takes, or none for no kind we know.
    std::optional<quint64> contentSize(int kind, quint64 count) const;
    // The count at `position` (the marker): from the marker's low bits or the integer after it.
    // `position` moves past the count.
    std::optional<quint64> readCount(quint64& position) const;

    const uchar* m_bytes = nullptr;
    quint64 m_size = 0;
    int m_offsetSize = 0;
    int m_refSize = 0;
    quint64 m_objectCount = 0;
    quint64 m_topObject = 0;
    // Where the offset table starts, which is also where the objects end.
    quint64 m_tableOffset = 0;
};

}  // namespace Platform
