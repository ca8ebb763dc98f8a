#pragma once

#include <QString>

#include <cstddef>
#include <string_view>

namespace Platform {

// A hash of bytes for the property-list reader's hot tables, salted once per process so that no
// file can choose texts that collide. Plain scalar arithmetic on purpose: Qt 6.4's qHash takes a
// wide vector path that leaves the upper vector registers dirty, and the stall on the way back
// to ordinary code cost about a quarter of a discovery.
std::size_t saltedHash(const void* data, std::size_t size);

struct SaltedTextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const { return saltedHash(text.data(), text.size()); }
    std::size_t operator()(const QString& text) const
    {
        return saltedHash(text.constData(), std::size_t(text.size()) * sizeof(QChar));
    }
};

}  // namespace Platform
