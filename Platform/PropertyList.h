#pragma once

#include <QString>
#include <QVariantMap>
#include <optional>

namespace Platform {

// Reads XML and binary property lists. A file that is missing, empty, damaged or whose root is
// not a dictionary reads as nothing; nothing here throws.
//
// Values follow Foundation's rules, for both formats:
// - <integer>: base 10, or base 16 after "0x" or "0X", with an optional sign before either;
//   leading zeros are decimal. Values from -2^63 to 2^63-1 become qlonglong, larger ones up to
//   2^64-1 qulonglong; anything else (other bases, words, values beyond 64 bits) makes the file
//   unreadable.
// - <real>: strtod in the C locale, whatever the user's locale; the whole text must be a number.
// - <date>: YYYY-MM-DDTHH:MM:SSZ, UTC, any year from 1 to 9999; binary dates are seconds from
//   2001-01-01 at any distance that QDateTime can hold.
// - <data>: base64; white space anywhere in it is ignored, anything else unreadable.
// - <string> and <key>: the text with XML's rules (line ends become LF, entities replaced).
// - <true/> and <false/>: empty elements.
// - In a <dict> each <key> is followed by one value; a <key> anywhere else, a key without a
//   value or a value without a key makes the file unreadable; a repeated key keeps its last value.
// White space around a number or a date is ignored. An element the format does not have, text
// between the values, or XML that is not well formed makes the file unreadable; whatever follows
// the root's </plist> is not read. XML may be in any encoding expat knows, or "macintosh"
// (Mac OS Roman).
class PropertyList {
public:
    // Real Info.plist files take a few KB, the largest some tens of KB. The limit leaves ample
    // room above that while bounding what one file can cost.
    static constexpr qint64 kMaxFileSize = 1024 * 1024;
    // Values nested deeper than this make the file unreadable (an empty array counts as a level).
    static constexpr int kMaxDepth = 512;
    // A binary file names each object once and may refer to it many times; every reference
    // counts as the value it becomes. It may describe no more values than it has bytes or than
    // an XML file within the size limit can hold, and no more text and data bytes than that.
    static constexpr quint64 kMaxBinaryValues = 1 << 17;
    static constexpr quint64 kMaxBinaryExpandedBytes = quint64(kMaxFileSize);
    // What one discovery keeps of all the files it read (PropertyListCache): the dictionaries of
    // files up to kMaxCachedFileSize each and kMaxCachedBytes together, which decode to some
    // eight times their bytes at most. Any other file is read again when it is asked for, so that
    // crafted files cost their memory one at a time, never all together.
    static constexpr qint64 kMaxCachedFileSize = 64 * 1024;
    static constexpr qint64 kMaxCachedBytes = 4 * 1024 * 1024;

    static std::optional<QVariantMap> dictionaryWithContentsOfFile(const QString& path);
    static std::optional<QVariantMap> dictionaryFromData(const QByteArray& data);
};

}  // namespace Platform
