#pragma once

#include <QByteArray>
#include <QVariantMap>

namespace Platform::XmlPropertyList {

// Reads the plain XML property lists applications ship in one pass straight into Qt values,
// checking as it goes that the XML is well formed and no deeper than the limit.
//
// It knows only a strict part of XML: an XML declaration (version 1.0, UTF-8), a document type
// without an internal subset, the property-list elements, the five predefined entities and
// character references. A document outside that part is Undecided and must be read the general
// way; the answer is Read or Unreadable only where that way would give the same.
enum class Outcome { Read, Unreadable, Undecided };

struct Result {
    Outcome outcome = Outcome::Undecided;
    QVariantMap dictionary;
};

// `maxDepth` counts open elements, the <plist> element included.
Result read(const QByteArray& data, int maxDepth);

}  // namespace Platform::XmlPropertyList
