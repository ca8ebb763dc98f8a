#pragma once

#include <QByteArray>
#include <QVariant>

#include <optional>

namespace Platform::BinaryPropertyList {

// Reads a binary property list ("bplist00") from its object table straight into Qt values, by
// the rules and limits that PropertyList.h states, in time linear in the file. Gives the root
// value, or none when the file is damaged, loops or describes more than the limits allow.
std::optional<QVariant> read(const QByteArray& data);

}  // namespace Platform::BinaryPropertyList
