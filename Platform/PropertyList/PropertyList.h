#pragma once

#include "Platform/PropertyList/PropertyListLimits.h"

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
class PropertyList : public PropertyListLimits {
public:
    static std::optional<QVariantMap> dictionaryWithContentsOfFile(const QString& path);
    static std::optional<QVariantMap> dictionaryFromData(const QByteArray& data);
};

}  // namespace Platform
