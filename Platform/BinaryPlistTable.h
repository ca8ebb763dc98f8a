#pragma once

#include <QByteArray>

#include <optional>
#include <vector>

namespace Platform {

// The object table of a binary property list ("bplist00"): the trailer, the offset table and
// the objects it points to. Every read is checked against the bytes, so a damaged file gives
// "no answer" rather than a read past its end. The table refers to the bytes it was read from;
// they must outlive it.
class BinaryPlistTable {
public:
    // The high four bits of an object's marker byte.
    enum Kind : int {
        Data = 0x4,
        AsciiString = 0x5,
        Utf16String = 0x6,
        Array = 0xA,
        Set = 0xC,
        Dictionary = 0xD,
    };

    struct Object {
        int kind = 0;
        // Bytes, text units or elements; 0 for the kinds that hold no count.
        quint64 count = 0;
        // Where the object's bytes, text units or references start, past its marker and count.
        quint64 contentStart = 0;
    };

    // Reads the trailer; no value when it is damaged or points outside the file.
    static std::optional<BinaryPlistTable> read(const QByteArray& data);

    quint64 fileSize() const { return m_size; }
    quint64 objectCount() const { return m_objectCount; }
    quint64 topObject() const { return m_topObject; }

    // Where object `index` starts; none when the offset table points outside the objects.
    std::optional<quint64> objectOffset(quint64 index) const;
    // The marker's kind and, for text, data and containers, the element count.
    std::optional<Object> object(quint64 index) const;
    // The objects a container refers to (a dictionary's keys first, then its values); none when
    // a reference lies outside the table or a dictionary key is not usable.
    std::optional<std::vector<quint64>> references(const Object& container) const;
    // libplist aborts on a dictionary key that holds a NUL character, so such a key, or one that
    // is no string at all, is not usable.
    bool isUsableKey(quint64 index) const;

private:
    BinaryPlistTable(const uchar* bytes, quint64 size) : m_bytes(bytes), m_size(size) {}

    static bool hasCount(int kind);
    // The count at `position` (the marker): from the marker's low bits or the integer after it.
    // `position` moves past the count.
    std::optional<quint64> readCount(quint64& position) const;
    quint64 readBigEndian(quint64 position, int size) const;

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
