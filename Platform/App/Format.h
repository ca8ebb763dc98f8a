#pragma once

#include <QString>
#include <QVariant>
#include <initializer_list>
#include <optional>

namespace Platform {

// Replaces each "%@" in turn with the next value; a missing value is written "(null)",
// as the formatting the application grew up with does.
QString format(const QString& pattern, std::initializer_list<std::optional<QString>> values);

// The leading decimal digits of a version string as a number: "15.006" gives 15;
// a missing string, or one that starts with anything but a digit ("-5", "v9"), gives 0.
unsigned majorVersion(const std::optional<QString>& version);

// Orders two versions number by number: "2.10" comes after "2.5", "2.5" equals "2.5.0", each part
// counting by its leading digits ("3b1" as 3). Negative, zero or positive as `a` comes before,
// equals or follows `b`; none when either does not start with a digit, so it cannot be placed.
std::optional<int> compareVersions(const QString& a, const QString& b);

// How a property-list value reads when written into text: strings as they are, numbers and
// booleans in their usual form; nothing for a missing value or a collection.
std::optional<QString> textOf(const QVariant& value);

}  // namespace Platform
