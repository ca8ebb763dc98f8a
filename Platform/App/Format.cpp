#include "Platform/App/Format.h"

#include <QStringList>

#include <algorithm>
#include <limits>

namespace Platform {

QString format(const QString& pattern, std::initializer_list<std::optional<QString>> values)
{
    static const QString placeholder = QStringLiteral("%@");
    static const QString missing = QStringLiteral("(null)");
    QString result;
    auto next = values.begin();
    qsizetype from = 0;
    for (qsizetype at = pattern.indexOf(placeholder); at >= 0; at = pattern.indexOf(placeholder, from)) {
        result += QStringView(pattern).mid(from, at - from);
        if (next != values.end()) {
            result += next->value_or(missing);
            ++next;
        } else {
            result += missing;
        }
        from = at + placeholder.size();
    }
    result += QStringView(pattern).mid(from);
    return result;
}

unsigned majorVersion(const std::optional<QString>& version)
{
    if (!version)
        return 0;
    unsigned long long value = 0;
    for (const QChar c : *version) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            break;
        value = value * 10 + static_cast<unsigned>(c.unicode() - '0');
        if (value > std::numeric_limits<unsigned>::max())
            return std::numeric_limits<unsigned>::max();
    }
    return static_cast<unsigned>(value);
}

std::optional<int> compareVersions(const QString& a, const QString& b)
{
    const auto startsWithDigit = [](const QString& version) {
        return !version.isEmpty() && version.at(0) >= QLatin1Char('0') && version.at(0) <= QLatin1Char('9');
    };
    if (!startsWithDigit(a) || !startsWithDigit(b))
        return std::nullopt;
    const QStringList first = a.split(QLatin1Char('.'));
    const QStringList second = b.split(QLatin1Char('.'));
    for (qsizetype part = 0; part < std::max(first.size(), second.size()); ++part) {
        const unsigned left = majorVersion(first.value(part, QStringLiteral("0")));
        const unsigned right = majorVersion(second.value(part, QStringLiteral("0")));
        if (left != right)
            return left < right ? -1 : 1;
    }
    return 0;
}

std::optional<QString> textOf(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::QString:
        return value.toString();
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return value.toString();
    default:
        return std::nullopt;
    }
}

}  // namespace Platform
