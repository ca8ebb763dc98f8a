#pragma once

#include <QColor>
#include <QMetaType>
#include <QString>
#include <optional>

namespace Platform {

// Text with the few attributes the application sets on it.
struct AttributedString {
    QString string;
    std::optional<QColor> foregroundColor;
    std::optional<Qt::Alignment> alignment;

    bool operator==(const AttributedString&) const = default;
};

}  // namespace Platform

Q_DECLARE_METATYPE(Platform::AttributedString)
