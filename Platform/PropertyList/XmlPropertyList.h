#pragma once

#include <QByteArray>
#include <QVariant>

#include <optional>

namespace Platform::XmlPropertyList {

// Reads an XML property list with expat in one pass straight into Qt values, by the rules and
// limits that PropertyList.h states. Expat takes care of encodings and byte-order marks. A
// document type with an internal subset, an entity declaration or a reference to an entity that
// is not declared stops the read: nothing is expanded and nothing outside the bytes is loaded.
// Gives the root value, or none when the document is unreadable.
std::optional<QVariant> read(const QByteArray& data);

}  // namespace Platform::XmlPropertyList
